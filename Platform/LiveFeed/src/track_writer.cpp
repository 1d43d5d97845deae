#include "track_writer.h"

#include <QDir>
#include <QSaveFile>
#include <QtEndian>

#include <cmath>

namespace livefeed {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::int32_t centimetres(double metres)
{
    return static_cast<std::int32_t>(std::llround(metres * 100.0));
}

void put32(QByteArray& bytes, std::int32_t value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

void put64(QByteArray& bytes, std::int64_t value)
{
    char raw[8];
    qToLittleEndian(value, raw);
    bytes.append(raw, 8);
}

} // namespace

void TrackWriter::add(const QString& track, const VesselPose& pose, std::int64_t timeMs)
{
    Track& t = m_tracks[track];
    const Point point{timeMs, centimetres(pose.north), centimetres(pose.east)};
    if (!t.points.empty()) {
        const Point& last = t.points.back();
        if (std::hypot(double(point.northCm) - last.northCm, double(point.eastCm) - last.eastCm) < 100.0)
            return;
    }
    t.points.push_back(point);
    t.headingX += std::sin(pose.heading * kPi / 180.0);
    t.headingY += std::cos(pose.heading * kPi / 180.0);
    t.speedSum += pose.speed;
    t.dirty = true;
}

QByteArray TrackWriter::encode(const std::vector<Point>& points, double averageHeading, double averageSpeed)
{
    QByteArray bytes;
    bytes.reserve(16 + 16 * static_cast<int>(points.size()));
    put64(bytes, points.empty() ? 0 : points.front().timeMs);
    put32(bytes, static_cast<std::int32_t>(std::lround(averageHeading)));
    put32(bytes, centimetres(averageSpeed));
    for (const Point& p : points) {
        put64(bytes, p.timeMs);
        put32(bytes, p.northCm);
        put32(bytes, p.eastCm);
    }
    return bytes;
}

QStringList TrackWriter::flush(QString* error)
{
    QStringList written;
    for (auto& [name, track] : m_tracks) {
        if (!track.dirty)
            continue;
        double heading = std::atan2(track.headingX, track.headingY) * 180.0 / kPi;
        if (heading < 0)
            heading += 360.0;
        const QByteArray bytes = encode(track.points, heading, track.speedSum / double(track.points.size()));
        bool ok = true;
        for (const QString& folder : m_folders) {
            const QString tracks = folder + QStringLiteral("/tracks");
            const QString path = tracks + QLatin1Char('/') + name + QStringLiteral(".shipstrack");
            QSaveFile file(path);
            if (!QDir().mkpath(tracks) || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
                || !file.commit()) {
                if (error)
                    *error = QStringLiteral("Cannot write %1").arg(path);
                ok = false;
                continue;
            }
            written << path;
        }
        track.dirty = !ok;
    }
    return written;
}

} // namespace livefeed
