#pragma once

// The catalog as clients read it: the views INFORMATION_SCHEMA.COLUMNS and sys.partitions, the
// rows of sp_columns,
// and the system views sp_tables lists beside the user tables.

#include <string>
#include <vector>

#include "Catalog.h"

namespace tds {

struct SystemView {
    std::u16string_view schema;
    std::u16string_view name;
    std::u16string_view tableType; // "VIEW" or "SYSTEM TABLE"
};

class InfoSchema {
public:
    // INFORMATION_SCHEMA.COLUMNS, for every column of every table. Needs db.mutex() held.
    static void columnsView(const Database& db, std::vector<Column>& columns,
                            std::vector<Row>& rows);

    // sys.partitions, one heap partition a table with its exact row count (Fernquill's estimate
    // of a table's rows). Needs db.mutex() held.
    static void partitionsView(const Database& db, std::vector<Column>& columns,
                               std::vector<Row>& rows);

    // sp_columns: its result columns, and the row of one column of a table (ordinal from 1).
    static std::vector<Column> spColumnsColumns();
    static Row spColumnsRow(const Database& db, const Table& table, std::int64_t ordinal,
                            bool odbc3);

    // The system objects a real server lists beside the user tables.
    static const std::vector<SystemView>& systemViews();
};

} // namespace tds
