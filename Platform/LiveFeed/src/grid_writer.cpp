#include "grid_writer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <geotiff.h>
#include <geovalues.h>
#include <xtiffio.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace livefeed {

namespace {

struct TiffCloser {
    void operator()(TIFF* t) const { XTIFFClose(t); }
};
struct GtifFreer {
    void operator()(GTIF* g) const { GTIFFree(g); }
};

} // namespace

GridWriter::GridWriter(QString folder, const Survey& survey, const UtmProjection& projection, double cellSize,
                       int tileCells)
    : m_folder(std::move(folder)), m_survey(survey), m_projection(projection), m_cellSize(cellSize),
      m_tileCells(tileCells)
{
    double maxEast = 0, maxNorth = 0;
    m_survey.extent(m_originEast, m_originNorth, maxEast, maxNorth);
    m_originEast = std::floor(m_originEast / m_cellSize) * m_cellSize;
    m_originNorth = std::floor(m_originNorth / m_cellSize) * m_cellSize;
}

QString GridWriter::projectionFile() const
{
    return m_folder + QStringLiteral("/qel_projv6.txt");
}

QString GridWriter::gridIndexFile() const
{
    return m_folder + QStringLiteral("/GridIndex.properties");
}

QByteArray GridWriter::projectionText(const UtmProjection& projection)
{
    return QByteArrayLiteral("<QEL_Projection>\nEPSG:4326\n") + QByteArray::fromStdString(projection.displayDefinition())
           + '\n';
}

bool GridWriter::writeStatic(QString* error)
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QString zMedian = QStringLiteral("%1/Terrain/zMedian/%2").arg(m_folder).arg(kLevel);
    if (!QDir().mkpath(zMedian))
        return fail(QStringLiteral("Cannot create %1").arg(zMedian));
    auto write = [&](const QString& path, const QByteArray& bytes) {
        QSaveFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    };
    if (!write(projectionFile(), projectionText(m_projection)))
        return fail(QStringLiteral("Cannot write %1").arg(projectionFile()));

    double minEast, minNorth, maxEast, maxNorth;
    m_survey.extent(minEast, minNorth, maxEast, maxNorth);
    const QByteArray index = QStringLiteral("# Grid index of the live feed's survey\n"
                                            "level=%1\ncellSize=%2\ntileCells=%3\noriginEast=%4\noriginNorth=%5\n"
                                            "zone=%6%7\n")
                                 .arg(kLevel)
                                 .arg(m_cellSize)
                                 .arg(m_tileCells)
                                 .arg(m_originEast, 0, 'f', 2)
                                 .arg(m_originNorth, 0, 'f', 2)
                                 .arg(m_survey.options().zone)
                                 .arg(m_survey.options().south ? QLatin1Char('S') : QLatin1Char('N'))
                                 .toUtf8();
    if (!write(gridIndexFile(), index))
        return fail(QStringLiteral("Cannot write %1").arg(gridIndexFile()));

    // Depths between the shallowest and deepest the seabed function gives, as heights.
    double shallow = std::numeric_limits<double>::max(), deep = std::numeric_limits<double>::lowest();
    for (double e = minEast; e <= maxEast; e += 20)
        for (double n = minNorth; n <= maxNorth; n += 20) {
            const double d = m_survey.depthAt(e, n);
            shallow = std::min(shallow, d);
            deep = std::max(deep, d);
        }
    const QJsonObject values{{QStringLiteral("minX"), minEast},     {QStringLiteral("minY"), minNorth},
                             {QStringLiteral("maxX"), maxEast},     {QStringLiteral("maxY"), maxNorth},
                             {QStringLiteral("zMin"), -deep},       {QStringLiteral("zMax"), -shallow},
                             {QStringLiteral("terrainNames"), QJsonArray{QStringLiteral("zMedian")}},
                             {QStringLiteral("propertyNames"), QJsonArray{QStringLiteral("Height")}}};
    if (!write(m_folder + QStringLiteral("/standin_survey.json"), QJsonDocument(values).toJson()))
        return fail(QStringLiteral("Cannot write the survey values in %1").arg(m_folder));
    return true;
}

void GridWriter::add(const std::vector<SwathPoint>& points)
{
    for (const SwathPoint& p : points) {
        const double x = (p.east - m_originEast) / m_cellSize;
        const double y = (p.north - m_originNorth) / m_cellSize;
        if (!std::isfinite(x) || !std::isfinite(y) || x < 0 || y < 0 || x > 1e7 || y > 1e7)
            continue;
        const int cellX = static_cast<int>(x), cellY = static_cast<int>(y);
        const int column = cellX / m_tileCells, row = cellY / m_tileCells;
        Tile& tile = m_tiles[{column, row}];
        if (tile.heights.empty())
            tile.heights.assign(static_cast<std::size_t>(m_tileCells * m_tileCells), std::numeric_limits<float>::quiet_NaN());
        // Row 0 of the image is the tile's north edge.
        const int localX = cellX - column * m_tileCells;
        const int localY = m_tileCells - 1 - (cellY - row * m_tileCells);
        float& cell = tile.heights[static_cast<std::size_t>(localY * m_tileCells + localX)];
        if (std::isnan(cell))
            ++m_cellsFilled;
        cell = static_cast<float>(-p.depth);
        tile.dirty = true;
    }
}

QString GridWriter::tilePath(int column, int row) const
{
    return QStringLiteral("%1/Terrain/zMedian/%2/%3/%4.tiff").arg(m_folder).arg(kLevel).arg(column).arg(row);
}

QStringList GridWriter::flush(QString* error)
{
    QStringList written;
    for (auto& [key, tile] : m_tiles) {
        if (!tile.dirty)
            continue;
        const QString path = tilePath(key.first, key.second);
        if (!writeTile(path, key.first, key.second, tile, error))
            continue;
        tile.dirty = false;
        ++m_tilesWritten;
        written << path;
    }
    return written;
}

bool GridWriter::writeTile(const QString& path, int column, int row, const Tile& tile, QString* error) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Written beside the tile and renamed, so readers never see half a tile.
    const QString temporary = path + QStringLiteral(".part");
    {
        std::unique_ptr<TIFF, TiffCloser> tif(XTIFFOpen(QFile::encodeName(temporary).constData(), "w"));
        if (!tif) {
            if (error)
                *error = QStringLiteral("Cannot create %1").arg(temporary);
            return false;
        }
        const auto size = static_cast<std::uint32_t>(m_tileCells);
        TIFFSetField(tif.get(), TIFFTAG_IMAGEWIDTH, size);
        TIFFSetField(tif.get(), TIFFTAG_IMAGELENGTH, size);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif.get(), TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(tif.get(), TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(tif.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif.get(), TIFFTAG_ROWSPERSTRIP, size);
        TIFFSetField(tif.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        const double west = m_originEast + column * m_tileCells * m_cellSize;
        const double north = m_originNorth + (row + 1) * m_tileCells * m_cellSize;
        double scale[3] = {m_cellSize, m_cellSize, 0};
        double tie[6] = {0, 0, 0, west, north, 0};
        TIFFSetField(tif.get(), TIFFTAG_GEOPIXELSCALE, 3, scale);
        TIFFSetField(tif.get(), TIFFTAG_GEOTIEPOINTS, 6, tie);
        {
            std::unique_ptr<GTIF, GtifFreer> keys(GTIFNew(tif.get()));
            if (keys) {
                GTIFKeySet(keys.get(), GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
                GTIFKeySet(keys.get(), GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
                const int code = (m_survey.options().south ? 32700 : 32600) + m_survey.options().zone;
                GTIFKeySet(keys.get(), ProjectedCSTypeGeoKey, TYPE_SHORT, 1, code);
                GTIFWriteKeys(keys.get());
            }
        }
        std::vector<float> strip = tile.heights;
        if (TIFFWriteEncodedStrip(tif.get(), 0, strip.data(), static_cast<tmsize_t>(strip.size() * sizeof(float))) < 0) {
            if (error)
                *error = QStringLiteral("Cannot write %1").arg(temporary);
            return false;
        }
    }
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = QStringLiteral("Cannot move %1 into place").arg(temporary);
        return false;
    }
    return true;
}

} // namespace livefeed
