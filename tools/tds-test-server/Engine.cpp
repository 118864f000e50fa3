#include "Engine.h"

#include <algorithm>

#include "EngineImpl.h"
#include "Evaluator.h"
#include "Lexer.h"
#include "Parser.h"
#include "SessionImpl.h"
#include "Text.h"
#include "Types.h"

namespace tds {

Message makeMessage(std::int32_t number, std::uint8_t severity, std::uint8_t state,
                    std::u16string textValue) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = std::move(textValue);
    return m;
}

Database* Engine::Impl::findDatabase(std::u16string_view name) const {
    for (const auto& d : databases) {
        if (text::equalsCi(d->name(), name)) {
            return d.get();
        }
    }
    return nullptr;
}

Engine::Engine(std::vector<Account> accounts, std::vector<std::u16string> databases)
    : impl_(std::make_unique<Impl>()) {
    impl_->accounts = std::move(accounts);
    std::int32_t id = 5; // after master, tempdb, model and msdb
    for (auto& name : databases) {
        impl_->databases.push_back(std::make_unique<Database>(std::move(name), id++));
    }
}

Engine::~Engine() = default;

LoginResult Engine::login(const std::u16string& user, const std::u16string& password,
                          const std::u16string& database) {
    LoginResult result;
    const Engine::Account* account = nullptr;
    for (const auto& a : impl_->accounts) {
        // Login names compare without regard to case; passwords exactly.
        if (text::equalsCi(a.user, user) && a.password == password) {
            account = &a;
            break;
        }
    }
    auto refused = makeMessage(18456, 14, 1, u"Login failed for user '" + user + u"'.");
    if (account == nullptr) {
        result.messages.push_back(std::move(refused));
        return result;
    }
    Database* db = nullptr;
    if (database.empty()) {
        db = impl_->databases.empty() ? nullptr : impl_->databases.front().get();
    } else {
        db = impl_->findDatabase(database);
    }
    if (db == nullptr) {
        result.messages.push_back(makeMessage(4060, 11, 1,
                                              u"Cannot open database \"" + database +
                                                  u"\" requested by the login. The login failed."));
        result.messages.push_back(std::move(refused));
        return result;
    }
    result.session = std::make_unique<SessionImpl>(*impl_, db, account->user, impl_->nextSpid++);
    return result;
}

std::vector<Message> Engine::runScript(const std::u16string& database, const std::u16string& sql) {
    std::vector<Message> errors;
    if (impl_->accounts.empty()) {
        errors.push_back(makeMessage(18456, 14, 1, u"Login failed for user ''."));
        return errors;
    }
    const auto& account = impl_->accounts.front();
    LoginResult r = login(account.user, account.password, database);
    if (!r.session) {
        return r.messages;
    }
    // A line holding only GO ends a batch, as sqlcmd reads a script; message lines count from
    // the start of the script.
    std::u16string batchText;
    std::int32_t batchFirstLine = 1;
    std::int32_t lineNumber = 0;
    auto runOne = [&] {
        r.session->executeBatch(batchText, [&](StatementOutcome&& o) {
            for (auto& m : o.messages) {
                if (m.severity >= 11) {
                    m.line += batchFirstLine - 1;
                    errors.push_back(std::move(m));
                }
            }
        });
        batchText.clear();
    };
    std::size_t start = 0;
    while (start <= sql.size()) {
        std::size_t end = sql.find(u'\n', start);
        const bool last = end == std::u16string::npos;
        const std::u16string line = sql.substr(start, last ? std::u16string::npos : end - start);
        ++lineNumber;
        std::size_t b = line.find_first_not_of(u" \t\r");
        std::size_t e = line.find_last_not_of(u" \t\r");
        const bool go =
            b != std::u16string::npos && text::isKeyword(line.substr(b, e - b + 1), "go");
        if (go) {
            runOne();
            batchFirstLine = lineNumber + 1;
        } else {
            batchText += line;
            batchText.push_back(u'\n');
        }
        if (last) {
            break;
        }
        start = end + 1;
    }
    if (batchText.find_first_not_of(u" \t\r\n") != std::u16string::npos) {
        runOne();
    }
    return errors;
}

const Typed* Variables::find(std::u16string_view name) const {
    for (const auto& [n, v] : values) {
        if (text::equalsCi(n, name)) {
            return &v;
        }
    }
    return nullptr;
}

SessionImpl::SessionImpl(Engine::Impl& engine, Database* database, std::u16string login, int spid)
    : engine_(engine), db_(database), login_(std::move(login)), spid_(spid) {}

std::u16string SessionImpl::database() const {
    return db_->name();
}

namespace {

// A fault of the engine itself (a value of an unexpected kind, for example) fails the request
// with a message instead of ending the connection's thread.
void internalError(const std::function<void(StatementOutcome&&)>& emit, const char* what,
                   bool procedure) {
    StatementOutcome o;
    if (procedure) {
        o.returnStatus = 1; // ends the procedure call for the wire half
    }
    o.messages.push_back(
        makeMessage(50000, 16, 1, u"Internal error of the test server: " + text::fromUtf8(what)));
    emit(std::move(o));
}

} // namespace

void SessionImpl::executeBatch(const std::u16string& sql,
                               const std::function<void(StatementOutcome&&)>& emit) {
    try {
        runBatch(sql, nullptr, emit);
    } catch (const std::exception& e) {
        internalError(emit, e.what(), false);
    }
}

bool SessionImpl::runBatch(const std::u16string& sql, const Variables* vars, const Emit& emit) {
    std::vector<Token> tokens;
    if (auto m = Lexer::tokenize(sql, tokens)) {
        StatementOutcome o;
        if (m->number == 105) {
            // SQL Server follows an unclosed quote with a syntax error near the rest of the text.
            static constexpr std::u16string_view kPrefix =
                u"Unclosed quotation mark after the character string '";
            const std::u16string rest =
                m->text.substr(kPrefix.size(), m->text.size() - kPrefix.size() - 2);
            Message near = makeMessage(102, 15, 1, u"Incorrect syntax near '" + rest + u"'.");
            near.line = m->line;
            o.messages.push_back(std::move(*m));
            o.messages.push_back(std::move(near));
        } else {
            o.messages.push_back(std::move(*m));
        }
        emit(std::move(o));
        return false;
    }
    std::vector<Statement> statements;
    Parser parser(sql, tokens);
    if (auto m = parser.parseBatch(statements)) {
        StatementOutcome o;
        o.messages.push_back(std::move(*m));
        emit(std::move(o));
        return false;
    }
    // Errors that end only their statement; any other error ends the batch, as conversion and
    // name resolution errors do on SQL Server.
    static constexpr std::int32_t kStatementOnly[] = {
        109,  110,  131,  201,  515,  911,  2601, 2627, 2628, 2705, 2714,  2715,  2716,  2717, 2738,
        2749, 2750, 2751, 2760, 2812, 3701, 8152, 8178, 8179, 273,  15223, 15248, 15250, 15335};
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
            if (std::find(std::begin(kStatementOnly), std::end(kStatementOnly), error) ==
                std::end(kStatementOnly)) {
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
            } else if constexpr (std::is_same_v<T, DropTableStmt>) {
                return execDrop(body, emit);
            } else if constexpr (std::is_same_v<T, InsertStmt>) {
                return execInsert(body, vars, emit);
            } else if constexpr (std::is_same_v<T, ExecStmt>) {
                return execExec(body, vars, emit);
            } else if constexpr (std::is_same_v<T, UseStmt>) {
                return execUse(body, emit);
            } else if constexpr (std::is_same_v<T, IfStmt>) {
                return execIf(body, vars, emit);
            } else {
                if (text::isKeyword(body.option, "nocount")) {
                    nocount_ = body.value == u"on";
                }
                emit(StatementOutcome{});
                return true;
            }
        },
        s.body);
}

namespace {

bool fail(const Emit& emit, Message m, std::int32_t line) {
    m.line = line;
    StatementOutcome o;
    o.messages.push_back(std::move(m));
    emit(std::move(o));
    return false;
}

} // namespace

std::optional<Message> SessionImpl::resolveTable(const ObjectName& name, TableRef& ref) {
    ref = TableRef{};
    Database* db = db_;
    std::u16string dbName = name.database();
    if (!dbName.empty()) {
        db = engine_.findDatabase(dbName);
        if (db == nullptr) {
            return makeMessage(
                911, 16, 1,
                u"Database '" + dbName +
                    u"' does not exist. Make sure that the name is entered correctly.");
        }
    }
    ref.database = db;
    ref.schema = name.schema().empty() ? std::u16string(u"dbo") : name.schema();
    std::shared_lock lock(db->mutex());
    if (const SchemaInfo* si = db->schema(ref.schema)) {
        ref.schema = si->name;
        ref.table = db->find(ref.schema, name.object());
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
    // Several messages for one failure (1919 then 1750).
    auto failAll = [&](std::vector<Message> messages) {
        StatementOutcome o;
        for (auto& m : messages) {
            m.line = line_;
            o.messages.push_back(std::move(m));
        }
        emit(std::move(o));
        return false;
    };
    const Message couldNotCreate =
        makeMessage(1750, 16, 0, u"Could not create constraint or index. See previous errors.");
    std::vector<Column> columns;
    TableOptions options;
    int number = 0;
    for (const auto& def : s.columns) {
        ++number;
        Column c;
        c.name = def.name;
        c.nullable = def.nullable;
        if (auto m = Types::resolve(def.type, number, def.name, c.type)) {
            return fail(emit, std::move(*m), line_);
        }
        for (const auto& other : columns) {
            if (text::equalsCi(other.name, c.name)) {
                return fail(
                    emit,
                    makeMessage(2705, 16, 3,
                                u"Column names in each table must be unique. Column name '" +
                                    c.name + u"' in table '" + name +
                                    u"' is specified more than once."),
                    line_);
            }
        }
        if (Types::isRowVersion(def.type)) {
            if (options.rowVersionColumn >= 0) {
                return fail(emit,
                            makeMessage(2738, 16, 2,
                                        u"A table can only have one timestamp column. Because "
                                        u"table '" +
                                            name + u"' already has one, the column '" + c.name +
                                            u"' cannot be added."),
                            line_);
            }
            options.rowVersionColumn = static_cast<std::int32_t>(columns.size());
            c.nullable = false;
        }
        if (def.identity) {
            const bool integral = Types::isInteger(c.type.type) && c.type.type != Type::Bit;
            const bool exact =
                (c.type.type == Type::Decimal || c.type.type == Type::Numeric) && c.type.scale == 0;
            if ((!integral && !exact) || def.explicitNull) {
                return fail(emit,
                            makeMessage(2749, 16, 2,
                                        u"Identity column '" + c.name +
                                            u"' must be of data type int, bigint, smallint, "
                                            u"tinyint, or decimal or numeric with a scale of 0, "
                                            u"and constrained to be nonnullable."),
                            line_);
            }
            if (options.identityColumn >= 0) {
                return fail(emit,
                            makeMessage(2744, 16, 2,
                                        u"Multiple identity columns specified for table '" + name +
                                            u"'. Only one identity column per table is allowed."),
                            line_);
            }
            options.identityColumn = static_cast<std::int32_t>(columns.size());
            options.identitySeed = def.seed;
            options.identityIncrement = def.increment;
            c.nullable = false;
        }
        std::optional<Value> defaultValue;
        std::u16string defaultText;
        if (def.defaultValue) {
            Typed literal;
            if (auto m = eval(*def.defaultValue, nullptr, nullptr, literal)) {
                return fail(emit, std::move(*m), line_);
            }
            Value v;
            if (auto m = Convert::to(literal, c.type, v, nullptr)) {
                return fail(emit, std::move(*m), line_);
            }
            defaultValue = std::move(v);
            // As the catalog shows a default: ((0)), ('x'), (N'x').
            const Expr& e = *def.defaultValue;
            const bool negative = e.kind == Expr::Kind::Unary && e.text == u"-";
            const Expr& lit = negative ? e.args[0] : e;
            if (lit.kind == Expr::Kind::Literal && lit.literal == LiteralKind::String) {
                defaultText = u"('" + lit.text + u"')";
            } else if (lit.kind == Expr::Kind::Literal && lit.literal == LiteralKind::NString) {
                defaultText = u"(N'" + lit.text + u"')";
            } else if (lit.kind == Expr::Kind::Literal && lit.literal == LiteralKind::Null) {
                defaultText = u"(NULL)";
            } else if (lit.kind == Expr::Kind::Literal) {
                defaultText = u"((" + std::u16string(negative ? u"-" : u"") + lit.text + u"))";
            } else {
                defaultText = u"(" + text::folded(lit.text) + u"())";
            }
        }
        options.defaults.push_back(std::move(defaultValue));
        options.defaultTexts.push_back(std::move(defaultText));
        columns.push_back(std::move(c));
    }
    if (columns.size() > 1024) {
        return fail(emit,
                    makeMessage(1702, 16, 1,
                                u"CREATE TABLE failed because column '" + columns[1024].name +
                                    u"' in table '" + name +
                                    u"' exceeds the maximum of 1024 columns."),
                    line_);
    }
    bool hasPrimary = false;
    for (const auto& keyDef : s.keys) {
        KeyConstraint key;
        key.primary = keyDef.primary;
        key.name = keyDef.name;
        if (keyDef.primary) {
            if (hasPrimary) {
                return failAll({makeMessage(8110, 16, 0,
                                            u"Cannot add multiple PRIMARY KEY constraints to "
                                            u"table '" +
                                                name + u"'."),
                                couldNotCreate});
            }
            hasPrimary = true;
        }
        for (const auto& columnName : keyDef.columns) {
            std::size_t found = columns.size();
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (text::equalsCi(columns[i].name, columnName)) {
                    found = i;
                }
            }
            if (found == columns.size()) {
                return failAll({makeMessage(1911, 16, 1,
                                            u"Column name '" + columnName +
                                                u"' does not exist in the target table or view."),
                                couldNotCreate});
            }
            const ColumnType& t = columns[found].type;
            if (t.type == Type::Text || t.type == Type::NText || t.type == Type::Image ||
                t.type == Type::Xml || t.length < 0) {
                return failAll(
                    {makeMessage(1919, 16, 1,
                                 u"Column '" + columns[found].name + u"' in table '" + name +
                                     u"' is of a type that is invalid for use as a key "
                                     u"column in an index."),
                     couldNotCreate});
            }
            if (keyDef.primary) {
                if (s.columns[found].explicitNull) {
                    return failAll({makeMessage(8111, 16, 1,
                                                u"Cannot define PRIMARY KEY constraint on "
                                                u"nullable column in table '" +
                                                    name + u"'."),
                                    couldNotCreate});
                }
                columns[found].nullable = false;
            }
            key.columns.push_back(found);
        }
        options.keys.push_back(std::move(key));
    }
    {
        std::unique_lock lock(ref.database->mutex());
        const SchemaInfo* si = ref.database->schema(ref.schema);
        if (si == nullptr || si->name == u"sys" || si->name == u"INFORMATION_SCHEMA") {
            lock.unlock();
            return fail(emit,
                        makeMessage(2760, 16, 1,
                                    u"The specified schema name \"" + ref.schema +
                                        u"\" either does not exist or you do not have permission "
                                        u"to use it."),
                        line_);
        }
        if (ref.database->find(si->name, name)) {
            lock.unlock();
            return fail(
                emit,
                makeMessage(2714, 16, 6,
                            u"There is already an object named '" + name + u"' in the database."),
                line_);
        }
        // Unnamed constraints are named as SQL Server names them: PK__<table>__<16 hex digits>.
        std::uint64_t salt = 0x3213E83F2B1A3C4DULL ^
                             (static_cast<std::uint64_t>(ref.database->tables().size()) << 32);
        for (auto& key : options.keys) {
            if (key.name.empty()) {
                salt = salt * 6364136223846793005ULL + 1442695040888963407ULL;
                static const char16_t* digits = u"0123456789ABCDEF";
                std::u16string hex;
                for (int i = 15; i >= 0; --i) {
                    hex.push_back(digits[(salt >> (4 * i)) & 15]);
                }
                key.name = std::u16string(key.primary ? u"PK__" : u"UQ__") + name.substr(0, 8) +
                           u"__" + hex;
            }
        }
        ref.database->create(si->name, name, std::move(columns), std::move(options));
    }
    emit(StatementOutcome{});
    return true;
}

bool SessionImpl::execDrop(const DropTableStmt& s, const Emit& emit) {
    for (const auto& name : s.tables) {
        TableRef ref;
        if (auto m = resolveTable(name, ref)) {
            return fail(emit, std::move(*m), line_);
        }
        bool dropped = false;
        if (ref.table) {
            std::unique_lock lock(ref.database->mutex());
            if (ref.database->find(ref.table->schema, ref.table->name) == ref.table) {
                ref.database->drop(ref.table);
                dropped = true;
            }
        }
        if (!dropped && !s.ifExists) {
            return fail(emit,
                        makeMessage(3701, 11, 5,
                                    u"Cannot drop the table '" + name.written() +
                                        u"', because it does not exist or you do not have "
                                        u"permission."),
                        line_);
        }
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
    const Table& table = *ref.table;
    const auto& columns = table.columns();
    // Which column each value goes to.
    const TableOptions& options = table.options();
    std::vector<std::size_t> targets;
    if (s.columns.empty()) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (static_cast<std::int32_t>(i) != options.identityColumn) {
                targets.push_back(i);
            }
        }
    } else {
        for (const auto& name : s.columns) {
            std::size_t found = columns.size();
            for (std::size_t i = 0; i < columns.size(); ++i) {
                if (text::equalsCi(columns[i].name, name)) {
                    found = i;
                    break;
                }
            }
            if (found == columns.size()) {
                return fail(emit, makeMessage(207, 16, 1, u"Invalid column name '" + name + u"'."),
                            line_);
            }
            if (static_cast<std::int32_t>(found) == options.identityColumn) {
                return fail(emit,
                            makeMessage(544, 16, 1,
                                        u"Cannot insert explicit value for identity column in "
                                        u"table '" +
                                            table.name + u"' when IDENTITY_INSERT is set to OFF."),
                            line_);
            }
            targets.push_back(found);
        }
    }
    ConvertTarget target;
    {
        std::shared_lock lock(ref.database->mutex());
        target.table = ref.database->name() + u"." + table.schema + u"." + table.name;
    }
    std::vector<Row> rows;
    rows.reserve(s.rows.size());
    for (const auto& values : s.rows) {
        if (values.size() != targets.size()) {
            if (s.columns.empty()) {
                return fail(emit,
                            makeMessage(213, 16, 1,
                                        u"Column name or number of supplied values does not "
                                        u"match table definition."),
                            line_);
            }
            if (values.size() < targets.size()) {
                return fail(
                    emit,
                    makeMessage(109, 15, 1,
                                u"There are more columns in the INSERT statement than values "
                                u"specified in the VALUES clause. The number of values in the "
                                u"VALUES clause must match the number of columns specified in "
                                u"the INSERT statement."),
                    line_);
            }
            return fail(emit,
                        makeMessage(110, 15, 1,
                                    u"There are fewer columns in the INSERT statement than values "
                                    u"specified in the VALUES clause. The number of values in the "
                                    u"VALUES clause must match the number of columns specified in "
                                    u"the INSERT statement."),
                        line_);
        }
        Row row(columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (options.defaults[c]) {
                row[c] = *options.defaults[c];
            }
        }
        for (std::size_t k = 0; k < values.size(); ++k) {
            const std::size_t c = targets[k];
            const Column& column = columns[c];
            Typed in;
            const Expr& e = values[k];
            if (static_cast<std::int32_t>(c) == table.rowVersionColumn()) {
                if (e.kind != Expr::Kind::Default) {
                    return fail(emit,
                                makeMessage(273, 16, 1,
                                            u"Cannot insert an explicit value into a timestamp "
                                            u"column. Use INSERT with a column list to exclude "
                                            u"the timestamp column, or insert a DEFAULT into the "
                                            u"timestamp column."),
                                line_);
                }
                continue;
            }
            if (e.kind == Expr::Kind::Default) {
                continue; // the column's default, or NULL
            }
            std::optional<Message> m;
            if (e.kind == Expr::Kind::Literal) {
                m = Convert::literal(e.literal, e.text, in);
            } else {
                m = eval(e, vars, nullptr, in);
            }
            if (m) {
                return fail(emit, std::move(*m), line_);
            }
            target.column = column.name;
            if (auto cm = Convert::to(in, column.type, row[c], &target)) {
                return fail(emit, std::move(*cm), line_);
            }
        }
        if (table.rowVersionColumn() >= 0) {
            row[static_cast<std::size_t>(table.rowVersionColumn())] =
                ref.database->nextRowVersion();
        }
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!columns[c].nullable && std::holds_alternative<std::monostate>(row[c]) &&
                static_cast<std::int32_t>(c) != options.identityColumn) {
                return fail(emit,
                            makeMessage(515, 16, 2,
                                        u"Cannot insert the value NULL into column '" +
                                            columns[c].name + u"', table '" + target.table +
                                            u"'; column does not allow nulls. INSERT fails."),
                            line_);
            }
        }
        rows.push_back(std::move(row));
    }
    const auto count = static_cast<std::int64_t>(rows.size());
    if (auto duplicate = ref.table->append(std::move(rows))) {
        const KeyConstraint& key = options.keys[duplicate->key];
        std::u16string shown;
        for (std::size_t c : key.columns) {
            if (!shown.empty()) {
                shown += u", ";
            }
            const Value& v = duplicate->row[c];
            shown += std::holds_alternative<std::monostate>(v)
                         ? std::u16string(u"<NULL>")
                         : Convert::toText(Typed{v, columns[c].type});
        }
        std::u16string objectName;
        {
            std::shared_lock lock(ref.database->mutex());
            objectName = table.schema + u"." + table.name;
        }
        return fail(emit,
                    makeMessage(2627, 14, 1,
                                u"Violation of " +
                                    std::u16string(key.primary ? u"PRIMARY KEY" : u"UNIQUE KEY") +
                                    u" constraint '" + key.name +
                                    u"'. Cannot insert duplicate key in object '" + objectName +
                                    u"'. The duplicate key value is (" + shown + u")."),
                    line_);
    }
    StatementOutcome o;
    if (!nocount_) {
        o.rowCount = count;
    }
    emit(std::move(o));
    return true;
}

bool SessionImpl::execIf(const IfStmt& s, const Variables* vars, const Emit& emit) {
    EvalEnv env;
    env.session = this;
    env.vars = vars;
    bool condition = false;
    if (auto m = Evaluator::test(s.condition, env, condition)) {
        return fail(emit, std::move(*m), line_);
    }
    for (const auto& statement : condition ? s.then : s.otherwise) {
        line_ = statement.line;
        if (!run(statement, vars, emit)) {
            return false;
        }
    }
    return true;
}

std::optional<Message> SessionImpl::exists(const SelectStmt& s, const Variables* vars, bool& out) {
    out = false;
    std::optional<Message> error;
    execSelect(s, vars, [&](StatementOutcome&& o) {
        for (auto& m : o.messages) {
            if (m.severity >= 11 && !error) {
                error = std::move(m);
            }
        }
        std::vector<Value> row;
        if (o.result && o.result->rows && o.result->rows->next(row)) {
            out = true;
        }
    });
    return error;
}

bool SessionImpl::execUse(const UseStmt& s, const Emit& emit) {
    Database* db = engine_.findDatabase(s.database);
    if (db == nullptr) {
        return fail(emit,
                    makeMessage(911, 16, 1,
                                u"Database '" + s.database +
                                    u"' does not exist. Make sure that the name is entered "
                                    u"correctly."),
                    line_);
    }
    db_ = db;
    StatementOutcome o;
    Message m = makeMessage(5701, 10, 1, u"Changed database context to '" + db->name() + u"'.");
    m.line = line_;
    o.messages.push_back(std::move(m));
    emit(std::move(o));
    return true;
}

bool SessionImpl::execExec(const ExecStmt& s, const Variables* vars, const Emit& emit) {
    std::vector<ProcArgValue> args;
    for (const auto& a : s.args) {
        ProcArgValue v;
        v.name = a.name;
        v.output = a.output;
        if (auto m = eval(a.value, vars, nullptr, v.value)) {
            return fail(emit, std::move(*m), line_);
        }
        args.push_back(std::move(v));
    }
    return callProcedure(s.procedure, std::move(args), emit);
}

void SessionImpl::executeRpc(const std::u16string& name, std::uint16_t procId,
                             const std::vector<RpcParam>& params,
                             const std::function<void(StatementOutcome&&)>& emit) {
    line_ = 1;
    std::vector<ProcArgValue> args;
    for (const auto& p : params) {
        ProcArgValue v;
        v.name = p.name;
        v.value = Typed{p.value, p.type};
        v.output = p.output;
        args.push_back(std::move(v));
    }
    try {
        runRpc(name, procId, std::move(args), emit);
    } catch (const std::exception& e) {
        internalError(emit, e.what(), true);
    }
}

void SessionImpl::runRpc(const std::u16string& name, std::uint16_t procId,
                         std::vector<ProcArgValue> args, const Emit& emit) {
    if (name.empty()) {
        callById(procId, std::move(args), emit);
        return;
    }
    // The name may be qualified ("[db]..sp_tables").
    std::vector<Token> tokens;
    ObjectName parsed;
    bool ok = !Lexer::tokenize(name, tokens);
    if (ok) {
        std::size_t i = 0;
        while (i < tokens.size() && tokens[i].kind != TokenKind::End) {
            if (tokens[i].isName()) {
                parsed.parts.push_back(tokens[i].text);
                ++i;
                if (tokens[i].isSymbol(u".")) {
                    ++i;
                    while (tokens[i].isSymbol(u".")) {
                        parsed.parts.emplace_back();
                        ++i;
                    }
                    continue;
                }
                if (tokens[i].kind != TokenKind::End) {
                    ok = false;
                }
                break;
            }
            ok = false;
            break;
        }
    }
    if (!ok || parsed.parts.empty()) {
        parsed.parts = {name};
    }
    callProcedure(parsed, std::move(args), emit);
}

} // namespace tds
