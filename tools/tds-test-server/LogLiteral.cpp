#include "LogLiteral.h"

#include "WireText.h"
#include "WireInt128.h"

#include <charconv>
#include <initializer_list>
#include <string_view>
#include <cstdio>

namespace tds::wire {

namespace {
constexpr std::int64_t kDays0001To1970 = 719162;
constexpr std::int64_t kDays1900To1970 = 25567;

// Concatenation by appending (GCC 12 at -O3 warns falsely about "x" + std::string).
std::string joined(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (const std::string_view part : parts)
        out.append(part);
    return out;
}

std::string quoted(std::string_view utf8) {
    std::string out = "'";
    for (const char c : utf8) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

std::string decimal(Int128 unscaled, int scale) {
    const bool negative = unscaled < 0;
    auto magnitude = static_cast<UInt128>(negative ? -unscaled : unscaled);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (scale > 0) {
        while (digits.size() <= static_cast<std::size_t>(scale))
            digits.insert(digits.begin(), '0');
        digits.insert(digits.end() - scale, '.');
    }
    return negative ? joined({"-", digits}) : digits;
}

std::string twoDigits(std::int64_t v) {
    const auto n = static_cast<int>(v % 100);
    return {static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

// 100-ns ticks since midnight as hh:mm:ss with `scale` fractional digits.
std::string timeOfDay(std::int64_t ticks, int scale) {
    const std::int64_t seconds = ticks / 10000000;
    std::string out = joined({twoDigits(seconds / 3600), ":", twoDigits(seconds / 60 % 60), ":",
                              twoDigits(seconds % 60)});
    if (scale > 0) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%07lld", static_cast<long long>(ticks % 10000000));
        out += '.';
        out.append(buffer, static_cast<std::size_t>(scale));
    }
    return out;
}
} // namespace

std::string LogLiteral::date(std::int64_t daysSince0001) {
    // Civil date from a day count (proleptic Gregorian), after H. Hinnant's algorithm.
    std::int64_t z = daysSince0001 - kDays0001To1970 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    std::string year = std::to_string(y);
    if (year.size() < 4)
        year.insert(0, 4 - year.size(), '0');
    return joined({year, "-", twoDigits(m), "-", twoDigits(d)});
}

std::string LogLiteral::render(const ColumnType& type, const Value& value) {
    if (std::holds_alternative<std::monostate>(value))
        return "NULL";
    if (const auto* n = std::get_if<std::int64_t>(&value))
        return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&value)) {
        char buffer[64];
        const bool single =
            type.type == Type::Real || (type.type == Type::Float && type.precision <= 24 &&
                                        type.precision > 0);
        const auto result = single ? std::to_chars(buffer, buffer + sizeof buffer,
                                                   static_cast<float>(*d))
                                   : std::to_chars(buffer, buffer + sizeof buffer, *d);
        return std::string(buffer, result.ptr);
    }
    if (const auto* dec = std::get_if<Decimal>(&value)) {
        const bool money = type.type == Type::Money || type.type == Type::SmallMoney;
        return decimal(dec->unscaled, money ? 4 : type.scale);
    }
    if (const auto* s = std::get_if<std::string>(&value)) {
        switch (type.type) {
        case Type::Binary:
        case Type::VarBinary:
        case Type::Image: {
            std::string out = "0x";
            for (const char c : *s)
                out += WireText::hex(static_cast<std::uint8_t>(c));
            return out;
        }
        case Type::UniqueIdentifier: {
            if (s->size() != 16)
                break;
            // SQL Server keeps the first three groups little-endian.
            static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
            std::string out = "'";
            for (int i = 0; i < 16; ++i) {
                if (i == 4 || i == 6 || i == 8 || i == 10)
                    out += '-';
                out += WireText::hex(static_cast<std::uint8_t>((*s)[static_cast<std::size_t>(kOrder[i])]));
            }
            out += '\'';
            return out;
        }
        default:
            break;
        }
        return quoted(WireText::utf8FromCp1252(*s));
    }
    if (const auto* u = std::get_if<std::u16string>(&value))
        return joined({"N", quoted(WireText::utf8(*u))});
    if (const auto* dt = std::get_if<DateTimeValue>(&value)) {
        switch (type.type) {
        case Type::Date:
            return joined({"'", date(dt->days), "'"});
        case Type::Time:
            return joined({"'", timeOfDay(dt->ticks, type.scale), "'"});
        case Type::DateTime2:
            return joined({"'", date(dt->days), " ", timeOfDay(dt->ticks, type.scale), "'"});
        case Type::DateTimeOffset: {
            // Stored in UTC: shown in the offset's local time, as SQL Server shows it.
            std::int64_t days = dt->days;
            std::int64_t ticks = dt->ticks + std::int64_t{dt->offsetMinutes} * 600000000;
            const std::int64_t perDay = 864000000000;
            while (ticks < 0) {
                ticks += perDay;
                --days;
            }
            while (ticks >= perDay) {
                ticks -= perDay;
                ++days;
            }
            const int offset = dt->offsetMinutes;
            const int magnitude = offset < 0 ? -offset : offset;
            return joined({"'", date(days), " ", timeOfDay(ticks, type.scale), " ",
                           offset < 0 ? "-" : "+", twoDigits(magnitude / 60), ":",
                           twoDigits(magnitude % 60), "'"});
        }
        case Type::DateTime: {
            // 1/300-second ticks, shown to the millisecond as SQL Server rounds them.
            const std::int64_t ms = (dt->ticks * 10 + 1) / 3;
            return joined({"'", date(dt->days + kDays0001To1970 - kDays1900To1970), " ",
                           timeOfDay(ms * 10000, 3), "'"});
        }
        case Type::SmallDateTime:
            return joined({"'", date(dt->days + kDays0001To1970 - kDays1900To1970), " ",
                           timeOfDay(dt->ticks * 600000000, 0), "'"});
        default:
            break;
        }
    }
    return "NULL";
}

} // namespace tds::wire
