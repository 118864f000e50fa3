#include "ui/qt/UiThread.h"

namespace fq::ui::qt {

int UiThreadTableList::ListCount() const {
    return onThreadOf(context_, [this] { return list_.ListCount(); });
}

QString UiThreadTableList::List(int index) const {
    return onThreadOf(context_, [this, index] { return list_.List(index); });
}

bool UiThreadTableList::Selected(int index) const {
    return onThreadOf(context_, [this, index] { return list_.Selected(index); });
}

void UiThreadTableList::SetSelected(int index, bool selected) {
    onThreadOf(context_, [this, index, selected] { list_.SetSelected(index, selected); });
}

int UiThreadTableList::ListIndex() const {
    return onThreadOf(context_, [this] { return list_.ListIndex(); });
}

void UiThreadTableList::SetListIndex(int index) {
    onThreadOf(context_, [this, index] { list_.SetListIndex(index); });
}

void UiThreadTableList::Clear() {
    onThreadOf(context_, [this] { list_.Clear(); });
}

void UiThreadTableList::AddItem(const QString& entry) {
    onThreadOf(context_, [this, &entry] { list_.AddItem(entry); });
}

void UiThreadTableList::RemoveItem(int index) {
    onThreadOf(context_, [this, index] { list_.RemoveItem(index); });
}

int UiThreadPointer::MousePointer() const {
    return onThreadOf(context_, [this] { return pointer_.MousePointer(); });
}

void UiThreadPointer::SetMousePointer(int value) {
    onThreadOf(context_, [this, value] { pointer_.SetMousePointer(value); });
}

int UiThreadDialogs::MsgBox(const QString& prompt, int style, const QString& title,
                            const QString& detail) {
    if (quiet_.load())
        return style == kYesNo ? kAnswerNo : kAnswerOk;
    return onThreadOf(context_, [&] {
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
    if (quiet_.load())
        return {};
    return onThreadOf(context_, [&] {
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
