#pragma once

// The values of expressions: literals, @variables, columns of a row, CONVERT, OBJECT_ID and
// OBJECT_SCHEMA_NAME, and the comparisons of a WHERE clause.

#include <optional>
#include <vector>

#include "Ast.h"
#include "Catalog.h"
#include "Convert.h"

namespace tds {

class SessionImpl;
struct Variables;

// What an expression sees: the session (for OBJECT_ID), the batch's variables, and the row
// being read with its columns.
struct EvalContext {
    const SessionImpl* session = nullptr;
    const Variables* vars = nullptr;
    const std::vector<Column>* columns = nullptr;
    const Row* row = nullptr;
};

class Expressions {
public:
    // Binds the column names in e to positions of `columns`; 207 for a name that is none.
    static std::optional<Message> bind(Expr& e, const std::vector<Column>& columns);
    static std::optional<Message> eval(const Expr& e, const EvalContext& ctx, Typed& out);
    // Whether a condition holds, as a WHERE clause sees it: unknown (NULL) does not.
    static std::optional<Message> holds(const Expr& e, const EvalContext& ctx, bool& out);
    // The type of a value expression's result, for a result set's metadata.
    static std::optional<Message> typeOf(const Expr& e, const EvalContext& ctx, ColumnType& out);
    // Compares two values as SQL Server does; an empty result when either is NULL.
    static std::optional<Message> compare(const Typed& a, const Typed& b, std::optional<int>& out);
};

} // namespace tds
