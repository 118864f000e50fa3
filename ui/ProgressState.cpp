#include "ui/ProgressState.h"

namespace fq::ui {

void ProgressState::beginTable(int number, int count, const QString& name, long long estimate) {
    const std::lock_guard lock(mutex_);
    table_.number = number;
    table_.count = count;
    table_.table = name;
    table_.estimate = estimate;
    table_.tableStart = Clock::now();
    done_.store(0);
}

bool ProgressState::update(long long done) {
    done_.store(done);
    return !cancelled_.load();
}

bool ProgressState::cancelled() const {
    return cancelled_.load();
}

void ProgressState::cancel() {
    cancelled_.store(true);
}

void ProgressState::reset() {
    const std::lock_guard lock(mutex_);
    table_ = Snapshot{};
    done_.store(0);
    cancelled_.store(false);
}

ProgressState::Snapshot ProgressState::snapshot() const {
    const std::lock_guard lock(mutex_);
    Snapshot s = table_;
    s.done = done_.load();
    s.cancelled = cancelled_.load();
    return s;
}

} // namespace fq::ui
