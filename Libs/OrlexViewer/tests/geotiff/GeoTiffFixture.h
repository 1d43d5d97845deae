// Small GeoTIFF files written by the tests: a 4 x 4 RGBA image with the keys a case asks for, or
// an image of the caller's pixels.
#pragma once

#include <geotiff/geotiff.h>
#include <geotiff/xtiffio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace geotifftest {

struct Key
{
    enum Kind { Short, Double };
    int nId = 0;
    int nValue = 0;
    Kind kind = Short;
};

constexpr int kModelType = 1024;
constexpr int kLinearUnits = 2052;
constexpr int kAngularUnits = 2054;
constexpr int kProjectedCs = 3072;
constexpr int kProjection = 3074;
constexpr int kCoordTrans = 3075;

inline std::vector<Key> projected(int nKeyId, int nValue)
{
    return {{kModelType, 1}, {nKeyId, nValue}};
}

// Key directories written as they stand, for what libgeotiff's writer will not produce.
inline std::vector<std::uint16_t> brokenDirectory()
{
    return {9, 1, 0, 1, kModelType, 0, 1, 1}; // a version nobody knows
}
inline std::vector<std::uint16_t> twoShortsDirectory(std::uint16_t nModel, std::uint16_t nKeyId, std::uint16_t nValue)
{
    // Two keys; the second key's two values follow the entries inside the directory itself.
    return {1, 1, 0, 2, kModelType, 0, 1, nModel, nKeyId, 34735, 2, 12, nValue, nValue};
}

// Writes a width x height RGBA image, pixel (x, y) counted from the top left as rgbaAt gives it
// (R in the lowest byte), with the keys, or with rawDirectory as the key directory when it is
// given. Tie point (0, 0) at (dOriginX, dOriginY), pixel size dPixel.
inline bool writeGeoTiffImage(const std::string& strPath, const std::vector<Key>& keys, std::uint32_t nWidth,
                              std::uint32_t nHeight, const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& rgbaAt,
                              const std::vector<std::uint16_t>& rawDirectory = {}, double dOriginX = 500000.0,
                              double dOriginY = 6000400.0, double dPixel = 100.0)
{
    std::unique_ptr<TIFF, void (*)(TIFF*)> pTiff(XTIFFOpen(strPath.c_str(), "w"), XTIFFClose);
    if (!pTiff)
        return false;
    TIFF* tif = pTiff.get();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, nWidth);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, nHeight);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
    const std::uint16_t nExtra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &nExtra);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, nHeight);
    double adTie[6] = {0, 0, 0, dOriginX, dOriginY, 0};
    double adScale[3] = {dPixel, dPixel, 0};
    TIFFSetField(tif, TIFFTAG_GEOTIEPOINTS, 6, adTie);
    TIFFSetField(tif, TIFFTAG_GEOPIXELSCALE, 3, adScale);
    if (!rawDirectory.empty()) {
        TIFFSetField(tif, TIFFTAG_GEOKEYDIRECTORY, static_cast<int>(rawDirectory.size()), rawDirectory.data());
    } else if (!keys.empty()) {
        std::unique_ptr<GTIF, void (*)(GTIF*)> pKeys(GTIFNew(tif), GTIFFree);
        if (!pKeys)
            return false;
        for (const Key& key : keys) {
            const auto id = static_cast<geokey_t>(key.nId);
            if (key.kind == Key::Short) {
                GTIFKeySet(pKeys.get(), id, TYPE_SHORT, 1, key.nValue);
            } else {
                GTIFKeySet(pKeys.get(), id, TYPE_DOUBLE, 1, static_cast<double>(key.nValue));
            }
        }
        GTIFWriteKeys(pKeys.get());
    }
    std::vector<std::uint8_t> line(static_cast<std::size_t>(nWidth) * 4);
    for (std::uint32_t nRow = 0; nRow < nHeight; ++nRow) {
        for (std::uint32_t nCol = 0; nCol < nWidth; ++nCol) {
            const std::uint32_t nRgba = rgbaAt(nCol, nRow);
            for (int nByte = 0; nByte < 4; ++nByte)
                line[nCol * 4 + nByte] = static_cast<std::uint8_t>(nRgba >> (8 * nByte));
        }
        if (TIFFWriteScanline(tif, line.data(), nRow, 0) < 0)
            return false;
    }
    return true;
}

// The 4 x 4 image: rows top to bottom red, green, blue, white.
inline bool writeGeoTiff(const std::string& strPath, const std::vector<Key>& keys, const std::vector<std::uint16_t>& rawDirectory = {},
                         double dOriginX = 500000.0, double dOriginY = 6000400.0, double dPixel = 100.0)
{
    const std::uint32_t aRows[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
    return writeGeoTiffImage(strPath, keys, 4, 4, [&](std::uint32_t, std::uint32_t nRow) { return aRows[nRow]; }, rawDirectory,
                             dOriginX, dOriginY, dPixel);
}

} // namespace geotifftest
