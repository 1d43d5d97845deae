#pragma once
// A growable in-memory byte buffer that one message is written into before it goes out in one block.

#include "OrlexProtocol/codec/Inline.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>

namespace bond
{

class OutputBuffer
{
public:
    explicit OutputBuffer(std::size_t initialCapacity = 256) { reserve(initialCapacity); }

    OutputBuffer(OutputBuffer&& other) noexcept
        : m_data(std::move(other.m_data)), m_size(other.m_size), m_capacity(other.m_capacity)
    {
        other.m_size = other.m_capacity = 0;
    }
    OutputBuffer& operator=(OutputBuffer&& other) noexcept
    {
        m_data = std::move(other.m_data);
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_size = other.m_capacity = 0;
        return *this;
    }
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    const std::uint8_t* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    void clear() { m_size = 0; }
    // Drops the bytes from size on.
    void truncate(std::size_t size) { m_size = size < m_size ? size : m_size; }
    std::size_t capacity() const { return m_capacity; }

    std::string toString() const { return std::string(reinterpret_cast<const char*>(data()), m_size); }

    CORV_CODEC_INLINE void write(std::uint8_t value)
    {
        if (m_size == m_capacity)
            grow(1);
        m_data.get()[m_size++] = value;
    }

    CORV_CODEC_INLINE void write(const void* bytes, std::size_t count)
    {
        if (count == 0)
            return;
        std::memcpy(claim(count), bytes, count);
    }

    // Appends count bytes and returns where they start, for the caller to fill.
    CORV_CODEC_INLINE std::uint8_t* claim(std::size_t count)
    {
        std::uint8_t* p = reserveTail(count);
        m_size += count;
        return p;
    }
    // Room for count more bytes without appending them; commit() appends what was used.
    CORV_CODEC_INLINE std::uint8_t* reserveTail(std::size_t count)
    {
        if (m_capacity - m_size < count)
            grow(count);
        return m_data.get() + m_size;
    }
    CORV_CODEC_INLINE void commit(std::size_t count) { m_size += count; }

    void reserve(std::size_t capacity)
    {
        if (capacity <= m_capacity)
            return;
        void* p = std::realloc(m_data.get(), capacity);
        if (!p)
            throw std::bad_alloc();
        m_data.release();
        m_data.reset(static_cast<std::uint8_t*>(p));
        m_capacity = capacity;
    }

private:
    [[gnu::noinline]] void grow(std::size_t extra)
    {
        std::size_t wanted = m_size + extra;
        if (wanted < m_size)
            throw std::bad_alloc();
        std::size_t capacity = m_capacity < 64 ? 64 : m_capacity;
        while (capacity < wanted)
            capacity = capacity * 2 > capacity ? capacity * 2 : wanted;
        reserve(capacity);
    }

    struct FreeDeleter
    {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, FreeDeleter> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

} // namespace bond
