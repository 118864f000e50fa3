#include "commands/Probes.h"

#include "commands/CommandContext.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "sql/ConnectionStrings.h"
#include "sql/Refusal.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <exception>
#include <optional>

namespace fq::commands {

namespace {

const QString kAdvice =
    QStringLiteral("Please check server, username, password, database with your administrator. "
                   "For help, write to support@fernquill.example.");

bool canOpen(const QString& connectionString) noexcept {
    try {
        odbc::Connection connection;
        openConnection(connection, connectionString);
        return true; // the connection closes as it goes out of scope
    } catch (...) {
        return false;
    }
}

// One connection attempt: nothing when it opened, else the driver's words and codes (or the
// program's own refusal) for the details.
std::optional<QString> connectFailure(const QString& connectionString) {
    try {
        odbc::Connection connection;
        openConnection(connection, connectionString);
        connection.close();
        return std::nullopt;
    } catch (const odbc::DbError& e) {
        return e.driverText() + QStringLiteral("\n\n") + e.codes();
    } catch (const sql::Refusal& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
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
    const ui::PointerGuard hourglass(pointer);
    const QString connectionString = server == Server::MySQL
                                         ? sql::MySQLConnectionStringTestOrder(s)
                                         : sql::MSSQLConnectionString(s);
    if (const auto detail = connectFailure(connectionString))
        dialogs.showFailure(ui::Failure::NotConnected,
                            QStringLiteral("Could not connect. ") + kAdvice, *detail);
    else
        dialogs.MsgBox(QStringLiteral("Connection successful."), ui::kOkOnly);
}

bool ConfirmConnections(const sql::ConnectionSettings& s, ui::Dialogs& dialogs) {
    // MySQL first; SQL Server only once MySQL has opened.
    std::optional<QString> detail = connectFailure(sql::MySQLConnectionStringTestOrder(s));
    QString database = QStringLiteral("MySQL");
    if (!detail) {
        detail = connectFailure(sql::MSSQLConnectionString(s));
        database = QStringLiteral("MS SQL Server");
    }
    if (!detail)
        return true;
    dialogs.showFailure(
        ui::Failure::NotConnected,
        QStringLiteral("Could not connect to the %1 database. ").arg(database) + kAdvice, *detail);
    return false;
}

} // namespace fq::commands
