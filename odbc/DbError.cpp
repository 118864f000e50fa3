#include "odbc/DbError.h"

#include <utility>

namespace fq::odbc {

namespace {

std::string describe(long number, const QString& sqlState, long nativeError,
                     const QString& driverText) {
    QString text = driverText;
    if (text.isEmpty())
        text = QStringLiteral("The database reported a failure without a message.");
    return QStringLiteral("%1 (SQLSTATE %2, native error %3, number %4)")
        .arg(text, sqlState.isEmpty() ? QStringLiteral("none") : sqlState)
        .arg(nativeError)
        .arg(number)
        .toStdString();
}

} // namespace

DbError::DbError(long number, QString sqlState, long nativeError, QString driverText)
    : std::runtime_error(describe(number, sqlState, nativeError, driverText)), number_(number),
      sqlState_(std::move(sqlState)), nativeError_(nativeError),
      driverText_(std::move(driverText)) {}

} // namespace fq::odbc
