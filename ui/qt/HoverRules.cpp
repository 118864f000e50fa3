#include "ui/qt/HoverRules.h"

#include "ui/Pointer.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace fq::ui::qt {

HoverRules::HoverRules(ui::Pointer& pointer, QObject* parent)
    : QObject(parent), pointer_(pointer) {}

void HoverRules::add(QWidget& control, Rule rule, int value, bool innerParts) {
    const Entry entry{rule, value};
    watch(control, entry);
    if (!innerParts)
        return;
    for (QWidget* inner : control.findChildren<QWidget*>())
        watch(*inner, entry);
}

void HoverRules::watch(QWidget& widget, Entry entry) {
    rules_.insert(&widget, entry);
    widget.setMouseTracking(true);
    if (!widget.isWindow())
        widget.setAttribute(Qt::WA_NoMousePropagation);
    widget.installEventFilter(this);
}

bool HoverRules::eventFilter(QObject* watched, QEvent* event) {
    // Movements only: entering a frame from a control that stands on it is no movement over
    // the frame.
    if (event->type() != QEvent::MouseMove)
        return false;
    const auto found = rules_.constFind(watched);
    if (found == rules_.cend())
        return false;
    const Entry entry = *found;
    switch (entry.rule) {
    case Rule::Set:
        pointer_.SetMousePointer(entry.value);
        break;
    case Rule::SetUnlessHourglass:
        if (pointer_.MousePointer() != kPointerHourglass)
            pointer_.SetMousePointer(entry.value);
        break;
    case Rule::None:
        break;
    }
    // A plain movement stops here, so that it does not fall through to the frame or window
    // underneath and apply their rule too. Movements with a button held go on to the control
    // (dragging a selection over a list).
    return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
}

} // namespace fq::ui::qt
