#include "Lexer.h"

#include <algorithm>

#include "Text.h"

namespace tds {

namespace {

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' ||
           c == 0xA0 || c == 0xFEFF;
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(char16_t c) {
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isNameStart(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u'#' ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c != 0xFEFF);
}

bool isNamePart(char16_t c) {
    return isNameStart(c) || isDigit(c) || c == u'@' || c == u'$';
}

// Reads one batch into tokens, one token per call of next().
class Scanner {
public:
    explicit Scanner(const std::u16string& sql) : sql_(sql), n_(sql.size()) {}

    // Skips spaces and -- comments; false at the end of the batch.
    bool skipToToken() {
        while (i_ < n_) {
            if (isSpace(sql_[i_])) {
                ++i_;
            } else if (sql_[i_] == u'-' && at(1) == u'-') {
                while (i_ < n_ && sql_[i_] != u'\n') {
                    ++i_;
                }
            } else {
                return true;
            }
        }
        return false;
    }

    std::optional<Message> next(std::vector<Token>& tokens) {
        begin_ = i_;
        const char16_t c = sql_[i_];
        const bool national = (c == u'N' || c == u'n') && at(1) == u'\'';
        if (c == u'\'' || national) {
            i_ += national ? 2 : 1;
            return delimited(u'\'', national ? TokenKind::NString : TokenKind::String, tokens);
        }
        if (c == u'[' || c == u'"') {
            ++i_;
            return delimited(c == u'[' ? u']' : u'"', TokenKind::QuotedName, tokens);
        }
        if (c == u'0' && (at(1) == u'x' || at(1) == u'X')) {
            i_ += 2;
            skipWhile(isHexDigit);
            push(TokenKind::Hex, sql_.substr(begin_ + 2, i_ - begin_ - 2), tokens);
        } else if (isDigit(c) || (c == u'.' && isDigit(at(1)))) {
            const TokenKind kind = number();
            push(kind, sql_.substr(begin_, i_ - begin_), tokens);
        } else if (c == u'@' || isNameStart(c)) {
            ++i_;
            skipWhile(isNamePart);
            push(c == u'@' ? TokenKind::Variable : TokenKind::Word,
                 sql_.substr(begin_, i_ - begin_), tokens);
        } else {
            // Symbols, the two-character comparisons first.
            const char16_t d = at(1);
            const bool pair = (c == u'<' && (d == u'=' || d == u'>')) || (c == u'>' && d == u'=') ||
                              (c == u'!' && d == u'=');
            i_ += pair ? 2 : 1;
            push(TokenKind::Symbol, sql_.substr(begin_, i_ - begin_), tokens);
        }
        return std::nullopt;
    }

private:
    char16_t at(std::size_t ahead) const { return i_ + ahead < n_ ? sql_[i_ + ahead] : u'\0'; }

    void skipWhile(bool (*part)(char16_t)) {
        while (i_ < n_ && part(sql_[i_])) {
            ++i_;
        }
    }

    void push(TokenKind kind, std::u16string value, std::vector<Token>& tokens) {
        tokens.push_back(Token{kind, std::move(value), begin_, i_});
    }

    // digits[.digits][e[+-]digits]
    TokenKind number() {
        TokenKind kind = TokenKind::Integer;
        skipWhile(isDigit);
        if (at(0) == u'.') {
            kind = TokenKind::Number;
            ++i_;
            skipWhile(isDigit);
        }
        if (at(0) == u'e' || at(0) == u'E') {
            const std::size_t sign = at(1) == u'+' || at(1) == u'-' ? 1 : 0;
            if (isDigit(at(1 + sign))) {
                i_ += 1 + sign;
                skipWhile(isDigit);
                kind = TokenKind::Float;
            }
        }
        return kind;
    }

    // A text up to its closing delimiter, a doubled delimiter standing for one.
    std::optional<Message> delimited(char16_t close, TokenKind kind, std::vector<Token>& tokens) {
        const std::size_t contentBegin = i_;
        std::u16string value;
        while (i_ < n_) {
            if (sql_[i_] != close) {
                // The run up to the next delimiter goes whole.
                const std::size_t end = std::min(sql_.find(close, i_), n_);
                value.append(sql_, i_, end - i_);
                i_ = end;
            } else if (at(1) == close) {
                value.push_back(close);
                i_ += 2;
            } else {
                ++i_;
                push(kind, std::move(value), tokens);
                return std::nullopt;
            }
        }
        Message m = makeMessage(105, 15, 1,
                                u"Unclosed quotation mark after the character string '" +
                                    sql_.substr(contentBegin) + u"'.");
        m.line = Lexer::lineOf(sql_, begin_);
        return m;
    }

    const std::u16string& sql_;
    const std::size_t n_;
    std::size_t i_ = 0;
    std::size_t begin_ = 0;
};

} // namespace

bool Token::isWord(std::string_view keyword) const {
    return kind == TokenKind::Word && text::isKeyword(text, keyword);
}

std::int32_t Lexer::lineOf(const std::u16string& sql, std::size_t offset) {
    std::int32_t line = 1;
    for (std::size_t i = 0; i < offset && i < sql.size(); ++i) {
        if (sql[i] == u'\n') {
            ++line;
        }
    }
    return line;
}

std::optional<Message> Lexer::tokenize(const std::u16string& sql, std::vector<Token>& tokens) {
    tokens.clear();
    Scanner scanner(sql);
    while (scanner.skipToToken()) {
        if (auto m = scanner.next(tokens)) {
            return m;
        }
    }
    tokens.push_back(Token{TokenKind::End, {}, sql.size(), sql.size()});
    return std::nullopt;
}

} // namespace tds
