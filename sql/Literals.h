#pragma once

#include "db/Value.h"
#include "transfer/TypeMap.h"

#include <QString>

// One value of a source row as a literal for the target's INSERT: NULL as NULL, bytes as a
// hexadecimal literal, everything else as a quoted text (numbers too, as '7'), floating-point
// values in their shortest round-trip form.
namespace fq::transfer {

// For MySQL (the session runs with NO_BACKSLASH_ESCAPES, so only quotes are doubled; a text
// with a zero character goes as a hexadecimal utf8mb4 literal).
QString mysqlLiteral(const db::Value& value, ValueKind kind);
// For SQL Server (N'...' for text outside ASCII).
QString mssqlLiteral(const db::Value& value, ValueKind kind);

} // namespace fq::transfer
