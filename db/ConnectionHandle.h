#pragma once

#include <QString>

#include <sql.h>

#include <memory>

namespace fq::db {

class Environment;
class Statement;

// One ODBC connection handle, connected by connect() and disconnected and freed when the last
// reference goes (the Connection and any result set still being read hold one).
class ConnectionHandle {
public:
    ConnectionHandle();
    ~ConnectionHandle();
    ConnectionHandle(const ConnectionHandle&) = delete;
    ConnectionHandle& operator=(const ConnectionHandle&) = delete;

    // SQLDriverConnectW without prompting; the string is handed over unchanged.
    void connect(const QString& driverString);
    bool connected() const noexcept { return connected_; }
    // MariaDB Connector/ODBC ends wide text at the first NUL character, so its text is read as
    // UTF-8 (the connection's character set), which keeps every character.
    bool textAsUtf8() const noexcept { return textAsUtf8_; }
    SQLHDBC handle() const noexcept { return dbc_; }

    // A connection can stream one result at a time (FreeTDS refuses a second statement while
    // rows are pending). The streaming statement registers here; before another statement
    // runs, finishStreaming() has it read its remaining rows into memory, so the reader of
    // the first result still gets every row.
    void setStreaming(Statement* stmt) noexcept { streaming_ = stmt; }
    void clearStreaming(const Statement* stmt) noexcept {
        if (streaming_ == stmt)
            streaming_ = nullptr;
    }
    void finishStreaming();

private:
    std::shared_ptr<Environment> env_;
    SQLHDBC dbc_ = nullptr;
    bool connected_ = false;
    bool textAsUtf8_ = false;
    Statement* streaming_ = nullptr;
};

} // namespace fq::db
