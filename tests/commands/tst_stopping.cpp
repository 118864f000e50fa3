// How the commands stop other than by a refusal, against MariaDB and the SQL Server test double:
// a copy cancelled after a row, rows that go missing on the target, and a server that stops
// answering (SIGSTOP) during a copy, a drop, a rename, a listing, a Test Connection and a probe.
// The waits are bounded at 2 s here (the program waits 15 s for a login, 60 s for an answer).
#include "commands/DropTables.h"
#include "commands/Listing.h"
#include "commands/Probes.h"
#include "commands/RenameTable.h"
#include "commands/SendTables.h"
#include "odbc/Waiting.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "support/StoppedServer.h"
#include "ui/Progress.h"

#include <QElapsedTimer>
#include <QTest>

#include <functional>
#include <memory>

using namespace fq;
using namespace std::chrono_literals;
using test::entriesOf;
using test::fillList;

namespace {

constexpr auto kBound = 2s;
// Room beyond the bound for a loaded machine: the check is that the message comes within the
// bound, not how fast.
constexpr qint64 kWithinBoundMs = 2000 + 10000;

struct Way {
    bool toMySql;
    Server source() const { return toMySql ? Server::MSSQL : Server::MySQL; }
    Server target() const { return toMySql ? Server::MySQL : Server::MSSQL; }
    QString targetName() const { return toMySql ? "MySQL" : "SQL Server"; }
    QString sourceName() const { return toMySql ? "SQL Server" : "MySQL"; }
    void send(const commands::CommandContext& ctx) const {
        toMySql ? commands::SendTablesToMySQL(ctx) : commands::SendTablesToMSSQL(ctx);
    }
    ui::TableList& sourceList(test::TestWindow& w) const { return w.list(source()); }
    ui::TableList& targetList(test::TestWindow& w) const { return w.list(target()); }
};

// A table of `rows` numbered rows (id 1..rows) on the server.
void createNumbered(Server s, const QString& name, int rows) {
    QStringList statements{
        QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))").arg(test::delimited(s, name))};
    for (int i = 1; i <= rows; i += 200) {
        QStringList values;
        for (int j = i; j < std::min(rows + 1, i + 200); ++j)
            values << QStringLiteral("(%1, 'row %1')").arg(j);
        statements << QStringLiteral("INSERT INTO %1 VALUES %2")
                          .arg(test::delimited(s, name), values.join(QStringLiteral(", ")));
    }
    test::exec(s, statements);
}

// Progress that runs a hook at chosen moments of the copy, on the copy's own thread.
class HookedProgress final : public ui::Progress {
public:
    std::function<void(const QString&)> onBeginTable;
    std::function<bool(long long)> onUpdate; // false: cancel
    QList<long long> updates;

    void beginTable(int, int, const QString& name, long long estimate) override {
        estimates << estimate;
        if (onBeginTable)
            onBeginTable(name);
    }
    bool update(long long done) override {
        updates << done;
        if (onUpdate && !onUpdate(done))
            cancelled_ = true;
        return !cancelled_;
    }
    bool cancelled() const override { return cancelled_; }

    QList<long long> estimates;

private:
    bool cancelled_ = false;
};

int insertsInto(const QList<test::Session>& sessions, const QString& table) {
    int n = 0;
    for (const auto& s : sessions)
        for (const QString& statement : s.statements)
            if (statement.startsWith(QStringLiteral("INSERT INTO")) && statement.contains(table))
                ++n;
    return n;
}

} // namespace

Q_DECLARE_METATYPE(Way)

class TestStopping : public QObject {
    Q_OBJECT

private slots:
    void copyEndsEarly_data();
    void copyEndsEarly();
    void serverStopsAnsweringMidCopy_data();
    void serverStopsAnsweringMidCopy();
    void commandsWithAStoppedServer_data();
    void commandsWithAStoppedServer();

    void init() { odbc::setLimits(odbc::Limits{kBound, kBound}); }
    void cleanup() { odbc::setLimits(odbc::Limits{}); }
};

void TestStopping::copyEndsEarly_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("cancel"); // else rows go missing
    for (const bool toMySql : {true, false}) {
        const char* way = toMySql ? "to MySQL" : "to SQL Server";
        QTest::addRow("%s, cancelled after row 120", way) << Way{toMySql} << true;
        QTest::addRow("%s, rows going missing", way) << Way{toMySql} << false;
    }
}

// Cancelled after 120 rows; or someone else puts an empty table in place of the one being
// filled after 10 rows (the test double knows no DELETE) while the copy goes on, which the row
// count check finds. One message like any other stop, and the lists show what exists.
void TestStopping::copyEndsEarly() {
    QFETCH(Way, way);
    QFETCH(bool, cancel);
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("early"));
    createNumbered(way.source(), name, cancel ? 300 : 40);
    test::TestWindow w;
    HookedProgress progress;
    progress.onUpdate = [&](long long done) {
        if (!cancel && done == 10)
            test::exec(way.target(),
                       {QStringLiteral("DROP TABLE %1").arg(test::delimited(way.target(), name)),
                        QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))")
                            .arg(test::delimited(way.target(), name))});
        return !cancel || done < 120;
    };
    fillList(way.sourceList(w), {name}, {name}, name);
    test::ServerLog targetLog(way.target());
    test::ServerLog sourceLog(way.source());
    auto ctx = w.context();
    ctx.progress = &progress;
    way.send(ctx);

    const QString said =
        cancel ? QStringLiteral("Copying the table %1 to %2 was stopped on request. The table is "
                                "on %2 with the 120 rows copied. Nothing more was sent.")
               : QStringLiteral("Copying the table %1 to %2 lost rows: 40 rows read from %3, but "
                                "the table on %2 holds 30 rows. The table stays on %2 as it is.");
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(
        w.dialogs.shown[0].prompt,
        QString(said).replace(QStringLiteral("%3"), way.sourceName()).arg(name, way.targetName()));
    QCOMPARE(w.dialogs.shown[0].style, ui::kOkOnly);
    if (cancel) {
        QCOMPARE(progress.updates.last(), 120LL);
        // The estimate the source gave for the table: SQL Server's count, or InnoDB's statistics,
        // which may be a little off.
        QCOMPARE(progress.estimates.size(), 1);
        QVERIFY2(way.toMySql ? progress.estimates[0] == 300
                             : qAbs(progress.estimates[0] - 300) <= 30,
                 qPrintable(QString::number(progress.estimates[0])));
        // Nothing was sent after that row, and both connections were closed.
        const auto targetSessions = targetLog.sessionsMentioning({name});
        QCOMPARE(targetSessions.size(), 1);
        QVERIFY(targetSessions[0].closed);
        QCOMPARE(insertsInto(targetSessions, name), 120);
        QVERIFY(targetSessions[0].statements.last().startsWith(QStringLiteral("INSERT INTO")));
        const auto sourceSessions = sourceLog.sessionsMentioning({name});
        QCOMPARE(sourceSessions.size(), 1);
        QVERIFY(sourceSessions[0].closed);
    }
    QCOMPARE(test::count(way.target(), name), cancel ? 120LL : 30LL);
    QCOMPARE(entriesOf(way.targetList(w)), QStringList{name});
    QCOMPARE(entriesOf(way.sourceList(w)), QStringList{name});
    QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));
}

void TestStopping::serverStopsAnsweringMidCopy_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("targetStops"); // after 30 rows; else the source, before its rows
    QTest::addColumn<QString>("said");     // %1 the table, %2 the target, %3 the source
    QTest::addColumn<int>("rows");         // on the target, or one more
    const QString target = QStringLiteral(
        "Copying the table %1 to %2 stopped: %2 stopped answering while copying row 31. The "
        "table is on %2 with the 30 rows copied before. Row 31 was being sent and may have "
        "arrived as well. Nothing more was sent.\n\nNothing came back from the server for 2 "
        "seconds, so the connection was closed.");
    // (A source stopping while its rows stream in is cut the same way; the odbc tests show it.)
    const QString source = QStringLiteral(
        "Copying the table %1 to %2 stopped: %3 stopped answering while reading its rows from "
        "%3. The table is on %2 with no rows copied. Nothing more was sent.\n\n");
    for (const bool toMySql : {true, false}) {
        const char* way = toMySql ? "to MySQL" : "to SQL Server";
        QTest::addRow("%s, the target stops", way) << Way{toMySql} << true << target << 30;
        QTest::addRow("%s, the source stops", way) << Way{toMySql} << false << source << 0;
    }
}

void TestStopping::serverStopsAnsweringMidCopy() {
    QFETCH(Way, way);
    QFETCH(bool, targetStops);
    QFETCH(QString, said);
    QFETCH(int, rows);
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("stall"));
    createNumbered(way.source(), name, 200);
    test::TestWindow w;
    HookedProgress progress;
    std::unique_ptr<test::StoppedServer> stopped;
    if (targetStops) {
        progress.onUpdate = [&](long long done) {
            if (done == 30)
                stopped = std::make_unique<test::StoppedServer>(way.target());
            return true;
        };
    } else {
        progress.onBeginTable = [&](const QString&) {
            stopped = std::make_unique<test::StoppedServer>(way.source());
        };
    }
    fillList(way.sourceList(w), {name}, {name}, name);
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
    const QString prompt = w.dialogs.shown[0].prompt;
    QVERIFY2(prompt.startsWith(QString(said)
                                   .replace(QStringLiteral("%3"), way.sourceName())
                                   .arg(name, way.targetName())),
             qPrintable(prompt));
    QVERIFY(w.dialogs.shown[0].detail.contains(QStringLiteral("SQLSTATE")));
    // What the message says is on the target, once the server goes on (one more row if it
    // carried out the INSERT it had received).
    QTRY_VERIFY(test::count(way.target(), name) == rows ||
                (targetStops && test::count(way.target(), name) == rows + 1));
    QCOMPARE(entriesOf(way.targetList(w)), QStringList{name});
    QCOMPARE(w.pointer.history, (QList<int>{ui::kPointerHourglass, ui::kPointerArrow}));

    // The server works again: the same copy goes through, over the table left behind.
    test::TestWindow again;
    fillList(way.sourceList(again), {name}, {name}, name);
    fillList(way.targetList(again), {name}, {}, name);
    again.dialogs.answers.enqueue(ui::kAnswerYes);
    way.send(again.context());
    QCOMPARE(again.dialogs.shown.size(), 1); // the overwrite question only
    QCOMPARE(test::count(way.target(), name), 200LL);
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

// The command gives its message within the bound and leaves the list as the server has it;
// once the server goes on, the same command works.
void TestStopping::commandsWithAStoppedServer() {
    QFETCH(Server, server);
    QFETCH(int, command);
    QFETCH(QString, said);
    test::Scratch scratch;
    const QString name = scratch.name(QStringLiteral("keep"));
    scratch.keep(name + QStringLiteral("_new"));
    createNumbered(server, name, 1);
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
    // One box with the server's or the driver's words after the message, its codes as details.
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
