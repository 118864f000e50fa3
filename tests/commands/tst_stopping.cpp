// How the commands stop other than by a refusal: a copy cancelled or losing rows, and a server
// stopped (SIGSTOP) during every command. The waits are bounded at 2 s here.
#include "commands/DropTables.h"
#include "commands/Listing.h"
#include "commands/Probes.h"
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

#include <memory>

using namespace fq;
using namespace std::chrono_literals;
using test::entriesOf;
using test::fillList;

namespace {

constexpr auto kBound = 2s;
// Room beyond the bound for a loaded machine.
constexpr qint64 kWithinBoundMs = 2000 + 10000;

// How a copy ends early.
enum class Ending {
    Cancel,
    LoseRows,
    TargetStalls,
    SourceStalls,
    SourceStallsMidway,
    RefusedWhileSourceStalls
};

} // namespace

Q_DECLARE_METATYPE(Ending)

class TestStopping : public QObject {
    Q_OBJECT

private slots:
    void copyEndsEarly_data();
    void copyEndsEarly();
    void commandsWithAStoppedServer_data();
    void commandsWithAStoppedServer();

    void init() { odbc::setLimits(odbc::Limits{kBound, kBound}); }
    void cleanup() { odbc::setLimits(odbc::Limits{}); }
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
        "Copying the table %1 to %2 stopped: %2 stopped answering while copying row 31. The "
        "table is on %2 with the 30 rows copied before. Row 31 was being sent and may have "
        "arrived as well. Nothing more was sent.\n\nNothing came back from the server for 2 "
        "seconds, so the connection was closed.");
    const QString source = QStringLiteral(
        "Copying the table %1 to %2 stopped: %3 stopped answering while reading its rows from "
        "%3. The table is on %2 with no rows copied. Nothing more was sent.\n\n");
    for (const bool toMySql : {true, false}) {
        const char* way = toMySql ? "to MySQL" : "to SQL Server";
        const test::Way w{toMySql};
        QTest::addRow("%s, cancelled", way) << w << Ending::Cancel << cancelled << 120;
        QTest::addRow("%s, rows lost", way) << w << Ending::LoseRows << lost << 30;
        QTest::addRow("%s, the target stops", way) << w << Ending::TargetStalls << target << 30;
        QTest::addRow("%s, the source stops", way) << w << Ending::SourceStalls << source << 0;
    }
    // MySQL read in pages stops between two of them, while rows read ahead are still being
    // written: every row read before the stop arrives, and the message counts them. (The test
    // double's rows are all on their way at once: it has no such stop.)
    QTest::addRow("to SQL Server, the source stops midway")
        << test::Way{false} << Ending::SourceStallsMidway
        << QStringLiteral("^Copying the table %1 to %2 stopped: %3 stopped answering while "
                          "reading row (\\d+) from %3. The table is on %2 with the (\\d+) rows "
                          "copied before. Nothing more was sent.\n\n")
        << -1;
    // The same stop, and the target refuses row 1001 while the reading waits for the silent
    // source: the refusal is told at once, not after the source's bound (30 s here).
    QTest::addRow("to SQL Server, a refusal while the source stops")
        << test::Way{false} << Ending::RefusedWhileSourceStalls
        << QStringLiteral("Copying the table %1 to %2 stopped while copying row 1001. The table "
                          "is on %2 with the 1000 rows copied before. Nothing more was sent.\n\n")
        << 0;
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
    const bool paged = midway || refusedMidway;
    if (refusedMidway)
        odbc::setLimits(odbc::Limits{kBound, 30s});
    // Midway: more rows than a copy reads ahead of the row it sends.
    const int sourceRows = ending == Ending::LoseRows ? 40 : paged ? 8000 : 200;
    test::createNumbered(way.source(), name, sourceRows);
    const commands::PagedReading pagedBefore = commands::pagedReading();
    const auto restorePages =
        qScopeGuard([pagedBefore] { commands::setPagedReading(pagedBefore); });
    if (paged) {
        test::exec(way.source(), {QStringLiteral("ALTER TABLE %1 ADD PRIMARY KEY (id)")
                                      .arg(test::delimited(way.source(), name))});
        commands::setPagedReading({1, 500});
    }
    const QString target = test::delimited(way.target(), name);
    test::TestWindow w;
    test::HookedProgress progress;
    std::unique_ptr<test::StoppedServer> stopped;
    progress.onBeginTable = [&] {
        if (ending == Ending::SourceStalls)
            stopped = std::make_unique<test::StoppedServer>(way.source());
    };
    progress.onUpdate = [&](long long done) {
        if (ending == Ending::LoseRows && done == 10)
            test::exec(way.target(),
                       {QStringLiteral("DROP TABLE %1").arg(target),
                        QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))").arg(target)});
        if (ending == Ending::TargetStalls && done == 30)
            stopped = std::make_unique<test::StoppedServer>(way.target());
        if (paged && done == 100)
            stopped = std::make_unique<test::StoppedServer>(way.source());
        if (refusedMidway && done == 1000)
            test::exec(way.target(), {QStringLiteral("DROP TABLE %1").arg(target),
                                      QStringLiteral("CREATE TABLE %1 (id int)").arg(target)});
        return ending != Ending::Cancel || done < 120;
    };
    fillList(w.list(way.source()), {name}, {name}, name);
    test::ServerLog targetLog(way.target());
    test::ServerLog sourceLog(way.source());
    auto ctx = w.context();
    ctx.progress = &progress;
    QElapsedTimer clock;
    clock.start();
    way.send(ctx);
    const qint64 took = clock.elapsed();
    const bool stalls = ending == Ending::TargetStalls || ending == Ending::SourceStalls || paged;
    QCOMPARE(stopped != nullptr, stalls);
    if (stopped)
        stopped->resume();

    QVERIFY2(took < kWithinBoundMs, qPrintable(QString::number(took)));
    QCOMPARE(w.dialogs.shown.size(), 1);
    const auto& box = w.dialogs.shown[0];
    said.replace(QStringLiteral("%3"), way.sourceName());
    said = said.arg(name, way.targetName());
    if (midway) {
        const auto m = QRegularExpression(said).match(box.prompt);
        QVERIFY2(m.hasMatch(), qPrintable(box.prompt));
        rows = m.captured(2).toInt();
        QCOMPARE(m.captured(1).toInt(), rows + 1);
        QVERIFY2(rows >= 100 && rows < sourceRows, qPrintable(box.prompt));
    } else if (said.endsWith(u'\n'))
        QVERIFY2(box.prompt.startsWith(said) && box.prompt.size() > said.size(),
                 qPrintable(box.prompt));
    else
        QCOMPARE(box.prompt, said);
    QCOMPARE(box.detail.contains(QStringLiteral("SQLSTATE")), stalls);
    QCOMPARE(box.style, ui::kOkOnly);
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
                 120);
        QVERIFY(targetSessions[0].statements.last().startsWith(QStringLiteral("INSERT INTO")));
        const auto sourceSessions = sourceLog.sessionsMentioning({name});
        QCOMPARE(sourceSessions.size(), 1);
        QVERIFY(sourceSessions[0].closed);
    }
    QTRY_VERIFY(test::count(way.target(), name) == rows ||
                (ending == Ending::TargetStalls && test::count(way.target(), name) == rows + 1));
    QCOMPARE(entriesOf(w.list(way.target())), QStringList{name});
    QCOMPARE(entriesOf(w.list(way.source())), QStringList{name});
    QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));

    // The same copy goes through, over the table left behind.
    test::TestWindow again;
    fillList(again.list(way.source()), {name}, {name}, name);
    fillList(again.list(way.target()), {name}, {}, name);
    again.dialogs.answers.enqueue(ui::kAnswerYes);
    way.send(again.context());
    QCOMPARE(again.dialogs.shown.size(), 1); // the overwrite question only
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
#include "tst_stopping.moc"
