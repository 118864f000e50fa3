#include "db/MySQL.h"

#include "db/ConnectionStrings.h"
#include "db/TableCommands.h"
#include "transfer/SqlText.h"
#include "ui/Pointer.h"
#include "ui/TableList.h"

namespace fq::db {

using namespace tablecommands;

namespace {

QString dropStatement(const QString& name) {
    return QStringLiteral("DROP TABLE ") + sql::backticked(name);
}

} // namespace

void DropMySQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mysqlList))
        return;
    ctx.pointer.SetMousePointer(ui::kPointerHourglass);
    // Dropping connects with the key order of the test button.
    if (dropSelected(ctx, ctx.mysqlList,
                     Target{QStringLiteral("the MySQL server"), &MySQLConnectionStringTestOrder},
                     &dropStatement))
        ctx.pointer.SetMousePointer(ui::kPointerArrow);
}

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
    ctx.pointer.SetMousePointer(ui::kPointerHourglass);
    if (renameSelected(ctx, ctx.mysqlList,
                       Target{QStringLiteral("the MySQL server"),
                              &MySQLConnectionStringCommandOrder},
                       *selection, newName,
                       QStringLiteral("RENAME TABLE ") + sql::backticked(selection->name) +
                           QStringLiteral(" TO ") + sql::backticked(newName)))
        ctx.pointer.SetMousePointer(ui::kPointerArrow);
}

} // namespace fq::db
