#pragma once

#include "commands/CommandContext.h"

namespace fq::commands {

// "Rename Table" beside the MySQL list: renames the one selected table of List3.
void RenameMySQLTable(const CommandContext& ctx);
// "Rename Table" beside the SQL Server list: renames the one selected table of List1.
void RenameMSSQLTable(const CommandContext& ctx);

} // namespace fq::commands
