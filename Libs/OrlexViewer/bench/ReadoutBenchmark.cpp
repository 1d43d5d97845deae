// 10,000 recorded pointer moves replayed into the controller's read-out slot: position and depth
// tips, and a measurement dragging its distance label. The controller runs against the stand-in
// server; every label goes through the real encoder on the writer thread. Reported per move: the
// median time, the operator-new calls of the first and the second half of the replay, and the
// growth of the heap in use over all rounds (after the writer has caught up; Qt's own containers
// allocate with malloc, so only this last figure sees them).
#include "../tests/controller/ControllerHarness.h"

#include "OrlexQtClient/OrlexHostWindow.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

namespace O = ::Tavrin::Dremm::Orlex;

namespace {

std::atomic<long long> s_nAllocations{0};

constexpr int kMoves = 10000;

// Tips are counted, not shown.
class CountingPrompter : public CPrompter
{
public:
    void toolTip(const QPoint&, const QString& strText, QWidget*, int) override { m_nChars += strText.size(); }
    long long m_nChars = 0;
};

// A recorded survey of the pointer: a slow sweep over a seabed 20 to 60 m deep.
std::vector<O::MouseMovedMessage> recordedMoves()
{
    std::vector<O::MouseMovedMessage> moves(kMoves);
    for (int n = 0; n < kMoves; ++n) {
        O::MouseMovedMessage& m = moves[static_cast<std::size_t>(n)];
        O::PositionData& p = m.Position.set();
        p.X = 512000.0 + 0.37 * n;
        p.Y = 6543000.0 + 25.0 * std::sin(n * 0.01);
        p.Z = -40.0 + 20.0 * std::cos(n * 0.003);
        if (n % 5 != 0)
            m.ObjectId.set() = 100 + static_cast<std::uint64_t>(n % 3);
    }
    return moves;
}

struct Session
{
    viewertest::ControllerHarness harness;
    COrlexViewer* pViewer = nullptr;
    Dremm::Orlex::QtClient::OrlexHostWindow* pHost = nullptr;
    CountingPrompter prompter;

    Session()
    {
        if (!harness.startServer())
            std::abort();
        pViewer = harness.startLiveView(3);
        harness.sync();
        pHost = harness.pane()->findChild<Dremm::Orlex::QtClient::OrlexHostWindow*>();
        CPrompter::install(&prompter);
    }
};

Session& session()
{
    static Session* s_pSession = new Session();
    return *s_pSession;
}

void replay(benchmark::State& state, bool bMeasuring)
{
    Session& s = session();
    const std::vector<O::MouseMovedMessage> moves = recordedMoves();
    s.pViewer->setGraticuleFormat(1);
    s.pViewer->enablePositionUnderCursor(!bMeasuring);
    s.pViewer->enableDepthUnderCursor(!bMeasuring);
    s.pViewer->toggleMeasDist(bMeasuring);
    if (bMeasuring) {
        O::MeasurementMessage start;
        start.ObjectId = 900;
        start.Positions.push_back(moves.front().Position.value());
        start.Active = true;
        emit s.pHost->MeasurementMessageReceived(&start);
    }

    std::vector<double> times(moves.size());
    s.harness.sync();
    const long long nCharsBefore = s.prompter.m_nChars;
    bool bFirstRound = true;
    std::size_t nHeapAfterFirst = 0;
    long long nFirstHalf = 0;
    long long nSecondHalf = 0;
    for (auto _ : state) {
        const long long nStart = s_nAllocations.load();
        for (std::size_t n = 0; n < moves.size(); ++n) {
            if (n == moves.size() / 2)
                nFirstHalf = s_nAllocations.load() - nStart;
            const auto t0 = std::chrono::steady_clock::now();
            emit s.pHost->MouseMovedMessageReceived(&moves[n]);
            times[n] = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
        }
        nSecondHalf = s_nAllocations.load() - nStart - nFirstHalf;
        // Let the writer thread and the server catch up between rounds.
        s.harness.sync();
        if (bFirstRound) {
            bFirstRound = false;
            nHeapAfterFirst = mallinfo2().uordblks;
        }
    }
    state.counters["heap_growth_after_first_round_bytes"] =
        static_cast<double>(mallinfo2().uordblks) - static_cast<double>(nHeapAfterFirst);
    state.counters["tip_chars_per_move"] =
        static_cast<double>(s.prompter.m_nChars - nCharsBefore) / static_cast<double>(state.iterations() * kMoves);
    std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["allocs_per_move_first_half"] = static_cast<double>(nFirstHalf) / (kMoves / 2);
    state.counters["allocs_per_move_second_half"] = static_cast<double>(nSecondHalf) / (kMoves / 2);
    state.SetItemsProcessed(state.iterations() * kMoves);

    s.pViewer->toggleMeasDist(false);
    s.pViewer->enablePositionUnderCursor(false);
    s.pViewer->enableDepthUnderCursor(false);
}

void BM_ReadoutTips(benchmark::State& state)
{
    replay(state, false);
}

void BM_MeasuringDrag(benchmark::State& state)
{
    replay(state, true);
}

BENCHMARK(BM_ReadoutTips)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_MeasuringDrag)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

void* operator new(std::size_t nSize)
{
    s_nAllocations.fetch_add(1, std::memory_order_relaxed);
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

int main(int argc, char** argv)
{
    // A scratch root and pipe folder of its own, as the tests have.
    QTemporaryDir scratch;
    const QByteArray baScratch = scratch.path().toUtf8();
    qputenv("CORV_WINROOT", baScratch + "/root");
    qputenv("DREMM_PIPE_DIR", baScratch + "/pipes");
    qputenv("CORV_TEST_SCRATCH", baScratch);
    if (qEnvironmentVariableIsEmpty("CORV_BIN_DIR"))
        qputenv("CORV_BIN_DIR", CORV_BIN_DIR);
    qputenv("CAMTIMER", "3600000");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QDir().mkpath(scratch.path() + QStringLiteral("/pipes"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    COrlexViewer::destroyInstance();
    return 0;
}
