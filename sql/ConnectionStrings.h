#pragma once

#include "sql/ConnectionSettings.h"

#include <QString>

namespace fq::sql {

// "Driver={SQL Server};Server=..;Database=..;Uid=..;Pwd=..;" with the values as typed.
QString MSSQLConnectionString(const ConnectionSettings& s);
// "DRIVER={MySQL ODBC 3.51 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;"
QString MySQLConnectionStringTestOrder(const ConnectionSettings& s);
// "DRIVER={MySQL ODBC 3.51 Driver};SERVER=..;DATABASE=..;USER=..;PASSWORD=..;"
QString MySQLConnectionStringCommandOrder(const ConnectionSettings& s);

} // namespace fq::sql
