#include "InfoSchema.h"

#include "Text.h"
#include "Types.h"

namespace tds {

namespace {

Column col(std::u16string name, Type type, std::int32_t length = 0, bool nullable = true) {
    Column c;
    c.name = std::move(name);
    c.type.type = type;
    c.type.length = length;
    if (type == Type::Int || type == Type::SmallInt || type == Type::TinyInt) {
        c.type.length = 0;
    }
    c.nullable = nullable;
    return c;
}

Column sysname(std::u16string name, bool nullable = true) {
    return col(std::move(name), Type::NVarChar, 128, nullable);
}

Value nvalue(const std::u16string& s) {
    return Value{s};
}
Value cvalue(std::string_view s) {
    return Value{std::string(s)};
}
Value ivalue(std::int64_t v) {
    return Value{v};
}

} // namespace

const std::vector<SystemObject>& InfoSchema::systemObjects() {
    static const std::vector<SystemObject> kObjects = [] {
        std::vector<SystemObject> v;
        std::int32_t id = -100;
        const char16_t* info[] = {u"CHECK_CONSTRAINTS",
                                  u"COLUMN_DOMAIN_USAGE",
                                  u"COLUMN_PRIVILEGES",
                                  u"COLUMNS",
                                  u"CONSTRAINT_COLUMN_USAGE",
                                  u"CONSTRAINT_TABLE_USAGE",
                                  u"DOMAIN_CONSTRAINTS",
                                  u"DOMAINS",
                                  u"KEY_COLUMN_USAGE",
                                  u"PARAMETERS",
                                  u"REFERENTIAL_CONSTRAINTS",
                                  u"ROUTINE_COLUMNS",
                                  u"ROUTINES",
                                  u"SCHEMATA",
                                  u"TABLE_CONSTRAINTS",
                                  u"TABLE_PRIVILEGES",
                                  u"TABLES",
                                  u"VIEW_COLUMN_USAGE",
                                  u"VIEW_TABLE_USAGE",
                                  u"VIEWS"};
        for (auto n : info) {
            v.push_back({u"INFORMATION_SCHEMA", n, u"VIEW", id--});
        }
        const char16_t* sys[] = {u"all_columns",
                                 u"all_objects",
                                 u"all_views",
                                 u"columns",
                                 u"databases",
                                 u"foreign_keys",
                                 u"identity_columns",
                                 u"index_columns",
                                 u"indexes",
                                 u"key_constraints",
                                 u"objects",
                                 u"partitions",
                                 u"schemas",
                                 u"sql_modules",
                                 u"system_columns",
                                 u"system_objects",
                                 u"system_views",
                                 u"tables",
                                 u"types",
                                 u"views"};
        for (auto n : sys) {
            v.push_back({u"sys", n, u"VIEW", id--});
        }
        v.push_back({u"sys", u"trace_xe_action_map", u"SYSTEM TABLE", id--});
        v.push_back({u"sys", u"trace_xe_event_map", u"SYSTEM TABLE", id--});
        return v;
    }();
    return kObjects;
}

const SystemObject* InfoSchema::findSystemObject(std::u16string_view schema,
                                                 std::u16string_view name) {
    for (const auto& o : systemObjects()) {
        if (text::equalsCi(o.schema, schema) && text::equalsCi(o.name, name)) {
            return &o;
        }
    }
    return nullptr;
}

const SystemObject* InfoSchema::findSystemObject(std::int32_t id) {
    for (const auto& o : systemObjects()) {
        if (o.id == id) {
            return &o;
        }
    }
    return nullptr;
}

Value InfoSchema::characterMaximumLength(const ColumnType& t) {
    switch (t.type) {
    case Type::Char:
    case Type::VarChar:
    case Type::NChar:
    case Type::NVarChar:
    case Type::Binary:
    case Type::VarBinary:
        return ivalue(t.length);
    case Type::Text:
    case Type::Image:
        return ivalue(2147483647);
    case Type::NText:
        return ivalue(1073741823);
    case Type::Xml:
        return ivalue(-1);
    default:
        return {};
    }
}

Value InfoSchema::characterOctetLength(const ColumnType& t) {
    switch (t.type) {
    case Type::Char:
    case Type::VarChar:
    case Type::Binary:
    case Type::VarBinary:
        return ivalue(t.length);
    case Type::NChar:
    case Type::NVarChar:
        return ivalue(t.length < 0 ? -1 : t.length * 2);
    case Type::Text:
    case Type::Image:
        return ivalue(2147483647);
    case Type::NText:
        return ivalue(2147483646);
    case Type::Xml:
        return ivalue(-1);
    default:
        return {};
    }
}

Value InfoSchema::numericPrecision(const ColumnType& t) {
    switch (t.type) {
    case Type::TinyInt:
        return ivalue(3);
    case Type::SmallInt:
        return ivalue(5);
    case Type::Int:
        return ivalue(10);
    case Type::BigInt:
        return ivalue(19);
    case Type::Real:
        return ivalue(24);
    case Type::Float:
        return ivalue(53);
    case Type::Money:
        return ivalue(19);
    case Type::SmallMoney:
        return ivalue(10);
    case Type::Decimal:
    case Type::Numeric:
        return ivalue(t.precision);
    default:
        return {};
    }
}

Value InfoSchema::numericPrecisionRadix(const ColumnType& t) {
    switch (t.type) {
    case Type::TinyInt:
    case Type::SmallInt:
    case Type::Int:
    case Type::BigInt:
    case Type::Money:
    case Type::SmallMoney:
    case Type::Decimal:
    case Type::Numeric:
        return ivalue(10);
    case Type::Real:
    case Type::Float:
        return ivalue(2);
    default:
        return {};
    }
}

Value InfoSchema::numericScale(const ColumnType& t) {
    switch (t.type) {
    case Type::TinyInt:
    case Type::SmallInt:
    case Type::Int:
    case Type::BigInt:
        return ivalue(0);
    case Type::Money:
    case Type::SmallMoney:
        return ivalue(4);
    case Type::Decimal:
    case Type::Numeric:
        return ivalue(t.scale);
    default:
        return {};
    }
}

Value InfoSchema::datetimePrecision(const ColumnType& t) {
    switch (t.type) {
    case Type::Date:
    case Type::SmallDateTime:
        return ivalue(0);
    case Type::DateTime:
        return ivalue(3);
    case Type::Time:
    case Type::DateTime2:
    case Type::DateTimeOffset:
        return ivalue(t.scale);
    default:
        return {};
    }
}

bool InfoSchema::view(const Database& db, std::u16string_view schema, std::u16string_view name,
                      Source& out) {
    auto rows = std::make_shared<std::vector<Row>>();
    out = Source{};
    if (text::equalsCi(schema, u"INFORMATION_SCHEMA") && text::equalsCi(name, u"COLUMNS")) {
        out.columns = {sysname(u"TABLE_CATALOG"),
                       sysname(u"TABLE_SCHEMA"),
                       sysname(u"TABLE_NAME", false),
                       sysname(u"COLUMN_NAME"),
                       col(u"ORDINAL_POSITION", Type::Int),
                       col(u"COLUMN_DEFAULT", Type::NVarChar, 4000),
                       col(u"IS_NULLABLE", Type::VarChar, 3),
                       sysname(u"DATA_TYPE"),
                       col(u"CHARACTER_MAXIMUM_LENGTH", Type::Int),
                       col(u"CHARACTER_OCTET_LENGTH", Type::Int),
                       col(u"NUMERIC_PRECISION", Type::TinyInt),
                       col(u"NUMERIC_PRECISION_RADIX", Type::SmallInt),
                       col(u"NUMERIC_SCALE", Type::Int),
                       col(u"DATETIME_PRECISION", Type::SmallInt),
                       sysname(u"CHARACTER_SET_CATALOG"),
                       sysname(u"CHARACTER_SET_SCHEMA"),
                       sysname(u"CHARACTER_SET_NAME"),
                       sysname(u"COLLATION_CATALOG"),
                       sysname(u"COLLATION_SCHEMA"),
                       sysname(u"COLLATION_NAME"),
                       sysname(u"DOMAIN_CATALOG"),
                       sysname(u"DOMAIN_SCHEMA"),
                       sysname(u"DOMAIN_NAME")};
        for (const auto& t : db.tables()) {
            std::int64_t ordinal = 0;
            for (const auto& c : t->columns()) {
                ++ordinal;
                const Type ty = c.type.type;
                const bool character = Types::isCharacter(ty);
                const bool national =
                    ty == Type::NChar || ty == Type::NVarChar || ty == Type::NText;
                const bool rowVersion = ordinal - 1 == t->rowVersionColumn();
                Row r;
                r.reserve(out.columns.size());
                r.push_back(nvalue(db.name()));
                r.push_back(nvalue(t->schema));
                r.push_back(nvalue(t->name));
                r.push_back(nvalue(c.name));
                r.push_back(ivalue(ordinal));
                const auto& defaultText =
                    t->options().defaultTexts[static_cast<std::size_t>(ordinal - 1)];
                r.push_back(defaultText.empty() ? Value{} : nvalue(defaultText));
                r.push_back(cvalue(c.nullable ? "YES" : "NO"));
                r.push_back(nvalue(rowVersion ? u"timestamp" : Types::name(ty)));
                r.push_back(rowVersion ? Value{} : characterMaximumLength(c.type));
                r.push_back(rowVersion ? Value{} : characterOctetLength(c.type));
                r.push_back(numericPrecision(c.type));
                r.push_back(numericPrecisionRadix(c.type));
                r.push_back(numericScale(c.type));
                r.push_back(datetimePrecision(c.type));
                r.emplace_back();
                r.emplace_back();
                if (character) {
                    r.push_back(nvalue(u"iso_1"));
                } else if (national) {
                    r.push_back(nvalue(u"UNICODE"));
                } else {
                    r.emplace_back();
                }
                r.emplace_back();
                r.emplace_back();
                if (character || national) {
                    r.push_back(nvalue(u"SQL_Latin1_General_CP1_CI_AS"));
                } else {
                    r.emplace_back();
                }
                r.emplace_back();
                r.emplace_back();
                r.emplace_back();
                rows->push_back(std::move(r));
            }
        }
    } else if (text::equalsCi(schema, u"INFORMATION_SCHEMA") && text::equalsCi(name, u"TABLES")) {
        out.columns = {sysname(u"TABLE_CATALOG"), sysname(u"TABLE_SCHEMA"),
                       sysname(u"TABLE_NAME", false), col(u"TABLE_TYPE", Type::VarChar, 10)};
        for (const auto& t : db.tables()) {
            rows->push_back(
                {nvalue(db.name()), nvalue(t->schema), nvalue(t->name), cvalue("BASE TABLE")});
        }
    } else if (text::equalsCi(schema, u"INFORMATION_SCHEMA") && text::equalsCi(name, u"SCHEMATA")) {
        out.columns = {sysname(u"CATALOG_NAME"), sysname(u"SCHEMA_NAME", false),
                       sysname(u"SCHEMA_OWNER")};
        for (const auto& s : db.schemas()) {
            rows->push_back({nvalue(db.name()), nvalue(s.name), nvalue(u"dbo")});
        }
    } else if (text::equalsCi(schema, u"sys") &&
               (text::equalsCi(name, u"tables") || text::equalsCi(name, u"objects"))) {
        out.columns = {sysname(u"name", false), col(u"object_id", Type::Int, 0, false),
                       col(u"schema_id", Type::Int, 0, false), col(u"type", Type::Char, 2),
                       col(u"type_desc", Type::NVarChar, 60)};
        for (const auto& t : db.tables()) {
            const SchemaInfo* s = db.schema(t->schema);
            rows->push_back({nvalue(t->name), ivalue(t->objectId()), ivalue(s ? s->id : 1),
                             cvalue("U "), nvalue(u"USER_TABLE")});
        }
    } else if (text::equalsCi(schema, u"sys") && text::equalsCi(name, u"partitions")) {
        // Every table is a heap of one partition (index_id 0) whose rows are counted exactly.
        out.columns = {col(u"partition_id", Type::BigInt, 0, false),
                       col(u"object_id", Type::Int, 0, false),
                       col(u"index_id", Type::Int, 0, false),
                       col(u"partition_number", Type::Int, 0, false), col(u"rows", Type::BigInt)};
        for (const auto& t : db.tables()) {
            rows->push_back({ivalue(static_cast<std::int64_t>(t->objectId()) << 16),
                             ivalue(t->objectId()), ivalue(0), ivalue(1),
                             ivalue(static_cast<std::int64_t>(t->rowCount()))});
        }
    } else if (text::equalsCi(schema, u"sys") && text::equalsCi(name, u"schemas")) {
        out.columns = {sysname(u"name", false), col(u"schema_id", Type::Int, 0, false),
                       col(u"principal_id", Type::Int)};
        for (const auto& s : db.schemas()) {
            rows->push_back({nvalue(s.name), ivalue(s.id), ivalue(1)});
        }
    } else if (text::equalsCi(schema, u"sys") && text::equalsCi(name, u"columns")) {
        out.columns = {col(u"object_id", Type::Int, 0, false),
                       sysname(u"name"),
                       col(u"column_id", Type::Int, 0, false),
                       col(u"max_length", Type::SmallInt, 0, false),
                       col(u"precision", Type::TinyInt, 0, false),
                       col(u"scale", Type::TinyInt, 0, false),
                       col(u"is_nullable", Type::Bit)};
        for (const auto& t : db.tables()) {
            std::int64_t id = 0;
            for (const auto& c : t->columns()) {
                ++id;
                Value octets = characterOctetLength(c.type);
                std::int64_t maxLength = 0;
                if (const auto* o = std::get_if<std::int64_t>(&octets)) {
                    maxLength = *o > 8000 ? 16 : *o;
                } else {
                    switch (c.type.type) {
                    case Type::Bit:
                    case Type::TinyInt:
                        maxLength = 1;
                        break;
                    case Type::SmallInt:
                        maxLength = 2;
                        break;
                    case Type::Int:
                    case Type::Real:
                    case Type::SmallMoney:
                    case Type::SmallDateTime:
                        maxLength = 4;
                        break;
                    case Type::Date:
                        maxLength = 3;
                        break;
                    case Type::UniqueIdentifier:
                        maxLength = 16;
                        break;
                    case Type::Decimal:
                    case Type::Numeric:
                        maxLength = c.type.precision <= 9    ? 5
                                    : c.type.precision <= 19 ? 9
                                    : c.type.precision <= 28 ? 13
                                                             : 17;
                        break;
                    case Type::Time:
                        maxLength = c.type.scale <= 2 ? 3 : c.type.scale <= 4 ? 4 : 5;
                        break;
                    case Type::DateTime2:
                        maxLength = c.type.scale <= 2 ? 6 : c.type.scale <= 4 ? 7 : 8;
                        break;
                    case Type::DateTimeOffset:
                        maxLength = c.type.scale <= 2 ? 8 : c.type.scale <= 4 ? 9 : 10;
                        break;
                    default:
                        maxLength = 8;
                        break;
                    }
                }
                Value prec = numericPrecision(c.type);
                Value scale = numericScale(c.type);
                Value dtp = datetimePrecision(c.type);
                rows->push_back(
                    {ivalue(t->objectId()), nvalue(c.name), ivalue(id), ivalue(maxLength),
                     ivalue(std::holds_alternative<std::int64_t>(prec)
                                ? std::get<std::int64_t>(prec)
                                : 0),
                     ivalue(
                         std::holds_alternative<std::int64_t>(scale) ? std::get<std::int64_t>(scale)
                         : std::holds_alternative<std::int64_t>(dtp) ? std::get<std::int64_t>(dtp)
                                                                     : 0),
                     ivalue(c.nullable ? 1 : 0)});
            }
        }
    } else {
        return false;
    }
    out.count = rows->size();
    out.rows = std::move(rows);
    return true;
}

} // namespace tds
