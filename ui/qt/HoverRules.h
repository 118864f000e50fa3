#pragma once

#include <QHash>
#include <QObject>

class QWidget;

namespace fq::ui {
class Pointer;
}

namespace fq::ui::qt {

// The pointer rules of one window: what a mouse movement over each control does to the window's
// pointer setting. A movement over a control is handled by that control's rule alone; it never
// reaches the frame or window beneath.
class HoverRules final : public QObject {
    Q_OBJECT
public:
    enum class Rule {
        Set,                // set the value
        SetUnlessHourglass, // set the value unless the pointer is the hourglass (11)
        None,               // leave the pointer as it was last set
    };

    HoverRules(ui::Pointer& pointer, QObject* parent = nullptr);

    // Registers the rule for a control. With innerParts the rule also covers the control's own
    // inner widgets (a list's viewport and scroll bars); frames are added without them, since
    // their children are controls with rules of their own.
    void add(QWidget& control, Rule rule, int value = 0, bool innerParts = true);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        Rule rule = Rule::None;
        int value = 0;
    };
    void watch(QWidget& widget, Entry entry);

    ui::Pointer& pointer_;
    QHash<const QObject*, Entry> rules_;
};

} // namespace fq::ui::qt
