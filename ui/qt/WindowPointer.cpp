#include "ui/qt/WindowPointer.h"

#include <algorithm>

namespace fq::ui::qt {

WindowPointer::WindowPointer(QWidget& window) : window_(window) {}

int WindowPointer::MousePointer() const {
    return value_;
}

void WindowPointer::SetMousePointer(int value) {
    value_ = value;
    if (value == kPointerDefault)
        restoreControls();
    else
        applyOverWindow(cursorFor(value));
}

void WindowPointer::SetCustomCursor(const QCursor& cursor) {
    custom_ = cursor;
    if (value_ == kPointerCustom)
        applyOverWindow(*custom_);
}

QCursor WindowPointer::cursorFor(int value) const {
    switch (value) {
    case kPointerHourglass:
        return QCursor(Qt::WaitCursor);
    case kPointerCustom:
        return custom_.value_or(QCursor(Qt::ArrowCursor));
    default:
        return QCursor(Qt::ArrowCursor);
    }
}

void WindowPointer::applyOverWindow(const QCursor& cursor) {
    QList<QWidget*> widgets = window_.findChildren<QWidget*>();
    widgets.prepend(&window_);
    for (QWidget* w : widgets) {
        // Windows of their own (message boxes, input boxes) keep their own pointers.
        if (w->window() != &window_)
            continue;
        const bool known = std::any_of(saved_.cbegin(), saved_.cend(),
                                       [w](const Saved& s) { return s.widget == w; });
        if (!known)
            saved_.append(Saved{w, w->testAttribute(Qt::WA_SetCursor), w->cursor()});
        w->setCursor(cursor);
    }
}

void WindowPointer::restoreControls() {
    for (const Saved& s : saved_) {
        if (s.widget.isNull())
            continue;
        if (s.hadOwnCursor)
            s.widget->setCursor(s.cursor);
        else
            s.widget->unsetCursor();
    }
    saved_.clear();
}

} // namespace fq::ui::qt
