#pragma once

#include <QString>
#include <QStringList>

// The statements a copy reads a large MySQL table with, beside those of the pages along a key
// (Statements.h): what the table's size is, and the table read by the storage engine's own
// HANDLER interface in pieces, for a table without a key to page along.
namespace fq::sql {

// The table's size and kind, one row per column: the server's size of its data
// (DATA_LENGTH), its average row (AVG_ROW_LENGTH), its type ("BASE TABLE", "SYSTEM VERSIONED",
// "VIEW", ...), its engine, and then the column's data type, the largest size of a value in bytes
// (CHARACTER_OCTET_LENGTH, NULL for numbers, dates and the like) and its EXTRA ("INVISIBLE" for
// a column that SELECT * leaves out), and its name; the columns in the table's order.
QString mysqlTableSize(const QString& table);

// A piece of one row's long value, the row named by its key's values (literals, one per key
// column): "SELECT SUBSTRING(`t`, ?, ?) FROM name WHERE `id` = 7", from the character (byte, for
// bytes) the first parameter says, as many as the second says.
QString mysqlValuePiece(const QString& table, const QString& column, const QStringList& keyColumns,
                        const QStringList& key);

// "SELECT * FROM name LIMIT 0": no rows, but inside a transaction the table's definition cannot
// change (an ALTER TABLE waits) until the transaction ends.
QString mysqlHoldTable(const QString& table);

// "HANDLER `name` OPEN" and "HANDLER `name` CLOSE".
QString mysqlHandlerOpen(const QString& table);
QString mysqlHandlerClose(const QString& table);
// The next rows in the table's own order, as many as the last parameter says: from the first row
// ("HANDLER `name` READ FIRST LIMIT ?"), after those read before ("HANDLER `name` READ NEXT LIMIT
// ?"), or after as many rows as the first parameter says ("HANDLER `name` READ FIRST LIMIT ?,
// ?"). With parameters, MariaDB's driver prepares the statement on the server and reads its rows;
// it runs such a statement without parameters as text and leaves its rows unread.
QString mysqlHandlerReadFirst(const QString& table);
QString mysqlHandlerReadNext(const QString& table);
QString mysqlHandlerReadAfter(const QString& table);

// The session's count of tables it has opened (whether the table cache held them or not): one
// row, one number. A HANDLER's table that the server closed meanwhile (FLUSH TABLES, or a change
// of the table's definition waiting to run) is opened again by the next HANDLER READ, which then
// reads from the table's first row: the count tells that this happened.
QString mysqlTablesOpened();

} // namespace fq::sql
