#include "ui/qt/PopupButton.h"

#include "ui/qt/Twips.h"

#include <QIcon>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace fq::ui::qt {

PopupButton::PopupButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setCheckable(true);
    setIconSize(QSize(kPictureSize, kPictureSize));
    connect(this, &QAbstractButton::toggled, this, &PopupButton::Click);
}

int PopupButton::Value() const {
    return isChecked() ? 1 : 0;
}

void PopupButton::SetValue(int value) {
    setChecked(value != 0);
}

void PopupButton::onPress(QObject* context, std::function<void()> action) {
    connect(this, &PopupButton::Click, context, [this, act = std::move(action)] {
        if (Value() != 1)
            return;
        SetValue(0);
        act();
    });
}

QString PopupButton::shownCaption() const {
    // "&&" shows as one ampersand; a single one marks an access key and is not shown.
    QString shown;
    const QString caption = text();
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption.at(i) == u'&' && i + 1 < caption.size())
            ++i;
        shown += caption.at(i);
    }
    return shown;
}

PopupButton::Layout PopupButton::layout() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect inner = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    // The picture has one size on every button (kPictureTwips, and never taller than the
    // button's inside); the caption stands right of it, and both are centred together.
    const int gap = twipsToPixels(kGapTwips, logicalDpi(this));
    const int captionWidth = fontMetrics().horizontalAdvance(shownCaption());
    int side = std::min(twipsToPixels(kPictureTwips, logicalDpi(this)), inner.height());
    if (icon().isNull())
        side = 0;
    const int total = side > 0 ? side + gap + captionWidth : captionWidth;
    const int left = inner.left() + std::max(0, (inner.width() - total) / 2);
    Layout l;
    if (side > 0)
        l.picture = QRect(left, inner.top() + (inner.height() - side) / 2, side, side);
    const int captionLeft = side > 0 ? left + side + gap : left;
    l.caption = QRect(captionLeft, inner.top(), std::max(captionWidth, 0), inner.height());
    return l;
}

QRect PopupButton::pictureRect() const {
    return layout().picture;
}

QRect PopupButton::captionRect() const {
    return layout().caption;
}

void PopupButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);
    const Layout l = layout();
    if (!l.picture.isEmpty()) {
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        painter.drawPixmap(l.picture, icon().pixmap(l.picture.size(), devicePixelRatio(), mode));
    }
    painter.drawItemText(l.caption, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(),
                         text(), QPalette::ButtonText);
}

} // namespace fq::ui::qt
