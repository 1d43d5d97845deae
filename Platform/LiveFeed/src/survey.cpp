#include "survey.h"

#include <proj.h>

#include <algorithm>
#include <cmath>

namespace livefeed {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct ContextDeleter {
    void operator()(PJ_CONTEXT* c) const { proj_context_destroy(c); }
};
struct PjDeleter {
    void operator()(PJ* p) const { proj_destroy(p); }
};

} // namespace

struct UtmProjection::Handles {
    std::unique_ptr<PJ_CONTEXT, ContextDeleter> context{proj_context_create()};
    std::unique_ptr<PJ, PjDeleter> transform;
};

UtmProjection::UtmProjection(int zone, bool south)
    : m_handles(std::make_unique<Handles>()), m_zone(zone), m_south(south)
{
    if (!m_handles->context)
        return;
    proj_log_level(m_handles->context.get(), PJ_LOG_NONE);
    const std::string definition = "+proj=pipeline +step +proj=unitconvert +xy_in=deg +xy_out=rad +step +proj=utm +zone="
                                   + std::to_string(zone) + (south ? " +south" : "") + " +ellps=WGS84";
    m_handles->transform.reset(proj_create(m_handles->context.get(), definition.c_str()));
}

UtmProjection::~UtmProjection() = default;

bool UtmProjection::valid() const
{
    return m_handles->transform != nullptr;
}

bool UtmProjection::toGeographic(double east, double north, double& latitude, double& longitude) const
{
    if (!valid())
        return false;
    PJ_COORD c = proj_coord(east, north, 0, 0);
    c = proj_trans(m_handles->transform.get(), PJ_INV, c);
    if (!std::isfinite(c.v[0]) || !std::isfinite(c.v[1]) || c.v[0] == HUGE_VAL)
        return false;
    longitude = c.v[0];
    latitude = c.v[1];
    return true;
}

bool UtmProjection::toProjected(double latitude, double longitude, double& east, double& north) const
{
    if (!valid())
        return false;
    PJ_COORD c = proj_coord(longitude, latitude, 0, 0);
    c = proj_trans(m_handles->transform.get(), PJ_FWD, c);
    if (!std::isfinite(c.v[0]) || !std::isfinite(c.v[1]) || c.v[0] == HUGE_VAL)
        return false;
    east = c.v[0];
    north = c.v[1];
    return true;
}

std::string UtmProjection::displayDefinition() const
{
    return "+proj=utm +zone=" + std::to_string(m_zone) + (m_south ? " +south" : "") + " +ellps=WGS84 +units=cm";
}

Survey::Survey(SurveyOptions options)
    : m_options(std::move(options))
{
    m_options.vessels = std::clamp(m_options.vessels, 1, 5);
    m_options.lineSpacing = std::max(1.0, m_options.lineSpacing);
    m_options.speed = std::max(0.1, m_options.speed);
    // North-south lines run alternately up and down the block; the way back closes the loop.
    const double west = m_options.centreEast - m_options.width / 2;
    const double south = m_options.centreNorth - m_options.height / 2;
    const double north = m_options.centreNorth + m_options.height / 2;
    const int count = std::max(1, static_cast<int>(std::floor(m_options.width / m_options.lineSpacing)) + 1);
    for (int n = 0; n < count; ++n) {
        const double east = west + n * m_options.lineSpacing;
        if (n % 2 == 0)
            m_lines.push_back({east, south, east, north});
        else
            m_lines.push_back({east, north, east, south});
    }
    // Legs: each line, then the turn to the next line's start.
    double length = 0;
    for (std::size_t n = 0; n < m_lines.size(); ++n) {
        const Line& line = m_lines[n];
        const Line& next = m_lines[(n + 1) % m_lines.size()];
        m_legStart.push_back(length);
        length += std::hypot(line.east1 - line.east0, line.north1 - line.north0);
        m_legStart.push_back(length);
        length += std::max(1.0, std::hypot(next.east0 - line.east1, next.north0 - line.north1));
    }
    m_pathLength = length;
    // The first vessel starts in the middle of the middle line, where a view of the survey looks.
    const std::size_t middle = m_lines.size() / 2;
    const Line& line = m_lines[middle];
    m_startOffset = m_legStart[2 * middle] + std::hypot(line.east1 - line.east0, line.north1 - line.north0) / 2;
}

double Survey::depthAt(double east, double north) const
{
    const double x = east - m_options.centreEast;
    const double y = north - m_options.centreNorth;
    return 40.0 + 10.0 * std::sin(x / 260.0) * std::cos(y / 210.0) + 6.0 * (x / std::max(1.0, m_options.width))
           + 3.0 * std::sin((x + y) / 90.0);
}

std::size_t Survey::legAt(int vessel, double seconds, double& along) const
{
    const int vessels = m_options.vessels;
    const int n = vessel % vessels;
    const double offset = n == 0 ? m_startOffset : m_pathLength * n / vessels;
    along = std::fmod(m_options.speed * std::max(0.0, seconds) + offset, m_pathLength);
    return static_cast<std::size_t>(std::upper_bound(m_legStart.begin(), m_legStart.end(), along) - m_legStart.begin() - 1);
}

int Survey::lineOf(int vessel, double seconds) const
{
    double along = 0;
    const std::size_t leg = legAt(vessel, seconds, along);
    return leg % 2 == 0 ? static_cast<int>(leg / 2) : -1;
}

VesselPose Survey::pose(int vessel, double seconds) const
{
    double s = 0;
    const std::size_t leg = legAt(vessel, seconds, s);
    const Line& line = m_lines[leg / 2];
    double x0, y0, x1, y1;
    if (leg % 2 == 0) {
        x0 = line.east0, y0 = line.north0, x1 = line.east1, y1 = line.north1;
    } else {
        const Line& next = m_lines[(leg / 2 + 1) % m_lines.size()];
        x0 = line.east1, y0 = line.north1, x1 = next.east0, y1 = next.north0;
    }
    const double legLength = std::max(1e-9, std::hypot(x1 - x0, y1 - y0));
    const double t = std::clamp((s - m_legStart[leg]) / legLength, 0.0, 1.0);
    VesselPose pose;
    pose.east = x0 + (x1 - x0) * t;
    pose.north = y0 + (y1 - y0) * t;
    double heading = std::atan2(x1 - x0, y1 - y0) * 180.0 / kPi;
    if (heading < 0)
        heading += 360.0;
    pose.heading = heading;
    pose.speed = m_options.speed;
    return pose;
}

std::vector<SwathPoint> Survey::swath(const VesselPose& pose, int count) const
{
    std::vector<SwathPoint> points;
    if (count <= 0)
        return points;
    points.reserve(static_cast<std::size_t>(count));
    const double nadir = depthAt(pose.east, pose.north);
    const double halfWidth = std::min(2.0 * nadir, m_options.lineSpacing * 0.75);
    const double h = pose.heading * kPi / 180.0;
    // Starboard is the heading turned 90 degrees clockwise.
    const double sx = std::cos(h), sy = -std::sin(h);
    for (int n = 0; n < count; ++n) {
        const double across = count == 1 ? 0.0 : -halfWidth + 2.0 * halfWidth * n / (count - 1);
        SwathPoint p;
        p.east = pose.east + sx * across;
        p.north = pose.north + sy * across;
        p.depth = depthAt(p.east, p.north);
        points.push_back(p);
    }
    return points;
}

void Survey::extent(double& minEast, double& minNorth, double& maxEast, double& maxNorth) const
{
    const double margin = m_options.lineSpacing;
    minEast = m_options.centreEast - m_options.width / 2 - margin;
    maxEast = m_options.centreEast + m_options.width / 2 + margin;
    minNorth = m_options.centreNorth - m_options.height / 2 - margin;
    maxNorth = m_options.centreNorth + m_options.height / 2 + margin;
}

} // namespace livefeed
