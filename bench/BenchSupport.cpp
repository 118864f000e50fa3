#include "BenchSupport.h"

#include "commands/CommandContext.h"
#include "commands/SendTables.h"
#include "sql/ConnectionStrings.h"
#include "support/Servers.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sql.h>
#include <sqlext.h>

#include <malloc.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>

namespace fq::bench {

namespace {

long statusKiB(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(static_cast<qsizetype>(std::strlen(key)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLong();
    }
    return -1;
}

std::string diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
    std::string all;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        if (!SQL_SUCCEEDED(
                SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length)))
            break;
        all += std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(text) +
               "\n";
    }
    return all;
}

} // namespace

pid_t serverPid(Server server) {
    // The pid file lies beside the socket (MariaDB) or the statement log (the test double).
    const QString beside =
        test::localServerValue(server == Server::MySQL ? QStringLiteral("MYSQL_SOCKET")
                                                       : QStringLiteral("MSSQL_STATEMENT_LOG"));
    const QString dir = QFileInfo(beside).absolutePath();
    QFile f(dir + (server == Server::MySQL ? QStringLiteral("/mariadbd.pid")
                                           : QStringLiteral("/tds.pid")));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const int pid = QString::fromLatin1(f.readAll()).trimmed().toInt(&ok);
    return ok ? pid : -1;
}

namespace {

// The one CPU, or every CPU for -1.
cpu_set_t cpusFor(int cpu) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (cpu >= 0) {
        CPU_SET(static_cast<std::size_t>(cpu), &set);
    } else {
        for (long c = 0; c < sysconf(_SC_NPROCESSORS_ONLN); ++c)
            CPU_SET(static_cast<std::size_t>(c), &set);
    }
    return set;
}

} // namespace

bool pinProcess(pid_t pid, int cpu) {
    const cpu_set_t set = cpusFor(cpu);
    const QStringList tasks =
        QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    bool all = !tasks.isEmpty();
    for (const QString& task : tasks) {
        if (sched_setaffinity(task.toInt(), sizeof set, &set) != 0)
            all = false;
    }
    return all;
}

int allowedCpus() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return CPU_COUNT(&set);
}

long peakKiB() {
    return statusKiB("VmHWM:");
}

long residentKiB() {
    return statusKiB("VmRSS:");
}

void resetPeak() {
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

// User and system CPU seconds of RUSAGE_SELF or RUSAGE_THREAD.
double usedSeconds(int who) {
    rusage r{};
    getrusage(who, &r);
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

} // namespace

double cpuSeconds() {
    return usedSeconds(RUSAGE_SELF);
}

double threadCpuSeconds() {
    return usedSeconds(RUSAGE_THREAD);
}

double loadAverage() {
    double load[1] = {0};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
}

namespace {

std::u16string utf16(const QString& s) {
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

// Either client's run: the statements with SQLExecDirectW on one handle; with a select, each one
// after reading the next row of the source.
double runStatements(const QString& sourceConnectionString, const QString& select,
                     const QString& connectionString, const QStringList& statements,
                     const BareRead& read) {
    // Every text in the form the driver takes, made before the clock starts.
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<std::size_t>(statements.size()));
    for (const QString& s : statements)
        texts.push_back(utf16(s));
    std::u16string query = utf16(select);

    SQLHENV env = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    const auto connect = [env](const QString& text) {
        std::u16string c = utf16(text);
        SQLHDBC dbc = nullptr;
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        SQLWCHAR out[1024];
        SQLSMALLINT outLength = 0;
        const SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(c.data()),
                                               static_cast<SQLSMALLINT>(c.size()), out, 1024,
                                               &outLength, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc))
            throw std::runtime_error("bare client: connect: " + diagnostics(SQL_HANDLE_DBC, dbc));
        return dbc;
    };

    QElapsedTimer timer;
    timer.start();
    SQLHDBC source = nullptr;
    SQLHSTMT reader = nullptr;
    SQLSMALLINT columns = 0;
    if (!select.isEmpty()) {
        source = connect(sourceConnectionString);
        SQLAllocHandle(SQL_HANDLE_STMT, source, &reader);
        if (!SQL_SUCCEEDED(SQLExecDirectW(reader, reinterpret_cast<SQLWCHAR*>(query.data()),
                                          static_cast<SQLINTEGER>(query.size()))))
            throw std::runtime_error("bare client: " + diagnostics(SQL_HANDLE_STMT, reader));
        SQLNumResultCols(reader, &columns);
    }
    const long block = read.blockRows;
    constexpr SQLLEN width = 256;
    std::vector<SQLWCHAR> bound;
    std::vector<SQLLEN> indicators;
    SQLULEN fetched = 0;
    SQLULEN inBlock = 0;
    if (block > 0 && reader != nullptr) {
        const auto n = static_cast<std::size_t>(block);
        const auto cols = static_cast<std::size_t>(columns);
        bound.resize(n * cols * static_cast<std::size_t>(width));
        indicators.resize(n * cols);
        SQLSetStmtAttr(reader, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
        SQLSetStmtAttr(reader, SQL_ATTR_ROW_ARRAY_SIZE,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(block)), 0);
        SQLSetStmtAttr(reader, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
        for (std::size_t c = 0; c < cols; ++c)
            SQLBindCol(reader, static_cast<SQLUSMALLINT>(c + 1),
                       read.narrow ? SQL_C_CHAR : SQL_C_WCHAR,
                       bound.data() + c * n * static_cast<std::size_t>(width),
                       width * static_cast<SQLLEN>(sizeof(SQLWCHAR)), indicators.data() + c * n);
    }
    SQLHDBC dbc = connect(connectionString);
    SQLHSTMT stmt = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLWCHAR value[4096];
    for (std::u16string& t : texts) {
        if (block > 0 && reader != nullptr) {
            if (inBlock >= fetched) {
                fetched = 0;
                inBlock = 0;
                SQLFetch(reader);
            }
            ++inBlock;
        } else if (reader != nullptr && SQL_SUCCEEDED(SQLFetch(reader))) {
            for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
                SQLLEN indicator = 0;
                SQLGetData(reader, c, read.narrow ? SQL_C_CHAR : SQL_C_WCHAR, value, sizeof value,
                           &indicator);
            }
        }
        const SQLRETURN rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(t.data()),
                                            static_cast<SQLINTEGER>(t.size()));
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
            throw std::runtime_error("bare client: " + diagnostics(SQL_HANDLE_STMT, stmt));
        SQLFreeStmt(stmt, SQL_CLOSE);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
    if (source != nullptr) {
        SQLFreeHandle(SQL_HANDLE_STMT, reader);
        SQLDisconnect(source);
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (source != nullptr)
        SQLFreeHandle(SQL_HANDLE_DBC, source);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return seconds;
}

} // namespace

double bareCopy(const QString& sourceConnectionString, const QString& select,
                const QString& connectionString, const QStringList& statements,
                const BareRead& read) {
    return runStatements(sourceConnectionString, select, connectionString, statements, read);
}

QString driverString(Server server, const sql::ConnectionSettings& s) {
    return commands::driverString(server == Server::MySQL
                                      ? sql::MySQLConnectionStringCommandOrder(s)
                                      : sql::MSSQLConnectionString(s));
}

double replay(Server, const QString& connectionString, const QStringList& statements) {
    return runStatements({}, {}, connectionString, statements, {});
}

PinThreadsNamed::PinThreadsNamed(const char* name, int cpu, bool once) : once_(once) {
    if (cpu < 0)
        return;
    watcher_ = std::thread([this, wanted = QByteArray(name) + '\n', cpu] {
        const cpu_set_t set = cpusFor(cpu);
        sched_setaffinity(0, sizeof set, &set);
        QList<int> pinned;
        while (!done_.load()) {
            const QStringList tasks = QDir(QStringLiteral("/proc/self/task"))
                                          .entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            for (const QString& task : tasks) {
                QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
                if (pinned.contains(task.toInt()) || !comm.open(QIODevice::ReadOnly) ||
                    comm.readAll() != wanted)
                    continue;
                if (sched_setaffinity(task.toInt(), sizeof set, &set) == 0)
                    pinned << task.toInt();
            }
            if (!pinned.isEmpty() && once_)
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
}

PinThreadsNamed::~PinThreadsNamed() {
    done_.store(true);
    if (watcher_.joinable())
        watcher_.join();
}

Run copyTable(Server source, const QString& table, long long rows, int readAheadCpu,
              const std::optional<sql::ConnectionSettings>& settings) {
    const Server target = source == Server::MySQL ? Server::MSSQL : Server::MySQL;
    test::dropIfExists(target, table);
    test::TestWindow window;
    if (settings)
        window.settings = *settings;
    test::fillList(window.list(source), {table}, {table}, table);
    const commands::CommandContext ctx = window.context();
    // One table: one thread reads it.
    const PinThreadsNamed readAhead("fq-read-ahead", readAheadCpu, true);
    const double cpu = cpuSeconds();
    const double threadCpu = threadCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (target == Server::MSSQL)
        commands::SendTablesToMSSQL(ctx);
    else
        commands::SendTablesToMySQL(ctx);
    const Run run{static_cast<double>(timer.nsecsElapsed()) / 1e9, cpuSeconds() - cpu,
                  threadCpuSeconds() - threadCpu};
    for (const auto& box : window.dialogs.shown)
        throw std::runtime_error("the copy said: " + box.prompt.toStdString());
    if (test::count(target, table) != rows)
        throw std::runtime_error("the copy's target does not hold every row");
    return run;
}

void createRowsTable(const QString& table, long long rows, bool key) {
    test::exec(Server::MySQL,
               {QStringLiteral("CREATE TABLE `%1` (id int%2, name varchar(60), amount "
                               "decimal(12,2), ratio double, created datetime, note "
                               "varchar(120))")
                    .arg(table, key ? QStringLiteral(" PRIMARY KEY") : QString()),
                QStringLiteral("INSERT INTO `%1` SELECT seq, CONCAT('customer ', seq), "
                               "seq * 1.25, seq / 7, '2026-01-01' + INTERVAL seq SECOND, "
                               "IF(MOD(seq, 5) = 0, NULL, CONCAT('it''s row ', seq, ' of the "
                               "benchmark, a note of about a hundred characters: ', "
                               "REPEAT('n', 30))) FROM seq_1_to_%2")
                    .arg(table)
                    .arg(rows),
                QStringLiteral("ANALYZE TABLE `%1`").arg(table)});
}

QByteArray runProgram(const QString& program, const QStringList& arguments, const QByteArray& input,
                      const QString& inputFile, const QString& outputFile) {
    QProcess p;
    if (!inputFile.isEmpty())
        p.setStandardInputFile(inputFile);
    if (!outputFile.isEmpty())
        p.setStandardOutputFile(outputFile);
    p.start(program, arguments);
    if (inputFile.isEmpty()) {
        p.write(input);
        p.closeWriteChannel();
    }
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(program.toStdString() + " failed: " +
                                 (p.error() == QProcess::FailedToStart
                                      ? p.errorString().toStdString()
                                      : p.readAllStandardError().trimmed().toStdString()));
    return p.readAllStandardOutput();
}

bool runs(const QString& program, const QStringList& arguments) {
    try {
        runProgram(program, arguments);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

} // namespace fq::bench
