#pragma once

#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/TableList.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

class QAbstractEventDispatcher;

namespace fq::ui::qt {

// Calls a worker thread hands over to the window's thread (where the widgets live): the worker
// waits until the window's thread has carried each one out in runPending(), which the loop that
// waits for the worker calls whenever it wakes. The hand-over uses only a mutex, a condition
// variable and the event dispatcher's wake-up, no event carrying data across threads.
class UiThread {
public:
    // Made on the window's thread.
    UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    // Runs f on the window's thread and returns its result (or throws what it threw); the
    // calling thread waits for it. On the window's thread itself, f simply runs.
    template <typename F> std::invoke_result_t<F> call(F f) {
        using Result = std::invoke_result_t<F>;
        if (QThread::currentThread() == thread_)
            return f();
        if constexpr (std::is_void_v<Result>) {
            hand([&f] { f(); });
        } else {
            std::optional<Result> result;
            hand([&f, &result] { result.emplace(f()); });
            return std::move(*result);
        }
    }

    // On the window's thread: carries out every call handed over so far.
    void runPending();
    // From any thread: makes the window's thread's event loop return, as a hand-over does.
    void wakeUp();

private:
    struct Task {
        std::function<void()> run;
        std::exception_ptr thrown;
        bool done = false;
    };
    void hand(std::function<void()> run);

    QThread* thread_;
    QAbstractEventDispatcher* dispatcher_;
    std::mutex mutex_;
    std::condition_variable finished_;
    std::deque<Task*> pending_;
};

// The seams a command sees, for a command that runs on a worker thread: every call is carried
// out on the window's thread while the worker waits, a list's whole-list operations each in one
// hand-over.

class UiThreadTableList final : public ui::TableList {
public:
    UiThreadTableList(ui::TableList& list, UiThread& ui) : list_(list), ui_(ui) {}

    int ListCount() const override;
    QString List(int index) const override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    int ListIndex() const override;
    void SetListIndex(int index) override;
    void Clear() override;
    void AddItem(const QString& entry) override;
    void RemoveItem(int index) override;
    QStringList entries() const override;
    QList<ListEntry> selectedEntries() const override;
    void setAllSelected(bool selected) override;
    void addItems(const QStringList& entries) override;
    void removeItems(const QList<int>& positions) override;

private:
    ui::TableList& list_;
    UiThread& ui_;
};

class UiThreadPointer final : public ui::Pointer {
public:
    UiThreadPointer(ui::Pointer& pointer, UiThread& ui) : pointer_(pointer), ui_(ui) {}

    int MousePointer() const override;
    void SetMousePointer(int value) override;

private:
    ui::Pointer& pointer_;
    UiThread& ui_;
};

class UiThreadDialogs final : public ui::Dialogs {
public:
    UiThreadDialogs(ui::Dialogs& dialogs, UiThread& ui) : dialogs_(dialogs), ui_(ui) {}

    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& detail) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;

    // While quiet no box is shown, as when the program is ending: a question is answered No,
    // an input box is cancelled, a message is taken as read.
    void setQuiet(bool quiet) { quiet_.store(quiet); }
    // Called on the window's thread just before a box is shown (true) and after it has gone
    // (false).
    void setAroundBox(std::function<void(bool)> aroundBox) { aroundBox_ = std::move(aroundBox); }

private:
    ui::Dialogs& dialogs_;
    UiThread& ui_;
    std::atomic<bool> quiet_{false};
    std::function<void(bool)> aroundBox_;
};

} // namespace fq::ui::qt
