#include "odbc/Connection.h"

#include "odbc/ConnectionAttributes.h"
#include "odbc/ConnectionHandle.h"
#include "odbc/DbError.h"
#include "odbc/Misuse.h"
#include "odbc/Odbc.h"
#include "odbc/Statement.h"
#include "odbc/Waiting.h"

#include <QStringList>

#include <atomic>
#include <optional>

namespace fq::odbc {

namespace {

// The string as FreeTDS reads it. FreeTDS ends a value in braces at the first "}" that a ";" (or
// the end) follows and takes "}}" as two characters, so each value in braces is handed to it as
// it stands, and a value that holds "};" cannot be handed to it at all: it would end there and
// its rest would be read as keys of their own.
QString freeTdsConnectionString(const std::vector<ConnectionAttribute>& all) {
    QString result;
    for (const ConnectionAttribute& a : all) {
        if (a.braced && a.value.contains(QLatin1String("};"))) {
            throw Misuse(QStringLiteral("The SQL Server driver cannot take a connection value "
                                        "that holds \"};\" (the %1 value).")
                             .arg(a.key));
        }
        result += a.key + u'=';
        result += a.braced ? u'{' + a.value + u'}' : a.value;
        result += u';';
    }
    return result;
}

QString withKey(const QString& connectionString, const QString& pair) {
    QString result = connectionString;
    if (!result.isEmpty() && !result.endsWith(u';'))
        result.append(u';');
    result.append(pair);
    result.append(u';');
    return result;
}

// The keys that make MariaDB's driver stream results, and whether the driver of this process takes
// them: -1 not known yet, 0 no, 1 yes.
std::atomic<int> mariadbTakesStreamingKeys{-1};

QString withStreamingKeys(const QString& s) {
    return withKey(withKey(s, QStringLiteral("NO_CACHE=1")), QStringLiteral("FORWARDONLY=1"));
}

} // namespace

bool mariadbStreams(const QString& driverVersion) {
    const QStringList parts = driverVersion.trimmed().split(u'.');
    if (parts.size() < 3)
        return false;
    const int major = parts[0].toInt();
    const int minor = parts[1].toInt();
    const int patch = parts[2].toInt();
    return major > 3 || (major == 3 && (minor > 1 || (minor == 1 && patch >= 17)));
}

QString driverConnectionString(const QString& connectionString) {
    const std::vector<ConnectionAttribute> all = connectionAttributes(connectionString);
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
            {QLatin1String("CONN_TIMEOUT"), limits().login.count()},
            {QLatin1String("READ_TIMEOUT"), limits().answer.count()},
            {QLatin1String("WRITE_TIMEOUT"), limits().answer.count()}};
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

Connection::Connection() = default;
Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::open(const QString& connectionString) {
    if (handle_)
        throw Misuse(QStringLiteral("The connection is already open."));
    QString driverString = driverConnectionString(connectionString);
    const std::vector<ConnectionAttribute> all = connectionAttributes(connectionString);
    const bool streamingKeysGiven = connectionAttribute(all, QLatin1String("NO_CACHE")).has_value();
    if (!streamingKeysGiven && mariadbTakesStreamingKeys.load() == 1)
        driverString = withStreamingKeys(driverString);
    auto handle = std::make_shared<ConnectionHandle>();
    const QString driver =
        connectionAttribute(all, QLatin1String("Driver")).value_or(QString()).trimmed();
    handle->connect(driverString, driver);
    if (handle->textAsUtf8() && mariadbTakesStreamingKeys.load() == -1) {
        const bool streams = mariadbStreams(handle->driverVersion());
        mariadbTakesStreamingKeys.store(streams ? 1 : 0);
        if (streams && !streamingKeysGiven) {
            handle.reset();
            handle = std::make_shared<ConnectionHandle>();
            handle->connect(withStreamingKeys(driverString), driver);
        }
    }
    streams_ =
        !handle->textAsUtf8() || (mariadbStreams(handle->driverVersion()) &&
                                  (streamingKeysGiven || mariadbTakesStreamingKeys.load() == 1));
    handle_ = std::move(handle);
}

Result Connection::execute(const QString& statement, Rows rows) {
    return run(statement, nullptr, {}, rows);
}

Result Connection::execute(const QString& statement, long long* recordsAffected, Rows rows) {
    return run(statement, recordsAffected, {}, rows);
}

Result Connection::execute(const QString& statement, const std::vector<long long>& numbers,
                           Rows rows) {
    return run(statement, nullptr, numbers, rows);
}

Result Connection::run(const QString& statement, long long* recordsAffected,
                       const std::vector<long long>& numbers, Rows rows) {
    if (!handle_)
        throw detail::notOpen();
    // A handle whose statement failed is not used again: the driver may hold more of its
    // results.
    std::unique_ptr<Statement> stmt =
        spare_ ? std::move(spare_) : std::make_unique<Statement>(handle_);
    stmt->execute(statement, rows == Rows::Buffered, recordsAffected, numbers);
    if (!stmt->hasResult()) {
        spare_ = std::move(stmt);
        return Result();
    }
    return Result(std::move(stmt));
}

void Connection::close() noexcept {
    spare_.reset();
    handle_.reset();
}

bool Connection::cutIfWaiting(std::chrono::milliseconds silentFor) noexcept {
    if (!handle_)
        return false;
    const auto s = handle_->silence(std::chrono::steady_clock::now());
    return s && s->silent >= silentFor && handle_->cut(Interruption::Cancelled);
}

bool Connection::streamsResults() const noexcept {
    return handle_ && streams_;
}

bool Connection::isOpen() const noexcept {
    return handle_ != nullptr;
}

QStringList Connection::catalogTables() {
    if (!handle_)
        throw detail::notOpen();
    Statement stmt(handle_);
    stmt.tables(QStringLiteral("TABLE,VIEW"));
    QStringList names;
    for (; !stmt.atEnd(); stmt.moveNext()) {
        // TABLE_CAT, TABLE_SCHEM, TABLE_NAME, TABLE_TYPE, REMARKS
        const QString schema = stmt.value(1).text();
        if (schema.compare(QLatin1String("sys"), Qt::CaseInsensitive) == 0 ||
            schema.compare(QLatin1String("INFORMATION_SCHEMA"), Qt::CaseInsensitive) == 0)
            continue;
        names.append(stmt.value(2).text());
    }
    return names;
}

} // namespace fq::odbc
