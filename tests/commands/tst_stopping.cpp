// How the commands stop other than by a refusal: a copy cancelled or losing rows, and a server
// stopped (SIGSTOP) during every command. The waits are bounded at 2 s here.
#include "commands/DropTables.h"
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "commands/ReadAhead.h"
#include "commands/RenameTable.h"
#include "commands/SendTables.h"
#include "commands/SourceRows.h"
#include "odbc/Waiting.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "support/StoppedServer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

using namespace fq;
using namespace std::chrono_literals;
using test::entriesOf;
using test::fillList;

namespace {

constexpr auto kBound = 2s;
constexpr int kStatementRows = 10;
// Room beyond the bound for a loaded machine.
constexpr qint64 kWithinBoundMs = 2000 + 10000;

// How a copy ends early.
enum class Ending {
    Cancel,
    LoseRows,
    RowsAdded,
    TargetStalls,
    SourceStalls,
    SourceStallsMidway,
    RefusedWhileSourceStalls,
    // The source stops with the rows read ahead waiting to be sent, then:
    CancelWithRowsAhead, // Cancel
    TargetStallsToo,     // the target stops as well
    CancelWhileReading,  // Cancel once the copy waits for the source
    CancelLoginToSource, // the source stops before the copy logs in to it; Cancel
    CancelLoginToTarget  // the same with the target
};

// A table (id int, v varchar(8000)) of `rows` rows of 8,000 characters: more than a copy reads
// ahead of the row it sends, and more than the client's socket buffers hold.
void createWide(Server server, const QString& name, int rows) {
    const QString table = test::delimited(server, name);
    QStringList statements{QStringLiteral("CREATE TABLE %1 (id int, v varchar(8000))").arg(table)};
    for (int i = 1; i <= rows; i += 50) {
        QStringList values;
        for (int j = i; j < std::min(rows + 1, i + 50); ++j)
            values << QStringLiteral("(%1, '%2')").arg(j).arg(QString(8000, QChar(u'a' + j % 26)));
        statements << QStringLiteral("INSERT INTO %1 VALUES %2").arg(table, values.join(u", "));
    }
    test::exec(server, statements);
}

// Cancel as the progress window's button does it, from another thread: the copy is asked to
// stop, and the calls it waits in are cut, once the stopped server's call has waited a moment and
// no row has been sent meanwhile (rows read ahead before the source stopped are sent first).
class Canceller {
public:
    Canceller(test::HookedProgress& progress, std::thread::id copy, Server stopped)
        : thread_([this, &progress, copy, stopped] {
              const QString driver = stopped == Server::MySQL
                                         ? QStringLiteral("MySQL ODBC 3.51 Driver")
                                         : QStringLiteral("SQL Server");
              qsizetype sent = -1;
              while (!done_.load()) {
                  const qsizetype now = progress.sent.load();
                  const auto wait = odbc::longestWait(copy);
                  if (wait && wait->driver == driver && wait->silent >= 500ms && now == sent) {
                      progress.stopped = true;
                      odbc::cancelWaitingCalls(copy, 400ms);
                      return;
                  }
                  sent = now;
                  std::this_thread::sleep_for(300ms);
              }
          }) {}
    ~Canceller() {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// What a front end learns stopped the copy, beside the message.
ui::Failure failureOf(Ending ending) {
    switch (ending) {
    case Ending::LoseRows:
    case Ending::RowsAdded:
        return ui::Failure::RowsDiffer;
    case Ending::TargetStalls:
    case Ending::SourceStalls:
    case Ending::SourceStallsMidway:
    case Ending::TargetStallsToo:
        return ui::Failure::StoppedAnswering;
    case Ending::RefusedWhileSourceStalls:
        return ui::Failure::Refused;
    default:
        return ui::Failure::Cancelled;
    }
}

} // namespace

Q_DECLARE_METATYPE(Ending)

class TestStopping : public QObject {
    Q_OBJECT

private slots:
    void copyEndsEarly_data();
    void copyEndsEarly();
    void commandsWithAStoppedServer_data();
    void commandsWithAStoppedServer();
    void longValueWhenTheTargetStops_data();
    void longValueWhenTheTargetStops();

    // Statements of ten rows, so that a copy's progress moves ten rows at a time.
    void init() {
        odbc::setLimits(odbc::Limits{kBound, kBound});
        commands::setInsertBatching({kStatementRows, 1024 * 1024});
    }
    void cleanup() {
        odbc::setLimits(odbc::Limits{});
        commands::setInsertBatching({});
    }
};

// Cancelled after 120 rows; someone else putting an empty table in place of the one being filled
// after 10 rows (the test double knows no DELETE), which the row count check finds; the target
// stopping after 30 rows; the source stopping before its rows. One message within the bound, the
// lists show what exists, and the same copy goes through afterwards. "%3" is the source.
void TestStopping::copyEndsEarly_data() {
    QTest::addColumn<test::Way>("way");
    QTest::addColumn<Ending>("ending");
    QTest::addColumn<QString>("said"); // whole, or how it begins when it ends in two line breaks
    QTest::addColumn<int>("rows");     // on the target (after a stall perhaps one more)
    const QString cancelled = QStringLiteral(
        "Copying the table %1 to %2 was stopped on request. The table is on %2 with the 120 rows "
        "copied. Nothing more was sent.");
    const QString lost = QStringLiteral(
        "Copying the table %1 to %2 lost rows: 40 rows read from %3, but the table on %2 holds 30 "
        "rows. The table stays on %2 as it is.");
    const QString target = QStringLiteral(
        "Copying the table %1 to %2 stopped: %2 stopped answering while copying rows 31 to 40. "
        "The table is on %2 with the 30 rows copied before. Rows 31 to 40 were being sent in one "
        "statement and may have "
        "arrived as well. Nothing more was sent.\n\nNothing came back from the server for 2 "
        "seconds, so the connection was closed.");
    const QString added = QStringLiteral(
        "Copying the table %1 to %2 ended with more rows on %2 than were copied: 40 rows read "
        "from %3, but the table on %2 holds 45 rows. Something else wrote to the table while it "
        "was copied. The table stays on %2 as it is.");
    const QString source = QStringLiteral(
        "Copying the table %1 to %2 stopped: %3 stopped answering while reading its rows from "
        "%3. The table is on %2 with no rows copied. Nothing more was sent.\n\n");
    // The source stops after 100 rows have arrived, with hundreds more read ahead.
    const QString cancelledAhead = QStringLiteral(
        "Copying the table %1 to %2 was stopped on request. The table is on %2 with the 150 rows "
        "copied. Nothing more was sent.");
    const QString bothStop = QStringLiteral(
        "Copying the table %1 to %2 stopped: %2 stopped answering while copying rows 151 to "
        "160. The table is on %2 with the 150 rows copied before. Rows 151 to 160 were being "
        "sent in one statement and may have "
        "arrived as well. Nothing more was sent.\n\n");
    // Cancel cuts the reading's call; a row it had read before may still go, and stop the copy.
    const QString cancelledReading = QStringLiteral(
        "^Copying the table %1 to %2 was stopped on request(?: while reading row (\\d+) from "
        "%3)?\\. The table is on %2 with the (\\d+) rows copied\\. Nothing more was sent\\.$");

    for (const bool toMySql : {true, false}) {
        const char* way = toMySql ? "to MySQL" : "to SQL Server";
        const test::Way w{toMySql};
        QTest::addRow("%s, cancelled", way) << w << Ending::Cancel << cancelled << 120;
        QTest::addRow("%s, rows lost", way) << w << Ending::LoseRows << lost << 30;
        QTest::addRow("%s, rows added by another", way) << w << Ending::RowsAdded << added << 45;
        QTest::addRow("%s, the target stops", way) << w << Ending::TargetStalls << target << 30;
        QTest::addRow("%s, the source stops", way) << w << Ending::SourceStalls << source << 0;
        QTest::addRow("%s, the source stops, cancelled with rows read ahead", way)
            << w << Ending::CancelWithRowsAhead << cancelledAhead << 150;
        QTest::addRow("%s, the source stops, then the target", way)
            << w << Ending::TargetStallsToo << bothStop << 150;
        QTest::addRow("%s, the source stops, cancelled while the copy waits for it", way)
            << w << Ending::CancelWhileReading << cancelledReading << -1;
        const QString cancelledLogin =
            QStringLiteral("Copying to %1 was stopped on request; nothing was copied.")
                .arg(w.targetName());
        QTest::addRow("%s, cancelled while logging in to the source", way)
            << w << Ending::CancelLoginToSource << cancelledLogin << -1;
        QTest::addRow("%s, cancelled while logging in to the target", way)
            << w << Ending::CancelLoginToTarget << cancelledLogin << -1;
    }
    // MySQL read in pages stops between two of them, while rows read ahead are still being
    // written: every row read before the stop arrives, and the message counts them.
    QTest::addRow("to SQL Server, the source stops midway")
        << test::Way{false} << Ending::SourceStallsMidway
        << QStringLiteral("^Copying the table %1 to %2 stopped: %3 stopped answering while "
                          "reading row (\\d+) from %3. The table is on %2 with the (\\d+) rows "
                          "copied before. Nothing more was sent.\n\n")
        << -1;
    // The same stop, and the target refuses row 201 (read with the first page, before the stop)
    // while the reading waits for the silent source: the refusal is told at once, not after the
    // source's bound (30 s here).
    QTest::addRow("to SQL Server, a refusal while the source stops")
        << test::Way{false} << Ending::RefusedWhileSourceStalls
        << QStringLiteral("Copying the table %1 to %2 stopped while copying row 201. The table "
                          "is on %2 with the 200 rows copied before. Nothing more was sent.\n\n")
        << 200;
}

void TestStopping::copyEndsEarly() {
    QFETCH(test::Way, way);
    QFETCH(Ending, ending);
    QFETCH(QString, said);
    QFETCH(int, rows);
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("early"));
    const bool midway = ending == Ending::SourceStallsMidway;
    const bool refusedMidway = ending == Ending::RefusedWhileSourceStalls;
    const bool ahead = ending == Ending::CancelWithRowsAhead || ending == Ending::TargetStallsToo ||
                       ending == Ending::CancelWhileReading;
    const bool login =
        ending == Ending::CancelLoginToSource || ending == Ending::CancelLoginToTarget;
    const bool cancelWaiting = login || ending == Ending::CancelWhileReading;
    // Where Cancel is to end a wait, the bounds are far off: the message comes without them.
    if (refusedMidway)
        odbc::setLimits(odbc::Limits{kBound, 30s});
    if (cancelWaiting || ending == Ending::CancelWithRowsAhead)
        odbc::setLimits(odbc::Limits{30s, 30s});
    // Midway: more rows than a copy reads ahead of the row it sends.
    const bool paged = midway || refusedMidway || (ahead && !way.toMySql);
    const bool fewRows = ending == Ending::LoseRows || ending == Ending::RowsAdded;
    const int sourceRows = fewRows ? 40 : ahead ? 2000 : paged ? 8000 : 200;
    if (ahead)
        createWide(way.source(), name, sourceRows);
    else
        test::createNumbered(way.source(), name, sourceRows);
    const commands::PagedReading pagedBefore = commands::pagedReading();
    const auto restorePages =
        qScopeGuard([pagedBefore] { commands::setPagedReading(pagedBefore); });
    if (paged) {
        test::exec(way.source(), {QStringLiteral("ALTER TABLE %1 ADD PRIMARY KEY (id)")
                                      .arg(test::delimited(way.source(), name))});
        // Wide rows: pages of 8 MB, more than is read ahead, so that the reading waits for the
        // writing when the source stops; or pages of 800 KB, so that it waits for the source.
        // Pages of so many rows, whatever their size.
        const long long pageRows =
            ahead ? (ending == Ending::CancelWhileReading ? 100 : 1000) : 500;
        commands::setPagedReading({1, pageRows, 1LL << 40});
    }
    const QString target = test::delimited(way.target(), name);
    test::TestWindow w;
    test::HookedProgress progress;
    std::unique_ptr<test::StoppedServer> stopped;
    std::unique_ptr<test::StoppedServer> stoppedToo;
    progress.onBeginTable = [&] {
        if (ending == Ending::SourceStalls)
            stopped = std::make_unique<test::StoppedServer>(way.source());
    };
    progress.onUpdate = [&](long long done) {
        if (ending == Ending::LoseRows && done == 10)
            test::exec(way.target(),
                       {QStringLiteral("DROP TABLE %1").arg(target),
                        QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))").arg(target)});
        if (ending == Ending::RowsAdded && done == 10) {
            for (int i = 0; i < 5; ++i)
                test::exec(way.target(),
                           {QStringLiteral("INSERT INTO %1 VALUES (0, 'other')").arg(target)});
        }
        if (ending == Ending::TargetStalls && done == 30)
            stopped = std::make_unique<test::StoppedServer>(way.target());
        if ((paged || ahead) && done == 100)
            stopped = std::make_unique<test::StoppedServer>(way.source());
        if (ending == Ending::TargetStallsToo && done == 150)
            stoppedToo = std::make_unique<test::StoppedServer>(way.target());
        // Another table of 200 rows in its place, of one column: the next row does not fit.
        if (refusedMidway && done == 200) {
            QStringList ids;
            for (int i = 1; i <= 200; ++i)
                ids << QStringLiteral("(%1)").arg(i);
            test::exec(way.target(),
                       {QStringLiteral("DROP TABLE %1").arg(target),
                        QStringLiteral("CREATE TABLE %1 (id int)").arg(target),
                        QStringLiteral("INSERT INTO %1 VALUES %2").arg(target, ids.join(u','))});
        }
        if (ending == Ending::CancelWithRowsAhead && done == 150)
            return false;
        return ending != Ending::Cancel || done < 120;
    };
    fillList(w.list(way.source()), {name}, {name}, name);
    test::ServerLog targetLog(way.target());
    test::ServerLog sourceLog(way.source());
    auto ctx = w.context();
    ctx.progress = &progress;
    if (ending == Ending::CancelLoginToSource)
        stopped = std::make_unique<test::StoppedServer>(way.source());
    if (ending == Ending::CancelLoginToTarget)
        stopped = std::make_unique<test::StoppedServer>(way.target());
    QElapsedTimer clock;
    clock.start();
    {
        std::optional<Canceller> canceller;
        if (cancelWaiting)
            canceller.emplace(progress, std::this_thread::get_id(),
                              ending == Ending::CancelLoginToTarget ? way.target() : way.source());
        way.send(ctx);
    }
    const qint64 took = clock.elapsed();
    const bool stalls =
        ending == Ending::TargetStalls || ending == Ending::SourceStalls || paged || ahead || login;
    QCOMPARE(stopped != nullptr, stalls);
    stoppedToo.reset();
    if (stopped)
        stopped->resume();

    QVERIFY2(took < kWithinBoundMs,
             qPrintable(QString::number(took) + u' ' +
                        (w.dialogs.shown.isEmpty() ? QString() : w.dialogs.shown[0].prompt)));
    QCOMPARE(w.dialogs.shown.size(), 1);
    const auto& box = w.dialogs.shown[0];
    said.replace(QStringLiteral("%3"), way.sourceName());
    if (!login)
        said = said.arg(name, way.targetName());
    if (midway || ending == Ending::CancelWhileReading) {
        const auto m = QRegularExpression(said).match(box.prompt);
        QVERIFY2(m.hasMatch(), qPrintable(box.prompt));
        rows = m.captured(2).toInt();
        if (midway || m.capturedLength(1) > 0)
            QCOMPARE(m.captured(1).toInt(), rows + 1);
        QVERIFY2(rows >= 100 && rows < sourceRows, qPrintable(box.prompt));
    } else if (said.endsWith(u'\n'))
        QVERIFY2(box.prompt.startsWith(said) && box.prompt.size() > said.size(),
                 qPrintable(box.prompt));
    else
        QCOMPARE(box.prompt, said);
    // The server's words, or a cut connection's, are in the details; a stop on request has none.
    const bool detailed = ending == Ending::TargetStalls || ending == Ending::SourceStalls ||
                          midway || refusedMidway || ending == Ending::TargetStallsToo;
    QCOMPARE(box.detail.contains(QStringLiteral("SQLSTATE")), detailed);
    // A connection closed for its silence is not said to have been closed by its server.
    if (detailed && !refusedMidway)
        QVERIFY2(box.detail.startsWith(QStringLiteral("Fernquill closed the connection after 2 "
                                                      "seconds without an answer from the "
                                                      "server.\nWhat the driver reported after "
                                                      "that: ")),
                 qPrintable(box.detail));
    QCOMPARE(box.style, ui::kOkOnly);
    QCOMPARE(box.failure, failureOf(ending));
    if (ending == Ending::Cancel) {
        QCOMPARE(progress.updates.last(), 120LL);
        // The source's estimate: SQL Server's count, or InnoDB's statistics, a little off.
        QCOMPARE(progress.estimates.size(), 1);
        QVERIFY2(way.toMySql ? progress.estimates[0] == 200
                             : qAbs(progress.estimates[0] - 200) <= 20,
                 qPrintable(QString::number(progress.estimates[0])));
        // Nothing was sent after that row, and both connections were closed.
        const auto targetSessions = targetLog.sessionsMentioning({name});
        QCOMPARE(targetSessions.size(), 1);
        QVERIFY(targetSessions[0].closed);
        QCOMPARE(targetSessions[0].statements.filter(QRegularExpression("^INSERT INTO")).size(),
                 120 / kStatementRows);
        QVERIFY(targetSessions[0].statements.last().startsWith(QStringLiteral("INSERT INTO")));
        const auto sourceSessions = sourceLog.sessionsMentioning({name});
        QCOMPARE(sourceSessions.size(), 1);
        QVERIFY(sourceSessions[0].closed);
    }
    if (login) {
        // Nothing was created; the list stays as it was.
        QVERIFY(!test::tables(way.target()).contains(name));
        QVERIFY(entriesOf(w.list(way.target())).isEmpty());
    } else {
        const bool mayHaveArrived =
            ending == Ending::TargetStalls || ending == Ending::TargetStallsToo;
        QTRY_VERIFY(test::count(way.target(), name) == rows ||
                    (mayHaveArrived && test::count(way.target(), name) == rows + kStatementRows));
        QCOMPARE(entriesOf(w.list(way.target())), QStringList{name});
    }
    QCOMPARE(entriesOf(w.list(way.source())), QStringList{name});
    QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));

    // The same copy goes through, over the table left behind.
    odbc::setLimits(odbc::Limits{kBound, kBound});
    test::TestWindow again;
    fillList(again.list(way.source()), {name}, {name}, name);
    if (!login)
        fillList(again.list(way.target()), {name}, {}, name);
    again.dialogs.answers.enqueue(ui::kAnswerYes);
    way.send(again.context());
    QCOMPARE(again.dialogs.shown.size(), login ? 0 : 1); // the overwrite question only
    QCOMPARE(test::count(way.target(), name), static_cast<long long>(sourceRows));
}

void TestStopping::commandsWithAStoppedServer_data() {
    QTest::addColumn<Server>("server");
    QTest::addColumn<int>("command");  // 0 drop, 1 rename, 2 listing, 3 Test Connection and probe
    QTest::addColumn<QString>("said"); // how the message begins
    for (const Server server : {Server::MySQL, Server::MSSQL}) {
        const bool my = server == Server::MySQL;
        const char* on = my ? "MySQL" : "SQL Server";
        const QString connect = my ? "Could not connect to the MySQL server to "
                                   : "Could not connect to the MS SQL Server to ";
        QTest::addRow("%s: drop", on) << server << 0 << connect;
        QTest::addRow("%s: rename", on) << server << 1 << connect;
        QTest::addRow("%s: listing", on)
            << server << 2
            << QStringLiteral("The tables of the %1 database could not be listed.")
                   .arg(my ? "MySQL" : "MS SQL Server");
        QTest::addRow("%s: Test Connection and probe", on)
            << server << 3 << QStringLiteral("Could not connect.");
    }
}

// The message comes within the bound, the list stays as the server has it, and once the server
// goes on the same command works.
void TestStopping::commandsWithAStoppedServer() {
    QFETCH(Server, server);
    QFETCH(int, command);
    QFETCH(QString, said);
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("keep"));
    scratch.keep(name + QStringLiteral("_new"));
    test::createNumbered(server, name, 1);
    const bool my = server == Server::MySQL;
    commands::TableListing listing;
    const auto run = [&](test::TestWindow& w) {
        fillList(w.list(server), {name}, {name}, name);
        w.dialogs.inputs.enqueue(name + QStringLiteral("_new"));
        if (command == 0)
            my ? commands::DropMySQLTables(w.context()) : commands::DropMSSQLTables(w.context());
        else if (command == 1)
            my ? commands::RenameMySQLTable(w.context()) : commands::RenameMSSQLTable(w.context());
        else if (command == 2)
            my ? listing.LoadMySQLTables(w.list(server), w.settings, w.dialogs)
               : listing.LoadMSSQLTables(w.list(server), w.settings, w.dialogs);
        else if (!(my ? commands::CanConnectMySQL(w.settings)
                      : commands::CanConnectMSSQL(w.settings)))
            w.dialogs.MsgBox(QStringLiteral("the probe failed"), ui::kOkOnly, {}, {});
        if (command == 3)
            commands::TestConnection(server, w.settings, w.dialogs, w.pointer);
    };
    test::TestWindow w;
    {
        test::StoppedServer stopped(server);
        QElapsedTimer clock;
        clock.start();
        run(w);
        QVERIFY2(clock.elapsed() < kWithinBoundMs, qPrintable(QString::number(clock.elapsed())));
    }
    const auto& box = w.dialogs.shown.last();
    QVERIFY2(box.prompt.startsWith(said) && box.prompt.size() > said.size() + 2,
             qPrintable(box.prompt));
    QVERIFY2(box.detail.contains(QStringLiteral("SQLSTATE")), qPrintable(box.detail));
    QCOMPARE(box.style, ui::kOkOnly);
    QCOMPARE(box.failure, ui::Failure::NotConnected);
    if (command == 3)
        QCOMPARE(w.dialogs.shown[0].prompt, QStringLiteral("the probe failed"));
    QCOMPARE(entriesOf(w.list(server)), command == 2 ? QStringList() : QStringList{name});
    QCOMPARE(w.list(server).ListIndex(), command == 2 ? -1 : 0);
    if (command != 2)
        QCOMPARE(w.pointer.history.last(), ui::kPointerArrow);
    QVERIFY(test::tables(server).contains(name));

    test::TestWindow again;
    run(again);
    for (const auto& shown : std::as_const(again.dialogs.shown))
        QVERIFY2(shown.input || shown.prompt == u"Connection successful.",
                 qPrintable(shown.prompt));
    if (command == 2)
        QVERIFY(ui::ListContains(name, again.list(server)));
    else if (command < 2)
        QVERIFY(!test::tables(server).contains(name));
}

QTEST_GUILESS_MAIN(TestStopping)
// A row of 12 million characters, between two short ones: its value goes to MySQL in pieces
// beside its statement, to SQL Server in a statement of its own (read from MySQL in pieces along
// the key). The target stops once the first row has arrived: the message comes within the bound
// and names row 2, which may have arrived; the same copy then goes through.
void TestStopping::longValueWhenTheTargetStops_data() {
    QTest::addColumn<test::Way>("way");
    QTest::newRow("to MySQL") << test::Way{true};
    QTest::newRow("to SQL Server") << test::Way{false};
}

void TestStopping::longValueWhenTheTargetStops() {
    QFETCH(test::Way, way);
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("longstop"));
    const QString table = test::delimited(way.source(), name);
    const QString long12 = way.toMySql ? QStringLiteral("N'%1'").arg(QString(12000000, u'x'))
                                       : QStringLiteral("REPEAT('x', 12000000)");
    test::exec(way.source(), {QStringLiteral("CREATE TABLE %1 (id int%2, t %3)")
                                  .arg(table, way.toMySql ? "" : " PRIMARY KEY",
                                       way.toMySql ? "nvarchar(max)" : "longtext"),
                              QStringLiteral("INSERT INTO %1 VALUES (1, 'a')").arg(table),
                              QStringLiteral("INSERT INTO %1 VALUES (2, %2)").arg(table, long12),
                              QStringLiteral("INSERT INTO %1 VALUES (3, 'c')").arg(table)});
    test::TestWindow w;
    test::HookedProgress progress;
    std::unique_ptr<test::StoppedServer> stopped;
    progress.onUpdate = [&](long long done) {
        if (done == 1 && !stopped)
            stopped = std::make_unique<test::StoppedServer>(way.target());
        return true;
    };
    fillList(w.list(way.source()), {name}, {name}, name);
    auto ctx = w.context();
    ctx.progress = &progress;
    QElapsedTimer clock;
    clock.start();
    way.send(ctx);
    const qint64 took = clock.elapsed();
    QVERIFY(stopped != nullptr);
    stopped->resume();

    QVERIFY2(took < kWithinBoundMs, qPrintable(QString::number(took)));
    QCOMPARE(w.dialogs.shown.size(), 1);
    const QString said =
        QStringLiteral("Copying the table %1 to %2 stopped: %2 stopped answering while copying "
                       "row 2. The table is on %2 with the 1 row copied before.")
            .arg(name, way.targetName());
    QVERIFY2(w.dialogs.shown[0].prompt.startsWith(said), qPrintable(w.dialogs.shown[0].prompt));
    QCOMPARE(w.dialogs.shown[0].failure, ui::Failure::StoppedAnswering);
    QTRY_VERIFY(test::count(way.target(), name) == 1 || test::count(way.target(), name) == 2);
    QCOMPARE(entriesOf(w.list(way.target())), QStringList{name});

    test::TestWindow again;
    fillList(again.list(way.source()), {name}, {name}, name);
    fillList(again.list(way.target()), {name}, {}, name);
    again.dialogs.answers.enqueue(ui::kAnswerYes);
    way.send(again.context());
    QCOMPARE(again.dialogs.shown.size(), 1); // the overwrite question only
    QCOMPARE(test::count(way.target(), name), 3LL);
}

#include "tst_stopping.moc"
