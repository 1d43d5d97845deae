// Cost of the geodesic inverse for an ordinary pair and for nearly antipodal pairs, which leave
// Vincenty's iteration for Karney's method.
#include "SurveyUtils/Earth.h"

#include <benchmark/benchmark.h>

namespace {

void inverse(benchmark::State& state, double dLat1, double dLon1, double dLat2, double dLon2)
{
    const CEarth oEarth(CEarth::WGS84);
    CPolarCoordinate oFrom, oTo;
    oFrom.setLatitude(dLat1);
    oFrom.setLongitude(dLon1);
    oTo.setLatitude(dLat2);
    oTo.setLongitude(dLon2);
    for (auto _ : state) {
        double dForward = 0.0, dBack = 0.0;
        benchmark::DoNotOptimize(oEarth.inverse(oFrom, oTo, &dForward, &dBack));
        benchmark::DoNotOptimize(dForward);
    }
}

} // namespace

BENCHMARK_CAPTURE(inverse, ordinary, 52.2297, 21.0122, 40.7128, -74.0060);
BENCHMARK_CAPTURE(inverse, nearly_antipodal, 0.0, 0.0, 0.5, 179.7);
BENCHMARK_CAPTURE(inverse, nearly_antipodal_off_equator, 10.0, 0.0, -10.01, 179.9);
BENCHMARK_CAPTURE(inverse, nearly_antipodal_meridional, -30.0, 50.0, 30.0001, -130.0);

BENCHMARK_MAIN();
