#pragma once

#include "db/ConnectionSettings.h"

namespace fq::ui {
class TableList;
class Dialogs;
} // namespace fq::ui

namespace fq::db {

class Connection;

// The listing connection: one program-wide connection shared by both servers. Each opening
// puts a new connection in place of the one held before, which closes it. After the table
// manager's load it holds the MySQL connection, open and idle until the program ends.
// Null before the first opening.
Connection* ListingConnection();
// Releases the listing connection (closing it); the program end does this by itself.
void ReleaseListingConnection();

// Open the listing connection with a client-side cursor, so that results report their row count:
// MySQL with the connection string in command order, SQL Server with its one string.
// Failures are thrown as DbError; the listing connection then holds the unopened connection.
void OpenMySQLConnection(const ConnectionSettings& s);
void OpenMSSQLConnection(const ConnectionSettings& s);

// Replace the entries of the list with the tables of the MySQL database ("SHOW TABLES;") or of
// the SQL Server database (the catalog's tables), each name exactly as the server reports it.
// After a non-empty load entry 0 is the current item. A listing that fails is reported in one
// message box naming the server, with the driver's words; the list is then left empty.
void LoadMySQLTables(ui::TableList& list, const ConnectionSettings& s, ui::Dialogs& dialogs);
void LoadMSSQLTables(ui::TableList& list, const ConnectionSettings& s, ui::Dialogs& dialogs);

} // namespace fq::db
