#pragma once
// Reads Compact Binary (version 1) values straight from its input (the connection's
// ReaderInputBuffer), with the tolerant conversions and skipping by wire type of incoming structs.

#include "OrlexProtocol/codec/BondSupport.h"
#include "OrlexProtocol/codec/Inline.h"
#include "OrlexProtocol/codec/ReaderInputBuffer.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

namespace bond
{

// Deepest nesting of structs, lists and maps that is read or skipped.
constexpr int kMaxNestingDepth = 64;

// Input: read(buffer, count), readVarUInt16/32/64(target), skip(count). Copies read on from the
// same position of the same stream.
template <typename Input>
class CompactBinaryReader
{
public:
    static constexpr int kMaxDepth = kMaxNestingDepth;

    explicit CompactBinaryReader(Input input, std::uint16_t version = 1)
        : m_input(std::move(input)), m_version(version)
    {
    }

    Input& input() { return m_input; }
    std::uint16_t protocolVersion() const { return m_version; }

    void readFieldBegin(BondDataType& type, std::uint16_t& id);

    // Container headers: only the low five bits of a type byte count; the count is a 32-bit varint.
    void readContainerBegin(std::uint32_t& count, BondDataType& elementType);
    void readContainerBegin(std::uint32_t& count, BondDataType& keyType, BondDataType& valueType);

    CORV_CODEC_INLINE bool readBool()
    {
        std::uint8_t byte;
        m_input.read(&byte, 1);
        return byte != 0;
    }
    CORV_CODEC_INLINE std::uint8_t readUInt8()
    {
        std::uint8_t byte;
        m_input.read(&byte, 1);
        return byte;
    }
    std::int8_t readInt8() { return static_cast<std::int8_t>(readUInt8()); }
    CORV_CODEC_INLINE float readFloat()
    {
        float value;
        m_input.read(&value, sizeof value);
        return value;
    }
    CORV_CODEC_INLINE double readDouble()
    {
        double value;
        m_input.read(&value, sizeof value);
        return value;
    }
    CORV_CODEC_INLINE std::uint16_t readVarUInt16()
    {
        std::uint16_t value;
        m_input.readVarUInt16(value);
        return value;
    }
    CORV_CODEC_INLINE std::uint32_t readVarUInt32()
    {
        std::uint32_t value;
        m_input.readVarUInt32(value);
        return value;
    }
    CORV_CODEC_INLINE std::uint64_t readVarUInt64()
    {
        std::uint64_t value;
        m_input.readVarUInt64(value);
        return value;
    }
    // ZigZag values, decoded at their wire width.
    CORV_CODEC_INLINE std::int16_t readInt16()
    {
        std::uint16_t v = readVarUInt16();
        return static_cast<std::int16_t>((v >> 1) ^ (0u - (v & 1u)));
    }
    CORV_CODEC_INLINE std::int32_t readInt32()
    {
        std::uint32_t v = readVarUInt32();
        return static_cast<std::int32_t>((v >> 1) ^ (0u - (v & 1u)));
    }
    CORV_CODEC_INLINE std::int64_t readInt64()
    {
        std::uint64_t v = readVarUInt64();
        return static_cast<std::int64_t>((v >> 1) ^ (0ull - (v & 1ull)));
    }

    // A text of the announced length; memory grows only as its bytes arrive.
    void readString(std::string& text);
    void readWString(std::u16string& text);

    // Values whose wire type differs from the target's are converted where the protocol allows it
    // (integers widen within their signedness, float widens into double). False means the wire
    // type does not fit the target; nothing was read then.
    bool readAs(BondDataType type, bool& value);
    bool readAs(BondDataType type, std::uint8_t& value);
    bool readAs(BondDataType type, std::uint16_t& value);
    bool readAs(BondDataType type, std::uint32_t& value);
    bool readAs(BondDataType type, std::uint64_t& value);
    bool readAs(BondDataType type, std::int8_t& value);
    bool readAs(BondDataType type, std::int16_t& value);
    bool readAs(BondDataType type, std::int32_t& value);
    bool readAs(BondDataType type, std::int64_t& value);
    bool readAs(BondDataType type, float& value);
    bool readAs(BondDataType type, double& value);
    bool readAs(BondDataType type, std::string& value);
    bool readAs(BondDataType type, std::u16string& value);

    // Steps over one value of the given wire type. Wire types without a value (0, 1, 19 to 31)
    // consume nothing.
    void skip(BondDataType type);
    // Steps over count elements of one type, as the body of a list or set.
    void skipElements(BondDataType elementType, std::uint32_t count);
    // Steps over the rest of a struct: field by field down to its 00, passing over every 01.
    void skipStructRest();
    // Steps over count key and value pairs, as the body of a map.
    void skipMapEntries(BondDataType keyType, BondDataType valueType, std::uint32_t count);

    // Counts one level of nesting for as long as it lives; too deep raises bond::CoreException.
    class Nesting
    {
    public:
        explicit Nesting(CompactBinaryReader& reader);
        ~Nesting() { --m_reader.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        CompactBinaryReader& m_reader;
    };

private:
    template <typename Text>
    void readText(Text& text, std::uint32_t count);

    Input m_input;
    std::uint16_t m_version;
    int m_depth = 0;
};

// True for the wire types that carry no bytes at all.
inline bool isEmptyWireType(BondDataType type)
{
    auto t = static_cast<std::uint8_t>(type);
    return t == BT_STOP || t == BT_STOP_BASE || t > BT_WSTRING;
}

// ---- Definitions -------------------------------------------------------------------------------

namespace detail
{
// Texts grow by at most this many bytes per read, so a false length costs no more memory than
// the bytes that really arrive.
inline constexpr std::size_t kTextChunk = 64 * 1024;

inline BondDataType wireType(std::uint8_t byte)
{
    return static_cast<BondDataType>(byte & 0x1F);
}
} // namespace detail

[[noreturn]] inline __attribute__((noinline, cold)) void throwNestedTooDeeply()
{
    throw CoreException("De-serialization failed: values nested too deeply");
}

template <typename Input>
CORV_CODEC_INLINE CompactBinaryReader<Input>::Nesting::Nesting(CompactBinaryReader& reader) : m_reader(reader)
{
    if (m_reader.m_depth >= kMaxDepth)
        throwNestedTooDeeply();
    ++m_reader.m_depth;
}

template <typename Input>
CORV_CODEC_INLINE void CompactBinaryReader<Input>::readFieldBegin(BondDataType& type, std::uint16_t& id)
{
    std::uint8_t first;
    m_input.read(&first, 1);
    type = detail::wireType(first);
    switch (first & 0xE0) {
    case 0xC0: {
        std::uint8_t id8;
        m_input.read(&id8, 1);
        id = id8;
        break;
    }
    case 0xE0: {
        std::uint8_t id16[2];
        m_input.read(id16, 2);
        id = static_cast<std::uint16_t>(id16[0] | (id16[1] << 8));
        break;
    }
    default:
        id = static_cast<std::uint16_t>(first >> 5);
    }
}

template <typename Input>
CORV_CODEC_INLINE void CompactBinaryReader<Input>::readContainerBegin(std::uint32_t& count, BondDataType& elementType)
{
    elementType = detail::wireType(readUInt8());
    count = readVarUInt32();
}

template <typename Input>
CORV_CODEC_INLINE void CompactBinaryReader<Input>::readContainerBegin(std::uint32_t& count, BondDataType& keyType, BondDataType& valueType)
{
    std::uint8_t types[2];
    m_input.read(types, 2);
    keyType = detail::wireType(types[0]);
    valueType = detail::wireType(types[1]);
    count = readVarUInt32();
}

template <typename Input>
template <typename Text>
void CompactBinaryReader<Input>::readText(Text& text, std::uint32_t count)
{
    using Unit = typename Text::value_type;
    if (std::uint64_t(count) * sizeof(Unit) > Dremm::Orlex::QtClient::kMaxMessageBytes)
        throw CoreException("De-serialization failed: text of " + std::to_string(std::uint64_t(count) * sizeof(Unit))
                            + " bytes, more than a message may hold");
    const std::size_t chunk = detail::kTextChunk / sizeof(Unit);
    std::size_t done = 0;
    text.resize(std::min<std::size_t>(count, chunk));
    while (done < count) {
        std::size_t n = std::min<std::size_t>(count - done, chunk);
        if (text.size() < done + n)
            text.resize(done + n);
        m_input.read(&text[done], n * sizeof(Unit));
        done += n;
    }
}

template <typename Input>
void CompactBinaryReader<Input>::readString(std::string& text)
{
    readText(text, readVarUInt32());
}

template <typename Input>
void CompactBinaryReader<Input>::readWString(std::u16string& text)
{
    readText(text, readVarUInt32());
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, bool& value)
{
    if (type != BT_BOOL)
        return false;
    value = readBool();
    return true;
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::uint8_t& value)
{
    if (type != BT_UINT8)
        return false;
    value = readUInt8();
    return true;
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::uint16_t& value)
{
    switch (type) {
    case BT_UINT8: value = readUInt8(); return true;
    case BT_UINT16: value = readVarUInt16(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::uint32_t& value)
{
    switch (type) {
    case BT_UINT8: value = readUInt8(); return true;
    case BT_UINT16: value = readVarUInt16(); return true;
    case BT_UINT32: value = readVarUInt32(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::uint64_t& value)
{
    switch (type) {
    case BT_UINT8: value = readUInt8(); return true;
    case BT_UINT16: value = readVarUInt16(); return true;
    case BT_UINT32: value = readVarUInt32(); return true;
    case BT_UINT64: value = readVarUInt64(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::int8_t& value)
{
    if (type != BT_INT8)
        return false;
    value = readInt8();
    return true;
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::int16_t& value)
{
    switch (type) {
    case BT_INT8: value = readInt8(); return true;
    case BT_INT16: value = readInt16(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::int32_t& value)
{
    switch (type) {
    case BT_INT8: value = readInt8(); return true;
    case BT_INT16: value = readInt16(); return true;
    case BT_INT32: value = readInt32(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::int64_t& value)
{
    switch (type) {
    case BT_INT8: value = readInt8(); return true;
    case BT_INT16: value = readInt16(); return true;
    case BT_INT32: value = readInt32(); return true;
    case BT_INT64: value = readInt64(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, float& value)
{
    if (type != BT_FLOAT)
        return false;
    value = readFloat();
    return true;
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, double& value)
{
    switch (type) {
    case BT_FLOAT: value = readFloat(); return true;
    case BT_DOUBLE: value = readDouble(); return true;
    default: return false;
    }
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::string& value)
{
    if (type != BT_STRING)
        return false;
    readString(value);
    return true;
}

template <typename Input>
CORV_CODEC_INLINE bool CompactBinaryReader<Input>::readAs(BondDataType type, std::u16string& value)
{
    if (type != BT_WSTRING)
        return false;
    readWString(value);
    return true;
}

template <typename Input>
void CompactBinaryReader<Input>::skip(BondDataType type)
{
    switch (type) {
    case BT_BOOL:
    case BT_UINT8:
    case BT_INT8:
        m_input.skip(1);
        break;
    case BT_UINT16:
    case BT_UINT32:
    case BT_UINT64:
    case BT_INT16:
    case BT_INT32:
    case BT_INT64:
        readVarUInt64();
        break;
    case BT_FLOAT:
        m_input.skip(4);
        break;
    case BT_DOUBLE:
        m_input.skip(8);
        break;
    case BT_STRING:
        m_input.skip(readVarUInt32());
        break;
    case BT_WSTRING: {
        std::uint32_t units = readVarUInt32();
        if (static_cast<std::int32_t>(units) < 0)
            throw std::overflow_error("Overflow on multiplication");
        m_input.skip(std::uint64_t(units) * 2);
        break;
    }
    case BT_LIST:
    case BT_SET: {
        Nesting nesting(*this);
        std::uint32_t count;
        BondDataType elementType;
        readContainerBegin(count, elementType);
        skipElements(elementType, count);
        break;
    }
    case BT_MAP: {
        Nesting nesting(*this);
        std::uint32_t count;
        BondDataType keyType, valueType;
        readContainerBegin(count, keyType, valueType);
        skipMapEntries(keyType, valueType, count);
        break;
    }
    case BT_STRUCT: {
        Nesting nesting(*this);
        skipStructRest();
        break;
    }
    default:
        // BT_STOP, BT_STOP_BASE and the numbers without a type carry nothing.
        break;
    }
}

template <typename Input>
void CompactBinaryReader<Input>::skipElements(BondDataType elementType, std::uint32_t count)
{
    switch (elementType) {
    case BT_BOOL:
    case BT_UINT8:
    case BT_INT8:
        m_input.skip(count);
        return;
    case BT_FLOAT:
        if (count > 0x3FFFFFFFu)
            throw std::overflow_error("Overflow on multiplication");
        m_input.skip(std::uint64_t(count) * 4);
        return;
    case BT_DOUBLE:
        if (count > 0x1FFFFFFFu)
            throw std::overflow_error("Overflow on multiplication");
        m_input.skip(std::uint64_t(count) * 8);
        return;
    default:
        break;
    }
    // Elements without bytes are stepped over at once, whatever their count.
    if (isEmptyWireType(elementType))
        return;
    for (std::uint32_t i = 0; i < count; ++i)
        skip(elementType);
}

template <typename Input>
void CompactBinaryReader<Input>::skipStructRest()
{
    for (;;) {
        BondDataType type;
        std::uint16_t id;
        readFieldBegin(type, id);
        if (type == BT_STOP)
            return;
        if (type != BT_STOP_BASE)
            skip(type);
    }
}

template <typename Input>
void CompactBinaryReader<Input>::skipMapEntries(BondDataType keyType, BondDataType valueType, std::uint32_t count)
{
    if (isEmptyWireType(keyType) && isEmptyWireType(valueType))
        return;
    for (std::uint32_t i = 0; i < count; ++i) {
        skip(keyType);
        skip(valueType);
    }
}

} // namespace bond

namespace Dremm::Orlex::QtClient
{
// The reader of the viewer connection's incoming stream.
using CompactBinaryReader = ::bond::CompactBinaryReader<ReaderInputBuffer>;
} // namespace Dremm::Orlex::QtClient

namespace bond
{
extern template class CompactBinaryReader<Dremm::Orlex::QtClient::ReaderInputBuffer>;
} // namespace bond
