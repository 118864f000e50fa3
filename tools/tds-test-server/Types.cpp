#include "Types.h"

#include <array>
#include <charconv>

#include "Text.h"

namespace tds {

namespace {

struct TypeEntry {
    std::string_view name;
    Type type;
};

constexpr std::array<TypeEntry, 34> kTypes = {{
    {"bit", Type::Bit},
    {"tinyint", Type::TinyInt},
    {"smallint", Type::SmallInt},
    {"int", Type::Int},
    {"integer", Type::Int},
    {"bigint", Type::BigInt},
    {"decimal", Type::Decimal},
    {"dec", Type::Decimal},
    {"numeric", Type::Numeric},
    {"money", Type::Money},
    {"smallmoney", Type::SmallMoney},
    {"float", Type::Float},
    {"real", Type::Real},
    {"char", Type::Char},
    {"character", Type::Char},
    {"varchar", Type::VarChar},
    {"text", Type::Text},
    {"nchar", Type::NChar},
    {"nvarchar", Type::NVarChar},
    {"ntext", Type::NText},
    {"sysname", Type::NVarChar},
    {"xml", Type::Xml},
    {"binary", Type::Binary},
    {"varbinary", Type::VarBinary},
    {"image", Type::Image},
    {"date", Type::Date},
    {"time", Type::Time},
    {"datetime", Type::DateTime},
    {"datetime2", Type::DateTime2},
    {"smalldatetime", Type::SmallDateTime},
    {"datetimeoffset", Type::DateTimeOffset},
    {"uniqueidentifier", Type::UniqueIdentifier},
    {"rowversion", Type::Binary},
    {"timestamp", Type::Binary},
}};

Message message(std::int32_t number, std::uint8_t severity, std::uint8_t state,
                std::u16string textValue) {
    Message m;
    m.number = number;
    m.severity = severity;
    m.state = state;
    m.text = std::move(textValue);
    return m;
}

std::u16string num(std::int64_t v) {
    return text::number(v);
}

} // namespace

std::u16string Types::name(Type type) {
    switch (type) {
    case Type::Bit:
        return u"bit";
    case Type::TinyInt:
        return u"tinyint";
    case Type::SmallInt:
        return u"smallint";
    case Type::Int:
        return u"int";
    case Type::BigInt:
        return u"bigint";
    case Type::Decimal:
        return u"decimal";
    case Type::Numeric:
        return u"numeric";
    case Type::Money:
        return u"money";
    case Type::SmallMoney:
        return u"smallmoney";
    case Type::Float:
        return u"float";
    case Type::Real:
        return u"real";
    case Type::Char:
        return u"char";
    case Type::VarChar:
        return u"varchar";
    case Type::Text:
        return u"text";
    case Type::NChar:
        return u"nchar";
    case Type::NVarChar:
        return u"nvarchar";
    case Type::NText:
        return u"ntext";
    case Type::Xml:
        return u"xml";
    case Type::Binary:
        return u"binary";
    case Type::VarBinary:
        return u"varbinary";
    case Type::Image:
        return u"image";
    case Type::Date:
        return u"date";
    case Type::Time:
        return u"time";
    case Type::DateTime:
        return u"datetime";
    case Type::DateTime2:
        return u"datetime2";
    case Type::SmallDateTime:
        return u"smalldatetime";
    case Type::DateTimeOffset:
        return u"datetimeoffset";
    case Type::UniqueIdentifier:
        return u"uniqueidentifier";
    }
    return u"int";
}

std::u16string Types::declaration(const ColumnType& t) {
    std::u16string n = name(t.type);
    switch (t.type) {
    case Type::Char:
    case Type::VarChar:
    case Type::NChar:
    case Type::NVarChar:
    case Type::Binary:
    case Type::VarBinary:
        return n + u"(" + (t.length < 0 ? std::u16string(u"max") : num(t.length)) + u")";
    case Type::Decimal:
    case Type::Numeric:
        return n + u"(" + num(t.precision) + u"," + num(t.scale) + u")";
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset:
        return n + u"(" + num(t.scale) + u")";
    default:
        return n;
    }
}

bool Types::isRowVersion(const TypeSpec& declared) {
    return text::isKeyword(declared.name, "timestamp") || text::isKeyword(declared.name, "rowversion");
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

std::optional<Message> Types::resolve(const TypeSpec& declared, int columnNumber,
                                      const std::u16string& columnName, ColumnType& out) {
    const TypeEntry* entry = nullptr;
    for (const auto& e : kTypes) {
        if (text::isKeyword(declared.name, e.name)) {
            entry = &e;
            break;
        }
    }
    const std::u16string which = u"Column, parameter, or variable #" + num(columnNumber) + u": ";
    if (entry == nullptr) {
        return message(2715, 16, 6, which + u"Cannot find data type " + declared.name + u".");
    }
    out = ColumnType{};
    out.type = entry->type;
    // Arguments: numbers, or "max" where allowed.
    std::array<std::int64_t, 2> arg{0, 0};
    bool isMax = false;
    for (std::size_t i = 0; i < declared.args.size() && i < 2; ++i) {
        if (declared.args[i] == u"max") {
            isMax = true;
            continue;
        }
        std::string digits = text::toUtf8(declared.args[i]);
        std::int64_t v = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v);
        arg[i] = r.ec == std::errc() ? v : 2147483647;
    }
    const std::size_t argc = declared.args.size();
    const std::u16string lower = text::folded(declared.name);
    auto noWidth = [&]() -> std::optional<Message> {
        if (declared.hasParens) {
            return message(2716, 16, 1,
                           which + u"Cannot specify a column width on data type " + lower + u".");
        }
        return std::nullopt;
    };
    auto badLength = [&](std::int64_t v) {
        return message(1001, 15, 1,
                       u"Line 1: Length or precision specification " + num(v) + u" is invalid.");
    };
    switch (entry->type) {
    case Type::Bit:
    case Type::TinyInt:
    case Type::SmallInt:
    case Type::Int:
    case Type::BigInt:
    case Type::Money:
    case Type::SmallMoney:
    case Type::Real:
    case Type::Text:
    case Type::NText:
    case Type::Image:
    case Type::Xml:
    case Type::Date:
    case Type::DateTime:
    case Type::SmallDateTime:
    case Type::UniqueIdentifier:
        if (auto m = noWidth()) {
            return m;
        }
        if (entry->type == Type::Real) {
            out.precision = 24;
        }
        if (entry->type == Type::Money || entry->type == Type::SmallMoney) {
            out.precision = entry->type == Type::Money ? 19 : 10;
            out.scale = 4;
        }
        if (entry->type == Type::Text || entry->type == Type::Image) {
            out.length = 2147483647;
        } else if (entry->type == Type::NText) {
            out.length = 1073741823;
        } else if (entry->type == Type::Xml) {
            out.length = -1;
        }
        return std::nullopt;
    case Type::Decimal:
    case Type::Numeric: {
        if (isMax || argc > 2) {
            return message(102, 15, 1, u"Incorrect syntax near 'max'.");
        }
        std::int64_t p = argc >= 1 ? arg[0] : 18;
        std::int64_t s = argc >= 2 ? arg[1] : 0;
        if (p < 1) {
            return message(1002, 15, 1,
                           u"Line 1: Specified column precision " + num(p) + u" is invalid.");
        }
        if (p > 38) {
            return message(2750, 16, 1,
                           u"Column or parameter #" + num(columnNumber) +
                               u": Specified column precision " + num(p) +
                               u" is greater than the maximum precision of 38.");
        }
        if (s > p) {
            return message(2751, 16, 1,
                           u"Column or parameter #" + num(columnNumber) +
                               u": Specified column scale " + num(s) +
                               u" is greater than the specified precision of " + num(p) + u".");
        }
        out.precision = static_cast<std::uint8_t>(p);
        out.scale = static_cast<std::uint8_t>(s);
        return std::nullopt;
    }
    case Type::Float: {
        if (isMax || argc > 1) {
            return message(102, 15, 1, u"Incorrect syntax near ','.");
        }
        std::int64_t p = argc == 1 ? arg[0] : 53;
        if (p < 1) {
            return message(2749, 16, 1,
                           u"Column or parameter #" + num(columnNumber) +
                               u": Specified column precision " + num(p) +
                               u" is invalid. The precision must be between 1 and 53.");
        }
        if (p > 53) {
            return message(2750, 16, 1,
                           u"Column or parameter #" + num(columnNumber) +
                               u": Specified column precision " + num(p) +
                               u" is greater than the maximum precision of 53.");
        }
        if (p <= 24) {
            out.type = Type::Real; // float(1..24) is real
            out.precision = 24;
        } else {
            out.precision = 53;
        }
        return std::nullopt;
    }
    case Type::Char:
    case Type::VarChar:
    case Type::NChar:
    case Type::NVarChar:
    case Type::Binary:
    case Type::VarBinary: {
        const bool national = entry->type == Type::NChar || entry->type == Type::NVarChar;
        if (text::isKeyword(declared.name, "sysname")) {
            if (auto m = noWidth()) {
                return m;
            }
            out.length = 128;
            return std::nullopt;
        }
        if (text::isKeyword(declared.name, "rowversion") || text::isKeyword(declared.name, "timestamp")) {
            // A server-generated row version; stored here as binary(8).
            if (auto m = noWidth()) {
                return m;
            }
            out.length = 8;
            return std::nullopt;
        }
        if (argc > 1) {
            return message(102, 15, 1, u"Incorrect syntax near ','.");
        }
        if (isMax) {
            if (entry->type == Type::Char || entry->type == Type::NChar ||
                entry->type == Type::Binary) {
                return message(102, 15, 1, u"Incorrect syntax near 'max'.");
            }
            out.length = -1;
            return std::nullopt;
        }
        std::int64_t n = argc == 1 ? arg[0] : 1;
        if (n < 1) {
            return badLength(n);
        }
        const std::int64_t limit = national ? 4000 : 8000;
        if (n > limit) {
            if (national) {
                return message(2717, 16, 2,
                               u"The size (" + num(n) + u") given to the parameter '" + columnName +
                                   u"' exceeds the maximum allowed (4000).");
            }
            return message(131, 15, 3,
                           u"The size (" + num(n) + u") given to the column '" + columnName +
                               u"' exceeds the maximum allowed for any data type (8000).");
        }
        out.length = static_cast<std::int32_t>(n);
        return std::nullopt;
    }
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset: {
        if (isMax || argc > 1) {
            return message(102, 15, 1, u"Incorrect syntax near ','.");
        }
        std::int64_t p = argc == 1 ? arg[0] : 7;
        if (p > 7 || p < 0) {
            return message(1002, 15, 1, u"Line 1: Specified scale " + num(p) + u" is invalid.");
        }
        out.scale = static_cast<std::uint8_t>(p);
        return std::nullopt;
    }
    }
    return std::nullopt;
}

} // namespace tds
