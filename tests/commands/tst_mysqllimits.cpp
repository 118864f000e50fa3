// The limits of the targets' rows: tables too wide for an InnoDB row, whose widest short columns
// become text or blob, and statements longer than max_allowed_packet, which a copy does not send;
// tables whose fixed-size columns pass SQL Server's row size, whose widest nchar and binary
// columns become nvarchar and varbinary.
#include "commands/SendTables.h"
#include "odbc/DbError.h"
#include "sql/SqlText.h"
#include "sql/StatementSize.h"
#include "sql/Statements.h"
#include "sql/TypeMap.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <algorithm>

using namespace fq;
using sql::MssqlColumn;
using sql::MysqlColumn;
using sql::MysqlRowRules;
using test::fillList;

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

const QString u8 = QStringLiteral(" CHARACTER SET utf8mb4");
const QString v60 = QStringLiteral("varchar(60)") + u8;
const QString text8 = QStringLiteral("text") + u8;
const QString kNull = QStringLiteral("<NULL>");

QString column(int i) {
    return QStringLiteral("c%1").arg(i + 1);
}

// The value of a wide test table's column i in row 0 (every character the column holds) or row 1
// (NULL, '' and a value with a quote and a backslash, or four-byte characters in nvarchar, in
// turn), as text.
QString wideValue(const QString& type, int row, int i) {
    if (row == 1 && i % 3 == 1)
        return kNull;
    const bool national = type.startsWith(u'n');
    if (row == 1)
        return i % 3 == 2 ? QString()
               : national ? QStringLiteral("\U0001F600").repeated(30)
                          : QStringLiteral("It's a \\ in %1").arg(column(i));
    return (column(i) + u'-')
        .leftJustified(type.startsWith(u"nvarchar") ? 60 : 50,
                       national ? QChar(0x4e2d) : QChar(u'x'));
}

QList<MysqlColumn> my(qsizetype n, const char* type) {
    return QList<MysqlColumn>(n, MysqlColumn{QStringLiteral("c"), QString::fromLatin1(type)});
}

// MySQL columns of fixed size on SQL Server beside 15 char(255) (7,650 bytes): 64 bytes in 10
// columns, as datetime2(6), decimal(30,2), decimal(20,0), time(3), date, int, smallint, tinyint,
// real and float.
const QList<MysqlColumn> kMixed = [] {
    QList<MysqlColumn> out;
    for (const char* type :
         {"datetime(6)", "decimal(30,2)", "bigint(20) unsigned", "time(3)", "date", "int(11)",
          "smallint(6)", "tinyint(3) unsigned", "float", "double"})
        out << MysqlColumn{QStringLiteral("c"), QString::fromLatin1(type)};
    return out;
}();
const QStringList kMixedMapped =
    QStringLiteral("datetime2(6)|decimal(30,2)|decimal(20,0)|time(3)|date|int|smallint|tinyint|"
                   "real|float")
        .split(u'|');

constexpr long long kPacket = 1024 * 1024;

enum class Shape { Ascii, TwoByte, Binary };

} // namespace

Q_DECLARE_METATYPE(Shape)
Q_DECLARE_METATYPE(fq::sql::MysqlRowRules)
Q_DECLARE_METATYPE(QList<fq::sql::MysqlColumn>)

class TestMySqlLimits : public QObject {
    Q_OBJECT

private slots:
    void wideTableCopies_data();
    void wideTableCopies();
    void largeValue_data();
    void largeValue();
    void innodbRule_data();
    void innodbRule();
    void countMatchesTheServer_data();
    void countMatchesTheServer();
    void utf8Size_data();
    void utf8Size();
    void mssqlRowRule_data();
    void mssqlRowRule();
    void mssqlCountMatchesTheDouble_data();
    void mssqlCountMatchesTheDouble();
    void wideTableToMssql();
};

void TestMySqlLimits::wideTableCopies_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("sourceType");
    QTest::addColumn<int>("kept");         // how many leading columns keep their short type
    QTest::addColumn<QString>("keptType"); // in the CREATE TABLE sent to MySQL
    QTest::addColumn<QString>("givenType");

    QTest::newRow("200 nvarchar(60)") << 200 << "nvarchar(60)" << 17 << v60 << text8;
    QTest::newRow("100 char(50)") << 100 << "char(50)" << 33 << "char(50)"
                                  << "text";
}

void TestMySqlLimits::wideTableCopies() {
    QFETCH(int, columns);
    QFETCH(QString, sourceType);
    QFETCH(int, kept);
    QFETCH(QString, keptType);
    QFETCH(QString, givenType);

    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("wide"));
    QStringList defs;
    QStringList sourceDefs;
    QStringList statements;
    QList<QStringList> expected(2);
    for (int i = 0; i < columns; ++i) {
        sourceDefs << column(i) + u' ' + sourceType;
        defs << sql::backticked(column(i)) + u' ' + (i < kept ? keptType : givenType);
    }
    statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(name, sourceDefs.join(u", "));
    for (int row = 0; row < 2; ++row) {
        QStringList literals;
        for (int i = 0; i < columns; ++i) {
            const QString v = wideValue(sourceType, row, i);
            literals << (v == kNull                    ? QStringLiteral("NULL")
                         : sourceType.startsWith(u'n') ? u'N' + sql::quoted(v)
                                                       : sql::quoted(v));
            // A char value keeps SQL Server's padding in a text column.
            expected[row] << (v != kNull && i >= kept && sourceType == u"char(50)"
                                  ? v.leftJustified(50)
                                  : v);
        }
        statements << QStringLiteral("INSERT INTO %1 VALUES(%2)").arg(name, literals.join(u", "));
    }
    test::exec(Server::MSSQL, statements);
    test::TestWindow w;
    fillList(w.mssqlList, {name}, {name}, name);
    test::ServerLog log(Server::MySQL);
    commands::SendTablesToMySQL(w.context());

    QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));
    QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});
    QStringList creates;
    for (const QString& statement : test::statementsOf(log.sessionsMentioning({name}))) {
        if (statement.startsWith(u"CREATE TABLE"))
            creates << statement;
    }
    QCOMPARE(
        creates,
        QStringList{
            QStringLiteral("CREATE TABLE %1(%2)").arg(sql::backticked(name), defs.join(u','))});
    QList<QStringList> arrived = test::textRows(Server::MySQL, name);
    std::sort(arrived.begin(), arrived.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(arrived, expected);
}

void TestMySqlLimits::largeValue_data() {
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<long long>("over");
    QTest::newRow("ASCII text, the longest statement") << Shape::Ascii << 0LL;
    QTest::newRow("two-byte text, the longest statement") << Shape::TwoByte << 0LL;
    QTest::newRow("two-byte text, one byte more") << Shape::TwoByte << 1LL;
    QTest::newRow("binary, the longest statement") << Shape::Binary << 0LL;
    QTest::newRow("binary, two bytes more") << Shape::Binary << 2LL;
}

// Row 2's value makes its INSERT the longest statement the server takes (max_allowed_packet - 2
// bytes) or longer; the copy sends rows up to it and stops before a longer one.
void TestMySqlLimits::largeValue() {
    QFETCH(Shape, shape);
    QFETCH(long long, over);
    const long long statement = kPacket - 2 + over;
    test::Scratch scratch;
    QString name = test::uniqueName(QStringLiteral("pkt"));
    const auto frame = [&name] {
        return QStringLiteral("INSERT INTO %1 VALUES('2', )").arg(sql::backticked(name)).size();
    };
    // Two hexadecimal digits a byte: a name of the right parity lets the statement reach the size.
    if (shape == Shape::Binary && (frame() + 3) % 2 != statement % 2)
        name += u'_';
    scratch.keep(name);
    QString literal;
    QString value; // as MySQL gives it back
    if (shape == Shape::Binary) {
        QByteArray bytes((statement - frame() - 3) / 2, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7 % 256);
        literal = QStringLiteral("0x") + QString::fromLatin1(bytes.toHex().toUpper());
        value = literal;
    } else {
        // é is two bytes in UTF-8; an odd count ends in one ASCII letter.
        const long long bytes = statement - frame() - 2;
        value = shape == Shape::Ascii ? QString(bytes, u'x')
                                      : QString(bytes / 2, QChar(0xe9)) + (bytes % 2 ? "z" : "");
        literal = u'N' + sql::quoted(value);
    }
    const bool binary = shape == Shape::Binary;
    const QString table = sql::bracketed(name);
    test::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE %1 (id int, v %2)")
             .arg(table, binary ? "varbinary(max)" : "nvarchar(max)"),
         QStringLiteral("INSERT INTO %1 VALUES(1, %2)").arg(table, binary ? "0x01" : "'a'"),
         QStringLiteral("INSERT INTO %1 VALUES(2, %2)").arg(table, literal),
         QStringLiteral("INSERT INTO %1 VALUES(3, %2)").arg(table, binary ? "0x03" : "'c'")});

    test::TestWindow w;
    fillList(w.mssqlList, {name}, {name}, name);
    test::ServerLog log(Server::MySQL);
    QList<test::Session> sessions;
    {
        // The server applies its max_allowed_packet to new connections only.
        const QString old = test::connection(Server::MySQL)
                                .execute(QStringLiteral("SELECT @@global.max_allowed_packet"))
                                .value(0)
                                .text();
        QVERIFY(test::rootSql(QStringLiteral("SET GLOBAL max_allowed_packet=%1").arg(kPacket)));
        const auto restore = qScopeGuard(
            [&old] { test::rootSql(QStringLiteral("SET GLOBAL max_allowed_packet=") + old); });
        log.mark();
        commands::SendTablesToMySQL(w.context());
        sessions = log.sessionsMentioning({name});
    }

    QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});
    QCOMPARE(w.pointer.history.last(), ui::kPointerArrow);
    int inserts = 0;
    for (const test::Session& s : sessions) {
        QVERIFY(s.closed);
        inserts += static_cast<int>(s.statements.filter(QRegularExpression("^INSERT")).size());
    }
    const QList<QStringList> arrived = test::textRows(Server::MySQL, name);
    if (over <= 0) {
        QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));
        QCOMPARE(inserts, 3);
        QCOMPARE(arrived.size(), 3);
        QVERIFY(arrived[1][1] == value);
        return;
    }
    QCOMPARE(inserts, 1);
    QCOMPARE(arrived, (QList<QStringList>{{"1", binary ? "0x01" : "a"}}));
    QCOMPARE(w.dialogs.shown.size(), 1);
    const auto& box = w.dialogs.shown[0];
    QCOMPARE(box.style, ui::kOkOnly);
    QCOMPARE(box.detail, QString());
    QCOMPARE(box.prompt,
             QStringLiteral(
                 "Copying the table %1 to MySQL stopped while copying row 2. The table is on "
                 "MySQL with the 1 row copied before. Nothing more was sent.\n\n"
                 "The row's INSERT statement is %2 bytes (its largest value is in the column v); "
                 "this MySQL server takes a statement of at most %3 bytes, as its "
                 "max_allowed_packet is %4. Raising max_allowed_packet on the server lets the "
                 "row through.")
                 .arg(name)
                 .arg(statement)
                 .arg(kPacket - 2)
                 .arg(kPacket));
}

void TestMySqlLimits::innodbRule_data() {
    QTest::addColumn<QList<MssqlColumn>>("columns");
    QTest::addColumn<MysqlRowRules>("rules");
    QTest::addColumn<QStringList>("mysql");

    const MysqlRowRules page16k;
    // 5 header + 5 null bytes + 19 system + 33 × 241 = 7,982; one more column is 8,223.
    QTest::newRow("34 nvarchar(60): the last becomes text")
        << times(34, ms("nvarchar", 60)) << page16k << (QStringList(33, v60) << text8);
    QTest::newRow("100 varchar(100) in a utf8mb4 database: off the page already")
        << times(100, ms("varchar", 100)) << page16k << QStringList(100, "varchar(100)");
    QTest::newRow("100 varchar(100) in a latin1 database: 101 bytes each, 74 stay")
        << times(100, ms("varchar", 100)) << MysqlRowRules{16384, 1}
        << (QStringList(74, "varchar(100)") + QStringList(26, "text"));
    QTest::newRow("the widest gives way first, wherever it stands")
        << (QList<MssqlColumn>{ms("nvarchar", 63)} + times(33, ms("nvarchar", 60))) << page16k
        << (QStringList{text8} + QStringList(33, v60));
    QTest::newRow("equal widths, text and binary: the later gives way")
        << (QList<MssqlColumn>{ms("varbinary", 240)} + times(33, ms("nvarchar", 60))) << page16k
        << (QStringList{"varbinary(240)"} + QStringList(32, v60) << text8);
    QTest::newRow("32 binary(255): the last becomes blob")
        << times(32, ms("binary", 255)) << page16k << (QStringList(31, "binary(255)") << "blob");
    QTest::newRow("60 uniqueidentifier: char(36) is short text too")
        << times(60, ms("uniqueidentifier")) << page16k
        << (QStringList(55, "char(36)") + QStringList(5, "text"));
    QTest::newRow("998 bigint: nothing can give way, nothing changes")
        << times(998, ms("bigint")) << page16k << QStringList(998, "bigint");
    QTest::newRow("64 KB pages: 40 nvarchar(60) stay")
        << times(40, ms("nvarchar", 60)) << MysqlRowRules{65536, 4} << QStringList(40, v60);
    // MySQL's 65,535-byte row limit: the widest give way to mediumtext or longblob first.
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
    // The 65,535-byte rule turns 16 of the char(255) (1,020 bytes) into mediumtext; in InnoDB's
    // count they and the other char(255) take a pointer, and 14 of the varchar(60) give way.
    QTest::newRow("the 65,535-byte rule first, then the page")
        << (times(70, ms("nchar", 255)) + times(40, ms("nvarchar", 60))) << page16k
        << (QStringList(54, "char(255)" + u8) + QStringList(16, "mediumtext" + u8) +
            QStringList(26, v60) + QStringList(14, text8));
}

void TestMySqlLimits::innodbRule() {
    QFETCH(QList<MssqlColumn>, columns);
    QFETCH(MysqlRowRules, rules);
    QFETCH(QStringList, mysql);
    QStringList types;
    for (const auto& c : sql::mysqlColumnsFor(columns, rules))
        types << c.type;
    QCOMPARE(types, mysql);
}

// The count against MariaDB's own check: each table is created exactly when the count says it
// fits, on both sides of each boundary.
void TestMySqlLimits::countMatchesTheServer_data() {
    QTest::addColumn<QStringList>("types");
    const QString boundaries = "33 %1|40 char(50)|32 varchar(63)%2|31 binary(255)|"
                               "40 varbinary(200)|383 text|997 bigint|1000 int";
    for (const QString& row : boundaries.arg(v60, u8).split(u'|')) {
        const QString type = row.section(u' ', 1);
        for (const int n : {row.section(u' ', 0, 0).toInt(), row.section(u' ', 0, 0).toInt() + 1})
            QTest::addRow("%d %s", n, qPrintable(type)) << QStringList(n, type);
    }
    // 8,116 bytes; with one bigint exactly the largest row (8,125), with two over it.
    const QStringList mixed =
        QStringList(32, v60) +
        QStringLiteral("decimal(19,4)|datetime(6)|datetime(3)|datetime|time(6)|date|double|float|"
                       "tinyint(1)|tinyint unsigned|smallint|binary(8)|char(33)|varchar(34)|"
                       "longtext%1|mediumblob")
            .arg(u8)
            .split(u'|');
    QTest::newRow("mixed types") << mixed;
    QTest::newRow("mixed types and a bigint") << mixed + QStringList{"bigint"};
    QTest::newRow("mixed types and two bigint") << mixed + QStringList{"bigint", "bigint"};
}

void TestMySqlLimits::countMatchesTheServer() {
    QFETCH(QStringList, types);
    QList<sql::TargetColumn> columns;
    for (qsizetype i = 0; i < types.size(); ++i)
        columns << sql::TargetColumn{QStringLiteral("c%1").arg(i + 1), types[i]};
    const long long bytes = sql::innodbRowBytes(columns, 4);
    const QString table = test::uniqueName(QStringLiteral("rs"));
    QString refusal;
    try {
        test::exec(Server::MySQL, {sql::mysqlCreateTable(table, columns)});
        test::dropIfExists(Server::MySQL, table);
    } catch (const odbc::DbError& e) {
        refusal = e.driverText();
    }
    QVERIFY2(
        refusal.isEmpty() == (bytes < sql::innodbRowLimit(16384)),
        qPrintable(QStringLiteral("counted %1 bytes; the server: %2").arg(bytes).arg(refusal)));
}

void TestMySqlLimits::utf8Size_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<long long>("bytes");
    QTest::newRow("one to three bytes") << QStringLiteral("x\u00e9\u07ff\u0800\uffff") << 11LL;
    QTest::newRow("a character outside the BMP") << QStringLiteral("a\U0001F600b") << 6LL;
    QTest::newRow("zero character") << QString(QChar(u'\0')) << 1LL;
    QTest::newRow("unpaired high surrogate") << QString(QChar(0xD83D)) + u'x' << 4LL;
    QTest::newRow("unpaired low surrogate at the end") << u'x' + QString(QChar(0xDE00)) << 4LL;
}

void TestMySqlLimits::utf8Size() {
    QFETCH(QString, text);
    QFETCH(long long, bytes);
    QCOMPARE(sql::utf8Bytes(text), bytes);
}

void TestMySqlLimits::mssqlRowRule_data() {
    QTest::addColumn<QList<MysqlColumn>>("columns");
    QTest::addColumn<QStringList>("mssql");

    const QStringList nchar15(15, "nchar(255)");
    // The smallest row: a 4-byte header, the null bitmap (2 bytes and a bit a column) and the
    // fixed-size columns; 15 nchar(255) and 11 more columns are 7,650 + 64 + 10 bytes.
    QTest::newRow("exactly 8,060 bytes: kept")
        << my(15, "char(255)") + QList<MysqlColumn>{{"c", "char(168)"}} + kMixed
        << nchar15 + QStringList{"nchar(168)"} + kMixedMapped;
    QTest::newRow("two bytes over: the last of the widest gives way")
        << my(15, "char(255)") + QList<MysqlColumn>{{"c", "char(169)"}} + kMixed
        << QStringList(14, "nchar(255)") + QStringList{"nvarchar(255)", "nchar(169)"} +
               kMixedMapped;
    QTest::newRow("15 char(255): 7,658 bytes, kept") << my(15, "char(255)") << nchar15;
    QTest::newRow("20 char(255): 10,209 bytes, the last 5 give way")
        << my(20, "char(255)") << nchar15 + QStringList(5, "nvarchar(255)");
    QTest::newRow("the widest gives way first, wherever it stands")
        << QList<MysqlColumn>{{"c", "char(255)"}} + my(31, "binary(255)")
        << QStringList{"nvarchar(255)"} + QStringList(31, "binary(255)");
    QTest::newRow("equal widths, text and binary: the later gives way")
        << my(40, "char(100)") + QList<MysqlColumn>{{"c", "binary(200)"}}
        << QStringList(40, "nchar(100)") + QStringList{"varbinary(200)"};
    QTest::newRow("bit(64) is binary(8) and gives way as varbinary(8)")
        << my(1007, "bigint") + QList<MysqlColumn>{{"c", "bit(64)"}}
        << QStringList(1007, "bigint") + QStringList{"varbinary(8)"};
    QTest::newRow("991 bigint fit") << my(991, "bigint") << QStringList(991, "bigint");
    QTest::newRow("992 bigint: nothing can give way, nothing changes")
        << my(992, "bigint") << QStringList(992, "bigint");
}

void TestMySqlLimits::mssqlRowRule() {
    QFETCH(QList<MysqlColumn>, columns);
    QFETCH(QStringList, mssql);
    QStringList types;
    for (const auto& c : sql::mssqlColumnsFor(columns))
        types << c.type;
    QCOMPARE(types, mssql);
}

// The count against the SQL Server test double's own check: each table is created exactly when
// the count says it fits, on both sides of each boundary.
void TestMySqlLimits::mssqlCountMatchesTheDouble_data() {
    QTest::addColumn<QStringList>("types");
    const QStringList fill(15, "nchar(255)");
    QTest::newRow("mixed types, 8,060 bytes") << fill + QStringList{"nchar(168)"} + kMixedMapped;
    QTest::newRow("mixed types, 8,062 bytes") << fill + QStringList{"nchar(169)"} + kMixedMapped;
    // 7,650 + 400, a byte for up to eight bit columns, 4 + 2 + 3 for 24 columns: 8,060 bytes; a
    // ninth bit column adds a byte of bits and a byte of the bitmap.
    QTest::newRow("eight bit columns") << fill + QStringList{"binary(400)"} + QStringList(8, "bit");
    QTest::newRow("nine bit columns") << fill + QStringList{"binary(400)"} + QStringList(9, "bit");
    QTest::newRow("nvarchar and varbinary add nothing")
        << fill + QStringList{"binary(401)", "nvarchar(4000)", "varbinary(max)", "nvarchar(max)"};
    QTest::newRow("991 bigint") << QStringList(991, "bigint");
    QTest::newRow("992 bigint") << QStringList(992, "bigint");
}

void TestMySqlLimits::mssqlCountMatchesTheDouble() {
    QFETCH(QStringList, types);
    QList<sql::TargetColumn> columns;
    for (qsizetype i = 0; i < types.size(); ++i)
        columns << sql::TargetColumn{QStringLiteral("c%1").arg(i + 1), types[i]};
    const long long bytes = sql::mssqlMinimumRowBytes(columns);
    test::Scratch scratch;
    const QString table = scratch.name(QStringLiteral("rs"));
    QString refusal;
    try {
        test::exec(Server::MSSQL, {sql::mssqlCreateTable(table, columns)});
    } catch (const odbc::DbError& e) {
        refusal = e.driverText();
        QCOMPARE(e.nativeError(), 1701L);
        QVERIFY2(refusal.contains(QStringLiteral("minimum row size would be %1,").arg(bytes)),
                 qPrintable(refusal));
    }
    QVERIFY2(
        refusal.isEmpty() == (bytes <= sql::kMssqlRowLimit),
        qPrintable(QStringLiteral("counted %1 bytes; the server: %2").arg(bytes).arg(refusal)));
}

// A MySQL table of 20 char(255) columns arrives on SQL Server with every value: its last 5
// columns are nvarchar(255), which keep the values as MySQL gives them; the others nchar(255),
// which pad them.
void TestMySqlLimits::wideTableToMssql() {
    constexpr int kColumns = 20;
    constexpr int kKept = 15;
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("wide_ms"));
    QStringList sourceDefs;
    QStringList defs;
    for (int i = 0; i < kColumns; ++i) {
        sourceDefs << sql::backticked(column(i)) + QStringLiteral(" char(255)");
        defs << sql::bracketed(column(i)) +
                    (i < kKept ? QStringLiteral(" nchar(255)") : QStringLiteral(" nvarchar(255)"));
    }
    QStringList statements{QStringLiteral("CREATE TABLE %1 (%2)")
                               .arg(sql::backticked(name), sourceDefs.join(QStringLiteral(", ")))};
    QList<QStringList> expected(2);
    for (int row = 0; row < 2; ++row) {
        QStringList literals;
        for (int i = 0; i < kColumns; ++i) {
            // Row 0: every character the column holds; row 1: NULL, '' and a short value with a
            // quote and a backslash, in turn.
            const QString v =
                row == 0
                    ? (column(i) + u'-').leftJustified(255, i % 2 ? QChar(u'x') : QChar(0x4e2d))
                : i % 3 == 1 ? kNull
                : i % 3 == 2 ? QString()
                             : QStringLiteral("It's a \\ in %1").arg(column(i));
            literals << (v == kNull ? QStringLiteral("NULL") : sql::quoted(v));
            expected[row] << (v != kNull && i < kKept ? v.leftJustified(255) : v);
        }
        statements << QStringLiteral("INSERT INTO %1 VALUES(%2)")
                          .arg(sql::backticked(name), literals.join(QStringLiteral(", ")));
    }
    test::exec(Server::MySQL, statements);
    test::TestWindow w;
    fillList(w.mysqlList, {name}, {name}, name);
    test::ServerLog log(Server::MSSQL);
    commands::SendTablesToMSSQL(w.context());

    QVERIFY2(w.dialogs.shown.isEmpty(), qPrintable(w.dialogs.shown.value(0).prompt));
    QCOMPARE(test::entriesOf(w.mssqlList), QStringList{name});
    QCOMPARE(test::statementsOf(log.sessionsMentioning({name}))
                 .filter(QRegularExpression(QStringLiteral("^CREATE TABLE"))),
             QStringList{
                 QStringLiteral("CREATE TABLE %1(%2)").arg(sql::bracketed(name), defs.join(u','))});
    QList<QStringList> arrived = test::textRows(Server::MSSQL, name);
    std::sort(arrived.begin(), arrived.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(arrived, expected);
}

QTEST_GUILESS_MAIN(TestMySqlLimits)
#include "tst_mysqllimits.moc"
