#pragma once

#include "ui/ProgressState.h"

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace fq::ui::qt {

// The small window over the table manager during a long copy: the table being copied ("3 of 5:
// orders"), the rows copied so far, rows a second, the estimate of the table's rows where there
// is one ("about"), a progress bar (a busy bar without an estimate), what the copy is waiting
// for, and Cancel.
class ProgressWindow final : public QDialog {
    Q_OBJECT
public:
    // A server the work has been waiting for, and for how long.
    struct Waiting {
        QString server;
        int seconds = 0;
    };
    using WaitingSource = std::function<std::optional<Waiting>()>;

    ProgressWindow(const ui::ProgressState& progress, WaitingSource waiting,
                   QWidget* parent = nullptr);

    // Shows the state as it is now.
    void refresh();

signals:
    // Cancel was pressed (or Escape, or the close box).
    void cancelPressed();

protected:
    void reject() override;

private:
    const ui::ProgressState& progress_;
    WaitingSource waiting_;
    QLabel* table_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QLabel* rows_ = nullptr;
    QLabel* rate_ = nullptr;
    QLabel* wait_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace fq::ui::qt
