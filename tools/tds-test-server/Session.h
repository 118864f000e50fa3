#pragma once

// One connection's session: runs batches and procedure calls against the database.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Catalog.h"
#include "Convert.h"

namespace tds {

struct Engine::Impl {
    std::vector<Engine::Account> accounts;
    Database database;
};

using Emit = std::function<void(StatementOutcome&&)>;

// Named values a batch sees as @variables (the parameters of sp_executesql and friends).
struct Variables {
    std::vector<std::pair<std::u16string, Typed>> values;
    const Typed* find(std::u16string_view name) const;
};

// An argument of a procedure call.
struct ProcArgValue {
    std::u16string name; // "@x" or empty
    Typed value;
};

// Rows already built (ordered results, counts, the catalog procedures' results).
class RowList : public RowSource {
public:
    explicit RowList(std::vector<Row> rows) : rows_(std::move(rows)) {}
    bool next(std::vector<Value>& row) override {
        if (next_ >= rows_.size()) {
            return false;
        }
        row = std::move(rows_[next_++]);
        return true;
    }

private:
    std::vector<Row> rows_;
    std::size_t next_ = 0;
};

// A resolved table name; a missing table leaves table empty.
struct TableRef {
    std::u16string schema;
    std::shared_ptr<Table> table;
};

class SessionImpl : public Session {
public:
    explicit SessionImpl(Engine::Impl& engine);

    void executeBatch(const std::u16string& sql, const Emit& emit) override;
    void executeRpc(const std::u16string& name, std::uint16_t procId,
                    const std::vector<RpcParam>& params, const Emit& emit) override;
    std::u16string database() const override;

    // Runs a batch; returns false when it stopped on an error.
    bool runBatch(const std::u16string& sql, const Variables* vars, const Emit& emit);

    // Resolves a name of the database (911 for another database's name); the schema defaults
    // to dbo.
    std::optional<Message> resolveTable(const ObjectName& name, TableRef& ref) const;
    // OBJECT_ID and OBJECT_SCHEMA_NAME of the tables.
    std::optional<std::int32_t> objectId(const std::u16string& name) const;
    std::optional<std::u16string> objectSchema(std::int32_t id) const;
    Database& db() const { return engine_.database; }

private:
    bool run(const Statement& s, const Variables* vars, const Emit& emit);
    bool execCreate(const CreateTableStmt& s, const Emit& emit);
    bool execCreateView(const CreateViewStmt& s, const Emit& emit);
    // Adds the object under the resolved schema, unless its name is taken or the schema unknown.
    bool createObject(const TableRef& ref, const std::u16string& name, std::vector<Column> columns,
                      std::optional<ViewDefinition> view, const Emit& emit);
    bool execDrop(const DropStmt& s, const Emit& emit);
    bool execInsert(const InsertStmt& s, const Variables* vars, const Emit& emit);
    bool execExec(const ExecStmt& s, const Variables* vars, const Emit& emit);

    // SELECT (Select.cpp).
    bool execSelect(const SelectStmt& s, const Variables* vars, const Emit& emit);

    // Procedures (Procedures.cpp). Each returns false on an error of severity >= 11.
    bool callProcedure(const ObjectName& name, const std::vector<ProcArgValue>& args,
                       const Emit& emit);
    bool callById(std::uint16_t procId, const std::vector<ProcArgValue>& args, const Emit& emit);
    bool spRename(const std::vector<ProcArgValue>& args, const Emit& emit);
    bool spTables(const std::vector<ProcArgValue>& args, const Emit& emit);
    bool spColumns(const std::vector<ProcArgValue>& args, const Emit& emit);
    bool spExecuteSql(const std::vector<ProcArgValue>& args, const Emit& emit);
    bool spPrepare(const std::vector<ProcArgValue>& args, const Emit& emit, bool execute);
    bool spExecute(const std::vector<ProcArgValue>& args, const Emit& emit);
    bool spUnprepare(const std::vector<ProcArgValue>& args, const Emit& emit);
    bool runPrepared(const std::u16string& params, const std::u16string& stmt,
                     const std::vector<ProcArgValue>& values, std::size_t first, const Emit& emit,
                     std::vector<Message>& errors);

    struct Prepared {
        std::u16string params;
        std::u16string stmt;
    };

    Engine::Impl& engine_;
    std::map<std::int32_t, Prepared> prepared_;
    std::int32_t nextHandle_ = 1;
    std::int32_t line_ = 1; // line of the running statement, for messages
};

// Emits one failed outcome with the message at the given line; returns false.
bool fail(const Emit& emit, Message m, std::int32_t line);

} // namespace tds
