// A copy's speed each way beside what users compare it with, on the same rows in the same run:
// against a MySQL server that keeps every commit, and again with a network's delay added to
// every round trip.
//
//   FERNQUILL_LOCAL_SERVERS=build/local-servers.env build/bench/copy_anchors [rows] [rounds]
//   [--delayed-rows N] [--delay-ms D]
//
// MySQL is a MariaDB of the benchmark's own, started with the server's defaults (every commit
// flushed to disk: innodb_flush_log_at_trx_commit=1; no binary log), its data on disk beside
// the benchmark; SQL Server is the local test double. A MySQL table of `rows` rows (200,000;
// about 200 bytes a row, a primary key on id) is copied to SQL Server and that copy back to MySQL
// by the commands the buttons run, and beside each copy the same rows go in as other clients send
// them:
// - into SQL Server, a bare ODBC client (FreeTDS; one statement handle, SQLExecDirectW for each
//   statement) sending the statements Fernquill's copy sent (taken from the double's log), and
//   the same client sending the rows as INSERTs of 1,000 rows each;
// - into MySQL, the mariadb client loading a dump file of the rows as INSERTs of 1,000 rows each
//   (mariadb-dump's rows of Fernquill's copy, grouped), each statement committed on its own.
// Then the same with `--delayed-rows` rows (as many as `rows` unless given; 0 leaves it out, as
// `rows` 0 leaves out the first part) with every connection passing through a proxy on the
// loopback address that holds what it forwards for `--delay-ms` milliseconds (2) each way; the
// round trip it adds is measured (SELECT 1 on each server, with and without it) and printed.
// The tables, statements and dump files are made first, untimed (the server meanwhile flushing
// its log once a second). Rounds (3) interleave each part's runs, in the opposite order every
// other round; nothing is pinned. Prints the durable server's settings and how long its disk
// takes to keep a 4 KB write, each run, the medians, Fernquill's rate over each of the others'
// (of the medians, and the median of the rounds' own ratios), the time a 1,000,000-row copy would
// take at Fernquill's median rate, and the load average at the start and the end.
#include "BenchSupport.h"
#include "DelayProxy.h"
#include "DurableMariaDb.h"

#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

using namespace fq;

namespace {

constexpr qsizetype kRowsPerInsert = 1000;

// The INSERT statements among `statements` with their rows regrouped into statements of
// kRowsPerInsert rows each (the last one fewer); every other statement stays where it is. A row
// is a parenthesized list after the statement's VALUES, read past quotes and brackets.
QStringList regrouped(const QStringList& statements) {
    QStringList out;
    QString head;
    QStringList rows;
    const auto flush = [&](qsizetype below) {
        while (rows.size() > below) {
            const qsizetype n = std::min(rows.size(), kRowsPerInsert);
            out << head + u' ' + rows.first(n).join(QStringLiteral(", "));
            rows.remove(0, n);
        }
    };
    for (const QString& s : statements) {
        if (!s.startsWith(QStringLiteral("INSERT INTO "))) {
            flush(0);
            out << s;
            continue;
        }
        QStringList found;
        QChar closing; // of the quote or bracket being read
        qsizetype depth = 0;
        qsizetype first = -1;
        qsizetype start = 0;
        for (qsizetype i = 0; i < s.size(); ++i) {
            const QChar c = s.at(i);
            if (!closing.isNull()) {
                if (c == closing && i + 1 < s.size() && s.at(i + 1) == closing)
                    ++i; // doubled: the character itself
                else if (c == closing)
                    closing = QChar();
            } else if (c == u'\'' || c == u'[' || c == u'`') {
                closing = c == u'[' ? QChar(u']') : c;
            } else if (c == u'(' && depth++ == 0) {
                start = i;
                if (first < 0)
                    first = i;
            } else if (c == u')' && --depth == 0) {
                found << s.mid(start, i - start + 1);
            }
        }
        const QString h = s.left(first).trimmed();
        if (first < 0 || !h.endsWith(QStringLiteral("VALUES"), Qt::CaseInsensitive))
            throw std::runtime_error("an INSERT without a VALUES list: " + s.toStdString());
        if (h != head)
            flush(0);
        head = h;
        rows += found;
        flush(kRowsPerInsert - 1);
    }
    flush(0);
    return out;
}

// The median time of SELECT 1 on one connection, in milliseconds.
double roundTripMs(Server server, const sql::ConnectionSettings& s) {
    odbc::Connection c;
    commands::openConnection(c, server == Server::MySQL ? sql::MySQLConnectionStringCommandOrder(s)
                                                        : sql::MSSQLConnectionString(s));
    std::vector<double> ms;
    for (int i = 0; i < 35; ++i) {
        QElapsedTimer timer;
        timer.start();
        c.execute(QStringLiteral("SELECT 1"));
        if (i >= 5)
            ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return bench::median(ms);
}

int mysqlPort() {
    return qEnvironmentVariableIntValue("MYSQL_TCP_PORT");
}

// The rows of one row count, made once before any run is timed: the MySQL source, its copy on SQL
// Server as the other way's source, what Fernquill's copy sent to SQL Server, and the dump file
// of its copy back to MySQL.
struct Rows {
    long rows = 0;
    QString mysqlTable; // on MySQL; Fernquill's copy on SQL Server has this name
    QString mssqlTable; // on SQL Server; Fernquill's copy on MySQL has this name
    QStringList sent;   // Fernquill's statements to SQL Server
    QStringList thousands;
    QString dump;
};

// The dump of a MySQL table as mariadb-dump writes it, each row's INSERT grouped with the next
// ones into INSERTs of kRowsPerInsert rows.
void writeDump(const bench::DurableMariaDb& db, const QString& table, const QString& path) {
    const QString single = path + QStringLiteral(".single");
    bench::runProgram(QStringLiteral("mariadb-dump"),
                      db.rootArguments()
                          << QStringLiteral("--default-character-set=utf8mb4")
                          << QStringLiteral("--compact") << QStringLiteral("--skip-extended-insert")
                          << test::localServers().myDatabase << table,
                      {}, {}, single);
    QFile in(single);
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the dump file " + path.toStdString());
    const QByteArray head = "INSERT INTO " + sql::backticked(table).toUtf8() + " VALUES ";
    QByteArrayList rows;
    const auto flush = [&] {
        if (!rows.isEmpty())
            out.write(head + rows.join(',') + ";\n");
        rows.clear();
    };
    while (!in.atEnd()) {
        const QByteArray line = in.readLine();
        if (line.startsWith(head) && line.endsWith(");\n")) {
            rows << line.mid(head.size(), line.size() - head.size() - 2);
            if (rows.size() == kRowsPerInsert)
                flush();
        } else {
            flush();
            out.write(line);
        }
    }
    flush();
    in.remove();
}

Rows makeRows(const bench::DurableMariaDb& db, long rows) {
    Rows r{rows,
           test::uniqueName(QStringLiteral("anchors_my")),
           test::uniqueName(QStringLiteral("anchors_ms")),
           {},
           {},
           {}};
    std::printf("making %ld rows on each server ...\n", rows);
    std::fflush(stdout);
    bench::createRowsTable(r.mysqlTable, rows, true);
    test::ServerLog log(Server::MSSQL);
    bench::copyTable(Server::MySQL, r.mysqlTable, rows);
    r.sent = test::statementsOf(log.sessionsMentioning({r.mysqlTable}));
    r.thousands = regrouped(r.sent);
    test::exec(Server::MSSQL, {sql::mssqlRenameTable(r.mysqlTable, r.mssqlTable)});
    bench::copyTable(Server::MSSQL, r.mssqlTable, rows);
    r.dump = db.folder() + QStringLiteral("/%1.sql").arg(r.mssqlTable);
    writeDump(db, r.mssqlTable, r.dump);
    test::dropIfExists(Server::MySQL, r.mssqlTable);
    return r;
}

// One way of one part: Fernquill's copy first, then the clients it is compared with; each run
// returns its seconds, having checked that the target holds every row.
struct Runner {
    QString name;
    std::function<double()> run;
    std::vector<double> rates; // rows per second, one a round
};

struct Way {
    const char* title;
    std::vector<Runner> runners;
};

// A part: the ways with their runners on one set of rows, reaching the servers as `s` says.
std::vector<Way> waysFor(const Rows& r, const sql::ConnectionSettings& s) {
    const long rows = r.rows;
    const auto counted = [rows](Server target, const QString& table, double seconds) {
        if (test::count(target, table) != rows)
            throw std::runtime_error("the target does not hold every row");
        return seconds;
    };
    const auto bareClient = [&r, s, counted](const QStringList& statements) {
        return [&r, s, counted, statements] {
            test::dropIfExists(Server::MSSQL, r.mysqlTable);
            return counted(
                Server::MSSQL, r.mysqlTable,
                bench::replay(Server::MSSQL, bench::driverString(Server::MSSQL, s), statements));
        };
    };
    const QStringList load{QStringLiteral("--no-defaults"),
                           QStringLiteral("--protocol=tcp"),
                           "--host=" + s.myServer,
                           QStringLiteral("--port=%1").arg(mysqlPort()),
                           "--user=" + s.myUser,
                           "--password=" + s.myPassword,
                           QStringLiteral("--default-character-set=utf8mb4"),
                           s.myDatabase};
    return {
        {"MySQL -> SQL Server",
         {{QStringLiteral("Fernquill"),
           [&r, s] { return bench::copyTable(Server::MySQL, r.mysqlTable, r.rows, -1, s).seconds; },
           {}},
          {QStringLiteral("bare ODBC client sending Fernquill's statements"),
           bareClient(r.sent),
           {}},
          {QStringLiteral("bare ODBC client sending 1,000-row INSERTs"),
           bareClient(r.thousands),
           {}}}},
        {"SQL Server -> MySQL",
         {{QStringLiteral("Fernquill"),
           [&r, s] { return bench::copyTable(Server::MSSQL, r.mssqlTable, r.rows, -1, s).seconds; },
           {}},
          {QStringLiteral("mariadb client loading a dump of 1,000-row INSERTs"),
           [&r, load, counted] {
               test::dropIfExists(Server::MySQL, r.mssqlTable);
               QElapsedTimer timer;
               timer.start();
               bench::runProgram(QStringLiteral("mariadb"), load, {}, r.dump);
               return counted(Server::MySQL, r.mssqlTable,
                              static_cast<double>(timer.nsecsElapsed()) / 1e9);
           },
           {}}}},
    };
}

void runRounds(const char* part, std::vector<Way>& ways, long rows, int rounds) {
    const auto n = static_cast<double>(rows);
    for (int round = 0; round < rounds; ++round) {
        for (Way& w : ways) {
            std::vector<Runner*> order;
            for (Runner& r : w.runners)
                order.push_back(&r);
            if (round % 2 == 1)
                std::reverse(order.begin(), order.end());
            for (Runner* r : order)
                r->rates.push_back(n / r->run());
            std::printf("round %d, %s, %s:", round + 1, part, w.title);
            for (const Runner& r : w.runners)
                std::printf("%s %s %.2f s (%.0f rows/s)", &r == &w.runners.front() ? "" : ";",
                            qPrintable(r.name), n / r.rates.back(), r.rates.back());
            std::printf("\n");
            std::fflush(stdout);
        }
    }
}

void report(const char* part, const std::vector<Way>& ways, long rows) {
    for (const Way& w : ways) {
        const double fernquill = bench::median(w.runners.front().rates);
        std::printf("%s, %ld rows, %s: Fernquill %.0f rows/s (1,000,000 rows in %.0f s at this "
                    "rate)",
                    part, rows, w.title, fernquill, 1e6 / fernquill);
        for (std::size_t i = 1; i < w.runners.size(); ++i) {
            const std::vector<double>& rates = w.runners[i].rates;
            std::vector<double> paired;
            for (std::size_t r = 0; r < rates.size(); ++r)
                paired.push_back(w.runners.front().rates[r] / rates[r]);
            const double other = bench::median(rates);
            std::printf("; %s %.0f rows/s, Fernquill at %.3f of it (round by round %.3f)",
                        qPrintable(w.runners[i].name), other, fernquill / other,
                        bench::median(paired));
        }
        std::printf("\n");
    }
}

// What the durable server keeps, and how long its disk takes to keep a write.
void describe(const bench::DurableMariaDb& db) {
    odbc::Connection c = test::connection(Server::MySQL);
    const odbc::Result r =
        c.execute(QStringLiteral("SELECT @@version, @@innodb_flush_log_at_trx_commit, @@log_bin, "
                                 "@@sync_binlog, @@innodb_doublewrite, @@innodb_flush_method"));
    QStringList values;
    for (int i = 0; i < r.columnCount(); ++i)
        values << r.value(i).text();
    std::printf("durable MySQL: MariaDB %s in %s, innodb_flush_log_at_trx_commit=%s, log_bin=%s, "
                "sync_binlog=%s, innodb_doublewrite=%s, innodb_flush_method=%s; a 4 KB write "
                "flushed to its disk in %.2f ms\n",
                qPrintable(values.value(0)), qPrintable(db.folder()), qPrintable(values.value(1)),
                qPrintable(values.value(2)), qPrintable(values.value(3)),
                qPrintable(values.value(4)), qPrintable(values.value(5)), db.flushMs());
    std::fflush(stdout);
}

std::pair<QString, int> hostAndPort(const QString& msServer) {
    const qsizetype comma = msServer.indexOf(u',');
    if (comma < 0)
        return {msServer, 1433};
    return {msServer.left(comma), msServer.mid(comma + 1).toInt()};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const auto option = [&args](const char* name, const QString& otherwise) {
        const qsizetype i = args.indexOf(QString::fromLatin1(name));
        if (i < 0)
            return otherwise;
        const QString v = args.value(i + 1);
        args.remove(i, std::min<qsizetype>(2, args.size() - i));
        return v;
    };
    const QString delayedRowsText = option("--delayed-rows", {});
    const double delayMs = option("--delay-ms", QStringLiteral("2")).toDouble();
    const long rows = args.value(0, QStringLiteral("200000")).toLong();
    const int rounds = args.value(1, QStringLiteral("3")).toInt();
    const long delayedRows = delayedRowsText.isEmpty() ? rows : delayedRowsText.toLong();

    const sql::ConnectionSettings local = test::localServers();
    // Every MySQL connection of this process, Fernquill's included, reaches this port: first the
    // durable server's, then the proxy's in front of it.
    const int port = test::unusedLoopbackPort();
    qputenv("MYSQL_TCP_PORT", QByteArray::number(port));
    bench::pinProcess(bench::serverPid(Server::MSSQL), -1);
    std::printf("load average %.2f at the start\n", bench::loadAverage());
    std::fflush(stdout);

    int status = 0;
    std::map<long, Rows> made;
    try {
        bench::DurableMariaDb db;
        db.start(port);
        // The tables are made with the log flushed once a second, untimed; the runs find the
        // server's default.
        db.flushEveryCommit(false);
        for (const long n : {rows, delayedRows}) {
            if (n > 0 && made.count(n) == 0)
                made.emplace(n, makeRows(db, n));
        }
        db.flushEveryCommit(true);
        // The dump files' pages reach the disk now, not during the runs.
        sync();
        describe(db);
        const double mysqlDirect = roundTripMs(Server::MySQL, local);
        const double mssqlDirect = roundTripMs(Server::MSSQL, local);
        std::printf("SELECT 1 round trip, direct: MySQL %.3f ms, SQL Server %.3f ms\n", mysqlDirect,
                    mssqlDirect);
        std::fflush(stdout);
        struct Part {
            const char* name;
            long rows;
            std::vector<Way> ways;
        };
        std::vector<Part> parts;
        if (rows > 0) {
            parts.push_back({"direct", rows, waysFor(made.at(rows), local)});
            runRounds(parts.back().name, parts.back().ways, rows, rounds);
        }
        if (delayedRows > 0) {
            db.stop();
            const int serverPort = test::unusedLoopbackPort();
            db.start(serverPort);
            const auto delay = std::chrono::microseconds(std::llround(delayMs * 1000));
            const bench::DelayProxy mysqlProxy(local.myServer, port, serverPort, delay);
            const auto [msHost, msPort] = hostAndPort(local.msServer);
            const bench::DelayProxy mssqlProxy(msHost, 0, msPort, delay);
            sql::ConnectionSettings delayed = local;
            delayed.msServer = QStringLiteral("%1,%2").arg(msHost).arg(mssqlProxy.port());
            const double mysqlDelayed = roundTripMs(Server::MySQL, delayed);
            const double mssqlDelayed = roundTripMs(Server::MSSQL, delayed);
            std::printf("SELECT 1 round trip through the proxy (%.2f ms each way): MySQL %.3f ms "
                        "(%.3f ms added), SQL Server %.3f ms (%.3f ms added)\n",
                        delayMs, mysqlDelayed, mysqlDelayed - mysqlDirect, mssqlDelayed,
                        mssqlDelayed - mssqlDirect);
            std::fflush(stdout);
            describe(db);
            parts.push_back({"delayed", delayedRows, waysFor(made.at(delayedRows), delayed)});
            runRounds(parts.back().name, parts.back().ways, delayedRows, rounds);
        }
        std::printf("load average %.2f at the end, a 4 KB write flushed to disk in %.2f ms\n",
                    bench::loadAverage(), db.flushMs());
        for (const Part& p : parts)
            report(p.name, p.ways, p.rows);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "copy_anchors: %s\n", e.what());
        status = 1;
    }
    // The MySQL tables went with the durable server's folder.
    for (const auto& [n, r] : made) {
        try {
            test::dropIfExists(Server::MSSQL, r.mysqlTable);
            test::dropIfExists(Server::MSSQL, r.mssqlTable);
        } catch (const std::exception&) {
        }
    }
    return status;
}
