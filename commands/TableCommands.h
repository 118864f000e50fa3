#pragma once

#include "commands/CommandContext.h"

#include <QList>
#include <QString>

#include <optional>

// The parts the drop and rename commands of both servers share. Each command keeps its own
// statement, connection string and pointer sequence; these carry out the walk, the connection
// per table, and the stop on a failure.
namespace fq::commands::tablecommands {

// How one server is reached and named in messages ("the MySQL server", "the MS SQL Server").
struct Target {
    QString serverName;
    QString (*connectionString)(const sql::ConnectionSettings&);
};

// False, after showing "Please select a table to insert", when the list has no current item.
bool hasCurrentItem(const CommandContext& ctx, const ui::TableList& list);

// The one selected entry (position, name); otherwise shows "Please select just one table to
// rename" and gives nothing.
struct Selection {
    int position = -1;
    QString name;
};
std::optional<Selection> soleSelection(const CommandContext& ctx, const ui::TableList& list);

// How one server drops a listed name: its statements, and the numbers of its answers.
struct DropRules {
    QString (*dropTable)(const QString& name);
    QString (*dropView)(const QString& name);
    // The refusals of DROP TABLE after which the name may be a view: the server's own "is a
    // view", and an "unknown table" that a server gives for a view as well.
    QList<long> mayBeView;
    // The refusals of DROP TABLE or DROP VIEW that say nothing of that name is there.
    QList<long> notThere;
};

// Drops every selected table of the list from the bottom up, one connection object for the
// press, opened and closed once per table, removing each entry once its table is gone. A name
// the server refuses DROP TABLE for as a view is dropped with DROP VIEW on the same connection.
// On a failure: the connection is released, the failure reported and false returned; what was
// dropped before stays dropped. When the server says that nothing of that name is there, the
// entry goes too, and the message says so.
bool dropSelected(const CommandContext& ctx, ui::TableList& list, const Target& target,
                  const DropRules& rules);

// Renames on the server with one connection, then replaces the entry at the selection's position
// by the new name at its sorted place. On a failure: reported as for dropSelected, the list is
// left as it was, false returned.
bool renameSelected(const CommandContext& ctx, ui::TableList& list, const Target& target,
                    const Selection& selection, const QString& newName,
                    const QString& renameStatement);

// The rename's input box: "Enter new name of <old>:", pre-filled with the old name.
QString askNewName(const CommandContext& ctx, const QString& oldName);

} // namespace fq::commands::tablecommands
