#pragma once

// SQL Server's conversions between types, as an INSERT, CONVERT, a parameter or a comparison
// makes them, with the messages SQL Server raises when a value does not fit.

#include <optional>
#include <string>

#include "Ast.h"
#include "Engine.h"

namespace tds {

struct Typed {
    Value value;
    ColumnType type;
};

// Where a converted value goes, for the truncation message.
struct ConvertTarget {
    std::u16string table; // "db.schema.table"
    std::u16string column;
};

class Convert {
public:
    // A literal as SQL Server types it: 'x' varchar (code page 1252), N'x' nvarchar, 12 int,
    // 3000000000 numeric(10,0), 1.50 numeric(3,2), 1e3 float, 0x.. varbinary, NULL.
    static std::optional<Message> literal(LiteralKind kind, const std::u16string& text, Typed& out);
    // Converts for storing into a column (truncation is an error) when target is given, or as
    // CONVERT does (character and binary values are cut silently) when it is not.
    static std::optional<Message> to(const Typed& in, const ColumnType& type, Value& out,
                                     const ConvertTarget* target);
    // The value as text: numbers in full (money with its four decimals, floats in their
    // shortest round-trip form), binary as 0x.., dates and times as yyyy-mm-dd hh:mm:ss.fffffff
    // with the type's fractional digits, datetimeoffset with its offset.
    static std::u16string toText(const Typed& in);
    // An argument as text (NULL as nothing), and as a bigint (NULL or not a number as nothing).
    static std::optional<std::u16string> textOrNull(const Typed& in);
    static std::optional<std::int64_t> bigintOrNull(const Typed& in);
};

} // namespace tds
