// The position road of the live display: one position update for each of five vessels through
// updateVessel and addPositionDatagram, encoded into memory; and a depth-tail push of 1,199
// soundings. Reports the time and the allocations per datagram or push once warm.
#include "OrlexViewer/ShipModel.h"

#include "OrlexQtClient/IWriter.h"
#include "OrlexQtClient/MessageDispatcher.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<std::uint64_t> g_nAllocations{0};

} // namespace

void* operator new(std::size_t nSize)
{
    g_nAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(nSize ? nSize : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

namespace QC = Dremm::Orlex::QtClient;

// Keeps the bytes of the latest messages in a buffer that never grows once warm.
class MemoryWriter : public QC::IWriter
{
public:
    MemoryWriter() { m_bytes.reserve(1 << 22); }
    bool write(const void* pBytes, std::size_t nCount) override
    {
        if (m_bytes.size() + nCount > m_bytes.capacity())
            m_bytes.clear();
        const auto* p = static_cast<const char*>(pBytes);
        if (nCount <= m_bytes.capacity())
            m_bytes.insert(m_bytes.end(), p, p + nCount);
        m_nTotal += nCount;
        return true;
    }
    bool isValid() const override { return true; }
    std::uint64_t total() const { return m_nTotal; }

private:
    std::vector<char> m_bytes;
    std::uint64_t m_nTotal = 0;
};

void putLe(char* p, std::uint32_t nValue, int nSize)
{
    for (int n = 0; n < nSize; ++n)
        p[n] = static_cast<char>((nValue >> (8 * n)) & 0xFF);
}

QByteArray datagram(std::uint16_t nSerial)
{
    QByteArray bytes(34, '\0');
    bytes[0] = 0x02;
    bytes[1] = 'Q';
    putLe(bytes.data() + 2, 2040, 2);
    putLe(bytes.data() + 4, 20240101, 4);
    putLe(bytes.data() + 14, nSerial, 2);
    putLe(bytes.data() + 24, 0xFFFF, 2);
    bytes[32] = static_cast<char>(0x81);
    bytes.append("GPS", 3);
    bytes.append('\0');
    bytes.append('\x03');
    bytes.append(2, '\0');
    return bytes;
}

struct Road
{
    std::shared_ptr<MemoryWriter> pWriter = std::make_shared<MemoryWriter>();
    std::shared_ptr<QC::MessageDispatcher> pDispatcher = std::make_shared<QC::MessageDispatcher>(pWriter, nullptr, 1);
    CShipModel ship{pDispatcher};
};

void BM_PositionUpdateFiveVessels(benchmark::State& state)
{
    Road road;
    std::vector<QString> labels;
    std::vector<QByteArray> datagrams;
    for (int n = 0; n < CShipModel::kMaxVessels; ++n) {
        labels.push_back(QStringLiteral("GPS%1:2040_%2").arg(n).arg(n + 1));
        datagrams.push_back(datagram(static_cast<std::uint16_t>(n + 1)));
    }
    road.ship.updateVessel(0, 0, 0, QStringLiteral("#INIT#"));
    road.ship.createCogVector(0);

    std::uint32_t nTime = 10000000;
    std::int32_t nLatitude = 1200000000;
    const auto step = [&] {
        for (int n = 0; n < CShipModel::kMaxVessels; ++n) {
            char* p = datagrams[static_cast<std::size_t>(n)].data();
            nTime += 200;
            nLatitude += 50;
            putLe(p + 8, nTime, 4);
            putLe(p + 16, static_cast<std::uint32_t>(nLatitude), 4);
            road.ship.updateVessel(50000000 + n * 1000, nLatitude / 10, 4500 * n, labels[static_cast<std::size_t>(n)]);
            road.ship.addPositionDatagram(p, datagrams[static_cast<std::size_t>(n)].size());
        }
    };
    for (int n = 0; n < 100; ++n) // fill the history's ring, warm the buffers
        step();

    const std::uint64_t nAllocationsBefore = g_nAllocations.load();
    std::uint64_t nDatagrams = 0;
    for (auto _ : state) {
        step();
        nDatagrams += CShipModel::kMaxVessels;
    }
    const std::uint64_t nAllocations = g_nAllocations.load() - nAllocationsBefore;
    // items_per_second is datagrams per second.
    state.SetItemsProcessed(static_cast<std::int64_t>(nDatagrams));
    state.counters["allocs/datagram"] = nDatagrams ? static_cast<double>(nAllocations) / static_cast<double>(nDatagrams) : 0;
}

void BM_DepthTailPush(benchmark::State& state)
{
    Road road;
    constexpr std::size_t kSoundings = 1199;
    std::vector<double> source(kSoundings * 3);
    for (std::size_t n = 0; n < source.size(); ++n)
        source[n] = 0.25 * static_cast<double>(n);
    std::vector<double> ping;
    ping.reserve(source.size());
    ping = source;
    road.ship.pushDepthTail(ping, QStringLiteral("EM2040:1")); // creates the tail

    std::uint64_t nAllocations = 0;
    std::uint64_t nPushes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<double> points(source); // the caller's ping, built outside the timing
        const std::uint64_t nBefore = g_nAllocations.load();
        state.ResumeTiming();
        road.ship.pushDepthTail(points, QStringLiteral("EM2040:1"));
        state.PauseTiming();
        nAllocations += g_nAllocations.load() - nBefore;
        if (!points.empty())
            state.SkipWithError("the soundings were copied, not moved");
        state.ResumeTiming();
        ++nPushes;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(nPushes * kSoundings));
    state.counters["allocs/push"] = nPushes ? static_cast<double>(nAllocations) / static_cast<double>(nPushes) : 0;
}

} // namespace

BENCHMARK(BM_PositionUpdateFiveVessels);
BENCHMARK(BM_DepthTailPush);
BENCHMARK_MAIN();
