#include "commands/SendTables.h"

#include "commands/NullDates.h"
#include "commands/ReadAhead.h"
#include "commands/RefusedValues.h"
#include "commands/SourceRows.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "sql/Literals.h"
#include "sql/Refusal.h"
#include "sql/Server.h"
#include "sql/StatementSize.h"
#include "sql/Statements.h"
#include "sql/TypeMap.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/Progress.h"
#include "ui/TableList.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>

namespace fq::commands {

namespace {

using sql::TargetColumn;
using sql::ValueKind;

const QString kSqlServer = QStringLiteral("SQL Server");
const QString kMySql = QStringLiteral("MySQL");

// CREATE TABLE refused because the name is taken: MySQL's "Table '...' already exists", SQL
// Server's "There is already an object named '...' in the database".
constexpr long kMySqlTableExists = 1050;
constexpr long kMssqlObjectExists = 2714;

// What differs between the two directions: the servers' names, the lists, the statements, and
// the target's number for a CREATE TABLE whose name is taken.
struct Direction {
    Server source;
    Server target;
    long nameTaken;
    const QString& sourceServer;
    const QString& targetServer;
    ui::TableList& sourceList;
    ui::TableList& targetList;
    QString (*dropTable)(const QString&);
    QList<TargetColumn> (*readColumns)(odbc::Connection&, const QString&,
                                       const sql::MysqlRowRules&);
    QString (*createTable)(const QString&, const QList<TargetColumn>&);
    QString (*rowEstimate)(const QString&);
    QString (*selectAll)(const QString&);
    void (*literal)(QString&, const odbc::Value&, ValueKind);
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

// What a copy into MySQL takes from the server at its start: the numbers of the row size rule
// and the longest statement it takes. A copy into SQL Server has none of them.
struct TargetLimits {
    sql::MysqlRowRules rows;
    long long maxAllowedPacket = 0;
    std::optional<long long> largestStatement;
};

TargetLimits readMysqlLimits(odbc::Connection& mysql) {
    odbc::Recordset rs = mysql.Execute(sql::mysqlServerLimits());
    TargetLimits limits;
    if (rs.Eof())
        return limits;
    const auto field = [&](int i) { return rs.Item(i).text().trimmed().toLongLong(); };
    if (const long long page = field(0); page > 0)
        limits.rows.innodbPageSize = page;
    if (const long long charBytes = field(2); charBytes > 0)
        limits.rows.databaseCharBytes = static_cast<int>(charBytes);
    limits.maxAllowedPacket = field(1);
    if (limits.maxAllowedPacket > 0)
        limits.largestStatement = sql::mysqlLargestStatement(limits.maxAllowedPacket);
    return limits;
}

// A row whose INSERT the server would not take is not sent: the server would close the
// connection on it. The refusal says how large the statement is, in which column its largest
// value is, the server's limit, and what lets the row through.
void refuseOversized(const QString& statement, const sql::InsertText& insert,
                     const QList<TargetColumn>& columns, const TargetLimits& limits) {
    if (!limits.largestStatement)
        return;
    // No character takes more than three bytes in UTF-8 (a pair of surrogates takes four).
    if (statement.size() * 3 <= *limits.largestStatement)
        return;
    const long long bytes = sql::utf8Bytes(statement);
    if (bytes <= *limits.largestStatement)
        return;
    qsizetype largest = 0;
    long long largestBytes = -1;
    for (qsizetype i = 0; i < insert.valueCount(); ++i) {
        if (const long long b = sql::utf8Bytes(insert.literal(i)); b > largestBytes) {
            largest = i;
            largestBytes = b;
        }
    }
    throw sql::Refusal(
        QStringLiteral("The row's INSERT statement is %1 bytes (its largest value is in the column "
                       "%2); this MySQL server takes a statement of at most %3 bytes, as its "
                       "max_allowed_packet is %4. Raising max_allowed_packet on the server lets "
                       "the row through.")
            .arg(bytes)
            .arg(columns.value(largest).name)
            .arg(*limits.largestStatement)
            .arg(limits.maxAllowedPacket));
}

// Where a command stands, for the message when a server refuses.
struct Progress {
    Step step = Step::ConnectingMssql;
    QString table;
    bool created = false;
    long long copied = 0; // INSERTs that added their row
    long long read = 0;   // rows read from the source
    int number = 0;       // of the table among those selected, from 1
    int count = 0;
    // The refused row: the target's columns, the row's values, and the column the program itself
    // refused (-1 when a server refused the row).
    QList<TargetColumn> columns;
    QList<odbc::Value> row;
    int refusedColumn = -1;
    // CREATE TABLE refused because the name is taken: the table in the way, when the target's
    // catalog shows one of that name in any letter case.
    bool nameTaken = false;
    QString inTheWay;
};

// The user asked the copy to stop (Cancel, or closing the window).
struct StopRequested {};

// After the last row, the target holds another number of rows than were read from the source.
struct RowsMissing {
    long long read = 0;
    long long onTarget = 0;
    bool counted = false; // onTarget comes from SELECT COUNT(*), not from the INSERTs
};

// The table's own values of a row read (a page's key may follow them).
QList<odbc::Value> fieldsOf(const std::vector<odbc::Value>& read, int fields) {
    return QList<odbc::Value>(read.begin(), read.begin() + fields);
}

// The target's table whose name equals the name, or else equals it in other letters; empty when
// there is none (or the catalog cannot be read).
QString tableInTheWay(odbc::Connection& target, const QString& name) {
    QStringList tables;
    try {
        tables = target.catalogTables();
    } catch (const odbc::DbError&) {
        return {};
    }
    if (tables.contains(name))
        return name;
    for (const QString& t : tables) {
        if (t.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    }
    return {};
}

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

QList<TargetColumn> readMssqlColumns(odbc::Connection& mssql, const QString& table,
                                     const sql::MysqlRowRules& rules) {
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
    return sql::mysqlColumnsFor(columns, rules);
}

QList<TargetColumn> readMysqlColumns(odbc::Connection& mysql, const QString& table,
                                     const sql::MysqlRowRules&) {
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
        return p.read == 0
                   ? QStringLiteral("reading its rows from %1").arg(d.sourceServer)
                   : QStringLiteral("reading row %1 from %2").arg(p.read + 1).arg(d.sourceServer);
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

// " The table is on MySQL with the 3 rows copied before." (or "with no rows copied"), when the
// copy created it.
QString tableIsThere(const Direction& d, const Progress& p) {
    if (!p.created)
        return {};
    if (p.copied == 0)
        return QStringLiteral(" The table is on %1 with no rows copied.").arg(d.targetServer);
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
    if (p.created && p.copied == 0)
        text += QStringLiteral(" The table is on %1 with no rows copied.").arg(d.targetServer);
    else if (p.created)
        text += QStringLiteral(" The table is on %1 with the %2 copied.")
                    .arg(d.targetServer, rows(p.copied));
    if (cutOff)
        text += unknownOutcome(d, p);
    return text + QStringLiteral(" Nothing more was sent.");
}

QString rowsMissingText(const Direction& d, const Progress& p, const RowsMissing& m) {
    if (m.counted && m.onTarget > m.read)
        return QStringLiteral("Copying the table %1 to %2 ended with more rows on %2 than were "
                              "copied: %3 read from %4, but the table on %2 holds %5. Something "
                              "else wrote to the table while it was copied. The table stays on %2 "
                              "as it is.")
            .arg(p.table, d.targetServer, rows(m.read), d.sourceServer, rows(m.onTarget));
    const QString what =
        m.counted ? QStringLiteral("the table on %1 holds %2").arg(d.targetServer, rows(m.onTarget))
                  : QStringLiteral("only %1 added on %2").arg(rows(m.onTarget), d.targetServer);
    return QStringLiteral("Copying the table %1 to %2 lost rows: %3 read from %4, but %5. The "
                          "table stays on %2 as it is.")
        .arg(p.table, d.targetServer, rows(m.read), d.sourceServer, what);
}

// ", at the value '100:00:00' of column tm", ", at one of the values ... (column a), ...", or
// nothing when the program cannot tell which value was refused.
QString refusedValueText(const Direction& d, const Progress& p,
                         const std::optional<Refused>& refused, long nativeError) {
    if (p.row.isEmpty())
        return {};
    QList<NamedValue> values;
    if (p.refusedColumn >= 0 && p.refusedColumn < p.row.size())
        values << namedValue(p.columns, p.row, p.refusedColumn);
    else if (refused)
        values = refusedValues(d.target, refused->words, nativeError, p.columns, p.row);
    if (values.size() == 1)
        return QStringLiteral(", at the value %1 of column %2")
            .arg(values[0].value, values[0].column);
    QStringList each;
    for (const NamedValue& v : values)
        each << QStringLiteral("%1 (column %2)").arg(v.value, v.column);
    return each.isEmpty() ? QString()
                          : QStringLiteral(", at one of the values ") + each.join(u", ");
}

QString failureText(const Direction& d, const Progress& p, const std::optional<Refused>& refused,
                    long nativeError) {
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
        what = QStringLiteral("creating it on %1").arg(d.targetServer);
        if (p.nameTaken && p.inTheWay == p.table)
            what +=
                QStringLiteral(": %1 already has a table named %2").arg(d.targetServer, p.inTheWay);
        else if (p.nameTaken && !p.inTheWay.isEmpty())
            what += QStringLiteral(": %1 already has a table named %2, and names there ignore "
                                   "letter case")
                        .arg(d.targetServer, p.inTheWay);
        what += u'.';
        break;
    case Step::Estimating:
    case Step::ReadingRows:
        what = doing(d, p) + u'.';
        break;
    case Step::Counting:
        what = QStringLiteral("counting its rows on %1.").arg(d.targetServer);
        break;
    default:
        what = QStringLiteral("copying row %1").arg(p.copied + 1) +
               refusedValueText(d, p, refused, nativeError) + u'.';
        break;
    }
    return head + what + tableIsThere(d, p) + QStringLiteral(" Nothing more was sent.");
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
               odbc::Connection& target, const TargetLimits& limits, Progress& p,
               NullDates& nullDates) {
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
    const QList<TargetColumn> columns = d.readColumns(source, name, limits.rows);

    p.step = Step::Creating;
    try {
        target.Execute(d.createTable(name, columns));
    } catch (const odbc::DbError& e) {
        if (e.nativeError() == d.nameTaken) {
            p.nameTaken = true;
            p.inTheWay = tableInTheWay(target, name);
        }
        throw;
    }
    p.created = true;
    p.columns = columns;
    stopIfRequested(ctx);

    p.step = Step::Estimating;
    const long long estimate = estimateRows(d, source, name);
    if (ctx.progress != nullptr)
        ctx.progress->beginTable(p.number, p.count, name, estimate);

    // The source is read, and each row's INSERT made, on a thread of its own, a little ahead of
    // the row being sent. A MySQL driver that loads a whole result into memory reads a large
    // table in pages.
    p.step = Step::ReadingRows;
    sql::InsertText insert(d.target, name); // every row's statement is built in it
    const PrepareRow prepare = [&d, &columns, &limits, &insert](ReadRow& row, int fields) {
        insert.start();
        row.nulled.clear();
        for (int i = 0; i < fields; ++i) {
            const ValueKind kind = i < columns.size() ? columns[i].kind : ValueKind::Plain;
            const odbc::Value& value = row.values[static_cast<std::size_t>(i)];
            // A value that is not a calendar date goes as NULL.
            if (sql::notACalendarDate(value, kind))
                row.nulled << i;
            row.refusedField = i;
            d.literal(insert.next(), value, kind);
        }
        row.refusedField = -1;
        const QString& statement = insert.finish();
        refuseOversized(statement, insert, columns, limits);
        row.statement.resize(0);
        row.statement.append(statement);
    };
    ReadAhead rs(
        source,
        [&source, &d, &name, estimate] {
            return std::make_unique<SourceRows>(source, d.source, name, d.selectAll(name),
                                                estimate);
        },
        prepare);
    while (const ReadRow* row = rs.next()) {
        ++p.read;
        p.step = Step::CopyingRow;
        const int fields = rs.fieldCount();
        if (row->refused) {
            p.row = fieldsOf(row->values, fields);
            p.refusedColumn = row->refusedField;
            std::rethrow_exception(row->refused);
        }
        long long added = -1;
        try {
            target.Execute(row->statement, &added);
        } catch (const odbc::DbError&) {
            // The row as it was sent: a value that went as NULL can't be the one refused.
            p.row = fieldsOf(row->values, fields);
            for (const int i : row->nulled)
                p.row[i] = odbc::Value::null();
            throw;
        }
        // Counted once the row has arrived: a refused row's values never did.
        for (const int i : row->nulled)
            nullDates.add(name, i, columns[i].name,
                          row->values[static_cast<std::size_t>(i)].text());
        // A driver that cannot tell (-1) is taken at its word that the row went in.
        if (added != 0)
            ++p.copied;
        if (ctx.progress != nullptr && !ctx.progress->update(p.copied))
            throw StopRequested{};
        p.step = Step::ReadingRows;
    }
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
    NullDates nullDates;
    std::optional<Refused> failure;
    std::optional<QString> stopped; // a message of its own: cancelled, cut off, rows missing
    std::exception_ptr unexpected;
    long nativeError = 0;
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
            std::optional<TargetLimits> limits; // read when the first table is reached
            for (int pos = d.sourceList.ListCount() - 1; pos >= 0; --pos) {
                if (!d.sourceList.Selected(pos))
                    continue;
                stopIfRequested(ctx);
                if (!limits) {
                    p.step = Step::PreparingMysql;
                    limits = d.source == Server::MSSQL ? readMysqlLimits(mysql) : TargetLimits{};
                }
                p = Progress{};
                p.step = Step::ReadingColumns;
                p.table = d.sourceList.List(pos);
                p.number = ++tableNumber;
                p.count = count;
                copyTable(d, ctx, source, target, *limits, p, nullDates);
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
                nativeError = e.nativeError();
                break;
            }
        } catch (const sql::Refusal& e) {
            failure = refusedBy(e);
        } catch (const StopRequested&) {
            stopped = stoppedOnRequestText(d, p, false);
        } catch (const RowsMissing& m) {
            stopped = rowsMissingText(d, p, m);
        } catch (...) {
            // Not a stop the copy can explain: the command's end reports it, after this.
            unexpected = std::current_exception();
        }
        // A table that was created stays, with the rows that arrived: the list shows it.
        if ((failure || stopped || unexpected) && p.created)
            d.targetList.AddItem(p.table);
        mysql.Close();
        mssql.Close();
    }
    if (unexpected)
        std::rethrow_exception(unexpected);
    // Values that arrived as NULL are told of in any case: with the stop, or on their own.
    const QString note = nullDates.isEmpty()
                             ? QString()
                             : QStringLiteral("Before the copy stopped:\n") + nullDates.text();
    if (stopped)
        reportFailure(ctx.dialogs, *stopped, failure.value_or(Refused{}), note);
    else if (failure)
        reportFailure(ctx.dialogs, failureText(d, p, failure, nativeError), *failure, note);
    else if (!nullDates.isEmpty())
        ctx.dialogs.MsgBox(nullDates.text(), ui::kOkOnly);
}

} // namespace

void SendTablesToMySQL(const CommandContext& ctx) {
    run(ctx, Direction{.source = Server::MSSQL,
                       .target = Server::MySQL,
                       .nameTaken = kMySqlTableExists,
                       .sourceServer = kSqlServer,
                       .targetServer = kMySql,
                       .sourceList = ctx.mssqlList,
                       .targetList = ctx.mysqlList,
                       .dropTable = &sql::mysqlDropTable,
                       .readColumns = &readMssqlColumns,
                       .createTable = &sql::mysqlCreateTable,
                       .rowEstimate = &sql::mssqlRowEstimate,
                       .selectAll = &sql::mssqlSelectAll,
                       .literal = &sql::appendMysqlLiteral,
                       .countRows = &sql::mysqlCountRows});
}

void SendTablesToMSSQL(const CommandContext& ctx) {
    run(ctx, Direction{.source = Server::MySQL,
                       .target = Server::MSSQL,
                       .nameTaken = kMssqlObjectExists,
                       .sourceServer = kMySql,
                       .targetServer = kSqlServer,
                       .sourceList = ctx.mysqlList,
                       .targetList = ctx.mssqlList,
                       .dropTable = &sql::mssqlDropTable,
                       .readColumns = &readMysqlColumns,
                       .createTable = &sql::mssqlCreateTable,
                       .rowEstimate = &sql::mysqlRowEstimate,
                       .selectAll = &sql::mysqlSelectAll,
                       .literal = &sql::appendMssqlLiteral,
                       .countRows = &sql::mssqlCountRows});
}

} // namespace fq::commands
