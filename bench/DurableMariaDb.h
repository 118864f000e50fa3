#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace fq::bench {

// A MariaDB of the benchmark's own that keeps what a stock server keeps: it runs with the
// server's defaults (every commit flushed to disk, innodb_flush_log_at_trx_commit=1; no binary
// log, as Debian ships it), its data in a temporary folder on disk beside the benchmark. It
// listens on the local servers' address, on a port of its own, and has the local servers' MySQL
// account and database: a process whose MySQL connections should reach it sets MYSQL_TCP_PORT
// to that port before its first one (MariaDB's client library reads the variable once, and
// Fernquill's connection string has no port key). Constructed installed, not running; destroyed
// stopped, its folder removed.
class DurableMariaDb {
public:
    DurableMariaDb();
    ~DurableMariaDb();
    DurableMariaDb(const DurableMariaDb&) = delete;
    DurableMariaDb& operator=(const DurableMariaDb&) = delete;

    // Starts it on the port and waits until it answers; throws std::runtime_error with the
    // server's log when it does not.
    void start(int port);
    // Shuts it down (its data stays for the next start).
    void stop();

    // Off, its log is flushed about once a second instead of at every commit, to make a
    // benchmark's tables quickly; on (the default) again before anything is timed.
    void flushEveryCommit(bool on);
    // The median time, in milliseconds, of writing 4 KB into its folder and waiting until the disk
    // holds it: what each commit waits for at least, and what other work on the disk slows.
    double flushMs() const;

    QString folder() const { return dir_.path(); }
    // Arguments that reach it as root through its socket, for the mariadb client and its tools.
    QStringList rootArguments() const;

private:
    QTemporaryDir dir_;
    QProcess server_;
};

} // namespace fq::bench
