// Every pop-up button of both windows looks alike: the same picture size and the same type, and
// the whole caption beside the picture within the button's own size.
#include "app/Form1.h"
#include "app/Form2.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/qt/PopupButton.h"

#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

using fq::ui::qt::PopupButton;

namespace {

struct Windows {
    QTemporaryDir dir;
    fq::settings::SettingsStore store{dir.path()};
    fq::test::FakeDialogs dialogs;
    fq::app::Form1 form1{store, dialogs, dir.path()};
    fq::app::Form2 form2{form1, dialogs, dir.path()};
};

QString shownCaption(const PopupButton& b) {
    QString shown = b.text();
    shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return shown;
}

// Where the style lets a push button draw its contents (inside its bevel).
QRect contentsOf(const PopupButton& b) {
    QStyleOptionButton option;
    option.initFrom(&b);
    option.rect = b.rect();
    return b.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &b);
}

QList<PopupButton*> buttonsOf(Windows& w) {
    QList<PopupButton*> all = w.form1.findChildren<PopupButton*>();
    all += w.form2.findChildren<PopupButton*>();
    return all;
}

} // namespace

class ButtonLookTest : public QObject {
    Q_OBJECT

private slots:
    void everyButton_data();
    void everyButton();
    void allButtonsAlike();
};

void ButtonLookTest::everyButton_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    const char* const setup[] = {"Check1", "Check2", "Check3"};
    for (const char* name : setup)
        QTest::addRow("Form1.%s", name) << "Form1" << name;
    const char* const manager[] = {"Check1", "Check2", "Check3", "Check4",  "Check5", "Check6",
                                   "Check7", "Check8", "Check9", "Check10", "Check11"};
    for (const char* name : manager)
        QTest::addRow("Form2.%s", name) << "Form2" << name;
}

// The caption is drawn whole inside the button's contents, right of a picture that is not cut.
void ButtonLookTest::everyButton() {
    QFETCH(QString, window);
    QFETCH(QString, name);
    Windows w;
    QWidget* form = window == u"Form1" ? static_cast<QWidget*>(&w.form1) : &w.form2;
    auto* b = form->findChild<PopupButton*>(name);
    QVERIFY(b != nullptr);
    const QRect contents = contentsOf(*b);
    const QRect caption = b->captionRect();
    const QRect picture = b->pictureRect();
    const int needed = b->fontMetrics().horizontalAdvance(shownCaption(*b));
    QVERIFY2(caption.width() >= needed, qPrintable(QStringLiteral("%1 needs %2 pixels, has %3")
                                                       .arg(shownCaption(*b))
                                                       .arg(needed)
                                                       .arg(caption.width())));
    QVERIFY2(contents.contains(caption),
             qPrintable(QStringLiteral("caption %1,%2 %3x%4 outside the contents %5x%6")
                            .arg(caption.x())
                            .arg(caption.y())
                            .arg(caption.width())
                            .arg(caption.height())
                            .arg(contents.width())
                            .arg(contents.height())));
    QVERIFY(!picture.isEmpty());
    QVERIFY(contents.contains(picture));
    QVERIFY(picture.right() < caption.left());
    // The picture and the caption stand together in the middle of the button.
    const int leftRoom = picture.left() - contents.left();
    const int rightRoom = contents.right() - (caption.left() + needed - 1);
    QVERIFY2(qAbs(leftRoom - rightRoom) <= 1,
             qPrintable(QStringLiteral("%1 left, %2 right").arg(leftRoom).arg(rightRoom)));
}

void ButtonLookTest::allButtonsAlike() {
    Windows w;
    const QList<PopupButton*> all = buttonsOf(w);
    QCOMPARE(all.size(), 14);
    const QSize picture = all.first()->pictureRect().size();
    QVERIFY(!picture.isEmpty());
    for (PopupButton* b : all) {
        QCOMPARE(b->pictureRect().size(), picture);
        QCOMPARE(b->font(), all.first()->font());
        // The picture is square and stands in the middle of the button's height.
        QCOMPARE(b->pictureRect().width(), b->pictureRect().height());
        const QRect contents = contentsOf(*b);
        QVERIFY(qAbs((b->pictureRect().center().y()) - contents.center().y()) <= 1);
    }
    // Still the program's type: Arial, bold.
    QCOMPARE(all.first()->font().family(), QStringLiteral("Arial"));
    QVERIFY(all.first()->font().bold());
}

QTEST_MAIN(ButtonLookTest)
#include "tst_buttonlook.moc"
