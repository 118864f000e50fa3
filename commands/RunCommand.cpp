#include "commands/RunCommand.h"

#include "commands/CommandContext.h"
#include "odbc/DbError.h"
#include "ui/Dialogs.h"

#include <cstdio>
#include <exception>
#include <new>

namespace fq::commands {

namespace {

// What stopped the command: the message's text and its details.
struct Unexpected {
    QString text;
    QString detail;
};

const QString kWhatStands =
    QStringLiteral("Whatever the command did before it stopped stands; the table lists show it.");

Unexpected fault(const QString& command, const QString& detail) {
    return Unexpected{
        QStringLiteral("Fernquill could not finish %1: an unexpected error stopped it. This is a "
                       "fault in Fernquill itself, not in your servers or settings. ")
                .arg(command) +
            kWhatStands +
            QStringLiteral(" Please write to support@fernquill.example with the details of this "
                           "message."),
        detail};
}

Unexpected outOfMemory(const QString& command, const QString& detail) {
    return Unexpected{
        QStringLiteral("Fernquill could not finish %1: it ran out of memory. ").arg(command) +
            kWhatStands + QStringLiteral(" Closing other programs frees memory; then try again."),
        detail};
}

// The exception being handled, in words.
Unexpected describe(const QString& command) {
    try {
        throw;
    } catch (const std::bad_alloc& e) {
        return outOfMemory(command, QString::fromUtf8(e.what()));
    } catch (const odbc::DbError& e) {
        // A server's failure that its command did not report: the server's words and codes.
        const Refused refused = refusedBy(e);
        return fault(command, refused.words + QStringLiteral("\n") + refused.detail);
    } catch (const std::exception& e) {
        return fault(command, QString::fromUtf8(e.what()));
    } catch (...) {
        return fault(command, QStringLiteral("An exception of a type Fernquill does not know."));
    }
}

// When not even the message box can be shown.
void toStandardError(const Unexpected& stop) noexcept {
    try {
        if (!stop.text.isEmpty()) {
            const QByteArray text = (stop.text + u'\n' + stop.detail).toLocal8Bit();
            std::fprintf(stderr, "Fernquill: %s\n", text.constData());
            return;
        }
    } catch (...) {
    }
    std::fputs("Fernquill: a command stopped on an unexpected error.\n", stderr);
}

} // namespace

bool runCommand(const QString& command, ui::Dialogs& dialogs,
                const std::function<void()>& work) noexcept {
    Unexpected stop;
    try {
        work();
        return true;
    } catch (...) {
        try {
            stop = describe(command);
        } catch (...) {
            // Not even the words could be made: memory has run out.
            toStandardError({});
            return false;
        }
    }
    try {
        dialogs.showFailure(ui::Failure::Fault, stop.text, stop.detail);
    } catch (...) {
        toStandardError(stop);
    }
    return false;
}

} // namespace fq::commands
