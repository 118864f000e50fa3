// The limits of a MySQL target. InnoDB keeps a row on its page: SQL Server tables too wide for
// that as they are copy with every value, the widest short columns becoming text or blob, and a
// table that fits keeps its columns; the rule's count is checked against MariaDB's own. MySQL
// closes the connection on a statement longer than its max_allowed_packet allows, so a copy sends
// a row up to that size and stops before a larger one, saying why and what helps.
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Recordset.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "sql/StatementSize.h"
#include "sql/Statements.h"
#include "sql/TypeMap.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QRegularExpression>
#include <QTest>

#include <algorithm>

using namespace fq;
using sql::MssqlColumn;
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

QString column(int i) {
    return QStringLiteral("c%1").arg(i + 1);
}

// The value a test row holds in a column of the source table, as SQL Server literal text:
// full-width values in the first row, NULLs, empty texts, quotes and backslashes in the others.
QString sourceLiteral(const QString& type, int row, int i) {
    if (type == u"int") {
        if (row == 1)
            return i % 7 == 6 ? QStringLiteral("NULL")
                   : i % 2    ? QStringLiteral("2147483647")
                              : QStringLiteral("-2147483648");
        return QString::number(row == 0 ? i : -i - 1);
    }
    const int width = type.startsWith(u"nvarchar") ? 60 : 50;
    QString v;
    if (row == 0) {
        // Every character the column holds; in nvarchar 3 bytes each in UTF-8.
        v = QStringLiteral("r0%1-").arg(column(i));
        v += QString(width - v.size(), type.startsWith(u'n') ? QChar(0x4e2d) : QChar(u'x'));
    } else if (row == 1) {
        if (i % 3 == 1)
            return QStringLiteral("NULL");
        if (i % 3 == 2)
            return QStringLiteral("''");
        v = type.startsWith(u'n') ? QStringLiteral("\U0001F600").repeated(width / 2)
                                  : QStringLiteral("ab");
    } else {
        v = QStringLiteral("It's a \\ in %1").arg(column(i));
    }
    return (type.startsWith(u'n') ? QStringLiteral("N") : QString()) + sql::quoted(v);
}

void createSource(const QString& name, int columns, const QString& type) {
    QStringList defs;
    for (int i = 0; i < columns; ++i)
        defs << column(i) + u' ' + type;
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (%2)").arg(sql::bracketed(name), defs.join(u", "))};
    for (int row = 0; row < 3; ++row) {
        QStringList values;
        for (int i = 0; i < columns; ++i)
            values << sourceLiteral(type, row, i);
        statements << QStringLiteral("INSERT INTO %1 VALUES(%2)")
                          .arg(sql::bracketed(name), values.join(u", "));
    }
    test::exec(Server::MSSQL, statements);
}

// Rows in the order of their texts, so both servers' answers compare whatever order they use.
QList<QStringList> sortedRows(Server server, const QString& table) {
    QList<QStringList> out = test::textRows(server, table);
    std::sort(out.begin(), out.end());
    return out;
}

constexpr long long kPacket = 1024 * 1024;

long long globalPacket() {
    odbc::Connection c;
    c.Open(sql::MySQLConnectionStringCommandOrder(test::localServers()));
    return c.Execute(QStringLiteral("SELECT @@global.max_allowed_packet"))
        .Item(0)
        .text()
        .toLongLong();
}

// A small max_allowed_packet on the local MariaDB for the connections made while it lives (the
// server applies it to new connections only); the old value comes back at the end.
class SmallPacket {
public:
    explicit SmallPacket(long long bytes) : old_(globalPacket()) { set(bytes); }
    ~SmallPacket() { restore(); }
    void restore() {
        if (old_ > 0)
            set(old_);
        old_ = 0;
    }

private:
    static void set(long long bytes) {
        QVERIFY(test::rootSql(QStringLiteral("SET GLOBAL max_allowed_packet=%1").arg(bytes)));
    }
    long long old_;
};

enum class Shape { Ascii, TwoByte, Binary };

// The big value of row 2, sized so that its INSERT statement (as the copy writes it: the id and
// the value as literals) is `statement` bytes long in UTF-8, or one byte less for binary values
// when that is odd.
struct BigValue {
    QString mssqlLiteral; // for the source table
    QString text;         // the value as MySQL reads it back (text shapes)
    QByteArray bytes;     // binary shape
    long long statementBytes = 0;
};

BigValue bigValue(Shape shape, const QString& table, long long statement) {
    // INSERT INTO `t` VALUES('2', <value>)
    const long long frame =
        QStringLiteral("INSERT INTO %1 VALUES('2', )").arg(sql::backticked(table)).toUtf8().size();
    BigValue v;
    if (shape == Shape::Binary) {
        const long long n = (statement - frame - 3) / 2; // X'...'
        v.bytes.reserve(n);
        for (long long i = 0; i < n; ++i)
            v.bytes.append(static_cast<char>(i * 7 % 256));
        v.mssqlLiteral = QStringLiteral("0x") + QString::fromLatin1(v.bytes.toHex().toUpper());
        v.statementBytes = frame + 3 + 2 * n;
        return v;
    }
    const long long valueBytes = statement - frame - 2; // '...'
    if (shape == Shape::Ascii) {
        v.text = QString(valueBytes, u'x');
    } else {
        // é is two bytes in UTF-8 and one UTF-16 unit; an odd count ends in one ASCII letter.
        v.text = QString(valueBytes / 2, QChar(0xe9));
        if (valueBytes % 2)
            v.text += u'z';
    }
    v.mssqlLiteral = u'N' + sql::quoted(v.text);
    v.statementBytes = frame + 2 + v.text.toUtf8().size();
    return v;
}

} // namespace

Q_DECLARE_METATYPE(Shape)
Q_DECLARE_METATYPE(fq::sql::MysqlRowRules)

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
};

void TestMySqlLimits::wideTableCopies_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("sourceType");
    QTest::addColumn<int>("kept");         // how many leading columns keep their short type
    QTest::addColumn<QString>("keptType"); // in the CREATE TABLE sent to MySQL
    QTest::addColumn<QString>("givenType");

    QTest::newRow("33 nvarchar(60) just fit") << 33 << "nvarchar(60)" << 33 << v60 << text8;
    QTest::newRow("40 nvarchar(60)") << 40 << "nvarchar(60)" << 32 << v60 << text8;
    QTest::newRow("200 nvarchar(60)") << 200 << "nvarchar(60)" << 17 << v60 << text8;
    QTest::newRow("100 char(50)") << 100 << "char(50)" << 33 << "char(50)"
                                  << "text";
    QTest::newRow("1000 int") << 1000 << "int" << 1000 << "int"
                              << "";
}

void TestMySqlLimits::wideTableCopies() {
    QFETCH(int, columns);
    QFETCH(QString, sourceType);
    QFETCH(int, kept);
    QFETCH(QString, keptType);
    QFETCH(QString, givenType);

    test::TestWindow w;
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("wide"));
    createSource(name, columns, sourceType);
    fillList(w.mssqlList, {name}, {name}, name);
    test::ServerLog log(Server::MySQL);
    log.mark();
    commands::SendTablesToMySQL(w.context());

    for (const auto& box : w.dialogs.shown)
        qWarning("message: %s", qPrintable(box.prompt));
    QCOMPARE(w.dialogs.shown.size(), 0);
    QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});

    // The table as it was created.
    QStringList defs;
    for (int i = 0; i < columns; ++i)
        defs << sql::backticked(column(i)) + u' ' + (i < kept ? keptType : givenType);
    const QString create =
        QStringLiteral("CREATE TABLE %1(%2)").arg(sql::backticked(name), defs.join(u','));
    QStringList creates;
    for (const test::Session& s : log.sessionsMentioning({name})) {
        for (const QString& statement : s.statements) {
            if (statement.startsWith(u"CREATE TABLE"))
                creates << statement;
        }
    }
    QCOMPARE(creates, QStringList{create});

    // Every value: text columns keep a char value's padding, which a MySQL char drops when read.
    QList<QStringList> expected = sortedRows(Server::MSSQL, name);
    for (QStringList& row : expected) {
        for (int i = 0; i < kept && sourceType.startsWith(u"char"); ++i)
            row[i].remove(QRegularExpression(QStringLiteral(" +$")));
    }
    std::sort(expected.begin(), expected.end());
    QCOMPARE(expected.size(), 3);
    QCOMPARE(sortedRows(Server::MySQL, name), expected);
}

void TestMySqlLimits::largeValue_data() {
    QTest::addColumn<Shape>("shape");
    QTest::addColumn<long long>("over"); // bytes past the longest statement the server takes

    QTest::newRow("ASCII text, the longest statement") << Shape::Ascii << 0LL;
    QTest::newRow("ASCII text, one byte more") << Shape::Ascii << 1LL;
    QTest::newRow("two-byte text, the longest statement") << Shape::TwoByte << 0LL;
    QTest::newRow("two-byte text, one byte more") << Shape::TwoByte << 1LL;
    QTest::newRow("binary, the longest statement") << Shape::Binary << 0LL;
    QTest::newRow("binary, two bytes more") << Shape::Binary << 2LL;
}

void TestMySqlLimits::largeValue() {
    QFETCH(Shape, shape);
    QFETCH(long long, over);

    test::Scratch scratch;
    QString name = test::uniqueName(QStringLiteral("pkt"));
    // Two hexadecimal digits a byte: a name of the right parity lets the statement reach the
    // exact size.
    if (shape == Shape::Binary &&
        QStringLiteral("INSERT INTO %1 VALUES('2', X'')").arg(sql::backticked(name)).size() % 2 !=
            (kPacket - 2 + over) % 2)
        name += u'_';
    scratch.keep(name);
    // The server takes a statement of up to max_allowed_packet - 2 bytes.
    const BigValue big = bigValue(shape, name, kPacket - 2 + over);
    QCOMPARE(big.statementBytes, kPacket - 2 + over);
    const QString type =
        shape == Shape::Binary ? QStringLiteral("varbinary(max)") : QStringLiteral("nvarchar(max)");
    const QString small1 = shape == Shape::Binary ? QStringLiteral("0x01") : QStringLiteral("'a'");
    const QString small3 = shape == Shape::Binary ? QStringLiteral("0x03") : QStringLiteral("'c'");
    test::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE %1 (id int, v %2)").arg(sql::bracketed(name), type),
         QStringLiteral("INSERT INTO %1 VALUES(1, %2)").arg(sql::bracketed(name), small1),
         QStringLiteral("INSERT INTO %1 VALUES(2, %2)").arg(sql::bracketed(name), big.mssqlLiteral),
         QStringLiteral("INSERT INTO %1 VALUES(3, %2)").arg(sql::bracketed(name), small3)});

    test::TestWindow w;
    fillList(w.mssqlList, {name}, {name}, name);
    test::ServerLog log(Server::MySQL);
    SmallPacket packet(kPacket);
    log.mark();
    commands::SendTablesToMySQL(w.context());
    const QList<test::Session> sessions = log.sessionsMentioning({name});
    packet.restore();

    // The table is there in any case, with the rows that arrived.
    QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});
    QCOMPARE(w.pointer.history.last(), 1);
    QStringList inserts;
    for (const test::Session& s : sessions) {
        QVERIFY(s.closed);
        for (const QString& statement : s.statements) {
            if (statement.startsWith(u"INSERT"))
                inserts << statement.left(40);
        }
    }
    const QList<QList<odbc::Value>> arrived = test::rows(Server::MySQL, name);

    if (over <= 0) {
        for (const auto& box : w.dialogs.shown)
            qWarning("message: %s", qPrintable(box.prompt));
        QCOMPARE(w.dialogs.shown.size(), 0);
        QCOMPARE(inserts.size(), 3);
        QCOMPARE(arrived.size(), 3);
        const odbc::Value& v = arrived[1][1];
        QVERIFY(shape == Shape::Binary ? v.bytes() == big.bytes : v.text() == big.text);
        return;
    }

    // Only the row before it was sent; the copy stopped at row 2 and said why.
    QCOMPARE(inserts.size(), 1);
    QCOMPARE(arrived.size(), 1);
    QCOMPARE(arrived[0][0].text(), QStringLiteral("1"));
    QCOMPARE(w.dialogs.shown.size(), 1);
    const auto& box = w.dialogs.shown[0];
    QCOMPARE(box.style, ui::kOkOnly);
    QCOMPARE(box.detail, QString());
    const QString expected =
        QStringLiteral(
            "Copying the table %1 to MySQL stopped while copying row 2. The table is on MySQL "
            "with the 1 row copied before. Nothing more was sent.\n\n"
            "The row's INSERT statement is %2 bytes (its largest value is in the column v); "
            "this MySQL server takes a statement of at most %3 bytes, as its "
            "max_allowed_packet is %4. Raising max_allowed_packet on the server lets the row "
            "through.")
            .arg(name)
            .arg(big.statementBytes)
            .arg(kPacket - 2)
            .arg(kPacket);
    QCOMPARE(box.prompt, expected);
}

void TestMySqlLimits::innodbRule_data() {
    QTest::addColumn<QList<MssqlColumn>>("columns");
    QTest::addColumn<MysqlRowRules>("rules");
    QTest::addColumn<QStringList>("mysql");

    const MysqlRowRules page16k;
    // 5 header + 5 null bytes + 19 system + 33 × 241 = 7,982; one more column is 8,223. (33,
    // 40 and 200 nvarchar(60), 100 char(50) and 1,000 int are copied in wideTableCopies, 4 KB
    // pages and a latin1 database in the private MariaDB's test.)
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
    QTest::newRow("41 varbinary(200): the last becomes blob")
        << times(41, ms("varbinary", 200)) << page16k
        << (QStringList(40, "varbinary(200)") << "blob");
    QTest::newRow("60 uniqueidentifier: char(36) is short text too")
        << times(60, ms("uniqueidentifier")) << page16k
        << (QStringList(55, "char(36)") + QStringList(5, "text"));
    QTest::newRow("998 bigint: nothing can give way, nothing changes")
        << times(998, ms("bigint")) << page16k << QStringList(998, "bigint");
    QTest::newRow("64 KB pages: 40 nvarchar(60) stay")
        << times(40, ms("nvarchar", 60)) << MysqlRowRules{65536, 4} << QStringList(40, v60);
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

void TestMySqlLimits::innodbRule() {
    QFETCH(QList<MssqlColumn>, columns);
    QFETCH(MysqlRowRules, rules);
    QFETCH(QStringList, mysql);
    const auto out = sql::mysqlColumnsFor(columns, rules);
    QCOMPARE(typesOf(out), mysql);
}

// The count against MariaDB's own check: each table is created exactly when the count says it
// fits, on both sides of the boundary.
void TestMySqlLimits::countMatchesTheServer_data() {
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

void TestMySqlLimits::countMatchesTheServer() {
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

void TestMySqlLimits::utf8Size_data() {
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

void TestMySqlLimits::utf8Size() {
    QFETCH(QString, text);
    QFETCH(long long, bytes);
    QCOMPARE(sql::utf8Bytes(text), bytes);
}

QTEST_GUILESS_MAIN(TestMySqlLimits)
#include "tst_mysqllimits.moc"
