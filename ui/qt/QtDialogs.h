#pragma once

#include "ui/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace fq::ui::qt {

// Message boxes without an icon (OK only, or Yes and No) and input boxes, modal over the given
// window (or the active one). Without a title a box shows "Fernquill"; a detail goes into the box's
// details.
class QtDialogs final : public ui::Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr);

    void setParentWindow(QWidget* parent);

    int MsgBox(const QString& prompt, int style = kOkOnly, const QString& title = {},
               const QString& detail = {}) override;
    QString InputBox(const QString& prompt, const QString& title = {},
                     const QString& defaultText = {}) override;

private:
    // The window the box is modal over: the given one while visible, else the active window.
    QWidget* owner() const;

    QPointer<QWidget> parent_;
};

} // namespace fq::ui::qt
