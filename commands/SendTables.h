#pragma once

#include "db/CommandContext.h"

namespace fq::transfer {

// "Send Table(s) to MySQL": copies the selected tables of List1 to the MySQL database.
void SendTablesToMySQL(const db::CommandContext& ctx);
// "Send Table(s) to MS SQL Server": copies the selected tables of List3 to SQL Server.
void SendTablesToMSSQL(const db::CommandContext& ctx);

} // namespace fq::transfer
