#include "Catalog.h"

#include <algorithm>

#include "Text.h"

namespace tds {

Table::Table(std::u16string schemaName, std::u16string tableName, std::int32_t objectId,
             std::vector<Column> columns, TableOptions options)
    : schema(std::move(schemaName)), name(std::move(tableName)), objectId_(objectId),
      columns_(std::move(columns)), options_(std::move(options)),
      nextIdentity_(options_.identitySeed), keyValues_(options_.keys.size()) {}

std::string Table::keyOf(const Row& row, const KeyConstraint& key) const {
    // Equal keys give equal strings: text without regard to case or trailing spaces.
    std::string out;
    for (std::size_t c : key.columns) {
        const Value& v = row[c];
        if (std::holds_alternative<std::monostate>(v)) {
            out += "N";
        } else if (const auto* i = std::get_if<std::int64_t>(&v)) {
            out += "i" + std::to_string(*i);
        } else if (const auto* d = std::get_if<double>(&v)) {
            out += "f" + std::to_string(*d);
        } else if (const auto* dec = std::get_if<Decimal>(&v)) {
            out += "d" + std::to_string(static_cast<long long>(dec->unscaled)) + ":" +
                   std::to_string(static_cast<long long>(dec->unscaled >> 64));
        } else if (const auto* s = std::get_if<std::string>(&v)) {
            const Type t = columns_[c].type.type;
            if (t == Type::Binary || t == Type::VarBinary || t == Type::UniqueIdentifier) {
                out += "b" + *s;
            } else {
                std::u16string u = text::folded(text::fromCp1252(*s));
                while (!u.empty() && u.back() == u' ') {
                    u.pop_back();
                }
                out += "s" + text::toUtf8(u);
            }
        } else if (const auto* u = std::get_if<std::u16string>(&v)) {
            std::u16string f = text::folded(*u);
            while (!f.empty() && f.back() == u' ') {
                f.pop_back();
            }
            out += "s" + text::toUtf8(f);
        } else if (const auto* dt = std::get_if<DateTimeValue>(&v)) {
            out += "t" + std::to_string(dt->days) + ":" + std::to_string(dt->ticks);
        }
        out.push_back('\x1f');
    }
    return out;
}

std::optional<Table::Duplicate> Table::append(std::vector<Row>&& rows) {
    std::unique_lock lock(mutex_);
    std::int64_t identity = nextIdentity_;
    if (options_.identityColumn >= 0) {
        const auto c = static_cast<std::size_t>(options_.identityColumn);
        const bool exact =
            columns_[c].type.type == Type::Decimal || columns_[c].type.type == Type::Numeric;
        for (auto& row : rows) {
            row[c] = exact ? Value{Decimal{identity}} : Value{identity};
            identity += options_.identityIncrement;
        }
    }
    if (!options_.keys.empty()) {
        std::vector<std::unordered_set<std::string>> added(options_.keys.size());
        for (auto& row : rows) {
            for (std::size_t k = 0; k < options_.keys.size(); ++k) {
                std::string key = keyOf(row, options_.keys[k]);
                if (keyValues_[k].count(key) != 0 || !added[k].insert(std::move(key)).second) {
                    return Duplicate{row, k};
                }
            }
        }
        for (std::size_t k = 0; k < added.size(); ++k) {
            keyValues_[k].merge(added[k]);
        }
    }
    nextIdentity_ = identity;
    for (auto& row : rows) {
        rows_.push_back(std::move(row));
    }
    return std::nullopt;
}

std::size_t Table::rowCount() const {
    std::shared_lock lock(mutex_);
    return rows_.size();
}

void Table::copyRow(std::size_t i, Row& out) const {
    std::shared_lock lock(mutex_);
    out = rows_[i];
}

Database::Database(std::u16string name, std::int32_t id)
    : name_(std::move(name)), id_(id), schemas_{{u"dbo", 1},
                                                {u"guest", 2},
                                                {u"INFORMATION_SCHEMA", 3},
                                                {u"sys", 4},
                                                {u"sales", 5}},
      nextObjectId_(901578250) {}

std::string Database::nextRowVersion() {
    std::uint64_t v = ++rowVersion_;
    std::string bytes(8, '\0');
    for (std::size_t i = 0; i < 8; ++i) {
        bytes[7 - i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    return bytes;
}

const SchemaInfo* Database::schema(std::u16string_view schemaName) const {
    for (const auto& s : schemas_) {
        if (text::equalsCi(s.name, schemaName)) {
            return &s;
        }
    }
    return nullptr;
}

const SchemaInfo* Database::schema(std::int32_t schemaId) const {
    for (const auto& s : schemas_) {
        if (s.id == schemaId) {
            return &s;
        }
    }
    return nullptr;
}

std::u16string Database::key(std::u16string_view schemaName, std::u16string_view tableName) {
    std::u16string k = text::folded(schemaName);
    k.push_back(u'.');
    k += text::folded(tableName);
    return k;
}

std::shared_ptr<Table> Database::find(std::u16string_view schemaName,
                                      std::u16string_view tableName) const {
    auto it = index_.find(key(schemaName, tableName));
    return it == index_.end() ? nullptr : it->second;
}

std::shared_ptr<Table> Database::findById(std::int32_t objectId) const {
    for (const auto& t : tables_) {
        if (t->objectId() == objectId) {
            return t;
        }
    }
    return nullptr;
}

std::shared_ptr<Table> Database::create(const std::u16string& schemaName,
                                        const std::u16string& tableName,
                                        std::vector<Column> columns, TableOptions options) {
    auto table = std::make_shared<Table>(schemaName, tableName, nextObjectId_, std::move(columns),
                                         std::move(options));
    nextObjectId_ += 16000057; // object ids look scattered on a real server
    if (nextObjectId_ < 0 || nextObjectId_ > 2100000000) {
        nextObjectId_ = 101575400 + (nextObjectId_ & 0xFFFF);
    }
    tables_.push_back(table);
    index_.emplace(key(schemaName, tableName), table);
    return table;
}

void Database::drop(const std::shared_ptr<Table>& table) {
    index_.erase(key(table->schema, table->name));
    tables_.erase(std::remove(tables_.begin(), tables_.end(), table), tables_.end());
}

void Database::rename(const std::shared_ptr<Table>& table, const std::u16string& newName) {
    index_.erase(key(table->schema, table->name));
    table->name = newName;
    index_.emplace(key(table->schema, table->name), table);
}

} // namespace tds
