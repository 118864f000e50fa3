#include "ui/qt/QtDialogs.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace fq::ui::qt {

namespace {

QString titleOrApp(const QString& title) {
    return title.isEmpty() ? QString::fromLatin1(kAppTitle) : title;
}

} // namespace

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {}

QWidget* QtDialogs::owner() const {
    if (parent_ != nullptr && parent_->isVisible())
        return parent_.data();
    return QApplication::activeWindow();
}

void QtDialogs::setParentWindow(QWidget* parent) {
    parent_ = parent;
}

int QtDialogs::MsgBox(const QString& prompt, int style, const QString& title,
                      const QString& detail) {
    QMessageBox box(owner());
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(titleOrApp(title));
    box.setText(prompt);
    box.setTextFormat(Qt::PlainText);
    if (!detail.isEmpty())
        box.setDetailedText(detail);
    if (style == kYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (style == kYesNo)
        return pressed == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    return kAnswerOk;
}

QString QtDialogs::InputBox(const QString& prompt, const QString& title,
                            const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(owner(), titleOrApp(title), prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

} // namespace fq::ui::qt
