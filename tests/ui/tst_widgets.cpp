// The Qt widgets and window services. The table lists of the table manager: sorting, selection
// by click and space bar only, the current item, and the two list operations the transfers use.
// Centring, the file test, the hand pointer file, the window-wide pointer, the pop-up button's
// press handling and the message and input boxes.
#include "support/Servers.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/TableList.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtDialogs.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowPointer.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QInputDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace fq::ui;
using namespace fq::ui::qt;

namespace {

// One thing the user does to the window's list, and what the list shows afterwards. An input is
// typed text in quotes ('st'), a key sequence (Space, Shift+End, Ctrl+A), or a mouse action on
// entries named in quotes: click, right-click, double-click, drag (from one entry to another),
// with an optional Shift+ or Ctrl+ in front; "below" stands for the empty area under the last
// entry.
struct Step {
    QString input;
    QStringList selected; // the selected entries, in list order
    QString focus;        // the entry with the focus mark; empty when there is none
};
using Steps = QList<Step>;

QString shown(const QString& input, const QStringList& selected, const QString& focus) {
    return QStringLiteral("after %1: selected ['%2'], focus '%3'")
        .arg(input, selected.join(QStringLiteral("', '")), focus);
}

QString shown(const QString& input, const QtTableList& list) {
    return shown(input, fq::test::selectedOf(list),
                 list.ListIndex() >= 0 ? list.List(list.ListIndex()) : QString());
}

bool perform(QtTableList& list, const QString& input) {
    static const QRegularExpression typed(QStringLiteral("^'(.*)'$"));
    static const QRegularExpression mouse(
        QStringLiteral("^(Shift\\+|Ctrl\\+)?(click|right-click|double-click|drag) (.*)$"));
    static const QRegularExpression target(QStringLiteral("'([^']*)'|below"));
    if (const auto text = typed.match(input); text.hasMatch()) {
        QTest::keyClicks(&list, text.captured(1));
        return true;
    }
    const auto action = mouse.match(input);
    if (!action.hasMatch()) {
        const QKeySequence keys = QKeySequence::fromString(input);
        if (keys.count() != 1 || keys[0].key() == Qt::Key_unknown)
            return false;
        QTest::keyClick(&list, keys[0].key(), keys[0].keyboardModifiers());
        return true;
    }
    const Qt::KeyboardModifiers mod = action.captured(1) == u"Shift+"  ? Qt::ShiftModifier
                                      : action.captured(1) == u"Ctrl+" ? Qt::ControlModifier
                                                                       : Qt::NoModifier;
    QList<QPoint> at;
    for (auto it = target.globalMatch(action.captured(3)); it.hasNext();) {
        const auto m = it.next();
        const int row = m.hasCaptured(1)
                            ? static_cast<int>(fq::test::entriesOf(list).indexOf(m.captured(1)))
                            : list.count() - 1;
        if (row < 0)
            return false;
        const QRect r = list.visualItemRect(list.item(row));
        at << (m.hasCaptured(1) ? r.center() : QPoint(r.left() + 10, r.bottom() + 10));
    }
    QWidget* view = list.viewport();
    const QString verb = action.captured(2);
    if (verb == u"click" || verb == u"right-click") {
        QTest::mouseClick(view, verb == u"click" ? Qt::LeftButton : Qt::RightButton, mod, at[0]);
    } else if (verb == u"double-click") {
        // What the platform delivers: press, release, press, double click, release.
        QTest::mouseClick(view, Qt::LeftButton, mod, at[0]);
        QTest::mousePress(view, Qt::LeftButton, mod, at[0]);
        QTest::mouseDClick(view, Qt::LeftButton, mod, at[0]);
        QTest::mouseRelease(view, Qt::LeftButton, mod, at[0]);
    } else if (at.size() == 2) {
        QTest::mousePress(view, Qt::LeftButton, mod, at[0]);
        QTest::mouseMove(view, (at[0] + at[1]) / 2);
        QTest::mouseMove(view, at[1]);
        QTest::mouseRelease(view, Qt::LeftButton, mod, at[1]);
    } else {
        return false;
    }
    return true;
}

// Shows a list holding the names, with the focus mark on one of them (or none), and checks after
// every step that exactly the expected entries are selected and the focus mark is where expected.
void drive(const QStringList& names, const QString& focus, const Steps& steps) {
    QtTableList list;
    fq::test::fillList(list, names);
    list.resize(240, 200);
    list.show();
    list.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&list));
    QVERIFY(list.hasFocus());
    list.SetListIndex(static_cast<int>(fq::test::entriesOf(list).indexOf(focus)));
    QCOMPARE(shown(QStringLiteral("start"), list), shown(QStringLiteral("start"), {}, focus));
    for (const Step& step : steps) {
        QVERIFY2(perform(list, step.input),
                 qPrintable(QStringLiteral("cannot perform ") + step.input));
        QCOMPARE(shown(step.input, list), shown(step.input, step.selected, step.focus));
    }
}

// Names a user can confuse: a leading blank, equal first letters, differences only in blanks.
const QStringList kBlankLed{"scratch", " archive"};                    // ' archive', 'scratch'
const QStringList kSameLetter{"summary", "stock", "Scratch", "sales"}; // sales, Scratch, ...
const QStringList kBlanksOnly{"orders ", "or ders", " orders",
                              "orders"}; // ' orders', 'or ders', ...

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Runs `inspect` on the modal box that the next call opens, from inside its own event loop.
void whenModalShows(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, qApp, [inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        inspect(modal);
    });
}

} // namespace

Q_DECLARE_METATYPE(Steps)

class WidgetsTest : public QObject {
    Q_OBJECT

private slots:

    void initTestCase() {
        // Every key of a test row counts as typed in one go, however slow the machine, so what the
        // type-ahead search looks for does not depend on timing.
        QApplication::setKeyboardInputInterval(60 * 60 * 1000);
    }

    void sortedWithoutRegardToCase_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("c, B, a") << QStringList{"c", "B", "a"} << QStringList{"a", "B", "c"};
        QTest::newRow("equal but for case keep their order")
            << QStringList{"orders", "Orders", "ORDERS"}
            << QStringList{"orders", "Orders", "ORDERS"};
        QTest::newRow("names with blanks and punctuation as given")
            << QStringList{"my table", " lead", "a-b", "a_b"}
            << QStringList{" lead", "a-b", "a_b", "my table"};
        QTest::newRow("duplicates kept")
            << QStringList{"b", "a", "b"} << QStringList{"a", "b", "b"};
    }

    void sortedWithoutRegardToCase() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, shown);
        QtTableList list;
        for (const QString& name : added)
            list.AddItem(name);
        QCOMPARE(fq::test::entriesOf(list), shown);
        QCOMPARE(fq::test::selectedOf(list), QStringList()); // an added entry is not selected
        QCOMPARE(list.ListIndex(), -1);
    }

    // Both want the exact name, letter case and blanks included. ListRemoveMatches walks the list
    // once from the top: of two equal entries side by side only the first goes.
    void listContainsAndRemoveMatches_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("Orders vs orders") << QStringList{"orders", "sales"} << "Orders" << false
                                          << QStringList{"orders", "sales"};
        QTest::newRow("trailing blank differs")
            << QStringList{"a "} << "a" << false << QStringList{"a "};
        QTest::newRow("twice") << QStringList{"a", "a", "b"} << "a" << true
                               << QStringList{"a", "b"};
        QTest::newRow("only entry") << QStringList{"a"} << "a" << true << QStringList{};
        QTest::newRow("last entry")
            << QStringList{"a", "b", "c"} << "c" << true << QStringList{"a", "b"};
        QTest::newRow("empty list") << QStringList{} << "a" << false << QStringList{};
    }

    void listContainsAndRemoveMatches() {
        QFETCH(QStringList, items);
        QFETCH(QString, name);
        QFETCH(bool, found);
        QFETCH(QStringList, left);
        QtTableList list;
        fq::test::fillList(list, items);
        QCOMPARE(fq::ui::ListContains(name, list), found);
        QCOMPARE(fq::test::entriesOf(list), items);
        fq::ui::ListRemoveMatches(list, name);
        QCOMPARE(fq::test::entriesOf(list), left);
    }

    void currentItemFollowsItsEntry_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("current");
        // The list holds b, d, f with d (1) current.
        QTest::newRow("add before it") << "add a" << 2;
        QTest::newRow("add after it") << "add e" << 1;
        QTest::newRow("remove above it") << "remove 0" << 0;
        QTest::newRow("remove below it") << "remove 2" << 1;
        QTest::newRow("remove it") << "remove 1" << -1;
        QTest::newRow("clear") << "clear" << -1;
        QTest::newRow("set past the end") << "set 3" << -1;
    }

    void currentItemFollowsItsEntry() {
        QFETCH(QString, action);
        QFETCH(int, current);
        QtTableList list;
        fq::test::fillList(list, {"b", "d", "f"});
        list.SetListIndex(1);
        const QStringList words = action.split(u' ');
        if (words[0] == u"add")
            list.AddItem(words[1]);
        else if (words[0] == u"remove")
            list.RemoveItem(words[1].toInt());
        else if (words[0] == u"set")
            list.SetListIndex(words[1].toInt());
        else
            list.Clear();
        QCOMPARE(list.ListIndex(), current);
        if (current >= 0)
            QCOMPARE(list.List(current), QStringLiteral("d"));
    }

    void onlyTheEntryActedOnIsSelected_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<Steps>("steps");
        QTest::newRow("Space, a typed blank, Ctrl+Space, Shift+Space toggle the focused entry")
            << kBlankLed << "scratch"
            << Steps{{"Space", {"scratch"}, "scratch"},      {"Space", {}, "scratch"},
                     {"' '", {"scratch"}, "scratch"},        {"' '", {}, "scratch"},
                     {"Ctrl+Space", {"scratch"}, "scratch"}, {"Shift+Space", {}, "scratch"}};
        QTest::newRow("Ctrl+A, Enter, Escape, F2, Backspace, Delete change nothing; a blank-led "
                      "entry is selected only by going to it")
            << kBlankLed << "scratch"
            << Steps{{"Ctrl+A", {}, "scratch"},
                     {"Space", {"scratch"}, "scratch"},
                     {"Ctrl+A", {"scratch"}, "scratch"},
                     {"Return", {"scratch"}, "scratch"},
                     {"Enter", {"scratch"}, "scratch"},
                     {"Esc", {"scratch"}, "scratch"},
                     {"F2", {"scratch"}, "scratch"},
                     {"Backspace", {"scratch"}, "scratch"},
                     {"Del", {"scratch"}, "scratch"},
                     {"Up", {"scratch"}, " archive"},
                     {"Space", {" archive", "scratch"}, " archive"}};
        QTest::newRow("typed letters move the focus and select nothing")
            << kSameLetter << "sales"
            << Steps{{"'s'", {}, "Scratch"},
                     {"'t'", {}, "stock"},
                     {"Space", {"stock"}, "stock"},
                     {"Down", {"stock"}, "summary"},
                     {"Space", {"stock", "summary"}, "summary"}};
        QTest::newRow("a blank typed inside a name is the space bar: it toggles the focused entry")
            << kBlanksOnly << "orders "
            << Steps{{"'or'", {}, "or ders"},
                     {"' '", {"or ders"}, "or ders"},
                     {"'d'", {"or ders"}, "orders"}};
        QTest::newRow("type-ahead keeps what was selected") << kSameLetter << "sales"
                                                            << Steps{{"Space", {"sales"}, "sales"},
                                                                     {"'sc'", {"sales"}, "Scratch"},
                                                                     {"'x'", {"sales"}, "Scratch"}};
        QTest::newRow("names that differ only in blanks: exactly the one reached is toggled")
            << kBlanksOnly << " orders"
            << Steps{{"'o'", {}, "or ders"},
                     {"'r'", {}, "or ders"},
                     {"'d'", {}, "orders"},
                     {"Space", {"orders"}, "orders"},
                     {"End", {"orders"}, "orders "},
                     {"Space", {"orders", "orders "}, "orders "},
                     {"Up", {"orders", "orders "}, "orders"},
                     {"Space", {"orders "}, "orders"}};
        QTest::newRow("arrows, Home, End, Page Up and Page Down move the focus only")
            << kBlanksOnly << " orders"
            << Steps{{"Up", {}, " orders"},   {"Down", {}, "or ders"}, {"Down", {}, "orders"},
                     {"Left", {}, "orders"},  {"Right", {}, "orders"}, {"End", {}, "orders "},
                     {"Down", {}, "orders "}, {"Home", {}, " orders"}, {"PgDown", {}, "orders "},
                     {"PgUp", {}, " orders"}};
        QTest::newRow("Shift and Ctrl with the movement keys move the focus only")
            << kBlanksOnly << " orders"
            << Steps{{"Space", {" orders"}, " orders"},
                     {"Shift+Down", {" orders"}, "or ders"},
                     {"Shift+End", {" orders"}, "orders "},
                     {"Shift+PgUp", {" orders"}, " orders"},
                     {"Ctrl+Down", {" orders"}, "or ders"},
                     {"Shift+Down", {" orders"}, "orders"},
                     {"Space", {" orders", "orders"}, "orders"},
                     {"Shift+Home", {" orders", "orders"}, " orders"},
                     {"Ctrl+End", {" orders", "orders"}, "orders "},
                     {"Shift+PgDown", {" orders", "orders"}, "orders "}};
        QTest::newRow("without a focused entry Space selects nothing")
            << kBlankLed << ""
            << Steps{{"Space", {}, ""},
                     {"Down", {}, " archive"},
                     {"Space", {" archive"}, " archive"}};
        // The mouse: only the pressed entry.
        QTest::newRow("a click toggles the entry under the pointer")
            << kSameLetter << "sales"
            << Steps{{"click 'Scratch'", {"Scratch"}, "Scratch"},
                     {"click 'stock'", {"Scratch", "stock"}, "stock"},
                     {"click 'Scratch'", {"stock"}, "Scratch"}};
        QTest::newRow("a drag toggles only the entry where it began")
            << kSameLetter << "sales"
            << Steps{{"drag 'sales' 'summary'", {"sales"}, "summary"},
                     {"drag 'summary' 'Scratch'", {"sales", "summary"}, "Scratch"},
                     {"drag 'sales' 'stock'", {"summary"}, "stock"}};
        QTest::newRow("a drag from below the entries selects nothing")
            << kSameLetter << "sales" << Steps{{"drag below 'Scratch'", {}, "Scratch"}};
        QTest::newRow("a double click toggles twice, as two clicks do")
            << kSameLetter << "sales"
            << Steps{{"double-click 'stock'", {}, "stock"},
                     {"click 'stock'", {"stock"}, "stock"},
                     {"double-click 'stock'", {"stock"}, "stock"}};
        QTest::newRow("Shift, Ctrl and the right button select no range")
            << kSameLetter << "sales"
            << Steps{{"click 'sales'", {"sales"}, "sales"},
                     {"Shift+click 'stock'", {"sales", "stock"}, "stock"},
                     {"Ctrl+click 'summary'", {"sales", "stock", "summary"}, "summary"},
                     {"right-click 'Scratch'", {"sales", "stock", "summary"}, "Scratch"},
                     {"Ctrl+click 'sales'", {"stock", "summary"}, "sales"}};
        QTest::newRow("a click below the last entry changes nothing")
            << kSameLetter << "stock"
            << Steps{{"click below", {}, "stock"},
                     {"click 'stock'", {"stock"}, "stock"},
                     {"click below", {"stock"}, "stock"}};
        QTest::newRow("after a click the keys act on the clicked entry")
            << kBlankLed << "scratch"
            << Steps{{"click ' archive'", {" archive"}, " archive"},
                     {"Space", {}, " archive"},
                     {"Down", {}, "scratch"},
                     {"Space", {"scratch"}, "scratch"}};
    }

    void onlyTheEntryActedOnIsSelected() {
        QFETCH(QStringList, names);
        QFETCH(QString, focus);
        QFETCH(Steps, steps);
        drive(names, focus, steps);
    }

    // 1000 twips above the true centre, by exact division, never clamped.
    void centerFormPosition_data() {
        QTest::addColumn<QSizeF>("screen");
        QTest::addColumn<QSizeF>("window");
        QTest::addColumn<QPointF>("at");
        QTest::addRow("screen height minus 2000: top 0")
            << QSizeF(15360, 11520) << QSizeF(6390, 9520) << QPointF(4485, 0);
        QTest::addRow("odd difference divided exactly, wider than the screen: not clamped")
            << QSizeF(9001, 6001) << QSizeF(10000, 9000) << QPointF(-499.5, -2499.5);
    }

    void centerFormPosition() {
        QFETCH(QSizeF, screen);
        QFETCH(QSizeF, window);
        QFETCH(QPointF, at);
        QCOMPARE(fq::ui::qt::centerFormPosition(screen, window), at);
    }

    // A window 1000 twips shorter than the screen goes 500 twips above its top edge.
    void centerFormPlacesTheWindow() {
        QWidget window;
        const double dpi = window.screen()->logicalDotsPerInch();
        const QRect s = window.screen()->geometry();
        window.resize(s.width() - twipsToPixels(2000, dpi), s.height() - twipsToPixels(1000, dpi));
        CenterForm(window);
        QVERIFY2(std::abs(window.x() - s.left() - twipsToPixels(1000, dpi)) <= 1,
                 qPrintable(QString::number(window.x())));
        QVERIFY2(std::abs(window.y() - s.top() + twipsToPixels(500, dpi)) <= 1,
                 qPrintable(QString::number(window.y())));
    }

    void fileExists_data() {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("exists");
        QTest::addRow("existing file") << "HAND-M.CUR" << true;
        QTest::addRow("existing folder") << "." << true;
        QTest::addRow("missing file") << "nothing.cur" << false;
        QTest::addRow("file used as a folder") << "HAND-M.CUR/x" << false;
        QTest::addRow("empty path") << "" << false;
    }

    void fileExists() {
        QFETCH(QString, relative);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("HAND-M.CUR")), "x");
        QCOMPARE(FileExists(relative.isEmpty() ? QString() : dir.filePath(relative)), exists);
    }

    // Without a usable cursor file pointer 99 shows the standard pointer (the program's own file
    // is loaded in the windows' test).
    void handPointerLoad_data() {
        QTest::addColumn<QByteArray>("file"); // empty: no file at all
        QTest::addRow("no cursor file") << QByteArray();
        QTest::addRow("file that is not a cursor") << QByteArray("not a cursor at all");
    }

    void handPointerLoad() {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        if (!file.isEmpty())
            writeFile(dir.filePath(QStringLiteral("HAND-M.CUR")), file);
        QWidget window;
        QPushButton button(QStringLiteral("b"), &window);
        WindowPointer pointer(window);
        LoadHandPointer(pointer, dir.path());
        pointer.SetMousePointer(kPointerCustom);
        QCOMPARE(button.cursor().shape(), Qt::ArrowCursor);
    }

    // While not 0 the window's pointer shows over every control; 0 gives each its own back.
    void pointerCoversEveryControl() {
        QWidget window;
        QLineEdit box(&window);
        QPushButton button(QStringLiteral("b"), &window);
        WindowPointer pointer(window);
        pointer.SetMousePointer(kPointerHourglass);
        QCOMPARE(pointer.MousePointer(), kPointerHourglass);
        for (const QWidget* w : std::initializer_list<const QWidget*>{&window, &box, &button})
            QCOMPARE(w->cursor().shape(), Qt::WaitCursor);
        pointer.SetMousePointer(kPointerDefault);
        QCOMPARE(box.cursor().shape(), Qt::IBeamCursor);
        QVERIFY(!button.testAttribute(Qt::WA_SetCursor));
    }

    // A press acts once, with the button released again before the action starts; setting the
    // pressed state from code is a press too, setting the released state is not.
    void popupButtonActsOncePerPress() {
        QWidget window;
        PopupButton button(QStringLiteral("Go"), &window);
        button.resize(200, 25);
        QList<int> valueSeenByAction;
        button.onPress(&window, [&] { valueSeenByAction << button.Value(); });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(&button, Qt::LeftButton);
        button.setFocus();
        QTest::keyClick(&button, Qt::Key_Space);
        button.SetValue(1);
        button.SetValue(0);
        QCOMPARE(valueSeenByAction, (QList<int>{0, 0, 0}));
        QCOMPARE(button.Value(), 0);
    }

    // No icon; the application's title unless the caller gives one; OK only or Yes and No; the
    // details as given; the number of the button pressed.
    void messageBox_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<int>("press"); // QMessageBox::StandardButton
        QTest::addColumn<int>("answer");
        QTest::addRow("OK only") << kOkOnly << QString() << QString() << int(QMessageBox::Ok)
                                 << kAnswerOk;
        QTest::addRow("Yes pressed")
            << kYesNo << QString() << QString() << int(QMessageBox::Yes) << kAnswerYes;
        QTest::addRow("No pressed, own title, details")
            << kYesNo << QStringLiteral("Question") << QStringLiteral("SQLSTATE 42S02")
            << int(QMessageBox::No) << kAnswerNo;
    }

    void messageBox() {
        QFETCH(int, style);
        QFETCH(QString, title);
        QFETCH(QString, detail);
        QFETCH(int, press);
        QFETCH(int, answer);
        bool inspected = false;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            QCOMPARE(box->windowTitle(), title.isEmpty() ? QStringLiteral("Fernquill") : title);
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            QCOMPARE(box->text(), QStringLiteral("Table <b>x</b> & y"));
            QCOMPARE(box->detailedText(), detail);
            QCOMPARE(box->standardButtons(), style == kYesNo
                                                 ? (QMessageBox::Yes | QMessageBox::No)
                                                 : QMessageBox::StandardButtons(QMessageBox::Ok));
            inspected = true;
            box->button(static_cast<QMessageBox::StandardButton>(press))->click();
        });
        QtDialogs dialogs;
        QCOMPARE(dialogs.MsgBox(QStringLiteral("Table <b>x</b> & y"), style, title, detail),
                 answer);
        QVERIFY(inspected);
    }

    // The prompt, the application's title, the default text; the text entered, or "" when
    // cancelled.
    void inputBox() {
        QtDialogs dialogs;
        whenModalShows([](QWidget* modal) {
            auto* input = qobject_cast<QInputDialog*>(modal);
            QVERIFY(input != nullptr);
            QCOMPARE(input->windowTitle(), QStringLiteral("Fernquill"));
            QCOMPARE(input->labelText(), QStringLiteral("Enter new name of orders:"));
            QCOMPARE(input->textValue(), QStringLiteral("orders"));
            input->setTextValue(QStringLiteral("sales"));
            input->accept();
        });
        QCOMPARE(dialogs.InputBox(QStringLiteral("Enter new name of orders:"), {},
                                  QStringLiteral("orders")),
                 QStringLiteral("sales"));
        whenModalShows([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        QCOMPARE(dialogs.InputBox(QStringLiteral("p"), {}, QStringLiteral("orders")), QString());
    }
};

QTEST_MAIN(WidgetsTest)
#include "tst_widgets.moc"
