-- A few sample tables for trying Fernquill out on the local MariaDB.
CREATE TABLE IF NOT EXISTS orders (id int, customer varchar(40), placed datetime);
INSERT INTO orders VALUES (7, 'O''Brien', NULL), (8, 'Nakamura 中村', '2026-03-01 09:30:00');
CREATE TABLE IF NOT EXISTS products (sku char(8), name varchar(100), price decimal(10,2), photo blob);
INSERT INTO products VALUES ('AB-1', 'Fern pot', 12.50, NULL), ('AB-2', 'Quill', 3.99, X'00FF10');
CREATE TABLE IF NOT EXISTS `Inventory 2026` (sku char(8), qty int unsigned, counted date);
INSERT INTO `Inventory 2026` VALUES ('AB-1', 40, '2026-01-31');
