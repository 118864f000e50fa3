#include "commands/CommandContext.h"

#include "odbc/DbError.h"
#include "odbc/Waiting.h"
#include "sql/Refusal.h"
#include "ui/Dialogs.h"
#include "ui/Progress.h"

namespace fq::commands {

bool stopRequested(const CommandContext& ctx) {
    return ctx.progress != nullptr && ctx.progress->cancelled();
}

Refused refusedBy(const odbc::DbError& error) {
    const QString codes = QStringLiteral("SQLSTATE %1, native error %2, error number %3")
                              .arg(error.sqlState())
                              .arg(error.nativeError())
                              .arg(error.number());
    switch (error.interruption()) {
    case odbc::Interruption::StoppedAnswering:
        return Refused{QStringLiteral("Nothing came back from the server for %1 seconds, so the "
                                      "connection was closed.")
                           .arg(odbc::limits().answer.count()),
                       error.driverText() + QStringLiteral("\n") + codes};
    case odbc::Interruption::Cancelled:
        return Refused{QStringLiteral("The connection was closed on request while it waited "
                                      "for the server."),
                       error.driverText() + QStringLiteral("\n") + codes};
    case odbc::Interruption::None:
        break;
    }
    return Refused{error.driverText(), codes};
}

Refused refusedBy(const sql::Refusal& refusal) {
    return Refused{refusal.text(), {}};
}

void reportFailure(ui::Dialogs& dialogs, const QString& whatFailed, const Refused& refused,
                   const QString& note) {
    QString text =
        refused.words.isEmpty() ? whatFailed : whatFailed + QStringLiteral("\n\n") + refused.words;
    if (!note.isEmpty())
        text += QStringLiteral("\n\n") + note;
    dialogs.MsgBox(text, ui::kOkOnly, {}, refused.detail);
}

} // namespace fq::commands
