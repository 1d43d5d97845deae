#pragma once
// Writes Compact Binary (version 1) values, field headers, containers and stop bytes into a
// growable buffer (OutputBuffer).

#include "OrlexProtocol/codec/BondSupport.h"
#include "OrlexProtocol/codec/OutputBuffer.h"
#include "bond/protocol_fwd.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

namespace bond
{

template <typename Buffer>
class CompactBinaryWriter
{
public:
    explicit CompactBinaryWriter(Buffer& output, std::uint16_t version = 1)
        : m_output(output), m_version(version)
    {
    }

    Buffer& output() { return m_output; }
    std::uint16_t protocolVersion() const { return m_version; }

    // Field header: one byte for ids 0 to 5, an id byte after 0xC0|type up to 255, two after 0xE0|type.
    CORV_CODEC_INLINE void writeFieldBegin(BondDataType type, std::uint16_t id)
    {
        if (id <= 5) {
            m_output.write(static_cast<std::uint8_t>((id << 5) | static_cast<std::uint8_t>(type)));
        } else if (id <= 0xFF) {
            std::uint8_t* p = m_output.claim(2);
            p[0] = static_cast<std::uint8_t>(0xC0 | static_cast<std::uint8_t>(type));
            p[1] = static_cast<std::uint8_t>(id);
        } else {
            std::uint8_t* p = m_output.claim(3);
            p[0] = static_cast<std::uint8_t>(0xE0 | static_cast<std::uint8_t>(type));
            p[1] = static_cast<std::uint8_t>(id & 0xFF);
            p[2] = static_cast<std::uint8_t>(id >> 8);
        }
    }

    // 01 closes a base part, 00 a whole struct.
    CORV_CODEC_INLINE void writeStructEnd(bool asBase) { m_output.write(static_cast<std::uint8_t>(asBase ? BT_STOP_BASE : BT_STOP)); }

    CORV_CODEC_INLINE void writeBool(bool value) { m_output.write(static_cast<std::uint8_t>(value ? 1 : 0)); }
    CORV_CODEC_INLINE void writeUInt8(std::uint8_t value) { m_output.write(value); }
    CORV_CODEC_INLINE void writeInt8(std::int8_t value) { m_output.write(static_cast<std::uint8_t>(value)); }

    CORV_CODEC_INLINE void writeVarUInt64(std::uint64_t value)
    {
        std::uint8_t* p = m_output.reserveTail(10);
        std::size_t n = 0;
        while (value >= 0x80) {
            p[n++] = static_cast<std::uint8_t>(value | 0x80);
            value >>= 7;
        }
        p[n++] = static_cast<std::uint8_t>(value);
        m_output.commit(n);
    }
    CORV_CODEC_INLINE void writeVarUInt32(std::uint32_t value) { writeVarUInt64(value); }
    CORV_CODEC_INLINE void writeVarUInt16(std::uint16_t value) { writeVarUInt64(value); }

    CORV_CODEC_INLINE void writeUInt16(std::uint16_t value) { writeVarUInt64(value); }
    CORV_CODEC_INLINE void writeUInt32(std::uint32_t value) { writeVarUInt64(value); }
    CORV_CODEC_INLINE void writeUInt64(std::uint64_t value) { writeVarUInt64(value); }

    // Signed integers go out ZigZag-encoded, so small magnitudes of either sign stay short.
    CORV_CODEC_INLINE void writeInt16(std::int16_t value)
    {
        writeVarUInt64(static_cast<std::uint16_t>((static_cast<std::uint16_t>(value) << 1) ^ static_cast<std::uint16_t>(value >> 15)));
    }
    CORV_CODEC_INLINE void writeInt32(std::int32_t value)
    {
        writeVarUInt64((static_cast<std::uint32_t>(value) << 1) ^ static_cast<std::uint32_t>(value >> 31));
    }
    CORV_CODEC_INLINE void writeInt64(std::int64_t value)
    {
        writeVarUInt64((static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
    }

    // IEEE 754 bits, little-endian, copied unchanged (signed zero and NaN included).
    CORV_CODEC_INLINE void writeFloat(float value) { writeLittleEndian(&value, sizeof value); }
    CORV_CODEC_INLINE void writeDouble(double value) { writeLittleEndian(&value, sizeof value); }
    CORV_CODEC_INLINE void writeFloats(const float* values, std::size_t count) { writeLittleEndian(values, count * sizeof(float)); }
    CORV_CODEC_INLINE void writeDoubles(const double* values, std::size_t count) { writeLittleEndian(values, count * sizeof(double)); }

    // Byte count, then the bytes as they are: no terminator, no character set conversion.
    CORV_CODEC_INLINE void writeString(const char* text, std::size_t length)
    {
        writeVarUInt32(checkedCount(length));
        m_output.write(text, length);
    }
    CORV_CODEC_INLINE void writeString(const std::string& text) { writeString(text.data(), text.size()); }

    // Count of 16-bit units, then the units little-endian.
    CORV_CODEC_INLINE void writeWString(const std::u16string& text)
    {
        writeVarUInt32(checkedCount(text.size()));
        writeLittleEndian(text.data(), text.size() * sizeof(char16_t));
    }

    // List or set header: element type, then the count.
    CORV_CODEC_INLINE void writeContainerBegin(std::size_t count, BondDataType elementType)
    {
        m_output.write(static_cast<std::uint8_t>(elementType));
        writeVarUInt32(checkedCount(count));
    }
    // Map header: key type, value type, then the count.
    CORV_CODEC_INLINE void writeContainerBegin(std::size_t count, BondDataType keyType, BondDataType valueType)
    {
        std::uint8_t* p = m_output.claim(2);
        p[0] = static_cast<std::uint8_t>(keyType);
        p[1] = static_cast<std::uint8_t>(valueType);
        writeVarUInt32(checkedCount(count));
    }

private:
    CORV_CODEC_INLINE static std::uint32_t checkedCount(std::size_t count)
    {
        if (count > std::numeric_limits<std::uint32_t>::max())
            throw std::length_error("Compact Binary: container or text longer than 4294967295");
        return static_cast<std::uint32_t>(count);
    }

    CORV_CODEC_INLINE void writeLittleEndian(const void* bytes, std::size_t count)
    {
        static_assert(sizeof(double) == 8 && sizeof(float) == 4, "IEEE 754 types expected");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#error "Compact Binary output is written for little-endian hosts only"
#endif
        m_output.write(bytes, count);
    }

    Buffer& m_output;
    std::uint16_t m_version;
};

} // namespace bond
