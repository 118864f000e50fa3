#include "sql/ConnectionStrings.h"

#include "odbc/ConnectionAttributes.h"
#include "sql/Refusal.h"

#include <QList>
#include <QLocale>

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

using odbc::connectionAttribute;
using odbc::ConnectionAttribute;

QString withKey(const QString& connectionString, const QString& pair) {
    QString result = connectionString;
    if (!result.isEmpty() && !result.endsWith(u';'))
        result.append(u';');
    result.append(pair);
    result.append(u';');
    return result;
}

// The string as FreeTDS reads it. FreeTDS ends a value in braces at the first "}" that a ";" (or
// the end) follows and takes "}}" as two characters, so each value in braces is handed to it as
// it stands, and a value that holds "};" cannot be handed to it at all: it would end there and
// its rest would be read as keys of their own.
QString freeTdsConnectionString(const std::vector<ConnectionAttribute>& all) {
    QString result;
    for (const ConnectionAttribute& a : all) {
        if (a.braced && a.value.contains(QLatin1String("};"))) {
            throw Refusal(QStringLiteral("The SQL Server driver cannot take a connection value "
                                         "that holds \"};\" (the %1 value). Change that value.")
                              .arg(a.key));
        }
        result += a.key + u'=';
        result += a.braced ? u'{' + a.value + u'}' : a.value;
        result += u';';
    }
    return result;
}

} // namespace

QString MSSQLConnectionString(const ConnectionSettings& s) {
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

namespace {

QString handedToDriver(const QString& connectionString, std::chrono::seconds login,
                       std::chrono::seconds answer) {
    const std::vector<ConnectionAttribute> all = odbc::connectionAttributes(connectionString);
    const std::optional<QString> driver = connectionAttribute(all, QLatin1String("Driver"));
    if (!driver)
        return connectionString;
    if (driver->trimmed().compare(QLatin1String("MySQL ODBC 3.51 Driver"), Qt::CaseInsensitive) ==
        0) {
        // MariaDB's driver does not apply the login timeout attribute to the server's greeting,
        // only its own key: without it a server that accepts the connection and then says
        // nothing holds the login for ever. Its read and write timeouts end a call that has had
        // nothing from the server, or could send nothing to it, for the bound.
        QString result = connectionString;
        const QList<std::pair<QLatin1String, long long>> bounds{
            {QLatin1String("CONN_TIMEOUT"), login.count()},
            {QLatin1String("READ_TIMEOUT"), answer.count()},
            {QLatin1String("WRITE_TIMEOUT"), answer.count()}};
        for (const auto& [key, seconds] : bounds) {
            if (!connectionAttribute(all, key))
                result = withKey(result, key + u'=' + QString::number(seconds));
        }
        return result;
    }
    if (driver->trimmed().compare(QLatin1String("SQL Server"), Qt::CaseInsensitive) != 0)
        return connectionString;
    QString result = freeTdsConnectionString(all);
    const QString server = connectionAttribute(all, QLatin1String("Server")).value_or(QString());
    // host,port and host\instance find their port themselves. FreeTDS leaves the port of a
    // bare host unset and cannot connect; SQL Server's own driver uses the default port 1433.
    if (!connectionAttribute(all, QLatin1String("Port")) && !server.contains(u',') &&
        !server.contains(u'\\'))
        result = withKey(result, QStringLiteral("Port=1433"));
    // FreeTDS's own choice of protocol version logs in with 7.4 as well, but with it the login
    // timeout does not apply: a server that accepts the connection and then says nothing holds
    // the login for ever.
    if (!connectionAttribute(all, QLatin1String("TDS_Version")))
        result = withKey(result, QStringLiteral("TDS_Version=7.4"));
    return result;
}

} // namespace

QString driverConnectionString(const QString& connectionString, std::chrono::seconds login,
                               std::chrono::seconds answer) {
    QString result = handedToDriver(connectionString, login, answer);
    // ODBC hands a connection string over with its length in a 16-bit count.
    constexpr qsizetype kLongest = 32767;
    if (result.size() > kLongest)
        throw Refusal(QStringLiteral("The connection settings are too long: an ODBC driver takes "
                                     "a connection string of at most 32,767 characters, and "
                                     "these make %1. Shorten the longest of the values.")
                          .arg(QLocale(QLocale::English).toString(result.size())));
    return result;
}

} // namespace fq::sql
