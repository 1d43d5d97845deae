#include "OrlexViewer/GeoTiffHeader.h"

#include <geotiff/geotiff.h>
#include <tiffio.h>

#include <iostream>

namespace {

enum : int {
    kModelTypeKey = 1024,
    kLinearUnitsKey = 2052,
    kAngularUnitsKey = 2054,
    kProjectedCsKey = 3072,
    kProjectionKey = 3074,
    kCoordTransKey = 3075,
};

constexpr int kModelProjected = 1;
constexpr int kModelGeographic = 2;

// A single SHORT value of a key, read into a buffer sized from the key's own description.
// False when the key is absent (nCount 0) or holds anything else.
bool singleShort(GTIF* pKeys, int nKeyId, int& nCount, std::int16_t& nValue)
{
    int nSize = 0;
    tagtype_t type = TYPE_UNKNOWN;
    nCount = GTIFKeyInfo(pKeys, static_cast<geokey_t>(nKeyId), &nSize, &type);
    if (nCount != 1 || type != TYPE_SHORT || nSize != static_cast<int>(sizeof(std::uint16_t)))
        return false;
    std::uint16_t nRaw = 0;
    if (GTIFKeyGet(pKeys, static_cast<geokey_t>(nKeyId), &nRaw, 0, 1) != 1)
        return false;
    nValue = static_cast<std::int16_t>(nRaw);
    return true;
}

// libgeotiff's listing goes into a text instead of onto standard output.
int appendListing(char* szText, void* pListing)
{
    if (szText)
        static_cast<std::string*>(pListing)->append(szText);
    return 0;
}

} // namespace

void geotiff_header::KeysDeleter::operator()(GTIF* pKeys) const
{
    GTIFFree(pKeys);
}

geotiff_header::geotiff_header(TIFF* pTiff) : m_pTiff(pTiff)
{
    if (!m_pTiff)
        return;
    m_pKeys.reset(GTIFNew(m_pTiff));
    if (!m_pKeys)
        return;
    GTIFPrint(m_pKeys.get(), appendListing, &m_strKeyListing);
    int anVersions[3] = {0, 0, 0};
    GTIFDirectoryInfo(m_pKeys.get(), anVersions, &m_nKeyCount);
    m_nVersion = static_cast<std::uint16_t>(anVersions[0]);
    m_nKeyRevision = static_cast<std::uint16_t>(anVersions[1]);
    m_nMinorRevision = static_cast<std::uint16_t>(anVersions[2]);
}

geotiff_header::~geotiff_header() = default;

// A directory that could not be read counts as one without a model type.
bool geotiff_header::modelTypeIs(int nModelType) const
{
    int nCount = 0;
    std::int16_t nValue = 0;
    if (!m_pKeys || !singleShort(m_pKeys.get(), kModelTypeKey, nCount, nValue)) {
        if (!m_pKeys || nCount == 0) {
            std::cerr << "NO Model Type defined!!!!\n";
            return false;
        }
        std::cerr << "Expected a single value with type int16 (short)!\n";
        return false;
    }
    return nValue == nModelType;
}

bool geotiff_header::readShortKey(int nKeyId, std::int16_t& nValue) const
{
    int nCount = 0;
    if (singleShort(m_pKeys.get(), nKeyId, nCount, nValue))
        return true;
    if (nCount == 0) {
        std::cerr << "KeyID=" << nKeyId << " is not valid\n";
        if (nKeyId == kProjectedCsKey)
            std::cerr << "Missing ProjectedCSTypeGeoKey (" << nKeyId << ") key!\n";
        else if (nKeyId == kLinearUnitsKey)
            std::cerr << "Missing GeogLinearUnitsGeoKey (" << nKeyId << ") key!\n";
        else if (nKeyId == kAngularUnitsKey)
            std::cerr << "Missing GeogAngularUnitsGeoKey (" << nKeyId << ") key!\n";
        return false;
    }
    std::cerr << "Expected a single value with type int16 (short)!\n";
    return false;
}

bool geotiff_header::isMercator() const
{
    std::int16_t nValue = 0;
    if (!modelTypeIs(kModelProjected) || !readShortKey(kCoordTransKey, nValue))
        return false;
    if (nValue == 7)
        return true;
    std::cerr << "NOT CT_Mercator!\n";
    return false;
}

bool geotiff_header::isGeographicMetersDegrees() const
{
    std::int16_t nValue = 0;
    if (!modelTypeIs(kModelGeographic) || !readShortKey(kLinearUnitsKey, nValue))
        return false;
    if (nValue != 9001) {
        std::cerr << "Linear units are not in Meters!\n";
        return false;
    }
    if (!readShortKey(kAngularUnitsKey, nValue))
        return false;
    if (nValue != 9102) {
        std::cerr << "Angular units are not in Degrees!\n";
        return false;
    }
    return true;
}

bool geotiff_header::isWebMercator() const
{
    std::int16_t nValue = 0;
    return modelTypeIs(kModelProjected) && readShortKey(kProjectedCsKey, nValue) && nValue == 3857;
}

bool geotiff_header::getNad83UtmZone(std::uint32_t& nZone, std::int32_t& nHemisphere) const
{
    if (!modelTypeIs(kModelProjected)) {
        nHemisphere = -1;
        return false;
    }
    std::int16_t nValue = 0;
    if (!readShortKey(kProjectedCsKey, nValue))
        return false;
    if (nValue < 26903 || nValue > 26998) {
        std::cerr << "NOT in RANGE PCS_NAD83_UTM_zone_3N and PCS_NAD83_Missouri_West!\n";
        return false;
    }
    nZone = static_cast<std::uint32_t>(nValue - 26900);
    nHemisphere = 0;
    return true;
}

bool geotiff_header::getWgs84UtmZone(std::uint32_t& nZone, std::int32_t& nHemisphere) const
{
    if (!modelTypeIs(kModelProjected)) {
        nHemisphere = -1;
        return false;
    }
    std::int16_t nValue = 0;
    if (!readShortKey(kProjectedCsKey, nValue))
        return false;
    if (nValue >= 32601 && nValue <= 32660) {
        nZone = static_cast<std::uint32_t>(nValue - 32600);
        nHemisphere = 0;
        return true;
    }
    if (nValue >= 32701 && nValue <= 32760) {
        nZone = static_cast<std::uint32_t>(nValue - 32700);
        nHemisphere = 1;
        return true;
    }
    return false;
}

bool geotiff_header::getUtmProjectionZone(std::uint32_t& nZone, std::int32_t& nHemisphere) const
{
    if (!modelTypeIs(kModelProjected)) {
        nHemisphere = -1;
        return false;
    }
    std::int16_t nValue = 0;
    if (!readShortKey(kProjectionKey, nValue))
        return false;
    if (nValue >= 16001 && nValue <= 16060) {
        nZone = static_cast<std::uint32_t>(nValue - 16000);
        nHemisphere = 0;
        return true;
    }
    if (nValue >= 16101 && nValue <= 16160) {
        nZone = static_cast<std::uint32_t>(nValue - 16100);
        nHemisphere = 1;
        return true;
    }
    return false;
}
