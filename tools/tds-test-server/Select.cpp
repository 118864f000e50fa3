// SELECT: sources, projection, filter, order, and the functions a query may call.

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "DateTime.h"
#include "Evaluator.h"
#include "InfoSchema.h"
#include "Lexer.h"
#include "SessionImpl.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

const char16_t* const kVersion =
    u"Microsoft SQL Server 2019 (RTM-CU22) (KB5027702) - 15.0.4322.2 (X64) \n"
    u"\tJul 27 2023 18:11:00 \n"
    u"\tCopyright (C) 2019 Microsoft Corporation\n"
    u"\tDeveloper Edition (64-bit) on Linux (Debian GNU/Linux 12 (bookworm)) <X64>";

// Streams the rows of a source: a stored table read one row at a time under its lock, up to
// the row count taken when the query started.
class SelectRows : public RowSource {
public:
    // The session evaluates functions of columns; it outlives the rows, which the wire half
    // reads before the connection's next request.
    SelectRows(SessionImpl* session, Source source, std::optional<Expr> where,
               std::vector<Expr> projection, bool identity, std::optional<std::int64_t> top)
        : source_(std::move(source)), where_(std::move(where)), projection_(std::move(projection)),
          identity_(identity), top_(top) {
        env_.session = session;
        env_.columns = &source_.columns;
        env_.row = &current_;
    }

    bool next(std::vector<Value>& row) override {
        for (;;) {
            if (index_ >= source_.count || (top_ && produced_ >= *top_)) {
                return false;
            }
            if (source_.table) {
                source_.table->copyRow(index_, current_);
            } else {
                current_ = (*source_.rows)[index_];
            }
            ++index_;
            if (where_) {
                bool keep = false;
                if (auto m = Evaluator::test(*where_, env_, keep)) {
                    // A row the condition cannot be evaluated on fails the query, as on SQL
                    // Server, where the error follows the rows already sent.
                    throw std::runtime_error(text::toUtf8(m->text));
                }
                if (!keep) {
                    continue;
                }
            }
            ++produced_;
            if (identity_) {
                row = std::move(current_);
                current_.clear();
                return true;
            }
            row.resize(projection_.size());
            for (std::size_t i = 0; i < projection_.size(); ++i) {
                Typed t;
                if (auto m = Evaluator::eval(projection_[i], env_, t)) {
                    throw std::runtime_error(text::toUtf8(m->text));
                }
                row[i] = std::move(t.value);
            }
            return true;
        }
    }

private:
    Source source_;
    std::optional<Expr> where_;
    std::vector<Expr> projection_;
    bool identity_;
    std::optional<std::int64_t> top_;
    std::size_t index_ = 0;
    std::int64_t produced_ = 0;
    Row current_;
    EvalEnv env_;
};

// Rows already built (ordered results, aggregates, constant selects).
class BuiltRows : public RowSource {
public:
    explicit BuiltRows(std::vector<Row> rows) : rows_(std::move(rows)) {}
    bool next(std::vector<Value>& row) override {
        if (index_ >= rows_.size()) {
            return false;
        }
        row = std::move(rows_[index_++]);
        return true;
    }

private:
    std::vector<Row> rows_;
    std::size_t index_ = 0;
};

bool failWith(const Emit& emit, Message m, std::int32_t line) {
    m.line = line;
    StatementOutcome o;
    o.messages.push_back(std::move(m));
    emit(std::move(o));
    return false;
}

Typed nText(std::u16string s, std::int32_t length = 128) {
    Typed t;
    t.type.type = Type::NVarChar;
    t.type.length = length;
    t.value = std::move(s);
    return t;
}

Typed nullNText(std::int32_t length = 128) {
    Typed t;
    t.type.type = Type::NVarChar;
    t.type.length = length;
    return t;
}

Typed intValue(std::optional<std::int64_t> v, Type type = Type::Int) {
    Typed t;
    t.type.type = type;
    if (v) {
        t.value = *v;
    }
    return t;
}

// Splits a possibly quoted multi-part name ("[dbo].[t]", "sales.t") into its parts.
std::optional<ObjectName> splitName(const std::u16string& s) {
    std::vector<Token> tokens;
    if (Lexer::tokenize(s, tokens)) {
        return std::nullopt;
    }
    ObjectName name;
    std::size_t i = 0;
    bool expectName = true;
    for (; tokens[i].kind != TokenKind::End; ++i) {
        const Token& t = tokens[i];
        if (t.isSymbol(u".")) {
            if (expectName) {
                name.parts.emplace_back();
            }
            expectName = true;
        } else if (t.isName() && expectName) {
            name.parts.push_back(t.text);
            expectName = false;
        } else {
            return std::nullopt;
        }
    }
    if (name.parts.empty() || expectName || name.parts.size() > 4) {
        return std::nullopt;
    }
    return name;
}

} // namespace

std::optional<Message> SessionImpl::resolveSource(const ObjectName& name, Source& out) {
    auto invalid = [&] {
        return makeMessage(208, 16, 1, u"Invalid object name '" + name.written() + u"'.");
    };
    TableRef ref;
    if (auto m = resolveTable(name, ref)) {
        return m;
    }
    if (ref.table) {
        out = Source{};
        out.columns = ref.table->columns();
        out.count = ref.table->rowCount();
        out.table = ref.table;
        return std::nullopt;
    }
    std::shared_lock lock(ref.database->mutex());
    if (!name.schema().empty() &&
        InfoSchema::view(*ref.database, name.schema(), name.object(), out)) {
        return std::nullopt;
    }
    return invalid();
}

std::optional<std::int32_t> SessionImpl::objectId(const std::u16string& nameText) {
    auto name = splitName(nameText);
    if (!name) {
        return std::nullopt;
    }
    TableRef ref;
    if (resolveTable(*name, ref) || ref.database == nullptr) {
        return std::nullopt;
    }
    if (ref.table) {
        return ref.table->objectId();
    }
    if (const SystemObject* o = InfoSchema::findSystemObject(name->schema(), name->object())) {
        return o->id;
    }
    return std::nullopt;
}

std::optional<Message> SessionImpl::eval(const Expr& e, const Variables* vars, const Row* row,
                                         Typed& out) {
    EvalEnv env;
    env.session = this;
    env.vars = vars;
    env.row = row;
    return eval(e, env, out);
}

std::optional<Message> SessionImpl::eval(const Expr& e, const EvalEnv& outer, Typed& out) {
    EvalEnv env = outer;
    env.session = this;
    const Variables* vars = env.vars;
    if (e.kind == Expr::Kind::Variable) {
        const std::u16string& n = e.text;
        if (n.size() > 2 && n[1] == u'@') {
            std::u16string_view sys(n);
            sys.remove_prefix(2);
            if (text::isKeyword(sys, "version")) {
                out = nText(kVersion, 300);
            } else if (text::isKeyword(sys, "spid")) {
                out = intValue(spid_, Type::SmallInt);
            } else if (text::isKeyword(sys, "servername")) {
                out = nText(u"FERNQUILL-TDS");
            } else if (text::isKeyword(sys, "servicename")) {
                out = nText(u"MSSQLSERVER");
            } else if (text::isKeyword(sys, "language")) {
                out = nText(u"us_english");
            } else if (text::isKeyword(sys, "trancount") || text::isKeyword(sys, "error") ||
                       text::isKeyword(sys, "rowcount") || text::isKeyword(sys, "identity")) {
                out = intValue(text::isKeyword(sys, "identity") ? std::nullopt
                                                                : std::optional<std::int64_t>(0));
            } else if (text::isKeyword(sys, "max_precision")) {
                out = intValue(38, Type::TinyInt);
            } else if (text::isKeyword(sys, "textsize")) {
                out = intValue(2147483647);
            } else if (text::isKeyword(sys, "options")) {
                out = intValue(5432);
            } else if (text::isKeyword(sys, "microsoftversion")) {
                out = intValue(251662338);
            } else {
                return makeMessage(137, 15, 2, u"Must declare the scalar variable \"" + n + u"\".");
            }
            return std::nullopt;
        }
        if (vars != nullptr) {
            if (const Typed* v = vars->find(n)) {
                out = *v;
                return std::nullopt;
            }
        }
        return makeMessage(137, 15, 2, u"Must declare the scalar variable \"" + n + u"\".");
    }
    if (e.kind != Expr::Kind::Function) {
        return Evaluator::eval(e, env, out);
    }
    std::vector<Typed> args;
    for (const auto& a : e.args) {
        Typed t;
        if (auto m = Evaluator::eval(a, env, t)) {
            return m;
        }
        args.push_back(std::move(t));
    }
    const std::u16string& f = e.text;
    auto argc = [&](std::size_t lo, std::size_t hi) -> std::optional<Message> {
        if (args.size() < lo || args.size() > hi) {
            return makeMessage(174, 15, 1,
                               u"The " + text::folded(f) + u" function requires " +
                                   text::number(static_cast<std::int64_t>(lo)) + u" argument(s).");
        }
        return std::nullopt;
    };
    if (text::isKeyword(f, "object_id")) {
        if (auto m = argc(1, 2)) {
            return m;
        }
        auto name = Convert::textOrNull(args[0]);
        out = intValue(name ? objectId(*name) : std::nullopt);
        return std::nullopt;
    }
    if (text::isKeyword(f, "object_name") || text::isKeyword(f, "object_schema_name")) {
        if (auto m = argc(1, 2)) {
            return m;
        }
        const bool schemaOnly = text::isKeyword(f, "object_schema_name");
        out = nullNText();
        auto id = Convert::bigintOrNull(args[0]);
        if (!id) {
            return std::nullopt;
        }
        const auto oid = static_cast<std::int32_t>(*id);
        std::shared_lock lock(db_->mutex());
        if (auto t = db_->findById(oid)) {
            out = nText(schemaOnly ? t->schema : t->name);
        } else if (const SystemObject* o = InfoSchema::findSystemObject(oid)) {
            out = nText(schemaOnly ? o->schema : o->name);
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "schema_name")) {
        if (auto m = argc(0, 1)) {
            return m;
        }
        if (args.empty()) {
            out = nText(u"dbo");
            return std::nullopt;
        }
        out = nullNText();
        if (auto id = Convert::bigintOrNull(args[0])) {
            std::shared_lock lock(db_->mutex());
            if (const SchemaInfo* s = db_->schema(static_cast<std::int32_t>(*id))) {
                out = nText(s->name);
            }
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "schema_id")) {
        if (auto m = argc(0, 1)) {
            return m;
        }
        if (args.empty()) {
            out = intValue(1);
            return std::nullopt;
        }
        out = intValue(std::nullopt);
        if (auto n = Convert::textOrNull(args[0])) {
            std::shared_lock lock(db_->mutex());
            if (const SchemaInfo* s = db_->schema(*n)) {
                out = intValue(s->id);
            }
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "db_name")) {
        if (args.empty()) {
            out = nText(db_->name());
            return std::nullopt;
        }
        out = nullNText();
        if (auto id = Convert::bigintOrNull(args[0])) {
            for (const auto& d : engine_.databases) {
                if (d->id() == *id) {
                    out = nText(d->name());
                }
            }
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "db_id")) {
        if (args.empty()) {
            out = intValue(db_->id(), Type::SmallInt);
            return std::nullopt;
        }
        out = intValue(std::nullopt, Type::SmallInt);
        if (auto n = Convert::textOrNull(args[0])) {
            if (Database* d = engine_.findDatabase(*n)) {
                out = intValue(d->id(), Type::SmallInt);
            }
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "user_name") || text::isKeyword(f, "current_user")) {
        out = nText(u"dbo");
        return std::nullopt;
    }
    if (text::isKeyword(f, "suser_name") || text::isKeyword(f, "suser_sname")) {
        out = nText(login_);
        return std::nullopt;
    }
    if (text::isKeyword(f, "isnull") || text::isKeyword(f, "coalesce")) {
        if (args.empty()) {
            return makeMessage(174, 15, 1, u"The isnull function requires 2 argument(s).");
        }
        out = args[0];
        for (const auto& a : args) {
            if (!std::holds_alternative<std::monostate>(a.value)) {
                Typed r;
                r.type = args[0].type;
                if (Convert::to(a, r.type, r.value, nullptr)) {
                    out = a;
                } else {
                    out = std::move(r);
                }
                return std::nullopt;
            }
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "len") || text::isKeyword(f, "datalength")) {
        if (auto m = argc(1, 1)) {
            return m;
        }
        auto s = Convert::textOrNull(args[0]);
        if (!s) {
            out = intValue(std::nullopt);
            return std::nullopt;
        }
        if (text::isKeyword(f, "len")) {
            while (!s->empty() && s->back() == u' ') {
                s->pop_back();
            }
            out = intValue(static_cast<std::int64_t>(s->size()));
        } else if (const auto* b = std::get_if<std::string>(&args[0].value)) {
            out = intValue(static_cast<std::int64_t>(b->size()));
        } else if (const auto* u = std::get_if<std::u16string>(&args[0].value)) {
            out = intValue(static_cast<std::int64_t>(u->size() * 2));
        } else {
            out = intValue(static_cast<std::int64_t>(s->size()));
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "upper") || text::isKeyword(f, "lower")) {
        if (auto m = argc(1, 1)) {
            return m;
        }
        out = args[0];
        auto apply = [&](char16_t c) -> char16_t {
            if (text::isKeyword(f, "lower")) {
                return text::fold(c);
            }
            return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
        };
        if (auto* u = std::get_if<std::u16string>(&out.value)) {
            for (auto& c : *u) {
                c = apply(c);
            }
        } else if (auto* s = std::get_if<std::string>(&out.value)) {
            for (auto& c : *s) {
                c = static_cast<char>(apply(static_cast<char16_t>(static_cast<unsigned char>(c))));
            }
        }
        return std::nullopt;
    }
    if (text::isKeyword(f, "getdate") || text::isKeyword(f, "sysdatetime") ||
        text::isKeyword(f, "current_timestamp") || text::isKeyword(f, "getutcdate")) {
        auto now = std::chrono::system_clock::now();
        auto ticks100 =
            std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count() /
            100;
        std::int64_t days = ticks100 / DateTime::kTicksPerDay;
        std::int64_t rest = ticks100 % DateTime::kTicksPerDay;
        Typed src;
        src.type.type = Type::DateTime2;
        src.type.scale = 7;
        src.value = DateTimeValue{static_cast<std::int32_t>(days + 719162), rest, 0};
        out.type.type = text::isKeyword(f, "sysdatetime") ? Type::DateTime2 : Type::DateTime;
        out.type.scale = 7;
        return Convert::to(src, out.type, out.value, nullptr);
    }
    if (text::isKeyword(f, "serverproperty")) {
        out = nullNText();
        out.type.length = 128;
        if (!args.empty()) {
            auto p = Convert::textOrNull(args[0]).value_or(u"");
            if (text::isKeyword(p, "productversion")) {
                out = nText(u"15.0.4322.2");
            } else if (text::isKeyword(p, "edition")) {
                out = nText(u"Developer Edition (64-bit)");
            } else if (text::isKeyword(p, "productlevel")) {
                out = nText(u"RTM");
            } else if (text::isKeyword(p, "servername") || text::isKeyword(p, "machinename")) {
                out = nText(u"FERNQUILL-TDS");
            } else if (text::isKeyword(p, "collation")) {
                out = nText(u"SQL_Latin1_General_CP1_CI_AS");
            } else if (text::isKeyword(p, "engineedition")) {
                out = intValue(3);
            }
        }
        return std::nullopt;
    }
    return makeMessage(195, 15, 10, u"'" + f + u"' is not a recognized built-in function name.");
}

bool SessionImpl::execSelect(const SelectStmt& s, const Variables* vars, const Emit& emit) {
    Source source;
    if (s.from) {
        if (auto m = resolveSource(*s.from, source)) {
            return failWith(emit, std::move(*m), line_);
        }
    }
    // The result's columns and the expressions that fill them.
    ResultSet result;
    std::vector<Expr> projection;
    bool identity = true;
    bool aggregate = false;
    for (const auto& item : s.items) {
        if (item.star) {
            if (!s.from) {
                return failWith(
                    emit, makeMessage(263, 16, 1, u"Must specify table to select from."), line_);
            }
            for (std::size_t i = 0; i < source.columns.size(); ++i) {
                Expr e;
                e.kind = Expr::Kind::Column;
                e.text = source.columns[i].name;
                e.slot = static_cast<std::int32_t>(i);
                projection.push_back(std::move(e));
                result.columns.push_back(source.columns[i]);
            }
            continue;
        }
        identity = false;
        Expr e = item.expr;
        if (auto m = Evaluator::bind(e, source.columns, *this, vars)) {
            return failWith(emit, std::move(*m), line_);
        }
        if (Evaluator::containsAggregate(e)) {
            aggregate = true;
        }
        Column c;
        c.type = Evaluator::typeOf(e, source.columns);
        c.nullable = true;
        if (!item.alias.empty()) {
            c.name = item.alias;
        } else if (e.kind == Expr::Kind::Column) {
            c.name = e.text; // as the query wrote it, as SQL Server names the result column
        }
        result.columns.push_back(std::move(c));
        projection.push_back(std::move(e));
    }
    if (identity && projection.size() != source.columns.size()) {
        identity = false;
    }
    std::optional<Expr> where;
    if (s.where) {
        where = *s.where;
        if (!s.from) {
            // SELECT without FROM: the condition decides between one row and none.
        }
        if (auto m = Evaluator::bind(*where, source.columns, *this, vars)) {
            return failWith(emit, std::move(*m), line_);
        }
    }
    std::vector<OrderItem> order = s.orderBy;
    for (auto& o : order) {
        // ORDER BY 2, or an alias of the select list.
        if (o.expr.kind == Expr::Kind::Literal && o.expr.literal == LiteralKind::Integer) {
            const auto n = static_cast<std::size_t>(text::toInteger(o.expr.text).value_or(0));
            if (n < 1 || n > projection.size()) {
                return failWith(emit,
                                makeMessage(108, 15, 1,
                                            u"The ORDER BY position number " + o.expr.text +
                                                u" is out of range of the number of items in "
                                                u"the select list."),
                                line_);
            }
            o.expr = projection[n - 1];
            continue;
        }
        if (o.expr.kind == Expr::Kind::Column && o.expr.qualifier.empty()) {
            bool aliased = false;
            for (std::size_t i = 0; i < s.items.size(); ++i) {
                if (!s.items[i].star && !s.items[i].alias.empty() &&
                    text::equalsCi(s.items[i].alias, o.expr.text)) {
                    o.expr = projection[i];
                    aliased = true;
                    break;
                }
            }
            if (aliased) {
                continue;
            }
        }
        if (auto m = Evaluator::bind(o.expr, source.columns, *this, vars)) {
            return failWith(emit, std::move(*m), line_);
        }
    }

    StatementOutcome outcome;
    if (!s.from || aggregate || !order.empty()) {
        // Build the rows here.
        std::vector<Row> rows;
        EvalEnv env;
        env.session = this;
        env.vars = vars;
        env.columns = &source.columns;
        Row current;
        env.row = &current;
        std::int64_t matched = 0;
        std::vector<std::pair<std::vector<Typed>, Row>> keyed;
        const std::size_t count = s.from ? source.count : 1;
        for (std::size_t i = 0; i < count; ++i) {
            if (source.table) {
                source.table->copyRow(i, current);
            } else if (source.rows) {
                current = (*source.rows)[i];
            }
            if (where) {
                bool keep = false;
                if (auto m = Evaluator::test(*where, env, keep)) {
                    return failWith(emit, std::move(*m), line_);
                }
                if (!keep) {
                    continue;
                }
            }
            ++matched;
            if (aggregate) {
                continue;
            }
            Row out(projection.size());
            for (std::size_t k = 0; k < projection.size(); ++k) {
                Typed t;
                if (auto m = Evaluator::eval(projection[k], env, t)) {
                    return failWith(emit, std::move(*m), line_);
                }
                out[k] = std::move(t.value);
            }
            std::vector<Typed> key;
            for (const auto& o : order) {
                Typed t;
                if (auto m = Evaluator::eval(o.expr, env, t)) {
                    return failWith(emit, std::move(*m), line_);
                }
                key.push_back(std::move(t));
            }
            keyed.emplace_back(std::move(key), std::move(out));
        }
        if (aggregate) {
            Row out(projection.size());
            for (std::size_t k = 0; k < projection.size(); ++k) {
                if (projection[k].kind == Expr::Kind::CountStar) {
                    out[k] = matched;
                } else if (projection[k].kind == Expr::Kind::Constant) {
                    out[k] = projection[k].constValue;
                } else {
                    return failWith(emit,
                                    makeMessage(8120, 16, 1,
                                                u"Column is invalid in the select list because "
                                                u"it is not contained in either an aggregate "
                                                u"function or the GROUP BY clause."),
                                    line_);
                }
            }
            rows.push_back(std::move(out));
        } else {
            if (!order.empty()) {
                std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
                    for (std::size_t k = 0; k < order.size(); ++k) {
                        std::optional<int> c;
                        Evaluator::compare(a.first[k], b.first[k], c);
                        int v = 0;
                        if (!c) {
                            bool an = std::holds_alternative<std::monostate>(a.first[k].value);
                            bool bn = std::holds_alternative<std::monostate>(b.first[k].value);
                            v = an == bn ? 0 : an ? -1 : 1; // NULLs first
                        } else {
                            v = *c;
                        }
                        if (v != 0) {
                            return order[k].descending ? v > 0 : v < 0;
                        }
                    }
                    return false;
                });
            }
            for (auto& [key, row] : keyed) {
                if (s.top && static_cast<std::int64_t>(rows.size()) >= *s.top) {
                    break;
                }
                rows.push_back(std::move(row));
            }
        }
        const auto n = static_cast<std::int64_t>(rows.size());
        result.rows = std::make_unique<BuiltRows>(std::move(rows));
        outcome.result = std::move(result);
        if (!nocount_) {
            outcome.rowCount = n;
        }
        emit(std::move(outcome));
        return true;
    }
    // Streamed: the row count is only known at the end; the wire half counts the rows it sends.
    result.rows = std::make_unique<SelectRows>(this, std::move(source), std::move(where),
                                               std::move(projection), identity, s.top);
    outcome.result = std::move(result);
    emit(std::move(outcome));
    return true;
}

} // namespace tds
