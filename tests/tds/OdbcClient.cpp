#include "OdbcClient.h"

#include <QStringList>

namespace fq::test {

namespace {
const SQLWCHAR* wide(const QString& s) {
    return reinterpret_cast<const SQLWCHAR*>(s.utf16());
}
} // namespace

QString OdbcClient::connectionString(int port, const QString& user, const QString& password,
                                     const QString& database) {
    return QStringLiteral("Driver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so;"
                          "Server=127.0.0.1,%1;Database=%2;Uid=%3;Pwd={%4};")
        .arg(port)
        .arg(database, user, QString(password).replace(u'}', QStringLiteral("}}")));
}

OdbcClient::OdbcClient() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
}

OdbcClient::~OdbcClient() {
    if (stmt_ != SQL_NULL_HSTMT)
        SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
    if (connected_)
        SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    qDeleteAll(bound_);
}

void OdbcClient::collect(SQLSMALLINT type, SQLHANDLE handle) {
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[2048] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc = SQLGetDiagRecW(type, handle, i, state, &native, text, 2048, &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        diagnostics_.append({QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5),
                             static_cast<int>(native),
                             QString::fromUtf16(reinterpret_cast<const char16_t*>(text))});
    }
}

bool OdbcClient::check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
    diagnostics_.clear();
    if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO)
        collect(type, handle);
    // A statement without a row count (CREATE TABLE) ends with SQL_NO_DATA.
    return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
}

QString OdbcClient::lastError() const {
    QStringList parts;
    for (const Diagnostic& d : diagnostics_)
        parts << QStringLiteral("%1/%2: %3").arg(d.state).arg(d.native).arg(d.text);
    return parts.join(QStringLiteral("; "));
}

QList<int> OdbcClient::natives() const {
    QList<int> out;
    for (const Diagnostic& d : diagnostics_)
        out << d.native;
    return out;
}

bool OdbcClient::connect(const QString& connectionString) {
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLDriverConnectW(dbc_, nullptr, const_cast<SQLWCHAR*>(wide(connectionString)), SQL_NTS,
                          nullptr, 0, &length, SQL_DRIVER_NOPROMPT);
    if (!check(rc, SQL_HANDLE_DBC, dbc_))
        return false;
    connected_ = true;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt_);
    return true;
}

bool OdbcClient::exec(const QString& sql) {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return check(SQLExecDirectW(stmt_, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS), SQL_HANDLE_STMT,
                 stmt_);
}

QString OdbcClient::Outcome::first() const {
    if (messages.isEmpty())
        return {};
    const QString& text = messages.first().text;
    return QString::number(messages.first().native) + u' ' + text.mid(text.lastIndexOf(u']') + 1);
}

OdbcClient::Outcome OdbcClient::run(const QString& sql) {
    Outcome o;
    SQLFreeStmt(stmt_, SQL_CLOSE);
    SQLRETURN rc = SQLExecDirectW(stmt_, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS);
    for (int results = 0; rc != SQL_NO_DATA && results < 100; ++results) {
        check(rc, SQL_HANDLE_STMT, stmt_);
        o.messages << diagnostics_;
        o.failed = o.failed || rc == SQL_ERROR;
        if (SQL_SUCCEEDED(rc) && columnCount() > 0) {
            o.results << allRows();
            o.messages << diagnostics_; // of a row that failed
            o.failed = o.failed || !diagnostics_.isEmpty();
        }
        rc = SQLMoreResults(stmt_);
    }
    return o;
}

bool OdbcClient::prepare(const QString& sql) {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return check(SQLPrepareW(stmt_, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS), SQL_HANDLE_STMT,
                 stmt_);
}

bool OdbcClient::execute() {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return check(SQLExecute(stmt_), SQL_HANDLE_STMT, stmt_);
}

void OdbcClient::bind(int index, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size,
                      SQLSMALLINT digits, const std::optional<QByteArray>& value) {
    auto* b = new Bound;
    bound_.append(b);
    b->data = value.value_or(QByteArray(1, '\0'));
    b->indicator = value ? static_cast<SQLLEN>(b->data.size()) : SQL_NULL_DATA;
    SQLBindParameter(stmt_, static_cast<SQLUSMALLINT>(index), SQL_PARAM_INPUT, cType, sqlType, size,
                     digits, b->data.data(), b->data.size(), &b->indicator);
}

bool OdbcClient::tables(const QString& catalog, const QString& schema, const QString& name,
                        const QString& type) {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    auto arg = [](const QString& s) {
        return s.isEmpty() ? nullptr : const_cast<SQLWCHAR*>(wide(s));
    };
    auto length = [](const QString& s) {
        return static_cast<SQLSMALLINT>(s.isEmpty() ? 0 : SQL_NTS);
    };
    return check(SQLTablesW(stmt_, arg(catalog), length(catalog), arg(schema), length(schema),
                            arg(name), length(name), arg(type), length(type)),
                 SQL_HANDLE_STMT, stmt_);
}

bool OdbcClient::columns(const QString& table) {
    SQLFreeStmt(stmt_, SQL_CLOSE);
    return check(SQLColumnsW(stmt_, nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(wide(table)),
                             SQL_NTS, nullptr, 0),
                 SQL_HANDLE_STMT, stmt_);
}

bool OdbcClient::cancel() {
    return SQL_SUCCEEDED(SQLCancel(stmt_));
}

int OdbcClient::columnCount() {
    SQLSMALLINT n = 0;
    SQLNumResultCols(stmt_, &n);
    return n;
}

QString OdbcClient::columnName(int column) {
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(stmt_, static_cast<SQLUSMALLINT>(column), name, 256, &length, &type, &size,
                    &digits, &nullable);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(name), length);
}

bool OdbcClient::fetch() {
    const SQLRETURN rc = SQLFetch(stmt_);
    if (rc == SQL_NO_DATA)
        return false;
    return check(rc, SQL_HANDLE_STMT, stmt_);
}

qint64 OdbcClient::rowCount() {
    SQLLEN n = 0;
    SQLRowCount(stmt_, &n);
    return n;
}

std::optional<QByteArray> OdbcClient::data(int column, SQLSMALLINT cType) {
    QByteArray out;
    char buffer[8192];
    // A character chunk that did not fit ends with a terminating zero character.
    const auto room = static_cast<SQLLEN>(sizeof buffer) - (cType == SQL_C_WCHAR ? 2 : 0);
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), cType, buffer,
                                        sizeof buffer, &indicator);
        if (rc == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(rc)) {
            check(rc, SQL_HANDLE_STMT, stmt_);
            return QByteArray("<error>");
        }
        if (indicator == SQL_NULL_DATA)
            return std::nullopt;
        out.append(buffer, indicator == SQL_NO_TOTAL || indicator > room ? room : indicator);
        if (rc == SQL_SUCCESS)
            break;
    }
    return out;
}

std::optional<QString> OdbcClient::text(int column) {
    const std::optional<QByteArray> units = data(column, SQL_C_WCHAR);
    if (!units)
        return std::nullopt;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(units->constData()),
                              units->size() / 2);
}

QList<QStringList> OdbcClient::allRows() {
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

} // namespace fq::test
