// The connection probes and the Test Connection action against both local servers: whether each
// probe answers true, and the message the user sees with the server's codes.
#include "commands/Probes.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QTest>

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
        QTest::addColumn<QString>("detail"); // what the Test Connection details hold
        const Server my = Server::MySQL;
        const Server ms = Server::MSSQL;
        QTest::newRow("MySQL: right settings") << my << ""
                                               << "";
        QTest::newRow("MySQL: wrong password") << my << "password"
                                               << "SQLSTATE: 28000\nNative error: 1045";
        QTest::newRow("MySQL: unknown database") << my << "database"
                                                 << "Native error: 1049";
        QTest::newRow("SQL Server: right settings") << ms << ""
                                                    << "";
        QTest::newRow("SQL Server: wrong password") << ms << "password"
                                                    << "Native error: 18456";
        QTest::newRow("SQL Server: unknown database") << ms << "database"
                                                      << "fq_no_such_database";
        QTest::newRow("SQL Server: nothing listening") << ms << "port"
                                                       << "SQLSTATE: 08S01\nNative error: 20009";
    }

    void probesAndTestConnection() {
        QFETCH(Server, server);
        QFETCH(QString, change);
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
