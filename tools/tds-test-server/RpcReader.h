#pragma once

#include "Engine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tds::wire {

// One remote procedure call of an RPC message: the procedure's name, or its well-known id when
// the name is empty, and its parameters decoded into the engine's values.
struct RpcRequest {
    std::u16string name;
    std::uint16_t procId = 0;
    std::uint16_t options = 0;
    std::vector<RpcParam> params;
};

// Decodes RPC messages as FreeTDS sends them (ALL_HEADERS first, calls separated by the batch
// flag), with the parameter types it uses (README.md).
class RpcReader {
public:
    explicit RpcReader(const std::vector<std::uint8_t>& payload);

    // All the calls of the message; on a malformed message, what was wrong in error.
    std::vector<RpcRequest> read(std::string& error);

private:
    std::uint8_t u8();
    std::uint16_t u16();
    std::uint32_t u32();
    std::uint64_t u64();
    const std::uint8_t* take(std::size_t n);
    std::u16string utf16(std::size_t characters);
    std::string plp(bool& isNull);
    RpcParam param();
    Value fixedWidth(std::uint8_t tdsType, std::size_t length, ColumnType& type);
    Value nullableFixed(std::uint8_t tdsType, ColumnType& type);
    Value decimal(std::uint8_t tdsType, ColumnType& type);
    Value dateTime(std::uint8_t tdsType, ColumnType& type);
    Value characters(std::uint8_t tdsType, ColumnType& type);
    Value ntext(ColumnType& type);

    const std::vector<std::uint8_t>& p_;
    std::size_t pos_ = 0;
};

} // namespace tds::wire
