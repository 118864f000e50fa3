#pragma once

#include <QGroupBox>

namespace fq::ui::qt {

// A frame: a thin etched border around a group of controls, with the caption standing in the
// top border line. The inside is the frame's own background colour, so that labels and buttons
// with the same background sit on it without a visible edge. Children are placed relative to
// the frame's outer top-left corner, caption included.
class Frame final : public QGroupBox {
    Q_OBJECT
public:
    explicit Frame(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace fq::ui::qt
