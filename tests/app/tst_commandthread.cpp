// The windows with their commands on the worker thread, against the local servers, driven
// through the real widgets: the progress window of a long copy and its Cancel, clicks and keys
// made during a command, the overwrite question of a threaded copy followed by a failure, and
// closing the window while a copy runs.
#include "app/CommandRunner.h"
#include "app/Form1.h"
#include "app/Form2.h"
#include "odbc/Waiting.h"
#include "settings/SettingsStore.h"
#include "support/Servers.h"
#include "support/StoppedServer.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/ProgressWindow.h"
#include "ui/qt/QtTableList.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>

using namespace fq;
using namespace std::chrono_literals;
using fq::app::CommandRunner;
using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;
using fq::ui::qt::ProgressWindow;

namespace {

// One direction of a copy, with the buttons and lists of the table manager it uses.
struct Way {
    bool toMySql;
    Server source() const { return toMySql ? Server::MSSQL : Server::MySQL; }
    Server target() const { return toMySql ? Server::MySQL : Server::MSSQL; }
    QString targetName() const { return toMySql ? "MySQL" : "SQL Server"; }
    const char* sendButton() const { return toMySql ? "Check3" : "Check4"; }
    const char* deselectSourceButton() const { return toMySql ? "Check9" : "Check11"; }
    const char* deleteTargetButton() const { return toMySql ? "Check5" : "Check1"; }
    ui::qt::QtTableList& sourceList(Form2& f) const {
        return toMySql ? f.mssqlList() : f.mysqlList();
    }
    ui::qt::QtTableList& targetList(Form2& f) const {
        return toMySql ? f.mysqlList() : f.mssqlList();
    }
};

void createNumbered(Server s, const QString& name, int rows) {
    test::dropIfExists(s, name);
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))").arg(test::delimited(s, name))};
    if (s == Server::MySQL && rows > 0) {
        statements << QStringLiteral("INSERT INTO %1 SELECT seq, CONCAT('row ', seq) FROM "
                                     "seq_1_to_%2")
                          .arg(test::delimited(s, name))
                          .arg(rows);
    } else {
        for (int i = 1; i <= rows; i += 500) {
            QStringList values;
            for (int j = i; j < std::min(rows + 1, i + 500); ++j)
                values << QStringLiteral("(%1, 'row %1')").arg(j);
            statements << QStringLiteral("INSERT INTO %1 VALUES %2")
                              .arg(test::delimited(s, name), values.join(QStringLiteral(", ")));
        }
    }
    test::exec(s, statements);
}

// Boxes answered from a queue, each noted with the thread that showed it and the table
// manager's pointer at that moment.
class NotingDialogs final : public ui::Dialogs {
public:
    test::FakeDialogs fake;
    QList<const QThread*> threads;
    QList<int> pointers;
    const ui::Pointer* pointer = nullptr;

    QList<test::FakeDialogs::Box>& shown() { return fake.shown; }
    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& detail) override {
        note();
        return fake.MsgBox(prompt, style, title, detail);
    }
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        note();
        return fake.InputBox(prompt, title, defaultText);
    }

private:
    void note() {
        threads << QThread::currentThread();
        pointers << (pointer != nullptr ? pointer->MousePointer() : -1);
    }
};

// Counts the paint events a widget gets.
class PaintCounter final : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// The program with both windows, its settings those of the local servers, its boxes answering
// from a queue.
struct Program {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.path()};
    NotingDialogs dialogs;
    std::unique_ptr<Form1> form1;

    Program() {
        test::storeSettings(store, test::localServers());
        form1 = std::make_unique<Form1>(store, dialogs, dir.path());
        form1->Load();
        if (form1->tableManager() != nullptr)
            dialogs.pointer = &form1->tableManager()->pointer();
    }
    Form2& manager() { return *form1->tableManager(); }
    CommandRunner& runner() { return form1->runner(); }
    PopupButton* button(const char* name) {
        return manager().findChild<PopupButton*>(QString::fromLatin1(name));
    }
    // Selects the one entry and makes it the current item.
    static void selectOnly(ui::TableList& list, const QString& name) {
        test::fillList(list, test::entriesOf(list), {name}, name);
    }
};

// Runs `during` every 50 ms on the window's thread while the command that `start` begins runs.
void whileRunning(CommandRunner& runner, const std::function<void()>& start,
                  const std::function<void()>& during) {
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (runner.busy())
            during();
    });
    timer.start(50);
    start();
    timer.stop();
}

long long numberIn(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^\\D*([\\d,.\u00a0 ]+)"));
    QString n = digits.match(text).captured(1);
    n.remove(QRegularExpression(QStringLiteral("\\D")));
    return n.toLongLong();
}

} // namespace

Q_DECLARE_METATYPE(Way)

class TestCommandThread : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void progressWindowCountsAndCancels_data();
    void progressWindowCountsAndCancels();
    void overwriteQuestionThenFailureMidCopy();
    void closingDuringACopyAsksNothingAndStops();
    void cancelWhileWaitingForAStoppedServer();
    void stalledListingAtStartShowsItsMessage();

private:
    QList<std::pair<Server, QString>> made_;
    QString made(Server s, const QString& name) {
        made_.append({s, name});
        return name;
    }
    // A table of 100,000 rows on the way's source, dropped from both servers at the end.
    QString bigTable(const Way& way, const char* prefix) {
        const QString name = test::uniqueName(QString::fromLatin1(prefix));
        createNumbered(way.source(), made(way.source(), name), 100000);
        return made(way.target(), name);
    }
};

void TestCommandThread::initTestCase() {
    // The copies here are cancelled long before their end.
    QVERIFY(test::rootSql(QStringLiteral("SELECT 1")));
}

void TestCommandThread::cleanup() {
    for (const auto& [server, name] : std::as_const(made_))
        test::dropIfExists(server, name);
    made_.clear();
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestCommandThread::progressWindowCountsAndCancels_data() {
    QTest::addColumn<Way>("way");
    QTest::newRow("SQL Server to MySQL") << Way{true};
    QTest::newRow("MySQL to SQL Server") << Way{false};
}

// A nervous user clicks and types while the copy runs: none of it acts, then or later, and the
// window still paints. The progress window's numbers rise; its Cancel stops the copy with one
// message naming the rows on the target.
void TestCommandThread::progressWindowCountsAndCancels() {
    QFETCH(Way, way);
    const QString name = bigTable(way, "progress");
    const QString bystander = test::uniqueName(QStringLiteral("bystander"));
    createNumbered(way.target(), made(way.target(), bystander), 1);
    Program p;
    Form2& f = p.manager();
    ui::qt::QtTableList& source = way.sourceList(f);
    ui::qt::QtTableList& target = way.targetList(f);
    Program::selectOnly(source, name);
    Program::selectOnly(target, bystander);
    test::ServerLog targetLog(way.target());
    test::ServerLog sourceLog(way.source());
    targetLog.mark();
    sourceLog.mark();

    PaintCounter painted;
    int paintsBeforeCancel = 0;
    int pointerDuring = -1;
    bool clicked = false;
    QList<long long> seen;
    QString tableLine;
    QString rowsLine;
    bool cancelled = false;
    whileRunning(
        p.runner(), [&] { QTest::mouseClick(p.button(way.sendButton()), Qt::LeftButton); },
        [&] {
            if (!clicked) {
                clicked = true;
                // Deselect, delete on the other side, toggle with the space bar, press Enter on
                // a button, move over the bare background.
                QTest::mouseClick(p.button(way.deselectSourceButton()), Qt::LeftButton);
                QTest::mouseClick(p.button(way.deleteTargetButton()), Qt::LeftButton);
                source.setFocus();
                QTest::keyClick(&source, Qt::Key_Space);
                QTest::keyClick(p.button(way.deleteTargetButton()), Qt::Key_Space);
                QTest::keyClick(&f, Qt::Key_Return);
                QTest::mouseMove(&f, QPoint(2, 2));
                QTest::mouseMove(p.button(way.deleteTargetButton()));
                pointerDuring = f.pointer().MousePointer();
                source.viewport()->installEventFilter(&painted);
                source.viewport()->update();
                return;
            }
            ProgressWindow* w = p.runner().progressWindow();
            if (w == nullptr || cancelled)
                return;
            tableLine = w->findChild<QLabel*>(QStringLiteral("Table"))->text();
            rowsLine = w->findChild<QLabel*>(QStringLiteral("Rows"))->text();
            const long long rows = numberIn(rowsLine);
            if (seen.isEmpty() || rows > seen.last())
                seen << rows;
            // Once the count has risen twice, the user has seen enough.
            if (seen.size() >= 3 && seen.first() < seen.last()) {
                cancelled = true;
                paintsBeforeCancel = painted.paints;
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Cancel")),
                                  Qt::LeftButton);
            }
        });
    source.viewport()->removeEventFilter(&painted);
    // Whatever is still on its way is delivered now; none of it may act.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();

    QVERIFY2(cancelled, "the progress window did not show rising numbers");
    QVERIFY(paintsBeforeCancel > 0);
    QCOMPARE(pointerDuring, ui::kPointerHourglass);
    QCOMPARE(tableLine, QStringLiteral("1 of 1: %1").arg(name));
    QVERIFY2(rowsLine.contains(QStringLiteral(" of about ")), qPrintable(rowsLine));
    QVERIFY(p.runner().progressWindow() == nullptr);
    // One message, like any other stop, naming the rows that are on the target: no other
    // command ran.
    QCOMPARE(p.dialogs.shown().size(), 1);
    static const QRegularExpression said(
        QStringLiteral("^Copying the table (\\S+) to (MySQL|SQL Server) was stopped on request\\. "
                       "The table is on \\2 with the (\\d+) rows copied\\. Nothing more was "
                       "sent\\.$"));
    const auto m = said.match(p.dialogs.shown()[0].prompt);
    QVERIFY2(m.hasMatch(), qPrintable(p.dialogs.shown()[0].prompt));
    QCOMPARE(m.captured(1), name);
    QCOMPARE(m.captured(2), way.targetName());
    const long long copied = m.captured(3).toLongLong();
    QVERIFY(copied >= seen.last());
    QVERIFY(copied < 100000);
    // Both connections are closed; the target holds exactly those rows; the lists are true; the
    // clicks changed nothing.
    for (const auto& s : targetLog.sessionsMentioning({name}))
        QVERIFY(s.closed);
    for (const auto& s : sourceLog.sessionsMentioning({name}))
        QVERIFY(s.closed);
    QCOMPARE(test::count(way.target(), name), copied);
    QVERIFY(ui::ListContains(name, target));
    QCOMPARE(f.pointer().MousePointer(), ui::kPointerArrow);
    QCOMPARE(test::selectedOf(source), QStringList{name});
    QCOMPARE(test::selectedOf(target), QStringList{bystander});
    QVERIFY(test::tables(way.target()).contains(bystander));
    for (const auto& s : targetLog.sessions())
        for (const QString& statement : s.statements)
            QVERIFY2(!statement.startsWith(QStringLiteral("DROP")), qPrintable(statement));
    // And now the same clicks act, once each.
    QTest::mouseClick(p.button(way.deselectSourceButton()), Qt::LeftButton);
    QVERIFY(test::selectedOf(source).isEmpty());
    QTest::mouseClick(p.button(way.deleteTargetButton()), Qt::LeftButton);
    QVERIFY(!ui::ListContains(bystander, target));
    QVERIFY(!test::tables(way.target()).contains(bystander));
    QCOMPARE(p.dialogs.shown().size(), 1);
}

void TestCommandThread::overwriteQuestionThenFailureMidCopy() {
    // MySQL to SQL Server: the table is on SQL Server already, and its third row holds a time
    // SQL Server refuses.
    const QString name = test::uniqueName(QStringLiteral("asked"));
    test::exec(
        Server::MySQL,
        {QStringLiteral("CREATE TABLE `%1` (id int, tm time)").arg(made(Server::MySQL, name)),
         QStringLiteral("INSERT INTO `%1` VALUES(1, '01:00:00'), (2, '02:00:00'), "
                        "(3, '100:00:00'), (4, '03:00:00')")
             .arg(name)});
    createNumbered(Server::MSSQL, made(Server::MSSQL, name), 5);
    Program p;
    Form2& f = p.manager();
    QVERIFY(ui::ListContains(name, f.mssqlList()));
    Program::selectOnly(f.mysqlList(), name);
    p.dialogs.fake.answers.enqueue(ui::kAnswerYes);
    QTest::mouseClick(p.button("Check4"), Qt::LeftButton);

    // The question, then one message for the failure.
    QCOMPARE(p.dialogs.shown().size(), 2);
    QCOMPARE(p.dialogs.shown()[0].prompt,
             QStringLiteral("Would you like to overwrite %1?").arg(name));
    QCOMPARE(p.dialogs.shown()[0].style, ui::kYesNo);
    QVERIFY2(p.dialogs.shown()[1].prompt.startsWith(
                 QStringLiteral(
                     "Copying the table %1 to SQL Server stopped while copying row 3, at the value "
                     "'100:00:00' of column tm. "
                     "The table is on SQL Server with the 2 rows copied before. "
                     "Nothing more was sent.\n\n")
                     .arg(name)),
             qPrintable(p.dialogs.shown()[1].prompt));
    // Both boxes were shown on the window's thread: the question with the hourglass over the
    // window, the failure once the arrow is back.
    QCOMPARE(p.dialogs.threads,
             (QList<const QThread*>{QThread::currentThread(), QThread::currentThread()}));
    QCOMPARE(p.dialogs.pointers, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
    // The lists are true: the new table, listed once; its two rows on the server.
    QCOMPARE(test::entriesOf(f.mssqlList()).count(name), 1);
    QCOMPARE(test::count(Server::MSSQL, name), 2LL);
    QCOMPARE(f.pointer().MousePointer(), ui::kPointerArrow);
}

void TestCommandThread::closingDuringACopyAsksNothingAndStops() {
    const Way way{false};
    const QString name = bigTable(way, "closing");
    Program p;
    Form2& f = p.manager();
    Program::selectOnly(way.sourceList(f), name);
    test::ServerLog targetLog(way.target());
    targetLog.mark();
    bool closed = false;
    whileRunning(
        p.runner(), [&] { QTest::mouseClick(p.button(way.sendButton()), Qt::LeftButton); },
        [&] {
            if (!closed && p.runner().progressWindow() != nullptr) {
                closed = true;
                f.close();
            }
        });
    QVERIFY(closed);
    // Nothing was asked or shown; both windows went; the copy stopped after its row and its
    // connections were closed.
    QVERIFY(p.dialogs.shown().isEmpty());
    QVERIFY(!f.isVisible());
    QVERIFY(!p.form1->isVisible());
    const auto sessions = targetLog.sessionsMentioning({name});
    QCOMPARE(sessions.size(), 1);
    QVERIFY(sessions[0].closed);
    QVERIFY(test::count(way.target(), name) < 100000);
}

void TestCommandThread::cancelWhileWaitingForAStoppedServer() {
    // The bound stays at its 60 s: what ends the wait here is Cancel.
    const Way way{false};
    const QString name = bigTable(way, "waiting");
    Program p;
    Form2& f = p.manager();
    Program::selectOnly(way.sourceList(f), name);
    std::unique_ptr<test::StoppedServer> stopped;
    QString waitingLine;
    bool cancelled = false;
    whileRunning(
        p.runner(), [&] { QTest::mouseClick(p.button(way.sendButton()), Qt::LeftButton); },
        [&] {
            ProgressWindow* w = p.runner().progressWindow();
            if (w == nullptr || cancelled)
                return;
            if (stopped == nullptr) {
                stopped = std::make_unique<test::StoppedServer>(way.target());
                return;
            }
            const QString line = w->findChild<QLabel*>(QStringLiteral("Waiting"))->text();
            if (line.startsWith(QStringLiteral("Waiting for SQL Server"))) {
                waitingLine = line;
                cancelled = true;
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Cancel")),
                                  Qt::LeftButton);
            }
        });
    QVERIFY(stopped != nullptr);
    stopped->resume();

    QVERIFY2(waitingLine.contains(QRegularExpression(QStringLiteral("\u2026 \\d+ s$"))),
             qPrintable(waitingLine));
    QCOMPARE(p.dialogs.shown().size(), 1);
    static const QRegularExpression said(
        QStringLiteral("^Copying the table (\\S+) to SQL Server was stopped on request while "
                       "copying row (\\d+)\\. The table is on SQL Server with the (\\d+) rows "
                       "copied\\. Row \\2 was being sent and may have arrived as well\\. Nothing "
                       "more was sent\\.$"));
    const auto m = said.match(p.dialogs.shown()[0].prompt);
    QVERIFY2(m.hasMatch(), qPrintable(p.dialogs.shown()[0].prompt));
    const long long copied = m.captured(3).toLongLong();
    QCOMPARE(m.captured(2).toLongLong(), copied + 1);
    QTRY_VERIFY(test::count(way.target(), name) == copied ||
                test::count(way.target(), name) == copied + 1);
    QVERIFY(ui::ListContains(name, way.targetList(f)));
    // The window works again.
    QTest::mouseClick(p.button(way.deselectSourceButton()), Qt::LeftButton);
    QVERIFY(test::selectedOf(way.sourceList(f)).isEmpty());
}

void TestCommandThread::stalledListingAtStartShowsItsMessage() {
    // The SQL Server stops between the probes and the listing of the table manager.
    odbc::setLimits(odbc::Limits{2s, 2s});
    const QString name = test::uniqueName(QStringLiteral("listed"));
    createNumbered(Server::MySQL, made(Server::MySQL, name), 0);
    QTemporaryDir dir;
    settings::SettingsStore store(dir.path());
    NotingDialogs dialogs;
    Form1 form1(store, dialogs, dir.path());
    const sql::ConnectionSettings s = test::localServers();
    const QStringList values{s.myServer, s.myUser, s.myPassword, s.myDatabase,
                             s.msServer, s.msUser, s.msPassword, s.msDatabase};
    for (int i = 0; i < 8; ++i)
        form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1))->setText(values[i]);
    QElapsedTimer clock;
    {
        test::StoppedServer stopped(Server::MSSQL);
        clock.start();
        form1.showTableManager();
    }
    const qint64 took = clock.elapsed();
    odbc::setLimits(odbc::Limits{});
    QVERIFY2(took < 2000 + 10000, qPrintable(QString::number(took)));
    Form2* manager = form1.tableManager();
    QVERIFY(manager != nullptr && manager->isVisible());
    QCOMPARE(dialogs.shown().size(), 1);
    QVERIFY2(dialogs.shown()[0].prompt.startsWith(
                 QStringLiteral("The tables of the MS SQL Server database could not be listed.")),
             qPrintable(dialogs.shown()[0].prompt));
    QCOMPARE(manager->mssqlList().ListCount(), 0);
    QVERIFY(ui::ListContains(name, manager->mysqlList()));
    manager->close();
}

QTEST_MAIN(TestCommandThread)
#include "tst_commandthread.moc"
