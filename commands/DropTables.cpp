#include "commands/DropTables.h"

#include "commands/TableCommands.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "ui/Pointer.h"

namespace fq::commands {

using namespace tablecommands;

namespace {

// The servers' numbers for the answers a drop meets. MySQL: "Unknown table" (1051), which MySQL
// gives for a view too, MariaDB's "... is a view" (1965), MariaDB's "Unknown VIEW" (4092).
// SQL Server: "Cannot drop the table (or view) ..., because it does not exist or you do not have
// permission" (3701), "Cannot use DROP TABLE with ... because ... is a view" (3705).
const DropRules kMySqlDrop{&sql::mysqlDropTable, &sql::mysqlDropView, {1965, 1051}, {1051, 4092}};
const DropRules kMssqlDrop{&sql::mssqlDropCommand, &sql::mssqlDropViewCommand, {3705}, {3701}};

} // namespace

void DropMySQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mysqlList))
        return;
    ui::PointerGuard pointer(ctx.pointer);
    // Dropping connects with the key order of the test button.
    dropSelected(ctx, ctx.mysqlList,
                 Target{QStringLiteral("the MySQL server"), &sql::MySQLConnectionStringTestOrder},
                 kMySqlDrop);
}

void DropMSSQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mssqlList))
        return;
    ui::PointerGuard pointer(ctx.pointer);
    // A drop that went through leaves the window's pointer setting at 0; one that failed, the
    // arrow.
    if (dropSelected(ctx, ctx.mssqlList,
                     Target{QStringLiteral("the MS SQL Server"), &sql::MSSQLConnectionString},
                     kMssqlDrop))
        pointer.endWith(ui::kPointerDefault);
}

} // namespace fq::commands
