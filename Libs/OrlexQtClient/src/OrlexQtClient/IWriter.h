// The outgoing end of a viewer connection: a byte sink written one whole message at a time.
#pragma once

#include <cstddef>

namespace Dremm::Orlex::QtClient {

class IWriter
{
public:
    virtual ~IWriter() = default;
    // True only when all count bytes were written.
    virtual bool write(const void* pBytes, std::size_t nCount) = 0;
    // Writes what the sink takes at once, without waiting; the bytes written. A failure is left
    // to the next write. By default nothing is taken.
    virtual std::size_t writeNow(const void* /*pBytes*/, std::size_t /*nCount*/) { return 0; }
    virtual bool isValid() const = 0;
};

} // namespace Dremm::Orlex::QtClient
