#include "ui/qt/ProgressWindow.h"

#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace fq::ui::qt {

namespace {

constexpr int kBarSteps = 1000;

QString number(long long n) {
    return QLocale().toString(n);
}

} // namespace

ProgressWindow::ProgressWindow(const ui::ProgressState& progress, WaitingSource waiting,
                               QWidget* parent)
    : QDialog(parent), progress_(progress), waiting_(std::move(waiting)) {
    setObjectName(QStringLiteral("Progress"));
    setWindowTitle(QStringLiteral("Fernquill"));
    // Not modal: the windows under it take no input anyway while the copy runs (InputBlocker), and
    // a modal window would keep their close box from reaching them, so that closing the table
    // manager would not end the program.
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* layout = new QVBoxLayout(this);
    const auto label = [this, layout](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(name));
        l->setTextFormat(Qt::PlainText);
        layout->addWidget(l);
        return l;
    };
    table_ = label("Table");
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("Bar"));
    bar_->setTextVisible(false);
    layout->addWidget(bar_);
    rows_ = label("Rows");
    rate_ = label("Rate");
    wait_ = label("Waiting");
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("Cancel"));
    // Enter pressed out of habit must not stop a copy.
    cancel_->setAutoDefault(false);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::reject);
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    refresh();
}

void ProgressWindow::refresh() {
    const ui::ProgressState::Snapshot s = progress_.snapshot();
    table_->setText(s.number > 0
                        ? QStringLiteral("%1 of %2: %3").arg(s.number).arg(s.count).arg(s.table)
                        : QString());
    if (s.estimate > 0) {
        rows_->setText(QStringLiteral("%1 of about %2 rows copied")
                           .arg(number(s.done), number(std::max(s.estimate, s.done))));
        bar_->setRange(0, kBarSteps);
        bar_->setValue(static_cast<int>(
            std::min<long long>(kBarSteps, s.done * kBarSteps / std::max(s.estimate, s.done))));
    } else {
        rows_->setText(QStringLiteral("%1 rows copied").arg(number(s.done)));
        bar_->setRange(0, 0); // busy
    }
    const double seconds =
        std::chrono::duration<double>(ui::ProgressState::Clock::now() - s.tableStart).count();
    rate_->setText(
        s.number > 0 && seconds >= 0.5
            ? QStringLiteral("%1 rows a second")
                  .arg(number(static_cast<long long>(static_cast<double>(s.done) / seconds)))
            : QString());
    const std::optional<Waiting> w = waiting_ ? waiting_() : std::nullopt;
    if (w)
        wait_->setText(QStringLiteral("Waiting for %1\u2026 %2 s").arg(w->server).arg(w->seconds));
    else if (s.cancelled)
        wait_->setText(QStringLiteral("Stopping after the row being sent\u2026"));
    else
        wait_->clear();
    cancel_->setEnabled(!s.cancelled);
}

void ProgressWindow::reject() {
    // The window stays until the work has stopped; it only passes the request on.
    emit cancelPressed();
}

} // namespace fq::ui::qt
