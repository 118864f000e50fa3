// The two table listings against the local MariaDB and the SQL Server test double: names
// exactly as the servers report them, the current item, the listing connection, and what the
// user sees when a listing fails.
#include "app/ServerFixtures.h"

#include "commands/Listing.h"
#include "odbc/Connection.h"
#include "odbc/Recordset.h"
#include "sql/ConnectionStrings.h"
#include "support/TestSupport.h"
#include "ui/qt/QtTableList.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

using namespace fq;
using fq::ui::qt::QtTableList;

namespace {

QStringList entries(const ui::TableList& list) {
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

} // namespace

class ListingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mysqlTablesAsReported();
    void mysqlDatabaseWithoutTables();
    void mssqlTablesAsReported();
    void listingConnectionEndsOnMySQL();
    void failedListing_data();
    void failedListing();

private:
    QString scratch_;      // a MySQL database of this test's own
    QString emptyScratch_; // and one without tables
    QStringList mssqlTables_;
};

void ListingTest::initTestCase() {
    scratch_ = test::uniqueName(QStringLiteral("fq_listing"));
    emptyScratch_ = test::uniqueName(QStringLiteral("fq_listing_empty"));
    QVERIFY(test::rootSql(
        QStringLiteral("CREATE DATABASE `%1`; CREATE DATABASE `%2`; USE `%1`;"
                       "CREATE TABLE `Zeta table` (i int); CREATE TABLE `alpha` (i int);"
                       "CREATE TABLE `Beta-2` (i int); CREATE TABLE `beta_1` (i int);"
                       "CREATE TABLE `o'brien` (i int); CREATE VIEW `Gamma view` AS SELECT 1 AS i;")
            .arg(scratch_, emptyScratch_)));
}

void ListingTest::cleanupTestCase() {
    test::rootSql(QStringLiteral("DROP DATABASE IF EXISTS `%1`; DROP DATABASE IF EXISTS `%2`;")
                      .arg(scratch_, emptyScratch_));
    const sql::ConnectionSettings s = test::localServers();
    for (const QString& t : std::as_const(mssqlTables_)) {
        test::mssqlExec(s, QStringLiteral("DROP TABLE [%1]").arg(t));
    }
}

void ListingTest::mysqlTablesAsReported() {
    sql::ConnectionSettings s = test::localServers();
    s.myDatabase = scratch_;
    test::FakeDialogs dialogs;
    QtTableList list;
    list.AddItem(QStringLiteral("left over"));
    test::LogWatcher log(test::localServerValue(QStringLiteral("MYSQL_GENERAL_LOG")));
    log.mark();
    commands::TableListing().LoadMySQLTables(list, s, dialogs);
    // Sorted without regard to case; names with blanks, punctuation and quotes as they are;
    // views are tables to SHOW TABLES.
    QCOMPARE(entries(list),
             (QStringList{"alpha", "Beta-2", "beta_1", "Gamma view", "o'brien", "Zeta table"}));
    QCOMPARE(list.ListIndex(), 0);
    for (int i = 0; i < list.ListCount(); ++i)
        QVERIFY(!list.Selected(i));
    QVERIFY(dialogs.shown.isEmpty());
    // The server logs the statement without its final semicolon.
    static const QRegularExpression showTables(QStringLiteral(" (Query|Prepare)\tSHOW TABLES;?$"));
    QVERIFY(!log.linesSinceMark().filter(showTables).isEmpty());
}

void ListingTest::mysqlDatabaseWithoutTables() {
    sql::ConnectionSettings s = test::localServers();
    s.myDatabase = emptyScratch_;
    test::FakeDialogs dialogs;
    QtTableList list;
    list.AddItem(QStringLiteral("left over"));
    list.SetListIndex(0);
    commands::TableListing().LoadMySQLTables(list, s, dialogs);
    QCOMPARE(list.ListCount(), 0);
    QCOMPARE(list.ListIndex(), -1);
    QVERIFY(dialogs.shown.isEmpty());
}

void ListingTest::mssqlTablesAsReported() {
    const sql::ConnectionSettings s = test::localServers();
    const QString base = test::uniqueName(QStringLiteral("Fq Listing"));
    const QStringList created{base + QStringLiteral(" b"), base + QStringLiteral(" A-1"),
                              base + QStringLiteral(" o'brien")};
    for (const QString& t : created) {
        QVERIFY(test::mssqlExec(s, QStringLiteral("CREATE TABLE [%1] (i int)").arg(t)));
        mssqlTables_ << t;
    }
    test::FakeDialogs dialogs;
    QtTableList list;
    commands::TableListing().LoadMSSQLTables(list, s, dialogs);
    QVERIFY(dialogs.shown.isEmpty());
    // Bare names, no schema prefix, in sorted places.
    const QStringList all = entries(list);
    QStringList ours;
    for (const QString& e : all)
        if (e.startsWith(base))
            ours << e;
    QCOMPARE(ours, (QStringList{base + " A-1", base + " b", base + " o'brien"}));
    for (const QString& e : all)
        QVERIFY2(!e.startsWith(QStringLiteral("dbo.")), qPrintable(e));
    QCOMPARE(list.ListIndex(), 0);
}

void ListingTest::listingConnectionEndsOnMySQL() {
    sql::ConnectionSettings s = test::localServers();
    s.myDatabase = scratch_;
    test::LogWatcher log(test::localServerValue(QStringLiteral("MSSQL_STATEMENT_LOG")));
    log.mark();
    test::FakeDialogs dialogs;
    QtTableList mysql;
    QtTableList mssql;
    const auto openOnScratch = [&] {
        odbc::Connection c;
        c.Open(sql::MySQLConnectionStringCommandOrder(test::localServers()));
        return c
            .Execute(QStringLiteral("SELECT COUNT(*) FROM information_schema.PROCESSLIST "
                                    "WHERE DB = '%1'")
                         .arg(scratch_))
            .Item(0)
            .text();
    };
    {
        commands::TableListing listing;
        listing.LoadMSSQLTables(mssql, s, dialogs);
        listing.LoadMySQLTables(mysql, s, dialogs);
        QVERIFY(dialogs.shown.isEmpty());
        // The listing connection is the MySQL one, open while the listing lives.
        QCOMPARE(openOnScratch(), QStringLiteral("1"));
    }
    QTRY_COMPARE(openOnScratch(), QStringLiteral("0"));

    // The SQL Server listing connection logged in, listed, and was closed when replaced.
    const auto events = test::doubleEvents(log.linesSinceMark());
    QStringList loggedIn;
    QStringList loggedOut;
    for (const auto& e : events) {
        if (e.login != s.msUser)
            continue;
        if (e.event == u"LOGIN")
            loggedIn << e.connection;
        else if (e.event == u"LOGOUT")
            loggedOut << e.connection;
    }
    QVERIFY(!loggedIn.isEmpty());
    for (const QString& c : loggedIn)
        QVERIFY2(loggedOut.contains(c),
                 qPrintable(QStringLiteral("connection %1 still open").arg(c)));
}

void ListingTest::failedListing_data() {
    QTest::addColumn<bool>("mysql");
    QTest::addColumn<QString>("server");
    QTest::newRow("MySQL login refused") << true << "MySQL";
    QTest::newRow("SQL Server unreachable") << false << "MS SQL Server";
}

void ListingTest::failedListing() {
    QFETCH(bool, mysql);
    QFETCH(QString, server);
    sql::ConnectionSettings s = test::localServers();
    if (mysql)
        s.myPassword = QStringLiteral("not the password");
    else
        s.msServer = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
    test::FakeDialogs dialogs;
    QtTableList list;
    list.AddItem(QStringLiteral("stale"));
    list.SetListIndex(0);
    if (mysql)
        commands::TableListing().LoadMySQLTables(list, s, dialogs);
    else
        commands::TableListing().LoadMSSQLTables(list, s, dialogs);
    // One box naming the server, with the driver's words and the error codes.
    QCOMPARE(dialogs.shown.size(), 1);
    const auto& box = dialogs.shown.first();
    QVERIFY2(box.prompt.contains(server), qPrintable(box.prompt));
    QVERIFY2(box.prompt.count(u'\n') >= 2, qPrintable(box.prompt));
    QVERIFY2(box.detail.contains(QStringLiteral("SQLSTATE")), qPrintable(box.detail));
    QCOMPARE(box.style, ui::kOkOnly);
    QCOMPARE(list.ListCount(), 0);
    QCOMPARE(list.ListIndex(), -1);
}

QTEST_MAIN(ListingTest)
#include "tst_listing.moc"
