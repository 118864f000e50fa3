// The statements the test double's clients send, through the real FreeTDS driver: what each
// stores and returns, and SQL Server's number and text for each refusal.

#include "OdbcClient.h"
#include "TestServerProcess.h"

#include <QTest>

using fq::test::OdbcClient;
using fq::test::TestServerProcess;

namespace {

// Each case: a batch, the first message it gives ("<number> <text>", or nothing), a query run
// afterwards (or nothing, for the batch's own rows), and the rows of every result set.
void statementColumns() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QStringList>("rows");
}

void row(const char* name, const char* sql, const QString& message, const char* check = "",
         const QStringList& rows = {}) {
    QTest::newRow(name) << QString::fromUtf8(sql) << message << QString::fromUtf8(check) << rows;
}

// Refused: nothing created, nothing stored.
void refused(const char* name, const char* sql, const QString& message) {
    row(name, sql, message,
        "SELECT COUNT(*) FROM existing; SELECT COUNT(*) FROM information_schema.columns WHERE "
        "table_name = 't'",
        {"0", "0"});
}

void leftOut(const char* name, const char* sql, const char* what) {
    refused(name, sql,
            QStringLiteral("50000 The SQL Server test double does not support %1.").arg(what));
}

} // namespace

class TdsStatementsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void refusals_data();
    void refusals() { check(); }
    void leftOutFeatures_data();
    void leftOutFeatures() { check(); }
    void batches_data();
    void batches() { check(); }
    void queries_data();
    void queries() { check(); }
    void catalogQuery_data();
    void catalogQuery() { check(); }
    void renames_data();
    void renames() { check(); }

private:
    // Runs the case's batch and compares what it gave.
    void check();

    TestServerProcess server_;
    OdbcClient client_;
};

void TdsStatementsTest::initTestCase() {
    QVERIFY2(server_.start(), qPrintable(server_.error()));
    QVERIFY2(client_.connect(server_.connectionString()), qPrintable(client_.lastError()));
}

// The tables every case starts from; whatever a case made is dropped first.
void TdsStatementsTest::init() {
    client_.run("DROP TABLE existing; DROP TABLE [odd ]]name]; DROP TABLE sales.[odd ]]name]; "
                "DROP TABLE orders; DROP TABLE sales.orders; DROP TABLE sales.regions; DROP TABLE "
                "log; DROP TABLE other; DROP TABLE typed; DROP TABLE sales_orders; DROP TABLE "
                "[x]]y]; DROP TABLE y");
    const OdbcClient::Outcome fixture = client_.run(
        "CREATE TABLE Existing (id int NOT NULL, name varchar(10))\n"
        "CREATE TABLE [odd ]]name] (n int, t nvarchar(5))\n"
        "INSERT INTO [odd ]]name] VALUES(3, N'v3'), (1, NULL)\n"
        "INSERT INTO [odd ]]name] (t, n) VALUES(N'v2', 2)\n"
        "CREATE TABLE sales.[odd ]]name] (region char(2))\n"
        "CREATE TABLE orders (id int NOT NULL, placed datetime2(3), customer varchar(40))\n"
        "INSERT INTO orders VALUES(7, NULL, NULL)\n"
        "CREATE TABLE sales.orders (region char(2)); CREATE TABLE sales.regions (code char(2))\n"
        "CREATE TABLE log (n int); CREATE TABLE other (s varchar(3))");
    QVERIFY2(!fixture.failed, qPrintable(fixture.first()));
}

void TdsStatementsTest::refusals_data() {
    statementColumns();
    refused(
        "MySQL display width", "CREATE TABLE t ([id] int(11))",
        "2716 Column, parameter, or variable #1: Cannot specify a column width on data type int.");
    refused("unknown type", "CREATE TABLE t (a int, b double)",
            "2715 Column, parameter, or variable #2: Cannot find data type double.");
    refused("precision over 38", "CREATE TABLE t (a decimal(39,2))",
            "2750 Column or parameter #1: Specified column precision 39 is greater than the "
            "maximum precision of 38.");
    refused("varchar over 8000", "CREATE TABLE t (a varchar(9000))",
            "131 The size (9000) given to the column 'a' exceeds the maximum allowed for any "
            "data type (8000).");
    refused("nvarchar over 4000", "CREATE TABLE t (a nvarchar(4001))",
            "2717 The size (4001) given to the parameter 'a' exceeds the maximum allowed (4000).");
    refused("nchar(max)", "CREATE TABLE t (a nchar(max))", "102 Incorrect syntax near 'max'.");
    refused("MySQL unsigned", "CREATE TABLE t (a int unsigned)",
            "102 Incorrect syntax near 'unsigned'.");
    refused("duplicate column", "CREATE TABLE t (a int, A int)",
            "2705 Column names in each table must be unique. Column name 'A' in table 't' is "
            "specified more than once.");
    refused("unknown schema", "CREATE TABLE nosuch.t (a int)",
            "2760 The specified schema name \"nosuch\" either does not exist or you do not have "
            "permission to use it.");
    refused("other database", "SELECT * FROM other.dbo.existing",
            "911 Database 'other' does not exist. Make sure that the name is entered correctly.");
    refused("too few values", "INSERT INTO existing VALUES('1')",
            "213 Column name or number of supplied values does not match table definition.");
    refused("more columns than values", "INSERT INTO existing (id, name) VALUES(1)",
            "109 There are more columns in the INSERT statement than values specified in the "
            "VALUES clause. The number of values in the VALUES clause must match the number of "
            "columns specified in the INSERT statement.");
    refused(
        "NULL into NOT NULL", "INSERT INTO existing (name) VALUES('x')",
        "515 Cannot insert the value NULL into column 'id', table 'wiredb.dbo.Existing'; column "
        "does not allow nulls. INSERT fails.");
    refused("MySQL statement", "SHOW TABLES;", "2812 Could not find stored procedure 'SHOW'.");
    refused("MySQL quoting", "DROP TABLE `t`", "102 Incorrect syntax near '`'.");
    refused("syntax error", "SELECT FROM WHERE", "102 Incorrect syntax near 'FROM'.");
    refused("unclosed quote, then a syntax error", "INSERT INTO existing VALUES('it''s",
            "105 Unclosed quotation mark after the character string 'it''s'.");
    refused("unknown column", "SELECT nosuch FROM existing", "207 Invalid column name 'nosuch'.");
    refused("position past the list", "SELECT id FROM existing ORDER BY 2",
            "108 The ORDER BY position number 2 is out of range of the number of items in the "
            "select list.");
    refused("column beside a count", "SELECT id, COUNT(*) FROM existing",
            "8120 Column is invalid in the select list because it is not contained in either an "
            "aggregate function or the GROUP BY clause.");
    refused("unknown variable", "SELECT @P1", "137 Must declare the scalar variable \"@P1\".");
}

// T-SQL the double leaves out (README.md).
void TdsStatementsTest::leftOutFeatures_data() {
    statementColumns();
    leftOut("UPDATE", "UPDATE existing SET id = 1", "UPDATE statements");
    leftOut("IF", "IF OBJECT_ID('t') IS NOT NULL DROP TABLE t", "IF statements");
    leftOut("PRIMARY KEY", "CREATE TABLE t (a int PRIMARY KEY)", "the keyword PRIMARY here");
    leftOut("IDENTITY", "CREATE TABLE t (a int NOT NULL IDENTITY(1,1))",
            "the keyword IDENTITY here");
    leftOut("timestamp", "CREATE TABLE t (a timestamp)", "the type timestamp");
    leftOut("TOP", "SELECT TOP 1 * FROM existing", "the keyword TOP here");
    leftOut("LIKE", "SELECT * FROM existing WHERE name LIKE 'a%'", "the keyword LIKE here");
    leftOut("DESC", "SELECT * FROM existing ORDER BY id DESC", "the keyword DESC here");
    leftOut("string function", "SELECT UPPER(name) FROM existing", "the function UPPER");
    leftOut("arithmetic", "SELECT id + 1 FROM existing", "arithmetic");
}

// Where a batch stops: as SQL Server stops it.
void TdsStatementsTest::batches_data() {
    statementColumns();
    const char* logged = "SELECT * FROM log";
    row("missing table to drop: the batch goes on", "DROP TABLE t; INSERT INTO log VALUES(1)",
        "3701 Cannot drop the table 't', because it does not exist or you do not have permission.",
        logged, {"1"});
    row("truncation: the batch goes on",
        "INSERT INTO log VALUES(1); INSERT INTO other VALUES('toolong'); INSERT INTO log VALUES(2)",
        "2628 String or binary data would be truncated in table 'wiredb.dbo.other', column 's'. "
        "Truncated value: 'too'.",
        logged, {"1", "2"});
    row("conversion error ends the batch",
        "INSERT INTO log VALUES(1); INSERT INTO log VALUES('abc'); INSERT INTO log VALUES(3)",
        "245 Conversion failed when converting the varchar value 'abc' to data type int.", logged,
        {"1"});
    row("missing table ends the batch, after a result",
        "SELECT 1 AS a; INSERT INTO log VALUES(1); SELECT * FROM t; INSERT INTO log VALUES(3)",
        "208 Invalid object name 't'.", logged, {"1"});
    row("syntax error runs nothing", "INSERT INTO log VALUES(1); INSERT INTO log VALUES(2",
        "102 Incorrect syntax near '2'.", logged, {});
    row("a second row bad: no row of the statement", "INSERT INTO log VALUES(1), ('x')",
        "245 Conversion failed when converting the varchar value 'x' to data type int.", logged,
        {});
    row("semicolons and comments are optional",
        "INSERT INTO log VALUES(1) INSERT INTO log (n) VALUES(2)\n-- a comment\nINSERT log "
        "VALUES(3);",
        "", logged, {"1", "2", "3"});
}

void TdsStatementsTest::queries_data() {
    statementColumns();
    // Names as clients write them; the table of the same name in sales is another.
    for (const char* name : {"orders", "ORDERS", "[orders]", "\"orders\"", "dbo.orders",
                             "[dbo].[Orders]", "wiredb.dbo.orders", "wiredb..orders"})
        row(name,
            qPrintable(QStringLiteral("SELECT * FROM %1; DROP TABLE %1; SELECT COUNT(*) FROM "
                                      "information_schema.columns WHERE table_name = 'orders'")
                           .arg(name)),
            "", "", {"7 | NULL | NULL", "1"});

    row("all, in insertion order", "SELECT * FROM [odd ]]name]", "", "",
        {"3 | v3", "1 | NULL", "2 | v2"});
    row("ordered by position", "SELECT * FROM [odd ]]name] ORDER BY 1", "", "",
        {"1 | NULL", "2 | v2", "3 | v3"});
    row("ordered by a column, NULL first", "SELECT n FROM [odd ]]name] ORDER BY t ASC", "", "",
        {"1", "2", "3"});
    row("count of an empty filter", "SELECT COUNT(*) AS c FROM [odd ]]name] WHERE n < 0", "", "",
        {"0"});
    row("filter with AND, text without case",
        "SELECT t, n FROM [odd ]]name] WHERE n >= 2 AND t <> N'V2'", "", "", {"v3 | 3"});
    row("text compared without trailing spaces", "SELECT n FROM [odd ]]name] WHERE t = 'V3   '", "",
        "", {"3"});
    row("number compared with text", "SELECT n FROM [odd ]]name] WHERE n = '2'", "", "", {"2"});
    row("without FROM", "SELECT 42, N'x' AS [a b], -1.50 'c'", "", "", {"42 | x | -1.50"});
    row("converted", "SELECT CONVERT(nvarchar, 0x4100), CONVERT(int, '7')", "", "", {"A | 7"});
    row("a row that does not convert, after the rows before it",
        "SELECT n FROM [odd ]]name] WHERE t = 1",
        "245 Conversion failed when converting the nvarchar value 'v3' to data type int.", "", {});
}

// A table's columns, as the copy reads them, and what the catalog says of each type.
void TdsStatementsTest::catalogQuery_data() {
    statementColumns();
    const char* columns =
        "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, "
        "NUMERIC_SCALE, DATETIME_PRECISION FROM information_schema.Columns WHERE "
        "table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(N'%1')) AND table_name=N'%2' "
        "ORDER BY ORDINAL_POSITION";
    const QStringList orders{"id | int | NULL | 10 | 0 | NULL",
                             "placed | datetime2 | NULL | NULL | NULL | 3",
                             "customer | varchar | 40 | NULL | NULL | NULL"};
    const auto copy = [&](const char* name, const char* object, const char* table,
                          const QStringList& rows) {
        row(name, qPrintable(QString::fromUtf8(columns).arg(object, table)), "", "", rows);
    };
    copy("bare", "orders", "orders", orders);
    copy("other case", "ORDERS", "Orders", orders);
    copy("bracketed, odd name", "[odd ]]name]", "odd ]name",
         {"n | int | NULL | 10 | 0 | NULL", "t | nvarchar | 5 | NULL | NULL | NULL"});
    copy("only in another schema", "regions", "regions", {});
    copy("missing", "gone", "gone", {});
    // DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, NUMERIC_PRECISION,
    // NUMERIC_PRECISION_RADIX, NUMERIC_SCALE, DATETIME_PRECISION of each type.
    const auto typed = [&](const char* type, const QString& values) {
        row(type, qPrintable(QStringLiteral("CREATE TABLE typed (c %1)").arg(type)), "",
            "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, "
            "NUMERIC_PRECISION, "
            "NUMERIC_PRECISION_RADIX, NUMERIC_SCALE, DATETIME_PRECISION FROM "
            "INFORMATION_SCHEMA.COLUMNS WHERE table_name='typed'",
            {values});
    };
    typed("bit", "bit | NULL | NULL | NULL | NULL | NULL | NULL");
    typed("bigint", "bigint | NULL | NULL | 19 | 10 | 0 | NULL");
    typed("decimal", "decimal | NULL | NULL | 18 | 10 | 0 | NULL");
    typed("money", "money | NULL | NULL | 19 | 10 | 4 | NULL");
    typed("float(24)", "real | NULL | NULL | 24 | 2 | NULL | NULL");
    typed("char(8)", "char | 8 | 8 | NULL | NULL | NULL | NULL");
    typed("nvarchar(max)", "nvarchar | -1 | -1 | NULL | NULL | NULL | NULL");
    typed("sysname", "nvarchar | 128 | 256 | NULL | NULL | NULL | NULL");
    typed("text", "text | 2147483647 | 2147483647 | NULL | NULL | NULL | NULL");
    typed("xml", "xml | -1 | -1 | NULL | NULL | NULL | NULL");
    typed("date", "date | NULL | NULL | NULL | NULL | NULL | 0");
    typed("datetime", "datetime | NULL | NULL | NULL | NULL | NULL | 3");
    typed("smalldatetime", "smalldatetime | NULL | NULL | NULL | NULL | NULL | 0");
    typed("datetimeoffset(2)", "datetimeoffset | NULL | NULL | NULL | NULL | NULL | 2");
}

// Renames: the rows go with the table.
void TdsStatementsTest::renames_data() {
    statementColumns();
    const QString caution = "15477 Caution: Changing any part of an object name could break "
                            "scripts and stored procedures.";
    row("rename bracketed, with EXEC and N", "EXEC sp_rename N'[orders]', N'x]y'", caution,
        "SELECT id FROM [x]]y]", {"7"});
    row("rename, named parameters", "sp_rename @newname='y', @objname='dbo.orders'", caution,
        "SELECT id FROM y", {"7"});
    row("rename a missing table", "sp_rename 't', 'z'",
        "15248 Either the parameter @objname is ambiguous or the claimed @objtype (object) is "
        "wrong.",
        "SELECT id FROM orders", {"7"});
    row("rename onto a name taken, other case", "sp_rename 'orders', 'LOG'",
        "15335 Error: The new name 'LOG' is already in use as a object name and would cause a "
        "duplicate that is not permitted.",
        "SELECT id FROM orders", {"7"});
}

void TdsStatementsTest::check() {
    QFETCH(QString, sql);
    QFETCH(QString, message);
    QFETCH(QString, check);
    QFETCH(QStringList, rows);
    const OdbcClient::Outcome r = client_.run(sql);
    QCOMPARE(r.first(), message);
    // Only a caution (severity 10) lets the statement succeed.
    QCOMPARE(r.failed, !message.isEmpty() && !message.startsWith(QLatin1String("15477 ")));
    // An unclosed quote is followed by a syntax error near the rest of the batch.
    if (message.startsWith(QLatin1String("105 ")))
        QCOMPARE(r.messages.value(1).native, 102);
    const OdbcClient::Outcome after = check.isEmpty() ? r : client_.run(check);
    QStringList all;
    for (const QList<QStringList>& result : after.results)
        for (const QStringList& row : result)
            all << row.join(QStringLiteral(" | "));
    QCOMPARE(all, rows);
}

QTEST_GUILESS_MAIN(TdsStatementsTest)
#include "tst_tds_statements.moc"
