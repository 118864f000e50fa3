#include "odbc/Statement.h"

#include "odbc/ConnectionHandle.h"
#include "odbc/Odbc.h"

#include <sqlext.h>

#include <algorithm>
#include <limits>

namespace fq::odbc {

namespace {

constexpr std::size_t kFirstChunk = 4096;              // characters or bytes
constexpr std::size_t kLargestChunk = 4 * 1024 * 1024; // never ask for more at once

void appendUnits(QString& to, const SQLWCHAR* units, SQLLEN n) {
    to.append(detail::fromWide(units, n));
}

void appendUnits(QByteArray& to, const char* units, SQLLEN n) {
    to.append(units, static_cast<qsizetype>(n));
}

// Where a long value ended up: NULL, whole in the buffer's first units, or in the rest.
enum class LongRead { Null, InBuffer, InRest };

// Long values: a first call into the reused buffer, which holds most values whole; then, when
// the driver says how much is left, one call for all of the rest (at most kLargestChunk at a
// time), and when it does not, calls with a buffer twice as large each time. No value is read
// in many small pieces. Text ends in a NUL the driver writes, which is no part of the value.
// On InBuffer, `length` units of the buffer hold the value; on InRest, `rest` holds all of it.
template <typename Unit, typename Rest, typename Fail>
LongRead readLong(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::vector<Unit>& buffer,
                  bool text, Rest& rest, SQLLEN& length, Fail&& fail) {
    constexpr auto unit = static_cast<SQLLEN>(sizeof(Unit));
    const SQLLEN terminator = text ? 1 : 0;
    for (bool first = true;; first = false) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, cType, buffer.data(),
                                        static_cast<SQLLEN>(buffer.size()) * unit, &indicator);
        if (rc == SQL_NO_DATA)
            return LongRead::InRest; // the calls before read all of it
        if (!detail::succeeded(rc))
            fail(rc);
        if (indicator == SQL_NULL_DATA)
            return first ? LongRead::Null : LongRead::InRest;
        const auto room = static_cast<SQLLEN>(buffer.size()) - terminator;
        const bool known = indicator != SQL_NO_TOTAL;
        const SQLLEN available = known ? indicator / unit : -1;
        if (rc == SQL_SUCCESS || (known && available <= room)) {
            SQLLEN got = room;
            if (known)
                got = std::min(available, room);
            else if (text) // fitted, length not given: up to the terminating NUL
                got = std::find(buffer.begin(), buffer.begin() + room, Unit{0}) - buffer.begin();
            if (first) {
                length = got;
                return LongRead::InBuffer;
            }
            appendUnits(rest, buffer.data(), got);
            return LongRead::InRest;
        }
        appendUnits(rest, buffer.data(), room);
        // Make room for the rest in one go when the driver says how much is left.
        const auto wanted =
            known ? static_cast<std::size_t>(available - room + terminator) : buffer.size() * 2;
        if (wanted > buffer.size())
            buffer.resize(std::min(wanted, kLargestChunk));
    }
}

} // namespace

Statement::Statement(std::shared_ptr<ConnectionHandle> connection)
    : connection_(std::move(connection)), textBuffer_(kFirstChunk), byteBuffer_(kFirstChunk) {
    SQLHSTMT stmt = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection_->handle(), &stmt);
    if (!detail::succeeded(rc))
        throw detail::diagnostics(SQL_HANDLE_DBC, connection_->handle(), "SQLAllocHandle", rc);
    stmt_ = stmt;
}

Statement::~Statement() {
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::fail(SQLRETURN rc, const char* function) const {
    DbError error = detail::diagnostics(SQL_HANDLE_STMT, stmt_, function, rc);
    error.setInterruption(connection_->interruption());
    throw error;
}

void Statement::execute(const QString& sql, bool buffered, long long* recordsAffected) {
    if (sql.size() > std::numeric_limits<SQLINTEGER>::max())
        throw DbError(kGenericFailure, QStringLiteral("HY090"), 0,
                      QStringLiteral("The statement is too long."));
    // A handle may run one statement after another: nothing of the last one's result stays.
    reads_.clear();
    rows_.clear();
    position_ = 0;
    atEnd_ = true;
    const ConnectionHandle::Call call(*connection_);
    const SQLRETURN rc =
        SQLExecDirectW(stmt_, detail::wide(sql), static_cast<SQLINTEGER>(sql.size()));
    if (recordsAffected != nullptr) {
        SQLLEN count = -1;
        if (detail::succeeded(rc) && !detail::succeeded(SQLRowCount(stmt_, &count)))
            count = -1;
        *recordsAffected = rc == SQL_NO_DATA ? 0 : count;
    }
    if (rc == SQL_NO_DATA) {
        // A searched UPDATE or DELETE that touched no row: no result here, but a batch may
        // have more to come.
        const SQLRETURN more = SQLMoreResults(stmt_);
        if (more == SQL_NO_DATA)
            return;
        if (!detail::succeeded(more))
            fail(more, "SQLMoreResults");
    } else if (!detail::succeeded(rc)) {
        fail(rc, "SQLExecDirectW");
    }
    openResult(buffered);
}

void Statement::tables(const QString& types) {
    const ConnectionHandle::Call call(*connection_);
    const SQLRETURN rc = SQLTablesW(stmt_, nullptr, 0, nullptr, 0, nullptr, 0, detail::wide(types),
                                    static_cast<SQLSMALLINT>(types.size()));
    if (!detail::succeeded(rc))
        fail(rc, "SQLTablesW");
    openResult(true);
}

void Statement::openResult(bool buffered) {
    buffered_ = buffered;
    counted_ = buffered;
    // Skip the row counts of statements before the first result set with columns.
    for (;;) {
        SQLSMALLINT columns = 0;
        const SQLRETURN rc = SQLNumResultCols(stmt_, &columns);
        if (!detail::succeeded(rc))
            fail(rc, "SQLNumResultCols");
        if (columns > 0) {
            describe(columns);
            break;
        }
        const SQLRETURN more = SQLMoreResults(stmt_);
        if (more == SQL_NO_DATA)
            return; // no result set at all
        if (!detail::succeeded(more))
            fail(more, "SQLMoreResults");
    }
    if (buffered_) {
        std::vector<Value> row;
        while (fetchRow(row))
            rows_.push_back(std::move(row));
        position_ = 0;
    } else {
        atEnd_ = true; // stays so when the fetch throws
        atEnd_ = !fetchRow(current_);
    }
}

void Statement::describe(SQLSMALLINT columns) {
    reads_.clear();
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        // Only the column's type decides how its values are read.
        SQLSMALLINT type = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
        const SQLRETURN rc =
            SQLDescribeColW(stmt_, c, nullptr, 0, nullptr, &type, &size, &digits, &nullable);
        if (!detail::succeeded(rc))
            fail(rc, "SQLDescribeColW");
        switch (type) {
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            reads_.push_back(Read::Binary);
            break;
        case SQL_DOUBLE:
        case SQL_FLOAT:
            reads_.push_back(Read::Double);
            break;
        case SQL_REAL:
            reads_.push_back(Read::Float);
            break;
        default:
            // Integers, exact decimals, dates and times with every fractional digit, GUIDs,
            // character data: the driver's own text.
            reads_.push_back(Read::Text);
            break;
        }
    }
}

bool Statement::fetchRow(std::vector<Value>& row) {
    const SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA) {
        readRemainingResults();
        return false;
    }
    if (!detail::succeeded(rc))
        fail(rc, "SQLFetch");
    row.resize(reads_.size());
    for (std::size_t i = 0; i < reads_.size(); ++i)
        readValue(static_cast<SQLUSMALLINT>(i + 1), reads_[i], row[i]);
    return true;
}

void Statement::readRemainingResults() {
    // Later statements of a batch report their errors only here (FreeTDS); their rows, if any,
    // are not part of this result and are discarded.
    for (;;) {
        const SQLRETURN rc = SQLMoreResults(stmt_);
        if (rc == SQL_NO_DATA)
            return;
        if (!detail::succeeded(rc))
            fail(rc, "SQLMoreResults");
    }
}

void Statement::readValue(SQLUSMALLINT column, Read how, Value& value) {
    switch (how) {
    case Read::Text:
        if (connection_->textAsUtf8())
            readUtf8Text(column, value);
        else
            readText(column, value);
        return;
    case Read::Binary:
        readBinary(column, value);
        return;
    case Read::Double: {
        double d = 0;
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_DOUBLE, &d, sizeof d, &indicator);
        if (!detail::succeeded(rc))
            fail(rc, "SQLGetData");
        if (indicator == SQL_NULL_DATA)
            value.setNull();
        else
            value.setDouble(d);
        return;
    }
    case Read::Float: {
        float f = 0;
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_FLOAT, &f, sizeof f, &indicator);
        if (!detail::succeeded(rc))
            fail(rc, "SQLGetData");
        // A REAL holds a float: its value is that float's exact value, as a double. Its text
        // (0.10000000149011612 for 0.1f) reads back, as a double and so as a float, to exactly
        // the same bits; a shorter text (0.1, or 3.4028235e+38 for the largest float) would read
        // back as a double that is not a float, and above the largest float for the largest.
        if (indicator == SQL_NULL_DATA)
            value.setNull();
        else
            value.setDouble(static_cast<double>(f));
        return;
    }
    }
}

void Statement::readText(SQLUSMALLINT column, Value& value) {
    QString text;
    SQLLEN length = 0;
    switch (readLong(stmt_, column, SQL_C_WCHAR, textBuffer_, true, text, length,
                     [this](SQLRETURN rc) { fail(rc, "SQLGetData"); })) {
    case LongRead::Null:
        value.setNull();
        return;
    case LongRead::InBuffer:
        value.setText(reinterpret_cast<const char16_t*>(textBuffer_.data()), length);
        return;
    case LongRead::InRest:
        value.setText(std::move(text));
        return;
    }
}

void Statement::readUtf8Text(SQLUSMALLINT column, Value& value) {
    QByteArray utf8;
    SQLLEN length = 0;
    switch (readLong(stmt_, column, SQL_C_CHAR, byteBuffer_, true, utf8, length,
                     [this](SQLRETURN rc) { fail(rc, "SQLGetData"); })) {
    case LongRead::Null:
        value.setNull();
        return;
    case LongRead::InBuffer:
        value.setUtf8Text(byteBuffer_.data(), length);
        return;
    case LongRead::InRest:
        // Whole before decoding: a character split between chunks is joined again. Decoded as
        // the first chunk is, so that a leading U+FEFF stays whatever the value's size.
        value.setUtf8Text(utf8.constData(), utf8.size());
        return;
    }
}

void Statement::readBinary(SQLUSMALLINT column, Value& value) {
    QByteArray bytes;
    SQLLEN length = 0;
    switch (readLong(stmt_, column, SQL_C_BINARY, byteBuffer_, false, bytes, length,
                     [this](SQLRETURN rc) { fail(rc, "SQLGetData"); })) {
    case LongRead::Null:
        value.setNull();
        return;
    case LongRead::InBuffer:
        value.setBytes(byteBuffer_.data(), length);
        return;
    case LongRead::InRest:
        value.setBytes(std::move(bytes));
        return;
    }
}

bool Statement::eof() const noexcept {
    if (reads_.empty())
        return true;
    return buffered_ ? position_ >= rows_.size() : atEnd_;
}

void Statement::moveNext() {
    if (eof())
        throw detail::noCurrentRow();
    if (buffered_) {
        ++position_;
    } else {
        const ConnectionHandle::Call call(*connection_);
        atEnd_ = true; // stays so when the fetch throws
        atEnd_ = !fetchRow(current_);
    }
}

const Value& Statement::item(int index) const {
    if (eof())
        throw detail::noCurrentRow();
    const std::vector<Value>& row = buffered_ ? rows_[position_] : current_;
    if (index < 0 || static_cast<std::size_t>(index) >= row.size())
        throw detail::noSuchField(index, static_cast<int>(row.size()));
    return row[static_cast<std::size_t>(index)];
}

long long Statement::recordCount() const noexcept {
    return counted_ ? static_cast<long long>(rows_.size()) : -1;
}

} // namespace fq::odbc
