// The windows with their commands on the worker thread, against the local servers, driven
// through the real widgets: the progress window of a long copy and its Cancel, also while the
// target stands still, clicks and keys made during a command, the overwrite question of a
// threaded copy followed by a failure, closing the window while a copy runs, and a listing that
// stalls at start-up.
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
using fq::app::Form2;
using fq::ui::qt::ProgressWindow;
using fq::ui::qt::QtTableList;

namespace {

// One direction of a copy, with the buttons and lists of the table manager it uses.
struct Way {
    bool toMySql;
    Server source() const { return toMySql ? Server::MSSQL : Server::MySQL; }
    Server target() const { return toMySql ? Server::MySQL : Server::MSSQL; }
    const char* send() const { return toMySql ? "Check3" : "Check4"; }
    const char* deselectSource() const { return toMySql ? "Check9" : "Check11"; }
    const char* deleteOnTarget() const { return toMySql ? "Check5" : "Check1"; }
    QtTableList& sourceList(Form2& f) const { return toMySql ? f.mssqlList() : f.mysqlList(); }
    QtTableList& targetList(Form2& f) const { return toMySql ? f.mysqlList() : f.mssqlList(); }
};

// A table of `rows` numbered rows on the server.
void createNumbered(Server s, const QString& name, int rows) {
    const QString table = test::delimited(s, name);
    QStringList statements{QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))").arg(table)};
    if (s == Server::MySQL && rows > 0)
        statements << QStringLiteral("INSERT INTO %1 SELECT seq, CONCAT('row ', seq) FROM "
                                     "seq_1_to_%2")
                          .arg(table)
                          .arg(rows);
    for (int i = 1; s == Server::MSSQL && i <= rows; i += 500) {
        QStringList values;
        for (int j = i; j < std::min(rows + 1, i + 500); ++j)
            values << QStringLiteral("(%1, 'row %1')").arg(j);
        statements << QStringLiteral("INSERT INTO %1 VALUES %2").arg(table, values.join(u", "));
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
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// The program with both windows, started with the settings of the local servers, its boxes
// answering from a queue.
struct Program {
    QTemporaryDir dir;
    settings::SettingsStore store{dir.path()};
    NotingDialogs dialogs;
    QList<test::FakeDialogs::Box>& shown = dialogs.fake.shown;
    app::Form1 form1{store, dialogs, dir.path()};

    explicit Program(bool start = true) {
        if (!start)
            return;
        test::storeSettings(store, test::localServers());
        form1.Load();
        QVERIFY(form1.tableManager() != nullptr);
        dialogs.pointer = &manager().pointer();
    }
    Form2& manager() { return *form1.tableManager(); }
    app::CommandRunner& runner() { return form1.runner(); }
    QWidget* button(const char* name) {
        return manager().findChild<ui::qt::PopupButton*>(QString::fromLatin1(name));
    }
    // Presses the way's send button with the one table selected and current on the source, and
    // runs `during` every 50 ms on the window's thread while the copy runs.
    void copy(const Way& way, const QString& name, const std::function<void()>& during) {
        test::fillList(way.sourceList(manager()), test::entriesOf(way.sourceList(manager())),
                       {name}, name);
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (runner().busy())
                during();
        });
        timer.start(50);
        QTest::mouseClick(button(way.send()), Qt::LeftButton);
    }
};

const QString kCancelled = QStringLiteral(
    "^Copying the table %1 to SQL Server was stopped on request while copying row (\\d+)\\. The "
    "table is on SQL Server with the (\\d+) rows copied\\. Row \\1 was being sent and may have "
    "arrived as well\\. Nothing more was sent\\.$");

} // namespace

Q_DECLARE_METATYPE(Way)

class TestCommandThread : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QVERIFY(QApplication::activeModalWidget() == nullptr); }

    void progressWindowCountsAndCancels_data() {
        QTest::addColumn<Way>("way");
        QTest::newRow("SQL Server to MySQL") << Way{true};
        QTest::newRow("MySQL to SQL Server") << Way{false};
    }

    // A nervous user clicks and types while the copy runs: none of it acts, then or later, and
    // the window still paints. The progress window's numbers rise; its Cancel stops the copy with
    // one message naming the rows on the target, where exactly those rows are.
    void progressWindowCountsAndCancels() {
        QFETCH(Way, way);
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("progress"));
        const QString bystander = scratch.name(QStringLiteral("bystander"));
        createNumbered(way.source(), name, 100000);
        createNumbered(way.target(), bystander, 1);
        Program p;
        Form2& f = p.manager();
        QtTableList& source = way.sourceList(f);
        QtTableList& target = way.targetList(f);
        test::fillList(target, test::entriesOf(target), {bystander}, bystander);
        test::ServerLog targetLog(way.target());
        test::ServerLog sourceLog(way.source());

        PaintCounter painted;
        int paintsBeforeCancel = -1;
        int pointerDuring = -1;
        QList<long long> seen;
        QString tableLine;
        QString rowsLine;
        p.copy(way, name, [&] {
            if (pointerDuring < 0) {
                // Deselect, delete on the other side, toggle with the space bar, press Enter on
                // a button, move over the bare background.
                QTest::mouseClick(p.button(way.deselectSource()), Qt::LeftButton);
                QTest::mouseClick(p.button(way.deleteOnTarget()), Qt::LeftButton);
                source.setFocus();
                QTest::keyClick(&source, Qt::Key_Space);
                QTest::keyClick(p.button(way.deleteOnTarget()), Qt::Key_Space);
                QTest::keyClick(&f, Qt::Key_Return);
                QTest::mouseMove(&f, QPoint(2, 2));
                QTest::mouseMove(p.button(way.deleteOnTarget()));
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
            const long long rows = rowsLine.section(u' ', 0, 0)
                                       .remove(QRegularExpression(QStringLiteral("\\D")))
                                       .toLongLong();
            if (seen.isEmpty() || rows > seen.last())
                seen << rows;
            // Once the count has risen twice, the user has seen enough.
            if (seen.size() >= 3 && seen.first() < seen.last()) {
                paintsBeforeCancel = painted.paints;
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Cancel")),
                                  Qt::LeftButton);
            }
        });
        source.viewport()->removeEventFilter(&painted);
        // Whatever is still on its way is delivered now; none of it may act.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();

        QVERIFY2(paintsBeforeCancel > 0, "no rising numbers, or no painting while they rose");
        QCOMPARE(pointerDuring, ui::kPointerHourglass);
        QCOMPARE(tableLine, QStringLiteral("1 of 1: %1").arg(name));
        QVERIFY2(rowsLine.contains(QStringLiteral(" of about ")), qPrintable(rowsLine));
        QVERIFY(p.runner().progressWindow() == nullptr);
        QCOMPARE(p.shown.size(), 1); // no other command ran
        const QString to = way.toMySql ? "MySQL" : "SQL Server";
        const auto m = QRegularExpression(
                           QStringLiteral("^Copying the table %1 to %2 was stopped on request\\. "
                                          "The table is on %2 with the (\\d+) rows copied\\. "
                                          "Nothing more was sent\\.$")
                               .arg(name, to))
                           .match(p.shown[0].prompt);
        QVERIFY2(m.hasMatch(), qPrintable(p.shown[0].prompt));
        const long long copied = m.captured(1).toLongLong();
        QVERIFY(copied >= seen.last() && copied < 100000);
        QCOMPARE(test::count(way.target(), name), copied);
        for (const auto* log : {&targetLog, &sourceLog})
            for (const auto& s : log->sessionsMentioning({name}))
                QVERIFY(s.closed);
        // The lists are true; the clicks changed nothing.
        QVERIFY(ui::ListContains(name, target));
        QCOMPARE(f.pointer().MousePointer(), ui::kPointerArrow);
        QCOMPARE(test::selectedOf(source), QStringList{name});
        QCOMPARE(test::selectedOf(target), QStringList{bystander});
        QVERIFY(test::tables(way.target()).contains(bystander));
        for (const auto& s : targetLog.sessions())
            for (const QString& statement : s.statements)
                QVERIFY2(!statement.startsWith(QStringLiteral("DROP")), qPrintable(statement));
        // And now the same clicks act, once each.
        QTest::mouseClick(p.button(way.deselectSource()), Qt::LeftButton);
        QVERIFY(test::selectedOf(source).isEmpty());
        QTest::mouseClick(p.button(way.deleteOnTarget()), Qt::LeftButton);
        QVERIFY(!ui::ListContains(bystander, target));
        QVERIFY(!test::tables(way.target()).contains(bystander));
        QCOMPARE(p.shown.size(), 1);
    }

    // The progress window tells of the wait for a target that stands still, and Cancel ends it
    // there (the bound stays at its 60 s); the window works again afterwards.
    void cancelWhileWaitingForAStoppedServer() {
        const Way way{false};
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("waiting"));
        createNumbered(way.source(), name, 100000);
        Program p;
        std::unique_ptr<test::StoppedServer> stopped;
        QString waitingLine;
        p.copy(way, name, [&] {
            ProgressWindow* w = p.runner().progressWindow();
            if (w == nullptr || !waitingLine.isEmpty())
                return;
            if (stopped == nullptr) {
                stopped = std::make_unique<test::StoppedServer>(way.target());
                return;
            }
            const QString line = w->findChild<QLabel*>(QStringLiteral("Waiting"))->text();
            if (line.startsWith(QStringLiteral("Waiting for SQL Server"))) {
                waitingLine = line;
                QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("Cancel")),
                                  Qt::LeftButton);
            }
        });
        QVERIFY(stopped != nullptr);
        stopped->resume();

        QVERIFY2(waitingLine.contains(QRegularExpression(QStringLiteral("\u2026 \\d+ s$"))),
                 qPrintable(waitingLine));
        QCOMPARE(p.shown.size(), 1);
        const auto m = QRegularExpression(kCancelled.arg(name)).match(p.shown[0].prompt);
        QVERIFY2(m.hasMatch(), qPrintable(p.shown[0].prompt));
        const long long copied = m.captured(2).toLongLong();
        QCOMPARE(m.captured(1).toLongLong(), copied + 1);
        QTRY_VERIFY(test::count(way.target(), name) == copied ||
                    test::count(way.target(), name) == copied + 1);
        QVERIFY(ui::ListContains(name, way.targetList(p.manager())));
        QTest::mouseClick(p.button(way.deselectSource()), Qt::LeftButton);
        QVERIFY(test::selectedOf(way.sourceList(p.manager())).isEmpty());
    }

    // MySQL to SQL Server, where the table is already, its third row a time SQL Server refuses.
    // The question, then one message for the failure, both shown on the window's thread: the
    // question with the hourglass over the window, the failure once the arrow is back. The lists
    // are true: the new table, listed once, its two rows on the server.
    void overwriteQuestionThenFailureMidCopy() {
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("asked"));
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int, tm time)").arg(name),
                    QStringLiteral("INSERT INTO `%1` VALUES(1, '01:00:00'), (2, '02:00:00'), "
                                   "(3, '100:00:00'), (4, '03:00:00')")
                        .arg(name)});
        createNumbered(Server::MSSQL, name, 5);
        Program p;
        Form2& f = p.manager();
        QVERIFY(ui::ListContains(name, f.mssqlList()));
        p.dialogs.fake.answers.enqueue(ui::kAnswerYes);
        p.copy(Way{false}, name, [] {});

        QCOMPARE(p.shown.size(), 2);
        QCOMPARE(p.shown[0].prompt, QStringLiteral("Would you like to overwrite %1?").arg(name));
        QCOMPARE(p.shown[0].style, ui::kYesNo);
        QVERIFY2(p.shown[1].prompt.startsWith(
                     QStringLiteral("Copying the table %1 to SQL Server stopped while copying row "
                                    "3, at the value '100:00:00' of column tm. The table is on "
                                    "SQL Server with the 2 rows copied before. Nothing more was "
                                    "sent.\n\n")
                         .arg(name)),
                 qPrintable(p.shown[1].prompt));
        QCOMPARE(p.dialogs.threads,
                 (QList<const QThread*>{QThread::currentThread(), QThread::currentThread()}));
        QCOMPARE(p.dialogs.pointers, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
        QCOMPARE(test::entriesOf(f.mssqlList()).count(name), 1);
        QCOMPARE(test::count(Server::MSSQL, name), 2LL);
        QCOMPARE(f.pointer().MousePointer(), ui::kPointerArrow);
    }

    // Closing during a copy asks and shows nothing; both windows go; the copy stops after its
    // row and its connection is closed.
    void closingDuringACopyAsksNothingAndStops() {
        const Way way{false};
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("closing"));
        createNumbered(way.source(), name, 100000);
        Program p;
        test::ServerLog targetLog(way.target());
        bool closed = false;
        p.copy(way, name, [&] {
            if (!closed && p.runner().progressWindow() != nullptr) {
                closed = true;
                p.manager().close();
            }
        });
        QVERIFY(closed);
        QVERIFY(p.shown.isEmpty());
        QVERIFY(!p.manager().isVisible() && !p.form1.isVisible());
        const auto sessions = targetLog.sessionsMentioning({name});
        QCOMPARE(sessions.size(), 1);
        QVERIFY(sessions[0].closed);
        QVERIFY(test::count(way.target(), name) < 100000);
    }

    // SQL Server stops between the probes and the listing of the table manager: the window opens
    // within the bound with the message and an empty SQL Server list.
    void stalledListingAtStartShowsItsMessage() {
        odbc::setLimits(odbc::Limits{2s, 2s});
        test::Scratch scratch;
        const QString name = scratch.name(QStringLiteral("listed"));
        createNumbered(Server::MySQL, name, 0);
        Program p(false);
        const sql::ConnectionSettings s = test::localServers();
        const QStringList values{s.myServer, s.myUser, s.myPassword, s.myDatabase,
                                 s.msServer, s.msUser, s.msPassword, s.msDatabase};
        for (int i = 0; i < 8; ++i)
            p.form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1))->setText(values[i]);
        QElapsedTimer clock;
        {
            test::StoppedServer stopped(Server::MSSQL);
            clock.start();
            p.form1.showTableManager();
        }
        const qint64 took = clock.elapsed();
        odbc::setLimits(odbc::Limits{});
        QVERIFY2(took < 2000 + 10000, qPrintable(QString::number(took)));
        QVERIFY(p.manager().isVisible());
        QCOMPARE(p.shown.size(), 1);
        QVERIFY2(p.shown[0].prompt.startsWith(QStringLiteral(
                     "The tables of the MS SQL Server database could not be listed.")),
                 qPrintable(p.shown[0].prompt));
        QCOMPARE(p.manager().mssqlList().ListCount(), 0);
        QVERIFY(ui::ListContains(name, p.manager().mysqlList()));
        p.manager().close();
    }
};

QTEST_MAIN(TestCommandThread)
#include "tst_commandthread.moc"
