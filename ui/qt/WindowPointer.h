#pragma once

#include "ui/Pointer.h"

#include <QCursor>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace fq::ui::qt {

// The window-wide mouse pointer of one window. While the value is not 0 its pointer shows over
// the window and every control in it; 0 gives every control its own usual pointer back (the
// text cursor over a text box, the arrow elsewhere).
class WindowPointer final : public ui::Pointer {
public:
    explicit WindowPointer(QWidget& window);

    int MousePointer() const override;
    void SetMousePointer(int value) override;

    // The window's custom pointer image, shown for value 99. Without one, 99 shows the
    // platform's standard pointer.
    void SetCustomCursor(const QCursor& cursor);

    // The pointer shown for a non-zero value.
    QCursor cursorFor(int value) const;

private:
    struct Saved {
        QPointer<QWidget> widget;
        bool hadOwnCursor = false;
        QCursor cursor;
    };
    void applyOverWindow(const QCursor& cursor);
    void restoreControls();

    QWidget& window_;
    int value_ = 0;
    std::optional<QCursor> custom_;
    QList<Saved> saved_;
};

} // namespace fq::ui::qt
