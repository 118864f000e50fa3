#include "db/MSSQL.h"

namespace fq::db {

void DropMSSQLTables(const CommandContext&) {}
void RenameMSSQLTable(const CommandContext&) {}

} // namespace fq::db
