#pragma once
// The incoming end of a viewer connection as the Compact Binary reader sees it: a blocking byte source.

#include <cstddef>

namespace Dremm::Orlex::QtClient
{

class IReader
{
public:
    virtual ~IReader() = default;
    // Fills buffer with exactly count bytes; raises when they cannot all arrive.
    virtual void read(void* buffer, std::size_t count) = 0;
    virtual bool isValid() const = 0;
    virtual bool atEnd() const = 0;
};

} // namespace Dremm::Orlex::QtClient
