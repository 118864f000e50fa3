#pragma once

// Shared pieces of the ODBC layer: the one test for success, the conversion of text to and
// from SQLWCHAR, and the translation of diagnostic records into DbError, and the misuses the
// component reports. Private to odbc/.

#include "odbc/DbError.h"
#include "odbc/Misuse.h"

#include <QString>

#include <sql.h>
#include <sqlext.h>

namespace fq::odbc::detail {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t),
              "SQLWCHAR must be 16-bit (unixODBC and Windows), the width of QString's storage");

// SQL_SUCCESS and SQL_SUCCESS_WITH_INFO succeed; everything else (SQL_ERROR, SQL_NO_DATA,
// SQL_INVALID_HANDLE, SQL_NEED_DATA, SQL_STILL_EXECUTING) does not.
constexpr bool succeeded(SQLRETURN rc) noexcept {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

inline SQLWCHAR* wide(const QString& s) {
    // The driver only reads these buffers (SQLWCHAR* parameters are not const in the API).
    return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
}

inline QString fromWide(const SQLWCHAR* s, qsizetype length) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s), length);
}

// Builds the error from every diagnostic record of the handle. `function` names the ODBC call
// that failed, for the rare driver that fails without leaving any record.
DbError diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const char* function, SQLRETURN rc);

// Throws diagnostics(...) unless rc succeeded.
inline void check(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle, const char* function) {
    if (!succeeded(rc))
        throw diagnostics(handleType, handle, function, rc);
}

// A call on a connection that is not open.
Misuse notOpen();
// Reading or moving past the last row, or in a result that holds no rows: the caller reads rows
// without asking whether there are any.
Misuse noCurrentRow();
// A column position outside the result's columns.
Misuse noSuchColumn(int index, int count);

} // namespace fq::odbc::detail
