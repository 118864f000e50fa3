#include "commands/TableCommands.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "ui/Dialogs.h"
#include "ui/TableList.h"

namespace fq::commands::tablecommands {

namespace {

QString capitalized(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// What stopped a command: the words for what failed, and the failure itself.
struct Failure {
    QString whatFailed;
    odbc::DbError error;
};

// Opens the connection, runs one statement and closes the connection again. On a failure the
// connection is released and the failure given back.
std::optional<Failure> runOnce(const CommandContext& ctx,
                               std::optional<odbc::Connection>& connection, const Target& target,
                               const QString& statement, const QString& work) {
    if (!connection)
        connection.emplace();
    QString whatFailed;
    try {
        whatFailed = QStringLiteral("Could not connect to %1 to %2.").arg(target.serverName, work);
        connection->Open(target.connectionString(ctx.settings()));
        whatFailed = QStringLiteral("%1 did not %2.").arg(capitalized(target.serverName), work);
        connection->Execute(statement);
    } catch (const odbc::DbError& e) {
        connection.reset();
        if (e.interruption() == odbc::Interruption::StoppedAnswering)
            whatFailed = QStringLiteral("%1 stopped answering when asked to %2; whether it did is "
                                        "not known.")
                             .arg(capitalized(target.serverName), work);
        return Failure{whatFailed, e};
    }
    connection->Close();
    return std::nullopt;
}

} // namespace

bool hasCurrentItem(const CommandContext& ctx, const ui::TableList& list) {
    if (list.ListIndex() != -1)
        return true;
    ctx.dialogs.MsgBox(QStringLiteral("Please select a table to insert"), ui::kOkOnly);
    return false;
}

std::optional<Selection> soleSelection(const CommandContext& ctx, const ui::TableList& list) {
    int selectedCount = 0;
    Selection selection;
    for (int p = 0; p < list.ListCount(); ++p) {
        if (list.Selected(p)) {
            ++selectedCount;
            selection = Selection{p, list.List(p)};
        }
    }
    if (selectedCount == 1)
        return selection;
    ctx.dialogs.MsgBox(QStringLiteral("Please select just one table to rename"), ui::kOkOnly);
    return std::nullopt;
}

bool dropSelected(const CommandContext& ctx, ui::TableList& list, const Target& target,
                  QString (*dropStatement)(const QString& name), long noSuchTable) {
    // One connection object for the whole press, opened and closed once per table. The walk
    // goes from the bottom up so that removing an entry leaves the positions still to visit
    // where they were. A name listed twice (two owners) is dropped by its bare name: the
    // server decides which table that is, and only the visited entry goes.
    std::optional<odbc::Connection> connection;
    const int count = list.ListCount();
    for (int p = count - 1; p >= 0; --p) {
        if (!list.Selected(p))
            continue;
        // Asked to stop (the program is ending): what was dropped stays dropped, the rest stays.
        if (stopRequested(ctx))
            return false;
        const QString name = list.List(p);
        const std::optional<Failure> failure =
            runOnce(ctx, connection, target, dropStatement(name),
                    QStringLiteral("drop the table \"%1\"").arg(name));
        if (!failure) {
            list.RemoveItem(p);
            continue;
        }
        if (failure->error.nativeError() == noSuchTable) {
            // Gone already (someone else dropped it): the list follows the server, so that the
            // next drop does not fail on it again.
            list.RemoveItem(p);
            reportFailure(ctx.dialogs,
                          QStringLiteral("%1 says the table \"%2\" does not exist; its entry is "
                                         "removed from the list.")
                              .arg(capitalized(target.serverName), name),
                          refusedBy(failure->error));
        } else {
            reportFailure(ctx.dialogs, failure->whatFailed, refusedBy(failure->error));
        }
        return false;
    }
    return true;
}

bool renameSelected(const CommandContext& ctx, ui::TableList& list, const Target& target,
                    const Selection& selection, const QString& newName,
                    const QString& renameStatement) {
    std::optional<odbc::Connection> connection;
    if (const std::optional<Failure> failure = runOnce(
            ctx, connection, target, renameStatement,
            QStringLiteral("rename the table \"%1\" to \"%2\"").arg(selection.name, newName))) {
        reportFailure(ctx.dialogs, failure->whatFailed, refusedBy(failure->error));
        return false;
    }
    list.RemoveItem(selection.position);
    list.AddItem(newName);
    return true;
}

QString askNewName(const CommandContext& ctx, const QString& oldName) {
    return ctx.dialogs.InputBox(QStringLiteral("Enter new name of ") + oldName + u':',
                                QString::fromLatin1(ui::kAppTitle), oldName);
}

} // namespace fq::commands::tablecommands
