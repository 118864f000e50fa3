#pragma once

#include "sql/ConnectionSettings.h"
#include "sql/Server.h"

#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <atomic>
#include <optional>
#include <thread>
#include <vector>

// What the benchmarks share: the local servers' processes and where they run, the process's
// memory, medians, and a bare ODBC client that replays statements.
namespace fq::bench {

// The process of a local server started by scripts/servers, from its pid file; -1 when it is not
// running.
pid_t serverPid(Server server);

// Puts every thread of the process on the one CPU (or on all CPUs for -1). False when the
// process or its threads could not be moved.
bool pinProcess(pid_t pid, int cpu);
// The number of CPUs this process may run on.
int allowedCpus();

// The process's peak resident memory (VmHWM) and resident memory now (VmRSS), in KiB.
long peakKiB();
long residentKiB();
// Starts the peak over from the memory resident now, once the heap memory that earlier work freed
// has been given back to the system (so that one run's peak does not depend on the runs before).
void resetPeak();

double median(std::vector<double> values);

// CPU time (user and system) this process, or the calling thread, has used, in seconds.
double cpuSeconds();
double threadCpuSeconds();

// The load average over the last minute.
double loadAverage();

// The connection string a copy hands the server's driver (MySQL's in command order), for the
// settings.
QString driverString(Server server, const sql::ConnectionSettings& s);

// A bare client of a server's ODBC driver: the connection string Fernquill's copy uses, one
// statement handle, SQLExecDirectW for each statement. Timed from before the login to after the
// logout. Throws std::runtime_error with the driver's words when a statement fails.
double replay(Server server, const QString& connectionString, const QStringList& statements);

// How the bare copy reads its source: each value with SQLGetData (blockRows 0), or bound
// columns fetched blockRows rows at a time; as UTF-16 text, or as the driver's narrow text.
struct BareRead {
    long blockRows = 0;
    bool narrow = false;
};

// A bare copy by the same client: a second connection runs `select` on the source, and before
// each statement the next row, if any, is fetched and each of its columns read as text. The
// same work as a copy but for making the statements. Timed as replay().
double bareCopy(const QString& sourceConnectionString, const QString& select,
                const QString& connectionString, const QStringList& statements,
                const BareRead& read);

// The seconds and this process's CPU seconds of one run.
struct Run {
    double seconds = 0;
    double cpu = 0;
    double threadCpu = 0; // of the calling thread: a copy's thread that sends the INSERTs
};

// While it lives, each thread of this process named `name` is put on the CPU as soon as it
// appears (looked for every half millisecond, from that CPU; with `once`, until the first has
// been); nothing is done for cpu -1.
class PinThreadsNamed {
public:
    PinThreadsNamed(const char* name, int cpu, bool once = false);
    ~PinThreadsNamed();
    PinThreadsNamed(const PinThreadsNamed&) = delete;
    PinThreadsNamed& operator=(const PinThreadsNamed&) = delete;

private:
    bool once_ = false;
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

// Fernquill's copy of a source table to the other server, by the command its button runs (the
// target's table dropped first), its thread reading the source put on readAheadCpu unless -1,
// with the connection settings given (the local servers' by default). Throws std::runtime_error
// when the copy shows a message or the target does not hold `rows` rows.
Run copyTable(Server source, const QString& table, long long rows, int readAheadCpu = -1,
              const std::optional<sql::ConnectionSettings>& settings = {});

// A MySQL table of `rows` rows of about 200 bytes (id int, name varchar(60), amount
// decimal(12,2), ratio double, created datetime, note varchar(120) that is NULL in every fifth
// row), with a primary key on id when `key`.
void createRowsTable(const QString& table, long long rows, bool key);

// Runs a program to its end, its standard input `input` (or the file `inputFile`), its standard
// output returned (or written to the file `outputFile`). Throws std::runtime_error with its
// error output when it cannot start or does not end with 0.
QByteArray runProgram(const QString& program, const QStringList& arguments,
                      const QByteArray& input = {}, const QString& inputFile = {},
                      const QString& outputFile = {});
// The same, quietly: whether it ended with 0.
bool runs(const QString& program, const QStringList& arguments);

} // namespace fq::bench
