// A copy's speed each way against a bare client of the same driver replaying the same statements.
//
//   FERNQUILL_LOCAL_SERVERS=build/local-servers.env build/bench/copy_speed [rows] [rounds]
//   [--no-pin] [--read-ahead-cpu N] [--bare-block N] [--bare-narrow]
//
// A table of `rows` rows (100,000) is copied MySQL -> SQL Server and SQL Server -> MySQL by the
// commands the buttons run, and the target's statements of that copy (taken from the server's
// log) are replayed by a bare ODBC client: one handle, SQLExecDirectW per statement, the same
// connection string. A bare copy by the same client does the replay's work plus reading the
// source: before each statement it fetches the next row and reads each value with SQLGetData
// as UTF-16 text (--bare-block N: bound columns, N rows a fetch; --bare-narrow: the driver's
// narrow text).
// Rounds (5) interleave the six runs. Unless --no-pin, this process and the
// target server run on CPU 0 and the source server on CPU 1, so that the copy and the replay
// meet the same CPU and the source's work is not charged to either; --read-ahead-cpu 1 puts the
// copy's thread that reads the source (and makes each row's INSERT) on CPU 1 as well, as on a
// machine with a core to spare. MariaDB's general log is off while the runs are timed. Prints
// each run, the medians, Fernquill's rows/s over the replay's (of the medians, and the median of
// the rounds' own ratios) and over the bare copy's.
#include "BenchSupport.h"

#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <unistd.h>

#include <cstdio>
#include <stdexcept>

using namespace fq;

namespace {

struct Way {
    const char* title;
    Server source;
    Server target;
    QString table; // on the source; the copy makes it on the target
    QStringList replayed;
    std::vector<double> copy;      // rows per second
    std::vector<double> replay;    // rows per second
    std::vector<double> copyCpu;   // microseconds of this process's CPU per row
    std::vector<double> replayCpu; // microseconds of this process's CPU per row
    std::vector<double> bare;      // rows per second
    std::vector<double> bareCpu;   // microseconds of this process's CPU per row
    std::vector<double> paired;    // each round's Fernquill rows/s over the replay's
    std::vector<double> sendCpu;   // microseconds of CPU per row of the copy's sending thread
};

using bench::Run;

void pinFor(const Way& w, bool pin) {
    if (!pin)
        return;
    bench::pinProcess(bench::serverPid(w.target), 0);
    bench::pinProcess(bench::serverPid(w.source), 1);
}

// Fernquill's copy of the way's table.
Run copy(const Way& w, long rows, int readAheadCpu) {
    return bench::copyTable(w.source, w.table, rows, readAheadCpu);
}

Run replay(const Way& w, const sql::ConnectionSettings& s, long rows) {
    test::dropIfExists(w.target, w.table);
    const QString connection = bench::driverString(w.target, s);
    const double cpu = bench::cpuSeconds();
    const double seconds = bench::replay(w.target, connection, w.replayed);
    const Run run{seconds, bench::cpuSeconds() - cpu};
    if (test::count(w.target, w.table) != rows)
        throw std::runtime_error("the replay's target does not hold every row");
    return run;
}

// The bare client's copy: the replay, each statement after reading the next row of the source.
Run bareCopy(const Way& w, const sql::ConnectionSettings& s, long rows,
             const bench::BareRead& read) {
    test::dropIfExists(w.target, w.table);
    const QString select = w.source == Server::MySQL
                               ? QStringLiteral("SELECT * FROM `%1`").arg(w.table)
                               : QStringLiteral("SELECT * FROM [%1]").arg(w.table);
    const double cpu = bench::cpuSeconds();
    const double seconds = bench::bareCopy(bench::driverString(w.source, s), select,
                                           bench::driverString(w.target, s), w.replayed, read);
    const Run run{seconds, bench::cpuSeconds() - cpu};
    if (test::count(w.target, w.table) != rows)
        throw std::runtime_error("the bare copy's target does not hold every row");
    return run;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool pin = !args.removeAll(QStringLiteral("--no-pin"));
    bench::BareRead bareRead;
    bareRead.narrow = args.removeAll(QStringLiteral("--bare-narrow")) > 0;
    if (const qsizetype i = args.indexOf(QStringLiteral("--bare-block")); i >= 0) {
        bareRead.blockRows = args.value(i + 1).toLong();
        args.remove(i, std::min<qsizetype>(2, args.size() - i));
    }
    int readAheadCpu = -1;
    if (const qsizetype i = args.indexOf(QStringLiteral("--read-ahead-cpu")); i >= 0) {
        readAheadCpu = args.value(i + 1).toInt();
        args.remove(i, std::min<qsizetype>(2, args.size() - i));
    }
    const long rows = args.value(0, QStringLiteral("100000")).toLong();
    const int rounds = args.value(1, QStringLiteral("5")).toInt();
    const sql::ConnectionSettings settings = test::localServers();

    Way toMssql{"MySQL -> SQL Server",
                Server::MySQL,
                Server::MSSQL,
                test::uniqueName(QStringLiteral("speed_my")),
                {},
                {},
                {},
                {},
                {},
                {},
                {},
                {},
                {}};
    Way toMysql{"SQL Server -> MySQL",
                Server::MSSQL,
                Server::MySQL,
                test::uniqueName(QStringLiteral("speed_ms")),
                {},
                {},
                {},
                {},
                {},
                {},
                {},
                {},
                {}};
    int status = 0;
    try {
        // The MySQL table; its copy on SQL Server, renamed, is the other way's source.
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int, name varchar(60), amount "
                                   "decimal(12,2), ratio double, created datetime, note "
                                   "varchar(120))")
                        .arg(toMssql.table),
                    QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('customer ', seq), "
                                   "seq * 1.25, seq / 7, '2026-01-01' + INTERVAL seq SECOND, "
                                   "IF(MOD(seq, 5) = 0, NULL, CONCAT('it''s row ', seq, ' of the "
                                   "benchmark')) FROM seq_1_to_%2")
                        .arg(toMssql.table)
                        .arg(rows)});
        copy(toMssql, rows, -1);
        test::exec(Server::MSSQL, {sql::mssqlRenameTable(toMssql.table, toMysql.table)});

        // One copy each way, untimed, gives the statements to replay.
        for (Way* w : {&toMssql, &toMysql}) {
            test::ServerLog log(w->target);
            copy(*w, rows, -1);
            w->replayed = test::statementsOf(log.sessionsMentioning({w->table}));
        }
        test::rootSql(QStringLiteral("SET GLOBAL general_log=0"));
        if (pin)
            bench::pinProcess(getpid(), 0);
        std::printf("%ld rows, %d rounds, %s, load average %.2f at the start\n", rows, rounds,
                    !pin                ? "not pinned"
                    : readAheadCpu == 1 ? "this process and the target server on CPU 0, the "
                                          "source server and the copy's reading thread on CPU 1"
                                        : "this process and the target server on CPU 0, the "
                                          "source server on CPU 1",
                    bench::loadAverage());
        for (int r = 0; r < rounds; ++r) {
            for (Way* w : {&toMssql, &toMysql}) {
                pinFor(*w, pin);
                Run c;
                Run p;
                Run b;
                if (r % 2 == 0) {
                    c = copy(*w, rows, readAheadCpu);
                    p = replay(*w, settings, rows);
                    b = bareCopy(*w, settings, rows, bareRead);
                } else {
                    b = bareCopy(*w, settings, rows, bareRead);
                    p = replay(*w, settings, rows);
                    c = copy(*w, rows, readAheadCpu);
                }
                const auto n = static_cast<double>(rows);
                w->copy.push_back(n / c.seconds);
                w->replay.push_back(n / p.seconds);
                w->copyCpu.push_back(c.cpu * 1e6 / n);
                w->replayCpu.push_back(p.cpu * 1e6 / n);
                w->bare.push_back(n / b.seconds);
                w->bareCpu.push_back(b.cpu * 1e6 / n);
                w->paired.push_back(p.seconds / c.seconds);
                w->sendCpu.push_back(c.threadCpu * 1e6 / n);
                std::printf("round %d %s: Fernquill %.2f s (%.0f rows/s, %.1f us CPU a row), "
                            "replay %.2f s (%.0f rows/s, %.1f us CPU a row), ratio %.3f; "
                            "bare copy %.2f s (%.0f rows/s, %.1f us CPU a row), ratio %.3f\n",
                            r + 1, w->title, c.seconds, n / c.seconds, c.cpu * 1e6 / n, p.seconds,
                            n / p.seconds, p.cpu * 1e6 / n, p.seconds / c.seconds, b.seconds,
                            n / b.seconds, b.cpu * 1e6 / n, b.seconds / c.seconds);
                std::fflush(stdout);
            }
        }
        std::printf("load average %.2f at the end\n", bench::loadAverage());
        for (const Way* w : {&toMssql, &toMysql}) {
            const double c = bench::median(w->copy);
            const double p = bench::median(w->replay);
            const double b = bench::median(w->bare);
            std::printf("%s: median Fernquill %.0f rows/s, replay %.0f rows/s, ratio %.3f "
                        "(round by round: median %.3f); bare copy %.0f rows/s, ratio %.3f; CPU of "
                        "this process a row: Fernquill %.1f us (its sending thread %.1f us), "
                        "replay %.1f us, bare copy %.1f us\n",
                        w->title, c, p, c / p, bench::median(w->paired), b, c / b,
                        bench::median(w->copyCpu), bench::median(w->sendCpu),
                        bench::median(w->replayCpu), bench::median(w->bareCpu));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "copy_speed: %s\n", e.what());
        status = 1;
    }
    test::rootSql(QStringLiteral("SET GLOBAL general_log=1"));
    for (const Way* w : {&toMssql, &toMysql}) {
        bench::pinProcess(bench::serverPid(w->target), -1);
        try {
            test::dropIfExists(w->source, w->table);
            test::dropIfExists(w->target, w->table);
        } catch (const std::exception&) {
        }
    }
    return status;
}
