#include "commands/ReadAhead.h"

#include "commands/SourceRows.h"

#include "odbc/Connection.h"
#include "odbc/Waiting.h"

#include <pthread.h>

namespace fq::commands {

namespace {

// A block ends at this many rows or bytes. The reading stays this many blocks and bytes ahead
// of the block being written: enough to go on writing while a MySQL table's next page is read.
constexpr std::size_t kBlockRows = 256;
constexpr qsizetype kBlockBytes = 512 * 1024;
constexpr std::size_t kAheadBlocks = 16;
constexpr qsizetype kAheadBytes = 4 * 1024 * 1024;
// A stop waits this long for the source's server to answer what the reading still asks of it.
constexpr std::chrono::milliseconds kStopGrace{250};

qsizetype bytesOf(const ReadRow& row) {
    qsizetype bytes = row.statement.size() * 2;
    for (const odbc::Value& v : row.values)
        bytes += v.heldBytes();
    return bytes;
}

} // namespace

ReadAhead::ReadAhead(odbc::Connection& source, std::function<std::unique_ptr<SourceRows>()> open,
                     PrepareRow prepare)
    : source_(source) {
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

std::unique_ptr<ReadAhead::Block> ReadAhead::emptyBlock() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return stop_ || full_.empty() || (full_.size() < kAheadBlocks && fullBytes_ < kAheadBytes);
    });
    if (stop_)
        return nullptr;
    std::unique_ptr<Block> block;
    if (empty_.empty()) {
        block = std::make_unique<Block>();
    } else {
        block = std::move(empty_.back());
        empty_.pop_back();
    }
    block->count = 0;
    block->bytes = 0;
    return block;
}

void ReadAhead::hand(std::unique_ptr<Block> block) {
    {
        const std::lock_guard lock(mutex_);
        fullBytes_ += block->bytes;
        full_.push_back(std::move(block));
    }
    changed_.notify_all();
}

void ReadAhead::read(const std::function<std::unique_ptr<SourceRows>()>& open,
                     const PrepareRow& prepare, std::thread::id countAs) {
    const odbc::CallsCountAs calls(countAs);
    std::unique_ptr<Block> block;
    try {
        const std::unique_ptr<SourceRows> rows = open();
        const int fields = rows->FieldCount();
        for (;;) {
            block = emptyBlock();
            if (!block)
                return;
            block->fields = fields;
            while (!rows->Eof() && block->count < kBlockRows && block->bytes < kBlockBytes) {
                if (stop_.load(std::memory_order_relaxed))
                    return;
                if (block->rows.size() <= block->count)
                    block->rows.emplace_back();
                ReadRow& row = block->rows[block->count];
                rows->TakeRow(row.values);
                ++block->count;
                row.refused = nullptr;
                row.refusedField = -1;
                try {
                    prepare(row, fields);
                } catch (...) {
                    // Nothing after a refused row is written: the reading ends with it.
                    row.refused = std::current_exception();
                    block->last = true;
                    hand(std::move(block));
                    return;
                }
                block->bytes += bytesOf(row);
                rows->MoveNext();
            }
            if (rows->Eof()) {
                rows->Close();
                block->last = true;
                hand(std::move(block));
                return;
            }
            hand(std::move(block));
        }
    } catch (...) {
        if (!block)
            block = std::make_unique<Block>();
        block->error = std::current_exception();
        hand(std::move(block));
    }
}

const ReadRow* ReadAhead::next() {
    while (!current_ || at_ >= current_->count) {
        if (current_) {
            if (current_->error)
                std::rethrow_exception(current_->error);
            if (current_->last)
                return nullptr;
        }
        std::unique_lock lock(mutex_);
        // A block of large values is let go rather than kept for its room.
        if (current_ && current_->bytes < kBlockBytes)
            empty_.push_back(std::move(current_));
        current_.reset();
        changed_.wait(lock, [this] { return !full_.empty(); });
        current_ = std::move(full_.front());
        full_.pop_front();
        fullBytes_ -= current_->bytes;
        at_ = 0;
        fields_ = current_->fields;
        lock.unlock();
        changed_.notify_all();
    }
    return &current_->rows[at_++];
}

} // namespace fq::commands
