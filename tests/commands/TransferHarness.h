#pragma once

#include "commands/CommandContext.h"
#include "odbc/Value.h"
#include "support/MemoryTableList.h"
#include "support/Servers.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace fq::test {

// One connection as the server's log tells it: its statements in the order sent (the driver's
// own session set-up left out), and whether it was closed.
struct LoggedSession {
    QString id;
    QString login;
    QStringList statements;
    bool closed = false;
};

// Everything a transfer command touches, widget-free, against the local servers: both lists,
// boxes that answer from a queue, the pointer, the settings, and the servers' logs.
class TransferHarness {
public:
    TransferHarness();

    test::MemoryTableList mysqlList;
    test::MemoryTableList mssqlList;
    FakeDialogs dialogs;
    FakePointer pointer;
    sql::ConnectionSettings settings;
    int settingsReads = 0;

    commands::CommandContext context();

    // Statements run on a fresh connection of the program's own database component (MySQL
    // connections with backslashes as plain characters).
    static void exec(Server server, const QStringList& statements);
    static void dropIfExists(Server server, const QString& table);
    // Every row, ordered by the first column (or as the server returns them).
    static QList<QList<odbc::Value>> rows(Server server, const QString& table,
                                          bool orderByFirst = true);
    static long long count(Server server, const QString& table);
    static QStringList tables(Server server);

    void markLogs();
    // Connections logged since the mark whose statements mention any of the names. The servers
    // log a logout a moment after the client has gone: this waits (up to 10 s) until each of
    // them is logged as closed.
    QList<LoggedSession> sessionsMentioning(Server server, const QStringList& names) const;
    // Every connection logged since the mark.
    QList<LoggedSession> sessionsSinceMark(Server server) const;

private:
    LogWatcher mysqlLog_;
    LogWatcher mssqlLog_;
};

// The sessions whose statements mention any of the names.
QList<LoggedSession> mentioning(const QList<LoggedSession>& sessions, const QStringList& names);

} // namespace fq::test
