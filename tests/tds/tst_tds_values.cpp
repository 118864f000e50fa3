// Statements and values through the test double and the real FreeTDS driver: what each statement
// stores and returns, each literal stored into its column's type as SQL Server converts it, each
// TDS encoding the server writes, each parameter type FreeTDS sends, and SQL Server's number and
// text for each refusal.

#include "OdbcClient.h"
#include "TestServerProcess.h"
#include "support/TestSupport.h"

#include <QTest>

using fq::test::OdbcClient;
using fq::test::TestServerProcess;

namespace {

// A parameter as a client binds it: C type, SQL type, column size, digits, the C bytes.
struct Bound {
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    std::optional<QByteArray> value;
};

template <typename T> QByteArray raw(const T& value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QByteArray wchars(const QString& s) {
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

// Floating-point values compare as numbers: FreeTDS writes its own digits.
bool sameValue(const QString& type, const QString& got, const QString& expected) {
    if (type == QLatin1String("float"))
        return got.toDouble() == expected.toDouble();
    if (type == QLatin1String("real"))
        return static_cast<float>(got.toDouble()) == static_cast<float>(expected.toDouble());
    return got == expected;
}

// Each case: the column type, the literal inserted, and the value read back (or
// "<native> <message>" when the server refuses it).
void storedColumns() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("expected");
}

void value(const char* name, const char* type, const QString& literal, const QString& expected) {
    QTest::newRow(name) << QString::fromLatin1(type) << literal << expected;
}

QString truncated(const char* value) {
    return QStringLiteral("2628 String or binary data would be truncated in table "
                          "'wiredb.dbo.%1', column 'v'. Truncated value: '%2'.")
        .arg("%TABLE%", QString::fromUtf8(value));
}

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

Q_DECLARE_METATYPE(Bound)

class TdsValuesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void numbers_data();
    void numbers() { stored(); }
    void texts_data();
    void texts() { stored(); }
    void datesAndTimes_data();
    void datesAndTimes() { stored(); }
    void parameters_data();
    void parameters();
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
    // Inserts the case's literal beside a NULL and reads both back.
    void stored();
    // Runs the case's batch and compares what it gave.
    void check();
    QString newTable(const QString& columns) {
        const QString table = fq::test::uniqueName(QStringLiteral("v"));
        if (!client_.exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(table, columns)))
            qWarning("%s", qPrintable(client_.lastError()));
        return table;
    }

    TestServerProcess server_;
    OdbcClient client_;
};

void TdsValuesTest::initTestCase() {
    QVERIFY2(server_.start(), qPrintable(server_.error()));
    QVERIFY2(client_.connect(server_.connectionString()), qPrintable(client_.lastError()));
}

void TdsValuesTest::numbers_data() {
    storedColumns();
    // Integers, each TDS width at its boundaries.
    value("bit from 'true'", "bit", "'true'", "1");
    value("bit from 'yes'", "bit", "'yes'",
          "245 Conversion failed when converting the varchar value 'yes' to data type bit.");
    value("literal overflows tinyint", "tinyint", "300",
          "220 Arithmetic overflow error for data type tinyint, value = 300.");
    value("text overflows tinyint", "tinyint", "'300'",
          "244 The conversion of the varchar value '300' overflowed an INT1 column. Use a larger "
          "integer column.");
    value("empty text into int is 0", "int", "''", "0");
    value("letters into int", "int", "N'abc'",
          "245 Conversion failed when converting the nvarchar value 'abc' to data type int.");
    value("text overflows int", "int", "'3000000000'",
          "248 The conversion of the varchar value '3000000000' overflowed an int column.");
    value("literal overflows int", "int", "3000000000",
          "8115 Arithmetic overflow error converting expression to data type int.");
    value("float overflows int", "int", "1e10",
          "232 Arithmetic overflow error for type int, value = 10000000000.000000.");
    value("hex into int is left out", "int", "0x0000010F",
          "50000 The SQL Server test double does not support converting varbinary to int.");
    value("bigint max", "bigint", "'9223372036854775807'", "9223372036854775807");
    value("letters into bigint", "bigint", "'x'",
          "8114 Error converting data type varchar to bigint.");
    // Exact numerics, each decimal width.
    value("decimal in 5 bytes keeps its scale", "decimal(9,4)", "12.5", "12.5000");
    value("decimal rounds half away from zero", "decimal(5,2)", "'-1.005'", "-1.01");
    value("numeric in 9 bytes", "numeric(19,2)", "-12345678901234567.89", "-12345678901234567.89");
    value("decimal in 13 bytes", "decimal(28,0)", "'9999999999999999999999999999'",
          "9999999999999999999999999999");
    value("39 digits", "decimal(38,0)", "123456789012345678901234567890123456789",
          "1007 The number '123456789012345678901234567890123456789' is out of the range for "
          "numeric representation (maximum precision 38).");
    value("empty text into decimal", "decimal(10,2)", "''",
          "8114 Error converting data type varchar to numeric.");
    value("text overflows decimal", "decimal(3,1)", "'1234.5'",
          "8115 Arithmetic overflow error converting varchar to data type numeric.");
    value("literal overflows decimal", "decimal(3,1)", "1234.5",
          "8115 Arithmetic overflow error converting numeric to data type numeric.");
    value("money rounds to four places", "money", "'0.12345'", "0.1235");
    value("letters into money", "money", "'abc'",
          "235 Cannot convert a char value to money. The char value has incorrect syntax.");
    value("digits overflow money", "money", "'1000000000000000'",
          "236 The conversion from char data type to money resulted in a money overflow error.");
    value("text overflows smallmoney", "smallmoney", "'214748.3648'",
          "294 The conversion from char data type to smallmoney data type resulted in a "
          "smallmoney overflow error.");
    // Floating point: the exact values, in 8 and 4 bytes.
    value("float largest from text", "float", "'1.7976931348623157e+308'",
          "1.7976931348623157e+308");
    value("letters into float", "float", "'abc'",
          "8114 Error converting data type varchar to float.");
    value("real from text", "real", "'0.1'", "0.1");
    // A real holds the normal range: the texts of a float's exact double read back to it, a value
    // closer to zero than the smallest normal real is stored as 0, one beyond the largest refused.
    value("real largest exact", "real", "'3.4028234663852886e+38'", "3.4028234663852886e+38");
    value("real smallest normal", "real", "'-1.1754943508222875e-38'", "-1.1754943508222875e-38");
    value("real subnormal text is 0", "real", "'1.401298464324817e-45'", "0");
    value("real subnormal float is 0", "real", "-4.330473E-39", "0");
    value("real beyond the largest", "real", "'1e39'",
          "8115 Arithmetic overflow error converting expression to data type real.");
}

void TdsValuesTest::texts_data() {
    storedColumns();
    // Text: code page 1252 without N, padding, truncation.
    value("CJK without N", "nvarchar(5)", "'日本'", "??");
    value("emoji without N is two ?", "nvarchar(5)", "'😀'", "??");
    value("char pads with spaces", "char(5)", "'ab'", "ab   ");
    value("nchar pads", "nchar(3)", "N'中'", "中  ");
    value("trailing spaces cut silently", "varchar(3)", "'ab    '", "ab ");
    value("number into varchar", "varchar(10)", "-42", "-42");
    value("too long for varchar", "varchar(3)", "'abcd'", truncated("abc"));
    value("too long for nvarchar", "nvarchar(2)", "N'日本語'", truncated("日本"));
    value("too long for char", "char(2)", "'abc'", truncated("ab"));
    // Binary.
    value("binary pads with zeros", "binary(4)", "0x0102", "01020000");
    value("hex too long", "varbinary(2)", "0x010203", truncated("0x0102"));
    value("text into varbinary", "varbinary(10)", "'ab'",
          "257 Implicit conversion from data type varchar to varbinary is not allowed. Use the "
          "CONVERT function to run this query.");
}

void TdsValuesTest::datesAndTimes_data() {
    storedColumns();
    const QString when = QStringLiteral("241 Conversion failed when converting date and/or time "
                                        "from character string.");
    // Dates and times, each with SQL Server's rounding and range.
    value("date last", "date", "'9999-12-31 23:00'", "9999-12-31");
    value("time(0) rounds", "time(0)", "'10:20:30.5'", "10:20:31");
    value("time(3)", "time(3)", "'01:02:03.456'", "01:02:03.456");
    value("time(7)", "time(7)", "'23:59:59.9999999'", "23:59:59.9999999");
    value("time past 24 hours", "time(0)", "'100:00:00'", when);
    value("eight fraction digits", "time", "'10:00:00.12345678'", when);
    value("datetime 1/300 s", "datetime", "'2024-01-01 00:00:00.002'", "2024-01-01 00:00:00.003");
    value("datetime .998 rounds to .997", "datetime", "'2024-01-01 23:59:59.998'",
          "2024-01-01 23:59:59.997");
    value("datetime .999 rounds to the next day", "datetime", "'2024-01-01 23:59:59.999'",
          "2024-01-02 00:00:00.000");
    value("time alone into datetime", "datetime", "'10:20'", "1900-01-01 10:20:00.000");
    value("not a date", "datetime", "'yesterday'", when);
    value("month first is left out", "datetime", "'01/31/2024'", when);
    value("four fraction digits into datetime", "datetime", "'2024-01-01 10:00:00.1234'", when);
    value("offset into datetime", "datetime", "'2024-01-31 10:20:30 +05:30'", when);
    value("datetime before 1753", "datetime", "'1700-01-01'",
          "242 The conversion of a varchar data type to a datetime data type resulted in an "
          "out-of-range value.");
    value("no such day for datetime", "datetime", "'2023-02-29'",
          "242 The conversion of a varchar data type to a datetime data type resulted in an "
          "out-of-range value.");
    value("no such day for datetime2", "datetime2", "'2023-02-29'", when);
    value("int into datetime is left out", "datetime", "1",
          "50000 The SQL Server test double does not support converting int to datetime.");
    value("int into date", "date", "1", "206 Operand type clash: int is incompatible with date");
    value("smalldatetime 29.998 s rounds down", "smalldatetime", "'2024-01-01 10:20:29.998'",
          "2024-01-01 10:20:00");
    value("smalldatetime 29.999 s rounds up", "smalldatetime", "'2024-01-01 10:20:29.999'",
          "2024-01-01 10:21:00");
    value("smalldatetime after 2079", "smalldatetime", "'2080-01-01'",
          "242 The conversion of a varchar data type to a smalldatetime data type resulted in an "
          "out-of-range value.");
    value("datetime2(7) last", "datetime2(7)", "'9999-12-31 23:59:59.9999999'",
          "9999-12-31 23:59:59.9999999");
    value("datetime2(3) rounds", "datetime2(3)", "'2024-01-31 10:20:30.12351'",
          "2024-01-31 10:20:30.124");
    value("datetimeoffset west", "datetimeoffset(7)", "'2024-02-29 23:59:59.1234567 -05:00'",
          "2024-02-29 23:59:59.1234567 -05:00");
    value("datetimeoffset(0) east past midnight", "datetimeoffset(0)",
          "'2000-02-29 01:00:00 +05:30'", "2000-02-29 01:00:00 +05:30");
    value("datetimeoffset before the calendar in UTC", "datetimeoffset(0)",
          "'0001-01-01 00:00:00 +14:00'",
          "242 The conversion of a varchar data type to a datetimeoffset data type resulted in an "
          "out-of-range value.");
    // uniqueidentifier
    value("empty text into guid", "uniqueidentifier", "''",
          "8169 Conversion failed when converting from a character string to uniqueidentifier.");
}

void TdsValuesTest::stored() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(QString, expected);
    // A NULL after the value, between two neighbours: a lost NULL or a shifted column shows.
    const QString table = newTable(QStringLiteral("a int, v %1, b nvarchar(5)").arg(type));
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
    QVERIFY2(sameValue(type, rows[0][1], expected), qPrintable(rows[0][1]));
    QCOMPARE(rows[0][2], QStringLiteral("y"));
    QCOMPARE(rows[1], (QStringList{"2", "NULL", "z"}));
}

void TdsValuesTest::parameters_data() {
    QTest::addColumn<QString>("type");   // of the column
    QTest::addColumn<Bound>("bound");    // the parameter as the client binds it
    QTest::addColumn<bool>("prepared");  // SQLPrepare + SQLExecute, or SQLExecDirect
    QTest::addColumn<QString>("stored"); // read back as text
    QTest::addColumn<QString>("logged"); // the parameter in the statement log
    const SQL_TIMESTAMP_STRUCT at{2024, 2, 29, 10, 20, 30, 123000000};
    const SQLGUID guid{
        0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    const QString unicode = QStringLiteral("it's 中😀");
    const QString nLiteral = QStringLiteral("N'it''s 中😀'");
    auto param = [](const char* name, const char* type, Bound b, bool prepared,
                    const QString& stored, const QString& logged) {
        QTest::newRow(name) << QString::fromLatin1(type) << b << prepared << stored << logged;
    };
    // Each TDS type FreeTDS sends a parameter as, through sp_prepexec and sp_execute, or
    // sp_executesql.
    param("INTN 4", "int", {SQL_C_SLONG, SQL_INTEGER, 0, 0, raw(qint32(-5))}, true, "-5", "-5");
    param("INTN 8", "bigint", {SQL_C_SBIGINT, SQL_BIGINT, 0, 0, raw(qint64(INT64_MIN))}, false,
          "-9223372036854775808", "-9223372036854775808");
    param("INTN 1", "tinyint", {SQL_C_UTINYINT, SQL_TINYINT, 0, 0, raw(quint8(255))}, true, "255",
          "255");
    param("BITN", "bit", {SQL_C_BIT, SQL_BIT, 1, 0, raw(quint8(1))}, false, "1", "1");
    param("FLTN 8", "float", {SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, raw(0.1 + 0.2)}, true,
          "0.30000000000000004", "0.30000000000000004");
    param("FLTN 4", "real", {SQL_C_FLOAT, SQL_REAL, 0, 0, raw(-0.25f)}, false, "-0.25", "-0.25");
    param("DECIMALN", "decimal(10,2)", {SQL_C_CHAR, SQL_DECIMAL, 10, 2, QByteArray("-12.5")}, true,
          "-12.50", "-12.50");
    param("NUMERICN 38 digits", "decimal(38,0)",
          {SQL_C_CHAR, SQL_NUMERIC, 38, 0, QByteArray(38, '9')}, false, QString(38, u'9'),
          QString(38, u'9'));
    param("BIGVARCHAR", "varchar(10)", {SQL_C_CHAR, SQL_VARCHAR, 10, 0, QByteArray("it's")}, true,
          "it's", "'it''s'");
    param("NVARCHAR", "nvarchar(10)", {SQL_C_WCHAR, SQL_WVARCHAR, 10, 0, wchars(unicode)}, false,
          unicode, nLiteral);
    param("NVARCHAR(max)", "nvarchar(max)",
          {SQL_C_WCHAR, SQL_WLONGVARCHAR, 100000, 0, wchars(unicode)}, true, unicode, nLiteral);
    param("BIGVARCHAR(max)", "varchar(max)",
          {SQL_C_CHAR, SQL_LONGVARCHAR, 100000, 0, QByteArray("a\\b")}, false, "a\\b", "'a\\\\b'");
    param("BIGVARBINARY", "varbinary(10)",
          {SQL_C_BINARY, SQL_VARBINARY, 10, 0, QByteArray("\0\xff", 2)}, true, "00ff", "0x00FF");
    param("BIGVARBINARY(max)", "varbinary(max)",
          {SQL_C_BINARY, SQL_LONGVARBINARY, 100000, 0, QByteArray(3, '\x7f')}, false, "7f7f7f",
          "0x7F7F7F");
    param("DATETIME2N", "datetime2(7)", {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 27, 7, raw(at)},
          true, "2024-02-29 10:20:30.1230000", "'2024-02-29 10:20:30.1230000'");
    param("DATETIME2N into datetime", "datetime",
          {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, raw(at)}, false,
          "2024-02-29 10:20:30.123", "'2024-02-29 10:20:30.1230000'");
    param("DATEN", "date",
          {SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, raw(SQL_DATE_STRUCT{2024, 1, 2})}, true,
          "2024-01-02", "'2024-01-02'");
    param("TIMEN", "time(0)",
          {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, raw(SQL_TIME_STRUCT{10, 20, 30})}, false,
          "10:20:30", "'10:20:30.0000000'");
    param("GUID", "uniqueidentifier", {SQL_C_GUID, SQL_GUID, 16, 0, raw(guid)}, true,
          "00112233-4455-6677-8899-AABBCCDDEEFF", "'00112233-4455-6677-8899-AABBCCDDEEFF'");
    param("text into a date", "date", {SQL_C_CHAR, SQL_VARCHAR, 10, 0, QByteArray("2024-12-31")},
          false, "2024-12-31", "'2024-12-31'");
    param("NULL", "int", {SQL_C_SLONG, SQL_INTEGER, 0, 0, std::nullopt}, true, "NULL", "NULL");
}

void TdsValuesTest::parameters() {
    QFETCH(QString, type);
    QFETCH(Bound, bound);
    QFETCH(bool, prepared);
    QFETCH(QString, stored);
    QFETCH(QString, logged);
    OdbcClient c;
    QVERIFY2(c.connect(server_.connectionString()), qPrintable(c.lastError()));
    const QString table = newTable(QStringLiteral("id int, v %1").arg(type));
    const QString insert = QStringLiteral("INSERT INTO %1 VALUES (?, ?)").arg(table);
    const auto before = server_.logLines().size();
    if (prepared)
        QVERIFY2(c.prepare(insert), qPrintable(c.lastError()));
    c.bind(1, SQL_C_SLONG, SQL_INTEGER, 0, 0, raw(qint32(7)));
    c.bind(2, bound.cType, bound.sqlType, bound.size, bound.digits, bound.value);
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(prepared ? c.execute() : c.exec(insert), qPrintable(c.lastError()));
        QCOMPARE(c.rowCount(), 1);
    }
    QCOMPARE(c.run(QStringLiteral("SELECT v FROM %1 WHERE id = 7").arg(table)).results,
             (QList<QList<QStringList>>{{{stored}, {stored}}}));
    // The calls as the driver made them: sp_prepexec then sp_execute, or sp_executesql twice,
    // each parameter written as a T-SQL literal.
    const QStringList lines = server_.logLines().mid(before).filter(QStringLiteral("\tRPC\t"));
    QVERIFY2(lines.size() >= 2, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines[0].section(u'\t', 3, 3), QString(prepared ? "13" : "10"));
    QCOMPARE(lines[1].section(u'\t', 3, 3), QString(prepared ? "sp_execute" : "10"));
    for (const QString& line : lines.mid(0, 2))
        QVERIFY2(line.endsWith(QStringLiteral("\t7\t") + logged), qPrintable(line));
}

// The tables every case starts from; whatever a case made is dropped first.
void TdsValuesTest::init() {
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

void TdsValuesTest::refusals_data() {
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
void TdsValuesTest::leftOutFeatures_data() {
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
void TdsValuesTest::batches_data() {
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

void TdsValuesTest::queries_data() {
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
void TdsValuesTest::catalogQuery_data() {
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
void TdsValuesTest::renames_data() {
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

void TdsValuesTest::check() {
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

QTEST_GUILESS_MAIN(TdsValuesTest)
#include "tst_tds_values.moc"
