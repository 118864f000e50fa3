#pragma once

#include <QPushButton>

#include <functional>

namespace fq::ui::qt {

// A two-state picture button used as a push button: a 32 by 32 picture and a caption, and a
// value, 0 released or 1 pressed. A press sets the value to 1; every change of the value raises
// Click. Handlers connected with onPress act only on the pressed state and set the button back
// to released first; the Click that this raises finds the released state and does nothing, so a
// press acts exactly once and the button looks raised again before the action starts.
class PopupButton final : public QPushButton {
    Q_OBJECT
public:
    static constexpr int kPictureSize = 32;
    // How big the picture is shown, and the room between picture and caption: the same on
    // every button (20 and 4 pixels at 96 DPI).
    static constexpr double kPictureTwips = 300;
    static constexpr double kGapTwips = 60;

    explicit PopupButton(const QString& caption, QWidget* parent = nullptr);

    int Value() const;
    void SetValue(int value);

    // Connects an action with the pop-up handling above.
    void onPress(QObject* context, std::function<void()> action);

    // Where the picture and the caption are drawn: the picture left of the caption, both
    // centred together. The picture is shown at the same size on every button (the 32 by 32
    // picture scaled to kPictureTwips, and no taller than the button's inside); the caption's
    // font is chosen by the window so that the whole caption fits beside it.
    QRect pictureRect() const;
    QRect captionRect() const;

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout {
        QRect picture;
        QRect caption;
    };
    Layout layout() const;
    QString shownCaption() const;
};

} // namespace fq::ui::qt
