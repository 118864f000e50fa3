#pragma once

#include "commands/CommandContext.h"
#include "odbc/Connection.h"
#include "odbc/Value.h"
#include "sql/Server.h"
#include "support/TestSupport.h"
#include "ui/MemoryTableList.h"
#include "ui/Progress.h"
#include "ui/TableList.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace fq::settings {
class SettingsStore;
}

// The harness of every test that runs commands against the local servers: the servers' logs as
// the witnesses of what was sent, set-up and checks on the servers, and the table manager as the
// commands see it.
namespace fq::test {

// The window's lists as the commands see them, without widgets.
using ui::MemoryTableList;

// One connection as the server's own log tells it.
struct Session {
    QString id;
    QString login;
    bool loggedIn = true; // false when the server refused the login
    // In the order sent; the drivers' own SET statements are left out (the program's sql_mode
    // set-up and its SET TRANSACTION are kept).
    QStringList statements;
    bool closed = false;
};

// A server's log from a mark on: MariaDB's general log, or the test double's statement log. It
// is marked when made.
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
    QString path_;
    qint64 offset_ = 0;
};

// The statements of the sessions, one after the other.
QStringList statementsOf(const QList<Session>& sessions);

// Statements of the program written out, for the tests that find them in the logs: what every
// MySQL connection sends first, and the query that reads a SQL Server table's columns (for a
// plain table name).
extern const QString kSessionSetup;
// The query a copy into MySQL reads the server's page size, packet limit and widest character
// with, once, before its first table.
extern const QString kServerLimits;
QString columnsQuery(const QString& table);
// How a copy asks each source, before it reads the rows, for its estimate of the table's rows
// (for a plain table name).
QString mssqlEstimate(const QString& table);
QString mysqlEstimate(const QString& table);
// How a copy from MySQL (whose driver loads a whole result at once) then asks for the table's size
// and kind, to choose whether to read it in pieces.
QString mysqlTableSize(const QString& table);

// Set-up and checks on a local server through the program's own database component; MySQL
// connections run with backslashes as plain characters. A failure throws odbc::DbError.
odbc::Connection connection(Server server);
void exec(Server server, const QStringList& statements);
void dropIfExists(Server server, const QString& table);
// A table (id int, v varchar(40)) of `rows` rows: (1, 'row 1'), (2, 'row 2') and so on.
void createNumbered(Server server, const QString& name, int rows);
// A value as the tests compare it: NULL as "<NULL>", bytes as "0x" and their hexadecimal digits
// (0x00FF), everything else as the driver gives it.
QString shown(const odbc::Value& v);
// Every row as shown() texts, ordered by the columns given.
QList<QStringList> textRows(Server server, const QString& table,
                            const QString& orderBy = QStringLiteral("1"));
long long count(Server server, const QString& table);
QStringList tables(Server server);
// Statements run as root through the local MariaDB's socket; false and a warning with the
// client's words when they fail.
bool rootSql(const QString& sql);

// Names of the tables a test makes, unique to the run. The tables and views of those names are
// dropped from both servers (on SQL Server from the sales schema too) when it goes, however the
// test ended.
class Scratch {
public:
    Scratch() = default;
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    ~Scratch();
    QString name(const QString& prefix);
    // A name of the test's own choosing, dropped as well.
    void keep(const QString& name) { names_ << name; }

private:
    QStringList names_;
};

// Puts all eight settings into a store, as a previous run would have left them.
void storeSettings(settings::SettingsStore& store, const sql::ConnectionSettings& s);

// The table manager as the commands see it, without widgets: both lists, boxes that answer from
// a queue, the pointer, and the settings of the local servers.
struct TestWindow {
    MemoryTableList mysqlList;
    MemoryTableList mssqlList;
    FakePointer pointer;
    FakeDialogs dialogs;
    sql::ConnectionSettings settings = localServers();
    int settingsReads = 0; // connection strings built (nothing is opened without one)

    commands::CommandContext context();
    ui::TableList& list(Server server);
};

// Fills the list with the entries, selects the given ones and puts the current item on
// `current` (none when it is empty or not an entry).
void fillList(ui::TableList& list, const QStringList& entries, const QStringList& selected = {},
              const QString& current = {});
QStringList entriesOf(const ui::TableList& list);
QStringList selectedOf(const ui::TableList& list);

// The texts with each placeholder (first) replaced by its text (second).
QStringList replaced(QStringList texts, const QList<std::pair<QString, QString>>& placeholders);

// The name as a server delimits it: `name` on MySQL, [name] on SQL Server.
QString delimited(Server server, const QString& name);

// Progress that runs hooks at chosen moments of a copy, on the copy's own thread, and keeps the
// estimates and counts it was given.
struct HookedProgress final : ui::Progress {
    std::function<void()> onBeginTable;
    std::function<bool(long long)> onUpdate; // false: cancel
    QList<long long> estimates;
    QList<long long> updates;
    std::atomic<bool> stopped{false}; // also set from another thread, as Cancel is
    std::atomic<qsizetype> sent{0};   // updates so far, for another thread to read

    void beginTable(int, int, const QString&, long long estimate) override;
    bool update(long long done) override;
    bool cancelled() const override { return stopped; }
};

// One direction of a copy.
struct Way {
    bool toMySql = true;
    Server source() const { return toMySql ? Server::MSSQL : Server::MySQL; }
    Server target() const { return toMySql ? Server::MySQL : Server::MSSQL; }
    QString sourceName() const { return toMySql ? "SQL Server" : "MySQL"; }
    QString targetName() const { return toMySql ? "MySQL" : "SQL Server"; }
    void send(const commands::CommandContext& ctx) const;
};

} // namespace fq::test

Q_DECLARE_METATYPE(fq::Server)
Q_DECLARE_METATYPE(fq::test::Way)
