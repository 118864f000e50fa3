#include "ui/qt/PopupButton.h"

#include <QIcon>
#include <QResizeEvent>

#include <algorithm>

namespace fq::ui::qt {

PopupButton::PopupButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setCheckable(true);
    setIconSize(QSize(kPictureSize, kPictureSize));
    connect(this, &QAbstractButton::toggled, this, &PopupButton::Click);
}

int PopupButton::Value() const { return isChecked() ? 1 : 0; }

void PopupButton::SetValue(int value) { setChecked(value != 0); }

void PopupButton::onPress(QObject* context, std::function<void()> action) {
    connect(this, &PopupButton::Click, context, [this, act = std::move(action)] {
        if (Value() != 1)
            return;
        SetValue(0);
        act();
    });
}

void PopupButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    // The picture is 32 by 32; a button lower than that shows it scaled to fit its height.
    const int side = std::clamp(event->size().height() - 6, 8, kPictureSize);
    setIconSize(QSize(side, side));
}

} // namespace fq::ui::qt
