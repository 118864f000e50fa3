// A copy's peak memory each way for a large table with and without a key, and for one large
// value, and the time to read one 10 MB value.
//
//   FERNQUILL_LOCAL_SERVERS=build/local-servers.env build/bench/copy_memory [rows] [--key |
//   --keyless] [--value-mb N] [--value-rows R] [--ascii] [--value-keyless]
//
// A MySQL table of `rows` rows (1,000,000; about 200 bytes each) with a primary key on id, then
// the same table without a key (only the one asked for with --key or --keyless), is copied
// MySQL -> SQL Server by the command its button runs; the first of them, renamed, is copied back
// SQL Server -> MySQL (a table Fernquill made on SQL Server has no key either way). Then a table of
// one row (R rows) whose text is N MB (60; UTF-8 with two-byte characters, 0 leaves it out) is
// copied MySQL -> SQL Server and back, and checked to arrive whole (--ascii: a text of one-byte
// characters; --value-keyless: in a table without a key). Before each copy the process's
// peak resident memory (VmHWM) is set back to what is resident then; after it the peak is printed.
// Then a 10 MB text (UTF-8 with two-byte characters on MySQL) and 10 MB of bytes are read from
// each server through the program's own reading (Connection::execute and the row's values): the
// median of 3 reads each. MariaDB's general log is off while the copies run.
#include "BenchSupport.h"

#include "odbc/Connection.h"
#include "odbc/Result.h"
#include "odbc/Value.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <cstdio>
#include <stdexcept>
#include <vector>

using namespace fq;

namespace {

constexpr qsizetype kLargeValue = 10 * 1024 * 1024;
constexpr qsizetype kMB = 1024 * 1024;
// Half of a large text's characters take two bytes in UTF-8: 6 bytes of UTF-8 a unit.
const QString kTextUnit = QStringLiteral("ab\u00e9\u00fc");
constexpr qsizetype kTextUnitBytes = 6;

void copyAndMeasure(const QString& title, Server source, const QString& table, long long rows) {
    bench::resetPeak();
    const long before = bench::residentKiB();
    const bench::Run run = bench::copyTable(source, table, rows);
    const QString rate =
        rows > 1
            ? QStringLiteral(" (%1 rows/s)").arg(static_cast<double>(rows) / run.seconds, 0, 'f', 0)
            : QString();
    std::printf("%s: copied in %.1f s%s; resident before %ld KiB, peak during the copy (VmHWM) "
                "%ld KiB = %.1f MB\n",
                qPrintable(title), run.seconds, qPrintable(rate), before, bench::peakKiB(),
                static_cast<double>(bench::peakKiB()) / 1024.0);
    std::fflush(stdout);
}

// The MySQL table copied to SQL Server, and when `back`, that copy renamed and copied back.
void copyBothWays(const QString& what, const QString& my, const QString& ms, long long rows,
                  bool back) {
    copyAndMeasure("MySQL -> SQL Server, " + what, Server::MySQL, my, rows);
    if (!back)
        return;
    test::exec(Server::MSSQL, {sql::mssqlRenameTable(my, ms)});
    copyAndMeasure("SQL Server -> MySQL, " + what, Server::MSSQL, ms, rows);
}

// Rows whose text is `mb` MB of UTF-8 each, copied to SQL Server and back, then compared with
// the original on MySQL.
// With `ascii`, every character of the text is one byte; without `key`, the table has no key.
void largeValueCopies(qsizetype mb, long long rows, bool ascii, bool key) {
    const QString my = test::uniqueName(QStringLiteral("value_my"));
    const QString ms = test::uniqueName(QStringLiteral("value_ms"));
    const QString unit = ascii ? QStringLiteral("abcd") : kTextUnit;
    const qsizetype unitBytes = ascii ? 4 : kTextUnitBytes;
    test::exec(Server::MySQL,
               {QStringLiteral("CREATE TABLE `%1` (id int%2, t longtext CHARACTER SET utf8mb4)")
                    .arg(my, key ? " PRIMARY KEY" : ""),
                QStringLiteral("INSERT INTO `%1` SELECT seq, REPEAT('%2', %3) FROM seq_1_to_%4")
                    .arg(my, unit)
                    .arg(mb * kMB / unitBytes)
                    .arg(rows)});
    const auto drop = qScopeGuard([&] {
        for (const QString& t : {my, ms}) {
            try {
                test::dropIfExists(Server::MySQL, t);
                test::dropIfExists(Server::MSSQL, t);
            } catch (const std::exception&) {
            }
        }
    });
    const QString what = (rows == 1 ? QStringLiteral("one %1 MB text").arg(mb)
                                    : QStringLiteral("%1 rows of a %2 MB text").arg(rows).arg(mb)) +
                         (ascii ? QStringLiteral(" (ASCII)") : QString()) +
                         (key ? QString() : QStringLiteral(", no key"));
    copyBothWays(what, my, ms, rows, true);
    odbc::Connection c = test::connection(Server::MySQL);
    const odbc::Result same =
        c.execute(QStringLiteral("SELECT COUNT(*) FROM `%1` a JOIN `%2` b ON a.id = b.id AND "
                                 "MD5(a.t) = MD5(b.t)")
                      .arg(my, ms));
    if (same.value(0).text().toLongLong() != rows)
        throw std::runtime_error("the large text came back changed");
}

odbc::Connection open(Server server) {
    const sql::ConnectionSettings s = test::localServers();
    odbc::Connection c;
    commands::openConnection(c, server == Server::MySQL ? sql::MySQLConnectionStringCommandOrder(s)
                                                        : sql::MSSQLConnectionString(s));
    return c;
}

// Seconds to run the SELECT of one large value and read it, checking its size.
double readLarge(Server server, const QString& select, qsizetype expected) {
    odbc::Connection c = open(server);
    QElapsedTimer timer;
    timer.start();
    odbc::Result rs = c.execute(select);
    if (rs.atEnd())
        throw std::runtime_error("the large value's row is missing");
    const odbc::Value& v = rs.value(0);
    const qsizetype size =
        v.kind() == odbc::Value::Kind::Binary ? v.bytes().size() : v.text().size();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    if (size != expected)
        throw std::runtime_error("the large value arrived with another size: " +
                                 std::to_string(size));
    return seconds;
}

void largeValues() {
    const QString my = test::uniqueName(QStringLiteral("large_my"));
    const QString ms = test::uniqueName(QStringLiteral("large_ms"));
    const qsizetype units = kLargeValue / kTextUnitBytes;
    test::exec(Server::MySQL,
               {QStringLiteral("CREATE TABLE `%1` (id int, t longtext CHARACTER SET utf8mb4, b "
                               "longblob)")
                    .arg(my),
                QStringLiteral("INSERT INTO `%1` VALUES(1, REPEAT('%2', %3), NULL)")
                    .arg(my, kTextUnit)
                    .arg(units),
                QStringLiteral("INSERT INTO `%1` VALUES(2, NULL, REPEAT(X'00FF7F80', %2))")
                    .arg(my)
                    .arg(kLargeValue / 4)});
    const QString text = kTextUnit.repeated(units);
    QByteArray bytes;
    for (qsizetype i = 0; i < kLargeValue; ++i)
        bytes.append(static_cast<char>(i * 7));
    test::exec(
        Server::MSSQL,
        {QStringLiteral("CREATE TABLE [%1] (id int, t nvarchar(max), b varbinary(max))").arg(ms),
         QStringLiteral("INSERT INTO [%1] VALUES(1, N'%2', NULL)").arg(ms, text),
         QStringLiteral("INSERT INTO [%1] VALUES(2, NULL, 0x%2)")
             .arg(ms, QString::fromLatin1(bytes.toHex()))});
    struct Case {
        const char* title;
        Server server;
        QString select;
        qsizetype size;
    };
    const std::vector<Case> cases = {
        {"MySQL, 10 MB of UTF-8 text", Server::MySQL,
         QStringLiteral("SELECT t FROM `%1` WHERE id = 1").arg(my), text.size()},
        {"MySQL, 10 MB of bytes", Server::MySQL,
         QStringLiteral("SELECT b FROM `%1` WHERE id = 2").arg(my), kLargeValue},
        {"SQL Server, 10 MB of text", Server::MSSQL,
         QStringLiteral("SELECT t FROM [%1] WHERE id = 1").arg(ms), text.size()},
        {"SQL Server, 10 MB of bytes", Server::MSSQL,
         QStringLiteral("SELECT b FROM [%1] WHERE id = 2").arg(ms), kLargeValue},
    };
    for (const Case& c : cases) {
        std::vector<double> seconds;
        for (int i = 0; i < 3; ++i)
            seconds.push_back(readLarge(c.server, c.select, c.size));
        std::printf("%s: read in %.3f s (median of 3)\n", c.title, bench::median(seconds));
        std::fflush(stdout);
    }
    test::dropIfExists(Server::MySQL, my);
    test::dropIfExists(Server::MSSQL, ms);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool keyOnly = args.removeAll(QStringLiteral("--key")) > 0;
    const bool keylessOnly = args.removeAll(QStringLiteral("--keyless")) > 0;
    qsizetype valueMb = 60;
    if (const qsizetype i = args.indexOf(QStringLiteral("--value-mb")); i >= 0) {
        valueMb = args.value(i + 1).toLongLong();
        args.remove(i, std::min<qsizetype>(2, args.size() - i));
    }
    const bool asciiValue = args.removeAll(QStringLiteral("--ascii")) > 0;
    const bool keylessValue = args.removeAll(QStringLiteral("--value-keyless")) > 0;
    long long valueRows = 1;
    if (const qsizetype i = args.indexOf(QStringLiteral("--value-rows")); i >= 0) {
        valueRows = std::max(1LL, args.value(i + 1).toLongLong());
        args.remove(i, std::min<qsizetype>(2, args.size() - i));
    }
    const long long rows = args.value(0, QStringLiteral("1000000")).toLongLong();
    struct Table {
        QString what;
        QString my; // on MySQL; its copy on SQL Server has this name until renamed
        QString ms;
        bool key;
    };
    std::vector<Table> tables;
    for (const bool key : {true, false}) {
        if ((key && keylessOnly) || (!key && keyOnly))
            continue;
        tables.push_back(
            {QStringLiteral("%1 rows, %2").arg(rows).arg(key ? "a primary key on id" : "no key"),
             test::uniqueName(QStringLiteral("memory_my")),
             test::uniqueName(QStringLiteral("memory_ms")), key});
    }
    int status = 0;
    try {
        std::printf("load average %.2f at the start\n", bench::loadAverage());
        test::rootSql(QStringLiteral("SET GLOBAL general_log=0"));
        for (const Table& t : tables) {
            bench::createRowsTable(t.my, rows, t.key);
            copyBothWays(t.what, t.my, t.ms, rows, &t == &tables.front());
        }
        if (valueMb > 0)
            largeValueCopies(valueMb, valueRows, asciiValue, !keylessValue);
        test::rootSql(QStringLiteral("SET GLOBAL general_log=1"));
        largeValues();
        std::printf("load average %.2f at the end\n", bench::loadAverage());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "copy_memory: %s\n", e.what());
        status = 1;
    }
    test::rootSql(QStringLiteral("SET GLOBAL general_log=1"));
    for (const Table& t : tables) {
        for (const QString& name : {t.my, t.ms}) {
            try {
                test::dropIfExists(Server::MySQL, name);
                test::dropIfExists(Server::MSSQL, name);
            } catch (const std::exception&) {
            }
        }
    }
    return status;
}
