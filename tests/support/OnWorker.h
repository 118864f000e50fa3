#pragma once

#include "ui/qt/UiThread.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <atomic>
#include <exception>
#include <functional>
#include <thread>

// Header only: whoever includes it links the lists' Qt side (fq_uiqt).
namespace fq::test {

// Runs `work` on a thread of its own, as a command runs, while this (the window's) thread carries
// out the calls it hands over, as the loop that waits for a command does. Rethrows what `work`
// threw.
inline void onWorker(ui::qt::UiThread& ui, const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::exception_ptr thrown;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            thrown = std::current_exception();
        }
        done.store(true);
        ui.wakeUp();
    });
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ui.runPending();
    }
    worker.join();
    if (thrown)
        std::rethrow_exception(thrown);
}

} // namespace fq::test
