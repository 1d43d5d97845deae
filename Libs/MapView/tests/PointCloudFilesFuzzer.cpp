// libFuzzer entry: arbitrary bytes as a coverage index file and as a generated point file.
#include "MapView/PointCloudFiles.h"

#include <cstddef>
#include <cstdint>

namespace {

// Degrees as centimetres, unchanged; a latitude beyond the poles cannot be converted.
int identity(std::size_t nCount, const double* pdLatitudes, const double* pdLongitudes, double* pdNorths, double* pdEasts)
{
    int nFailed = 0;
    for (std::size_t i = 0; i < nCount; ++i) {
        const double dLatitude = pdLatitudes[i];
        pdEasts[i] = pdLongitudes[i];
        pdNorths[i] = dLatitude;
        if (dLatitude > 90 || dLatitude < -90)
            ++nFailed;
    }
    return nFailed;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray baInput(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    pointcloud::testCoverageIndex(baInput, QRectF(-10, -10, 20, 20), identity);
    long long nLines = 0;
    pointcloud::readPointText(baInput, nLines, 1000, identity);
    nLines = 999;
    pointcloud::readPointText(baInput, nLines, 1000, identity);
    return 0;
}
