// Camera orientation helpers and the viewer resource folder: no server, no controller.
#include "OrlexViewer/CameraMath.h"
#include "OrlexViewer/OrlexViewer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace O = ::Tavrin::Dremm::Orlex;

namespace {

constexpr double kPi = 3.14159265358979323846;

O::CameraStateData state(double dX, double dY, double dZ, O::RotationData orientation, double dFocal)
{
    O::CameraStateData s;
    s.Position.X = dX;
    s.Position.Y = dY;
    s.Position.Z = dZ;
    s.Orientation = orientation;
    s.FocalDistance = dFocal;
    return s;
}

O::RotationData quaternion(float x, float y, float z, float w)
{
    O::RotationData q;
    q.X = x;
    q.Y = y;
    q.Z = z;
    q.W = w;
    return q;
}

} // namespace

TEST(QuaternionFromAxisAngle, TurnsAboutTheNormalisedAxis)
{
    struct Case {
        const char* name;
        float x, y, z, angle;
        float qx, qy, qz, qw;
    };
    const float h = static_cast<float>(std::sqrt(0.5));
    const Case cases[] = {
        {"zero axis is the identity", 0, 0, 0, 1.0f, 0, 0, 0, 1},
        {"zero angle", 0, 0, 1, 0.0f, 0, 0, 0, 1},
        {"quarter turn about z", 0, 0, 1, static_cast<float>(kPi / 2), 0, 0, h, h},
        {"heading 90 degrees (clockwise)", 0, 0, 1, static_cast<float>(-kPi / 2), 0, 0, -h, h},
        {"unnormalised axis", 0, 0, 5, static_cast<float>(kPi), 0, 0, 1, 0},
        {"half turn about x", 2, 0, 0, static_cast<float>(kPi), 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const O::RotationData q = quaternionFromAxisAngle(c.x, c.y, c.z, c.angle);
        EXPECT_NEAR(q.X, c.qx, 1e-6);
        EXPECT_NEAR(q.Y, c.qy, 1e-6);
        EXPECT_NEAR(q.Z, c.qz, 1e-6);
        EXPECT_NEAR(q.W, c.qw, 1e-6);
    }
}

TEST(CameraFocusPoint, LooksAlongTheTurnedViewDirection)
{
    struct Case {
        const char* name;
        O::CameraStateData state;
        double x, y;
    };
    const float s = static_cast<float>(std::sin(kPi / 12)); // 30 degrees about x: half angle 15
    const float c = static_cast<float>(std::cos(kPi / 12));
    const Case cases[] = {
        {"straight down", state(100, 200, 500, O::RotationData(), 500), 100, 200},
        {"turned about the vertical axis only", state(100, 200, 500, quaternionFromAxisAngle(0, 0, 1, 1.0f), 500), 100, 200},
        {"tilted 30 degrees about x", state(0, 0, 100, quaternion(s, 0, 0, c), 100), 0, 100 * std::sin(kPi / 6)},
        {"tilted 30 degrees about y", state(10, 0, 100, quaternion(0, s, 0, c), 100), 10 - 100 * std::sin(kPi / 6), 0},
        // A quaternion of zero length from the server counts as no turn.
        {"zero quaternion", state(7, 8, 100, quaternion(0, 0, 0, 0), 50), 7, 8},
        {"unnormalised quaternion", state(0, 0, 100, quaternion(2 * s, 0, 0, 2 * c), 100), 0, 100 * std::sin(kPi / 6)},
    };
    for (const Case& t : cases) {
        SCOPED_TRACE(t.name);
        const O::PositionData p = cameraFocusPoint(t.state);
        EXPECT_NEAR(p.X, t.x, 1e-4);
        EXPECT_NEAR(p.Y, t.y, 1e-4);
        EXPECT_EQ(p.Z, 0.0);
    }
}

TEST(ViewerResourcePath, FollowsTheServerFolderVariables)
{
    struct Case {
        const char* name;
        const char* server; // TovtOrlexServerPath; null: unset
        const char* sdir;   // ORLEXSDIR; null: unset
        const char* expected;
    };
    const Case cases[] = {
        {"both unset", nullptr, nullptr, "..\\Orlex\\Resources\\"},
        {"server path", "D:\\Srv", nullptr, "D:\\Srv\\Resources\\"},
        {"server path wins", "D:\\Srv", "E:\\Other", "D:\\Srv\\Resources\\"},
        {"ORLEXSDIR alone", nullptr, "E:\\Other", "E:\\Other\\Resources\\"},
        {"server path set but empty: ORLEXSDIR is not consulted", "", "E:\\Other", "..\\Orlex\\Resources\\"},
        {"ORLEXSDIR set but empty", nullptr, "", "..\\Orlex\\Resources\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.server ? qputenv("TovtOrlexServerPath", c.server) : qunsetenv("TovtOrlexServerPath");
        c.sdir ? qputenv("ORLEXSDIR", c.sdir) : qunsetenv("ORLEXSDIR");
        EXPECT_EQ(COrlexViewer::viewerResourcePath(), c.expected);
    }
    qunsetenv("TovtOrlexServerPath");
    qunsetenv("ORLEXSDIR");
}
