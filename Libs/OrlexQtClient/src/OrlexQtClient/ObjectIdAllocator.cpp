#include "OrlexQtClient/ObjectIdAllocator.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace Dremm::Orlex::QtClient {

namespace {

std::vector<std::uint64_t> sorted(std::vector<std::uint64_t> ids)
{
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

std::vector<std::uint64_t> vesselIds()
{
    std::vector<std::uint64_t> ids;
    for (std::uint64_t nVessel = 0; nVessel < 5; ++nVessel)
        for (std::uint64_t nObject = 0; nObject < 4; ++nObject)
            ids.push_back(40000 + 1000 * nVessel + nObject);
    return ids;
}

} // namespace

ObjectIdAllocator::ObjectIdAllocator(std::uint64_t nBase, std::uint64_t nReserve, std::vector<std::uint64_t> excluded)
    : m_nBase(nBase), m_nReserve(nReserve), m_excluded(sorted(std::move(excluded)))
{
}

bool ObjectIdAllocator::isExcluded(std::uint64_t nId) const
{
    return std::binary_search(m_excluded.begin(), m_excluded.end(), nId);
}

std::uint64_t ObjectIdAllocator::allocate()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::uint64_t nReleased = m_released.size();
    std::uint64_t nFresh = m_nBase + m_nLive + nReleased + m_nSkipped;
    ++m_nLive;
    if (nReleased > m_nReserve) {
        // The id with exactly m_nReserve ids released after it.
        const auto it = m_released.begin() + static_cast<std::ptrdiff_t>(nReleased - m_nReserve - 1);
        const std::uint64_t nId = *it;
        m_released.erase(it);
        return nId;
    }
    while (isExcluded(nFresh)) {
        ++m_nSkipped;
        ++nFresh;
    }
    return nFresh;
}

void ObjectIdAllocator::release(std::uint64_t nId)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (nId < m_nBase || nId >= m_nBase + m_nLive + m_released.size() + m_nSkipped || isExcluded(nId))
        throw std::invalid_argument("ObjectIdAllocator::release - objectid out of range" + std::to_string(nId));
    if (std::find(m_released.begin(), m_released.end(), nId) != m_released.end())
        throw std::invalid_argument("ObjectIdAllocator::release - objectid already released: " + std::to_string(nId));
    m_released.push_back(nId);
    --m_nLive;
}

const std::shared_ptr<ObjectIdAllocator>& objectIdAllocator()
{
    static const std::shared_ptr<ObjectIdAllocator> s_pAllocator = std::make_shared<ObjectIdAllocator>(100, 0, vesselIds());
    return s_pAllocator;
}

ObjectIdAllocator& viewerIdAllocator()
{
    static ObjectIdAllocator s_allocator(0, 5);
    return s_allocator;
}

} // namespace Dremm::Orlex::QtClient
