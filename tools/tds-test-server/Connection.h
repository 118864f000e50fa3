#pragma once

#include "Engine.h"
#include "PacketStream.h"
#include "TokenWriter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tds::wire {

class StatementLog;
struct RpcRequest;

// One client connection, served on its own thread: PRELOGIN, LOGIN7, then SQL batches, RPCs and
// attentions until the client leaves.
class Connection {
public:
    Connection(int fd, std::uint64_t number, Engine& engine, StatementLog& log);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void run();

    static const std::u16string kServerName;

private:
    struct PendingDone {
        DoneKind kind = DoneKind::Done;
        std::uint16_t status = 0;
        std::uint16_t command = 0;
        std::uint64_t count = 0;
    };

    bool login(const std::vector<std::uint8_t>& payload);
    void batch(const std::vector<std::uint8_t>& payload);
    void rpcMessage(const std::vector<std::uint8_t>& payload);
    void rpc(RpcRequest& call, bool last);
    void attention();

    void beginResponse();
    void emit(StatementOutcome&& outcome);
    // Sends a result's metadata and rows; false when a cancel ended the response.
    bool sendRows(ResultSet& result, std::uint64_t& count, bool& error);
    void endProcedure(const StatementOutcome& outcome, std::uint16_t status, std::uint16_t command,
                      std::uint64_t count);
    void flushPending(bool more);
    void cancelResponse();
    void internalError(const std::string& what);
    void sendErrorsAndClose(const std::vector<Message>& messages);

    PacketStream stream_;
    TokenWriter out_;
    int fd_;
    std::uint64_t number_;
    Engine& engine_;
    StatementLog& log_;
    std::u16string user_;
    std::unique_ptr<Session> session_;

    // The response being written.
    // The DONE of the last statement is held back until it is known whether more follows.
    std::optional<PendingDone> pending_;
    bool cancelled_ = false;
    bool anyError_ = false;
    std::size_t outcomesSent_ = 0;
    // The RPC being answered: its name for messages, whether the procedure has ended, whether it
    // raised an error, and the positions of its OUTPUT parameters.
    bool inRpc_ = false;
    bool procEnded_ = false;
    bool procError_ = false;
    std::u16string procName_;
    std::vector<std::uint16_t> outputOrdinals_;
};

} // namespace tds::wire
