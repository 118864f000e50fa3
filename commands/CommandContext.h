#pragma once

#include "sql/ConnectionSettings.h"
#include "ui/Dialogs.h"

#include <QString>

#include <functional>

namespace fq::ui {
class TableList;
class Pointer;
class Progress;
} // namespace fq::ui
namespace fq::odbc {
class Connection;
class DbError;
} // namespace fq::odbc
namespace fq::sql {
class Refusal;
}

namespace fq::commands {

// Reads the settings at the moment a connection string is built (the setup window's boxes in
// the program, fixed values in tests).
using SettingsSource = std::function<sql::ConnectionSettings()>;

// What a table manager command touches: both lists, the boxes, the connection settings of the
// moment, the window's pointer, and where long work reports its progress and learns that it is
// to stop (none: nothing is shown and nothing stops it). The commands never see a widget.
struct CommandContext {
    ui::TableList& mysqlList; // List3
    ui::TableList& mssqlList; // List1
    ui::Dialogs& dialogs;
    ui::Pointer& pointer;
    SettingsSource settings;
    ui::Progress* progress = nullptr;
};

// One of sql/'s connection strings as its driver is to be handed it, with the process's bounds on
// waiting. Throws sql::Refusal for a value the driver cannot take whole.
QString driverString(const QString& connectionString);
// Opens the connection with the driver's string of one of sql/'s connection strings. Throws
// odbc::DbError, or sql::Refusal, before anything is sent, for a value the driver cannot take.
void openConnection(odbc::Connection& connection, const QString& connectionString);

// True once the user has asked the running command to stop (Cancel, or closing the window).
bool stopRequested(const CommandContext& ctx);

// What was refused, in words: a server's own words with its SQLSTATE and native error number as
// the details, or the program's own refusal, which has no details. A connection cut because its
// server stopped answering says so, with the driver's words as the details.
struct Refused {
    QString words;
    QString detail;
};
Refused refusedBy(const odbc::DbError& error);
Refused refusedBy(const sql::Refusal& refusal);

// What kind of failure an error of the database layer is: a connection that was cut says so
// itself (its server stopped answering, or the user stopped the command); any other error is the
// step's own kind (NotConnected while a connection opens, Refused once it is open).
ui::Failure failureOf(const odbc::DbError& error, ui::Failure otherwise);

// The one way a command reports a failure: a message box (OK) whose text says what failed
// (naming the table and the step) followed by the words of whoever refused, if anyone did, and
// then the note, when there is one, of what the command did before it stopped that the user must
// learn of. The kind tells a front end that answers with more than the text what stopped it.
void reportFailure(ui::Dialogs& dialogs, ui::Failure kind, const QString& whatFailed,
                   const Refused& refused, const QString& note = {});

} // namespace fq::commands
