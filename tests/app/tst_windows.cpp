// The two windows without servers: the hover rules, the boxes' write-through, the selection
// buttons, the program's hand pointer, closing, and the look of every pop-up button.
#include "app/Form1.h"
#include "app/Form2.h"
#include "settings/SettingsStore.h"
#include "support/Servers.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;

namespace {

struct Windows {
    QTemporaryDir dir;
    fq::settings::SettingsStore store{dir.path()};
    fq::test::FakeDialogs dialogs;
    Form1 form1{store, dialogs, dir.path()};
    Form2 form2{form1, dialogs, dir.path()};
};

// Moves the mouse onto each named control in turn (the window itself for "window") and returns
// the window's pointer after each move.
QList<int> hoverOver(QWidget& window, const fq::ui::Pointer& pointer, const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names) {
        QWidget* w = name == u"window" ? &window : window.findChild<QWidget*>(name);
        if (w == nullptr)
            qFatal("no control %s", qPrintable(name));
        if (auto* list = qobject_cast<fq::ui::qt::QtTableList*>(w))
            w = list->viewport(); // the list's inner area, where the entries are
        QTest::mouseMove(w, QPoint(2, 2));
        seen << pointer.MousePointer();
    }
    return seen;
}

// Moves between `from` and each named control in turn: the pointer seen over each control.
QList<int> hoverFrom(QWidget& window, const fq::ui::Pointer& pointer, const QString& from,
                     const QStringList& names) {
    QList<int> seen;
    for (const QString& name : names)
        seen << hoverOver(window, pointer, {from, name}).last();
    return seen;
}

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    // Buttons give the hand, boxes the control's own pointer, frames and the background the
    // arrow; labels have no rule, so the pointer stays as it was. Any covered movement replaces
    // the hourglass at once.
    void setupHoverRules() {
        Windows w;
        Form1& f = w.form1;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QStringList boxes;
        QStringList labels;
        for (int i = 1; i <= 8; ++i) {
            boxes << QStringLiteral("Text%1").arg(i);
            labels << QStringLiteral("Label%1").arg(i);
        }
        QCOMPARE(hoverFrom(f, f.pointer(), "Frame1", {"Check1", "Check2", "Check3"}),
                 QList<int>(3, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check2", boxes), QList<int>(8, 0));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check2", labels), QList<int>(8, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Text1", {"Frame1", "Frame2", "window"}),
                 QList<int>(3, 1));
        f.pointer().SetMousePointer(11);
        QCOMPARE(hoverOver(f, f.pointer(), {"Label2", "Text1"}), (QList<int>{11, 0}));
        // While not 0 the pointer shows over every control, the boxes included.
        f.pointer().SetMousePointer(1);
        QCOMPARE(f.findChild<QWidget*>("Text1")->cursor().shape(), Qt::ArrowCursor);
    }

    // Buttons give the hand, frames and lists the controls' own pointer, unless the hourglass
    // stands; the bare background always gives the arrow.
    void tableManagerHoverRules() {
        Windows w;
        Form2& f = w.form2;
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QStringList buttons;
        for (int i = 1; i <= 11; ++i)
            buttons << QStringLiteral("Check%1").arg(i);
        QCOMPARE(hoverFrom(f, f.pointer(), "window", buttons), QList<int>(11, 99));
        QCOMPARE(hoverFrom(f, f.pointer(), "Check4", {"Frame1", "fraTables", "List1", "List3"}),
                 QList<int>(4, 0));
        f.pointer().SetMousePointer(11);
        QCOMPARE(hoverOver(f, f.pointer(),
                           {"Check5", "List3", "Frame1", "fraTables", "List1", "Check2", "window"}),
                 (QList<int>{11, 11, 11, 11, 11, 11, 1}));
    }

    // Every keystroke is stored at once under the box's key, blanks and punctuation as typed;
    // clearing a box stores the empty text. The password boxes show one * per character.
    void boxesWriteThrough() {
        Windows w;
        const char* keys[] = {"MyServer", "MyUser", "MyPassword", "MyDatabase",
                              "MSServer", "MSUser", "MSPassword", "MSDatabase"};
        for (int i = 0; i < 8; ++i) {
            auto* box = w.form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1));
            QTest::keyClicks(box, QStringLiteral(" v%1'; x ").arg(i));
            QCOMPARE(w.store.Read(QString::fromLatin1(keys[i])),
                     QStringLiteral(" v%1'; x ").arg(i));
            QCOMPARE(box->displayText(),
                     i == 2 || i == 6 ? QStringLiteral("********") : box->text());
        }
        const fq::sql::ConnectionSettings s = w.form1.settingsSource()();
        QCOMPARE(s.myServer, QStringLiteral(" v0'; x "));
        QCOMPARE(s.msDatabase, QStringLiteral(" v7'; x "));
        auto* user = w.form1.findChild<QLineEdit*>(QStringLiteral("Text2"));
        user->selectAll();
        QTest::keyClick(user, Qt::Key_Delete);
        QCOMPARE(w.store.Read(QStringLiteral("MyUser")), QString());
        QCOMPARE(w.form1.currentSettings().myUser, QString());
    }

    // Each pair acts on its own list only, and leaves the current item where it was.
    void selectAllOnItsOwnList() {
        Windows w;
        fq::ui::TableList& mysql = w.form2.mysqlList();
        fq::ui::TableList& mssql = w.form2.mssqlList();
        fq::test::fillList(mysql, {"c", "a", "B"}, {}, QStringLiteral("c"));
        fq::test::fillList(mssql, {"x", "y"}, {"y"});
        const auto press = [&w](const char* name) {
            auto* b = w.form2.findChild<PopupButton*>(QString::fromLatin1(name));
            QTest::mouseClick(b, Qt::LeftButton);
            QCOMPARE(b->Value(), 0);
        };
        const auto selection = [&] {
            return std::pair{fq::test::selectedOf(mysql), fq::test::selectedOf(mssql)};
        };
        press("Check10");
        QCOMPARE(selection(), (std::pair{QStringList{"a", "B", "c"}, QStringList{"y"}}));
        QCOMPARE(mysql.ListIndex(), 2);
        press("Check11");
        QCOMPARE(selection(), (std::pair{QStringList(), QStringList{"y"}}));
        press("Check8");
        QCOMPARE(selection(), (std::pair{QStringList(), QStringList{"x", "y"}}));
        press("Check9");
        QCOMPARE(selection(), (std::pair{QStringList(), QStringList()}));
        QVERIFY(w.dialogs.shown.isEmpty());
    }

    // The cursor file that goes next to the program: a hand whose fingertip is the hotspot, which
    // the setup window shows over its buttons.
    void handPointerOfTheProgram() {
        const QString folder = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../app/cursors");
        const auto cursor = fq::ui::qt::readCursorFile(folder + QStringLiteral("/HAND-M.CUR"));
        QVERIFY(cursor.has_value());
        QCOMPARE(cursor->pixmap().size(), QSize(32, 32));
        QTemporaryDir dir;
        fq::settings::SettingsStore store(dir.path());
        fq::test::FakeDialogs dialogs;
        Form1 form1(store, dialogs, folder);
        form1.Load();
        form1.pointer().SetMousePointer(99);
        QCOMPARE(form1.findChild<QWidget*>(QStringLiteral("Check2"))->cursor().hotSpot(),
                 QPoint(10, 1));
        form1.close();
    }

    void closingEitherWindowEndsBoth_data() {
        QTest::addColumn<bool>("closeSetup");
        QTest::newRow("closing the setup window") << true;
        QTest::newRow("closing the table manager") << false;
    }

    void closingEitherWindowEndsBoth() {
        QFETCH(bool, closeSetup);
        Windows w;
        w.form1.show();
        w.form2.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.form2));
        closeSetup ? w.form1.close() : w.form2.close();
        QVERIFY(!w.form1.isVisible());
        QVERIFY(!w.form2.isVisible());
    }

    // Every pop-up button of both windows looks like the first: a square picture of the same
    // size in the middle of its height, the program's type (Arial, bold), and the whole caption
    // right of the picture, the two together in the middle of the button's contents.
    void everyButtonLooksAlike_data() {
        QTest::addColumn<bool>("manager");
        QTest::addColumn<QString>("name");
        for (int i = 1; i <= 3; ++i)
            QTest::addRow("Form1.Check%d", i) << false << QStringLiteral("Check%1").arg(i);
        for (int i = 1; i <= 11; ++i)
            QTest::addRow("Form2.Check%d", i) << true << QStringLiteral("Check%1").arg(i);
    }

    void everyButtonLooksAlike() {
        QFETCH(bool, manager);
        QFETCH(QString, name);
        Windows w;
        const auto* first = w.form1.findChild<PopupButton*>(QStringLiteral("Check1"));
        const auto* b =
            (manager ? static_cast<QWidget&>(w.form2) : w.form1).findChild<PopupButton*>(name);
        QVERIFY(b != nullptr);
        QCOMPARE(b->font(), first->font());
        QCOMPARE(b->font().family(), QStringLiteral("Arial"));
        QVERIFY(b->font().bold());
        const QRect picture = b->pictureRect();
        QVERIFY(!picture.isEmpty());
        QCOMPARE(picture.size(), first->pictureRect().size());
        QCOMPARE(picture.width(), picture.height());
        // Where the style lets a push button draw its contents (inside its bevel).
        QStyleOptionButton option;
        option.initFrom(b);
        option.rect = b->rect();
        const QRect contents =
            b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
        QVERIFY(qAbs(picture.center().y() - contents.center().y()) <= 1);
        const QRect caption = b->captionRect();
        const int needed =
            b->fontMetrics().horizontalAdvance(QString(b->text()).replace("&&", "&"));
        QVERIFY2(caption.width() >= needed && contents.contains(caption),
                 qPrintable(QStringLiteral("%1 needs %2 pixels, has %3 at %4 of %5")
                                .arg(b->text())
                                .arg(needed)
                                .arg(caption.width())
                                .arg(caption.x())
                                .arg(contents.width())));
        QVERIFY(contents.contains(picture) && picture.right() < caption.left());
        const int leftRoom = picture.left() - contents.left();
        const int rightRoom = contents.right() - (caption.left() + needed - 1);
        QVERIFY2(qAbs(leftRoom - rightRoom) <= 1,
                 qPrintable(QStringLiteral("%1 left, %2 right").arg(leftRoom).arg(rightRoom)));
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
