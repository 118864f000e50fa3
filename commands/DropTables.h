#pragma once

#include "db/CommandContext.h"

namespace fq::db {

// "Delete Table(s)" beside the MySQL list: drops every selected table of List3.
void DropMySQLTables(const CommandContext& ctx);
// "Rename Table" beside the MySQL list: renames the one selected table of List3.
void RenameMySQLTable(const CommandContext& ctx);

} // namespace fq::db
