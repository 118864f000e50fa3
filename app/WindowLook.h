#pragma once

#include <QFont>
#include <QIcon>

class QWidget;

namespace fq::app {

// Arial 9 point, regular or bold: the type of both windows.
QFont arial9(bool bold);

// The program's icon: on every pop-up button and as the window icon.
QIcon fernquillIcon();

// A white background for a window or control.
void paintWhite(QWidget& widget);

} // namespace fq::app
