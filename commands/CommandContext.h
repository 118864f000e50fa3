#pragma once

#include "db/ConnectionSettings.h"

#include <QString>

namespace fq::ui {
class TableList;
class Dialogs;
class Pointer;
} // namespace fq::ui

namespace fq::db {

class DbError;

// What a table manager command touches: both lists, the boxes, the connection settings of the
// moment, and the window's pointer. The commands never see a widget.
struct CommandContext {
    ui::TableList& mysqlList; // List3
    ui::TableList& mssqlList; // List1
    ui::Dialogs& dialogs;
    ui::Pointer& pointer;
    SettingsSource settings;
};

// The one way a command reports a database failure: a message box (OK) whose text says what
// failed (naming the table and the step) followed by the server's own words; the SQLSTATE and
// native error number go into the details.
void ReportFailure(ui::Dialogs& dialogs, const QString& whatFailed, const DbError& error);

} // namespace fq::db
