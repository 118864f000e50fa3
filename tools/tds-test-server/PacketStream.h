#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tds::wire {

// TDS packet types a client sends.
enum class PacketType : std::uint8_t {
    SqlBatch = 0x01,
    Rpc = 0x03,
    TabularResult = 0x04,
    Attention = 0x06,
    Login7 = 0x10,
    Prelogin = 0x12,
};

// One TDS connection's byte stream: whole messages in (packets up to the end-of-message flag),
// packets out. Reads are buffered; the socket stays blocking except for the attention check.
class PacketStream {
public:
    // Largest message accepted from a client; anything larger closes the connection.
    static constexpr std::size_t kMaxMessage = 512u * 1024u * 1024u;
    static constexpr std::size_t kHeaderSize = 8;

    explicit PacketStream(int fd);

    // Reads one whole message. False when the peer closed the connection or broke the framing.
    bool readMessage(PacketType& type, std::vector<std::uint8_t>& payload);

    // Checks without blocking whether the client has sent an attention packet; consumes it.
    bool attentionArrived();

    // Sends one packet whose payload starts at packet[kHeaderSize]; fills in the header.
    // False when the peer is gone.
    bool sendPacket(PacketType type, bool endOfMessage, std::uint8_t* packet, std::size_t length);

    void setSpid(std::uint16_t spid) { spid_ = spid; }
    bool broken() const { return broken_; }

private:
    bool fill(std::size_t wanted);
    std::size_t buffered() const { return end_ - begin_; }

    int fd_;
    std::uint16_t spid_ = 0;
    std::uint8_t nextPacketId_ = 1;
    bool broken_ = false;
    std::vector<std::uint8_t> in_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace tds::wire
