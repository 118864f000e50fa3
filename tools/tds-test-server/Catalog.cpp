#include "Catalog.h"

#include <algorithm>
#include <mutex>

#include "Text.h"

namespace tds {

Table::Table(std::u16string schemaName, std::u16string tableName, std::int32_t objectId,
             std::vector<Column> columns, std::optional<ViewDefinition> view)
    : schema(std::move(schemaName)), name(std::move(tableName)), objectId_(objectId),
      columns_(std::move(columns)), view_(std::move(view)) {}

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

Database::Database(std::u16string name) : name_(std::move(name)), schemas_{u"dbo", u"sales"} {}

const std::u16string* Database::schema(std::u16string_view schemaName) const {
    for (const auto& s : schemas_) {
        if (text::equalsCi(s, schemaName)) {
            return &s;
        }
    }
    return nullptr;
}

std::u16string Database::key(std::u16string_view schemaName, std::u16string_view tableName) {
    return text::folded(schemaName) + u"." + text::folded(tableName);
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

void Database::create(const std::u16string& schemaName, const std::u16string& tableName,
                      std::vector<Column> columns, std::optional<ViewDefinition> view) {
    auto table = std::make_shared<Table>(schemaName, tableName, nextObjectId_, std::move(columns),
                                         std::move(view));
    // Object ids look scattered on a real server.
    nextObjectId_ = 101575400 + (nextObjectId_ - 101575400 + 16000057) % 2000000000;
    tables_.push_back(table);
    index_.emplace(key(schemaName, tableName), table);
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
