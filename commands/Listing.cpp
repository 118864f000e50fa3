#include "db/Listing.h"

#include "db/CommandContext.h"
#include "db/Connection.h"
#include "db/ConnectionStrings.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "ui/TableList.h"

#include <memory>

namespace fq::db {

namespace {

std::unique_ptr<Connection>& listingSlot() {
    static std::unique_ptr<Connection> connection;
    return connection;
}

// A new connection object takes the place of the one held before (which closes it), gets the
// client-side cursor and is opened with the string as it stands.
void openListing(const QString& connectionString) {
    auto& slot = listingSlot();
    slot = std::make_unique<Connection>();
    slot->CursorLocation = Connection::kUseClient;
    slot->Open(connectionString);
}

void finishLoad(ui::TableList& list) {
    if (list.ListCount() > 0)
        list.SetListIndex(0);
}

} // namespace

Connection* ListingConnection() {
    return listingSlot().get();
}

void ReleaseListingConnection() {
    listingSlot().reset();
}

void OpenMySQLConnection(const ConnectionSettings& s) {
    openListing(MySQLConnectionStringCommandOrder(s));
}

void OpenMSSQLConnection(const ConnectionSettings& s) {
    openListing(MSSQLConnectionString(s));
}

void LoadMySQLTables(ui::TableList& list, const ConnectionSettings& s, ui::Dialogs& dialogs) {
    list.Clear();
    try {
        OpenMySQLConnection(s);
        Recordset rs = ListingConnection()->Execute(QStringLiteral("SHOW TABLES;"));
        // The row count bounds the walk; a count the driver cannot tell (-1) reads nothing.
        const long long n = rs.RecordCount();
        for (long long i = 0; i < n && !rs.Eof(); ++i) {
            list.AddItem(rs.Item(0).text());
            rs.MoveNext();
        }
        rs.Close();
    } catch (const DbError& error) {
        list.Clear();
        ReportFailure(dialogs,
                      QStringLiteral("The tables of the MySQL database could not be listed."),
                      error);
        return;
    }
    finishLoad(list);
}

void LoadMSSQLTables(ui::TableList& list, const ConnectionSettings& s, ui::Dialogs& dialogs) {
    list.Clear();
    try {
        OpenMSSQLConnection(s);
        Connection* connection = ListingConnection();
        if (connection->State() == 1) {
            for (const QString& name : connection->CatalogTables())
                list.AddItem(name);
        }
    } catch (const DbError& error) {
        list.Clear();
        ReportFailure(
            dialogs,
            QStringLiteral("The tables of the MS SQL Server database could not be listed."), error);
        return;
    }
    finishLoad(list);
}

} // namespace fq::db
