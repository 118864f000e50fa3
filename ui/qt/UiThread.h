#pragma once

#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/TableList.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

namespace fq::ui::qt {

// Runs f on the thread `context` lives on and returns its result; the calling thread waits for
// it. On that thread already, f simply runs.
template <typename F> std::invoke_result_t<F> onThreadOf(QObject& context, F f) {
    using Result = std::invoke_result_t<F>;
    if (QThread::currentThread() == context.thread())
        return f();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(&context, std::move(f), Qt::BlockingQueuedConnection);
    } else {
        std::optional<Result> result;
        QMetaObject::invokeMethod(
            &context, [&result, &f] { result.emplace(f()); }, Qt::BlockingQueuedConnection);
        return std::move(*result);
    }
}

// The seams a command sees, for a command that runs on a worker thread: every call is carried
// out on the thread of the window (`context`), where the widgets live, while the worker waits.

class UiThreadTableList final : public ui::TableList {
public:
    UiThreadTableList(ui::TableList& list, QObject& context) : list_(list), context_(context) {}

    int ListCount() const override;
    QString List(int index) const override;
    bool Selected(int index) const override;
    void SetSelected(int index, bool selected) override;
    int ListIndex() const override;
    void SetListIndex(int index) override;
    void Clear() override;
    void AddItem(const QString& entry) override;
    void RemoveItem(int index) override;

private:
    ui::TableList& list_;
    QObject& context_;
};

class UiThreadPointer final : public ui::Pointer {
public:
    UiThreadPointer(ui::Pointer& pointer, QObject& context)
        : pointer_(pointer), context_(context) {}

    int MousePointer() const override;
    void SetMousePointer(int value) override;

private:
    ui::Pointer& pointer_;
    QObject& context_;
};

class UiThreadDialogs final : public ui::Dialogs {
public:
    UiThreadDialogs(ui::Dialogs& dialogs, QObject& context)
        : dialogs_(dialogs), context_(context) {}

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
    QObject& context_;
    std::atomic<bool> quiet_{false};
    std::function<void(bool)> aroundBox_;
};

} // namespace fq::ui::qt
