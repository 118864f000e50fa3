// The windows against the local MariaDB and the SQL Server test double: which window the user
// sees at start-up and on "OK", which probes ran (witnessed by the servers' own logs), the way to
// the setup window and back, and which command each button of the table manager runs.
#include "app/Form1.h"
#include "app/Form2.h"
#include "settings/SettingsStore.h"
#include "support/Servers.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

using namespace fq;
using fq::app::Form1;
using fq::app::Form2;
using Change = std::function<void(fq::sql::ConnectionSettings&)>;

Q_DECLARE_METATYPE(Change)

namespace {

// The program as it starts, with a settings store of its own.
struct Program {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.path()};
    test::FakeDialogs dialogs;
    std::unique_ptr<Form1> form1;

    explicit Program(const std::optional<sql::ConnectionSettings>& stored) {
        if (stored)
            test::storeSettings(store, *stored);
        form1 = std::make_unique<Form1>(store, dialogs, dir.path());
        form1->Load();
    }
    void type(const char* box, const QString& text) {
        form1->findChild<QLineEdit*>(QString::fromLatin1(box))->setText(text);
    }
    static void press(QWidget* window, const QString& button) {
        auto* b = window->findChild<ui::qt::PopupButton*>(button);
        QVERIFY(b != nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
    }
    bool onSetup() const { return form1->isVisible() && form1->tableManager() == nullptr; }
};

// The width the start-up gives the setup window in every case (6495 twips, frame included),
// within a pixel.
void verifyFinalWidth(const Form1& f) {
    const QMargins frame = f.windowHandle() ? f.windowHandle()->frameMargins() : QMargins();
    const double dpi = ui::qt::logicalDpi(&f);
    const double twips = ui::qt::pixelsToTwips(f.width() + frame.left() + frame.right(), dpi);
    QVERIFY2(std::abs(twips - 6495) <= 1440.0 / dpi, qPrintable(QString::number(twips)));
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private:
    sql::ConnectionSettings servers_ = test::localServers();
    test::Scratch scratch_;
    QString mysqlTable_ = scratch_.name(QStringLiteral("fq_windows_my"));
    QString mssqlTable_ = scratch_.name(QStringLiteral("fq_windows_ms"));
    QString noPassword_ = test::uniqueName(QStringLiteral("fq_np")); // a MySQL account

private slots:
    void initTestCase() {
        test::exec(Server::MySQL, {QStringLiteral("CREATE TABLE `%1` (i int)").arg(mysqlTable_)});
        test::exec(Server::MSSQL, {QStringLiteral("CREATE TABLE [%1] (i int)").arg(mssqlTable_)});
        // For any host, and for localhost, which MariaDB makes of 127.0.0.1.
        for (const char* host : {"%", "localhost"})
            QVERIFY(test::rootSql(QStringLiteral("CREATE USER '%1'@'%3' IDENTIFIED BY '';"
                                                 "GRANT ALL ON `%2`.* TO '%1'@'%3';")
                                      .arg(noPassword_, servers_.myDatabase, host)));
    }

    void cleanupTestCase() {
        test::rootSql(
            QStringLiteral("DROP USER '%1'@'%'; DROP USER '%1'@'localhost';").arg(noPassword_));
    }

    // An empty store: eight empty boxes, no probe, nothing written back.
    void emptyStoreShowsTheSetupWindow() {
        test::ServerLog mysql(Server::MySQL);
        test::ServerLog mssql(Server::MSSQL);
        Program p(std::nullopt);
        QVERIFY(p.onSetup());
        for (int i = 1; i <= 8; ++i)
            QVERIFY(
                p.form1->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i))->text().isEmpty());
        verifyFinalWidth(*p.form1);
        QVERIFY(mysql.sessions().isEmpty());
        QVERIFY(mssql.sessions().isEmpty());
        QVERIFY(!QFile::exists(p.store.location()));
    }

    // Settings that work: the table manager with both lists instead of the setup window. Back
    // on the setup window each Test Connection button tries its own server; a changed setting is
    // stored and used by "OK", which brings the table manager back with its lists as they were.
    // Closing it ends the program: the hidden setup window does not come back.
    void workingSettingsOpenTheTableManager() {
        Program p(servers_);
        Form2* manager = p.form1->tableManager();
        QVERIFY(manager != nullptr && manager->isVisible() && !p.form1->isVisible());
        QCOMPARE(manager->windowTitle(), QStringLiteral("Fernquill"));
        ui::TableList& mysql = manager->mysqlList();
        ui::TableList& mssql = manager->mssqlList();
        QVERIFY(ui::ListContains(mysqlTable_, mysql) && ui::ListContains(mssqlTable_, mssql));
        QVERIFY(mysql.ListIndex() == 0 && mssql.ListIndex() == 0);
        QVERIFY(p.dialogs.shown.isEmpty());
        verifyFinalWidth(*p.form1);
        mysql.SetSelected(mysql.ListCount() - 1, true);
        mysql.SetListIndex(mysql.ListCount() - 1);
        mssql.SetSelected(0, true);
        mssql.SetListIndex(-1);
        const auto state = [&] {
            return QStringList{
                test::entriesOf(mysql).join(u','),  test::selectedOf(mysql).join(u','),
                QString::number(mysql.ListIndex()), test::entriesOf(mssql).join(u','),
                test::selectedOf(mssql).join(u','), QString::number(mssql.ListIndex())};
        };
        const QStringList before = state();

        Program::press(manager, QStringLiteral("Check2"));
        QVERIFY(p.form1->isVisible() && !manager->isVisible());
        p.type("Text3", QStringLiteral("wrong"));
        Program::press(p.form1.get(), QStringLiteral("Check3"));
        Program::press(p.form1.get(), QStringLiteral("Check1"));
        QCOMPARE(p.dialogs.shown.size(), 2);
        QVERIFY(p.dialogs.shown[0].prompt.startsWith(QStringLiteral("Could not connect.")));
        QCOMPARE(p.dialogs.shown[1].prompt, QStringLiteral("Connection successful."));
        QCOMPARE(p.form1->pointer().MousePointer(), 1);

        p.type("Text2", noPassword_);
        p.type("Text3", {});
        QCOMPARE(p.store.Read(QStringLiteral("MyUser")), noPassword_);
        test::ServerLog log(Server::MySQL);
        Program::press(p.form1.get(), QStringLiteral("Check2"));
        QCOMPARE(p.form1->tableManager(), manager);
        QVERIFY(manager->isVisible() && !p.form1->isVisible());
        QCOMPARE(state(), before);
        const QList<test::Session> sessions = log.sessions();
        QCOMPARE(sessions.size(), 1); // the probe, with the new user; no list was read again
        QCOMPARE(sessions[0].login, noPassword_);
        QCOMPARE(sessions[0].statements, QStringList());
        QTRY_VERIFY(log.sessions().value(0).closed); // a probe keeps nothing open
        manager->close();
        QVERIFY(!manager->isVisible() && !p.form1->isVisible());
    }

    // Settings that do not work stay on the setup window at start-up (an empty MySQL password
    // is not even tried); "OK" lets the probes decide. A failure is one message naming the
    // server, in the words of Test Connection, with the driver's words as details, and the setup
    // window stays as it was. When the MySQL probe fails the SQL Server one is not tried.
    void okLetsTheProbesDecide_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("prompt"); // empty: the table manager opens
        QTest::addColumn<QString>("driverWords");
        QTest::addColumn<bool>("sqlServerTried"); // on "OK"
        const QString advice = QStringLiteral(
            "Please check server, username, password, database with your administrator. For "
            "help, write to support@fernquill.example.");
        const QString mysql = "Could not connect to the MySQL database. " + advice;
        const QString mssql = "Could not connect to the MS SQL Server database. " + advice;
        QTest::newRow("MySQL refuses the password")
            << Change([](sql::ConnectionSettings& s) { s.myPassword = "not the password"; })
            << mysql << "Access denied" << false;
        QTest::newRow("SQL Server refuses the password")
            << Change([](sql::ConnectionSettings& s) { s.msPassword += "-wrong"; }) << mssql
            << "Login failed" << true;
        QTest::newRow("a MySQL account without a password")
            << Change([this](sql::ConnectionSettings& s) {
                   s.myUser = noPassword_;
                   s.myPassword.clear();
               })
            << ""
            << "" << true;
    }

    void okLetsTheProbesDecide() {
        QFETCH(Change, change);
        QFETCH(QString, prompt);
        QFETCH(QString, driverWords);
        QFETCH(bool, sqlServerTried);
        sql::ConnectionSettings stored = servers_;
        change(stored);
        test::ServerLog mssql(Server::MSSQL);
        Program p(stored);
        QVERIFY(p.onSetup());
        QCOMPARE(!mssql.sessions().isEmpty(), sqlServerTried && !stored.myPassword.isEmpty());
        verifyFinalWidth(*p.form1);
        mssql.mark();
        Program::press(p.form1.get(), QStringLiteral("Check2"));
        QCOMPARE(p.form1->pointer().MousePointer(), 0);
        QCOMPARE(!mssql.sessions().isEmpty(), sqlServerTried);
        QCOMPARE(p.onSetup(), !prompt.isEmpty());
        if (prompt.isEmpty()) {
            QVERIFY(p.dialogs.shown.isEmpty());
            Form2* manager = p.form1->tableManager();
            QVERIFY(manager->isVisible() && !p.form1->isVisible());
            QVERIFY(ui::ListContains(mysqlTable_, manager->mysqlList()));
            QVERIFY(ui::ListContains(mssqlTable_, manager->mssqlList()));
            return;
        }
        QCOMPARE(p.dialogs.shown.size(), 1);
        const auto& box = p.dialogs.shown[0];
        QCOMPARE(box.prompt, prompt);
        QCOMPARE(box.style, ui::kOkOnly);
        QVERIFY(box.title.isEmpty()); // the application's title
        QVERIFY2(box.detail.contains(driverWords) &&
                     box.detail.contains(QStringLiteral("SQLSTATE")),
                 qPrintable(box.detail));
        QCOMPARE(p.form1->findChild<ui::qt::PopupButton*>(QStringLiteral("Check2"))->Value(), 0);
    }

    // Each command button of the table manager, pressed with a table of its list selected, runs
    // its own command on its own server: the logs show which server got which statement. "%1" is
    // the table's name.
    void commandButtonsReachTheirCommands_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Server>("server"); // whose list holds the table
        QTest::addColumn<QStringList>("mysqlStatements");
        QTest::addColumn<QStringList>("mssqlStatements");
        QTest::newRow("Check4: Send Table(s) to MS SQL Server")
            << "Check4" << Server::MySQL
            << QStringList{test::kSessionSetup, "describe %1", test::mysqlEstimate("%1"),
                           "SELECT * FROM %1"}
            << QStringList{"CREATE TABLE [%1]([id] int)", "INSERT INTO [%1] VALUES('1')",
                           "SELECT COUNT(*) FROM [%1]"};
        QTest::newRow("Check5: Delete Table(s) of MySQL")
            << "Check5" << Server::MySQL << QStringList{"DROP TABLE `%1`"} << QStringList();
        QTest::newRow("Check7: Rename Table of MySQL")
            << "Check7" << Server::MySQL << QStringList{"RENAME TABLE `%1` TO `%1_new`"}
            << QStringList();
        QTest::newRow("Check3: Send Table(s) to MySQL")
            << "Check3" << Server::MSSQL
            << QStringList{test::kSessionSetup, test::kServerLimits, "CREATE TABLE `%1`(`id` int)",
                           "INSERT INTO `%1` VALUES('1')", "SELECT COUNT(*) FROM `%1`"}
            << QStringList{test::columnsQuery("%1"), test::mssqlEstimate("%1"), "SELECT * FROM %1"};
        QTest::newRow("Check1: Delete Table(s) of SQL Server")
            << "Check1" << Server::MSSQL << QStringList() << QStringList{"DROP TABLE [%1];"};
        QTest::newRow("Check6: Rename Table of SQL Server")
            << "Check6" << Server::MSSQL << QStringList()
            << QStringList{"sp_rename '%1', '%1_new'"};
    }

    void commandButtonsReachTheirCommands() {
        QFETCH(QString, button);
        QFETCH(Server, server);
        QFETCH(QStringList, mysqlStatements);
        QFETCH(QStringList, mssqlStatements);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("button"));
        scratch.keep(name + QStringLiteral("_new"));
        const QString table = test::delimited(server, name);
        test::exec(server, {QStringLiteral("CREATE TABLE %1 (id int)").arg(table),
                            QStringLiteral("INSERT INTO %1 VALUES(1)").arg(table)});
        Program p(servers_);
        Form2* manager = p.form1->tableManager();
        QVERIFY(manager != nullptr);
        ui::TableList& list = server == Server::MySQL
                                  ? static_cast<ui::TableList&>(manager->mysqlList())
                                  : manager->mssqlList();
        const int at = static_cast<int>(test::entriesOf(list).indexOf(name));
        QVERIFY(at >= 0);
        list.SetSelected(at, true);
        list.SetListIndex(at);
        p.dialogs.inputs.enqueue(name + QStringLiteral("_new"));
        test::ServerLog mysql(Server::MySQL);
        test::ServerLog mssql(Server::MSSQL);
        Program::press(manager, button);

        QCOMPARE(test::statementsOf(mysql.sessionsMentioning({name})),
                 mysqlStatements.replaceInStrings(QStringLiteral("%1"), name));
        QCOMPARE(test::statementsOf(mssql.sessionsMentioning({name})),
                 mssqlStatements.replaceInStrings(QStringLiteral("%1"), name));
        for (const auto& box : std::as_const(p.dialogs.shown))
            QVERIFY2(box.input, qPrintable(box.prompt));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
