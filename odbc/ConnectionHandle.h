#pragma once

#include <QString>

#include <sql.h>

#include <memory>

namespace fq::odbc {

class Environment;

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
    // The driver's SQL_DRIVER_VER ("03.01.0015"); empty when it does not say.
    const QString& driverVersion() const noexcept { return driverVersion_; }

private:
    // A text of SQLGetInfoW; empty when the driver does not give it.
    QString infoText(SQLUSMALLINT what) const;

    std::shared_ptr<Environment> env_;
    SQLHDBC dbc_ = nullptr;
    bool connected_ = false;
    bool textAsUtf8_ = false;
    QString driverVersion_;
};

} // namespace fq::odbc
