// The two table listings against the local MariaDB and the SQL Server test double: names exactly
// as the servers report them, the current item and the listing connection. (A listing that fails
// is in the stopping test.) The connection probes and the Test Connection action: whether each
// probe answers true, and the message the user sees with the server's codes.
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"
#include "ui/qt/QtTableList.h"

#include <QApplication>
#include <QTest>

using namespace fq;
using fq::ui::qt::QtTableList;

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

class ListingTest : public QObject {
    Q_OBJECT

private:
    QString scratch_ = test::uniqueName(QStringLiteral("fq_listing")); // a MySQL database

private slots:
    void initTestCase() {
        QVERIFY(test::rootSql(
            QStringLiteral(
                "CREATE DATABASE `%1`; USE `%1`;"
                "CREATE TABLE `Zeta table` (i int); CREATE TABLE `alpha` (i int);"
                "CREATE TABLE `Beta-2` (i int); CREATE TABLE `beta_1` (i int);"
                "CREATE TABLE `o'brien` (i int); CREATE VIEW `Gamma view` AS SELECT 1 AS i;")
                .arg(scratch_)));
    }

    void cleanupTestCase() {
        test::rootSql(QStringLiteral("DROP DATABASE IF EXISTS `%1`").arg(scratch_));
    }

    // MySQL's tables sorted without regard to case; blanks, punctuation and quotes as they are;
    // views are tables to SHOW TABLES. SQL Server's by bare name, no schema prefix, in their
    // sorted places. Each list is cleared first, and entry 0 becomes current. After both loads one
    // listing connection stays open, the MySQL one, for as long as the listing; the SQL Server one
    // was closed when it was replaced.
    void bothListsAndTheListingConnection() {
        test::Scratch scratch;
        const QString base = scratch.name(QStringLiteral("Fq Listing"));
        for (const QString& n : {base + " b", base + " A-1", base + " o'brien"}) {
            scratch.keep(n);
            test::exec(Server::MSSQL, {QStringLiteral("CREATE TABLE [%1] (i int)").arg(n)});
        }
        sql::ConnectionSettings s = test::localServers();
        s.myDatabase = scratch_;
        const auto openOnScratch = [this] {
            odbc::Connection c;
            c.Open(sql::MySQLConnectionStringCommandOrder(test::localServers()));
            return c
                .Execute(QStringLiteral("SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                        "WHERE DB = '%1'")
                             .arg(scratch_))
                .Item(0)
                .text();
        };
        test::ServerLog mssql(Server::MSSQL);
        test::ServerLog mysql(Server::MySQL);
        test::FakeDialogs dialogs;
        QtTableList mysqlList;
        QtTableList mssqlList;
        for (QtTableList* list : {&mysqlList, &mssqlList})
            test::fillList(*list, {QStringLiteral("left over")}, {}, QStringLiteral("left over"));
        {
            commands::TableListing listing;
            listing.LoadMSSQLTables(mssqlList, s, dialogs);
            listing.LoadMySQLTables(mysqlList, s, dialogs);
            QVERIFY(dialogs.shown.isEmpty());
            QCOMPARE(
                test::entriesOf(mysqlList),
                (QStringList{"alpha", "Beta-2", "beta_1", "Gamma view", "o'brien", "Zeta table"}));
            QCOMPARE(test::selectedOf(mysqlList), QStringList());
            QCOMPARE(mysqlList.ListIndex(), 0);
            QVERIFY(!test::entriesOf(mssqlList).contains(QStringLiteral("left over")));
            QStringList ours;
            for (const QString& e : test::entriesOf(mssqlList)) {
                QVERIFY2(!e.startsWith(QStringLiteral("dbo.")), qPrintable(e));
                if (e.startsWith(base))
                    ours << e;
            }
            QCOMPARE(ours, (QStringList{base + " A-1", base + " b", base + " o'brien"}));
            QCOMPARE(mssqlList.ListIndex(), 0);
            QCOMPARE(openOnScratch(), QStringLiteral("1"));
            const auto sessions = mssql.sessionsOf(s.msUser);
            QCOMPARE(sessions.size(), 1);
            QTRY_VERIFY(mssql.sessionsOf(s.msUser).value(0).closed);
        }
        QTRY_COMPARE(openOnScratch(), QStringLiteral("0"));
        // The server logs the statement without its final semicolon.
        QCOMPARE(test::statementsOf(mysql.sessionsMentioning({QStringLiteral("SHOW TABLES")})),
                 QStringList{QStringLiteral("SHOW TABLES")});
    }

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

QTEST_MAIN(ListingTest)
#include "tst_listing.moc"
