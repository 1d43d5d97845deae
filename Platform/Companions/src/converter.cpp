// The grid converter stand-in: builds, from the tiles a remote station received into
// "<grid>/Process", the terrain the display opens and the viewer stand-in draws.
//
// Command line: <grid folder> <terrain folder> [options...] (Windows paths, mapped through
// CORV_WINROOT). Every poll (CORV_CONVERTER_POLL_MS, 500) each new or changed GeoTIFF tile of
// the process folder is copied to "<terrain>/zMedian/1/<column>/<row>.tiff", named by its place,
// so a newer tile of a place replaces the older one; a file that is no float GeoTIFF is skipped.
// Then "<grid>/standin_survey.json" (extents and height range for the viewer stand-in) and, once
// a tile is in place, "<terrain>/surveyinfo.json" are written. The converter ends once nothing
// changed for CORV_CONVERTER_IDLE_MS (20000), or when it is signalled.
#include "companion_record.h"

#include "platform/paths.h"
#include "scene.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <utility>
#include <vector>

namespace {

int envMs(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

bool writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

class Converter {
public:
    Converter(QString grid, QString terrain) : m_grid(std::move(grid)), m_terrain(std::move(terrain)) {}

    // Converts what changed; true when anything did.
    bool poll()
    {
        struct Source {
            QString path;
            qint64 modified;
            qint64 size;
            qint64 number; // the receiver's counter, for tiles of one time stamp
        };
        std::vector<Source> changed;
        const QFileInfoList files = QDir(m_grid + QStringLiteral("/Process"))
                                        .entryInfoList({QStringLiteral("*.tiff")}, QDir::Files | QDir::NoSymLinks);
        for (const QFileInfo& info : files) {
            const std::pair<qint64, qint64> stamp{info.lastModified().toMSecsSinceEpoch(), info.size()};
            auto seen = m_seen.find(info.absoluteFilePath());
            if (seen != m_seen.end() && seen->second == stamp)
                continue;
            m_seen[info.absoluteFilePath()] = stamp;
            changed.push_back({info.absoluteFilePath(), stamp.first, stamp.second, info.completeBaseName().toLongLong()});
        }
        // Older first: the newest tile of a place is the one that stays.
        std::sort(changed.begin(), changed.end(), [](const Source& a, const Source& b) {
            return a.modified != b.modified ? a.modified < b.modified : a.number < b.number;
        });
        bool placed = false;
        for (const Source& source : changed)
            placed = place(source.path) || placed;
        if (placed)
            writeSurveyFiles();
        return !changed.empty();
    }

private:
    QString m_grid;
    QString m_terrain;
    std::map<QString, std::pair<qint64, qint64>> m_seen; // tile -> (modified, size) converted
    struct Extent {
        double minX, minY, maxX, maxY;
        float zMin, zMax;
    };
    std::map<std::pair<long long, long long>, Extent> m_places;

    bool place(const QString& path)
    {
        const std::optional<orlex_standin::ElevationTile> tile = orlex_standin::readElevationTile(QFile::encodeName(path).toStdString());
        if (!tile) {
            std::fprintf(stderr, "Converter: %s is no elevation tile, skipped\n", qPrintable(path));
            return false;
        }
        const orlex_standin::RasterInfo& e = tile->extents;
        const double width = e.maxX - e.minX, height = e.maxY - e.minY;
        if (!(width > 0) || !(height > 0) || !std::isfinite(e.minX) || !std::isfinite(e.minY))
            return false;
        const double column = std::floor(e.minX / width + 0.5), row = std::floor(e.minY / height + 0.5);
        if (std::fabs(column) > 1e9 || std::fabs(row) > 1e9)
            return false;
        const auto key = std::make_pair(static_cast<long long>(column), static_cast<long long>(row));
        const QString target = QStringLiteral("%1/zMedian/1/%2/%3.tiff").arg(m_terrain).arg(key.first).arg(key.second);
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile source(path);
        if (!source.open(QIODevice::ReadOnly) || !writeWhole(target, source.readAll())) {
            std::fprintf(stderr, "Converter: cannot write %s\n", qPrintable(target));
            return false;
        }
        Extent extent{e.minX, e.minY, e.maxX, e.maxY, std::numeric_limits<float>::max(), std::numeric_limits<float>::lowest()};
        for (const float z : tile->heights)
            if (std::isfinite(z))
                extent.zMin = std::min(extent.zMin, z), extent.zMax = std::max(extent.zMax, z);
        m_places[key] = extent;
        return true;
    }

    void writeSurveyFiles()
    {
        double minX = std::numeric_limits<double>::max(), minY = minX;
        double maxX = std::numeric_limits<double>::lowest(), maxY = maxX;
        float zMin = std::numeric_limits<float>::max(), zMax = std::numeric_limits<float>::lowest();
        for (const auto& [key, e] : m_places) {
            minX = std::min(minX, e.minX), minY = std::min(minY, e.minY);
            maxX = std::max(maxX, e.maxX), maxY = std::max(maxY, e.maxY);
            zMin = std::min(zMin, e.zMin), zMax = std::max(zMax, e.zMax);
        }
        if (zMin > zMax)
            zMin = zMax = 0;
        const QJsonObject values{{QStringLiteral("minX"), minX},
                                 {QStringLiteral("minY"), minY},
                                 {QStringLiteral("maxX"), maxX},
                                 {QStringLiteral("maxY"), maxY},
                                 {QStringLiteral("zMin"), zMin},
                                 {QStringLiteral("zMax"), zMax},
                                 {QStringLiteral("terrainNames"), QJsonArray{QStringLiteral("zMedian")}},
                                 {QStringLiteral("propertyNames"), QJsonArray{QStringLiteral("Height")}}};
        if (!writeWhole(m_grid + QStringLiteral("/standin_survey.json"), QJsonDocument(values).toJson()))
            std::fprintf(stderr, "Converter: cannot write the survey values in %s\n", qPrintable(m_grid));
        QJsonObject info = values;
        info.insert(QStringLiteral("tiles"), static_cast<int>(m_places.size()));
        info.insert(QStringLiteral("updated"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
        if (!writeWhole(m_terrain + QStringLiteral("/surveyinfo.json"), QJsonDocument(info).toJson()))
            std::fprintf(stderr, "Converter: cannot write %s/surveyinfo.json\n", qPrintable(m_terrain));
    }
};

} // namespace

int main(int argc, char* argv[])
{
    companion::record(argc, argv);
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "Usage: %s <grid folder> <terrain folder> [options]\n", argv[0]);
        return 2;
    }
    auto local = [](const char* windowsPath) {
        return QDir::cleanPath(platform::toNativePath(QString::fromLocal8Bit(windowsPath)));
    };
    Converter converter(local(argv[1]), local(argv[2]));
    const int idleMs = envMs("CORV_CONVERTER_IDLE_MS", 20000);
    QElapsedTimer idle;
    idle.start();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (converter.poll())
            idle.restart();
        else if (idle.elapsed() >= idleMs)
            app.quit();
    });
    timer.start(envMs("CORV_CONVERTER_POLL_MS", 500));
    converter.poll();
    return app.exec();
}
