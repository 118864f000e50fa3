#include "commands/ReadAhead.h"

#include "commands/SourceRows.h"

#include "odbc/Connection.h"
#include "odbc/Waiting.h"

#include <pthread.h>

#include <algorithm>

namespace fq::commands {

namespace {

// The reading stays this many statements and bytes ahead of the statement being written: enough
// to go on writing while a MySQL table's next page is read.
constexpr std::size_t kAheadStatements = 64;
constexpr qsizetype kAheadBytes = 4 * 1024 * 1024;
// While a statement this large is written, the next one is not read.
constexpr qsizetype kAloneBytes = 32 * 1024 * 1024;
// A statement this large is let go once written, not kept for its room.
constexpr qsizetype kKeptBytes = 4 * 1024 * 1024;
// A stop waits this long for the source's server to answer what the reading still asks of it.
constexpr std::chrono::milliseconds kStopGrace{250};

std::mutex batchingLock;
InsertBatching batching;

qsizetype bytesOf(const ReadRow& row) {
    qsizetype bytes = 0;
    for (const odbc::Value& v : row.values)
        bytes += v.heldBytes();
    return bytes;
}

} // namespace

InsertBatching insertBatching() {
    const std::lock_guard lock(batchingLock);
    return batching;
}

void setInsertBatching(const InsertBatching& b) {
    const std::lock_guard lock(batchingLock);
    batching = b;
}

QString ReadStatement::statementOf(std::size_t index, const StatementShape& shape) const {
    const qsizetype from = rowStarts.at(index);
    const qsizetype to =
        index + 1 < count ? rowStarts.at(index + 1) - shape.rowSeparator.size() : text.size();
    QString statement;
    statement.reserve(shape.headSize + to - from);
    statement.append(QStringView(text).left(shape.headSize));
    statement.append(QStringView(text).mid(from, to - from));
    return statement;
}

ReadAhead::ReadAhead(odbc::Connection& source, std::function<std::unique_ptr<SourceRows>()> open,
                     PrepareRow prepare, StatementShape shape)
    : shape_(std::move(shape)), batching_(insertBatching()), source_(source) {
    thread_ = std::thread([this, open = std::move(open), prepare = std::move(prepare),
                           countAs = std::this_thread::get_id()] {
        pthread_setname_np(pthread_self(), "fq-read-ahead");
        read(open, prepare, countAs);
        {
            const std::lock_guard lock(mutex_);
            readerDone_ = true;
        }
        changed_.notify_all();
    });
}

ReadAhead::~ReadAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    // The reading ends after the row being read, then frees its result. Whatever it still waits
    // for on the way (a fetch, or FreeTDS's wait for the server to acknowledge the cancel that
    // freeing a result being sent makes) is not waited for past a moment: a server that has gone
    // silent would hold the copy's message back until the bound. The connection is of no more
    // use to the copy. A server that answers is waited for, so that its connection ends cleanly.
    {
        std::unique_lock lock(mutex_);
        while (!changed_.wait_for(lock, kStopGrace / 5, [this] { return readerDone_; })) {
            lock.unlock();
            source_.cutIfWaiting(kStopGrace);
            lock.lock();
        }
    }
    thread_.join();
}

std::unique_ptr<ReadStatement> ReadAhead::emptyStatement() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        // While a very large statement is written nothing more is read: a large value is held
        // once, not twice.
        return stop_ ||
               (writingBytes_ < kAloneBytes &&
                (full_.empty() || (full_.size() < kAheadStatements && fullBytes_ < kAheadBytes)));
    });
    if (stop_)
        return nullptr;
    std::unique_ptr<ReadStatement> statement;
    if (empty_.empty()) {
        statement = std::make_unique<ReadStatement>();
    } else {
        statement = std::move(empty_.back());
        empty_.pop_back();
    }
    statement->count = 0;
    statement->rowStarts.clear();
    statement->text.resize(0);
    statement->bytes = 0;
    return statement;
}

void ReadAhead::hand(std::unique_ptr<ReadStatement> statement) {
    {
        const std::lock_guard lock(mutex_);
        fullBytes_ += statement->bytes;
        full_.push_back(std::move(statement));
    }
    changed_.notify_all();
}

void ReadAhead::read(const std::function<std::unique_ptr<SourceRows>()>& open,
                     const PrepareRow& prepare, std::thread::id countAs) {
    const odbc::CallsCountAs calls(countAs);
    const qsizetype separator = shape_.rowSeparator.size();
    const qsizetype longest =
        shape_.longest >= 0 ? std::min(batching_.characters, shape_.longest) : batching_.characters;
    const auto mostRows = static_cast<std::size_t>(std::max(1, batching_.rows));
    std::unique_ptr<ReadStatement> st;
    // One row's own statement, as the prepare step leaves it.
    QString row;
    // A row made for a statement it did not fit in: it begins the next one.
    ReadRow carried;
    bool carrying = false;
    const auto place = [&](ReadRow& made) {
        if (st->rows.size() <= st->count)
            st->rows.emplace_back();
        ReadRow& slot = st->rows[st->count];
        slot.values.swap(made.values);
        slot.nulled.swap(made.nulled);
        slot.pieces.swap(made.pieces);
        if (st->count == 0) {
            st->text.swap(row);
            st->rowStarts.push_back(shape_.headSize);
        } else {
            st->text += shape_.rowSeparator;
            st->rowStarts.push_back(st->text.size());
            st->text += QStringView(row).mid(shape_.headSize);
        }
        ++st->count;
        st->bytes += bytesOf(slot);
        // The room of a large row's statement is not kept for the next row.
        if (row.capacity() > kKeptBytes / 2)
            row = QString();
    };
    try {
        const std::unique_ptr<SourceRows> rows = open();
        const int fields = rows->columnCount();
        bool moveFirst = false; // the row last taken is made: the next one is to be read
        ReadRow taken;
        for (;;) {
            st = emptyStatement();
            if (!st)
                return;
            st->fields = fields;
            st->refused = nullptr;
            st->last = false;
            // The statement takes no row after one whose values go in pieces.
            bool closed = false;
            if (carrying) {
                closed = !carried.pieces.isEmpty();
                place(carried);
                carrying = false;
            }
            while (!closed) {
                if (moveFirst) {
                    moveFirst = false;
                    rows->moveNext();
                }
                if (rows->atEnd() || st->count >= mostRows)
                    break;
                if (stop_.load(std::memory_order_relaxed))
                    return;
                rows->takeRow(taken.values);
                taken.nulled.clear();
                taken.pieces.clear();
                taken.refused = nullptr;
                taken.refusedField = -1;
                try {
                    prepare(taken, fields, row);
                } catch (...) {
                    // Nothing after a refused row is written: the reading ends with it, after the
                    // rows before it.
                    st->refusedRow.values.swap(taken.values);
                    st->refusedRow.nulled.swap(taken.nulled);
                    st->refusedRow.refusedField = taken.refusedField;
                    st->refusedRow.refused = std::current_exception();
                    st->refused = &st->refusedRow;
                    st->last = true;
                    st->bytes += st->text.size() * 2;
                    hand(std::move(st));
                    return;
                }
                moveFirst = true;
                const qsizetype rowLength = row.size() - shape_.headSize;
                // A row with values in pieces goes alone.
                closed = !taken.pieces.isEmpty();
                if (st->count > 0 &&
                    (closed || st->text.size() + separator + rowLength > longest)) {
                    carried.values.swap(taken.values);
                    carried.nulled.swap(taken.nulled);
                    carried.pieces.swap(taken.pieces);
                    carrying = true;
                    break;
                }
                place(taken);
                // A statement already as long as a statement may be takes no more rows: it goes
                // before the next row is read.
                if (st->text.size() >= longest)
                    break;
            }
            st->bytes += st->text.size() * 2;
            if (!carrying && !moveFirst && rows->atEnd()) {
                rows->close();
                st->last = true;
                hand(std::move(st));
                return;
            }
            hand(std::move(st));
        }
    } catch (...) {
        if (!st)
            st = std::make_unique<ReadStatement>();
        st->error = std::current_exception();
        hand(std::move(st));
    }
}

const ReadStatement* ReadAhead::next() {
    std::unique_lock lock(mutex_);
    if (current_) {
        if (current_->last || current_->error || current_->refused)
            return nullptr;
        // A statement of large values is let go rather than kept for its room.
        if (current_->bytes < kKeptBytes)
            empty_.push_back(std::move(current_));
        current_.reset();
        writingBytes_ = 0;
        changed_.notify_all();
    }
    changed_.wait(lock, [this] { return !full_.empty(); });
    current_ = std::move(full_.front());
    full_.pop_front();
    fullBytes_ -= current_->bytes;
    writingBytes_ = current_->bytes;
    lock.unlock();
    changed_.notify_all();
    return current_.get();
}

} // namespace fq::commands
