#include "OrlexQtClient/ObjectIdAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

using Dremm::Orlex::QtClient::ObjectIdAllocator;

namespace {

std::string releaseError(ObjectIdAllocator& allocator, std::uint64_t id)
{
    try {
        allocator.release(id);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(ObjectIdAllocator, ObjectIdSequenceReusesTheLastReleasedFirst)
{
    ObjectIdAllocator allocator(100, 0);
    EXPECT_EQ(allocator.allocate(), 100u);
    EXPECT_EQ(allocator.allocate(), 101u);
    EXPECT_EQ(allocator.allocate(), 102u);
    allocator.release(101);
    EXPECT_EQ(allocator.allocate(), 101u);
    allocator.release(100);
    allocator.release(102);
    EXPECT_EQ(allocator.allocate(), 102u);
    EXPECT_EQ(allocator.allocate(), 100u);
    EXPECT_EQ(allocator.allocate(), 103u);
}

TEST(ObjectIdAllocator, ViewerIdSequenceHoldsFiveReleasedIdsBack)
{
    ObjectIdAllocator allocator(0, 5);
    EXPECT_EQ(allocator.allocate(), 0u);
    allocator.release(0);
    EXPECT_EQ(allocator.allocate(), 1u);
    for (std::uint64_t expected = 2; expected <= 6; ++expected)
        EXPECT_EQ(allocator.allocate(), expected);
    for (std::uint64_t id = 1; id <= 6; ++id)
        allocator.release(id);
    // Released in order: 0, 1, 2, 3, 4, 5, 6.
    EXPECT_EQ(allocator.allocate(), 1u);
    EXPECT_EQ(allocator.allocate(), 0u);
    EXPECT_EQ(allocator.allocate(), 7u);
}

TEST(ObjectIdAllocator, ProcessWideInstancesStartAtTheirBases)
{
    // Every other test uses instances of its own, so these are fresh here.
    EXPECT_EQ(Dremm::Orlex::QtClient::objectIdAllocator()->allocate(), 100u);
    EXPECT_EQ(Dremm::Orlex::QtClient::viewerIdAllocator().allocate(), 0u);
}

TEST(ObjectIdAllocator, BadReleasesRaiseAndLeaveTheStateAlone)
{
    ObjectIdAllocator allocator(100, 0);
    allocator.allocate(); // 100
    allocator.allocate(); // 101
    EXPECT_EQ(releaseError(allocator, 99), "ObjectIdAllocator::release - objectid out of range99");
    EXPECT_EQ(releaseError(allocator, 102), "ObjectIdAllocator::release - objectid out of range102");
    allocator.release(101);
    EXPECT_EQ(releaseError(allocator, 101), "ObjectIdAllocator::release - objectid already released: 101");
    // The first release stands, the lock is free: 101 comes back, then a fresh 102.
    EXPECT_EQ(allocator.allocate(), 101u);
    EXPECT_EQ(allocator.allocate(), 102u);
}

TEST(ObjectIdAllocator, ConcurrentAllocationsNeverShareAnId)
{
    ObjectIdAllocator allocator(100, 5);
    constexpr int kThreads = 8;
    constexpr int kRounds = 2000;
    std::vector<std::vector<std::uint64_t>> kept(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < kRounds; ++n) {
                const std::uint64_t id = allocator.allocate();
                if (n % 2 == 0)
                    allocator.release(id); // churn through the reserve
                else
                    kept[t].push_back(id);
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::uint64_t> distinct;
    for (const auto& ids : kept)
        distinct.insert(ids.begin(), ids.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreads * kRounds / 2));
}

TEST(ObjectIdAllocator, ExcludedIdsAreNeverHandedOut)
{
    ObjectIdAllocator allocator(39998, 0, {40000, 40001, 40003});
    EXPECT_EQ(allocator.allocate(), 39998u);
    EXPECT_EQ(allocator.allocate(), 39999u);
    EXPECT_EQ(allocator.allocate(), 40002u);
    EXPECT_EQ(allocator.allocate(), 40004u);
    // An excluded id was never handed out: releasing it is out of range, and the state holds.
    EXPECT_EQ(releaseError(allocator, 40001), "ObjectIdAllocator::release - objectid out of range40001");
    EXPECT_EQ(releaseError(allocator, 40005), "ObjectIdAllocator::release - objectid out of range40005");
    allocator.release(40002);
    EXPECT_EQ(allocator.allocate(), 40002u);
    EXPECT_EQ(allocator.allocate(), 40005u);

    // The process-wide object ids pass over the ship model's fixed vessel ids.
    const auto& pObjects = Dremm::Orlex::QtClient::objectIdAllocator();
    std::set<std::uint64_t> handedOut;
    for (int n = 0; n < 45000; ++n)
        handedOut.insert(pObjects->allocate());
    for (std::uint64_t nVessel = 0; nVessel < 5; ++nVessel)
        for (std::uint64_t nObject = 0; nObject < 4; ++nObject)
            EXPECT_EQ(handedOut.count(40000 + 1000 * nVessel + nObject), 0u) << 40000 + 1000 * nVessel + nObject;
    EXPECT_EQ(handedOut.count(40004), 1u);
}
