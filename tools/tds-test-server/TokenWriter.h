#pragma once

#include "PacketStream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tds {
struct Message;
}

namespace tds::wire {

// DONE, DONEPROC and DONEINPROC status bits.
enum DoneStatus : std::uint16_t {
    kDoneFinal = 0x0000,
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneCount = 0x0010,
    kDoneAttention = 0x0020,
};

enum class DoneKind : std::uint8_t { Done = 0xFD, DoneProc = 0xFE, DoneInProc = 0xFF };

// Builds a response message token by token (TDS 7.4) and sends it in packets of the negotiated
// size as the bytes come, so a long result never sits whole in memory.
class TokenWriter {
public:
    TokenWriter(PacketStream& stream, std::size_t packetSize);

    void setPacketSize(std::size_t packetSize);

    void bytes(const void* data, std::size_t length);
    void u8(std::uint8_t v) { bytes(&v, 1); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void utf16(std::u16string_view text);
    // B_VARCHAR: character count in one byte, then UTF-16.
    void bVarchar(std::u16string_view text);
    // US_VARCHAR: character count in two bytes, then UTF-16.
    void usVarchar(std::u16string_view text);

    void done(DoneKind kind, std::uint16_t status, std::uint16_t command, std::uint64_t count);
    void message(const Message& m, const std::u16string& serverName,
                 const std::u16string& procName);
    void envChange(std::uint8_t type, std::u16string_view newValue, std::u16string_view oldValue);
    void collationChange();
    // LOGINACK for TDS 7.4, the only version the server speaks.
    void loginAck();
    void returnStatus(std::int32_t status);

    // Sends what is buffered as the last packet of the message. False when the peer is gone.
    bool endMessage();
    // Packets sent since the last call; lets the streaming loop check for a cancel per packet.
    bool takePacketSent();
    bool broken() const { return stream_.broken(); }

    // SQL_Latin1_General / Latin1_General_CI_AS with code page 1252.
    static constexpr std::uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

private:
    void sendFull();

    PacketStream& stream_;
    std::vector<std::uint8_t> packet_;
    std::size_t packetSize_;
    std::size_t used_ = PacketStream::kHeaderSize;
    bool packetSent_ = false;
};

} // namespace tds::wire
