#include "OrlexProtocol/codec/ReaderInputBuffer.h"

#include "OrlexProtocol/codec/BondSupport.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace Dremm::Orlex::QtClient
{

ReaderInputBuffer::ReaderInputBuffer(std::shared_ptr<IReader> reader) : m_reader(std::move(reader))
{
    if (!m_reader)
        throw std::invalid_argument("ReaderInputBuffer needs a reader");
}

void ReaderInputBuffer::readVarUInt64(std::uint64_t& value)
{
    std::uint64_t result = 0;
    for (unsigned shift = 0; shift < 70; shift += 7) {
        std::uint8_t byte;
        m_reader->read(&byte, 1);
        result |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if (byte < 0x80) {
            value = result;
            return;
        }
    }
    throw bond::CoreException("De-serialization failed: varint longer than 10 bytes");
}

void ReaderInputBuffer::readVarUInt32(std::uint32_t& value)
{
    std::uint64_t wide;
    readVarUInt64(wide);
    value = static_cast<std::uint32_t>(wide);
}

void ReaderInputBuffer::readVarUInt16(std::uint16_t& value)
{
    std::uint64_t wide;
    readVarUInt64(wide);
    value = static_cast<std::uint16_t>(wide);
}

void ReaderInputBuffer::skip(std::uint64_t count)
{
    char scratch[4096];
    while (count != 0) {
        auto n = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeof scratch));
        m_reader->read(scratch, n);
        count -= n;
    }
}

} // namespace Dremm::Orlex::QtClient
