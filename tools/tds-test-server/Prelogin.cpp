#include "Prelogin.h"

#include <utility>

namespace tds::wire {

std::vector<std::uint8_t> Prelogin::reply(std::uint32_t threadId) {
    const std::vector<std::pair<std::uint8_t, std::vector<std::uint8_t>>> options = {
        {0x00, {16, 0, 0x03, 0xE8, 0, 0}}, // VERSION 16.0.1000, subbuild 0
        {0x01, {0x02}},                    // ENCRYPTION: ENCRYPT_NOT_SUP
        {0x02, {0x00}},                    // INSTOPT: the default instance
        {0x03,
         {static_cast<std::uint8_t>(threadId), static_cast<std::uint8_t>(threadId >> 8),
          static_cast<std::uint8_t>(threadId >> 16), static_cast<std::uint8_t>(threadId >> 24)}},
        {0x04, {0x00}}, // MARS off
    };
    std::vector<std::uint8_t> out;
    std::size_t offset = options.size() * 5 + 1;
    for (const auto& [token, data] : options) {
        out.push_back(token);
        out.push_back(static_cast<std::uint8_t>(offset >> 8));
        out.push_back(static_cast<std::uint8_t>(offset));
        out.push_back(static_cast<std::uint8_t>(data.size() >> 8));
        out.push_back(static_cast<std::uint8_t>(data.size()));
        offset += data.size();
    }
    out.push_back(0xFF);
    for (const auto& option : options)
        out.insert(out.end(), option.second.begin(), option.second.end());
    return out;
}

} // namespace tds::wire
