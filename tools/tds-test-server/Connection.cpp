#include "Connection.h"

#include "Login7.h"
#include "Prelogin.h"
#include "ResultWriter.h"
#include "RpcReader.h"
#include "StatementLog.h"
#include "Text.h"

#include <algorithm>
#include <exception>

namespace tds::wire {

const std::u16string Connection::kServerName = u"TDSTEST";

namespace {
constexpr std::size_t kDefaultPacketSize = 4096;
constexpr std::uint16_t kCommandSelect = 0xC1;
constexpr std::uint32_t kTds74 = 0x74000004u;
constexpr std::size_t kRowsBetweenCancelChecks = 256;

std::u16string utf16(const std::string& ascii) {
    return text::fromAscii(ascii);
}

} // namespace

Connection::Connection(int fd, std::uint64_t number, Engine& engine, StatementLog& log)
    : stream_(fd), out_(stream_, kDefaultPacketSize), fd_(fd), number_(number), engine_(engine),
      log_(log) {
    stream_.setSpid(static_cast<std::uint16_t>(50 + number % 30000));
}

Connection::~Connection() = default;

void Connection::run() {
    PacketType type{};
    std::vector<std::uint8_t> payload;
    bool loggedIn = false;
    while (!stream_.broken() && stream_.readMessage(type, payload)) {
        if (!loggedIn) {
            if (type == PacketType::Prelogin) {
                const auto reply = Prelogin::reply(static_cast<std::uint32_t>(50 + number_));
                out_.bytes(reply.data(), reply.size());
                out_.endMessage();
                continue;
            }
            if (type == PacketType::Login7 && login(payload)) {
                loggedIn = true;
                continue;
            }
            break;
        }
        switch (type) {
        case PacketType::SqlBatch:
            batch(payload);
            break;
        case PacketType::Rpc:
            rpcMessage(payload);
            break;
        case PacketType::Attention:
            attention();
            break;
        default:
            // Transaction requests, bulk loads and the like: none of the clients sends them.
            beginResponse();
            out_.message(notSupported(u"TDS packets of type 0x" +
                                      utf16(text::hex(std::string(1, static_cast<char>(type))))),
                         kServerName, u"");
            out_.done(DoneKind::Done, kDoneError, 0, 0);
            out_.endMessage();
            break;
        }
    }
    if (loggedIn) {
        session_.reset();
        log_.logout(number_, user_);
    }
}

bool Connection::login(const std::vector<std::uint8_t>& payload) {
    const std::optional<Login7> request = Login7::parse(payload);
    if (!request) {
        Message m;
        m.number = 17832;
        m.severity = 20;
        m.text = u"The login packet used to open the connection is structurally invalid; the "
                 u"connection has been closed.";
        sendErrorsAndClose({m});
        return false;
    }
    user_ = request->userName;
    if (request->tdsVersion < kTds74) {
        Message m = makeMessage(17835, 20, 1, u"This server supports TDS 7.4 only.");
        log_.loginFailed(number_, user_, request->database, m.number);
        sendErrorsAndClose({m});
        return false;
    }

    LoginResult result = engine_.login(request->userName, request->password, request->database);
    if (!result.session) {
        const std::int32_t number =
            result.messages.empty() ? 18456 : result.messages.front().number;
        log_.loginFailed(number_, user_, request->database, number);
        sendErrorsAndClose(result.messages);
        return false;
    }
    session_ = std::move(result.session);
    const std::u16string database = session_->database();
    log_.login(number_, user_, database);

    std::size_t packetSize = request->packetSize == 0 ? kDefaultPacketSize : request->packetSize;
    packetSize = std::clamp<std::size_t>(packetSize, 512, 32767);
    const std::u16string packetText = utf16(std::to_string(packetSize));

    out_.envChange(1, database, u"master");
    Message changedDatabase;
    changedDatabase.number = 5701;
    changedDatabase.state = 2;
    changedDatabase.severity = 0;
    changedDatabase.text = u"Changed database context to '" + database + u"'.";
    out_.message(changedDatabase, kServerName, u"");
    out_.collationChange();
    out_.envChange(2, u"us_english", u"");
    Message changedLanguage;
    changedLanguage.number = 5703;
    changedLanguage.state = 1;
    changedLanguage.severity = 0;
    changedLanguage.text = u"Changed language setting to us_english.";
    out_.message(changedLanguage, kServerName, u"");
    out_.loginAck();
    out_.envChange(4, packetText, packetText);
    out_.done(DoneKind::Done, kDoneFinal, 0, 0);
    out_.endMessage();
    out_.setPacketSize(packetSize);
    return true;
}

void Connection::sendErrorsAndClose(const std::vector<Message>& messages) {
    for (const Message& m : messages)
        out_.message(m, kServerName, u"");
    out_.done(DoneKind::Done, kDoneError, 0, 0);
    out_.endMessage();
}

void Connection::beginResponse() {
    pending_.reset();
    outcomesSent_ = 0;
    cancelled_ = false;
    anyError_ = false;
}

void Connection::flushPending(bool more) {
    if (!pending_)
        return;
    out_.done(pending_->kind, static_cast<std::uint16_t>(pending_->status | (more ? kDoneMore : 0)),
              pending_->command, pending_->count);
    pending_.reset();
}

void Connection::cancelResponse() {
    cancelled_ = true;
    pending_.reset();
    // A client that went away mid-result stops the streaming too, but sent no attention.
    if (stream_.broken())
        return;
    log_.attention(number_, user_);
    out_.done(DoneKind::Done, kDoneAttention, 0, 0);
    out_.endMessage();
}

void Connection::internalError(const std::string& what) {
    Message m;
    m.number = 50000;
    m.severity = 16;
    m.text = u"The test server failed: " + text::fromUtf8(what);
    out_.message(m, kServerName, u"");
    anyError_ = true;
    procError_ = true;
    pending_ = PendingDone{inRpc_ ? DoneKind::DoneInProc : DoneKind::Done, kDoneError, 0, 0};
}

void Connection::emit(StatementOutcome&& outcome) {
    if (cancelled_)
        return;
    // A cancel between the statements of one request (the first has nothing before it).
    if (outcomesSent_++ > 0 && stream_.attentionArrived()) {
        cancelResponse();
        return;
    }
    flushPending(true);
    bool error = false;
    for (const Message& m : outcome.messages) {
        out_.message(m, kServerName, procName_);
        if (m.severity > 10)
            error = true;
    }
    bool counted = false;
    std::uint64_t count = 0;
    std::uint16_t command = 0;
    if (outcome.result) {
        command = kCommandSelect;
        counted = true;
        if (!sendRows(*outcome.result, count, error))
            return;
    } else if (outcome.rowCount) {
        counted = true;
        count = static_cast<std::uint64_t>(std::max<std::int64_t>(*outcome.rowCount, 0));
    }
    if (error) {
        anyError_ = true;
        procError_ = true;
    }
    const std::uint16_t status =
        static_cast<std::uint16_t>((counted ? kDoneCount : 0) | (error ? kDoneError : 0));
    if (!outcome.returnStatus) {
        // A statement on its own in a batch ends with DONE; one run by a procedure with
        // DONEINPROC, sent only when it has something to report.
        if (!inRpc_ || outcome.result || counted || error)
            pending_ =
                PendingDone{inRpc_ ? DoneKind::DoneInProc : DoneKind::Done, status, command, count};
        return;
    }
    endProcedure(outcome, status, command, count);
}

bool Connection::sendRows(ResultSet& result, std::uint64_t& count, bool& error) {
    ResultWriter writer(out_, result.columns);
    writer.metadata();
    std::vector<Value> row;
    std::size_t sinceCheck = 0;
    for (;;) {
        bool more = false;
        try {
            more = result.rows && result.rows->next(row);
        } catch (const RowError& e) {
            out_.message(e.message, kServerName, procName_);
            error = true;
            return true;
        } catch (const std::exception& e) {
            internalError(std::string("reading a row: ") + e.what());
            error = true;
            return true;
        }
        if (!more)
            return true;
        const std::string problem = writer.checkRow(row);
        if (!problem.empty()) {
            internalError(problem);
            error = true;
            return true;
        }
        writer.row(row);
        ++count;
        if (out_.takePacketSent() || ++sinceCheck >= kRowsBetweenCancelChecks) {
            sinceCheck = 0;
            if (stream_.attentionArrived()) {
                cancelResponse();
                return false;
            }
        }
    }
}

void Connection::endProcedure(const StatementOutcome& outcome, std::uint16_t status,
                              std::uint16_t command, std::uint64_t count) {
    // The last outcome of a procedure: its return status, output parameters and DONEPROC.
    if (outcome.result || (status & kDoneCount) != 0)
        out_.done(DoneKind::DoneInProc, static_cast<std::uint16_t>(status | kDoneMore), command,
                  count);
    out_.returnStatus(*outcome.returnStatus);
    for (std::size_t i = 0; i < outcome.outputParams.size(); ++i) {
        // The k-th output value answers the call's k-th OUTPUT parameter.
        const std::uint16_t ordinal =
            i < outputOrdinals_.size() ? outputOrdinals_[i] : static_cast<std::uint16_t>(i);
        const RpcParam& p = outcome.outputParams[i];
        ResultWriter::returnValue(out_, ordinal, p.name, p.type, p.value);
    }
    const auto procStatus = static_cast<std::uint16_t>(procError_ ? kDoneError : 0);
    procError_ = false;
    if (inRpc_) {
        procEnded_ = true;
        pending_ = PendingDone{DoneKind::DoneProc, procStatus, 0, 0};
    } else {
        // A procedure called in a batch: its DONEPROC, then the statement's DONE.
        out_.done(DoneKind::DoneProc, static_cast<std::uint16_t>(procStatus | kDoneMore), 0, 0);
        pending_ = PendingDone{DoneKind::Done, 0, 0, 0};
    }
}

void Connection::batch(const std::vector<std::uint8_t>& payload) {
    // ALL_HEADERS first: its total length, then the headers.
    std::size_t start = 0;
    if (payload.size() >= 4) {
        const std::size_t total = static_cast<std::size_t>(payload[0]) |
                                  (static_cast<std::size_t>(payload[1]) << 8) |
                                  (static_cast<std::size_t>(payload[2]) << 16) |
                                  (static_cast<std::size_t>(payload[3]) << 24);
        start = std::min(total, payload.size());
    }
    std::u16string sql((payload.size() - start) / 2, u'\0');
    for (std::size_t i = 0; i < sql.size(); ++i)
        sql[i] = static_cast<char16_t>(payload[start + 2 * i] | (payload[start + 2 * i + 1] << 8));
    log_.batch(number_, user_, sql);

    beginResponse();
    inRpc_ = false;
    procError_ = false;
    procName_.clear();
    outputOrdinals_.clear();
    try {
        session_->executeBatch(sql,
                               [this](StatementOutcome&& outcome) { emit(std::move(outcome)); });
    } catch (const std::exception& e) {
        if (!cancelled_) {
            flushPending(true);
            internalError(e.what());
        }
    }
    if (cancelled_)
        return;
    if (pending_)
        flushPending(false);
    else
        out_.done(DoneKind::Done, anyError_ ? kDoneError : kDoneFinal, 0, 0);
    out_.endMessage();
}

void Connection::rpcMessage(const std::vector<std::uint8_t>& payload) {
    RpcReader reader(payload);
    std::string error;
    std::vector<RpcRequest> calls = reader.read(error);
    beginResponse();
    if (calls.empty()) {
        log_.rpc(number_, user_, u"(unreadable)", 0, {});
        Message m;
        m.number = 8009;
        m.severity = 16;
        m.text = u"The incoming tabular data stream (TDS) remote procedure call (RPC) protocol "
                 u"stream is incorrect. " +
                 utf16(error.empty() ? "It holds no call." : error);
        out_.message(m, kServerName, u"");
        out_.done(DoneKind::DoneProc, kDoneError, 0, 0);
        out_.endMessage();
        return;
    }
    for (std::size_t i = 0; i < calls.size() && !cancelled_; ++i)
        rpc(calls[i], i + 1 == calls.size());
    if (!cancelled_)
        out_.endMessage();
}

void Connection::rpc(RpcRequest& call, bool last) {
    log_.rpc(number_, user_, call.name, call.procId, call.params);
    inRpc_ = true;
    procEnded_ = false;
    procError_ = false;
    procName_ = call.name;
    outputOrdinals_.clear();
    for (std::size_t i = 0; i < call.params.size(); ++i)
        if (call.params[i].output)
            outputOrdinals_.push_back(static_cast<std::uint16_t>(i));
    try {
        session_->executeRpc(call.name, call.procId, call.params,
                             [this](StatementOutcome&& o) { emit(std::move(o)); });
    } catch (const std::exception& e) {
        if (!cancelled_) {
            flushPending(true);
            internalError(e.what());
            pending_->kind = DoneKind::DoneInProc;
        }
    }
    if (cancelled_)
        return;
    if (!procEnded_) {
        // The engine ended the call without a return status: close it as SQL Server would.
        flushPending(true);
        out_.returnStatus(anyError_ ? -6 : 0);
        pending_ = PendingDone{DoneKind::DoneProc,
                               static_cast<std::uint16_t>(procError_ ? kDoneError : 0), 0, 0};
    }
    flushPending(!last);
}

void Connection::attention() {
    log_.attention(number_, user_);
    out_.done(DoneKind::Done, kDoneAttention, 0, 0);
    out_.endMessage();
}

} // namespace tds::wire
