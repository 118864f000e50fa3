#include "commands/SendTables.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "sql/Literals.h"
#include "sql/Refusal.h"
#include "sql/Server.h"
#include "sql/Statements.h"
#include "sql/TypeMap.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/Progress.h"
#include "ui/TableList.h"

#include <algorithm>
#include <optional>

namespace fq::commands {

namespace {

using sql::TargetColumn;
using sql::ValueKind;

const QString kSqlServer = QStringLiteral("SQL Server");
const QString kMySql = QStringLiteral("MySQL");

// What differs between the two directions: the servers' names, the lists, and the statements.
struct Direction {
    Server source;
    const QString& sourceServer;
    const QString& targetServer;
    ui::TableList& sourceList;
    ui::TableList& targetList;
    QString (*dropTable)(const QString&);
    QList<TargetColumn> (*readColumns)(odbc::Connection&, const QString&);
    QString (*createTable)(const QString&, const QList<TargetColumn>&);
    QString (*rowEstimate)(const QString&);
    QString (*selectAll)(const QString&);
    QString (*literal)(const odbc::Value&, ValueKind);
    QString (*insert)(const QString&, const QStringList&);
    QString (*countRows)(const QString&);
};

enum class Step {
    ConnectingMssql,
    ConnectingMysql,
    PreparingMysql,
    Dropping,
    ReadingColumns,
    Creating,
    Estimating,
    ReadingRows,
    CopyingRow,
    Counting
};

// Where a command stands, for the message when a server refuses.
struct Progress {
    Step step = Step::ConnectingMssql;
    QString table;
    bool created = false;
    long long copied = 0; // INSERTs that added their row
    long long read = 0;   // rows read from the source
    int number = 0;       // of the table among those selected, from 1
    int count = 0;
};

// The user asked the copy to stop (Cancel, or closing the window).
struct StopRequested {};

// After the last row, the target holds another number of rows than were read from the source.
struct RowsMissing {
    long long read = 0;
    long long onTarget = 0;
    bool counted = false; // onTarget comes from SELECT COUNT(*), not from the INSERTs
};

std::optional<long long> number(const odbc::Value& v) {
    if (v.isNull())
        return std::nullopt;
    bool ok = false;
    const long long n = v.text().trimmed().toLongLong(&ok);
    return ok ? std::optional<long long>(n) : std::nullopt;
}

std::optional<int> smallNumber(const odbc::Value& v) {
    const auto n = number(v);
    return n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

QString textOf(const odbc::Value& v) {
    return v.kind() == odbc::Value::Kind::Binary ? QString::fromUtf8(v.bytes()) : v.text();
}

sql::Refusal noColumns(const QString& server, const QString& table) {
    return sql::Refusal(server + QStringLiteral(" lists no columns for a table named ") + table +
                        QStringLiteral(" in this database."));
}

QList<TargetColumn> readMssqlColumns(odbc::Connection& mssql, const QString& table) {
    QList<sql::MssqlColumn> columns;
    {
        odbc::Recordset rs = mssql.Execute(sql::mssqlColumnsQuery(table));
        while (!rs.Eof()) {
            columns << sql::MssqlColumn{textOf(rs.Item(0)),      textOf(rs.Item(1)),
                                        number(rs.Item(2)),      smallNumber(rs.Item(3)),
                                        smallNumber(rs.Item(4)), smallNumber(rs.Item(5))};
            rs.MoveNext();
        }
    }
    if (columns.isEmpty())
        throw noColumns(kSqlServer, table);
    return sql::mysqlColumnsFor(columns);
}

QList<TargetColumn> readMysqlColumns(odbc::Connection& mysql, const QString& table) {
    QList<sql::MysqlColumn> columns;
    {
        odbc::Recordset rs = mysql.Execute(sql::mysqlDescribe(table));
        while (!rs.Eof()) {
            columns << sql::MysqlColumn{textOf(rs.Item(0)), textOf(rs.Item(1))};
            rs.MoveNext();
        }
    }
    if (columns.isEmpty())
        throw noColumns(kMySql, table);
    return sql::mssqlColumnsFor(columns);
}

QString rows(long long n) {
    return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n);
}

// The server a step talks to.
const QString& serverOf(const Direction& d, Step step) {
    switch (step) {
    case Step::ConnectingMssql:
        return kSqlServer;
    case Step::ConnectingMysql:
    case Step::PreparingMysql:
        return kMySql;
    case Step::ReadingColumns:
    case Step::Estimating:
    case Step::ReadingRows:
        return d.sourceServer;
    default:
        return d.targetServer;
    }
}

// What the step was doing, as the end of "... while <doing>".
QString doing(const Direction& d, const Progress& p) {
    switch (p.step) {
    case Step::Dropping:
        return QStringLiteral("dropping the existing table on %1").arg(d.targetServer);
    case Step::ReadingColumns:
        return QStringLiteral("reading its columns from %1").arg(d.sourceServer);
    case Step::Creating:
        return QStringLiteral("creating it on %1").arg(d.targetServer);
    case Step::Estimating:
    case Step::ReadingRows:
        return p.copied == 0
                   ? QStringLiteral("reading its rows from %1").arg(d.sourceServer)
                   : QStringLiteral("reading row %1 from %2").arg(p.copied + 1).arg(d.sourceServer);
    case Step::Counting:
        return QStringLiteral("counting its rows on %1").arg(d.targetServer);
    default:
        return QStringLiteral("copying row %1").arg(p.copied + 1);
    }
}

// What a statement that was cut off may still have done: the server may carry it out when it
// answers again.
QString unknownOutcome(const Direction& d, const Progress& p) {
    switch (p.step) {
    case Step::Dropping:
        return QStringLiteral(" Whether the table was dropped on %1 is not known.")
            .arg(d.targetServer);
    case Step::Creating:
        return QStringLiteral(" Whether the table was created on %1 is not known.")
            .arg(d.targetServer);
    case Step::CopyingRow:
        return QStringLiteral(" Row %1 was being sent and may have arrived as well.")
            .arg(p.copied + 1);
    default:
        return {};
    }
}

QString tableIsThere(const Direction& d, const Progress& p) {
    if (!p.created)
        return {};
    return QStringLiteral(" The table is on %1 with the %2 copied before.")
        .arg(d.targetServer, rows(p.copied));
}

QString stoppedAnsweringText(const Direction& d, const Progress& p) {
    const QString& server = serverOf(d, p.step);
    if (p.step == Step::ConnectingMssql || p.step == Step::ConnectingMysql ||
        p.step == Step::PreparingMysql)
        return QStringLiteral("%1 stopped answering while Fernquill connected to it; nothing was "
                              "copied.")
            .arg(server);
    return QStringLiteral("Copying the table %1 to %2 stopped: %3 stopped answering while %4.")
               .arg(p.table, d.targetServer, server, doing(d, p)) +
           tableIsThere(d, p) + unknownOutcome(d, p) + QStringLiteral(" Nothing more was sent.");
}

QString stoppedOnRequestText(const Direction& d, const Progress& p, bool cutOff) {
    if (p.table.isEmpty())
        return QStringLiteral("Copying to %1 was stopped on request; nothing was copied.")
            .arg(d.targetServer);
    if (!p.created && !cutOff)
        return QStringLiteral("Copying to %1 was stopped on request before the table %2. "
                              "Nothing more was sent.")
            .arg(d.targetServer, p.table);
    QString text = QStringLiteral("Copying the table %1 to %2 was stopped on request")
                       .arg(p.table, d.targetServer);
    if (cutOff)
        text += QStringLiteral(" while %1").arg(doing(d, p));
    text += u'.';
    if (p.created)
        text += QStringLiteral(" The table is on %1 with the %2 copied.")
                    .arg(d.targetServer, rows(p.copied));
    if (cutOff)
        text += unknownOutcome(d, p);
    return text + QStringLiteral(" Nothing more was sent.");
}

QString rowsMissingText(const Direction& d, const Progress& p, const RowsMissing& m) {
    const QString what =
        m.counted ? QStringLiteral("the table on %1 holds %2").arg(d.targetServer, rows(m.onTarget))
                  : QStringLiteral("only %1 added on %2").arg(rows(m.onTarget), d.targetServer);
    return QStringLiteral("Copying the table %1 to %2 lost rows: %3 read from %4, but %5. The "
                          "table stays on %2 as it is.")
        .arg(p.table, d.targetServer, rows(m.read), d.sourceServer, what);
}

QString failureText(const Direction& d, const Progress& p) {
    switch (p.step) {
    case Step::ConnectingMssql:
        return QStringLiteral("Could not connect to SQL Server; nothing was copied.");
    case Step::ConnectingMysql:
        return QStringLiteral("Could not connect to MySQL; nothing was copied.");
    case Step::PreparingMysql:
        return QStringLiteral("Could not prepare the MySQL session; nothing was copied.");
    default:
        break;
    }
    const QString head =
        QStringLiteral("Copying the table %1 to %2 stopped while ").arg(p.table, d.targetServer);
    QString what;
    switch (p.step) {
    case Step::Dropping:
        what = QStringLiteral("dropping the existing table on %1.").arg(d.targetServer);
        break;
    case Step::ReadingColumns:
        what = QStringLiteral("reading its columns from %1.").arg(d.sourceServer);
        break;
    case Step::Creating:
        what = QStringLiteral("creating it on %1.").arg(d.targetServer);
        break;
    case Step::Estimating:
    case Step::ReadingRows:
        what = QStringLiteral("reading its rows from %1.").arg(d.sourceServer);
        break;
    case Step::Counting:
        what = QStringLiteral("counting its rows on %1.").arg(d.targetServer);
        break;
    default:
        what = QStringLiteral("copying row %1.").arg(p.copied + 1);
        break;
    }
    QString after;
    if (p.created)
        after = QStringLiteral(" The table is on %1 with the %2 copied before.")
                    .arg(d.targetServer, rows(p.copied));
    return head + what + after + QStringLiteral(" Nothing more was sent.");
}

void stopIfRequested(const CommandContext& ctx) {
    if (stopRequested(ctx))
        throw StopRequested{};
}

// The source's estimate of the table's rows, -1 when it gives none. Only a cut connection
// stops the copy here; any other failure just leaves the copy without an estimate.
long long estimateRows(const Direction& d, odbc::Connection& source, const QString& name) {
    try {
        long long sum = -1;
        for (odbc::Recordset rs = source.Execute(d.rowEstimate(name)); !rs.Eof(); rs.MoveNext()) {
            const auto n = number(rs.Item(0));
            if (n && *n >= 0)
                sum = std::max(sum, 0LL) + *n;
        }
        return sum;
    } catch (const odbc::DbError& e) {
        if (e.interruption() != odbc::Interruption::None)
            throw;
        return -1;
    }
}

// Rows read, INSERTs that added their row, and the rows the target holds must all agree.
void checkRowCount(const Direction& d, odbc::Connection& target, Progress& p) {
    if (p.copied != p.read)
        throw RowsMissing{p.read, p.copied, false};
    p.step = Step::Counting;
    odbc::Recordset rs = target.Execute(d.countRows(p.table));
    const auto onTarget = rs.Eof() ? std::nullopt : number(rs.Item(0));
    if (onTarget && *onTarget != p.read)
        throw RowsMissing{p.read, *onTarget, true};
}

void copyTable(const Direction& d, const CommandContext& ctx, odbc::Connection& source,
               odbc::Connection& target, Progress& p) {
    const QString& name = p.table;
    if (ui::ListContains(name, d.targetList)) {
        const int answer =
            ctx.dialogs.MsgBox(QStringLiteral("Would you like to overwrite ") + name + u'?',
                               ui::kYesNo, QStringLiteral("Overwrite?"));
        if (answer != ui::kAnswerYes)
            return;
        p.step = Step::Dropping;
        target.Execute(d.dropTable(name));
        ui::ListRemoveMatches(d.targetList, name);
    }

    p.step = Step::ReadingColumns;
    const QList<TargetColumn> columns = d.readColumns(source, name);

    p.step = Step::Creating;
    target.Execute(d.createTable(name, columns));
    p.created = true;
    stopIfRequested(ctx);

    p.step = Step::Estimating;
    const long long estimate = estimateRows(d, source, name);
    if (ctx.progress != nullptr)
        ctx.progress->beginTable(p.number, p.count, name, estimate);

    // Each row is written before the next one is fetched.
    p.step = Step::ReadingRows;
    odbc::Recordset rs = source.Execute(d.selectAll(name));
    QStringList literals;
    while (!rs.Eof()) {
        ++p.read;
        p.step = Step::CopyingRow;
        const int fields = rs.FieldCount();
        literals.clear();
        literals.reserve(fields);
        for (int i = 0; i < fields; ++i) {
            const ValueKind kind = i < columns.size() ? columns[i].kind : ValueKind::Plain;
            literals << d.literal(rs.Item(i), kind);
        }
        long long added = -1;
        target.Execute(d.insert(name, literals), &added);
        // A driver that cannot tell (-1) is taken at its word that the row went in.
        if (added != 0)
            ++p.copied;
        if (ctx.progress != nullptr && !ctx.progress->update(p.copied))
            throw StopRequested{};
        p.step = Step::ReadingRows;
        rs.MoveNext();
    }
    rs.Close();
    checkRowCount(d, target, p);
    d.targetList.AddItem(name);
    p.created = false;
}

void run(const CommandContext& ctx, const Direction& d) {
    if (d.sourceList.ListIndex() == -1) {
        ctx.dialogs.MsgBox(QStringLiteral("Please select a table to insert"), ui::kOkOnly);
        return;
    }
    Progress p;
    std::optional<Refused> failure;
    std::optional<QString> stopped; // a message without a refusal: cancelled, or rows missing
    {
        const ui::PointerGuard hourglass(ctx.pointer);
        const sql::ConnectionSettings settings = ctx.settings();
        odbc::Connection mssql;
        odbc::Connection mysql;
        try {
            p.step = Step::ConnectingMssql;
            mssql.Open(sql::MSSQLConnectionString(settings));
            p.step = Step::ConnectingMysql;
            mysql.Open(sql::MySQLConnectionStringCommandOrder(settings));
            p.step = Step::PreparingMysql;
            mysql.Execute(sql::mysqlSessionSetup());

            odbc::Connection& source = d.source == Server::MSSQL ? mssql : mysql;
            odbc::Connection& target = d.source == Server::MSSQL ? mysql : mssql;
            int count = 0;
            for (int pos = d.sourceList.ListCount() - 1; pos >= 0; --pos)
                count += d.sourceList.Selected(pos) ? 1 : 0;
            int tableNumber = 0;
            for (int pos = d.sourceList.ListCount() - 1; pos >= 0; --pos) {
                if (!d.sourceList.Selected(pos))
                    continue;
                p = Progress{Step::ReadingColumns, d.sourceList.List(pos), false, 0, 0};
                p.number = ++tableNumber;
                p.count = count;
                stopIfRequested(ctx);
                copyTable(d, ctx, source, target, p);
            }
        } catch (const odbc::DbError& e) {
            switch (e.interruption()) {
            case odbc::Interruption::StoppedAnswering:
                stopped = stoppedAnsweringText(d, p);
                failure = refusedBy(e);
                break;
            case odbc::Interruption::Cancelled:
                stopped = stoppedOnRequestText(d, p, true);
                break;
            case odbc::Interruption::None:
                failure = refusedBy(e);
                break;
            }
        } catch (const sql::Refusal& e) {
            failure = refusedBy(e);
        } catch (const StopRequested&) {
            stopped = stoppedOnRequestText(d, p, false);
        } catch (const RowsMissing& m) {
            stopped = rowsMissingText(d, p, m);
        }
        // A table that was created stays, with the rows that arrived: the list shows it.
        if ((failure || stopped) && p.created)
            d.targetList.AddItem(p.table);
        mysql.Close();
        mssql.Close();
    }
    if (stopped)
        reportFailure(ctx.dialogs, *stopped, failure.value_or(Refused{}));
    else if (failure)
        reportFailure(ctx.dialogs, failureText(d, p), *failure);
}

} // namespace

void SendTablesToMySQL(const CommandContext& ctx) {
    run(ctx, Direction{.source = Server::MSSQL,
                       .sourceServer = kSqlServer,
                       .targetServer = kMySql,
                       .sourceList = ctx.mssqlList,
                       .targetList = ctx.mysqlList,
                       .dropTable = &sql::mysqlDropTable,
                       .readColumns = &readMssqlColumns,
                       .createTable = &sql::mysqlCreateTable,
                       .rowEstimate = &sql::mssqlRowEstimate,
                       .selectAll = &sql::mssqlSelectAll,
                       .literal = &sql::mysqlLiteral,
                       .insert = &sql::mysqlInsert,
                       .countRows = &sql::mysqlCountRows});
}

void SendTablesToMSSQL(const CommandContext& ctx) {
    run(ctx, Direction{.source = Server::MySQL,
                       .sourceServer = kMySql,
                       .targetServer = kSqlServer,
                       .sourceList = ctx.mysqlList,
                       .targetList = ctx.mssqlList,
                       .dropTable = &sql::mssqlDropTable,
                       .readColumns = &readMysqlColumns,
                       .createTable = &sql::mssqlCreateTable,
                       .rowEstimate = &sql::mysqlRowEstimate,
                       .selectAll = &sql::mysqlSelectAll,
                       .literal = &sql::mssqlLiteral,
                       .insert = &sql::mssqlInsert,
                       .countRows = &sql::mssqlCountRows});
}

} // namespace fq::commands
