// Window services: centring, the file test, the hand pointer file, the window-wide pointer,
// the pop-up button's press handling and the message and input boxes.
#include "ui/Dialogs.h"
#include "ui/Pointer.h"
#include "ui/qt/PopupButton.h"
#include "ui/qt/QtDialogs.h"
#include "ui/qt/Twips.h"
#include "ui/qt/WindowPointer.h"
#include "ui/qt/WindowServices.h"

#include <QApplication>
#include <QBuffer>
#include <QDialogButtonBox>
#include <QImageWriter>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace fq::ui;
using namespace fq::ui::qt;

namespace {

// A Windows cursor file: Qt writes an icon, and an icon directory becomes a cursor directory by
// its type field (2) and the hotspot in place of the planes and bit count of the entry.
QByteArray cursorFileBytes(int hotX, int hotY) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(8, 2, 8, 26, Qt::black);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    if (!writer.write(image))
        return {};
    bytes[2] = 2;
    bytes[10] = static_cast<char>(hotX & 0xff);
    bytes[11] = static_cast<char>(hotX >> 8);
    bytes[12] = static_cast<char>(hotY & 0xff);
    bytes[13] = static_cast<char>(hotY >> 8);
    return bytes;
}

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
    void centerFormPosition_data();
    void centerFormPosition();
    void centerFormPlacesTheWindow();
    void fileExists_data();
    void fileExists();
    void cursorFileHotspot();
    void handPointerLoad_data();
    void handPointerLoad();
    void pointerCoversEveryControl();
    void popupButtonActsOncePerPress();
    void messageBox_data();
    void messageBox();
    void inputBox();
};

void WindowServicesTest::centerFormPosition_data() {
    QTest::addColumn<QSizeF>("screen");
    QTest::addColumn<QSizeF>("window");
    QTest::addColumn<QPointF>("at");
    QTest::addRow("1000 twips shorter than the screen: top -500")
        << QSizeF(15360, 11520) << QSizeF(6390, 10520) << QPointF(4485, -500);
    QTest::addRow("screen height minus 2000: top 0")
        << QSizeF(15360, 11520) << QSizeF(6390, 9520) << QPointF(4485, 0);
    QTest::addRow("odd difference is divided exactly")
        << QSizeF(15361, 11521) << QSizeF(6390, 6600) << QPointF(4485.5, 1460.5);
    QTest::addRow("taller and wider than the screen: not clamped")
        << QSizeF(9000, 6000) << QSizeF(10000, 9000) << QPointF(-500, -2500);
}

void WindowServicesTest::centerFormPosition() {
    QFETCH(QSizeF, screen);
    QFETCH(QSizeF, window);
    QFETCH(QPointF, at);
    QCOMPARE(fq::ui::qt::centerFormPosition(screen, window), at);
}

void WindowServicesTest::centerFormPlacesTheWindow() {
    QWidget window;
    const QScreen* screen = window.screen();
    QVERIFY(screen != nullptr);
    const double dpi = screen->logicalDotsPerInch();
    const QRect s = screen->geometry();
    // A window whose height is the screen's less 1000 twips sits 500 twips above the screen.
    const int height = s.height() - twipsToPixels(1000, dpi);
    window.resize(300, height);
    CenterForm(window);
    const QPointF twips = fq::ui::qt::centerFormPosition(
        {pixelsToTwips(s.width(), dpi), pixelsToTwips(s.height(), dpi)},
        {pixelsToTwips(300, dpi), pixelsToTwips(height, dpi)});
    QVERIFY(std::abs(twips.y() + 500) < 1440.0 / dpi); // within a pixel of -500 twips
    QCOMPARE(window.pos(), QPoint(s.left() + twipsToPixels(twips.x(), dpi),
                                  s.top() + twipsToPixels(twips.y(), dpi)));
    QVERIFY(window.pos().y() < s.top());
}

void WindowServicesTest::fileExists_data() {
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("exists");
    QTest::addRow("existing file") << "HAND-M.CUR" << true;
    QTest::addRow("existing folder") << "." << true;
    QTest::addRow("missing file") << "nothing.cur" << false;
    QTest::addRow("file in a missing folder") << "nowhere/HAND-M.CUR" << false;
    QTest::addRow("file used as a folder") << "HAND-M.CUR/x" << false;
    QTest::addRow("empty path") << "" << false;
}

void WindowServicesTest::fileExists() {
    QFETCH(QString, relative);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("HAND-M.CUR")), "x");
    const QString path = relative.isEmpty() ? QString() : dir.filePath(relative);
    QCOMPARE(FileExists(path), exists);
}

void WindowServicesTest::cursorFileHotspot() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("HAND-M.CUR"));
    writeFile(path, cursorFileBytes(11, 3));
    const auto cursor = readCursorFile(path);
    QVERIFY(cursor.has_value());
    QCOMPARE(cursor->hotSpot(), QPoint(11, 3));
    QCOMPARE(cursor->pixmap().size(), QSize(32, 32));
}

void WindowServicesTest::handPointerLoad_data() {
    QTest::addColumn<QByteArray>("file"); // empty: no file at all
    QTest::addColumn<bool>("loaded");
    QTest::addRow("cursor file present") << cursorFileBytes(4, 4) << true;
    QTest::addRow("no cursor file") << QByteArray() << false;
    QTest::addRow("file that is not a cursor") << QByteArray("not a cursor at all") << false;
}

void WindowServicesTest::handPointerLoad() {
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QTemporaryDir dir;
    if (!file.isEmpty())
        writeFile(dir.filePath(QStringLiteral("HAND-M.CUR")), file);
    QWidget window;
    QPushButton button(QStringLiteral("b"), &window);
    WindowPointer pointer(window);
    LoadHandPointer(pointer, dir.path());
    // Pointer 99 shows the hand when it was loaded, the standard pointer otherwise.
    pointer.SetMousePointer(kPointerCustom);
    QCOMPARE(button.cursor().shape(), loaded ? Qt::BitmapCursor : Qt::ArrowCursor);
    if (loaded)
        QCOMPARE(button.cursor().hotSpot(), QPoint(4, 4));
}

void WindowServicesTest::pointerCoversEveryControl() {
    QWidget window;
    QLineEdit box(&window);
    QPushButton button(QStringLiteral("b"), &window);
    WindowPointer pointer(window);
    QCOMPARE(box.cursor().shape(), Qt::IBeamCursor);

    pointer.SetMousePointer(kPointerHourglass);
    QCOMPARE(pointer.MousePointer(), kPointerHourglass);
    for (QWidget* w : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&box),
                       static_cast<QWidget*>(&button)})
        QCOMPARE(w->cursor().shape(), Qt::WaitCursor);

    pointer.SetMousePointer(kPointerArrow);
    QCOMPARE(box.cursor().shape(), Qt::ArrowCursor);

    // 0 gives every control its usual pointer back: the text cursor over the box.
    pointer.SetMousePointer(kPointerDefault);
    QCOMPARE(box.cursor().shape(), Qt::IBeamCursor);
    QVERIFY(!button.testAttribute(Qt::WA_SetCursor));
    QCOMPARE(window.cursor().shape(), Qt::ArrowCursor);
}

void WindowServicesTest::popupButtonActsOncePerPress() {
    QWidget window;
    PopupButton button(QStringLiteral("Go"), &window);
    button.resize(200, 25);
    int actions = 0;
    int valueSeenByAction = -1;
    button.onPress(&window, [&] {
        ++actions;
        valueSeenByAction = button.Value();
    });
    QSignalSpy clicks(&button, &PopupButton::Click);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(actions, 1);
    QCOMPARE(valueSeenByAction, 0); // released before the action starts
    QCOMPARE(button.Value(), 0);
    QCOMPARE(clicks.count(), 2); // the press, and the release that finds nothing to do

    button.setFocus();
    QTest::keyClick(&button, Qt::Key_Space);
    QCOMPARE(actions, 2);

    // Setting the pressed state from code is a press too; setting the released state is not.
    button.SetValue(1);
    QCOMPARE(actions, 3);
    button.SetValue(0);
    QCOMPARE(actions, 3);
    QCOMPARE(button.iconSize().height() <= PopupButton::kPictureSize, true);
}

void WindowServicesTest::messageBox_data() {
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<int>("press"); // QMessageBox::StandardButton
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("shownTitle");
    QTest::addRow("OK only, application title")
        << kOkOnly << ""
        << "" << int(QMessageBox::Ok) << kAnswerOk << "Fernquill";
    QTest::addRow("Yes pressed") << kYesNo << ""
                                 << "" << int(QMessageBox::Yes) << kAnswerYes << "Fernquill";
    QTest::addRow("No pressed, own title, details")
        << kYesNo << "Question"
        << "SQLSTATE 42S02" << int(QMessageBox::No) << kAnswerNo << "Question";
}

void WindowServicesTest::messageBox() {
    QFETCH(int, style);
    QFETCH(QString, title);
    QFETCH(QString, detail);
    QFETCH(int, press);
    QFETCH(int, answer);
    QFETCH(QString, shownTitle);
    QtDialogs dialogs;
    bool inspected = false;
    whenModalShows([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), shownTitle);
        QCOMPARE(box->icon(), QMessageBox::NoIcon);
        QCOMPARE(box->text(), QStringLiteral("Table <b>x</b> & y"));
        QCOMPARE(box->detailedText(), detail);
        const auto expected = style == kYesNo ? (QMessageBox::Yes | QMessageBox::No)
                                              : QMessageBox::StandardButtons(QMessageBox::Ok);
        QCOMPARE(box->standardButtons(), expected);
        inspected = true;
        box->button(static_cast<QMessageBox::StandardButton>(press))->click();
    });
    QCOMPARE(dialogs.MsgBox(QStringLiteral("Table <b>x</b> & y"), style, title, detail), answer);
    QVERIFY(inspected);
}

void WindowServicesTest::inputBox() {
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
    QCOMPARE(
        dialogs.InputBox(QStringLiteral("Enter new name of orders:"), {}, QStringLiteral("orders")),
        QStringLiteral("sales"));

    whenModalShows([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    QCOMPARE(dialogs.InputBox(QStringLiteral("p"), {}, QStringLiteral("orders")), QString());
}

QTEST_MAIN(WindowServicesTest)
#include "tst_windowservices.moc"
