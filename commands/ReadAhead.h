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
    QString statement;               // the row's statement, made by the prepare step
    QList<int> nulled;               // fields the statement sends as NULL
    // The prepare step's refusal of the row, and the field it refused (-1: the row as a whole).
    std::exception_ptr refused;
    int refusedField = -1;
};

// Makes a row's statement on the reading thread, from its first `fields` values; what it throws
// is the row's refusal. It may keep its own state: it runs on that one thread only.
using PrepareRow = std::function<void(ReadRow& row, int fields)>;

// A source's rows read on a thread of their own, a little ahead of the row being written, each
// with its statement made, so that reading the source (its driver's work, and waiting for its
// server) and making the statements overlap writing to the target. The rows come out in the
// source's order; a failure of the reading comes out where it happened, after every row read
// before it, and a row the prepare step refused comes out as the last one, carrying its refusal.
// The reading thread's driver calls count as those of the thread that made the ReadAhead, so they
// are shown and cancelled as its own. A ReadAhead that goes before the reading has ended waits
// for the reading only while its server answers: whatever the reading still does on the source's
// connection (a fetch, or freeing a result whose rows are still coming, which makes FreeTDS wait
// for the server to acknowledge a cancel) cuts the connection once it has waited a moment.
//
// Rows go over in blocks of up to 256 rows or 512 KB; the reading stays at most 16 blocks or
// 4 MB, and the block it fills, ahead of the block being written, and only one row ahead of it
// when the rows are larger than that. The room of large values is given back with their rows.
class ReadAhead {
public:
    // `open` runs on the reading thread and gives the rows to read from `source`; it may throw,
    // as may the reading, until the rows have been closed after the last.
    ReadAhead(odbc::Connection& source, std::function<std::unique_ptr<SourceRows>()> open,
              PrepareRow prepare);
    // Stops the reading after the row being read, and waits for the thread, cutting the source's
    // connection when the reading waits for its server on the way.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next row, or nullptr after the last one. Throws what the reading threw, once the rows
    // read before it have been handed out. A row stays as it is until the next call.
    const ReadRow* next();
    // The table's number of fields, once a row has come (a row may hold more values after them).
    int fieldCount() const noexcept { return fields_; }

private:
    struct Block {
        std::vector<ReadRow> rows; // kept, with their storage, block after block
        std::size_t count = 0;
        qsizetype bytes = 0;
        int fields = 0;
        bool last = false;
        std::exception_ptr error; // after the rows
    };

    void read(const std::function<std::unique_ptr<SourceRows>()>& open, const PrepareRow& prepare,
              std::thread::id countAs);
    // The reader's next empty block, once the writer is far enough behind; nullptr on stop.
    std::unique_ptr<Block> emptyBlock();
    void hand(std::unique_ptr<Block> block);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Block>> full_;
    std::vector<std::unique_ptr<Block>> empty_;
    qsizetype fullBytes_ = 0;
    std::atomic<bool> stop_{false}; // set under mutex_, read by the reader between rows too
    bool readerDone_ = false;       // under mutex_: the reading thread has nothing more to do
    odbc::Connection& source_;
    std::unique_ptr<Block> current_; // the writer's
    std::size_t at_ = 0;
    int fields_ = 0;
    std::thread thread_;
};

} // namespace fq::commands
