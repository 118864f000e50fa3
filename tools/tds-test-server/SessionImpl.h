#pragma once

// One connection's session: runs batches and procedure calls against the catalog.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Ast.h"
#include "Catalog.h"
#include "Convert.h"
#include "EngineImpl.h"
#include "Evaluator.h"

namespace tds {

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
    bool output = false;
};

// A resolved table name.
struct TableRef {
    Database* database = nullptr;
    std::u16string schema;
    std::shared_ptr<Table> table;
};

// What a SELECT reads from: a stored table (streamed) or rows built for the query.
struct Source {
    std::vector<Column> columns;
    std::shared_ptr<const Table> table;
    std::shared_ptr<const std::vector<Row>> rows;
    std::size_t count = 0;
};

class SessionImpl : public Session {
public:
    SessionImpl(Engine::Impl& engine, Database* database, std::u16string login, int spid);

    void executeBatch(const std::u16string& sql,
                      const std::function<void(StatementOutcome&&)>& emit) override;
    void executeRpc(const std::u16string& name, std::uint16_t procId,
                    const std::vector<RpcParam>& params,
                    const std::function<void(StatementOutcome&&)>& emit) override;
    std::u16string database() const override;

    // Runs a batch; returns false when it stopped on an error.
    bool runBatch(const std::u16string& sql, const Variables* vars, const Emit& emit);

    // Whether a subquery returns a row (EXISTS).
    std::optional<Message> exists(const SelectStmt& s, const Variables* vars, bool& out);

    // Expression evaluation with this session's context (functions, variables).
    std::optional<Message> eval(const Expr& e, const Variables* vars, const Row* row, Typed& out);
    // The same over a row of a source (functions of columns).
    std::optional<Message> eval(const Expr& e, const EvalEnv& env, Typed& out);

private:
    void runRpc(const std::u16string& name, std::uint16_t procId, std::vector<ProcArgValue> args,
                const Emit& emit);
    bool run(const Statement& s, const Variables* vars, const Emit& emit);
    bool execCreate(const CreateTableStmt& s, const Emit& emit);
    bool execDrop(const DropTableStmt& s, const Emit& emit);
    bool execInsert(const InsertStmt& s, const Variables* vars, const Emit& emit);
    bool execSelect(const SelectStmt& s, const Variables* vars, const Emit& emit);
    bool execExec(const ExecStmt& s, const Variables* vars, const Emit& emit);
    bool execUse(const UseStmt& s, const Emit& emit);
    bool execIf(const IfStmt& s, const Variables* vars, const Emit& emit);

    // Procedures (SystemProcs.cpp). Returns false on an error of severity >= 11.
    bool callProcedure(const ObjectName& name, std::vector<ProcArgValue> args, const Emit& emit);
    bool callById(std::uint16_t procId, std::vector<ProcArgValue> args, const Emit& emit);
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

public:
    // Name resolution: a missing table gives nullptr in ref.table.
    std::optional<Message> resolveTable(const ObjectName& name, TableRef& ref);
    // The source of a FROM clause; 208 when it names nothing.
    std::optional<Message> resolveSource(const ObjectName& name, Source& out);
    std::optional<std::int32_t> objectId(const std::u16string& name);
    Database* currentDatabase() const { return db_; }
    Engine::Impl& engine() { return engine_; }
    const std::u16string& login() const { return login_; }
    int spid() const { return spid_; }

private:
    struct Prepared {
        std::u16string params;
        std::u16string stmt;
    };

    Engine::Impl& engine_;
    Database* db_;
    std::u16string login_;
    int spid_;
    bool nocount_ = false;
    std::map<std::int32_t, Prepared> prepared_;
    std::int32_t nextHandle_ = 1;
    std::int32_t line_ = 1; // line of the running statement, for messages
};

Message makeMessage(std::int32_t number, std::uint8_t severity, std::uint8_t state,
                    std::u16string text);

} // namespace tds
