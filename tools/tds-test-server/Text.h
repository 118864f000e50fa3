#pragma once

// Text helpers of both halves: UTF-8 and UTF-16, code page 1252, the case-insensitive comparison
// of the default collation (SQL_Latin1_General_CP1_CI_AS), and the escaping of the statement log.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tds::text {

std::u16string fromAscii(std::string_view ascii);
std::u16string fromUtf8(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
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
// A catalog procedure's name pattern: % any run, _ any one character, letter case ignored.
bool matchesPattern(std::u16string_view value, std::u16string_view pattern);

std::u16string number(std::int64_t value);
// Digits as a 64-bit integer; nullopt when they are none or do not fit.
std::optional<std::int64_t> toInteger(std::u16string_view digits);

// Upper-case hexadecimal digits of the bytes.
std::string hex(std::string_view bytes);
// Backslash, newline, carriage return and tab as \\, \n, \r and \t.
std::string escape(std::string_view utf8);

} // namespace tds::text
