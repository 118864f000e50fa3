#pragma once

// Dates and times: reading SQL Server's string forms, and moving between the stored forms of
// date, time, datetime, smalldatetime, datetime2 and datetimeoffset.

#include <cstdint>
#include <optional>
#include <string>

namespace tds {

struct DateTimeParts {
    bool hasDate = false;
    bool hasTime = false;
    bool hasOffset = false;
    int year = 1900;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::int64_t fraction = 0; // in 100-ns units
    int fractionDigits = 0;    // as written
    int offsetMinutes = 0;
    bool dayValid = true; // false for a well-formed but impossible day (2023-02-29)
};

class DateTime {
public:
    // Reads the forms the clients write: 2024-01-31, a time 10:20, 10:20:30 or
    // 10:20:30.1234567 after it (or alone), then an offset +01:00 or -05:00.
    // Returns nullopt when the text is no date or time of these forms.
    static std::optional<DateTimeParts> parse(const std::u16string& text);

    static std::int32_t daysFromCivil(int year, int month, int day); // since 0001-01-01
    static void civilFromDays(std::int32_t days, int& year, int& month, int& day);
    static constexpr std::int32_t kDays1900 = 693595; // 1900-01-01 in days since 0001-01-01
    static constexpr std::int64_t kTicksPerDay = 864000000000; // 100-ns ticks
};

} // namespace tds
