#pragma once

#include "commands/CommandContext.h"
#include "odbc/Value.h"
#include "sql/Server.h"
#include "support/MemoryTableList.h"
#include "support/TestSupport.h"

#include <QList>
#include <QString>
#include <QStringList>

// The harness of every test that runs commands against the local servers: the servers' logs as
// the witnesses of what was sent, set-up and checks on the servers, and the table manager as the
// commands see it.
namespace fq::test {

// One connection as the server's own log tells it.
struct Session {
    QString id;
    QString login;
    bool loggedIn = true; // false when the server refused the login
    // In the order sent; the drivers' own SET statements are left out (the program's sql_mode
    // set-up is kept).
    QStringList statements;
    bool closed = false;
    // Lines of the log, counted from the mark: the login, the last statement, the logout.
    int firstLine = -1;
    int lastStatementLine = -1;
    int lastLine = -1;
};

// A server's log from a mark on: MariaDB's general log, or the test double's statement log.
class ServerLog {
public:
    explicit ServerLog(Server server);

    void mark();
    // Every connection logged since the mark.
    QList<Session> sessions() const;
    // The connections since the mark whose statements mention any of the names. The servers log
    // a logout a moment after the client has gone: this waits (up to 10 s) until each of them is
    // logged as closed.
    QList<Session> sessionsMentioning(const QStringList& names) const;
    // The connections since the mark made with this login, refused ones included.
    QList<Session> sessionsOf(const QString& login) const;

private:
    Server server_;
    LogWatcher log_;
};

// Set-up and checks on a local server through the program's own database component; MySQL
// connections run with backslashes as plain characters. A failure throws odbc::DbError.
void exec(Server server, const QStringList& statements);
void dropIfExists(Server server, const QString& table);
// Every row, ordered by the first column (or as the server returns them).
QList<QList<odbc::Value>> rows(Server server, const QString& table, bool orderByFirst = true);
long long count(Server server, const QString& table);
QStringList tables(Server server);
// Statements run as root through the local MariaDB's socket; false and a warning with the
// client's words when they fail.
bool rootSql(const QString& sql);

// The table manager as the commands see it, without widgets: both lists, boxes that answer from
// a queue, the pointer, and the settings of the local servers.
struct TestWindow {
    MemoryTableList mysqlList;
    MemoryTableList mssqlList;
    FakePointer pointer;
    FakeDialogs dialogs{&pointer};
    sql::ConnectionSettings settings = localServers();
    int settingsReads = 0;

    commands::CommandContext context();
    ui::TableList& list(Server server);
};

// Fills the list with the entries, selects the given ones and puts the current item on
// `current` (none when it is empty or not an entry).
void fillList(ui::TableList& list, const QStringList& entries, const QStringList& selected = {},
              const QString& current = {});
QStringList entriesOf(const ui::TableList& list);
QStringList selectedOf(const ui::TableList& list);

} // namespace fq::test
