// INSERT conversions of the test double's engine: each value converted to its column's type as
// SQL Server converts it, or refused with SQL Server's number and text.

#include <QtTest>

#include "EngineRun.h"

using namespace enginetest;

class TestEngineConvert : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void insertsLiteral_data();
    void insertsLiteral();
    void floatRoundTrip_data();
    void floatRoundTrip();
    void refusedRowLeavesTableUnchanged();

private:
    std::unique_ptr<tds::Engine> engine_;
    std::unique_ptr<tds::Session> session_;
};

void TestEngineConvert::init() {
    engine_ =
        std::make_unique<tds::Engine>(std::vector<tds::Engine::Account>{{u"sa", u"pw"}}, u"shop");
    session_ = engine_->login(u"sa", u"pw", u"shop").session;
    QVERIFY(session_);
}

void TestEngineConvert::cleanup() {
    session_.reset();
    engine_.reset();
}

void TestEngineConvert::insertsLiteral_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("stored"); // when accepted
    QTest::addColumn<int>("error");      // when refused
    QTest::addColumn<QString>("message");

    auto ok = [](const char* name, const QString& type, const QString& literal,
                 const QString& stored) {
        QTest::newRow(name) << type << literal << stored << 0 << QString();
    };
    auto refused = [](const char* name, const QString& type, const QString& literal, int error,
                      const QString& message) {
        QTest::newRow(name) << type << literal << QString() << error << message;
    };

    // Integers
    ok("empty text into int is 0", "int", "''", "0");
    ok("text with spaces into int", "int", "' 42 '", "42");
    ok("negative text into int", "int", "'-7'", "-7");
    ok("int literal", "int", "2147483647", "2147483647");
    ok("negative int literal", "int", "-2147483648", "-2147483648");
    ok("NULL stays NULL", "int", "NULL", "NULL");
    refused("letters into int", "int", "'abc'", 245,
            "Conversion failed when converting the varchar value 'abc' to data type int.");
    refused("N letters into int", "int", "N'abc'", 245,
            "Conversion failed when converting the nvarchar value 'abc' to data type int.");
    refused("decimal text into int", "int", "'1.5'", 245,
            "Conversion failed when converting the varchar value '1.5' to data type int.");
    refused("text overflows int", "int", "'3000000000'", 248,
            "The conversion of the varchar value '3000000000' overflowed an int column.");
    refused("literal overflows int", "int", "3000000000", 8115,
            "Arithmetic overflow error converting expression to data type int.");
    refused("literal overflows tinyint", "tinyint", "300", 220,
            "Arithmetic overflow error for data type tinyint, value = 300.");
    refused("literal overflows smallint", "smallint", "40000", 220,
            "Arithmetic overflow error for data type smallint, value = 40000.");
    refused("text overflows tinyint", "tinyint", "'300'", 244,
            "The conversion of the varchar value '300' overflowed an INT1 column. Use a larger "
            "integer column.");
    ok("bigint text", "bigint", "'9223372036854775807'", "9223372036854775807");
    refused("letters into bigint", "bigint", "'x'", 8114,
            "Error converting data type varchar to bigint.");
    refused("hex into int is left out", "int", "0x0000010F", 50000,
            "The SQL Server test double does not support converting varbinary to int.");

    // bit
    ok("bit from '1'", "bit", "'1'", "1");
    ok("bit from '0'", "bit", "'0'", "0");
    ok("bit from 'true'", "bit", "'true'", "1");
    ok("bit from 'FALSE'", "bit", "'FALSE'", "0");
    ok("bit from 5", "bit", "5", "1");
    ok("bit from empty", "bit", "''", "0");
    refused("bit from 'yes'", "bit", "'yes'", 245,
            "Conversion failed when converting the varchar value 'yes' to data type bit.");

    // Exact numerics
    ok("decimal from text", "decimal(10,2)", "'12.5'", "12.50");
    ok("decimal rounds half away from zero", "decimal(5,2)", "'1.005'", "1.01");
    ok("negative decimal rounds away from zero", "decimal(5,2)", "'-1.005'", "-1.01");
    ok("decimal from literal", "decimal(10,2)", "99.95", "99.95");
    refused("empty text into decimal", "decimal(10,2)", "''", 8114,
            "Error converting data type varchar to numeric.");
    refused("letters into decimal", "numeric(10,2)", "'abc'", 8114,
            "Error converting data type varchar to numeric.");
    refused("text overflows decimal", "decimal(3,1)", "'1234.5'", 8115,
            "Arithmetic overflow error converting varchar to data type numeric.");
    refused("literal overflows decimal", "decimal(3,1)", "1234.5", 8115,
            "Arithmetic overflow error converting numeric to data type numeric.");
    ok("money from text with sign and commas", "money", "'$1,234.5'", "1234.5000");
    ok("money rounds to four places", "money", "'0.12345'", "0.1235");
    ok("empty text into money is 0", "money", "''", "0.0000");
    ok("smallmoney", "smallmoney", "'214748.3647'", "214748.3647");
    refused("letters into money", "money", "'abc'", 235,
            "Cannot convert a char value to money. The char value has incorrect syntax.");
    refused("text overflows money", "money", "'1e30'", 235,
            "Cannot convert a char value to money. The char value has incorrect syntax.");
    refused("digits overflow money", "money", "'1000000000000000'", 236,
            "The conversion from char data type to money resulted in a money overflow error.");
    refused("letters into smallmoney", "smallmoney", "'x'", 293,
            "Cannot convert char value to smallmoney. The char value has incorrect syntax.");
    refused("text overflows smallmoney", "smallmoney", "'214748.3648'", 294,
            "The conversion from char data type to smallmoney data type resulted in a smallmoney "
            "overflow error.");

    // Approximate numerics
    ok("float from text", "float", "'0.1'", "0.1");
    ok("float from exponent", "float", "'1e300'", "1e+300");
    ok("float literal with exponent", "float", "-2.2250738585072014e-308",
       "-2.2250738585072014e-308");
    ok("decimal(38) literal", "decimal(38,20)", "123456789012345678.12345678901234567890",
       "123456789012345678.12345678901234567890");
    refused("39 digits", "decimal(38,0)", "123456789012345678901234567890123456789", 1007,
            "The number '123456789012345678901234567890123456789' is out of the range for "
            "numeric representation (maximum precision 38).");
    ok("real from text", "real", "'0.1'", "0.1");
    ok("empty text into float is 0", "float", "''", "0");
    refused("letters into float", "float", "'abc'", 8114,
            "Error converting data type varchar to float.");

    // Character types and the code page
    ok("varchar keeps Latin-1", "varchar(10)", "'Grüße'", "Grüße");
    ok("CJK without N becomes ? in varchar", "varchar(10)", "'日本'", "??");
    ok("CJK without N becomes ? in nvarchar", "nvarchar(10)", "'日本'", "??");
    ok("CJK with N survives in nvarchar", "nvarchar(10)", "N'日本'", "日本");
    ok("emoji without N becomes two ?", "nvarchar(10)", "'😀'", "??");
    ok("emoji with N survives", "nvarchar(10)", "N'😀'", "😀");
    ok("CJK with N into varchar becomes ?", "varchar(10)", "N'日本'", "??");
    ok("euro sign is in code page 1252", "nvarchar(10)", "'€'", "€");
    ok("char pads with spaces", "char(4)", "'ab'", "ab  ");
    ok("trailing spaces cut silently", "varchar(3)", "'ab    '", "ab ");
    ok("quote inside text", "varchar(10)", "'O''Neil'", "O'Neil");
    ok("number into varchar", "varchar(10)", "42", "42");
    ok("text has no length limit", "text", "'long text'", "long text");
    ok("text with a zero character", "nvarchar(max)", "CONVERT(nvarchar(max), 0x6100000062007167)",
       QString::fromUtf16(u"a\0b\u6771", 4));
    refused("too long for varchar", "varchar(3)", "'abcd'", 2628,
            "String or binary data would be truncated in table 'shop.dbo.c', column 'v'. "
            "Truncated value: 'abc'.");
    refused("too long for nvarchar", "nvarchar(2)", "N'日本語'", 2628,
            "String or binary data would be truncated in table 'shop.dbo.c', column 'v'. "
            "Truncated value: '日本'.");
    refused("too long for char", "char(2)", "'abc'", 2628,
            "String or binary data would be truncated in table 'shop.dbo.c', column 'v'. "
            "Truncated value: 'ab'.");

    // Binary types
    ok("hex into varbinary", "varbinary(4)", "0x0A0B", "0x0A0B");
    ok("hex into binary pads with zeros", "binary(3)", "0x0A", "0x0A0000");
    ok("hex into varbinary(max)", "varbinary(max)", "0xDEADBEEF", "0xDEADBEEF");
    ok("empty hex", "varbinary(4)", "0x", "0x");
    refused("hex too long", "varbinary(2)", "0x010203", 2628,
            "String or binary data would be truncated in table 'shop.dbo.c', column 'v'. "
            "Truncated value: '0x0102'.");
    refused("text into varbinary", "varbinary(10)", "'ab'", 257,
            "Implicit conversion from data type varchar to varbinary is not allowed. Use the "
            "CONVERT function to run this query.");

    // Dates and times
    ok("empty text into datetime", "datetime", "''", "1900-01-01 00:00:00.000");
    ok("datetime ISO", "datetime", "'2024-01-31 10:20:30.123'", "2024-01-31 10:20:30.123");
    ok("datetime .001 rounds to .000", "datetime", "'2024-01-01 00:00:00.001'",
       "2024-01-01 00:00:00.000");
    ok("datetime .002 rounds to .003", "datetime", "'2024-01-01 00:00:00.002'",
       "2024-01-01 00:00:00.003");
    ok("datetime .005 rounds to .007", "datetime", "'2024-01-01 00:00:00.005'",
       "2024-01-01 00:00:00.007");
    ok("datetime .998 rounds to .997", "datetime", "'2024-01-01 23:59:59.998'",
       "2024-01-01 23:59:59.997");
    ok("datetime .999 rounds to the next day", "datetime", "'2024-01-01 23:59:59.999'",
       "2024-01-02 00:00:00.000");
    ok("time alone into datetime", "datetime", "'10:20'", "1900-01-01 10:20:00.000");
    refused("bad date", "datetime", "'2024-13-01'", 241,
            "Conversion failed when converting date and/or time from character string.");
    refused("not a date", "datetime", "'yesterday'", 241,
            "Conversion failed when converting date and/or time from character string.");
    refused("month first is left out", "datetime", "'01/31/2024'", 241,
            "Conversion failed when converting date and/or time from character string.");
    refused("four fraction digits into datetime", "datetime", "'2024-01-01 10:00:00.1234'", 241,
            "Conversion failed when converting date and/or time from character string.");
    refused("datetime before 1753", "datetime", "'1700-01-01'", 242,
            "The conversion of a varchar data type to a datetime data type resulted in an "
            "out-of-range value.");
    refused("no such day for datetime", "datetime", "'2023-02-29'", 242,
            "The conversion of a varchar data type to a datetime data type resulted in an "
            "out-of-range value.");
    refused("no such day for datetime2", "datetime2", "'2023-02-29'", 241,
            "Conversion failed when converting date and/or time from character string.");
    ok("datetime2(7)", "datetime2", "'2024-01-31 10:20:30.1234567'", "2024-01-31 10:20:30.1234567");
    ok("datetime2(3) rounds", "datetime2(3)", "'2024-01-31 10:20:30.12351'",
       "2024-01-31 10:20:30.1240000");
    ok("datetime2 before 1753", "datetime2", "'0001-01-01'", "0001-01-01 00:00:00.0000000");
    ok("empty text into date", "date", "''", "1900-01-01");
    ok("date drops the time", "date", "'2024-02-29 23:00'", "2024-02-29");
    ok("time(0) rounds", "time(0)", "'10:20:30.5'", "10:20:31.0000000");
    ok("time", "time", "'23:59:59.9999999'", "23:59:59.9999999");
    refused("time past 24 hours", "time(0)", "'100:00:00'", 241,
            "Conversion failed when converting date and/or time from character string.");
    refused("eight fraction digits", "time", "'10:00:00.12345678'", 241,
            "Conversion failed when converting date and/or time from character string.");
    ok("smalldatetime 29.998 s rounds down", "smalldatetime", "'2024-01-01 10:20:29.998'",
       "2024-01-01 10:20");
    ok("smalldatetime 29.999 s rounds up", "smalldatetime", "'2024-01-01 10:20:29.999'",
       "2024-01-01 10:21");
    refused("smalldatetime after 2079", "smalldatetime", "'2080-01-01'", 242,
            "The conversion of a varchar data type to a smalldatetime data type resulted in an "
            "out-of-range value.");
    ok("datetimeoffset keeps the offset", "datetimeoffset", "'2024-01-31 10:20:30 +05:30'",
       "2024-01-31 10:20:30.0000000 +05:30");
    ok("datetimeoffset west of Greenwich", "datetimeoffset(7)",
       "'2024-02-29 23:59:59.1234567 -05:00'", "2024-02-29 23:59:59.1234567 -05:00");
    refused("offset into datetime", "datetime", "'2024-01-31 10:20:30 +05:30'", 241,
            "Conversion failed when converting date and/or time from character string.");
    refused("int into datetime is left out", "datetime", "1", 50000,
            "The SQL Server test double does not support converting int to datetime.");
    refused("int into date", "date", "1", 206, "Operand type clash: int is incompatible with date");

    // uniqueidentifier
    ok("guid text", "uniqueidentifier", "'6F9619FF-8B86-D011-B42D-00C04FC964FF'",
       "0xFF19966F868B11D0B42D00C04FC964FF");
    ok("guid in braces", "uniqueidentifier", "'{6F9619FF-8B86-D011-B42D-00C04FC964FF}'",
       "0xFF19966F868B11D0B42D00C04FC964FF");
    refused("empty text into guid", "uniqueidentifier", "''", 8169,
            "Conversion failed when converting from a character string to uniqueidentifier.");

    // xml and the max types take text as it is
    ok("xml", "xml", "N'<a>1</a>'", "<a>1</a>");
    ok("nvarchar(max)", "nvarchar(max)", "N'any length'", "any length");
}

void TestEngineConvert::insertsLiteral() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(QString, stored);
    QFETCH(int, error);
    QFETCH(QString, message);

    Ran created = batch(*session_, QStringLiteral("CREATE TABLE c (v %1)").arg(type));
    QVERIFY2(created.messages.empty(), qPrintable(created.firstText()));
    Ran inserted = batch(*session_, QStringLiteral("INSERT INTO c VALUES(%1)").arg(literal));
    Ran selected = batch(*session_, QStringLiteral("SELECT * FROM c"));
    QVERIFY(selected.messages.empty());
    if (error == 0) {
        QVERIFY2(inserted.messages.empty(), qPrintable(inserted.firstText()));
        QCOMPARE(inserted.counts.back(), std::optional<std::int64_t>(1));
        QCOMPARE(rowsText(selected), QStringList{stored});
    } else {
        QCOMPARE(inserted.numbers(), QList<int>{error});
        QCOMPARE(inserted.firstText(), message);
        QCOMPARE(int(inserted.messages.front().severity), error == 1007 ? 15 : 16);
        QCOMPARE(rowsText(selected), QStringList());
    }
}

void TestEngineConvert::floatRoundTrip_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::newRow("float 0.1") << "float"
                               << "0.1";
    QTest::newRow("float pi") << "float"
                              << "3.141592653589793";
    QTest::newRow("float smallest normal") << "float"
                                           << "2.2250738585072014e-308";
    QTest::newRow("float largest") << "float"
                                   << "1.7976931348623157e+308";
    QTest::newRow("float negative") << "float"
                                    << "-123456.789";
    QTest::newRow("real 0.1") << "real"
                              << "0.1";
    QTest::newRow("real pi") << "real"
                             << "3.1415927";
    QTest::newRow("real largest") << "real"
                                  << "3.4028235e+38";
}

void TestEngineConvert::floatRoundTrip() {
    QFETCH(QString, type);
    QFETCH(QString, text);
    batch(*session_, QStringLiteral("CREATE TABLE f (v %1)").arg(type));
    Ran inserted = batch(*session_, QStringLiteral("INSERT INTO f VALUES('%1')").arg(text));
    QVERIFY2(inserted.messages.empty(), qPrintable(inserted.firstText()));
    Ran selected = batch(*session_, QStringLiteral("SELECT * FROM f"));
    const QString back = rowsText(selected).value(0);
    if (type == QLatin1String("real")) {
        QCOMPARE(back.toFloat(), text.toFloat());
    } else {
        QCOMPARE(back.toDouble(), text.toDouble());
    }
}

void TestEngineConvert::refusedRowLeavesTableUnchanged() {
    // A multi-row INSERT is one statement: a bad value in the second row stores nothing.
    batch(*session_, QStringLiteral("CREATE TABLE m (a int, b varchar(2))"));
    Ran r = batch(*session_, QStringLiteral("INSERT INTO m VALUES(1, 'x'), (2, 'too long')"));
    QCOMPARE(r.numbers(), QList<int>{2628});
    QCOMPARE(rowsText(batch(*session_, QStringLiteral("SELECT * FROM m"))), QStringList());
}

QTEST_GUILESS_MAIN(TestEngineConvert)
#include "tst_engine_convert.moc"
