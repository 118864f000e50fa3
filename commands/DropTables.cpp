#include "commands/DropTables.h"

#include "commands/TableCommands.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "ui/Pointer.h"

namespace fq::commands {

using namespace tablecommands;

void DropMySQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mysqlList))
        return;
    ui::PointerGuard pointer(ctx.pointer);
    // Dropping connects with the key order of the test button.
    dropSelected(ctx, ctx.mysqlList,
                 Target{QStringLiteral("the MySQL server"), &sql::MySQLConnectionStringTestOrder},
                 &sql::mysqlDropTable);
}

void DropMSSQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mssqlList))
        return;
    ui::PointerGuard pointer(ctx.pointer);
    // A drop that went through leaves the window's pointer setting at 0; one that failed, the
    // arrow.
    if (dropSelected(ctx, ctx.mssqlList,
                     Target{QStringLiteral("the MS SQL Server"), &sql::MSSQLConnectionString},
                     &sql::mssqlDropCommand))
        pointer.endWith(ui::kPointerDefault);
}

} // namespace fq::commands
