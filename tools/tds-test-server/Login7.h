#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tds::wire {

// The fields of a LOGIN7 message this server uses.
struct Login7 {
    std::uint32_t tdsVersion = 0; // as the client sends it: 0x74000004 for TDS 7.4
    std::uint32_t packetSize = 0;
    std::u16string hostName;
    std::u16string userName;
    std::u16string password;
    std::u16string appName;
    std::u16string serverName;
    std::u16string language;
    std::u16string database;

    // Reads a LOGIN7 payload; nothing when it is malformed.
    static std::optional<Login7> parse(const std::vector<std::uint8_t>& payload);
    // Undoes the password obfuscation: each byte XOR 0xA5, then its nibbles swapped.
    static std::u16string decodePassword(const std::uint8_t* data, std::size_t characters);
};

} // namespace tds::wire
