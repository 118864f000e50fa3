#include "TransferHarness.h"

#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/types.h>

#include <atomic>
#include <thread>

using namespace fq;
using test::entriesOf;
using test::fillList;
using fq::Server;
using test::TransferHarness;

namespace {

constexpr int kRows = 100000;

// A table of kRows rows on MySQL: id, a text, a double, a date.
void createBigMySqlTable(const QString& name) {
    TransferHarness::exec(
        Server::MySQL,
        {QStringLiteral("CREATE TABLE `%1` (id int, v varchar(40), d double, t datetime(6))")
             .arg(name),
         QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('row ', seq, ' it''s'), seq / 7, "
                        "'2026-01-01' + INTERVAL seq SECOND FROM seq_1_to_%2")
             .arg(name)
             .arg(kRows)});
}

// A table of `rows` rows on SQL Server, written 1,000 rows a statement.
// With a width, each text is that many characters longer (and the column nvarchar(max)).
void createBigSqlServerTable(const sql::ConnectionSettings& settings, const QString& name, int rows,
                             int width = 0) {
    odbc::Connection c;
    c.Open(sql::MSSQLConnectionString(settings));
    c.Execute(QStringLiteral("CREATE TABLE [%1] (id int, v nvarchar(%2), d float, t datetime2(7))")
                  .arg(name, width > 0 ? QStringLiteral("max") : QStringLiteral("40")));
    const QString padding(width, u'x');
    const int perStatement = width > 0 ? 50 : 1000;
    for (int first = 1; first <= rows; first += perStatement) {
        QStringList values;
        for (int i = first; i < first + perStatement && i <= rows; ++i)
            values << QStringLiteral(
                          "(%1, N'row %1 it''s 東%4', %2, '2026-01-01 00:00:%3.1234560')")
                          .arg(i)
                          .arg(odbc::shortestDouble(i / 7.0))
                          .arg(i % 60, 2, 10, QChar(u'0'))
                          .arg(padding);
        c.Execute(QStringLiteral("INSERT INTO [%1] VALUES %2").arg(name, values.join(u',')));
    }
    c.Close();
}

// Value by value, ordered by id; SQL Server prints seven fractional digits where MySQL prints six.
void compareRows(const QList<QList<odbc::Value>>& before, const QList<QList<odbc::Value>>& after) {
    QCOMPARE(after.size(), before.size());
    for (qsizetype r = 0; r < before.size(); ++r) {
        for (qsizetype c = 0; c < before[r].size(); ++c) {
            QString want = before[r][c].text();
            QString got = after[r].value(c).text();
            if (c == 3) {
                want = want.left(26);
                got = got.left(26);
            }
            if (want != got)
                QFAIL(qPrintable(QStringLiteral("row %1, column %2: %3 against %4")
                                     .arg(r + 1)
                                     .arg(c + 1)
                                     .arg(want, got)));
        }
    }
}

// A private instance of the SQL Server double, to be stopped in the middle of a copy.
class PrivateDouble {
public:
    PrivateDouble() {
        port_ = test::unusedLoopbackPort();
        log_ = dir_.filePath(QStringLiteral("statements.log"));
        const QString ready = dir_.filePath(QStringLiteral("ready"));
        const sql::ConnectionSettings s = test::localServers();
        process_.start(QStringLiteral(FQ_TDS_TEST_SERVER),
                       {QStringLiteral("--port"), QString::number(port_),
                        QStringLiteral("--account"), s.msUser + u':' + s.msPassword,
                        QStringLiteral("--database"), s.msDatabase, QStringLiteral("--log"), log_,
                        QStringLiteral("--ready-file"), ready});
        process_.waitForStarted();
        QDeadlineTimer deadline(10000);
        while (!QFile::exists(ready) && !deadline.hasExpired())
            QThread::msleep(20);
    }
    ~PrivateDouble() {
        process_.kill();
        process_.waitForFinished();
    }
    bool ready() const { return process_.state() != QProcess::NotRunning; }
    QString server() const { return QStringLiteral("127.0.0.1,%1").arg(port_); }
    QString log() const { return log_; }
    qint64 pid() const { return process_.processId(); }
    void kill() { ::kill(static_cast<pid_t>(process_.processId()), SIGKILL); }

private:
    QTemporaryDir dir_;
    QProcess process_;
    int port_ = 0;
    QString log_;
};

int insertsLogged(const QString& log, const QString& name) {
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray needle = (QStringLiteral("INSERT INTO [") + name).toUtf8();
    return static_cast<int>(f.readAll().count(needle));
}

// Counts a text in what a server's log gains from now on, reading only the new part each time.
class LogCounter {
public:
    LogCounter(const QString& path, const QString& needle) : file_(path), needle_(needle.toUtf8()) {
        file_.open(QIODevice::ReadOnly);
        file_.seek(file_.size());
    }
    int count() {
        tail_ += file_.readAll();
        qsizetype at = 0;
        while ((at = tail_.indexOf(needle_, at)) >= 0) {
            ++found_;
            at += needle_.size();
        }
        tail_ = tail_.right(needle_.size() - 1);
        return found_;
    }

private:
    QFile file_;
    QByteArray needle_;
    QByteArray tail_;
    int found_ = 0;
};

} // namespace

// Tables past the old 32,767-row limit, and a server that goes away during a copy.
class TestLarge : public QObject {
    Q_OBJECT

private slots:
    void hundredThousandRows_data();
    void hundredThousandRows();
    void sqlServerStopsWhileRowsAreRead();
    void sqlServerStopsWhileRowsAreWritten();
};

void TestLarge::hundredThousandRows_data() {
    QTest::addColumn<bool>("toSqlServer");
    QTest::newRow("MySQL to SQL Server") << true;
    QTest::newRow("SQL Server to MySQL") << false;
}

// Past any 16-bit counter: every row arrives, value by value.
void TestLarge::hundredThousandRows() {
    QFETCH(bool, toSqlServer);
    const Server source = toSqlServer ? Server::MySQL : Server::MSSQL;
    const Server target = toSqlServer ? Server::MSSQL : Server::MySQL;
    const QString name = test::uniqueName(QStringLiteral("big"));
    if (toSqlServer)
        createBigMySqlTable(name);
    else
        createBigSqlServerTable(test::localServers(), name, kRows);
    const auto before = TransferHarness::rows(source, name);
    QCOMPARE(before.size(), kRows);

    TransferHarness h;
    if (toSqlServer) {
        fillList(h.mysqlList, {name}, {name}, name);
        commands::SendTablesToMSSQL(h.context());
    } else {
        fillList(h.mssqlList, {name}, {name}, name);
        commands::SendTablesToMySQL(h.context());
    }
    for (const auto& box : h.dialogs.shown)
        QFAIL(qPrintable(box.prompt));
    compareRows(before, TransferHarness::rows(target, name));
    TransferHarness::dropIfExists(Server::MySQL, name);
    TransferHarness::dropIfExists(Server::MSSQL, name);
}

void TestLarge::sqlServerStopsWhileRowsAreRead() {
    PrivateDouble server;
    QVERIFY(server.ready());
    const QString name = test::uniqueName(QStringLiteral("stop_read"));
    TransferHarness h;
    h.settings.msServer = server.server();
    // Wide rows (20 KB on the wire each), so the client cannot hold the rest of the result
    // in its socket buffers when the server goes.
    createBigSqlServerTable(h.settings, name, 3000, 10000);
    fillList(h.mssqlList, {name}, {name}, name);
    h.markLogs();

    // Stop the server once MySQL holds some of the rows.
    std::atomic<bool> stopped{false};
    LogCounter inserts(test::localServerValue(QStringLiteral("MYSQL_GENERAL_LOG")),
                       QStringLiteral("INSERT INTO `%1`").arg(name));
    std::thread killer([&] {
        QDeadlineTimer deadline(60000);
        while (inserts.count() < 200 && !deadline.hasExpired())
            QThread::msleep(2);
        server.kill();
        stopped = true;
    });
    commands::SendTablesToMySQL(h.context());
    killer.join();
    QVERIFY(stopped);

    QCOMPARE(h.dialogs.shown.size(), 1);
    const QString prompt = h.dialogs.shown[0].prompt;
    static const QRegularExpression expected(
        QStringLiteral("^Copying the table (\\S+) to MySQL stopped while reading its rows from "
                       "SQL Server\\. The table is on MySQL with the (\\d+) rows copied before\\. "
                       "Nothing more was sent\\.\n\n.+"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto m = expected.match(prompt);
    QVERIFY2(m.hasMatch(), qPrintable(prompt));
    QCOMPARE(m.captured(1), name);
    const long long copied = m.captured(2).toLongLong();
    QVERIFY(copied >= 200 && copied < 3000);
    QCOMPARE(TransferHarness::count(Server::MySQL, name), copied);
    QCOMPARE(entriesOf(h.mysqlList), QStringList{name});
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    // The command's MySQL connection (the watcher's count queries aside) was closed.
    const auto sessions =
        h.sessionsMentioning(Server::MySQL, {QStringLiteral("CREATE TABLE `%1`").arg(name)});
    QCOMPARE(sessions.size(), 1);
    QVERIFY(sessions[0].closed);
    TransferHarness::dropIfExists(Server::MySQL, name);
}

void TestLarge::sqlServerStopsWhileRowsAreWritten() {
    PrivateDouble server;
    QVERIFY(server.ready());
    const QString name = test::uniqueName(QStringLiteral("stop_write"));
    createBigMySqlTable(name);
    TransferHarness h;
    h.settings.msServer = server.server();
    fillList(h.mysqlList, {name}, {name}, name);
    h.markLogs();

    std::atomic<bool> stopped{false};
    LogCounter inserts(server.log(), QStringLiteral("INSERT INTO [%1]").arg(name));
    std::thread killer([&] {
        QDeadlineTimer deadline(60000);
        while (inserts.count() < 200 && !deadline.hasExpired())
            QThread::msleep(2);
        server.kill();
        stopped = true;
    });
    commands::SendTablesToMSSQL(h.context());
    killer.join();
    QVERIFY(stopped);

    QCOMPARE(h.dialogs.shown.size(), 1);
    const QString prompt = h.dialogs.shown[0].prompt;
    static const QRegularExpression expected(
        QStringLiteral(
            "^Copying the table (\\S+) to SQL Server stopped while copying row (\\d+)\\. "
            "The table is on SQL Server with the (\\d+) rows copied before\\. "
            "Nothing more was sent\\.\n\n.+"),
        QRegularExpression::DotMatchesEverythingOption);
    const auto m = expected.match(prompt);
    QVERIFY2(m.hasMatch(), qPrintable(prompt));
    QCOMPARE(m.captured(1), name);
    const long long copied = m.captured(3).toLongLong();
    QCOMPARE(m.captured(2).toLongLong(), copied + 1);
    QVERIFY(copied >= 200 && copied < kRows);
    // Every row the server confirmed is in its log; the one it never answered may be too.
    const int logged = insertsLogged(server.log(), name);
    QVERIFY2(logged == copied || logged == copied + 1, qPrintable(QString::number(logged)));
    QCOMPARE(entriesOf(h.mssqlList), QStringList{name});
    QCOMPARE(h.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    const auto sessions = h.sessionsMentioning(Server::MySQL, {name});
    QCOMPARE(sessions.size(), 1);
    QVERIFY(sessions[0].closed);
    TransferHarness::dropIfExists(Server::MySQL, name);
}

QTEST_GUILESS_MAIN(TestLarge)
#include "tst_large.moc"
