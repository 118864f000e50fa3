#include "odbc/ConnectionHandle.h"

#include "odbc/Environment.h"
#include "odbc/Odbc.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace fq::odbc {

ConnectionHandle::ConnectionHandle() : env_(Environment::shared()) {
    SQLHDBC dbc = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, env_->handle(), &dbc);
    if (!detail::succeeded(rc))
        throw detail::diagnostics(SQL_HANDLE_ENV, env_->handle(), "SQLAllocHandle", rc);
    dbc_ = dbc;
}

ConnectionHandle::~ConnectionHandle() {
    if (connected_)
        SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
}

QString ConnectionHandle::infoText(SQLUSMALLINT what) const {
    std::vector<SQLWCHAR> text(256);
    SQLSMALLINT bytes = 0;
    const SQLRETURN rc = SQLGetInfoW(dbc_, what, text.data(),
                                     static_cast<SQLSMALLINT>(text.size() * sizeof(SQLWCHAR)), &bytes);
    if (!detail::succeeded(rc))
        return {};
    const auto length = std::min<qsizetype>(bytes / 2, static_cast<qsizetype>(text.size()) - 1);
    return detail::fromWide(text.data(), std::max<qsizetype>(length, 0));
}

void ConnectionHandle::connect(const QString& driverString) {
    if (driverString.size() > std::numeric_limits<SQLSMALLINT>::max()) {
        throw DbError(kGenericFailure, QStringLiteral("HY090"), 0,
                      QStringLiteral("The connection string is too long (%1 characters).")
                          .arg(driverString.size()));
    }
    // The completed string the driver reports back is not needed, but some drivers insist on
    // somewhere to write it.
    std::vector<SQLWCHAR> completed(1024);
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(
        dbc_, nullptr, detail::wide(driverString), static_cast<SQLSMALLINT>(driverString.size()),
        completed.data(), static_cast<SQLSMALLINT>(completed.size()), &completedLength,
        SQL_DRIVER_NOPROMPT);
    detail::check(rc, SQL_HANDLE_DBC, dbc_, "SQLDriverConnectW");
    connected_ = true;

    std::vector<SQLWCHAR> name(256);
    SQLSMALLINT nameBytes = 0;
    const SQLRETURN info =
        SQLGetInfoW(dbc_, SQL_DRIVER_NAME, name.data(),
                    static_cast<SQLSMALLINT>(name.size() * sizeof(SQLWCHAR)), &nameBytes);
    if (detail::succeeded(info)) {
        const auto length =
            std::min<qsizetype>(nameBytes / 2, static_cast<qsizetype>(name.size()) - 1);
        textAsUtf8_ = detail::fromWide(name.data(), std::max<qsizetype>(length, 0))
                          .contains(QLatin1String("maodbc"), Qt::CaseInsensitive);
    }
    driverVersion_ = infoText(SQL_DRIVER_VER);
}

} // namespace fq::odbc
