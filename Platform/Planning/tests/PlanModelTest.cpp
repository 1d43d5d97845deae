// The planning stand-in's plan: numbering, selection edits and the job file.
#include "PlanModel.h"
#include "PlanningLib.h"

#include <gtest/gtest.h>

#include <cmath>

using planning::PlanModel;
using planning::PlanObject;
using planning::PlanPoint;

namespace {

PlanObject line(std::vector<PlanPoint> points, bool bSelected = false)
{
    PlanObject object;
    object.points = std::move(points);
    object.selected = bSelected;
    return object;
}

PlanObject polygon(std::vector<PlanPoint> points, bool bSelected = false)
{
    PlanObject object = line(std::move(points), bSelected);
    object.polygon = true;
    return object;
}

const std::vector<PlanPoint> kSquare{{0, 0}, {100, 0}, {100, 100}, {0, 100}};

} // namespace

TEST(PlanModelTest, NumbersStayInTheirRangeAndWantedFreeNumbersAreKept)
{
    PlanModel model;
    EXPECT_EQ(model.add(line({{0, 0}, {1, 1}})), 1);
    EXPECT_EQ(model.add(line({{0, 0}, {1, 1}}), 7), 7);
    // Taken, and outside the range (an allocator id): the lowest free number.
    EXPECT_EQ(model.add(line({{0, 0}, {1, 1}}), 7), 2);
    EXPECT_EQ(model.add(line({{0, 0}, {1, 1}}), 150), 3);
    // Too few points, a point that is not finite.
    EXPECT_EQ(model.add(line({{0, 0}})), 0);
    EXPECT_EQ(model.add(polygon({{0, 0}, {1, 1}})), 0);
    EXPECT_EQ(model.add(line({{0, 0}, {std::nan(""), 1}})), 0);

    for (int n = 0; n < plan_ids::kLastNumber; ++n)
        model.add(line({{0, 0}, {1, 1}}));
    EXPECT_EQ(model.objects().size(), static_cast<std::size_t>(plan_ids::kLastNumber));
    EXPECT_EQ(model.add(line({{0, 0}, {1, 1}})), 0) << "a full plan refuses";
}

TEST(PlanModelTest, SelectionEdits)
{
    PlanModel model;
    const int a = model.add(line({{10, 10}, {10, 90}}, true));
    const int b = model.add(line({{0, 50}, {200, 50}}));
    const int c = model.add(line({{300, 300}, {400, 300}}));
    const int area = model.add(polygon(kSquare, true));

    EXPECT_EQ(model.selectCrossings(), std::vector<int>{b}) << "b crosses a, c crosses nothing";
    model.find(b)->selected = false;

    EXPECT_EQ(model.reverseSelected(), std::vector<int>{a});
    EXPECT_DOUBLE_EQ(model.find(a)->points.front().north, 90);

    // a lies inside the square; keeping lines outside removes it.
    model.find(c)->selected = true;
    EXPECT_EQ(model.keepLines(false), std::vector<int>{a});
    EXPECT_NE(model.find(c), nullptr);
    EXPECT_EQ(model.keepLines(true), std::vector<int>{c});

    EXPECT_EQ(model.deleteSelected(), std::vector<int>{area});
    EXPECT_EQ(model.objects().size(), 1u);
}

TEST(PlanModelTest, ParallelsGoToStarboardAndPortOfTheLineDirection)
{
    PlanModel model;
    model.add(line({{0, 0}, {0, 100}}, true)); // heading north: starboard is east
    const std::vector<int> added = model.makeParallels(50, 25, 2, 1, true);
    ASSERT_EQ(added.size(), 3u);
    const double aExpectedEast[] = {50, 100, -25};
    for (std::size_t i = 0; i < added.size(); ++i) {
        const PlanObject* p = model.find(added[i]);
        EXPECT_DOUBLE_EQ(p->points.front().east, aExpectedEast[i]);
        EXPECT_DOUBLE_EQ(p->points.front().north, 100) << "reversed";
    }
}

TEST(PlanModelTest, FillPolygonLaysLinesAcrossItAtTheSpacing)
{
    PlanModel model;
    model.add(polygon(kSquare, true));
    model.add(line({{10, -10}, {10, 0}}, true)); // northward lines
    const std::vector<int> added = model.fillPolygon(25, false);
    ASSERT_EQ(added.size(), 4u); // east 10, 35, 60, 85
    for (std::size_t i = 0; i < added.size(); ++i) {
        const PlanObject* p = model.find(added[i]);
        EXPECT_NEAR(p->points.front().east, 10 + 25.0 * static_cast<double>(i), 1e-9);
        // Northward, then southward: the survey runs back and forth.
        EXPECT_NEAR(p->points.back().north - p->points.front().north, i % 2 == 0 ? 100 : -100, 1e-9);
    }
    EXPECT_TRUE(model.fillPolygon(0, false).empty());
}

TEST(PlanModelTest, HeadingIsFromFirstToLastVertex)
{
    PlanModel model;
    const int east = model.add(line({{0, 0}, {10, 0}}));
    const int southWest = model.add(line({{0, 0}, {-10, -10}}));
    EXPECT_EQ(model.heading(east), 9000);
    EXPECT_EQ(model.heading(southWest), 22500);
    EXPECT_EQ(model.heading(99), -1);
    EXPECT_FALSE(model.activate(99));
    EXPECT_TRUE(model.activate(east));
    model.remove(east);
    EXPECT_EQ(model.activeLine(), -1) << "a removed line is no longer active";
}

TEST(PlanModelTest, JobFileRoundTripsAndDamagedFilesAreRefusedWhole)
{
    PlanModel model;
    PlanObject first = line({{1.5, 2.25}, {3, 4}, {5, 6}});
    first.runtime = QStringLiteral("speed=5 & depth=10\nline two");
    const int n = model.add(first, 12);
    model.add(polygon(kSquare), 40);
    model.activate(n);

    QString strError;
    std::optional<PlanModel> read = PlanModel::fromText(model.toText(), &strError);
    ASSERT_TRUE(read) << strError.toStdString();
    EXPECT_EQ(read->toText(), model.toText());
    EXPECT_EQ(read->activeLine(), 12);
    EXPECT_EQ(read->find(12)->runtime, first.runtime);
    EXPECT_TRUE(read->find(40)->polygon);

    struct Case {
        const char* szText;
        const char* szError;
    };
    const Case aCases[] = {
        {"", "line 1: not a plan file"},
        {"ASCIIPLAN 1\nLINE 0\nP 0 0\nP 1 1\nEND\n", "line 2: bad object number"},
        {"ASCIIPLAN 1\nLINE 100\nP 0 0\nP 1 1\nEND\n", "line 2: bad object number"},
        {"ASCIIPLAN 1\nLINE 3\nP 0 0\nP 1 1\nEND\nLINE 3\n", "line 6: bad object number"},
        {"ASCIIPLAN 1\nLINE 3\nP 0 x\n", "line 3: bad point"},
        {"ASCIIPLAN 1\nLINE 3\nP 0 0\nEND\n", "line 4: bad object points"},
        {"ASCIIPLAN 1\nLINE 3\nP 0 0\nP 1 1\n", "line 5: object without END"},
        {"ASCIIPLAN 1\nP 0 0\n", "line 2: bad point"},
        {"ASCIIPLAN 1\nPOLYGON 3 ACTIVE\n", "line 2: bad object header"},
        {"ASCIIPLAN 1\nLINE 3\nLINE 4\n", "line 3: bad object header"},
        {"ASCIIPLAN 1\nCIRCLE 3\n", "line 2: unknown keyword"},
    };
    for (const Case& c : aCases) {
        strError.clear();
        EXPECT_FALSE(PlanModel::fromText(c.szText, &strError)) << c.szText;
        EXPECT_EQ(strError, QLatin1String(c.szError)) << c.szText;
    }
}

TEST(PlanModelTest, NewLineTexts)
{
    const std::vector<PlanPoint> points = planning::parseTvgplPoints(QStringLiteral("$TVGPL_NEW_LINE,1,2,3.5,4"));
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[1].east, 3.5);
    EXPECT_DOUBLE_EQ(points[1].north, 4);
    for (const char* sz : {"$TVGPL_NEW_LINE", "$TVGPL_NEW_LINE,1,2,3", "$TVGPL_NEW_LINE,1,a", "$TVGPL_NEW_LINE,inf,1"})
        EXPECT_TRUE(planning::parseTvgplPoints(QLatin1String(sz)).empty()) << sz;
}
