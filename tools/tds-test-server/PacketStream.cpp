#include "PacketStream.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

namespace tds::wire {

namespace {
constexpr std::uint8_t kStatusEom = 0x01;
constexpr std::size_t kReadChunk = 64 * 1024;

std::size_t packetLength(const std::uint8_t* header) {
    return static_cast<std::size_t>((header[2] << 8) | header[3]);
}
} // namespace

PacketStream::PacketStream(int fd) : fd_(fd), in_(kReadChunk * 2) {}

bool PacketStream::fill(std::size_t wanted) {
    while (buffered() < wanted) {
        if (begin_ > 0 && (in_.size() - end_ < kReadChunk || begin_ == end_)) {
            std::memmove(in_.data(), in_.data() + begin_, buffered());
            end_ -= begin_;
            begin_ = 0;
        }
        if (in_.size() - end_ < kReadChunk)
            in_.resize(end_ + kReadChunk);
        const ssize_t n = ::recv(fd_, in_.data() + end_, in_.size() - end_, 0);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            broken_ = true;
            return false;
        }
    }
    return true;
}

bool PacketStream::readMessage(PacketType& type, std::vector<std::uint8_t>& payload) {
    payload.clear();
    bool first = true;
    for (;;) {
        if (!fill(kHeaderSize))
            return false;
        const std::uint8_t* header = in_.data() + begin_;
        const std::size_t length = packetLength(header);
        if (length < kHeaderSize) {
            broken_ = true;
            return false;
        }
        const auto packetType = static_cast<PacketType>(header[0]);
        if (first) {
            type = packetType;
            first = false;
        } else if (packetType == PacketType::Attention) {
            // A cancel in the middle of a message abandons that message.
            type = packetType;
            payload.clear();
        }
        if (!fill(length))
            return false;
        header = in_.data() + begin_;
        const bool eom = (header[1] & kStatusEom) != 0;
        if (payload.size() + length > kMaxMessage) {
            broken_ = true;
            return false;
        }
        payload.insert(payload.end(), header + kHeaderSize, header + length);
        begin_ += length;
        if (eom || type == PacketType::Attention)
            return true;
    }
}

bool PacketStream::attentionArrived() {
    if (buffered() < kHeaderSize) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0 || (p.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            return false;
        if (in_.size() - end_ < kReadChunk)
            in_.resize(end_ + kReadChunk);
        const ssize_t n = ::recv(fd_, in_.data() + end_, in_.size() - end_, MSG_DONTWAIT);
        if (n > 0) {
            end_ += static_cast<std::size_t>(n);
        } else if (n == 0) {
            // The client went away: treat it like a cancel so streaming stops.
            broken_ = true;
            return true;
        } else {
            return false;
        }
        if (buffered() < kHeaderSize)
            return false;
    }
    const std::uint8_t* header = in_.data() + begin_;
    if (static_cast<PacketType>(header[0]) != PacketType::Attention)
        return false;
    const std::size_t length = packetLength(header);
    if (length < kHeaderSize) {
        broken_ = true;
        return true;
    }
    if (!fill(length))
        return true;
    begin_ += length;
    return true;
}

bool PacketStream::sendPacket(PacketType type, bool endOfMessage, std::uint8_t* packet,
                              std::size_t length) {
    if (broken_)
        return false;
    packet[0] = static_cast<std::uint8_t>(type);
    packet[1] = endOfMessage ? kStatusEom : 0;
    packet[2] = static_cast<std::uint8_t>(length >> 8);
    packet[3] = static_cast<std::uint8_t>(length & 0xFF);
    packet[4] = static_cast<std::uint8_t>(spid_ >> 8);
    packet[5] = static_cast<std::uint8_t>(spid_ & 0xFF);
    packet[6] = nextPacketId_++;
    packet[7] = 0;
    std::size_t sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(fd_, packet + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            broken_ = true;
            return false;
        }
    }
    return true;
}

} // namespace tds::wire
