#pragma once

// The database of one server run: schemas, tables and their rows, and views, all in memory.
//
// Locking: the Database's mutex guards its table list and the names in it; a Table's mutex
// guards its rows. A table is held by shared_ptr, so a reader keeps it alive after a DROP. Rows
// are appended to a deque, which never moves the rows already stored.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "Ast.h"
#include "Engine.h"

namespace tds {

using Row = std::vector<Value>;

// What a view selects: the columns of one table, by name, each under its own name in the view.
// The table is named as the view wrote it and found again when the view is read, as SQL Server
// does.
struct ViewDefinition {
    ObjectName from;
    std::vector<std::u16string> sourceColumns;
};

// A table, or a view (which has a definition and keeps no rows).
class Table {
public:
    Table(std::u16string schema, std::u16string name, std::int32_t objectId,
          std::vector<Column> columns, std::optional<ViewDefinition> view = std::nullopt);

    const std::vector<Column>& columns() const { return columns_; }
    std::int32_t objectId() const { return objectId_; }
    const std::optional<ViewDefinition>& view() const { return view_; }
    // Guarded by the owning Database's mutex.
    std::u16string schema;
    std::u16string name;

    // Appends the rows of one statement at once.
    void append(std::vector<Row>&& rows);
    std::size_t rowCount() const;
    // Copies row i (which must be below a row count read before) into out.
    void copyRow(std::size_t i, Row& out) const;

private:
    std::int32_t objectId_;
    std::vector<Column> columns_;
    std::optional<ViewDefinition> view_;
    mutable std::shared_mutex mutex_;
    std::deque<Row> rows_;
};

class Database {
public:
    explicit Database(std::u16string name);

    const std::u16string& name() const { return name_; }
    std::shared_mutex& mutex() const { return mutex_; }

    // The following need mutex() held (shared for reading, unique for changes).
    // The schema's name as created ("dbo", "sales"), or nullptr.
    const std::u16string* schema(std::u16string_view name) const;
    std::shared_ptr<Table> find(std::u16string_view schema, std::u16string_view name) const;
    std::shared_ptr<Table> findById(std::int32_t objectId) const;
    const std::vector<std::shared_ptr<Table>>& tables() const { return tables_; }
    void create(const std::u16string& schema, const std::u16string& name,
                std::vector<Column> columns, std::optional<ViewDefinition> view = std::nullopt);
    void drop(const std::shared_ptr<Table>& table);
    void rename(const std::shared_ptr<Table>& table, const std::u16string& newName);

private:
    static std::u16string key(std::u16string_view schema, std::u16string_view name);

    std::u16string name_;
    mutable std::shared_mutex mutex_;
    std::vector<std::u16string> schemas_;
    std::vector<std::shared_ptr<Table>> tables_; // in creation order
    std::unordered_map<std::u16string, std::shared_ptr<Table>> index_;
    std::int32_t nextObjectId_ = 901578250;
};

} // namespace tds
