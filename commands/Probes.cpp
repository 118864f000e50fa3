#include "commands/Probes.h"

#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <exception>

namespace fq::commands {

namespace {

bool canOpen(const QString& connectionString) noexcept {
    try {
        odbc::Connection connection;
        connection.Open(connectionString);
        return true; // the connection closes as it goes out of scope
    } catch (...) {
        return false;
    }
}

QString failureDetail(const odbc::DbError& e) {
    QString detail = e.driverText();
    detail += QStringLiteral("\n\nSQLSTATE: %1\nNative error: %2")
                  .arg(e.sqlState().isEmpty() ? QStringLiteral("(none)") : e.sqlState())
                  .arg(e.nativeError());
    return detail;
}

} // namespace

bool CanConnectMySQL(const sql::ConnectionSettings& s) {
    return canOpen(sql::MySQLConnectionStringTestOrder(s));
}

bool CanConnectMSSQL(const sql::ConnectionSettings& s) {
    return canOpen(sql::MSSQLConnectionString(s));
}

void TestConnection(Server server, const sql::ConnectionSettings& s, ui::Dialogs& dialogs,
                    ui::Pointer& pointer) {
    static const QString kFailure =
        QStringLiteral("Could not connect. Please check server, username, password, database "
                       "with your administrator. For help, write to support@fernquill.example.");
    const ui::PointerGuard hourglass(pointer);
    const QString connectionString = server == Server::MySQL
                                         ? sql::MySQLConnectionStringTestOrder(s)
                                         : sql::MSSQLConnectionString(s);
    bool connected = false;
    QString detail;
    try {
        odbc::Connection connection;
        connection.Open(connectionString);
        connection.Close();
        connected = true;
    } catch (const odbc::DbError& e) {
        detail = failureDetail(e);
    } catch (const std::exception& e) {
        detail = QString::fromLocal8Bit(e.what());
    }
    if (connected)
        dialogs.MsgBox(QStringLiteral("Connection successful."), ui::kOkOnly);
    else
        dialogs.MsgBox(kFailure, ui::kOkOnly, {}, detail);
}

} // namespace fq::commands
