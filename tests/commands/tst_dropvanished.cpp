// A drop of a table that someone else dropped meanwhile: the server says it does not exist, the
// message says so once with the server's words, and the entry leaves the list, so the next drop
// does not fail on it again. Any other refusal keeps the entry. Against both servers.

#include "commands/DropTables.h"
#include "support/Servers.h"
#include "ui/Dialogs.h"

#include <QTest>

using fq::Server;
using fq::test::entriesOf;
using fq::test::fillList;
using fq::test::selectedOf;
using fq::test::TestWindow;

namespace {

void drop(Server server, TestWindow& w) {
    if (server == Server::MySQL)
        fq::commands::DropMySQLTables(w.context());
    else
        fq::commands::DropMSSQLTables(w.context());
}

QString delimited(Server server, const QString& name) {
    return server == Server::MySQL ? u'`' + name + u'`' : u'[' + name + u']';
}

// The server's own words when the table is not there.
QString goneWords(Server server) {
    return server == Server::MySQL ? QStringLiteral("Unknown table")
                                   : QStringLiteral("Cannot drop the table");
}

const QString kDropUser = QStringLiteral("fq_nodrop");
const QString kDropPassword = QStringLiteral("Fq_NoDrop1");

} // namespace

class TestDropVanished : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void vanishedTableLeavesTheList_data();
    void vanishedTableLeavesTheList();
    void otherRefusalKeepsTheEntry_data();
    void otherRefusalKeepsTheEntry();
};

void TestDropVanished::initTestCase() {
    // An account that may read but not drop.
    QStringList sql;
    for (const char* host : {"%", "localhost"}) {
        sql << QStringLiteral("DROP USER IF EXISTS '%1'@'%2'").arg(kDropUser, host)
            << QStringLiteral("CREATE USER '%1'@'%2' IDENTIFIED BY '%3'")
                   .arg(kDropUser, host, kDropPassword)
            << QStringLiteral("GRANT SELECT ON *.* TO '%1'@'%2'").arg(kDropUser, host);
    }
    QVERIFY(fq::test::rootSql(sql.join(QStringLiteral(";\n"))));
}

void TestDropVanished::cleanupTestCase() {
    fq::test::rootSql(QStringLiteral("DROP USER IF EXISTS '%1'@'%'; DROP USER IF EXISTS "
                                     "'%1'@'localhost'")
                          .arg(kDropUser));
}

void TestDropVanished::vanishedTableLeavesTheList_data() {
    QTest::addColumn<Server>("server");
    QTest::newRow("MySQL") << Server::MySQL;
    QTest::newRow("SQL Server") << Server::MSSQL;
}

// stays (not selected), gone (selected, dropped behind Fernquill's back): the press names gone
// with the server's words, its entry goes, and the next press has nothing left to fail on.
void TestDropVanished::vanishedTableLeavesTheList() {
    QFETCH(Server, server);
    const QString stays = fq::test::uniqueName(QStringLiteral("stays"));
    const QString gone = fq::test::uniqueName(QStringLiteral("gone"));
    for (const QString& name : {stays, gone})
        fq::test::exec(server,
                       {QStringLiteral("CREATE TABLE %1 (id int)").arg(delimited(server, name))});
    TestWindow w;
    fq::ui::TableList& list = w.list(server);
    fillList(list, {stays, gone}, {gone}, gone);
    fq::test::dropIfExists(server, gone);

    drop(server, w);
    QCOMPARE(w.dialogs.shown.size(), 1);
    const auto& box = w.dialogs.shown[0];
    QCOMPARE(box.style, fq::ui::kOkOnly);
    QVERIFY2(box.prompt.contains(gone), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(QStringLiteral("does not exist")), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(QStringLiteral("removed from the list")), qPrintable(box.prompt));
    QVERIFY2(box.prompt.contains(goneWords(server)), qPrintable(box.prompt));
    QCOMPARE(entriesOf(list), QStringList{stays});
    QCOMPARE(selectedOf(list), QStringList());
    QVERIFY(fq::test::tables(server).contains(stays));

    // Nothing of it is left to fail again.
    list.SetListIndex(0);
    drop(server, w);
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(entriesOf(list), QStringList{stays});
    fq::test::dropIfExists(server, stays);
}

void TestDropVanished::otherRefusalKeepsTheEntry_data() {
    QTest::addColumn<Server>("server");
    QTest::addColumn<QString>("words");
    // MySQL: an account that may not drop; SQL Server: a refused login.
    QTest::newRow("MySQL, no right to drop") << Server::MySQL << "DROP command denied";
    QTest::newRow("SQL Server, login refused") << Server::MSSQL << "Login failed";
}

void TestDropVanished::otherRefusalKeepsTheEntry() {
    QFETCH(Server, server);
    QFETCH(QString, words);
    const QString name = fq::test::uniqueName(QStringLiteral("kept"));
    fq::test::exec(server,
                   {QStringLiteral("CREATE TABLE %1 (id int)").arg(delimited(server, name))});
    TestWindow w;
    if (server == Server::MySQL) {
        w.settings.myUser = kDropUser;
        w.settings.myPassword = kDropPassword;
    } else {
        w.settings.msPassword += QStringLiteral("-wrong");
    }
    fq::ui::TableList& list = w.list(server);
    fillList(list, {name}, {name}, name);

    drop(server, w);
    QCOMPARE(w.dialogs.shown.size(), 1);
    const QString prompt = w.dialogs.shown[0].prompt;
    QVERIFY2(prompt.contains(name), qPrintable(prompt));
    QVERIFY2(prompt.contains(words), qPrintable(prompt));
    QVERIFY2(!prompt.contains(QStringLiteral("removed from the list")), qPrintable(prompt));
    QCOMPARE(entriesOf(list), QStringList{name});
    QCOMPARE(selectedOf(list), QStringList{name});
    QVERIFY(fq::test::tables(server).contains(name));
    fq::test::dropIfExists(server, name);
}

QTEST_GUILESS_MAIN(TestDropVanished)
#include "tst_dropvanished.moc"
