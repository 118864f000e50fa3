// SELECT: the source, the select list, WHERE, ORDER BY and COUNT(*).

#include <algorithm>
#include <mutex>

#include "Expressions.h"
#include "InfoSchema.h"
#include "Session.h"
#include "Text.h"

namespace tds {

namespace {

// What a SELECT reads from: a stored table (read row by row under its lock), the table under a
// view (the view's columns picked from each row), or rows built for the query (a catalog view, or
// the one empty row of a SELECT without FROM).
struct Source {
    std::vector<Column> columns;
    std::shared_ptr<const Table> table;
    std::vector<std::size_t> picked; // a view's columns in the table's rows; empty for a table
    std::shared_ptr<const std::vector<Row>> rows;
    std::size_t count = 0;
    mutable Row whole;

    void read(std::size_t i, Row& out) const {
        if (table && picked.empty()) {
            table->copyRow(i, out);
        } else if (table) {
            table->copyRow(i, whole);
            out.resize(picked.size());
            for (std::size_t k = 0; k < picked.size(); ++k) {
                out[k] = whole[picked[k]];
            }
        } else {
            out = (*rows)[i];
        }
    }
};

// A view reads its table as the table is now, found by the name the view wrote: its columns by
// their names.
std::optional<Message> viewSource(const SessionImpl& session, const Table& view, Source& out) {
    const ViewDefinition& definition = *view.view();
    TableRef ref;
    if (auto m = session.resolveTable(definition.from, ref)) {
        return m;
    }
    if (!ref.table || ref.table->view()) {
        return makeMessage(208, 16, 1,
                           u"Invalid object name '" + definition.from.written() + u"'.");
    }
    const std::vector<Column>& from = ref.table->columns();
    for (std::size_t k = 0; k < definition.sourceColumns.size(); ++k) {
        const std::u16string& name = definition.sourceColumns[k];
        auto it = std::find_if(from.begin(), from.end(),
                               [&](const Column& c) { return text::equalsCi(c.name, name); });
        if (it == from.end()) {
            return makeMessage(207, 16, 1, u"Invalid column name '" + name + u"'.");
        }
        out.picked.push_back(static_cast<std::size_t>(it - from.begin()));
        Column c = *it;
        c.name = view.columns()[k].name;
        out.columns.push_back(std::move(c));
    }
    out.count = ref.table->rowCount();
    out.table = ref.table;
    return std::nullopt;
}

// The select list bound to the source: one expression and one result column per item.
struct Projection {
    std::vector<Expr> exprs;
    std::vector<Column> columns;
    bool count = false;    // SELECT COUNT(*)
    bool identity = false; // the source's columns as they are (SELECT *)
};

// Whether a row of the source passes the WHERE clause.
std::optional<Message> passes(const std::optional<Expr>& where, const EvalContext& ctx,
                              bool& keep) {
    keep = true;
    return where ? Expressions::holds(*where, ctx, keep) : std::nullopt;
}

std::optional<Message> projectRow(const Projection& p, const EvalContext& ctx, Row& out) {
    out.resize(p.exprs.size());
    for (std::size_t i = 0; i < p.exprs.size(); ++i) {
        Typed t;
        if (auto m = Expressions::eval(p.exprs[i], ctx, t)) {
            return m;
        }
        out[i] = std::move(t.value);
    }
    return std::nullopt;
}

// Streams the rows of a source up to the row count taken when the query started. Read by the
// wire half inside the statement's emit, while the session and the batch's variables live.
class StreamedRows : public RowSource {
public:
    StreamedRows(const EvalContext& ctx, Source source, std::optional<Expr> where,
                 Projection projection)
        : source_(std::move(source)), where_(std::move(where)), projection_(std::move(projection)),
          ctx_(ctx) {
        ctx_.columns = &source_.columns;
        ctx_.row = &current_;
    }

    bool next(std::vector<Value>& row) override {
        while (index_ < source_.count) {
            source_.read(index_++, current_);
            bool keep = true;
            std::optional<Message> m = passes(where_, ctx_, keep);
            if (!m && keep && projection_.identity) {
                row = std::move(current_);
            } else if (!m && keep) {
                m = projectRow(projection_, ctx_, row);
            }
            if (m) {
                throw RowError(std::move(*m));
            }
            if (keep) {
                return true;
            }
        }
        return false;
    }

private:
    Source source_;
    std::optional<Expr> where_;
    Projection projection_;
    EvalContext ctx_;
    std::size_t index_ = 0;
    Row current_;
};

std::optional<Message> resolveSource(const SessionImpl& session, const ObjectName& name,
                                     Source& out) {
    TableRef ref;
    if (auto m = session.resolveTable(name, ref)) {
        return m;
    }
    if (ref.table && ref.table->view()) {
        return viewSource(session, *ref.table, out);
    }
    if (ref.table) {
        out.columns = ref.table->columns();
        out.count = ref.table->rowCount();
        out.table = ref.table;
        return std::nullopt;
    }
    const bool columns = text::equalsCi(name.schema(), u"INFORMATION_SCHEMA") &&
                         text::equalsCi(name.object(), u"COLUMNS");
    const bool partitions =
        text::equalsCi(name.schema(), u"sys") && text::equalsCi(name.object(), u"partitions");
    if (columns || partitions) {
        auto rows = std::make_shared<std::vector<Row>>();
        std::shared_lock lock(session.db().mutex());
        if (columns)
            InfoSchema::columnsView(session.db(), out.columns, *rows);
        else
            InfoSchema::partitionsView(session.db(), out.columns, *rows);
        out.count = rows->size();
        out.rows = std::move(rows);
        return std::nullopt;
    }
    return makeMessage(208, 16, 1, u"Invalid object name '" + name.written() + u"'.");
}

std::optional<Message> project(const SelectStmt& s, const Source& source, const EvalContext& ctx,
                               Projection& out) {
    for (const auto& item : s.items) {
        if (item.star) {
            if (!s.from) {
                return makeMessage(263, 16, 1, u"Must specify table to select from.");
            }
            for (std::size_t i = 0; i < source.columns.size(); ++i) {
                Expr e;
                e.kind = Expr::Kind::Column;
                e.slot = static_cast<std::int32_t>(i);
                out.exprs.push_back(std::move(e));
                out.columns.push_back(source.columns[i]);
            }
            continue;
        }
        Expr e = item.expr;
        Column c;
        if (auto m = Expressions::bind(e, source.columns)) {
            return m;
        }
        if (auto m = Expressions::typeOf(e, ctx, c.type)) {
            return m;
        }
        // Named as the query wrote it, as SQL Server names a result column.
        c.name = !item.alias.empty()            ? item.alias
                 : e.kind == Expr::Kind::Column ? e.text
                                                : std::u16string();
        out.count = out.count || e.kind == Expr::Kind::CountStar;
        out.exprs.push_back(std::move(e));
        out.columns.push_back(std::move(c));
    }
    out.identity = out.exprs.size() == source.columns.size();
    for (std::size_t i = 0; i < out.exprs.size(); ++i) {
        const Expr& e = out.exprs[i];
        out.identity =
            out.identity && e.kind == Expr::Kind::Column && e.slot == static_cast<std::int32_t>(i);
        if (out.count && e.kind != Expr::Kind::CountStar && e.kind != Expr::Kind::Literal) {
            return makeMessage(8120, 16, 1,
                               u"Column is invalid in the select list because it is not "
                               u"contained in either an aggregate function or the GROUP BY "
                               u"clause.");
        }
    }
    return std::nullopt;
}

// ORDER BY 2 names the second item of the select list; anything else is bound to the source.
std::optional<Message> bindOrder(const SelectStmt& s, const Projection& p, const Source& source,
                                 std::vector<Expr>& order) {
    order = s.orderBy;
    for (auto& o : order) {
        if (o.kind == Expr::Kind::Literal && o.literal == LiteralKind::Integer) {
            const auto n = static_cast<std::size_t>(text::toInteger(o.text).value_or(0));
            if (n < 1 || n > p.exprs.size()) {
                return makeMessage(108, 15, 1,
                                   u"The ORDER BY position number " + o.text +
                                       u" is out of range of the number of items in the select "
                                       u"list.");
            }
            o = p.exprs[n - 1];
        } else if (auto m = Expressions::bind(o, source.columns)) {
            return m;
        }
    }
    return std::nullopt;
}

// The rows of an ordered query, sorted with NULLs first as SQL Server sorts ascending.
std::optional<Message> sortedRows(const Source& source, const std::optional<Expr>& where,
                                  const Projection& p, const std::vector<Expr>& order,
                                  EvalContext ctx, std::vector<Row>& rows) {
    Row current;
    ctx.row = &current;
    std::vector<std::pair<std::vector<Typed>, Row>> keyed;
    for (std::size_t i = 0; i < source.count; ++i) {
        source.read(i, current);
        bool keep = true;
        if (auto m = passes(where, ctx, keep); m || !keep) {
            if (m) {
                return m;
            }
            continue;
        }
        std::vector<Typed> key(order.size());
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (auto m = Expressions::eval(order[k], ctx, key[k])) {
                return m;
            }
        }
        Row out;
        if (auto m = projectRow(p, ctx, out)) {
            return m;
        }
        keyed.emplace_back(std::move(key), std::move(out));
    }
    auto nullFirst = [](const Typed& a, const Typed& b) {
        std::optional<int> c;
        Expressions::compare(a, b, c);
        const bool an = std::holds_alternative<std::monostate>(a.value);
        const bool bn = std::holds_alternative<std::monostate>(b.value);
        return c ? *c : an == bn ? 0 : an ? -1 : 1;
    };
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        for (std::size_t k = 0; k < order.size(); ++k) {
            if (const int c = nullFirst(a.first[k], b.first[k])) {
                return c < 0;
            }
        }
        return false;
    });
    for (auto& entry : keyed) {
        rows.push_back(std::move(entry.second));
    }
    return std::nullopt;
}

// SELECT COUNT(*): one row, the count in place of each COUNT(*).
std::optional<Message> countedRow(const Source& source, const std::optional<Expr>& where,
                                  const Projection& p, EvalContext ctx, std::vector<Row>& rows) {
    Row current;
    ctx.row = &current;
    std::int64_t matched = 0;
    for (std::size_t i = 0; i < source.count; ++i) {
        source.read(i, current);
        bool keep = true;
        if (auto m = passes(where, ctx, keep)) {
            return m;
        }
        matched += keep ? 1 : 0;
    }
    Row out;
    for (const auto& e : p.exprs) {
        Typed t;
        if (e.kind == Expr::Kind::Literal) {
            Convert::literal(e.literal, e.text, t);
        }
        out.push_back(e.kind == Expr::Kind::CountStar ? Value{matched} : t.value);
    }
    rows.push_back(std::move(out));
    return std::nullopt;
}

} // namespace

bool SessionImpl::execSelect(const SelectStmt& s, const Variables* vars, const Emit& emit) {
    Source source;
    if (s.from) {
        if (auto m = resolveSource(*this, *s.from, source)) {
            return fail(emit, std::move(*m), line_);
        }
    } else {
        source.rows = std::make_shared<std::vector<Row>>(1);
        source.count = 1;
    }
    EvalContext ctx;
    ctx.session = this;
    ctx.vars = vars;
    ctx.columns = &source.columns;
    Projection projection;
    std::optional<Expr> where = s.where;
    std::vector<Expr> order;
    std::optional<Message> refused = project(s, source, ctx, projection);
    if (!refused && where) {
        refused = Expressions::bind(*where, source.columns);
    }
    if (!refused) {
        refused = bindOrder(s, projection, source, order);
    }
    if (refused) {
        return fail(emit, std::move(*refused), line_);
    }
    StatementOutcome outcome;
    outcome.result = ResultSet{projection.columns, nullptr};
    if (projection.count || !order.empty()) {
        std::vector<Row> rows;
        if (auto m = projection.count ? countedRow(source, where, projection, ctx, rows)
                                      : sortedRows(source, where, projection, order, ctx, rows)) {
            return fail(emit, std::move(*m), line_);
        }
        outcome.rowCount = static_cast<std::int64_t>(rows.size());
        outcome.result->rows = std::make_unique<RowList>(std::move(rows));
    } else {
        // Streamed: the wire half counts the rows it sends.
        outcome.result->rows = std::make_unique<StreamedRows>(
            ctx, std::move(source), std::move(where), std::move(projection));
    }
    emit(std::move(outcome));
    return true;
}

} // namespace tds
