#pragma once

// SQL Server's data types: their names, and a declared type checked as CREATE TABLE checks it.

#include <optional>
#include <string>

#include "Ast.h"
#include "Engine.h"

namespace tds {

class Types {
public:
    // The type's name as SQL Server spells it in the catalog ("int", "nvarchar", "datetime2").
    static std::u16string name(Type type);
    // The declaration as it would be written: "nvarchar(max)", "decimal(10,2)", "int".
    static std::u16string declaration(const ColumnType& type);
    // Resolves a written type. columnNumber counts from 1 and names the column in the messages.
    static std::optional<Message> resolve(const TypeSpec& declared, int columnNumber,
                                          const std::u16string& columnName, ColumnType& out);
    // timestamp / rowversion: a binary(8) the server fills in itself.
    static bool isRowVersion(const TypeSpec& declared);
    static bool isCharacter(Type t);    // char, varchar, text
    static bool isNational(Type t);     // nchar, nvarchar, ntext, xml
    static bool isBinary(Type t);       // binary, varbinary, image
    static bool isInteger(Type t);      // bit, tinyint .. bigint
    static bool isExactNumeric(Type t); // decimal, numeric, money, smallmoney
    static bool isDateTime(Type t);
};

} // namespace tds
