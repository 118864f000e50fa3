#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace fq::ui::qt {

// Window coordinates are kept in twips, 1440 to the inch; the screen's logical DPI turns them
// into pixels (15 twips to the pixel at 96 DPI).
inline constexpr double kTwipsPerInch = 1440.0;

// Logical DPI of the screen the widget is on (the primary screen when it has none yet).
double logicalDpi(const QWidget* widget = nullptr);

int twipsToPixels(double twips, double dpi);
double pixelsToTwips(int pixels, double dpi);

// A rectangle given as left, top, width, height in twips, in pixels.
QRect twipsRect(double left, double top, double width, double height, double dpi);

// Places and sizes a widget from twips at the widget's DPI.
void setTwipsGeometry(QWidget& widget, double left, double top, double width, double height);

} // namespace fq::ui::qt
