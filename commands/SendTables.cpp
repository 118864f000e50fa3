#include "commands/SendTables.h"

#include "commands/CopyMessages.h"
#include "commands/NullDates.h"
#include "commands/ReadAhead.h"
#include "commands/SourceRows.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "sql/Literals.h"
#include "sql/Refusal.h"
#include "sql/Server.h"
#include "sql/SqlText.h"
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

using copy::Place;
using copy::Step;
using sql::TargetColumn;
using sql::ValueKind;

const QString kSqlServer = QStringLiteral("SQL Server");
const QString kMySql = QStringLiteral("MySQL");

// CREATE TABLE refused because the name is taken: MySQL's "Table '...' already exists", SQL
// Server's "There is already an object named '...' in the database".
// A value larger than this has gone into its statement whole and is not kept whole beside it:
// the row keeps its first kKeptOfLong units (a message shows at most the first few dozen).
constexpr qsizetype kLongValueBytes = 1024 * 1024;
constexpr qsizetype kKeptOfLong = 1024;

constexpr long kMySqlTableExists = 1050;
constexpr long kMssqlObjectExists = 2714;

// What differs between the two directions: the servers' names, the lists, the statements, and
// the target's number for a CREATE TABLE whose name is taken.
struct Direction {
    Server source;
    Server target;
    long nameTaken;
    copy::Servers names;
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

// What a copy into MySQL takes from the server at its start: the numbers of the row size rule
// and the longest statement it takes. A copy into SQL Server has none of them.
struct TargetLimits {
    sql::MysqlRowRules rows;
    long long maxAllowedPacket = 0;
    std::optional<long long> largestStatement;
};

TargetLimits readMysqlLimits(odbc::Connection& mysql) {
    odbc::Result rs = mysql.execute(sql::mysqlServerLimits());
    TargetLimits limits;
    if (rs.atEnd())
        return limits;
    const auto field = [&](int i) { return rs.value(i).text().trimmed().toLongLong(); };
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
// A row whose values go in pieces is held to the same limit, as the statement with their
// literals would be.
void refuseOversized(const QString& statement, const sql::InsertText& insert, const ReadRow& row,
                     const QList<TargetColumn>& columns, const TargetLimits& limits) {
    if (!limits.largestStatement)
        return;
    // No character takes more than three bytes in UTF-8 (a pair of surrogates takes four).
    if (row.pieces.isEmpty() && statement.size() * 3 <= *limits.largestStatement)
        return;
    const auto literalBytes = [&](qsizetype i) {
        const auto field = static_cast<int>(i);
        if (!row.pieces.contains(field))
            return sql::utf8Bytes(insert.literal(i));
        return sql::mysqlLiteralBytes(row.values[static_cast<std::size_t>(field)],
                                      columns.value(field).kind);
    };
    long long bytes = sql::utf8Bytes(statement);
    for (const int field : row.pieces)
        bytes += literalBytes(field) - 1; // in the place of its marker
    if (bytes <= *limits.largestStatement)
        return;
    qsizetype largest = 0;
    long long largestBytes = -1;
    for (qsizetype i = 0; i < insert.valueCount(); ++i) {
        if (const long long b = literalBytes(i); b > largestBytes) {
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

// A long text or bytes going to MySQL is sent beside its statement, in pieces, rather than as
// a literal in it: the driver then holds neither the statement's copy of it nor its own. What
// arrives is the same (a statement of such a row is prepared on the server, and the value takes
// the column's type as the literal's text would).
bool inPieces(const Direction& d, const odbc::Value& value, ValueKind kind) {
    return d.target == Server::MySQL && kind == ValueKind::Plain &&
           (value.kind() == odbc::Value::Kind::Text || value.kind() == odbc::Value::Kind::Binary) &&
           value.heldBytes() > kLongValueBytes;
}

// The field of the row's longest text going to SQL Server, when it is long, to become the
// statement in its own storage (sql::wrapInMssqlText) rather than be copied into it; -1 for none.
int wrappedText(const Direction& d, const ReadRow& row, int fields,
                const QList<TargetColumn>& columns) {
    if (d.target != Server::MSSQL)
        return -1;
    int longest = -1;
    qsizetype held = kLongValueBytes;
    for (int i = 0; i < fields; ++i) {
        const odbc::Value& value = row.values[static_cast<std::size_t>(i)];
        const ValueKind kind = i < columns.size() ? columns[i].kind : ValueKind::Plain;
        if (kind == ValueKind::Plain && value.kind() == odbc::Value::Kind::Text &&
            value.heldBytes() > held && !value.text().contains(QChar(u'\0'))) {
            longest = i;
            held = value.heldBytes();
        }
    }
    return longest;
}

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
        odbc::Result rs = mssql.execute(sql::mssqlColumnsQuery(table));
        while (!rs.atEnd()) {
            columns << sql::MssqlColumn{textOf(rs.value(0)),      textOf(rs.value(1)),
                                        number(rs.value(2)),      smallNumber(rs.value(3)),
                                        smallNumber(rs.value(4)), smallNumber(rs.value(5))};
            rs.moveNext();
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
        odbc::Result rs = mysql.execute(sql::mysqlDescribe(table));
        while (!rs.atEnd()) {
            columns << sql::MysqlColumn{textOf(rs.value(0)), textOf(rs.value(1))};
            rs.moveNext();
        }
    }
    if (columns.isEmpty())
        throw noColumns(kMySql, table);
    return sql::mssqlColumnsFor(columns);
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
        for (odbc::Result rs = source.execute(d.rowEstimate(name)); !rs.atEnd(); rs.moveNext()) {
            const auto n = number(rs.value(0));
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

// The rows the target's table holds.
std::optional<long long> rowsOnTarget(const Direction& d, odbc::Connection& target,
                                      const QString& table) {
    odbc::Result rs = target.execute(d.countRows(table));
    return rs.atEnd() ? std::nullopt : number(rs.value(0));
}

// Rows read, INSERTs that added their rows, and the rows the target holds must all agree.
void checkRowCount(const Direction& d, odbc::Connection& target, Place& p) {
    if (p.copied != p.read)
        throw RowsMissing{p.read, p.copied, false};
    p.step = Step::Counting;
    const auto onTarget = rowsOnTarget(d, target, p.table);
    if (onTarget && *onTarget != p.read)
        throw RowsMissing{p.read, *onTarget, true};
}

// What a copy's statements of rows go through: the target, the table's columns, the place for
// the messages, and the values that went as NULL.
struct Sending {
    const Direction& d;
    odbc::Connection& target;
    const QList<TargetColumn>& columns;
    const StatementShape& shape;
    Place& p;
    NullDates& nullDates;

    // A row as it was sent: a value that went as NULL can't be the one refused.
    QList<odbc::Value> asSent(const ReadRow& row, int fields) const {
        QList<odbc::Value> values = fieldsOf(row.values, fields);
        for (const int i : row.nulled)
            values[i] = odbc::Value::null();
        return values;
    }

    // A row has arrived: its values that went as NULL are counted.
    void arrived(const ReadRow& row) const {
        for (const int i : row.nulled)
            nullDates.add(p.table, i, columns[i].name,
                          row.values[static_cast<std::size_t>(i)].text());
    }

    // Sends the statement; when the server refuses it, finds the row it refused (and throws that
    // row's refusal), or else leaves every row of it on the target.
    void send(const ReadStatement& st) {
        p.sending = static_cast<long long>(st.count);
        long long added = -1;
        try {
            if (st.rows[0].pieces.isEmpty()) {
                target.execute(st.text, &added);
            } else {
                std::vector<const odbc::Value*> values;
                for (const int i : st.rows[0].pieces)
                    values.push_back(&st.rows[0].values[static_cast<std::size_t>(i)]);
                target.execute(st.text, values, &added);
            }
        } catch (const odbc::DbError& e) {
            if (st.count == 1)
                p.row = asSent(st.rows[0], st.fields);
            if (st.count == 1 || e.interruption() != odbc::Interruption::None)
                throw;
            findRefused(st);
            return;
        }
        for (std::size_t i = 0; i < st.count; ++i)
            arrived(st.rows[i]);
        // A driver that cannot tell (-1) is taken at its word that the rows went in.
        const auto count = static_cast<long long>(st.count);
        p.copied += added < 0 ? count : std::min(added, count);
        p.sending = 1;
    }

    // A statement of several rows was refused. SQL Server, and a MySQL table whose engine undoes
    // a failed statement (InnoDB), keep nothing of it; a MySQL table whose engine does not
    // (MyISAM, Aria) keeps the rows before the one refused. What stayed is counted, not assumed;
    // the rows after it are then sent one statement each, exactly as they would go alone, until
    // the server refuses one: the message names that row, the rows before it are on the target.
    void findRefused(const ReadStatement& st) {
        const auto count = static_cast<long long>(st.count);
        const long long onTarget = rowsOnTarget(d, target, p.table).value_or(-1);
        const long long stayed = onTarget - p.copied;
        if (stayed < 0 || stayed > count)
            throw RowsMissing{p.read, onTarget, true};
        for (std::size_t i = 0; i < static_cast<std::size_t>(stayed); ++i)
            arrived(st.rows[i]);
        p.copied += stayed;
        p.sending = 1;
        for (auto i = static_cast<std::size_t>(stayed); i < st.count; ++i) {
            long long added = -1;
            try {
                target.execute(st.statementOf(i, shape), &added);
            } catch (const odbc::DbError&) {
                p.row = asSent(st.rows[i], st.fields);
                throw;
            }
            arrived(st.rows[i]);
            if (added != 0)
                ++p.copied;
        }
    }
};

void copyTable(const Direction& d, const CommandContext& ctx, odbc::Connection& source,
               odbc::Connection& target, const TargetLimits& limits, Place& p,
               NullDates& nullDates) {
    const QString& name = p.table;
    if (ui::ListContains(name, d.targetList)) {
        const int answer =
            ctx.dialogs.MsgBox(QStringLiteral("Would you like to overwrite ") + name + u'?',
                               ui::kYesNo, QStringLiteral("Overwrite?"));
        if (answer != ui::kAnswerYes)
            return;
        p.step = Step::Dropping;
        target.execute(d.dropTable(name));
        ui::ListRemoveMatches(d.targetList, name);
    }

    p.step = Step::ReadingColumns;
    const QList<TargetColumn> columns = d.readColumns(source, name, limits.rows);

    p.step = Step::Creating;
    try {
        target.execute(d.createTable(name, columns));
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

    // The source is read, and the rows' INSERTs made, many rows a statement, on a thread of its
    // own, a little ahead of the statement being sent. A MySQL driver that loads a whole result
    // into memory reads a large table in pages.
    p.step = Step::ReadingRows;
    sql::InsertText insert(d.target, name); // every row's statement is built in it
    const PrepareRow prepare = [&d, &columns, &limits, &insert](ReadRow& row, int fields,
                                                                QString& statement) {
        insert.start();
        const int wrapped = wrappedText(d, row, fields, columns);
        qsizetype wrapAt = -1;
        for (int i = 0; i < fields; ++i) {
            const ValueKind kind = i < columns.size() ? columns[i].kind : ValueKind::Plain;
            const odbc::Value& value = row.values[static_cast<std::size_t>(i)];
            // A value that is not a calendar date goes as NULL.
            if (sql::notACalendarDate(value, kind))
                row.nulled << i;
            row.refusedField = i;
            if (i == wrapped) {
                wrapAt = insert.next().size();
            } else if (inPieces(d, value, kind)) {
                row.pieces << i;
                insert.next() += u'?';
            } else {
                d.literal(insert.next(), value, kind);
            }
        }
        row.refusedField = -1;
        QString& made = insert.finish();
        refuseOversized(made, insert, row, columns, limits);
        if (wrapped >= 0) {
            odbc::Value& value = row.values[static_cast<std::size_t>(wrapped)];
            QString text = value.text();
            value.setText(text.left(kKeptOfLong));
            sql::wrapInMssqlText(text, QStringView(made).left(wrapAt),
                                 QStringView(made).mid(wrapAt));
            statement.swap(text);
        } else {
            statement.swap(made);
        }
        for (int i = 0; i < static_cast<int>(row.values.size()); ++i) {
            odbc::Value& value = row.values[static_cast<std::size_t>(i)];
            if (value.heldBytes() > kLongValueBytes && !row.pieces.contains(i))
                value.shorten(kKeptOfLong);
        }
    };
    StatementShape shape{insert.head().size(), sql::InsertText::rowSeparator(), -1};
    // A statement of several rows stays within the server's packet limit (a character takes at
    // most three bytes in UTF-8); a row alone is checked exactly by the prepare step.
    if (limits.largestStatement)
        shape.longest = static_cast<qsizetype>(*limits.largestStatement / 3);
    ReadAhead rs(
        source,
        [&source, &d, &name, estimate] {
            return std::make_unique<SourceRows>(source, d.source, name, d.selectAll(name),
                                                estimate);
        },
        prepare, shape);
    Sending sending{d, target, columns, rs.shape(), p, nullDates};
    while (const ReadStatement* st = rs.next()) {
        p.read += static_cast<long long>(st->count);
        p.step = Step::CopyingRows;
        if (st->count > 0)
            sending.send(*st);
        if (st->refused) {
            ++p.read;
            p.sending = 1;
            p.row = fieldsOf(st->refused->values, st->fields);
            p.refusedColumn = st->refused->refusedField;
            std::rethrow_exception(st->refused->refused);
        }
        p.step = Step::ReadingRows;
        if (st->error)
            std::rethrow_exception(st->error);
        if (ctx.progress != nullptr && !ctx.progress->update(p.copied))
            throw StopRequested{};
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
    Place p;
    NullDates nullDates;
    std::optional<Refused> failure;
    std::optional<QString> stopped; // a message of its own: cancelled, cut off, rows missing
    std::exception_ptr unexpected;
    long nativeError = 0;
    ui::Failure kind = ui::Failure::Refused;
    {
        const ui::PointerGuard hourglass(ctx.pointer);
        const sql::ConnectionSettings settings = ctx.settings();
        odbc::Connection mssql;
        odbc::Connection mysql;
        try {
            p.step = Step::ConnectingMssql;
            openConnection(mssql, sql::MSSQLConnectionString(settings));
            p.step = Step::ConnectingMysql;
            openConnection(mysql, sql::MySQLConnectionStringCommandOrder(settings));
            p.step = Step::PreparingMysql;
            mysql.execute(sql::mysqlSessionSetup());

            odbc::Connection& source = d.source == Server::MSSQL ? mssql : mysql;
            odbc::Connection& target = d.source == Server::MSSQL ? mysql : mssql;
            // The selected tables, sent from the bottom of the list up.
            const QList<ui::ListEntry> selected = d.sourceList.selectedEntries();
            const auto count = static_cast<int>(selected.size());
            int tableNumber = 0;
            std::optional<TargetLimits> limits; // read when the first table is reached
            for (auto entry = selected.crbegin(); entry != selected.crend(); ++entry) {
                stopIfRequested(ctx);
                if (!limits) {
                    p.step = Step::PreparingMysql;
                    limits = d.source == Server::MSSQL ? readMysqlLimits(mysql) : TargetLimits{};
                }
                p = Place{};
                p.step = Step::ReadingColumns;
                p.table = entry->text;
                p.number = ++tableNumber;
                p.count = count;
                copyTable(d, ctx, source, target, *limits, p, nullDates);
            }
        } catch (const odbc::DbError& e) {
            const bool connecting =
                p.step == Step::ConnectingMssql || p.step == Step::ConnectingMysql;
            kind = failureOf(e, connecting ? ui::Failure::NotConnected : ui::Failure::Refused);
            switch (e.interruption()) {
            case odbc::Interruption::StoppedAnswering:
                stopped = copy::stoppedAnswering(d.names, p);
                failure = refusedBy(e);
                break;
            case odbc::Interruption::Cancelled:
                stopped = copy::stoppedOnRequest(d.names, p, true);
                break;
            case odbc::Interruption::None:
                failure = refusedBy(e);
                nativeError = e.nativeError();
                break;
            }
        } catch (const sql::Refusal& e) {
            // A SQL Server setting its driver cannot take is refused before connecting.
            if (p.step == Step::ConnectingMssql)
                kind = ui::Failure::NotConnected;
            failure = refusedBy(e);
        } catch (const StopRequested&) {
            stopped = copy::stoppedOnRequest(d.names, p, false);
            kind = ui::Failure::Cancelled;
        } catch (const RowsMissing& m) {
            stopped = copy::rowsDiffer(d.names, p, m.read, m.onTarget, m.counted);
            kind = ui::Failure::RowsDiffer;
        } catch (...) {
            // Not a stop the copy can explain: the command's end reports it, after this.
            unexpected = std::current_exception();
        }
        // A table that was created stays, with the rows that arrived: the list shows it.
        if ((failure || stopped || unexpected) && p.created)
            d.targetList.AddItem(p.table);
        mysql.close();
        mssql.close();
    }
    if (unexpected)
        std::rethrow_exception(unexpected);
    // Values that arrived as NULL are told of in any case: with the stop, or on their own.
    const QString note = nullDates.isEmpty()
                             ? QString()
                             : QStringLiteral("Before the copy stopped:\n") + nullDates.text();
    if (stopped)
        reportFailure(ctx.dialogs, kind, *stopped, failure.value_or(Refused{}), note);
    else if (failure)
        reportFailure(ctx.dialogs, kind, copy::refused(d.names, p, failure, nativeError), *failure,
                      note);
    else if (!nullDates.isEmpty())
        ctx.dialogs.MsgBox(nullDates.text(), ui::kOkOnly);
}

} // namespace

void SendTablesToMySQL(const CommandContext& ctx) {
    run(ctx, Direction{.source = Server::MSSQL,
                       .target = Server::MySQL,
                       .nameTaken = kMySqlTableExists,
                       .names = {Server::MySQL, kSqlServer, kMySql},
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
                       .names = {Server::MSSQL, kMySql, kSqlServer},
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
