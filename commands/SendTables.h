#pragma once

#include "commands/CommandContext.h"

namespace fq::commands {

// "Send Table(s) to MySQL": copies the selected tables of List1 to the MySQL database.
void SendTablesToMySQL(const CommandContext& ctx);
// "Send Table(s) to MS SQL Server": copies the selected tables of List3 to SQL Server.
void SendTablesToMSSQL(const CommandContext& ctx);

} // namespace fq::commands
