#pragma once

#include "Engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tds::wire {

class TokenWriter;

// Writes a result set's COLMETADATA and its ROW tokens with SQL Server's TDS type for each
// column type; also RETURNVALUE tokens for output parameters.
class ResultWriter {
public:
    ResultWriter(TokenWriter& out, const std::vector<Column>& columns);

    void metadata();
    // Checks that every value has the kind its column's type stores; returns an explanation for
    // the first that doesn't (an engine fault), empty when the row can be sent.
    std::string checkRow(const std::vector<Value>& row) const;
    void row(const std::vector<Value>& row);

    static void returnValue(TokenWriter& out, std::uint16_t ordinal, const std::u16string& name,
                            const ColumnType& type, const Value& value);

    // The variant index a value of this column type has (see Value).
    static std::size_t valueIndex(Type type);

private:
    struct Wire {
        std::uint8_t tdsType = 0;
        std::uint8_t length = 0; // fixed width of the nullable fixed types; 0 otherwise
        bool plp = false;
        bool blob = false;
    };

    // The TDS type a column goes out as.
    static Wire wireFor(const ColumnType& type);
    static void typeInfo(TokenWriter& out, const ColumnType& type, const Wire& wire,
                         bool withTableName);
    static void value(TokenWriter& out, const ColumnType& type, const Wire& wire, const Value& v);

    TokenWriter& out_;
    const std::vector<Column>& columns_;
    std::vector<Wire> wires_;
};

} // namespace tds::wire
