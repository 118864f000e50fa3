#pragma once

#include <cstdint>
#include <vector>

namespace tds::wire {

// The server's PRELOGIN answer: version 16.0, encryption not supported, the default instance,
// the connection's thread id, no MARS.
class Prelogin {
public:
    static std::vector<std::uint8_t> reply(std::uint32_t threadId);
};

} // namespace tds::wire
