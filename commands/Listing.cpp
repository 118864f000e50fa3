#include "commands/Listing.h"

#include "commands/CommandContext.h"
#include "odbc/Connection.h"
#include "odbc/DbError.h"
#include "odbc/Result.h"
#include "sql/ConnectionStrings.h"
#include "sql/Refusal.h"
#include "sql/Statements.h"
#include "ui/TableList.h"

namespace fq::commands {

namespace {

void finishLoad(ui::TableList& list) {
    if (list.ListCount() > 0)
        list.SetListIndex(0);
}

} // namespace

TableListing::TableListing() = default;
TableListing::~TableListing() = default;

// A new connection object takes the place of the one held before (which closes it) and is opened
// with the string as its driver is handed it.
void TableListing::openListing(const QString& connectionString) {
    listingConnection_ = std::make_unique<odbc::Connection>();
    openConnection(*listingConnection_, connectionString);
}

void TableListing::OpenMySQLConnection(const sql::ConnectionSettings& s) {
    openListing(sql::MySQLConnectionStringCommandOrder(s));
}

void TableListing::OpenMSSQLConnection(const sql::ConnectionSettings& s) {
    openListing(sql::MSSQLConnectionString(s));
}

void TableListing::LoadMySQLTables(ui::TableList& list, const sql::ConnectionSettings& s,
                                   ui::Dialogs& dialogs) {
    list.Clear();
    ui::Failure step = ui::Failure::NotConnected;
    try {
        OpenMySQLConnection(s);
        step = ui::Failure::Refused;
        odbc::Result rs = listingConnection_->execute(sql::mysqlShowTables(), odbc::Rows::Buffered);
        // The row count bounds the walk; a count the driver cannot tell (-1) reads nothing.
        const long long n = rs.rowCount();
        QStringList names;
        for (long long i = 0; i < n && !rs.atEnd(); ++i) {
            names.append(rs.value(0).text());
            rs.moveNext();
        }
        list.addItems(names);
        rs.close();
    } catch (const odbc::DbError& error) {
        list.Clear();
        reportFailure(dialogs, failureOf(error, step),
                      QStringLiteral("The tables of the MySQL database could not be listed."),
                      refusedBy(error));
        return;
    } catch (...) {
        list.Clear(); // no list that looks whole but is not
        throw;
    }
    finishLoad(list);
}

void TableListing::LoadMSSQLTables(ui::TableList& list, const sql::ConnectionSettings& s,
                                   ui::Dialogs& dialogs) {
    list.Clear();
    ui::Failure step = ui::Failure::NotConnected;
    try {
        OpenMSSQLConnection(s);
        step = ui::Failure::Refused;
        list.addItems(listingConnection_->catalogTables());
    } catch (const odbc::DbError& error) {
        list.Clear();
        reportFailure(
            dialogs, failureOf(error, step),
            QStringLiteral("The tables of the MS SQL Server database could not be listed."),
            refusedBy(error));
        return;
    } catch (const sql::Refusal& refusal) {
        // A setting the driver cannot take: nothing was tried.
        list.Clear();
        reportFailure(
            dialogs, ui::Failure::NotConnected,
            QStringLiteral("The tables of the MS SQL Server database could not be listed."),
            refusedBy(refusal));
        return;
    } catch (...) {
        list.Clear();
        throw;
    }
    finishLoad(list);
}

} // namespace fq::commands
