#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace fq::ui::qt {

// While it lives, the given windows take no input: every click, key, wheel turn and mouse
// movement meant for them or their controls is dropped as it arrives, so none of it can act
// later. Windows of their own (message boxes, the progress window) still take input, and
// closing a window still reaches it.
class InputBlocker final : public QObject {
    Q_OBJECT
public:
    explicit InputBlocker(QList<QWidget*> windows);
    ~InputBlocker() override;
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

    // Delivers whatever input is still on its way, so that it is dropped now rather than acting
    // once the blocker has gone.
    static void drainPendingInput();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool blocks(QObject* target) const;

    QList<QPointer<QWidget>> windows_;
};

} // namespace fq::ui::qt
