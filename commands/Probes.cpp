#include "db/Probes.h"

#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "ui/Dialogs.h"
#include "ui/Pointer.h"

#include <exception>

namespace fq::db {

namespace {

bool canOpen(const QString& connectionString) noexcept {
    try {
        Connection connection;
        connection.Open(connectionString);
        return true; // the connection closes as it goes out of scope
    } catch (...) {
        return false;
    }
}

QString failureDetail(const DbError& e) {
    QString detail = e.driverText();
    detail += QStringLiteral("\n\nSQLSTATE: %1\nNative error: %2")
                  .arg(e.sqlState().isEmpty() ? QStringLiteral("(none)") : e.sqlState())
                  .arg(e.nativeError());
    return detail;
}

// Sets the arrow when the action ends, however it ends.
class ArrowOnExit {
public:
    explicit ArrowOnExit(ui::Pointer& pointer) : pointer_(pointer) {}
    ~ArrowOnExit() { pointer_.SetMousePointer(ui::kPointerArrow); }
    ArrowOnExit(const ArrowOnExit&) = delete;
    ArrowOnExit& operator=(const ArrowOnExit&) = delete;

private:
    ui::Pointer& pointer_;
};

} // namespace

bool CanConnectMySQL(const ConnectionSettings& s) {
    return canOpen(MySQLConnectionStringTestOrder(s));
}

bool CanConnectMSSQL(const ConnectionSettings& s) {
    return canOpen(MSSQLConnectionString(s));
}

void TestConnection(Server server, const ConnectionSettings& s, ui::Dialogs& dialogs,
                    ui::Pointer& pointer) {
    static const QString kFailure =
        QStringLiteral("Could not connect. Please check server, username, password, database "
                       "with your administrator. For help, write to support@fernquill.example.");
    pointer.SetMousePointer(ui::kPointerHourglass);
    const ArrowOnExit arrow(pointer);
    const QString connectionString =
        server == Server::MySQL ? MySQLConnectionStringTestOrder(s) : MSSQLConnectionString(s);
    bool connected = false;
    QString detail;
    try {
        Connection connection;
        connection.Open(connectionString);
        connection.Close();
        connected = true;
    } catch (const DbError& e) {
        detail = failureDetail(e);
    } catch (const std::exception& e) {
        detail = QString::fromLocal8Bit(e.what());
    }
    if (connected)
        dialogs.MsgBox(QStringLiteral("Connection successful."), ui::kOkOnly);
    else
        dialogs.MsgBox(kFailure, ui::kOkOnly, {}, detail);
}

} // namespace fq::db
