#pragma once

// Evaluates expressions: over a row of a source (columns bound to slots), and, with a session,
// the functions and @variables a query may use.

#include <optional>
#include <vector>

#include "Ast.h"
#include "Catalog.h"
#include "Convert.h"

namespace tds {

class SessionImpl;
struct Variables;

struct EvalEnv {
    SessionImpl* session = nullptr;
    const Variables* vars = nullptr;
    const Row* row = nullptr;
    const std::vector<Column>* columns = nullptr;
};

class Evaluator {
public:
    static std::optional<Message> eval(const Expr& e, const EvalEnv& env, Typed& out);
    // Binds column names to slots of `columns` and folds every part that reads no column into a
    // constant, so rows can later be evaluated without the session.
    static std::optional<Message> bind(Expr& e, const std::vector<Column>& columns,
                                       SessionImpl& session, const Variables* vars);
    // The type of a bound expression's result.
    static ColumnType typeOf(const Expr& e, const std::vector<Column>& columns);
    // Whether a condition holds, as a WHERE clause sees it: unknown (NULL) does not.
    static std::optional<Message> test(const Expr& e, const EvalEnv& env, bool& out);
    enum class Truth : std::uint8_t { False, True, Unknown };
    static std::optional<Message> truth(const Expr& e, const EvalEnv& env, Truth& out);
    // Compares two values as SQL Server does; nullopt result when either is NULL.
    static std::optional<Message> compare(const Typed& a, const Typed& b, std::optional<int>& out);
    static bool like(std::u16string_view value, std::u16string_view pattern);
    static bool containsAggregate(const Expr& e);
};

} // namespace tds
