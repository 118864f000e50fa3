#include "odbc/DbError.h"
#include "sql/SqlText.h"
#include "sql/StatementSize.h"
#include "sql/Statements.h"
#include "sql/TypeMap.h"
#include "support/Servers.h"

#include <QTest>

using namespace fq;
using sql::MssqlColumn;
using sql::MysqlRowRules;

Q_DECLARE_METATYPE(fq::sql::MysqlRowRules)

namespace {

using Len = std::optional<long long>;
using Num = std::optional<int>;

MssqlColumn ms(const char* type, Len length = {}, Num precision = {}, Num scale = {}) {
    return MssqlColumn{
        QStringLiteral("c"), QString::fromLatin1(type), length, precision, scale, {}};
}

QList<MssqlColumn> times(qsizetype n, const MssqlColumn& c) {
    return QList<MssqlColumn>(n, c);
}

QStringList typesOf(const QList<sql::TargetColumn>& columns) {
    QStringList out;
    for (const auto& c : columns)
        out << c.type;
    return out;
}

QList<sql::TargetColumn> columnsOf(const QStringList& types) {
    QList<sql::TargetColumn> out;
    for (qsizetype i = 0; i < types.size(); ++i)
        out << sql::TargetColumn{QStringLiteral("c%1").arg(i + 1), types[i]};
    return out;
}

const QString u8 = QStringLiteral(" CHARACTER SET utf8mb4");
const QString v60 = QStringLiteral("varchar(60)") + u8;
const QString text8 = QStringLiteral("text") + u8;

MysqlRowRules pages(long long pageSize, int charBytes = 4) {
    return MysqlRowRules{pageSize, charBytes};
}

} // namespace

// InnoDB keeps a row on its page: a table whose short columns would pass that is created with
// some of them as text or blob, and a table that fits keeps its columns. The statement size rule
// for MySQL's packet limit.
class TestRowSize : public QObject {
    Q_OBJECT

private slots:
    void innodbRule_data();
    void innodbRule();
    void countMatchesTheServer_data();
    void countMatchesTheServer();
    void utf8Size_data();
    void utf8Size();
};

void TestRowSize::innodbRule_data() {
    QTest::addColumn<QList<MssqlColumn>>("columns");
    QTest::addColumn<MysqlRowRules>("rules");
    QTest::addColumn<QStringList>("mysql");

    const MysqlRowRules page16k;
    // 5 header + 5 null bytes + 19 system + 33 × 241 = 7,982; one more column is 8,223. (33,
    // 40 and 200 nvarchar(60), 100 char(50) and 1,000 int are copied in the MySQL limits test,
    // 4 KB pages and a latin1 database in the private MariaDB's.)
    QTest::newRow("34 nvarchar(60): the last becomes text")
        << times(34, ms("nvarchar", 60)) << page16k << (QStringList(33, v60) << text8);
    QTest::newRow("100 varchar(100) in a utf8mb4 database: off the page already")
        << times(100, ms("varchar", 100)) << page16k << QStringList(100, "varchar(100)");
    QTest::newRow("100 varchar(100) in a latin1 database: 101 bytes each, 74 stay")
        << times(100, ms("varchar", 100)) << pages(16384, 1)
        << (QStringList(74, "varchar(100)") + QStringList(26, "text"));
    QTest::newRow("the widest gives way first, wherever it stands")
        << (QList<MssqlColumn>{ms("nvarchar", 63)} + times(33, ms("nvarchar", 60))) << page16k
        << (QStringList{text8} + QStringList(33, v60));
    QTest::newRow("equal widths, text and binary: the later gives way")
        << (QList<MssqlColumn>{ms("varbinary", 240)} + times(33, ms("nvarchar", 60))) << page16k
        << (QStringList{"varbinary(240)"} + QStringList(32, v60) << text8);
    QTest::newRow("32 binary(255): the last becomes blob")
        << times(32, ms("binary", 255)) << page16k << (QStringList(31, "binary(255)") << "blob");
    QTest::newRow("41 varbinary(200): the last becomes blob")
        << times(41, ms("varbinary", 200)) << page16k
        << (QStringList(40, "varbinary(200)") << "blob");
    QTest::newRow("60 uniqueidentifier: char(36) is short text too")
        << times(60, ms("uniqueidentifier")) << page16k
        << (QStringList(55, "char(36)") + QStringList(5, "text"));
    QTest::newRow("998 bigint: nothing can give way, nothing changes")
        << times(998, ms("bigint")) << page16k << QStringList(998, "bigint");
    QTest::newRow("64 KB pages: 40 nvarchar(60) stay")
        << times(40, ms("nvarchar", 60)) << pages(65536) << QStringList(40, v60);
    // MySQL's 65,535-byte row limit for a whole table: wide character and binary columns that
    // together pass it give way to mediumtext or longblob, widest first, and the rest keep their
    // types.
    // 4 bytes a character: varchar(16383) is 65,534 bytes with its length, plus a null byte.
    QTest::newRow("exactly at the limit") << QList<MssqlColumn>{ms("nvarchar", 16383)} << page16k
                                          << QStringList{"varchar(16383)" + u8};
    QTest::newRow("one byte over: the wide column gives way")
        << QList<MssqlColumn>{ms("nvarchar", 16383), ms("tinyint", {}, 3, 0)} << page16k
        << QStringList{"mediumtext" + u8, "tinyint unsigned"};
    QTest::newRow("equal widths: the last gives way first")
        << QList<MssqlColumn>{ms("nvarchar", 4000), ms("nvarchar", 4000), ms("nvarchar", 4000),
                              ms("nvarchar", 4000), ms("nvarchar", 4000)}
        << page16k
        << QStringList{"varchar(4000)" + u8, "varchar(4000)" + u8, "varchar(4000)" + u8,
                       "varchar(4000)" + u8, "mediumtext" + u8};
    QTest::newRow("widest first, binary stays")
        << QList<MssqlColumn>{ms("varchar", 8000), ms("varbinary", 8000), ms("varchar", 7000)}
        << page16k << QStringList{"mediumtext", "varbinary(8000)", "varchar(7000)"};
    QTest::newRow("binary gives way as longblob")
        << QList<MssqlColumn>(9, ms("varbinary", 8000)) << page16k
        << (QStringList(8, "varbinary(8000)") + QStringList{"longblob"});
    QTest::newRow("many short columns")
        << QList<MssqlColumn>(70, ms("nchar", 255)) << page16k
        << (QStringList(64, "char(255)" + u8) + QStringList(6, "mediumtext" + u8));
    // The 65,535-byte rule turns 16 of the char(255) (1,020 bytes) into mediumtext; in InnoDB's
    // count they and the other char(255) take a pointer, and 14 of the varchar(60) give way.
    QTest::newRow("the 65,535-byte rule first, then the page")
        << (times(70, ms("nchar", 255)) + times(40, ms("nvarchar", 60))) << page16k
        << (QStringList(54, "char(255)" + u8) + QStringList(16, "mediumtext" + u8) +
            QStringList(26, v60) + QStringList(14, text8));
}

void TestRowSize::innodbRule() {
    QFETCH(QList<MssqlColumn>, columns);
    QFETCH(MysqlRowRules, rules);
    QFETCH(QStringList, mysql);
    const auto out = sql::mysqlColumnsFor(columns, rules);
    QCOMPARE(typesOf(out), mysql);
}

// The count against MariaDB's own check: each table is created exactly when the count says it
// fits, on both sides of the boundary.
void TestRowSize::countMatchesTheServer_data() {
    QTest::addColumn<QStringList>("types");

    const auto n = [](qsizetype count, const QString& type) { return QStringList(count, type); };
    QTest::newRow("33 varchar(60) utf8mb4") << n(33, v60);
    QTest::newRow("34 varchar(60) utf8mb4") << n(34, v60);
    QTest::newRow("40 char(50)") << n(40, "char(50)");
    QTest::newRow("41 char(50)") << n(41, "char(50)");
    QTest::newRow("32 varchar(63) utf8mb4") << n(32, "varchar(63)" + u8);
    QTest::newRow("33 varchar(63) utf8mb4") << n(33, "varchar(63)" + u8);
    QTest::newRow("31 binary(255)") << n(31, "binary(255)");
    QTest::newRow("32 binary(255)") << n(32, "binary(255)");
    QTest::newRow("40 varbinary(200)") << n(40, "varbinary(200)");
    QTest::newRow("41 varbinary(200)") << n(41, "varbinary(200)");
    QTest::newRow("383 text") << n(383, "text");
    QTest::newRow("384 blob") << n(384, "blob");
    QTest::newRow("997 bigint") << n(997, "bigint");
    QTest::newRow("998 bigint") << n(998, "bigint");
    QTest::newRow("1000 int") << n(1000, "int");
    // 8,116 bytes; with one bigint exactly the largest row (8,125), with two over it.
    const QStringList mixed =
        QStringList(32, v60) +
        QStringList{
            "decimal(19,4)", "datetime(6)", "datetime(3)", "datetime",    "time(6)",
            "date",          "double",      "float",       "tinyint(1)",  "tinyint unsigned",
            "smallint",      "binary(8)",   "char(33)",    "varchar(34)", "longtext" + u8,
            "mediumblob",
        };
    QTest::newRow("mixed types") << mixed;
    QTest::newRow("mixed types and a bigint") << mixed + QStringList{"bigint"};
    QTest::newRow("mixed types and two bigint") << mixed + QStringList{"bigint", "bigint"};
}

void TestRowSize::countMatchesTheServer() {
    QFETCH(QStringList, types);
    const QList<sql::TargetColumn> columns = columnsOf(types);
    const long long bytes = sql::innodbRowBytes(columns, 4);
    const bool fits = bytes < sql::innodbRowLimit(16384);

    const QString table = test::uniqueName(QStringLiteral("rs"));
    bool created = true;
    QString refusal;
    try {
        test::exec(Server::MySQL, {sql::mysqlCreateTable(table, columns)});
    } catch (const odbc::DbError& e) {
        created = false;
        refusal = e.driverText();
    }
    test::dropIfExists(Server::MySQL, table);
    QVERIFY2(created == fits, qPrintable(QStringLiteral("counted %1 bytes; the server %2 %3")
                                             .arg(bytes)
                                             .arg(created ? "created it" : "refused:", refusal)));
}

void TestRowSize::utf8Size_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<long long>("bytes");

    QTest::newRow("empty") << QString() << 0LL;
    QTest::newRow("ASCII") << QStringLiteral("INSERT 'x'") << 10LL;
    QTest::newRow("two-byte letters") << QStringLiteral("\u00e9\u00df\u07ff") << 6LL;
    QTest::newRow("three-byte letters") << QStringLiteral("\u0800\u4e2d\uffff") << 9LL;
    QTest::newRow("a character outside the BMP") << QStringLiteral("a\U0001F600b") << 6LL;
    QTest::newRow("zero character") << QString(QChar(u'\0')) << 1LL;
    QTest::newRow("unpaired high surrogate") << QString(QChar(0xD83D)) + u'x' << 4LL;
    QTest::newRow("unpaired low surrogate at the end") << u'x' + QString(QChar(0xDE00)) << 4LL;
}

void TestRowSize::utf8Size() {
    QFETCH(QString, text);
    QFETCH(long long, bytes);
    QCOMPARE(sql::utf8Bytes(text), bytes);
}

QTEST_GUILESS_MAIN(TestRowSize)
#include "tst_rowsize.moc"
