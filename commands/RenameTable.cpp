#include "commands/RenameTable.h"

#include "commands/TableCommands.h"
#include "sql/ConnectionStrings.h"
#include "sql/Statements.h"
#include "ui/Pointer.h"

#include <optional>

namespace fq::commands {

using namespace tablecommands;

void RenameMySQLTable(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mysqlList))
        return;
    const auto selection = soleSelection(ctx, ctx.mysqlList);
    if (!selection)
        return;
    // The hourglass only once a name has been given.
    const QString newName = askNewName(ctx, selection->name);
    if (newName.isEmpty())
        return;
    ui::PointerGuard pointer(ctx.pointer);
    renameSelected(
        ctx, ctx.mysqlList,
        Target{QStringLiteral("the MySQL server"), &sql::MySQLConnectionStringCommandOrder},
        *selection, newName, sql::mysqlRenameTable(selection->name, newName));
}

void RenameMSSQLTable(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mssqlList))
        return;
    const auto selection = soleSelection(ctx, ctx.mssqlList);
    if (!selection)
        return;
    // The hourglass stands over the window while the input box is open.
    ui::PointerGuard pointer(ctx.pointer);
    const QString newName = askNewName(ctx, selection->name);
    if (newName.isEmpty())
        return;
    renameSelected(ctx, ctx.mssqlList,
                   Target{QStringLiteral("the MS SQL Server"), &sql::MSSQLConnectionString},
                   *selection, newName, sql::mssqlRenameTable(selection->name, newName));
}

} // namespace fq::commands
