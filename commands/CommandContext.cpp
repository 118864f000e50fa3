#include "db/CommandContext.h"

#include "db/DbError.h"
#include "ui/Dialogs.h"

namespace fq::db {

void ReportFailure(ui::Dialogs& dialogs, const QString& whatFailed, const DbError& error) {
    const QString prompt = whatFailed + QStringLiteral("\n\n") + error.driverText();
    const QString detail = QStringLiteral("SQLSTATE %1, native error %2, error number %3")
                               .arg(error.sqlState())
                               .arg(error.nativeError())
                               .arg(error.number());
    dialogs.MsgBox(prompt, ui::kOkOnly, {}, detail);
}

} // namespace fq::db
