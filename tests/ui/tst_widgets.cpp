// The Qt widgets and window services: the table lists (sorting, selection by click and space bar
// only, the current item, the list operations the transfers use), centring, the file test, the
// window-wide pointer, the pop-up button's press and the message and input boxes.
#include "support/Servers.h"
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
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <functional>

using namespace fq::ui;
using namespace fq::ui::qt;
using fq::test::entriesOf;
using fq::test::selectedOf;

namespace {

// Typed text in quotes, a key sequence, or a click, right-click, double-click or drag (from one
// entry to another) on entries in quotes or "below" the last one, maybe with Shift+ or Ctrl+.
bool perform(QtTableList& list, const QString& input) {
    static const QRegularExpression mouse(
        QStringLiteral("^(Shift\\+|Ctrl\\+)?(click|right-click|double-click|drag) (.*)$"));
    static const QRegularExpression target(QStringLiteral("'([^']*)'|below"));
    if (input.startsWith(u'\'')) {
        QTest::keyClicks(&list, input.mid(1, input.size() - 2));
        return true;
    }
    const auto action = mouse.match(input);
    const QKeySequence keys = QKeySequence::fromString(action.captured(1) + u'A');
    if (!action.hasMatch()) {
        const QKeySequence typed = QKeySequence::fromString(input);
        if (typed.count() != 1 || typed[0].key() == Qt::Key_unknown)
            return false;
        QTest::keyClick(&list, typed[0].key(), typed[0].keyboardModifiers());
        return true;
    }
    const Qt::KeyboardModifiers mod = keys[0].keyboardModifiers();
    QList<QPoint> at;
    for (const auto& m : target.globalMatch(action.captured(3))) {
        const qsizetype row = m.hasCaptured(1) ? entriesOf(list).indexOf(m.captured(1)) : -1;
        const QRect r = list.visualItemRect(list.item(row >= 0 ? int(row) : list.count() - 1));
        at << (m.hasCaptured(1) ? r.center() : r.bottomLeft() + QPoint(10, 10));
    }
    QWidget* view = list.viewport();
    const QString verb = action.captured(2);
    if (at.size() != (verb == u"drag" ? 2 : 1))
        return false;
    if (verb == u"drag") {
        QTest::mousePress(view, Qt::LeftButton, mod, at[0]);
        QTest::mouseMove(view, (at[0] + at[1]) / 2);
        QTest::mouseMove(view, at[1]);
        QTest::mouseRelease(view, Qt::LeftButton, mod, at[1]);
        return true;
    }
    QTest::mouseClick(view, verb == u"right-click" ? Qt::RightButton : Qt::LeftButton, mod, at[0]);
    if (verb == u"double-click") { // the platform's second press comes as a double click
        QTest::mousePress(view, Qt::LeftButton, mod, at[0]);
        QTest::mouseDClick(view, Qt::LeftButton, mod, at[0]);
        QTest::mouseRelease(view, Qt::LeftButton, mod, at[0]);
    }
    return true;
}

// Names a user can confuse: a leading blank, equal first letters, differences only in blanks.
const QStringList kBlankLed{"scratch", " archive"};                       // ' archive', 'scratch'
const QStringList kSameLetter{"summary", "stock", "Scratch", "sales"};    // sales, Scratch, ...
const QStringList kBlanksOnly{"orders ", "or ders", " orders", "orders"}; // ' orders', ...

// Runs `inspect` on the modal box that the next call opens, from inside its own event loop.
void whenModalShows(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, qApp, [inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY(modal != nullptr);
        inspect(modal);
    });
}

using Act = std::function<void(QtTableList&)>;

} // namespace

Q_DECLARE_METATYPE(Act)

class WidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The keys of a row count as typed in one go, however slow the machine.
        QApplication::setKeyboardInputInterval(60 * 60 * 1000);
    }

    // Sorted without regard to case, equal ones in the order added; a match wants the exact name;
    // ListRemoveMatches walks the list once: of two equal entries side by side only the first goes.
    void sortingAndMatching_data() {
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("sorted");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("case ignored in order, not in a match")
            << QStringList{"sales", "Orders", "b"} << QStringList{"b", "Orders", "sales"}
            << "orders" << false << QStringList{"b", "Orders", "sales"};
        QTest::newRow("equal but for case keep their order; a trailing blank differs")
            << QStringList{"orders", "Orders", "a ", "ORDERS"}
            << QStringList{"a ", "orders", "Orders", "ORDERS"} << "a" << false
            << QStringList{"a ", "orders", "Orders", "ORDERS"};
        QTest::newRow("blanks and punctuation as given; the last entry")
            << QStringList{"my table", " lead", "a-b", "a_b"}
            << QStringList{" lead", "a-b", "a_b", "my table"} << "my table" << true
            << QStringList{" lead", "a-b", "a_b"};
        QTest::newRow("twice") << QStringList{"b", "a", "b"} << QStringList{"a", "b", "b"} << "b"
                               << true << QStringList{"a", "b"};
    }

    void sortingAndMatching() {
        QFETCH(QStringList, added);
        QFETCH(QStringList, sorted);
        QFETCH(QString, name);
        QFETCH(bool, found);
        QFETCH(QStringList, left);
        QtTableList list;
        for (const QString& entry : added)
            list.AddItem(entry);
        QCOMPARE(entriesOf(list), sorted);
        QVERIFY(selectedOf(list).isEmpty() && list.ListIndex() == -1);
        QCOMPARE(ListContains(name, list), found);
        ListRemoveMatches(list, name);
        QCOMPARE(entriesOf(list), left);
    }

    // The list holds b, d, f with d (1) current.
    void currentItemFollowsItsEntry_data() {
        QTest::addColumn<Act>("act");
        QTest::addColumn<int>("current");
        QTest::newRow("add before it") << Act([](QtTableList& l) { l.AddItem("a"); }) << 2;
        QTest::newRow("add after it") << Act([](QtTableList& l) { l.AddItem("e"); }) << 1;
        QTest::newRow("remove above it") << Act([](QtTableList& l) { l.RemoveItem(0); }) << 0;
        QTest::newRow("remove below it") << Act([](QtTableList& l) { l.RemoveItem(2); }) << 1;
        QTest::newRow("remove it") << Act([](QtTableList& l) { l.RemoveItem(1); }) << -1;
        QTest::newRow("clear") << Act([](QtTableList& l) { l.Clear(); }) << -1;
        QTest::newRow("set past the end") << Act([](QtTableList& l) { l.SetListIndex(3); }) << -1;
    }

    void currentItemFollowsItsEntry() {
        QFETCH(Act, act);
        QFETCH(int, current);
        QtTableList list;
        fq::test::fillList(list, {"b", "d", "f"}, {}, QStringLiteral("d"));
        act(list);
        QCOMPARE(list.ListIndex(), current);
        if (current >= 0)
            QCOMPARE(list.List(current), QStringLiteral("d"));
    }

    // Each step: the input | the entries selected afterwards | the entry with the focus mark.
    void onlyTheEntryActedOnIsSelected_data() {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("steps"); // between "; "
        QTest::newRow("Space, a typed blank, Ctrl+Space, Shift+Space toggle the focused entry; "
                      "Ctrl+A, Enter, Escape, F2, Delete change nothing; a blank-led entry is "
                      "selected only by going to it")
            << kBlankLed << "scratch"
            << QStringLiteral(
                   "Space|scratch|scratch; ' '||scratch; Ctrl+Space|scratch|scratch;"
                   " Shift+Space||scratch; Ctrl+A||scratch; Space|scratch|scratch;"
                   " Ctrl+A|scratch|scratch; Return|scratch|scratch; Esc|scratch|scratch;"
                   " F2|scratch|scratch; Del|scratch|scratch; Up|scratch| archive;"
                   " Space| archive,scratch| archive");
        QTest::newRow("typed letters move the focus, select nothing and keep what was selected")
            << kSameLetter << "sales"
            << QStringLiteral("Space|sales|sales; 'st'|sales|stock; Space|sales,stock|stock;"
                              " 'x'|sales,stock|stock; Down|sales,stock|summary");
        QTest::newRow("a blank typed inside a name is the space bar; of names that differ only in "
                      "blanks exactly the one reached is toggled")
            << kBlanksOnly << " orders"
            << QStringLiteral(
                   "'or'||or ders; ' '|or ders|or ders; 'd'|or ders|orders;"
                   " Space|or ders,orders|orders; End|or ders,orders|orders ;"
                   " Space|or ders,orders,orders |orders ; Up|or ders,orders,orders |orders;"
                   " Space|or ders,orders |orders");
        QTest::newRow("the movement keys, with Shift or Ctrl too, move the focus only")
            << kBlanksOnly << " orders"
            << QStringLiteral(
                   "Up|| orders; Down||or ders; Right||or ders; End||orders ; Home|| orders;"
                   " PgDown||orders ; PgUp|| orders; Space| orders| orders;"
                   " Shift+Down| orders|or ders; Shift+End| orders|orders ;"
                   " Shift+PgUp| orders| orders; Ctrl+Down| orders|or ders;"
                   " Shift+Home| orders| orders; Ctrl+End| orders|orders ");
        QTest::newRow("without a focused entry Space selects nothing")
            << kBlankLed << ""
            << QStringLiteral("Space||; Down|| archive; Space| archive| archive");
        QTest::newRow("a click toggles the entry under the pointer, with Shift or Ctrl too; the "
                      "right button and a click below change nothing; keys act where it clicked")
            << kSameLetter << "stock"
            << QStringLiteral("click below||stock; click 'Scratch'|Scratch|Scratch;"
                              " Shift+click 'summary'|Scratch,summary|summary;"
                              " Ctrl+click 'sales'|sales,Scratch,summary|sales;"
                              " right-click 'stock'|sales,Scratch,summary|stock;"
                              " click below|sales,Scratch,summary|stock;"
                              " click 'Scratch'|sales,summary|Scratch;"
                              " Space|sales,Scratch,summary|Scratch");
        QTest::newRow("a drag toggles only the entry where it began, from below nothing; a double "
                      "click toggles twice, as two clicks do")
            << kSameLetter << "sales"
            << QStringLiteral(
                   "drag 'sales' 'summary'|sales|summary;"
                   " drag 'summary' 'Scratch'|sales,summary|Scratch;"
                   " drag 'sales' 'stock'|summary|stock; drag below 'Scratch'|summary|Scratch;"
                   " double-click 'stock'|summary|stock; click 'stock'|stock,summary|stock;"
                   " double-click 'stock'|stock,summary|stock");
    }

    void onlyTheEntryActedOnIsSelected() {
        QFETCH(QStringList, names);
        QFETCH(QString, focus);
        QFETCH(QString, steps);
        QtTableList list;
        fq::test::fillList(list, names);
        list.resize(240, 200);
        list.show();
        list.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&list) && list.hasFocus());
        list.SetListIndex(static_cast<int>(entriesOf(list).indexOf(focus)));
        for (const QString& step : steps.split(QStringLiteral("; "))) {
            const QString input = step.section(u'|', 0, 0);
            QVERIFY2(perform(list, input), qPrintable(input));
            const int at = list.ListIndex();
            QCOMPARE(QStringList(
                         {input, selectedOf(list).join(u','), at >= 0 ? list.List(at) : QString()})
                         .join(u'|'),
                     step);
        }
    }

    // Rows are all one height, one line of the list's font, whatever the characters of a name
    // and wherever it stands: seven names fit the table manager's list (3015 by 1635 twips,
    // Arial 9 point bold) without a scroll bar, and a Chinese name's glyphs fit their row. The
    // machine needs a font for Chinese whose lines are taller than Arial's (scripts/setup installs
    // one), or the rows with Chinese names would prove nothing.
    void rowsAreOneLineHigh_data() {
        QTest::addColumn<QStringList>("names");                // as the list sorts them
        const QString orders = QStringLiteral("\u8ba2\u5355"); // "orders"
        QTest::newRow("Latin names only")
            << QStringList{"alpha", "beta", "delta", "epsilon", "eta", "gamma", "zeta"};
        QTest::newRow("a Chinese name first")
            << QStringList{"a_" + orders, "beta", "delta", "epsilon", "eta", "gamma", "zeta"};
        QTest::newRow("a Chinese name in the middle")
            << QStringList{"alpha", "beta", "delta", "e_" + orders, "eta", "gamma", "zeta"};
        QTest::newRow("a Chinese name last")
            << QStringList{"alpha", "beta", "delta", "epsilon", "eta", "gamma", orders};
        QStringList chinese{orders};
        for (const char* tail : {"_2", "_3", "_old", "\u65e7", "\u65e7_2", "\u8868"})
            chinese << orders + QString::fromUtf8(tail);
        QTest::newRow("every name Chinese") << chinese;
    }

    void rowsAreOneLineHigh() {
        QFETCH(QStringList, names);
        const QString chinese = QStringLiteral("\u8ba2\u5355");
        QFont font(QStringLiteral("Arial"));
        font.setPointSize(9);
        font.setBold(true);
        QTextLayout natural(chinese, font);
        natural.beginLayout();
        const QTextLine line = natural.createLine();
        natural.endLayout();
        QVERIFY2(line.height() > QFontMetricsF(font).height(),
                 "no font with Chinese lines taller than Arial's is installed (scripts/setup)");

        const auto shownList = [&font](QtTableList& list, const QStringList& entries) {
            list.setFont(font);
            setTwipsGeometry(list, 0, 0, 3015, 1635);
            for (const QString& entry : entries)
                list.AddItem(entry);
            list.show();
            return QTest::qWaitForWindowExposed(&list);
        };
        QtTableList plain;
        QVERIFY(shownList(plain, {"a"}));
        const int lineHeight = plain.visualItemRect(plain.item(0)).height();
        QtTableList list;
        QVERIFY(shownList(list, names));
        QCOMPARE(entriesOf(list), names);
        QList<int> heights;
        for (int i = 0; i < list.count(); ++i) {
            const QRect row = list.visualItemRect(list.item(i));
            heights << row.height();
            QVERIFY2(list.viewport()->rect().contains(row), qPrintable(list.List(i)));
            QVERIFY2(QFontMetrics(font).tightBoundingRect(list.List(i)).height() <= row.height(),
                     qPrintable(list.List(i)));
        }
        QCOMPARE(heights, QList<int>(7, lineHeight));
        QVERIFY(!list.verticalScrollBar()->isVisible());
    }

    // A window 1000 twips shorter than the screen goes 500 twips above its top edge, centred.
    void centerForm() {
        QWidget w;
        const double dpi = w.screen()->logicalDotsPerInch();
        const QRect s = w.screen()->geometry();
        w.resize(s.width() - twipsToPixels(2000, dpi), s.height() - twipsToPixels(1000, dpi));
        CenterForm(w);
        QVERIFY2(std::abs(w.x() - s.left() - twipsToPixels(1000, dpi)) <= 1 &&
                     std::abs(w.y() - s.top() + twipsToPixels(500, dpi)) <= 1,
                 qPrintable(QStringLiteral("%1, %2").arg(w.x()).arg(w.y())));
    }

    // While not 0 the window's pointer shows over every control, 0 gives each its own back.
    // Without a usable cursor file (none, or not a cursor) pointer 99 shows the standard pointer.
    void pointerCoversEveryControl_data() {
        QTest::addColumn<QByteArray>("file"); // empty: no file at all
        QTest::addRow("no cursor file") << QByteArray();
        QTest::addRow("file that is not a cursor") << QByteArray("not a cursor at all");
    }

    void pointerCoversEveryControl() {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        QFile cursorFile(dir.filePath(QStringLiteral("HAND-M.CUR")));
        QVERIFY(file.isEmpty() || (cursorFile.open(QIODevice::WriteOnly) &&
                                   cursorFile.write(file) == file.size() && cursorFile.flush()));
        QWidget window;
        QLineEdit box(&window);
        QPushButton button(QStringLiteral("b"), &window);
        WindowPointer pointer(window);
        LoadHandPointer(pointer, dir.path());
        pointer.SetMousePointer(kPointerHourglass);
        for (const QWidget* w : std::initializer_list<const QWidget*>{&window, &box, &button})
            QCOMPARE(w->cursor().shape(), Qt::WaitCursor);
        pointer.SetMousePointer(kPointerCustom);
        QCOMPARE(button.cursor().shape(), Qt::ArrowCursor);
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
        QCOMPARE(QtDialogs().MsgBox(QStringLiteral("Table <b>x</b> & y"), style, title, detail),
                 answer);
        QVERIFY(inspected);
    }

    // The prompt, the application's title, the default text; what was entered, or "" on Cancel.
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
