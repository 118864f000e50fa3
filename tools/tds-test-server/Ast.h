#pragma once

// The statements of a parsed batch.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "Engine.h"

namespace tds {

// A name of one to three parts (database.schema.object); an omitted middle part is empty.
struct ObjectName {
    std::vector<std::u16string> parts;

    const std::u16string& object() const { return parts.back(); }
    std::u16string schema() const {
        return parts.size() >= 2 ? parts[parts.size() - 2] : std::u16string();
    }
    std::u16string database() const { return parts.size() >= 3 ? parts[0] : std::u16string(); }
    // The parts joined by dots, as SQL Server quotes a name in its messages.
    std::u16string written() const;
};

// A type as written: name and its arguments (numbers, or "max").
struct DeclaredType {
    std::u16string name;
    std::vector<std::u16string> args;
    bool hasParens = false;
};

enum class LiteralKind : std::uint8_t { Null, String, NString, Integer, Number, Float, Hex };

struct Expr {
    enum class Kind : std::uint8_t {
        Literal,   // literal, text
        Column,    // text = column name; slot once bound to a source
        Variable,  // text = @name
        Function,  // text = OBJECT_ID or OBJECT_SCHEMA_NAME, args[0]
        Convert,   // CONVERT(type, args[0])
        Negate,    // -args[0]
        Compare,   // args[0] text args[1], text one of = <> < > <= >=
        And,       // args[0] AND args[1]
        CountStar, // COUNT(*)
    };
    Kind kind = Kind::Literal;
    LiteralKind literal = LiteralKind::Null;
    std::u16string text;
    std::vector<Expr> args;
    DeclaredType type; // Convert
    std::int32_t slot = -1;
};

struct SelectItem {
    Expr expr;
    std::u16string alias;
    bool star = false;
};

struct SelectStmt {
    std::vector<SelectItem> items;
    std::optional<ObjectName> from;
    std::optional<Expr> where;
    std::vector<Expr> orderBy; // ascending; a position is an Integer literal
};

struct ColumnDef {
    std::u16string name;
    DeclaredType type;
    bool nullable = true;
};

struct CreateTableStmt {
    ObjectName table;
    std::vector<ColumnDef> columns;
};

// DROP TABLE, or DROP VIEW.
struct DropStmt {
    ObjectName object;
    bool view = false;
};

// CREATE VIEW name AS SELECT: the select is checked when the view is made.
struct CreateViewStmt {
    ObjectName view;
    SelectStmt select;
};

struct InsertStmt {
    ObjectName table;
    std::vector<std::u16string> columns;
    std::vector<std::vector<Expr>> rows;
};

struct ProcArg {
    std::u16string name; // "@x", or empty
    Expr value;
};

struct ExecStmt {
    ObjectName procedure;
    std::vector<ProcArg> args;
};

struct Statement {
    std::variant<SelectStmt, CreateTableStmt, CreateViewStmt, DropStmt, InsertStmt, ExecStmt> body;
    std::int32_t line = 1;
};

} // namespace tds
