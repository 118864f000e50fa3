#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tds::wire {

// Text conversions the wire half needs for its log and messages.
class WireText {
public:
    static std::string utf8(std::u16string_view text);
    static std::u16string utf16(std::string_view utf8);
    // Code page 1252 bytes (the default collation's) as UTF-8.
    static std::string utf8FromCp1252(std::string_view bytes);
    // Backslash, newline, carriage return and tab as \\, \n, \r and \t.
    static std::string escape(std::string_view text);
    static std::string hex(std::uint8_t byte);
};

} // namespace tds::wire
