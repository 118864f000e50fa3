#pragma once

#include "commands/CommandContext.h"
#include "sql/ConnectionSettings.h"
#include "support/TestSupport.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace fq::test {

// One connection as the server's own log tells it: who logged in, what was sent, and where in
// the log it began and ended.
struct ServerSession {
    QString id;
    QString login;
    bool loggedIn = false;  // false when the server refused the login
    QStringList statements; // in the order sent; the driver's own session set-up left out
    int firstLine = -1;     // line of the login, counted from the mark
    int lastStatementLine = -1;
    int lastLine = -1; // line of the logout, -1 while still open
};

// The server a table command test runs against: its list in the command context, its two
// commands, its tables, and its log as the witness of what was sent.
class ServerUnderTest {
public:
    enum class Kind { MySQL, MSSQL };

    explicit ServerUnderTest(Kind kind);

    Kind kind() const { return kind_; }
    // The list the commands of this server work on (List3 or List1).
    ui::TableList& list(const commands::CommandContext& ctx) const;
    void drop(const commands::CommandContext& ctx) const;
    void rename(const commands::CommandContext& ctx) const;
    // The pointer a successful drop leaves (0 on SQL Server, the arrow on MySQL).
    int pointerAfterDrop() const;

    // The local servers, with the login of this server replaced: any login attempt made with
    // these settings shows in the log under that name.
    sql::ConnectionSettings settingsWithLogin(const QString& login) const;

    // Set-up and checks, through the program's own database component.
    void createTable(const QString& name) const;
    void dropIfExists(const QString& name) const;
    void execute(const QString& statement) const;
    QStringList tables() const;

    void markLog();
    // Every connection logged since the mark whose statements mention one of the names.
    QList<ServerSession> sessionsMentioning(const QStringList& names) const;
    // Every connection logged since the mark by this login (refused ones included).
    QList<ServerSession> sessionsOf(const QString& login) const;

private:
    QList<ServerSession> sessionsSinceMark() const;
    QList<ServerSession> parseMariaDbLog(const QStringList& lines) const;
    QList<ServerSession> parseDoubleLog(const QStringList& lines) const;

    Kind kind_;
    LogWatcher log_;
};

} // namespace fq::test
