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
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Engine.h"

namespace tds {

using Row = std::vector<Value>;

// A PRIMARY KEY or UNIQUE constraint over column positions.
struct KeyConstraint {
    std::u16string name;
    bool primary = true;
    std::vector<std::size_t> columns;
};

// What a table declares beyond its columns. Fixed once the table exists.
struct TableOptions {
    std::int32_t rowVersionColumn = -1; // timestamp / rowversion column, or -1
    std::int32_t identityColumn = -1;
    std::int64_t identitySeed = 1;
    std::int64_t identityIncrement = 1;
    std::vector<std::optional<Value>> defaults; // per column, already in the column's type
    std::vector<std::u16string> defaultTexts;   // as the catalog shows them: ((0)), ('x')
    std::vector<KeyConstraint> keys;
};

class Table {
public:
    Table(std::u16string schema, std::u16string name, std::int32_t objectId,
          std::vector<Column> columns, TableOptions options);

    const std::vector<Column>& columns() const { return columns_; }
    const TableOptions& options() const { return options_; }
    std::int32_t objectId() const { return objectId_; }
    // The timestamp (rowversion) column, or -1.
    std::int32_t rowVersionColumn() const { return options_.rowVersionColumn; }
    // Guarded by the owning Database's mutex.
    std::u16string schema;
    std::u16string name;

    // Appends the rows of one statement, all or none: fills the identity column, then checks
    // the keys. On a duplicate key returns the offending row (with its identity value) and the
    // constraint's index, and stores nothing.
    struct Duplicate {
        Row row;
        std::size_t key;
    };
    std::optional<Duplicate> append(std::vector<Row>&& rows);
    std::size_t rowCount() const;
    // Copies row i (which must be below a row count read before) into out.
    void copyRow(std::size_t i, Row& out) const;

private:
    std::string keyOf(const Row& row, const KeyConstraint& key) const;

    std::int32_t objectId_;
    std::vector<Column> columns_;
    TableOptions options_;
    mutable std::shared_mutex mutex_;
    std::deque<Row> rows_;
    std::int64_t nextIdentity_;
    std::vector<std::unordered_set<std::string>> keyValues_; // per constraint
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
                                  std::vector<Column> columns, TableOptions options);
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
