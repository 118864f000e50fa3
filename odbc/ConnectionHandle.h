#pragma once

#include "odbc/DbError.h"

#include <QString>

#include <sql.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

namespace fq::odbc {

class Environment;

// One ODBC connection handle, connected by connect() and disconnected and freed when the last
// reference goes (the Connection and any result set still being read hold one).
//
// Every driver call that may wait for the server runs inside a Call, so that the program can
// tell what is waiting and for how long, and can cut the connection when its server stops
// answering or the user cancels. Cutting shuts the connection's socket down: the driver's
// blocked read returns at once, and the call fails as on a lost connection.
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

    // For the watch over all connections (always with the watch's lock held):
    // how long the call in flight on the connection has had nothing from the server, and whose
    // call it is; nothing when no call is in flight.
    struct Silence {
        std::thread::id caller;
        std::chrono::milliseconds silent{0};
    };
    std::optional<Silence> silence(std::chrono::steady_clock::time_point now) const;
    const QString& driver() const noexcept { return driver_; }
    // Shuts the connection's socket down, so that the call in flight fails at once. False when
    // the socket is not known (the connection is then left to the driver's own timeouts).
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
    QString driver_;
    // A duplicate of the driver's socket, kept to shut it down from another thread; -1 unknown.
    std::atomic<int> socket_{-1};
    std::atomic<std::int64_t> callStart_{0}; // steady clock, nanoseconds; 0 while no call runs
    std::atomic<std::thread::id> caller_{};
    std::atomic<int> interruption_{static_cast<int>(Interruption::None)};
};

} // namespace fq::odbc
