#include "app/WindowLook.h"

#include <QPalette>
#include <QWidget>

namespace fq::app {

QFont arial9(bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setBold(bold);
    return font;
}

QFont buttonFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    font.setBold(true);
    return font;
}

QIcon fernquillIcon() {
    static const QIcon icon = [] {
        QIcon i;
        i.addFile(QStringLiteral(":/icons/fernquill-32.png"), QSize(32, 32));
        i.addFile(QStringLiteral(":/icons/fernquill-256.png"), QSize(256, 256));
        return i;
    }();
    return icon;
}

void paintWhite(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::Button, Qt::white);
    palette.setColor(QPalette::Base, Qt::white);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

} // namespace fq::app
