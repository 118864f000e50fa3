#include "odbc/ConnectionHandle.h"

#include "odbc/CallWatch.h"
#include "odbc/Environment.h"
#include "odbc/Odbc.h"
#include "odbc/Waiting.h"

#include <sqlext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#ifdef __linux__
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace fq::odbc {

namespace {

// The thread whose calls this thread's count as; none: its own.
thread_local std::thread::id countedAs;

std::thread::id callerNow() noexcept {
    return countedAs == std::thread::id() ? std::this_thread::get_id() : countedAs;
}

std::int64_t steadyNanoseconds(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

#ifdef __linux__

// The process's sockets: (descriptor, inode), read from the names of the entries of
// /proc/self/fd ("socket:[12345]") without touching the descriptors themselves, which other
// threads may be using.
std::vector<std::pair<int, unsigned long>> sockets() {
    std::vector<std::pair<int, unsigned long>> found;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return found;
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0')
            continue;
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/fd/%ld", fd);
        char target[64] = {};
        const ssize_t length = ::readlink(path, target, sizeof target - 1);
        unsigned long inode = 0;
        if (length > 0 && std::sscanf(target, "socket:[%lu]", &inode) == 1)
            found.emplace_back(static_cast<int>(fd), inode);
    }
    ::closedir(dir);
    return found;
}

bool isConnectedTcp(int fd) {
    int type = 0;
    socklen_t typeLength = sizeof type;
    if (::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0 || type != SOCK_STREAM)
        return false;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
        return false;
    return peer.ss_family == AF_INET || peer.ss_family == AF_INET6;
}

// The socket the driver opened while connecting: the one connected TCP socket that was not
// there before. A duplicate of it is kept, so that it can be shut down later whatever the
// driver does with its own descriptor; -1 when it cannot be told (none, or several opened at
// once by other threads).
int duplicateNewSocket(const std::vector<std::pair<int, unsigned long>>& before) {
    int newOne = -1;
    for (const auto& [fd, inode] : sockets()) {
        const bool old = std::any_of(before.cbegin(), before.cend(),
                                     [inode = inode](const auto& b) { return b.second == inode; });
        if (old || !isConnectedTcp(fd))
            continue;
        if (newOne != -1)
            return -1;
        newOne = fd;
    }
    return newOne == -1 ? -1 : ::fcntl(newOne, F_DUPFD_CLOEXEC, 0);
}

// How long ago the socket last received data; nothing when the kernel cannot tell.
std::optional<std::chrono::milliseconds> sinceLastReceived(int socket) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return std::nullopt;
    return std::chrono::milliseconds(info.tcpi_last_data_recv);
}

#endif

} // namespace

ConnectionHandle::ConnectionHandle() : env_(Environment::shared()) {
    SQLHDBC dbc = nullptr;
    const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, env_->handle(), &dbc);
    if (!detail::succeeded(rc))
        throw detail::diagnostics(SQL_HANDLE_ENV, env_->handle(), "SQLAllocHandle", rc);
    dbc_ = dbc;
}

ConnectionHandle::~ConnectionHandle() {
    if (connected_) {
        const Call call(*this);
        SQLDisconnect(dbc_);
    }
    if (watched_)
        detail::CallWatch::remove(*this);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
#ifdef __linux__
    if (socket_ >= 0)
        ::close(socket_);
#endif
}

QString ConnectionHandle::infoText(SQLUSMALLINT what) const {
    std::vector<SQLWCHAR> text(256);
    SQLSMALLINT bytes = 0;
    const SQLRETURN rc = SQLGetInfoW(
        dbc_, what, text.data(), static_cast<SQLSMALLINT>(text.size() * sizeof(SQLWCHAR)), &bytes);
    if (!detail::succeeded(rc))
        return {};
    const auto length = std::min<qsizetype>(bytes / 2, static_cast<qsizetype>(text.size()) - 1);
    return detail::fromWide(text.data(), std::max<qsizetype>(length, 0));
}

void ConnectionHandle::connect(const QString& driverString, const QString& driver) {
    if (driverString.size() > std::numeric_limits<SQLSMALLINT>::max()) {
        throw Misuse(QStringLiteral("The connection string is too long for ODBC (%1 characters).")
                         .arg(driverString.size()));
    }
    driver_ = driver;
    detail::CallWatch::add(*this);
    watched_ = true;

    const auto loginSeconds = static_cast<SQLULEN>(limits().login.count());
    detail::check(SQLSetConnectAttr(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                                    reinterpret_cast<SQLPOINTER>(loginSeconds), SQL_IS_UINTEGER),
                  SQL_HANDLE_DBC, dbc_, "SQLSetConnectAttr");

    // One login at a time in the process: the socket that appears meanwhile is this login's.
    static std::mutex oneLoginAtATime;
    const std::lock_guard login(oneLoginAtATime);
#ifdef __linux__
    {
        const std::lock_guard lock(loginSockets_);
        socketsBeforeLogin_ = sockets();
    }
#endif
    // The completed string the driver reports back is not needed, but some drivers insist on
    // somewhere to write it.
    std::vector<SQLWCHAR> completed(1024);
    SQLSMALLINT completedLength = 0;
    SQLRETURN rc = SQL_ERROR;
    {
        const Call call(*this);
        rc = SQLDriverConnectW(dbc_, nullptr, detail::wide(driverString),
                               static_cast<SQLSMALLINT>(driverString.size()), completed.data(),
                               static_cast<SQLSMALLINT>(completed.size()), &completedLength,
                               SQL_DRIVER_NOPROMPT);
    }
#ifdef __linux__
    std::vector<std::pair<int, unsigned long>> before;
    {
        const std::lock_guard lock(loginSockets_);
        before = std::move(*socketsBeforeLogin_);
        socketsBeforeLogin_.reset();
    }
#endif
    if (!detail::succeeded(rc)) {
        DbError error = detail::diagnostics(SQL_HANDLE_DBC, dbc_, "SQLDriverConnectW", rc);
        error.setInterruption(interruption());
        throw error;
    }
    connected_ = true;
#ifdef __linux__
    socket_ = duplicateNewSocket(before);
#endif
    if (interruption() != Interruption::None) {
        // Cut in the moment the login ended: the connection is of no use.
        DbError error(kGenericFailure, QStringLiteral("HY008"), 0,
                      QStringLiteral("The connection was closed as its login ended."));
        error.setInterruption(interruption());
        throw error;
    }

    std::vector<SQLWCHAR> name(256);
    SQLSMALLINT nameBytes = 0;
    const SQLRETURN info =
        SQLGetInfoW(dbc_, SQL_DRIVER_NAME, name.data(),
                    static_cast<SQLSMALLINT>(name.size() * sizeof(SQLWCHAR)), &nameBytes);
    if (detail::succeeded(info)) {
        const auto length =
            std::min<qsizetype>(nameBytes / 2, static_cast<qsizetype>(name.size()) - 1);
        textAsUtf8_ = detail::fromWide(name.data(), std::max<qsizetype>(length, 0))
                          .contains(QLatin1String("maodbc"), Qt::CaseInsensitive);
    }
    driverVersion_ = infoText(SQL_DRIVER_VER);
    // MariaDB's driver ends a silent call itself (its READ_TIMEOUT and WRITE_TIMEOUT keys). Other
    // drivers get the bound as every statement's query timeout; FreeTDS then cancels the call and
    // waits as long again for the server to answer the cancel, so the watch cuts it at the bound.
    if (!textAsUtf8_) {
        queryTimeout_ = static_cast<SQLULEN>(limits().answer.count());
        cutAtBound_ = true;
    }
}

CallsCountAs::CallsCountAs(std::thread::id thread) noexcept : before_(countedAs) {
    countedAs = thread;
}

CallsCountAs::~CallsCountAs() {
    countedAs = before_;
}

ConnectionHandle::Call::Call(ConnectionHandle& connection) : connection_(connection) {
    connection_.caller_.store(callerNow());
    connection_.callStart_.store(steadyNanoseconds(std::chrono::steady_clock::now()));
}

ConnectionHandle::Call::~Call() {
    connection_.callStart_.store(0);
}

std::optional<ConnectionHandle::Silence>
ConnectionHandle::silence(std::chrono::steady_clock::time_point now) const {
    const std::int64_t start = callStart_.load();
    if (start == 0)
        return std::nullopt;
    auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::nanoseconds(std::max<std::int64_t>(0, steadyNanoseconds(now) - start)));
#ifdef __linux__
    // Data arriving during the call (a long result being read) is an answer.
    if (const int s = socket_.load(); s >= 0) {
        if (const auto received = sinceLastReceived(s))
            silent = std::min(silent, *received);
    }
#endif
    return Silence{caller_.load(), silent};
}

Interruption ConnectionHandle::causeOf(const DbError& error) noexcept {
    if (const Interruption cut = interruption(); cut != Interruption::None)
        return cut;
    // Nothing came back within the bound: the driver's query timeout ("Timeout expired"), or its
    // read or write timeout, which it reports as a lost connection.
    bool silentTooLong = error.sqlState().startsWith(QLatin1String("HYT"));
    if (!silentTooLong) {
        // The drivers' timeouts count from their last read or write, so the call's silence is at
        // least the bound; a little less is the clocks' grain.
        constexpr std::chrono::milliseconds kGrain{250};
        const auto s = silence(std::chrono::steady_clock::now());
        silentTooLong = s && s->silent + kGrain >= limits().answer;
    }
    if (!silentTooLong)
        return Interruption::None;
    int expected = static_cast<int>(Interruption::None);
    interruption_.compare_exchange_strong(expected,
                                          static_cast<int>(Interruption::StoppedAnswering));
    return interruption();
}

bool ConnectionHandle::cut(Interruption why) noexcept {
#ifdef __linux__
    int s = socket_.load();
    if (s >= 0) {
        int expected = static_cast<int>(Interruption::None);
        interruption_.compare_exchange_strong(expected, static_cast<int>(why));
        ::shutdown(s, SHUT_RDWR);
        return true;
    }
    // During the login: the connected socket that was not there before it began is the login's
    // (logins are made one at a time).
    const std::lock_guard lock(loginSockets_);
    if (!socketsBeforeLogin_)
        return false;
    bool found = false;
    for (const auto& [fd, inode] : sockets()) {
        const bool old = std::any_of(socketsBeforeLogin_->cbegin(), socketsBeforeLogin_->cend(),
                                     [inode = inode](const auto& b) { return b.second == inode; });
        if (old || !isConnectedTcp(fd))
            continue;
        if (!found) {
            int expected = static_cast<int>(Interruption::None);
            interruption_.compare_exchange_strong(expected, static_cast<int>(why));
        }
        ::shutdown(fd, SHUT_RDWR);
        found = true;
    }
    return found;
#else
    (void)why;
    return false;
#endif
}

} // namespace fq::odbc
