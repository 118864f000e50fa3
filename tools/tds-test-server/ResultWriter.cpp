#include "ResultWriter.h"

#include "TokenWriter.h"
#include "Types.h"

#include <algorithm>

namespace tds::wire {

namespace {
constexpr std::uint8_t kTokenColMetadata = 0x81;
constexpr std::uint8_t kTokenRow = 0xD1;
constexpr std::uint8_t kTokenReturnValue = 0xAC;

constexpr std::uint8_t kIntN = 0x26;
constexpr std::uint8_t kBitN = 0x68;
constexpr std::uint8_t kDecimalN = 0x6A;
constexpr std::uint8_t kNumericN = 0x6C;
constexpr std::uint8_t kMoneyN = 0x6E;
constexpr std::uint8_t kFltN = 0x6D;
constexpr std::uint8_t kBigChar = 0xAF;
constexpr std::uint8_t kBigVarChar = 0xA7;
constexpr std::uint8_t kNChar = 0xEF;
constexpr std::uint8_t kNVarChar = 0xE7;
constexpr std::uint8_t kText = 0x23;
constexpr std::uint8_t kNText = 0x63;
constexpr std::uint8_t kImage = 0x22;
constexpr std::uint8_t kBigBinary = 0xAD;
constexpr std::uint8_t kBigVarBinary = 0xA5;
constexpr std::uint8_t kDateTimeN = 0x6F;
constexpr std::uint8_t kDateN = 0x28;
constexpr std::uint8_t kTimeN = 0x29;
constexpr std::uint8_t kDateTime2N = 0x2A;
constexpr std::uint8_t kDateTimeOffsetN = 0x2B;
constexpr std::uint8_t kGuid = 0x24;
constexpr std::uint8_t kXml = 0xF1;

constexpr std::uint16_t kFlagNullable = 0x0001;
constexpr std::uint16_t kFlagUpdateableUnknown = 0x0008;
constexpr std::size_t kPlpChunk = 8000;
constexpr std::uint64_t kPlpNull = ~std::uint64_t{0};

// Text pointer and timestamp sent before a text, ntext or image value.
constexpr std::uint8_t kTextPointer[16] = {0x74, 0x64, 0x73, 0x74, 0x65, 0x78, 0x74, 0x70,
                                           0x74, 0x72, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
constexpr std::uint8_t kTextTimestamp[8] = {0, 0, 0, 0, 0, 0, 0, 1};

std::uint8_t decimalBytes(std::uint8_t precision) {
    if (precision <= 9)
        return 5;
    if (precision <= 19)
        return 9;
    if (precision <= 28)
        return 13;
    return 17;
}

std::uint8_t timeBytes(std::uint8_t scale) {
    if (scale <= 2)
        return 3;
    if (scale <= 4)
        return 4;
    return 5;
}

bool isReal(const ColumnType& t) {
    return t.type == Type::Real || (t.type == Type::Float && t.precision > 0 && t.precision <= 24);
}

std::uint16_t maxLength(std::int32_t length, std::int32_t unit) {
    const std::int64_t bytes = std::int64_t{length} * unit;
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(bytes, 1, 8000));
}

void writeTime(TokenWriter& out, std::int64_t ticks, std::uint8_t scale) {
    std::int64_t divisor = 1;
    for (int i = scale; i < 7; ++i)
        divisor *= 10;
    const auto units = static_cast<std::uint64_t>(ticks / divisor);
    const std::uint8_t n = timeBytes(scale);
    for (std::uint8_t i = 0; i < n; ++i)
        out.u8(static_cast<std::uint8_t>(units >> (8 * i)));
}

void writeDate(TokenWriter& out, std::int32_t days) {
    const auto d = static_cast<std::uint32_t>(days);
    out.u8(static_cast<std::uint8_t>(d));
    out.u8(static_cast<std::uint8_t>(d >> 8));
    out.u8(static_cast<std::uint8_t>(d >> 16));
}

void writePlp(TokenWriter& out, const void* data, std::size_t length) {
    out.u64(length);
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (length > 0) {
        const std::size_t n = std::min(length, kPlpChunk);
        out.u32(static_cast<std::uint32_t>(n));
        out.bytes(p, n);
        p += n;
        length -= n;
    }
    out.u32(0);
}
} // namespace

ResultWriter::ResultWriter(TokenWriter& out, const std::vector<Column>& columns)
    : out_(out), columns_(columns) {
    wires_.reserve(columns.size());
    for (const Column& c : columns)
        wires_.push_back(wireFor(c.type));
}

std::size_t ResultWriter::valueIndex(Type type) {
    switch (type) {
    case Type::Bit:
    case Type::TinyInt:
    case Type::SmallInt:
    case Type::Int:
    case Type::BigInt:
        return 1;
    case Type::Float:
    case Type::Real:
        return 2;
    case Type::Decimal:
    case Type::Numeric:
    case Type::Money:
    case Type::SmallMoney:
        return 3;
    case Type::Char:
    case Type::VarChar:
    case Type::Text:
    case Type::Binary:
    case Type::VarBinary:
    case Type::Image:
    case Type::UniqueIdentifier:
        return 4;
    case Type::NChar:
    case Type::NVarChar:
    case Type::NText:
    case Type::Xml:
        return 5;
    case Type::Date:
    case Type::Time:
    case Type::DateTime:
    case Type::DateTime2:
    case Type::SmallDateTime:
    case Type::DateTimeOffset:
        return 6;
    }
    return 0;
}

ResultWriter::Wire ResultWriter::wireFor(const ColumnType& t) {
    Wire w;
    switch (t.type) {
    case Type::Bit:
        return {kBitN, 1, false, false};
    case Type::TinyInt:
        return {kIntN, 1, false, false};
    case Type::SmallInt:
        return {kIntN, 2, false, false};
    case Type::Int:
        return {kIntN, 4, false, false};
    case Type::BigInt:
        return {kIntN, 8, false, false};
    case Type::Decimal:
        return {kDecimalN, decimalBytes(t.precision), false, false};
    case Type::Numeric:
        return {kNumericN, decimalBytes(t.precision), false, false};
    case Type::Money:
        return {kMoneyN, 8, false, false};
    case Type::SmallMoney:
        return {kMoneyN, 4, false, false};
    case Type::Float:
    case Type::Real:
        return {kFltN, static_cast<std::uint8_t>(isReal(t) ? 4 : 8), false, false};
    case Type::Char:
        return {kBigChar, 0, false, false};
    case Type::VarChar:
        return {kBigVarChar, 0, Types::isMax(t), false};
    case Type::NChar:
        return {kNChar, 0, false, false};
    case Type::NVarChar:
        return {kNVarChar, 0, Types::isMax(t), false};
    case Type::Text:
        return {kText, 0, false, true};
    case Type::NText:
        return {kNText, 0, false, true};
    case Type::Image:
        return {kImage, 0, false, true};
    case Type::Xml:
        return {kXml, 0, true, false};
    case Type::Binary:
        return {kBigBinary, 0, false, false};
    case Type::VarBinary:
        return {kBigVarBinary, 0, Types::isMax(t), false};
    case Type::Date:
        return {kDateN, 3, false, false};
    case Type::Time:
        return {kTimeN, timeBytes(t.scale), false, false};
    case Type::DateTime2:
        return {kDateTime2N, static_cast<std::uint8_t>(timeBytes(t.scale) + 3), false, false};
    case Type::DateTimeOffset:
        return {kDateTimeOffsetN, static_cast<std::uint8_t>(timeBytes(t.scale) + 5), false, false};
    case Type::DateTime:
        return {kDateTimeN, 8, false, false};
    case Type::SmallDateTime:
        return {kDateTimeN, 4, false, false};
    case Type::UniqueIdentifier:
        return {kGuid, 16, false, false};
    }
    return w;
}

void ResultWriter::typeInfo(TokenWriter& out, const ColumnType& t, const Wire& w,
                            bool withTableName) {
    out.u8(w.tdsType);
    switch (w.tdsType) {
    case kIntN:
    case kBitN:
    case kMoneyN:
    case kFltN:
    case kDateTimeN:
    case kGuid:
        out.u8(w.length);
        break;
    case kDecimalN:
    case kNumericN:
        out.u8(w.length);
        out.u8(t.precision);
        out.u8(t.scale);
        break;
    case kBigChar:
    case kBigVarChar:
        out.u16(w.plp ? 0xFFFF : maxLength(t.length, 1));
        out.bytes(TokenWriter::kCollation, sizeof TokenWriter::kCollation);
        break;
    case kNChar:
    case kNVarChar:
        out.u16(w.plp ? 0xFFFF : maxLength(t.length, 2));
        out.bytes(TokenWriter::kCollation, sizeof TokenWriter::kCollation);
        break;
    case kBigBinary:
    case kBigVarBinary:
        out.u16(w.plp ? 0xFFFF : maxLength(t.length, 1));
        break;
    case kText:
    case kNText:
    case kImage:
        out.u32(w.tdsType == kNText ? 0x7FFFFFFEu : 0x7FFFFFFFu);
        if (w.tdsType != kImage)
            out.bytes(TokenWriter::kCollation, sizeof TokenWriter::kCollation);
        if (withTableName) {
            out.u8(1);
            out.usVarchar(u"");
        }
        break;
    case kDateN:
        break;
    case kTimeN:
    case kDateTime2N:
    case kDateTimeOffsetN:
        out.u8(t.scale);
        break;
    case kXml:
        out.u8(0); // no schema collection
        break;
    default:
        break;
    }
}

void ResultWriter::metadata() {
    out_.u8(kTokenColMetadata);
    out_.u16(static_cast<std::uint16_t>(columns_.size()));
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const Column& c = columns_[i];
        out_.u32(0); // user type
        out_.u16(
            static_cast<std::uint16_t>((c.nullable ? kFlagNullable : 0) | kFlagUpdateableUnknown));
        typeInfo(out_, c.type, wires_[i], true);
        out_.bVarchar(c.name);
    }
}

std::string ResultWriter::checkRow(const std::vector<Value>& row) const {
    if (row.size() != columns_.size())
        return "a row has " + std::to_string(row.size()) + " values for " +
               std::to_string(columns_.size()) + " columns";
    for (std::size_t i = 0; i < row.size(); ++i) {
        const std::size_t index = row[i].index();
        if (index != 0 && index != valueIndex(columns_[i].type.type))
            return "column " + std::to_string(i + 1) + " holds a value of the wrong kind";
        const ColumnType& type = columns_[i].type;
        std::size_t size = 0;
        if (const auto* s = std::get_if<std::string>(&row[i]))
            size = s->size();
        else if (const auto* u = std::get_if<std::u16string>(&row[i]))
            size = u->size();
        const bool bounded = type.length > 0 && !wires_[i].blob && !wires_[i].plp &&
                             type.type != Type::UniqueIdentifier;
        if (bounded && size > static_cast<std::size_t>(type.length))
            return "column " + std::to_string(i + 1) + " holds " + std::to_string(size) +
                   " units, more than its declared " + std::to_string(type.length);
        if (index == 4 && columns_[i].type.type == Type::UniqueIdentifier &&
            std::get<std::string>(row[i]).size() != 16)
            return "column " + std::to_string(i + 1) + " holds a uniqueidentifier of " +
                   std::to_string(std::get<std::string>(row[i]).size()) + " bytes";
    }
    return {};
}

void ResultWriter::row(const std::vector<Value>& values) {
    out_.u8(kTokenRow);
    for (std::size_t i = 0; i < values.size(); ++i)
        value(out_, columns_[i].type, wires_[i], values[i]);
}

namespace {

void writeBlob(TokenWriter& out, const Value& v) {
    out.u8(sizeof kTextPointer);
    out.bytes(kTextPointer, sizeof kTextPointer);
    out.bytes(kTextTimestamp, sizeof kTextTimestamp);
    if (const auto* s = std::get_if<std::string>(&v)) {
        out.u32(static_cast<std::uint32_t>(s->size()));
        out.bytes(s->data(), s->size());
    } else if (const auto* u = std::get_if<std::u16string>(&v)) {
        out.u32(static_cast<std::uint32_t>(u->size() * 2));
        out.utf16(*u);
    }
}

void writeDecimal(TokenWriter& out, Int128 n, std::uint8_t length) {
    out.u8(n < 0 ? 0 : 1);
    auto magnitude = static_cast<UInt128>(n < 0 ? -n : n);
    for (std::uint8_t i = 1; i < length; ++i) {
        out.u8(static_cast<std::uint8_t>(magnitude & 0xFF));
        magnitude >>= 8;
    }
}

void writeMoney(TokenWriter& out, std::int64_t n, std::uint8_t length) {
    if (length == 4) {
        out.i32(static_cast<std::int32_t>(n));
        return;
    }
    // The high half first.
    const auto u = static_cast<std::uint64_t>(n);
    out.u32(static_cast<std::uint32_t>(u >> 32));
    out.u32(static_cast<std::uint32_t>(u & 0xFFFFFFFFu));
}

void writeDateTime(TokenWriter& out, std::uint8_t tdsType, std::uint8_t length, const ColumnType& t,
                   const DateTimeValue& d) {
    if (tdsType == kDateTimeN && length == 4) {
        out.u16(static_cast<std::uint16_t>(d.days));
        out.u16(static_cast<std::uint16_t>(d.ticks));
    } else if (tdsType == kDateTimeN) {
        out.i32(d.days);
        out.u32(static_cast<std::uint32_t>(d.ticks));
    } else {
        if (tdsType != kDateN) {
            writeTime(out, d.ticks, t.scale);
        }
        if (tdsType != kTimeN) {
            writeDate(out, d.days);
        }
        if (tdsType == kDateTimeOffsetN) {
            out.u16(static_cast<std::uint16_t>(d.offsetMinutes));
        }
    }
}

} // namespace

void ResultWriter::value(TokenWriter& out, const ColumnType& t, const Wire& w, const Value& v) {
    const bool isNull = std::holds_alternative<std::monostate>(v);
    const auto* bytes = std::get_if<std::string>(&v);
    const auto* units = std::get_if<std::u16string>(&v);
    if (w.plp) {
        if (isNull) {
            out.u64(kPlpNull);
        } else if (bytes != nullptr) {
            writePlp(out, bytes->data(), bytes->size());
        } else if (units != nullptr) {
            writePlp(out, units->data(), units->size() * 2);
        }
    } else if (w.blob) {
        isNull ? out.u8(0) : writeBlob(out, v);
    } else if (w.length == 0) {
        // char, varchar, binary, varbinary, nchar, nvarchar: a two-byte length.
        if (isNull) {
            out.u16(0xFFFF);
        } else if (bytes != nullptr) {
            const std::size_t n = std::min<std::size_t>(bytes->size(), 8000);
            out.u16(static_cast<std::uint16_t>(n));
            out.bytes(bytes->data(), n);
        } else {
            const std::size_t n = std::min<std::size_t>(units->size(), 4000);
            out.u16(static_cast<std::uint16_t>(n * 2));
            out.utf16(std::u16string_view(*units).substr(0, n));
        }
    } else if (isNull) {
        out.u8(0);
    } else {
        out.u8(w.length);
        if (const auto* n = std::get_if<std::int64_t>(&v)) {
            const auto u = static_cast<std::uint64_t>(*n);
            out.bytes(&u, w.length);
        } else if (const auto* d = std::get_if<double>(&v)) {
            const auto f = static_cast<float>(*d);
            w.length == 4 ? out.bytes(&f, 4) : out.bytes(d, 8);
        } else if (const auto* dec = std::get_if<Decimal>(&v)) {
            w.tdsType == kMoneyN
                ? writeMoney(out, static_cast<std::int64_t>(dec->unscaled), w.length)
                : writeDecimal(out, dec->unscaled, w.length);
        } else if (bytes != nullptr) {
            out.bytes(bytes->data(), 16); // uniqueidentifier
        } else {
            writeDateTime(out, w.tdsType, w.length, t, std::get<DateTimeValue>(v));
        }
    }
}

void ResultWriter::returnValue(TokenWriter& out, std::uint16_t ordinal, const std::u16string& name,
                               const ColumnType& type, const Value& v) {
    const Wire w = wireFor(type);
    out.u8(kTokenReturnValue);
    out.u16(ordinal);
    out.bVarchar(name);
    out.u8(0x01);
    out.u32(0); // user type
    out.u16(kFlagNullable);
    typeInfo(out, type, w, false);
    value(out, type, w, v);
}

} // namespace tds::wire
