#pragma once

#include "sql/Server.h"
#include "sql/TypeMap.h"

#include <QList>
#include <QString>
#include <QStringList>

// The statement texts of every command, for both servers. Names go through SqlText: delimited
// where the statement delimits them, bare (or delimited when they must be) where it writes them
// bare.
namespace fq::sql {

// The listing of the MySQL tables: "SHOW TABLES;".
QString mysqlShowTables();

// "Delete Table(s)" on SQL Server: "DROP TABLE [name];" (on MySQL it is mysqlDropTable).
QString mssqlDropCommand(const QString& table);
// "Delete Table(s)" on an entry the server says is a view: "DROP VIEW `name`" on MySQL,
// "DROP VIEW [name];" on SQL Server.
QString mysqlDropView(const QString& view);
QString mssqlDropViewCommand(const QString& view);

// "Rename Table": "RENAME TABLE `old` TO `new`" on MySQL; on SQL Server sp_rename with the old
// name bare where it is a plain identifier (bracketed otherwise, since sp_rename reads it as a
// possibly qualified name) and the new name as it stands, both as string literals.
QString mysqlRenameTable(const QString& oldName, const QString& newName);
QString mssqlRenameTable(const QString& oldName, const QString& newName);

// Run once on every MySQL connection: backslashes in literals are plain characters, and a value
// that does not fit is refused rather than clipped.
QString mysqlSessionSetup();

// What a copy into MySQL must know of the server, in one row: @@innodb_page_size,
// @@max_allowed_packet, and the bytes of the widest character of the database's default
// character set.
QString mysqlServerLimits();

// "DROP TABLE `name`" / "DROP TABLE [name]": a copy's drop of the table it overwrites, and on
// MySQL also "Delete Table(s)".
QString mysqlDropTable(const QString& table);
QString mssqlDropTable(const QString& table);

// The columns of the one SQL Server table that the bare name resolves to, in their order:
// name, data type, character maximum length, numeric precision, scale, datetime precision.
QString mssqlColumnsQuery(const QString& table);
// "describe name"
QString mysqlDescribe(const QString& table);

// "CREATE TABLE `name`(`a` int,`b` varchar(5))" / "CREATE TABLE [name]([a] int,[b] nchar(5))"
QString mysqlCreateTable(const QString& table, const QList<TargetColumn>& columns);
QString mssqlCreateTable(const QString& table, const QList<TargetColumn>& columns);

// "SELECT * FROM name"
QString mysqlSelectAll(const QString& table);
QString mssqlSelectAll(const QString& table);

// The server's own cheap estimate of a table's rows: rows of one number each, to be added up (no
// row, or NULL, when it has none). MySQL's information_schema.TABLES.TABLE_ROWS of the table in
// the current database; SQL Server's row counts of the partitions of the table's heap or
// clustered index in sys.partitions.
QString mysqlRowEstimate(const QString& table);
QString mssqlRowEstimate(const QString& table);

// "SELECT COUNT(*) FROM `name`" / "SELECT COUNT(*) FROM [name]": the rows a copied table holds.
QString mysqlCountRows(const QString& table);
QString mssqlCountRows(const QString& table);

// A large MySQL table is read in pages along a unique key whose columns are all NOT NULL, all
// pages inside one transaction that reads the table as it was when it began.
// The table's unique keys, one row per column: key name, column name, its data type, "YES" when
// it may be NULL, and the length of a key on a prefix of the column (NULL for the whole column);
// the primary key first, each key's columns in their order.
QString mysqlUniqueKeys(const QString& table);
// "SET TRANSACTION ISOLATION LEVEL REPEATABLE READ", "START TRANSACTION WITH CONSISTENT
// SNAPSHOT" and "COMMIT".
QString mysqlSnapshotIsolation();
QString mysqlStartSnapshot();
QString mysqlEndSnapshot();
// One page: every column, then the key's columns again, of the rows after the given key values
// (literals, one per key column; none for the first page), in key order:
// "SELECT *, `a`, `b` FROM name WHERE (`a` > 1 OR (`a` = 1 AND `b` > 'x')) ORDER BY `a`, `b`
// LIMIT 10000".
QString mysqlSelectPage(const QString& table, const QStringList& keyColumns,
                        const QStringList& after, long long rows);
// A column of a page whose long values are read in pieces: the page gives the first `piece`
// characters of each (bytes, for bytes), and the value's length after the table's columns.
struct PageColumn {
    QString name;
    enum class Cut { No, Characters, Bytes } cut = Cut::No;
};
// The same page with the table's columns named, and those cut cut:
// "SELECT `id`, LEFT(`t`, 1048576), CHAR_LENGTH(`t`), `id` FROM name ORDER BY `id` LIMIT 10".
QString mysqlSelectPage(const QString& table, const QList<PageColumn>& columns, long long piece,
                        const QStringList& keyColumns, const QStringList& after, long long rows);

// "INSERT INTO `name` VALUES('7', 'O''Brien', NULL)": the literals joined by comma and space.
QString mysqlInsert(const QString& table, const QStringList& literals);
QString mssqlInsert(const QString& table, const QStringList& literals);

// The INSERTs of one table's rows, several rows a statement: the head, "INSERT INTO `name`
// VALUES", then each row's values in parentheses, the rows joined by ", ":
// "INSERT INTO `name` VALUES('7', 'a'), ('8', 'b')". A statement of one row is exactly
// mysqlInsert's or mssqlInsert's text for its literals.
//
// Each row is built on its own as the statement of that row alone, in the same buffer row after
// row, so that a row costs no text of its own: start(), then each value's literal appended to
// next(), then finish(). The row's values, "(...)", follow the head in it; a statement of several
// rows is the first row's statement with the others' values appended.
class InsertText {
public:
    InsertText(Server target, const QString& table);

    // "INSERT INTO `name` VALUES", and what joins two rows' values.
    const QString& head() const noexcept { return head_; }
    static QLatin1String rowSeparator() noexcept { return QLatin1String(", "); }

    void start();
    // The statement, to append the next value's literal to.
    QString& next();
    // The row's statement: the head, then its values in parentheses.
    QString& finish();

    // Of the row last finished: its values' literals, in order.
    qsizetype valueCount() const noexcept { return starts_.size(); }
    QStringView literal(qsizetype index) const;

private:
    QString head_;
    QString text_;
    QList<qsizetype> starts_;
};

} // namespace fq::sql
