// Palette bytes of any shape: loading either refuses them or gives a map that saves and loads
// back to the same bytes and evaluates without fault.
#include "OrlexViewer/ColorMap.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    const QByteArray baInput = QByteArray::fromRawData(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    ColorMap map;
    QString strError;
    if (!map.load(baInput, &strError))
        return 0;
    const QByteArray baSaved = map.save();
    ColorMap again;
    if (!again.load(baSaved, &strError) || again.save() != baSaved)
        std::abort();
    for (double t : {-1e300, -3.0, 0.0, 0.5, 2.0, 7.5, 1e300})
        (void)map.eval(t, -10.0, 10.0);
    return 0;
}
