#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

namespace fq::app {

// The terminal's two outputs, written from any thread: messages on standard error, each ending
// in a line break, and what a command lists on standard output. While progress is shown (standard
// error is a terminal, and --quiet was not given) one more line of standard error is rewritten
// in place, fitted to the terminal's width; a message takes its place, and the next update
// writes it again below. Writes that fail (an output that was closed) are let go: nothing that
// runs stops for them.
class TerminalConsole {
public:
    explicit TerminalConsole(bool showProgress);

    bool showsProgress() const { return showProgress_; }

    void message(const QString& text);
    void output(const QString& line);
    void progress(const QString& line);
    void clearProgress();

private:
    void clearProgressLocked();

    std::mutex mutex_;
    const bool showProgress_;
    bool progressShown_ = false;
};

// True when the file descriptor is a terminal.
bool isTerminal(int fd);

} // namespace fq::app
