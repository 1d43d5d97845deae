// GeoTIFF extents and pixels through libgeotiff's TIFF opener, which knows the GeoTIFF tags.
#include "scene.h"

#include "platform/paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <xtiffio.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace orlex_standin {

namespace {

struct TiffCloser {
    void operator()(TIFF* tif) const { XTIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;

TiffHandle openTiff(const QString& localPath)
{
    const QByteArray path = QFile::encodeName(localPath);
    if (path.isEmpty() || !QFile::exists(localPath))
        return TiffHandle();
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    return TiffHandle(XTIFFOpen(path.constData(), "r"));
}

std::optional<RasterInfo> extentsOf(TIFF* tif, std::uint32_t& width, std::uint32_t& height)
{
    std::uint16_t tieCount = 0, scaleCount = 0;
    double* tie = nullptr;
    double* scale = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height)
        || !TIFFGetField(tif, TIFFTAG_GEOTIEPOINTS, &tieCount, &tie) || tieCount < 6
        || !TIFFGetField(tif, TIFFTAG_GEOPIXELSCALE, &scaleCount, &scale) || scaleCount < 2)
        return std::nullopt;
    RasterInfo info;
    info.minX = tie[3] - tie[0] * scale[0];
    info.maxY = tie[4] + tie[1] * scale[1];
    info.maxX = info.minX + width * scale[0];
    info.minY = info.maxY - height * scale[1];
    return info;
}

} // namespace

std::optional<RasterInfo> readRasterInfo(const std::string& fileName)
{
    TiffHandle tif = openTiff(platform::toNativePath(QString::fromStdString(fileName)));
    if (!tif)
        return std::nullopt;
    std::uint32_t width = 0, height = 0;
    return extentsOf(tif.get(), width, height);
}

std::optional<RasterImage> readRasterImage(const std::string& fileName)
{
    TiffHandle tif = openTiff(platform::toNativePath(QString::fromStdString(fileName)));
    if (!tif)
        return std::nullopt;
    RasterImage image;
    const std::optional<RasterInfo> extents = extentsOf(tif.get(), image.width, image.height);
    if (!extents || image.width == 0 || image.height == 0
        || static_cast<std::uint64_t>(image.width) * image.height > kMaxPixels)
        return std::nullopt;
    image.extents = *extents;
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    std::uint16_t format = SAMPLEFORMAT_UINT;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &format);
    if (format != SAMPLEFORMAT_IEEEFP) {
        if (!TIFFReadRGBAImageOriented(tif.get(), image.width, image.height, image.pixels.data(), ORIENTATION_TOPLEFT, 0))
            return std::nullopt;
        return image;
    }
    // Single-band floats (elevations): grey from the lowest to the highest value.
    const std::optional<ElevationTile> heights = readElevationTile(platform::toNativePath(QString::fromStdString(fileName)).toStdString());
    if (!heights)
        return std::nullopt;
    float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
    for (float v : heights->heights)
        if (std::isfinite(v))
            lo = std::min(lo, v), hi = std::max(hi, v);
    for (std::size_t n = 0; n < image.pixels.size(); ++n) {
        const float v = heights->heights[n];
        if (!std::isfinite(v)) {
            image.pixels[n] = 0;
            continue;
        }
        const auto g = static_cast<std::uint32_t>(hi > lo ? 255.0f * (v - lo) / (hi - lo) : 128.0f);
        image.pixels[n] = 0xFF000000u | g << 16 | g << 8 | g;
    }
    return image;
}

std::optional<ElevationTile> readElevationTile(const std::string& localPath)
{
    TiffHandle tif = openTiff(QString::fromStdString(localPath));
    if (!tif)
        return std::nullopt;
    ElevationTile tile;
    const std::optional<RasterInfo> extents = extentsOf(tif.get(), tile.width, tile.height);
    std::uint16_t format = 0, bits = 0, samples = 1, planar = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_PLANARCONFIG, &planar);
    if (!extents || format != SAMPLEFORMAT_IEEEFP || bits != 32 || samples != 1 || TIFFIsTiled(tif.get())
        || tile.width == 0 || tile.height == 0 || static_cast<std::uint64_t>(tile.width) * tile.height > kMaxPixels
        || static_cast<std::uint64_t>(TIFFScanlineSize64(tif.get())) != tile.width * 4ull)
        return std::nullopt;
    tile.extents = *extents;
    tile.heights.resize(static_cast<std::size_t>(tile.width) * tile.height);
    for (std::uint32_t row = 0; row < tile.height; ++row)
        if (TIFFReadScanline(tif.get(), tile.heights.data() + static_cast<std::size_t>(row) * tile.width, row, 0) < 0)
            return std::nullopt;
    return tile;
}

std::vector<std::string> terrainTiles(const std::string& terrainPath)
{
    std::vector<std::string> tiles;
    const QString root = platform::toNativePath(QString::fromStdString(terrainPath));
    if (root.isEmpty())
        return tiles;
    const QDir zMedian(root + QStringLiteral("/zMedian"));
    if (!zMedian.exists())
        return tiles;
    // The finest level is the highest number among the level folders.
    int finest = -1;
    QString finestName;
    for (const QString& name : zMedian.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const int level = name.toInt(&ok);
        if (ok && level > finest)
            finest = level, finestName = name;
    }
    if (finest < 0)
        return tiles;
    QDirIterator it(zMedian.filePath(finestName), {QStringLiteral("*.tiff")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        tiles.push_back(QFile::encodeName(it.next()).toStdString());
    std::sort(tiles.begin(), tiles.end());
    return tiles;
}

} // namespace orlex_standin
