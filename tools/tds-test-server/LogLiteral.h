#pragma once

#include "Engine.h"

#include <string>

namespace tds::wire {

// A value written as a T-SQL literal (UTF-8) for the statement log: NULL, numbers, 'text' with
// quotes doubled, N'text' for Unicode, 0x.. for binary, dates and times as quoted texts.
class LogLiteral {
public:
    static std::string render(const ColumnType& type, const Value& value);
    // Days since 0001-01-01 as yyyy-mm-dd.
    static std::string date(std::int64_t daysSince0001);
};

} // namespace tds::wire
