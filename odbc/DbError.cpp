#include "odbc/DbError.h"

#include <utility>

namespace fq::odbc {

namespace {

QString codesOf(const QString& sqlState, long nativeError, long number) {
    return QStringLiteral("SQLSTATE %1, native error %2, error number %3")
        .arg(sqlState)
        .arg(nativeError)
        .arg(number);
}

std::string describe(long number, const QString& sqlState, long nativeError,
                     const QString& driverText) {
    QString text = driverText;
    if (text.isEmpty())
        text = QStringLiteral("The database reported a failure without a message.");
    return (text + QStringLiteral(" (") + codesOf(sqlState, nativeError, number) + u')')
        .toStdString();
}

} // namespace

DbError::DbError(long number, QString sqlState, long nativeError, QString driverText)
    : std::runtime_error(describe(number, sqlState, nativeError, driverText)), number_(number),
      sqlState_(std::move(sqlState)), nativeError_(nativeError),
      driverText_(std::move(driverText)) {}

QString DbError::codes() const {
    return codesOf(sqlState_, nativeError_, number_);
}

} // namespace fq::odbc
