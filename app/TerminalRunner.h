#pragma once

#include "ui/ProgressState.h"

#include <QString>

#include <chrono>
#include <functional>
#include <thread>

namespace fq::ui {
class Dialogs;
}

namespace fq::app {

class TerminalConsole;

// Runs a terminal run's commands, one at a time, on a worker thread, as CommandRunner does for
// the windows, while the thread that started it waits for the worker and for the stop signals.
// Ctrl+C (SIGINT), SIGTERM and SIGHUP act as Cancel: the command stops after the statement it is
// sending, and a call that has had no answer from its server for a second is cut off. The signal
// only asks; the process never ends in the middle of a statement, however often it comes. A
// copy that runs for more than a second shows its progress (when the console shows progress).
// Whatever a command throws ends in its one message (commands::runCommand).
class TerminalRunner {
public:
    enum class Kind {
        Plain, // listing, Test Connection, drop, rename
        Copy,  // shows its progress after kProgressDelay
    };

    static constexpr std::chrono::milliseconds kProgressDelay{1000};
    // A call that has had no answer for this long is shown as waiting, and a stop cuts it off.
    static constexpr std::chrono::milliseconds kWaitingAfter{1000};

    // Keeps the stop signals from ending the process: they wait, blocked in every thread, for
    // the runner to take them. Also lets a write to a closed output fail instead of ending the
    // process. Call before any other thread starts.
    static void takeStopSignals();

    explicit TerminalRunner(TerminalConsole& console, bool quiet);

    // Runs the work (through commands::runCommand, `command` naming it in a message of an
    // unexpected error) on a worker thread, and returns when it has ended.
    void run(Kind kind, const QString& command, ui::Dialogs& dialogs,
             const std::function<void()>& work);

    // The progress of the command that runs, which learns from it that it is to stop.
    ui::ProgressState& progress() { return progress_; }

    // The first stop signal that came, 0 while none has: one that came while no command ran
    // counts as well.
    int stopSignal();

private:
    void stop(int signal, std::thread::id worker);
    QString progressLine(std::thread::id worker) const;

    TerminalConsole& console_;
    const bool quiet_;
    ui::ProgressState progress_;
    int stopSignal_ = 0;
};

} // namespace fq::app
