#include "OrlexProtocol/codec/BufferedReader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace Dremm::Orlex::QtClient
{

void BufferedReader::read(void* buffer, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (count != 0) {
        if (m_window.next == m_window.end)
            refill();
        const std::size_t n = std::min(count, m_window.size());
        std::memcpy(out, m_window.next, n);
        m_window.next += n;
        out += n;
        count -= n;
    }
}

void BufferedReader::refill()
{
    if (m_window.next != m_window.end)
        throw std::logic_error("BufferedReader::refill before the window was read");
    if (m_nReceived - m_nMessageStart > m_nMessageLimit)
        throw std::length_error("Message longer than the limit of " + std::to_string(m_nMessageLimit) + " bytes");
    const Window received = receive();
    if (received.next == received.end)
        throw std::logic_error("BufferedReader::receive returned no bytes");
    m_window = received;
    m_nReceived += received.size();
}

} // namespace Dremm::Orlex::QtClient
