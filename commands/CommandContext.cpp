#include "commands/CommandContext.h"

#include "odbc/DbError.h"
#include "sql/Refusal.h"
#include "ui/Dialogs.h"

namespace fq::commands {

Refused refusedBy(const odbc::DbError& error) {
    return Refused{error.driverText(),
                   QStringLiteral("SQLSTATE %1, native error %2, error number %3")
                       .arg(error.sqlState())
                       .arg(error.nativeError())
                       .arg(error.number())};
}

Refused refusedBy(const sql::Refusal& refusal) {
    return Refused{refusal.text(), {}};
}

void reportFailure(ui::Dialogs& dialogs, const QString& whatFailed, const Refused& refused,
                   const QString& note) {
    QString text = whatFailed + QStringLiteral("\n\n") + refused.words;
    if (!note.isEmpty())
        text += QStringLiteral("\n\n") + note;
    dialogs.MsgBox(text, ui::kOkOnly, {}, refused.detail);
}

} // namespace fq::commands
