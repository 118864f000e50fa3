#pragma once

// SQL Server's data types: their names, a declared type checked as CREATE TABLE checks it, and
// what the catalog reports about each.

#include <optional>
#include <string>

#include "Ast.h"
#include "Engine.h"

namespace tds {

class Types {
public:
    // The type's name as SQL Server spells it in the catalog ("int", "nvarchar", "datetime2").
    static std::u16string name(Type type);
    // Resolves a written type. columnNumber counts from 1 and names the column in the messages.
    static std::optional<Message> resolve(const DeclaredType& declared, int columnNumber,
                                          const std::u16string& columnName, ColumnType& out);
    static bool isCharacter(Type t);    // char, varchar, text
    static bool isNational(Type t);     // nchar, nvarchar, ntext, xml
    static bool isBinary(Type t);       // binary, varbinary, image
    static bool isInteger(Type t);      // bit, tinyint .. bigint
    static bool isExactNumeric(Type t); // decimal, numeric, money, smallmoney
    static bool isDateTime(Type t);
    // nvarchar(max), varchar(max), varbinary(max), xml: sent in PLP chunks.
    static bool isMax(const ColumnType& t);
    // The bytes a column of the type takes in the fixed-length part of a stored row: 0 for the
    // variable-length and large types, which follow it or live off the row, and for bit, which
    // the row packs eight columns to a byte.
    static std::int32_t fixedBytes(const ColumnType& t);
    // SQL Server's data type precedence: where two types meet, the one ranked higher wins.
    static int precedence(Type t);
    // The type two values of one column of a UNION ALL (or of a VALUES list of several rows)
    // share: the type of higher precedence, as long as the longer of two texts or binaries, and
    // for decimals as many digits before and after the point as either has (at most 38 in all,
    // the digits after the point giving way first).
    static ColumnType unionOf(const ColumnType& a, const ColumnType& b);
};

} // namespace tds
