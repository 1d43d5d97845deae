// Conversions of both projection objects against PROJ's cs2cs, their failures, and conversions
// from another thread while the transformation is replaced.
#include "ProjectionTestSupport.h"

#include <platform/paths.h>

#include <QFile>

#include <thread>

using namespace projtest;

namespace {

class ProjectionConversion : public ::testing::Test {
protected:
    void SetUp() override { qputenv("ProgramData", "C:\\ProgramData"); }
};

struct ConversionCase {
    std::string target;
    std::vector<Point> latLon;
};

std::vector<Point> around(double dLongitude, double dSign)
{
    std::vector<Point> points;
    for (double dLatitude : {0.5, 12.0, 38.25, 56.1, 71.9})
        for (double dOffset : {-3.0, -1.25, 0.0, 2.9})
            points.push_back({dSign * dLatitude, dLongitude + dOffset});
    return points;
}

const std::vector<Point> kWorld = {{0, 0},         {0, 1},       {56.15, 10.2},   {-33.92, 18.42},
                                   {71.0, -8.0},   {-54.8, -68.3}, {45.0, 179.9}, {84.9, -179.9},
                                   {-0.0001, 0.0001}, {12.5, -90.0}};

TEST_F(ProjectionConversion, BothDirectionsMatchCs2cs)
{
    const std::vector<ConversionCase> cases = {
        {"+proj=merc +units=cm +ellps=WGS84", kWorld},
        {"+proj=merc +datum=WGS84 +units=cm", kWorld},
        {"+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84", around(9, 1)},
        {"+proj=utm +zone=33 +north +datum=WGS84 +units=cm", around(15, 1)},
        {"+proj=utm +zone=23 +south +approx +units=cm +ellps=WGS84", around(-45, -1)},
        {"+proj=utm +zone=56 +south +datum=WGS84 +units=cm", around(153, -1)},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.target);
        const std::string path = projectionFile(QStringLiteral("conversion.txt"), c.target);
        TestProjection projection;
        projection.readProjectionFile(path);
        ASSERT_EQ(projection.createTransformation(), 0);
        QelProj::CProjection runtime;
        runtime.loadProjectionFile(path); // false where the data folder's file is the same
        ASSERT_EQ(runtime.targetCrs(), c.target);
        ASSERT_EQ(runtime.createTransformation(), 0);

        // cs2cs takes EPSG:4326 as latitude, longitude and gives east, north.
        const std::vector<Point> eastNorth = cs2cs(QStringList{QStringLiteral("EPSG:4326"), QStringLiteral("+to")} + words(c.target), c.latLon);
        const std::vector<Point> latLon = cs2cs(words(c.target) + QStringList{QStringLiteral("+to"), QStringLiteral("EPSG:4326")}, eastNorth);
        ASSERT_EQ(eastNorth.size(), c.latLon.size());
        ASSERT_EQ(latLon.size(), c.latLon.size());
        for (std::size_t i = 0; i < c.latLon.size(); ++i) {
            SCOPED_TRACE(testing::Message() << "lat " << c.latLon[i].a << " lon " << c.latLon[i].b);
            double dNorth = 0, dEast = 0, dLat = 0, dLon = 0;
            ASSERT_EQ(projection.toProjected(c.latLon[i].a, c.latLon[i].b, dNorth, dEast), 0);
            EXPECT_NEAR(dEast, eastNorth[i].a, 1e-3);
            EXPECT_NEAR(dNorth, eastNorth[i].b, 1e-3);
            ASSERT_EQ(runtime.toProjected(c.latLon[i].a, c.latLon[i].b, dNorth, dEast, true), 0);
            EXPECT_NEAR(dEast, eastNorth[i].a, 1e-3);
            EXPECT_NEAR(dNorth, eastNorth[i].b, 1e-3);

            ASSERT_EQ(projection.toGeographic(eastNorth[i].b, eastNorth[i].a, dLat, dLon), 0);
            EXPECT_NEAR(dLat, latLon[i].a, 1e-9);
            EXPECT_NEAR(dLon, latLon[i].b, 1e-9);
            EXPECT_NEAR(dLat, c.latLon[i].a, 1e-8);
            ASSERT_EQ(runtime.toGeographic(eastNorth[i].b, eastNorth[i].a, dLat, dLon), 0);
            EXPECT_NEAR(dLat, latLon[i].a, 1e-9);
            EXPECT_NEAR(dLon, latLon[i].b, 1e-9);
            dLat = dLon = 0;
            ASSERT_EQ(projection.toGeographic(eastNorth[i].b, eastNorth[i].a, &dLat, &dLon), 0);
            EXPECT_NEAR(dLon, latLon[i].b, 1e-9);
        }

        // The batch gives what single conversions give.
        std::vector<double> lats, lons, norths(c.latLon.size()), easts(c.latLon.size());
        for (const Point& p : c.latLon) {
            lats.push_back(p.a);
            lons.push_back(p.b);
        }
        EXPECT_EQ(runtime.toProjectedBatch(lats.size(), lats.data(), lons.data(), norths.data(), easts.data(), true), 0);
        for (std::size_t i = 0; i < c.latLon.size(); ++i) {
            EXPECT_NEAR(easts[i], eastNorth[i].a, 1e-3);
            EXPECT_NEAR(norths[i], eastNorth[i].b, 1e-3);
        }
    }
}

TEST_F(ProjectionConversion, CentimetreAnchors)
{
    TestProjection projection;
    projection.readProjectionFile(projectionFile(QStringLiteral("merc.txt"), "+proj=merc +units=cm +ellps=WGS84"));
    ASSERT_EQ(projection.createTransformation(), 0);
    double dNorth = -1, dEast = -1;
    EXPECT_EQ(projection.toProjected(0, 0, dNorth, dEast), 0);
    EXPECT_NEAR(dNorth, 0, 1e-6);
    EXPECT_NEAR(dEast, 0, 1e-6);
    EXPECT_EQ(projection.toProjected(0, 1, dNorth, dEast), 0);
    EXPECT_NEAR(dEast, 11131949.08, 0.01);

    // A UTM zone's central meridian lies at 500 km east; the south's equator at 10,000 km north.
    projection.readProjectionFile(projectionFile(QStringLiteral("utm.txt"), "+proj=utm +zone=33 +south +datum=WGS84 +units=cm"));
    ASSERT_EQ(projection.createTransformation(), 0);
    EXPECT_EQ(projection.toProjected(0, 15, dNorth, dEast), 0);
    EXPECT_NEAR(dEast, 50000000, 1e-3);
    EXPECT_NEAR(dNorth, 1000000000, 1e-3);
}

TEST_F(ProjectionConversion, NoTransformationFailsAndIsLoggedOnce)
{
    const std::string twoLines = writeFile(scratch(QStringLiteral("two.txt")), "<QEL_Projection>\r\nEPSG:4326\r\n");
    const std::string merc = projectionFile(QStringLiteral("merc.txt"), "+proj=merc +datum=WGS84 +units=cm");
    double dNorth = 0, dEast = 0, dLat = 0, dLon = 0;
    {
        QtWarningCounter warnings;
        TestProjection projection;
        projection.readProjectionFile(twoLines);
        EXPECT_EQ(projection.createTransformation(), -1);
        EXPECT_FALSE(projection.isValid());
        EXPECT_EQ(warnings.count(), 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(projection.toProjected(56, 9, dNorth, dEast), -1);
            EXPECT_EQ(projection.toGeographic(100, 200, dLat, dLon), -1);
        }
        EXPECT_TRUE(std::isinf(dNorth) && std::isinf(dEast) && std::isinf(dLat) && std::isinf(dLon));
        EXPECT_EQ(warnings.count(), 2) << "one line for the failed creation, one for all the conversions";

        projection.readProjectionFile(merc);
        EXPECT_EQ(projection.createTransformation(), 0);
        EXPECT_EQ(projection.toProjected(56, 9, dNorth, dEast), 0);
        // PROJ refuses a latitude beyond the pole: -1, and no log line for a single point.
        EXPECT_EQ(projection.toProjected(95, 9, dNorth, dEast), -1);
        EXPECT_EQ(projection.toProjected(std::nan(""), 9, dNorth, dEast), -1);
        EXPECT_EQ(warnings.count(), 2);
    }
    {
        RuntimeLogCounter logLines;
        QelProj::CProjection runtime;
        runtime.loadProjectionFile(twoLines);
        EXPECT_EQ(runtime.createTransformation(), -1);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(runtime.toProjected(56, 9, dNorth, dEast, true), -1);
        std::vector<double> values(4, 1.0);
        EXPECT_EQ(runtime.toProjectedBatch(2, values.data(), values.data(), values.data(), values.data() + 2, true), -1);
        EXPECT_EQ(logLines.count(), 2);
    }
}

TEST_F(ProjectionConversion, MissingFileKeepsThePreviousProjection)
{
    TestProjection projection;
    projection.readProjectionFile(projectionFile(QStringLiteral("utm.txt"), "+proj=utm +zone=32 +north +datum=WGS84 +units=cm"));
    ASSERT_EQ(projection.createTransformation(), 0);
    EXPECT_FALSE(projection.readProjectionFile(scratch(QStringLiteral("missing.txt")).toStdString()));
    EXPECT_EQ(projection.createTransformation(), 0);
    double dNorth = 0, dEast = 0;
    ASSERT_EQ(projection.toProjected(0, 9, dNorth, dEast), 0);
    EXPECT_NEAR(dEast, 50000000, 1e-3);
}

TEST_F(ProjectionConversion, BatchMarksOnlyTheFailedPoints)
{
    QelProj::CProjection runtime;
    runtime.loadProjectionFile(projectionFile(QStringLiteral("merc.txt"), "+proj=merc +datum=WGS84 +units=cm"));
    ASSERT_EQ(runtime.createTransformation(), 0);
    std::vector<double> lats{0, 95, 10}, lons{1, 1, 1};
    EXPECT_EQ(runtime.toProjectedBatch(3, lats.data(), lons.data(), lats.data(), lons.data(), true), 1);
    EXPECT_NEAR(lons[0], 11131949.08, 0.01);
    EXPECT_TRUE(std::isinf(lats[1]) && std::isinf(lons[1]));
    EXPECT_NEAR(lons[2], 11131949.08, 0.01);
    EXPECT_EQ(runtime.toProjectedBatch(0, nullptr, nullptr, nullptr, nullptr, true), 0);
}

TEST_F(ProjectionConversion, DataFolderLinkToTheSystemDatabaseIsUsed)
{
    const QString folder = platform::toNativePath(QStringLiteral("C:\\ProgramData\\Tavrin Nautic\\tqel\\proj4"));
    QDir().mkpath(folder);
    const QString link = QDir(folder).filePath(QStringLiteral("proj.db"));
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/proj/proj.db"), link));
    TestProjection projection;
    projection.readProjectionFile(projectionFile(QStringLiteral("utm.txt"), "+proj=utm +zone=32 +north +datum=WGS84 +units=cm"));
    EXPECT_EQ(projection.createTransformation(), 0);
    QFile::remove(link);
}

// Converts the same point from another thread while the main thread switches projections; every
// result must be the point in one of the two projections.
template <typename Projection, typename Convert>
void convertWhileReplacing(Projection& projection, Convert convert)
{
    const std::string merc = projectionFile(QStringLiteral("race-merc.txt"), "+proj=merc +datum=WGS84 +units=cm");
    const std::string utm = projectionFile(QStringLiteral("race-utm.txt"), "+proj=utm +zone=32 +north +datum=WGS84 +units=cm");
    auto expected = [&](const std::string& path) {
        projection.readProjectionFile(path);
        EXPECT_EQ(projection.createTransformation(), 0);
        Point p{0, 0};
        EXPECT_EQ(convert(p), 0);
        return p;
    };
    const Point inMerc = expected(merc);
    const Point inUtm = expected(utm);

    std::atomic<bool> bDone{false};
    std::atomic<int> nConversions{0};
    std::atomic<int> nBad{0};
    std::thread worker([&] {
        while (!bDone || nConversions == 0) {
            Point p{0, 0};
            const bool bOk = convert(p) == 0
                && ((std::abs(p.a - inMerc.a) < 1e-3 && std::abs(p.b - inMerc.b) < 1e-3)
                    || (std::abs(p.a - inUtm.a) < 1e-3 && std::abs(p.b - inUtm.b) < 1e-3));
            if (!bOk)
                ++nBad;
            ++nConversions;
        }
    });
    for (int i = 0; i < 40; ++i) {
        projection.readProjectionFile(i % 2 ? merc : utm);
        EXPECT_EQ(projection.createTransformation(), 0);
    }
    bDone = true;
    worker.join();
    EXPECT_EQ(nBad, 0) << "of " << nConversions;
}

TEST_F(ProjectionConversion, ConversionFromAnotherThreadWhileReplaced)
{
    TestProjection projection;
    convertWhileReplacing(projection, [&](Point& p) { return projection.toGeographic(650000000.0, 50000000.0, &p.a, &p.b); });
    convertWhileReplacing(projection, [&](Point& p) { return projection.toProjected(56.0, 9.5, p.a, p.b); });

    QelProj::CProjection runtime;
    convertWhileReplacing(runtime, [&](Point& p) { return runtime.toProjected(56.0, 9.5, p.a, p.b, true); });
}

} // namespace
