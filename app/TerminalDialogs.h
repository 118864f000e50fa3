#pragma once

#include "app/TerminalArguments.h"
#include "ui/Dialogs.h"

#include <QString>

#include <optional>

namespace fq::app {

class TerminalConsole;

// The message and input boxes of a terminal run. A message is written to standard error as its
// box would show it: the text, then the details. Nobody is asked anything: the overwrite
// question is answered as the command line says (--overwrite Yes, --skip-existing No, and
// without either No, with a message), and the rename's input box with the new name it gives.
// Called on the thread the command runs on; read once it has ended.
class TerminalDialogs final : public ui::Dialogs {
public:
    TerminalDialogs(TerminalConsole& console, TerminalRequest::Existing existing, bool quiet);

    int MsgBox(const QString& prompt, int style, const QString& title,
               const QString& detail) override;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    void showFailure(ui::Failure kind, const QString& text, const QString& detail) override;

    // Written before each message from now on ("MySQL Database: ", when a test names the
    // database its answer is about).
    void setHeading(const QString& heading) { heading_ = heading; }
    // The answer to the input boxes from now on.
    void setInput(const QString& input) { input_ = input; }

    // The first failure a command reported, if one did.
    std::optional<ui::Failure> failure() const { return failure_; }
    // Tables left as they were on the target, with a message: neither --overwrite nor
    // --skip-existing was given.
    int leftExisting() const { return leftExisting_; }

private:
    void show(const QString& text, const QString& detail);

    TerminalConsole& console_;
    const TerminalRequest::Existing existing_;
    const bool quiet_;
    QString heading_;
    QString input_;
    std::optional<ui::Failure> failure_;
    int leftExisting_ = 0;
};

} // namespace fq::app
