// The two windows. Against the local MariaDB and the SQL Server test double: which window the
// user sees at start-up and on "OK", the probes and Test Connection with the servers' codes, both
// listings and their connection, and which command each button of the table manager runs, with
// the servers' own logs as witnesses. Without servers: the hover rules, the boxes' write-through,
// the selection buttons, the program's hand pointer, closing, and the look of every pop-up button.
#include "app/Form1.h"
#include "app/Form2.h"
#include "odbc/Connection.h"
#include "settings/SettingsStore.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowServices.h"

#include <QLineEdit>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <functional>

using namespace fq;
using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;
using Change = std::function<void(sql::ConnectionSettings&)>;

Q_DECLARE_METATYPE(Change)

namespace {

const QString kAdvice =
    QStringLiteral("Please check server, username, password, database with your administrator. "
                   "For help, write to support@fernquill.example.");

// Both windows with a settings store of their own; form2 is a table manager that is never loaded.
struct Program {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.path()};
    test::FakeDialogs dialogs;
    Form1 form1{store, dialogs, dir.path()};
    Form2 form2{form1, dialogs, dir.path()};

    void start(const sql::ConnectionSettings& stored) {
        test::storeSettings(store, stored);
        form1.Load();
    }
    Form2* manager() const { return form1.tableManager(); }
    QLineEdit* box(int i) { return form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i)); }
    bool onSetup() const { return form1.isVisible() && manager() == nullptr; }
};

void press(QWidget& window, const QString& button) {
    auto* b = window.findChild<PopupButton*>(button);
    QVERIFY(b != nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

// The width the start-up gives the setup window in every case (6495 twips, frame included),
// within a pixel.
void verifyFinalWidth(const Form1& f) {
    const QMargins frame = f.windowHandle() ? f.windowHandle()->frameMargins() : QMargins();
    const double dpi = ui::qt::logicalDpi(&f);
    const double twips = ui::qt::pixelsToTwips(f.width() + frame.left() + frame.right(), dpi);
    QVERIFY2(std::abs(twips - 6495) <= 1440.0 / dpi, qPrintable(QString::number(twips)));
}

// Moves the mouse onto each named control in turn (the window itself for "window") and returns
// the window's pointer after each move.
QList<int> hoverOver(QWidget& window, const ui::Pointer& pointer, const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names) {
        QWidget* w = name == u"window" ? &window : window.findChild<QWidget*>(name);
        if (auto* list = qobject_cast<ui::qt::QtTableList*>(w))
            w = list->viewport(); // where the entries are
        QTest::mouseMove(w, QPoint(2, 2));
        seen << pointer.MousePointer();
    }
    return seen;
}

// The pointer seen over each control, each reached from `from`.
QList<int> hoverFrom(QWidget& window, const ui::Pointer& pointer, const QString& from,
                     const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names)
        seen << hoverOver(window, pointer, {from, name}).last();
    return seen;
}

QStringList numbered(const QString& prefix, int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << prefix + QString::number(i);
    return names;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private:
    sql::ConnectionSettings servers_ = test::localServers();
    test::Scratch scratch_;
    QString mysqlTable_ = scratch_.name(QStringLiteral("fq_windows_my"));
    QString mssqlTable_ = scratch_.name(QStringLiteral("fq_windows_ms"));
    QString noPassword_ = test::uniqueName(QStringLiteral("fq_np"));  // a MySQL account
    QString listed_ = test::uniqueName(QStringLiteral("fq_listing")); // a MySQL database

    // The connections open on the listed database.
    QString openOnListed() const {
        odbc::Connection c;
        c.Open(sql::MySQLConnectionStringCommandOrder(servers_));
        return c
            .Execute(QStringLiteral("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE "
                                    "DB = '%1'")
                         .arg(listed_))
            .Item(0)
            .text();
    }

private slots:
    void initTestCase() {
        test::exec(Server::MySQL, {QStringLiteral("CREATE TABLE `%1` (i int)").arg(mysqlTable_)});
        test::exec(Server::MSSQL, {QStringLiteral("CREATE TABLE [%1] (i int)").arg(mssqlTable_)});
        QVERIFY(test::rootSql(
            QStringLiteral("CREATE DATABASE `%1`; USE `%1`; CREATE TABLE `Zeta table` (i int); "
                           "CREATE TABLE `alpha` (i int); CREATE TABLE `Beta-2` (i int); "
                           "CREATE TABLE `beta_1` (i int); CREATE TABLE `o'brien` (i int); "
                           "CREATE VIEW `Gamma view` AS SELECT 1 AS i;")
                .arg(listed_)));
        // For any host, and for localhost, which MariaDB makes of 127.0.0.1.
        for (const char* host : {"%", "localhost"})
            QVERIFY(test::rootSql(QStringLiteral("CREATE USER '%1'@'%3' IDENTIFIED BY '';"
                                                 "GRANT ALL ON `%2`.* TO '%1'@'%3';"
                                                 "GRANT ALL ON `%4`.* TO '%1'@'%3';")
                                      .arg(noPassword_, servers_.myDatabase, host, listed_)));
    }

    void cleanupTestCase() {
        test::rootSql(QStringLiteral("DROP USER '%1'@'%'; DROP USER '%1'@'localhost'; DROP "
                                     "DATABASE IF EXISTS `%2`;")
                          .arg(noPassword_, listed_));
    }

    // An empty store: eight empty boxes, no probe, nothing written back.
    void emptyStoreShowsTheSetupWindow() {
        test::ServerLog mysql(Server::MySQL);
        test::ServerLog mssql(Server::MSSQL);
        Program p;
        p.form1.Load();
        QVERIFY(p.onSetup());
        for (int i = 1; i <= 8; ++i)
            QVERIFY(p.box(i)->text().isEmpty());
        verifyFinalWidth(p.form1);
        QVERIFY(mysql.sessions().isEmpty() && mssql.sessions().isEmpty());
        QVERIFY(!QFile::exists(p.store.location()));
    }

    // Settings that work: the table manager instead of the setup window, its lists as the servers
    // have them (MySQL's sorted without regard to case, views included; SQL Server's without
    // schema), nothing selected, entry 0 current. The MySQL listing connection stays open as long
    // as the window, the SQL Server one is closed; a second load lists each table once. Back on
    // the setup window Test Connection answers; a changed setting is stored and used by "OK",
    // which brings the table manager back with its lists as they were, reading no list again.
    // Closing it ends the program: the hidden setup window does not come back.
    void workingSettingsOpenTheTableManager() {
        test::Scratch scratch;
        const QString base = scratch.name(QStringLiteral("Fq Listing"));
        for (const QString& n : {base + " b", base + " A-1", base + " o'brien"}) {
            scratch.keep(n);
            test::exec(Server::MSSQL, {QStringLiteral("CREATE TABLE [%1] (i int)").arg(n)});
        }
        sql::ConnectionSettings stored = servers_;
        stored.myDatabase = listed_;
        test::ServerLog mysqlLog(Server::MySQL);
        test::ServerLog mssqlLog(Server::MSSQL);
        {
            Program p;
            p.start(stored);
            Form2* manager = p.manager();
            QVERIFY(manager != nullptr && manager->isVisible() && !p.form1.isVisible());
            QCOMPARE(manager->windowTitle(), QStringLiteral("Fernquill"));
            QVERIFY(p.dialogs.shown.isEmpty());
            verifyFinalWidth(p.form1);
            ui::TableList& mysql = manager->mysqlList();
            ui::TableList& mssql = manager->mssqlList();
            const QStringList mysqlTables{"alpha",      "Beta-2",  "beta_1",
                                          "Gamma view", "o'brien", "Zeta table"};
            QCOMPARE(test::entriesOf(mysql), mysqlTables);
            QStringList ours;
            for (const QString& e : test::entriesOf(mssql)) {
                QVERIFY2(!e.startsWith(QStringLiteral("dbo.")), qPrintable(e));
                if (e.startsWith(base))
                    ours << e;
            }
            QCOMPARE(ours, (QStringList{base + " A-1", base + " b", base + " o'brien"}));
            QVERIFY(test::selectedOf(mysql).isEmpty() && test::selectedOf(mssql).isEmpty());
            QVERIFY(mysql.ListIndex() == 0 && mssql.ListIndex() == 0);
            QTRY_COMPARE(openOnListed(), QStringLiteral("1"));
            QCOMPARE(mssqlLog.sessionsOf(stored.msUser).size(), 2); // the probe and the listing
            QTRY_VERIFY(mssqlLog.sessionsOf(stored.msUser).value(0).closed &&
                        mssqlLog.sessionsOf(stored.msUser).value(1).closed);
            manager->Load();
            QCOMPARE(test::entriesOf(mysql), mysqlTables);
            QCOMPARE(test::entriesOf(mssql).count(base + " b"), 1);

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

            press(*manager, QStringLiteral("Check2"));
            QVERIFY(p.form1.isVisible() && !manager->isVisible());
            press(p.form1, QStringLiteral("Check1"));
            QCOMPARE(p.dialogs.shown.size(), 1);
            QCOMPARE(p.dialogs.shown[0].prompt, QStringLiteral("Connection successful."));
            QVERIFY(p.dialogs.shown[0].detail.isEmpty());
            QCOMPARE(p.form1.pointer().MousePointer(), ui::kPointerArrow);

            p.box(2)->setText(noPassword_);
            p.box(3)->setText({});
            QCOMPARE(p.store.Read(QStringLiteral("MyUser")), noPassword_);
            test::ServerLog log(Server::MySQL);
            press(p.form1, QStringLiteral("Check2"));
            QCOMPARE(p.manager(), manager);
            QVERIFY(manager->isVisible() && !p.form1.isVisible());
            QCOMPARE(state(), before);
            const QList<test::Session> sessions = log.sessions();
            QCOMPARE(sessions.size(), 1); // the probe, with the new user
            QCOMPARE(sessions[0].login, noPassword_);
            QCOMPARE(sessions[0].statements, QStringList());
            QTRY_VERIFY(log.sessions().value(0).closed); // a probe keeps nothing open
            manager->close();
            QVERIFY(!manager->isVisible() && !p.form1.isVisible());
        }
        QTRY_COMPARE(openOnListed(), QStringLiteral("0"));
        // The server logs the statement without its final semicolon.
        QCOMPARE(test::statementsOf(mysqlLog.sessionsMentioning({QStringLiteral("SHOW TABLES")})),
                 (QStringList{QStringLiteral("SHOW TABLES"), QStringLiteral("SHOW TABLES")}));
    }

    // Settings that do not work stay on the setup window at start-up (an empty MySQL password is
    // not even tried); "OK" lets the probes decide, MySQL first: SQL Server is tried only once
    // MySQL answered. A failure is one message naming the database, and Test Connection of that
    // server says it could not connect; both with the driver's words and codes as details. The
    // setup window stays as it was.
    void okLetsTheProbesDecide_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("failing"); // empty: the table manager opens
        QTest::addColumn<QStringList>("detail");
        QTest::newRow("MySQL refuses the password")
            << Change([](sql::ConnectionSettings& s) { s.myPassword = "not the password"; })
            << "MySQL" << QStringList{"Access denied", "SQLSTATE: 28000\nNative error: 1045"};
        QTest::newRow("MySQL: unknown database")
            << Change([](sql::ConnectionSettings& s) { s.myDatabase = "fq_no_such_database"; })
            << "MySQL" << QStringList{"Native error: 1049"};
        QTest::newRow("SQL Server refuses the password")
            << Change([](sql::ConnectionSettings& s) { s.msPassword += "-wrong"; })
            << "MS SQL Server" << QStringList{"Login failed", "Native error: 18456"};
        QTest::newRow("SQL Server: unknown database")
            << Change([](sql::ConnectionSettings& s) { s.msDatabase = "fq_no_such_database"; })
            << "MS SQL Server" << QStringList{"fq_no_such_database", "SQLSTATE"};
        const QString nobody = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
        QTest::newRow("SQL Server: nothing listening")
            << Change([nobody](sql::ConnectionSettings& s) { s.msServer = nobody; })
            << "MS SQL Server" << QStringList{"SQLSTATE: 08S01\nNative error: 20009"};
        QTest::newRow("a MySQL account without a password")
            << Change([this](sql::ConnectionSettings& s) {
                   s.myUser = noPassword_;
                   s.myPassword.clear();
               })
            << "" << QStringList();
    }

    void okLetsTheProbesDecide() {
        QFETCH(Change, change);
        QFETCH(QString, failing);
        QFETCH(QStringList, detail);
        sql::ConnectionSettings stored = servers_;
        change(stored);
        const bool sqlServerTried = failing != u"MySQL";
        const bool doubleReached = sqlServerTried && stored.msServer == servers_.msServer;
        test::ServerLog mssql(Server::MSSQL);
        Program p;
        p.start(stored);
        QVERIFY(p.onSetup());
        QCOMPARE(!mssql.sessions().isEmpty(), doubleReached && !stored.myPassword.isEmpty());
        verifyFinalWidth(p.form1);
        mssql.mark();
        press(p.form1, QStringLiteral("Check2"));
        QCOMPARE(p.form1.pointer().MousePointer(), ui::kPointerDefault);
        QCOMPARE(!mssql.sessions().isEmpty(), doubleReached);
        QCOMPARE(p.onSetup(), !failing.isEmpty());
        if (failing.isEmpty()) {
            QVERIFY(p.dialogs.shown.isEmpty());
            QVERIFY(p.manager()->isVisible());
            QVERIFY(ui::ListContains(mysqlTable_, p.manager()->mysqlList()));
            QVERIFY(ui::ListContains(mssqlTable_, p.manager()->mssqlList()));
            return;
        }
        QCOMPARE(p.form1.findChild<PopupButton*>(QStringLiteral("Check2"))->Value(), 0);
        press(p.form1, sqlServerTried ? QStringLiteral("Check1") : QStringLiteral("Check3"));
        QCOMPARE(p.form1.pointer().MousePointer(), ui::kPointerArrow);
        QCOMPARE(p.dialogs.shown.size(), 2);
        const QStringList prompts{"Could not connect to the " + failing + " database. " + kAdvice,
                                  "Could not connect. " + kAdvice};
        for (int i = 0; i < 2; ++i) {
            const auto& box = p.dialogs.shown[i];
            QCOMPARE(box.prompt, prompts[i]);
            QCOMPARE(box.style, ui::kOkOnly);
            QVERIFY(box.title.isEmpty()); // the application's title
            for (const QString& words : detail)
                QVERIFY2(box.detail.contains(words), qPrintable(box.detail));
        }
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
        Program p;
        p.start(servers_);
        QVERIFY(p.manager() != nullptr);
        ui::TableList& list = server == Server::MySQL
                                  ? static_cast<ui::TableList&>(p.manager()->mysqlList())
                                  : p.manager()->mssqlList();
        const int at = static_cast<int>(test::entriesOf(list).indexOf(name));
        QVERIFY(at >= 0);
        list.SetSelected(at, true);
        list.SetListIndex(at);
        p.dialogs.inputs.enqueue(name + QStringLiteral("_new"));
        test::ServerLog mysql(Server::MySQL);
        test::ServerLog mssql(Server::MSSQL);
        press(*p.manager(), button);

        QCOMPARE(test::statementsOf(mysql.sessionsMentioning({name})),
                 mysqlStatements.replaceInStrings(QStringLiteral("%1"), name));
        QCOMPARE(test::statementsOf(mssql.sessionsMentioning({name})),
                 mssqlStatements.replaceInStrings(QStringLiteral("%1"), name));
        for (const auto& box : std::as_const(p.dialogs.shown))
            QVERIFY2(box.input, qPrintable(box.prompt));
    }

    // Setup window: buttons give the hand, boxes the control's own pointer, frames and the
    // background the arrow; labels have no rule, so the pointer stays as it was. Any covered
    // movement replaces the hourglass at once.
    void setupHoverRules() {
        Program p;
        Form1& f = p.form1;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(hoverFrom(f, f.pointer(), "Frame1", {"Check1", "Check2", "Check3"}),
                 QList<int>(3, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check2", numbered("Text", 8)), QList<int>(8, 0));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check2", numbered("Label", 8)), QList<int>(8, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Text1", {"Frame1", "Frame2", "window"}),
                 QList<int>(3, 1));
        f.pointer().SetMousePointer(11);
        QCOMPARE(hoverOver(f, f.pointer(), {"Label2", "Text1"}), (QList<int>{11, 0}));
    }

    // Table manager: buttons give the hand, frames and lists the controls' own pointer, unless
    // the hourglass stands; the bare background always gives the arrow.
    void tableManagerHoverRules() {
        Program p;
        Form2& f = p.form2;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(hoverFrom(f, f.pointer(), "window", numbered("Check", 11)), QList<int>(11, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check4", {"Frame1", "fraTables", "List1", "List3"}),
                 QList<int>(4, 0));
        f.pointer().SetMousePointer(11);
        QCOMPARE(hoverOver(f, f.pointer(),
                           {"Check5", "List3", "Frame1", "fraTables", "List1", "Check2", "window"}),
                 (QList<int>{11, 11, 11, 11, 11, 11, 1}));
    }

    // Every keystroke is stored at once under the box's key, blanks and punctuation as typed;
    // clearing a box stores the empty text. The password boxes show one * per character.
    void boxesWriteThrough() {
        Program p;
        const char* keys[] = {"MyServer", "MyUser", "MyPassword", "MyDatabase",
                              "MSServer", "MSUser", "MSPassword", "MSDatabase"};
        for (int i = 0; i < 8; ++i) {
            const QString typed = QStringLiteral(" v%1'; x ").arg(i);
            QTest::keyClicks(p.box(i + 1), typed);
            QCOMPARE(p.store.Read(QString::fromLatin1(keys[i])), typed);
            QCOMPARE(p.box(i + 1)->displayText(),
                     i == 2 || i == 6 ? QStringLiteral("********") : typed);
        }
        const sql::ConnectionSettings s = p.form1.settingsSource()();
        QCOMPARE(s.myServer, QStringLiteral(" v0'; x "));
        QCOMPARE(s.msDatabase, QStringLiteral(" v7'; x "));
        p.box(2)->selectAll();
        QTest::keyClick(p.box(2), Qt::Key_Delete);
        QCOMPARE(p.store.Read(QStringLiteral("MyUser")), QString());
        QCOMPARE(p.form1.currentSettings().myUser, QString());
    }

    // Each pair acts on its own list only, and leaves the current item where it was.
    void selectAllOnItsOwnList() {
        Program p;
        ui::TableList& mysql = p.form2.mysqlList();
        ui::TableList& mssql = p.form2.mssqlList();
        test::fillList(mysql, {"c", "a", "B"}, {}, QStringLiteral("c"));
        test::fillList(mssql, {"x", "y"}, {"y"});
        const auto pressed = [&](const char* name) {
            auto* b = p.form2.findChild<PopupButton*>(QString::fromLatin1(name));
            QTest::mouseClick(b, Qt::LeftButton);
            return std::tuple{b->Value(), test::selectedOf(mysql), test::selectedOf(mssql)};
        };
        QCOMPARE(pressed("Check10"), (std::tuple{0, QStringList{"a", "B", "c"}, QStringList{"y"}}));
        QCOMPARE(mysql.ListIndex(), 2);
        QCOMPARE(pressed("Check11"), (std::tuple{0, QStringList(), QStringList{"y"}}));
        QCOMPARE(pressed("Check8"), (std::tuple{0, QStringList(), QStringList{"x", "y"}}));
        QCOMPARE(pressed("Check9"), (std::tuple{0, QStringList(), QStringList()}));
        QVERIFY(p.dialogs.shown.isEmpty());
    }

    // The cursor file that goes next to the program: a hand whose fingertip is the hotspot, which
    // the setup window shows over its buttons.
    void handPointerOfTheProgram() {
        const QString folder = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../app/cursors");
        const auto cursor = ui::qt::readCursorFile(folder + QStringLiteral("/HAND-M.CUR"));
        QVERIFY(cursor.has_value());
        QCOMPARE(cursor->pixmap().size(), QSize(32, 32));
        QTemporaryDir dir;
        settings::SettingsStore store(dir.path());
        test::FakeDialogs dialogs;
        Form1 form1(store, dialogs, folder);
        form1.Load();
        form1.pointer().SetMousePointer(99);
        QCOMPARE(form1.findChild<QWidget*>(QStringLiteral("Check2"))->cursor().hotSpot(),
                 QPoint(10, 1));
        form1.close();
    }

    void closingEitherWindowEndsBoth_data() {
        QTest::addColumn<bool>("closeSetup");
        QTest::newRow("closing the setup window") << true;
        QTest::newRow("closing the table manager") << false;
    }

    void closingEitherWindowEndsBoth() {
        QFETCH(bool, closeSetup);
        Program p;
        p.form1.show();
        p.form2.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p.form2));
        closeSetup ? p.form1.close() : p.form2.close();
        QVERIFY(!p.form1.isVisible() && !p.form2.isVisible());
    }

    // Every pop-up button of both windows looks like the first: a square picture of the same
    // size in the middle of its height, the program's type (Arial, bold), and the whole caption
    // right of the picture, the two together in the middle of the button's contents.
    void everyButtonLooksAlike() {
        Program p;
        const auto* first = p.form1.findChild<PopupButton*>(QStringLiteral("Check1"));
        QList<PopupButton*> buttons = p.form1.findChildren<PopupButton*>();
        buttons += p.form2.findChildren<PopupButton*>();
        QCOMPARE(buttons.size(), 3 + 11);
        for (const PopupButton* b : std::as_const(buttons)) {
            QCOMPARE(b->font(), first->font());
            QCOMPARE(b->font().family(), QStringLiteral("Arial"));
            QVERIFY(b->font().bold());
            const QRect picture = b->pictureRect();
            QCOMPARE(picture.size(), first->pictureRect().size());
            QVERIFY(!picture.isEmpty() && picture.width() == picture.height());
            // Where the style lets a push button draw its contents (inside its bevel).
            QStyleOptionButton option;
            option.initFrom(b);
            option.rect = b->rect();
            const QRect contents =
                b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
            QVERIFY(qAbs(picture.center().y() - contents.center().y()) <= 1);
            const QRect caption = b->captionRect();
            const int needed =
                b->fontMetrics().horizontalAdvance(QString(b->text()).replace("&&", "&"));
            QVERIFY2(caption.width() >= needed && contents.contains(caption),
                     qPrintable(b->text()));
            QVERIFY(contents.contains(picture) && picture.right() < caption.left());
            const int leftRoom = picture.left() - contents.left();
            const int rightRoom = contents.right() - (caption.left() + needed - 1);
            QVERIFY2(qAbs(leftRoom - rightRoom) <= 1, qPrintable(b->text()));
        }
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
