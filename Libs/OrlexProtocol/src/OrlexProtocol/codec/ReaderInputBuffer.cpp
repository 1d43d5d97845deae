#include "OrlexProtocol/codec/ReaderInputBuffer.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace Dremm::Orlex::QtClient
{

ReaderInputBuffer::ReaderInputBuffer(std::shared_ptr<IReader> reader)
    : m_reader(std::move(reader)), m_pBuffered(dynamic_cast<BufferedReader*>(m_reader.get()))
{
    if (!m_reader)
        throw std::invalid_argument("ReaderInputBuffer needs a reader");
}

void ReaderInputBuffer::readVarUInt64Slow(std::uint64_t& value)
{
    std::uint64_t result = 0;
    for (unsigned shift = 0;; shift += 7) {
        std::uint8_t byte;
        read(&byte, 1);
        if (shift < 64)
            result |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            break;
    }
    value = result;
}

void ReaderInputBuffer::skip(std::uint64_t count)
{
    if (m_pBuffered) {
        while (count != 0) {
            if (m_pBuffered->window().size() == 0)
                m_pBuffered->refill();
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_pBuffered->window().size()));
            m_pBuffered->window().next += n;
            count -= n;
        }
        return;
    }
    char scratch[4096];
    while (count != 0) {
        auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
        m_reader->read(scratch, n);
        count -= n;
    }
}

bool ReaderInputBuffer::fillWindow()
{
    if (!m_pBuffered)
        return false;
    if (m_pBuffered->window().size() == 0)
        m_pBuffered->refill();
    return true;
}

} // namespace Dremm::Orlex::QtClient
