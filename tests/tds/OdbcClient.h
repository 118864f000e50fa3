#pragma once

#include <QList>
#include <QStringList>

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
    // SQLTables for these table types, every other argument a null pointer.
    bool tables(const QString& types);
    // SQLCancel on the running statement: callable from another thread.
    bool cancel();

    bool fetch();
    // One column of the current row as SQL_C_WCHAR, read in chunks; nothing for NULL.
    std::optional<QString> text(int column);
    // Every remaining row of the current result, each column as text ("NULL" for NULL).
    QList<QStringList> allRows();

    // "<state>/<native>: <text>" of each diagnostic of the last call that failed or informed.
    QString lastError() const;

private:
    int columnCount();
    bool check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle);

    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    bool connected_ = false;
    QList<Diagnostic> diagnostics_;
};

} // namespace fq::test
