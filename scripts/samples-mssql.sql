-- A few sample tables for trying Fernquill out on the local SQL Server test double.
CREATE TABLE Customer (Name varchar(50), Code char(8));
INSERT INTO Customer VALUES('Smith', 'AB-1');
INSERT INTO Customer VALUES('O''Neil', NULL);
CREATE TABLE invoices (id int, amount money, issued datetime2(3), note nvarchar(200));
INSERT INTO invoices VALUES(1, 99.95, '2026-02-14 10:00:00.123', N'Grüße');
INSERT INTO invoices VALUES(2, 12.00, '2026-02-15 16:45:00.000', NULL);
CREATE TABLE sales.regions (code char(2), name nvarchar(40));
INSERT INTO sales.regions VALUES('NE', N'North-East');
