#include "Lexer.h"

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

Message unclosed(const std::u16string& sql, std::size_t from, std::size_t contentBegin) {
    Message m;
    m.number = 105;
    m.severity = 15;
    m.state = 1;
    m.line = Lexer::lineOf(sql, from);
    m.text =
        u"Unclosed quotation mark after the character string '" + sql.substr(contentBegin) + u"'.";
    return m;
}

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
    const std::size_t n = sql.size();
    std::size_t i = 0;
    auto push = [&](TokenKind kind, std::u16string textValue, std::size_t begin) {
        Token t;
        t.kind = kind;
        t.text = std::move(textValue);
        t.begin = begin;
        t.end = i;
        tokens.push_back(std::move(t));
    };
    while (i < n) {
        char16_t c = sql[i];
        if (isSpace(c)) {
            ++i;
            continue;
        }
        const std::size_t begin = i;
        if (c == u'-' && i + 1 < n && sql[i + 1] == u'-') {
            while (i < n && sql[i] != u'\n') {
                ++i;
            }
            continue;
        }
        if (c == u'/' && i + 1 < n && sql[i + 1] == u'*') {
            int depth = 0;
            while (i < n) {
                if (sql[i] == u'/' && i + 1 < n && sql[i + 1] == u'*') {
                    ++depth;
                    i += 2;
                } else if (sql[i] == u'*' && i + 1 < n && sql[i + 1] == u'/') {
                    i += 2;
                    if (--depth == 0) {
                        break;
                    }
                } else {
                    ++i;
                }
            }
            if (depth != 0) {
                Message m;
                m.number = 113;
                m.severity = 15;
                m.text = u"Missing end comment mark '*/'.";
                m.line = lineOf(sql, begin);
                return m;
            }
            continue;
        }
        bool national = (c == u'N' || c == u'n') && i + 1 < n && sql[i + 1] == u'\'';
        if (c == u'\'' || national) {
            if (national) {
                ++i;
            }
            ++i;
            const std::size_t contentBegin = i;
            std::u16string value;
            bool closed = false;
            while (i < n) {
                std::size_t q = sql.find(u'\'', i);
                if (q == std::u16string::npos) {
                    break;
                }
                value.append(sql, i, q - i);
                if (q + 1 < n && sql[q + 1] == u'\'') {
                    value.push_back(u'\'');
                    i = q + 2;
                } else {
                    i = q + 1;
                    closed = true;
                    break;
                }
            }
            if (!closed) {
                return unclosed(sql, begin, contentBegin);
            }
            push(national ? TokenKind::NString : TokenKind::String, std::move(value), begin);
            continue;
        }
        if (c == u'[' || c == u'"') {
            const char16_t close = c == u'[' ? u']' : u'"';
            ++i;
            const std::size_t contentBegin = i;
            std::u16string value;
            bool closed = false;
            while (i < n) {
                if (sql[i] == close) {
                    if (i + 1 < n && sql[i + 1] == close) {
                        value.push_back(close);
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value.push_back(sql[i]);
                ++i;
            }
            if (!closed) {
                return unclosed(sql, begin, contentBegin);
            }
            push(TokenKind::QuotedName, std::move(value), begin);
            continue;
        }
        if (c == u'0' && i + 1 < n && (sql[i + 1] == u'x' || sql[i + 1] == u'X')) {
            i += 2;
            while (i < n && isHexDigit(sql[i])) {
                ++i;
            }
            push(TokenKind::Hex, sql.substr(begin + 2, i - begin - 2), begin);
            continue;
        }
        if (isDigit(c) || (c == u'.' && i + 1 < n && isDigit(sql[i + 1]))) {
            TokenKind kind = TokenKind::Integer;
            while (i < n && isDigit(sql[i])) {
                ++i;
            }
            if (i < n && sql[i] == u'.') {
                kind = TokenKind::Number;
                ++i;
                while (i < n && isDigit(sql[i])) {
                    ++i;
                }
            }
            if (i < n && (sql[i] == u'e' || sql[i] == u'E')) {
                std::size_t j = i + 1;
                if (j < n && (sql[j] == u'+' || sql[j] == u'-')) {
                    ++j;
                }
                if (j < n && isDigit(sql[j])) {
                    while (j < n && isDigit(sql[j])) {
                        ++j;
                    }
                    i = j;
                    kind = TokenKind::Float;
                } else if (j == i + 1 || j == i + 2) {
                    // "1e" alone: SQL Server reads it as the float 1.
                    i = j;
                    kind = TokenKind::Float;
                }
            }
            push(kind, sql.substr(begin, i - begin), begin);
            continue;
        }
        if (c == u'@') {
            ++i;
            if (i < n && sql[i] == u'@') {
                ++i;
            }
            while (i < n && isNamePart(sql[i])) {
                ++i;
            }
            push(TokenKind::Variable, sql.substr(begin, i - begin), begin);
            continue;
        }
        if (isNameStart(c)) {
            while (i < n && isNamePart(sql[i])) {
                ++i;
            }
            push(TokenKind::Word, sql.substr(begin, i - begin), begin);
            continue;
        }
        // Symbols, two-character ones first.
        if (i + 1 < n) {
            char16_t d = sql[i + 1];
            if ((c == u'<' && (d == u'=' || d == u'>')) || (c == u'>' && d == u'=') ||
                (c == u'!' && (d == u'=' || d == u'<' || d == u'>'))) {
                i += 2;
                push(TokenKind::Symbol, sql.substr(begin, 2), begin);
                continue;
            }
        }
        ++i;
        push(TokenKind::Symbol, std::u16string(1, c), begin);
    }
    Token end;
    end.kind = TokenKind::End;
    end.begin = n;
    end.end = n;
    tokens.push_back(std::move(end));
    return std::nullopt;
}

} // namespace tds
