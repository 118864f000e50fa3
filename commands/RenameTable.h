#pragma once

#include "db/CommandContext.h"

namespace fq::db {

// "Delete Table(s)" beside the SQL Server list: drops every selected table of List1.
void DropMSSQLTables(const CommandContext& ctx);
// "Rename Table" beside the SQL Server list: renames the one selected table of List1.
void RenameMSSQLTable(const CommandContext& ctx);

} // namespace fq::db
