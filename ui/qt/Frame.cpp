#include "ui/qt/Frame.h"

#include <QPainter>

namespace fq::ui::qt {

Frame::Frame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
    setFlat(true);
}

void Frame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int lineY = metrics.height() / 2;
    const QRect border = rect().adjusted(0, lineY, -1, -1);
    // Etched: a grey line with a white one beside it.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(border.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.adjusted(1, 1, 0, 0));

    const int captionLeft = 6;
    const QRect caption(captionLeft, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(caption, palette().color(backgroundRole()));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextSingleLine, title());
}

} // namespace fq::ui::qt
