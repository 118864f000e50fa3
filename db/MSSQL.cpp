#include "db/MSSQL.h"

#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "transfer/SqlText.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/TableList.h"

#include <optional>

namespace fq::db {

namespace {

const QString kSelectTable = QStringLiteral("Please select a table to insert");
const QString kSelectOne = QStringLiteral("Please select just one table to rename");

// A failure stops the command where it happened: the connection is released, the user is told
// which table and what the server said, and the pointer goes back to the arrow. Whatever was
// done before stays done.
void stopOnFailure(const CommandContext& ctx, std::optional<Connection>& connection,
                   const QString& whatFailed, const DbError& error) {
    connection.reset();
    ReportFailure(ctx.dialogs, whatFailed, error);
    ctx.pointer.SetMousePointer(ui::kPointerArrow);
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
    ui::TableList& list = ctx.mssqlList;
    if (list.ListIndex() == -1) {
        ctx.dialogs.MsgBox(kSelectTable, ui::kOkOnly);
        return;
    }
    ctx.pointer.SetMousePointer(ui::kPointerHourglass);

    // One connection object for the whole press, opened and closed once per table. The walk
    // goes from the bottom up so that removing an entry leaves the positions still to visit
    // where they were. A name listed twice (two owners) is dropped by its bare name: the
    // server decides which table that is, and only the visited entry goes.
    std::optional<Connection> connection;
    const int count = list.ListCount();
    for (int p = count - 1; p >= 0; --p) {
        if (!list.Selected(p))
            continue;
        const QString name = list.List(p);
        if (!connection)
            connection.emplace();
        try {
            connection->Open(MSSQLConnectionString(ctx.settings()));
        } catch (const DbError& e) {
            stopOnFailure(ctx, connection,
                          QStringLiteral("Could not connect to the MS SQL Server to drop the "
                                         "table \"%1\".")
                              .arg(name),
                          e);
            return;
        }
        try {
            connection->Execute(QStringLiteral("DROP TABLE ") + sql::bracketed(name) + u';');
        } catch (const DbError& e) {
            stopOnFailure(
                ctx, connection,
                QStringLiteral("The MS SQL Server did not drop the table \"%1\".").arg(name), e);
            return;
        }
        connection->Close();
        list.RemoveItem(p);
    }
    connection.reset();
    ctx.pointer.SetMousePointer(ui::kPointerDefault);
}

void RenameMSSQLTable(const CommandContext& ctx) {
    ui::TableList& list = ctx.mssqlList;
    if (list.ListIndex() == -1) {
        ctx.dialogs.MsgBox(kSelectTable, ui::kOkOnly);
        return;
    }
    int selectedCount = 0;
    int position = -1;
    QString oldName;
    for (int p = 0; p < list.ListCount(); ++p) {
        if (list.Selected(p)) {
            ++selectedCount;
            oldName = list.List(p);
            position = p;
        }
    }
    if (selectedCount != 1) {
        ctx.dialogs.MsgBox(kSelectOne, ui::kOkOnly);
        return;
    }

    // The hourglass stands over the window while the input box is open.
    ctx.pointer.SetMousePointer(ui::kPointerHourglass);
    const QString newName =
        ctx.dialogs.InputBox(QStringLiteral("Enter new name of ") + oldName + u':',
                             QString::fromLatin1(ui::kAppTitle), oldName);
    if (newName.isEmpty()) {
        ctx.pointer.SetMousePointer(ui::kPointerArrow);
        return;
    }

    std::optional<Connection> connection;
    connection.emplace();
    const QString what = QStringLiteral("the table \"%1\" to \"%2\"").arg(oldName, newName);
    try {
        connection->Open(MSSQLConnectionString(ctx.settings()));
    } catch (const DbError& e) {
        stopOnFailure(
            ctx, connection,
            QStringLiteral("Could not connect to the MS SQL Server to rename ") + what + u'.', e);
        return;
    }
    try {
        connection->Execute(spRenameStatement(oldName, newName));
    } catch (const DbError& e) {
        stopOnFailure(ctx, connection,
                      QStringLiteral("The MS SQL Server did not rename ") + what + u'.', e);
        return;
    }
    connection->Close();
    connection.reset();

    list.RemoveItem(position);
    list.AddItem(newName);
    ctx.pointer.SetMousePointer(ui::kPointerArrow);
}

} // namespace fq::db
