#pragma once

#include "odbc/Value.h"

#include <memory>
#include <vector>

namespace fq::odbc {

class Statement;

// How the rows of a result reach the reader.
enum class Rows {
    Streamed, // fetched as the reader moves on: only the current row is held, rowCount() is -1
    Buffered, // every row read at execute: rowCount() is known
};

// The rows a statement returned, positioned on the first row. Forward-only: moveNext walks them
// once. It keeps its connection's handle alive, but is meant to be read and dropped while the
// connection is open. A statement that returned no rows gives a result that is not open, and is
// at its end.
class Result {
public:
    Result();
    ~Result();
    Result(Result&&) noexcept;
    Result& operator=(Result&&) noexcept;
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;

    // True while it holds rows to read: not closed, and the statement returned a result set.
    bool isOpen() const noexcept;
    // True past the last row (at once when there are no rows, or no result set at all).
    bool atEnd() const noexcept;
    // Moves to the next row. Reaching the end reads the statement's remaining results, so an
    // error the server reports for a later statement of the batch is thrown here.
    void moveNext();

    // Number of columns; 0 when the statement returned no rows at all (DDL, INSERT).
    int columnCount() const noexcept;
    // The value of a column in the current row, read whole (long values in chunks). Each value
    // may be read any number of times, in any order.
    const Value& value(int index) const;
    // Hands the current row's values over to `row` without copying them; `row`'s values before
    // are kept, to be set in place by moveNext. value is not to be read again before moveNext.
    void takeRow(std::vector<Value>& row);

    // With Rows::Buffered the number of rows, known at execute; -1 otherwise.
    long long rowCount() const noexcept;

    void close() noexcept;

private:
    friend class Connection;
    explicit Result(std::unique_ptr<Statement> stmt);
    std::unique_ptr<Statement> stmt_;
};

} // namespace fq::odbc
