#include "app/TerminalRunner.h"

#include "app/CommandRunner.h"
#include "app/TerminalConsole.h"
#include "commands/RunCommand.h"
#include "odbc/Waiting.h"

#include <QLocale>
#include <QStringList>

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>

namespace fq::app {

namespace {

// How the worker wakes the thread that waits for it, when it has ended.
constexpr int kWorkerEnded = SIGUSR1;
constexpr long kTickNanoseconds = 100'000'000;

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, s);
    return set;
}

// A signal of the set that is waiting to be taken, 0 when none is.
int takePending(const sigset_t& set) {
    timespec none{0, 0};
    const int signal = sigtimedwait(&set, nullptr, &none);
    return signal > 0 ? signal : 0;
}

QString number(long long n) {
    return QLocale().toString(n);
}

} // namespace

void TerminalRunner::takeStopSignals() {
    sigset_t set = stopSignals();
    sigaddset(&set, kWorkerEnded);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

TerminalRunner::TerminalRunner(TerminalConsole& console, bool quiet)
    : console_(console), quiet_(quiet) {}

int TerminalRunner::stopSignal() {
    const sigset_t set = stopSignals();
    while (const int signal = takePending(set)) {
        if (stopSignal_ == 0)
            stopSignal_ = signal;
    }
    return stopSignal_;
}

void TerminalRunner::run(Kind kind, const QString& command, ui::Dialogs& dialogs,
                         const std::function<void()>& work) {
    progress_.reset();
    if (stopSignal() != 0)
        progress_.cancel();
    const pthread_t waiting = pthread_self();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        commands::runCommand(command, dialogs, work);
        done.store(true);
        pthread_kill(waiting, kWorkerEnded);
    });
    const std::thread::id id = worker.get_id();
    const auto start = std::chrono::steady_clock::now();
    sigset_t woken = stopSignals();
    sigaddset(&woken, kWorkerEnded);
    while (!done.load()) {
        const timespec tick{0, kTickNanoseconds};
        const int signal = sigtimedwait(&woken, nullptr, &tick);
        if (signal > 0 && signal != kWorkerEnded)
            stop(signal, id);
        // Once stopped, a call that waits for its server is cut off rather than waited for.
        if (progress_.cancelled())
            odbc::cancelWaitingCalls(id, kWaitingAfter);
        if (kind == Kind::Copy && console_.showsProgress() && !done.load() &&
            std::chrono::steady_clock::now() - start >= kProgressDelay)
            console_.progress(progressLine(id));
    }
    worker.join();
    console_.clearProgress();
    sigset_t ended;
    sigemptyset(&ended);
    sigaddset(&ended, kWorkerEnded);
    takePending(ended); // the wake-up, when the loop saw the end before it
}

void TerminalRunner::stop(int signal, std::thread::id worker) {
    if (stopSignal_ == 0) {
        stopSignal_ = signal;
        progress_.cancel();
        if (!quiet_)
            console_.message(QStringLiteral("Stopping after the statement being sent\u2026"));
    } else if (!quiet_) {
        console_.message(QStringLiteral("Still stopping after the statement being sent: "
                                        "Fernquill does not end in the middle of one."));
    }
    odbc::cancelWaitingCalls(worker, kWaitingAfter);
}

// "2 of 5: orders, 1,200 of about 5,000 rows copied (24%), 800 rows a second", or what it
// waits for instead of the rate, as the progress window shows them.
QString TerminalRunner::progressLine(std::thread::id worker) const {
    const ui::ProgressState::Snapshot s = progress_.snapshot();
    const auto wait = odbc::longestWait(worker);
    const bool waiting = wait && wait->silent >= kWaitingAfter;
    QStringList parts;
    if (s.number > 0) {
        parts << QStringLiteral("%1 of %2: %3").arg(s.number).arg(s.count).arg(s.table);
        if (s.estimate > 0) {
            const long long of = std::max(s.estimate, s.done);
            parts << QStringLiteral("%1 of about %2 rows copied (%3%)")
                         .arg(number(s.done), number(of))
                         .arg(s.done * 100 / of);
        } else {
            parts << QStringLiteral("%1 rows copied").arg(number(s.done));
        }
        const double seconds =
            std::chrono::duration<double>(ui::ProgressState::Clock::now() - s.tableStart).count();
        if (!waiting && seconds >= 0.5)
            parts << QStringLiteral("%1 rows a second")
                         .arg(
                             number(static_cast<long long>(static_cast<double>(s.done) / seconds)));
    }
    if (waiting)
        parts << QStringLiteral("Waiting for %1\u2026 %2 s")
                     .arg(CommandRunner::serverOfDriver(wait->driver))
                     .arg(std::chrono::duration_cast<std::chrono::seconds>(wait->silent).count());
    else if (s.cancelled)
        parts << QStringLiteral("Stopping after the statement being sent\u2026");
    return parts.isEmpty() ? QStringLiteral("Copying\u2026") : parts.join(QStringLiteral(", "));
}

} // namespace fq::app
