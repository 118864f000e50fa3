#pragma once

#include "odbc/Result.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <vector>

namespace fq::odbc {

class Environment;
class ConnectionHandle;
class Statement;

// One ODBC connection, opened from a connection string. Move-only; closes itself when
// destroyed. What a server or driver refuses is thrown as DbError; a call on a connection that is
// not open, or opening one that is, as Misuse.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(Connection&&) noexcept;
    Connection& operator=(Connection&&) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the connection with the string as its driver is to be handed it, unchanged but for
    // what depends on the driver found here: a MySQL string gets NO_CACHE=1;FORWARDONLY=1
    // appended where MariaDB's driver is one that then streams results (3.1.17 and later: the
    // first connection of the process with such a driver tells, and is opened again with them).
    void open(const QString& connectionString);
    // Runs one statement. Rows, if any, come back positioned on the first row, streamed or
    // buffered as asked. A statement without rows leaves its handle to the next one (an INSERT
    // per row allocates nothing).
    Result execute(const QString& statement, Rows rows = Rows::Streamed);
    // The same, and the number of rows the statement inserted, updated or deleted (-1 when the
    // driver cannot tell).
    Result execute(const QString& statement, long long* recordsAffected,
                   Rows rows = Rows::Streamed);
    // The same for a statement whose parameter markers ("?") take these whole numbers, in their
    // order. MariaDB's driver prepares such a statement on the server, and so reads the rows of
    // statements it would otherwise run as text without reading their rows (HANDLER ... READ).
    Result execute(const QString& statement, const std::vector<long long>& numbers,
                   Rows rows = Rows::Streamed);
    // The same for a statement whose parameter markers take these long values (texts and
    // bytes), in their order: each goes to the server a piece at a time while the statement runs,
    // so that neither the statement's text nor the driver holds a copy of it whole.
    Result execute(const QString& statement, const std::vector<const Value*>& longValues,
                   long long* recordsAffected);
    void close() noexcept;
    bool isOpen() const noexcept;
    // Cuts the connection when a call on it, freeing a result included, has had nothing from its
    // server for `silentFor`: that call and every later one fail as on a lost connection
    // (Interruption::Cancelled), and nothing done on it afterwards, closing included, waits for
    // the server. Safe from any thread; true when it cut. For a connection whose server's
    // answers are no longer wanted, once it keeps them waiting.
    bool cutIfWaiting(std::chrono::milliseconds silentFor) noexcept;
    // True when a result's rows come from the server as they are read, and false when the
    // driver loads every row of a result into memory at execute (MariaDB's driver before
    // 3.1.17, or opened without NO_CACHE).
    bool streamsResults() const noexcept;

    // The catalog's tables by bare name, in the catalog's order: user tables and views,
    // without the system schemas sys and INFORMATION_SCHEMA.
    QStringList catalogTables();

private:
    Result run(const QString& statement, long long* recordsAffected,
               const std::vector<long long>& numbers, Rows rows,
               const std::vector<const Value*>& longValues = {});

    std::shared_ptr<ConnectionHandle> handle_;
    // The handle of the last statement that returned no rows, ready for the next one.
    std::unique_ptr<Statement> spare_;
    bool streams_ = false;
};

// True for a MariaDB Connector/ODBC version (SQL_DRIVER_VER, "03.01.0017") that streams a
// result's rows with NO_CACHE=1;FORWARDONLY=1 instead of loading them all at once.
bool mariadbStreams(const QString& driverVersion);

} // namespace fq::odbc
