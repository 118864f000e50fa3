#include "odbc/Value.h"

#include "odbc/Misuse.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

namespace fq::odbc {

namespace {

// Room a value keeps beyond its length (to be set in place again) before it is given back.
constexpr qsizetype kKeptRoom = 1024 * 1024;

// Storage of exactly `length` units where it must grow: resize() alone would round a large value's
// room up to the next power of two.
template <typename Storage> void makeRoom(Storage& storage, qsizetype length) {
    if (length > storage.capacity() || !storage.isDetached())
        storage.reserve(length);
    storage.resize(length);
}

template <typename Storage> void cut(Storage& storage, qsizetype length) {
    storage.truncate(length);
    if (storage.capacity() - length > std::max(length / 4, kKeptRoom))
        storage.squeeze();
}

} // namespace

Value Value::fromText(QString text) {
    Value v;
    v.kind_ = Kind::Text;
    v.text_ = std::move(text);
    return v;
}

Value Value::fromBytes(QByteArray bytes) {
    Value v;
    v.kind_ = Kind::Binary;
    v.bytes_ = std::move(bytes);
    return v;
}

Value Value::fromDouble(double d) {
    Value v;
    v.kind_ = Kind::Double;
    v.double_ = d;
    return v;
}

// Set in place, the other storage keeps its room but holds nothing (equal values stay equal).
void Value::setNull() noexcept {
    kind_ = Kind::Null;
    text_.truncate(0);
    bytes_.truncate(0);
    double_ = 0.0;
}

void Value::setText(const char16_t* text, qsizetype length) {
    setNull();
    kind_ = Kind::Text;
    text_.append(reinterpret_cast<const QChar*>(text), length);
}

void Value::setUtf8Text(const char* utf8, qsizetype length) {
    setNull();
    kind_ = Kind::Text;
    // Most values are ASCII, whose UTF-8 is its Latin-1.
    qsizetype i = 0;
    while (i < length && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    if (i == length) {
        text_.append(QLatin1StringView(utf8, length));
        return;
    }
    // UTF-8 never takes fewer bytes than UTF-16 takes units.
    text_.resize(length);
    // A byte order mark at the start is a character of the text like any other.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    const QChar* end = decoder.appendToBuffer(text_.data(), QByteArrayView(utf8, length));
    text_.truncate(end - text_.constData());
}

void Value::setText(QString text) {
    setNull();
    kind_ = Kind::Text;
    text_ = std::move(text);
}

void Value::setBytes(const char* bytes, qsizetype length) {
    setNull();
    kind_ = Kind::Binary;
    bytes_.append(bytes, length);
}

void Value::setBytes(QByteArray bytes) {
    setNull();
    kind_ = Kind::Binary;
    bytes_ = std::move(bytes);
}

void Value::setDouble(double d) noexcept {
    setNull();
    kind_ = Kind::Double;
    double_ = d;
}

char16_t* Value::textRoom(qsizetype length) {
    if (kind_ != Kind::Text) {
        setNull();
        kind_ = Kind::Text;
    }
    makeRoom(text_, length);
    return reinterpret_cast<char16_t*>(text_.data());
}

void Value::setTextLength(qsizetype length) {
    cut(text_, length);
}

char* Value::bytesRoom(qsizetype length) {
    if (kind_ != Kind::Binary) {
        setNull();
        kind_ = Kind::Binary;
    }
    makeRoom(bytes_, length);
    return bytes_.data();
}

void Value::setBytesLength(qsizetype length) {
    cut(bytes_, length);
}

void Value::append(const Value& piece, qsizetype total) {
    if (piece.isNull())
        return;
    if (piece.kind_ != kind_ || (kind_ != Kind::Text && kind_ != Kind::Binary))
        throw Misuse(QStringLiteral("A piece of a value is appended to a value of its own kind, "
                                    "text or bytes."));
    if (kind_ == Kind::Binary) {
        if (total > bytes_.capacity())
            bytes_.reserve(total);
        bytes_.append(piece.bytes_);
    } else {
        if (total > text_.capacity())
            text_.reserve(total);
        text_.append(piece.text_);
    }
}

void Value::shorten(qsizetype length) {
    if (kind_ == Kind::Text && text_.size() > length)
        cut(text_, length);
    else if (kind_ == Kind::Binary && bytes_.size() > length)
        cut(bytes_, length);
}

QString Value::text() const {
    switch (kind_) {
    case Kind::Null:
        return {};
    case Kind::Text:
        return text_;
    case Kind::Binary:
        return QString::fromLatin1(bytes_);
    case Kind::Double:
        return shortestDouble(double_);
    }
    return {};
}

QString shortestDouble(double d) {
    QString out;
    appendShortestDouble(out, d);
    return out;
}

void appendShortestDouble(QString& out, double d) {
    // Long enough for any double in the shortest form ("-2.2250738585072014e-308").
    std::array<char, 64> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), d);
    out += QLatin1StringView(buf.data(), result.ptr - buf.data());
}

} // namespace fq::odbc
