#pragma once

#include "Engine.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tds::wire {

// The statement log: one line per event, fields separated by tabs, appended and written through
// at once so a test reading the file sees every event the moment the client has its answer.
//   <connection>\t<login>\tLOGIN\t<database>
//   <connection>\t<login>\tLOGIN-FAILED\t<database>\t<error number>
//   <connection>\t<login>\tBATCH\t<batch text>
//   <connection>\t<login>\tRPC\t<procedure name or id>\t<name>=<value>...
//   <connection>\t<login>\tATTENTION
//   <connection>\t<login>\tLOGOUT
// RPC parameters are written as name=value with the value as a T-SQL literal; a parameter sent
// without a name is written as its value alone. Texts are escaped (\\, \n, \r, \t) so each event
// stays on one line. Without a file, nothing is written.
class StatementLog {
public:
    StatementLog() = default;
    // Opens (creates or appends to) the file; throws std::runtime_error when it can't.
    explicit StatementLog(const std::string& path);
    ~StatementLog();
    StatementLog(const StatementLog&) = delete;
    StatementLog& operator=(const StatementLog&) = delete;

    void login(std::uint64_t connection, const std::u16string& user,
               const std::u16string& database);
    void loginFailed(std::uint64_t connection, const std::u16string& user,
                     const std::u16string& database, std::int32_t error);
    void batch(std::uint64_t connection, const std::u16string& user, const std::u16string& sql);
    void rpc(std::uint64_t connection, const std::u16string& user, const std::u16string& name,
             std::uint16_t procId, const std::vector<RpcParam>& params);
    void attention(std::uint64_t connection, const std::u16string& user);
    void logout(std::uint64_t connection, const std::u16string& user);

    // A value as a T-SQL literal (UTF-8): NULL, numbers, 'text' with quotes doubled, N'text' for
    // Unicode, 0x.. for binary, dates, times and uniqueidentifiers as quoted texts.
    static std::string literal(const ColumnType& type, const Value& value);

private:
    void write(std::uint64_t connection, const std::u16string& user, const std::string& rest);

    int fd_ = -1;
    std::mutex mutex_;
};

} // namespace tds::wire
