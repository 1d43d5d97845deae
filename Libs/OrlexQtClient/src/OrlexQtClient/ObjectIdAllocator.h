// Hands out 64-bit viewer object and viewer ids and reuses released ones after a reserve of the
// most recently released; safe to use from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace Dremm::Orlex::QtClient {

class ObjectIdAllocator
{
public:
    ObjectIdAllocator(std::uint64_t nBase, std::uint64_t nReserve);
    ObjectIdAllocator(const ObjectIdAllocator&) = delete;
    ObjectIdAllocator& operator=(const ObjectIdAllocator&) = delete;

    std::uint64_t allocate();
    // Raises std::invalid_argument for an id never handed out or already released.
    void release(std::uint64_t nId);

private:
    const std::uint64_t m_nBase;
    const std::uint64_t m_nReserve;
    std::uint64_t m_nLive = 0;
    std::vector<std::uint64_t> m_released; // in release order
    std::mutex m_mutex;
};

// The process-wide allocator of viewer object ids (base 100, no reserve).
const std::shared_ptr<ObjectIdAllocator>& objectIdAllocator();

// The process-wide allocator of viewer ids (base 0, five released ids held back).
ObjectIdAllocator& viewerIdAllocator();

} // namespace Dremm::Orlex::QtClient
