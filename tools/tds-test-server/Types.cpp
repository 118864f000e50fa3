#include "Types.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "Text.h"

namespace tds {

namespace {

// How a type takes arguments: none, (precision, scale), float's (bits), a length or max, or a
// count of fractional second digits.
enum class Shape : std::uint8_t { Plain, Exact, Float, Sized, Fraction };

struct TypeEntry {
    std::string_view name;
    Type type;
    Shape shape;
};

// The first entry of a type gives its name; sysname is nvarchar(128).
constexpr std::array<TypeEntry, 29> kTypes = {{
    {"bit", Type::Bit, Shape::Plain},
    {"tinyint", Type::TinyInt, Shape::Plain},
    {"smallint", Type::SmallInt, Shape::Plain},
    {"int", Type::Int, Shape::Plain},
    {"bigint", Type::BigInt, Shape::Plain},
    {"decimal", Type::Decimal, Shape::Exact},
    {"numeric", Type::Numeric, Shape::Exact},
    {"money", Type::Money, Shape::Plain},
    {"smallmoney", Type::SmallMoney, Shape::Plain},
    {"float", Type::Float, Shape::Float},
    {"real", Type::Real, Shape::Plain},
    {"char", Type::Char, Shape::Sized},
    {"varchar", Type::VarChar, Shape::Sized},
    {"text", Type::Text, Shape::Plain},
    {"nchar", Type::NChar, Shape::Sized},
    {"nvarchar", Type::NVarChar, Shape::Sized},
    {"ntext", Type::NText, Shape::Plain},
    {"sysname", Type::NVarChar, Shape::Plain},
    {"xml", Type::Xml, Shape::Plain},
    {"binary", Type::Binary, Shape::Sized},
    {"varbinary", Type::VarBinary, Shape::Sized},
    {"image", Type::Image, Shape::Plain},
    {"date", Type::Date, Shape::Plain},
    {"time", Type::Time, Shape::Fraction},
    {"datetime", Type::DateTime, Shape::Plain},
    {"datetime2", Type::DateTime2, Shape::Fraction},
    {"smalldatetime", Type::SmallDateTime, Shape::Plain},
    {"datetimeoffset", Type::DateTimeOffset, Shape::Fraction},
    {"uniqueidentifier", Type::UniqueIdentifier, Shape::Plain},
}};

// SQL Server's types the double leaves out (README.md).
constexpr std::string_view kLeftOut[] = {"timestamp",   "rowversion", "sql_variant",
                                         "hierarchyid", "geometry",   "geography"};

std::u16string num(std::int64_t v) {
    return text::number(v);
}

// The numeric arguments of a declaration; "max" reads as -1.
std::array<std::int64_t, 2> arguments(const DeclaredType& declared) {
    std::array<std::int64_t, 2> arg{0, 0};
    for (std::size_t i = 0; i < declared.args.size() && i < 2; ++i) {
        if (declared.args[i] == u"max") {
            arg[i] = -1;
            continue;
        }
        const std::string digits = text::toUtf8(declared.args[i]);
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), arg[i]);
        if (r.ec != std::errc()) {
            arg[i] = 2147483647;
        }
    }
    return arg;
}

bool hasMax(const DeclaredType& declared) {
    for (const auto& a : declared.args) {
        if (a == u"max") {
            return true;
        }
    }
    return false;
}

void plainDefaults(const TypeEntry& entry, ColumnType& out) {
    switch (entry.type) {
    case Type::Real:
        out.precision = 24;
        break;
    case Type::Money:
    case Type::SmallMoney:
        out.precision = entry.type == Type::Money ? 19 : 10;
        out.scale = 4;
        break;
    case Type::Text:
    case Type::Image:
        out.length = 2147483647;
        break;
    case Type::NText:
        out.length = 1073741823;
        break;
    case Type::Xml:
        out.length = -1;
        break;
    case Type::NVarChar: // sysname
        out.length = 128;
        break;
    default:
        break;
    }
}

std::optional<Message> resolveExact(const DeclaredType& declared, int columnNumber,
                                    ColumnType& out) {
    const std::size_t argc = declared.args.size();
    if (hasMax(declared) || argc > 2) {
        return makeMessage(102, 15, 1, u"Incorrect syntax near 'max'.");
    }
    const auto arg = arguments(declared);
    const std::int64_t p = argc >= 1 ? arg[0] : 18;
    const std::int64_t s = argc >= 2 ? arg[1] : 0;
    const std::u16string which = u"Column or parameter #" + num(columnNumber) + u": ";
    if (p < 1) {
        return makeMessage(1002, 15, 1,
                           u"Line 1: Specified column precision " + num(p) + u" is invalid.");
    }
    if (p > 38) {
        return makeMessage(2750, 16, 1,
                           which + u"Specified column precision " + num(p) +
                               u" is greater than the maximum precision of 38.");
    }
    if (s > p) {
        return makeMessage(2751, 16, 1,
                           which + u"Specified column scale " + num(s) +
                               u" is greater than the specified precision of " + num(p) + u".");
    }
    out.precision = static_cast<std::uint8_t>(p);
    out.scale = static_cast<std::uint8_t>(s);
    return std::nullopt;
}

std::optional<Message> resolveFloat(const DeclaredType& declared, int columnNumber,
                                    ColumnType& out) {
    if (hasMax(declared) || declared.args.size() > 1) {
        return makeMessage(102, 15, 1, u"Incorrect syntax near ','.");
    }
    const std::int64_t p = declared.args.size() == 1 ? arguments(declared)[0] : 53;
    const std::u16string which = u"Column or parameter #" + num(columnNumber) + u": ";
    if (p < 1) {
        return makeMessage(2749, 16, 1,
                           which + u"Specified column precision " + num(p) +
                               u" is invalid. The precision must be between 1 and 53.");
    }
    if (p > 53) {
        return makeMessage(2750, 16, 1,
                           which + u"Specified column precision " + num(p) +
                               u" is greater than the maximum precision of 53.");
    }
    // float(1) to float(24) is real.
    out.type = p <= 24 ? Type::Real : Type::Float;
    out.precision = p <= 24 ? 24 : 53;
    return std::nullopt;
}

std::optional<Message> resolveSized(const DeclaredType& declared, const std::u16string& columnName,
                                    ColumnType& out) {
    if (declared.args.size() > 1) {
        return makeMessage(102, 15, 1, u"Incorrect syntax near ','.");
    }
    const bool national = out.type == Type::NChar || out.type == Type::NVarChar;
    const bool fixed =
        out.type == Type::Char || out.type == Type::NChar || out.type == Type::Binary;
    if (hasMax(declared)) {
        if (fixed) {
            return makeMessage(102, 15, 1, u"Incorrect syntax near 'max'.");
        }
        out.length = -1;
        return std::nullopt;
    }
    const std::int64_t n = declared.args.size() == 1 ? arguments(declared)[0] : 1;
    if (n < 1) {
        // Error 1001 with its severity and state, as SQL Server refuses a length below 1.
        return makeMessage(1001, 15, 1, u"Line 1: Length or precision " + num(n) + u" is invalid.");
    }
    if (national && n > 4000) {
        return makeMessage(2717, 16, 2,
                           u"The size (" + num(n) + u") given to the parameter '" + columnName +
                               u"' exceeds the maximum allowed (4000).");
    }
    if (n > 8000) {
        return makeMessage(131, 15, 3,
                           u"The size (" + num(n) + u") given to the column '" + columnName +
                               u"' exceeds the maximum allowed for any data type (8000).");
    }
    out.length = static_cast<std::int32_t>(n);
    return std::nullopt;
}

std::optional<Message> resolveFraction(const DeclaredType& declared, ColumnType& out) {
    if (hasMax(declared) || declared.args.size() > 1) {
        return makeMessage(102, 15, 1, u"Incorrect syntax near ','.");
    }
    const std::int64_t p = declared.args.size() == 1 ? arguments(declared)[0] : 7;
    if (p > 7 || p < 0) {
        return makeMessage(1002, 15, 1, u"Line 1: Specified scale " + num(p) + u" is invalid.");
    }
    out.scale = static_cast<std::uint8_t>(p);
    return std::nullopt;
}

// The digits of an exact number's type, as a decimal would hold them: bit 1, tinyint 3,
// smallint 5, int 10, bigint 19, smallmoney (10,4), money (19,4). False for any other type.
bool exactDigits(const ColumnType& t, int& precision, int& scale) {
    if (t.type == Type::Decimal || t.type == Type::Numeric) {
        precision = t.precision;
        scale = t.scale;
        return true;
    }
    static constexpr struct {
        Type type;
        int precision;
        int scale;
    } kDigits[] = {{Type::Bit, 1, 0},   {Type::TinyInt, 3, 0}, {Type::SmallInt, 5, 0},
                   {Type::Int, 10, 0},  {Type::BigInt, 19, 0}, {Type::SmallMoney, 10, 4},
                   {Type::Money, 19, 4}};
    for (const auto& d : kDigits) {
        if (d.type == t.type) {
            precision = d.precision;
            scale = d.scale;
            return true;
        }
    }
    return false;
}

} // namespace

std::u16string Types::name(Type type) {
    for (const auto& e : kTypes) {
        if (e.type == type) {
            return text::fromAscii(e.name);
        }
    }
    return u"int";
}

bool Types::isCharacter(Type t) {
    return t == Type::Char || t == Type::VarChar || t == Type::Text;
}
bool Types::isNational(Type t) {
    return t == Type::NChar || t == Type::NVarChar || t == Type::NText || t == Type::Xml;
}
bool Types::isBinary(Type t) {
    return t == Type::Binary || t == Type::VarBinary || t == Type::Image;
}
bool Types::isInteger(Type t) {
    return t == Type::Bit || t == Type::TinyInt || t == Type::SmallInt || t == Type::Int ||
           t == Type::BigInt;
}
bool Types::isExactNumeric(Type t) {
    return t == Type::Decimal || t == Type::Numeric || t == Type::Money || t == Type::SmallMoney;
}
bool Types::isDateTime(Type t) {
    return t == Type::Date || t == Type::Time || t == Type::DateTime || t == Type::DateTime2 ||
           t == Type::SmallDateTime || t == Type::DateTimeOffset;
}
bool Types::isMax(const ColumnType& t) {
    return t.type == Type::Xml ||
           (t.length < 0 &&
            (t.type == Type::VarChar || t.type == Type::NVarChar || t.type == Type::VarBinary));
}

std::int32_t Types::fixedBytes(const ColumnType& t) {
    // time keeps 3 bytes up to two fractional digits, 4 up to four, 5 up to seven.
    const std::int32_t time = t.scale <= 2 ? 3 : t.scale <= 4 ? 4 : 5;
    switch (t.type) {
    case Type::TinyInt:
        return 1;
    case Type::SmallInt:
        return 2;
    case Type::Int:
    case Type::Real:
    case Type::SmallMoney:
    case Type::SmallDateTime:
        return 4;
    case Type::BigInt:
    case Type::Float:
    case Type::Money:
    case Type::DateTime:
        return 8;
    case Type::Decimal:
    case Type::Numeric:
        return t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
    case Type::Char:
    case Type::Binary:
        return t.length;
    case Type::NChar:
        return t.length * 2;
    case Type::Date:
        return 3;
    case Type::Time:
        return time;
    case Type::DateTime2:
        return time + 3;
    case Type::DateTimeOffset:
        return time + 5;
    case Type::UniqueIdentifier:
        return 16;
    default:
        return 0;
    }
}

int Types::precedence(Type t) {
    static constexpr Type kLowToHigh[] = {Type::Binary,
                                          Type::VarBinary,
                                          Type::Char,
                                          Type::VarChar,
                                          Type::NChar,
                                          Type::NVarChar,
                                          Type::UniqueIdentifier,
                                          Type::Image,
                                          Type::Text,
                                          Type::NText,
                                          Type::Bit,
                                          Type::TinyInt,
                                          Type::SmallInt,
                                          Type::Int,
                                          Type::BigInt,
                                          Type::SmallMoney,
                                          Type::Money,
                                          Type::Decimal,
                                          Type::Real,
                                          Type::Float,
                                          Type::Time,
                                          Type::Date,
                                          Type::SmallDateTime,
                                          Type::DateTime,
                                          Type::DateTime2,
                                          Type::DateTimeOffset,
                                          Type::Xml};
    // Ranks by type (uniqueidentifier is the last of Type), numeric sharing decimal's.
    static const auto kRank = [] {
        std::array<int, static_cast<std::size_t>(Type::UniqueIdentifier) + 1> rank{};
        for (std::size_t i = 0; i < std::size(kLowToHigh); ++i) {
            rank[static_cast<std::size_t>(kLowToHigh[i])] = static_cast<int>(i);
        }
        rank[static_cast<std::size_t>(Type::Numeric)] =
            rank[static_cast<std::size_t>(Type::Decimal)];
        return rank;
    }();
    return kRank[static_cast<std::size_t>(t)];
}

ColumnType Types::unionOf(const ColumnType& a, const ColumnType& b) {
    const bool aWins = precedence(a.type) >= precedence(b.type);
    const ColumnType& high = aWins ? a : b;
    const ColumnType& low = aWins ? b : a;
    ColumnType out = high;
    const auto sized = [](Type t) { return isCharacter(t) || isNational(t) || isBinary(t); };
    int lowPrecision = 0;
    int lowScale = 0;
    if ((high.type == Type::Decimal || high.type == Type::Numeric) &&
        exactDigits(low, lowPrecision, lowScale)) {
        const int scale = std::max<int>(high.scale, lowScale);
        const int whole = std::max(high.precision - high.scale, lowPrecision - lowScale);
        out.precision = static_cast<std::uint8_t>(std::min(whole + scale, 38));
        out.scale = static_cast<std::uint8_t>(whole + scale > 38 ? 38 - whole : scale);
    } else if (sized(high.type) && sized(low.type)) {
        out.length = high.length < 0 || low.length < 0 ? -1 : std::max(high.length, low.length);
    } else if ((high.type == Type::Time || high.type == Type::DateTime2 ||
                high.type == Type::DateTimeOffset) &&
               (low.type == Type::Time || low.type == Type::DateTime2 ||
                low.type == Type::DateTimeOffset)) {
        out.scale = std::max(high.scale, low.scale);
    }
    return out;
}

std::optional<Message> Types::resolve(const DeclaredType& declared, int columnNumber,
                                      const std::u16string& columnName, ColumnType& out) {
    const TypeEntry* entry = nullptr;
    for (const auto& e : kTypes) {
        if (text::isKeyword(declared.name, e.name)) {
            entry = &e;
            break;
        }
    }
    if (entry == nullptr) {
        for (auto leftOut : kLeftOut) {
            if (text::isKeyword(declared.name, leftOut)) {
                return notSupported(u"the type " + text::folded(declared.name));
            }
        }
        return makeMessage(2715, 16, 6,
                           u"Column, parameter, or variable #" + num(columnNumber) +
                               u": Cannot find data type " + declared.name + u".");
    }
    out = ColumnType{};
    out.type = entry->type;
    switch (entry->shape) {
    case Shape::Plain:
        if (declared.hasParens) {
            return makeMessage(2716, 16, 1,
                               u"Column, parameter, or variable #" + num(columnNumber) +
                                   u": Cannot specify a column width on data type " +
                                   text::folded(declared.name) + u".");
        }
        plainDefaults(*entry, out);
        return std::nullopt;
    case Shape::Exact:
        return resolveExact(declared, columnNumber, out);
    case Shape::Float:
        return resolveFloat(declared, columnNumber, out);
    case Shape::Sized:
        return resolveSized(declared, columnName, out);
    case Shape::Fraction:
        return resolveFraction(declared, out);
    }
    return std::nullopt;
}

} // namespace tds
