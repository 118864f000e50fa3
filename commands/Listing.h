#pragma once

#include "sql/ConnectionSettings.h"

#include <memory>

namespace fq::ui {
class TableList;
class Dialogs;
} // namespace fq::ui
namespace fq::odbc {
class Connection;
}

namespace fq::commands {

// The table manager's listing of both databases, with its one listing connection shared by both
// servers: each opening puts a new connection in place of the one held before, which closes it.
// After the two loads it holds the MySQL connection, open and idle until the listing goes.
class TableListing {
public:
    TableListing();
    ~TableListing();
    TableListing(const TableListing&) = delete;
    TableListing& operator=(const TableListing&) = delete;

    // Open the listing connection: MySQL with the connection string in command order, SQL Server
    // with its one string. Its listing reads buffered rows, so that the result reports its row
    // count. Failures are thrown as DbError (a SQL Server value the driver cannot take as
    // Refusal); the listing connection then holds the unopened connection.
    void OpenMySQLConnection(const sql::ConnectionSettings& s);
    void OpenMSSQLConnection(const sql::ConnectionSettings& s);

    // Replace the entries of the list with the tables of the MySQL database ("SHOW TABLES;") or
    // of the SQL Server database (the catalog's tables), each name exactly as the server reports
    // it. After a non-empty load entry 0 is the current item. A listing that fails is reported in
    // one message box naming the server, with the driver's words; the list is then left empty, as
    // it is after any other failure (which is thrown on).
    void LoadMySQLTables(ui::TableList& list, const sql::ConnectionSettings& s,
                         ui::Dialogs& dialogs);
    void LoadMSSQLTables(ui::TableList& list, const sql::ConnectionSettings& s,
                         ui::Dialogs& dialogs);

private:
    void openListing(const QString& connectionString);

    std::unique_ptr<odbc::Connection> listingConnection_;
};

} // namespace fq::commands
