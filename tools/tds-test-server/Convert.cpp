#include "Convert.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "DateTime.h"
#include "Parser.h"
#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

using i128 = Int128;

i128 pow10(int n) {
    i128 v = 1;
    for (int i = 0; i < n; ++i) {
        v *= 10;
    }
    return v;
}

Message error(std::int32_t number, std::uint8_t state, std::u16string textValue) {
    Message m;
    m.number = number;
    m.severity = 16;
    m.state = state;
    m.text = std::move(textValue);
    return m;
}

std::u16string trimmed(const std::u16string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    auto space = [](char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; };
    while (b < e && space(s[b])) {
        ++b;
    }
    while (e > b && space(s[e - 1])) {
        --e;
    }
    return s.substr(b, e - b);
}

// The name SQL Server uses for a type in conversion messages.
std::u16string msgName(const ColumnType& t) {
    if (t.type == Type::Decimal || t.type == Type::Numeric) {
        return u"numeric";
    }
    return Types::name(t.type);
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

std::u16string decimalText(i128 unscaled, int scale) {
    bool neg = unscaled < 0;
    if (neg) {
        unscaled = -unscaled;
    }
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(unscaled % 10)));
        unscaled /= 10;
    } while (unscaled != 0);
    while (static_cast<int>(digits.size()) <= scale) {
        digits.insert(digits.begin(), '0');
    }
    if (scale > 0) {
        digits.insert(digits.end() - scale, '.');
    }
    if (neg) {
        digits.insert(digits.begin(), '-');
    }
    return text::fromAscii(digits);
}

// Reads [+-]digits[.digits] into an unscaled value at `scale`, rounding half away from zero.
// Returns false for anything else; `overflow` when more than 38 digits are needed.
bool parseDecimal(const std::u16string& s, int scale, i128& out, bool& overflow,
                  bool allowMoneySigns) {
    overflow = false;
    std::size_t i = 0;
    bool neg = false;
    if (allowMoneySigns && i < s.size() && s[i] == u'$') {
        ++i;
    }
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        neg = s[i] == u'-';
        ++i;
    }
    if (allowMoneySigns && i < s.size() && s[i] == u'$') {
        ++i;
    }
    i128 value = 0;
    int intDigits = 0;
    int fracDigits = 0;
    bool roundUp = false;
    bool any = false;
    for (; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c >= u'0' && c <= u'9') {
            any = true;
            if (value != 0 || c != u'0') {
                ++intDigits;
            }
            if (intDigits > 38) {
                overflow = true;
                return true;
            }
            value = value * 10 + (c - u'0');
        } else if (c == u',' && allowMoneySigns) {
            continue;
        } else {
            break;
        }
    }
    if (i < s.size() && s[i] == u'.') {
        ++i;
        for (; i < s.size(); ++i) {
            char16_t c = s[i];
            if (c < u'0' || c > u'9') {
                break;
            }
            any = true;
            if (fracDigits < scale) {
                value = value * 10 + (c - u'0');
                ++fracDigits;
            } else if (fracDigits == scale) {
                roundUp = c >= u'5';
                ++fracDigits;
            }
        }
    }
    if (i != s.size() || !any) {
        return false;
    }
    int have = fracDigits < scale ? fracDigits : scale;
    if (intDigits + scale > 38) {
        overflow = true;
        return true;
    }
    value *= pow10(scale - have);
    if (roundUp) {
        value += 1;
    }
    out = neg ? -value : value;
    return true;
}

i128 rescale(i128 v, int from, int to) {
    if (to >= from) {
        return v * pow10(to - from);
    }
    i128 div = pow10(from - to);
    i128 q = v / div;
    i128 r = v % div;
    if (r < 0) {
        r = -r;
    }
    if (r * 2 >= div) {
        q += v < 0 ? -1 : 1;
    }
    return q;
}

double decimalToDouble(i128 unscaled, int scale) {
    std::string s = text::toUtf8(decimalText(unscaled, scale));
    double d = 0;
    std::from_chars(s.data(), s.data() + s.size(), d);
    return d;
}

int sourceScale(const Typed& in) {
    if (in.type.type == Type::Money || in.type.type == Type::SmallMoney) {
        return 4;
    }
    return in.type.scale;
}

std::int64_t intMin(Type t) {
    switch (t) {
    case Type::Bit:
        return 0;
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
        std::u16string s = Types::name(t.type);
        if (t.length < 0 &&
            (t.type == Type::VarChar || t.type == Type::NVarChar || t.type == Type::VarBinary)) {
            s += u"(max)";
        }
        return s;
    };
    return error(257, 3,
                 u"Implicit conversion from data type " + n(from) + u" to " + n(to) +
                     u" is not allowed. Use the CONVERT function to run this query.");
}

std::u16string hexText(const std::string& bytes) {
    static const char16_t* digits = u"0123456789ABCDEF";
    std::u16string out = u"0x";
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 15]);
    }
    return out;
}

std::optional<Message> toInteger(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    const std::u16string target = Types::name(to.type);
    auto store = [&](std::int64_t v) -> std::optional<Message> {
        if (to.type == Type::Bit) {
            out = std::int64_t{v != 0 ? 1 : 0};
            return std::nullopt;
        }
        if (v < intMin(to.type) || v > intMax(to.type)) {
            if (to.type == Type::TinyInt || to.type == Type::SmallInt) {
                return error(220, 2,
                             u"Arithmetic overflow error for data type " + target + u", value = " +
                                 text::number(v) + u".");
            }
            return error(8115, 2,
                         u"Arithmetic overflow error converting expression to data type " + target +
                             u".");
        }
        out = v;
        return std::nullopt;
    };
    if (isText(src)) {
        const std::u16string original = textOf(in);
        const std::u16string s = trimmed(original);
        const std::u16string srcName = Types::name(src);
        auto failed = [&]() {
            if (to.type == Type::BigInt) {
                return error(8114, 5, u"Error converting data type " + srcName + u" to bigint.");
            }
            return error(245, 1,
                         u"Conversion failed when converting the " + srcName + u" value '" +
                             original + u"' to data type " + target + u".");
        };
        if (to.type == Type::Bit) {
            if (text::isKeyword(s, "true")) {
                out = std::int64_t{1};
                return std::nullopt;
            }
            if (text::isKeyword(s, "false")) {
                out = std::int64_t{0};
                return std::nullopt;
            }
        }
        std::size_t i = 0;
        bool neg = false;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
            neg = s[i] == u'-';
            ++i;
        }
        i128 v = 0;
        bool big = false;
        for (; i < s.size(); ++i) {
            if (s[i] < u'0' || s[i] > u'9') {
                return failed();
            }
            v = v * 10 + (s[i] - u'0');
            if (v > i128(1) << 64) {
                big = true;
                v = i128(1) << 64;
            }
        }
        if (neg) {
            v = -v;
        }
        if (to.type == Type::Bit) {
            out = std::int64_t{v != 0 ? 1 : 0};
            return std::nullopt;
        }
        if (big || v < intMin(to.type) || v > intMax(to.type)) {
            if (to.type == Type::TinyInt || to.type == Type::SmallInt) {
                return error(244, 2,
                             u"The conversion of the " + srcName + u" value '" + original +
                                 u"' overflowed an " +
                                 (to.type == Type::TinyInt ? u"INT1" : u"INT2") +
                                 u" column. Use a larger integer column.");
            }
            if (to.type == Type::Int) {
                return error(248, 1,
                             u"The conversion of the " + srcName + u" value '" + original +
                                 u"' overflowed an int column.");
            }
            return error(8114, 5, u"Error converting data type " + srcName + u" to bigint.");
        }
        out = static_cast<std::int64_t>(v);
        return std::nullopt;
    }
    if (Types::isInteger(src)) {
        return store(std::get<std::int64_t>(in.value));
    }
    if (Types::isExactNumeric(src)) {
        i128 v = std::get<Decimal>(in.value).unscaled / pow10(sourceScale(in));
        if (to.type == Type::Bit) {
            return store(v != 0 ? 1 : 0);
        }
        if (v < intMin(to.type) || v > intMax(to.type)) {
            if (to.type == Type::TinyInt || to.type == Type::SmallInt) {
                return error(220, 2,
                             u"Arithmetic overflow error for data type " + target + u", value = " +
                                 decimalText(v, 0) + u".");
            }
            return error(8115, 2,
                         u"Arithmetic overflow error converting expression to data type " + target +
                             u".");
        }
        return store(static_cast<std::int64_t>(v));
    }
    if (src == Type::Float || src == Type::Real) {
        double d = std::trunc(std::get<double>(in.value));
        if (to.type == Type::Bit) {
            return store(d != 0.0 ? 1 : 0);
        }
        if (!(d >= static_cast<double>(intMin(to.type)) &&
              d <= static_cast<double>(intMax(to.type)))) {
            return error(8115, 2,
                         u"Arithmetic overflow error converting expression to data type " + target +
                             u".");
        }
        return store(static_cast<std::int64_t>(d));
    }
    if (Types::isBinary(src)) {
        const auto& bytes = std::get<std::string>(in.value);
        std::size_t width = to.type == Type::BigInt     ? 8
                            : to.type == Type::Int      ? 4
                            : to.type == Type::SmallInt ? 2
                                                        : 1;
        std::uint64_t v = 0;
        std::size_t start = bytes.size() > width ? bytes.size() - width : 0;
        for (std::size_t i = start; i < bytes.size(); ++i) {
            v = (v << 8) | static_cast<unsigned char>(bytes[i]);
        }
        std::int64_t sv = 0;
        switch (width) {
        case 8:
            sv = static_cast<std::int64_t>(v);
            break;
        case 4:
            sv = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
            break;
        case 2:
            sv = static_cast<std::int16_t>(static_cast<std::uint16_t>(v));
            break;
        default:
            sv = static_cast<std::int64_t>(v & 0xFF);
            break;
        }
        return store(sv);
    }
    if (src == Type::DateTime || src == Type::SmallDateTime) {
        return implicitNotAllowed(in.type, to);
    }
    return clash(in.type, to);
}

std::optional<Message> toExact(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    const bool money = to.type == Type::Money || to.type == Type::SmallMoney;
    const int scale = money ? 4 : to.scale;
    const int precision = money ? (to.type == Type::Money ? 19 : 10) : to.precision;
    const std::u16string target = msgName(to);
    auto check = [&](i128 v, const std::u16string& srcName) -> std::optional<Message> {
        bool over = false;
        if (to.type == Type::Money) {
            over = v > i128(INT64_MAX) || v < i128(INT64_MIN);
        } else if (to.type == Type::SmallMoney) {
            over = v > i128(2147483647) || v < i128(-2147483647LL - 1);
        } else {
            i128 lim = pow10(precision);
            over = v >= lim || v <= -lim;
        }
        if (over) {
            return error(8115, 8,
                         u"Arithmetic overflow error converting " + srcName + u" to data type " +
                             target + u".");
        }
        out = Decimal{v};
        return std::nullopt;
    };
    if (isText(src)) {
        const std::u16string s = trimmed(textOf(in));
        const std::u16string srcName = Types::name(src);
        if (s.empty() && money) {
            out = Decimal{0};
            return std::nullopt;
        }
        i128 v = 0;
        bool overflow = false;
        const bool small = to.type == Type::SmallMoney;
        if (!parseDecimal(s, scale, v, overflow, money)) {
            if (small) {
                return error(293, 1,
                             u"Cannot convert char value to smallmoney. The char value has "
                             u"incorrect syntax.");
            }
            if (money) {
                return error(235, 1,
                             u"Cannot convert a char value to money. The char value has incorrect "
                             u"syntax.");
            }
            return error(8114, 5, u"Error converting data type " + srcName + u" to numeric.");
        }
        if (money) {
            const bool over =
                overflow || (small ? (v > i128(2147483647) || v < i128(-2147483647LL - 1))
                                   : (v > i128(INT64_MAX) || v < i128(INT64_MIN)));
            if (over) {
                return small ? error(294, 1,
                                     u"The conversion from char data type to smallmoney data "
                                     u"type resulted in a smallmoney overflow error.")
                             : error(236, 1,
                                     u"The conversion from char data type to money resulted in "
                                     u"a money overflow error.");
            }
        }
        if (overflow) {
            return error(8115, 8,
                         u"Arithmetic overflow error converting " + srcName + u" to data type " +
                             target + u".");
        }
        return check(v, srcName);
    }
    if (Types::isInteger(src)) {
        i128 v = i128(std::get<std::int64_t>(in.value)) * pow10(scale);
        return check(v, money ? std::u16string(u"expression") : Types::name(src));
    }
    if (Types::isExactNumeric(src)) {
        i128 v = rescale(std::get<Decimal>(in.value).unscaled, sourceScale(in), scale);
        return check(v, money ? std::u16string(u"expression") : std::u16string(u"numeric"));
    }
    if (src == Type::Float || src == Type::Real) {
        double d = std::get<double>(in.value);
        std::array<char, 64> buf{};
        auto r =
            std::to_chars(buf.data(), buf.data() + buf.size(), d, std::chars_format::fixed, scale);
        std::u16string s = text::fromAscii(std::string_view(buf.data(), r.ptr));
        i128 v = 0;
        bool overflow = false;
        if (r.ec != std::errc() || !parseDecimal(s, scale, v, overflow, false) || overflow) {
            return error(8115, 8,
                         u"Arithmetic overflow error converting float to data type " + target +
                             u".");
        }
        return check(v, u"float");
    }
    if (Types::isBinary(src)) {
        return implicitNotAllowed(in.type, to);
    }
    return clash(in.type, to);
}

// A real filled from text or from a float keeps the normal range only: a value closer to zero
// than the smallest normal real (1.1754944e-38) is stored as 0, without a message, as SQL Server
// stores it.
float realRange(float f) {
    return std::fpclassify(f) == FP_SUBNORMAL ? 0.0f : f;
}

std::optional<Message> toFloat(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    const bool real = to.type == Type::Real;
    const std::u16string target = real ? u"real" : u"float";
    if (isText(src)) {
        std::u16string s = trimmed(textOf(in));
        const std::u16string srcName = Types::name(src);
        if (s.empty()) {
            out = 0.0;
            return std::nullopt;
        }
        std::string a = text::toUtf8(s);
        if (!a.empty() && a[0] == '+') {
            a.erase(0, 1);
        }
        bool ok = !a.empty();
        for (char c : a) {
            if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' ||
                  c == '+')) {
                ok = false;
            }
        }
        if (ok) {
            if (real) {
                float f = 0;
                auto r = std::from_chars(a.data(), a.data() + a.size(), f);
                ok = r.ec == std::errc() && r.ptr == a.data() + a.size();
                if (r.ec == std::errc::result_out_of_range) {
                    // Too close to zero is 0; too far from it an overflow.
                    double d = 0;
                    std::from_chars(a.data(), a.data() + a.size(), d);
                    if (std::fabs(d) >= 1) {
                        return error(8115, 2,
                                     u"Arithmetic overflow error converting expression to data "
                                     u"type real.");
                    }
                    f = 0;
                    ok = r.ptr == a.data() + a.size();
                }
                out = static_cast<double>(realRange(f));
            } else {
                double d = 0;
                auto r = std::from_chars(a.data(), a.data() + a.size(), d);
                ok = r.ec == std::errc() && r.ptr == a.data() + a.size();
                out = d;
            }
        }
        if (!ok) {
            return error(8114, 5,
                         u"Error converting data type " + srcName + u" to " + target + u".");
        }
        return std::nullopt;
    }
    double d = 0;
    if (Types::isInteger(src)) {
        d = static_cast<double>(std::get<std::int64_t>(in.value));
    } else if (Types::isExactNumeric(src)) {
        d = decimalToDouble(std::get<Decimal>(in.value).unscaled, sourceScale(in));
    } else if (src == Type::Float || src == Type::Real) {
        d = std::get<double>(in.value);
    } else if (Types::isBinary(src)) {
        const auto& bytes = std::get<std::string>(in.value);
        if (real && bytes.size() >= 4) {
            std::uint32_t v = 0;
            for (std::size_t i = bytes.size() - 4; i < bytes.size(); ++i) {
                v = (v << 8) | static_cast<unsigned char>(bytes[i]);
            }
            float f = 0;
            std::memcpy(&f, &v, 4);
            d = static_cast<double>(f);
        } else if (!real && bytes.size() >= 8) {
            std::uint64_t v = 0;
            for (std::size_t i = bytes.size() - 8; i < bytes.size(); ++i) {
                v = (v << 8) | static_cast<unsigned char>(bytes[i]);
            }
            std::memcpy(&d, &v, 8);
        }
    } else {
        return clash(in.type, to);
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

std::optional<Message> toCharacter(const Typed& in, const ColumnType& to, Value& out,
                                   const ConvertTarget* target) {
    const Type src = in.type.type;
    std::string bytes;
    if (Types::isCharacter(src) || Types::isBinary(src)) {
        bytes = std::get<std::string>(in.value);
        if (Types::isBinary(src) && target != nullptr) {
            return implicitNotAllowed(in.type, to);
        }
    } else if (Types::isNational(src)) {
        bytes = text::toCp1252(std::get<std::u16string>(in.value));
    } else {
        bytes = text::toCp1252(Convert::toText(in));
    }
    if (to.type != Type::Text && to.length >= 0 &&
        bytes.size() > static_cast<std::size_t>(to.length)) {
        const auto n = static_cast<std::size_t>(to.length);
        bool onlySpaces = bytes.find_first_not_of(' ', n) == std::string::npos;
        if (target != nullptr && !onlySpaces) {
            return truncated(target, text::fromCp1252(bytes.substr(0, n)));
        }
        bytes.resize(n);
    }
    if (to.type == Type::Char && bytes.size() < static_cast<std::size_t>(to.length)) {
        bytes.resize(static_cast<std::size_t>(to.length), ' ');
    }
    out = std::move(bytes);
    return std::nullopt;
}

std::optional<Message> toNational(const Typed& in, const ColumnType& to, Value& out,
                                  const ConvertTarget* target) {
    const Type src = in.type.type;
    std::u16string s;
    if (Types::isCharacter(src)) {
        s = text::fromCp1252(std::get<std::string>(in.value));
    } else if (Types::isNational(src)) {
        s = std::get<std::u16string>(in.value);
    } else if (Types::isBinary(src)) {
        if (target != nullptr) {
            return implicitNotAllowed(in.type, to);
        }
        const auto& b = std::get<std::string>(in.value);
        for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
            s.push_back(static_cast<char16_t>(static_cast<unsigned char>(b[i]) |
                                              (static_cast<unsigned char>(b[i + 1]) << 8)));
        }
    } else {
        s = Convert::toText(in);
    }
    if ((to.type == Type::NChar || to.type == Type::NVarChar) && to.length >= 0 &&
        s.size() > static_cast<std::size_t>(to.length)) {
        const auto n = static_cast<std::size_t>(to.length);
        bool onlySpaces = s.find_first_not_of(u' ', n) == std::u16string::npos;
        if (target != nullptr && !onlySpaces) {
            return truncated(target, s.substr(0, n));
        }
        s.resize(n);
    }
    if (to.type == Type::NChar && s.size() < static_cast<std::size_t>(to.length)) {
        s.resize(static_cast<std::size_t>(to.length), u' ');
    }
    out = std::move(s);
    return std::nullopt;
}

std::optional<Message> toBinary(const Typed& in, const ColumnType& to, Value& out,
                                const ConvertTarget* target) {
    const Type src = in.type.type;
    std::string bytes;
    if (Types::isBinary(src)) {
        bytes = std::get<std::string>(in.value);
    } else if (isText(src)) {
        if (target != nullptr) {
            return implicitNotAllowed(in.type, to);
        }
        if (Types::isCharacter(src)) {
            bytes = std::get<std::string>(in.value);
        } else {
            for (char16_t c : std::get<std::u16string>(in.value)) {
                bytes.push_back(static_cast<char>(c & 0xFF));
                bytes.push_back(static_cast<char>(c >> 8));
            }
        }
    } else if (Types::isInteger(src)) {
        std::size_t width = src == Type::BigInt     ? 8
                            : src == Type::Int      ? 4
                            : src == Type::SmallInt ? 2
                                                    : 1;
        auto v = static_cast<std::uint64_t>(std::get<std::int64_t>(in.value));
        for (std::size_t i = width; i-- > 0;) {
            bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
    } else if (src == Type::UniqueIdentifier) {
        bytes = std::get<std::string>(in.value);
    } else {
        return clash(in.type, to);
    }
    if (to.type != Type::Image && to.length >= 0 &&
        bytes.size() > static_cast<std::size_t>(to.length)) {
        const auto n = static_cast<std::size_t>(to.length);
        if (target != nullptr) {
            return truncated(target, hexText(bytes.substr(0, n)));
        }
        bytes.resize(n);
    }
    if (to.type == Type::Binary && bytes.size() < static_cast<std::size_t>(to.length)) {
        bytes.resize(static_cast<std::size_t>(to.length), '\0');
    }
    out = std::move(bytes);
    return std::nullopt;
}

// Stores date and time parts (ticks in 100 ns) into the target type, rounding as it does.
std::optional<Message> storeDateTime(std::int32_t days, std::int64_t ticks, int offset,
                                     const ColumnType& to, Value& out,
                                     const std::u16string& srcName, bool fromText) {
    auto outOfRange = [&]() {
        return error(242, 3,
                     u"The conversion of a " + srcName + u" data type to a " +
                         Types::name(to.type) + u" data type resulted in an out-of-range value.");
    };
    switch (to.type) {
    case Type::Date:
        out = DateTimeValue{days, 0, 0};
        return std::nullopt;
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset: {
        std::int64_t unit = 1;
        for (int i = to.scale; i < 7; ++i) {
            unit *= 10;
        }
        std::int64_t t = (ticks + unit / 2) / unit * unit;
        if (t >= DateTime::kTicksPerDay) {
            t -= DateTime::kTicksPerDay;
            if (to.type != Type::Time) {
                ++days;
            }
        }
        if (to.type == Type::Time) {
            out = DateTimeValue{0, t, 0};
        } else if (to.type == Type::DateTime2) {
            out = DateTimeValue{days, t, 0};
        } else {
            // Stored as UTC with the offset beside it.
            std::int64_t utc = t - static_cast<std::int64_t>(offset) * 600000000;
            std::int32_t d = days;
            while (utc < 0) {
                utc += DateTime::kTicksPerDay;
                --d;
            }
            while (utc >= DateTime::kTicksPerDay) {
                utc -= DateTime::kTicksPerDay;
                ++d;
            }
            out = DateTimeValue{d, utc, static_cast<std::int16_t>(offset)};
        }
        if (days > DateTime::daysFromCivil(9999, 12, 31)) {
            return fromText ? std::optional<Message>(outOfRange()) : std::nullopt;
        }
        return std::nullopt;
    }
    case Type::DateTime: {
        // 1/300 s, rounded: .000, .003, .007.
        std::int64_t t300 = (ticks * 3 + 50000) / 100000;
        std::int32_t d = days - DateTime::kDays1900;
        if (t300 >= 300LL * 86400) {
            t300 -= 300LL * 86400;
            ++d;
        }
        if (days < DateTime::daysFromCivil(1753, 1, 1) ||
            d > DateTime::daysFromCivil(9999, 12, 31) - DateTime::kDays1900) {
            return outOfRange();
        }
        out = DateTimeValue{d, t300, 0};
        return std::nullopt;
    }
    case Type::SmallDateTime: {
        // To the minute: 29.998 s and less round down, 29.999 s and more up.
        std::int64_t secondsTicks = ticks % 600000000;
        std::int64_t minutes = ticks / 600000000;
        if (secondsTicks >= 299990000) {
            ++minutes;
        }
        std::int32_t d = days - DateTime::kDays1900;
        if (minutes >= 1440) {
            minutes -= 1440;
            ++d;
        }
        if (d < 0 || d > DateTime::daysFromCivil(2079, 6, 6) - DateTime::kDays1900) {
            return outOfRange();
        }
        out = DateTimeValue{d, minutes, 0};
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// A stored date/time value as days since 0001-01-01, local ticks and offset.
void unpack(const Typed& in, std::int32_t& days, std::int64_t& ticks, int& offset) {
    const auto& v = std::get<DateTimeValue>(in.value);
    offset = 0;
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
        ticks = v.ticks;
        break;
    case Type::DateTimeOffset:
        offset = v.offsetMinutes;
        days = v.days;
        ticks = v.ticks + static_cast<std::int64_t>(offset) * 600000000;
        while (ticks < 0) {
            ticks += DateTime::kTicksPerDay;
            --days;
        }
        while (ticks >= DateTime::kTicksPerDay) {
            ticks -= DateTime::kTicksPerDay;
            ++days;
        }
        break;
    default:
        days = v.days;
        ticks = v.ticks;
        break;
    }
}

std::optional<Message> toDateTime(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    if (isText(src)) {
        const std::u16string s = trimmed(textOf(in));
        const std::u16string srcName = Types::name(src);
        auto failed = [&]() {
            return error(241, 1,
                         u"Conversion failed when converting date and/or time from character "
                         u"string.");
        };
        if (s.empty()) {
            return storeDateTime(DateTime::kDays1900, 0, 0, to, out, srcName, true);
        }
        auto parts = DateTime::parse(s);
        if (!parts) {
            return failed();
        }
        const bool old = to.type == Type::DateTime || to.type == Type::SmallDateTime;
        if (old && (parts->hasOffset || parts->fractionDigits > 3)) {
            return failed();
        }
        if (parts->fractionDigits > 7) {
            return failed();
        }
        if (!parts->dayValid) {
            if (old) {
                return error(242, 3,
                             u"The conversion of a " + srcName + u" data type to a " +
                                 Types::name(to.type) +
                                 u" data type resulted in an out-of-range value.");
            }
            return failed();
        }
        if (to.type == Type::Time && parts->hasDate && !parts->hasTime) {
            // A date alone is no time.
            return failed();
        }
        std::int32_t days = DateTime::daysFromCivil(parts->year, parts->month, parts->day);
        std::int64_t ticks =
            (static_cast<std::int64_t>(parts->hour) * 3600 + parts->minute * 60 + parts->second) *
                10000000 +
            parts->fraction;
        return storeDateTime(days, ticks, parts->offsetMinutes, to, out, srcName, true);
    }
    if (Types::isDateTime(src)) {
        std::int32_t days = 0;
        std::int64_t ticks = 0;
        int offset = 0;
        unpack(in, days, ticks, offset);
        if (src == Type::Date && to.type == Type::Time) {
            return clash(in.type, to);
        }
        if (src == Type::Time && to.type == Type::Date) {
            return clash(in.type, to);
        }
        return storeDateTime(days, ticks, to.type == Type::DateTimeOffset ? offset : 0, to, out,
                             Types::name(src), false);
    }
    if ((to.type == Type::DateTime || to.type == Type::SmallDateTime) &&
        (Types::isInteger(src) || Types::isExactNumeric(src) || src == Type::Float ||
         src == Type::Real)) {
        double d = 0;
        if (Types::isInteger(src)) {
            d = static_cast<double>(std::get<std::int64_t>(in.value));
        } else if (Types::isExactNumeric(src)) {
            d = decimalToDouble(std::get<Decimal>(in.value).unscaled, sourceScale(in));
        } else {
            d = std::get<double>(in.value);
        }
        double whole = std::floor(d);
        auto days = static_cast<std::int32_t>(whole) + DateTime::kDays1900;
        auto ticks = static_cast<std::int64_t>(std::llround((d - whole) * 864000000000.0));
        return storeDateTime(days, ticks, 0, to, out, Types::name(src), false);
    }
    return clash(in.type, to);
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

std::optional<Message> toGuid(const Typed& in, const ColumnType& to, Value& out) {
    const Type src = in.type.type;
    if (isText(src)) {
        std::u16string s = textOf(in);
        auto failed = [] {
            return error(8169, 2,
                         u"Conversion failed when converting from a character string to "
                         u"uniqueidentifier.");
        };
        std::size_t i = 0;
        bool brace = !s.empty() && s[0] == u'{';
        if (brace) {
            i = 1;
        }
        std::string bytes;
        static constexpr int kGroups[] = {8, 4, 4, 4, 12};
        std::string hex;
        for (int g = 0; g < 5; ++g) {
            if (g > 0) {
                if (i >= s.size() || s[i] != u'-') {
                    return failed();
                }
                ++i;
            }
            for (int k = 0; k < kGroups[g]; ++k) {
                if (i >= s.size() || hexValue(s[i]) < 0) {
                    return failed();
                }
                hex.push_back(static_cast<char>(s[i]));
                ++i;
            }
        }
        if (brace && (i >= s.size() || s[i] != u'}')) {
            return failed();
        }
        std::string raw;
        for (std::size_t k = 0; k < 32; k += 2) {
            raw.push_back(static_cast<char>(hexValue(static_cast<char16_t>(hex[k])) * 16 +
                                            hexValue(static_cast<char16_t>(hex[k + 1]))));
        }
        // SQL Server's order: the first three groups little-endian.
        bytes = {raw[3], raw[2], raw[1], raw[0], raw[5], raw[4], raw[7], raw[6]};
        bytes.append(raw, 8, 8);
        out = std::move(bytes);
        return std::nullopt;
    }
    if (src == Type::UniqueIdentifier) {
        out = std::get<std::string>(in.value);
        return std::nullopt;
    }
    if (Types::isBinary(src)) {
        std::string b = std::get<std::string>(in.value);
        b.resize(16, '\0');
        out = std::move(b);
        return std::nullopt;
    }
    return clash(in.type, to);
}

std::u16string twoDigits(int v) {
    std::u16string s;
    s.push_back(static_cast<char16_t>(u'0' + v / 10 % 10));
    s.push_back(static_cast<char16_t>(u'0' + v % 10));
    return s;
}

std::u16string dateText(std::int32_t days) {
    int y = 0;
    int m = 0;
    int d = 0;
    DateTime::civilFromDays(days, y, m, d);
    std::u16string s = text::number(y);
    while (s.size() < 4) {
        s.insert(s.begin(), u'0');
    }
    return s + u"-" + twoDigits(m) + u"-" + twoDigits(d);
}

std::u16string timeText(std::int64_t ticks, int scale) {
    std::int64_t secs = ticks / 10000000;
    std::int64_t frac = ticks % 10000000;
    std::u16string s = twoDigits(static_cast<int>(secs / 3600)) + u":" +
                       twoDigits(static_cast<int>(secs / 60 % 60)) + u":" +
                       twoDigits(static_cast<int>(secs % 60));
    if (scale > 0) {
        std::u16string f = text::number(frac);
        while (f.size() < 7) {
            f.insert(f.begin(), u'0');
        }
        s += u"." + f.substr(0, static_cast<std::size_t>(scale));
    }
    return s;
}

} // namespace

std::optional<Message> Convert::literal(LiteralKind kind, const std::u16string& literalText,
                                        Typed& out) {
    out = Typed{};
    switch (kind) {
    case LiteralKind::Null:
        out.type.type = Type::Int;
        out.value = std::monostate{};
        return std::nullopt;
    case LiteralKind::String: {
        std::string bytes = text::toCp1252(literalText);
        out.type.type = Type::VarChar;
        out.type.length = static_cast<std::int32_t>(bytes.size() == 0 ? 1 : bytes.size());
        out.value = std::move(bytes);
        return std::nullopt;
    }
    case LiteralKind::NString:
        out.type.type = Type::NVarChar;
        out.type.length = static_cast<std::int32_t>(literalText.empty() ? 1 : literalText.size());
        out.value = literalText;
        return std::nullopt;
    case LiteralKind::Integer:
    case LiteralKind::Number: {
        std::size_t dot = literalText.find(u'.');
        int scale =
            dot == std::u16string::npos ? 0 : static_cast<int>(literalText.size() - dot - 1);
        std::u16string digits = literalText;
        if (dot != std::u16string::npos) {
            digits.erase(dot, 1);
        }
        std::size_t first = digits.find_first_not_of(u'0');
        int significant =
            first == std::u16string::npos ? 0 : static_cast<int>(digits.size() - first);
        if (significant > 38) {
            Message m;
            m.number = 1007;
            m.severity = 15;
            m.text = u"The number '" + literalText +
                     u"' is out of the range for numeric representation (maximum precision 38).";
            return m;
        }
        i128 v = 0;
        for (char16_t c : digits) {
            v = v * 10 + (c - u'0');
        }
        if (kind == LiteralKind::Integer && v <= 2147483647) {
            out.type.type = Type::Int;
            out.value = static_cast<std::int64_t>(v);
            return std::nullopt;
        }
        out.type.type = Type::Numeric;
        int precision = significant > scale ? significant : scale;
        out.type.precision = static_cast<std::uint8_t>(precision < 1 ? 1 : precision);
        out.type.scale = static_cast<std::uint8_t>(scale);
        out.value = Decimal{v};
        return std::nullopt;
    }
    case LiteralKind::Float: {
        std::string a = text::toUtf8(literalText);
        if (!a.empty() && (a.back() == 'e' || a.back() == 'E')) {
            a.pop_back();
        }
        double d = 0;
        auto r = std::from_chars(a.data(), a.data() + a.size(), d);
        if (r.ec != std::errc()) {
            Message m;
            m.number = 8114;
            m.severity = 16;
            m.state = 5;
            m.text = u"Error converting data type varchar to float.";
            return m;
        }
        out.type.type = Type::Float;
        out.type.precision = 53;
        out.value = d;
        return std::nullopt;
    }
    case LiteralKind::Hex: {
        std::string bytes;
        std::u16string h = literalText;
        if (h.size() % 2 == 1) {
            h.insert(h.begin(), u'0');
        }
        for (std::size_t i = 0; i + 1 < h.size(); i += 2) {
            bytes.push_back(static_cast<char>(hexValue(h[i]) * 16 + hexValue(h[i + 1])));
        }
        out.type.type = Type::VarBinary;
        out.type.length = static_cast<std::int32_t>(bytes.empty() ? 1 : bytes.size());
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
    switch (type.type) {
    case Type::Bit:
    case Type::TinyInt:
    case Type::SmallInt:
    case Type::Int:
    case Type::BigInt:
        return toInteger(in, type, out);
    case Type::Decimal:
    case Type::Numeric:
    case Type::Money:
    case Type::SmallMoney:
        return toExact(in, type, out);
    case Type::Float:
    case Type::Real:
        return toFloat(in, type, out);
    case Type::Char:
    case Type::VarChar:
    case Type::Text:
        if (Types::isDateTime(in.type.type) || in.type.type == Type::UniqueIdentifier ||
            !Types::isBinary(in.type.type) || target == nullptr) {
            return toCharacter(in, type, out, target);
        }
        return implicitNotAllowed(in.type, type);
    case Type::NChar:
    case Type::NVarChar:
    case Type::NText:
    case Type::Xml:
        return toNational(in, type, out, target);
    case Type::Binary:
    case Type::VarBinary:
    case Type::Image:
        return toBinary(in, type, out, target);
    case Type::Date:
    case Type::Time:
    case Type::DateTime:
    case Type::DateTime2:
    case Type::SmallDateTime:
    case Type::DateTimeOffset:
        return toDateTime(in, type, out);
    case Type::UniqueIdentifier:
        return toGuid(in, type, out);
    }
    return std::nullopt;
}

std::u16string Convert::toText(const Typed& in) {
    const Value& v = in.value;
    if (std::holds_alternative<std::monostate>(v)) {
        return u"";
    }
    switch (in.type.type) {
    case Type::Bit:
    case Type::TinyInt:
    case Type::SmallInt:
    case Type::Int:
    case Type::BigInt:
        return text::number(std::get<std::int64_t>(v));
    case Type::Decimal:
    case Type::Numeric:
        return decimalText(std::get<Decimal>(v).unscaled, in.type.scale);
    case Type::Money:
    case Type::SmallMoney:
        return decimalText(rescale(std::get<Decimal>(v).unscaled, 4, 2), 2);
    case Type::Float:
    case Type::Real: {
        std::array<char, 64> buf{};
        auto r = in.type.type == Type::Real
                     ? std::to_chars(buf.data(), buf.data() + buf.size(),
                                     static_cast<float>(std::get<double>(v)))
                     : std::to_chars(buf.data(), buf.data() + buf.size(), std::get<double>(v));
        return text::fromAscii(std::string_view(buf.data(), r.ptr));
    }
    case Type::Char:
    case Type::VarChar:
    case Type::Text:
        return text::fromCp1252(std::get<std::string>(v));
    case Type::NChar:
    case Type::NVarChar:
    case Type::NText:
    case Type::Xml:
        return std::get<std::u16string>(v);
    case Type::Binary:
    case Type::VarBinary:
    case Type::Image:
        return hexText(std::get<std::string>(v));
    case Type::UniqueIdentifier: {
        const auto& b = std::get<std::string>(v);
        std::string raw = {b[3], b[2], b[1], b[0], b[5], b[4], b[7], b[6]};
        raw.append(b, 8, 8);
        std::u16string h = hexText(raw).substr(2);
        return h.substr(0, 8) + u"-" + h.substr(8, 4) + u"-" + h.substr(12, 4) + u"-" +
               h.substr(16, 4) + u"-" + h.substr(20);
    }
    case Type::Date:
        return dateText(std::get<DateTimeValue>(v).days);
    case Type::Time:
        return timeText(std::get<DateTimeValue>(v).ticks, in.type.scale);
    case Type::DateTime2:
        return dateText(std::get<DateTimeValue>(v).days) + u" " +
               timeText(std::get<DateTimeValue>(v).ticks, in.type.scale);
    case Type::DateTime:
    case Type::SmallDateTime:
    case Type::DateTimeOffset: {
        std::int32_t days = 0;
        std::int64_t ticks = 0;
        int offset = 0;
        unpack(in, days, ticks, offset);
        if (in.type.type == Type::DateTimeOffset) {
            int a = offset < 0 ? -offset : offset;
            return dateText(days) + u" " + timeText(ticks, in.type.scale) + u" " +
                   (offset < 0 ? u"-" : u"+") + twoDigits(a / 60) + u":" + twoDigits(a % 60);
        }
        // Style 0, as CAST(datetime AS varchar) gives it: "Jan  1 2024 10:20AM".
        static constexpr const char16_t* kMonths[] = {u"Jan", u"Feb", u"Mar", u"Apr",
                                                      u"May", u"Jun", u"Jul", u"Aug",
                                                      u"Sep", u"Oct", u"Nov", u"Dec"};
        int y = 0;
        int m = 0;
        int d = 0;
        DateTime::civilFromDays(days, y, m, d);
        std::int64_t minutes = ticks / 600000000;
        int h = static_cast<int>(minutes / 60);
        int h12 = h % 12 == 0 ? 12 : h % 12;
        std::u16string day = text::number(d);
        if (day.size() < 2) {
            day.insert(day.begin(), u' ');
        }
        std::u16string hour = text::number(h12);
        if (hour.size() < 2) {
            hour.insert(hour.begin(), u' ');
        }
        return std::u16string(kMonths[m - 1]) + u" " + day + u" " + text::number(y) + u" " + hour +
               u":" + twoDigits(static_cast<int>(minutes % 60)) + (h < 12 ? u"AM" : u"PM");
    }
    }
    return u"";
}

std::optional<std::u16string> Convert::textOrNull(const Typed& in) {
    if (const auto* u = std::get_if<std::u16string>(&in.value)) {
        return *u;
    }
    if (const auto* s = std::get_if<std::string>(&in.value)) {
        return text::fromCp1252(*s);
    }
    if (std::holds_alternative<std::monostate>(in.value)) {
        return std::nullopt;
    }
    return toText(in);
}

std::optional<std::int64_t> Convert::bigintOrNull(const Typed& in) {
    ColumnType big;
    big.type = Type::BigInt;
    Value v;
    if (std::holds_alternative<std::monostate>(in.value) || to(in, big, v, nullptr)) {
        return std::nullopt;
    }
    return std::get<std::int64_t>(v);
}

std::optional<ColumnType> Convert::parseDeclaredType(const TypeSpec& declared) {
    ColumnType t;
    if (Types::resolve(declared, 1, u"", t)) {
        return std::nullopt;
    }
    return t;
}

} // namespace tds
