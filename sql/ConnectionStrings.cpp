#include "sql/ConnectionStrings.h"

#include "sql/Refusal.h"

#include <algorithm>
#include <utility>

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

// "SERVER=host;" for the MySQL server box, or "SERVER=host;PORT=port;" when the box ends in a
// port: "host:3307", "[::1]:3307". The driver reads no port inside SERVER=, and it takes an IPv6
// address without brackets. A box without such a port (a bare IPv6 address among them) is
// written as it stands, as it always was.
QString mysqlServer(const QString& box) {
    const QString plain = QLatin1String("SERVER=") + value(box) + u';';
    const qsizetype colon = box.lastIndexOf(u':');
    const QStringView digits = QStringView(box).mid(colon + 1);
    if (colon <= 0 || digits.isEmpty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return plain;
    const int port = digits.toInt();
    QString host = box.left(colon);
    if (host.startsWith(u'[')) {
        if (host.size() <= 2 || !host.endsWith(u']'))
            return plain;
        host = host.mid(1, host.size() - 2);
    } else if (host.contains(u':')) {
        return plain; // the last group of an IPv6 address
    }
    if (port < 1 || port > 65535)
        return plain;
    return QLatin1String("SERVER=") + value(host) + QLatin1String(";PORT=") +
           QString::number(port) + u';';
}

} // namespace

QString MSSQLConnectionString(const ConnectionSettings& s) {
    // FreeTDS ends a value in braces at the first "}" that a ";" follows: such a value would end
    // there, and its rest would be read as keys of their own.
    const std::pair<QLatin1String, const QString*> values[] = {
        {QLatin1String("Server"), &s.msServer},
        {QLatin1String("Database"), &s.msDatabase},
        {QLatin1String("Uid"), &s.msUser},
        {QLatin1String("Pwd"), &s.msPassword}};
    for (const auto& [key, v] : values) {
        if (v->contains(QLatin1String("};")))
            throw Refusal(QStringLiteral("The SQL Server driver cannot take a connection value "
                                         "that holds \"};\" (the %1 value). Change that value.")
                              .arg(key));
    }
    return QLatin1String("Driver={SQL Server};Server=") + value(s.msServer) +
           QLatin1String(";Database=") + value(s.msDatabase) + QLatin1String(";Uid=") +
           value(s.msUser) + QLatin1String(";Pwd=") + value(s.msPassword) + QLatin1String(";");
}

QString MySQLConnectionStringTestOrder(const ConnectionSettings& s) {
    return QLatin1String("DRIVER={MySQL ODBC 3.51 Driver};") + mysqlServer(s.myServer) +
           QLatin1String("USER=") + value(s.myUser) + QLatin1String(";") +
           QLatin1String("DATABASE=") + value(s.myDatabase) + QLatin1String(";") +
           QLatin1String("PASSWORD=") + value(s.myPassword) + QLatin1String(";");
}

QString MySQLConnectionStringCommandOrder(const ConnectionSettings& s) {
    return QLatin1String("DRIVER={MySQL ODBC 3.51 Driver};") + mysqlServer(s.myServer) +
           QLatin1String("DATABASE=") + value(s.myDatabase) + QLatin1String(";") +
           QLatin1String("USER=") + value(s.myUser) + QLatin1String(";") +
           QLatin1String("PASSWORD=") + value(s.myPassword) + QLatin1String(";");
}

} // namespace fq::sql
