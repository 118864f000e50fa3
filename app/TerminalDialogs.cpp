#include "app/TerminalDialogs.h"

#include "app/TerminalConsole.h"

namespace fq::app {

TerminalDialogs::TerminalDialogs(TerminalConsole& console, TerminalRequest::Existing existing,
                                 bool quiet)
    : console_(console), existing_(existing), quiet_(quiet) {}

void TerminalDialogs::show(const QString& text, const QString& detail) {
    console_.message(heading_ + text +
                     (detail.isEmpty() ? QString() : QStringLiteral("\n\nDetails: ") + detail));
}

int TerminalDialogs::MsgBox(const QString& prompt, int style, const QString&,
                            const QString& detail) {
    if (style != ui::kYesNo) {
        show(prompt, detail);
        return ui::kAnswerOk;
    }
    // The only question a command asks: whether to overwrite a table already on the target.
    switch (existing_) {
    case TerminalRequest::Existing::Overwrite:
        if (!quiet_)
            show(prompt + QStringLiteral(" Yes (--overwrite)."), detail);
        return ui::kAnswerYes;
    case TerminalRequest::Existing::Skip:
        if (!quiet_)
            show(prompt + QStringLiteral(" No (--skip-existing)."), detail);
        return ui::kAnswerNo;
    case TerminalRequest::Existing::Stop:
        break;
    }
    ++leftExisting_;
    show(prompt + QStringLiteral(" No: the table that is there stays as it is, and this one is "
                                 "not copied. Give --overwrite to replace the tables already "
                                 "there, or --skip-existing to leave them without this message."),
         detail);
    return ui::kAnswerNo;
}

QString TerminalDialogs::InputBox(const QString&, const QString&, const QString&) {
    return input_;
}

void TerminalDialogs::showFailure(ui::Failure kind, const QString& text, const QString& detail) {
    if (!failure_)
        failure_ = kind;
    show(text, detail);
}

} // namespace fq::app
