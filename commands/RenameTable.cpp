#include "db/MSSQL.h"

#include "db/ConnectionStrings.h"
#include "db/TableCommands.h"
#include "transfer/SqlText.h"
#include "ui/Pointer.h"
#include "ui/TableList.h"

namespace fq::db {

using namespace tablecommands;

namespace {

const Target kSqlServer{QStringLiteral("the MS SQL Server"), &MSSQLConnectionString};

QString dropStatement(const QString& name) {
    return QStringLiteral("DROP TABLE ") + sql::bracketed(name) + u';';
}

// sp_rename reads its first argument as a possibly qualified object name ("a.b" is table b of
// schema a; brackets delimit), so any name that is not a plain identifier, or is a reserved
// word, goes in bracketed: "orders" stays 'orders', "a]b" becomes '[a]]b]'. The second
// argument is taken as it stands: it only needs to be a sound string literal.
QString spRenameStatement(const QString& oldName, const QString& newName) {
    return QStringLiteral("sp_rename ") + sql::mssqlString(sql::mssqlBareName(oldName)) +
           QStringLiteral(", ") + sql::mssqlString(newName);
}

} // namespace

void DropMSSQLTables(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mssqlList))
        return;
    ctx.pointer.SetMousePointer(ui::kPointerHourglass);
    if (dropSelected(ctx, ctx.mssqlList, kSqlServer, &dropStatement))
        ctx.pointer.SetMousePointer(ui::kPointerDefault);
}

void RenameMSSQLTable(const CommandContext& ctx) {
    if (!hasCurrentItem(ctx, ctx.mssqlList))
        return;
    const auto selection = soleSelection(ctx, ctx.mssqlList);
    if (!selection)
        return;
    // The hourglass stands over the window while the input box is open.
    ctx.pointer.SetMousePointer(ui::kPointerHourglass);
    const QString newName = askNewName(ctx, selection->name);
    if (newName.isEmpty()) {
        ctx.pointer.SetMousePointer(ui::kPointerArrow);
        return;
    }
    if (renameSelected(ctx, ctx.mssqlList, kSqlServer, *selection, newName,
                       spRenameStatement(selection->name, newName)))
        ctx.pointer.SetMousePointer(ui::kPointerArrow);
}

} // namespace fq::db
