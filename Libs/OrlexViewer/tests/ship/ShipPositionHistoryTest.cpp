// Speed and course over ground from the marked position datagrams of the last five seconds.
#include "PositionDatagram.h"

#include "OrlexViewer/ShipPositionHistory.h"
#include "SurveyUtils/Navigation.h"
#include "TqelRuntime/RtdPositionBuffer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

using corvtest::PositionFix;
using corvtest::positionDatagram;

namespace {

constexpr std::int32_t kLatitude = 60 * 20000000; // 60 degrees north

double cmPerDegreeLatitude(std::int32_t nLatitude)
{
    double dLatitude = 0;
    double dLongitude = 0;
    cmPerDegree(nLatitude / 20000000.0, 0, 6378137.0, 298.257223563, &dLatitude, &dLongitude);
    return dLatitude;
}

double cmPerDegreeLongitude(std::int32_t nLatitude)
{
    double dLatitude = 0;
    double dLongitude = 0;
    cmPerDegree(nLatitude / 20000000.0, 0, 6378137.0, 298.257223563, &dLatitude, &dLongitude);
    return dLongitude;
}

// One fix: time, date, and the offset from the start in metres north and east (course in
// degrees and distance make it easier to write turns).
struct Step
{
    std::uint32_t nTimeMs;
    double dNorthM;
    double dEastM;
    std::uint32_t nDate = 20240101;
    std::int32_t nLongitudeBase = 0;
};

struct Motion
{
    float fCourse;
    float fSpeed;
    float fLength;
};

// The process keeps the last stored time for every history: a datagram that matches it from the
// previous case would be dropped, so each case begins after a throwaway time.
Motion run(const std::vector<Step>& steps, int nSpan = 60)
{
    {
        CShipPositionHistory throwaway;
        PositionFix fix;
        fix.nTimeMs = 0xFFFFFFF0u;
        const QByteArray bytes = positionDatagram(fix);
        throwaway.store(bytes.constData(), bytes.size());
    }
    CShipPositionHistory history;
    history.setVectorTimeSpan(nSpan);
    for (const Step& step : steps) {
        PositionFix fix;
        fix.nTimeMs = step.nTimeMs;
        fix.nDate = step.nDate;
        fix.nLatitude = kLatitude + static_cast<std::int32_t>(std::lround(step.dNorthM * 100 / cmPerDegreeLatitude(kLatitude) * 20000000));
        std::int64_t nLongitude = static_cast<std::int64_t>(step.nLongitudeBase)
                                  + std::llround(step.dEastM * 100 / cmPerDegreeLongitude(kLatitude) * 10000000);
        if (nLongitude >= 1800000000)
            nLongitude -= 3600000000LL;
        fix.nLongitude = static_cast<std::int32_t>(nLongitude);
        const QByteArray bytes = positionDatagram(fix);
        history.store(bytes.constData(), bytes.size());
        history.updateSpeedAndCourse();
    }
    Motion motion{};
    history.getMotion(motion.fCourse, motion.fSpeed, motion.fLength);
    return motion;
}

// Fixes 1 s apart from 10 s after midnight along a course, 5 m each.
std::vector<Step> track(const std::vector<double>& courses, double dStepM = 5)
{
    std::vector<Step> steps;
    double dNorth = 0;
    double dEast = 0;
    std::uint32_t nTime = 10000;
    steps.push_back({nTime, dNorth, dEast});
    for (double dCourse : courses) {
        const double dRad = dCourse * 3.14159265358979323846 / 180;
        dNorth += dStepM * std::cos(dRad);
        dEast += dStepM * std::sin(dRad);
        nTime += 1000;
        steps.push_back({nTime, dNorth, dEast});
    }
    return steps;
}

} // namespace

TEST(ShipPositionHistory, EstimatesFromTheLastFiveSeconds)
{
    struct Case
    {
        const char* what;
        std::vector<Step> steps;
        float fCourse;
        float fSpeed;
    };
    const std::vector<Case> cases{
        {"no fix", {}, 0, 0},
        {"one fix", {{10000, 0, 0}}, 0, 0},
        {"north at 5 m/s", track({0, 0, 0}), 0, 5},
        {"east at 5 m/s", track({90, 90}), 90, 5},
        {"south-west", track({225, 225}), 225, 5},
        // 350 then 10: a change of 20 across north, averaged to north.
        {"turn through north", track({350, 10}), 0, 5},
        {"turn through north, three pairs", track({340, 350, 0}), 352.5f, 5},
        // From the third pair on a jump of 80 degrees or more leaves the averages alone.
        {"jump ignored", track({0, 0, 90}, 5), 0, 5},
        {"smaller change counted", track({0, 0, 60}), 30, 5},
        // The newest fix lies in the first five seconds of its day: no estimate.
        {"newest 4 s after midnight", {{3000, 0, 0}, {4000, 5, 0}}, 0, 0},
        // Older fixes than five seconds before the newest are not used.
        {"old fixes left out", {{10000, 0, 0}, {11000, 0, 50}, {20000, 0, 60}, {21000, 5, 60}}, 0, 5},
        // Same time twice: the second is not stored, the estimate stands on the others.
        {"same time twice", {{10000, 0, 0}, {11000, 5, 0}, {11000, 500, 500}, {12000, 10, 0}}, 0, 5},
        // The second fix belongs to the next day.
        {"date rollover",
         {{86399000, 0, 0, 20240101}, {86399500, 2.5, 0, 20240101}, {6000, 2.5 + 32.5, 0, 20240102}},
         0,
         5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Motion motion = run(c.steps);
        EXPECT_NEAR(motion.fCourse, c.fCourse, 0.05);
        EXPECT_NEAR(motion.fSpeed, c.fSpeed, 0.01);
    }
}

TEST(ShipPositionHistory, VectorLengthFollowsTheTimeSpan)
{
    // 2.5 m per second for 60 s: 150 m.
    const Motion motion = run(track({0, 0}, 2.5), 60);
    EXPECT_NEAR(motion.fSpeed, 2.5, 0.01);
    EXPECT_NEAR(motion.fLength, 150, 0.5);
    EXPECT_NEAR(run(track({0, 0}, 2.5), 300).fLength, 750, 2);
}

TEST(ShipPositionHistory, HostileFixesGiveFiniteEstimates)
{
    // Across the antimeridian: 5 m east each second, not a whole turn west.
    const std::int32_t nEdge = 1800000000 - 200;
    const Motion across = run({{10000, 0, 0, 20240101, nEdge}, {11000, 0, 5, 20240101, nEdge}, {12000, 0, 10, 20240101, nEdge}});
    EXPECT_NEAR(across.fCourse, 90, 0.05);
    EXPECT_NEAR(across.fSpeed, 5, 0.01);

    // A marked fix, an unmarked one, then a marked one with the first one's time: a pair with no
    // time between its fixes gives no speed (and no division by zero).
    {
        CShipPositionHistory history;
        for (const auto& [nTime, nDescriptor, nLatitude] : std::vector<std::tuple<std::uint32_t, std::uint8_t, std::int32_t>>{
                 {6600000, 0x81, kLatitude}, {6601000, 0x01, kLatitude}, {6600000, 0x81, kLatitude + 100}}) {
            PositionFix fix;
            fix.nTimeMs = nTime;
            fix.nDescriptor = nDescriptor;
            fix.nLatitude = nLatitude;
            const QByteArray bytes = positionDatagram(fix);
            history.store(bytes.constData(), bytes.size());
            history.updateSpeedAndCourse();
        }
        ASSERT_EQ(history.buffer().size(), 2u);
        Motion still{};
        history.getMotion(still.fCourse, still.fSpeed, still.fLength);
        EXPECT_EQ(still.fSpeed, 0.0f);
        EXPECT_EQ(still.fCourse, 0.0f);
    }

    // The extremes of the latitude and longitude fields.
    CShipPositionHistory history;
    std::uint32_t nTime = 7777000;
    for (const auto& [nLatitude, nLongitude] : std::vector<std::pair<std::int32_t, std::int32_t>>{
             {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}, {0, 0}}) {
        PositionFix fix;
        fix.nTimeMs = nTime += 1000;
        fix.nLatitude = nLatitude;
        fix.nLongitude = nLongitude;
        const QByteArray bytes = positionDatagram(fix);
        history.store(bytes.constData(), bytes.size());
        history.updateSpeedAndCourse();
    }
    Motion motion{};
    history.getMotion(motion.fCourse, motion.fSpeed, motion.fLength);
    EXPECT_TRUE(std::isfinite(motion.fSpeed));
    EXPECT_GE(motion.fCourse, 0);
    EXPECT_LT(motion.fCourse, 360);
}

TEST(ShipPositionHistory, StoresOnlyNewTimes)
{
    CShipPositionHistory history;
    PositionFix fix;
    fix.nTimeMs = 5550000;
    const QByteArray bytes = positionDatagram(fix);
    history.store(bytes.constData(), bytes.size());
    history.store(bytes.constData(), bytes.size());
    EXPECT_EQ(history.buffer().size(), 1u);
    history.store(bytes.constData(), 11); // too short to hold a time
    history.store(nullptr, 40);
    EXPECT_EQ(history.buffer().size(), 1u);
    EXPECT_EQ(history.buffer().capacity(), 40u);
}
