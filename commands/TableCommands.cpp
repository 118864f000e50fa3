#include "commands/TableCommands.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/Refusal.h"
#include "ui/Dialogs.h"
#include "ui/TableList.h"

namespace fq::commands::tablecommands {

namespace {

QString capitalized(QString text) {
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// What stopped a command: the words for what failed, whoever refused, and its kind. A server's
// refusal also keeps its native error number, and whether its server had stopped answering.
struct Failure {
    QString whatFailed;
    Refused refused;
    ui::Failure kind;
    long nativeError = 0;
    bool stoppedAnswering = false;
};

Failure failed(const QString& whatFailed, const odbc::DbError& e, ui::Failure kind) {
    return Failure{whatFailed, refusedBy(e), kind, e.nativeError(),
                   e.interruption() == odbc::Interruption::StoppedAnswering};
}

// What the server's failure says, for a statement meant to do the work ("drop the table ...").
QString didNot(const Target& target, const QString& work, const odbc::DbError& e) {
    if (e.interruption() == odbc::Interruption::StoppedAnswering)
        return QStringLiteral("%1 stopped answering when asked to %2; whether it did is not known.")
            .arg(capitalized(target.serverName), work);
    return QStringLiteral("%1 did not %2.").arg(capitalized(target.serverName), work);
}

// Opens the command's connection (made on first use) for the work. On a failure the connection
// is released and the failure given back.
std::optional<Failure> open(const CommandContext& ctx, std::optional<odbc::Connection>& connection,
                            const Target& target, const QString& work) {
    if (!connection)
        connection.emplace();
    try {
        openConnection(*connection, target.connectionString(ctx.settings()));
    } catch (const odbc::DbError& e) {
        connection.reset();
        const ui::Failure kind = failureOf(e, ui::Failure::NotConnected);
        if (e.interruption() == odbc::Interruption::StoppedAnswering)
            return failed(didNot(target, work, e), e, kind);
        return failed(QStringLiteral("Could not connect to %1 to %2.").arg(target.serverName, work),
                      e, kind);
    } catch (const sql::Refusal& r) {
        // A setting the driver cannot take: nothing was tried.
        connection.reset();
        return Failure{
            QStringLiteral("Could not connect to %1 to %2.").arg(target.serverName, work),
            refusedBy(r), ui::Failure::NotConnected};
    }
    return std::nullopt;
}

// Runs one statement on the open connection.
std::optional<Failure> execute(odbc::Connection& connection, const Target& target,
                               const QString& statement, const QString& work) {
    try {
        connection.execute(statement);
    } catch (const odbc::DbError& e) {
        return failed(didNot(target, work, e), e, failureOf(e, ui::Failure::Refused));
    }
    return std::nullopt;
}

// Opens the connection, runs one statement and closes the connection again. On a failure the
// connection is released and the failure given back.
std::optional<Failure> runOnce(const CommandContext& ctx,
                               std::optional<odbc::Connection>& connection, const Target& target,
                               const QString& statement, const QString& work) {
    if (std::optional<Failure> failure = open(ctx, connection, target, work))
        return failure;
    if (std::optional<Failure> failure = execute(*connection, target, statement, work)) {
        connection.reset();
        return failure;
    }
    connection->close();
    return std::nullopt;
}

QString table(const QString& name) {
    return QStringLiteral("the table \"%1\"").arg(name);
}

QString view(const QString& name) {
    return QStringLiteral("the view \"%1\"").arg(name);
}

// Drops the name with one connection: DROP TABLE, and DROP VIEW when the server's refusal says
// it may be a view. The failure of the last statement sent, beside the first refusal.
struct DropFailure {
    Failure first;
    std::optional<Failure> view;
    const Failure& last() const { return view ? *view : first; }
};

std::optional<DropFailure> drop(const CommandContext& ctx,
                                std::optional<odbc::Connection>& connection, const Target& target,
                                const DropRules& rules, const QString& name) {
    const QString work = QStringLiteral("drop ") + table(name);
    if (std::optional<Failure> failure = open(ctx, connection, target, work))
        return DropFailure{*failure, std::nullopt};
    std::optional<Failure> refused = execute(*connection, target, rules.dropTable(name), work);
    std::optional<Failure> viewRefused;
    if (refused && !refused->stoppedAnswering && rules.mayBeView.contains(refused->nativeError)) {
        viewRefused = execute(*connection, target, rules.dropView(name),
                              QStringLiteral("drop ") + view(name));
        if (!viewRefused)
            refused.reset();
    }
    if (!refused) {
        connection->close();
        return std::nullopt;
    }
    connection.reset();
    return DropFailure{*refused, viewRefused};
}

} // namespace

bool hasCurrentItem(const CommandContext& ctx, const ui::TableList& list) {
    if (list.ListIndex() != -1)
        return true;
    ctx.dialogs.MsgBox(QStringLiteral("Please select a table to insert"), ui::kOkOnly);
    return false;
}

std::optional<Selection> soleSelection(const CommandContext& ctx, const ui::TableList& list) {
    if (const QList<ui::ListEntry> selected = list.selectedEntries(); selected.size() == 1)
        return Selection{selected[0].position, selected[0].text};
    ctx.dialogs.MsgBox(QStringLiteral("Please select just one table to rename"), ui::kOkOnly);
    return std::nullopt;
}

bool dropSelected(const CommandContext& ctx, ui::TableList& list, const Target& target,
                  const DropRules& rules) {
    // One connection object for the whole press, opened and closed once per table. The
    // selection is read once and walked from the bottom up, so that removing an entry as soon as
    // its table is gone leaves the positions still to visit where they were. A name listed twice
    // (two owners) is dropped by its bare name: the server decides which table that is, and only
    // the visited entry goes.
    std::optional<odbc::Connection> connection;
    const QList<ui::ListEntry> selected = list.selectedEntries();
    for (auto entry = selected.crbegin(); entry != selected.crend(); ++entry) {
        // Asked to stop (the program is ending): what was dropped stays dropped, the rest stays.
        if (stopRequested(ctx))
            return false;
        const int p = entry->position;
        const QString& name = entry->text;
        const std::optional<DropFailure> failure = drop(ctx, connection, target, rules, name);
        if (!failure) {
            list.RemoveItem(p);
            continue;
        }
        const Failure& last = failure->last();
        if (!last.stoppedAnswering && rules.notThere.contains(last.nativeError)) {
            // Gone already (someone else dropped it): the list follows the server, so that the
            // next drop does not fail on it again. Named as the server first called it, with
            // the words that said so: an unknown table that is no view either is a table.
            const bool wasTable = rules.notThere.contains(failure->first.nativeError);
            list.RemoveItem(p);
            reportFailure(
                ctx.dialogs, ui::Failure::Refused,
                QStringLiteral("%1 says %2 does not exist; its entry is removed from the list.")
                    .arg(capitalized(target.serverName), wasTable ? table(name) : view(name)),
                wasTable ? failure->first.refused : last.refused);
        } else {
            reportFailure(ctx.dialogs, last.kind, last.whatFailed, last.refused);
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
        reportFailure(ctx.dialogs, failure->kind, failure->whatFailed, failure->refused);
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
