// The two windows. Against the local MariaDB and the SQL Server test double: which window the
// user sees at start-up and on "OK", which probes ran (witnessed by the servers' own logs), the way
// to the setup window and back, and which command each button of the table manager runs. Without
// servers: the hover rules, the boxes' write-through, the selection buttons, the program's hand
// pointer, closing, and the look of every pop-up button.
#include "app/Form1.h"
#include "app/Form2.h"
#include "settings/SettingsStore.h"
#include "support/Servers.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

using namespace fq;
using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;
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

struct Windows {
    QTemporaryDir dir;
    fq::settings::SettingsStore store{dir.path()};
    fq::test::FakeDialogs dialogs;
    Form1 form1{store, dialogs, dir.path()};
    Form2 form2{form1, dialogs, dir.path()};
};

// Moves the mouse onto each named control in turn (the window itself for "window") and returns
// the window's pointer after each move.
QList<int> hoverOver(QWidget& window, const fq::ui::Pointer& pointer, const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names) {
        QWidget* w = name == u"window" ? &window : window.findChild<QWidget*>(name);
        if (w == nullptr)
            qFatal("no control %s", qPrintable(name));
        if (auto* list = qobject_cast<fq::ui::qt::QtTableList*>(w))
            w = list->viewport(); // the list's inner area, where the entries are
        QTest::mouseMove(w, QPoint(2, 2));
        seen << pointer.MousePointer();
    }
    return seen;
}

// Moves between `from` and each named control in turn: the pointer seen over each control.
QList<int> hoverFrom(QWidget& window, const fq::ui::Pointer& pointer, const QString& from,
                     const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names)
        seen << hoverOver(window, pointer, {from, name}).last();
    return seen;
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

    // Buttons give the hand, boxes the control's own pointer, frames and the background the
    // arrow; labels have no rule, so the pointer stays as it was. Any covered movement replaces
    // the hourglass at once.
    void setupHoverRules() {
        Windows w;
        Form1& f = w.form1;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QStringList boxes;
        QStringList labels;
        for (int i = 1; i <= 8; ++i) {
            boxes << QStringLiteral("Text%1").arg(i);
            labels << QStringLiteral("Label%1").arg(i);
        }
        QCOMPARE(hoverFrom(f, f.pointer(), "Frame1", {"Check1", "Check2", "Check3"}),
                 QList<int>(3, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check2", boxes), QList<int>(8, 0));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check2", labels), QList<int>(8, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Text1", {"Frame1", "Frame2", "window"}),
                 QList<int>(3, 1));
        f.pointer().SetMousePointer(11);
        QCOMPARE(hoverOver(f, f.pointer(), {"Label2", "Text1"}), (QList<int>{11, 0}));
        // While not 0 the pointer shows over every control, the boxes included.
        f.pointer().SetMousePointer(1);
        QCOMPARE(f.findChild<QWidget*>("Text1")->cursor().shape(), Qt::ArrowCursor);
    }

    // Buttons give the hand, frames and lists the controls' own pointer, unless the hourglass
    // stands; the bare background always gives the arrow.
    void tableManagerHoverRules() {
        Windows w;
        Form2& f = w.form2;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QStringList buttons;
        for (int i = 1; i <= 11; ++i)
            buttons << QStringLiteral("Check%1").arg(i);
        QCOMPARE(hoverFrom(f, f.pointer(), "window", buttons), QList<int>(11, 99));
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
        Windows w;
        const char* keys[] = {"MyServer", "MyUser", "MyPassword", "MyDatabase",
                              "MSServer", "MSUser", "MSPassword", "MSDatabase"};
        for (int i = 0; i < 8; ++i) {
            auto* box = w.form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1));
            QTest::keyClicks(box, QStringLiteral(" v%1'; x ").arg(i));
            QCOMPARE(w.store.Read(QString::fromLatin1(keys[i])),
                     QStringLiteral(" v%1'; x ").arg(i));
            QCOMPARE(box->displayText(),
                     i == 2 || i == 6 ? QStringLiteral("********") : box->text());
        }
        const fq::sql::ConnectionSettings s = w.form1.settingsSource()();
        QCOMPARE(s.myServer, QStringLiteral(" v0'; x "));
        QCOMPARE(s.msDatabase, QStringLiteral(" v7'; x "));
        auto* user = w.form1.findChild<QLineEdit*>(QStringLiteral("Text2"));
        user->selectAll();
        QTest::keyClick(user, Qt::Key_Delete);
        QCOMPARE(w.store.Read(QStringLiteral("MyUser")), QString());
        QCOMPARE(w.form1.currentSettings().myUser, QString());
    }

    // Each pair acts on its own list only, and leaves the current item where it was.
    void selectAllOnItsOwnList() {
        Windows w;
        fq::ui::TableList& mysql = w.form2.mysqlList();
        fq::ui::TableList& mssql = w.form2.mssqlList();
        fq::test::fillList(mysql, {"c", "a", "B"}, {}, QStringLiteral("c"));
        fq::test::fillList(mssql, {"x", "y"}, {"y"});
        const auto press = [&w](const char* name) {
            auto* b = w.form2.findChild<PopupButton*>(QString::fromLatin1(name));
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(b->Value(), 0);
        };
        const auto selection = [&] {
            return std::pair{fq::test::selectedOf(mysql), fq::test::selectedOf(mssql)};
        };
        press("Check10");
        QCOMPARE(selection(), (std::pair{QStringList{"a", "B", "c"}, QStringList{"y"}}));
        QCOMPARE(mysql.ListIndex(), 2);
        press("Check11");
        QCOMPARE(selection(), (std::pair{QStringList(), QStringList{"y"}}));
        press("Check8");
        QCOMPARE(selection(), (std::pair{QStringList(), QStringList{"x", "y"}}));
        press("Check9");
        QCOMPARE(selection(), (std::pair{QStringList(), QStringList()}));
        QVERIFY(w.dialogs.shown.isEmpty());
    }

    // The cursor file that goes next to the program: a hand whose fingertip is the hotspot, which
    // the setup window shows over its buttons.
    void handPointerOfTheProgram() {
        const QString folder = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../app/cursors");
        const auto cursor = fq::ui::qt::readCursorFile(folder + QStringLiteral("/HAND-M.CUR"));
        QVERIFY(cursor.has_value());
        QCOMPARE(cursor->pixmap().size(), QSize(32, 32));
        QTemporaryDir dir;
        fq::settings::SettingsStore store(dir.path());
        fq::test::FakeDialogs dialogs;
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
        Windows w;
        w.form1.show();
        w.form2.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form2));
        closeSetup ? w.form1.close() : w.form2.close();
        QVERIFY(!w.form1.isVisible());
        QVERIFY(!w.form2.isVisible());
    }

    // Every pop-up button of both windows looks like the first: a square picture of the same
    // size in the middle of its height, the program's type (Arial, bold), and the whole caption
    // right of the picture, the two together in the middle of the button's contents.
    void everyButtonLooksAlike_data() {
        QTest::addColumn<bool>("manager");
        QTest::addColumn<QString>("name");
        for (int i = 1; i <= 3; ++i)
            QTest::addRow("Form1.Check%d", i) << false << QStringLiteral("Check%1").arg(i);
        for (int i = 1; i <= 11; ++i)
            QTest::addRow("Form2.Check%d", i) << true << QStringLiteral("Check%1").arg(i);
    }

    void everyButtonLooksAlike() {
        QFETCH(bool, manager);
        QFETCH(QString, name);
        Windows w;
        const auto* first = w.form1.findChild<PopupButton*>(QStringLiteral("Check1"));
        const auto* b =
            (manager ? static_cast<QWidget&>(w.form2) : w.form1).findChild<PopupButton*>(name);
        QVERIFY(b != nullptr);
        QCOMPARE(b->font(), first->font());
        QCOMPARE(b->font().family(), QStringLiteral("Arial"));
        QVERIFY(b->font().bold());
        const QRect picture = b->pictureRect();
        QVERIFY(!picture.isEmpty());
        QCOMPARE(picture.size(), first->pictureRect().size());
        QCOMPARE(picture.width(), picture.height());
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
                 qPrintable(QStringLiteral("%1 needs %2 pixels, has %3 at %4 of %5")
                                .arg(b->text())
                                .arg(needed)
                                .arg(caption.width())
                                .arg(caption.x())
                                .arg(contents.width())));
        QVERIFY(contents.contains(picture) && picture.right() < caption.left());
        const int leftRoom = picture.left() - contents.left();
        const int rightRoom = contents.right() - (caption.left() + needed - 1);
        QVERIFY2(qAbs(leftRoom - rightRoom) <= 1,
                 qPrintable(QStringLiteral("%1 left, %2 right").arg(leftRoom).arg(rightRoom)));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
