#include "app/CommandRunner.h"

#include "commands/RunCommand.h"
#include "odbc/Waiting.h"
#include "ui/qt/InputBlocker.h"
#include "ui/qt/ProgressWindow.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <optional>

namespace fq::app {

namespace {

constexpr std::chrono::milliseconds kTick{100};

} // namespace

CommandRunner::CommandRunner(ui::Dialogs& dialogs) : dialogs_(dialogs, uiThread_) {
    // A box asked for by the worker takes the place of the progress window while it is open.
    dialogs_.setAroundBox([this](bool showing) {
        boxShown_ = showing;
        if (showing && progressWindow_ != nullptr)
            progressWindow_->hide();
    });
}

CommandRunner::~CommandRunner() = default;

void CommandRunner::addWindow(QWidget& window) {
    windows_.append(&window);
}

QString CommandRunner::serverOfDriver(const QString& driver) {
    return driver.contains(QLatin1String("MySQL"), Qt::CaseInsensitive)
               ? QStringLiteral("MySQL")
               : QStringLiteral("SQL Server");
}

ui::qt::ProgressWindow* CommandRunner::progressWindow() const {
    return progressWindow_ != nullptr && progressWindow_->isVisible() ? progressWindow_.data()
                                                                      : nullptr;
}

void CommandRunner::run(QWidget& owner, Kind kind, const QString& command,
                        const std::function<void()>& work) {
    if (running_ || ending_)
        return;
    running_ = true;
    progress_.reset();
    boxShown_ = false;
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& w : std::as_const(windows_)) {
        if (w != nullptr)
            windows.append(w);
    }
    auto blocker = std::make_unique<ui::qt::InputBlocker>(windows);

    std::atomic<bool> done{false};
    std::thread worker([&] {
        commands::runCommand(command, dialogs_, work);
        done.store(true);
        uiThread_.wakeUp(); // the wait below
    });
    worker_ = worker.get_id();

    QElapsedTimer clock;
    clock.start();
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { tick(owner, kind, clock); });
    ticker.start(kTick);
    // The window goes on painting and handling its events; the blocker drops its input. The
    // worker's calls on the window's thread are carried out here.
    while (!done.load()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        uiThread_.runPending();
    }
    ticker.stop();
    worker.join();
    worker_ = {};

    if (progressWindow_ != nullptr)
        progressWindow_->hide();
    // Input that arrived during the command but has not been delivered yet is dropped now.
    ui::qt::InputBlocker::drainPendingInput();
    blocker.reset();
    running_ = false;
    if (ending_)
        QCoreApplication::quit();
}

void CommandRunner::tick(QWidget& owner, Kind kind, const QElapsedTimer& clock) {
    // Once cancelled, or once the program is ending, a call that waits for its server is cut off
    // rather than waited for.
    if (progress_.cancelled())
        odbc::cancelWaitingCalls(worker_, kWaitingAfter);
    if (kind != Kind::Copy || boxShown_ || ending_ ||
        clock.elapsed() < std::chrono::milliseconds(kProgressDelay).count())
        return;
    if (progressWindow_ != nullptr && progressWindow_->parentWidget() != &owner)
        delete progressWindow_.data();
    if (progressWindow_ == nullptr) {
        progressWindow_ = new ui::qt::ProgressWindow(
            progress_,
            [this]() -> std::optional<ui::qt::ProgressWindow::Waiting> {
                const auto wait = odbc::longestWait(worker_);
                if (!wait || wait->silent < kWaitingAfter)
                    return std::nullopt;
                return ui::qt::ProgressWindow::Waiting{
                    serverOfDriver(wait->driver),
                    static_cast<int>(
                        std::chrono::duration_cast<std::chrono::seconds>(wait->silent).count())};
            },
            &owner);
        progressWindow_->setFont(owner.font());
        connect(progressWindow_.data(), &ui::qt::ProgressWindow::cancelPressed, this,
                &CommandRunner::cancel);
    }
    progressWindow_->refresh();
    if (!progressWindow_->isVisible())
        progressWindow_->show();
}

void CommandRunner::cancel() {
    progress_.cancel();
    odbc::cancelWaitingCalls(worker_, kWaitingAfter);
    if (progressWindow_ != nullptr)
        progressWindow_->refresh();
}

void CommandRunner::endProgram() {
    if (!running_) {
        QCoreApplication::quit();
        return;
    }
    ending_ = true;
    dialogs_.setQuiet(true);
    progress_.cancel();
    odbc::cancelWaitingCalls(worker_, kWaitingAfter);
    if (progressWindow_ != nullptr)
        progressWindow_->hide();
}

} // namespace fq::app
