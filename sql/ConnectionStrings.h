#pragma once

#include "sql/ConnectionSettings.h"

#include <QString>

namespace fq::sql {

// Each value is written as typed, except one that holds ";", "{" or "}" or begins or ends with a
// blank: that one is written in braces with every "}" doubled ("{a;b}}c}" for "a;b}c").
// A value that holds "};" cannot be handed to the SQL Server driver (FreeTDS) whole: it throws
// Refusal, naming the key.
// "Driver={SQL Server};Server=..;Database=..;Uid=..;Pwd=..;"
QString MSSQLConnectionString(const ConnectionSettings& s);
// A MySQL server given with a port ("host:3307", "[::1]:3307", the port from 1 to 65535) is
// written as "SERVER=host;PORT=3307;", its IPv6 address without the brackets; any other server is
// written as it stands, without a PORT key.
// "DRIVER={MySQL ODBC 3.51 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;"
QString MySQLConnectionStringTestOrder(const ConnectionSettings& s);
// "DRIVER={MySQL ODBC 3.51 Driver};SERVER=..;DATABASE=..;USER=..;PASSWORD=..;"
QString MySQLConnectionStringCommandOrder(const ConnectionSettings& s);

} // namespace fq::sql
