// The test double's network half, end to end: the real FreeTDS ODBC driver talks to a private
// instance of the server over loopback, and every value and message is checked as the driver
// hands it to a program, and as the statement log records it.

#include "OdbcClient.h"
#include "TestServerProcess.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

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

// Log lines without their connection numbers, LOGIN and LOGOUT left out: an earlier test's
// connection may log its LOGOUT late, inside another test's window.
QStringList requests(const QStringList& lines) {
    QStringList out;
    for (const QString& line : lines) {
        const QString event = line.section(u'\t', 2, 2);
        if (event != QLatin1String("LOGIN") && event != QLatin1String("LOGOUT"))
            out << line.section(u'\t', 1);
    }
    return out;
}

// Cuts this process's TCP connections to the given loopback port, as a network failure would.
int cutConnectionsTo(int port) {
    int cut = 0;
    DIR* fds = ::opendir("/proc/self/fd");
    while (const dirent* entry = fds ? ::readdir(fds) : nullptr) {
        const int fd = std::atoi(entry->d_name);
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (fd > 2 && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == port) {
            ::shutdown(fd, SHUT_RDWR);
            ++cut;
        }
    }
    if (fds)
        ::closedir(fds);
    return cut;
}

} // namespace

class TdsWireTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(server_.start(), qPrintable(server_.error())); }
    void cleanupTestCase();
    void loginRefused_data();
    void loginRefused();
    void catalog();
    void streamingWhileOthersWrite();
    void cancelDuringLongSelect();
    void clientVanishesMidResult();
    void statementLog();
    void scriptAtStart();

private:
    std::unique_ptr<OdbcClient> connect() {
        auto c = std::make_unique<OdbcClient>();
        if (!c->connect(server_.connectionString()))
            qWarning("connect failed: %s", qPrintable(c->lastError()));
        return c;
    }
    void execOrFail(OdbcClient& c, const QString& sql) {
        if (!c.exec(sql))
            QFAIL(qPrintable(QStringLiteral("%1 failed: %2").arg(sql.left(200), c.lastError())));
    }
    int logSize() const { return static_cast<int>(server_.logLines().size()); }
    // A table of rows of 100 kB: far more than the socket buffers hold, so the server is still
    // sending when the client acts.
    // An empty name when the table could not be made.
    QString bigRows(OdbcClient& c, const char* prefix, int rows) {
        const QString table = fq::test::uniqueName(QString::fromLatin1(prefix));
        bool made = c.exec(QStringLiteral("CREATE TABLE %1 (n int, t nvarchar(max))").arg(table));
        for (int i = 0; made && i < rows; ++i)
            made = c.exec(QStringLiteral("INSERT INTO %1 VALUES (%2, N'%3')")
                              .arg(table)
                              .arg(i)
                              .arg(QString(50000, u'c')));
        return made ? table : QString();
    }

    TestServerProcess server_;
};

void TdsWireTest::cleanupTestCase() {
    QVERIFY(server_.stop());
    // Every connection that logged in also logged out, the server's stop included.
    const QStringList lines = server_.logLines();
    QCOMPARE(lines.filter(QStringLiteral("\tLOGOUT")).size(),
             lines.filter(QStringLiteral("\tLOGIN\t")).size());
}

// (A wrong password and an unknown database are the probes' test, against this server.)
void TdsWireTest::loginRefused_data() {
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("extra"); // of the connection string
    QTest::addColumn<int>("native");
    QTest::newRow("password in other letter case") << user() << password().toLower() << "" << 18456;
    QTest::newRow("password missing its last character")
        << user() << password().chopped(1) << "" << 18456;
    QTest::newRow("unknown user") << "ghost" << password() << "" << 18456;
    QTest::newRow("TDS 7.3") << user() << password() << "TDS_Version=7.3;" << 17835;
}

void TdsWireTest::loginRefused() {
    QFETCH(QString, login);
    QFETCH(QString, secret);
    QFETCH(QString, extra);
    QFETCH(int, native);
    const int before = logSize();
    OdbcClient c;
    QVERIFY(!c.connect(server_.connectionString(login, secret, database()) + extra));
    // The server's number, among the driver's own follow-up messages.
    QVERIFY2(c.natives().contains(native), qPrintable(c.lastError()));
    QVERIFY2(native != 18456 ||
                 c.lastError().contains(QStringLiteral("Login failed for user '%1'.").arg(login)),
             qPrintable(c.lastError()));
    // The first attempt is logged with its reason (the driver may try an older protocol after).
    const QStringList lines = server_.logLines().mid(before);
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first().section(u'\t', 1),
             QStringLiteral("%1\tLOGIN-FAILED\t%2\t%3").arg(login, database()).arg(native));
}

void TdsWireTest::catalog() {
    // A database of its own: the other tests' tables would only add rows.
    TestServerProcess fresh;
    QVERIFY2(fresh.start(), qPrintable(fresh.error()));
    OdbcClient c;
    QVERIFY2(c.connect(fresh.connectionString()), qPrintable(c.lastError()));
    execOrFail(c, "CREATE TABLE b_1 (id int NOT NULL, name nvarchar(30), amount decimal(12,2)); "
                  "CREATE TABLE a (x int); CREATE TABLE sales.a (x datetime)");
    // SQLTables goes out as sp_tables, with a catalog as [db]..sp_tables.
    auto listed = [&](const QString& catalog, const QString& schema, const QString& name,
                      const QString& type) {
        QStringList out;
        if (!c.tables(catalog, schema, name, type))
            out << c.lastError();
        for (const QStringList& row : c.allRows())
            out << row.join(QStringLiteral(" | "));
        return out;
    };
    const QString db = database();
    QCOMPARE(listed("", "", "", "TABLE,VIEW"),
             (QStringList{
                 db + " | dbo | a | TABLE | NULL", db + " | dbo | b_1 | TABLE | NULL",
                 db + " | sales | a | TABLE | NULL",
                 db + " | INFORMATION_SCHEMA | COLUMNS | VIEW | NULL",
                 db + " | INFORMATION_SCHEMA | TABLES | VIEW | NULL",
                 db + " | INFORMATION_SCHEMA | VIEWS | VIEW | NULL",
                 db + " | sys | columns | VIEW | NULL", db + " | sys | objects | VIEW | NULL",
                 db + " | sys | partitions | VIEW | NULL", db + " | sys | tables | VIEW | NULL"}));
    QCOMPARE(listed(db, "%", "_", ""),
             (QStringList{db + " | dbo | a | TABLE | NULL", db + " | sales | a | TABLE | NULL"}));
    QCOMPARE(listed("", "", "B_1", ""), QStringList{db + " | dbo | b_1 | TABLE | NULL"});
    QCOMPARE(listed("", "SALES", "%", "TABLE"), QStringList{db + " | sales | a | TABLE | NULL"});
    // SQLColumns goes out as sp_columns: schema, column, type, precision, length, scale,
    // nullable, SQL data type.
    QVERIFY2(c.columns("_"), qPrintable(c.lastError()));
    QCOMPARE(c.columnName(4), QStringLiteral("COLUMN_NAME"));
    QList<QStringList> described;
    for (const QStringList& row : c.allRows())
        described << QStringList{row[1], row[3], row[5], row[6], row[7], row[8], row[10], row[13]};
    QCOMPARE(described,
             (QList<QStringList>{{"dbo", "x", "int", "10", "4", "0", "1", "4"},
                                 {"sales", "x", "datetime", "23", "16", "3", "1", "9"}}));
    QVERIFY2(c.columns("b_1"), qPrintable(c.lastError()));
    described.clear();
    for (const QStringList& row : c.allRows())
        described << QStringList{row[3], row[5], row[6], row[7], row[8], row[10]};
    QCOMPARE(described, (QList<QStringList>{{"id", "int", "10", "4", "0", "0"},
                                            {"name", "nvarchar", "30", "60", "NULL", "1"},
                                            {"amount", "decimal", "12", "14", "2", "1"}}));
}

// A table streamed from one connection while another writes into it, reads a table of its own
// and drops the streamed table: every row there when the SELECT began arrives, in order, intact,
// across many packets.
void TdsWireTest::streamingWhileOthersWrite() {
    constexpr int kRows = 100000;
    const QString shared = fq::test::uniqueName(QStringLiteral("w_shared"));
    const QString own = fq::test::uniqueName(QStringLiteral("w_own"));
    auto first = connect();
    auto second = connect();
    execOrFail(*first, QStringLiteral("CREATE TABLE %1 (id int, name nvarchar(20), amount "
                                      "decimal(12,2))")
                           .arg(shared));
    for (int from = 1; from <= kRows; from += 1000) {
        QStringList rows;
        for (int i = from; i < from + 1000; ++i)
            rows << QStringLiteral("(%1, N'r\u00e9%1', %1.25)").arg(i);
        execOrFail(*first, QStringLiteral("INSERT INTO %1 VALUES %2").arg(shared, rows.join(u',')));
    }
    execOrFail(*first, QStringLiteral("SELECT * FROM %1").arg(shared));
    int failures = 0;
    std::thread writer([&] {
        failures += second->exec(QStringLiteral("CREATE TABLE %1 (n int)").arg(own)) ? 0 : 1;
        for (int i = 0; i < 300; ++i) {
            failures +=
                second->exec(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(own).arg(i)) ? 0 : 1;
            failures +=
                second->exec(QStringLiteral("INSERT INTO %1 VALUES (0, N'x', 0)").arg(shared)) ? 0
                                                                                               : 1;
        }
        failures += second->exec(QStringLiteral("DROP TABLE %1").arg(shared)) ? 0 : 1;
    });
    int n = 0;
    while (first->fetch()) {
        const QString id = QString::number(++n);
        if (first->text(1) != id || first->text(2) != QStringLiteral("r\u00e9") + id ||
            first->text(3) != id + QStringLiteral(".25"))
            QFAIL(qPrintable(QStringLiteral("row %1 arrived as %2")
                                 .arg(n)
                                 .arg(first->text(1).value_or("NULL"))));
    }
    writer.join();
    QCOMPARE(n, kRows);
    QCOMPARE(failures, 0);
    execOrFail(*first, QStringLiteral("SELECT * FROM %1").arg(own));
    const QList<QStringList> rows = first->allRows();
    QCOMPARE(rows.size(), 300);
    QCOMPARE(rows.last(), QStringList{"299"});
}

void TdsWireTest::cancelDuringLongSelect() {
    auto c = connect();
    const QString table = bigRows(*c, "w_cancel", 300);
    const int before = logSize();
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QVERIFY(c->fetch());
    bool cancelled = false;
    std::thread([&] { cancelled = c->cancel(); }).join();
    QVERIFY(cancelled);
    int rows = 1;
    while (c->fetch())
        ++rows;
    QVERIFY2(rows < 300, qPrintable(QString::number(rows)));
    // The connection goes on with the next statement, and the server logged the cancel.
    execOrFail(*c, QStringLiteral("SELECT 42"));
    QCOMPARE(c->allRows(), (QList<QStringList>{{"42"}}));
    QVERIFY(
        requests(server_.logLines().mid(before)).contains(user() + QStringLiteral("\tATTENTION")));
}

void TdsWireTest::clientVanishesMidResult() {
    auto c = connect();
    const QString table = bigRows(*c, "w_vanish", 100);
    const int before = logSize();
    execOrFail(*c, QStringLiteral("SELECT * FROM %1").arg(table));
    QVERIFY(c->fetch());
    QCOMPARE(cutConnectionsTo(server_.port()), 1);
    while (c->fetch()) {
    }
    c.reset();
    // The server stops streaming, logs the connection's end (not a cancel) and serves others.
    auto lines = [&] { return server_.logLines().mid(before).join(u'\n'); };
    QTRY_VERIFY2(lines().contains(user() + QStringLiteral("\tLOGOUT")), qPrintable(lines()));
    QVERIFY(!lines().contains(QStringLiteral("\tATTENTION")));
    auto next = connect();
    execOrFail(*next, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table));
    QCOMPARE(next->allRows(), (QList<QStringList>{{"100"}}));
}

void TdsWireTest::statementLog() {
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
             (QStringList{user() + "\tLOGIN\t" + database(),
                          user() + "\tBATCH\tSELECT *\\r\\nFROM [tab\\tname] -- back\\\\slash",
                          user() + QString::fromUtf8("\tBATCH\tSELECT N'\u00e9'"),
                          // The driver cancels the result nobody read.
                          user() + "\tATTENTION", user() + "\tLOGOUT"}));
    // Connection numbers go up by one per connection.
    auto next = connect();
    QTRY_VERIFY(server_.logLines().last().startsWith(QString::number(number.toInt() + 1) + u'\t'));
}

void TdsWireTest::scriptAtStart() {
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

    // A failing script stops the server before it listens, with SQL Server's message.
    QTemporaryFile bad;
    QVERIFY(bad.open());
    bad.write("CREATE TABLE broken (a int)\nINSERT INTO broken VALUES(1)\nDROP TABLE nosuch\n"
              "CREATE TABLE broken (a int(11))\n");
    bad.flush();
    QProcess process;
    process.start(TDS_TEST_SERVER_PATH,
                  {"--port", QString::number(fq::test::unusedLoopbackPort()), "--account", "a:b",
                   "--database", "d", "--script", bad.fileName()});
    QVERIFY(process.waitForFinished(10000));
    QVERIFY(process.exitCode() != 0);
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(errors.endsWith("Msg 3701, Level 11, State 5, Line 3\nCannot drop the table 'nosuch', "
                             "because it does not exist or you do not have permission.\nMsg 2716, "
                             "Level 16, State 1, Line 4\nColumn, parameter, or variable #1: Cannot "
                             "specify a column width on data type int.\n"),
             qPrintable(errors));
}

QTEST_GUILESS_MAIN(TdsWireTest)
#include "tst_tds_wire.moc"
