#include "transfer/SendTables.h"

namespace fq::transfer {

void SendTablesToMySQL(const db::CommandContext&) {}
void SendTablesToMSSQL(const db::CommandContext&) {}

} // namespace fq::transfer
