#include "ui/qt/WindowServices.h"

#include "ui/qt/Twips.h"
#include "ui/qt/WindowPointer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace fq::ui::qt {

QPointF centerFormPosition(QSizeF screenTwips, QSizeF windowTwips) {
    const double left = (screenTwips.width() - windowTwips.width()) / 2.0;
    const double top = (screenTwips.height() - windowTwips.height()) / 2.0 - 1000.0;
    return {left, top};
}

void CenterForm(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const double dpi = screen->logicalDotsPerInch();
    const QRect screenRect = screen->geometry();
    const QRect outer = window.frameGeometry();
    const QPointF at = centerFormPosition(
        {pixelsToTwips(screenRect.width(), dpi), pixelsToTwips(screenRect.height(), dpi)},
        {pixelsToTwips(outer.width(), dpi), pixelsToTwips(outer.height(), dpi)});
    window.move(screenRect.left() + twipsToPixels(at.x(), dpi),
                screenRect.top() + twipsToPixels(at.y(), dpi));
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

std::optional<QCursor> readCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (bytes.size() < 14)
        return std::nullopt;
    const auto u16 = [&bytes](int at) {
        return static_cast<int>(static_cast<unsigned char>(bytes.at(at))) |
               (static_cast<int>(static_cast<unsigned char>(bytes.at(at + 1))) << 8);
    };
    const int hotX = u16(10);
    const int hotY = u16(12);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "cur");
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

void LoadHandPointer(WindowPointer& pointer, const QString& folder) {
    const QString dir = folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
    const QString path = QDir(dir).filePath(QString::fromLatin1(kHandCursorFile));
    if (!FileExists(path))
        return;
    if (auto cursor = readCursorFile(path))
        pointer.SetCustomCursor(*cursor);
}

} // namespace fq::ui::qt
