#pragma once
// An IReader that keeps the bytes one receive call brought and lets the Compact Binary reader take
// them straight from its buffer. It never waits for more bytes than a read asks for.

#include "OrlexProtocol/codec/IReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Dremm::Orlex::QtClient
{

class BufferedReader : public IReader
{
public:
    // The bytes received and not read yet.
    struct Window
    {
        const std::uint8_t* next = nullptr;
        const std::uint8_t* end = nullptr;
        std::size_t size() const { return static_cast<std::size_t>(end - next); }
    };

    explicit BufferedReader(std::size_t capacity = 64 * 1024);

    // Takes count bytes from the window, receiving more as needed.
    void read(void* buffer, std::size_t count) final;

    Window& window() { return m_window; }

    // Moves the unread bytes to the front of the buffer and receives after them: waits for at
    // least one byte and takes what has arrived. Raises when no byte can come, and when the
    // message begun last has grown beyond its limit.
    void refill();

    // Starts counting the bytes of one message; refill() raises std::length_error once more than
    // limit bytes of it have been received.
    void beginMessage(std::uint64_t limit)
    {
        m_nMessageStart = consumed();
        m_nMessageLimit = limit;
    }

    // Bytes taken by read() and from the window since the reader was made.
    std::uint64_t consumed() const { return m_nReceived - m_window.size(); }

    // Receive calls made so far.
    std::size_t receiveCount() const { return m_nReceives; }

protected:
    // Waits for at least one byte and stores what has arrived, at most room bytes, at into.
    // Returns how many; raises when the stream has ended or failed.
    virtual std::size_t receive(std::uint8_t* into, std::size_t room) = 0;

private:
    std::unique_ptr<std::uint8_t[]> m_pBuffer;
    std::size_t m_nCapacity;
    Window m_window;
    std::uint64_t m_nReceived = 0;
    std::size_t m_nReceives = 0;
    std::uint64_t m_nMessageStart = 0;
    std::uint64_t m_nMessageLimit = UINT64_MAX;
};

} // namespace Dremm::Orlex::QtClient
