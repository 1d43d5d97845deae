// The synthetic survey: a smooth seabed, a block of survey lines in one UTM zone, and vessels
// running those lines; positions and swaths in projected metres and in WGS 84 degrees.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace livefeed {

struct SurveyOptions {
    int zone = 31;
    bool south = false;
    double centreEast = 500000;    // metres
    double centreNorth = 6700000;  // metres
    double width = 1200;           // east-west extent of the line block, metres
    double height = 1000;          // north-south extent, metres
    double lineSpacing = 60;       // metres
    double speed = 4;              // metres per second
    int vessels = 1;               // 1 to 5
};

struct VesselPose {
    double east = 0, north = 0;  // metres
    double heading = 0;          // degrees clockwise from north
    double speed = 0;            // metres per second
};

struct SwathPoint {
    double east = 0, north = 0;  // metres
    double depth = 0;            // metres, positive down
};

// Forward and inverse UTM through PROJ; one object per thread.
class UtmProjection {
public:
    UtmProjection(int zone, bool south);
    ~UtmProjection();
    UtmProjection(const UtmProjection&) = delete;
    UtmProjection& operator=(const UtmProjection&) = delete;

    bool valid() const;
    // Projected metres to latitude and longitude in degrees; false when PROJ fails.
    bool toGeographic(double east, double north, double& latitude, double& longitude) const;
    bool toProjected(double latitude, double longitude, double& east, double& north) const;
    // The PROJ string of the display's projection file (centimetres).
    std::string displayDefinition() const;

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    int m_zone;
    bool m_south;
};

class Survey {
public:
    explicit Survey(SurveyOptions options);

    const SurveyOptions& options() const { return m_options; }

    // Seabed depth in metres (positive down) at a projected point.
    double depthAt(double east, double north) const;

    // Where vessel n (0-based) is after t seconds; the first starts in the middle of the block,
    // the others spread along the path.
    VesselPose pose(int vessel, double seconds) const;
    // The planned line vessel n runs after t seconds, or -1 while it turns between lines.
    int lineOf(int vessel, double seconds) const;

    // The planned lines, each as two end points (east, north).
    struct Line {
        double east0, north0, east1, north1;
    };
    const std::vector<Line>& lines() const { return m_lines; }

    // Soundings across track under the vessel, port to starboard.
    std::vector<SwathPoint> swath(const VesselPose& pose, int count) const;

    // The extent of the line block plus a margin for the swaths.
    void extent(double& minEast, double& minNorth, double& maxEast, double& maxNorth) const;

private:
    SurveyOptions m_options;
    std::vector<Line> m_lines;
    std::vector<double> m_legStart; // path length where each leg starts
    double m_pathLength = 0;
    double m_startOffset = 0; // path length where the first vessel starts

    // The leg (line 2n, turn after it 2n + 1) and the path length reached.
    std::size_t legAt(int vessel, double seconds, double& along) const;
};

} // namespace livefeed
