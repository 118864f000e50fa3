#include "odbc/Connection.h"

#include "odbc/ConnectionAttributes.h"
#include "odbc/ConnectionHandle.h"
#include "odbc/DbError.h"
#include "odbc/Misuse.h"
#include "odbc/Odbc.h"
#include "odbc/Statement.h"

#include <QStringList>

#include <atomic>

namespace fq::odbc {

namespace {

// Whether MariaDB's driver of this process takes the keys that make it stream results: -1 not
// known yet, 0 no, 1 yes.
std::atomic<int> mariadbTakesStreamingKeys{-1};

// The string with the keys that make MariaDB's driver of a version that takes them stream results.
QString withStreamingKeys(const QString& driverString) {
    QString result = driverString;
    if (!result.isEmpty() && !result.endsWith(u';'))
        result.append(u';');
    return result + QLatin1String("NO_CACHE=1;FORWARDONLY=1;");
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

Connection::Connection() = default;
Connection::~Connection() = default;
Connection::Connection(Connection&&) noexcept = default;
Connection& Connection::operator=(Connection&&) noexcept = default;

void Connection::open(const QString& connectionString) {
    if (handle_)
        throw Misuse(QStringLiteral("The connection is already open."));
    // Handed over as it stands, but for the keys that depend on the driver's version.
    QString driverString = connectionString;
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

Result Connection::execute(const QString& statement, const std::vector<const Value*>& longValues,
                           long long* recordsAffected) {
    return run(statement, recordsAffected, {}, Rows::Streamed, longValues);
}

Result Connection::run(const QString& statement, long long* recordsAffected,
                       const std::vector<long long>& numbers, Rows rows,
                       const std::vector<const Value*>& longValues) {
    if (!handle_)
        throw detail::notOpen();
    // A handle whose statement failed is not used again: the driver may hold more of its
    // results.
    std::unique_ptr<Statement> stmt =
        spare_ ? std::move(spare_) : std::make_unique<Statement>(handle_);
    stmt->execute(statement, rows == Rows::Buffered, recordsAffected, numbers, longValues);
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
