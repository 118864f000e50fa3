#pragma once

#include "support/TestSupport.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <QList>

namespace fq::test {

// FakeDialogs that also note the window's pointer at the moment each box is shown, so a test
// can tell whether the hourglass stood over an input box.
class PointerWatchingDialogs final : public ui::Dialogs {
public:
    explicit PointerWatchingDialogs(const ui::Pointer& pointer) : pointer_(pointer) {}

    FakeDialogs boxes;
    QList<int> pointerAtBox;

    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& detail) override {
        pointerAtBox.append(pointer_.MousePointer());
        return boxes.MsgBox(prompt, style, title, detail);
    }
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        pointerAtBox.append(pointer_.MousePointer());
        return boxes.InputBox(prompt, title, defaultText);
    }

private:
    const ui::Pointer& pointer_;
};

} // namespace fq::test
