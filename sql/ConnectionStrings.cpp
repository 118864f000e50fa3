#include "sql/ConnectionStrings.h"

namespace fq::sql {

// Values go in exactly as typed: no trimming, quoting, braces or escaping.

QString MSSQLConnectionString(const ConnectionSettings& s) {
    return QLatin1String("Driver={SQL Server};Server=") + s.msServer + QLatin1String(";Database=") +
           s.msDatabase + QLatin1String(";Uid=") + s.msUser + QLatin1String(";Pwd=") +
           s.msPassword + QLatin1String(";");
}

QString MySQLConnectionStringTestOrder(const ConnectionSettings& s) {
    return QLatin1String("DRIVER={MySQL ODBC 3.51 Driver};") + QLatin1String("SERVER=") +
           s.myServer + QLatin1String(";") + QLatin1String("USER=") + s.myUser +
           QLatin1String(";") + QLatin1String("DATABASE=") + s.myDatabase + QLatin1String(";") +
           QLatin1String("PASSWORD=") + s.myPassword + QLatin1String(";");
}

QString MySQLConnectionStringCommandOrder(const ConnectionSettings& s) {
    return QLatin1String("DRIVER={MySQL ODBC 3.51 Driver};") + QLatin1String("SERVER=") +
           s.myServer + QLatin1String(";") + QLatin1String("DATABASE=") + s.myDatabase +
           QLatin1String(";") + QLatin1String("USER=") + s.myUser + QLatin1String(";") +
           QLatin1String("PASSWORD=") + s.myPassword + QLatin1String(";");
}

} // namespace fq::sql
