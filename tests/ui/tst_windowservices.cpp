// Window services: centring, the file test, the hand pointer file, the window-wide pointer, the
// pop-up button's press handling and the message and input boxes.
#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtDialogs.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowPointer.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace fq::ui;
using namespace fq::ui::qt;

namespace {

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

class WindowServicesTest : public QObject {
    Q_OBJECT

private slots:
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

QTEST_MAIN(WindowServicesTest)
#include "tst_windowservices.moc"
