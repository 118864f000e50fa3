#pragma once

// Text helpers of the engine: UTF-8/UTF-16, code page 1252, and the case-insensitive comparison
// of the default collation (SQL_Latin1_General_CP1_CI_AS).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tds::text {

std::u16string fromAscii(std::string_view ascii);
std::u16string fromUtf8(std::string_view utf8);
std::string toUtf8(std::u16string_view text);

// Code page 1252: a character without a place in it becomes '?' (each UTF-16 unit on its own, so
// a character outside the BMP becomes "??").
std::string toCp1252(std::u16string_view text);
std::u16string fromCp1252(std::string_view bytes);

char16_t fold(char16_t c);
std::u16string folded(std::u16string_view text);
bool equalsCi(std::u16string_view a, std::u16string_view b);
// Compares as the collation does: case-insensitive, trailing spaces ignored. <0, 0, >0.
int compareCi(std::u16string_view a, std::u16string_view b);
// ASCII keyword comparison: `word` is compared case-insensitively with the lower-case `keyword`.
bool isKeyword(std::u16string_view word, std::string_view keyword);

std::u16string number(std::int64_t value);
// Digits as a 64-bit integer; nullopt when they are none or do not fit.
std::optional<std::int64_t> toInteger(std::u16string_view digits);

} // namespace tds::text
