#include "odbc/Statement.h"

#include "odbc/ConnectionHandle.h"
#include "odbc/Misuse.h"
#include "odbc/Odbc.h"

#include <sqlext.h>

#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace fq::odbc {

namespace {

constexpr std::size_t kFirstChunk = 4096; // characters or bytes
// A long UTF-8 text is read and decoded this many bytes at a time.
constexpr std::size_t kUtf8Piece = 1024 * 1024;
// A long value goes to the server this many bytes at a time.
constexpr qsizetype kPutPiece = 1024 * 1024;
// Bound columns: no value wider than this, and about this much for a block of rows.
constexpr SQLLEN kWidestBound = 8192;
constexpr SQLLEN kBlockBytes = 512 * 1024;
constexpr SQLLEN kMostRowsInBlock = 256;

// Where a long value ended up: NULL, whole in the buffer's first units, or in its own room.
enum class LongRead { Null, InBuffer, InRoom };

// Long values: a first call into the small reused buffer, which holds most values whole. A
// longer value is read straight into its own storage: `room(n)` makes that n units long (what it
// holds kept) and returns where it starts; what the buffer got goes there, and the rest is read
// after it in one call when the driver says how much is left (with room half as large again each
// time when it does not). `known`, when not negative, is the value's length in units, already
// asked of the driver: a value longer than the buffer then goes to its room at once. Text ends
// in a NUL the driver writes, which is no part of the value. On InBuffer, `length` units of the
// buffer hold the value; on InRoom, the first `length` units of the room.
template <typename Unit, typename Room, typename Fail>
LongRead readLong(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::vector<Unit>& buffer,
                  bool text, SQLLEN known, Room&& room, SQLLEN& length, Fail&& fail) {
    constexpr auto unit = static_cast<SQLLEN>(sizeof(Unit));
    const SQLLEN terminator = text ? 1 : 0;
    Unit* at = buffer.data();
    auto size = static_cast<SQLLEN>(buffer.size()); // units of the place read into
    SQLLEN have = 0;                                // units of the value in its room
    bool inRoom = false;
    if (known >= 0 && known + terminator > size) {
        size = known + terminator;
        at = room(size);
        inRoom = true;
    }
    for (bool first = true;; first = false) {
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(stmt, column, cType, at + have, (size - have) * unit, &indicator);
        if (rc == SQL_NO_DATA) { // the calls before read all of it
            length = have;
            return inRoom ? LongRead::InRoom : LongRead::InBuffer;
        }
        if (!detail::succeeded(rc))
            fail(rc);
        if (indicator == SQL_NULL_DATA && first)
            return LongRead::Null;
        const SQLLEN free = size - have - terminator;
        const bool told = indicator != SQL_NO_TOTAL && indicator != SQL_NULL_DATA;
        const SQLLEN available = told ? indicator / unit : -1;
        if (rc == SQL_SUCCESS || (told && available <= free)) {
            SQLLEN got = free;
            if (told)
                got = std::min(available, free);
            else if (text) // fitted, length not given: up to the terminating NUL
                got = std::find(at + have, at + have + free, Unit{0}) - (at + have);
            length = have + got;
            return inRoom ? LongRead::InRoom : LongRead::InBuffer;
        }
        // More follows: room for all of it when the driver says how much.
        const SQLLEN read = have + free;
        const SQLLEN wanted = (told ? read + (available - free) : read + read / 2) + terminator;
        Unit* grown = room(wanted);
        if (!inRoom)
            std::copy(buffer.data(), buffer.data() + free, grown);
        at = grown;
        inRoom = true;
        have = read;
        size = wanted;
    }
}

// How much of a piece of UTF-8 holds whole characters: all of it, or up to a character its last
// bytes begin but do not end (the next piece holds the rest).
qsizetype wholeCharacters(const char* utf8, qsizetype length) {
    for (qsizetype back = 1; back <= 3 && back <= length; ++back) {
        const auto c = static_cast<unsigned char>(utf8[length - back]);
        if (c < 0x80)
            return length;
        if (c >= 0xC0) {
            const qsizetype needs = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            return needs > back ? length - back : length;
        }
    }
    return length;
}

} // namespace

Statement::Statement(std::shared_ptr<ConnectionHandle> connection)
    : connection_(std::move(connection)), textBuffer_(kFirstChunk), byteBuffer_(kFirstChunk) {
    SQLHSTMT stmt = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection_->handle(), &stmt);
    if (!detail::succeeded(rc))
        throw detail::diagnostics(SQL_HANDLE_DBC, connection_->handle(), "SQLAllocHandle", rc);
    stmt_ = stmt;
    if (const SQLULEN seconds = connection_->queryTimeout(); seconds > 0)
        SQLSetStmtAttr(stmt_, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(seconds), 0);
}

Statement::~Statement() {
    // Freeing a statement whose result is still coming makes the driver cancel it and wait for
    // the server's answer: a call like any other, bounded and cut as the others are.
    const ConnectionHandle::Call call(*connection_);
    SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
}

void Statement::fail(SQLRETURN rc, const char* function) const {
    DbError error = detail::diagnostics(SQL_HANDLE_STMT, stmt_, function, rc);
    error.setInterruption(connection_->causeOf(error));
    throw error;
}

void Statement::execute(const QString& sql, bool buffered, long long* recordsAffected,
                        const std::vector<long long>& numbers,
                        const std::vector<const Value*>& pieces) {
    if (sql.size() > std::numeric_limits<SQLINTEGER>::max())
        throw Misuse(
            QStringLiteral("The statement is too long for ODBC (%1 characters).").arg(sql.size()));
    if (!pieces.empty() && !numbers.empty())
        throw Misuse(QStringLiteral("A statement's parameters are either numbers or long values."));
    // A handle may run one statement after another: nothing of the last one's result stays.
    if (!bindings_.empty())
        unbind();
    pendingError_.reset();
    reads_.clear();
    rows_.clear();
    position_ = 0;
    atEnd_ = true;
    const ConnectionHandle::Call call(*connection_);
    // The parameters' values stay where the driver was told they are until it has run the
    // statement; then the handle forgets them, for its next statement.
    std::vector<SQLBIGINT> values(numbers.begin(), numbers.end());
    const auto forget = qScopeGuard([this, bound = !values.empty() || !pieces.empty()] {
        if (bound)
            SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
    });
    for (std::size_t i = 0; i < values.size(); ++i) {
        const SQLRETURN bound =
            SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                             SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &values[i], 0, nullptr);
        if (!detail::succeeded(bound))
            fail(bound, "SQLBindParameter");
    }
    const SQLRETURN rc = pieces.empty() ? SQLExecDirectW(stmt_, detail::wide(sql),
                                                         static_cast<SQLINTEGER>(sql.size()))
                                        : runInPieces(sql, pieces);
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
        fail(rc, pieces.empty() ? "SQLExecDirectW" : "SQLExecute");
    }
    openResult(buffered);
}

SQLRETURN Statement::runInPieces(const QString& sql, const std::vector<const Value*>& pieces) {
    // Each value is bound as data at execution: its marker's token is its place in `pieces`.
    std::vector<SQLLEN> atExecution(pieces.size(), SQL_DATA_AT_EXEC);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Value& v = *pieces[i];
        const bool text = v.kind() == Value::Kind::Text;
        if (!text && v.kind() != Value::Kind::Binary)
            throw Misuse(QStringLiteral("Only texts and bytes go to a server in pieces."));
        const qsizetype length = text ? v.text().size() : v.bytes().size();
        const SQLRETURN bound = SQLBindParameter(
            stmt_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
            text ? SQL_C_WCHAR : SQL_C_BINARY, text ? SQL_WLONGVARCHAR : SQL_LONGVARBINARY,
            static_cast<SQLULEN>(std::max<qsizetype>(length, 1)), 0,
            reinterpret_cast<SQLPOINTER>(static_cast<std::uintptr_t>(i + 1)), 0, &atExecution[i]);
        if (!detail::succeeded(bound))
            fail(bound, "SQLBindParameter");
    }
    const SQLRETURN prepared =
        SQLPrepareW(stmt_, detail::wide(sql), static_cast<SQLINTEGER>(sql.size()));
    if (!detail::succeeded(prepared))
        fail(prepared, "SQLPrepareW");
    SQLRETURN rc = SQLExecute(stmt_);
    while (rc == SQL_NEED_DATA) {
        SQLPOINTER token = nullptr;
        rc = SQLParamData(stmt_, &token);
        if (rc != SQL_NEED_DATA)
            break;
        const auto index = reinterpret_cast<std::uintptr_t>(token) - 1;
        if (index >= pieces.size())
            throw Misuse(QStringLiteral("The driver asked for a parameter it was not given."));
        putInPieces(*pieces[index]);
    }
    return rc;
}

void Statement::putInPieces(const Value& value) {
    const auto put = [this](const void* data, std::size_t bytes) {
        const SQLRETURN rc = SQLPutData(stmt_, const_cast<void*>(data), static_cast<SQLLEN>(bytes));
        if (!detail::succeeded(rc))
            fail(rc, "SQLPutData");
    };
    if (value.kind() == Value::Kind::Binary) {
        const QByteArray& bytes = value.bytes();
        for (qsizetype at = 0; at < bytes.size(); at += kPutPiece)
            put(bytes.constData() + at,
                static_cast<std::size_t>(std::min<qsizetype>(kPutPiece, bytes.size() - at)));
        return;
    }
    // A driver converts each piece on its own: a piece never ends between the two halves of a
    // surrogate pair.
    const QString text = value.text();
    const qsizetype piece = kPutPiece / 2;
    for (qsizetype at = 0; at < text.size();) {
        qsizetype n = std::min(piece, text.size() - at);
        if (at + n < text.size() && text.at(at + n - 1).isHighSurrogate())
            --n;
        put(text.constData() + at, static_cast<std::size_t>(n) * sizeof(QChar));
        at += n;
    }
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
    mayNotFit_.clear();
    // How wide each column's values can be: characters of its text (bytes for binary
    // columns), 0 when the driver does not say or the column is long.
    std::vector<SQLULEN> widths;
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
        SQLLEN display = 0;
        if (!detail::succeeded(
                SQLColAttributeW(stmt_, c, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &display)) ||
            display < 0)
            display = 0;
        const bool isLong = type == SQL_LONGVARCHAR || type == SQL_WLONGVARCHAR ||
                            type == SQL_LONGVARBINARY || size == 0 || display == 0;
        widths.push_back(isLong ? 0 : std::max(size, static_cast<SQLULEN>(display)));
        mayNotFit_.push_back(widths.back() == 0 || widths.back() >= kFirstChunk - 1);
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
    if (!buffered_)
        bindColumns(widths);
}

bool Statement::bindColumns(const std::vector<SQLULEN>& widths) {
    const bool utf8 = connection_->textAsUtf8();
    std::vector<Binding> bindings(reads_.size());
    SQLLEN rowBytes = 0;
    for (std::size_t i = 0; i < reads_.size(); ++i) {
        Binding& b = bindings[i];
        const auto width = static_cast<SQLLEN>(std::min<SQLULEN>(widths[i], kWidestBound));
        switch (reads_[i]) {
        case Read::Double:
            b.cType = SQL_C_DOUBLE;
            b.width = sizeof(double);
            break;
        case Read::Float:
            b.cType = SQL_C_FLOAT;
            b.width = sizeof(float);
            break;
        case Read::Binary:
            b.cType = SQL_C_BINARY;
            b.width = width;
            break;
        case Read::Text:
            // Every character at its widest (four bytes, or two UTF-16 units), room for a sign
            // and a point a number's size may leave out, and the NUL the driver writes.
            b.cType = utf8 ? SQL_C_CHAR : SQL_C_WCHAR;
            b.width = utf8 ? (width + 2) * 4 + 1 : ((width + 2) * 2 + 1) * 2;
            break;
        }
        if (b.width <= 0 || b.width > kWidestBound || widths[i] == 0)
            return false; // a long value, or one of unknown width: read value by value
        rowBytes += b.width + static_cast<SQLLEN>(sizeof(SQLLEN));
    }
    // Row-wise: each row holds every column's value and length, so that each driver steps from
    // row to row by the same size (MariaDB's steps over a float as if it were a double when
    // bound by column).
    const SQLLEN rows =
        std::clamp<SQLLEN>(kBlockBytes / std::max<SQLLEN>(rowBytes, 1), 1, kMostRowsInBlock);
    constexpr std::size_t kAlign = alignof(SQLLEN);
    std::size_t at = 0;
    for (Binding& b : bindings) {
        b.valueAt = at;
        at += (static_cast<std::size_t>(b.width) + kAlign - 1) / kAlign * kAlign;
        b.lengthAt = at;
        at += sizeof(SQLLEN);
    }
    rowBytes_ = at;
    boundRows_.assign(static_cast<std::size_t>(rows) * rowBytes_, 0);
    rowStatus_.assign(static_cast<std::size_t>(rows), SQL_ROW_NOROW);
    rowsFetched_ = 0;
    nextRow_ = 0;
    bool bound =
        detail::succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE,
                                         reinterpret_cast<SQLPOINTER>(rowBytes_), 0)) &&
        detail::succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE,
                                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)),
                                         0)) &&
        detail::succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0)) &&
        detail::succeeded(SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0));
    for (std::size_t i = 0; bound && i < bindings.size(); ++i) {
        const Binding& b = bindings[i];
        bound = detail::succeeded(SQLBindCol(
            stmt_, static_cast<SQLUSMALLINT>(i + 1), b.cType, boundRows_.data() + b.valueAt,
            b.width, reinterpret_cast<SQLLEN*>(boundRows_.data() + b.lengthAt)));
    }
    bindings_ = std::move(bindings);
    if (!bound) {
        unbind();
        return false;
    }
    return true;
}

void Statement::unbind() noexcept {
    SQLFreeStmt(stmt_, SQL_UNBIND);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN{1}), 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN),
                   0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    bindings_.clear();
    boundRows_.clear();
    rowBytes_ = 0;
    rowStatus_.clear();
    rowsFetched_ = 0;
    nextRow_ = 0;
}

bool Statement::fetchRow(std::vector<Value>& row) {
    if (!bindings_.empty())
        return fetchBoundRow(row);
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

bool Statement::fetchBoundRow(std::vector<Value>& row) {
    for (;;) {
        while (nextRow_ < rowsFetched_) {
            const SQLULEN r = nextRow_++;
            const SQLUSMALLINT status = rowStatus_[r];
            if (status == SQL_ROW_NOROW || status == SQL_ROW_DELETED)
                continue;
            if (status == SQL_ROW_ERROR) {
                // The driver's words for it were kept when the block was fetched.
                DbError error = pendingError_ ? *pendingError_
                                              : DbError(kGenericFailure, QStringLiteral("HY000"), 0,
                                                        QStringLiteral("The driver could not "
                                                                       "read a row."));
                pendingError_.reset();
                rowsFetched_ = 0;
                throw error;
            }
            row.resize(bindings_.size());
            for (std::size_t c = 0; c < bindings_.size(); ++c)
                takeBound(c, r, row[c]);
            return true;
        }
        if (pendingError_) {
            DbError error = std::move(*pendingError_);
            pendingError_.reset();
            throw error;
        }
        rowsFetched_ = 0;
        nextRow_ = 0;
        const SQLRETURN rc = SQLFetch(stmt_);
        if (rc == SQL_NO_DATA) {
            rowsFetched_ = 0;
            readRemainingResults();
            return false;
        }
        if (!detail::succeeded(rc)) {
            rowsFetched_ = 0;
            fail(rc, "SQLFetch");
        }
        rowsFetched_ = std::min<SQLULEN>(rowsFetched_, rowStatus_.size());
        if (rc == SQL_SUCCESS_WITH_INFO &&
            std::any_of(rowStatus_.begin(), rowStatus_.begin() + static_cast<long>(rowsFetched_),
                        [](SQLUSMALLINT s) { return s == SQL_ROW_ERROR; })) {
            // Rows before the one in error are read first; the error is thrown at it.
            DbError error = detail::diagnostics(SQL_HANDLE_STMT, stmt_, "SQLFetch", rc);
            error.setInterruption(connection_->causeOf(error));
            pendingError_ = std::move(error);
        }
    }
}

void Statement::takeBound(std::size_t column, SQLULEN row, Value& value) {
    const Binding& b = bindings_[column];
    const char* rowAt = boundRows_.data() + row * rowBytes_;
    SQLLEN length = 0;
    std::memcpy(&length, rowAt + b.lengthAt, sizeof length);
    if (length == SQL_NULL_DATA) {
        value.setNull();
        return;
    }
    const char* at = rowAt + b.valueAt;
    switch (b.cType) {
    case SQL_C_DOUBLE: {
        double d = 0;
        std::memcpy(&d, at, sizeof d);
        value.setDouble(d);
        return;
    }
    case SQL_C_FLOAT: {
        float f = 0;
        std::memcpy(&f, at, sizeof f);
        value.setDouble(static_cast<double>(f));
        return;
    }
    default:
        break;
    }
    const SQLLEN terminator = b.cType == SQL_C_CHAR ? 1 : b.cType == SQL_C_WCHAR ? 2 : 0;
    if (length < 0 || length > b.width - terminator) {
        // Wider than the column's declared size let the buffer be: never passed on cut short.
        throw DbError(kGenericFailure, QStringLiteral("01004"), 0,
                      QStringLiteral("A value of column %1 is longer than the column's declared "
                                     "size; it was not read.")
                          .arg(column + 1));
    }
    if (b.cType == SQL_C_CHAR)
        value.setUtf8Text(at, length);
    else if (b.cType == SQL_C_WCHAR)
        value.setText(reinterpret_cast<const char16_t*>(at), length / 2);
    else
        value.setBytes(at, length);
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
    // FreeTDS drops a U+FEFF that begins a later piece of a value read in pieces (it takes it
    // for a byte order mark). So for a column whose values may not fit the buffer, the value's
    // length is asked first (a call with no room reads nothing), and a value longer than the
    // buffer is read in one piece, straight into its own room.
    SQLLEN known = -1;
    if (mayNotFit_[column - 1]) {
        SQLLEN total = 0;
        SQLWCHAR none = 0;
        const SQLRETURN probe = SQLGetData(stmt_, column, SQL_C_WCHAR, &none, 0, &total);
        if (!detail::succeeded(probe))
            fail(probe, "SQLGetData");
        if (total == SQL_NULL_DATA) {
            value.setNull();
            return;
        }
        if (probe == SQL_SUCCESS_WITH_INFO && total > 0)
            known = total / static_cast<SQLLEN>(sizeof(SQLWCHAR));
    }
    SQLLEN length = 0;
    switch (readLong(
        stmt_, column, SQL_C_WCHAR, textBuffer_, true, known,
        [&value](SQLLEN n) { return reinterpret_cast<SQLWCHAR*>(value.textRoom(n)); }, length,
        [this](SQLRETURN rc) { fail(rc, "SQLGetData"); })) {
    case LongRead::Null:
        value.setNull();
        return;
    case LongRead::InBuffer:
        value.setText(reinterpret_cast<const char16_t*>(textBuffer_.data()), length);
        return;
    case LongRead::InRoom:
        value.setTextLength(length);
        return;
    }
}

void Statement::readUtf8Text(SQLUSMALLINT column, Value& value) {
    SQLLEN indicator = 0;
    const auto first = static_cast<SQLLEN>(byteBuffer_.size());
    SQLRETURN rc = SQLGetData(stmt_, column, SQL_C_CHAR, byteBuffer_.data(), first, &indicator);
    if (rc == SQL_NO_DATA) {
        value.setUtf8Text(byteBuffer_.data(), 0);
        return;
    }
    if (!detail::succeeded(rc))
        fail(rc, "SQLGetData");
    if (indicator == SQL_NULL_DATA) {
        value.setNull();
        return;
    }
    const SQLLEN free = first - 1; // the driver ends each piece with a NUL
    const bool told = indicator != SQL_NO_TOTAL;
    if (rc == SQL_SUCCESS || (told && indicator <= free)) {
        SQLLEN got = free;
        if (told)
            got = std::min(indicator, free);
        else
            got = std::find(byteBuffer_.begin(), byteBuffer_.begin() + free, '\0') -
                  byteBuffer_.begin();
        value.setUtf8Text(byteBuffer_.data(), got);
        return;
    }
    // A long text: decoded piece by piece straight into its own room, which never needs more
    // units than the text has bytes. A character split between two pieces is decoded with the
    // second; a leading U+FEFF stays, as with a short text.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    qsizetype room = told ? indicator : 2 * free;
    qsizetype decoded = 0;
    const auto decode = [&](const char* utf8, qsizetype bytes) {
        if (decoded + bytes > room) { // the driver did not say how long the text is
            room = std::max(decoded + bytes, room + room / 2);
        }
        QChar* start = reinterpret_cast<QChar*>(value.textRoom(room));
        decoded = decoder.appendToBuffer(start + decoded, QByteArrayView(utf8, bytes)) - start;
    };
    std::vector<char> piece(static_cast<std::size_t>(std::min<qsizetype>(
        told ? indicator - free + 4 : free + 4, static_cast<qsizetype>(kUtf8Piece))));
    qsizetype held = free; // bytes in the piece, the first time in the buffer
    const char* from = byteBuffer_.data();
    for (;;) {
        const qsizetype whole = wholeCharacters(from, held);
        decode(from, whole);
        // The bytes of a character begun but not ended go before the next piece.
        const qsizetype carried = held - whole;
        std::memmove(piece.data(), from + whole, static_cast<std::size_t>(carried));
        from = piece.data();
        rc = SQLGetData(stmt_, column, SQL_C_CHAR, piece.data() + carried,
                        static_cast<SQLLEN>(piece.size()) - carried, &indicator);
        if (rc == SQL_NO_DATA) {
            decode(from, carried);
            break;
        }
        if (!detail::succeeded(rc))
            fail(rc, "SQLGetData");
        const SQLLEN pieceFree = static_cast<SQLLEN>(piece.size()) - carried - 1;
        const bool pieceTold = indicator != SQL_NO_TOTAL && indicator != SQL_NULL_DATA;
        if (rc == SQL_SUCCESS || (pieceTold && indicator <= pieceFree)) {
            SQLLEN got = pieceFree;
            if (pieceTold)
                got = std::min(indicator, pieceFree);
            else
                got =
                    std::find(piece.begin() + carried, piece.begin() + carried + pieceFree, '\0') -
                    (piece.begin() + carried);
            decode(from, carried + got);
            break;
        }
        held = carried + pieceFree;
    }
    value.setTextLength(decoded);
}

void Statement::readBinary(SQLUSMALLINT column, Value& value) {
    SQLLEN length = 0;
    switch (readLong(
        stmt_, column, SQL_C_BINARY, byteBuffer_, false, -1,
        [&value](SQLLEN n) { return value.bytesRoom(n); }, length,
        [this](SQLRETURN rc) { fail(rc, "SQLGetData"); })) {
    case LongRead::Null:
        value.setNull();
        return;
    case LongRead::InBuffer:
        value.setBytes(byteBuffer_.data(), length);
        return;
    case LongRead::InRoom:
        value.setBytesLength(length);
        return;
    }
}

bool Statement::atEnd() const noexcept {
    if (reads_.empty())
        return true;
    return buffered_ ? position_ >= rows_.size() : atEnd_;
}

void Statement::moveNext() {
    if (atEnd())
        throw detail::noCurrentRow();
    if (buffered_) {
        ++position_;
    } else {
        const ConnectionHandle::Call call(*connection_);
        atEnd_ = true; // stays so when the fetch throws
        atEnd_ = !fetchRow(current_);
    }
}

void Statement::takeRow(std::vector<Value>& row) {
    if (atEnd())
        throw detail::noCurrentRow();
    std::vector<Value>& current = buffered_ ? rows_[position_] : current_;
    row.swap(current);
    current.resize(row.size());
}

const Value& Statement::value(int index) const {
    if (atEnd())
        throw detail::noCurrentRow();
    const std::vector<Value>& row = buffered_ ? rows_[position_] : current_;
    if (index < 0 || static_cast<std::size_t>(index) >= row.size())
        throw detail::noSuchColumn(index, static_cast<int>(row.size()));
    return row[static_cast<std::size_t>(index)];
}

long long Statement::rowCount() const noexcept {
    return counted_ ? static_cast<long long>(rows_.size()) : -1;
}

} // namespace fq::odbc
