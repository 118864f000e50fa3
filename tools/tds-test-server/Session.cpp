#include "Session.h"

#include <algorithm>
#include <mutex>

#include "Expressions.h"
#include "Lexer.h"
#include "Parser.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

// A fault of the engine itself (a value of an unexpected kind, for example) fails the request
// with a message instead of ending the connection's thread.
void internalError(const Emit& emit, const char* what, bool procedure) {
    StatementOutcome o;
    if (procedure) {
        o.returnStatus = 1; // ends the procedure call for the wire half
    }
    o.messages.push_back(
        makeMessage(50000, 16, 1, u"Internal error of the test server: " + text::fromUtf8(what)));
    emit(std::move(o));
}

// SQL Server follows an unclosed quote with a syntax error near the rest of the text.
StatementOutcome lexerFailure(Message m) {
    StatementOutcome o;
    static constexpr std::u16string_view kPrefix =
        u"Unclosed quotation mark after the character string '";
    if (m.number == 105) {
        Message near = makeMessage(
            102, 15, 1,
            u"Incorrect syntax near '" +
                m.text.substr(kPrefix.size(), m.text.size() - kPrefix.size() - 2) + u"'.");
        near.line = m.line;
        o.messages.push_back(std::move(m));
        o.messages.push_back(std::move(near));
    } else {
        o.messages.push_back(std::move(m));
    }
    return o;
}

// Errors that end only their statement; any other error ends the batch, as conversion and
// name resolution errors do on SQL Server.
bool endsOnlyTheStatement(std::int32_t number) {
    static constexpr std::int32_t kStatementOnly[] = {
        109,  110,  131,  201,  207,  515,  911,  1701, 2628, 2705, 2714,  2715,  2716, 2717,
        2750, 2751, 2760, 2812, 3701, 3705, 4506, 8152, 8178, 8179, 15248, 15250, 15335};
    return std::find(std::begin(kStatementOnly), std::end(kStatementOnly), number) !=
           std::end(kStatementOnly);
}

Message countMismatch(bool columnList, bool fewerValues) {
    if (!columnList) {
        return makeMessage(213, 16, 1,
                           u"Column name or number of supplied values does not match table "
                           u"definition.");
    }
    return makeMessage(fewerValues ? 109 : 110, 15, 1,
                       std::u16string(fewerValues ? u"There are more" : u"There are fewer") +
                           u" columns in the INSERT statement than values specified in the "
                           u"VALUES clause. The number of values in the VALUES clause must "
                           u"match the number of columns specified in the INSERT statement.");
}

// The column each value of an INSERT goes to.
std::optional<Message> insertTargets(const std::vector<std::u16string>& names,
                                     const std::vector<Column>& columns,
                                     std::vector<std::size_t>& targets) {
    if (names.empty()) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            targets.push_back(i);
        }
        return std::nullopt;
    }
    for (const auto& name : names) {
        auto it = std::find_if(columns.begin(), columns.end(),
                               [&](const Column& c) { return text::equalsCi(c.name, name); });
        if (it == columns.end()) {
            return makeMessage(207, 16, 1, u"Invalid column name '" + name + u"'.");
        }
        targets.push_back(static_cast<std::size_t>(it - columns.begin()));
    }
    return std::nullopt;
}

// SQL Server refuses a table whose smallest row passes 8,060 bytes: the row's overhead (a 4-byte
// header, and the null bitmap: a 2-byte column count and a bit a column) and its fixed-length
// columns, bit columns eight to a byte. Variable-length columns add nothing, as each may be
// empty.
std::optional<Message> rowTooLarge(const std::u16string& table,
                                   const std::vector<Column>& columns) {
    constexpr std::int64_t kRowLimit = 8060;
    const auto count = static_cast<std::int64_t>(columns.size());
    const std::int64_t overhead = 4 + 2 + (count + 7) / 8;
    std::int64_t bits = 0;
    std::int64_t fixed = 0;
    for (const auto& c : columns) {
        bits += c.type.type == Type::Bit ? 1 : 0;
        fixed += Types::fixedBytes(c.type);
    }
    const std::int64_t minimum = fixed + (bits + 7) / 8 + overhead;
    if (minimum <= kRowLimit) {
        return std::nullopt;
    }
    return makeMessage(1701, 16, 1,
                       u"Creating or altering table '" + table +
                           u"' failed because the minimum row size would be " +
                           text::number(minimum) + u", including " + text::number(overhead) +
                           u" bytes of internal overhead. This exceeds the maximum allowable "
                           u"table row size of " +
                           text::number(kRowLimit) + u" bytes.");
}

// A bare NULL has no type of its own: its column's other rows give it theirs.
bool untypedNull(const Expr& e) {
    return e.kind == Expr::Kind::Literal && e.literal == LiteralKind::Null;
}

// The type each column of a VALUES list of several rows has before it goes into the table, as
// SQL Server derives it from all the rows (a UNION ALL of them); none for a single row, whose
// values keep their own types, and for a column of bare NULLs.
std::vector<std::optional<ColumnType>> sharedTypes(const std::vector<std::vector<Expr>>& rows,
                                                   const std::vector<Typed>& values,
                                                   std::size_t width) {
    std::vector<std::optional<ColumnType>> shared(width);
    if (rows.size() < 2) {
        return shared;
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t k = 0; k < width; ++k) {
            if (untypedNull(rows[r][k])) {
                continue;
            }
            const ColumnType& t = values[r * width + k].type;
            shared[k] = shared[k] ? Types::unionOf(*shared[k], t) : t;
        }
    }
    return shared;
}

// Whether converting a value to its list's shared type can change it: another type, a decimal
// or a time of another scale, a fixed-length text or binary of another length. (A varying text
// or binary only widens.)
bool changesWith(const ColumnType& from, const ColumnType& to) {
    if (from.type != to.type) {
        return true;
    }
    switch (to.type) {
    case Type::Decimal:
    case Type::Numeric:
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset:
        return from.scale != to.scale;
    case Type::Char:
    case Type::NChar:
    case Type::Binary:
        return from.length != to.length;
    default:
        return false;
    }
}

// One row's values into the table's row: each to its list's shared type first (where the list
// has one), then to its column's type, as an INSERT stores it.
std::optional<Message> storeRow(const Typed* values,
                                const std::vector<std::optional<ColumnType>>& shared,
                                const Table& table, const std::vector<std::size_t>& targets,
                                ConvertTarget& target, Row& row) {
    const auto& columns = table.columns();
    for (std::size_t k = 0; k < targets.size(); ++k) {
        const Typed* in = &values[k];
        Typed via;
        if (shared[k] && !std::holds_alternative<std::monostate>(in->value) &&
            changesWith(in->type, *shared[k])) {
            via.type = *shared[k];
            if (auto m = Convert::to(*in, via.type, via.value, nullptr)) {
                return m;
            }
            in = &via;
        }
        const Column& column = columns[targets[k]];
        target.column = column.name;
        if (auto m = Convert::to(*in, column.type, row[targets[k]], &target)) {
            return m;
        }
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].nullable && std::holds_alternative<std::monostate>(row[c])) {
            return makeMessage(515, 16, 2,
                               u"Cannot insert the value NULL into column '" + columns[c].name +
                                   u"', table '" + target.table +
                                   u"'; column does not allow nulls. INSERT fails.");
        }
    }
    return std::nullopt;
}

} // namespace

bool fail(const Emit& emit, Message m, std::int32_t line) {
    m.line = line;
    StatementOutcome o;
    o.messages.push_back(std::move(m));
    emit(std::move(o));
    return false;
}

const Typed* Variables::find(std::u16string_view name) const {
    for (const auto& [n, v] : values) {
        if (text::equalsCi(n, name)) {
            return &v;
        }
    }
    return nullptr;
}

SessionImpl::SessionImpl(Engine::Impl& engine) : engine_(engine) {}

std::u16string SessionImpl::database() const {
    return db().name();
}

void SessionImpl::executeBatch(const std::u16string& sql, const Emit& emit) {
    try {
        runBatch(sql, nullptr, emit);
    } catch (const std::exception& e) {
        internalError(emit, e.what(), false);
    }
}

bool SessionImpl::runBatch(const std::u16string& sql, const Variables* vars, const Emit& emit) {
    std::vector<Token> tokens;
    if (auto m = Lexer::tokenize(sql, tokens)) {
        emit(lexerFailure(std::move(*m)));
        return false;
    }
    std::vector<Statement> statements;
    Parser parser(sql, tokens);
    if (auto m = parser.parseBatch(statements)) {
        const std::int32_t line = m->line;
        return fail(emit, std::move(*m), line);
    }
    std::int32_t error = 0;
    const Emit watch = [&](StatementOutcome&& o) {
        for (const auto& m : o.messages) {
            if (m.severity >= 11 && error == 0) {
                error = m.number;
            }
        }
        emit(std::move(o));
    };
    bool ok = true;
    for (const auto& s : statements) {
        line_ = s.line;
        error = 0;
        if (!run(s, vars, watch)) {
            ok = false;
            if (!endsOnlyTheStatement(error)) {
                return false;
            }
        }
    }
    return ok;
}

bool SessionImpl::run(const Statement& s, const Variables* vars, const Emit& emit) {
    return std::visit(
        [&](const auto& body) -> bool {
            using T = std::decay_t<decltype(body)>;
            if constexpr (std::is_same_v<T, SelectStmt>) {
                return execSelect(body, vars, emit);
            } else if constexpr (std::is_same_v<T, CreateTableStmt>) {
                return execCreate(body, emit);
            } else if constexpr (std::is_same_v<T, CreateViewStmt>) {
                return execCreateView(body, emit);
            } else if constexpr (std::is_same_v<T, DropStmt>) {
                return execDrop(body, emit);
            } else if constexpr (std::is_same_v<T, InsertStmt>) {
                return execInsert(body, vars, emit);
            } else {
                return execExec(body, vars, emit);
            }
        },
        s.body);
}

std::optional<Message> SessionImpl::resolveTable(const ObjectName& name, TableRef& ref) const {
    ref = TableRef{};
    const std::u16string dbName = name.database();
    if (!dbName.empty() && !text::equalsCi(dbName, db().name())) {
        return makeMessage(911, 16, 1,
                           u"Database '" + dbName +
                               u"' does not exist. Make sure that the name is entered correctly.");
    }
    ref.schema = name.schema().empty() ? std::u16string(u"dbo") : name.schema();
    std::shared_lock lock(db().mutex());
    if (const std::u16string* schema = db().schema(ref.schema)) {
        ref.schema = *schema;
        ref.table = db().find(*schema, name.object());
    }
    return std::nullopt;
}

std::optional<std::int32_t> SessionImpl::objectId(const std::u16string& nameText) const {
    const auto name = Parser::parseNameText(nameText);
    TableRef ref;
    if (!name || resolveTable(*name, ref) || !ref.table) {
        return std::nullopt;
    }
    return ref.table->objectId();
}

std::optional<std::u16string> SessionImpl::objectSchema(std::int32_t id) const {
    std::shared_lock lock(db().mutex());
    if (const auto table = db().findById(id)) {
        return table->schema;
    }
    return std::nullopt;
}

bool SessionImpl::execCreate(const CreateTableStmt& s, const Emit& emit) {
    TableRef ref;
    if (auto m = resolveTable(s.table, ref)) {
        return fail(emit, std::move(*m), line_);
    }
    const std::u16string& name = s.table.object();
    if (name.size() > 128) {
        return fail(emit,
                    makeMessage(103, 15, 4,
                                u"The identifier that starts with '" + name.substr(0, 128) +
                                    u"' is too long. Maximum length is 128."),
                    line_);
    }
    std::vector<Column> columns;
    for (const auto& def : s.columns) {
        Column c{def.name, {}, def.nullable};
        const int number = static_cast<int>(columns.size()) + 1;
        if (auto m = Types::resolve(def.type, number, def.name, c.type)) {
            return fail(emit, std::move(*m), line_);
        }
        for (const auto& other : columns) {
            if (text::equalsCi(other.name, c.name)) {
                return fail(emit,
                            makeMessage(2705, 16, 3,
                                        u"Column names in each table must be unique. Column "
                                        u"name '" +
                                            c.name + u"' in table '" + name +
                                            u"' is specified more than once."),
                            line_);
            }
        }
        columns.push_back(std::move(c));
    }
    if (auto m = rowTooLarge(name, columns)) {
        return fail(emit, std::move(*m), line_);
    }
    return createObject(ref, name, std::move(columns), std::nullopt, emit);
}

bool SessionImpl::createObject(const TableRef& ref, const std::u16string& name,
                               std::vector<Column> columns, std::optional<ViewDefinition> view,
                               const Emit& emit) {
    std::unique_lock lock(db().mutex());
    const std::u16string* schema = db().schema(ref.schema);
    std::optional<Message> refused;
    if (schema == nullptr) {
        refused = makeMessage(2760, 16, 1,
                              u"The specified schema name \"" + ref.schema +
                                  u"\" either does not exist or you do not have permission to "
                                  u"use it.");
    } else if (db().find(*schema, name)) {
        refused = makeMessage(2714, 16, 6,
                              u"There is already an object named '" + name + u"' in the database.");
    } else {
        db().create(*schema, name, std::move(columns), std::move(view));
    }
    lock.unlock();
    if (refused) {
        return fail(emit, std::move(*refused), line_);
    }
    emit(StatementOutcome{});
    return true;
}

bool SessionImpl::execCreateView(const CreateViewStmt& s, const Emit& emit) {
    TableRef ref;
    if (auto m = resolveTable(s.view, ref)) {
        return fail(emit, std::move(*m), line_);
    }
    const SelectStmt& select = s.select;
    if (!select.from || select.where || !select.orderBy.empty()) {
        return fail(emit, notSupported(u"a view other than columns of one table"), line_);
    }
    TableRef source;
    if (auto m = resolveTable(*select.from, source)) {
        return fail(emit, std::move(*m), line_);
    }
    if (!source.table || source.table->view()) {
        return fail(emit,
                    source.table
                        ? notSupported(u"a view of a view")
                        : makeMessage(208, 16, 1,
                                      u"Invalid object name '" + select.from->written() + u"'."),
                    line_);
    }
    // Each item is a column of the table (SELECT * all of them, as they are now), under its own
    // name or an alias.
    ViewDefinition definition{*select.from, {}};
    std::vector<Column> columns;
    const std::vector<Column>& from = source.table->columns();
    for (const auto& item : select.items) {
        if (item.star) {
            for (const auto& c : from) {
                definition.sourceColumns.push_back(c.name);
                columns.push_back(c);
            }
            continue;
        }
        if (item.expr.kind != Expr::Kind::Column) {
            return fail(emit, notSupported(u"a view other than columns of one table"), line_);
        }
        auto it = std::find_if(from.begin(), from.end(), [&](const Column& c) {
            return text::equalsCi(c.name, item.expr.text);
        });
        if (it == from.end()) {
            return fail(emit,
                        makeMessage(207, 16, 1, u"Invalid column name '" + item.expr.text + u"'."),
                        line_);
        }
        definition.sourceColumns.push_back(it->name);
        Column c = *it;
        c.name = item.alias.empty() ? it->name : item.alias;
        columns.push_back(std::move(c));
    }
    const std::u16string& name = s.view.object();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (text::equalsCi(columns[i].name, columns[j].name)) {
                return fail(emit,
                            makeMessage(4506, 16, 1,
                                        u"Column names in each view must be unique. Column name '" +
                                            columns[i].name + u"' in view '" + name +
                                            u"' is specified more than once."),
                            line_);
            }
        }
    }
    return createObject(ref, name, std::move(columns), std::move(definition), emit);
}

bool SessionImpl::execDrop(const DropStmt& s, const Emit& emit) {
    TableRef ref;
    if (auto m = resolveTable(s.object, ref)) {
        return fail(emit, std::move(*m), line_);
    }
    const std::u16string kind = s.view ? u"view" : u"table";
    const std::u16string written = s.object.written();
    // DROP TABLE does not drop a view, nor DROP VIEW a table.
    if (ref.table && ref.table->view().has_value() != s.view) {
        const std::u16string other = s.view ? u"TABLE" : u"VIEW";
        return fail(emit,
                    makeMessage(3705, 16, 1,
                                u"Cannot use DROP " + std::u16string(s.view ? u"VIEW" : u"TABLE") +
                                    u" with '" + written + u"' because '" + written + u"' is a " +
                                    (s.view ? u"table" : u"view") + u". Use DROP " + other + u"."),
                    line_);
    }
    bool dropped = false;
    if (ref.table) {
        std::unique_lock lock(db().mutex());
        if (db().find(ref.table->schema, ref.table->name) == ref.table) {
            db().drop(ref.table);
            dropped = true;
        }
    }
    if (!dropped) {
        return fail(emit,
                    makeMessage(3701, 11, 5,
                                u"Cannot drop the " + kind + u" '" + written +
                                    u"', because it does not exist or you do not have "
                                    u"permission."),
                    line_);
    }
    emit(StatementOutcome{});
    return true;
}

bool SessionImpl::execInsert(const InsertStmt& s, const Variables* vars, const Emit& emit) {
    TableRef ref;
    if (auto m = resolveTable(s.table, ref)) {
        return fail(emit, std::move(*m), line_);
    }
    if (!ref.table) {
        return fail(emit,
                    makeMessage(208, 16, 1, u"Invalid object name '" + s.table.written() + u"'."),
                    line_);
    }
    if (ref.table->view()) {
        return fail(emit, notSupported(u"INSERT into a view"), line_);
    }
    const Table& table = *ref.table;
    std::vector<std::size_t> targets;
    if (auto m = insertTargets(s.columns, table.columns(), targets)) {
        return fail(emit, std::move(*m), line_);
    }
    // Like SQL Server's compiler, every row's count of values is checked before any value.
    for (const auto& values : s.rows) {
        if (values.size() != targets.size()) {
            return fail(emit, countMismatch(!s.columns.empty(), values.size() < targets.size()),
                        line_);
        }
    }
    ConvertTarget target;
    {
        std::shared_lock lock(db().mutex());
        target.table = db().name() + u"." + table.schema + u"." + table.name;
    }
    const std::size_t width = targets.size();
    std::vector<Typed> values(s.rows.size() * width);
    EvalContext ctx;
    ctx.session = this;
    ctx.vars = vars;
    for (std::size_t r = 0; r < s.rows.size(); ++r) {
        for (std::size_t k = 0; k < width; ++k) {
            if (auto m = Expressions::eval(s.rows[r][k], ctx, values[r * width + k])) {
                return fail(emit, std::move(*m), line_);
            }
        }
    }
    const auto shared = sharedTypes(s.rows, values, width);
    // One statement stores all its rows or none.
    std::vector<Row> rows;
    rows.reserve(s.rows.size());
    for (std::size_t r = 0; r < s.rows.size(); ++r) {
        Row row(table.columns().size());
        if (auto m = storeRow(&values[r * width], shared, table, targets, target, row)) {
            return fail(emit, std::move(*m), line_);
        }
        rows.push_back(std::move(row));
    }
    StatementOutcome o;
    o.rowCount = static_cast<std::int64_t>(rows.size());
    ref.table->append(std::move(rows));
    emit(std::move(o));
    return true;
}

bool SessionImpl::execExec(const ExecStmt& s, const Variables* vars, const Emit& emit) {
    std::vector<ProcArgValue> args;
    EvalContext ctx;
    ctx.session = this;
    ctx.vars = vars;
    for (const auto& a : s.args) {
        ProcArgValue v;
        v.name = a.name;
        if (auto m = Expressions::eval(a.value, ctx, v.value)) {
            return fail(emit, std::move(*m), line_);
        }
        args.push_back(std::move(v));
    }
    return callProcedure(s.procedure, args, emit);
}

void SessionImpl::executeRpc(const std::u16string& name, std::uint16_t procId,
                             const std::vector<RpcParam>& params, const Emit& emit) {
    line_ = 1;
    std::vector<ProcArgValue> args;
    for (const auto& p : params) {
        args.push_back(ProcArgValue{p.name, Typed{p.value, p.type}});
    }
    try {
        if (name.empty()) {
            callById(procId, args, emit);
            return;
        }
        // The name may be qualified ("[db]..sp_tables").
        const auto parsed = Parser::parseNameText(name);
        callProcedure(parsed ? *parsed : ObjectName{{name}}, args, emit);
    } catch (const std::exception& e) {
        internalError(emit, e.what(), true);
    }
}

} // namespace tds
