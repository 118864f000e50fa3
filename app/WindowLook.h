#pragma once

#include <QFont>
#include <QIcon>

class QWidget;

namespace fq::app {

// Arial 9 point, regular or bold: the type of both windows.
QFont arial9(bool bold);
// Arial 8 point bold: the captions of the pop-up buttons, the size at which the longest caption
// fits beside its picture within its button.
QFont buttonFont();

// The program's icon: on every pop-up button and as the window icon.
QIcon fernquillIcon();

// A white background for a window or control.
void paintWhite(QWidget& widget);

} // namespace fq::app
