// Conversion costs: one point under the mutex, and a depth datagram's 1199 points in one call.
#include "Projection/Projection.h"
#include "Projection/QelProjection.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <vector>

namespace {

void useFreshRoot()
{
    static QTemporaryDir root;
    qputenv("CORV_WINROOT", QDir(root.path()).filePath(QStringLiteral("root")).toUtf8());
    qputenv("ProgramData", "C:\\ProgramData");
}

void BM_ToProjected(benchmark::State& state)
{
    useFreshRoot();
    CProjection* poProjection = CProjection::instance();
    double dNorth = 0, dEast = 0, dLatitude = 56.0;
    for (auto _ : state) {
        poProjection->toProjected(dLatitude, 9.5, dNorth, dEast);
        benchmark::DoNotOptimize(dNorth);
        benchmark::DoNotOptimize(dEast);
        dLatitude += 1e-9;
    }
}
BENCHMARK(BM_ToProjected);

void BM_ToGeographic(benchmark::State& state)
{
    useFreshRoot();
    CProjection* poProjection = CProjection::instance();
    double dLatitude = 0, dLongitude = 0, dNorth = 754000000.0;
    for (auto _ : state) {
        poProjection->toGeographic(dNorth, 105000000.0, dLatitude, dLongitude);
        benchmark::DoNotOptimize(dLatitude);
        benchmark::DoNotOptimize(dLongitude);
        dNorth += 1e-3;
    }
}
BENCHMARK(BM_ToGeographic);

void BM_RuntimeBatch1199(benchmark::State& state)
{
    useFreshRoot();
    QelProj::CProjection runtime;
    const std::size_t nCount = 1199;
    std::vector<double> lats(nCount), lons(nCount), norths(nCount), easts(nCount);
    for (std::size_t i = 0; i < nCount; ++i) {
        lats[i] = 56.0 + 1e-5 * static_cast<double>(i);
        lons[i] = 9.5 + 1e-5 * static_cast<double>(i);
    }
    for (auto _ : state) {
        runtime.toProjectedBatch(nCount, lats.data(), lons.data(), norths.data(), easts.data(), true);
        benchmark::DoNotOptimize(norths.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(nCount));
}
BENCHMARK(BM_RuntimeBatch1199);

void BM_RuntimeSingle1199(benchmark::State& state)
{
    useFreshRoot();
    QelProj::CProjection runtime;
    double dNorth = 0, dEast = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1199; ++i)
            runtime.toProjected(56.0 + 1e-5 * i, 9.5 + 1e-5 * i, dNorth, dEast, true);
        benchmark::DoNotOptimize(dNorth);
    }
    state.SetItemsProcessed(state.iterations() * 1199);
}
BENCHMARK(BM_RuntimeSingle1199);

} // namespace

BENCHMARK_MAIN();
