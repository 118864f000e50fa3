// Start-up and "OK" against the local MariaDB and the SQL Server test double: which window the
// user sees, which probes ran (witnessed by the servers' own logs), and the way to the setup
// window and back.
#include "ServerFixtures.h"

#include "app/Form1.h"
#include "app/Form2.h"
#include "commands/Listing.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/TableList.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace fq;
using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;

namespace {

struct Setup {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.path()};
    test::FakeDialogs dialogs;
    std::unique_ptr<Form1> form1;

    explicit Setup(const std::optional<sql::ConnectionSettings>& stored) {
        if (stored)
            test::storeSettings(store, *stored);
        form1 = std::make_unique<Form1>(store, dialogs, dir.path());
    }
    void press(QWidget* window, const char* button) {
        auto* b = window->findChild<PopupButton*>(QString::fromLatin1(button));
        QVERIFY(b != nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

// The outer width: the client area and the frame the platform puts around it.
int form1OuterWidthTwips(const Form1& f) {
    const QMargins frame =
        f.windowHandle() != nullptr ? f.windowHandle()->frameMargins() : QMargins();
    return qRound(fq::ui::qt::pixelsToTwips(f.width() + frame.left() + frame.right(),
                                            fq::ui::qt::logicalDpi(&f)));
}

QStringList entries(const ui::TableList& list) {
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i) + (list.Selected(i) ? QStringLiteral(" [x]") : QString());
    return out;
}

// Logins the double saw for one login name.
int doubleLogins(const test::LogWatcher& log, const QString& login) {
    int n = 0;
    for (const auto& e : test::doubleEvents(log.linesSinceMark()))
        if (e.event == u"LOGIN" && e.login == login)
            ++n;
    return n;
}

// Connections to MariaDB made by a user name (an empty name, or one the client falls back to).
int mysqlConnects(const test::LogWatcher& log, const QString& user) {
    const QRegularExpression connect(QStringLiteral(" Connect\t%1@[^ ]* (as \\S+ )?on .*TCP/IP")
                                         .arg(QRegularExpression::escape(user)));
    return static_cast<int>(log.linesSinceMark().filter(connect).size());
}

// The width the start-up gives the setup window in every case, within a pixel.
void verifyFinalWidth(const Form1& f) {
    const double twipsPerPixel = 1440.0 / fq::ui::qt::logicalDpi(&f);
    QVERIFY2(std::abs(form1OuterWidthTwips(f) - 6495) <= twipsPerPixel,
             qPrintable(QString::number(form1OuterWidthTwips(f))));
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void emptyStoreShowsTheSetupWindow();
    void completeSettingsOpenTheTableManager();
    void mysqlProbeFailingSkipsTheSqlServerProbe();
    void okWithAnEmptyMySQLPassword();
    void toTheSetupWindowAndBack();
    void testConnectionButtons();
    void failedListingStillOpensTheTableManager();

private:
    sql::ConnectionSettings servers_;
    QString mysqlTable_;
    QString mssqlTable_;
    QString noPasswordUser_;
    bool mssqlTableMade_ = false;
};

void StartupTest::initTestCase() {
    servers_ = test::localServers();
    mysqlTable_ = test::uniqueName(QStringLiteral("fq_windows_my"));
    mssqlTable_ = test::uniqueName(QStringLiteral("fq_windows_ms"));
    noPasswordUser_ = test::uniqueName(QStringLiteral("fq_np"));
    QVERIFY(
        test::mysqlExec(servers_, QStringLiteral("CREATE TABLE `%1` (i int)").arg(mysqlTable_)));
    // Checked by the tests that need the SQL Server side, so that the others still run.
    mssqlTableMade_ =
        test::mssqlExec(servers_, QStringLiteral("CREATE TABLE [%1] (i int)").arg(mssqlTable_));
    // A MySQL account without a password, for "OK" with an empty password box.
    QVERIFY(test::rootSql(QStringLiteral("CREATE USER '%1'@'%' IDENTIFIED BY '';"
                                         "CREATE USER '%1'@'localhost' IDENTIFIED BY '';"
                                         "GRANT ALL ON `%2`.* TO '%1'@'%';"
                                         "GRANT ALL ON `%2`.* TO '%1'@'localhost';")
                              .arg(noPasswordUser_, servers_.myDatabase)));
}

void StartupTest::cleanupTestCase() {
    test::mysqlExec(servers_, QStringLiteral("DROP TABLE IF EXISTS `%1`").arg(mysqlTable_));
    if (mssqlTableMade_)
        test::mssqlExec(servers_, QStringLiteral("DROP TABLE [%1]").arg(mssqlTable_));
    test::rootSql(
        QStringLiteral("DROP USER IF EXISTS '%1'@'%'; DROP USER IF EXISTS '%1'@'localhost';")
            .arg(noPasswordUser_));
}

void StartupTest::emptyStoreShowsTheSetupWindow() {
    test::LogWatcher mssqlLog(test::localServerValue(QStringLiteral("MSSQL_STATEMENT_LOG")));
    test::LogWatcher mysqlLog(test::localServerValue(QStringLiteral("MYSQL_GENERAL_LOG")));
    mssqlLog.mark();
    mysqlLog.mark();
    Setup s(std::nullopt);
    s.form1->Load();
    QVERIFY(s.form1->isVisible());
    QVERIFY(s.form1->tableManager() == nullptr);
    for (int i = 1; i <= 8; ++i)
        QVERIFY(s.form1->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i))->text().isEmpty());
    verifyFinalWidth(*s.form1);
    // No probe ran: a probe with empty boxes would log in with an empty name (MariaDB's client
    // library then falls back to the system user's name).
    QCOMPARE(doubleLogins(mssqlLog, QString()), 0);
    QCOMPARE(mysqlConnects(mysqlLog, QString()), 0);
    QCOMPARE(mysqlConnects(mysqlLog, qEnvironmentVariable("USER", QStringLiteral("root"))), 0);
    // Nothing was written back for the empty boxes.
    QVERIFY(!QFile::exists(s.store.location()) ||
            s.store.Read(QStringLiteral("MyServer")).isEmpty());
}

void StartupTest::completeSettingsOpenTheTableManager() {
    QVERIFY2(mssqlTableMade_, "the SQL Server test double did not answer");
    // Only the five values the quick check needs, and the SQL Server login: the start-up still
    // runs both probes.
    Setup s(servers_);
    s.form1->Load();
    Form2* manager = s.form1->tableManager();
    QVERIFY(manager != nullptr);
    QVERIFY(manager->isVisible());
    QVERIFY(!s.form1->isVisible());
    QCOMPARE(manager->windowTitle(), QStringLiteral("Fernquill"));
    QVERIFY(ui::ListContains(mysqlTable_, manager->mysqlList()));
    QVERIFY(ui::ListContains(mssqlTable_, manager->mssqlList()));
    QCOMPARE(manager->mysqlList().ListIndex(), 0);
    QCOMPARE(manager->mssqlList().ListIndex(), 0);
    QVERIFY(s.dialogs.shown.isEmpty());
    verifyFinalWidth(*s.form1);
    // Closing the table manager ends the program: the hidden setup window does not come back.
    manager->close();
    QVERIFY(!manager->isVisible());
    QVERIFY(!s.form1->isVisible());
}

void StartupTest::mysqlProbeFailingSkipsTheSqlServerProbe() {
    sql::ConnectionSettings stored = servers_;
    stored.myPassword = QStringLiteral("not the password");
    // A SQL Server login name of this test alone, so that its absence from the log means
    // something.
    stored.msUser = test::uniqueName(QStringLiteral("fq_never"));
    test::LogWatcher mssqlLog(test::localServerValue(QStringLiteral("MSSQL_STATEMENT_LOG")));
    mssqlLog.mark();
    Setup s(stored);
    s.form1->Load();
    QVERIFY(s.form1->isVisible());
    QVERIFY(s.form1->tableManager() == nullptr);
    verifyFinalWidth(*s.form1);

    s.press(s.form1.get(), "Check2");
    QVERIFY(s.form1->isVisible());
    QVERIFY(s.form1->tableManager() == nullptr);
    // "OK" says which database failed.
    QCOMPARE(s.dialogs.shown.size(), 1);
    QVERIFY(s.dialogs.shown[0].prompt.startsWith(
        QStringLiteral("Could not connect to the MySQL database.")));
    QCOMPARE(s.form1->pointer().MousePointer(), 0);
    QCOMPARE(doubleLogins(mssqlLog, stored.msUser), 0);
}

void StartupTest::okWithAnEmptyMySQLPassword() {
    QVERIFY2(mssqlTableMade_, "the SQL Server test double did not answer");
    sql::ConnectionSettings stored = servers_;
    stored.myUser = noPasswordUser_;
    stored.myPassword.clear();
    Setup s(stored);
    s.form1->Load();
    // The quick check wants a password: the start-up stays on the setup window...
    QVERIFY(s.form1->isVisible());
    QVERIFY(s.form1->tableManager() == nullptr);
    // ...but "OK" lets the probes decide.
    s.press(s.form1.get(), "Check2");
    Form2* manager = s.form1->tableManager();
    QVERIFY(manager != nullptr);
    QVERIFY(manager->isVisible());
    QVERIFY(!s.form1->isVisible());
    QVERIFY(ui::ListContains(mysqlTable_, manager->mysqlList()));
    QVERIFY(ui::ListContains(mssqlTable_, manager->mssqlList()));
}

void StartupTest::toTheSetupWindowAndBack() {
    QVERIFY2(mssqlTableMade_, "the SQL Server test double did not answer");
    Setup s(servers_);
    s.form1->Load();
    Form2* manager = s.form1->tableManager();
    QVERIFY(manager != nullptr);
    ui::TableList& mysql = manager->mysqlList();
    ui::TableList& mssql = manager->mssqlList();
    QVERIFY(mysql.ListCount() > 0);
    QVERIFY(mssql.ListCount() > 0);
    mysql.SetSelected(mysql.ListCount() - 1, true);
    mysql.SetListIndex(mysql.ListCount() - 1);
    mssql.SetSelected(0, true);
    mssql.SetListIndex(-1);
    const QStringList mysqlBefore = entries(mysql);
    const QStringList mssqlBefore = entries(mssql);

    s.press(manager, "Check2");
    QVERIFY(s.form1->isVisible());
    QVERIFY(!manager->isVisible());

    // A changed setting is stored and used by the next connection, but lists stay as they were.
    auto* server = s.form1->findChild<QLineEdit*>(QStringLiteral("Text1"));
    server->setText(QStringLiteral("localhost"));
    QCOMPARE(s.store.Read(QStringLiteral("MyServer")), QStringLiteral("localhost"));
    test::LogWatcher mysqlLog(test::localServerValue(QStringLiteral("MYSQL_GENERAL_LOG")));
    mysqlLog.mark();
    s.press(s.form1.get(), "Check2");
    QCOMPARE(s.form1->tableManager(), manager);
    QVERIFY(manager->isVisible());
    QVERIFY(!s.form1->isVisible());
    QCOMPARE(entries(mysql), mysqlBefore);
    QCOMPARE(entries(mssql), mssqlBefore);
    QCOMPARE(mysql.ListIndex(), mysql.ListCount() - 1);
    QCOMPARE(mssql.ListIndex(), -1);
    QCOMPARE(manager->findChild<QWidget*>(QStringLiteral("List3"))->objectName(),
             QStringLiteral("List3"));
    // No list was read again.
    static const QRegularExpression showTables(QStringLiteral(" (Query|Prepare)\tSHOW TABLES;?$"));
    QVERIFY(mysqlLog.linesSinceMark().filter(showTables).isEmpty());
    QCOMPARE(s.form1->currentSettings().myServer, QStringLiteral("localhost"));
}

void StartupTest::testConnectionButtons() {
    QVERIFY2(mssqlTableMade_, "the SQL Server test double did not answer");
    Setup s(servers_);
    s.form1->Load();
    s.press(s.form1->tableManager(), "Check2"); // back to the setup window
    QVERIFY(s.form1->isVisible());
    s.press(s.form1.get(), "Check3");
    s.press(s.form1.get(), "Check1");
    QCOMPARE(s.dialogs.shown.size(), 2);
    QCOMPARE(s.dialogs.shown[0].prompt, QStringLiteral("Connection successful."));
    QCOMPARE(s.dialogs.shown[1].prompt, QStringLiteral("Connection successful."));
    QCOMPARE(s.form1->pointer().MousePointer(), 1);

    // A refused MySQL login: the failure message.
    s.form1->findChild<QLineEdit*>(QStringLiteral("Text3"))->setText(QStringLiteral("wrong"));
    s.press(s.form1.get(), "Check3");
    QCOMPARE(s.dialogs.shown.size(), 3);
    QVERIFY(s.dialogs.shown[2].prompt.startsWith(QStringLiteral("Could not connect.")));
}

void StartupTest::failedListingStillOpensTheTableManager() {
    QVERIFY2(mssqlTableMade_, "the SQL Server test double did not answer");
    // The SQL Server goes away between the probes and the load of the table manager.
    Setup s(std::nullopt);
    for (const auto& [name, value] :
         {std::pair{"Text1", servers_.myServer},
          {"Text2", servers_.myUser},
          {"Text3", servers_.myPassword},
          {"Text4", servers_.myDatabase},
          {"Text5", QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort())},
          {"Text6", servers_.msUser},
          {"Text7", servers_.msPassword},
          {"Text8", servers_.msDatabase}})
        s.form1->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(value);
    s.form1->showTableManager();
    Form2* manager = s.form1->tableManager();
    QVERIFY(manager != nullptr);
    QVERIFY(manager->isVisible());
    QCOMPARE(s.dialogs.shown.size(), 1);
    QVERIFY(s.dialogs.shown.first().prompt.contains(QStringLiteral("MS SQL Server")));
    QCOMPARE(manager->mssqlList().ListCount(), 0);
    QCOMPARE(manager->mssqlList().ListIndex(), -1);
    QVERIFY(ui::ListContains(mysqlTable_, manager->mysqlList()));
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
