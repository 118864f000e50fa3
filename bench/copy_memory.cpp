// A copy's peak memory each way for a large table, and the time to read one 10 MB value.
//
//   FERNQUILL_LOCAL_SERVERS=build/local-servers.env build/bench/copy_memory [rows] [--keyless]
//
// A MySQL table of `rows` rows (1,000,000; about 200 bytes each, a primary key on id unless
// --keyless) is copied MySQL -> SQL Server by the command its button runs, then that copy,
// renamed, SQL Server -> MySQL. Before each copy the process's peak resident memory (VmHWM) is
// set back to what is resident then; after it the peak is printed. Then a 10 MB text (UTF-8 with
// two-byte characters on MySQL) and 10 MB of bytes are read from each server through the
// program's own reading (Connection::Execute and the row's values): the median of 3 reads each.
// MariaDB's general log is off while the copies run.
#include "BenchSupport.h"

#include "odbc/Connection.h"
#include "odbc/Recordset.h"
#include "odbc/Value.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "support/Servers.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <stdexcept>
#include <vector>

using namespace fq;

namespace {

constexpr qsizetype kLargeValue = 10 * 1024 * 1024;

void copyAndMeasure(const char* title, Server source, const QString& table, long long rows) {
    bench::resetPeak();
    const long before = bench::residentKiB();
    const bench::Run run = bench::copyTable(source, table, rows);
    std::printf("%s: %lld rows in %.1f s (%.0f rows/s); resident before %ld KiB, peak during the "
                "copy (VmHWM) %ld KiB = %.1f MB\n",
                title, rows, run.seconds, static_cast<double>(rows) / run.seconds, before,
                bench::peakKiB(), static_cast<double>(bench::peakKiB()) / 1024.0);
    std::fflush(stdout);
}

odbc::Connection open(Server server) {
    const sql::ConnectionSettings s = test::localServers();
    odbc::Connection c;
    c.Open(server == Server::MySQL ? sql::MySQLConnectionStringCommandOrder(s)
                                   : sql::MSSQLConnectionString(s));
    return c;
}

// Seconds to run the SELECT of one large value and read it, checking its size.
double readLarge(Server server, const QString& select, qsizetype expected) {
    odbc::Connection c = open(server);
    QElapsedTimer timer;
    timer.start();
    odbc::Recordset rs = c.Execute(select);
    if (rs.Eof())
        throw std::runtime_error("the large value's row is missing");
    const odbc::Value& v = rs.Item(0);
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
    // Half of the text's characters take two bytes in UTF-8.
    const QString unit = QStringLiteral("ab\u00e9\u00fc");
    const qsizetype units = kLargeValue / 6; // 6 bytes of UTF-8 a unit
    test::exec(Server::MySQL,
               {QStringLiteral("CREATE TABLE `%1` (id int, t longtext CHARACTER SET utf8mb4, b "
                               "longblob)")
                    .arg(my),
                QStringLiteral("INSERT INTO `%1` VALUES(1, REPEAT('%2', %3), NULL)")
                    .arg(my, unit)
                    .arg(units),
                QStringLiteral("INSERT INTO `%1` VALUES(2, NULL, REPEAT(X'00FF7F80', %2))")
                    .arg(my)
                    .arg(kLargeValue / 4)});
    const QString text = unit.repeated(units);
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
    const bool keyless = args.removeAll(QStringLiteral("--keyless")) > 0;
    const long long rows = args.value(0, QStringLiteral("1000000")).toLongLong();
    const QString my = test::uniqueName(QStringLiteral("memory_my"));
    const QString ms = test::uniqueName(QStringLiteral("memory_ms"));
    int status = 0;
    try {
        std::printf("%lld rows, %s, load average %.2f at the start\n", rows,
                    keyless ? "no key" : "a primary key on id", bench::loadAverage());
        test::exec(Server::MySQL,
                   {QStringLiteral("CREATE TABLE `%1` (id int%2, name varchar(60), amount "
                                   "decimal(12,2), ratio double, created datetime, note "
                                   "varchar(120))")
                        .arg(my, keyless ? QString() : QStringLiteral(" PRIMARY KEY")),
                    QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('customer ', seq), "
                                   "seq * 1.25, seq / 7, '2026-01-01' + INTERVAL seq SECOND, "
                                   "IF(MOD(seq, 5) = 0, NULL, CONCAT('it''s row ', seq, ' of the "
                                   "benchmark, a note of about a hundred characters: ', "
                                   "REPEAT('n', 30))) FROM seq_1_to_%2")
                        .arg(my)
                        .arg(rows),
                    QStringLiteral("ANALYZE TABLE `%1`").arg(my)});
        test::rootSql(QStringLiteral("SET GLOBAL general_log=0"));
        copyAndMeasure("MySQL -> SQL Server", Server::MySQL, my, rows);
        test::exec(Server::MSSQL, {sql::mssqlRenameTable(my, ms)});
        copyAndMeasure("SQL Server -> MySQL", Server::MSSQL, ms, rows);
        test::rootSql(QStringLiteral("SET GLOBAL general_log=1"));
        largeValues();
        std::printf("load average %.2f at the end\n", bench::loadAverage());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "copy_memory: %s\n", e.what());
        status = 1;
    }
    test::rootSql(QStringLiteral("SET GLOBAL general_log=1"));
    for (const QString& t : {my, ms}) {
        try {
            test::dropIfExists(Server::MySQL, t);
            test::dropIfExists(Server::MSSQL, t);
        } catch (const std::exception&) {
        }
    }
    return status;
}
