// Yes-or-no checks on the GeoTIFF key directory of an open TIFF file, for the projections the
// system can use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

typedef struct tiff TIFF;
typedef struct gtiff GTIF;

class geotiff_header
{
public:
    // Reads the key directory of pTiff (not owned; may be null). Problems with the keys are
    // reported on the standard error stream by the checks, which then answer false.
    explicit geotiff_header(TIFF* pTiff);
    virtual ~geotiff_header();
    geotiff_header(const geotiff_header&) = delete;
    geotiff_header& operator=(const geotiff_header&) = delete;

    bool isMercator() const;
    bool isGeographicMetersDegrees() const;
    bool isWebMercator() const;
    // Hemisphere 0 north, 1 south, -1 when the image is not projected or has no model type.
    bool getNad83UtmZone(std::uint32_t& nZone, std::int32_t& nHemisphere) const;
    bool getWgs84UtmZone(std::uint32_t& nZone, std::int32_t& nHemisphere) const;
    bool getUtmProjectionZone(std::uint32_t& nZone, std::int32_t& nHemisphere) const;

    bool hasKeys() const { return m_pKeys != nullptr; }
    int keyCount() const { return m_nKeyCount; }
    // The key directory as libgeotiff lists it, for a debug log; empty without keys.
    const std::string& keyListing() const { return m_strKeyListing; }

private:
    struct KeysDeleter
    {
        void operator()(GTIF* pKeys) const;
    };

    bool modelTypeIs(int nModelType) const;
    bool readShortKey(int nKeyId, std::int16_t& nValue) const;

    TIFF* m_pTiff = nullptr;
    std::unique_ptr<GTIF, KeysDeleter> m_pKeys;
    std::uint16_t m_nVersion = 0;
    std::uint16_t m_nKeyRevision = 0;
    std::uint16_t m_nMinorRevision = 0;
    int m_nKeyCount = 0;
    std::string m_strKeyListing;
};
