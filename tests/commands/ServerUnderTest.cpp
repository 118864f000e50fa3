#include "ServerUnderTest.h"

#include "commands/DropTables.h"
#include "commands/RenameTable.h"
#include "odbc/Connection.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "ui/Pointer.h"

#include <QHash>
#include <QRegularExpression>

namespace fq::test {

namespace {

QString logPath(ServerUnderTest::Kind kind) {
    return localServerValue(kind == ServerUnderTest::Kind::MySQL
                                ? QStringLiteral("MYSQL_GENERAL_LOG")
                                : QStringLiteral("MSSQL_STATEMENT_LOG"));
}

QString connectionString(ServerUnderTest::Kind kind) {
    const sql::ConnectionSettings s = localServers();
    return kind == ServerUnderTest::Kind::MySQL ? sql::MySQLConnectionStringCommandOrder(s)
                                                : sql::MSSQLConnectionString(s);
}

} // namespace

ServerUnderTest::ServerUnderTest(Kind kind) : kind_(kind), log_(logPath(kind)) {}

ui::TableList& ServerUnderTest::list(const commands::CommandContext& ctx) const {
    return kind_ == Kind::MySQL ? ctx.mysqlList : ctx.mssqlList;
}

void ServerUnderTest::drop(const commands::CommandContext& ctx) const {
    if (kind_ == Kind::MySQL)
        commands::DropMySQLTables(ctx);
    else
        commands::DropMSSQLTables(ctx);
}

void ServerUnderTest::rename(const commands::CommandContext& ctx) const {
    if (kind_ == Kind::MySQL)
        commands::RenameMySQLTable(ctx);
    else
        commands::RenameMSSQLTable(ctx);
}

int ServerUnderTest::pointerAfterDrop() const {
    return kind_ == Kind::MySQL ? ui::kPointerArrow : ui::kPointerDefault;
}

sql::ConnectionSettings ServerUnderTest::settingsWithLogin(const QString& login) const {
    sql::ConnectionSettings s = localServers();
    if (kind_ == Kind::MySQL)
        s.myUser = login;
    else
        s.msUser = login;
    return s;
}

void ServerUnderTest::createTable(const QString& name) const {
    odbc::Connection c;
    c.Open(connectionString(kind_));
    const QString table = kind_ == Kind::MySQL ? sql::backticked(name) : sql::bracketed(name);
    c.Execute(QStringLiteral("CREATE TABLE ") + table + QStringLiteral(" (id int)"));
    c.Close();
}

void ServerUnderTest::dropIfExists(const QString& name) const {
    if (!tables().contains(name))
        return;
    odbc::Connection c;
    c.Open(connectionString(kind_));
    const QString table = kind_ == Kind::MySQL ? sql::backticked(name) : sql::bracketed(name);
    c.Execute(QStringLiteral("DROP TABLE ") + table);
    c.Close();
}

void ServerUnderTest::execute(const QString& statement) const {
    odbc::Connection c;
    c.Open(connectionString(kind_));
    c.Execute(statement);
    c.Close();
}

QStringList ServerUnderTest::tables() const {
    odbc::Connection c;
    c.Open(connectionString(kind_));
    QStringList names = c.catalogTables();
    c.Close();
    return names;
}

void ServerUnderTest::markLog() {
    log_.mark();
}

QList<ServerSession> ServerUnderTest::sessionsMentioning(const QStringList& names) const {
    QList<ServerSession> found;
    for (const ServerSession& s : sessionsSinceMark()) {
        const bool mentions = std::any_of(
            s.statements.cbegin(), s.statements.cend(), [&names](const QString& statement) {
                return std::any_of(names.cbegin(), names.cend(),
                                   [&](const QString& n) { return statement.contains(n); });
            });
        if (mentions)
            found.append(s);
    }
    return found;
}

QList<ServerSession> ServerUnderTest::sessionsOf(const QString& login) const {
    QList<ServerSession> found;
    for (const ServerSession& s : sessionsSinceMark()) {
        if (s.login == login)
            found.append(s);
    }
    return found;
}

QList<ServerSession> ServerUnderTest::sessionsSinceMark() const {
    const QStringList lines = log_.linesSinceMark();
    return kind_ == Kind::MySQL ? parseMariaDbLog(lines) : parseDoubleLog(lines);
}

// MariaDB's general log: "[yymmdd hh:mm:ss]\t\t    <id> <Command>\t<argument>", a statement
// that spans lines continuing on lines of its own.
QList<ServerSession> ServerUnderTest::parseMariaDbLog(const QStringList& lines) const {
    static const QRegularExpression event(
        QStringLiteral(R"(^(?:\d{6} +\d{1,2}:\d\d:\d\d)?\t+ *(\d+) ([A-Za-z][A-Za-z ]*)\t(.*)$)"));
    QList<ServerSession> sessions;
    QHash<QString, qsizetype> open; // id -> index in sessions
    QString lastStatementOf;        // id whose last statement a continuation line extends
    for (int i = 0; i < lines.size(); ++i) {
        const auto m = event.match(lines.at(i));
        if (!m.hasMatch()) {
            if (!lastStatementOf.isEmpty() && open.contains(lastStatementOf)) {
                ServerSession& s = sessions[open.value(lastStatementOf)];
                s.statements.last() += u'\n' + lines.at(i);
            }
            continue;
        }
        lastStatementOf.clear();
        const QString id = m.captured(1);
        const QString command = m.captured(2);
        const QString argument = m.captured(3);
        if (command == u"Connect") {
            if (open.contains(id)) {
                // The second line of a refused login: "Access denied for user ..."
                if (argument.startsWith(u"Access denied"))
                    sessions[open.value(id)].loggedIn = false;
                continue;
            }
            ServerSession s;
            s.id = id;
            s.login = argument.section(u'@', 0, 0);
            s.loggedIn = true;
            s.firstLine = i;
            open.insert(id, sessions.size());
            sessions.append(s);
            continue;
        }
        if (!open.contains(id))
            continue;
        ServerSession& s = sessions[open.value(id)];
        if (command == u"Query" || command == u"Execute") {
            if (argument.startsWith(u"SET "))
                continue; // the driver's session set-up
            s.statements.append(argument);
            s.lastStatementLine = i;
            lastStatementOf = id;
        } else if (command == u"Quit") {
            s.lastLine = i;
            open.remove(id);
        }
    }
    return sessions;
}

// The double's log: "<conn>\t<login>\t<EVENT>[\t<fields>...]".
QList<ServerSession> ServerUnderTest::parseDoubleLog(const QStringList& lines) const {
    QList<ServerSession> sessions;
    QHash<QString, qsizetype> open;
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList f = lines.at(i).split(u'\t');
        if (f.size() < 3)
            continue;
        const QString& id = f.at(0);
        const QString& event = f.at(2);
        if (event == u"LOGIN" || event == u"LOGIN-FAILED") {
            ServerSession s;
            s.id = id;
            s.login = test::unescapeLogText(f.at(1));
            s.loggedIn = event == u"LOGIN";
            s.firstLine = i;
            if (!s.loggedIn)
                s.lastLine = i;
            else
                open.insert(id, sessions.size());
            sessions.append(s);
            continue;
        }
        if (!open.contains(id))
            continue;
        ServerSession& s = sessions[open.value(id)];
        if (event == u"BATCH" && f.size() >= 4) {
            s.statements.append(test::unescapeLogText(f.at(3)));
            s.lastStatementLine = i;
        } else if (event == u"RPC") {
            s.statements.append(test::unescapeLogText(f.mid(3).join(u'\t')));
            s.lastStatementLine = i;
        } else if (event == u"LOGOUT") {
            s.lastLine = i;
            open.remove(id);
        }
    }
    return sessions;
}

} // namespace fq::test
