#pragma once

#include "sql/ConnectionSettings.h"
#include "sql/Server.h"

namespace fq::ui {
class Dialogs;
class Pointer;
} // namespace fq::ui

namespace fq::commands {

// True when a connection with the MySQL string in test order opens. Shows nothing, keeps
// nothing open.
bool CanConnectMySQL(const sql::ConnectionSettings& s);
// True when a connection with the SQL Server string opens. Shows nothing, keeps nothing open.
bool CanConnectMSSQL(const sql::ConnectionSettings& s);

// The Test Connection action of the setup window: hourglass, one connection attempt, then
// "Connection successful." or the failure message with the driver's words as detail, and the
// arrow again in every case.
void TestConnection(Server server, const sql::ConnectionSettings& s, ui::Dialogs& dialogs,
                    ui::Pointer& pointer);

// The check of the setup window's OK: the MySQL connection (test order), then, once it opened,
// the SQL Server connection. True when both open. Otherwise false, after Test Connection's
// failure message for the first that failed, naming its database ("Could not connect to the
// MySQL database. ..."), with the driver's words as details. Keeps nothing open; no pointer.
bool ConfirmConnections(const sql::ConnectionSettings& s, ui::Dialogs& dialogs);

} // namespace fq::commands
