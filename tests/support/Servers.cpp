#include "support/Servers.h"

#include "odbc/Connection.h"
#include "odbc/Recordset.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

namespace fq::test {

namespace {

QString logPath(Server server) {
    return localServerValue(server == Server::MySQL ? QStringLiteral("MYSQL_GENERAL_LOG")
                                                    : QStringLiteral("MSSQL_STATEMENT_LOG"));
}

odbc::Connection open(Server server) {
    const sql::ConnectionSettings s = localServers();
    odbc::Connection c;
    if (server == Server::MySQL) {
        c.Open(sql::MySQLConnectionStringCommandOrder(s));
        c.Execute(sql::mysqlSessionSetup());
    } else {
        c.Open(sql::MSSQLConnectionString(s));
    }
    return c;
}

QString delimited(Server server, const QString& table) {
    return server == Server::MySQL ? sql::backticked(table) : sql::bracketed(table);
}

// MariaDB's general log: "[yymmdd hh:mm:ss]\t\t    <id> <Command>\t<argument>", a statement that
// spans lines continuing on lines of its own.
QList<Session> parseMariaDb(const QStringList& lines) {
    static const QRegularExpression event(
        QStringLiteral(R"(^(?:\d{6} +\d{1,2}:\d\d:\d\d)?\t+ *(\d+) ([A-Za-z][A-Za-z ]*)\t(.*)$)"));
    QList<Session> sessions;
    QHash<QString, qsizetype> open;
    QString continuing; // the id whose last statement a line without a header extends
    for (int i = 0; i < lines.size(); ++i) {
        const auto m = event.match(lines.at(i));
        if (!m.hasMatch()) {
            if (!continuing.isEmpty() && open.contains(continuing))
                sessions[open.value(continuing)].statements.last() += u'\n' + lines.at(i);
            continue;
        }
        continuing.clear();
        const QString id = m.captured(1);
        const QString command = m.captured(2);
        const QString argument = m.captured(3);
        if (command == u"Connect") {
            if (open.contains(id)) {
                // The second line of a refused login: "Access denied for user ..."
                if (argument.startsWith(u"Access denied")) {
                    Session& s = sessions[open.value(id)];
                    s.loggedIn = false;
                    s.closed = true;
                    s.lastLine = i;
                    open.remove(id);
                }
                continue;
            }
            open.insert(id, sessions.size());
            sessions.append(Session{id, argument.section(u'@', 0, 0), true, {}, false, i});
            continue;
        }
        if (!open.contains(id))
            continue;
        Session& s = sessions[open.value(id)];
        if (command == u"Query" || command == u"Execute") {
            if (argument.startsWith(u"SET ") && !argument.contains(u"sql_mode="))
                continue; // the driver's own session set-up
            s.statements.append(argument);
            s.lastStatementLine = i;
            continuing = id;
        } else if (command == u"Quit") {
            s.closed = true;
            s.lastLine = i;
            open.remove(id);
        }
    }
    return sessions;
}

// The double's log: "<conn>\t<login>\t<EVENT>[\t<fields>...]".
QList<Session> parseDouble(const QStringList& lines) {
    QList<Session> sessions;
    QHash<QString, qsizetype> open;
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList f = lines.at(i).split(u'\t');
        if (f.size() < 3)
            continue;
        const QString& id = f.at(0);
        const QString& event = f.at(2);
        if (event == u"LOGIN" || event == u"LOGIN-FAILED") {
            const bool in = event == u"LOGIN";
            sessions.append(Session{id, unescapeLogText(f.at(1)), in, {}, !in, i, -1, in ? -1 : i});
            if (in)
                open.insert(id, sessions.size() - 1);
            continue;
        }
        if (!open.contains(id))
            continue;
        Session& s = sessions[open.value(id)];
        if ((event == u"BATCH" || event == u"RPC") && f.size() >= 4) {
            s.statements.append(unescapeLogText(f.mid(3).join(u'\t')));
            s.lastStatementLine = i;
        } else if (event == u"LOGOUT") {
            s.closed = true;
            s.lastLine = i;
            open.remove(id);
        }
    }
    return sessions;
}

bool mentionsAny(const Session& s, const QStringList& names) {
    return std::any_of(s.statements.cbegin(), s.statements.cend(), [&](const QString& statement) {
        return std::any_of(names.cbegin(), names.cend(),
                           [&](const QString& n) { return statement.contains(n); });
    });
}

} // namespace

ServerLog::ServerLog(Server server) : server_(server), log_(logPath(server)) {}

void ServerLog::mark() {
    log_.mark();
}

QList<Session> ServerLog::sessions() const {
    const QStringList lines = log_.linesSinceMark();
    return server_ == Server::MySQL ? parseMariaDb(lines) : parseDouble(lines);
}

QList<Session> ServerLog::sessionsMentioning(const QStringList& names) const {
    QList<Session> found;
    const QDeadlineTimer deadline(10000);
    do {
        found.clear();
        for (const Session& s : sessions()) {
            if (mentionsAny(s, names))
                found.append(s);
        }
        if (std::all_of(found.cbegin(), found.cend(), [](const Session& s) { return s.closed; }))
            break;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return found;
}

QList<Session> ServerLog::sessionsOf(const QString& login) const {
    QList<Session> found;
    for (const Session& s : sessions()) {
        if (s.login == login)
            found.append(s);
    }
    return found;
}

void exec(Server server, const QStringList& statements) {
    odbc::Connection c = open(server);
    for (const QString& s : statements)
        c.Execute(s);
}

void dropIfExists(Server server, const QString& table) {
    if (tables(server).contains(table))
        exec(server, {QStringLiteral("DROP TABLE ") + delimited(server, table)});
}

QList<QList<odbc::Value>> rows(Server server, const QString& table, bool orderByFirst) {
    odbc::Connection c = open(server);
    QString query = QStringLiteral("SELECT * FROM ") + delimited(server, table);
    if (orderByFirst)
        query += QStringLiteral(" ORDER BY 1");
    QList<QList<odbc::Value>> out;
    for (odbc::Recordset rs = c.Execute(query); !rs.Eof(); rs.MoveNext()) {
        QList<odbc::Value> row;
        for (int i = 0; i < rs.FieldCount(); ++i)
            row << rs.Item(i);
        out << row;
    }
    return out;
}

long long count(Server server, const QString& table) {
    odbc::Connection c = open(server);
    return c.Execute(QStringLiteral("SELECT COUNT(*) FROM ") + delimited(server, table))
        .Item(0)
        .text()
        .toLongLong();
}

QStringList tables(Server server) {
    return open(server).catalogTables();
}

bool rootSql(const QString& sql) {
    QProcess client;
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"),
                  QStringLiteral("--socket=") + localServerValue(QStringLiteral("MYSQL_SOCKET")),
                  QStringLiteral("-uroot"), QStringLiteral("-e"), sql});
    if (!client.waitForFinished(60000) || client.exitStatus() != QProcess::NormalExit ||
        client.exitCode() != 0) {
        qWarning("mariadb client failed: %s", client.readAllStandardError().constData());
        return false;
    }
    return true;
}

commands::CommandContext TestWindow::context() {
    return commands::CommandContext{mysqlList, mssqlList, dialogs, pointer, [this] {
                                        ++settingsReads;
                                        return settings;
                                    }};
}

ui::TableList& TestWindow::list(Server server) {
    return server == Server::MySQL ? static_cast<ui::TableList&>(mysqlList) : mssqlList;
}

void fillList(ui::TableList& list, const QStringList& entries, const QStringList& selected,
              const QString& current) {
    list.Clear();
    for (const QString& e : entries)
        list.AddItem(e);
    list.SetListIndex(-1);
    for (int i = 0; i < list.ListCount(); ++i) {
        if (selected.contains(list.List(i)))
            list.SetSelected(i, true);
        if (!current.isEmpty() && list.List(i) == current)
            list.SetListIndex(i);
    }
}

QStringList entriesOf(const ui::TableList& list) {
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.List(i);
    return out;
}

QStringList selectedOf(const ui::TableList& list) {
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i) {
        if (list.Selected(i))
            out << list.List(i);
    }
    return out;
}

} // namespace fq::test
