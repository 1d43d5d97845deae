// The survey's ship-track files as the processing side writes them: one file per vessel and
// survey line in the "tracks" folder of each survey folder given, grown as the vessel runs.
#pragma once

#include "survey.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <vector>

namespace livefeed {

class TrackWriter {
public:
    // 'folders': local paths of the survey folders that get the tracks.
    explicit TrackWriter(QStringList folders) : m_folders(std::move(folders)) {}

    // A vessel's position on a track; points closer than a metre to the last one are skipped.
    void add(const QString& track, const VesselPose& pose, std::int64_t timeMs);

    // Rewrites every track changed since the last call (whole, replacing the old file); the
    // local paths written.
    QStringList flush(QString* error = nullptr);

    // A track file's bytes: a 16-byte header (time of the first point, average heading in
    // degrees, average speed in hundredths of m/s) and per point its time, north and east in
    // projected centimetres (little-endian).
    struct Point {
        std::int64_t timeMs;
        std::int32_t northCm, eastCm;
    };
    static QByteArray encode(const std::vector<Point>& points, double averageHeading, double averageSpeed);

private:
    struct Track {
        std::vector<Point> points;
        double headingX = 0, headingY = 0; // sums of the headings as unit vectors
        double speedSum = 0;
        bool dirty = false;
    };
    QStringList m_folders;
    std::map<QString, Track> m_tracks;
};

} // namespace livefeed
