// The system procedures clients call: sp_rename, sp_tables, sp_columns, and the prepared
// statement family (sp_executesql, sp_prepare, sp_execute, sp_prepexec, sp_unprepare).

#include <algorithm>

#include "Evaluator.h"
#include "InfoSchema.h"
#include "Lexer.h"
#include "Parser.h"
#include "SessionImpl.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

// Matches call arguments to a procedure's parameters, by name or by position.
class Args {
public:
    Args(const std::vector<ProcArgValue>& args, std::vector<std::string_view> params)
        : params_(std::move(params)), values_(params_.size(), nullptr) {
        std::size_t position = 0;
        for (const auto& a : args) {
            if (a.name.empty()) {
                if (position < values_.size()) {
                    values_[position] = &a;
                } else {
                    tooMany_ = true;
                }
                ++position;
                continue;
            }
            std::u16string_view n(a.name);
            if (!n.empty() && n[0] == u'@') {
                n.remove_prefix(1);
            }
            bool found = false;
            for (std::size_t i = 0; i < params_.size(); ++i) {
                if (text::isKeyword(n, params_[i])) {
                    values_[i] = &a;
                    found = true;
                }
            }
            if (!found) {
                unknown_ = a.name;
            }
        }
    }
    const Typed* get(std::size_t i) const { return values_[i] ? &values_[i]->value : nullptr; }
    std::optional<std::u16string> text(std::size_t i) const {
        const Typed* t = get(i);
        return t ? Convert::textOrNull(*t) : std::nullopt;
    }
    const std::u16string& unknown() const { return unknown_; }
    bool tooMany() const { return tooMany_; }

private:
    std::vector<std::string_view> params_;
    std::vector<const ProcArgValue*> values_;
    std::u16string unknown_;
    bool tooMany_ = false;
};

Column column(std::u16string name, Type type, std::int32_t length = 0, bool nullable = true) {
    Column c;
    c.name = std::move(name);
    c.type.type = type;
    c.type.length = length;
    c.nullable = nullable;
    return c;
}

class VectorRows : public RowSource {
public:
    explicit VectorRows(std::vector<Row> rows) : rows_(std::move(rows)) {}
    bool next(std::vector<Value>& row) override {
        if (i_ >= rows_.size()) {
            return false;
        }
        row = std::move(rows_[i_++]);
        return true;
    }

private:
    std::vector<Row> rows_;
    std::size_t i_ = 0;
};

void finish(const Emit& emit, std::int32_t status, std::vector<Message> messages = {},
            std::vector<RpcParam> outputs = {}) {
    StatementOutcome o;
    o.messages = std::move(messages);
    o.returnStatus = status;
    o.outputParams = std::move(outputs);
    emit(std::move(o));
}

// The values of a @table_type list as sent: "'TABLE','VIEW'" (quotes optional).
std::vector<std::u16string> tableTypes(const std::u16string& list) {
    std::vector<std::u16string> out;
    std::u16string current;
    auto flush = [&] {
        std::size_t b = current.find_first_not_of(u" '\"");
        std::size_t e = current.find_last_not_of(u" '\"");
        if (b != std::u16string::npos) {
            std::u16string v = current.substr(b, e - b + 1);
            for (auto& c : v) {
                if (c >= u'a' && c <= u'z') {
                    c = static_cast<char16_t>(c - 32);
                }
            }
            out.push_back(v);
        }
        current.clear();
    };
    for (char16_t c : list) {
        if (c == u',') {
            flush();
        } else {
            current.push_back(c);
        }
    }
    flush();
    return out;
}

// ODBC's type codes as sp_columns reports them.
std::int64_t odbcType(const ColumnType& t, bool odbc3) {
    switch (t.type) {
    case Type::Bit:
        return -7;
    case Type::TinyInt:
        return -6;
    case Type::SmallInt:
        return 5;
    case Type::Int:
        return 4;
    case Type::BigInt:
        return -5;
    case Type::Decimal:
    case Type::Money:
    case Type::SmallMoney:
        return 3;
    case Type::Numeric:
        return 2;
    case Type::Float:
        return 6;
    case Type::Real:
        return 7;
    case Type::Char:
        return 1;
    case Type::VarChar:
        return t.length < 0 ? -1 : 12;
    case Type::Text:
        return -1;
    case Type::NChar:
        return -8;
    case Type::NVarChar:
        return t.length < 0 ? -10 : -9;
    case Type::NText:
        return -10;
    case Type::Xml:
        return -10;
    case Type::Binary:
        return -2;
    case Type::VarBinary:
        return t.length < 0 ? -4 : -3;
    case Type::Image:
        return -4;
    case Type::Date:
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset:
        return -9;
    case Type::DateTime:
    case Type::SmallDateTime:
        return odbc3 ? 93 : 11;
    case Type::UniqueIdentifier:
        return -11;
    }
    return 4;
}

} // namespace

bool SessionImpl::callById(std::uint16_t procId, std::vector<ProcArgValue> args, const Emit& emit) {
    switch (procId) {
    case 10:
        return spExecuteSql(args, emit);
    case 11:
        return spPrepare(args, emit, false);
    case 12:
        return spExecute(args, emit);
    case 13:
        return spPrepare(args, emit, true);
    case 15:
        return spUnprepare(args, emit);
    default:
        break;
    }
    Message m = makeMessage(
        2812, 16, 62, u"Could not find stored procedure 'proc id " + text::number(procId) + u"'.");
    finish(emit, 1, {std::move(m)});
    return false;
}

bool SessionImpl::callProcedure(const ObjectName& name, std::vector<ProcArgValue> args,
                                const Emit& emit) {
    // "[db]..sp_tables" runs in that database.
    Database* saved = db_;
    if (!name.database().empty()) {
        Database* other = engine_.findDatabase(name.database());
        if (other == nullptr) {
            Message m = makeMessage(911, 16, 1,
                                    u"Database '" + name.database() +
                                        u"' does not exist. Make sure that the name is entered "
                                        u"correctly.");
            m.line = line_;
            StatementOutcome o;
            o.messages.push_back(std::move(m));
            emit(std::move(o));
            return false;
        }
        db_ = other;
    }
    const std::u16string& p = name.object();
    bool ok = true;
    if (text::isKeyword(p, "sp_rename")) {
        ok = spRename(args, emit);
    } else if (text::isKeyword(p, "sp_tables")) {
        ok = spTables(args, emit);
    } else if (text::isKeyword(p, "sp_columns")) {
        ok = spColumns(args, emit);
    } else if (text::isKeyword(p, "sp_executesql")) {
        ok = spExecuteSql(args, emit);
    } else if (text::isKeyword(p, "sp_prepare")) {
        ok = spPrepare(args, emit, false);
    } else if (text::isKeyword(p, "sp_prepexec")) {
        ok = spPrepare(args, emit, true);
    } else if (text::isKeyword(p, "sp_execute")) {
        ok = spExecute(args, emit);
    } else if (text::isKeyword(p, "sp_unprepare")) {
        ok = spUnprepare(args, emit);
    } else {
        Message m = makeMessage(2812, 16, 62, u"Could not find stored procedure '" + p + u"'.");
        m.line = line_;
        StatementOutcome o;
        o.messages.push_back(std::move(m));
        emit(std::move(o));
        ok = false;
    }
    if (saved != db_ && !name.database().empty()) {
        db_ = saved;
    }
    return ok;
}

bool SessionImpl::spRename(const std::vector<ProcArgValue>& argList, const Emit& emit) {
    Args args(argList, {"objname", "newname", "objtype"});
    auto error = [&](std::int32_t number, std::u16string textValue) {
        Message m = makeMessage(number, 11, 1, std::move(textValue));
        m.line = 1;
        finish(emit, 1, {std::move(m)});
        return false;
    };
    auto objname = args.text(0);
    auto newname = args.text(1);
    auto objtype = args.text(2);
    if (!objname || objname->empty()) {
        return error(15223, u"Error: The input parameter '@objname' is not allowed to be null.");
    }
    if (!newname || newname->empty()) {
        return error(15223, u"Error: The input parameter '@newname' is not allowed to be null.");
    }
    const std::u16string typeText = objtype.value_or(u"object");
    if (objtype && !text::isKeyword(*objtype, "object")) {
        return error(15248,
                     u"Either the parameter @objname is ambiguous or the claimed @objtype (" +
                         typeText + u") is wrong.");
    }
    std::vector<Token> tokens;
    ObjectName name;
    bool parsed = !Lexer::tokenize(*objname, tokens);
    if (parsed) {
        bool expectName = true;
        for (const auto& t : tokens) {
            if (t.kind == TokenKind::End) {
                break;
            }
            if (t.isSymbol(u".") && !expectName) {
                expectName = true;
            } else if (t.isName() && expectName) {
                name.parts.push_back(t.text);
                expectName = false;
            } else {
                parsed = false;
                break;
            }
        }
        parsed = parsed && !expectName && name.parts.size() <= 2;
    }
    TableRef ref;
    if (parsed) {
        resolveTable(name, ref);
    }
    if (!ref.table) {
        return error(15248,
                     u"Either the parameter @objname is ambiguous or the claimed @objtype (" +
                         typeText + u") is wrong.");
    }
    {
        std::unique_lock lock(ref.database->mutex());
        if (ref.database->find(ref.table->schema, *newname)) {
            lock.unlock();
            return error(15335, u"Error: The new name '" + *newname +
                                    u"' is already in use as a object name and would cause a "
                                    u"duplicate that is not permitted.");
        }
        ref.database->rename(ref.table, *newname);
    }
    Message caution = makeMessage(15477, 10, 1,
                                  u"Caution: Changing any part of an object name could break "
                                  u"scripts and stored procedures.");
    caution.line = 1;
    finish(emit, 0, {std::move(caution)});
    return true;
}

bool SessionImpl::spTables(const std::vector<ProcArgValue>& argList, const Emit& emit) {
    Args args(argList,
              {"table_name", "table_owner", "table_qualifier", "table_type", "fusepattern"});
    auto nameFilter = args.text(0);
    auto ownerFilter = args.text(1);
    auto qualifier = args.text(2);
    auto typeList = args.text(3);
    bool usePattern = true;
    if (const Typed* t = args.get(4)) {
        usePattern = Convert::bigintOrNull(*t).value_or(1) != 0;
    }
    if (qualifier && !qualifier->empty() && !text::equalsCi(*qualifier, db_->name())) {
        Message m = makeMessage(15250, 16, 1,
                                u"The database name component of the object qualifier must be "
                                u"the name of the current database.");
        finish(emit, 1, {std::move(m)});
        return false;
    }
    std::vector<std::u16string> types;
    if (typeList) {
        types = tableTypes(*typeList);
    }
    auto match = [&](const std::optional<std::u16string>& filter, const std::u16string& value) {
        if (!filter) {
            return true;
        }
        return usePattern ? Evaluator::like(value, *filter) : text::equalsCi(value, *filter);
    };
    auto typeWanted = [&](const std::u16string& type) {
        return types.empty() || std::find(types.begin(), types.end(), type) != types.end();
    };
    struct Entry {
        std::u16string owner;
        std::u16string name;
        std::u16string type;
    };
    std::vector<Entry> entries;
    {
        std::shared_lock lock(db_->mutex());
        for (const auto& t : db_->tables()) {
            entries.push_back({t->schema, t->name, u"TABLE"});
        }
    }
    for (const auto& o : InfoSchema::systemObjects()) {
        entries.push_back({o.schema, o.name, o.tableType});
    }
    std::vector<Entry> kept;
    for (auto& e : entries) {
        if (typeWanted(e.type) && match(nameFilter, e.name) && match(ownerFilter, e.owner)) {
            kept.push_back(std::move(e));
        }
    }
    // ORDER BY TABLE_TYPE, TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME
    std::stable_sort(kept.begin(), kept.end(), [](const Entry& a, const Entry& b) {
        if (int c = text::compareCi(a.type, b.type)) {
            return c < 0;
        }
        if (int c = text::compareCi(a.owner, b.owner)) {
            return c < 0;
        }
        return text::compareCi(a.name, b.name) < 0;
    });
    std::vector<Row> rows;
    for (const auto& e : kept) {
        rows.push_back({Value{db_->name()}, Value{e.owner}, Value{e.name},
                        Value{text::toCp1252(e.type)}, Value{}});
    }
    StatementOutcome o;
    ResultSet result;
    result.columns = {
        column(u"TABLE_QUALIFIER", Type::NVarChar, 128),
        column(u"TABLE_OWNER", Type::NVarChar, 128), column(u"TABLE_NAME", Type::NVarChar, 128),
        column(u"TABLE_TYPE", Type::VarChar, 32), column(u"REMARKS", Type::VarChar, 254)};
    const auto n = static_cast<std::int64_t>(rows.size());
    result.rows = std::make_unique<VectorRows>(std::move(rows));
    o.result = std::move(result);
    o.rowCount = n;
    emit(std::move(o));
    finish(emit, 0);
    return true;
}

bool SessionImpl::spColumns(const std::vector<ProcArgValue>& argList, const Emit& emit) {
    Args args(argList, {"table_name", "table_owner", "table_qualifier", "column_name", "odbcver"});
    auto nameFilter = args.text(0);
    auto ownerFilter = args.text(1);
    auto columnFilter = args.text(3);
    bool odbc3 = false;
    if (const Typed* t = args.get(4)) {
        odbc3 = Convert::bigintOrNull(*t).value_or(2) >= 3;
    }
    std::vector<Row> rows;
    if (nameFilter) {
        std::shared_lock lock(db_->mutex());
        for (const auto& t : db_->tables()) {
            if (!Evaluator::like(t->name, *nameFilter) ||
                (ownerFilter && !Evaluator::like(t->schema, *ownerFilter))) {
                continue;
            }
            std::int64_t ordinal = 0;
            for (const auto& c : t->columns()) {
                ++ordinal;
                if (columnFilter && !Evaluator::like(c.name, *columnFilter)) {
                    continue;
                }
                const ColumnType& ty = c.type;
                Value precision = InfoSchema::numericPrecision(ty);
                Value charLen = InfoSchema::characterMaximumLength(ty);
                Value octets = InfoSchema::characterOctetLength(ty);
                std::int64_t prec = 0;
                std::int64_t length = 0;
                if (const auto* p = std::get_if<std::int64_t>(&precision)) {
                    prec = *p;
                } else if (const auto* l = std::get_if<std::int64_t>(&charLen)) {
                    prec = *l < 0 ? 2147483647 : *l;
                } else if (ty.type == Type::Bit) {
                    prec = 1;
                } else if (ty.type == Type::DateTime) {
                    prec = 23;
                } else if (ty.type == Type::SmallDateTime) {
                    prec = 16;
                } else if (ty.type == Type::Date) {
                    prec = 10;
                } else if (ty.type == Type::Time) {
                    prec = ty.scale == 0 ? 8 : 9 + ty.scale;
                } else if (ty.type == Type::DateTime2) {
                    prec = ty.scale == 0 ? 19 : 20 + ty.scale;
                } else if (ty.type == Type::DateTimeOffset) {
                    prec = ty.scale == 0 ? 26 : 27 + ty.scale;
                } else if (ty.type == Type::UniqueIdentifier) {
                    prec = 36;
                }
                if (const auto* o = std::get_if<std::int64_t>(&octets)) {
                    length = *o < 0 ? 2147483647 : *o;
                } else {
                    switch (ty.type) {
                    case Type::Bit:
                    case Type::TinyInt:
                        length = 1;
                        break;
                    case Type::SmallInt:
                        length = 2;
                        break;
                    case Type::Int:
                    case Type::Real:
                    case Type::SmallMoney:
                    case Type::SmallDateTime:
                        length = 4;
                        break;
                    case Type::UniqueIdentifier:
                        length = 16;
                        break;
                    case Type::Decimal:
                    case Type::Numeric:
                        length = ty.precision + 2;
                        break;
                    case Type::Date:
                        length = 20;
                        break;
                    case Type::Time:
                    case Type::DateTime2:
                    case Type::DateTimeOffset:
                        length = prec * 2;
                        break;
                    default:
                        length = 8;
                        break;
                    }
                }
                Value scale = InfoSchema::numericScale(ty);
                Value dtp = InfoSchema::datetimePrecision(ty);
                Value scaleOut = std::holds_alternative<std::int64_t>(scale) ? scale
                                 : ty.type == Type::DateTime || ty.type == Type::SmallDateTime
                                     ? dtp
                                     : Value{};
                std::u16string typeName =
                    ordinal - 1 == t->rowVersionColumn() ? u"timestamp" : Types::name(ty.type);
                rows.push_back(
                    {Value{db_->name()}, Value{t->schema}, Value{t->name}, Value{c.name},
                     Value{odbcType(ty, odbc3)}, Value{typeName}, Value{prec}, Value{length},
                     scaleOut, InfoSchema::numericPrecisionRadix(ty),
                     Value{std::int64_t{c.nullable ? 1 : 0}}, Value{}, Value{},
                     Value{odbcType(ty, odbc3) == 93 ? std::int64_t{9} : odbcType(ty, odbc3)},
                     odbcType(ty, odbc3) == 93 ? Value{std::int64_t{3}} : Value{}, octets,
                     Value{ordinal}, Value{std::string(c.nullable ? "YES" : "NO")},
                     Value{std::int64_t{0}}});
            }
        }
    }
    StatementOutcome o;
    ResultSet result;
    result.columns = {column(u"TABLE_QUALIFIER", Type::NVarChar, 128),
                      column(u"TABLE_OWNER", Type::NVarChar, 128),
                      column(u"TABLE_NAME", Type::NVarChar, 128),
                      column(u"COLUMN_NAME", Type::NVarChar, 128),
                      column(u"DATA_TYPE", Type::SmallInt),
                      column(u"TYPE_NAME", Type::NVarChar, 128),
                      column(u"PRECISION", Type::Int),
                      column(u"LENGTH", Type::Int),
                      column(u"SCALE", Type::SmallInt),
                      column(u"RADIX", Type::SmallInt),
                      column(u"NULLABLE", Type::SmallInt),
                      column(u"REMARKS", Type::VarChar, 254),
                      column(u"COLUMN_DEF", Type::NVarChar, 4000),
                      column(u"SQL_DATA_TYPE", Type::SmallInt),
                      column(u"SQL_DATETIME_SUB", Type::SmallInt),
                      column(u"CHAR_OCTET_LENGTH", Type::Int),
                      column(u"ORDINAL_POSITION", Type::Int),
                      column(u"IS_NULLABLE", Type::VarChar, 254),
                      column(u"SS_DATA_TYPE", Type::TinyInt)};
    const auto n = static_cast<std::int64_t>(rows.size());
    result.rows = std::make_unique<VectorRows>(std::move(rows));
    o.result = std::move(result);
    o.rowCount = n;
    emit(std::move(o));
    finish(emit, 0);
    return true;
}

bool SessionImpl::runPrepared(const std::u16string& params, const std::u16string& stmt,
                              const std::vector<ProcArgValue>& values, std::size_t first,
                              const Emit& emit, std::vector<Message>& errors) {
    Variables vars;
    if (!params.empty()) {
        auto decls = Parser::parseParamDecls(params);
        if (!decls) {
            errors.push_back(makeMessage(102, 15, 1, u"Incorrect syntax near '" + params + u"'."));
            return false;
        }
        std::size_t position = first;
        for (const auto& d : *decls) {
            ColumnType type;
            if (auto m = Types::resolve(d.type, 1, d.name, type)) {
                errors.push_back(std::move(*m));
                return false;
            }
            const ProcArgValue* given = nullptr;
            for (std::size_t i = first; i < values.size(); ++i) {
                if (!values[i].name.empty() && text::equalsCi(values[i].name, d.name)) {
                    given = &values[i];
                }
            }
            if (given == nullptr && position < values.size() && values[position].name.empty()) {
                given = &values[position];
            }
            ++position;
            Typed v;
            v.type = type;
            if (given == nullptr) {
                errors.push_back(makeMessage(8178, 16, 1,
                                             u"The parameterized query '(" + params + u")" +
                                                 stmt.substr(0, 50) + u"' expects the parameter '" +
                                                 d.name + u"', which was not supplied."));
                return false;
            }
            if (auto m = Convert::to(given->value, type, v.value, nullptr)) {
                errors.push_back(std::move(*m));
                return false;
            }
            vars.values.emplace_back(d.name, std::move(v));
        }
    }
    return runBatch(stmt, &vars, emit);
}

bool SessionImpl::spExecuteSql(const std::vector<ProcArgValue>& args, const Emit& emit) {
    if (args.empty()) {
        finish(emit, 1,
               {makeMessage(201, 16, 4,
                            u"Procedure or function 'sp_executesql' expects parameter '@stmt', "
                            u"which was not supplied.")});
        return false;
    }
    auto stmt = Convert::textOrNull(args[0].value).value_or(u"");
    std::u16string params;
    std::size_t first = 1;
    if (args.size() > 1 && (args[1].name.empty() || text::equalsCi(args[1].name, u"@params"))) {
        params = Convert::textOrNull(args[1].value).value_or(u"");
        first = 2;
    }
    std::vector<Message> errors;
    bool ok = runPrepared(params, stmt, args, first, emit, errors);
    finish(emit, ok ? 0 : 1, std::move(errors));
    return ok;
}

bool SessionImpl::spPrepare(const std::vector<ProcArgValue>& args, const Emit& emit, bool execute) {
    // sp_prepare / sp_prepexec (@handle OUTPUT, @params, @stmt [, @options | values...])
    if (args.size() < 3) {
        finish(emit, 1,
               {makeMessage(201, 16, 4,
                            u"Procedure or function expects parameter '@stmt', which was not "
                            u"supplied.")});
        return false;
    }
    Prepared p;
    p.params = Convert::textOrNull(args[1].value).value_or(u"");
    p.stmt = Convert::textOrNull(args[2].value).value_or(u"");
    const std::int32_t handle = nextHandle_++;
    prepared_[handle] = p;
    RpcParam out;
    out.name = args[0].name;
    out.type.type = Type::Int;
    out.value = std::int64_t{handle};
    out.output = true;
    std::vector<Message> errors;
    bool ok = true;
    if (execute) {
        ok = runPrepared(p.params, p.stmt, args, 3, emit, errors);
    } else if (!p.params.empty() && !Parser::parseParamDecls(p.params)) {
        errors.push_back(makeMessage(102, 15, 1, u"Incorrect syntax near '" + p.params + u"'."));
        ok = false;
    }
    finish(emit, ok ? 0 : 1, std::move(errors), {std::move(out)});
    return ok;
}

bool SessionImpl::spExecute(const std::vector<ProcArgValue>& args, const Emit& emit) {
    std::optional<std::int64_t> handle;
    if (!args.empty()) {
        handle = Convert::bigintOrNull(args[0].value);
    }
    auto it = handle ? prepared_.find(static_cast<std::int32_t>(*handle)) : prepared_.end();
    if (it == prepared_.end()) {
        finish(
            emit, 1,
            {makeMessage(8179, 16, 2,
                         u"Could not find prepared statement with handle " +
                             (handle ? text::number(*handle) : std::u16string(u"NULL")) + u".")});
        return false;
    }
    Prepared p = it->second;
    std::vector<Message> errors;
    bool ok = runPrepared(p.params, p.stmt, args, 1, emit, errors);
    finish(emit, ok ? 0 : 1, std::move(errors));
    return ok;
}

bool SessionImpl::spUnprepare(const std::vector<ProcArgValue>& args, const Emit& emit) {
    if (!args.empty()) {
        if (auto h = Convert::bigintOrNull(args[0].value)) {
            prepared_.erase(static_cast<std::int32_t>(*h));
        }
    }
    finish(emit, 0);
    return true;
}

} // namespace tds
