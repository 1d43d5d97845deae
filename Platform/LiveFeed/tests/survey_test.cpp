// The synthetic survey: projection, vessel paths, swaths, and the grid folder it writes.
#include "grid_writer.h"
#include "survey.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <xtiffio.h>

#include <cmath>
#include <memory>

using namespace livefeed;

TEST(SurveyTest, UtmProjectionRoundTripsInBothHemispheres)
{
    struct Case {
        int zone;
        bool south;
        double east, north, lat, lon; // lat/lon only roughly
    } cases[] = {
        {31, false, 500000, 6700000, 60.43, 3.0},
        {56, true, 334000, 6250000, -33.87, 151.2},
    };
    for (const Case& c : cases) {
        UtmProjection projection(c.zone, c.south);
        ASSERT_TRUE(projection.valid());
        double lat = 0, lon = 0, east = 0, north = 0;
        ASSERT_TRUE(projection.toGeographic(c.east, c.north, lat, lon));
        EXPECT_NEAR(lat, c.lat, 0.05);
        EXPECT_NEAR(lon, c.lon, 0.05);
        ASSERT_TRUE(projection.toProjected(lat, lon, east, north));
        EXPECT_NEAR(east, c.east, 0.001);
        EXPECT_NEAR(north, c.north, 0.001);
    }
    EXPECT_EQ(UtmProjection(32, true).displayDefinition(), "+proj=utm +zone=32 +south +ellps=WGS84 +units=cm");
}

TEST(SurveyTest, VesselsRunTheLinesAtTheirSpeedApartFromEachOther)
{
    SurveyOptions options;
    options.vessels = 3;
    options.speed = 5;
    const Survey survey(options);
    double minE, minN, maxE, maxN;
    survey.extent(minE, minN, maxE, maxN);
    for (int v = 0; v < 3; ++v) {
        VesselPose last = survey.pose(v, 0);
        for (double t = 0.5; t < 2000; t += 0.5) {
            const VesselPose p = survey.pose(v, t);
            ASSERT_TRUE(p.east >= minE && p.east <= maxE && p.north >= minN && p.north <= maxN) << v << " " << t;
            // Never faster than the speed; on a straight stretch exactly the speed.
            ASSERT_LE(std::hypot(p.east - last.east, p.north - last.north), 2.5 + 1e-6);
            last = p;
        }
    }
    const VesselPose a = survey.pose(0, 100), b = survey.pose(1, 100), c = survey.pose(2, 100);
    EXPECT_GT(std::hypot(a.east - b.east, a.north - b.north), 100);
    EXPECT_GT(std::hypot(b.east - c.east, b.north - c.north), 100);
    // The first vessel starts in the middle of the block, running north.
    EXPECT_NEAR(survey.pose(0, 0).east, options.centreEast, 1e-6);
    EXPECT_NEAR(survey.pose(0, 0).north, options.centreNorth, 1e-6);
    EXPECT_NEAR(survey.pose(0, 10).heading, 0, 1e-9);
    EXPECT_NEAR(survey.pose(0, 10).north - survey.pose(0, 0).north, 50, 1e-6);
}

TEST(SurveyTest, SwathLiesAcrossTrackCentredOnTheVessel)
{
    const Survey survey{SurveyOptions()};
    VesselPose pose;
    pose.east = 500000;
    pose.north = 6700000;
    pose.heading = 90; // east: port is north, starboard south
    const std::vector<SwathPoint> swath = survey.swath(pose, 1199);
    ASSERT_EQ(swath.size(), 1199u);
    EXPECT_GT(swath.front().north, pose.north);
    EXPECT_LT(swath.back().north, pose.north);
    EXPECT_NEAR(swath[599].north, pose.north, 1e-6);
    for (const SwathPoint& p : swath) {
        EXPECT_NEAR(p.east, pose.east, 1e-6);
        EXPECT_DOUBLE_EQ(p.depth, survey.depthAt(p.east, p.north));
        EXPECT_GT(p.depth, 10);
    }
    EXPECT_TRUE(survey.swath(pose, 0).empty());
}

TEST(SurveyTest, GridFolderHoldsProjectionIndexAndSoundedTiles)
{
    QTemporaryDir dir;
    const Survey survey{SurveyOptions()};
    const UtmProjection projection(31, false);
    GridWriter grid(dir.path() + QStringLiteral("/S"), survey, projection, 5.0, 16);
    ASSERT_TRUE(grid.writeStatic());

    QFile proj(grid.projectionFile());
    ASSERT_TRUE(proj.open(QIODevice::ReadOnly));
    EXPECT_EQ(proj.readAll(), QByteArray("<QEL_Projection>\nEPSG:4326\n+proj=utm +zone=31 +ellps=WGS84 +units=cm\n"));
    EXPECT_TRUE(QFile::exists(grid.gridIndexFile()));
    QFile values(dir.path() + QStringLiteral("/S/standin_survey.json"));
    ASSERT_TRUE(values.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(values.readAll()).object();
    EXPECT_LT(json.value(QStringLiteral("zMin")).toDouble(), json.value(QStringLiteral("zMax")).toDouble());
    EXPECT_LT(json.value(QStringLiteral("zMax")).toDouble(), 0);

    EXPECT_TRUE(grid.flush().isEmpty());
    double minE, minN, maxE, maxN;
    survey.extent(minE, minN, maxE, maxN);
    // One sounding in the south-west cell of the survey, one just beside it.
    grid.add({{minE + 1, minN + 1, 42.5}, {minE + 6, minN + 1, 43}});
    const QStringList written = grid.flush();
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(written.first().endsWith(QStringLiteral("/Terrain/zMedian/3/0/0.tiff"))) << written.first().toStdString();
    EXPECT_EQ(grid.cellsFilled(), 2u);
    EXPECT_TRUE(grid.flush().isEmpty()); // nothing new

    std::unique_ptr<TIFF, void (*)(TIFF*)> tif(XTIFFOpen(QFile::encodeName(written.first()).constData(), "r"), XTIFFClose);
    ASSERT_TRUE(tif);
    std::uint32_t width = 0, height = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    ASSERT_EQ(width, 16u);
    ASSERT_EQ(height, 16u);
    std::uint16_t count = 0;
    double* tie = nullptr;
    double* scale = nullptr;
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_GEOTIEPOINTS, &count, &tie));
    ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_GEOPIXELSCALE, &count, &scale));
    EXPECT_DOUBLE_EQ(scale[0], 5.0);
    EXPECT_LE(tie[3], minE + 1);
    EXPECT_GE(tie[4], minN + 1);
    std::vector<float> cells(16 * 16);
    ASSERT_GT(TIFFReadEncodedStrip(tif.get(), 0, cells.data(), static_cast<tmsize_t>(cells.size() * sizeof(float))), 0);
    // The tile's bottom row holds the two soundings as heights; everything else is empty.
    const int column = static_cast<int>((minE + 1 - tie[3]) / 5.0);
    const int row = static_cast<int>((tie[4] - (minN + 1)) / 5.0);
    EXPECT_FLOAT_EQ(cells[static_cast<std::size_t>(row * 16 + column)], -42.5f);
    EXPECT_FLOAT_EQ(cells[static_cast<std::size_t>(row * 16 + column + 1)], -43.0f);
    int empty = 0;
    for (float v : cells)
        empty += std::isnan(v) ? 1 : 0;
    EXPECT_EQ(empty, 16 * 16 - 2);
}
