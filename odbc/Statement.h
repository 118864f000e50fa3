#pragma once

#include "odbc/DbError.h"
#include "odbc/Value.h"

#include <QString>

#include <sql.h>

#include <memory>
#include <optional>
#include <vector>

namespace fq::odbc {

class ConnectionHandle;

// One ODBC statement handle and the cursor over its result. Either every row is read into
// memory at once (buffered: the number of rows known) or rows are fetched one at a
// time as the reader moves on (streaming: nothing but the current row is held).
class Statement {
public:
    explicit Statement(std::shared_ptr<ConnectionHandle> connection);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs the statement text and moves to its first result that has columns, skipping row
    // counts before it. Throws DbError for every error the driver reports on the way.
    // recordsAffected, when given, gets the statement's row count (-1 when unknown). The
    // statement's parameter markers, if any, take `numbers` in their order, or else the long
    // values `pieces` (texts and bytes), which go to the server a piece at a time while the
    // statement runs, so that the driver never holds one whole.
    void execute(const QString& sql, bool buffered, long long* recordsAffected = nullptr,
                 const std::vector<long long>& numbers = {},
                 const std::vector<const Value*>& pieces = {});
    // The catalog's tables of the given types ("TABLE,VIEW"), all rows read at once.
    void tables(const QString& types);

    // False when the statement produced no result set at all (DDL, INSERT).
    bool hasResult() const noexcept { return !reads_.empty(); }
    int columnCount() const noexcept { return static_cast<int>(reads_.size()); }

    // The reading of the result, as Result offers it.
    bool atEnd() const noexcept;
    // Moves to the next row. Reaching the end reads the statement's remaining results, so an
    // error the server reports for a later statement of the batch is thrown here.
    void moveNext();
    const Value& value(int index) const;
    // Hands the current row's values over to `row`, whose values before are kept, to be set in
    // place by the next fetch. The current row is not to be read again.
    void takeRow(std::vector<Value>& row);
    // The number of rows when buffered, -1 when streaming.
    long long rowCount() const noexcept;

private:
    enum class Read { Text, Binary, Double, Float };
    // A column fetched into the bound rows: its value's room in each row, and its length's.
    struct Binding {
        SQLSMALLINT cType = 0;
        SQLLEN width = 0;
        std::size_t valueAt = 0;
        std::size_t lengthAt = 0;
    };

    // Runs the statement with its long values put in pieces; the driver's return of the
    // execution.
    SQLRETURN runInPieces(const QString& sql, const std::vector<const Value*>& pieces);
    void putInPieces(const Value& value);
    void openResult(bool buffered);
    void describe(SQLSMALLINT columns);
    // A streaming result whose every column has a short, known width is fetched a block of rows
    // at a time into bound buffers, which saves a call into the driver for every value. False
    // (nothing bound) for any other result.
    bool bindColumns(const std::vector<SQLULEN>& sizes);
    void unbind() noexcept;
    // Fetches the next row into `row`, whose values are set in place.
    bool fetchRow(std::vector<Value>& row);
    bool fetchBoundRow(std::vector<Value>& row);
    void takeBound(std::size_t column, SQLULEN row, Value& value);
    void readRemainingResults();
    // Each reads the column of the current row into the value, in place.
    void readValue(SQLUSMALLINT column, Read how, Value& value);
    void readText(SQLUSMALLINT column, Value& value);
    void readUtf8Text(SQLUSMALLINT column, Value& value);
    void readBinary(SQLUSMALLINT column, Value& value);
    [[noreturn]] void fail(SQLRETURN rc, const char* function) const;

    std::shared_ptr<ConnectionHandle> connection_;
    SQLHSTMT stmt_ = nullptr;
    std::vector<Read> reads_;
    std::vector<bool> mayNotFit_; // values that may be longer than the first chunk
    bool buffered_ = false;
    bool counted_ = false; // the number of rows known (buffered)
    // Buffered: every row and the current position. Streaming: the current row only.
    std::vector<std::vector<Value>> rows_;
    std::size_t position_ = 0;
    std::vector<Value> current_;
    bool atEnd_ = true;
    // The bound columns and the block of rows last fetched into them; an error the driver
    // reported for a later row of the block is thrown once the rows before it are read.
    std::vector<Binding> bindings_;
    std::vector<char> boundRows_; // row by row, rowBytes_ each
    std::size_t rowBytes_ = 0;
    std::vector<SQLUSMALLINT> rowStatus_;
    SQLULEN rowsFetched_ = 0;
    SQLULEN nextRow_ = 0;
    std::optional<DbError> pendingError_;
    // Reused for every chunk of text and bytes.
    std::vector<SQLWCHAR> textBuffer_;
    std::vector<char> byteBuffer_;
};

} // namespace fq::odbc
