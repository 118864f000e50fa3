// Rows per second of the two transfer commands for a 100,000-row table, and the process's
// peak memory after each direction. Runs against the local servers (FERNQUILL_LOCAL_SERVERS).
//   transfer_bench [rows]
#include "commands/SendTables.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"
#include "support/MemoryTableList.h"
#include "support/TestSupport.h"
#include "ui/Dialogs.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

using namespace fq;

namespace {

long peakKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

void run(odbc::Connection& c, const QString& statement) {
    c.Execute(statement);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    const sql::ConnectionSettings settings = test::localServers();
    const QString name = test::uniqueName(QStringLiteral("bench"));
    try {
        odbc::Connection my;
        my.Open(sql::MySQLConnectionStringCommandOrder(settings));
        run(my, QStringLiteral("CREATE TABLE `%1` (id int, v varchar(40), d double, t datetime(6))")
                    .arg(name));
        run(my,
            QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('row ', seq, ' it''s'), seq / 7, "
                           "'2026-01-01' + INTERVAL seq SECOND FROM seq_1_to_%2")
                .arg(name)
                .arg(rows));
        my.Close();

        test::MemoryTableList mysqlList;
        test::MemoryTableList mssqlList;
        test::FakeDialogs dialogs;
        test::FakePointer pointer;
        const commands::CommandContext ctx{mysqlList, mssqlList, dialogs, pointer,
                                           [&] { return settings; }};
        mysqlList.AddItem(name);
        mysqlList.SetSelected(0, true);
        mysqlList.SetListIndex(0);
        const long before = peakKiB();

        QElapsedTimer timer;
        timer.start();
        commands::SendTablesToMSSQL(ctx);
        const double toMssql = static_cast<double>(timer.elapsed()) / 1000.0;
        const long afterToMssql = peakKiB();

        mssqlList.SetSelected(0, true);
        mssqlList.SetListIndex(0);
        dialogs.answers.enqueue(ui::kAnswerYes);
        timer.restart();
        commands::SendTablesToMySQL(ctx);
        const double toMysql = static_cast<double>(timer.elapsed()) / 1000.0;
        const long afterToMysql = peakKiB();

        for (const auto& box : dialogs.shown) {
            if (box.style != ui::kYesNo)
                std::printf("message: %s\n", qPrintable(box.prompt));
        }
        std::printf("rows: %d\n", rows);
        std::printf("MySQL -> SQL Server: %.1f s, %.0f rows/s, peak memory %ld KiB (before %ld)\n",
                    toMssql, rows / toMssql, afterToMssql, before);
        std::printf("SQL Server -> MySQL: %.1f s, %.0f rows/s, peak memory %ld KiB\n", toMysql,
                    rows / toMysql, afterToMysql);

        odbc::Connection cleanup;
        cleanup.Open(sql::MySQLConnectionStringCommandOrder(settings));
        run(cleanup, sql::mysqlDropTable(name));
        cleanup.Close();
        cleanup.Open(sql::MSSQLConnectionString(settings));
        run(cleanup, sql::mssqlDropTable(name));
        cleanup.Close();
    } catch (const odbc::DbError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
