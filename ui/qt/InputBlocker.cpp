#include "ui/qt/InputBlocker.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

namespace fq::ui::qt {

namespace {

bool isInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::InputMethod:
        return true;
    default:
        return false;
    }
}

} // namespace

InputBlocker::InputBlocker(QList<QWidget*> windows) {
    for (QWidget* w : windows)
        windows_.append(w);
    QCoreApplication::instance()->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    QCoreApplication::instance()->removeEventFilter(this);
}

void InputBlocker::drainPendingInput() {
    // Twice: what the window system delivers first may post more.
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

bool InputBlocker::blocks(QObject* target) const {
    // Input reaches a control as an event of its own after passing the platform window, so
    // looking at widgets is enough.
    auto* widget = qobject_cast<QWidget*>(target);
    if (widget == nullptr)
        return false;
    QWidget* window = widget->window();
    return std::any_of(windows_.cbegin(), windows_.cend(),
                       [window](const QPointer<QWidget>& w) { return w == window; });
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
    return isInput(event->type()) && blocks(watched);
}

} // namespace fq::ui::qt
