#include "commands/DropTables.h"

#include "commands/TableCommands.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "ui/Pointer.h"

namespace fq::commands {

using namespace tablecommands;

namespace {

// The servers' numbers for DROP TABLE of a table that is not there: MySQL's "Unknown table",
// SQL Server's "Cannot drop the table ..., because it does not exist or you do not have
// permission".
constexpr long kMySqlUnknownTable = 1051;
constexpr long kMssqlCannotDrop = 3701;

} // namespace

void DropMySQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mysqlList))
        return;
    ui::PointerGuard pointer(ctx.pointer);
    // Dropping connects with the key order of the test button.
    dropSelected(ctx, ctx.mysqlList,
                 Target{QStringLiteral("the MySQL server"), &sql::MySQLConnectionStringTestOrder},
                 &sql::mysqlDropTable, kMySqlUnknownTable);
}

void DropMSSQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mssqlList))
        return;
    ui::PointerGuard pointer(ctx.pointer);
    // A drop that went through leaves the window's pointer setting at 0; one that failed, the
    // arrow.
    if (dropSelected(ctx, ctx.mssqlList,
                     Target{QStringLiteral("the MS SQL Server"), &sql::MSSQLConnectionString},
                     &sql::mssqlDropCommand, kMssqlCannotDrop))
        pointer.endWith(ui::kPointerDefault);
}

} // namespace fq::commands
