#pragma once

// The databases of one server run: schemas, tables and their rows, all in memory.
//
// Locking: a Database's mutex guards its table list and the names in it; a Table's mutex guards
// its rows. A table is held by shared_ptr, so a reader keeps it alive after a DROP. Rows are
// appended to a deque, which never moves the rows already stored.

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "Engine.h"

namespace tds {

using Row = std::vector<Value>;

class Table {
public:
    Table(std::u16string schema, std::u16string name, std::int32_t objectId,
          std::vector<Column> columns, std::int32_t rowVersionColumn);

    const std::vector<Column>& columns() const { return columns_; }
    std::int32_t objectId() const { return objectId_; }
    // The timestamp (rowversion) column, or -1.
    std::int32_t rowVersionColumn() const { return rowVersionColumn_; }
    // Guarded by the owning Database's mutex.
    std::u16string schema;
    std::u16string name;

    void append(Row&& row);
    void append(std::vector<Row>&& rows);
    std::size_t rowCount() const;
    // Copies row i (which must be below a row count read before) into out.
    void copyRow(std::size_t i, Row& out) const;

private:
    std::int32_t objectId_;
    std::vector<Column> columns_;
    std::int32_t rowVersionColumn_;
    mutable std::shared_mutex mutex_;
    std::deque<Row> rows_;
};

struct SchemaInfo {
    std::u16string name;
    std::int32_t id;
};

class Database {
public:
    Database(std::u16string name, std::int32_t id);

    const std::u16string& name() const { return name_; }
    std::int32_t id() const { return id_; }
    // The next timestamp (rowversion) value of this database, 8 bytes big-endian. Thread-safe.
    std::string nextRowVersion();

    std::shared_mutex& mutex() const { return mutex_; }

    // The following need mutex() held (shared for reading, unique for changes).
    const SchemaInfo* schema(std::u16string_view name) const;
    const SchemaInfo* schema(std::int32_t id) const;
    const std::vector<SchemaInfo>& schemas() const { return schemas_; }
    std::shared_ptr<Table> find(std::u16string_view schema, std::u16string_view name) const;
    std::shared_ptr<Table> findById(std::int32_t objectId) const;
    const std::vector<std::shared_ptr<Table>>& tables() const { return tables_; }
    std::shared_ptr<Table> create(const std::u16string& schema, const std::u16string& name,
                                  std::vector<Column> columns, std::int32_t rowVersionColumn);
    void drop(const std::shared_ptr<Table>& table);
    void rename(const std::shared_ptr<Table>& table, const std::u16string& newName);

private:
    static std::u16string key(std::u16string_view schema, std::u16string_view name);

    std::u16string name_;
    std::int32_t id_;
    mutable std::shared_mutex mutex_;
    std::vector<SchemaInfo> schemas_;
    std::vector<std::shared_ptr<Table>> tables_; // in creation order
    std::unordered_map<std::u16string, std::shared_ptr<Table>> index_;
    std::int32_t nextObjectId_;
    std::atomic<std::uint64_t> rowVersion_{2000};
};

} // namespace tds
