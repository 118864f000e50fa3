#include "RpcReader.h"

#include "Text.h"

#include <cstring>
#include <stdexcept>

namespace tds::wire {

namespace {
struct Malformed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::u16string toUtf16(const std::string& bytes) {
    std::u16string out(bytes.size() / 2, u'\0');
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

std::int64_t pow10(int n) {
    std::int64_t v = 1;
    while (n-- > 0)
        v *= 10;
    return v;
}
} // namespace

RpcReader::RpcReader(const std::vector<std::uint8_t>& payload) : p_(payload) {}

const std::uint8_t* RpcReader::take(std::size_t n) {
    if (n > p_.size() - pos_)
        throw Malformed("the RPC message ends in the middle of a field");
    const std::uint8_t* at = p_.data() + pos_;
    pos_ += n;
    return at;
}

std::uint8_t RpcReader::u8() {
    return *take(1);
}

std::uint16_t RpcReader::u16() {
    const std::uint8_t* b = take(2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t RpcReader::u32() {
    const std::uint8_t* b = take(4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | b[i];
    return v;
}

std::uint64_t RpcReader::u64() {
    const std::uint8_t* b = take(8);
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | b[i];
    return v;
}

std::u16string RpcReader::utf16(std::size_t characters) {
    const std::uint8_t* b = take(characters * 2);
    std::u16string out(characters, u'\0');
    for (std::size_t i = 0; i < characters; ++i)
        out[i] = static_cast<char16_t>(b[2 * i] | (b[2 * i + 1] << 8));
    return out;
}

std::string RpcReader::plp(bool& isNull) {
    const std::uint64_t total = u64();
    isNull = total == ~std::uint64_t{0};
    std::string out;
    if (isNull)
        return out;
    if (total != ~std::uint64_t{0} - 1 && total <= p_.size())
        out.reserve(static_cast<std::size_t>(total));
    for (;;) {
        const std::uint32_t chunk = u32();
        if (chunk == 0)
            break;
        const std::uint8_t* b = take(chunk);
        out.append(reinterpret_cast<const char*>(b), chunk);
    }
    return out;
}

std::vector<RpcRequest> RpcReader::read(std::string& error) {
    std::vector<RpcRequest> calls;
    try {
        const std::uint32_t headers = u32();
        if (headers < 4)
            throw Malformed("bad ALL_HEADERS length");
        take(headers - 4);
        while (pos_ < p_.size()) {
            RpcRequest call;
            const std::uint16_t nameLength = u16();
            if (nameLength == 0xFFFF)
                call.procId = u16();
            else
                call.name = utf16(nameLength);
            call.options = u16();
            while (pos_ < p_.size()) {
                const std::uint8_t next = p_[pos_];
                if (next == 0x80 || next == 0xFF || next == 0xFE) {
                    ++pos_;
                    break;
                }
                call.params.push_back(param());
            }
            calls.push_back(std::move(call));
        }
    } catch (const Malformed& e) {
        error = e.what();
        calls.clear();
    }
    return calls;
}

Value RpcReader::fixedWidth(std::uint8_t tdsType, std::size_t length, ColumnType& type) {
    const std::uint8_t* b = take(length);
    auto le = [&](std::size_t n) {
        std::uint64_t v = 0;
        for (std::size_t i = n; i-- > 0;)
            v = (v << 8) | b[i];
        return v;
    };
    switch (tdsType) {
    case 0x26: // INTN
    case 0x68: // BITN
        switch (length) {
        case 1:
            type.type = tdsType == 0x68 ? Type::Bit : Type::TinyInt;
            return static_cast<std::int64_t>(b[0]);
        case 2:
            type.type = Type::SmallInt;
            return static_cast<std::int64_t>(static_cast<std::int16_t>(le(2)));
        case 4:
            type.type = Type::Int;
            return static_cast<std::int64_t>(static_cast<std::int32_t>(le(4)));
        case 8:
            type.type = Type::BigInt;
            return static_cast<std::int64_t>(le(8));
        default:
            break;
        }
        break;
    case 0x6D: // FLTN
        if (length == 4) {
            type.type = Type::Real;
            type.precision = 24;
            float f = 0;
            std::memcpy(&f, b, 4);
            return static_cast<double>(f);
        }
        if (length == 8) {
            type.type = Type::Float;
            type.precision = 53;
            double d = 0;
            std::memcpy(&d, b, 8);
            return d;
        }
        break;
    case 0x24: // GUID
        if (length == 16) {
            type.type = Type::UniqueIdentifier;
            type.length = 16;
            return std::string(reinterpret_cast<const char*>(b), 16);
        }
        break;
    default:
        break;
    }
    throw Malformed("a parameter of type 0x" +
                    text::hex(std::string(1, static_cast<char>(tdsType))) + " has length " +
                    std::to_string(length));
}

Value RpcReader::nullableFixed(std::uint8_t tdsType, ColumnType& type) {
    const std::uint8_t maxLength = u8();
    const std::uint8_t length = u8();
    if (length != 0) {
        return fixedWidth(tdsType, length, type);
    }
    // The declared width decides the type even for a NULL value.
    std::vector<std::uint8_t> zeros(maxLength, 0);
    RpcReader probe(zeros);
    (void)probe.fixedWidth(tdsType, maxLength, type);
    return std::monostate{};
}

Value RpcReader::decimal(std::uint8_t tdsType, ColumnType& type) {
    u8(); // maximum length
    type.type = tdsType == 0x6C ? Type::Numeric : Type::Decimal;
    type.precision = u8();
    type.scale = u8();
    const std::uint8_t length = u8();
    if (length == 0) {
        return std::monostate{};
    }
    const std::uint8_t* b = take(length);
    UInt128 magnitude = 0;
    for (std::size_t i = length; i-- > 1;)
        magnitude = (magnitude << 8) | b[i];
    const auto n = static_cast<Int128>(magnitude);
    return Decimal{b[0] == 0 ? -n : n};
}

// DATEN, TIMEN, DATETIME2N: the time in units of the scale, then the day count.
Value RpcReader::dateTime(std::uint8_t tdsType, ColumnType& type) {
    const bool hasTime = tdsType != 0x28;
    const bool hasDate = tdsType != 0x29;
    type.type = tdsType == 0x28 ? Type::Date : tdsType == 0x29 ? Type::Time : Type::DateTime2;
    type.scale = hasTime ? u8() : 0;
    if (type.scale > 7)
        throw Malformed("a time parameter has scale " + std::to_string(type.scale));
    const std::uint8_t length = u8();
    if (length == 0)
        return std::monostate{};
    const std::size_t timeLength = !hasTime ? 0 : type.scale <= 2 ? 3 : type.scale <= 4 ? 4 : 5;
    if (length != timeLength + (hasDate ? 3 : 0))
        throw Malformed("a date or time parameter has length " + std::to_string(length));
    const std::uint8_t* b = take(length);
    std::uint64_t units = 0;
    for (std::size_t i = timeLength; i-- > 0;)
        units = (units << 8) | b[i];
    DateTimeValue v;
    v.ticks = static_cast<std::int64_t>(units) * pow10(7 - type.scale);
    if (hasDate)
        v.days = b[timeLength] | (b[timeLength + 1] << 8) | (b[timeLength + 2] << 16);
    return v;
}

// BIGCHAR, BIGVARCHAR, NCHAR, NVARCHAR, BIGBINARY, BIGVARBINARY (in PLP chunks for max).
Value RpcReader::characters(std::uint8_t tdsType, ColumnType& type) {
    const std::uint16_t maxLength = u16();
    const bool unicode = tdsType == 0xEF || tdsType == 0xE7;
    const bool binary = tdsType == 0xAD || tdsType == 0xA5;
    if (!binary)
        take(5); // collation
    const bool plpValue = maxLength == 0xFFFF;
    if (unicode)
        type.type = tdsType == 0xEF ? Type::NChar : Type::NVarChar;
    else if (binary)
        type.type = tdsType == 0xAD ? Type::Binary : Type::VarBinary;
    else
        type.type = tdsType == 0xAF ? Type::Char : Type::VarChar;
    type.length = plpValue ? -1 : (unicode ? maxLength / 2 : maxLength);
    std::string bytes;
    bool isNull = false;
    if (plpValue) {
        bytes = plp(isNull);
    } else {
        const std::uint16_t length = u16();
        isNull = length == 0xFFFF;
        if (!isNull)
            bytes.assign(reinterpret_cast<const char*>(take(length)), length);
    }
    if (isNull)
        return std::monostate{};
    if (unicode)
        return toUtf16(bytes);
    return bytes;
}

// NTEXT: how FreeTDS sends a statement's text.
Value RpcReader::ntext(ColumnType& type) {
    u32();   // maximum length
    take(5); // collation
    type.type = Type::NText;
    type.length = -1;
    const std::uint32_t length = u32();
    if (length >= 0x80000000u)
        return std::monostate{};
    return toUtf16(std::string(reinterpret_cast<const char*>(take(length)), length));
}

RpcParam RpcReader::param() {
    RpcParam param;
    param.name = utf16(u8());
    param.output = (u8() & 0x01) != 0;
    const std::uint8_t tdsType = u8();
    switch (tdsType) {
    case 0x24: // GUID
    case 0x26: // INTN
    case 0x68: // BITN
    case 0x6D: // FLTN
        param.value = nullableFixed(tdsType, param.type);
        break;
    case 0x6A: // DECIMALN
    case 0x6C: // NUMERICN
        param.value = decimal(tdsType, param.type);
        break;
    case 0x28: // DATEN
    case 0x29: // TIMEN
    case 0x2A: // DATETIME2N
        param.value = dateTime(tdsType, param.type);
        break;
    case 0xAF: // BIGCHAR
    case 0xA7: // BIGVARCHAR
    case 0xEF: // NCHAR
    case 0xE7: // NVARCHAR
    case 0xAD: // BIGBINARY
    case 0xA5: // BIGVARBINARY
        param.value = characters(tdsType, param.type);
        break;
    case 0x63:
        param.value = ntext(param.type);
        break;
    default:
        throw Malformed("a parameter has the unsupported TDS type 0x" +
                        text::hex(std::string(1, static_cast<char>(tdsType))));
    }
    return param;
}

} // namespace tds::wire
