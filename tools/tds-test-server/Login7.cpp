#include "Login7.h"

namespace tds::wire {

namespace {
std::uint32_t readU32(const std::vector<std::uint8_t>& p, std::size_t at) {
    return static_cast<std::uint32_t>(p[at]) | (static_cast<std::uint32_t>(p[at + 1]) << 8) |
           (static_cast<std::uint32_t>(p[at + 2]) << 16) |
           (static_cast<std::uint32_t>(p[at + 3]) << 24);
}

std::uint16_t readU16(const std::vector<std::uint8_t>& p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] | (p[at + 1] << 8));
}

// Reads the UTF-16 field whose offset and character count sit at `at`.
bool field(const std::vector<std::uint8_t>& p, std::size_t at, std::u16string& out,
           bool password = false) {
    const std::size_t offset = readU16(p, at);
    const std::size_t count = readU16(p, at + 2);
    if (count == 0) {
        out.clear();
        return true;
    }
    if (offset + count * 2 > p.size())
        return false;
    if (password) {
        out = Login7::decodePassword(p.data() + offset, count);
        return true;
    }
    out.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        out[i] = static_cast<char16_t>(p[offset + 2 * i] | (p[offset + 2 * i + 1] << 8));
    return true;
}
} // namespace

std::u16string Login7::decodePassword(const std::uint8_t* data, std::size_t characters) {
    std::u16string out(characters, u'\0');
    auto decode = [](std::uint8_t b) {
        const auto x = static_cast<std::uint8_t>(b ^ 0xA5);
        return static_cast<std::uint8_t>(((x & 0x0F) << 4) | (x >> 4));
    };
    for (std::size_t i = 0; i < characters; ++i)
        out[i] = static_cast<char16_t>(decode(data[2 * i]) | (decode(data[2 * i + 1]) << 8));
    return out;
}

std::optional<Login7> Login7::parse(const std::vector<std::uint8_t>& p) {
    // TDS 7.0 logins end their fixed part before the change-password field.
    if (p.size() < 86)
        return std::nullopt;
    Login7 login;
    login.tdsVersion = readU32(p, 4);
    login.packetSize = readU32(p, 8);
    if (!field(p, 36, login.hostName) || !field(p, 40, login.userName) ||
        !field(p, 44, login.password, true) || !field(p, 48, login.appName) ||
        !field(p, 52, login.serverName) || !field(p, 64, login.language) ||
        !field(p, 68, login.database))
        return std::nullopt;
    return login;
}

} // namespace tds::wire
