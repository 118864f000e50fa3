#include "commands/CommandContext.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Waiting.h"
#include "sql/ConnectionStrings.h"
#include "sql/Refusal.h"
#include "ui/Dialogs.h"
#include "ui/Progress.h"

namespace fq::commands {

QString driverString(const QString& connectionString) {
    const odbc::Limits bounds = odbc::limits();
    return sql::driverConnectionString(connectionString, bounds.login, bounds.answer);
}

void openConnection(odbc::Connection& connection, const QString& connectionString) {
    connection.open(driverString(connectionString));
}

bool stopRequested(const CommandContext& ctx) {
    return ctx.progress != nullptr && ctx.progress->cancelled();
}

Refused refusedBy(const odbc::DbError& error) {
    const QString codes = error.codes();
    // A connection Fernquill closed: the driver's words that follow tell of a lost connection,
    // as if the server had closed it, so the details say first who closed it and why.
    const QString afterwards = QStringLiteral("\nWhat the driver reported after that: ") +
                               error.driverText() + QStringLiteral("\n") + codes;
    switch (error.interruption()) {
    case odbc::Interruption::StoppedAnswering: {
        const auto seconds = odbc::limits().answer.count();
        return Refused{QStringLiteral("Nothing came back from the server for %1 seconds, so the "
                                      "connection was closed.")
                           .arg(seconds),
                       QStringLiteral("Fernquill closed the connection after %1 seconds without "
                                      "an answer from the server.")
                               .arg(seconds) +
                           afterwards};
    }
    case odbc::Interruption::Cancelled:
        return Refused{QStringLiteral("The connection was closed on request while it waited "
                                      "for the server."),
                       QStringLiteral("Fernquill closed the connection on request, while it "
                                      "waited for the server.") +
                           afterwards};
    case odbc::Interruption::None:
        break;
    }
    return Refused{error.driverText(), codes};
}

Refused refusedBy(const sql::Refusal& refusal) {
    return Refused{refusal.text(), {}};
}

ui::Failure failureOf(const odbc::DbError& error, ui::Failure otherwise) {
    switch (error.interruption()) {
    case odbc::Interruption::StoppedAnswering:
        return ui::Failure::StoppedAnswering;
    case odbc::Interruption::Cancelled:
        return ui::Failure::Cancelled;
    case odbc::Interruption::None:
        break;
    }
    return otherwise;
}

void reportFailure(ui::Dialogs& dialogs, ui::Failure kind, const QString& whatFailed,
                   const Refused& refused, const QString& note) {
    QString text =
        refused.words.isEmpty() ? whatFailed : whatFailed + QStringLiteral("\n\n") + refused.words;
    if (!note.isEmpty())
        text += QStringLiteral("\n\n") + note;
    dialogs.showFailure(kind, text, refused.detail);
}

} // namespace fq::commands
