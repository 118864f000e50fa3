// The test double's network half, end to end: the real FreeTDS ODBC driver talks to a private
// instance of the server over loopback, and every value and message is checked as the driver
// hands it to a program, and as the statement log records it.

#include "OdbcClient.h"
#include "TestServerProcess.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <thread>

using fq::test::OdbcClient;
using fq::test::TestServerProcess;

namespace {

QString user() {
    return QString::fromLatin1(TestServerProcess::kUser);
}
QString password() {
    return QString::fromUtf16(TestServerProcess::kPassword);
}
QString database() {
    return QString::fromLatin1(TestServerProcess::kDatabase);
}

// Log lines without their connection number.
QStringList withoutConnection(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines)
        out << line.section(u'\t', 1);
    return out;
}

// The requests among the lines, without their connection numbers: an earlier test's connection
// may log its LOGOUT late, inside another test's window.
QStringList requestsOnly(const QStringList& lines) {
    QStringList out;
    for (const QString& line : withoutConnection(lines)) {
        const QString event = line.section(u'\t', 1, 1);
        if (event != QLatin1String("LOGIN") && event != QLatin1String("LOGOUT"))
            out << line;
    }
    return out;
}

enum class Read { Text, Bytes, Double, Float };

// Cuts this process's TCP connections to the given loopback port, as a network failure would.
int cutConnectionsTo(int port) {
    int cut = 0;
    DIR* fds = ::opendir("/proc/self/fd");
    if (fds == nullptr)
        return 0;
    while (const dirent* entry = ::readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (fd > 2 && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == port) {
            ::shutdown(fd, SHUT_RDWR);
            ++cut;
        }
    }
    ::closedir(fds);
    return cut;
}

} // namespace

class TdsWireTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void loginRefused_data();
    void loginRefused();
    void errorsReachTheClient();

    void roundTrip_data();
    void roundTrip();
    void nullOfEveryType_data();
    void nullOfEveryType();
    void largeValues();
    void millionRows();

    void parameters_data();
    void parameters();
    void catalog();
    void concurrentConnections();
    void cancelDuringLongSelect();
    void clientVanishesMidResult();
    void statementLog();
    void scriptAtStart();

private:
    std::unique_ptr<OdbcClient> connect();
    void execOrFail(OdbcClient& c, const QString& sql);

    TestServerProcess server_;
};

void TdsWireTest::initTestCase() {
    QVERIFY2(server_.start(), qPrintable(server_.error()));
}

void TdsWireTest::cleanupTestCase() {
    QVERIFY(server_.stop());
    // Every connection that logged in also logged out, the server's stop included.
    int logins = 0;
    int logouts = 0;
    for (const QString& line : server_.logLines()) {
        const QString event = line.section(u'\t', 2, 2);
        logins += event == QLatin1String("LOGIN") ? 1 : 0;
        logouts += event == QLatin1String("LOGOUT") ? 1 : 0;
    }
    QCOMPARE(logouts, logins);
}

std::unique_ptr<OdbcClient> TdsWireTest::connect() {
    auto c = std::make_unique<OdbcClient>();
    if (!c->connect(server_.connectionString()))
        qWarning("connect failed: %s", qPrintable(c->lastError()));
    return c;
}

void TdsWireTest::execOrFail(OdbcClient& c, const QString& sql) {
    if (!c.exec(sql))
        QFAIL(qPrintable(QStringLiteral("%1 failed: %2").arg(sql.left(200), c.lastError())));
}

void TdsWireTest::loginRefused_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("db");
    QTest::addColumn<QList<int>>("natives");
    QTest::addColumn<QString>("extra");

    QTest::newRow("wrong password") << user() << "nope" << database() << QList<int>{18456} << "";
    QTest::newRow("password in other letter case")
        << user() << password().toLower() << database() << QList<int>{18456} << "";
    QTest::newRow("password missing its last character")
        << user() << password().chopped(1) << database() << QList<int>{18456} << "";
    QTest::newRow("unknown user") << "ghost" << password() << database() << QList<int>{18456} << "";
    QTest::newRow("unknown database")
        << user() << password() << "nodb" << QList<int>{4060, 18456} << "";
    QTest::newRow("TDS 7.3") << user() << password() << database() << QList<int>{17835}
                             << "TDS_Version=7.3;";
}

void TdsWireTest::loginRefused() {
    QFETCH(QString, login);
    QFETCH(QString, secret);
    QFETCH(QString, db);
    QFETCH(QList<int>, natives);
    QFETCH(QString, extra);

    const int before = static_cast<int>(server_.logLines().size());
    OdbcClient c;
    QVERIFY(!c.connect(server_.connectionString(login, secret, db) + extra));
    for (int native : natives)
        QVERIFY2(c.hasNative(native), qPrintable(c.lastError()));
    if (!natives.contains(4060))
        QVERIFY2(!c.hasNative(4060), qPrintable(c.lastError()));
    if (natives.contains(18456))
        QVERIFY2(c.lastError().contains(QStringLiteral("Login failed for user '%1'.").arg(login)),
                 qPrintable(c.lastError()));
    if (natives.contains(4060))
        QVERIFY(c.lastError().contains(
            QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.")
                .arg(db)));
    // The first attempt is logged with its reason (the driver may try an older protocol after).
    const QStringList lines = withoutConnection(server_.logLines().mid(before));
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(),
             QStringLiteral("%1\tLOGIN-FAILED\t%2\t%3").arg(login, db).arg(natives.first()));
}

void TdsWireTest::errorsReachTheClient() {
    auto c = connect();
    QVERIFY(!c->exec(QStringLiteral("SELECT * FROM no_such_table")));
    QCOMPARE(c->diagnostics().size(), 1);
    QCOMPARE(c->diagnostics().first().state, QStringLiteral("42S02"));
    QCOMPARE(c->diagnostics().first().native, 208);
    QVERIFY(c->diagnostics().first().text.endsWith(
        QStringLiteral("Invalid object name 'no_such_table'.")));

    QVERIFY(!c->exec(QStringLiteral("CREATE TABLE w_bad (a int(11))")));
    QCOMPARE(c->diagnostics().first().native, 2716);
    QVERIFY(!c->exec(QStringLiteral("UPDATE w_bad SET a = 1")));
    QCOMPARE(c->diagnostics().first().native, 50000);
    QVERIFY(c->diagnostics().first().text.endsWith(
        QStringLiteral("The SQL Server test double does not support UPDATE statements.")));

    // The connection stays usable after errors.
    const QString table = fq::test::uniqueName(QStringLiteral("w_after"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (a int)").arg(table));
    execOrFail(*c, QStringLiteral("INSERT INTO %1 VALUES (7), (-8)").arg(table));
    QCOMPARE(c->rowCount(), 2);
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QCOMPARE(c->allRows(), (QList<QStringList>{{QStringLiteral("7")}, {QStringLiteral("-8")}}));
}

void TdsWireTest::roundTrip_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<Read>("read");

    const auto text = Read::Text;
    QTest::newRow("bit 1") << "bit"
                           << "1"
                           << "1" << text;
    QTest::newRow("bit 0") << "bit"
                           << "0"
                           << "0" << text;
    QTest::newRow("tinyint max") << "tinyint"
                                 << "255"
                                 << "255" << text;
    QTest::newRow("smallint min") << "smallint"
                                  << "-32768"
                                  << "-32768" << text;
    QTest::newRow("int min") << "int"
                             << "-2147483648"
                             << "-2147483648" << text;
    QTest::newRow("int max") << "int"
                             << "2147483647"
                             << "2147483647" << text;
    QTest::newRow("bigint min") << "bigint"
                                << "-9223372036854775808"
                                << "-9223372036854775808" << text;
    QTest::newRow("bigint max") << "bigint"
                                << "9223372036854775807"
                                << "9223372036854775807" << text;
    QTest::newRow("decimal(38,10) largest") << "decimal(38,10)"
                                            << "9999999999999999999999999999.9999999999"
                                            << "9999999999999999999999999999.9999999999" << text;
    QTest::newRow("decimal(38,10) smallest") << "decimal(38,10)"
                                             << "-9999999999999999999999999999.9999999999"
                                             << "-9999999999999999999999999999.9999999999" << text;
    QTest::newRow("decimal(38,0) 38 digits") << "decimal(38,0)"
                                             << "-12345678901234567890123456789012345678"
                                             << "-12345678901234567890123456789012345678" << text;
    QTest::newRow("numeric(5,2)") << "numeric(5,2)"
                                  << "-123.45"
                                  << "-123.45" << text;
    QTest::newRow("decimal(9,4) keeps its scale") << "decimal(9,4)"
                                                  << "12.5"
                                                  << "12.5000" << text;
    QTest::newRow("money min") << "money"
                               << "-922337203685477.5808"
                               << "-922337203685477.5808" << text;
    QTest::newRow("money max") << "money"
                               << "922337203685477.5807"
                               << "922337203685477.5807" << text;
    QTest::newRow("smallmoney min") << "smallmoney"
                                    << "-214748.3648"
                                    << "-214748.3648" << text;
    QTest::newRow("float 17 digits") << "float"
                                     << "0.10000000000000001"
                                     << "0.1" << Read::Double;
    QTest::newRow("float largest") << "float"
                                   << "1.7976931348623157E+308"
                                   << "1.7976931348623157e308" << Read::Double;
    QTest::newRow("float smallest subnormal") << "float"
                                              << "4.9406564584124654E-324"
                                              << "4.9406564584124654e-324" << Read::Double;
    QTest::newRow("float third") << "float"
                                 << "0.33333333333333331"
                                 << "0.33333333333333331" << Read::Double;
    QTest::newRow("real largest") << "real"
                                  << "3.4028234E+38"
                                  << "3.4028234e38" << Read::Float;
    QTest::newRow("real tenth") << "real"
                                << "0.1"
                                << "0.1" << Read::Float;
    QTest::newRow("char pads with spaces") << "char(5)"
                                           << "'ab'"
                                           << "ab   " << text;
    QTest::newRow("varchar code page 1252")
        << "varchar(20)" << QString::fromUtf8("'h\u00e9llo \u20ac'")
        << QString::fromUtf8("h\u00e9llo \u20ac") << text;
    QTest::newRow("varchar keeps trailing spaces") << "varchar(10)"
                                                   << "'a  '"
                                                   << "a  " << text;
    QTest::newRow("varchar quote inside") << "varchar(10)"
                                          << "'it''s'"
                                          << "it's" << text;
    QTest::newRow("varchar(max)") << "varchar(max)"
                                  << "'plain'"
                                  << "plain" << text;
    QTest::newRow("text") << "text"
                          << "'some text'"
                          << "some text" << text;
    QTest::newRow("nchar pads") << "nchar(3)" << QString::fromUtf8("N'\u4e2d'")
                                << QString::fromUtf8("\u4e2d  ") << text;
    QTest::newRow("nvarchar outside the BMP")
        << "nvarchar(10)" << QString::fromUtf8("N'\U0001F600x'") << QString::fromUtf8("\U0001F600x")
        << text;
    QTest::newRow("nvarchar(max)") << "nvarchar(max)" << QString::fromUtf8("N'\u00fcber'")
                                   << QString::fromUtf8("\u00fcber") << text;
    QTest::newRow("nvarchar empty") << "nvarchar(5)"
                                    << "N''"
                                    << "" << text;
    QTest::newRow("CJK without N")
        << "nvarchar(5)" << QString::fromUtf8("'\u4e2d\u6587'") << "??" << text;
    // Each half of a surrogate pair becomes a question mark.
    QTest::newRow("emoji without N")
        << "nvarchar(5)" << QString::fromUtf8("'\U0001F600'") << "??" << text;
    QTest::newRow("zero character kept")
        << "nvarchar(max)"
        << "CONVERT(nvarchar(max), 0x610000006200)" << QString::fromUtf16(u"a\0b", 3) << text;
    QTest::newRow("ntext") << "ntext" << QString::fromUtf8("N'\u0436'")
                           << QString::fromUtf8("\u0436") << text;
    QTest::newRow("xml") << "xml"
                         << "N'<a>1</a>'"
                         << "<a>1</a>" << text;
    QTest::newRow("binary pads with zeros") << "binary(4)"
                                            << "0x0102"
                                            << "01020000" << Read::Bytes;
    QTest::newRow("varbinary with zero bytes") << "varbinary(10)"
                                               << "0x00FF00"
                                               << "00ff00" << Read::Bytes;
    QTest::newRow("varbinary empty") << "varbinary(10)"
                                     << "0x"
                                     << "" << Read::Bytes;
    QTest::newRow("varbinary(max)") << "varbinary(max)"
                                    << "0x000000DEAD00"
                                    << "000000dead00" << Read::Bytes;
    QTest::newRow("image") << "image"
                           << "0xFF00"
                           << "ff00" << Read::Bytes;
    // FreeTDS writes years before 1000 without leading zeros.
    QTest::newRow("date first") << "date"
                                << "'0001-01-01'"
                                << "1-01-01" << text;
    QTest::newRow("date last") << "date"
                               << "'9999-12-31'"
                               << "9999-12-31" << text;
    QTest::newRow("time(7)") << "time(7)"
                             << "'23:59:59.9999999'"
                             << "23:59:59.9999999" << text;
    QTest::newRow("time(0)") << "time(0)"
                             << "'12:34:56'"
                             << "12:34:56" << text;
    QTest::newRow("time(3)") << "time(3)"
                             << "'01:02:03.456'"
                             << "01:02:03.456" << text;
    QTest::newRow("datetime 1/300 s") << "datetime"
                                      << "'2020-06-20 23:59:59.997'"
                                      << "2020-06-20 23:59:59.997" << text;
    QTest::newRow("datetime first") << "datetime"
                                    << "'1753-01-01 00:00:00'"
                                    << "1753-01-01 00:00:00.000" << text;
    QTest::newRow("datetime2(7) last") << "datetime2(7)"
                                       << "'9999-12-31 23:59:59.9999999'"
                                       << "9999-12-31 23:59:59.9999999" << text;
    QTest::newRow("datetime2(7) first") << "datetime2(7)"
                                        << "'0001-01-01 00:00:00'"
                                        << "1-01-01 00:00:00.0000000" << text;
    QTest::newRow("datetime2(3)") << "datetime2(3)"
                                  << "'2024-02-29 03:04:05.123'"
                                  << "2024-02-29 03:04:05.123" << text;
    QTest::newRow("smalldatetime") << "smalldatetime"
                                   << "'2020-06-20 23:59:00'"
                                   << "2020-06-20 23:59:00" << text;
    QTest::newRow("datetimeoffset west") << "datetimeoffset(7)"
                                         << "'2021-07-29 20:00:00.1234567 -05:00'"
                                         << "2021-07-29 20:00:00.1234567 -05:00" << text;
    QTest::newRow("datetimeoffset east past midnight")
        << "datetimeoffset(7)"
        << "'2021-01-01 00:30:00 +14:00'"
        << "2021-01-01 00:30:00.0000000 +14:00" << text;
    QTest::newRow("datetimeoffset(0)") << "datetimeoffset(0)"
                                       << "'2000-02-29 12:00:00 +05:30'"
                                       << "2000-02-29 12:00:00 +05:30" << text;
    QTest::newRow("uniqueidentifier") << "uniqueidentifier"
                                      << "'00112233-4455-6677-8899-AABBCCDDEEFF'"
                                      << "00112233-4455-6677-8899-AABBCCDDEEFF" << text;
}

void TdsWireTest::roundTrip() {
    QFETCH(QString, type);
    QFETCH(QString, literal);
    QFETCH(QString, expected);
    QFETCH(Read, read);

    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_rt"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (id int, v %2)").arg(table, type));
    execOrFail(*c, QStringLiteral("INSERT INTO %1 VALUES (1, %2)").arg(table, literal));
    QCOMPARE(c->rowCount(), 1);
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QVERIFY(c->fetch());
    switch (read) {
    case Read::Text:
        QCOMPARE(c->text(2).value_or(QStringLiteral("<NULL>")), expected);
        break;
    case Read::Bytes:
        QCOMPARE(c->bytes(2).value_or("<NULL>").toHex(), expected.toLatin1());
        break;
    case Read::Double: {
        const QString got = c->text(2).value_or(QStringLiteral("NULL"));
        bool ok = false;
        QCOMPARE(got.toDouble(&ok), expected.toDouble());
        QVERIFY2(ok, qPrintable(got));
        break;
    }
    case Read::Float: {
        const QString got = c->text(2).value_or(QStringLiteral("NULL"));
        bool ok = false;
        // FreeTDS writes nine digits, which may lie just past the largest float.
        QCOMPARE(static_cast<float>(got.toDouble(&ok)), static_cast<float>(expected.toDouble()));
        QVERIFY2(ok, qPrintable(got));
        break;
    }
    }
    QVERIFY(!c->fetch());
}

void TdsWireTest::nullOfEveryType_data() {
    QTest::addColumn<QString>("type");
    for (const char* type : {"bit",
                             "tinyint",
                             "smallint",
                             "int",
                             "bigint",
                             "decimal(38,10)",
                             "numeric(5,2)",
                             "money",
                             "smallmoney",
                             "float",
                             "real",
                             "char(5)",
                             "varchar(5)",
                             "varchar(max)",
                             "text",
                             "nchar(5)",
                             "nvarchar(5)",
                             "nvarchar(max)",
                             "ntext",
                             "xml",
                             "binary(5)",
                             "varbinary(5)",
                             "varbinary(max)",
                             "image",
                             "date",
                             "time(7)",
                             "datetime",
                             "datetime2(7)",
                             "smalldatetime",
                             "datetimeoffset(7)",
                             "uniqueidentifier"})
        QTest::newRow(type) << QString::fromLatin1(type);
}

void TdsWireTest::nullOfEveryType() {
    QFETCH(QString, type);
    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_null"));
    // A NULL between two values: a lost NULL or a shifted column shows in its neighbours.
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (a int, v %2, b nvarchar(5))").arg(table, type));
    execOrFail(*c, QStringLiteral("INSERT INTO %1 VALUES (1, NULL, N'z')").arg(table));
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QCOMPARE(c->allRows(), (QList<QStringList>{{QStringLiteral("1"), QStringLiteral("NULL"),
                                                QStringLiteral("z")}}));
}

void TdsWireTest::largeValues() {
    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_large"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (t nvarchar(max), b varbinary(max), v "
                                  "varchar(max))")
                       .arg(table));
    // 1 MB of text mixing one-unit and surrogate-pair characters, so values cross packet and
    // chunk boundaries at every offset.
    QString big;
    const QString pattern = QString::fromUtf8("a\u00e9\u4e2d\U0001F600");
    while (big.size() < 1024 * 1024)
        big += pattern;
    QByteArray bytes(300000, '\0');
    for (int i = 0; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(i % 251);
    const QString narrow(70000, u'x');
    execOrFail(*c, QStringLiteral("INSERT INTO %1 VALUES (N'%2', 0x%3, '%4')")
                       .arg(table, big, QString::fromLatin1(bytes.toHex()), narrow));
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QVERIFY(c->fetch());
    const std::optional<QString> text = c->text(1);
    QVERIFY(text.has_value());
    QCOMPARE(text->size(), big.size());
    QVERIFY(*text == big);
    const std::optional<QByteArray> got = c->bytes(2);
    QVERIFY(got.has_value());
    QCOMPARE(got->size(), bytes.size());
    QVERIFY(*got == bytes);
    QCOMPARE(c->text(3), std::optional<QString>(narrow));
}

// A million rows in and out again through the driver: every row arrives, in insertion order,
// with its values intact.
void TdsWireTest::millionRows() {
    constexpr int kRows = 1000000;
    constexpr int kPerStatement = 1000;
    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_million"));
    execOrFail(*c,
               QStringLiteral("CREATE TABLE %1 (id int, name nvarchar(20), amount decimal(12,2))")
                   .arg(table));
    for (int first = 1; first <= kRows; first += kPerStatement) {
        QString sql = QStringLiteral("INSERT INTO %1 VALUES ").arg(table);
        for (int i = first; i < first + kPerStatement; ++i) {
            if (i > first)
                sql += u',';
            sql += QStringLiteral("(%1, N'r\u00e9%1', %1.25)").arg(i);
        }
        execOrFail(*c, sql);
    }
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    int n = 0;
    while (c->fetch()) {
        ++n;
        const QString id = QString::number(n);
        if (c->text(1) != id || c->text(2) != QStringLiteral("r\u00e9") + id ||
            c->text(3) != id + QStringLiteral(".25"))
            QFAIL(qPrintable(QStringLiteral("row %1 arrived as %2, %3, %4")
                                 .arg(n)
                                 .arg(c->text(1).value_or(QStringLiteral("NULL")),
                                      c->text(2).value_or(QStringLiteral("NULL")),
                                      c->text(3).value_or(QStringLiteral("NULL")))));
    }
    QCOMPARE(n, kRows);
    execOrFail(*c, QStringLiteral("DROP TABLE %1").arg(table));
}

// A parameter's value as the C bytes a client binds.
template <typename T> QByteArray raw(const T& value) {
    return QByteArray(reinterpret_cast<const char*>(&value), sizeof value);
}

QByteArray wchars(const QString& s) {
    return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
}

struct Bound {
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    std::optional<QByteArray> value;
};
Q_DECLARE_METATYPE(Bound)

void TdsWireTest::parameters_data() {
    QTest::addColumn<QString>("type");   // of the column
    QTest::addColumn<Bound>("bound");    // the parameter as the client binds it
    QTest::addColumn<bool>("prepared");  // SQLPrepare + SQLExecute, or SQLExecDirect
    QTest::addColumn<QString>("stored"); // read back as text
    QTest::addColumn<QString>("logged"); // the parameter in the statement log

    const SQL_TIMESTAMP_STRUCT at{2024, 2, 29, 10, 20, 30, 123000000};
    const SQL_DATE_STRUCT day{2024, 1, 2};
    const SQL_TIME_STRUCT time{10, 20, 30};
    SQLGUID guid{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    const QString unicode = QString::fromUtf8("it's \u4e2d\U0001F600");
    auto row = [](const char* name, const char* type, Bound b, bool prepared, const QString& stored,
                  const QString& logged) {
        QTest::newRow(name) << QString::fromLatin1(type) << b << prepared << stored << logged;
    };
    row("int", "int", {SQL_C_SLONG, SQL_INTEGER, 0, 0, raw(qint32(-5))}, true, "-5", "-5");
    row("bigint min", "bigint", {SQL_C_SBIGINT, SQL_BIGINT, 0, 0, raw(qint64(INT64_MIN))}, false,
        "-9223372036854775808", "-9223372036854775808");
    row("smallint", "smallint", {SQL_C_SSHORT, SQL_SMALLINT, 0, 0, raw(qint16(-300))}, true, "-300",
        "-300");
    row("tinyint", "tinyint", {SQL_C_UTINYINT, SQL_TINYINT, 0, 0, raw(quint8(255))}, false, "255",
        "255");
    row("bit", "bit", {SQL_C_BIT, SQL_BIT, 1, 0, raw(quint8(1))}, true, "1", "1");
    row("double", "float", {SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, raw(0.1 + 0.2)}, false,
        "0.30000000000000004", "0.30000000000000004");
    row("real", "real", {SQL_C_FLOAT, SQL_REAL, 0, 0, raw(-0.25f)}, true, "-0.25", "-0.25");
    row("decimal from text", "decimal(10,2)", {SQL_C_CHAR, SQL_DECIMAL, 10, 2, QByteArray("-12.5")},
        false, "-12.50", "-12.50");
    row("numeric(38)", "decimal(38,0)", {SQL_C_CHAR, SQL_NUMERIC, 38, 0, QByteArray(38, '9')}, true,
        QString(38, u'9'), QString(38, u'9'));
    row("varchar", "varchar(10)", {SQL_C_CHAR, SQL_VARCHAR, 10, 0, QByteArray("it's")}, true,
        "it's", "'it''s'");
    row("nvarchar", "nvarchar(10)", {SQL_C_WCHAR, SQL_WVARCHAR, 10, 0, wchars(unicode)}, false,
        unicode, "N'it''s \u4e2d\U0001F600'");
    row("nvarchar(max)", "nvarchar(max)",
        {SQL_C_WCHAR, SQL_WLONGVARCHAR, 100000, 0, wchars(unicode)}, true, unicode,
        "N'it''s \u4e2d\U0001F600'");
    row("varchar(max)", "varchar(max)",
        {SQL_C_CHAR, SQL_LONGVARCHAR, 100000, 0, QByteArray("a\\b")}, false, "a\\b", "'a\\\\b'");
    row("varbinary", "varbinary(10)", {SQL_C_BINARY, SQL_VARBINARY, 10, 0, QByteArray("\0\xff", 2)},
        true, "00ff", "0x00FF");
    row("varbinary(max)", "varbinary(max)",
        {SQL_C_BINARY, SQL_LONGVARBINARY, 100000, 0, QByteArray(3, '\x7f')}, false, "7f7f7f",
        "0x7F7F7F");
    row("timestamp", "datetime2(7)", {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 27, 7, raw(at)},
        true, "2024-02-29 10:20:30.1230000", "'2024-02-29 10:20:30.1230000'");
    row("timestamp into datetime", "datetime",
        {SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, raw(at)}, false,
        "2024-02-29 10:20:30.123", "'2024-02-29 10:20:30.1230000'");
    row("date", "date", {SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, raw(day)}, true, "2024-01-02",
        "'2024-01-02'");
    row("time", "time(0)", {SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, raw(time)}, false, "10:20:30",
        "'10:20:30.0000000'");
    row("guid", "uniqueidentifier", {SQL_C_GUID, SQL_GUID, 16, 0, raw(guid)}, true,
        "00112233-4455-6677-8899-AABBCCDDEEFF", "'00112233-4455-6677-8899-AABBCCDDEEFF'");
    row("text into date", "date", {SQL_C_CHAR, SQL_VARCHAR, 10, 0, QByteArray("2024-12-31")}, false,
        "2024-12-31", "'2024-12-31'");
    row("NULL", "int", {SQL_C_SLONG, SQL_INTEGER, 0, 0, std::nullopt}, true, "NULL", "NULL");
}

void TdsWireTest::parameters() {
    QFETCH(QString, type);
    QFETCH(Bound, bound);
    QFETCH(bool, prepared);
    QFETCH(QString, stored);
    QFETCH(QString, logged);
    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_param"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (id int, v %2)").arg(table, type));
    const QString insert = QStringLiteral("INSERT INTO %1 VALUES (?, ?)").arg(table);
    const int before = static_cast<int>(server_.logLines().size());
    if (prepared)
        QVERIFY2(c->prepare(insert), qPrintable(c->lastError()));
    c->bind(1, SQL_C_SLONG, SQL_INTEGER, 0, 0, raw(qint32(7)));
    c->bind(2, bound.cType, bound.sqlType, bound.size, bound.digits, bound.value);
    for (int i = 0; i < 2; ++i) {
        QVERIFY2(prepared ? c->execute() : c->exec(insert), qPrintable(c->lastError()));
        QCOMPARE(c->rowCount(), 1);
    }
    execOrFail(*c, QStringLiteral("SELECT v FROM %1 WHERE id = 7").arg(table));
    QCOMPARE(c->allRows(), (QList<QStringList>{{stored}, {stored}}));

    // The calls as the driver made them: sp_prepexec then sp_execute, or sp_executesql twice,
    // each parameter written as a T-SQL literal.
    const QStringList lines = requestsOnly(server_.logLines().mid(before));
    QVERIFY2(lines.size() >= 2, qPrintable(lines.join(u'\n')));
    QCOMPARE(lines[0].section(u'\t', 1, 2), QStringLiteral("RPC\t") + (prepared ? "13" : "10"));
    QCOMPARE(lines[1].section(u'\t', 1, 2),
             QStringLiteral("RPC\t") + (prepared ? "sp_execute" : "10"));
    for (const QString& line : lines.mid(0, 2))
        QVERIFY2(line.endsWith(QStringLiteral("\t7\t") + logged), qPrintable(line));
}

void TdsWireTest::catalog() {
    auto c = connect();
    const QString plain = fq::test::uniqueName(QStringLiteral("w_tab"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (id int NOT NULL, name nvarchar(30), "
                                  "amount decimal(12,2))")
                       .arg(plain));
    execOrFail(*c, QStringLiteral("CREATE TABLE sales.%1 (a int)").arg(plain));
    // SQLTables goes out as sp_tables; the driver hands back its rows under ODBC's names.
    for (const QString& catalog : {QString(), database()}) {
        QVERIFY2(c->tables(catalog, QStringLiteral("TABLE,VIEW")), qPrintable(c->lastError()));
        QCOMPARE(c->columnCount(), 5);
        QCOMPARE(c->columnName(3), QStringLiteral("TABLE_NAME"));
        QList<QStringList> mine;
        bool systemView = false;
        for (const QStringList& row : c->allRows()) {
            if (row[2] == plain)
                mine << row;
            systemView =
                systemView || (row[1] == QLatin1String("sys") && row[3] == QLatin1String("VIEW"));
        }
        QVERIFY(systemView);
        QCOMPARE(mine, (QList<QStringList>{{database(), "dbo", plain, "TABLE", "NULL"},
                                           {database(), "sales", plain, "TABLE", "NULL"}}));
    }
    // SQLColumns goes out as sp_columns.
    QVERIFY2(c->columns(plain), qPrintable(c->lastError()));
    QCOMPARE(c->columnName(4), QStringLiteral("COLUMN_NAME"));
    QList<QStringList> described;
    for (const QStringList& row : c->allRows())
        described << QStringList{row[1], row[3], row[5], row[10]};
    QCOMPARE(described, (QList<QStringList>{{"dbo", "id", "int", "0"},
                                            {"dbo", "name", "nvarchar", "1"},
                                            {"dbo", "amount", "decimal", "1"},
                                            {"sales", "a", "int", "1"}}));
}

void TdsWireTest::concurrentConnections() {
    const QString shared = fq::test::uniqueName(QStringLiteral("w_shared"));
    auto first = connect();
    auto second = connect();
    execOrFail(*first, QStringLiteral("CREATE TABLE %1 (who int, n int)").arg(shared));
    for (int i = 0; i < 2000; ++i)
        execOrFail(*first, QStringLiteral("INSERT INTO %1 VALUES (0, %2)").arg(shared).arg(i));

    // One connection streams the table while the other writes into it and reads a table of
    // its own: both get exactly their answers.
    execOrFail(*first, QStringLiteral("SELECT * FROM %1").arg(shared));
    std::atomic<int> failures{0};
    const QString own = fq::test::uniqueName(QStringLiteral("w_own"));
    std::thread writer([&] {
        if (!second->exec(QStringLiteral("CREATE TABLE %1 (n int)").arg(own)))
            ++failures;
        for (int i = 0; i < 300; ++i) {
            if (!second->exec(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(own).arg(i)) ||
                !second->exec(QStringLiteral("INSERT INTO %1 VALUES (1, %2)").arg(shared).arg(i)))
                ++failures;
        }
    });
    int streamed = 0;
    while (first->fetch()) {
        if (first->text(1) == QStringLiteral("0") && first->text(2) == QString::number(streamed))
            ++streamed;
    }
    writer.join();
    QCOMPARE(failures.load(), 0);
    QCOMPARE(streamed, 2000);

    execOrFail(*first, QStringLiteral("SELECT * FROM %1").arg(own));
    const QList<QStringList> rows = first->allRows();
    QCOMPARE(rows.size(), 300);
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i].first(), QString::number(i));
}

void TdsWireTest::cancelDuringLongSelect() {
    auto c = connect();
    const QString table = fq::test::uniqueName(QStringLiteral("w_cancel"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (n int, t nvarchar(max))").arg(table));
    // 300 rows of 100 kB: far more than the socket buffers hold, so the server is still
    // sending when the cancel comes.
    const QString filler(50000, u'c');
    for (int i = 0; i < 300; ++i)
        execOrFail(
            *c, QStringLiteral("INSERT INTO %1 VALUES (%2, N'%3')").arg(table).arg(i).arg(filler));
    const QString small = fq::test::uniqueName(QStringLiteral("w_small"));
    execOrFail(*c, QStringLiteral("CREATE TABLE %1 (n int)").arg(small));
    execOrFail(*c, QStringLiteral("INSERT INTO %1 VALUES (42)").arg(small));

    const int before = static_cast<int>(server_.logLines().size());
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QVERIFY(c->fetch());
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] { cancelled = c->cancel(); });
    canceller.join();
    QVERIFY(cancelled.load());
    int rows = 1;
    while (c->fetch())
        ++rows;
    QVERIFY2(rows < 300, qPrintable(QString::number(rows)));

    // The connection goes on with the next statement, and the server logged the cancel.
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(small));
    QCOMPARE(c->allRows(), (QList<QStringList>{{QStringLiteral("42")}}));
    const QStringList lines = withoutConnection(server_.logLines().mid(before));
    QVERIFY2(lines.contains(user() + QStringLiteral("\tATTENTION")), qPrintable(lines.join(u'\n')));
}

void TdsWireTest::clientVanishesMidResult() {
    const QString table = fq::test::uniqueName(QStringLiteral("w_vanish"));
    {
        auto c = connect();
        execOrFail(*c, QStringLiteral("CREATE TABLE %1 (n int, t nvarchar(max))").arg(table));
        const QString filler(50000, u'v');
        for (int i = 0; i < 100; ++i)
            execOrFail(
                *c,
                QStringLiteral("INSERT INTO %1 VALUES (%2, N'%3')").arg(table).arg(i).arg(filler));
    }
    const int before = static_cast<int>(server_.logLines().size());
    {
        auto c = connect();
        execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
        QVERIFY(c->fetch());
        QCOMPARE(cutConnectionsTo(server_.port()), 1);
        while (c->fetch()) {
        }
    }
    // The server stops streaming, logs the connection's end (not a cancel) and serves others.
    auto linesSince = [&] { return withoutConnection(server_.logLines().mid(before)); };
    QTRY_VERIFY2(linesSince().contains(user() + QStringLiteral("\tLOGOUT")),
                 qPrintable(linesSince().join(u'\n')));
    QVERIFY(!linesSince().contains(user() + QStringLiteral("\tATTENTION")));
    auto next = connect();
    execOrFail(*next, QStringLiteral("SELECT * FROM %1").arg(table));
    QCOMPARE(next->allRows().size(), 100);
}

void TdsWireTest::statementLog() {
    const int before = static_cast<int>(server_.logLines().size());
    {
        auto c = connect();
        c->exec(QStringLiteral("SELECT *\r\nFROM [tab\tname] -- back\\slash"));
        c->exec(QString::fromUtf8("SELECT N'\u00e9'"));
    }
    // The logout is logged when the server sees the connection close; other connections'
    // lines may come in between.
    auto linesOf = [&](const QString& number) {
        QStringList out;
        for (const QString& line : server_.logLines().mid(before))
            if (line.section(u'\t', 0, 0) == number)
                out << line;
        return out;
    };
    QString number;
    for (const QString& line : server_.logLines().mid(before))
        if (number.isEmpty() && line.section(u'\t', 2, 2) == QLatin1String("LOGIN"))
            number = line.section(u'\t', 0, 0);
    QVERIFY(number.toInt() > 0);
    QTRY_VERIFY2(linesOf(number).size() >= 5, qPrintable(linesOf(number).join(u'\n')));
    QCOMPARE(linesOf(number),
             (QStringList{
                 number + "\t" + user() + "\tLOGIN\t" + database(),
                 number + "\t" + user() +
                     QStringLiteral("\tBATCH\tSELECT *\\r\\nFROM [tab\\tname] -- back\\\\slash"),
                 number + "\t" + user() + QString::fromUtf8("\tBATCH\tSELECT N'\u00e9'"),
                 // The driver cancels the result nobody read before it disconnects.
                 number + "\t" + user() + "\tATTENTION", number + "\t" + user() + "\tLOGOUT"}));

    // Connection numbers go up by one per connection.
    auto next = connect();
    QTRY_VERIFY(!linesOf(QString::number(number.toInt() + 1)).isEmpty());
}

void TdsWireTest::scriptAtStart() {
    QTemporaryFile good;
    QVERIFY(good.open());
    good.write(
        "CREATE TABLE fixture (a int, b nvarchar(10))\nINSERT INTO fixture VALUES (1, N'x')\n");
    good.flush();
    {
        TestServerProcess withScript;
        QVERIFY2(withScript.start({QStringLiteral("--script"), good.fileName()}),
                 qPrintable(withScript.error()));
        OdbcClient c;
        QVERIFY2(c.connect(withScript.connectionString()), qPrintable(c.lastError()));
        QVERIFY2(c.exec(QStringLiteral("SELECT * FROM fixture")), qPrintable(c.lastError()));
        QCOMPARE(c.allRows(), (QList<QStringList>{{QStringLiteral("1"), QStringLiteral("x")}}));
    }

    QTemporaryFile bad;
    QVERIFY(bad.open());
    bad.write("CREATE TABLE broken (a int(11))\n");
    bad.flush();
    QProcess process;
    process.start(QStringLiteral(TDS_TEST_SERVER_PATH),
                  {QStringLiteral("--port"), QString::number(fq::test::unusedLoopbackPort()),
                   QStringLiteral("--account"), QStringLiteral("a:b"), QStringLiteral("--database"),
                   QStringLiteral("d"), QStringLiteral("--script"), bad.fileName()});
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(process.exitCode() != 0);
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("Msg 2716")), qPrintable(errors));
    QVERIFY2(errors.contains(QStringLiteral("Cannot specify a column width on data type int.")),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(TdsWireTest)
#include "tst_tds_wire.moc"
