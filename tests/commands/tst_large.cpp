// Tables past any 16-bit row counter, and a SQL Server that goes away in the middle of a copy.
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"
#include "ui/Pointer.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace fq;

namespace {

constexpr int kRows = 100000;

// Row i of the tables below, as it arrives: the text, a double, and a moment of 2026-01-01
// (i seconds in from MySQL; i % 60 seconds and 123456 microseconds in from SQL Server).
QStringList expectedRow(int i, bool fromMySql) {
    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    return {
        QString::number(i),
        QStringLiteral("row %1 it's%2").arg(i).arg(fromMySql ? QString() : QStringLiteral(" 東")),
        QStringLiteral("%1.25").arg(i),
        fromMySql ? start.addSecs(i).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.000000"))
                  : start.addSecs(i % 60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.123456"))};
}

// Written 1,000 rows a statement; with a width, each text is that many characters longer.
void createSqlServerTable(const QString& server, const QString& name, int rows, int width = 0) {
    sql::ConnectionSettings s = test::localServers();
    s.msServer = server;
    odbc::Connection c;
    c.Open(sql::MSSQLConnectionString(s));
    c.Execute(QStringLiteral("CREATE TABLE [%1] (id int, v nvarchar(%2), d float, t datetime2(7))")
                  .arg(name, width > 0 ? QStringLiteral("max") : QStringLiteral("40")));
    const int perStatement = width > 0 ? 50 : 1000;
    for (int first = 1; first <= rows; first += perStatement) {
        QStringList values;
        for (int i = first; i < first + perStatement && i <= rows; ++i)
            values << QStringLiteral(
                          "(%1, N'row %1 it''s 東%3', %1.25, '2026-01-01 00:00:%2.1234560')")
                          .arg(i)
                          .arg(i % 60, 2, 10, QChar(u'0'))
                          .arg(QString(width, u'x'));
        c.Execute(QStringLiteral("INSERT INTO [%1] VALUES %2").arg(name, values.join(u',')));
    }
}

} // namespace

class TestLarge : public QObject {
    Q_OBJECT

private slots:
    void hundredThousandRows_data() {
        QTest::addColumn<Server>("source");
        QTest::newRow("MySQL to SQL Server") << Server::MySQL;
        QTest::newRow("SQL Server to MySQL") << Server::MSSQL;
    }

    void hundredThousandRows() {
        QFETCH(Server, source);
        const bool fromMySql = source == Server::MySQL;
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("big"));
        if (fromMySql)
            test::exec(Server::MySQL,
                       {QStringLiteral("CREATE TABLE `%1` (id int, v varchar(40), d double, t "
                                       "datetime(6))")
                            .arg(name),
                        QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('row ', seq, ' "
                                       "it''s'), seq + 0.25, '2026-01-01' + INTERVAL seq SECOND "
                                       "FROM seq_1_to_%2")
                            .arg(name)
                            .arg(kRows)});
        else
            createSqlServerTable(test::localServers().msServer, name, kRows);
        test::TestWindow w;
        test::fillList(w.list(source), {name}, {name}, name);
        fromMySql ? commands::SendTablesToMSSQL(w.context())
                  : commands::SendTablesToMySQL(w.context());
        for (const auto& box : std::as_const(w.dialogs.shown))
            QFAIL(qPrintable(box.prompt));

        const QList<QStringList> rows =
            test::textRows(fromMySql ? Server::MSSQL : Server::MySQL, name);
        QCOMPARE(rows.size(), kRows);
        for (int i = 1; i <= kRows; ++i) {
            if (rows[i - 1] != expectedRow(i, fromMySql))
                QFAIL(qPrintable(QStringLiteral("row %1: %2").arg(i).arg(rows[i - 1].join(u'|'))));
        }
    }

    // Reading the rows from a SQL Server that goes: the message counts the rows that arrived,
    // and the MySQL connection is closed.
    void sqlServerStopsWhileRowsAreRead() {
        // A private double on the servers' address, killed once MySQL holds 200 rows.
        QTemporaryDir dir;
        const QString ready = dir.filePath(QStringLiteral("ready"));
        const sql::ConnectionSettings s = test::localServers();
        const QString address =
            s.msServer.section(u',', 0, 0) + u',' + QString::number(test::unusedLoopbackPort());
        QProcess server;
        server.start(QStringLiteral(FQ_TDS_TEST_SERVER),
                     {"--address", address.section(u',', 0, 0), "--port", address.section(u',', 1),
                      "--account", s.msUser + u':' + s.msPassword, "--database", s.msDatabase,
                      "--log", dir.filePath(QStringLiteral("log")), "--ready-file", ready});
        QTRY_VERIFY(QFile::exists(ready));
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("stop_read"));
        // Wide rows (20 KB on the wire each), so the client cannot hold the rest of the result
        // in its socket buffers when the server goes.
        createSqlServerTable(address, name, 3000, 10000);
        test::TestWindow w;
        w.settings.msServer = address;
        test::fillList(w.mssqlList, {name}, {name}, name);
        test::ServerLog mysql(Server::MySQL);
        test::HookedProgress killer;
        killer.onUpdate = [pid = static_cast<pid_t>(server.processId())](long long done) {
            if (done == 200)
                ::kill(pid, SIGKILL);
            return true;
        };
        auto ctx = w.context();
        ctx.progress = &killer;
        commands::SendTablesToMySQL(ctx);

        QCOMPARE(w.dialogs.shown.size(), 1);
        static const QRegularExpression expected(
            QStringLiteral("^Copying the table (\\S+) to MySQL stopped while reading its rows from "
                           "SQL Server\\. The table is on MySQL with the (\\d+) rows copied "
                           "before\\. Nothing more was sent\\.\n\n."));
        const auto m = expected.match(w.dialogs.shown[0].prompt);
        QVERIFY2(m.hasMatch(), qPrintable(w.dialogs.shown[0].prompt));
        QCOMPARE(m.captured(1), name);
        const long long copied = m.captured(2).toLongLong();
        QVERIFY(copied >= 200 && copied < 3000);
        QCOMPARE(test::count(Server::MySQL, name), copied);
        QCOMPARE(test::entriesOf(w.mysqlList), QStringList{name});
        QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        const auto sessions =
            mysql.sessionsMentioning({QStringLiteral("CREATE TABLE `%1`").arg(name)});
        QCOMPARE(sessions.size(), 1);
        QVERIFY(sessions[0].closed);
    }
};

QTEST_GUILESS_MAIN(TestLarge)
#include "tst_large.moc"
