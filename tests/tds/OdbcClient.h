#pragma once

#include <QList>
#include <QStringList>

#include <sql.h>
#include <sqlext.h>

#include <optional>

namespace fq::test {

// A bare unixODBC client for the test double's own test: wide calls straight to the FreeTDS
// driver, so the test sees what the driver makes of the server's tokens and nothing else.
class OdbcClient {
public:
    struct Diagnostic {
        QString state;
        int native = 0;
        QString text;
    };

    OdbcClient() {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
    }
    ~OdbcClient() {
        if (stmt_ != SQL_NULL_HSTMT) { // connected
            SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
            SQLDisconnect(dbc_);
        }
        SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        SQLFreeHandle(SQL_HANDLE_ENV, env_);
    }
    OdbcClient(const OdbcClient&) = delete;
    OdbcClient& operator=(const OdbcClient&) = delete;

    bool connect(const QString& connectionString) {
        SQLSMALLINT length = 0;
        if (!check(SQLDriverConnectW(dbc_, nullptr, wide(connectionString), SQL_NTS, nullptr, 0,
                                     &length, SQL_DRIVER_NOPROMPT),
                   SQL_HANDLE_DBC, dbc_))
            return false;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
        return true;
    }

    // True on success, also when the statement returned SQL_NO_DATA (nothing counted).
    bool exec(const QString& sql) {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return check(SQLExecDirectW(stmt_, wide(sql), SQL_NTS), SQL_HANDLE_STMT, stmt_);
    }

    // A batch run to its end: every message of every statement, and the rows of every result.
    struct Outcome {
        bool failed = false; // a statement returned SQL_ERROR, or a row could not be read
        QList<Diagnostic> messages;
        QList<QList<QStringList>> results;
        QList<qint64> counts; // SQLRowCount of each statement without a result set
        // "<native> <text after the driver's prefixes>" of the first message, or empty.
        QString first() const {
            if (messages.isEmpty())
                return {};
            const QString& text = messages.first().text;
            return QString::number(messages.first().native) + u' ' +
                   text.mid(text.lastIndexOf(u']') + 1);
        }
    };
    Outcome run(const QString& sql) {
        Outcome o;
        SQLFreeStmt(stmt_, SQL_CLOSE);
        SQLRETURN rc = SQLExecDirectW(stmt_, wide(sql), SQL_NTS);
        for (int results = 0; rc != SQL_NO_DATA && results < 100; ++results) {
            check(rc, SQL_HANDLE_STMT, stmt_);
            o.messages << diagnostics_;
            o.failed = o.failed || rc == SQL_ERROR;
            if (SQL_SUCCEEDED(rc) && columnCount() > 0) {
                o.results << allRows();
                o.messages << diagnostics_; // of a row that failed
                o.failed = o.failed || !diagnostics_.isEmpty();
            } else if (SQL_SUCCEEDED(rc)) {
                SQLLEN count = 0;
                SQLRowCount(stmt_, &count);
                o.counts << count;
            }
            rc = SQLMoreResults(stmt_);
        }
        return o;
    }

    // A statement with three parameters, as a generic client sends it: an int, a text and a
    // NULL varbinary.
    bool execBound(const QString& sql, SQLINTEGER number, const QString& text) {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        SQLFreeStmt(stmt_, SQL_RESET_PARAMS);
        SQLLEN textBytes = text.size() * 2, null = SQL_NULL_DATA;
        SQLBindParameter(stmt_, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &number, 0,
                         nullptr);
        SQLBindParameter(stmt_, 2, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 20, 0, wide(text),
                         textBytes, &textBytes);
        SQLBindParameter(stmt_, 3, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY, 8, 0, nullptr, 0,
                         &null);
        return check(SQLExecDirectW(stmt_, wide(sql), SQL_NTS), SQL_HANDLE_STMT, stmt_);
    }

    // SQLTables for these table types, every other argument a null pointer.
    bool tables(const QString& types) {
        SQLFreeStmt(stmt_, SQL_CLOSE);
        return check(SQLTablesW(stmt_, nullptr, 0, nullptr, 0, nullptr, 0, wide(types), SQL_NTS),
                     SQL_HANDLE_STMT, stmt_);
    }

    // SQLCancel on the running statement: callable from another thread.
    bool cancel() { return SQL_SUCCEEDED(SQLCancel(stmt_)); }

    bool fetch() {
        const SQLRETURN rc = SQLFetch(stmt_);
        return rc != SQL_NO_DATA && check(rc, SQL_HANDLE_STMT, stmt_);
    }

    // One column of the current row as SQL_C_WCHAR, read in chunks; nothing for NULL.
    std::optional<QString> text(int column) {
        QString out;
        SQLWCHAR buffer[4096];
        // A chunk that did not fit ends with a terminating zero character.
        constexpr SQLLEN room = sizeof buffer - sizeof(SQLWCHAR);
        for (;;) {
            SQLLEN indicator = 0;
            const SQLRETURN rc = SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), SQL_C_WCHAR,
                                            buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc)) {
                check(rc, SQL_HANDLE_STMT, stmt_);
                return QStringLiteral("<error>");
            }
            if (indicator == SQL_NULL_DATA)
                return std::nullopt;
            out += fromWide(buffer,
                            (indicator == SQL_NO_TOTAL || indicator > room ? room : indicator) /
                                SQLLEN(sizeof(SQLWCHAR)));
            if (rc == SQL_SUCCESS)
                break;
        }
        return out;
    }

    // Every remaining row of the current result, each column as text ("NULL" for NULL).
    QList<QStringList> allRows() {
        QList<QStringList> rows;
        const int n = columnCount();
        while (fetch()) {
            QStringList row;
            for (int c = 1; c <= n; ++c)
                row << text(c).value_or(QStringLiteral("NULL"));
            rows << row;
        }
        return rows;
    }

    // "<state>/<native>: <text>" of each diagnostic of the last call that failed or informed.
    QString lastError() const {
        QStringList parts;
        for (const Diagnostic& d : diagnostics_)
            parts << QStringLiteral("%1/%2: %3").arg(d.state).arg(d.native).arg(d.text);
        return parts.join(QStringLiteral("; "));
    }

private:
    static SQLWCHAR* wide(const QString& s) {
        return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(s.utf16()));
    }
    static QString fromWide(const SQLWCHAR* s, qsizetype length = -1) {
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(s), length);
    }
    int columnCount() {
        SQLSMALLINT n = 0;
        SQLNumResultCols(stmt_, &n);
        return n;
    }
    bool check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
        diagnostics_.clear();
        for (SQLSMALLINT i = 1; rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO; ++i) {
            SQLWCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLWCHAR text[2048] = {};
            SQLSMALLINT length = 0;
            if (!SQL_SUCCEEDED(
                    SQLGetDiagRecW(type, handle, i, state, &native, text, 2048, &length)))
                break;
            diagnostics_.append({fromWide(state, 5), static_cast<int>(native), fromWide(text)});
        }
        // A statement without a row count (CREATE TABLE) ends with SQL_NO_DATA.
        return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    }

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT; // allocated once connected
    QList<Diagnostic> diagnostics_;
};

} // namespace fq::test
