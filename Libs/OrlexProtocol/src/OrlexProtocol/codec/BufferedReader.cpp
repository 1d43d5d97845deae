#include "OrlexProtocol/codec/BufferedReader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace Dremm::Orlex::QtClient
{

BufferedReader::BufferedReader(std::size_t capacity)
    : m_pBuffer(new std::uint8_t[capacity]), m_nCapacity(capacity)
{
    m_window.next = m_window.end = m_pBuffer.get();
}

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
    const std::size_t keep = m_window.size();
    if (m_nReceived - keep - m_nMessageStart > m_nMessageLimit)
        throw std::length_error("Message longer than the limit of " + std::to_string(m_nMessageLimit) + " bytes");
    if (keep >= m_nCapacity)
        throw std::logic_error("BufferedReader::refill with a full window");
    if (keep != 0 && m_window.next != m_pBuffer.get())
        std::memmove(m_pBuffer.get(), m_window.next, keep);
    ++m_nReceives;
    const std::size_t n = receive(m_pBuffer.get() + keep, m_nCapacity - keep);
    m_window.next = m_pBuffer.get();
    m_window.end = m_pBuffer.get() + keep + n;
    m_nReceived += n;
}

} // namespace Dremm::Orlex::QtClient
