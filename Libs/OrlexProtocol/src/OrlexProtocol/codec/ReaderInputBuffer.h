#pragma once
// The Compact Binary reader's input over the connection's IReader. Over a BufferedReader it takes
// the bytes straight from the reader's window of received bytes; over any other reader it makes
// one read call per value (one per byte of a varint).

#include "OrlexProtocol/codec/BufferedReader.h"
#include "OrlexProtocol/codec/IReader.h"
#include "OrlexProtocol/codec/Inline.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace Dremm::Orlex::QtClient
{

// The largest message accepted from the viewer server, and the largest text, list or map one may
// declare. The largest legitimate replies are the terrain queries, which echo the queried
// positions (two doubles each) and add a result per position: 24 MB for a million positions.
// Anything beyond this is refused as soon as its length or count is read, before memory for it is
// requested.
inline constexpr std::uint32_t kMaxMessageBytes = 64u * 1024 * 1024;

class ReaderInputBuffer
{
public:
    explicit ReaderInputBuffer(std::shared_ptr<IReader> reader);

    // The next count bytes; a count of 0 reads nothing.
    CORV_CODEC_INLINE void read(void* buffer, std::size_t count)
    {
        if (m_pBuffered) {
            BufferedReader::Window& w = m_pBuffered->window();
            if (count <= w.size()) {
                std::memcpy(buffer, w.next, count);
                w.next += count;
                return;
            }
        }
        if (count != 0)
            m_reader->read(buffer, count);
    }

    // One varint, read on until a byte below 0x80 however long it is; bits beyond 64 are dropped
    // and the value is cut to the target's width.
    CORV_CODEC_INLINE void readVarUInt64(std::uint64_t& value)
    {
        if (m_pBuffered) {
            BufferedReader::Window& w = m_pBuffered->window();
            if (w.next != w.end && *w.next < 0x80) {
                value = *w.next++;
                return;
            }
            // A varint that ends within the window, in at most 10 bytes, is decoded in place.
            const std::size_t n = w.size() < 10 ? w.size() : 10;
            std::uint64_t result = 0;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t byte = w.next[i];
                result |= static_cast<std::uint64_t>(byte & 0x7F) << (7 * i);
                if (byte < 0x80) {
                    w.next += i + 1;
                    value = result;
                    return;
                }
            }
        }
        readVarUInt64Slow(value);
    }
    CORV_CODEC_INLINE void readVarUInt32(std::uint32_t& value)
    {
        std::uint64_t wide;
        readVarUInt64(wide);
        value = static_cast<std::uint32_t>(wide);
    }
    CORV_CODEC_INLINE void readVarUInt16(std::uint16_t& value)
    {
        std::uint64_t wide;
        readVarUInt64(wide);
        value = static_cast<std::uint16_t>(wide);
    }

    // Steps over count bytes (the pipe cannot seek).
    void skip(std::uint64_t count);

    // Received bytes not read yet, for readers of blocks; empty over a reader without a window.
    const std::uint8_t* windowData() const { return m_pBuffered ? m_pBuffered->window().next : nullptr; }
    std::size_t windowSize() const { return m_pBuffered ? m_pBuffered->window().size() : 0; }
    // Marks n bytes of the window as read.
    void advance(std::size_t n) { m_pBuffered->window().next += n; }
    // Makes the window hold at least one byte; false over a reader without a window.
    bool fillWindow();

    const std::shared_ptr<IReader>& reader() const { return m_reader; }

    // Bytes read so far over a BufferedReader; 0 over any other reader.
    std::uint64_t consumed() const { return m_pBuffered ? m_pBuffered->consumed() : 0; }

private:
    void readVarUInt64Slow(std::uint64_t& value);

    std::shared_ptr<IReader> m_reader;
    BufferedReader* m_pBuffered; // m_reader itself when it is one
};

} // namespace Dremm::Orlex::QtClient
