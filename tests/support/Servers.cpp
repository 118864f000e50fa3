#include "support/Servers.h"

#include "commands/SendTables.h"
#include "odbc/DbError.h"
#include "odbc/Result.h"
#include "settings/SettingsStore.h"
#include "sql/ConnectionStrings.h"
#include "sql/SqlText.h"
#include "sql/Statements.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
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
                    open.remove(id);
                }
                continue;
            }
            open.insert(id, sessions.size());
            sessions.append(Session{id, argument.section(u'@', 0, 0), true, {}, false});
            continue;
        }
        if (!open.contains(id))
            continue;
        Session& s = sessions[open.value(id)];
        if (command == u"Query" || command == u"Execute") {
            if (argument.startsWith(u"SET ") && !argument.contains(u"sql_mode=") &&
                !argument.startsWith(u"SET TRANSACTION"))
                continue; // the driver's own session set-up
            s.statements.append(argument);
            continuing = id;
        } else if (command == u"Quit") {
            s.closed = true;
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
            sessions.append(Session{id, unescapeLogText(f.at(1)), in, {}, !in});
            if (in)
                open.insert(id, sessions.size() - 1);
            continue;
        }
        if (!open.contains(id))
            continue;
        Session& s = sessions[open.value(id)];
        if ((event == u"BATCH" || event == u"RPC") && f.size() >= 4) {
            s.statements.append(unescapeLogText(f.mid(3).join(u'\t')));
        } else if (event == u"LOGOUT") {
            s.closed = true;
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

ServerLog::ServerLog(Server server) : server_(server), path_(logPath(server)) {
    mark();
}

void ServerLog::mark() {
    offset_ = QFileInfo(path_).size();
}

QList<Session> ServerLog::sessions() const {
    QFile f(path_);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(offset_))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
    lines.removeLast(); // after the last line's end
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

const QString kSessionSetup =
    QStringLiteral("SET SESSION sql_mode=CONCAT_WS(',', NULLIF(@@sql_mode, ''), "
                   "'NO_BACKSLASH_ESCAPES', 'STRICT_ALL_TABLES')");
const QString kServerLimits =
    QStringLiteral("SELECT @@innodb_page_size, @@max_allowed_packet, (SELECT MAXLEN FROM "
                   "information_schema.CHARACTER_SETS WHERE "
                   "CHARACTER_SET_NAME=@@character_set_database)");

QString mssqlEstimate(const QString& table) {
    return QStringLiteral("SELECT rows FROM sys.partitions WHERE object_id=OBJECT_ID(N'%1') AND "
                          "index_id < 2")
        .arg(table);
}

QString mysqlEstimate(const QString& table) {
    return QStringLiteral("SELECT TABLE_ROWS FROM information_schema.TABLES WHERE "
                          "TABLE_SCHEMA=DATABASE() AND TABLE_NAME='%1'")
        .arg(table);
}

QString mysqlTableSize(const QString& table) {
    return QStringLiteral("SELECT t.DATA_LENGTH, t.AVG_ROW_LENGTH, t.TABLE_TYPE, t.ENGINE, "
                          "c.DATA_TYPE, c.CHARACTER_OCTET_LENGTH, c.EXTRA, c.COLUMN_NAME FROM "
                          "information_schema.TABLES t JOIN information_schema.COLUMNS c ON "
                          "c.TABLE_SCHEMA=t.TABLE_SCHEMA AND c.TABLE_NAME=t.TABLE_NAME WHERE "
                          "t.TABLE_SCHEMA=DATABASE() AND t.TABLE_NAME='%1' ORDER BY "
                          "c.ORDINAL_POSITION")
        .arg(table);
}

QString columnsQuery(const QString& table) {
    return QStringLiteral("SELECT COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, "
                          "NUMERIC_PRECISION, NUMERIC_SCALE, DATETIME_PRECISION FROM "
                          "information_schema.Columns WHERE "
                          "table_schema=OBJECT_SCHEMA_NAME(OBJECT_ID(N'%1')) AND "
                          "table_name=N'%1' ORDER BY ORDINAL_POSITION")
        .arg(table);
}

QStringList statementsOf(const QList<Session>& sessions) {
    QStringList out;
    for (const Session& s : sessions)
        out += s.statements;
    return out;
}

odbc::Connection connection(Server server) {
    const sql::ConnectionSettings s = localServers();
    odbc::Connection c;
    if (server == Server::MySQL) {
        commands::openConnection(c, sql::MySQLConnectionStringCommandOrder(s));
        c.execute(sql::mysqlSessionSetup());
    } else {
        commands::openConnection(c, sql::MSSQLConnectionString(s));
    }
    return c;
}

void exec(Server server, const QStringList& statements) {
    odbc::Connection c = connection(server);
    for (const QString& s : statements)
        c.execute(s);
}

void dropIfExists(Server server, const QString& table) {
    if (tables(server).contains(table))
        exec(server, {QStringLiteral("DROP TABLE ") + delimited(server, table)});
}

void createNumbered(Server server, const QString& name, int rows) {
    const QString table = delimited(server, name);
    QStringList statements{QStringLiteral("CREATE TABLE %1 (id int, v varchar(40))").arg(table)};
    for (int i = 1; i <= rows; i += 500) {
        QStringList values;
        for (int j = i; j < std::min(rows + 1, i + 500); ++j)
            values << QStringLiteral("(%1, 'row %1')").arg(j);
        statements << QStringLiteral("INSERT INTO %1 VALUES %2").arg(table, values.join(u", "));
    }
    exec(server, statements);
}

QString shown(const odbc::Value& v) {
    if (v.isNull())
        return QStringLiteral("<NULL>");
    if (v.kind() == odbc::Value::Kind::Binary)
        return QStringLiteral("0x") + QString::fromLatin1(v.bytes().toHex().toUpper());
    return v.text();
}

QList<QStringList> textRows(Server server, const QString& table, const QString& orderBy) {
    odbc::Connection c = connection(server);
    QList<QStringList> out;
    for (odbc::Result rs = c.execute(
             QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(delimited(server, table), orderBy));
         !rs.atEnd(); rs.moveNext()) {
        QStringList row;
        for (int i = 0; i < rs.columnCount(); ++i)
            row << shown(rs.value(i));
        out << row;
    }
    return out;
}

long long count(Server server, const QString& table) {
    return connection(server)
        .execute(QStringLiteral("SELECT COUNT(*) FROM ") + delimited(server, table))
        .value(0)
        .text()
        .toLongLong();
}

QStringList tables(Server server) {
    return connection(server).catalogTables();
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

Scratch::~Scratch() {
    try {
        // A name may be a view's: each server only warns when IF EXISTS finds the other kind.
        QStringList drops;
        for (const QString& n : std::as_const(names_))
            drops << QStringLiteral("DROP VIEW IF EXISTS ") + sql::backticked(n)
                  << QStringLiteral("DROP TABLE IF EXISTS ") + sql::backticked(n);
        exec(Server::MySQL, drops);
        // On SQL Server a name may stand in the sales schema too (or only there), or be a view's
        // (3705: not a table).
        const QStringList present = tables(Server::MSSQL);
        for (const QString& n : std::as_const(names_)) {
            for (qsizetype i = present.count(n); i > 0; --i) {
                try {
                    exec(Server::MSSQL, {QStringLiteral("DROP TABLE ") + sql::bracketed(n)});
                } catch (const odbc::DbError& e) {
                    exec(Server::MSSQL,
                         {(e.nativeError() == 3705 ? QStringLiteral("DROP VIEW ")
                                                   : QStringLiteral("DROP TABLE sales.")) +
                          sql::bracketed(n)});
                }
            }
        }
    } catch (const odbc::DbError& e) {
        qWarning("leftover tables: %s", qPrintable(e.driverText()));
    }
}

QString Scratch::name(const QString& prefix) {
    names_ << uniqueName(prefix);
    return names_.last();
}

void storeSettings(settings::SettingsStore& store, const sql::ConnectionSettings& s) {
    for (const auto& [key, field] : kSettingsKeys)
        store.Write(QString::fromLatin1(key), s.*field);
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

QStringList replaced(QStringList texts, const QList<std::pair<QString, QString>>& placeholders) {
    for (const auto& [from, to] : placeholders)
        texts.replaceInStrings(from, to);
    return texts;
}

QString delimited(Server server, const QString& name) {
    return server == Server::MySQL ? sql::backticked(name) : sql::bracketed(name);
}

void HookedProgress::beginTable(int, int, const QString&, long long estimate) {
    estimates << estimate;
    if (onBeginTable)
        onBeginTable();
}

bool HookedProgress::update(long long done) {
    updates << done;
    ++sent;
    if (onUpdate && !onUpdate(done))
        stopped = true;
    return !stopped;
}

void Way::send(const commands::CommandContext& ctx) const {
    toMySql ? commands::SendTablesToMySQL(ctx) : commands::SendTablesToMSSQL(ctx);
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
