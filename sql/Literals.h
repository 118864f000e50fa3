#pragma once

#include "odbc/Value.h"
#include "sql/TypeMap.h"

#include <QString>

// One value of a source row as a literal for the target's INSERT: NULL as NULL, bytes as a
// hexadecimal literal, everything else as a quoted text (numbers too, as '7'), floating-point
// values in their shortest round-trip form.
namespace fq::sql {

// For MySQL (the session runs with NO_BACKSLASH_ESCAPES, so only quotes are doubled; a text
// with a zero character goes as a hexadecimal utf8mb4 literal).
QString mysqlLiteral(const odbc::Value& value, ValueKind kind);
// For SQL Server (N'...' for text outside ASCII).
QString mssqlLiteral(const odbc::Value& value, ValueKind kind);

} // namespace fq::sql
