#pragma once

#include "odbc/DbError.h"

#include <QString>

#include <sql.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace fq::odbc {

class Environment;

// One ODBC connection handle, connected by connect() and disconnected and freed when the last
// reference goes (the Connection and any result set still being read hold one).
//
// Every driver call that may wait for the server runs inside a Call, freeing a statement and
// disconnecting included, so that the program can tell what is waiting and for how long.
//
// The bounds on waiting are the drivers' own where a driver keeps them: the login timeout on
// every driver; MariaDB's read and write timeouts, which end a call that has had nothing from
// its server for limits().answer; the query timeout of SQL Server's driver, which cancels such a
// call. Where nothing of the driver's ends a wait on a silent server (a cancel that FreeTDS sends
// waits for the server's answer, and MariaDB's SQLCancel logs in again to send KILL QUERY), the
// connection is cut: its socket is shut down, the driver's blocked read or write returns at once,
// and the call fails as on a lost connection. That is how Cancel and the stop of a copy end a
// wait, and how a SQL Server call ends at the bound. Connections are opened one at a time in the
// process, so that the socket a connection opens is always known, during its login too.
class ConnectionHandle {
public:
    ConnectionHandle();
    ~ConnectionHandle();
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    // SQLDriverConnectW without prompting, with the login timeout of limits(); the string is
    // handed over unchanged. `driver` names the driver in what is reported while it waits.
    void connect(const QString& driverString, const QString& driver);
    bool connected() const noexcept { return connected_; }
    // MariaDB Connector/ODBC ends wide text at the first NUL character, so its text is read as
    // UTF-8 (the connection's character set), which keeps every character.
    bool textAsUtf8() const noexcept { return textAsUtf8_; }
    SQLHDBC handle() const noexcept { return dbc_; }
    // The driver's SQL_DRIVER_VER ("03.01.0015"); empty when it does not say.
    const QString& driverVersion() const noexcept { return driverVersion_; }

    // Why this connection was cut, or None.
    Interruption interruption() const noexcept {
        return static_cast<Interruption>(interruption_.load());
    }
    // Why a call that failed with this error ended: the cut of the connection, or the driver's own
    // bound on silence (its timeout, or a lost connection after a silence of the bound), which
    // counts as StoppedAnswering from then on; None for a failure of any other kind. Called while
    // the failed call is still in flight.
    Interruption causeOf(const DbError& error) noexcept;
    // The query timeout every statement of the connection gets, in seconds; 0 for none (MariaDB's
    // driver would send it to the server as max_statement_time: its read and write timeouts hold
    // the bound instead).
    SQLULEN queryTimeout() const noexcept { return queryTimeout_; }

    // Marks a driver call on the connection as in flight for as long as it lives.
    class Call {
    public:
        explicit Call(ConnectionHandle& connection);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

    private:
        ConnectionHandle& connection_;
    };

    // For the watch over all connections (with the watch's lock held) and the connection's owner:
    // how long the call in flight on the connection has had nothing from the server, and whose
    // call it is; nothing when no call is in flight.
    struct Silence {
        std::thread::id caller;
        std::chrono::milliseconds silent{0};
    };
    std::optional<Silence> silence(std::chrono::steady_clock::time_point now) const;
    const QString& driver() const noexcept { return driver_; }
    // True when the watch is to cut a call whose server has been silent for the bound: once the
    // connection is open, and only where the driver does not end such a call itself. (A login is
    // bounded by the driver's login timeout.)
    bool cutAtBound() const noexcept { return cutAtBound_.load(); }
    // Shuts the connection's socket down, so that the call in flight, or the next one, fails at
    // once; during the login too. False when the socket is not known (the connection is then left
    // to the driver's own timeouts). Safe from any thread.
    bool cut(Interruption why) noexcept;

private:
    // A text of SQLGetInfoW; empty when the driver does not give it.
    QString infoText(SQLUSMALLINT what) const;

    std::shared_ptr<Environment> env_;
    SQLHDBC dbc_ = nullptr;
    bool connected_ = false;
    bool textAsUtf8_ = false;
    QString driverVersion_;
    bool watched_ = false;
    std::atomic<bool> cutAtBound_{false};
    SQLULEN queryTimeout_ = 0;
    QString driver_;
    // While the login runs: the process's sockets before it began, so that a cut can tell the
    // one the login opened.
    mutable std::mutex loginSockets_;
    std::optional<std::vector<std::pair<int, unsigned long>>> socketsBeforeLogin_;
    // A duplicate of the driver's socket, kept to shut it down from another thread; -1 unknown.
    std::atomic<int> socket_{-1};
    std::atomic<std::int64_t> callStart_{0}; // steady clock, nanoseconds; 0 while no call runs
    std::atomic<std::thread::id> caller_{};
    std::atomic<int> interruption_{static_cast<int>(Interruption::None)};
};

} // namespace fq::odbc
