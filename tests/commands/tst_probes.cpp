// The connection probes and the Test Connection action against both local servers: whether each
// probe answers true, the error number the program compares, and the message the user sees.
#include "commands/Probes.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QTest>

#include <optional>

using namespace fq;

namespace {

const QString kFailure =
    QStringLiteral("Could not connect. Please check server, username, password, database with your "
                   "administrator. For help, write to support@fernquill.example.");

// The local servers' settings with one thing changed: "password", "database" or "port" (a SQL
// Server port where nothing listens).
sql::ConnectionSettings changed(Server server, const QString& change) {
    sql::ConnectionSettings s = test::localServers();
    const bool mysql = server == Server::MySQL;
    if (change == u"password")
        (mysql ? s.myPassword : s.msPassword) += QStringLiteral("-wrong");
    else if (change == u"database")
        (mysql ? s.myDatabase : s.msDatabase) = QStringLiteral("fq_no_such_database");
    else if (change == u"port")
        s.msServer = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
    return s;
}

} // namespace

class TestProbes : public QObject {
    Q_OBJECT

private slots:
    void probesAndTestConnection_data() {
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("change");
        QTest::addColumn<long>("number");      // the number the program compares; 0: not looked at
        QTest::addColumn<QString>("sqlState"); // its class
        QTest::addColumn<long>("native");      // -1: not looked at
        QTest::addColumn<QString>("detail");   // what the Test Connection details hold
        const Server my = Server::MySQL;
        const Server ms = Server::MSSQL;
        QTest::newRow("MySQL: right settings") << my << "" << 0L << "" << -1L << "";
        QTest::newRow("MySQL: wrong password") << my << "password" << odbc::kLoginRefused << "28"
                                               << 1045L << "SQLSTATE: 28000\nNative error: 1045";
        QTest::newRow("MySQL: unknown database")
            << my << "database" << odbc::kGenericFailure << "42" << 1049L << "Native error: 1049";
        QTest::newRow("SQL Server: right settings") << ms << "" << 0L << "" << -1L << "";
        QTest::newRow("SQL Server: wrong password")
            << ms << "password" << odbc::kLoginRefused << "42" << 18456L << "Native error: 18456";
        // SQL Server refuses the login itself besides naming the database.
        QTest::newRow("SQL Server: unknown database")
            << ms << "database" << odbc::kLoginRefused << "42" << -1L << "fq_no_such_database";
        QTest::newRow("SQL Server: nothing listening")
            << ms << "port" << odbc::kGenericFailure << "08" << 20009L << "Native error: 20009";
    }

    void probesAndTestConnection() {
        QFETCH(Server, server);
        QFETCH(QString, change);
        QFETCH(long, number);
        QFETCH(QString, sqlState);
        QFETCH(long, native);
        QFETCH(QString, detail);
        const sql::ConnectionSettings s = changed(server, change);
        const bool connects = change.isEmpty();
        const auto probe =
            server == Server::MySQL ? &commands::CanConnectMySQL : &commands::CanConnectMSSQL;
        test::ServerLog log(server);
        QCOMPARE(probe(s), connects);
        QCOMPARE(probe(s), connects); // a new connection, the same answer
        if (connects) {               // each probe a connection of its own, closed again
            QCOMPARE(log.sessions().size(), 2);
            QTRY_VERIFY(log.sessions().value(0).closed && log.sessions().value(1).closed);
        }

        if (number != 0) {
            odbc::Connection c;
            std::optional<odbc::DbError> error;
            try {
                c.Open(server == Server::MySQL ? sql::MySQLConnectionStringTestOrder(s)
                                               : sql::MSSQLConnectionString(s));
            } catch (const odbc::DbError& e) {
                error = e;
            }
            QVERIFY2(error.has_value(), "the connection opened");
            QCOMPARE(error->number(), number);
            QVERIFY2(error->sqlState().startsWith(sqlState), qPrintable(error->sqlState()));
            if (native >= 0)
                QCOMPARE(error->nativeError(), native);
            QVERIFY(!error->driverText().isEmpty());
            QCOMPARE(c.State(), 0);
        }

        test::FakeDialogs dialogs;
        test::FakePointer pointer;
        commands::TestConnection(server, s, dialogs, pointer);
        QCOMPARE(pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(dialogs.shown.size(), 1);
        const auto& box = dialogs.shown.front();
        QCOMPARE(box.prompt, connects ? QStringLiteral("Connection successful.") : kFailure);
        QCOMPARE(box.style, ui::kOkOnly);
        QCOMPARE(box.title, QString()); // the application's title
        QVERIFY2(detail.isEmpty() ? box.detail.isEmpty() : box.detail.contains(detail),
                 qPrintable(box.detail));
    }
};

QTEST_GUILESS_MAIN(TestProbes)
#include "tst_probes.moc"
