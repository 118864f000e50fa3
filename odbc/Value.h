#pragma once

#include <QByteArray>
#include <QString>

namespace fq::odbc {

// One field value as the driver delivered it. NULL is its own state, never the empty text.
//  - Binary columns come back as bytes (zero bytes included).
//  - Floating-point columns come back as a double; text() prints it shortest-round-trip. A
//    single-precision column's value is the float's exact value as a double
//    (0.10000000149011612 for 0.1f), whose text reads back to the same float.
//  - Every other column comes back as the driver's text (exact decimals, full fractional
//    seconds, GUIDs), in Unicode.
class Value {
public:
    enum class Kind { Null, Text, Binary, Double };

    Value() = default;
    static Value null() { return {}; }
    static Value fromText(QString text);
    static Value fromBytes(QByteArray bytes);
    static Value fromDouble(double d);

    // The same values set in place: the storage of the value before is used again where it can
    // be, so that reading row after row into the same values allocates nothing.
    void setNull() noexcept;
    void setText(const char16_t* text, qsizetype length);
    void setUtf8Text(const char* utf8, qsizetype length);
    void setText(QString text);
    void setBytes(const char* bytes, qsizetype length);
    void setBytes(QByteArray bytes);
    void setDouble(double d) noexcept;

    // A long value read straight into the value's own storage, so that it takes no more room than
    // its size: textRoom makes the value a text of `length` units (bytesRoom: bytes), what it held
    // kept, its storage grown to exactly that where it must grow, and returns where it starts;
    // once the reading has written what it read, setTextLength (setBytesLength) cuts the value to
    // that length.
    char16_t* textRoom(qsizetype length);
    void setTextLength(qsizetype length);
    char* bytesRoom(qsizetype length);
    void setBytesLength(qsizetype length);
    // Appends the next piece of a value read in pieces: text to a text, bytes to bytes (a NULL
    // piece adds nothing; a piece of another kind is a Misuse). `total`, when larger than what the
    // value holds, is the length it is to reach, which the first piece makes room for at once.
    void append(const Value& piece, qsizetype total = 0);
    // Keeps only the first `length` units of a text (bytes of bytes) and gives the room of the
    // rest back: for a long value of which only its beginning is still needed.
    void shorten(qsizetype length);

    Kind kind() const noexcept { return kind_; }
    bool isNull() const noexcept { return kind_ == Kind::Null; }
    // The bytes its text or bytes take in memory.
    qsizetype heldBytes() const noexcept { return text_.size() * 2 + bytes_.size(); }

    // Text form: the driver's text, the double in shortest round-trip form ("0.1", "1e+300"),
    // the bytes as Latin-1 (use bytes() for binary data), the empty text for NULL.
    QString text() const;
    const QByteArray& bytes() const noexcept { return bytes_; }
    // The floating-point value (0 for other kinds).
    double toDouble() const noexcept { return double_; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Kind kind_ = Kind::Null;
    QString text_;
    QByteArray bytes_;
    double double_ = 0.0;
};

// Shortest text that reads back as exactly the same double ("0.1", "1.7976931348623157e+308").
QString shortestDouble(double d);
// The same text, appended to the end of `out`.
void appendShortestDouble(QString& out, double d);

} // namespace fq::odbc
