// GeoTIFF extents through libgeotiff's TIFF opener, which knows the GeoTIFF tags.
#include "scene.h"

#include "platform/paths.h"

#include <QFile>

#include <xtiffio.h>

#include <memory>

namespace orlex_standin {

std::optional<RasterInfo> readRasterInfo(const std::string& fileName)
{
    const QByteArray path = QFile::encodeName(platform::toNativePath(QString::fromStdString(fileName)));
    if (path.isEmpty() || !QFile::exists(QString::fromLocal8Bit(path)))
        return std::nullopt;
    TIFFSetWarningHandler(nullptr);
    TIFFSetErrorHandler(nullptr);
    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(XTIFFOpen(path.constData(), "r"), XTIFFClose);
    if (!tif)
        return std::nullopt;
    std::uint32_t width = 0, height = 0;
    std::uint16_t tieCount = 0, scaleCount = 0;
    double* tie = nullptr;
    double* scale = nullptr;
    if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height)
        || !TIFFGetField(tif.get(), TIFFTAG_GEOTIEPOINTS, &tieCount, &tie) || tieCount < 6
        || !TIFFGetField(tif.get(), TIFFTAG_GEOPIXELSCALE, &scaleCount, &scale) || scaleCount < 2)
        return std::nullopt;
    RasterInfo info;
    info.minX = tie[3] - tie[0] * scale[0];
    info.maxY = tie[4] + tie[1] * scale[1];
    info.maxX = info.minX + width * scale[0];
    info.minY = info.maxY - height * scale[1];
    return info;
}

} // namespace orlex_standin
