#include "sql/ConnectionStrings.h"

namespace fq::sql {

namespace {

// A value as ODBC reads it: one that holds ";", "{" or "}", or begins or ends with a blank, is
// written in braces with every "}" doubled, so that it reaches the driver whole and can never end
// early and add or replace another key. Every other value is written exactly as typed.
QString value(const QString& v) {
    const bool plain = !v.contains(u';') && !v.contains(u'{') && !v.contains(u'}') &&
                       (v.isEmpty() || (!v.front().isSpace() && !v.back().isSpace()));
    if (plain)
        return v;
    QString escaped = v;
    escaped.replace(u'}', QLatin1String("}}"));
    return u'{' + escaped + u'}';
}

} // namespace

QString MSSQLConnectionString(const ConnectionSettings& s) {
    return QLatin1String("Driver={SQL Server};Server=") + value(s.msServer) +
           QLatin1String(";Database=") + value(s.msDatabase) + QLatin1String(";Uid=") +
           value(s.msUser) + QLatin1String(";Pwd=") + value(s.msPassword) + QLatin1String(";");
}

QString MySQLConnectionStringTestOrder(const ConnectionSettings& s) {
    return QLatin1String("DRIVER={MySQL ODBC 3.51 Driver};") + QLatin1String("SERVER=") +
           value(s.myServer) + QLatin1String(";") + QLatin1String("USER=") + value(s.myUser) +
           QLatin1String(";") + QLatin1String("DATABASE=") + value(s.myDatabase) +
           QLatin1String(";") + QLatin1String("PASSWORD=") + value(s.myPassword) +
           QLatin1String(";");
}

QString MySQLConnectionStringCommandOrder(const ConnectionSettings& s) {
    return QLatin1String("DRIVER={MySQL ODBC 3.51 Driver};") + QLatin1String("SERVER=") +
           value(s.myServer) + QLatin1String(";") + QLatin1String("DATABASE=") +
           value(s.myDatabase) + QLatin1String(";") + QLatin1String("USER=") + value(s.myUser) +
           QLatin1String(";") + QLatin1String("PASSWORD=") + value(s.myPassword) +
           QLatin1String(";");
}

} // namespace fq::sql
