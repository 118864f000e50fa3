#include "InfoSchema.h"

#include "Types.h"

namespace tds {

namespace {

Column column(std::u16string name, Type type, std::int32_t length = 0, bool nullable = true) {
    return Column{std::move(name), ColumnType{type, length, 0, 0}, nullable};
}

Column sysname(std::u16string name, bool nullable = true) {
    return column(std::move(name), Type::NVarChar, 128, nullable);
}

Value integer(std::int64_t v) {
    return Value{v};
}

// What the catalog reports about a column type; NULL where SQL Server reports NULL.
struct TypeFacts {
    Value characterMaximumLength;
    Value characterOctetLength;
    Value numericPrecision;
    Value numericPrecisionRadix;
    Value numericScale;
    Value datetimePrecision;
    std::int64_t odbcType = 4; // SQL_INTEGER
};

void numeric(TypeFacts& f, std::int64_t precision, std::int64_t radix, std::optional<int> scale) {
    f.numericPrecision = integer(precision);
    f.numericPrecisionRadix = integer(radix);
    if (scale) {
        f.numericScale = integer(*scale);
    }
}

void character(TypeFacts& f, std::int64_t length, std::int64_t octets) {
    f.characterMaximumLength = integer(length);
    f.characterOctetLength = integer(octets);
}

TypeFacts facts(const ColumnType& t) {
    TypeFacts f;
    const bool max = t.length < 0;
    switch (t.type) {
    case Type::Bit:
        f.odbcType = -7;
        break;
    case Type::TinyInt:
        numeric(f, 3, 10, 0);
        f.odbcType = -6;
        break;
    case Type::SmallInt:
        numeric(f, 5, 10, 0);
        f.odbcType = 5;
        break;
    case Type::Int:
        numeric(f, 10, 10, 0);
        break;
    case Type::BigInt:
        numeric(f, 19, 10, 0);
        f.odbcType = -5;
        break;
    case Type::Decimal:
    case Type::Numeric:
        numeric(f, t.precision, 10, t.scale);
        f.odbcType = t.type == Type::Numeric ? 2 : 3;
        break;
    case Type::Money:
    case Type::SmallMoney:
        numeric(f, t.type == Type::Money ? 19 : 10, 10, 4);
        f.odbcType = 3;
        break;
    case Type::Float:
    case Type::Real:
        numeric(f, t.type == Type::Float ? 53 : 24, 2, std::nullopt);
        f.odbcType = t.type == Type::Float ? 6 : 7;
        break;
    case Type::Char:
    case Type::VarChar:
    case Type::Binary:
    case Type::VarBinary: {
        character(f, t.length, t.length);
        static constexpr std::int64_t kOdbc[][2] = {{1, 1}, {12, -1}, {-2, -2}, {-3, -4}};
        const std::size_t row = t.type == Type::Char      ? 0
                                : t.type == Type::VarChar ? 1
                                : t.type == Type::Binary  ? 2
                                                          : 3;
        f.odbcType = kOdbc[row][max ? 1 : 0];
        break;
    }
    case Type::NChar:
    case Type::NVarChar:
        character(f, t.length, max ? -1 : std::int64_t{t.length} * 2);
        f.odbcType = t.type == Type::NChar ? -8 : max ? -10 : -9;
        break;
    case Type::Text:
    case Type::Image:
        character(f, 2147483647, 2147483647);
        f.odbcType = t.type == Type::Text ? -1 : -4;
        break;
    case Type::NText:
        character(f, 1073741823, 2147483646);
        f.odbcType = -10;
        break;
    case Type::Xml:
        character(f, -1, -1);
        f.odbcType = -10;
        break;
    case Type::Date:
    case Type::SmallDateTime:
    case Type::DateTime:
        f.datetimePrecision = integer(t.type == Type::DateTime ? 3 : 0);
        f.odbcType = t.type == Type::Date ? -9 : 93;
        break;
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset:
        f.datetimePrecision = integer(t.scale);
        f.odbcType = -9;
        break;
    case Type::UniqueIdentifier:
        f.odbcType = -11;
        break;
    }
    return f;
}

std::int64_t orNumber(const Value& v, std::int64_t otherwise) {
    const auto* n = std::get_if<std::int64_t>(&v);
    return n == nullptr ? otherwise : *n < 0 ? 2147483647 : *n;
}

// sp_columns' PRECISION: the digits, the characters, or the length of the value as text.
std::int64_t odbcPrecision(const ColumnType& t, const TypeFacts& f) {
    const int s = t.scale;
    switch (t.type) {
    case Type::Bit:
        return 1;
    case Type::Date:
        return 10;
    case Type::Time:
        return s == 0 ? 8 : 9 + s;
    case Type::DateTime:
        return 23;
    case Type::DateTime2:
        return s == 0 ? 19 : 20 + s;
    case Type::SmallDateTime:
        return 16;
    case Type::DateTimeOffset:
        return s == 0 ? 26 : 27 + s;
    case Type::UniqueIdentifier:
        return 36;
    default:
        return orNumber(f.numericPrecision, orNumber(f.characterMaximumLength, 0));
    }
}

// sp_columns' LENGTH: the bytes a value takes in a client's buffer.
std::int64_t odbcLength(const ColumnType& t, const TypeFacts& f) {
    switch (t.type) {
    case Type::Bit:
    case Type::TinyInt:
        return 1;
    case Type::SmallInt:
        return 2;
    case Type::Int:
    case Type::Real:
    case Type::SmallMoney:
        return 4;
    case Type::UniqueIdentifier:
    case Type::DateTime: // the size of SQL_TIMESTAMP_STRUCT
    case Type::SmallDateTime:
        return 16;
    case Type::Decimal:
    case Type::Numeric:
        return t.precision + 2;
    case Type::Date:
        return 20;
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset:
        return odbcPrecision(t, f) * 2;
    default:
        return orNumber(f.characterOctetLength, 8);
    }
}

} // namespace

void InfoSchema::columnsView(const Database& db, std::vector<Column>& columns,
                             std::vector<Row>& rows) {
    columns = {sysname(u"TABLE_CATALOG"),
               sysname(u"TABLE_SCHEMA"),
               sysname(u"TABLE_NAME", false),
               sysname(u"COLUMN_NAME"),
               column(u"ORDINAL_POSITION", Type::Int),
               column(u"IS_NULLABLE", Type::VarChar, 3),
               sysname(u"DATA_TYPE"),
               column(u"CHARACTER_MAXIMUM_LENGTH", Type::Int),
               column(u"CHARACTER_OCTET_LENGTH", Type::Int),
               column(u"NUMERIC_PRECISION", Type::TinyInt),
               column(u"NUMERIC_PRECISION_RADIX", Type::SmallInt),
               column(u"NUMERIC_SCALE", Type::Int),
               column(u"DATETIME_PRECISION", Type::SmallInt)};
    for (const auto& t : db.tables()) {
        std::int64_t ordinal = 0;
        for (const auto& c : t->columns()) {
            const TypeFacts f = facts(c.type);
            rows.push_back({Value{db.name()}, Value{t->schema}, Value{t->name}, Value{c.name},
                            integer(++ordinal), Value{std::string(c.nullable ? "YES" : "NO")},
                            Value{Types::name(c.type.type)}, f.characterMaximumLength,
                            f.characterOctetLength, f.numericPrecision, f.numericPrecisionRadix,
                            f.numericScale, f.datetimePrecision});
        }
    }
}

std::vector<Column> InfoSchema::spColumnsColumns() {
    return {sysname(u"TABLE_QUALIFIER"),
            sysname(u"TABLE_OWNER"),
            sysname(u"TABLE_NAME"),
            sysname(u"COLUMN_NAME"),
            column(u"DATA_TYPE", Type::SmallInt),
            sysname(u"TYPE_NAME"),
            column(u"PRECISION", Type::Int),
            column(u"LENGTH", Type::Int),
            column(u"SCALE", Type::SmallInt),
            column(u"RADIX", Type::SmallInt),
            column(u"NULLABLE", Type::SmallInt),
            column(u"REMARKS", Type::VarChar, 254),
            column(u"COLUMN_DEF", Type::NVarChar, 4000),
            column(u"SQL_DATA_TYPE", Type::SmallInt),
            column(u"SQL_DATETIME_SUB", Type::SmallInt),
            column(u"CHAR_OCTET_LENGTH", Type::Int),
            column(u"ORDINAL_POSITION", Type::Int),
            column(u"IS_NULLABLE", Type::VarChar, 254),
            column(u"SS_DATA_TYPE", Type::TinyInt)};
}

Row InfoSchema::spColumnsRow(const Database& db, const Table& table, std::int64_t ordinal,
                             bool odbc3) {
    const Column& c = table.columns()[static_cast<std::size_t>(ordinal - 1)];
    const ColumnType& t = c.type;
    const TypeFacts f = facts(t);
    // datetime and smalldatetime are SQL_TYPE_TIMESTAMP (93) for ODBC 3, SQL_TIMESTAMP before.
    const std::int64_t type = f.odbcType == 93 && !odbc3 ? 11 : f.odbcType;
    const bool old = t.type == Type::DateTime || t.type == Type::SmallDateTime;
    return {Value{db.name()},
            Value{table.schema},
            Value{table.name},
            Value{c.name},
            integer(type),
            Value{Types::name(t.type)},
            integer(odbcPrecision(t, f)),
            integer(odbcLength(t, f)),
            old ? f.datetimePrecision : f.numericScale,
            f.numericPrecisionRadix,
            integer(c.nullable ? 1 : 0),
            Value{},
            Value{},
            integer(type == 93 ? 9 : type),
            type == 93 ? integer(3) : Value{},
            f.characterOctetLength,
            integer(ordinal),
            Value{std::string(c.nullable ? "YES" : "NO")},
            integer(0)};
}

void InfoSchema::partitionsView(const Database& db, std::vector<Column>& columns,
                                std::vector<Row>& rows) {
    columns = {column(u"partition_id", Type::BigInt, 0, false),
               column(u"object_id", Type::Int, 0, false), column(u"index_id", Type::Int, 0, false),
               column(u"partition_number", Type::Int, 0, false), column(u"rows", Type::BigInt)};
    // Every table is a heap of one partition (index_id 0) whose rows are counted exactly; a view
    // keeps no rows and has none.
    for (const auto& t : db.tables()) {
        if (t->view()) {
            continue;
        }
        rows.push_back({integer(std::int64_t{t->objectId()} << 16), integer(t->objectId()),
                        integer(0), integer(1), integer(static_cast<std::int64_t>(t->rowCount()))});
    }
}

const std::vector<SystemView>& InfoSchema::systemViews() {
    static const std::vector<SystemView> kViews = {
        {u"INFORMATION_SCHEMA", u"COLUMNS", u"VIEW"},
        {u"INFORMATION_SCHEMA", u"TABLES", u"VIEW"},
        {u"INFORMATION_SCHEMA", u"VIEWS", u"VIEW"},
        {u"sys", u"columns", u"VIEW"},
        {u"sys", u"objects", u"VIEW"},
        {u"sys", u"partitions", u"VIEW"},
        {u"sys", u"tables", u"VIEW"},
        {u"sys", u"trace_xe_action_map", u"SYSTEM TABLE"},
    };
    return kViews;
}

} // namespace tds
