// The two windows against the local MariaDB and the SQL Server test double, their logs as
// witnesses: start-up, probes, listings, the buttons' commands, and commands on the worker thread
// driven through the real widgets; hover rules, boxes, buttons, closing.
#include "app/CommandRunner.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "commands/ReadAhead.h"
#include "odbc/Connection.h"
#include "odbc/Waiting.h"
#include "settings/SettingsStore.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"
#include "support/StoppedServer.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/ProgressWindow.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

using namespace fq;
using namespace std::chrono_literals;
using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;
using fq::ui::qt::ProgressWindow;
using fq::ui::qt::QtTableList;
using Change = std::function<void(sql::ConnectionSettings&)>;

namespace {

const QString kAdvice =
    QStringLiteral("Please check server, username, password, database with your administrator. "
                   "For help, write to support@fernquill.example.");
const QString kAppFolder = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../app/cursors");

// Boxes answered from a queue, each message noted with the thread that showed it and the table
// manager's pointer at that moment.
class NotingDialogs final : public ui::Dialogs {
public:
    test::FakeDialogs fake;
    QList<const QThread*> threads;
    QList<int> pointers;
    const ui::Pointer* pointer = nullptr;

    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& detail) override {
        threads << QThread::currentThread();
        pointers << (pointer != nullptr ? pointer->MousePointer() : -1);
        return fake.MsgBox(prompt, style, title, detail);
    }
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        return fake.InputBox(prompt, title, defaultText);
    }
};

// Counts the paint events a widget gets.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

void press(QWidget& window, const char* button) {
    auto* b = window.findChild<PopupButton*>(QString::fromLatin1(button));
    QVERIFY(b != nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
}

// Both windows with a settings store of their own; form2 is a table manager that is never loaded.
struct Program {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.path()};
    NotingDialogs dialogs;
    QList<test::FakeDialogs::Box>& shown = dialogs.fake.shown;
    Form1 form1{store, dialogs, kAppFolder};
    Form2 form2{form1, dialogs, kAppFolder};

    void start(const sql::ConnectionSettings& stored) {
        test::storeSettings(store, stored);
        form1.Load();
        dialogs.pointer = manager() != nullptr ? &manager()->pointer() : nullptr;
    }
    Form2* manager() const { return form1.tableManager(); }
    app::CommandRunner& runner() { return form1.runner(); }
    QLineEdit* box(int i) { return form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i)); }
    bool onSetup() const { return form1.isVisible() && manager() == nullptr; }
    // Sends the one table to SQL Server, running `during` every 50 ms on the window's thread
    // while it runs.
    void copy(const QString& name, const std::function<void()>& during) {
        QtTableList& source = manager()->mysqlList();
        test::fillList(source, test::entriesOf(source), {name}, name);
        whileBusy([this] { press(*manager(), "Check4"); }, during);
    }
    // Starts a command with `start`, running `during` every 50 ms on the window's thread while
    // it runs (the timer fires only while the runner waits for the command: start() returns when
    // it has ended, and the timer with it).
    void whileBusy(const std::function<void()>& start, const std::function<void()>& during) {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, during);
        timer.start(50);
        start();
    }
};

// The platform is X11, where a window has a close box (the offscreen platform has none).
bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Presses the window's close box as the window system does: on X11 the window manager sends the
// window WM_DELETE_WINDOW, which Qt's platform plugin hands on as a close unless a modal window
// blocks the window. False elsewhere.
bool pressCloseBox(const QWidget& window) {
    if (!onX11())
        return false;
    xcb_connection_t* c =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto atom = [c](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return found;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window.winId());
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(c);
    return true;
}

// Notes when the application is asked to quit.
class QuitSeen final : public QObject {
public:
    bool seen = false;
    QuitSeen() { qApp->installEventFilter(this); }
    ~QuitSeen() override { qApp->removeEventFilter(this); }
    QuitSeen(const QuitSeen&) = delete;
    QuitSeen& operator=(const QuitSeen&) = delete;
    bool eventFilter(QObject* watched, QEvent* event) override {
        seen = seen || (watched == qApp && event->type() == QEvent::Quit);
        return false;
    }
};

// The width the start-up gives the setup window in every case (6495 twips, frame included),
// within a pixel.
void verifyFinalWidth(const Form1& f) {
    const QMargins frame = f.windowHandle() ? f.windowHandle()->frameMargins() : QMargins();
    const double dpi = ui::qt::logicalDpi(&f);
    const double twips = ui::qt::pixelsToTwips(f.width() + frame.left() + frame.right(), dpi);
    QVERIFY2(std::abs(twips - 6495) <= 1440.0 / dpi, qPrintable(QString::number(twips)));
}

// The window's pointer over each named control ("window": the window), each reached from `from`.
QList<int> hover(QWidget& window, const ui::Pointer& pointer, const QString& from,
                 const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names) {
        for (const QString& n : from.isEmpty() ? QStringList{name} : QStringList{from, name}) {
            QWidget* w = n == u"window" ? &window : window.findChild<QWidget*>(n);
            if (auto* list = qobject_cast<QtTableList*>(w))
                w = list->viewport(); // where the entries are
            QTest::mouseMove(w, QPoint(2, 2));
        }
        seen << pointer.MousePointer();
    }
    return seen;
}

QStringList numbered(const QString& prefix, int count) {
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << prefix + QString::number(i);
    return names;
}

// Which close box is pressed, and when.
// Copies send two rows a statement while it lives, so that a copy of 100,000 rows lasts long
// enough to be watched, cancelled and closed.
struct SmallStatements {
    static constexpr int kRows = 2;
    SmallStatements() { commands::setInsertBatching({kRows, 1024 * 1024}); }
    ~SmallStatements() { commands::setInsertBatching({}); }
    SmallStatements(const SmallStatements&) = delete;
    SmallStatements& operator=(const SmallStatements&) = delete;
};

enum class Closing { ManagerWithProgress, ManagerAtStart, ManagerWhileWaiting, SetupDuringOk };

} // namespace

Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(Closing)

class WindowsTest : public QObject {
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
        commands::openConnection(c, sql::MySQLConnectionStringCommandOrder(servers_));
        return c
            .execute(QStringLiteral("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE "
                                    "DB = '%1'")
                         .arg(listed_))
            .value(0)
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

    // Settings that work: the table manager, its lists as the servers have them (sorted, views
    // included, no schema), nothing selected, entry 0 current; the MySQL listing connection stays
    // open with the window, the SQL Server one is closed; a second load lists each table once.
    // Back on the setup window a changed setting is stored and used by "OK", which brings the
    // table manager back as it was, reading no list. Closing it ends the program.
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
            QVERIFY(p.shown.isEmpty());
            verifyFinalWidth(p.form1);
            ui::TableList& mysql = manager->mysqlList();
            ui::TableList& mssql = manager->mssqlList();
            const QStringList mysqlTables{"alpha",      "Beta-2",  "beta_1",
                                          "Gamma view", "o'brien", "Zeta table"};
            QCOMPARE(test::entriesOf(mysql), mysqlTables);
            QVERIFY(test::entriesOf(mssql).filter(QStringLiteral("dbo.")).isEmpty());
            QCOMPARE(test::entriesOf(mssql).filter(base),
                     (QStringList{base + " A-1", base + " b", base + " o'brien"}));
            QVERIFY(test::selectedOf(mysql).isEmpty() && test::selectedOf(mssql).isEmpty());
            QVERIFY(mysql.ListIndex() == 0 && mssql.ListIndex() == 0);
            QTRY_COMPARE(openOnListed(), QStringLiteral("1"));
            QCOMPARE(mssqlLog.sessionsOf(stored.msUser).size(), 2); // the probe and the listing
            QTRY_VERIFY(mssqlLog.sessionsOf(stored.msUser).value(0).closed &&
                        mssqlLog.sessionsOf(stored.msUser).value(1).closed);
            manager->Load();
            QCOMPARE(test::entriesOf(mysql), mysqlTables);
            QCOMPARE(test::entriesOf(mssql).count(base + " b"), 1);

            test::fillList(mysql, mysqlTables, {"Zeta table"}, QStringLiteral("Zeta table"));
            mssql.SetListIndex(-1);

            press(*manager, "Check2");
            QVERIFY(p.form1.isVisible() && !manager->isVisible());

            p.box(2)->setText(noPassword_);
            p.box(3)->setText({});
            QCOMPARE(p.store.Read(QStringLiteral("MyUser")), noPassword_);
            test::ServerLog log(Server::MySQL);
            press(p.form1, "Check2");
            QCOMPARE(p.manager(), manager);
            QVERIFY(manager->isVisible() && !p.form1.isVisible());
            QCOMPARE(test::entriesOf(mysql), mysqlTables);
            QCOMPARE(test::selectedOf(mysql), QStringList{"Zeta table"});
            QVERIFY(mysql.ListIndex() == 5 && mssql.ListIndex() == -1);
            QVERIFY(p.shown.isEmpty());
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

    // Settings that fail stay on the setup window (an empty MySQL password is not even tried);
    // "OK" lets the probes decide, SQL Server only once MySQL answered. A failure is one message
    // naming the database, and Test Connection of that server says it could not connect, both
    // with the driver's words and codes as details.
    void okLetsTheProbesDecide_data() {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("failing"); // empty: the table manager opens
        QTest::addColumn<QStringList>("detail");
        QTest::newRow("MySQL refuses the password")
            << Change([](sql::ConnectionSettings& s) { s.myPassword = "not the password"; })
            << "MySQL" << QStringList{"Access denied", "SQLSTATE 28000, native error 1045"};
        QTest::newRow("SQL Server refuses the password")
            << Change([](sql::ConnectionSettings& s) { s.msPassword += "-wrong"; })
            << "MS SQL Server" << QStringList{"Login failed", "native error 18456"};
        const QString nobody = QStringLiteral("127.0.0.1,%1").arg(test::unusedLoopbackPort());
        QTest::newRow("SQL Server: nothing listening")
            << Change([nobody](sql::ConnectionSettings& s) { s.msServer = nobody; })
            << "MS SQL Server" << QStringList{"SQLSTATE 08S01, native error 20009"};
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
        press(p.form1, "Check2");
        QCOMPARE(p.form1.pointer().MousePointer(), ui::kPointerDefault);
        QCOMPARE(!mssql.sessions().isEmpty(), doubleReached);
        QCOMPARE(p.onSetup(), !failing.isEmpty());
        if (failing.isEmpty()) {
            QVERIFY(p.shown.isEmpty() && p.manager()->isVisible());
            QVERIFY(ui::ListContains(mysqlTable_, p.manager()->mysqlList()));
            return;
        }
        press(p.form1, sqlServerTried ? "Check1" : "Check3");
        QCOMPARE(p.form1.pointer().MousePointer(), ui::kPointerArrow);
        press(p.form1, sqlServerTried ? "Check3" : "Check1"); // the other server works
        QCOMPARE(p.shown.size(), 3);
        QCOMPARE(p.shown[2].prompt, QStringLiteral("Connection successful."));
        QVERIFY(p.shown[2].detail.isEmpty());
        const QStringList prompts{"Could not connect to the " + failing + " database. " + kAdvice,
                                  "Could not connect. " + kAdvice};
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(p.shown[i].prompt, prompts[i]);
            QCOMPARE(p.shown[i].style, ui::kOkOnly);
            QVERIFY(p.shown[i].title.isEmpty()); // the application's title
            for (const QString& words : detail)
                QVERIFY2(p.shown[i].detail.contains(words), qPrintable(p.shown[i].detail));
        }
    }

    // Each command button, pressed with a table of its list selected, runs its own command on its
    // own server. "%1" is the table's name.
    void commandButtonsReachTheirCommands_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Server>("server"); // whose list holds the table
        QTest::addColumn<QStringList>("mysqlStatements");
        QTest::addColumn<QStringList>("mssqlStatements");
        QTest::newRow("Check4: Send Table(s) to MS SQL Server")
            << "Check4" << Server::MySQL
            << QStringList{test::kSessionSetup, "describe %1", test::mysqlEstimate("%1"),
                           test::mysqlTableSize("%1"), "SELECT * FROM %1"}
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
        QtTableList& list =
            server == Server::MySQL ? p.manager()->mysqlList() : p.manager()->mssqlList();
        test::fillList(list, test::entriesOf(list), {name}, name);
        p.dialogs.fake.inputs.enqueue(name + QStringLiteral("_new"));
        test::ServerLog mysql(Server::MySQL);
        test::ServerLog mssql(Server::MSSQL);
        press(*p.manager(), qPrintable(button));

        QCOMPARE(test::statementsOf(mysql.sessionsMentioning({name})),
                 mysqlStatements.replaceInStrings(QStringLiteral("%1"), name));
        QCOMPARE(test::statementsOf(mssql.sessionsMentioning({name})),
                 mssqlStatements.replaceInStrings(QStringLiteral("%1"), name));
        for (const auto& box : std::as_const(p.shown))
            QVERIFY2(box.input, qPrintable(box.prompt));
    }

    void progressWindowCountsAndCancels_data() {
        QTest::addColumn<bool>("targetStops"); // Cancel while the target stands still, not
                                               // once rows rose
        QTest::addColumn<QString>("said");     // %1 the table
        QTest::newRow("cancelled")
            << false
            << "^Copying the table %1 to SQL Server was stopped on request\\. The table is on SQL "
               "Server with the (?<rows>\\d+) rows copied\\. Nothing more was sent\\.$";
        QTest::newRow("SQL Server stands still")
            << true
            << "^Copying the table %1 to SQL Server was stopped on request while copying rows "
               "(?<row>\\d+) to (?<last>\\d+)\\. The table is on SQL Server with the (?<rows>\\d+) "
               "rows copied\\. Rows \\1 to \\2 were being sent in one statement and may have "
               "arrived as well\\. Nothing more was sent\\.$";
    }

    // MySQL to SQL Server. Clicks and keys during the copy act neither then nor later, and the
    // window paints. The progress window's numbers rise, or it tells of the wait for a stopped
    // target (bound 60 s); Cancel stops the copy with one message naming the rows on the target,
    // its connections closed, then the clicks act.
    void progressWindowCountsAndCancels() {
        QFETCH(bool, targetStops);
        QFETCH(QString, said);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("progress"));
        const QString bystander = scratch.name(QStringLiteral("bystander"));
        test::createNumbered(Server::MySQL, name, 100000);
        test::createNumbered(Server::MSSQL, bystander, 1);
        const SmallStatements small;
        Program p;
        p.start(servers_);
        Form2& f = *p.manager();
        QtTableList& source = f.mysqlList();
        QtTableList& target = f.mssqlList();
        test::fillList(target, test::entriesOf(target), {bystander}, bystander);
        test::ServerLog targetLog(Server::MSSQL);
        test::ServerLog sourceLog(Server::MySQL);

        PaintCounter painted;
        int paintsBeforeCancel = -1;
        int pointerDuring = -1;
        std::unique_ptr<test::StoppedServer> stopped;
        QList<long long> seen{0};
        QString tableLine, rowsLine, waitingLine;
        p.copy(name, [&] {
            if (pointerDuring < 0) {
                press(f, "Check11"); // deselect all of MySQL
                press(f, "Check1");  // delete on SQL Server
                source.setFocus();
                QTest::keyClick(&source, Qt::Key_Space);
                auto* del = f.findChild<PopupButton*>(QStringLiteral("Check1"));
                QTest::keyClick(del, Qt::Key_Space);
                QTest::keyClick(&f, Qt::Key_Return);
                QTest::mouseMove(&f, QPoint(2, 2));
                QTest::mouseMove(del);
                pointerDuring = f.pointer().MousePointer();
                source.viewport()->installEventFilter(&painted);
                source.viewport()->update();
                return;
            }
            ProgressWindow* w = p.runner().progressWindow();
            if (w == nullptr || paintsBeforeCancel >= 0)
                return;
            tableLine = w->findChild<QLabel*>(QStringLiteral("Table"))->text();
            rowsLine = w->findChild<QLabel*>(QStringLiteral("Rows"))->text();
            waitingLine = w->findChild<QLabel*>(QStringLiteral("Waiting"))->text();
            if (targetStops && stopped == nullptr)
                stopped = std::make_unique<test::StoppedServer>(Server::MSSQL);
            const long long rows =
                rowsLine.section(u' ', 0, 0).remove(QRegularExpression("\\D")).toLongLong();
            if (rows > seen.last())
                seen << rows;
            if (targetStops ? waitingLine.startsWith("Waiting for SQL Server") : seen.size() >= 3) {
                paintsBeforeCancel = painted.paints;
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Cancel")),
                                  Qt::LeftButton);
            }
        });
        stopped.reset(); // the server goes on
        source.viewport()->removeEventFilter(&painted);
        // Whatever is still on its way is delivered now; none of it may act.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();

        QVERIFY2(paintsBeforeCancel > 0, "never cancelled, or nothing painted before");
        QCOMPARE(pointerDuring, ui::kPointerHourglass);
        QCOMPARE(tableLine, QStringLiteral("1 of 1: %1").arg(name));
        QVERIFY2(rowsLine.contains(QStringLiteral(" of about ")), qPrintable(rowsLine));
        if (targetStops)
            QVERIFY2(waitingLine.contains(QRegularExpression(QStringLiteral("\u2026 \\d+ s$"))),
                     qPrintable(waitingLine));
        QVERIFY(p.runner().progressWindow() == nullptr);
        for (const auto* log : {&targetLog, &sourceLog})
            for (const auto& s : log->sessionsMentioning({name}))
                QVERIFY(s.closed);
        QCOMPARE(p.shown.size(), 1); // no other command ran
        const auto m = QRegularExpression(said.arg(name)).match(p.shown[0].prompt);
        QVERIFY2(m.hasMatch(), qPrintable(p.shown[0].prompt));
        const long long copied = m.captured(QStringLiteral("rows")).toLongLong();
        QVERIFY(copied >= seen.last() && copied < 100000);
        const long long last = m.captured(QStringLiteral("last")).toLongLong();
        if (targetStops)
            QCOMPARE(m.captured(QStringLiteral("row")).toLongLong(), copied + 1);
        QTRY_VERIFY(test::count(Server::MSSQL, name) == copied ||
                    (targetStops && test::count(Server::MSSQL, name) == last));
        // The lists are true; the clicks changed nothing.
        QVERIFY(ui::ListContains(name, target));
        QCOMPARE(f.pointer().MousePointer(), ui::kPointerArrow);
        QCOMPARE(test::selectedOf(source), QStringList{name});
        QCOMPARE(test::selectedOf(target), QStringList{bystander});
        QVERIFY(test::tables(Server::MSSQL).contains(bystander));
        // And now the same clicks act, once each.
        press(f, "Check11");
        QVERIFY(test::selectedOf(source).isEmpty());
        press(f, "Check1");
        QVERIFY(!ui::ListContains(bystander, target));
        QVERIFY(!test::tables(Server::MSSQL).contains(bystander));
        QCOMPARE(p.shown.size(), 1);
    }

    void closeBoxEndsTheProgram_data() {
        QTest::addColumn<Closing>("closing");
        QTest::newRow("the table manager, while the progress window shows")
            << Closing::ManagerWithProgress;
        QTest::newRow("the table manager, as the copy begins") << Closing::ManagerAtStart;
        QTest::newRow("the table manager, while the copy waits for a silent SQL Server")
            << Closing::ManagerWhileWaiting;
        QTest::newRow("the setup window, while OK waits for SQL Server") << Closing::SetupDuringOk;
    }

    // The close box of a window, pressed during a command, as the window system delivers it:
    // nothing is asked or shown, the command stops after its statement, the windows go and the
    // application's event loop ends with 0. A copy leaves on the target exactly the rows it
    // counted, its target connection closed (its source's may have been cut while reading, which
    // MariaDB's log does not show as a close); the setup window's "OK" opens no table manager.
    // Needs an X11 display (ctest runs it under Xvfb as tst_windows_x11).
    void closeBoxEndsTheProgram() {
        QFETCH(Closing, closing);
        if (!onX11())
            QSKIP("the close box needs an X11 display: ctest runs this as tst_windows_x11");
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("closed"));
        const bool copying = closing != Closing::SetupDuringOk;
        Program p;
        const bool waiting = closing == Closing::ManagerWhileWaiting;
        const SmallStatements small;
        if (copying) {
            test::createNumbered(Server::MySQL, name, 100000);
            p.start(servers_);
            QVERIFY(p.manager() != nullptr);
            // A silent server is not waited for until the bound: the close cuts its call.
            if (waiting)
                odbc::setLimits(odbc::Limits{2s, 30s});
        } else {
            p.start({});
            const QStringList values{servers_.myServer,   servers_.myUser,    servers_.myPassword,
                                     servers_.myDatabase, servers_.msServer,  servers_.msUser,
                                     servers_.msPassword, servers_.msDatabase};
            for (int i = 0; i < 8; ++i)
                p.box(i + 1)->setText(values[i]);
            QVERIFY(p.onSetup() && QTest::qWaitForWindowExposed(&p.form1));
            odbc::setLimits(odbc::Limits{2s, 2s});
        }
        test::ServerLog targetLog(Server::MSSQL);
        std::unique_ptr<test::StoppedServer> stopped;
        QuitSeen quit;
        bool closed = false;
        bool progressShown = false;
        QElapsedTimer sinceClose;
        QElapsedTimer sinceStop;
        const auto close = [&](QWidget& window) {
            const bool needsProgress =
                closing == Closing::ManagerWithProgress || closing == Closing::ManagerWhileWaiting;
            if (closed || (needsProgress && p.runner().progressWindow() == nullptr))
                return;
            if (waiting && !stopped) {
                stopped = std::make_unique<test::StoppedServer>(Server::MSSQL);
                sinceStop.start();
            }
            // The copy's INSERT has waited a while for SQL Server.
            if (waiting && sinceStop.elapsed() < 1500)
                return;
            progressShown = p.runner().progressWindow() != nullptr;
            closed = pressCloseBox(window);
            sinceClose.start();
        };
        QTimer::singleShot(0, qApp, [&] {
            if (copying) {
                p.copy(name, [&] { close(*p.manager()); });
            } else {
                stopped = std::make_unique<test::StoppedServer>(Server::MSSQL);
                p.whileBusy([&] { press(p.form1, "Check2"); }, [&] { close(p.form1); });
            }
            // The command came to its end and nothing ended the program: the loop must not wait
            // for ever.
            if (!quit.seen)
                QCoreApplication::exit(1);
        });
        const int code = QApplication::exec();
        const qint64 toEnd = sinceClose.isValid() ? sinceClose.elapsed() : -1;
        stopped.reset();
        odbc::setLimits(odbc::Limits{});
        QVERIFY2(toEnd >= 0 && toEnd < 10000, qPrintable(QString::number(toEnd)));

        QVERIFY(closed);
        QCOMPARE(progressShown, closing != Closing::ManagerAtStart && copying);
        QCOMPARE(code, 0);
        QVERIFY(quit.seen);
        QVERIFY(p.shown.isEmpty());
        QVERIFY(!p.form1.isVisible());
        if (!copying) {
            QVERIFY(p.manager() == nullptr);
            return;
        }
        QVERIFY(!p.manager()->isVisible());
        const long long counted = p.runner().progress().snapshot().done;
        QVERIFY2(counted < 100000, qPrintable(QString::number(counted)));
        if (closing == Closing::ManagerWithProgress)
            QVERIFY(counted > 0);
        const bool created = test::tables(Server::MSSQL).contains(name);
        const long long onTarget = created ? test::count(Server::MSSQL, name) : 0LL;
        // The statement being sent when the wait was cut may have arrived as well.
        QVERIFY2(onTarget == counted || (waiting && onTarget == counted + SmallStatements::kRows),
                 qPrintable(QStringLiteral("%1 %2").arg(onTarget).arg(counted)));
        for (const auto& session : targetLog.sessionsMentioning({name}))
            QVERIFY(session.closed);
    }

    // A fault of the program's own in the middle of a command: the copy of two tables to SQL
    // Server, the first copied, cannot ask whether to overwrite the second. One message names the
    // command, with the fault's words as its details and the arrow back; the lists show what
    // the servers hold (the first table copied, the second untouched); the program goes on.
    void unexpectedErrorEndsInOneMessage() {
        test::Scratch scratch;
        const QString asked = scratch.name(QStringLiteral("unexpected_a"));
        const QString copied = scratch.name(QStringLiteral("unexpected_b")); // reached first
        test::createNumbered(Server::MySQL, asked, 2);
        test::createNumbered(Server::MySQL, copied, 3);
        test::createNumbered(Server::MSSQL, asked, 5);
        Program p;
        p.start(servers_);
        Form2& f = *p.manager();
        QtTableList& target = f.mssqlList();
        QVERIFY(ui::ListContains(asked, target) && !ui::ListContains(copied, target));
        test::fillList(f.mysqlList(), test::entriesOf(f.mysqlList()), {asked, copied}, asked);
        p.dialogs.fake.failAt = QStringLiteral("Would you like to overwrite");
        press(f, "Check4");

        QCOMPARE(p.shown.size(), 1);
        QCOMPARE(p.shown[0].prompt,
                 QStringLiteral("Fernquill could not finish \"Send Table(s) to MS SQL Server\": an "
                                "unexpected error stopped it. This is a fault in Fernquill itself, "
                                "not in your servers or settings. Whatever the command did before "
                                "it stopped stands; the table lists show it. Please write to "
                                "support@fernquill.example with the details of this message."));
        QCOMPARE(p.shown[0].detail, QStringLiteral("the box could not be shown"));
        QCOMPARE(p.shown[0].style, ui::kOkOnly);
        QCOMPARE(p.dialogs.pointers.last(), ui::kPointerArrow);
        QCOMPARE(test::entriesOf(target).count(copied), 1);
        QCOMPARE(test::count(Server::MSSQL, copied), 3LL);
        QCOMPARE(test::entriesOf(target).count(asked), 1);
        QCOMPARE(test::count(Server::MSSQL, asked), 5LL);
        QVERIFY(f.isVisible());
        // The runner is free again: the next command runs.
        bool ran = false;
        p.runner().run(f, app::CommandRunner::Kind::Plain, QStringLiteral("next"),
                       [&] { ran = true; });
        QVERIFY(ran);
        QCOMPARE(f.pointer().MousePointer(), ui::kPointerArrow);

        // The next command runs as ever: the copied table goes again.
        p.dialogs.fake.failAt.clear();
        test::fillList(target, test::entriesOf(target), {copied}, copied);
        press(f, "Check1");
        QCOMPARE(p.shown.size(), 1);
        QVERIFY(!ui::ListContains(copied, target));
        QVERIFY(!test::tables(Server::MSSQL).contains(copied));
    }

    // To SQL Server, where the table is already, its third row a time SQL Server refuses: the
    // question with the hourglass, then the failure with the arrow, both on the window's thread;
    // the new table listed once, its two rows on the server.
    void overwriteQuestionThenFailureMidCopy() {
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("asked"));
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int, tm time)").arg(name),
                    QStringLiteral("INSERT INTO `%1` VALUES(1, '01:00:00'), (2, '02:00:00'), "
                                   "(3, '100:00:00'), (4, '03:00:00')")
                        .arg(name)});
        test::createNumbered(Server::MSSQL, name, 5);
        Program p;
        p.start(servers_);
        p.dialogs.fake.answers.enqueue(ui::kAnswerYes);
        p.copy(name, [] {});

        QCOMPARE(p.shown.size(), 2);
        QCOMPARE(p.shown[0].prompt, QStringLiteral("Would you like to overwrite %1?").arg(name));
        QCOMPARE(p.shown[0].style, ui::kYesNo);
        QCOMPARE(
            p.shown[1].prompt.section(QStringLiteral("\n\n"), 0, 0),
            QStringLiteral("Copying the table %1 to SQL Server stopped while copying row 3, at "
                           "the value '100:00:00' of column tm. The table is on SQL Server "
                           "with the 2 rows copied before. Nothing more was sent.")
                .arg(name));
        QCOMPARE(p.dialogs.threads,
                 (QList<const QThread*>{QThread::currentThread(), QThread::currentThread()}));
        QCOMPARE(p.dialogs.pointers, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(test::entriesOf(p.manager()->mssqlList()).count(name), 1);
        QCOMPARE(test::count(Server::MSSQL, name), 2LL);
        QCOMPARE(p.manager()->pointer().MousePointer(), ui::kPointerArrow);
    }

    // SQL Server stops between the probes and the listing: the table manager opens within the
    // bound, with the message and an empty SQL Server list.
    void stalledListingAtStartShowsItsMessage() {
        odbc::setLimits(odbc::Limits{2s, 2s});
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("listed"));
        test::createNumbered(Server::MySQL, name, 0);
        Program p;
        const QStringList values{servers_.myServer,   servers_.myUser,    servers_.myPassword,
                                 servers_.myDatabase, servers_.msServer,  servers_.msUser,
                                 servers_.msPassword, servers_.msDatabase};
        for (int i = 0; i < 8; ++i)
            p.box(i + 1)->setText(values[i]);
        QElapsedTimer clock;
        {
            test::StoppedServer stopped(Server::MSSQL);
            clock.start();
            p.form1.showTableManager();
        }
        const qint64 took = clock.elapsed();
        odbc::setLimits(odbc::Limits{});
        QVERIFY2(took < 2000 + 10000, qPrintable(QString::number(took)));
        QVERIFY(p.manager()->isVisible());
        QCOMPARE(p.shown.size(), 1);
        QVERIFY(p.shown[0].prompt.startsWith(
            QStringLiteral("The tables of the MS SQL Server database could not be listed.")));
        QCOMPARE(p.manager()->mssqlList().ListCount(), 0);
        QVERIFY(ui::ListContains(name, p.manager()->mysqlList()));
        p.manager()->close();
    }

    // An empty store: the setup window with eight empty boxes, no probe, nothing written back.
    // Buttons give the program's hand, boxes (and the table manager's frames and lists, unless
    // the hourglass stands) their own pointer, frames and the background the arrow; labels have no
    // rule. Closing the setup window ends the program: the table manager goes too.
    void emptyStoreShowsTheSetupWindow() {
        test::ServerLog mysql(Server::MySQL);
        test::ServerLog mssql(Server::MSSQL);
        Program p;
        Form1& f = p.form1;
        Form2& m = p.form2;
        f.Load();
        QVERIFY(p.onSetup());
        for (int i = 1; i <= 8; ++i)
            QVERIFY(p.box(i)->text().isEmpty());
        QVERIFY(mysql.sessions().isEmpty() && mssql.sessions().isEmpty());
        QVERIFY(!QFile::exists(p.store.location()));
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(hover(f, f.pointer(), "Frame1", {"Check1", "Check2", "Check3"}),
                 QList<int>(3, 99));
        const QCursor hand = f.findChild<QWidget*>(QStringLiteral("Check2"))->cursor();
        QCOMPARE(hand.hotSpot(), QPoint(10, 1));
        QCOMPARE(hover(f, f.pointer(), "Check2", numbered("Text", 8)), QList<int>(8, 0));
        QCOMPARE(hover(f, f.pointer(), "Check2", numbered("Label", 8)), QList<int>(8, 99));
        QCOMPARE(hover(f, f.pointer(), "Text1", {"Frame1", "Frame2", "window"}), QList<int>(3, 1));
        f.pointer().SetMousePointer(11);
        QCOMPARE(hover(f, f.pointer(), {}, {"Label2", "Text1"}), (QList<int>{11, 0}));
        f.hide();
        m.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        QCOMPARE(hover(m, m.pointer(), "window", numbered("Check", 11)), QList<int>(11, 99));
        QCOMPARE(hover(m, m.pointer(), "Check4", {"Frame1", "fraTables", "List1", "List3"}),
                 QList<int>(4, 0));
        m.pointer().SetMousePointer(11);
        QCOMPARE(hover(m, m.pointer(), {},
                       {"Check5", "List3", "Frame1", "fraTables", "List1", "Check2", "window"}),
                 (QList<int>{11, 11, 11, 11, 11, 11, 1}));
        f.show();
        f.close();
        QVERIFY(!f.isVisible() && !m.isVisible());
    }

    // Each keystroke is stored at once under the box's key, as typed; passwords show one * each.
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
        QVERIFY(p.shown.isEmpty());
    }

    // Every pop-up button looks like the first: its type, a square picture of the same size in
    // the middle of its height, the whole caption right of it, both centred in the contents.
    void everyButtonLooksAlike() {
        Program p;
        const auto* first = p.form1.findChild<PopupButton*>(QStringLiteral("Check1"));
        const QList<PopupButton*> buttons =
            p.form1.findChildren<PopupButton*>() + p.form2.findChildren<PopupButton*>();
        QCOMPARE(buttons.size(), 3 + 11);
        for (const PopupButton* b : buttons) {
            QStyleOptionButton option;
            option.initFrom(b);
            option.rect = b->rect();
            const QRect contents =
                b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
            const QRect picture = b->pictureRect();
            const QRect caption = b->captionRect();
            const int needed =
                b->fontMetrics().horizontalAdvance(QString(b->text()).replace("&&", "&"));
            const int leftRoom = picture.left() - contents.left();
            const int rightRoom = contents.right() - (caption.left() + needed - 1);
            QCOMPARE(b->font(), first->font());
            QCOMPARE(picture.size(), first->pictureRect().size());
            QVERIFY2(!picture.isEmpty() && picture.width() == picture.height() &&
                         qAbs(picture.center().y() - contents.center().y()) <= 1 &&
                         contents.contains(picture) && picture.right() < caption.left() &&
                         caption.width() >= needed && contents.contains(caption) &&
                         qAbs(leftRoom - rightRoom) <= 1,
                     qPrintable(b->text()));
        }
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
