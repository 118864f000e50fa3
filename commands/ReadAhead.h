#pragma once

#include "odbc/Value.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace fq::odbc {
class Connection;
}

namespace fq::commands {

class SourceRows;

// A row read, and what the reading thread made of it for the writer.
struct ReadRow {
    std::vector<odbc::Value> values; // the table's fields (a page's key may follow them)
    QList<int> nulled;               // fields the statement sends as NULL
    // Fields whose long values go to the server in pieces beside the statement, which holds a
    // parameter marker for each, in this order. Such a row is a statement of its own.
    QList<int> pieces;
    // The prepare step's refusal of the row, and the field it refused (-1: the row as a whole).
    std::exception_ptr refused;
    int refusedField = -1;
};

// Makes a row's statement on the reading thread, from its first `fields` values: the statement of
// that row alone, left in `statement` (with the fields it lists in the row's `pieces` as
// parameter markers); a statement of several rows is the first one's with the
// others' values appended after a separator (see sql::InsertText). What it throws is the row's
// refusal. It may keep its own state: it runs on that one thread only.
using PrepareRow = std::function<void(ReadRow& row, int fields, QString& statement)>;

// How the rows are put together into statements. The program keeps the defaults; tests make
// them small.
struct InsertBatching {
    // A statement holds at most this many rows (SQL Server takes at most 1,000 row constructors
    // in one INSERT) and this many characters, unless one row alone is longer.
    int rows = 1000;
    qsizetype characters = 1024 * 1024;
};
InsertBatching insertBatching();
void setInsertBatching(const InsertBatching& batching);

// How a statement's rows stand in its text, as the prepare step writes them: the head before the
// first row's values, and what joins two rows' values.
struct StatementShape {
    qsizetype headSize = 0;
    QString rowSeparator;
    // No statement may be longer than this, in characters (a MySQL server's packet limit), unless
    // it is of one row: that one the prepare step checks.
    qsizetype longest = -1;
};

// One statement of rows read and made on the reading thread: its rows in the source's order and
// its text. After them, the row the prepare step refused, or the reading's failure.
struct ReadStatement {
    std::vector<ReadRow> rows; // the first `count` are the statement's; the storage is kept
    std::size_t count = 0;
    QString text;
    std::vector<qsizetype> rowStarts; // where each row's values begin in the text
    qsizetype bytes = 0;
    int fields = 0;
    bool last = false;
    ReadRow* refused = nullptr; // a row after the statement's, carrying its refusal
    std::exception_ptr error;   // after the rows
    ReadRow refusedRow;

    // The statement of the row at `index` alone.
    QString statementOf(std::size_t index, const StatementShape& shape) const;
};

// A source's rows read on a thread of their own, a little ahead of the statement being written,
// put together into statements of many rows each, so that reading the source (its driver's work,
// and waiting for its server) and making the statements overlap writing to the target. The
// statements come out in the source's order; a failure of the reading comes out where it
// happened, after every row read before it, and a row the prepare step refused comes out after
// the rows before it.
// The reading thread's driver calls count as those of the thread that made the ReadAhead, so they
// are shown and cancelled as its own. A ReadAhead that goes before the reading has ended waits
// for the reading only while its server answers: whatever the reading still does on the source's
// connection (a fetch, or freeing a result whose rows are still coming, which makes FreeTDS wait
// for the server to acknowledge a cancel) cuts the connection once it has waited a moment.
//
// The reading stays at most a few statements or 4 MB ahead of the statement being written, and
// only one statement ahead of it when statements are larger than that; while a statement of 32 MB
// or more is written, nothing more is read. The room of large values
// is given back with their rows.
class ReadAhead {
public:
    // `open` runs on the reading thread and gives the rows to read from `source`; it may throw,
    // as may the reading, until the rows have been closed after the last.
    ReadAhead(odbc::Connection& source, std::function<std::unique_ptr<SourceRows>()> open,
              PrepareRow prepare, StatementShape shape);
    // Stops the reading after the row being read, and waits for the thread, cutting the source's
    // connection when the reading waits for its server on the way.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next statement, or nullptr after the last one. Throws what the reading threw, once the
    // rows read before it have been handed out. A statement stays as it is until the next call.
    const ReadStatement* next();
    const StatementShape& shape() const noexcept { return shape_; }

private:
    void read(const std::function<std::unique_ptr<SourceRows>()>& open, const PrepareRow& prepare,
              std::thread::id countAs);
    // The reader's next empty statement, once the writer is far enough behind; nullptr on stop.
    std::unique_ptr<ReadStatement> emptyStatement();
    void hand(std::unique_ptr<ReadStatement> statement);

    const StatementShape shape_;
    const InsertBatching batching_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<ReadStatement>> full_;
    std::vector<std::unique_ptr<ReadStatement>> empty_;
    qsizetype fullBytes_ = 0;
    qsizetype writingBytes_ = 0;    // of the statement the writer has (current_)
    std::atomic<bool> stop_{false}; // set under mutex_, read by the reader between rows too
    bool readerDone_ = false;       // under mutex_: the reading thread has nothing more to do
    odbc::Connection& source_;
    std::unique_ptr<ReadStatement> current_; // the writer's
    std::thread thread_;
};

} // namespace fq::commands
