#pragma once

#include "odbc/Value.h"

#include <QString>

#include <memory>
#include <vector>

namespace fq::odbc {

class Statement;

// A result set, positioned on its first row after Execute. Forward-only: MoveNext walks it
// once. It keeps its connection's handle alive, but is meant to be read and dropped while the
// connection is open.
class Recordset {
public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // True past the last row (at once when there are no rows, or no result set at all).
    bool Eof() const noexcept;
    void MoveNext();

    // Number of fields; 0 when the statement returned no rows at all (DDL, INSERT).
    int FieldCount() const noexcept;
    // The value of a field in the current row, read whole (long values in chunks).
    // Each field may be read any number of times, in any order.
    const Value& Item(int index) const;
    // Hands the current row's values over to `row` without copying them; `row`'s values before
    // are kept, to be set in place by MoveNext. Item is not to be read again before MoveNext.
    void TakeRow(std::vector<Value>& row);

    // With a client cursor (Connection::CursorLocation == kUseClient) the number of rows,
    // known at Execute; -1 otherwise.
    long long RecordCount() const noexcept;

    void Close() noexcept;

private:
    friend class Connection;
    explicit Recordset(std::unique_ptr<Statement> stmt);
    std::unique_ptr<Statement> stmt_;
};

} // namespace fq::odbc
