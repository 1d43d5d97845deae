#pragma once
// A Compact Binary reader input over bytes in memory, for measuring the codec without the pipe.

#include "OrlexProtocol/codec/BondSupport.h"
#include "OrlexProtocol/codec/Inline.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace codectest
{

class MemoryInput
{
public:
    MemoryInput(const std::uint8_t* data, std::size_t size) : m_pos(data), m_end(data + size) {}

    CORV_CODEC_INLINE void read(void* buffer, std::size_t count)
    {
        if (count > std::size_t(m_end - m_pos))
            throw std::runtime_error("end of input");
        std::memcpy(buffer, m_pos, count);
        m_pos += count;
    }
    CORV_CODEC_INLINE void readVarUInt64(std::uint64_t& value)
    {
        std::uint64_t result = 0;
        for (unsigned shift = 0; shift < 70; shift += 7) {
            if (m_pos == m_end)
                throw std::runtime_error("end of input");
            const std::uint8_t byte = *m_pos++;
            result |= std::uint64_t(byte & 0x7F) << shift;
            if (byte < 0x80) {
                value = result;
                return;
            }
        }
        throw bond::CoreException("De-serialization failed: varint longer than 10 bytes");
    }
    CORV_CODEC_INLINE void readVarUInt32(std::uint32_t& value)
    {
        std::uint64_t v;
        readVarUInt64(v);
        value = static_cast<std::uint32_t>(v);
    }
    CORV_CODEC_INLINE void readVarUInt16(std::uint16_t& value)
    {
        std::uint64_t v;
        readVarUInt64(v);
        value = static_cast<std::uint16_t>(v);
    }
    const std::uint8_t* windowData() const { return m_pos; }
    std::size_t windowSize() const { return std::size_t(m_end - m_pos); }
    void advance(std::size_t n) { m_pos += n; }
    bool fillWindow()
    {
        if (m_pos == m_end)
            throw std::runtime_error("end of input");
        return true;
    }
    void skip(std::uint64_t count)
    {
        if (count > std::uint64_t(m_end - m_pos))
            throw std::runtime_error("end of input");
        m_pos += count;
    }

private:
    const std::uint8_t* m_pos;
    const std::uint8_t* m_end;
};

} // namespace codectest
