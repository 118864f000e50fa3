#include "odbc/Value.h"

#include <array>
#include <charconv>
#include <utility>

namespace fq::odbc {

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
    // Long enough for any double in the shortest form ("-2.2250738585072014e-308").
    std::array<char, 64> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), d);
    return QString::fromLatin1(buf.data(), result.ptr - buf.data());
}

} // namespace fq::odbc
