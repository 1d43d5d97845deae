// The ship tracks of a survey as the track loader reads them and the survey grid draws them.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <vector>

struct TrackRecord
{
    // The track file's name without folder and suffix, Latin-1, at most 511 bytes.
    QByteArray name;
    // The first point, metres.
    double originNorth = 0;
    double originEast = 0;
    // Three floats per point: east and north relative to the origin (metres), 0.
    std::vector<float> points;
    std::vector<float> secondaryPoints;
    std::vector<std::int32_t> indices;
    std::vector<std::int32_t> segmentIndices;
    float lineColour[3] = {0, 0, 0};
    float secondColour[3] = {0, 0, 0};
    std::int32_t averageHeading = 0;
    // Hundredths.
    std::int32_t averageSpeed = 0;

    int pointCount() const { return static_cast<int>(points.size() / 3); }
    int secondaryPointCount() const { return static_cast<int>(secondaryPoints.size() / 3); }
};

using TrackSet = std::vector<TrackRecord>;
