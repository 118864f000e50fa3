// The system procedures clients call: sp_rename, sp_tables, sp_columns, and the prepared
// statement family (sp_executesql, sp_prepare, sp_execute, sp_prepexec, sp_unprepare).

#include <algorithm>
#include <mutex>

#include "InfoSchema.h"
#include "Parser.h"
#include "Session.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

// Matches call arguments to a procedure's parameters, by name or by position.
class Args {
public:
    Args(const std::vector<ProcArgValue>& args, std::vector<std::string_view> params)
        : values_(params.size(), nullptr) {
        std::size_t position = 0;
        for (const auto& a : args) {
            if (a.name.empty()) {
                if (position < values_.size()) {
                    values_[position] = &a;
                }
                ++position;
                continue;
            }
            const std::u16string_view n = std::u16string_view(a.name).substr(a.name[0] == u'@');
            for (std::size_t i = 0; i < params.size(); ++i) {
                if (text::isKeyword(n, params[i])) {
                    values_[i] = &a;
                }
            }
        }
    }
    const Typed* get(std::size_t i) const { return values_[i] ? &values_[i]->value : nullptr; }
    std::optional<std::u16string> text(std::size_t i) const {
        const Typed* t = get(i);
        return t ? Convert::textOrNull(*t) : std::nullopt;
    }

private:
    std::vector<const ProcArgValue*> values_;
};

// The procedure's last outcome: its return status, messages and output parameters.
void finish(const Emit& emit, std::int32_t status, std::vector<Message> messages = {},
            std::vector<RpcParam> outputs = {}) {
    StatementOutcome o;
    o.messages = std::move(messages);
    o.returnStatus = status;
    o.outputParams = std::move(outputs);
    emit(std::move(o));
}

bool failProcedure(const Emit& emit, Message m) {
    finish(emit, 1, {std::move(m)});
    return false;
}

void emitRows(const Emit& emit, std::vector<Column> columns, std::vector<Row> rows) {
    StatementOutcome o;
    o.rowCount = static_cast<std::int64_t>(rows.size());
    o.result = ResultSet{std::move(columns), std::make_unique<RowList>(std::move(rows))};
    emit(std::move(o));
    finish(emit, 0);
}

// The values of a @table_type list as sent: "'TABLE','VIEW'" (quotes optional), upper case.
std::vector<std::u16string> tableTypes(const std::u16string& list) {
    std::vector<std::u16string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = std::min(list.find(u',', start), list.size());
        const std::u16string item = list.substr(start, end - start);
        const std::size_t b = item.find_first_not_of(u" '\"");
        if (b != std::u16string::npos) {
            std::u16string v = item.substr(b, item.find_last_not_of(u" '\"") - b + 1);
            for (auto& c : v) {
                c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
            }
            out.push_back(std::move(v));
        }
        start = end + 1;
    }
    return out;
}

bool matches(const std::optional<std::u16string>& pattern, std::u16string_view value) {
    return !pattern || text::matchesPattern(value, *pattern);
}

} // namespace

bool SessionImpl::callById(std::uint16_t procId, const std::vector<ProcArgValue>& args,
                           const Emit& emit) {
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
        return failProcedure(emit, makeMessage(2812, 16, 62,
                                               u"Could not find stored procedure 'proc id " +
                                                   text::number(procId) + u"'."));
    }
}

bool SessionImpl::callProcedure(const ObjectName& name, const std::vector<ProcArgValue>& args,
                                const Emit& emit) {
    // "[db]..sp_tables" names this database or fails.
    if (!name.database().empty() && !text::equalsCi(name.database(), db().name())) {
        return fail(emit,
                    makeMessage(911, 16, 1,
                                u"Database '" + name.database() +
                                    u"' does not exist. Make sure that the name is entered "
                                    u"correctly."),
                    line_);
    }
    const std::u16string& p = name.object();
    if (text::isKeyword(p, "sp_rename")) {
        return spRename(args, emit);
    }
    if (text::isKeyword(p, "sp_tables")) {
        return spTables(args, emit);
    }
    if (text::isKeyword(p, "sp_columns")) {
        return spColumns(args, emit);
    }
    static constexpr std::pair<std::string_view, std::uint16_t> kById[] = {{"sp_executesql", 10},
                                                                           {"sp_prepare", 11},
                                                                           {"sp_execute", 12},
                                                                           {"sp_prepexec", 13},
                                                                           {"sp_unprepare", 15}};
    for (const auto& [procName, id] : kById) {
        if (text::isKeyword(p, procName)) {
            return callById(id, args, emit);
        }
    }
    return fail(emit, makeMessage(2812, 16, 62, u"Could not find stored procedure '" + p + u"'."),
                line_);
}

bool SessionImpl::spRename(const std::vector<ProcArgValue>& argList, const Emit& emit) {
    Args args(argList, {"objname", "newname", "objtype"});
    const auto objname = args.text(0);
    const auto newname = args.text(1);
    const auto objtype = args.text(2);
    if (!objname || objname->empty() || !newname || newname->empty()) {
        return failProcedure(
            emit, makeMessage(
                      15223, 11, 1,
                      u"Error: The input parameter '" +
                          std::u16string(objname && !objname->empty() ? u"@newname" : u"@objname") +
                          u"' is not allowed to be null."));
    }
    if (objtype && !text::isKeyword(*objtype, "object")) {
        return failProcedure(emit, notSupported(u"renaming anything but a table"));
    }
    const auto name = Parser::parseNameText(*objname);
    TableRef ref;
    if (name && name->parts.size() <= 2) {
        resolveTable(*name, ref);
    }
    if (!ref.table) {
        return failProcedure(emit, makeMessage(15248, 11, 1,
                                               u"Either the parameter @objname is ambiguous or "
                                               u"the claimed @objtype (object) is wrong."));
    }
    {
        std::unique_lock lock(db().mutex());
        if (db().find(ref.table->schema, *newname)) {
            lock.unlock();
            return failProcedure(emit, makeMessage(15335, 11, 1,
                                                   u"Error: The new name '" + *newname +
                                                       u"' is already in use as a object name "
                                                       u"and would cause a duplicate that is "
                                                       u"not permitted."));
        }
        db().rename(ref.table, *newname);
    }
    finish(emit, 0,
           {makeMessage(15477, 10, 1,
                        u"Caution: Changing any part of an object name could break scripts and "
                        u"stored procedures.")});
    return true;
}

bool SessionImpl::spTables(const std::vector<ProcArgValue>& argList, const Emit& emit) {
    Args args(argList, {"table_name", "table_owner", "table_qualifier", "table_type"});
    const auto name = args.text(0);
    const auto owner = args.text(1);
    const auto qualifier = args.text(2);
    const auto typeList = args.text(3);
    if (qualifier && !qualifier->empty() && !text::equalsCi(*qualifier, db().name())) {
        return failProcedure(emit, makeMessage(15250, 16, 1,
                                               u"The database name component of the object "
                                               u"qualifier must be the name of the current "
                                               u"database."));
    }
    const std::vector<std::u16string> types =
        typeList ? tableTypes(*typeList) : std::vector<std::u16string>{};
    struct Entry {
        std::u16string owner;
        std::u16string name;
        std::u16string type;
    };
    std::vector<Entry> entries;
    {
        std::shared_lock lock(db().mutex());
        for (const auto& t : db().tables()) {
            entries.push_back({t->schema, t->name, t->view() ? u"VIEW" : u"TABLE"});
        }
    }
    for (const auto& v : InfoSchema::systemViews()) {
        entries.push_back(
            {std::u16string(v.schema), std::u16string(v.name), std::u16string(v.tableType)});
    }
    std::erase_if(entries, [&](const Entry& e) {
        return !matches(name, e.name) || !matches(owner, e.owner) ||
               (!types.empty() && std::find(types.begin(), types.end(), e.type) == types.end());
    });
    // ORDER BY TABLE_TYPE, TABLE_QUALIFIER, TABLE_OWNER, TABLE_NAME
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int type = text::compareCi(a.type, b.type);
        const int schema = text::compareCi(a.owner, b.owner);
        return type != 0     ? type < 0
               : schema != 0 ? schema < 0
                             : text::compareCi(a.name, b.name) < 0;
    });
    std::vector<Row> rows;
    for (const auto& e : entries) {
        rows.push_back({Value{db().name()}, Value{e.owner}, Value{e.name},
                        Value{text::toCp1252(e.type)}, Value{}});
    }
    const ColumnType name128{Type::NVarChar, 128, 0, 0};
    emitRows(emit,
             {Column{u"TABLE_QUALIFIER", name128, true}, Column{u"TABLE_OWNER", name128, true},
              Column{u"TABLE_NAME", name128, true},
              Column{u"TABLE_TYPE", ColumnType{Type::VarChar, 32, 0, 0}, true},
              Column{u"REMARKS", ColumnType{Type::VarChar, 254, 0, 0}, true}},
             std::move(rows));
    return true;
}

bool SessionImpl::spColumns(const std::vector<ProcArgValue>& argList, const Emit& emit) {
    Args args(argList, {"table_name", "table_owner", "table_qualifier", "column_name", "odbcver"});
    const auto name = args.text(0);
    const auto owner = args.text(1);
    const auto columnName = args.text(3);
    const Typed* odbcVersion = args.get(4);
    const bool odbc3 = odbcVersion && Convert::bigintOrNull(*odbcVersion).value_or(2) >= 3;
    std::vector<Row> rows;
    if (name) {
        std::shared_lock lock(db().mutex());
        for (const auto& t : db().tables()) {
            if (!matches(name, t->name) || !matches(owner, t->schema)) {
                continue;
            }
            for (std::size_t i = 0; i < t->columns().size(); ++i) {
                if (matches(columnName, t->columns()[i].name)) {
                    rows.push_back(InfoSchema::spColumnsRow(
                        db(), *t, static_cast<std::int64_t>(i) + 1, odbc3));
                }
            }
        }
    }
    emitRows(emit, InfoSchema::spColumnsColumns(), std::move(rows));
    return true;
}

bool SessionImpl::runPrepared(const std::u16string& params, const std::u16string& stmt,
                              const std::vector<ProcArgValue>& values, std::size_t first,
                              const Emit& emit, std::vector<Message>& errors) {
    const auto decls = Parser::parseParamDecls(params);
    if (!decls) {
        errors.push_back(makeMessage(102, 15, 1, u"Incorrect syntax near '" + params + u"'."));
        return false;
    }
    Variables vars;
    std::size_t position = first;
    for (const auto& d : *decls) {
        Typed v;
        if (auto m = Types::resolve(d.type, 1, d.name, v.type)) {
            errors.push_back(std::move(*m));
            return false;
        }
        // By name, or else the next value given without one.
        auto given =
            std::find_if(values.begin() + static_cast<std::ptrdiff_t>(first), values.end(),
                         [&](const ProcArgValue& a) { return text::equalsCi(a.name, d.name); });
        if (given == values.end() && position < values.size() && values[position].name.empty()) {
            given = values.begin() + static_cast<std::ptrdiff_t>(position);
        }
        ++position;
        if (given == values.end()) {
            errors.push_back(makeMessage(8178, 16, 1,
                                         u"The parameterized query '(" + params + u")" +
                                             stmt.substr(0, 50) + u"' expects the parameter '" +
                                             d.name + u"', which was not supplied."));
            return false;
        }
        if (auto m = Convert::to(given->value, v.type, v.value, nullptr)) {
            errors.push_back(std::move(*m));
            return false;
        }
        vars.values.emplace_back(d.name, std::move(v));
    }
    return runBatch(stmt, &vars, emit);
}

bool SessionImpl::spExecuteSql(const std::vector<ProcArgValue>& args, const Emit& emit) {
    if (args.empty()) {
        return failProcedure(emit, makeMessage(201, 16, 4,
                                               u"Procedure or function 'sp_executesql' expects "
                                               u"parameter '@stmt', which was not supplied."));
    }
    const auto stmt = Convert::textOrNull(args[0].value).value_or(u"");
    std::u16string params;
    std::size_t first = 1;
    if (args.size() > 1 && (args[1].name.empty() || text::equalsCi(args[1].name, u"@params"))) {
        params = Convert::textOrNull(args[1].value).value_or(u"");
        first = 2;
    }
    std::vector<Message> errors;
    const bool ok = runPrepared(params, stmt, args, first, emit, errors);
    finish(emit, ok ? 0 : 1, std::move(errors));
    return ok;
}

bool SessionImpl::spPrepare(const std::vector<ProcArgValue>& args, const Emit& emit, bool execute) {
    // sp_prepare / sp_prepexec (@handle OUTPUT, @params, @stmt [, values...])
    if (args.size() < 3) {
        return failProcedure(emit, makeMessage(201, 16, 4,
                                               u"Procedure or function expects parameter "
                                               u"'@stmt', which was not supplied."));
    }
    Prepared p{Convert::textOrNull(args[1].value).value_or(u""),
               Convert::textOrNull(args[2].value).value_or(u"")};
    const std::int32_t handle = nextHandle_++;
    prepared_[handle] = p;
    RpcParam out{args[0].name, ColumnType{Type::Int, 0, 0, 0}, Value{std::int64_t{handle}}, true};
    std::vector<Message> errors;
    bool ok = true;
    if (execute) {
        ok = runPrepared(p.params, p.stmt, args, 3, emit, errors);
    } else if (!Parser::parseParamDecls(p.params)) {
        errors.push_back(makeMessage(102, 15, 1, u"Incorrect syntax near '" + p.params + u"'."));
        ok = false;
    }
    finish(emit, ok ? 0 : 1, std::move(errors), {std::move(out)});
    return ok;
}

bool SessionImpl::spExecute(const std::vector<ProcArgValue>& args, const Emit& emit) {
    const auto handle = args.empty() ? std::nullopt : Convert::bigintOrNull(args[0].value);
    const auto it = handle ? prepared_.find(static_cast<std::int32_t>(*handle)) : prepared_.end();
    if (it == prepared_.end()) {
        return failProcedure(
            emit,
            makeMessage(8179, 16, 2,
                        u"Could not find prepared statement with handle " +
                            (handle ? text::number(*handle) : std::u16string(u"NULL")) + u"."));
    }
    const Prepared p = it->second;
    std::vector<Message> errors;
    const bool ok = runPrepared(p.params, p.stmt, args, 1, emit, errors);
    finish(emit, ok ? 0 : 1, std::move(errors));
    return ok;
}

bool SessionImpl::spUnprepare(const std::vector<ProcArgValue>& args, const Emit& emit) {
    if (const auto h = args.empty() ? std::nullopt : Convert::bigintOrNull(args[0].value)) {
        prepared_.erase(static_cast<std::int32_t>(*h));
    }
    finish(emit, 0);
    return true;
}

} // namespace tds
