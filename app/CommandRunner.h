#pragma once

#include "ui/ProgressState.h"
#include "ui/qt/UiThread.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace fq::ui {
class Dialogs;
}
namespace fq::ui::qt {
class ProgressWindow;
}

namespace fq::app {

// Runs the windows' commands on a worker thread, one at a time, and waits for each on the
// window's thread in a loop that goes on handling the windows' events. While a command runs the
// windows keep painting but take no input: a click or key made meanwhile is dropped, so it can
// never run a command afterwards. The command's message and input boxes, list changes, pointer
// changes and reads of the settings boxes are handed over to the window's thread (uiThread())
// while the worker waits for them, so the commands keep their order of statements, questions
// and list updates. A copy that has run for about a second gets the progress window, with
// Cancel; it stands over the window without blocking it, so that a close box still ends the
// program. Whatever a command throws ends in its one message (commands::runCommand), on the
// worker, and the program goes on.
class CommandRunner final : public QObject {
    Q_OBJECT
public:
    enum class Kind {
        Plain, // probes, Test Connection, listing, drop, rename
        Copy,  // shows the progress window after kProgressDelay
    };

    static constexpr std::chrono::milliseconds kProgressDelay{1000};
    // A call that has had no answer for this long is shown as waiting, and Cancel cuts it off.
    static constexpr std::chrono::milliseconds kWaitingAfter{1000};

    explicit CommandRunner(ui::Dialogs& dialogs);
    ~CommandRunner() override;
    CommandRunner(const CommandRunner&) = delete;
    CommandRunner& operator=(const CommandRunner&) = delete;

    // A window that takes no input while a command runs.
    void addWindow(QWidget& window);

    // Runs the work on a worker thread and returns when it has ended; `owner` is the window the
    // progress window stands over; `command` names the command in the message should it stop on
    // an unexpected error. Does nothing while another command runs.
    void run(QWidget& owner, Kind kind, const QString& command, const std::function<void()>& work);

    // The program is ending: no box is shown any more, the command stops after the statement it
    // is waiting for, and the program ends once it has. Ends it at once when nothing runs.
    void endProgram();
    bool ending() const { return ending_; }

    // What the worker uses: the program's boxes, shown on the window's thread, the progress of
    // the running command, and the hand-over of its other calls to the window's thread.
    ui::Dialogs& dialogs() { return dialogs_; }
    ui::ProgressState& progress() { return progress_; }
    ui::qt::UiThread& uiThread() { return uiThread_; }

    // The progress window of the running copy, once it has appeared.
    ui::qt::ProgressWindow* progressWindow() const;

    // "MySQL" or "SQL Server" for a driver named in a connection string.
    static QString serverOfDriver(const QString& driver);

private:
    void tick(QWidget& owner, Kind kind, const QElapsedTimer& clock);
    void cancel();

    ui::qt::UiThread uiThread_;
    ui::qt::UiThreadDialogs dialogs_;
    ui::ProgressState progress_;
    QList<QPointer<QWidget>> windows_;
    // A child of the window it stands over, which deletes it.
    QPointer<ui::qt::ProgressWindow> progressWindow_;
    bool running_ = false;
    bool boxShown_ = false;
    bool ending_ = false;
    std::thread::id worker_;
};

} // namespace fq::app
