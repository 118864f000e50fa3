#include "sql/TypeMap.h"

#include <QTest>

using namespace fq;
using sql::MssqlColumn;

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

// SQL Server to MySQL for a whole table: wide character and binary columns that together pass
// MySQL's 65,535-byte row limit give way to mediumtext or longblob, widest first, and the rest
// keep their types. (Each type's own mapping is checked by copying its values through the
// servers.)
class TestTypeMap : public QObject {
    Q_OBJECT

private slots:
    void fromMssqlRowLimit_data();
    void fromMssqlRowLimit();
};

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

QTEST_APPLESS_MAIN(TestTypeMap)
#include "tst_typemap.moc"
