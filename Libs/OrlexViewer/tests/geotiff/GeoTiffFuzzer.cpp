// TIFF bytes of any shape, opened from memory: the key checks answer without fault.
#include "OrlexViewer/GeoTiffHeader.h"

#include <geotiff/xtiffio.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <sstream>

namespace {

struct MemoryFile
{
    const std::uint8_t* pData;
    toff_t nSize;
    toff_t nPos;
};

tmsize_t readProc(thandle_t h, void* pBuf, tmsize_t nBytes)
{
    auto* f = static_cast<MemoryFile*>(h);
    if (nBytes < 0 || f->nPos >= f->nSize)
        return 0;
    const toff_t nLeft = f->nSize - f->nPos;
    const toff_t nCopy = static_cast<toff_t>(nBytes) < nLeft ? static_cast<toff_t>(nBytes) : nLeft;
    std::memcpy(pBuf, f->pData + f->nPos, nCopy);
    f->nPos += nCopy;
    return static_cast<tmsize_t>(nCopy);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t seekProc(thandle_t h, toff_t nOffset, int nWhence)
{
    auto* f = static_cast<MemoryFile*>(h);
    toff_t nBase = nWhence == SEEK_CUR ? f->nPos : nWhence == SEEK_END ? f->nSize : 0;
    f->nPos = nBase + nOffset;
    return f->nPos;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t h)
{
    return static_cast<MemoryFile*>(h)->nSize;
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, void*, toff_t) {}

std::ostringstream* s_pSink = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The key directory printout and the checks' messages would flood the run.
    if (!std::freopen("/dev/null", "w", stdout))
        return 0;
    static std::ostringstream sink;
    s_pSink = &sink;
    std::cerr.rdbuf(sink.rdbuf());
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    MemoryFile file{pData, static_cast<toff_t>(nSize), 0};
    std::unique_ptr<TIFF, void (*)(TIFF*)> pTiff(
        XTIFFClientOpen("fuzz.tif", "rm", &file, readProc, writeProc, seekProc, closeProc, sizeProc, mapProc, unmapProc),
        XTIFFClose);
    if (!pTiff)
        return 0;
    geotiff_header header(pTiff.get());
    std::uint32_t nZone = 0;
    std::int32_t nHemisphere = 0;
    (void)header.getWgs84UtmZone(nZone, nHemisphere);
    (void)header.getUtmProjectionZone(nZone, nHemisphere);
    (void)header.getNad83UtmZone(nZone, nHemisphere);
    (void)header.isGeographicMetersDegrees();
    (void)header.isMercator();
    (void)header.isWebMercator();
    if (s_pSink)
        s_pSink->str(std::string());
    return 0;
}
