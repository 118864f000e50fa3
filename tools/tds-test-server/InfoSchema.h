#pragma once

// The catalog views a client reads: INFORMATION_SCHEMA.COLUMNS and TABLES, a few sys views,
// and the list of system objects that sp_tables and OBJECT_ID know.

#include <optional>
#include <string>
#include <vector>

#include "Catalog.h"
#include "SessionImpl.h"

namespace tds {

struct SystemObject {
    std::u16string schema;
    std::u16string name;
    std::u16string tableType; // as sp_tables reports it: "VIEW" or "SYSTEM TABLE"
    std::int32_t id;
};

class InfoSchema {
public:
    static const std::vector<SystemObject>& systemObjects();
    static const SystemObject* findSystemObject(std::u16string_view schema,
                                                std::u16string_view name);
    static const SystemObject* findSystemObject(std::int32_t id);
    // Builds the rows of a catalog view; false when the name is none of them.
    static bool view(const Database& db, std::u16string_view schema, std::u16string_view name,
                     Source& out);

    // The per-type values of INFORMATION_SCHEMA.COLUMNS (NULL as monostate).
    static Value characterMaximumLength(const ColumnType& t);
    static Value characterOctetLength(const ColumnType& t);
    static Value numericPrecision(const ColumnType& t);
    static Value numericPrecisionRadix(const ColumnType& t);
    static Value numericScale(const ColumnType& t);
    static Value datetimePrecision(const ColumnType& t);
};

} // namespace tds
