#include "app/TerminalConsole.h"

#include <QList>

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace fq::app {

namespace {

void writeAll(int fd, const QByteArray& bytes) {
    const char* at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, static_cast<std::size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        at += n;
        left -= n;
    }
}

int terminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// The columns a character takes on a terminal: two for the wide characters of East Asian
// scripts and for those outside the Basic Multilingual Plane (emoji), one for any other.
int columnsOf(char32_t c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                      (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                      (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x10000;
    return wide ? 2 : 1;
}

// The line cut to fit in `columns` less one, so that the terminal never wraps it (a wrapped
// line could not be rewritten in place). Control characters show as blanks.
QString fitted(const QString& line, int columns) {
    QString out;
    int used = 0;
    for (const char32_t c : line.toUcs4()) {
        const int width = columnsOf(c);
        if (used + width > columns - 1)
            break;
        used += width;
        if (c < 0x20 || c == 0x7F)
            out += u' ';
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

} // namespace

bool isTerminal(int fd) {
    return ::isatty(fd) == 1;
}

TerminalConsole::TerminalConsole(bool showProgress) : showProgress_(showProgress) {}

void TerminalConsole::message(const QString& text) {
    const std::lock_guard lock(mutex_);
    clearProgressLocked();
    writeAll(STDERR_FILENO, (text + u'\n').toUtf8());
}

void TerminalConsole::output(const QString& line) {
    const std::lock_guard lock(mutex_);
    writeAll(STDOUT_FILENO, (line + u'\n').toUtf8());
}

void TerminalConsole::progress(const QString& line) {
    if (!showProgress_)
        return;
    const std::lock_guard lock(mutex_);
    // Back to the start of the line, the new text, and the rest of the old one erased.
    writeAll(STDERR_FILENO, "\r" + fitted(line, terminalColumns()).toUtf8() + "\x1b[K");
    progressShown_ = true;
}

void TerminalConsole::clearProgress() {
    const std::lock_guard lock(mutex_);
    clearProgressLocked();
}

void TerminalConsole::clearProgressLocked() {
    if (!progressShown_)
        return;
    writeAll(STDERR_FILENO, "\r\x1b[K");
    progressShown_ = false;
}

} // namespace fq::app
