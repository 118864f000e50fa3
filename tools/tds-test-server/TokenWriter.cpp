#include "TokenWriter.h"

#include "Engine.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tds::wire {

static_assert(std::endian::native == std::endian::little,
              "TDS is little-endian and this writer copies host integers as they are");

namespace {
constexpr std::uint8_t kTokenLoginAck = 0xAD;
constexpr std::uint8_t kTokenError = 0xAA;
constexpr std::uint8_t kTokenInfo = 0xAB;
constexpr std::uint8_t kTokenEnvChange = 0xE3;
constexpr std::uint8_t kTokenReturnStatus = 0x79;
constexpr std::u16string_view kProductName = u"Microsoft SQL Server";
} // namespace

TokenWriter::TokenWriter(PacketStream& stream, std::size_t packetSize)
    : stream_(stream), packet_(packetSize), packetSize_(packetSize) {}

void TokenWriter::setPacketSize(std::size_t packetSize) {
    packetSize_ = packetSize;
    if (packet_.size() < packetSize)
        packet_.resize(packetSize);
}

void TokenWriter::sendFull() {
    stream_.sendPacket(PacketType::TabularResult, false, packet_.data(), used_);
    used_ = PacketStream::kHeaderSize;
    packetSent_ = true;
}

void TokenWriter::bytes(const void* data, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        if (used_ == packetSize_)
            sendFull();
        const std::size_t n = std::min(length, packetSize_ - used_);
        std::memcpy(packet_.data() + used_, p, n);
        used_ += n;
        p += n;
        length -= n;
    }
}

void TokenWriter::u16(std::uint16_t v) {
    bytes(&v, 2);
}
void TokenWriter::u32(std::uint32_t v) {
    bytes(&v, 4);
}
void TokenWriter::u64(std::uint64_t v) {
    bytes(&v, 8);
}

void TokenWriter::utf16(std::u16string_view text) {
    bytes(text.data(), text.size() * 2);
}

void TokenWriter::bVarchar(std::u16string_view text) {
    text = text.substr(0, 255);
    u8(static_cast<std::uint8_t>(text.size()));
    utf16(text);
}

void TokenWriter::usVarchar(std::u16string_view text) {
    text = text.substr(0, 65535);
    u16(static_cast<std::uint16_t>(text.size()));
    utf16(text);
}

void TokenWriter::done(DoneKind kind, std::uint16_t status, std::uint16_t command,
                       std::uint64_t count) {
    u8(static_cast<std::uint8_t>(kind));
    u16(status);
    u16(command);
    u64(count);
}

void TokenWriter::message(const Message& m, const std::u16string& serverName,
                          const std::u16string& procName) {
    const std::u16string_view text = std::u16string_view(m.text).substr(0, 65535);
    const std::u16string_view server = std::u16string_view(serverName).substr(0, 255);
    const std::u16string_view proc = std::u16string_view(procName).substr(0, 255);
    const std::size_t length =
        4 + 1 + 1 + 2 + text.size() * 2 + 1 + server.size() * 2 + 1 + proc.size() * 2 + 4;
    u8(m.severity > 10 ? kTokenError : kTokenInfo);
    u16(static_cast<std::uint16_t>(length));
    i32(m.number);
    u8(m.state);
    u8(m.severity);
    usVarchar(text);
    bVarchar(server);
    bVarchar(proc);
    i32(m.line);
}

void TokenWriter::envChange(std::uint8_t type, std::u16string_view newValue,
                            std::u16string_view oldValue) {
    newValue = newValue.substr(0, 255);
    oldValue = oldValue.substr(0, 255);
    u8(kTokenEnvChange);
    u16(static_cast<std::uint16_t>(1 + 1 + newValue.size() * 2 + 1 + oldValue.size() * 2));
    u8(type);
    bVarchar(newValue);
    bVarchar(oldValue);
}

void TokenWriter::collationChange() {
    u8(kTokenEnvChange);
    u16(1 + 1 + sizeof kCollation + 1);
    u8(7);
    u8(sizeof kCollation);
    bytes(kCollation, sizeof kCollation);
    u8(0);
}

void TokenWriter::loginAck() {
    constexpr std::uint32_t kTds74 = 0x74000004u;
    u8(kTokenLoginAck);
    u16(static_cast<std::uint16_t>(1 + 4 + 1 + kProductName.size() * 2 + 4));
    u8(1); // SQL_TSQL
    // The version goes out most significant byte first.
    u8(static_cast<std::uint8_t>(kTds74 >> 24));
    u8(static_cast<std::uint8_t>(kTds74 >> 16));
    u8(static_cast<std::uint8_t>(kTds74 >> 8));
    u8(static_cast<std::uint8_t>(kTds74));
    bVarchar(kProductName);
    // 16.0.1000: SQL Server 2022.
    u8(16);
    u8(0);
    u8(0x03);
    u8(0xE8);
}

void TokenWriter::returnStatus(std::int32_t status) {
    u8(kTokenReturnStatus);
    i32(status);
}

bool TokenWriter::endMessage() {
    const bool ok = stream_.sendPacket(PacketType::TabularResult, true, packet_.data(), used_);
    used_ = PacketStream::kHeaderSize;
    packetSent_ = false;
    return ok;
}

bool TokenWriter::takePacketSent() {
    const bool sent = packetSent_;
    packetSent_ = false;
    return sent;
}

} // namespace tds::wire
