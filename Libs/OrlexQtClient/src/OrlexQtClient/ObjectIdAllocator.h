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
    // Ids in excluded are never handed out (fixed ids of objects made elsewhere).
    ObjectIdAllocator(std::uint64_t nBase, std::uint64_t nReserve, std::vector<std::uint64_t> excluded = {});
    ObjectIdAllocator(const ObjectIdAllocator&) = delete;
    ObjectIdAllocator& operator=(const ObjectIdAllocator&) = delete;

    std::uint64_t allocate();
    // Raises std::invalid_argument for an id never handed out (an excluded one included) or
    // already released.
    void release(std::uint64_t nId);

private:
    bool isExcluded(std::uint64_t nId) const;

    const std::uint64_t m_nBase;
    const std::uint64_t m_nReserve;
    std::uint64_t m_nLive = 0;
    std::vector<std::uint64_t> m_released; // in release order
    const std::vector<std::uint64_t> m_excluded; // sorted
    std::uint64_t m_nSkipped = 0;                 // excluded ids passed over so far
    std::mutex m_mutex;
};

// The process-wide allocator of viewer object ids (base 100, no reserve); it never hands out the
// ship model's fixed vessel ids 40000 + 1000 n + 0..3 for n 0 to 4.
const std::shared_ptr<ObjectIdAllocator>& objectIdAllocator();

// The process-wide allocator of viewer ids (base 0, five released ids held back).
ObjectIdAllocator& viewerIdAllocator();

} // namespace Dremm::Orlex::QtClient
