#pragma once

#include <QCursor>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <optional>

class QWidget;

namespace fq::ui::qt {

class WindowPointer;

inline constexpr const char* kHandCursorFile = "HAND-M.CUR";

// Where CenterForm puts a window, in twips: horizontally centred, 1000 twips above the
// vertical centre. Exact division, no clamping: a window taller than the screen minus 2000
// twips gets a negative top.
QPointF centerFormPosition(QSizeF screenTwips, QSizeF windowTwips);

// Moves a top-level window to centerFormPosition for its screen and its outer size.
void CenterForm(QWidget& window);

// True when the file system can tell the path's last-modification time; every error
// (no such file or folder, an empty or invalid path) is false.
bool FileExists(const QString& path);

// Reads a Windows cursor file: the picture through Qt's "cur" reader, the hotspot from bytes
// 10-11 (x) and 12-13 (y) of the file, little-endian. Empty when the file cannot be read as a
// cursor.
std::optional<QCursor> readCursorFile(const QString& path);

// The load step of both windows: when FileExists finds HAND-M.CUR in the folder (the
// application's folder by default), its picture becomes the window's custom pointer image.
// Otherwise nothing happens and pointer 99 shows the standard pointer.
void LoadHandPointer(WindowPointer& pointer, const QString& folder = {});

} // namespace fq::ui::qt
