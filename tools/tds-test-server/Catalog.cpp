#include "Catalog.h"

#include <algorithm>

#include "Text.h"

namespace tds {

Table::Table(std::u16string schemaName, std::u16string tableName, std::int32_t objectId,
             std::vector<Column> columns, std::int32_t rowVersionColumn)
    : schema(std::move(schemaName)), name(std::move(tableName)), objectId_(objectId),
      columns_(std::move(columns)), rowVersionColumn_(rowVersionColumn) {}

void Table::append(Row&& row) {
    std::unique_lock lock(mutex_);
    rows_.push_back(std::move(row));
}

void Table::append(std::vector<Row>&& rows) {
    std::unique_lock lock(mutex_);
    for (auto& row : rows) {
        rows_.push_back(std::move(row));
    }
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
    : name_(std::move(name)), id_(id),
      schemas_{{u"dbo", 1}, {u"guest", 2}, {u"INFORMATION_SCHEMA", 3}, {u"sys", 4},
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
                                        std::vector<Column> columns,
                                        std::int32_t rowVersionColumn) {
    auto table = std::make_shared<Table>(schemaName, tableName, nextObjectId_, std::move(columns),
                                         rowVersionColumn);
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
