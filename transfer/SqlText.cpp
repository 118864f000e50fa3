#include "transfer/SqlText.h"

namespace fq::sql {

namespace {

bool isAsciiLetter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool isAsciiDigit(QChar c) {
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9';
}

QString delimited(const QString& name, QChar open, QChar close) {
    QString out;
    out.reserve(name.size() + 2);
    out += open;
    for (QChar c : name) {
        out += c;
        if (c == close)
            out += c;
    }
    out += close;
    return out;
}

} // namespace

bool isPlainIdentifier(const QString& name) {
    if (name.isEmpty() || isAsciiDigit(name.front()))
        return false;
    for (QChar c : name) {
        if (!isAsciiLetter(c) && !isAsciiDigit(c) && c != u'_')
            return false;
    }
    return true;
}

QString bracketed(const QString& name) { return delimited(name, u'[', u']'); }

QString backticked(const QString& name) { return delimited(name, u'`', u'`'); }

QString mssqlBareName(const QString& name) {
    return isPlainIdentifier(name) ? name : bracketed(name);
}

QString mysqlBareName(const QString& name) {
    return isPlainIdentifier(name) ? name : backticked(name);
}

QString quoted(const QString& text) { return delimited(text, u'\'', u'\''); }

QString mssqlString(const QString& text) {
    for (QChar c : text) {
        if (c.unicode() > 0x7f)
            return u'N' + quoted(text);
    }
    return quoted(text);
}

} // namespace fq::sql
