#pragma once
// The Compact Binary reader's input: takes every byte straight from the connection's IReader, none ahead.

#include "OrlexProtocol/codec/IReader.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace Dremm::Orlex::QtClient
{

class ReaderInputBuffer
{
public:
    explicit ReaderInputBuffer(std::shared_ptr<IReader> reader);

    // The next count bytes, in one read of the IReader; a count of 0 reads nothing.
    void read(void* buffer, std::size_t count)
    {
        if (count != 0)
            m_reader->read(buffer, count);
    }

    // One varint, one read per byte. More than 10 bytes raise bond::CoreException; the value is
    // cut to the target's width.
    void readVarUInt16(std::uint16_t& value);
    void readVarUInt32(std::uint32_t& value);
    void readVarUInt64(std::uint64_t& value);

    // Steps over count bytes through a fixed scratch buffer (the pipe cannot seek).
    void skip(std::uint64_t count);

    const std::shared_ptr<IReader>& reader() const { return m_reader; }

private:
    std::shared_ptr<IReader> m_reader;
};

} // namespace Dremm::Orlex::QtClient
