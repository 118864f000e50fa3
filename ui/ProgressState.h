#pragma once

#include "ui/Progress.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <mutex>

namespace fq::ui {

// The progress of the work running now, written by the worker and read by the window that shows
// it: safe to use from both threads at once.
class ProgressState final : public Progress {
public:
    using Clock = std::chrono::steady_clock;

    struct Snapshot {
        int number = 0; // 0 before the first table
        int count = 0;
        QString table;
        long long estimate = -1;
        long long done = 0;
        Clock::time_point tableStart{};
        bool cancelled = false;
    };

    void beginTable(int number, int count, const QString& name, long long estimate) override;
    bool update(long long done) override;
    bool cancelled() const override;

    // Asks the work to stop after the row being sent.
    void cancel();
    // Forgets everything, for the next piece of work.
    void reset();
    Snapshot snapshot() const;

private:
    mutable std::mutex mutex_;
    Snapshot table_;
    std::atomic<long long> done_{0};
    std::atomic<bool> cancelled_{false};
};

} // namespace fq::ui
