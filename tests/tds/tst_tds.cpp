// The SQL Server test double through the real FreeTDS ODBC driver, against private instances
// of the server on loopback: each literal stored into its column's type as SQL Server converts
// it, what each statement returns with SQL Server's number and text for each refusal, and the
// network half: logins, the catalog listing, a cancel, the statement log and the start-up
// script.

#include "OdbcClient.h"
#include "TestServerProcess.h"
#include "support/TestSupport.h"

#include <QTest>

#include <thread>

using fq::test::OdbcClient;
using fq::test::TestServerProcess;

namespace {

const QString kUser = QString::fromLatin1(TestServerProcess::kUser);

// Each case: a batch, the first message it gives ("<number> <text>", or nothing), a query run
// afterwards (or nothing, for the batch's own rows), and the rows of every result set.
void row(const char* name, const QString& sql, const QString& message, const char* check = "",
         const QStringList& rows = {}) {
    QTest::newRow(name) << sql << message << QString::fromUtf8(check) << rows;
}

// "0", "1", ... one value per row.
QStringList numbered(int count) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number(i);
    return out;
}

// Refused: nothing created, nothing stored.
void refused(const char* name, const char* sql, const QString& message) {
    row(name, QString::fromUtf8(sql), message,
        "SELECT COUNT(*) FROM existing; SELECT COUNT(*) FROM information_schema.columns WHERE "
        "table_name = 't'",
        {"0", "0"});
}

} // namespace

class TdsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void stored_data();
    void stored();
    void statements_data();
    void statements();
    void valuesList_data();
    void valuesList();
    void loginRefused_data();
    void loginRefused();
    void catalog();
    void cancelDuringLongSelect();
    void statementLog();
    void parameters();
    void scriptAtStart();

private:
    std::unique_ptr<OdbcClient> connect() {
        auto c = std::make_unique<OdbcClient>();
        if (!c->connect(server_.connectionString()))
            qWarning("connect failed: %s", qPrintable(c->lastError()));
        return c;
    }
    int logSize() const { return static_cast<int>(server_.logLines().size()); }

    TestServerProcess server_;
    OdbcClient client_;
};

void TdsTest::initTestCase() {
    QVERIFY2(server_.start(), qPrintable(server_.error()));
    QVERIFY2(client_.connect(server_.connectionString()), qPrintable(client_.lastError()));
}

void TdsTest::cleanupTestCase() {
    QVERIFY(server_.stop());
    // Every connection that logged in also logged out, the server's stop included.
    const QStringList lines = server_.logLines();
    QCOMPARE(lines.filter(QStringLiteral("\tLOGOUT")).size(),
             lines.filter(QStringLiteral("\tLOGIN\t")).size());
}

// The tables every statement starts from; whatever a case made is dropped first.
void TdsTest::init() {
    client_.run("DROP VIEW v; DROP VIEW w; "
                "DROP TABLE existing; DROP TABLE [odd ]]name]; DROP TABLE sales.[odd ]]name]; "
                "DROP TABLE orders; DROP TABLE sales.orders; DROP TABLE sales.regions; "
                "DROP TABLE log; DROP TABLE typed; DROP TABLE [x]]y]");
    const OdbcClient::Outcome fixture = client_.run(
        "CREATE TABLE Existing (id int NOT NULL, name varchar(10))\n"
        "CREATE TABLE [odd ]]name] (n int, t nvarchar(5))\n"
        "INSERT INTO [odd ]]name] VALUES(3, N'v3'), (1, NULL)\n"
        "INSERT INTO [odd ]]name] (t, n) VALUES(N'v2', 2)\n"
        "CREATE TABLE sales.[odd ]]name] (region char(2))\n"
        "CREATE TABLE orders (id int NOT NULL, placed datetime2(3), customer varchar(40))\n"
        "INSERT INTO orders VALUES(7, NULL, NULL)\n"
        "CREATE TABLE sales.orders (region char(2)); CREATE TABLE sales.regions (code char(2))\n"
        "CREATE TABLE log (n int)");
    QVERIFY2(!fixture.failed, qPrintable(fixture.first()));
    // A view is the only statement of its batch.
    const OdbcClient::Outcome view =
        client_.run("CREATE VIEW w AS SELECT id, customer AS who FROM orders");
    QVERIFY2(!view.failed, qPrintable(view.first()));
}

// The column type, the literal inserted, and the value read back (or "<native> <message>" when
// the server refuses it; %TABLE% stands for the table's name).
void TdsTest::stored_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("expected");
    const char* const rows[][3] = {
        {"tinyint", "300", "220 Arithmetic overflow error for data type tinyint, value = 300."},
        {"tinyint", "'300'",
         "244 The conversion of the varchar value '300' overflowed an INT1 column. Use a larger "
         "integer column."},
        {"int", "N'abc'",
         "245 Conversion failed when converting the nvarchar value 'abc' to data type int."},
        {"int", "'3000000000'",
         "248 The conversion of the varchar value '3000000000' overflowed an int column."},
        {"int", "1e10", "232 Arithmetic overflow error for type int, value = 10000000000.000000."},
        {"bigint", "'x'", "8114 Error converting data type varchar to bigint."},
        // Each width of a decimal, rounding half away from zero.
        {"decimal(9,4)", "12.5", "12.5000"},
        {"decimal(5,2)", "'-1.005'", "-1.01"},
        {"decimal(28,0)", "'9999999999999999999999999999'", "9999999999999999999999999999"},
        {"decimal(38,0)", "123456789012345678901234567890123456789",
         "1007 The number '123456789012345678901234567890123456789' is out of the range for "
         "numeric representation (maximum precision 38)."},
        {"decimal(3,1)", "'1234.5'",
         "8115 Arithmetic overflow error converting varchar to data type numeric."},
        {"money", "'0.12345'", "0.1235"},
        {"money", "'abc'",
         "235 Cannot convert a char value to money. The char value has incorrect syntax."},
        {"smallmoney", "'x'",
         "293 Cannot convert char value to smallmoney. The char value has incorrect syntax."},
        // A real holds the normal range: a value closer to zero is stored as 0.
        {"real", "'1.401298464324817e-45'", "0"},
        // Code page 1252 without N (one ? for each UTF-16 unit), padding, silent cuts.
        {"nvarchar(5)", "'日😀'", "???"},
        {"nchar(3)", "N'中'", "中  "},
        {"varchar(3)", "'ab    '", "ab "},
        {"nvarchar(2)", "N'日本語'",
         "2628 String or binary data would be truncated in table 'wiredb.dbo.%TABLE%', column "
         "'v'. Truncated value: '日本'."},
        {"binary(4)", "0x0102", "01020000"},
        // Dates and times, each with SQL Server's rounding and range.
        {"time(0)", "'10:20:30.5'", "10:20:31"},
        {"time(0)", "'100:00:00'",
         "241 Conversion failed when converting date and/or time from character string."},
        {"datetime", "'2024-01-01 23:59:59.999'", "2024-01-02 00:00:00.000"},
        {"datetime", "'1700-01-01'",
         "242 The conversion of a varchar data type to a datetime data type resulted in an "
         "out-of-range value."},
        {"smalldatetime", "'2024-01-01 10:20:29.999'", "2024-01-01 10:21:00"},
        {"datetime2(3)", "'2024-01-31 10:20:30.12351'", "2024-01-31 10:20:30.124"},
        {"datetimeoffset(0)", "'2000-02-29 01:00:00 +05:30'", "2000-02-29 01:00:00 +05:30"},
    };
    for (const auto& r : rows)
        QTest::addRow("%s %s", r[0], r[1])
            << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
}

// The value between two neighbours, beside a NULL: a lost NULL or a shifted column shows.
void TdsTest::stored() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(QString, expected);
    const QString table = fq::test::uniqueName(QStringLiteral("v"));
    QVERIFY2(client_.exec(
                 QStringLiteral("CREATE TABLE %1 (a int, v %2, b nvarchar(5))").arg(table, type)),
             qPrintable(client_.lastError()));
    const OdbcClient::Outcome inserted = client_.run(
        QStringLiteral("INSERT INTO %1 VALUES (1, %2, N'y'), (2, NULL, N'z')").arg(table, literal));
    const OdbcClient::Outcome selected = client_.run(QStringLiteral("SELECT * FROM %1").arg(table));
    QVERIFY(!selected.failed);
    if (inserted.failed) {
        QCOMPARE(inserted.first(), QString(expected).replace("%TABLE%", table));
        QCOMPARE(selected.results.value(0).size(), 0); // one statement: all rows or none
        return;
    }
    QCOMPARE(inserted.first(), QString());
    const QList<QStringList> rows = selected.results.value(0);
    QCOMPARE(rows.size(), 2);
    // A real compares as a number: FreeTDS writes its own digits.
    const QString got = rows[0][1];
    QVERIFY2(type == u"real" ? got.toFloat() == expected.toFloat() : got == expected,
             qPrintable(got));
    QCOMPARE(rows[0][2], QStringLiteral("y"));
    QCOMPARE(rows[1], (QStringList{"2", "NULL", "z"}));
}

void TdsTest::statements_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QStringList>("rows");

    // CREATE TABLE and INSERT refused whole.
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
    refused("name taken in other letter case", "CREATE TABLE EXISTING (a int)",
            "2714 There is already an object named 'EXISTING' in the database.");
    refused("left out: keys", "CREATE TABLE t (a int PRIMARY KEY)",
            "50000 The SQL Server test double does not support the keyword PRIMARY here.");
    refused("MySQL quoting", "DROP TABLE `t`", "102 Incorrect syntax near '`'.");
    refused("unclosed quote, then a syntax error", "INSERT INTO existing VALUES('it''s",
            "105 Unclosed quotation mark after the character string 'it''s'.");
    refused("too few values", "INSERT INTO existing VALUES('1')",
            "213 Column name or number of supplied values does not match table definition.");
    refused(
        "NULL into NOT NULL", "INSERT INTO existing (name) VALUES('x')",
        "515 Cannot insert the value NULL into column 'id', table 'wiredb.dbo.Existing'; column "
        "does not allow nulls. INSERT fails.");

    // Where a batch stops: as SQL Server stops it.
    const char* logged = "SELECT * FROM log";
    row("missing table to drop: the batch goes on", "DROP TABLE t; INSERT INTO log VALUES(1)",
        "3701 Cannot drop the table 't', because it does not exist or you do not have permission.",
        logged, {"1"});
    row("conversion error ends the batch",
        "INSERT INTO log VALUES(1); INSERT INTO log VALUES('abc'); INSERT INTO log VALUES(3)",
        "245 Conversion failed when converting the varchar value 'abc' to data type int.", logged,
        {"1"});
    row("too many rows fail the batch before it runs",
        "INSERT INTO log VALUES(1); INSERT INTO log VALUES(" + numbered(1001).join("), (") + ")",
        "10738 The number of row value expressions in the INSERT statement exceeds the maximum "
        "allowed number of 1000 row values.",
        logged, {});
    row("missing table ends the batch, after a result",
        "SELECT 1 AS a; INSERT INTO log VALUES(1); SELECT * FROM t; INSERT INTO log VALUES(3)",
        "208 Invalid object name 't'.", logged, {"1"});

    // A name in another letter case; the table of the same name in sales is another.
    row("[dbo].[Orders]",
        "SELECT * FROM [dbo].[Orders]; DROP TABLE [dbo].[Orders]; SELECT COUNT(*) FROM "
        "information_schema.columns WHERE table_name = 'orders'",
        "", "", {"7 | NULL | NULL", "1"});
    row("all, in insertion order", "SELECT * FROM [odd ]]name]", "", "",
        {"3 | v3", "1 | NULL", "2 | v2"});
    row("ordered by a column, NULL first", "SELECT n FROM [odd ]]name] ORDER BY t", "", "",
        {"1", "2", "3"});
    row("filter with AND, text without case or trailing spaces",
        "SELECT t, n FROM [odd ]]name] WHERE n >= 2 AND t <> N'V2  '", "", "", {"v3 | 3"});
    row("count of an empty filter", "SELECT COUNT(*) AS c FROM [odd ]]name] WHERE n < 0", "", "",
        {"0"});
    row("rows of a table, as the progress estimate reads them",
        "SELECT rows FROM sys.partitions WHERE object_id=OBJECT_ID(N'[odd ]]name]') AND "
        "index_id < 2",
        "", "", {"3"});
    row("without FROM, converted", "SELECT 42, N'x' AS [a b], CONVERT(nvarchar(max), 0x4100)", "",
        "", {"42 | x | A"});

    // A table's columns, as the copy reads them, and what the catalog says of each type.
    const char* columns =
        "SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, "
        "NUMERIC_SCALE, DATETIME_PRECISION FROM information_schema.Columns WHERE "
        "table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(N'%1')) AND table_name=N'%2' "
        "ORDER BY ORDINAL_POSITION";
    row("columns, other case", QString::fromUtf8(columns).arg("ORDERS", "Orders"), "", "",
        {"id | int | NULL | 10 | 0 | NULL", "placed | datetime2 | NULL | NULL | NULL | 3",
         "customer | varchar | 40 | NULL | NULL | NULL"});
    row("columns, bracketed odd name", QString::fromUtf8(columns).arg("[odd ]]name]", "odd ]name"),
        "", "", {"n | int | NULL | 10 | 0 | NULL", "t | nvarchar | 5 | NULL | NULL | NULL"});
    row("columns, only in another schema", QString::fromUtf8(columns).arg("regions", "regions"), "",
        "", {});
    // DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, NUMERIC_PRECISION,
    // NUMERIC_PRECISION_RADIX, NUMERIC_SCALE, DATETIME_PRECISION of a type written another way.
    const char* const types[][2] = {
        {"decimal", "decimal | NULL | NULL | 18 | 10 | 0 | NULL"},
        {"float(24)", "real | NULL | NULL | 24 | 2 | NULL | NULL"},
        {"datetimeoffset(2)", "datetimeoffset | NULL | NULL | NULL | NULL | NULL | 2"}};
    for (const auto& [type, values] : types)
        row(type, QStringLiteral("CREATE TABLE typed (c %1)").arg(type), "",
            "SELECT DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, CHARACTER_OCTET_LENGTH, "
            "NUMERIC_PRECISION, NUMERIC_PRECISION_RADIX, NUMERIC_SCALE, DATETIME_PRECISION FROM "
            "INFORMATION_SCHEMA.COLUMNS WHERE table_name='typed'",
            {values});

    // A table whose smallest row passes 8,060 bytes: the fixed-length columns, bit columns eight
    // to a byte, a 4-byte header and the null bitmap (2 bytes and a bit a column); a
    // variable-length column adds nothing.
    const char* created =
        "SELECT COUNT(*) FROM information_schema.columns WHERE table_name = 'typed'";
    row("row: at the limit", "CREATE TABLE typed (a char(8000), b char(53))", "", created, {"2"});
    refused("row: a byte over", "CREATE TABLE t (a char(8000), b char(54))",
            "1701 Creating or altering table 't' failed because the minimum row size would be "
            "8061, including 7 bytes of internal overhead. This exceeds the maximum allowable "
            "table row size of 8060 bytes.");
    refused("row: nchar at two bytes a character", "CREATE TABLE t (a nchar(4000), b binary(54))",
            "1701 Creating or altering table 't' failed because the minimum row size would be "
            "8061, including 7 bytes of internal overhead. This exceeds the maximum allowable "
            "table row size of 8060 bytes.");
    row("row: variable-length columns add nothing",
        "CREATE TABLE typed (a char(8000), b char(53), v varchar(8000), w nvarchar(max))", "",
        created, {"4"});
    row("row: nine bit columns in two bytes",
        "CREATE TABLE typed (a char(8000), b char(50), c bit, d bit, e bit, f bit, g bit, h bit, "
        "i bit, j bit, k bit)",
        "", created, {"11"});
    row("row: eight columns, one bitmap byte",
        "CREATE TABLE typed (a char(8000), b char(29), c int, d int, e int, f int, g int, h int)",
        "", created, {"8"});
    refused("row: the ninth column's bitmap byte",
            "CREATE TABLE t (a char(8000), b char(25), c int, d int, e int, f int, g int, h int, "
            "i int)",
            "1701 Creating or altering table 't' failed because the minimum row size would be "
            "8061, including 8 bytes of internal overhead. This exceeds the maximum allowable "
            "table row size of 8060 bytes.");
    refused("row: 20 nchar(255)",
            "CREATE TABLE t (a nchar(255), b nchar(255), c nchar(255), d nchar(255), e nchar(255), "
            "f nchar(255), g nchar(255), h nchar(255), i nchar(255), j nchar(255), k nchar(255), "
            "l nchar(255), m nchar(255), n nchar(255), o nchar(255), p nchar(255), q nchar(255), "
            "r nchar(255), s nchar(255), u nchar(255))",
            "1701 Creating or altering table 't' failed because the minimum row size would be "
            "10209, including 9 bytes of internal overhead. This exceeds the maximum allowable "
            "table row size of 8060 bytes.");

    // Views: a view of one table's columns reads the table's rows as they are now.
    row("view: its table's rows under its names", "INSERT INTO orders VALUES(8, NULL, N'b')", "",
        "SELECT * FROM w; SELECT who FROM w WHERE id = 8; SELECT COUNT(*) FROM w",
        {"7 | NULL", "8 | b", "b", "2"});
    row("view: every column, a bracketed name", "CREATE VIEW [v] AS SELECT * FROM [odd ]]name]", "",
        "SELECT t, n FROM v ORDER BY n", {"NULL | 1", "v2 | 2", "v3 | 3"});
    row("view: its columns as the copy reads them", QString::fromUtf8(columns).arg("w", "w"), "",
        "", {"id | int | NULL | 10 | 0 | NULL", "who | varchar | 40 | NULL | NULL | NULL"});
    row("view: no partitions",
        "SELECT rows FROM sys.partitions WHERE object_id=OBJECT_ID(N'w') AND index_id < 2", "", "",
        {});
    row("view: DROP TABLE refused", "DROP TABLE [w];",
        "3705 Cannot use DROP TABLE with 'w' because 'w' is a view. Use DROP VIEW.",
        "SELECT id FROM w", {"7"});
    row("view: DROP VIEW of a table refused", "DROP VIEW orders",
        "3705 Cannot use DROP VIEW with 'orders' because 'orders' is a table. Use DROP TABLE.",
        "SELECT id FROM orders", {"7"});
    row("view: dropped, its table stays", "DROP VIEW [w];", "",
        "SELECT COUNT(*) FROM information_schema.columns WHERE table_name = 'w'; SELECT id FROM "
        "orders",
        {"0", "7"});
    row("view: DROP VIEW of a missing name, the batch goes on",
        "DROP VIEW t; INSERT INTO log VALUES(1)",
        "3701 Cannot drop the view 't', because it does not exist or you do not have permission.",
        logged, {"1"});
    row("view: its table gone", "DROP TABLE orders; SELECT * FROM w",
        "208 Invalid object name 'orders'.", "", {});
    row("view: not first in its batch", "SELECT 1; CREATE VIEW v AS SELECT * FROM orders",
        "111 'CREATE VIEW' must be the first statement in a query batch.",
        "SELECT COUNT(*) FROM information_schema.columns WHERE table_name = 'v'", {"0"});
    row("view: of a missing table", "CREATE VIEW v AS SELECT * FROM t",
        "208 Invalid object name 't'.", "", {});
    row("view: of a missing column", "CREATE VIEW v AS SELECT nope FROM orders",
        "207 Invalid column name 'nope'.", "", {});
    row("view: a column named twice", "CREATE VIEW v AS SELECT id, customer AS ID FROM orders",
        "4506 Column names in each view must be unique. Column name 'ID' in view 'v' is "
        "specified more than once.",
        "", {});
    row("view: a name taken", "CREATE VIEW Orders AS SELECT n FROM log",
        "2714 There is already an object named 'Orders' in the database.", "", {});
    row("view: INSERT left out", "INSERT INTO w VALUES(1, 'x')",
        "50000 The SQL Server test double does not support INSERT into a view.",
        "SELECT COUNT(*) FROM orders", {"1"});

    // Renames: the rows go with the table.
    row("rename bracketed, with N", "sp_rename N'[orders]', N'x]y'",
        "15477 Caution: Changing any part of an object name could break scripts and stored "
        "procedures.",
        "SELECT id FROM [x]]y]", {"7"});
    row("rename a missing table", "sp_rename 't', 'z'",
        "15248 Either the parameter @objname is ambiguous or the claimed @objtype (object) is "
        "wrong.",
        "SELECT id FROM orders", {"7"});
    row("rename onto a name taken, other case", "sp_rename 'orders', 'LOG'",
        "15335 Error: The new name 'LOG' is already in use as a object name and would cause a "
        "duplicate that is not permitted.",
        "SELECT id FROM orders", {"7"});
}

void TdsTest::statements() {
    QFETCH(QString, sql);
    QFETCH(QString, message);
    QFETCH(QString, check);
    QFETCH(QStringList, rows);
    const OdbcClient::Outcome r = client_.run(sql);
    QCOMPARE(r.first(), message);
    // Only a caution (severity 10) lets the statement succeed.
    QCOMPARE(r.failed, !message.isEmpty() && !message.startsWith(QLatin1String("15477 ")));
    // One message per refusal; an unclosed quote is followed by a syntax error near the rest of
    // the batch.
    const bool unclosed = message.startsWith(QLatin1String("105 "));
    QCOMPARE(r.messages.size(), message.isEmpty() ? 0 : unclosed ? 2 : 1);
    if (unclosed)
        QCOMPARE(r.messages.value(1).native, 102);
    const OdbcClient::Outcome after = check.isEmpty() ? r : client_.run(check);
    QStringList all;
    for (const QList<QStringList>& result : after.results)
        for (const QStringList& row : result)
            all << row.join(QStringLiteral(" | "));
    QCOMPARE(all, rows);
}

// One INSERT of several rows into a new table: the table's columns, the INSERT's column list
// (or none), each row's values, the first message (%TABLE% stands for the table's name) and the
// rows read back. The types a list of rows shares (SQL Server derives them by data type
// precedence from all the rows) decide what each value is converted to on the way.
void TdsTest::valuesList_data() {
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("stored");
    const auto add = [](const char* name, const char* columns, const QStringList& rows,
                        const char* message, const QStringList& stored = {},
                        const char* list = "") {
        QTest::newRow(name) << QString::fromUtf8(columns) << QString::fromUtf8(list) << rows
                            << QString::fromUtf8(message) << stored;
    };
    const char* tooMany = "10738 The number of row value expressions in the INSERT statement "
                          "exceeds the maximum allowed number of 1000 row values.";
    add("1,000 rows", "n int", numbered(1000), "", numbered(1000));
    add("1,001 rows", "n int", numbered(1001), tooMany);
    QStringList pairs;
    for (const QString& n : numbered(1001))
        pairs << "NULL, " + n;
    add("1,001 rows, with a column list", "n int, m int", pairs, tooMany, {}, "(m, n)");

    // A refused value fails the whole statement with the message it gets alone.
    add("too long, first row", "n int, v varchar(3)", {"1, 'abcd'", "2, 'ab'", "3, 'abc'"},
        "2628 String or binary data would be truncated in table 'wiredb.dbo.%TABLE%', column "
        "'v'. Truncated value: 'abc'.");
    add("not a number, middle row", "n int, v varchar(3)", {"'1', 'a'", "'x', 'b'", "'3', 'c'"},
        "245 Conversion failed when converting the varchar value 'x' to data type int.");
    add("NULL into NOT NULL, last row", "n int NOT NULL, v varchar(3)",
        {"1, 'a'", "2, 'b'", "NULL, 'c'"},
        "515 Cannot insert the value NULL into column 'n', table 'wiredb.dbo.%TABLE%'; column "
        "does not allow nulls. INSERT fails.");
    add("a value short, last row", "n int, v varchar(3)", {"1, 'a'", "2"},
        "213 Column name or number of supplied values does not match table definition.");

    // The type a column of the list shares, where it changes what arrives.
    add("text beside a number: int, the text fails", "v varchar(10)", {"'abc'", "12"},
        "245 Conversion failed when converting the varchar value 'abc' to data type int.");
    add("text beside a number: int, the zero goes", "v varchar(10)", {"'012'", "5"}, "",
        {"12", "5"});
    add("text beside a decimal: numeric", "v varchar(10)", {"'x'", "1.5"},
        "8114 Error converting data type varchar to numeric.");
    add("text beside a float: float", "v varchar(10)", {"'2.50'", "1e0"}, "", {"2.5", "1"});
    add("varchar beside nvarchar: nvarchar, as the message says", "n int", {"'x1'", "N'7'"},
        "245 Conversion failed when converting the nvarchar value 'x1' to data type int.");
    add("a bare NULL takes the others' type", "v varchar(5)", {"NULL", "'abc'", "NULL"}, "",
        {"NULL", "abc", "NULL"});
    add("texts share the longest length", "v nvarchar(10)", {"'ab'", "'abcdef'", "N'xyz'"}, "",
        {"ab", "abcdef", "xyz"});
    add("decimals share the widest scale", "d decimal(5,2)", {"1.5", "2.25"}, "", {"1.50", "2.25"});
    add("an int beside 38 digits: 28 after the point", "d decimal(38,37)",
        {"1.2345678901234567890123456789012345678", "5"}, "",
        {"1.2345678901234567890123456789000000000", "5.0000000000000000000000000000000000000"});
}

void TdsTest::valuesList() {
    QFETCH(QString, columns);
    QFETCH(QString, list);
    QFETCH(QStringList, rows);
    QFETCH(QString, message);
    QFETCH(QStringList, stored);
    const QString table = fq::test::uniqueName(QStringLiteral("rows"));
    QVERIFY2(client_.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns)),
             qPrintable(client_.lastError()));
    const QString sql =
        QStringLiteral("INSERT INTO %1 %2 VALUES (%3)").arg(table, list, rows.join("), ("));
    const int before = logSize();
    const OdbcClient::Outcome r = client_.run(sql);
    QCOMPARE(r.first(), QString(message).replace("%TABLE%", table));
    // The statement count the driver reports is every row the statement stored.
    QCOMPARE(r.counts, message.isEmpty() ? QList<qint64>{rows.size()} : QList<qint64>{});
    QStringList got;
    for (const QStringList& row :
         client_.run(QStringLiteral("SELECT * FROM %1").arg(table)).results.value(0))
        got << row.join(QStringLiteral(" | "));
    QCOMPARE(got, stored);
    // Logged once, whole, as the batch it came in.
    QCOMPARE(server_.logLines()
                 .mid(before)
                 .filter(QStringLiteral("\tBATCH\t"))
                 .value(0)
                 .section(u'\t', 2),
             "BATCH\t" + sql);
}

// (A wrong password and an unknown database are the probes' test, against this server.)
void TdsTest::loginRefused_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("extra"); // of the connection string
    QTest::addColumn<int>("native");
    const QString password = QString::fromUtf16(TestServerProcess::kPassword);
    QTest::newRow("password in other letter case") << kUser << password.toLower() << "" << 18456;
    QTest::newRow("unknown user") << "ghost" << password << "" << 18456;
    QTest::newRow("TDS 7.3") << kUser << password << "TDS_Version=7.3;" << 17835;
}

void TdsTest::loginRefused() {
    QFETCH(QString, login);
    QFETCH(QString, secret);
    QFETCH(QString, extra);
    QFETCH(int, native);
    const int before = logSize();
    OdbcClient c;
    QVERIFY(!c.connect(server_.connectionString(login, secret) + extra));
    // The server's number, among the driver's own follow-up messages.
    QVERIFY2(c.lastError().contains(QStringLiteral("/%1: ").arg(native)),
             qPrintable(c.lastError()));
    QVERIFY2(native != 18456 ||
                 c.lastError().contains(QStringLiteral("Login failed for user '%1'.").arg(login)),
             qPrintable(c.lastError()));
    // The first attempt is logged with its reason (the driver may try an older protocol after).
    const QStringList lines = server_.logLines().mid(before);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first().section(u'\t', 1),
             QStringLiteral("%1\tLOGIN-FAILED\twiredb\t%2").arg(login).arg(native));
}

// SQLTables for tables and views goes out as sp_tables: every schema's tables, then the views,
// the user's and the system's.
void TdsTest::catalog() {
    // A database of its own: the other tests' tables would only add rows.
    TestServerProcess fresh;
    QVERIFY2(fresh.start(), qPrintable(fresh.error()));
    OdbcClient c;
    QVERIFY2(c.connect(fresh.connectionString()), qPrintable(c.lastError()));
    QVERIFY2(c.exec("CREATE TABLE b_1 (id int); CREATE TABLE a (x int); CREATE TABLE sales.a (x "
                    "int)"),
             qPrintable(c.lastError()));
    QVERIFY2(c.exec("CREATE VIEW c_v AS SELECT x FROM a"), qPrintable(c.lastError()));
    QVERIFY2(c.tables("TABLE,VIEW"), qPrintable(c.lastError()));
    QStringList listed;
    for (const QStringList& row : c.allRows())
        listed << row.join(QStringLiteral(" | "));
    QStringList expected;
    for (const char* name :
         {"dbo | a | TABLE", "dbo | b_1 | TABLE", "sales | a | TABLE", "dbo | c_v | VIEW",
          "INFORMATION_SCHEMA | COLUMNS | VIEW", "INFORMATION_SCHEMA | TABLES | VIEW",
          "INFORMATION_SCHEMA | VIEWS | VIEW", "sys | columns | VIEW", "sys | objects | VIEW",
          "sys | partitions | VIEW", "sys | tables | VIEW"})
        expected << QStringLiteral("wiredb | %1 | NULL").arg(name);
    QCOMPARE(listed, expected);
}

void TdsTest::cancelDuringLongSelect() {
    // Rows of 100 kB: far more than the socket buffers hold, so the server is still sending.
    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_cancel"));
    QVERIFY(c->exec(QStringLiteral("CREATE TABLE %1 (n int, t nvarchar(max))").arg(table)));
    for (int i = 0; i < 300; ++i)
        QVERIFY(c->exec(QStringLiteral("INSERT INTO %1 VALUES (%2, N'%3')")
                            .arg(table)
                            .arg(i)
                            .arg(QString(50000, u'c'))));
    const int before = logSize();
    QVERIFY2(c->exec(QStringLiteral("SELECT * FROM %1").arg(table)), qPrintable(c->lastError()));
    QVERIFY(c->fetch());
    bool cancelled = false;
    std::thread([&] { cancelled = c->cancel(); }).join();
    QVERIFY(cancelled);
    int rows = 1;
    while (c->fetch())
        ++rows;
    QVERIFY2(rows < 300, qPrintable(QString::number(rows)));
    // The connection goes on with the next statement, and the server logged the cancel.
    QVERIFY2(c->exec(QStringLiteral("SELECT 42")), qPrintable(c->lastError()));
    QCOMPARE(c->allRows(), (QList<QStringList>{{"42"}}));
    QVERIFY(server_.logLines().mid(before).join(u'\n').contains(kUser + "\tATTENTION"));
}

void TdsTest::statementLog() {
    const int before = logSize();
    {
        auto c = connect();
        c->exec(QStringLiteral("SELECT *\r\nFROM [tab\tname] -- back\\slash"));
        c->exec(QString::fromUtf8("SELECT N'\u00e9'"));
    }
    // The logout is logged when the server sees the connection close; other connections'
    // lines may come in between.
    QString number;
    auto linesOf = [&] {
        QStringList out;
        for (const QString& line : server_.logLines().mid(before)) {
            if (number.isEmpty() && line.section(u'\t', 2, 2) == QLatin1String("LOGIN"))
                number = line.section(u'\t', 0, 0);
            if (line.section(u'\t', 0, 0) == number)
                out << line.section(u'\t', 1);
        }
        return out;
    };
    QTRY_VERIFY2(linesOf().size() >= 5, qPrintable(linesOf().join(u'\n')));
    QCOMPARE(linesOf(),
             (QStringList{kUser + "\tLOGIN\twiredb",
                          kUser + "\tBATCH\tSELECT *\\r\\nFROM [tab\\tname] -- back\\\\slash",
                          kUser + QString::fromUtf8("\tBATCH\tSELECT N'\u00e9'"),
                          // The driver cancels the result nobody read.
                          kUser + "\tATTENTION", kUser + "\tLOGOUT"}));
    // Connection numbers go up by one per connection.
    auto next = connect();
    QTRY_VERIFY(server_.logLines().last().startsWith(QString::number(number.toInt() + 1) + u'\t'));
}

// A generic client's parameterised statement: an RPC whose typed values are stored unchanged.
void TdsTest::parameters() {
    const QString text = QString::fromUtf8("é😀 it's");
    QVERIFY(!client_.run("CREATE TABLE typed (n int, t nvarchar(20), b varbinary(8))").failed);
    const int before = logSize();
    QVERIFY2(client_.execBound("INSERT INTO typed VALUES (?, ?, ?)", -42, text),
             qPrintable(client_.lastError()));
    QCOMPARE(client_.run("SELECT n, t, b FROM typed").results.value(0),
             (QList<QStringList>{{"-42", text, "NULL"}}));
    // Logged as the RPC it came as, with its declarations and values (the logout of an earlier
    // test's connection may be logged in between).
    QCOMPARE(
        server_.logLines().mid(before).filter(QStringLiteral("\tRPC\t")).value(0).section(u'\t', 2),
        "RPC\t10\tN'INSERT INTO typed VALUES (@P1, @P2, @P3)'\tN'@P1 INT,@P2 NVARCHAR(20),"
        "@P3 VARBINARY(8)'\t-42\tN'" +
            QString(text).replace("'", "''") + "'\tNULL");
}

void TdsTest::scriptAtStart() {
    // scripts/run's sample tables.
    TestServerProcess withScript;
    QVERIFY2(
        withScript.start({"--script", QT_TESTCASE_SOURCEDIR "/../../scripts/samples-mssql.sql"}),
        qPrintable(withScript.error()));
    OdbcClient c;
    QVERIFY2(c.connect(withScript.connectionString()), qPrintable(c.lastError()));
    QVERIFY2(c.exec("SELECT * FROM Customer"), qPrintable(c.lastError()));
    QCOMPARE(c.allRows(), (QList<QStringList>{{"Smith", "AB-1    "}, {"O'Neil", "NULL"}}));
    QVERIFY2(c.exec("SELECT note, amount FROM invoices"), qPrintable(c.lastError()));
    QCOMPARE(c.allRows(), (QList<QStringList>{{"Grüße", "99.9500"}, {"NULL", "12.0000"}}));
    QVERIFY2(c.exec("SELECT * FROM sales.regions"), qPrintable(c.lastError()));
    QCOMPARE(c.allRows(), (QList<QStringList>{{"NE", "North-East"}}));
}

QTEST_GUILESS_MAIN(TdsTest)
#include "tst_tds.moc"
