#include "StatementLog.h"

#include "Convert.h"
#include "Text.h"
#include "Types.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace tds::wire {

namespace {

std::string logged(const std::u16string& text) {
    return text::escape(text::toUtf8(text));
}

} // namespace

std::string StatementLog::literal(const ColumnType& type, const Value& value) {
    if (std::holds_alternative<std::monostate>(value)) {
        return "NULL";
    }
    const std::string shown = text::toUtf8(Convert::toText(Typed{value, type}));
    const bool bytes = std::holds_alternative<std::string>(value) && Types::isBinary(type.type);
    if (std::holds_alternative<std::int64_t>(value) || std::holds_alternative<double>(value) ||
        std::holds_alternative<Decimal>(value) || bytes) {
        return shown;
    }
    std::string quoted = std::holds_alternative<std::u16string>(value) ? "N'" : "'";
    for (const char c : shown) {
        quoted += c;
        if (c == '\'') {
            quoted += c;
        }
    }
    return quoted + "'";
}

StatementLog::StatementLog(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw std::runtime_error("cannot open the statement log " + path + ": " +
                                 std::strerror(errno));
}

StatementLog::~StatementLog() {
    if (fd_ >= 0)
        ::close(fd_);
}

void StatementLog::write(std::uint64_t connection, const std::u16string& user,
                         const std::string& rest) {
    if (fd_ < 0)
        return;
    const std::string line = std::to_string(connection) + "\t" + logged(user) + "\t" + rest + "\n";
    const std::lock_guard lock(mutex_);
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        written += static_cast<std::size_t>(n);
    }
}

void StatementLog::login(std::uint64_t connection, const std::u16string& user,
                         const std::u16string& database) {
    write(connection, user, "LOGIN\t" + logged(database));
}

void StatementLog::loginFailed(std::uint64_t connection, const std::u16string& user,
                               const std::u16string& database, std::int32_t error) {
    write(connection, user, "LOGIN-FAILED\t" + logged(database) + "\t" + std::to_string(error));
}

void StatementLog::batch(std::uint64_t connection, const std::u16string& user,
                         const std::u16string& sql) {
    write(connection, user, "BATCH\t" + logged(sql));
}

void StatementLog::rpc(std::uint64_t connection, const std::u16string& user,
                       const std::u16string& name, std::uint16_t procId,
                       const std::vector<RpcParam>& params) {
    std::string rest = "RPC\t" + (name.empty() ? std::to_string(procId) : logged(name));
    for (const RpcParam& p : params) {
        rest += '\t';
        if (!p.name.empty())
            rest += logged(p.name) + "=";
        rest += text::escape(literal(p.type, p.value));
    }
    write(connection, user, rest);
}

void StatementLog::attention(std::uint64_t connection, const std::u16string& user) {
    write(connection, user, "ATTENTION");
}

void StatementLog::logout(std::uint64_t connection, const std::u16string& user) {
    write(connection, user, "LOGOUT");
}

} // namespace tds::wire
