#include "odbc/Odbc.h"

#include <QStringList>

#include <vector>

namespace fq::odbc::detail {

namespace {

// SQL Server's "Login failed for user" and MySQL's "Access denied for user".
constexpr SQLINTEGER kSqlServerLoginFailed = 18456;
constexpr SQLINTEGER kMySqlAccessDenied = 1045;

struct Record {
    QString state;
    SQLINTEGER native = 0;
    QString text;
};

QString withoutNuls(QString s) {
    s.remove(QChar(u'\0'));
    return s;
}

std::vector<Record> readRecords(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<Record> records;
    if (handle == nullptr)
        return records;
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> text(1024);
        SQLSMALLINT textLength = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text.data(),
                                      static_cast<SQLSMALLINT>(text.size()), &textLength);
        if (rc == SQL_SUCCESS_WITH_INFO && textLength >= static_cast<SQLSMALLINT>(text.size())) {
            // The message was cut: ask again with room for all of it.
            text.resize(static_cast<std::size_t>(textLength) + 1);
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, text.data(),
                                static_cast<SQLSMALLINT>(text.size()), &textLength);
        }
        if (!succeeded(rc))
            break; // SQL_NO_DATA after the last record; anything else ends the walk as well
        const auto length = std::min<qsizetype>(std::max<SQLSMALLINT>(textLength, 0),
                                                static_cast<qsizetype>(text.size()) - 1);
        records.push_back(Record{withoutNuls(fromWide(state, 5)), native,
                                 withoutNuls(fromWide(text.data(), length)).trimmed()});
    }
    return records;
}

const char* returnCodeName(SQLRETURN rc) {
    switch (rc) {
    case SQL_ERROR:
        return "SQL_ERROR";
    case SQL_INVALID_HANDLE:
        return "SQL_INVALID_HANDLE";
    case SQL_NO_DATA:
        return "SQL_NO_DATA";
    case SQL_NEED_DATA:
        return "SQL_NEED_DATA";
    case SQL_STILL_EXECUTING:
        return "SQL_STILL_EXECUTING";
    default:
        return "an unexpected return code";
    }
}

} // namespace

DbError diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const char* function, SQLRETURN rc) {
    const std::vector<Record> records = readRecords(handleType, handle);
    if (records.empty()) {
        return DbError(kGenericFailure, QString(), 0,
                       QStringLiteral("The ODBC driver returned %1 from %2 without a diagnostic "
                                      "record.")
                           .arg(QLatin1String(returnCodeName(rc)), QLatin1String(function)));
    }
    bool loginRefused = false;
    QStringList lines;
    for (const Record& r : records) {
        if (r.state == QLatin1String("28000") || r.native == kSqlServerLoginFailed ||
            r.native == kMySqlAccessDenied)
            loginRefused = true;
        lines.append(r.text);
    }
    const Record& first = records.front();
    return DbError(loginRefused ? kLoginRefused : kGenericFailure, first.state, first.native,
                   lines.join(u'\n'));
}

Misuse notOpen() {
    return Misuse(QStringLiteral("The connection is not open."));
}

Misuse noCurrentRow() {
    return Misuse(QStringLiteral("There is no current row: the result is past its last row, or "
                                 "the statement returned no rows."));
}

Misuse noSuchColumn(int index, int count) {
    return Misuse(QStringLiteral("The result has no column %1 (it has %2).").arg(index).arg(count));
}

} // namespace fq::odbc::detail
