#pragma once

#include "odbc/Value.h"
#include "sql/TypeMap.h"

#include <QString>

// One value of a source row as a literal for the target's INSERT: NULL as NULL, bytes as a
// hexadecimal literal, everything else as a quoted text (numbers too, as '7'), floating-point
// values in their shortest round-trip form.
namespace fq::sql {

// True for a date, or a date and time, that names no real day and time of the calendar: a zero
// year, month or day (MySQL's zero date '0000-00-00' and '2009-01-00' alike), a day past its
// month's end ('2009-02-30', '1900-02-29'), or an hour, minute or second out of range. MySQL
// stores such values outside strict mode; neither SQL Server nor a strict MySQL can hold them,
// so both literal functions write them as NULL. Only Temporal kinds are judged (a time of day or
// a text is not a date), and only values of the form "yyyy-mm-dd[ hh:mm:ss...]".
bool notACalendarDate(const odbc::Value& value, ValueKind kind);

// A value's literal, appended to the end of a statement being built; a refused value (a
// Refusal) may leave part of it behind.
// For MySQL (the session runs with NO_BACKSLASH_ESCAPES, so only quotes are doubled; a text
// with a zero character goes as a hexadecimal utf8mb4 literal).
void appendMysqlLiteral(QString& out, const odbc::Value& value, ValueKind kind);
// For SQL Server (N'...' for text outside ASCII).
void appendMssqlLiteral(QString& out, const odbc::Value& value, ValueKind kind);

// The bytes the value's MySQL literal takes in a statement (in UTF-8, as the server gets it),
// without writing it: what a long value sent apart from its statement would have made the
// statement longer by.
long long mysqlLiteralBytes(const odbc::Value& value, ValueKind kind);

} // namespace fq::sql
