#include "Convert.h"

#include <array>
#include <charconv>
#include <cmath>

#include "DateTime.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

Int128 pow10(int n) {
    Int128 v = 1;
    for (int i = 0; i < n; ++i) {
        v *= 10;
    }
    return v;
}

Message error(std::int32_t number, std::uint8_t state, std::u16string textValue) {
    return makeMessage(number, 16, state, std::move(textValue));
}

std::u16string trimmed(const std::u16string& s) {
    auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && space(s[b])) {
        ++b;
    }
    while (e > b && space(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

bool isText(Type t) {
    return Types::isCharacter(t) || Types::isNational(t);
}

std::u16string textOf(const Typed& in) {
    if (const auto* s = std::get_if<std::string>(&in.value)) {
        return text::fromCp1252(*s);
    }
    if (const auto* u = std::get_if<std::u16string>(&in.value)) {
        return *u;
    }
    return Convert::toText(in);
}

std::u16string decimalText(Int128 unscaled, int scale) {
    const bool negative = unscaled < 0;
    auto magnitude = static_cast<UInt128>(negative ? -unscaled : unscaled);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    while (static_cast<int>(digits.size()) <= scale) {
        digits.insert(digits.begin(), '0');
    }
    if (scale > 0) {
        digits.insert(digits.end() - scale, '.');
    }
    if (negative) {
        digits.insert(digits.begin(), '-');
    }
    return text::fromAscii(digits);
}

// Reads [$][+-][$]digits[.digits] into an unscaled value at `scale`, rounding half away from
// zero (the $ signs and thousands commas only for money). Returns false for anything else;
// `overflow` when more than 38 digits are needed.
bool parseDecimal(const std::u16string& s, int scale, Int128& out, bool& overflow, bool money) {
    overflow = false;
    std::size_t i = 0;
    bool negative = false;
    if (money && i < s.size() && s[i] == u'$') {
        ++i;
    }
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i++] == u'-';
    }
    if (money && i < s.size() && s[i] == u'$') {
        ++i;
    }
    Int128 value = 0;
    int intDigits = 0;
    bool any = false;
    for (; i < s.size() && ((s[i] >= u'0' && s[i] <= u'9') || (money && s[i] == u',')); ++i) {
        if (s[i] == u',') {
            continue;
        }
        any = true;
        intDigits += value != 0 || s[i] != u'0' ? 1 : 0;
        if (intDigits > 38) {
            overflow = true;
            return true;
        }
        value = value * 10 + (s[i] - u'0');
    }
    int fracDigits = 0;
    bool roundUp = false;
    if (i < s.size() && s[i] == u'.') {
        for (++i; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
            any = true;
            if (fracDigits < scale) {
                value = value * 10 + (s[i] - u'0');
            } else if (fracDigits == scale) {
                roundUp = s[i] >= u'5';
            }
            ++fracDigits;
        }
    }
    if (i != s.size() || !any) {
        return false;
    }
    if (intDigits + scale > 38) {
        overflow = true;
        return true;
    }
    value *= pow10(scale - std::min(fracDigits, scale));
    out = negative ? -(value + (roundUp ? 1 : 0)) : value + (roundUp ? 1 : 0);
    return true;
}

Int128 rescale(Int128 v, int from, int to) {
    if (to >= from) {
        return v * pow10(to - from);
    }
    const Int128 div = pow10(from - to);
    Int128 q = v / div;
    const Int128 r = v % div;
    if ((r < 0 ? -r : r) * 2 >= div) {
        q += v < 0 ? -1 : 1;
    }
    return q;
}

int sourceScale(const Typed& in) {
    return in.type.type == Type::Money || in.type.type == Type::SmallMoney ? 4 : in.type.scale;
}

double decimalToDouble(const Typed& in) {
    const std::string s =
        text::toUtf8(decimalText(std::get<Decimal>(in.value).unscaled, sourceScale(in)));
    double d = 0;
    std::from_chars(s.data(), s.data() + s.size(), d);
    return d;
}

std::int64_t intMin(Type t) {
    switch (t) {
    case Type::Bit:
    case Type::TinyInt:
        return 0;
    case Type::SmallInt:
        return -32768;
    case Type::Int:
        return -2147483648LL;
    default:
        return INT64_MIN;
    }
}

std::int64_t intMax(Type t) {
    switch (t) {
    case Type::Bit:
        return 1;
    case Type::TinyInt:
        return 255;
    case Type::SmallInt:
        return 32767;
    case Type::Int:
        return 2147483647LL;
    default:
        return INT64_MAX;
    }
}

Message clash(const ColumnType& from, const ColumnType& to) {
    return error(206, 2,
                 u"Operand type clash: " + Types::name(from.type) + u" is incompatible with " +
                     Types::name(to.type));
}

Message implicitNotAllowed(const ColumnType& from, const ColumnType& to) {
    auto n = [](const ColumnType& t) {
        return Types::name(t.type) + (Types::isMax(t) && t.type != Type::Xml ? u"(max)" : u"");
    };
    return error(257, 3,
                 u"Implicit conversion from data type " + n(from) + u" to " + n(to) +
                     u" is not allowed. Use the CONVERT function to run this query.");
}

// Conversions SQL Server makes that none of the double's clients asks for (README.md).
Message leftOut(const ColumnType& from, const ColumnType& to) {
    return notSupported(u"converting " + Types::name(from.type) + u" to " + Types::name(to.type));
}

Message integerOverflow(const ColumnType& to, const std::u16string& value) {
    if (to.type == Type::TinyInt || to.type == Type::SmallInt) {
        return error(220, 2,
                     u"Arithmetic overflow error for data type " + Types::name(to.type) +
                         u", value = " + value + u".");
    }
    return error(8115, 2,
                 u"Arithmetic overflow error converting expression to data type " +
                     Types::name(to.type) + u".");
}

// Text to an integer type, with the messages SQL Server gives for text.
std::optional<Message> integerFromText(const Typed& in, const ColumnType& to, Value& out) {
    const std::u16string original = textOf(in);
    const std::u16string s = trimmed(original);
    // Named only where a message needs it.
    const auto srcName = [&in] { return Types::name(in.type.type); };
    if (to.type == Type::Bit && (text::isKeyword(s, "true") || text::isKeyword(s, "false"))) {
        out = std::int64_t{text::isKeyword(s, "true") ? 1 : 0};
        return std::nullopt;
    }
    std::size_t i = s.empty() || (s[0] != u'+' && s[0] != u'-') ? 0 : 1;
    Int128 v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < u'0' || s[i] > u'9') {
            if (to.type == Type::BigInt) {
                return error(8114, 5, u"Error converting data type " + srcName() + u" to bigint.");
            }
            return error(245, 1,
                         u"Conversion failed when converting the " + srcName() + u" value '" +
                             original + u"' to data type " + Types::name(to.type) + u".");
        }
        v = std::min<Int128>(v * 10 + (s[i] - u'0'), Int128(1) << 64);
    }
    v = !s.empty() && s[0] == u'-' ? -v : v;
    if (to.type == Type::Bit) {
        out = std::int64_t{v != 0 ? 1 : 0};
    } else if (v < intMin(to.type) || v > intMax(to.type)) {
        if (to.type == Type::TinyInt || to.type == Type::SmallInt) {
            return error(244, 2,
                         u"The conversion of the " + srcName() + u" value '" + original +
                             u"' overflowed an " + (to.type == Type::TinyInt ? u"INT1" : u"INT2") +
                             u" column. Use a larger integer column.");
        }
        if (to.type == Type::Int) {
            return error(248, 1,
                         u"The conversion of the " + srcName() + u" value '" + original +
                             u"' overflowed an int column.");
        }
        return error(8114, 5, u"Error converting data type " + srcName() + u" to bigint.");
    } else {
        out = static_cast<std::int64_t>(v);
    }
    return std::nullopt;
}

std::optional<Message> toInteger(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    if (isText(src)) {
        return integerFromText(in, to, out);
    }
    Int128 v = 0;
    if (Types::isInteger(src)) {
        v = std::get<std::int64_t>(in.value);
    } else if (Types::isExactNumeric(src)) {
        v = std::get<Decimal>(in.value).unscaled / pow10(sourceScale(in));
    } else if (src == Type::Float || src == Type::Real) {
        const double d = std::trunc(std::get<double>(in.value));
        if (to.type != Type::Bit && !(d >= static_cast<double>(intMin(to.type)) &&
                                      d <= static_cast<double>(intMax(to.type)))) {
            std::array<char, 400> shown{};
            const auto r = std::to_chars(shown.data(), shown.data() + shown.size(),
                                         std::get<double>(in.value), std::chars_format::fixed, 6);
            return error(232, 3,
                         u"Arithmetic overflow error for type " + Types::name(to.type) +
                             u", value = " +
                             text::fromAscii(std::string_view(shown.data(), r.ptr)) + u".");
        }
        v = to.type == Type::Bit ? Int128(d != 0.0 ? 1 : 0) : static_cast<Int128>(d);
    } else if (Types::isBinary(src)) {
        return leftOut(in.type, to);
    } else {
        return Types::isDateTime(src) ? implicitNotAllowed(in.type, to) : clash(in.type, to);
    }
    if (to.type == Type::Bit) {
        out = std::int64_t{v != 0 ? 1 : 0};
        return std::nullopt;
    }
    if (v < intMin(to.type) || v > intMax(to.type)) {
        return integerOverflow(to, decimalText(v, 0));
    }
    out = static_cast<std::int64_t>(v);
    return std::nullopt;
}

// Text to decimal, numeric, money or smallmoney.
std::optional<Message> exactFromText(const Typed& in, const ColumnType& to, int scale, Int128& v) {
    const bool money = to.type == Type::Money || to.type == Type::SmallMoney;
    const bool small = to.type == Type::SmallMoney;
    const std::u16string s = trimmed(textOf(in));
    // Named only where a message needs it.
    const auto srcName = [&in] { return Types::name(in.type.type); };
    if (s.empty() && money) {
        v = 0;
        return std::nullopt;
    }
    bool overflow = false;
    if (!parseDecimal(s, scale, v, overflow, money)) {
        if (small) {
            return error(293, 1,
                         u"Cannot convert char value to smallmoney. The char value has incorrect "
                         u"syntax.");
        }
        if (money) {
            return error(235, 1,
                         u"Cannot convert a char value to money. The char value has incorrect "
                         u"syntax.");
        }
        return error(8114, 5, u"Error converting data type " + srcName() + u" to numeric.");
    }
    const Int128 limit = small ? Int128(2147483647) : Int128(INT64_MAX);
    if (money && (overflow || v > limit || v < -limit - 1)) {
        return small ? error(294, 1,
                             u"The conversion from char data type to smallmoney data type "
                             u"resulted in a smallmoney overflow error.")
                     : error(236, 1,
                             u"The conversion from char data type to money resulted in a money "
                             u"overflow error.");
    }
    if (overflow) {
        return error(8115, 8,
                     u"Arithmetic overflow error converting " + srcName() + u" to data type " +
                         u"numeric.");
    }
    return std::nullopt;
}

std::optional<Message> toExact(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    const bool money = to.type == Type::Money || to.type == Type::SmallMoney;
    const int scale = money ? 4 : to.scale;
    Int128 v = 0;
    if (isText(src)) {
        if (auto m = exactFromText(in, to, scale, v)) {
            return m;
        }
    } else if (Types::isInteger(src)) {
        v = Int128(std::get<std::int64_t>(in.value)) * pow10(scale);
    } else if (Types::isExactNumeric(src)) {
        v = rescale(std::get<Decimal>(in.value).unscaled, sourceScale(in), scale);
    } else if (src == Type::Float || src == Type::Real) {
        std::array<char, 400> buf{};
        const auto r = std::to_chars(buf.data(), buf.data() + buf.size(),
                                     std::get<double>(in.value), std::chars_format::fixed, scale);
        bool overflow = false;
        if (r.ec != std::errc() ||
            !parseDecimal(text::fromAscii(std::string_view(buf.data(), r.ptr)), scale, v, overflow,
                          false) ||
            overflow) {
            v = pow10(38);
        }
    } else {
        return Types::isBinary(src) ? implicitNotAllowed(in.type, to) : clash(in.type, to);
    }
    bool over = false;
    if (money) {
        const Int128 limit = to.type == Type::Money ? Int128(INT64_MAX) : Int128(2147483647);
        over = v > limit || v < -limit - 1;
    } else {
        over = v >= pow10(to.precision) || v <= -pow10(to.precision);
    }
    if (over) {
        // The source as the message names it (named only here, where a message needs it).
        const std::u16string srcName = isText(src) || (!money && Types::isInteger(src))
                                           ? Types::name(src)
                                       : src == Type::Float || src == Type::Real ? u"float"
                                       : money                                   ? u"expression"
                                                                                 : u"numeric";
        return error(8115, 8,
                     u"Arithmetic overflow error converting " + srcName + u" to data type " +
                         (money ? Types::name(to.type) : std::u16string(u"numeric")) + u".");
    }
    out = Decimal{v};
    return std::nullopt;
}

// A real filled from text or from a float keeps the normal range only: a value closer to zero
// than the smallest normal real (1.1754944e-38) is stored as 0, without a message, as SQL Server
// stores it.
float realRange(float f) {
    return std::fpclassify(f) == FP_SUBNORMAL ? 0.0f : f;
}

std::optional<Message> floatFromText(const Typed& in, bool real, Value& out) {
    const std::u16string s = trimmed(textOf(in));
    if (s.empty()) {
        out = 0.0;
        return std::nullopt;
    }
    std::string a = text::toUtf8(s);
    if (a[0] == '+') {
        a.erase(0, 1);
    }
    bool ok = !a.empty() && a.find_first_not_of("0123456789.eE+-") == std::string::npos;
    if (ok && real) {
        float f = 0;
        const auto r = std::from_chars(a.data(), a.data() + a.size(), f);
        ok = r.ec == std::errc() && r.ptr == a.data() + a.size();
        if (r.ec == std::errc::result_out_of_range) {
            // Too close to zero is 0; too far from it an overflow.
            double d = 0;
            std::from_chars(a.data(), a.data() + a.size(), d);
            if (std::fabs(d) >= 1) {
                return error(8115, 2,
                             u"Arithmetic overflow error converting expression to data type real.");
            }
            f = 0;
            ok = r.ptr == a.data() + a.size();
        }
        out = static_cast<double>(realRange(f));
    } else if (ok) {
        double d = 0;
        const auto r = std::from_chars(a.data(), a.data() + a.size(), d);
        ok = r.ec == std::errc() && r.ptr == a.data() + a.size();
        out = d;
    }
    if (!ok) {
        return error(8114, 5,
                     u"Error converting data type " + Types::name(in.type.type) + u" to " +
                         (real ? u"real" : u"float") + u".");
    }
    return std::nullopt;
}

std::optional<Message> toFloat(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    const bool real = to.type == Type::Real;
    if (isText(src)) {
        return floatFromText(in, real, out);
    }
    double d = 0;
    if (Types::isInteger(src)) {
        d = static_cast<double>(std::get<std::int64_t>(in.value));
    } else if (Types::isExactNumeric(src)) {
        d = decimalToDouble(in);
    } else if (src == Type::Float || src == Type::Real) {
        d = std::get<double>(in.value);
    } else {
        return Types::isBinary(src) ? leftOut(in.type, to) : clash(in.type, to);
    }
    if (real) {
        if (std::fabs(d) > 3.40282346638528859812e+38) {
            return error(8115, 2,
                         u"Arithmetic overflow error converting expression to data type real.");
        }
        d = static_cast<double>(realRange(static_cast<float>(d)));
    }
    out = d;
    return std::nullopt;
}

std::optional<Message> truncated(const ConvertTarget* target, const std::u16string& shown) {
    return error(2628, 1,
                 u"String or binary data would be truncated in table '" + target->table +
                     u"', column '" + target->column + u"'. Truncated value: '" + shown + u"'.");
}

// Fits text to a char/varchar/nchar/nvarchar length: refused when a stored value would lose
// more than trailing spaces, cut silently otherwise; char and nchar are padded.
template <typename String>
std::optional<Message> fitText(String s, const ColumnType& to, bool fixed, Value& out,
                               const ConvertTarget* target,
                               std::u16string (*shown)(const String&)) {
    using Char = typename String::value_type;
    const bool bounded =
        to.length >= 0 && to.type != Type::Text && to.type != Type::NText && to.type != Type::Xml;
    const auto n = static_cast<std::size_t>(to.length);
    if (bounded && s.size() > n) {
        if (target != nullptr && s.find_first_not_of(Char(' '), n) != String::npos) {
            return truncated(target, shown(s.substr(0, n)));
        }
        s.resize(n);
    }
    if (fixed && s.size() < n) {
        s.resize(n, Char(' '));
    }
    out = std::move(s);
    return std::nullopt;
}

std::u16string fromBytes(const std::string& s) {
    return text::fromCp1252(s);
}
std::u16string asIs(const std::u16string& s) {
    return s;
}

std::optional<Message> toCharacter(const Typed& in, const ColumnType& to, Value& out,
                                   const ConvertTarget* target) {
    const Type src = in.type.type;
    std::string bytes;
    if (Types::isBinary(src)) {
        if (target != nullptr) {
            return implicitNotAllowed(in.type, to);
        }
        bytes = std::get<std::string>(in.value);
    } else if (Types::isCharacter(src)) {
        bytes = std::get<std::string>(in.value);
    } else {
        bytes = text::toCp1252(textOf(in));
    }
    return fitText<std::string>(std::move(bytes), to, to.type == Type::Char, out, target,
                                &fromBytes);
}

std::optional<Message> toNational(const Typed& in, const ColumnType& to, Value& out,
                                  const ConvertTarget* target) {
    std::u16string s;
    if (Types::isBinary(in.type.type)) {
        if (target != nullptr) {
            return implicitNotAllowed(in.type, to);
        }
        // CONVERT(nvarchar, 0x..) reads the bytes as UTF-16LE.
        const auto& b = std::get<std::string>(in.value);
        for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
            s.push_back(static_cast<char16_t>(static_cast<unsigned char>(b[i]) |
                                              (static_cast<unsigned char>(b[i + 1]) << 8)));
        }
    } else {
        s = textOf(in);
    }
    return fitText<std::u16string>(std::move(s), to, to.type == Type::NChar, out, target, &asIs);
}

std::optional<Message> toBinary(const Typed& in, const ColumnType& to, Value& out,
                                const ConvertTarget* target) {
    const Type src = in.type.type;
    std::string bytes;
    if (Types::isBinary(src) || src == Type::UniqueIdentifier) {
        bytes = std::get<std::string>(in.value);
    } else if (isText(src) && target != nullptr) {
        return implicitNotAllowed(in.type, to);
    } else if (Types::isCharacter(src)) {
        bytes = std::get<std::string>(in.value);
    } else if (Types::isNational(src)) {
        for (char16_t c : std::get<std::u16string>(in.value)) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
    } else {
        return Types::isInteger(src) ? leftOut(in.type, to) : clash(in.type, to);
    }
    const auto n = static_cast<std::size_t>(to.length);
    if (to.type != Type::Image && to.length >= 0 && bytes.size() > n) {
        if (target != nullptr) {
            return truncated(target, u"0x" + text::fromAscii(text::hex(bytes.substr(0, n))));
        }
        bytes.resize(n);
    }
    if (to.type == Type::Binary && bytes.size() < n) {
        bytes.resize(n, '\0');
    }
    out = std::move(bytes);
    return std::nullopt;
}

Message outOfRange(const std::u16string& srcName, const ColumnType& to) {
    return error(242, 3,
                 u"The conversion of a " + srcName + u" data type to a " + Types::name(to.type) +
                     u" data type resulted in an out-of-range value.");
}

// date, time, datetime2 and datetimeoffset from a day and 100-ns ticks, rounded to the type's
// fractional digits.
std::optional<Message> storePrecise(std::int32_t days, std::int64_t ticks, int offset,
                                    const ColumnType& to, Value& out, const std::u16string& srcName,
                                    bool fromText) {
    std::int64_t unit = 1;
    for (int i = to.scale; i < 7; ++i) {
        unit *= 10;
    }
    std::int64_t t = (ticks + unit / 2) / unit * unit;
    if (t >= DateTime::kTicksPerDay) {
        t -= DateTime::kTicksPerDay;
        days += to.type == Type::Time ? 0 : 1;
    }
    if (to.type == Type::Date) {
        out = DateTimeValue{days, 0, 0};
    } else if (to.type == Type::Time) {
        out = DateTimeValue{0, t, 0};
    } else if (to.type == Type::DateTime2) {
        out = DateTimeValue{days, t, 0};
    } else {
        // Stored as UTC with the offset beside it.
        std::int64_t utc = t - static_cast<std::int64_t>(offset) * 600000000;
        std::int32_t d = days;
        if (utc < 0) {
            utc += DateTime::kTicksPerDay;
            --d;
        } else if (utc >= DateTime::kTicksPerDay) {
            utc -= DateTime::kTicksPerDay;
            ++d;
        }
        if (d < 0 || d > DateTime::daysFromCivil(9999, 12, 31)) {
            return outOfRange(srcName, to); // the UTC value leaves the calendar
        }
        out = DateTimeValue{d, utc, static_cast<std::int16_t>(offset)};
    }
    if (fromText && days > DateTime::daysFromCivil(9999, 12, 31)) {
        return outOfRange(srcName, to);
    }
    return std::nullopt;
}

// datetime (1/300 s, rounded: .000, .003, .007) and smalldatetime (to the minute: 29.998 s and
// less round down, 29.999 s and more up), with their ranges.
std::optional<Message> storeOld(std::int32_t days, std::int64_t ticks, const ColumnType& to,
                                Value& out, const std::u16string& srcName) {
    std::int32_t d = days - DateTime::kDays1900;
    if (to.type == Type::DateTime) {
        std::int64_t t300 = (ticks * 3 + 50000) / 100000;
        if (t300 >= 300LL * 86400) {
            t300 -= 300LL * 86400;
            ++d;
        }
        if (days < DateTime::daysFromCivil(1753, 1, 1) ||
            d > DateTime::daysFromCivil(9999, 12, 31) - DateTime::kDays1900) {
            return outOfRange(srcName, to);
        }
        out = DateTimeValue{d, t300, 0};
        return std::nullopt;
    }
    std::int64_t minutes = ticks / 600000000 + (ticks % 600000000 >= 299990000 ? 1 : 0);
    if (minutes >= 1440) {
        minutes -= 1440;
        ++d;
    }
    if (d < 0 || d > DateTime::daysFromCivil(2079, 6, 6) - DateTime::kDays1900) {
        return outOfRange(srcName, to);
    }
    out = DateTimeValue{d, minutes, 0};
    return std::nullopt;
}

std::optional<Message> storeDateTime(std::int32_t days, std::int64_t ticks, int offset,
                                     const ColumnType& to, Value& out,
                                     const std::u16string& srcName, bool fromText) {
    if (to.type == Type::DateTime || to.type == Type::SmallDateTime) {
        return storeOld(days, ticks, to, out, srcName);
    }
    return storePrecise(days, ticks, offset, to, out, srcName, fromText);
}

// A stored date/time value as days since 0001-01-01, local ticks and offset.
void unpack(const Typed& in, std::int32_t& days, std::int64_t& ticks, int& offset) {
    const auto& v = std::get<DateTimeValue>(in.value);
    offset = 0;
    days = v.days;
    ticks = v.ticks;
    switch (in.type.type) {
    case Type::DateTime:
        days = v.days + DateTime::kDays1900;
        ticks = (v.ticks * 100000 + 1) / 3;
        break;
    case Type::SmallDateTime:
        days = v.days + DateTime::kDays1900;
        ticks = v.ticks * 600000000;
        break;
    case Type::Time:
        days = DateTime::kDays1900;
        break;
    case Type::DateTimeOffset:
        offset = v.offsetMinutes;
        ticks = v.ticks + static_cast<std::int64_t>(offset) * 600000000;
        if (ticks < 0) {
            ticks += DateTime::kTicksPerDay;
            --days;
        } else if (ticks >= DateTime::kTicksPerDay) {
            ticks -= DateTime::kTicksPerDay;
            ++days;
        }
        break;
    default:
        break;
    }
}

std::optional<Message> dateTimeFromText(const Typed& in, const ColumnType& to, Value& out) {
    const std::u16string s = trimmed(textOf(in));
    const std::u16string srcName = Types::name(in.type.type);
    const Message failed =
        error(241, 1, u"Conversion failed when converting date and/or time from character string.");
    if (s.empty()) {
        return storeDateTime(DateTime::kDays1900, 0, 0, to, out, srcName, true);
    }
    const auto parts = DateTime::parse(s);
    const bool old = to.type == Type::DateTime || to.type == Type::SmallDateTime;
    if (!parts || parts->fractionDigits > 7 ||
        (old && (parts->hasOffset || parts->fractionDigits > 3))) {
        return failed;
    }
    if (!parts->dayValid) {
        return old ? outOfRange(srcName, to) : failed;
    }
    if (to.type == Type::Time && parts->hasDate && !parts->hasTime) {
        return failed; // a date alone is no time
    }
    const std::int32_t days = DateTime::daysFromCivil(parts->year, parts->month, parts->day);
    const std::int64_t ticks =
        (std::int64_t{parts->hour} * 3600 + parts->minute * 60 + parts->second) * 10000000 +
        parts->fraction;
    return storeDateTime(days, ticks, parts->offsetMinutes, to, out, srcName, true);
}

std::optional<Message> toDateTime(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    if (isText(src)) {
        return dateTimeFromText(in, to, out);
    }
    if (!Types::isDateTime(src)) {
        const bool number = Types::isInteger(src) || Types::isExactNumeric(src) ||
                            src == Type::Float || src == Type::Real;
        const bool old = to.type == Type::DateTime || to.type == Type::SmallDateTime;
        return number && old ? leftOut(in.type, to) : clash(in.type, to);
    }
    if ((src == Type::Date && to.type == Type::Time) ||
        (src == Type::Time && to.type == Type::Date)) {
        return clash(in.type, to);
    }
    std::int32_t days = 0;
    std::int64_t ticks = 0;
    int offset = 0;
    unpack(in, days, ticks, offset);
    return storeDateTime(days, ticks, to.type == Type::DateTimeOffset ? offset : 0, to, out,
                         Types::name(src), false);
}

int hexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// The first three groups are kept little-endian, as SQL Server stores a uniqueidentifier.
constexpr int kGuidOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

std::optional<Message> toGuid(const Typed& in, const ColumnType& to, Value& out) {
    if (in.type.type == Type::UniqueIdentifier) {
        out = std::get<std::string>(in.value);
        return std::nullopt;
    }
    if (!isText(in.type.type)) {
        return Types::isBinary(in.type.type) ? leftOut(in.type, to) : clash(in.type, to);
    }
    const std::u16string s = textOf(in);
    const Message failed = error(
        8169, 2, u"Conversion failed when converting from a character string to uniqueidentifier.");
    static constexpr int kGroups[] = {8, 4, 4, 4, 12};
    const bool brace = !s.empty() && s[0] == u'{';
    std::size_t i = brace ? 1 : 0;
    std::string raw;
    for (int group = 0; group < 5; ++group) {
        if (group > 0 && !(i < s.size() && s[i++] == u'-')) {
            return failed;
        }
        for (int k = 0; k < kGroups[group]; k += 2, i += 2) {
            if (i + 1 >= s.size() || hexValue(s[i]) < 0 || hexValue(s[i + 1]) < 0) {
                return failed;
            }
            raw.push_back(static_cast<char>(hexValue(s[i]) * 16 + hexValue(s[i + 1])));
        }
    }
    if (brace && (i >= s.size() || s[i] != u'}')) {
        return failed;
    }
    std::string bytes(16, '\0');
    for (std::size_t k = 0; k < 16; ++k) {
        bytes[k] = raw[static_cast<std::size_t>(kGuidOrder[k])];
    }
    out = std::move(bytes);
    return std::nullopt;
}

std::u16string twoDigits(std::int64_t v) {
    return {static_cast<char16_t>(u'0' + v / 10 % 10), static_cast<char16_t>(u'0' + v % 10)};
}

std::u16string dateText(std::int32_t days) {
    int y = 0;
    int m = 0;
    int d = 0;
    DateTime::civilFromDays(days, y, m, d);
    std::u16string s = text::number(y);
    s.insert(0, s.size() < 4 ? 4 - s.size() : 0, u'0');
    return s + u"-" + twoDigits(m) + u"-" + twoDigits(d);
}

std::u16string timeText(std::int64_t ticks, int scale) {
    const std::int64_t secs = ticks / 10000000;
    std::u16string s =
        twoDigits(secs / 3600) + u":" + twoDigits(secs / 60 % 60) + u":" + twoDigits(secs % 60);
    if (scale > 0) {
        std::u16string f = text::number(ticks % 10000000);
        f.insert(0, 7 - f.size(), u'0');
        s += u"." + f.substr(0, static_cast<std::size_t>(scale));
    }
    return s;
}

std::u16string dateTimeText(const Typed& in) {
    std::int32_t days = 0;
    std::int64_t ticks = 0;
    int offset = 0;
    unpack(in, days, ticks, offset);
    switch (in.type.type) {
    case Type::Date:
        return dateText(days);
    case Type::Time:
        return timeText(ticks, in.type.scale);
    case Type::DateTime:
        // 1/300-second ticks, shown to the millisecond as SQL Server rounds them.
        return dateText(days) + u" " +
               timeText((std::get<DateTimeValue>(in.value).ticks * 10 + 1) / 3 * 10000, 3);
    case Type::SmallDateTime:
        return dateText(days) + u" " + timeText(ticks, 0);
    case Type::DateTimeOffset: {
        const int a = offset < 0 ? -offset : offset;
        return dateText(days) + u" " + timeText(ticks, in.type.scale) + u" " +
               (offset < 0 ? u"-" : u"+") + twoDigits(a / 60) + u":" + twoDigits(a % 60);
    }
    default:
        return dateText(days) + u" " + timeText(ticks, in.type.scale);
    }
}

std::u16string guidText(const std::string& b) {
    std::string raw(16, '\0');
    for (std::size_t k = 0; k < 16; ++k) {
        raw[static_cast<std::size_t>(kGuidOrder[k])] = b[k];
    }
    const std::u16string h = text::fromAscii(text::hex(raw));
    return h.substr(0, 8) + u"-" + h.substr(8, 4) + u"-" + h.substr(12, 4) + u"-" +
           h.substr(16, 4) + u"-" + h.substr(20);
}

} // namespace

std::optional<Message> Convert::literal(LiteralKind kind, const std::u16string& literalText,
                                        Typed& out) {
    out = Typed{};
    switch (kind) {
    case LiteralKind::Null:
        out.type.type = Type::Int;
        return std::nullopt;
    case LiteralKind::String: {
        std::string bytes = text::toCp1252(literalText);
        out.type = ColumnType{
            Type::VarChar, static_cast<std::int32_t>(std::max<std::size_t>(bytes.size(), 1)), 0, 0};
        out.value = std::move(bytes);
        return std::nullopt;
    }
    case LiteralKind::NString:
        out.type = ColumnType{
            Type::NVarChar, static_cast<std::int32_t>(std::max<std::size_t>(literalText.size(), 1)),
            0, 0};
        out.value = literalText;
        return std::nullopt;
    case LiteralKind::Integer:
    case LiteralKind::Number: {
        const std::size_t dot = literalText.find(u'.');
        const int scale =
            dot == std::u16string::npos ? 0 : static_cast<int>(literalText.size() - dot - 1);
        std::u16string digits = literalText;
        if (dot != std::u16string::npos) {
            digits.erase(dot, 1);
        }
        const std::size_t first = digits.find_first_not_of(u'0');
        const int significant =
            first == std::u16string::npos ? 0 : static_cast<int>(digits.size() - first);
        if (significant > 38) {
            return makeMessage(1007, 15, 1,
                               u"The number '" + literalText +
                                   u"' is out of the range for numeric representation (maximum "
                                   u"precision 38).");
        }
        Int128 v = 0;
        for (char16_t c : digits) {
            v = v * 10 + (c - u'0');
        }
        if (kind == LiteralKind::Integer && v <= 2147483647) {
            out.type.type = Type::Int;
            out.value = static_cast<std::int64_t>(v);
            return std::nullopt;
        }
        const int precision = std::max(significant, scale);
        out.type = ColumnType{Type::Numeric, 0, static_cast<std::uint8_t>(std::max(precision, 1)),
                              static_cast<std::uint8_t>(scale)};
        out.value = Decimal{v};
        return std::nullopt;
    }
    case LiteralKind::Float: {
        const std::string a = text::toUtf8(literalText);
        double d = 0;
        const auto r = std::from_chars(a.data(), a.data() + a.size(), d);
        if (r.ec != std::errc()) {
            return makeMessage(8115, 16, 2,
                               u"Arithmetic overflow error converting expression to data type "
                               u"float.");
        }
        out.type = ColumnType{Type::Float, 0, 53, 0};
        out.value = d;
        return std::nullopt;
    }
    case LiteralKind::Hex: {
        std::u16string h = literalText;
        if (h.size() % 2 == 1) {
            h.insert(h.begin(), u'0');
        }
        std::string bytes;
        for (std::size_t i = 0; i + 1 < h.size(); i += 2) {
            bytes.push_back(static_cast<char>(hexValue(h[i]) * 16 + hexValue(h[i + 1])));
        }
        out.type =
            ColumnType{Type::VarBinary,
                       static_cast<std::int32_t>(std::max<std::size_t>(bytes.size(), 1)), 0, 0};
        out.value = std::move(bytes);
        return std::nullopt;
    }
    }
    return std::nullopt;
}

std::optional<Message> Convert::to(const Typed& in, const ColumnType& type, Value& out,
                                   const ConvertTarget* target) {
    if (std::holds_alternative<std::monostate>(in.value)) {
        out = std::monostate{};
        return std::nullopt;
    }
    if (Types::isInteger(type.type)) {
        return toInteger(in, type, out);
    }
    if (Types::isExactNumeric(type.type)) {
        return toExact(in, type, out);
    }
    if (type.type == Type::Float || type.type == Type::Real) {
        return toFloat(in, type, out);
    }
    if (Types::isCharacter(type.type)) {
        return toCharacter(in, type, out, target);
    }
    if (Types::isNational(type.type)) {
        return toNational(in, type, out, target);
    }
    if (Types::isBinary(type.type)) {
        return toBinary(in, type, out, target);
    }
    if (Types::isDateTime(type.type)) {
        return toDateTime(in, type, out);
    }
    return toGuid(in, type, out);
}

std::u16string Convert::toText(const Typed& in) {
    const Value& v = in.value;
    if (std::holds_alternative<std::monostate>(v)) {
        return u"";
    }
    if (const auto* i = std::get_if<std::int64_t>(&v)) {
        return text::number(*i);
    }
    if (const auto* dec = std::get_if<Decimal>(&v)) {
        return decimalText(dec->unscaled, sourceScale(in));
    }
    if (const auto* d = std::get_if<double>(&v)) {
        std::array<char, 64> buf{};
        const auto r =
            in.type.type == Type::Real
                ? std::to_chars(buf.data(), buf.data() + buf.size(), static_cast<float>(*d))
                : std::to_chars(buf.data(), buf.data() + buf.size(), *d);
        return text::fromAscii(std::string_view(buf.data(), r.ptr));
    }
    if (const auto* u = std::get_if<std::u16string>(&v)) {
        return *u;
    }
    if (const auto* s = std::get_if<std::string>(&v)) {
        if (in.type.type == Type::UniqueIdentifier) {
            return guidText(*s);
        }
        return Types::isBinary(in.type.type) ? u"0x" + text::fromAscii(text::hex(*s))
                                             : text::fromCp1252(*s);
    }
    return dateTimeText(in);
}

std::optional<std::u16string> Convert::textOrNull(const Typed& in) {
    if (std::holds_alternative<std::monostate>(in.value)) {
        return std::nullopt;
    }
    return textOf(in);
}

std::optional<std::int64_t> Convert::bigintOrNull(const Typed& in) {
    Value v;
    if (std::holds_alternative<std::monostate>(in.value) ||
        to(in, ColumnType{Type::BigInt, 0, 0, 0}, v, nullptr)) {
        return std::nullopt;
    }
    return std::get<std::int64_t>(v);
}

} // namespace tds
