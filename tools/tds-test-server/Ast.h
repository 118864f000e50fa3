#pragma once

// The statements of a parsed batch.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Engine.h"

namespace tds {

// A name of one to three parts (database.schema.object); an omitted middle part is empty.
struct ObjectName {
    std::vector<std::u16string> parts;
    std::size_t pos = 0;

    const std::u16string& object() const { return parts.back(); }
    std::u16string schema() const {
        return parts.size() >= 2 ? parts[parts.size() - 2] : std::u16string();
    }
    std::u16string database() const { return parts.size() >= 3 ? parts[0] : std::u16string(); }
    // The parts joined by dots, as SQL Server quotes a name in its messages.
    std::u16string written() const;
};

// A type as written: name and its arguments (numbers, or "max").
struct TypeSpec {
    std::u16string name;
    std::vector<std::u16string> args;
    bool hasParens = false;
    std::size_t pos = 0;
};

enum class LiteralKind : std::uint8_t { Null, String, NString, Integer, Number, Float, Hex };

struct Expr {
    enum class Kind : std::uint8_t {
        Literal,  // literal, text
        Column,   // text = column name, qualifier = what stood before it
        Function, // text = name as written, args
        Variable, // text = @name / @@name
        Unary,    // text = "-", "+", "not"
        Binary,   // text = operator ("=", "<>", "+", "and", "or", ...), args[0], args[1]
        IsNull,   // args[0], negated for IS NOT NULL
        InList,   // args[0] in args[1..]
        Like,     // args[0] like args[1]
        Between,  // args[0] between args[1] and args[2]
        Cast,     // args[0] as castType (CAST and CONVERT)
        CountStar,
        Constant, // an already evaluated value: constValue of constType
        Default,  // DEFAULT in a VALUES list
        Exists,   // EXISTS (subquery)
    };
    Kind kind = Kind::Literal;
    LiteralKind literal = LiteralKind::Null;
    std::u16string text;
    std::u16string qualifier;
    std::vector<Expr> args;
    TypeSpec castType; // Cast
    bool negated = false;
    std::size_t pos = 0;
    std::size_t end = 0;
    std::int32_t slot = -1; // Column: its index in the source, once bound
    Value constValue;
    ColumnType constType;
    std::shared_ptr<const struct SelectStmt> subquery; // Exists
};

struct SelectItem {
    Expr expr;
    std::u16string alias;
    bool star = false;
};

struct OrderItem {
    Expr expr;
    bool descending = false;
};

struct SelectStmt {
    std::optional<std::int64_t> top;
    std::vector<SelectItem> items;
    std::optional<ObjectName> from;
    std::optional<Expr> where;
    std::vector<OrderItem> orderBy;
};

// A PRIMARY KEY or UNIQUE constraint.
struct KeySpec {
    std::u16string name; // CONSTRAINT name, or empty
    bool primary = true;
    std::vector<std::u16string> columns;
};

struct ColumnDef {
    std::u16string name;
    TypeSpec type;
    bool nullable = true;
    bool explicitNull = false; // NULL written out
    bool identity = false;
    std::int64_t seed = 1;
    std::int64_t increment = 1;
    std::optional<Expr> defaultValue;
    std::size_t pos = 0;
};

struct CreateTableStmt {
    ObjectName table;
    std::vector<ColumnDef> columns;
    std::vector<KeySpec> keys; // column and table constraints
};

struct DropTableStmt {
    std::vector<ObjectName> tables;
    bool ifExists = false;
};

struct InsertStmt {
    ObjectName table;
    std::vector<std::u16string> columns;
    std::vector<std::vector<Expr>> rows;
};

struct ProcArg {
    std::u16string name; // "@x", or empty
    Expr value;
    bool output = false;
};

struct ExecStmt {
    ObjectName procedure;
    std::vector<ProcArg> args;
};

struct UseStmt {
    std::u16string database;
};

struct SetStmt {
    std::u16string option;
    std::u16string value; // "on", "off", or the value as written
};

struct Statement;

// IF condition statement [ELSE statement]; a BEGIN ... END block gives several statements.
struct IfStmt {
    Expr condition;
    std::vector<Statement> then;
    std::vector<Statement> otherwise;
};

struct Statement {
    std::variant<SelectStmt, CreateTableStmt, DropTableStmt, InsertStmt, ExecStmt, UseStmt, SetStmt,
                 IfStmt>
        body;
    std::size_t pos = 0;
    std::int32_t line = 1;
};

} // namespace tds
