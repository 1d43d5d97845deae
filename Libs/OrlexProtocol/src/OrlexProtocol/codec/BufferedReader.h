#pragma once
// An IReader that hands the Compact Binary reader the bytes one receive brought, as a window it
// reads straight from. It never waits for more bytes than a read asks for.

#include "OrlexProtocol/codec/IReader.h"

#include <cstddef>
#include <cstdint>

namespace Dremm::Orlex::QtClient
{

class BufferedReader : public IReader
{
public:
    // Bytes received and not read yet.
    struct Window
    {
        const std::uint8_t* next = nullptr;
        const std::uint8_t* end = nullptr;
        std::size_t size() const { return static_cast<std::size_t>(end - next); }
    };

    // Takes count bytes from the window, receiving more as needed.
    void read(void* buffer, std::size_t count) final;

    Window& window() { return m_window; }

    // Receives into an empty window: waits for at least one byte and takes what has arrived.
    // Raises when no byte can come, and when the message begun last has grown beyond its limit.
    void refill();

    // Starts counting the bytes of one message; refill() raises std::length_error once more than
    // limit bytes of it have been read.
    void beginMessage(std::uint64_t limit)
    {
        m_nMessageStart = consumed();
        m_nMessageLimit = limit;
    }

    // Bytes read so far.
    std::uint64_t consumed() const { return m_nReceived - m_window.size(); }

protected:
    // Waits for at least one byte and returns what has arrived, held by the subclass until the
    // next call. Raises when the stream has ended or failed.
    virtual Window receive() = 0;

private:
    Window m_window;
    std::uint64_t m_nReceived = 0;
    std::uint64_t m_nMessageStart = 0;
    std::uint64_t m_nMessageLimit = UINT64_MAX;
};

} // namespace Dremm::Orlex::QtClient
