#pragma once

// Splits a T-SQL batch into tokens: names (bare, [bracketed] with ]] inside, "quoted"), string
// literals ('..' and N'..' with '' inside), numbers, 0x hex, @variables, and symbols.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Engine.h"

namespace tds {

enum class TokenKind : std::uint8_t {
    End,
    Word,       // a bare name or keyword, as written
    QuotedName, // [..] or "..", without its delimiters
    String,     // '..', content with '' made one quote
    NString,    // N'..'
    Integer,    // digits only
    Number,     // digits with a decimal point
    Float,      // with an exponent
    Hex,        // 0x.., the digits after 0x
    Variable,   // @name, as written
    Symbol,     // ( ) , ; . = < > <= >= <> != - * and any other single character
};

struct Token {
    TokenKind kind = TokenKind::End;
    std::u16string text;
    std::size_t begin = 0; // offset of the token in the batch
    std::size_t end = 0;

    bool isWord(std::string_view keyword) const; // a bare word equal to a lower-case keyword
    bool isSymbol(std::u16string_view symbol) const {
        return kind == TokenKind::Symbol && text == symbol;
    }
    bool isName() const { return kind == TokenKind::Word || kind == TokenKind::QuotedName; }
};

class Lexer {
public:
    // Fills tokens (ending with an End token); returns the message of an unclosed quote or
    // bracket, which makes the batch fail before anything runs.
    static std::optional<Message> tokenize(const std::u16string& sql, std::vector<Token>& tokens);
    // The line (from 1) of an offset of the batch.
    static std::int32_t lineOf(const std::u16string& sql, std::size_t offset);
};

} // namespace tds
