#pragma once

#include "odbc/Value.h"
#include "sql/Server.h"
#include "sql/TypeMap.h"

#include <QList>
#include <QString>

namespace fq::commands {

// One value of a refused row, as a message names it.
struct NamedValue {
    QString column;
    QString value; // quoted text, or 0x... for bytes; long values cut short
};

// The values of a row that the target refused which the program can name, and no others: the
// column whose name the server's words give (MySQL's "for column 'c'", SQL Server's
// "column 'c'"); otherwise, for SQL Server's conversion errors, the non-NULL values of the
// columns whose type the words name (a date or time for 241 and 242, "data type int" for the
// others). Empty when the words tell neither.
QList<NamedValue> refusedValues(Server target, const QString& words, long nativeError,
                                const QList<sql::TargetColumn>& columns,
                                const QList<odbc::Value>& row);

// The value at a column, as a message names it.
NamedValue namedValue(const QList<sql::TargetColumn>& columns, const QList<odbc::Value>& row,
                      int column);

} // namespace fq::commands
