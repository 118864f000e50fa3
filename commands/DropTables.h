#pragma once

#include "commands/CommandContext.h"

namespace fq::commands {

// "Delete Table(s)" beside the MySQL list: drops every selected table of List3.
void DropMySQLTables(const CommandContext& ctx);
// "Delete Table(s)" beside the SQL Server list: drops every selected table of List1.
void DropMSSQLTables(const CommandContext& ctx);

} // namespace fq::commands
