#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <sql.h>
#include <sqlext.h>

#include <optional>

namespace fq::test {

// A bare unixODBC client for the test double's own tests: wide calls straight to the FreeTDS
// driver, so the tests see what the driver makes of the server's tokens and nothing else.
class OdbcClient {
public:
    struct Diagnostic {
        QString state;
        int native = 0;
        QString text;
    };

    // The FreeTDS driver by its library path, so no registered driver name is needed.
    static QString connectionString(int port, const QString& user, const QString& password,
                                    const QString& database);

    OdbcClient();
    ~OdbcClient();
    OdbcClient(const OdbcClient&) = delete;
    OdbcClient& operator=(const OdbcClient&) = delete;

    bool connect(const QString& connectionString);
    // True on success, also when the statement returned SQL_NO_DATA (nothing counted).
    bool exec(const QString& sql);

    // A batch run to its end: every message of every statement, and the rows of every result.
    struct Outcome {
        bool failed = false; // a statement returned SQL_ERROR
        QList<Diagnostic> messages;
        QList<QList<QStringList>> results;
        // "<native> <text after the driver's prefixes>" of the first message, or empty.
        QString first() const;
    };
    Outcome run(const QString& sql);
    bool prepare(const QString& sql);
    bool execute();
    // Binds one input parameter (1-based) as a client names it: its C type, SQL type, column
    // size and decimal digits, and the value's bytes (a C struct, the characters), or nothing
    // for NULL. The client keeps the bytes until it is destroyed.
    void bind(int index, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits,
              const std::optional<QByteArray>& value);
    // SQLTables; an empty text is passed as a null pointer.
    bool tables(const QString& catalog, const QString& schema, const QString& name,
                const QString& type);
    bool columns(const QString& table);
    // SQLCancel on the running statement: callable from another thread.
    bool cancel();

    int columnCount();
    QString columnName(int column);
    bool fetch();
    qint64 rowCount();
    // One column of the current row as SQL_C_WCHAR, read in chunks; nothing for NULL.
    std::optional<QString> text(int column);
    // Every remaining row of the current result, each column as text ("NULL" for NULL).
    QList<QStringList> allRows();

    // Diagnostics of the last call that failed or returned with information.
    const QList<Diagnostic>& diagnostics() const { return diagnostics_; }
    QString lastError() const;
    QList<int> natives() const;

private:
    std::optional<QByteArray> data(int column, SQLSMALLINT cType);
    bool check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle);
    void collect(SQLSMALLINT type, SQLHANDLE handle);

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool connected_ = false;
    QList<Diagnostic> diagnostics_;
    struct Bound {
        QByteArray data;
        SQLLEN indicator = 0;
    };
    QList<Bound*> bound_;
};

} // namespace fq::test
