#pragma once

#include "sql/ConnectionSettings.h"

#include <QString>

#include <chrono>

namespace fq::sql {

// Each value is written as typed, except one that holds ";", "{" or "}" or begins or ends with a
// blank: that one is written in braces with every "}" doubled ("{a;b}}c}" for "a;b}c").
// "Driver={SQL Server};Server=..;Database=..;Uid=..;Pwd=..;"
QString MSSQLConnectionString(const ConnectionSettings& s);
// A MySQL server given with a port ("host:3307", "[::1]:3307", the port from 1 to 65535) is
// written as "SERVER=host;PORT=3307;", its IPv6 address without the brackets; any other server is
// written as it stands, without a PORT key.
// "DRIVER={MySQL ODBC 3.51 Driver};SERVER=..;USER=..;DATABASE=..;PASSWORD=..;"
QString MySQLConnectionStringTestOrder(const ConnectionSettings& s);
// "DRIVER={MySQL ODBC 3.51 Driver};SERVER=..;DATABASE=..;USER=..;PASSWORD=..;"
QString MySQLConnectionStringCommandOrder(const ConnectionSettings& s);

// The string a driver is handed for a connection string above. For the "SQL Server" driver
// (FreeTDS): each value in braces written as FreeTDS reads it, Port=1433 added when the Server=
// value names neither a port (host,port) nor an instance (host\instance), as SQL Server's own
// driver would reach, and TDS_Version=7.4, without which FreeTDS ignores the login timeout. For
// the "MySQL ODBC 3.51 Driver" (MariaDB): CONN_TIMEOUT of `login`, READ_TIMEOUT and
// WRITE_TIMEOUT of `answer`. A key the string has already is kept; another driver's string is
// handed over as it stands. Throws Refusal for a SQL Server value that FreeTDS cannot read whole
// (one that holds "};"), and for a string longer than ODBC takes (32,767 characters).
QString driverConnectionString(const QString& connectionString, std::chrono::seconds login,
                               std::chrono::seconds answer);

} // namespace fq::sql
