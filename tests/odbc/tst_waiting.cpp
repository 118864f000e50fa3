// Waiting for a server that stops answering, through the real drivers: the local MariaDB or the
// SQL Server test double is stopped (SIGSTOP) while a connection waits for it. The bound cuts the
// connection, Cancel cuts a waiting call, and what is waiting can be seen from another thread.
// The bound is 2 s here; the program waits 60 s for an answer. (A login that gives up is the
// stopped commands' test.)

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Waiting.h"
#include "sql/ConnectionStrings.h"
#include "sql/Server.h"
#include "support/Servers.h"
#include "support/StoppedServer.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

using fq::Server;
using fq::odbc::Connection;
using fq::odbc::DbError;
using fq::odbc::Interruption;
using namespace std::chrono_literals;

namespace {

constexpr auto kLogin = 2s;
constexpr auto kAnswer = 2s;
// Generous room beyond a bound, for a loaded machine: a check that the bound holds, not a
// measure of speed.
constexpr qint64 kSlackMs = 10000;

Connection open(Server server) {
    const auto s = fq::test::localServers();
    Connection c;
    fq::commands::openConnection(c, server == Server::MSSQL
                                        ? fq::sql::MSSQLConnectionString(s)
                                        : fq::sql::MySQLConnectionStringCommandOrder(s));
    return c;
}

} // namespace

class TestWaiting : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowsBeingReadAreCutAtTheBound();
    void cancelCutsTheWaitingCall_data();
    void cancelCutsTheWaitingCall();
    void answeredCallsAreLeftAlone();
    void connectionsOpenedAtOnceEachEnd_data();
    void connectionsOpenedAtOnceEachEnd();

private:
    QString newTable(Server server, int rows);
    fq::test::Scratch scratch_; // the tables, dropped when the test ends
};

void TestWaiting::init() {
    fq::odbc::setLimits(fq::odbc::Limits{kLogin, kAnswer});
}

void TestWaiting::cleanup() {
    fq::odbc::setLimits(fq::odbc::Limits{});
}

QString TestWaiting::newTable(Server server, int rows) {
    const QString name = fq::test::delimited(server, scratch_.name("fq_waiting"));
    Connection c = open(server);
    c.execute("CREATE TABLE " + name + " (i int, t varchar(1000))");
    for (int i = 0; i < rows; i += 100) {
        QStringList values;
        for (int j = i; j < std::min(rows, i + 100); ++j)
            values << QString("(%1, '%2')").arg(j).arg(QString(1000, QChar(u'a' + j % 26)));
        c.execute("INSERT INTO " + name + " VALUES " + values.join(", "));
    }
    return name;
}

// FreeTDS hands out rows as they come (MariaDB's driver has them all before execute returns):
// the 20 MB of rows are more than the sockets' buffers hold once the server has stopped. (A
// statement cut at the bound is the stopped commands' test, on both servers.)
void TestWaiting::rowsBeingReadAreCutAtTheBound() {
    const QString table = newTable(Server::MSSQL, 20000);
    Connection c = open(Server::MSSQL);
    fq::odbc::Result rs = c.execute("SELECT * FROM " + table);
    long long read = 0;
    std::optional<DbError> error;
    QElapsedTimer clock;
    {
        fq::test::StoppedServer stopped(Server::MSSQL);
        clock.start();
        try {
            for (; !rs.atEnd(); rs.moveNext())
                ++read;
        } catch (const DbError& e) {
            error = e;
        }
    }
    QVERIFY2(error.has_value(), "the call came back without the server");
    QCOMPARE(error->interruption(), Interruption::StoppedAnswering);
    QVERIFY(clock.elapsed() >= std::chrono::milliseconds(kAnswer).count() - 200);
    QVERIFY2(clock.elapsed() < std::chrono::milliseconds(kAnswer).count() + kSlackMs,
             qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(read < 20000, qPrintable(QString::number(read)));
    // The cut connection stays cut; the server itself goes on serving new ones.
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute("SELECT 1"));
    QCOMPARE(open(Server::MSSQL).execute("SELECT 42").value(0).text(), QString("42"));
}

void TestWaiting::cancelCutsTheWaitingCall_data() {
    QTest::addColumn<Server>("server");
    // The call is made by a thread that works for this one: it is waited for and cancelled as
    // this thread's.
    QTest::addColumn<bool>("forThisThread");
    QTest::newRow("MySQL") << Server::MySQL << false;
    QTest::newRow("SQL Server") << Server::MSSQL << false;
    QTest::newRow("MySQL, for this thread") << Server::MySQL << true;
    QTest::newRow("SQL Server, for this thread") << Server::MSSQL << true;
}

void TestWaiting::cancelCutsTheWaitingCall() {
    QFETCH(Server, server);
    QFETCH(bool, forThisThread);
    // The bound is far away: what ends the call here is the cancel.
    fq::odbc::setLimits(fq::odbc::Limits{kLogin, 600s});
    const QString table = newTable(server, 0);
    Connection c = open(server);
    const QString insert = "INSERT INTO " + table + " VALUES (1, 'x')";
    fq::test::StoppedServer stopped(server);
    std::atomic<bool> done{false};
    std::optional<DbError> error;
    std::thread caller([&, self = std::this_thread::get_id()] {
        const std::optional<fq::odbc::CallsCountAs> counted =
            forThisThread ? std::optional<fq::odbc::CallsCountAs>(std::in_place, self)
                          : std::nullopt;
        try {
            c.execute(insert);
        } catch (const DbError& e) {
            error = e;
        }
        done = true;
    });
    const std::thread::id id = forThisThread ? std::this_thread::get_id() : caller.get_id();
    const std::thread::id other = forThisThread ? caller.get_id() : std::this_thread::get_id();
    // What waits, seen from here: the driver of the connection, and time going by.
    QTRY_VERIFY(fq::odbc::longestWait(id).has_value() &&
                fq::odbc::longestWait(id)->silent >= 300ms);
    const auto wait = fq::odbc::longestWait(id);
    QCOMPARE(wait->driver,
             server == Server::MSSQL ? QString("SQL Server") : QString("MySQL ODBC 3.51 Driver"));
    QVERIFY(!fq::odbc::longestWait(other).has_value());
    QCOMPARE(fq::odbc::cancelWaitingCalls(other, 0ms), 0);
    // A call that has waited less than asked is left alone; this one has waited long enough.
    QCOMPARE(fq::odbc::cancelWaitingCalls(id, 600s), 0);
    QCOMPARE(fq::odbc::cancelWaitingCalls(id, 200ms), 1);
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    caller.join();
    QVERIFY(error.has_value());
    QCOMPARE(error->interruption(), Interruption::Cancelled);
    QVERIFY(!fq::odbc::longestWait(id).has_value());
}

void TestWaiting::answeredCallsAreLeftAlone() {
    // A statement that takes longer than a tick of the watch but gets its answer within the
    // bound goes through.
    Connection c = open(Server::MySQL);
    QCOMPARE(c.execute("SELECT SLEEP(1) + 41").value(0).text(), QString("41"));
    QCOMPARE(c.execute("SELECT 42").value(0).text(), QString("42"));
}

void TestWaiting::connectionsOpenedAtOnceEachEnd_data() {
    QTest::addColumn<Server>("stopped");
    QTest::addColumn<bool>("cancel"); // or the bound ends the calls
    QTest::newRow("MySQL stops, cancelled") << Server::MySQL << true;
    QTest::newRow("SQL Server stops, cancelled") << Server::MSSQL << true;
    QTest::newRow("MySQL stops, the bound") << Server::MySQL << false;
    QTest::newRow("SQL Server stops, the bound") << Server::MSSQL << false;
}

// Four connections, two to each server, opened by four threads at the same moment; then one
// server stops while each of its connections runs a statement. Each call is cut on Cancel, or
// ends at the bound.
void TestWaiting::connectionsOpenedAtOnceEachEnd() {
    QFETCH(Server, stopped);
    QFETCH(bool, cancel);
    if (cancel)
        fq::odbc::setLimits(fq::odbc::Limits{kLogin, 600s});
    const QString table = newTable(stopped, 0);
    const QList<Server> servers{Server::MySQL, Server::MSSQL, Server::MySQL, Server::MSSQL};
    std::atomic<int> ready{0};
    std::atomic<bool> go{false};
    std::atomic<int> opened{0};
    std::atomic<bool> stop{false};
    QList<std::optional<DbError>> errors(servers.size());
    QList<qint64> took(servers.size(), -1);
    std::vector<std::thread> threads;
    for (qsizetype i = 0; i < servers.size(); ++i) {
        threads.emplace_back([&, i] {
            ++ready;
            while (!go.load())
                std::this_thread::yield();
            Connection c = open(servers[i]);
            ++opened;
            while (!stop.load())
                std::this_thread::sleep_for(10ms);
            if (servers[i] != stopped)
                return;
            QElapsedTimer clock;
            clock.start();
            try {
                c.execute("INSERT INTO " + table + " VALUES (1, 'x')");
            } catch (const DbError& e) {
                errors[i] = e;
            }
            took[i] = clock.elapsed();
        });
    }
    QTRY_COMPARE(ready.load(), 4);
    go = true;
    QTRY_COMPARE_WITH_TIMEOUT(opened.load(), 4, 20000);
    {
        fq::test::StoppedServer stop_(stopped);
        stop = true;
        if (cancel) {
            for (qsizetype i = 0; i < servers.size(); ++i) {
                if (servers[i] != stopped)
                    continue;
                const std::thread::id id = threads[static_cast<std::size_t>(i)].get_id();
                QTRY_VERIFY(fq::odbc::longestWait(id).has_value() &&
                            fq::odbc::longestWait(id)->silent >= 300ms);
                QCOMPARE(fq::odbc::cancelWaitingCalls(id, 200ms), 1);
            }
        }
        for (std::thread& t : threads)
            t.join();
    }
    for (qsizetype i = 0; i < servers.size(); ++i) {
        if (servers[i] != stopped)
            continue;
        QVERIFY2(errors[i].has_value(), "the call came back without the server");
        QCOMPARE(errors[i]->interruption(),
                 cancel ? Interruption::Cancelled : Interruption::StoppedAnswering);
        QVERIFY2(took[i] < std::chrono::milliseconds(kAnswer).count() + kSlackMs,
                 qPrintable(QString::number(took[i])));
    }
}

QTEST_GUILESS_MAIN(TestWaiting)
#include "tst_waiting.moc"
