#include "sql/TypeMap.h"

#include <QTest>

using namespace fq;
using sql::MssqlColumn;
using sql::MysqlColumn;
using sql::ValueKind;

Q_DECLARE_METATYPE(fq::sql::ValueKind)

namespace {

using Len = std::optional<long long>;
using Num = std::optional<int>;

MssqlColumn ms(const char* type, Len length = {}, Num precision = {}, Num scale = {},
               Num datetimePrecision = {}) {
    return MssqlColumn{QStringLiteral("c"), QString::fromLatin1(type), length, precision, scale,
                       datetimePrecision};
}

QStringList typesOf(const QList<sql::TargetColumn>& columns) {
    QStringList out;
    for (const auto& c : columns)
        out << c.type;
    return out;
}

} // namespace

// Column types across the two servers: every source column gets a target column that accepts
// it and holds every value.
class TestTypeMap : public QObject {
    Q_OBJECT

private slots:
    void fromMssql_data();
    void fromMssql();
    void fromMssqlRowLimit_data();
    void fromMssqlRowLimit();
    void fromMysql_data();
    void fromMysql();
    void namesAndOrderKept();
};

void TestTypeMap::fromMssql_data() {
    QTest::addColumn<MssqlColumn>("column");
    QTest::addColumn<QString>("mysql");

    const QString u8 = QStringLiteral(" CHARACTER SET utf8mb4");
    QTest::newRow("bit") << ms("bit") << "tinyint(1)";
    QTest::newRow("tinyint is unsigned") << ms("tinyint", {}, 3, 0) << "tinyint unsigned";
    QTest::newRow("smallint") << ms("smallint", {}, 5, 0) << "smallint";
    QTest::newRow("int") << ms("int", {}, 10, 0) << "int";
    QTest::newRow("bigint") << ms("bigint", {}, 19, 0) << "bigint";
    QTest::newRow("decimal") << ms("decimal", {}, 38, 10) << "decimal(38,10)";
    QTest::newRow("numeric") << ms("numeric", {}, 5, 2) << "decimal(5,2)";
    QTest::newRow("money") << ms("money", {}, 19, 4) << "decimal(19,4)";
    QTest::newRow("smallmoney") << ms("smallmoney", {}, 10, 4) << "decimal(10,4)";
    QTest::newRow("float") << ms("float", {}, 53) << "double";
    QTest::newRow("real") << ms("real", {}, 24) << "float";
    QTest::newRow("char up to 255 keeps its shape") << ms("char", 8) << "char(8)";
    QTest::newRow("char 255") << ms("char", 255) << "char(255)";
    QTest::newRow("char over 255") << ms("char", 256) << "varchar(256)";
    QTest::newRow("varchar") << ms("varchar", 50) << "varchar(50)";
    QTest::newRow("varchar 8000 alone fits") << ms("varchar", 8000) << "varchar(8000)";
    QTest::newRow("varchar(max)") << ms("varchar", -1) << "longtext";
    QTest::newRow("text") << ms("text", 2147483647) << "longtext";
    QTest::newRow("nchar") << ms("nchar", 10) << "char(10)" + u8;
    QTest::newRow("nchar over 255") << ms("nchar", 300) << "varchar(300)" + u8;
    QTest::newRow("nvarchar") << ms("nvarchar", 40) << "varchar(40)" + u8;
    QTest::newRow("nvarchar 4000 alone fits") << ms("nvarchar", 4000) << "varchar(4000)" + u8;
    QTest::newRow("nvarchar(max)") << ms("nvarchar", -1) << "longtext" + u8;
    QTest::newRow("ntext") << ms("ntext", 1073741823) << "longtext" + u8;
    QTest::newRow("xml") << ms("xml", -1) << "longtext" + u8;
    QTest::newRow("sql_variant") << ms("sql_variant") << "longtext" + u8;
    QTest::newRow("sysname") << ms("sysname", 128) << "varchar(128)" + u8;
    QTest::newRow("binary") << ms("binary", 16) << "binary(16)";
    QTest::newRow("binary over 255") << ms("binary", 300) << "varbinary(300)";
    QTest::newRow("varbinary") << ms("varbinary", 255) << "varbinary(255)";
    QTest::newRow("varbinary over 255") << ms("varbinary", 8000) << "varbinary(8000)";
    QTest::newRow("varbinary(max)") << ms("varbinary", -1) << "longblob";
    QTest::newRow("image") << ms("image", 2147483647) << "longblob";
    QTest::newRow("timestamp") << ms("timestamp") << "binary(8)";
    QTest::newRow("rowversion") << ms("rowversion") << "binary(8)";
    QTest::newRow("date") << ms("date", {}, {}, {}, 0) << "date";
    QTest::newRow("time(7) to six digits") << ms("time", {}, {}, {}, 7) << "time(6)";
    QTest::newRow("time(3)") << ms("time", {}, {}, {}, 3) << "time(3)";
    QTest::newRow("datetime") << ms("datetime", {}, {}, {}, 3) << "datetime(3)";
    QTest::newRow("datetime2(7)") << ms("datetime2", {}, {}, {}, 7) << "datetime(6)";
    QTest::newRow("datetime2(0)") << ms("datetime2", {}, {}, {}, 0) << "datetime(0)";
    QTest::newRow("smalldatetime") << ms("smalldatetime", {}, {}, {}, 0) << "datetime";
    QTest::newRow("datetimeoffset") << ms("datetimeoffset", {}, {}, {}, 7) << "varchar(34)";
    QTest::newRow("uniqueidentifier") << ms("uniqueidentifier") << "char(36)";
    QTest::newRow("hierarchyid") << ms("hierarchyid", 892) << "longblob";
    QTest::newRow("geometry") << ms("geometry", -1) << "longblob";
    QTest::newRow("geography") << ms("geography", -1) << "longblob";
    QTest::newRow("type name in upper case") << ms("NVARCHAR", 5) << "varchar(5)" + u8;
    QTest::newRow("unknown type as text") << ms("vector", 3) << "longtext" + u8;
}

void TestTypeMap::fromMssql() {
    QFETCH(MssqlColumn, column);
    QFETCH(QString, mysql);
    const auto out = sql::mysqlColumnsFor({column});
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].type, mysql);
    // Dates with a date part are written with a four-digit year; time and datetime2 also keep
    // seven fractional digits where MySQL keeps six.
    static const QStringList dated{"date", "datetime", "smalldatetime", "datetimeoffset"};
    static const QStringList sevenDigits{"time", "datetime2"};
    const ValueKind kind = sevenDigits.contains(column.dataType) ? ValueKind::SixDigitTemporal
                           : dated.contains(column.dataType)     ? ValueKind::Temporal
                                                                 : ValueKind::Plain;
    QCOMPARE(out[0].kind, kind);
}

void TestTypeMap::fromMssqlRowLimit_data() {
    QTest::addColumn<QList<MssqlColumn>>("columns");
    QTest::addColumn<QStringList>("mysql");

    const QString u8 = QStringLiteral(" CHARACTER SET utf8mb4");
    // 4 bytes a character: varchar(16383) is 65,534 bytes with its length, plus a null byte.
    QTest::newRow("exactly at the limit")
        << QList<MssqlColumn>{ms("nvarchar", 16383)} << QStringList{"varchar(16383)" + u8};
    QTest::newRow("one byte over: the wide column gives way")
        << QList<MssqlColumn>{ms("nvarchar", 16383), ms("tinyint", {}, 3, 0)}
        << QStringList{"mediumtext" + u8, "tinyint unsigned"};
    QTest::newRow("equal widths: the last gives way first")
        << QList<MssqlColumn>{ms("nvarchar", 4000), ms("nvarchar", 4000), ms("nvarchar", 4000),
                              ms("nvarchar", 4000), ms("nvarchar", 4000)}
        << QStringList{"varchar(4000)" + u8, "varchar(4000)" + u8, "varchar(4000)" + u8,
                       "varchar(4000)" + u8, "mediumtext" + u8};
    QTest::newRow("widest first, binary stays")
        << QList<MssqlColumn>{ms("varchar", 8000), ms("varbinary", 8000), ms("varchar", 7000)}
        << QStringList{"mediumtext", "varbinary(8000)", "varchar(7000)"};
    QTest::newRow("binary gives way as longblob")
        << QList<MssqlColumn>(9, ms("varbinary", 8000))
        << (QStringList(8, "varbinary(8000)") + QStringList{"longblob"});
    QTest::newRow("many short columns")
        << QList<MssqlColumn>(70, ms("nchar", 255))
        << (QStringList(64, "char(255)" + u8) + QStringList(6, "mediumtext" + u8));
}

void TestTypeMap::fromMssqlRowLimit() {
    QFETCH(QList<MssqlColumn>, columns);
    QFETCH(QStringList, mysql);
    const auto out = sql::mysqlColumnsFor(columns);
    QCOMPARE(typesOf(out), mysql);
    long long bytes = (out.size() + 7) / 8;
    for (const auto& c : out)
        bytes += sql::mysqlColumnBytes(c.type);
    QVERIFY2(bytes <= 65535, qPrintable(QString::number(bytes)));
}

void TestTypeMap::fromMysql_data() {
    QTest::addColumn<QString>("describe");
    QTest::addColumn<QString>("mssql");
    QTest::addColumn<ValueKind>("kind");

    const auto P = ValueKind::Plain;
    QTest::newRow("tinyint holds -128") << "tinyint(4)"
                                        << "smallint" << P;
    QTest::newRow("tinyint(1) is not a flag") << "tinyint(1)"
                                              << "smallint" << P;
    QTest::newRow("tinyint unsigned") << "tinyint(3) unsigned"
                                      << "tinyint" << P;
    QTest::newRow("smallint") << "smallint(6)"
                              << "smallint" << P;
    QTest::newRow("smallint unsigned") << "smallint(5) unsigned"
                                       << "int" << P;
    QTest::newRow("mediumint") << "mediumint(9)"
                               << "int" << P;
    QTest::newRow("mediumint unsigned") << "mediumint(8) unsigned"
                                        << "int" << P;
    QTest::newRow("int display width dropped") << "int(11)"
                                               << "int" << P;
    QTest::newRow("int unsigned") << "int(10) unsigned"
                                  << "bigint" << P;
    QTest::newRow("zerofill implies unsigned") << "int(10) unsigned zerofill"
                                               << "bigint" << P;
    QTest::newRow("bigint") << "bigint(20)"
                            << "bigint" << P;
    QTest::newRow("bigint unsigned") << "bigint(20) unsigned"
                                     << "decimal(20,0)" << P;
    QTest::newRow("decimal") << "decimal(38,10)"
                             << "decimal(38,10)" << P;
    QTest::newRow("decimal unsigned") << "decimal(5,2) unsigned"
                                      << "decimal(5,2)" << P;
    QTest::newRow("decimal over 38 keeps every digit") << "decimal(65,30)"
                                                       << "nvarchar(67)" << P;
    QTest::newRow("float") << "float"
                           << "real" << ValueKind::NormalSingle;
    QTest::newRow("float with width") << "float(7,3)"
                                      << "real" << ValueKind::NormalSingle;
    QTest::newRow("double") << "double"
                            << "float" << ValueKind::NormalDouble;
    QTest::newRow("double unsigned") << "double unsigned"
                                     << "float" << ValueKind::NormalDouble;
    QTest::newRow("bit(1)") << "bit(1)"
                            << "bit" << ValueKind::Bit;
    QTest::newRow("bit(9) in two bytes") << "bit(9)"
                                         << "binary(2)" << P;
    QTest::newRow("bit(64)") << "bit(64)"
                             << "binary(8)" << P;
    QTest::newRow("char") << "char(8)"
                          << "nchar(8)" << P;
    QTest::newRow("char(0)") << "char(0)"
                             << "nvarchar(1)" << P;
    QTest::newRow("varchar") << "varchar(40)"
                             << "nvarchar(40)" << P;
    QTest::newRow("varchar 4000") << "varchar(4000)"
                                  << "nvarchar(4000)" << P;
    QTest::newRow("varchar over 4000") << "varchar(4001)"
                                       << "nvarchar(max)" << P;
    QTest::newRow("tinytext") << "tinytext"
                              << "nvarchar(255)" << P;
    QTest::newRow("text") << "text"
                          << "nvarchar(max)" << P;
    QTest::newRow("mediumtext") << "mediumtext"
                                << "nvarchar(max)" << P;
    QTest::newRow("longtext") << "longtext"
                              << "nvarchar(max)" << P;
    QTest::newRow("json") << "json"
                          << "nvarchar(max)" << P;
    QTest::newRow("enum: the longest value") << "enum('a','bbb','cc')"
                                             << "nvarchar(3)" << P;
    QTest::newRow("enum with quotes and commas") << "enum('it''s','x,y,z')"
                                                 << "nvarchar(5)" << P;
    QTest::newRow("enum with a parenthesis") << "enum('(',')))')"
                                             << "nvarchar(3)" << P;
    QTest::newRow("set: every member") << "set('a','bb','ccc')"
                                       << "nvarchar(8)" << P;
    QTest::newRow("enum of CJK counts characters")
        << QString::fromUtf8("enum('東京','大阪府')") << "nvarchar(3)" << P;
    QTest::newRow("binary") << "binary(16)"
                            << "binary(16)" << P;
    QTest::newRow("varbinary") << "varbinary(300)"
                               << "varbinary(300)" << P;
    QTest::newRow("varbinary over 8000") << "varbinary(8001)"
                                         << "varbinary(max)" << P;
    QTest::newRow("tinyblob") << "tinyblob"
                              << "varbinary(255)" << P;
    QTest::newRow("blob") << "blob"
                          << "varbinary(max)" << P;
    QTest::newRow("mediumblob") << "mediumblob"
                                << "varbinary(max)" << P;
    QTest::newRow("longblob") << "longblob"
                              << "varbinary(max)" << P;
    QTest::newRow("geometry") << "geometry"
                              << "varbinary(max)" << P;
    QTest::newRow("point") << "point"
                           << "varbinary(max)" << P;
    QTest::newRow("date") << "date"
                          << "date" << ValueKind::Temporal;
    QTest::newRow("time") << "time"
                          << "time(0)" << P;
    QTest::newRow("time(6)") << "time(6)"
                             << "time(6)" << P;
    QTest::newRow("datetime") << "datetime"
                              << "datetime2(0)" << ValueKind::Temporal;
    QTest::newRow("datetime(6)") << "datetime(6)"
                                 << "datetime2(6)" << ValueKind::Temporal;
    QTest::newRow("timestamp(3)") << "timestamp(3)"
                                  << "datetime2(3)" << ValueKind::Temporal;
    QTest::newRow("year") << "year(4)"
                          << "smallint" << P;
    QTest::newRow("upper case type") << "INT(11) UNSIGNED"
                                     << "bigint" << P;
    QTest::newRow("unknown type as text") << "vector(3)"
                                          << "nvarchar(max)" << P;
}

void TestTypeMap::fromMysql() {
    QFETCH(QString, describe);
    QFETCH(QString, mssql);
    QFETCH(ValueKind, kind);
    const auto out = sql::mssqlColumnsFor({MysqlColumn{QStringLiteral("c"), describe}});
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].type, mssql);
    QCOMPARE(out[0].kind, kind);
}

void TestTypeMap::namesAndOrderKept() {
    const auto toMysql = sql::mysqlColumnsFor(
        {MssqlColumn{QStringLiteral("Name"), QStringLiteral("varchar"), 50, {}, {}, {}},
         MssqlColumn{QStringLiteral("a]b`c"), QStringLiteral("int"), {}, 10, 0, {}}});
    QCOMPARE(toMysql.size(), 2);
    QCOMPARE(toMysql[0].name, QStringLiteral("Name"));
    QCOMPARE(toMysql[1].name, QStringLiteral("a]b`c"));

    const auto toMssql =
        sql::mssqlColumnsFor({MysqlColumn{QStringLiteral("z"), QStringLiteral("int(11)")},
                              MysqlColumn{QStringLiteral("A"), QStringLiteral("text")}});
    QCOMPARE(toMssql.size(), 2);
    QCOMPARE(toMssql[0].name, QStringLiteral("z"));
    QCOMPARE(toMssql[1].name, QStringLiteral("A"));
}

QTEST_APPLESS_MAIN(TestTypeMap)
#include "tst_typemap.moc"
