// Values through the test double and the real FreeTDS driver: each literal stored into its
// column's type as SQL Server converts it (or refused with SQL Server's number and text), each
// TDS encoding the server writes, and each parameter type FreeTDS sends.

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

void row(const char* name, const char* type, const QString& literal, const QString& expected) {
    QTest::newRow(name) << QString::fromLatin1(type) << literal << expected;
}

QString truncated(const char* value) {
    return QStringLiteral("2628 String or binary data would be truncated in table "
                          "'wiredb.dbo.%1', column 'v'. Truncated value: '%2'.")
        .arg("%TABLE%", QString::fromUtf8(value));
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
    void largeValues();

private:
    // Inserts the case's literal beside a NULL and reads both back.
    void stored();
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
    row("bit from 'true'", "bit", "'true'", "1");
    row("bit from 'yes'", "bit", "'yes'",
        "245 Conversion failed when converting the varchar value 'yes' to data type bit.");
    row("literal overflows tinyint", "tinyint", "300",
        "220 Arithmetic overflow error for data type tinyint, value = 300.");
    row("text overflows tinyint", "tinyint", "'300'",
        "244 The conversion of the varchar value '300' overflowed an INT1 column. Use a larger "
        "integer column.");
    row("empty text into int is 0", "int", "''", "0");
    row("letters into int", "int", "N'abc'",
        "245 Conversion failed when converting the nvarchar value 'abc' to data type int.");
    row("text overflows int", "int", "'3000000000'",
        "248 The conversion of the varchar value '3000000000' overflowed an int column.");
    row("literal overflows int", "int", "3000000000",
        "8115 Arithmetic overflow error converting expression to data type int.");
    row("float overflows int", "int", "1e10",
        "232 Arithmetic overflow error for type int, value = 10000000000.000000.");
    row("hex into int is left out", "int", "0x0000010F",
        "50000 The SQL Server test double does not support converting varbinary to int.");
    row("bigint max", "bigint", "'9223372036854775807'", "9223372036854775807");
    row("letters into bigint", "bigint", "'x'",
        "8114 Error converting data type varchar to bigint.");
    // Exact numerics, each decimal width.
    row("decimal in 5 bytes keeps its scale", "decimal(9,4)", "12.5", "12.5000");
    row("decimal rounds half away from zero", "decimal(5,2)", "'-1.005'", "-1.01");
    row("numeric in 9 bytes", "numeric(19,2)", "-12345678901234567.89", "-12345678901234567.89");
    row("decimal in 13 bytes", "decimal(28,0)", "'9999999999999999999999999999'",
        "9999999999999999999999999999");
    row("39 digits", "decimal(38,0)", "123456789012345678901234567890123456789",
        "1007 The number '123456789012345678901234567890123456789' is out of the range for "
        "numeric representation (maximum precision 38).");
    row("empty text into decimal", "decimal(10,2)", "''",
        "8114 Error converting data type varchar to numeric.");
    row("text overflows decimal", "decimal(3,1)", "'1234.5'",
        "8115 Arithmetic overflow error converting varchar to data type numeric.");
    row("literal overflows decimal", "decimal(3,1)", "1234.5",
        "8115 Arithmetic overflow error converting numeric to data type numeric.");
    row("money rounds to four places", "money", "'0.12345'", "0.1235");
    row("letters into money", "money", "'abc'",
        "235 Cannot convert a char value to money. The char value has incorrect syntax.");
    row("digits overflow money", "money", "'1000000000000000'",
        "236 The conversion from char data type to money resulted in a money overflow error.");
    row("text overflows smallmoney", "smallmoney", "'214748.3648'",
        "294 The conversion from char data type to smallmoney data type resulted in a "
        "smallmoney overflow error.");
    // Floating point: the exact values, in 8 and 4 bytes.
    row("float smallest subnormal", "float", "4.9406564584124654E-324", "4.9406564584124654E-324");
    row("float largest from text", "float", "'1.7976931348623157e+308'", "1.7976931348623157e+308");
    row("letters into float", "float", "'abc'",
        "8114 Error converting data type varchar to float.");
    row("real largest", "real", "3.4028234E+38", "3.4028234e38");
    row("real from text", "real", "'0.1'", "0.1");
    // A real holds the normal range: the texts of a float's exact double read back to it, a value
    // closer to zero than the smallest normal real is stored as 0, one beyond the largest refused.
    row("real largest exact", "real", "'3.4028234663852886e+38'", "3.4028234663852886e+38");
    row("real smallest normal", "real", "'-1.1754943508222875e-38'", "-1.1754943508222875e-38");
    row("real subnormal text is 0", "real", "'1.401298464324817e-45'", "0");
    row("real subnormal float is 0", "real", "-4.330473E-39", "0");
    row("real beyond the largest", "real", "'1e39'",
        "8115 Arithmetic overflow error converting expression to data type real.");
}

void TdsValuesTest::texts_data() {
    storedColumns();
    // Text: code page 1252 without N, padding, truncation.
    row("varchar keeps code page 1252", "varchar(20)", "'Grüße €'", "Grüße €");
    row("CJK without N", "nvarchar(5)", "'日本'", "??");
    row("emoji without N is two ?", "nvarchar(5)", "'😀'", "??");
    row("char pads with spaces", "char(5)", "'ab'", "ab   ");
    row("nchar pads", "nchar(3)", "N'中'", "中  ");
    row("trailing spaces cut silently", "varchar(3)", "'ab    '", "ab ");
    row("number into varchar", "varchar(10)", "-42", "-42");
    row("too long for varchar", "varchar(3)", "'abcd'", truncated("abc"));
    row("too long for nvarchar", "nvarchar(2)", "N'日本語'", truncated("日本"));
    row("too long for char", "char(2)", "'abc'", truncated("ab"));
    // Binary.
    row("binary pads with zeros", "binary(4)", "0x0102", "01020000");
    row("hex too long", "varbinary(2)", "0x010203", truncated("0x0102"));
    row("text into varbinary", "varbinary(10)", "'ab'",
        "257 Implicit conversion from data type varchar to varbinary is not allowed. Use the "
        "CONVERT function to run this query.");
}

void TdsValuesTest::datesAndTimes_data() {
    storedColumns();
    const QString when = QStringLiteral("241 Conversion failed when converting date and/or time "
                                        "from character string.");
    // Dates and times, each with SQL Server's rounding and range.
    row("date last", "date", "'9999-12-31 23:00'", "9999-12-31");
    row("time(0) rounds", "time(0)", "'10:20:30.5'", "10:20:31");
    row("time(3)", "time(3)", "'01:02:03.456'", "01:02:03.456");
    row("time(7)", "time(7)", "'23:59:59.9999999'", "23:59:59.9999999");
    row("time past 24 hours", "time(0)", "'100:00:00'", when);
    row("eight fraction digits", "time", "'10:00:00.12345678'", when);
    row("datetime 1/300 s", "datetime", "'2024-01-01 00:00:00.002'", "2024-01-01 00:00:00.003");
    row("datetime .998 rounds to .997", "datetime", "'2024-01-01 23:59:59.998'",
        "2024-01-01 23:59:59.997");
    row("datetime .999 rounds to the next day", "datetime", "'2024-01-01 23:59:59.999'",
        "2024-01-02 00:00:00.000");
    row("time alone into datetime", "datetime", "'10:20'", "1900-01-01 10:20:00.000");
    row("not a date", "datetime", "'yesterday'", when);
    row("month first is left out", "datetime", "'01/31/2024'", when);
    row("four fraction digits into datetime", "datetime", "'2024-01-01 10:00:00.1234'", when);
    row("offset into datetime", "datetime", "'2024-01-31 10:20:30 +05:30'", when);
    row("datetime before 1753", "datetime", "'1700-01-01'",
        "242 The conversion of a varchar data type to a datetime data type resulted in an "
        "out-of-range value.");
    row("no such day for datetime", "datetime", "'2023-02-29'",
        "242 The conversion of a varchar data type to a datetime data type resulted in an "
        "out-of-range value.");
    row("no such day for datetime2", "datetime2", "'2023-02-29'", when);
    row("int into datetime is left out", "datetime", "1",
        "50000 The SQL Server test double does not support converting int to datetime.");
    row("int into date", "date", "1", "206 Operand type clash: int is incompatible with date");
    row("smalldatetime 29.998 s rounds down", "smalldatetime", "'2024-01-01 10:20:29.998'",
        "2024-01-01 10:20:00");
    row("smalldatetime 29.999 s rounds up", "smalldatetime", "'2024-01-01 10:20:29.999'",
        "2024-01-01 10:21:00");
    row("smalldatetime after 2079", "smalldatetime", "'2080-01-01'",
        "242 The conversion of a varchar data type to a smalldatetime data type resulted in an "
        "out-of-range value.");
    row("datetime2(7) last", "datetime2(7)", "'9999-12-31 23:59:59.9999999'",
        "9999-12-31 23:59:59.9999999");
    row("datetime2(3) rounds", "datetime2(3)", "'2024-01-31 10:20:30.12351'",
        "2024-01-31 10:20:30.124");
    row("datetimeoffset west", "datetimeoffset(7)", "'2024-02-29 23:59:59.1234567 -05:00'",
        "2024-02-29 23:59:59.1234567 -05:00");
    row("datetimeoffset(0) east past midnight", "datetimeoffset(0)", "'2000-02-29 01:00:00 +05:30'",
        "2000-02-29 01:00:00 +05:30");
    row("datetimeoffset before the calendar in UTC", "datetimeoffset(0)",
        "'0001-01-01 00:00:00 +14:00'",
        "242 The conversion of a varchar data type to a datetimeoffset data type resulted in an "
        "out-of-range value.");
    // uniqueidentifier
    row("empty text into guid", "uniqueidentifier", "''",
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
    auto row = [](const char* name, const char* type, Bound b, bool prepared, const QString& stored,
                  const QString& logged) {
        QTest::newRow(name) << QString::fromLatin1(type) << b << prepared << stored << logged;
    };
    // Each TDS type FreeTDS sends a parameter as, through sp_prepexec and sp_execute, or
    // sp_executesql.
    row("INTN 4", "int", {SQL_C_SLONG, SQL_INTEGER, 0, 0, raw(qint32(-5))}, true, "-5", "-5");
    row("INTN 8", "bigint", {SQL_C_SBIGINT, SQL_BIGINT, 0, 0, raw(qint64(INT64_MIN))}, false,
        "-9223372036854775808", "-9223372036854775808");
    row("INTN 1", "tinyint", {SQL_C_UTINYINT, SQL_TINYINT, 0, 0, raw(quint8(255))}, true, "255",
        "255");
    row("BITN", "bit", {SQL_C_BIT, SQL_BIT, 1, 0, raw(quint8(1))}, false, "1", "1");
    row("FLTN 8", "float", {SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, raw(0.1 + 0.2)}, true,
        "0.30000000000000004", "0.30000000000000004");
    row("FLTN 4", "real", {SQL_C_FLOAT, SQL_REAL, 0, 0, raw(-0.25f)}, false, "-0.25", "-0.25");
    row("DECIMALN", "decimal(10,2)", {SQL_C_CHAR, SQL_DECIMAL, 10, 2, QByteArray("-12.5")}, true,
        "-12.50", "-12.50");
    row("NUMERICN 38 digits", "decimal(38,0)",
        {SQL_C_CHAR, SQL_NUMERIC, 38, 0, QByteArray(38, '9')}, false, QString(38, u'9'),
        QString(38, u'9'));
    row("BIGVARCHAR", "varchar(10)", {SQL_C_CHAR, SQL_VARCHAR, 10, 0, QByteArray("it's")}, true,
        "it's", "'it''s'");
    row("NVARCHAR", "nvarchar(10)", {SQL_C_WCHAR, SQL_WVARCHAR, 10, 0, wchars(unicode)}, false,
        unicode, nLiteral);
    row("NVARCHAR(max)", "nvarchar(max)",
        {SQL_C_WCHAR, SQL_WLONGVARCHAR, 100000, 0, wchars(unicode)}, true, unicode, nLiteral);
    row("BIGVARCHAR(max)", "varchar(max)",
        {SQL_C_CHAR, SQL_LONGVARCHAR, 100000, 0, QByteArray("a\\b")}, false, "a\\b", "'a\\\\b'");
    row("BIGVARBINARY", "varbinary(10)",
        {SQL_C_BINARY, SQL_VARBINARY, 10, 0, QByteArray("\0\xff", 2)}, true, "00ff", "0x00FF");
    row("BIGVARBINARY(max)", "varbinary(max)",
        {SQL_C_BINARY, SQL_LONGVARBINARY, 100000, 0, QByteArray(3, '\x7f')}, false, "7f7f7f",
        "0x7F7F7F");
    row("DATETIME2N", "datetime2(7)", {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 27, 7, raw(at)},
        true, "2024-02-29 10:20:30.1230000", "'2024-02-29 10:20:30.1230000'");
    row("DATETIME2N into datetime", "datetime",
        {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, raw(at)}, false,
        "2024-02-29 10:20:30.123", "'2024-02-29 10:20:30.1230000'");
    row("DATEN", "date", {SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, raw(SQL_DATE_STRUCT{2024, 1, 2})},
        true, "2024-01-02", "'2024-01-02'");
    row("TIMEN", "time(0)",
        {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, raw(SQL_TIME_STRUCT{10, 20, 30})}, false, "10:20:30",
        "'10:20:30.0000000'");
    row("GUID", "uniqueidentifier", {SQL_C_GUID, SQL_GUID, 16, 0, raw(guid)}, true,
        "00112233-4455-6677-8899-AABBCCDDEEFF", "'00112233-4455-6677-8899-AABBCCDDEEFF'");
    row("text into a date", "date", {SQL_C_CHAR, SQL_VARCHAR, 10, 0, QByteArray("2024-12-31")},
        false, "2024-12-31", "'2024-12-31'");
    row("NULL", "int", {SQL_C_SLONG, SQL_INTEGER, 0, 0, std::nullopt}, true, "NULL", "NULL");
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

void TdsValuesTest::largeValues() {
    const QString table =
        newTable(QStringLiteral("t nvarchar(max), b varbinary(max), v varchar(max)"));
    // 1 MB of text mixing one-unit and surrogate-pair characters, so values cross packet and
    // chunk boundaries at every offset.
    QString big;
    while (big.size() < 1024 * 1024)
        big += QStringLiteral("aé中😀");
    QByteArray bytes(300000, '\0');
    for (int i = 0; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(i % 251);
    const QString narrow(70000, u'x');
    QVERIFY2(client_.exec(QStringLiteral("INSERT INTO %1 VALUES (N'%2', 0x%3, '%4')")
                              .arg(table, big, QString::fromLatin1(bytes.toHex()), narrow)),
             qPrintable(client_.lastError()));
    QVERIFY(client_.exec(QStringLiteral("SELECT * FROM %1").arg(table)));
    QVERIFY(client_.fetch());
    QVERIFY(client_.text(1) == big);
    QVERIFY(client_.bytes(2) == bytes);
    QVERIFY(client_.text(3) == narrow);
}

QTEST_GUILESS_MAIN(TdsValuesTest)
#include "tst_tds_values.moc"
