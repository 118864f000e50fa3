// The two windows without servers: every control where it belongs, fonts, captions, focus
// order, the hover rules, the boxes' write-through, the selection buttons, the command buttons'
// wiring and closing.
#include "app/Form1.h"
#include "app/Form2.h"
#include "settings/SettingsStore.h"
#include "support/TestSupport.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtTableList.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using fq::app::Form1;
using fq::app::Form2;
using fq::ui::qt::PopupButton;
using fq::ui::qt::QtTableList;

namespace {

QString captionOf(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(w))
        return g->title();
    return {};
}

// The widgets that take the focus with Tab, in the order Tab visits them, from `first`.
QStringList tabVisits(QWidget* first, int count) {
    QStringList names;
    QWidget* w = first;
    while (names.size() < count) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && !w->objectName().isEmpty())
            names << w->objectName();
        w = w->nextInFocusChain();
        if (w == first)
            break;
    }
    return names;
}

// Moves the mouse over a control, as the window system reports it.
void hover(QWidget* w) {
    QVERIFY2(w != nullptr, "control not found");
    QTest::mouseMove(w, QPoint(2, 2));
}

struct Windows {
    QTemporaryDir dir;
    fq::settings::SettingsStore store{dir.path()};
    fq::test::FakeDialogs dialogs;
    Form1 form1{store, dialogs, dir.path()};
    Form2 form2{form1, dialogs, dir.path()};
};

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void windowSizesAndLook();
    void focusOrder_data();
    void focusOrder();
    void setupHoverRules();
    void tableManagerHoverRules();
    void boxesWriteThrough();
    void selectAllOnItsOwnList();
    void commandButtonsReachTheirCommands_data();
    void commandButtonsReachTheirCommands();
    void handPointerOfTheProgram();
    void closingEitherWindowEndsBoth_data();
    void closingEitherWindowEndsBoth();
};

void WindowsTest::layout_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    // Form1
    const struct {
        const char* name;
        const char* parent;
        int l, t, w, h;
        const char* caption;
    } one[] = {
        {"Frame1", "Form1", 120, 120, 6135, 2895, "MySQL Database"},
        {"Label2", "Frame1", 240, 405, 1095, 255, "Server:"},
        {"Text1", "Frame1", 1320, 360, 4575, 330, ""},
        {"Label1", "Frame1", 240, 885, 1095, 255, "Username:"},
        {"Text2", "Frame1", 1320, 840, 4575, 330, ""},
        {"Label4", "Frame1", 240, 1365, 1095, 255, "Password:"},
        {"Text3", "Frame1", 1320, 1320, 4575, 330, ""},
        {"Label3", "Frame1", 240, 1845, 975, 255, "Database:"},
        {"Text4", "Frame1", 1320, 1800, 4575, 330, ""},
        {"Check3", "Form1", 240, 2400, 5775, 375, "Test Connection"},
        {"Frame2", "Form1", 120, 3120, 6135, 2895, "MS SQL Server Database"},
        {"Label6", "Frame2", 240, 405, 1095, 255, "Server:"},
        {"Text5", "Frame2", 1320, 360, 4575, 330, ""},
        {"Label5", "Frame2", 240, 885, 1095, 255, "Username:"},
        {"Text6", "Frame2", 1320, 840, 4575, 330, ""},
        {"Label8", "Frame2", 240, 1365, 1095, 255, "Password:"},
        {"Text7", "Frame2", 1320, 1320, 4575, 330, ""},
        {"Label7", "Frame2", 240, 1845, 975, 255, "Database:"},
        {"Text8", "Frame2", 1320, 1800, 4575, 330, ""},
        {"Check1", "Frame2", 120, 2280, 5775, 375, "Test Connection"},
        {"Check2", "Form1", 120, 6120, 6135, 375, "OK"},
    };
    for (const auto& c : one)
        QTest::addRow("Form1.%s", c.name)
            << 1 << c.name << c.parent << QRect(c.l, c.t, c.w, c.h) << c.caption;
    const struct {
        const char* name;
        const char* parent;
        int l, t, w, h;
        const char* caption;
    } two[] = {
        {"Frame1", "Form2", 120, 120, 3465, 4215, "MySQL Tables"},
        {"List3", "Frame1", 240, 360, 3015, 1635, ""},
        {"Check10", "Frame1", 240, 2160, 1455, 375, "Select All"},
        {"Check11", "Frame1", 1800, 2160, 1455, 375, "Deselect All"},
        {"Check4", "Frame1", 240, 2640, 3015, 375, "Send Table(s) to MS SQL Server"},
        {"Check5", "Frame1", 240, 3120, 3015, 375, "Delete Table(s)"},
        {"Check7", "Frame1", 240, 3600, 3015, 375, "Rename Table"},
        {"fraTables", "Form2", 3720, 120, 3465, 4215, "MS SQL Server Tables"},
        {"List1", "fraTables", 240, 360, 2970, 1635, ""},
        {"Check8", "fraTables", 240, 2160, 1455, 375, "Select All"},
        {"Check9", "fraTables", 1800, 2160, 1455, 375, "Deselect All"},
        {"Check3", "fraTables", 240, 2640, 3015, 375, "Send Table(s) to MySQL"},
        {"Check1", "fraTables", 240, 3120, 3015, 375, "Delete Table(s)"},
        {"Check6", "fraTables", 240, 3600, 3015, 375, "Rename Table"},
        {"Check2", "Form2", 120, 4440, 7095, 375, "Setup MySQL && MS SQL Server Connections"},
    };
    for (const auto& c : two)
        QTest::addRow("Form2.%s", c.name)
            << 2 << c.name << c.parent << QRect(c.l, c.t, c.w, c.h) << c.caption;
}

void WindowsTest::layout() {
    QFETCH(int, window);
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    Windows w;
    QWidget* form = window == 1 ? static_cast<QWidget*>(&w.form1) : &w.form2;
    auto* control = form->findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget()->objectName(), parent);
    const double dpi = fq::ui::qt::logicalDpi(form);
    QCOMPARE(control->geometry(),
             fq::ui::qt::twipsRect(twips.x(), twips.y(), twips.width(), twips.height(), dpi));
    QCOMPARE(captionOf(control), caption);
    // Every control of both windows uses Arial bold: 9 point, and 8 point on the pop-up buttons,
    // whose longest caption needs it to fit beside its picture.
    QCOMPARE(control->font().family(), QStringLiteral("Arial"));
    QCOMPARE(control->font().pointSize(), qobject_cast<PopupButton*>(control) ? 8 : 9);
    QVERIFY(control->font().bold());
    // White backgrounds: everything in the setup window; frames and buttons in the table
    // manager.
    if (window == 1 || qobject_cast<QGroupBox*>(control) || qobject_cast<PopupButton*>(control))
        QCOMPARE(control->palette().color(control->backgroundRole()), QColor(Qt::white));
    if (auto* button = qobject_cast<PopupButton*>(control)) {
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->Value(), 0);
        // The whole caption shows, with the picture beside it.
        QString shown = caption;
        shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
        const QRect text = button->captionRect();
        QVERIFY2(text.width() >= button->fontMetrics().horizontalAdvance(shown), qPrintable(shown));
        QVERIFY(button->rect().contains(text));
        QVERIFY(!button->pictureRect().isEmpty());
        QVERIFY(!button->pictureRect().intersects(text));
        QVERIFY(button->rect().contains(button->pictureRect()));
    }
    if (auto* box = qobject_cast<QLineEdit*>(control)) {
        const bool masked = name == u"Text3" || name == u"Text7";
        QCOMPARE(box->echoMode(), masked ? QLineEdit::Password : QLineEdit::Normal);
        QVERIFY(box->text().isEmpty());
        if (masked) {
            // The box shows one "*" per character, and keeps the text as typed.
            const QSignalBlocker noWriteThrough(box);
            box->setText(QStringLiteral("p\u00e4ss"));
            QCOMPARE(box->displayText(), QStringLiteral("****"));
            QCOMPARE(box->text(), QStringLiteral("p\u00e4ss"));
            box->clear();
        }
    }
}

void WindowsTest::windowSizesAndLook() {
    Windows w;
    const double dpi = fq::ui::qt::logicalDpi(&w.form1);
    QCOMPARE(w.form1.size(),
             QSize(fq::ui::qt::twipsToPixels(6390, dpi), fq::ui::qt::twipsToPixels(6600, dpi)));
    QCOMPARE(w.form2.size(),
             QSize(fq::ui::qt::twipsToPixels(7305, dpi), fq::ui::qt::twipsToPixels(4935, dpi)));
    // Fixed layout: neither window can be resized.
    QCOMPARE(w.form1.minimumSize(), w.form1.maximumSize());
    QCOMPARE(w.form2.minimumSize(), w.form2.maximumSize());
    QCOMPARE(w.form1.windowTitle(), QStringLiteral("Setup Connections"));
    QCOMPARE(w.form1.font().family(), QStringLiteral("Arial"));
    QVERIFY(!w.form1.font().bold());
    QCOMPARE(w.form1.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(!w.form1.windowIcon().isNull());
    QVERIFY(!w.form2.windowIcon().isNull());
    // The displayed caption of the setup button has one ampersand.
    auto* setup = w.form2.findChild<PopupButton*>(QStringLiteral("Check2"));
    QVERIFY(setup != nullptr);
    QVERIFY(setup->sizeHint().width() > 0);
}

void WindowsTest::focusOrder_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<QStringList>("order");
    QTest::addRow("setup window") << 1 << QStringList{"Text1",  "Text2",  "Text3", "Text4",
                                                      "Check3", "Check2", "Text5", "Text6",
                                                      "Text7",  "Text8",  "Check1"};
    QTest::addRow("table manager")
        << 2 << QStringList{"List1",   "Check8", "Check9", "Check3", "Check1", "List3", "Check10",
                            "Check11", "Check2", "Check6", "Check7", "Check5", "Check4"};
}

void WindowsTest::focusOrder() {
    QFETCH(int, window);
    QFETCH(QStringList, order);
    Windows w;
    QWidget* form = window == 1 ? static_cast<QWidget*>(&w.form1) : &w.form2;
    auto* first = form->findChild<QWidget*>(order.first());
    QCOMPARE(tabVisits(first, static_cast<int>(order.size())), order);
}

void WindowsTest::setupHoverRules() {
    Windows w;
    Form1& f = w.form1;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const auto over = [&f](const char* name) { hover(f.findChild<QWidget*>(name)); };
    const auto pointer = [&f] { return f.pointer().MousePointer(); };

    for (const char* button : {"Check1", "Check2", "Check3"}) {
        over("Frame1");
        over(button);
        QCOMPARE(pointer(), 99);
    }
    // Labels have no rule: the hand stays after moving from a button onto a label.
    over("Label1");
    QCOMPARE(pointer(), 99);
    over("Label6");
    QCOMPARE(pointer(), 99);
    for (const char* box :
         {"Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7", "Text8"}) {
        over("Check2");
        over(box);
        QCOMPARE(pointer(), 0);
    }
    over("Label3");
    QCOMPARE(pointer(), 0);
    over("Frame2");
    QCOMPARE(pointer(), 1);
    over("Text5");
    hover(&f);
    QCOMPARE(pointer(), 1);
    // Any covered movement replaces the hourglass at once.
    f.pointer().SetMousePointer(11);
    over("Text1");
    QCOMPARE(pointer(), 0);
    f.pointer().SetMousePointer(11);
    over("Label2");
    QCOMPARE(pointer(), 11);
    over("Check3");
    QCOMPARE(pointer(), 99);
    // While not 0 the pointer shows over every control, the boxes included.
    QCOMPARE(f.findChild<QWidget*>(QStringLiteral("Text1"))->cursor().shape(), Qt::ArrowCursor);
}

void WindowsTest::tableManagerHoverRules() {
    Windows w;
    Form2& f = w.form2;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    const auto over = [&f](const char* name) { hover(f.findChild<QWidget*>(name)); };
    const auto pointer = [&f] { return f.pointer().MousePointer(); };
    const char* buttons[] = {"Check1", "Check2", "Check3", "Check4",  "Check5", "Check6",
                             "Check7", "Check8", "Check9", "Check10", "Check11"};
    for (const char* button : buttons) {
        hover(&f);
        over(button);
        QCOMPARE(pointer(), 99);
    }
    for (const char* zero : {"Frame1", "fraTables", "List1", "List3"}) {
        over("Check4");
        over(zero);
        QCOMPARE(pointer(), 0);
    }
    // Over the list's inner area as well.
    hover(f.findChild<QtTableList*>(QStringLiteral("List3"))->viewport());
    QCOMPARE(pointer(), 0);
    hover(&f);
    QCOMPARE(pointer(), 1);

    // The hourglass stays over buttons, frames and lists; the bare background gives the arrow.
    f.pointer().SetMousePointer(11);
    for (const char* name : {"Check5", "List3", "Frame1", "fraTables", "List1", "Check2"}) {
        over(name);
        QCOMPARE(pointer(), 11);
    }
    hover(f.findChild<QtTableList*>(QStringLiteral("List1"))->viewport());
    QCOMPARE(pointer(), 11);
    hover(&f);
    QCOMPARE(pointer(), 1);
}

void WindowsTest::boxesWriteThrough() {
    Windows w;
    const char* keys[] = {"MyServer", "MyUser", "MyPassword", "MyDatabase",
                          "MSServer", "MSUser", "MSPassword", "MSDatabase"};
    for (int i = 0; i < 8; ++i) {
        auto* box = w.form1.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(i + 1));
        QVERIFY(box != nullptr);
        QTest::keyClicks(box, QStringLiteral(" v%1'; x ").arg(i));
        // Written at once, blanks and punctuation as typed.
        QCOMPARE(w.store.Read(QString::fromLatin1(keys[i])), QStringLiteral(" v%1'; x ").arg(i));
    }
    const fq::sql::ConnectionSettings s = w.form1.settingsSource()();
    QCOMPARE(s.myServer, QStringLiteral(" v0'; x "));
    QCOMPARE(s.msDatabase, QStringLiteral(" v7'; x "));

    // Clearing a box stores the empty text under its key.
    auto* user = w.form1.findChild<QLineEdit*>(QStringLiteral("Text2"));
    user->selectAll();
    QTest::keyClick(user, Qt::Key_Delete);
    QCOMPARE(w.store.Read(QStringLiteral("MyUser")), QString());
    QCOMPARE(w.form1.currentSettings().myUser, QString());
}

void WindowsTest::selectAllOnItsOwnList() {
    Windows w;
    QtTableList& mysql = w.form2.mysqlList();
    QtTableList& mssql = w.form2.mssqlList();
    for (const char* t : {"c", "a", "B"})
        mysql.AddItem(QString::fromLatin1(t));
    for (const char* t : {"x", "y"})
        mssql.AddItem(QString::fromLatin1(t));
    mssql.SetSelected(1, true);
    mysql.SetListIndex(2);
    const auto press = [&w](const char* name) {
        auto* b = w.form2.findChild<PopupButton*>(QString::fromLatin1(name));
        QVERIFY(b != nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(b->Value(), 0);
    };
    const auto selection = [](const fq::ui::TableList& l) {
        QList<bool> s;
        for (int i = 0; i < l.ListCount(); ++i)
            s << l.Selected(i);
        return s;
    };
    press("Check10");
    QCOMPARE(selection(mysql), (QList<bool>{true, true, true}));
    QCOMPARE(selection(mssql), (QList<bool>{false, true}));
    QCOMPARE(mysql.ListIndex(), 2);
    press("Check11");
    QCOMPARE(selection(mysql), (QList<bool>{false, false, false}));
    QCOMPARE(selection(mssql), (QList<bool>{false, true}));
    press("Check11"); // nothing selected: nothing changes
    QCOMPARE(selection(mysql), (QList<bool>{false, false, false}));
    press("Check8");
    QCOMPARE(selection(mssql), (QList<bool>{true, true}));
    QCOMPARE(selection(mysql), (QList<bool>{false, false, false}));
    press("Check9");
    QCOMPARE(selection(mssql), (QList<bool>{false, false}));
    QVERIFY(w.dialogs.shown.isEmpty());
    QCOMPARE(w.form2.pointer().MousePointer(), 0);
}

void WindowsTest::commandButtonsReachTheirCommands_data() {
    QTest::addColumn<QString>("button");
    for (const char* b : {"Check1", "Check3", "Check4", "Check5", "Check6", "Check7"})
        QTest::newRow(b) << b;
}

void WindowsTest::commandButtonsReachTheirCommands() {
    // With no current item every command stops at its first check and says so, once, before it
    // touches a server.
    QFETCH(QString, button);
    Windows w;
    auto* b = w.form2.findChild<PopupButton*>(button);
    QVERIFY(b != nullptr);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(w.dialogs.shown.size(), 1);
    QCOMPARE(b->Value(), 0);
}

void WindowsTest::handPointerOfTheProgram() {
    // The cursor file that goes next to the program: a hand whose fingertip is the hotspot.
    const QString folder = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../app/cursors");
    const auto cursor = fq::ui::qt::readCursorFile(folder + QStringLiteral("/HAND-M.CUR"));
    QVERIFY(cursor.has_value());
    QCOMPARE(cursor->hotSpot(), QPoint(10, 1));
    QCOMPARE(cursor->pixmap().size(), QSize(32, 32));

    // Both windows load it at their load and show it over their buttons.
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

void WindowsTest::closingEitherWindowEndsBoth_data() {
    QTest::addColumn<bool>("closeSetup");
    QTest::newRow("closing the setup window") << true;
    QTest::newRow("closing the table manager") << false;
}

void WindowsTest::closingEitherWindowEndsBoth() {
    QFETCH(bool, closeSetup);
    Windows w;
    w.form1.show();
    w.form2.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form2));
    if (closeSetup)
        w.form1.close();
    else
        w.form2.close();
    QVERIFY(!w.form1.isVisible());
    QVERIFY(!w.form2.isVisible());
}

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
