#include "db/MySQL.h"

namespace fq::db {

void DropMySQLTables(const CommandContext&) {}
void RenameMySQLTable(const CommandContext&) {}

} // namespace fq::db
