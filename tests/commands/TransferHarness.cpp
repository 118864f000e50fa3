#include "TransferHarness.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QThread>

#include <QRegularExpression>
#include <algorithm>

namespace fq::test {

namespace {

QString connectionString(Server server) {
    const sql::ConnectionSettings s = localServers();
    return server == Server::MySQL ? sql::MySQLConnectionStringCommandOrder(s)
                                   : sql::MSSQLConnectionString(s);
}

odbc::Connection open(Server server) {
    odbc::Connection c;
    c.Open(connectionString(server));
    if (server == Server::MySQL)
        c.Execute(sql::mysqlSessionSetup());
    return c;
}

QString delimited(Server server, const QString& table) {
    return server == Server::MySQL ? sql::backticked(table) : sql::bracketed(table);
}

QList<LoggedSession> parseMariaDb(const QStringList& lines) {
    static const QRegularExpression event(
        QStringLiteral(R"(^(?:\d{6} +\d{1,2}:\d\d:\d\d)?\t+ *(\d+) ([A-Za-z][A-Za-z ]*)\t(.*)$)"));
    QList<LoggedSession> sessions;
    QHash<QString, qsizetype> open;
    QString continuing;
    for (const QString& line : lines) {
        const auto m = event.match(line);
        if (!m.hasMatch()) {
            if (!continuing.isEmpty() && open.contains(continuing))
                sessions[open.value(continuing)].statements.last() += u'\n' + line;
            continue;
        }
        continuing.clear();
        const QString id = m.captured(1);
        const QString command = m.captured(2);
        const QString argument = m.captured(3);
        if (command == u"Connect") {
            if (open.contains(id))
                continue;
            open.insert(id, sessions.size());
            sessions.append(LoggedSession{id, argument.section(u'@', 0, 0), {}, false});
        } else if (open.contains(id)) {
            LoggedSession& s = sessions[open.value(id)];
            if (command == u"Query" || command == u"Execute") {
                // The driver's own SET statements; the program's sql_mode set-up is kept.
                if (argument.startsWith(u"SET ") && !argument.contains(u"sql_mode="))
                    continue;
                s.statements.append(argument);
                continuing = id;
            } else if (command == u"Quit") {
                s.closed = true;
                open.remove(id);
            }
        }
    }
    return sessions;
}

QList<LoggedSession> parseDouble(const QStringList& lines) {
    QList<LoggedSession> sessions;
    QHash<QString, qsizetype> open;
    for (const QString& line : lines) {
        const QStringList f = line.split(u'\t');
        if (f.size() < 3)
            continue;
        const QString& id = f.at(0);
        const QString& event = f.at(2);
        if (event == u"LOGIN") {
            open.insert(id, sessions.size());
            sessions.append(LoggedSession{id, test::unescapeLogText(f.at(1)), {}, false});
        } else if (open.contains(id)) {
            LoggedSession& s = sessions[open.value(id)];
            if (event == u"BATCH" && f.size() >= 4)
                s.statements.append(test::unescapeLogText(f.mid(3).join(u'\t')));
            else if (event == u"RPC")
                s.statements.append(test::unescapeLogText(f.mid(3).join(u'\t')));
            else if (event == u"LOGOUT") {
                s.closed = true;
                open.remove(id);
            }
        }
    }
    return sessions;
}

} // namespace

TransferHarness::TransferHarness()
    : settings(localServers()), mysqlLog_(localServerValue(QStringLiteral("MYSQL_GENERAL_LOG"))),
      mssqlLog_(localServerValue(QStringLiteral("MSSQL_STATEMENT_LOG"))) {}

commands::CommandContext TransferHarness::context() {
    return commands::CommandContext{mysqlList, mssqlList, dialogs, pointer, [this] {
                                        ++settingsReads;
                                        return settings;
                                    }};
}

void TransferHarness::exec(Server server, const QStringList& statements) {
    odbc::Connection c = open(server);
    for (const QString& s : statements)
        c.Execute(s);
    c.Close();
}

void TransferHarness::dropIfExists(Server server, const QString& table) {
    if (!tables(server).contains(table))
        return;
    exec(server, {QStringLiteral("DROP TABLE ") + delimited(server, table)});
}

QList<QList<odbc::Value>> TransferHarness::rows(Server server, const QString& table,
                                                bool orderByFirst) {
    odbc::Connection c = open(server);
    QList<QList<odbc::Value>> out;
    QString query = QStringLiteral("SELECT * FROM ") + delimited(server, table);
    if (orderByFirst)
        query += QStringLiteral(" ORDER BY 1");
    odbc::Recordset rs = c.Execute(query);
    while (!rs.Eof()) {
        QList<odbc::Value> row;
        for (int i = 0; i < rs.FieldCount(); ++i)
            row << rs.Item(i);
        out << row;
        rs.MoveNext();
    }
    rs.Close();
    c.Close();
    return out;
}

long long TransferHarness::count(Server server, const QString& table) {
    odbc::Connection c = open(server);
    odbc::Recordset rs =
        c.Execute(QStringLiteral("SELECT COUNT(*) FROM ") + delimited(server, table));
    const long long n = rs.Item(0).text().toLongLong();
    rs.Close();
    c.Close();
    return n;
}

QStringList TransferHarness::tables(Server server) {
    odbc::Connection c = open(server);
    QStringList names = c.catalogTables();
    c.Close();
    return names;
}

void TransferHarness::markLogs() {
    mysqlLog_.mark();
    mssqlLog_.mark();
}

QList<LoggedSession> TransferHarness::sessionsSinceMark(Server server) const {
    return server == Server::MySQL ? parseMariaDb(mysqlLog_.linesSinceMark())
                                   : parseDouble(mssqlLog_.linesSinceMark());
}

QList<LoggedSession> TransferHarness::sessionsMentioning(Server server,
                                                         const QStringList& names) const {
    QList<LoggedSession> found;
    QDeadlineTimer deadline(10000);
    do {
        found = mentioning(sessionsSinceMark(server), names);
        const bool allClosed = std::all_of(found.cbegin(), found.cend(),
                                           [](const LoggedSession& s) { return s.closed; });
        if (allClosed)
            break;
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return found;
}

QList<LoggedSession> mentioning(const QList<LoggedSession>& sessions, const QStringList& names) {
    QList<LoggedSession> found;
    for (const LoggedSession& s : sessions) {
        bool mentions = false;
        for (const QString& statement : s.statements) {
            for (const QString& n : names)
                mentions = mentions || statement.contains(n);
        }
        if (mentions)
            found << s;
    }
    return found;
}

} // namespace fq::test
