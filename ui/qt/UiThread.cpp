#include "ui/qt/UiThread.h"

#include <QAbstractEventDispatcher>

namespace fq::ui::qt {

UiThread::UiThread()
    : thread_(QThread::currentThread()), dispatcher_(QAbstractEventDispatcher::instance()) {}

void UiThread::hand(std::function<void()> run) {
    Task task{std::move(run), nullptr, false};
    {
        const std::lock_guard lock(mutex_);
        pending_.push_back(&task);
    }
    wakeUp();
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&task] { return task.done; });
    if (task.thrown)
        std::rethrow_exception(task.thrown);
}

void UiThread::runPending() {
    for (;;) {
        Task* task = nullptr;
        {
            const std::lock_guard lock(mutex_);
            if (pending_.empty())
                return;
            task = pending_.front();
            pending_.pop_front();
        }
        std::exception_ptr thrown;
        try {
            task->run();
        } catch (...) {
            thrown = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            task->thrown = thrown;
            task->done = true;
        }
        finished_.notify_all();
    }
}

void UiThread::wakeUp() {
    if (dispatcher_ != nullptr)
        dispatcher_->wakeUp();
}

int UiThreadTableList::ListCount() const {
    return ui_.call([this] { return list_.ListCount(); });
}

QString UiThreadTableList::List(int index) const {
    return ui_.call([this, index] { return list_.List(index); });
}

bool UiThreadTableList::Selected(int index) const {
    return ui_.call([this, index] { return list_.Selected(index); });
}

void UiThreadTableList::SetSelected(int index, bool selected) {
    ui_.call([this, index, selected] { list_.SetSelected(index, selected); });
}

int UiThreadTableList::ListIndex() const {
    return ui_.call([this] { return list_.ListIndex(); });
}

void UiThreadTableList::SetListIndex(int index) {
    ui_.call([this, index] { list_.SetListIndex(index); });
}

void UiThreadTableList::Clear() {
    ui_.call([this] { list_.Clear(); });
}

void UiThreadTableList::AddItem(const QString& entry) {
    ui_.call([this, &entry] { list_.AddItem(entry); });
}

void UiThreadTableList::RemoveItem(int index) {
    ui_.call([this, index] { list_.RemoveItem(index); });
}

QStringList UiThreadTableList::entries() const {
    return ui_.call([this] { return list_.entries(); });
}

QList<ListEntry> UiThreadTableList::selectedEntries() const {
    return ui_.call([this] { return list_.selectedEntries(); });
}

void UiThreadTableList::setAllSelected(bool selected) {
    ui_.call([this, selected] { list_.setAllSelected(selected); });
}

void UiThreadTableList::addItems(const QStringList& entries) {
    ui_.call([this, &entries] { list_.addItems(entries); });
}

void UiThreadTableList::removeItems(const QList<int>& positions) {
    ui_.call([this, &positions] { list_.removeItems(positions); });
}

int UiThreadPointer::MousePointer() const {
    return ui_.call([this] { return pointer_.MousePointer(); });
}

void UiThreadPointer::SetMousePointer(int value) {
    ui_.call([this, value] { pointer_.SetMousePointer(value); });
}

int UiThreadDialogs::MsgBox(const QString& prompt, int style, const QString& title,
                            const QString& detail) {
    return ui_.call([&] {
        if (quiet_.load())
            return style == kYesNo ? kAnswerNo : kAnswerOk;
        if (aroundBox_)
            aroundBox_(true);
        const int answer = dialogs_.MsgBox(prompt, style, title, detail);
        if (aroundBox_)
            aroundBox_(false);
        return answer;
    });
}

QString UiThreadDialogs::InputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    return ui_.call([&] {
        if (quiet_.load())
            return QString();
        if (aroundBox_)
            aroundBox_(true);
        QString answer = dialogs_.InputBox(prompt, title, defaultText);
        if (aroundBox_)
            aroundBox_(false);
        return answer;
    });
}

} // namespace fq::ui::qt
