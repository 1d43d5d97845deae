// Survey grids in the view against the stand-in server: the open sequence, colour slots and the
// shared legend, range reports, the scale table, track and coverage lines, completions, closing,
// the drive rule and the GeoTIFF overlay list. The legend and the last scale are process-wide,
// so the tests run in the order written.
#include "ControllerHarness.h"

#include "OrlexViewer/ColorMap.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"

#include "Common/CorvPaths.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "TqelRuntime/HandleTracks.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QtEndian>

#include <set>

#include "test_scratch.h"

using viewertest::bodyOf;
using viewertest::LoggedBody;

namespace {

// What the controller's camera and the ship model's depth tail may send beside the grid's
// messages.
const QSet<QString> s_ignored{QStringLiteral("UpdatePointBufferMessage"), QStringLiteral("CreatePointBufferMessage"),
                              QStringLiteral("SetCameraDataMessage"), QStringLiteral("ResizeViewerMessage")};

QList<double> numbers(const QJsonArray& list)
{
    QList<double> values;
    for (const QJsonValue& value : list)
        values << value.toDouble();
    return values;
}

std::array<double, 3> rgb(const LoggedBody& colour)
{
    return {colour.number(0, 0, 0.5), colour.number(0, 1, 0.5), colour.number(0, 2, 0.5)};
}

TrackRecord track(const char* szName, double dNorth, double dEast, std::vector<float> points, std::vector<float> secondary = {})
{
    TrackRecord record;
    record.name = szName;
    record.originNorth = dNorth;
    record.originEast = dEast;
    record.points = std::move(points);
    record.secondaryPoints = std::move(secondary);
    record.averageHeading = 90;
    record.averageSpeed = 512;
    return record;
}

class GridTest : public viewertest::LiveViewTest
{
protected:
    COrlexDataManager* surveys() { return s_pViewer->getDataManager(); }

    static QString surveyFolder(const QString& strName)
    {
        const QString strFolder = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/") + strName);
        QDir().mkpath(strFolder + QStringLiteral("/Terrain"));
        return strFolder;
    }

    // Received messages of a short type, core or extension, once everything sent has arrived.
    QList<LoggedBody> bodies(const QString& strType, qint64 nFrom)
    {
        harness().sync();
        QList<LoggedBody> list;
        const QByteArray baType = strType.toLatin1();
        for (const QString& strFull : {orlex_standin::coreType(baType.constData()), orlex_standin::quennetType(baType.constData())})
            for (const QJsonValue& entry : harness().control().entries(QStringLiteral("in"), strFull, nFrom))
                list << bodyOf(entry.toObject());
        return list;
    }

    // The sequence number after everything sent so far.
    qint64 from()
    {
        harness().sync();
        return harness().mark();
    }

    QStringList types(qint64 nFrom)
    {
        harness().sync();
        return harness().receivedTypes(nFrom, s_ignored);
    }

    // Opens a survey and waits for its completion.
    COrlexGrid* openAndWait(const QString& strPath)
    {
        QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
        surveys()->openSurvey(strPath, false);
        EXPECT_TRUE(viewertest::waitUntil([&] { return !completed.isEmpty(); }));
        return surveys()->getSurvey(strPath);
    }
};

TEST_F(GridTest, OpeningSendsTerrainColoursAndTheFirstLegend)
{
    // No legend yet: a colour change of the labels has nothing to update.
    qint64 nFrom = from();
    COrlexGrid::updateLegendColors();
    EXPECT_EQ(types(nFrom), QStringList());

    QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
    const QString strPath = surveyFolder(QStringLiteral("Alpha"));
    nFrom = from();
    // The one-argument slot: camera move asked, not real-time, "zMin".
    ASSERT_TRUE(QMetaObject::invokeMethod(surveys(), "openSurvey", Q_ARG(QString, strPath)));
    ASSERT_TRUE(viewertest::waitUntil([&] { return completed.size() == 1; }));
    EXPECT_EQ(completed.first().first().toBool(), true);
    EXPECT_EQ(types(nFrom), (QStringList{"UpdateLayersVisibilityMessage", "CreateGridEngineTerrainMessage",
                                         "SetColorMapRangeMessage", "CreateLegendMessage"}));
    COrlexGrid* pGrid = surveys()->getSurvey(strPath);
    ASSERT_NE(pGrid, nullptr);
    EXPECT_TRUE(pGrid->isNotRealTime());
    const double dTerrain = static_cast<double>(pGrid->getTerrainId());

    const LoggedBody terrain = bodies(QStringLiteral("CreateGridEngineTerrainMessage"), nFrom).value(0);
    EXPECT_EQ(terrain.number(1, 0), dTerrain);
    EXPECT_EQ(terrain.text(1, 7), QStringLiteral("Grids"));
    EXPECT_EQ(terrain.text(2, 0), strPath + QStringLiteral("/Terrain"));
    EXPECT_EQ(terrain.text(2, 1), QStringLiteral("zMin"));
    EXPECT_EQ(terrain.text(2, 2), QStringLiteral("Height"));

    // Depths: the gradient runs from the stop colour (hue 0.8) to red over (-max, -min).
    const LoggedBody range = bodies(QStringLiteral("SetColorMapRangeMessage"), nFrom).value(0);
    EXPECT_EQ(range.number(1, 0), dTerrain);
    const LoggedBody colours = range.structAt(2, 0);
    const QColor oStart = QColor::fromHsvF(0.8, 1, 1);
    EXPECT_NEAR(colours.structAt(0, 0).number(0, 0), oStart.redF(), 1e-6);
    EXPECT_NEAR(colours.structAt(0, 0).number(0, 1), oStart.greenF(), 1e-6);
    EXPECT_EQ(rgb(colours.structAt(0, 1)), (std::array<double, 3>{1, 0, 0}));
    EXPECT_FALSE(colours.flag(0, 2));
    EXPECT_TRUE(colours.flag(0, 3));
    EXPECT_EQ(colours.structAt(0, 4).number(0, 0), -1.0);
    EXPECT_EQ(colours.structAt(0, 4).number(0, 1), 0.0);
    EXPECT_EQ(colours.number(0, 5), 0.0);
    EXPECT_EQ(pGrid->colorMapData().Range.Min, -1.0f);

    const LoggedBody legend = bodies(QStringLiteral("CreateLegendMessage"), nFrom).value(0);
    EXPECT_EQ(legend.number(2, 0), dTerrain);
    const LoggedBody settings = legend.structAt(2, 1);
    EXPECT_EQ(settings.text(0, 0), QStringLiteral("zMin"));
    EXPECT_EQ(settings.text(0, 1), QStringLiteral("meters"));
    EXPECT_TRUE(settings.flag(0, 3));
    EXPECT_EQ(viewer()->getObjects().at(pGrid->getTerrainId()).kind, 1);

    // Descriptors are built on completion, once however often the survey reports itself.
    ASSERT_EQ(pGrid->getGridAttributes().size(), 5);
    ASSERT_EQ(pGrid->getPointAttributes().size(), 12);
    EXPECT_EQ(pGrid->getGridAttributes().at(4).name, QStringLiteral("StdDeviation.Zt"));
    EXPECT_EQ(pGrid->getGridAttributes().at(1).scale, 100);
    EXPECT_EQ(pGrid->getPointAttributes().at(0).size, 8);
    surveys()->openSurveyCompleted(true, false);
    EXPECT_EQ(pGrid->getGridAttributes().size(), 5);

    // A second open of the same folder only warns.
    QSignalSpy log(surveys(), &COrlexDataManager::msgToFile);
    nFrom = from();
    surveys()->openSurvey(strPath, false);
    EXPECT_TRUE(types(nFrom).isEmpty());
    EXPECT_EQ(surveys()->getSurvey(strPath), pGrid);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(log.first().first().toString().contains(QStringLiteral("was already loaded, ignoring")));
    surveys()->setActiveSurvey(strPath);
    EXPECT_EQ(surveys()->getActiveTerrainId(), pGrid->getTerrainId());
}

// The grids' legend takes the label colours of every background and graticule change, and gives
// way to the depth tail's legend while the tail is coloured on its own.
TEST_F(GridTest, TheGridsLegendFollowsTheLabelColoursAndTheTailColouring)
{
    const std::uint64_t nLegend = COrlexGrid::legendId();
    ASSERT_NE(nLegend, 0u);
    const auto legendColours = [&](qint64 nFrom) {
        QList<std::array<double, 6>> list;
        for (const LoggedBody& update : bodies(QStringLiteral("UpdateLegendMessage"), nFrom)) {
            if (static_cast<std::uint64_t>(update.number(1, 0)) != nLegend)
                continue;
            const LoggedBody settings = update.structAt(2, 0);
            const auto text = rgb(settings.structAt(0, 4));
            const auto background = rgb(settings.structAt(0, 5));
            list << std::array<double, 6>{text[0], text[1], text[2], background[0], background[1], background[2]};
        }
        return list;
    };

    qint64 nFrom = from();
    viewer()->setGraticuleColor(QColor(255, 0, 0));
    viewer()->set2DBackgroundColor(QColor(0, 0, 255));
    const QList<std::array<double, 6>> colours = legendColours(nFrom);
    ASSERT_EQ(colours.size(), 2);
    EXPECT_EQ(colours[0][0], 1.0);
    EXPECT_EQ(colours[1], (std::array<double, 6>{1, 0, 0, 0, 0, 1}));

    const auto gridLegendShown = [&](qint64 nSince) {
        QList<bool> shown;
        for (const LoggedBody& update : bodies(QStringLiteral("UpdateVisibilityMessage"), nSince))
            if (static_cast<std::uint64_t>(update.number(1, 0)) == nLegend)
                shown << update.flag(2, 0);
        return shown;
    };
    nFrom = from();
    viewer()->toggleTailColor(true);
    EXPECT_EQ(gridLegendShown(nFrom), QList<bool>{false});
    EXPECT_EQ(bodies(QStringLiteral("CreateLegendMessage"), nFrom).size(), 1);
    nFrom = from();
    viewer()->toggleTailColor(false);
    EXPECT_EQ(gridLegendShown(nFrom), QList<bool>{true});
}

TEST_F(GridTest, HeightChangesRecreateTheTerrainAndItsLegend)
{
    COrlexGrid* pGrid = surveys()->getSurvey(surveyFolder(QStringLiteral("Alpha")));
    ASSERT_NE(pGrid, nullptr);
    const std::uint64_t nOld = pGrid->getTerrainId();

    qint64 nFrom = from();
    pGrid->setGridVariable(QStringLiteral("zT"));
    // The released terrain id comes back at once, so the legend is made again for it.
    EXPECT_EQ(types(nFrom), (QStringList{"DestroyObjectMessage", "CreateGridEngineTerrainMessage", "SetColorMapRangeMessage",
                                         "DestroyObjectMessage", "CreateLegendMessage", "UpdateLegendMessage"}));
    EXPECT_EQ(bodies(QStringLiteral("DestroyObjectMessage"), nFrom).value(0).number(1, 0), static_cast<double>(nOld));
    EXPECT_EQ(bodies(QStringLiteral("CreateGridEngineTerrainMessage"), nFrom).value(0).text(2, 1), QStringLiteral("zTMin"));
    const LoggedBody legend = bodies(QStringLiteral("CreateLegendMessage"), nFrom).value(0);
    EXPECT_EQ(legend.number(2, 0), static_cast<double>(pGrid->getTerrainId()));
    const LoggedBody update = bodies(QStringLiteral("UpdateLegendMessage"), nFrom).value(0);
    EXPECT_EQ(update.number(1, 0), legend.number(1, 0));
    EXPECT_EQ(update.structAt(2, 0).text(0, 0), QStringLiteral("zTMin"));
    EXPECT_EQ(update.structAt(2, 0).text(0, 1), QStringLiteral("meters"));
    EXPECT_TRUE(update.structAt(2, 0).flag(0, 3));

    // The same name again sends nothing; the aggregate changes the second part.
    nFrom = from();
    pGrid->setGridVariable(QStringLiteral("zT"));
    EXPECT_TRUE(types(nFrom).isEmpty());
    pGrid->setGridOperation(QStringLiteral("Max"));
    EXPECT_EQ(pGrid->getTerrainName(), QStringLiteral("zTMax"));
    EXPECT_EQ(bodies(QStringLiteral("UpdateLegendMessage"), nFrom).value(0).structAt(2, 0).text(0, 0), QStringLiteral("zTMax"));
}

TEST_F(GridTest, ColourSlotsOwnTheirMaps)
{
    COrlexGrid* pGrid = surveys()->getSurvey(surveyFolder(QStringLiteral("Alpha")));
    ASSERT_NE(pGrid, nullptr);
    EXPECT_EQ(pGrid->getColorMap(1, 0, 0), nullptr);
    ColorMap* pDepth = pGrid->getColorMap(0, 0, 0);
    ASSERT_NE(pDepth, nullptr);
    // Standard deviation: a copy of the target-0 map, made on demand and kept.
    ColorMap* pStdDev = pGrid->getColorMap(0, 1, 4);
    ASSERT_NE(pStdDev, nullptr);
    EXPECT_NE(pStdDev, pDepth);
    EXPECT_EQ(pStdDev->getStopColor(), QColor::fromHsvF(0.8, 1, 1));
    EXPECT_EQ(pGrid->getColorMap(0, 1, 4), pStdDev);
    EXPECT_EQ(pGrid->getColorMap(0, 1, 0)->getStartColor(), QColor(Qt::black));

    // "Distance plane": a terrain without a property and no legend update.
    qint64 nFrom = from();
    {
        ColorMap dialogMap;
        dialogMap.setStartColor(QColor(Qt::green));
        pGrid->setColorMap(&dialogMap, 1, 0, 3);
    }
    // The caller's map is gone; the grid installed copies of it.
    EXPECT_EQ(pGrid->getColorMap(0, 1, 3)->getStartColor(), QColor(Qt::green));
    EXPECT_EQ(pGrid->getPropertyName(), QString());
    QStringList sent = types(nFrom);
    EXPECT_FALSE(sent.contains(QStringLiteral("UpdateLegendMessage")));
    const LoggedBody plane = bodies(QStringLiteral("CreateGridEngineTerrainMessage"), nFrom).value(0);
    EXPECT_FALSE(plane.has(2, 2));

    // Backscatter, installed from the grid's own map: colours by "reflection".
    nFrom = from();
    pGrid->setColorMap(pGrid->getColorMap(0, 1, 0), 1, 0, 0);
    EXPECT_EQ(bodies(QStringLiteral("CreateGridEngineTerrainMessage"), nFrom).value(0).text(2, 2), QStringLiteral("reflection"));
    const LoggedBody backscatter = bodies(QStringLiteral("SetColorMapRangeMessage"), nFrom).last().structAt(2, 0);
    EXPECT_EQ(rgb(backscatter.structAt(0, 0)), (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(backscatter.structAt(0, 4).number(0, 0), -50.0);
    EXPECT_FALSE(backscatter.flag(0, 3));

    // A range report for the colouring property: that slot's range, a legend update with its
    // title that leaves the shared settings alone.
    nFrom = from();
    const QJsonArray report{QJsonArray(),
                            QJsonArray{viewertest::uint64Field(0, pGrid->getTerrainId()),
                                       orlex_standin::structField(1, QJsonArray() << QJsonArray{viewertest::floatField(0, -40), viewertest::floatField(1, -10)}),
                                       orlex_standin::field(2, QStringLiteral("string"), QStringLiteral("reflection"))}};
    ASSERT_TRUE(harness().sendToClient(orlex_standin::quennetType("SurveyPropertyRangeUpdatedMessage"), report));
    ASSERT_TRUE(viewertest::waitUntil([&] { return !bodies(QStringLiteral("UpdateLegendMessage"), nFrom).isEmpty(); }));
    const LoggedBody reported = bodies(QStringLiteral("SetColorMapRangeMessage"), nFrom).value(0).structAt(2, 0);
    EXPECT_EQ(reported.structAt(0, 4).number(0, 0), -40.0);
    EXPECT_EQ(reported.structAt(0, 4).number(0, 1), -10.0);
    const LoggedBody titled = bodies(QStringLiteral("UpdateLegendMessage"), nFrom).value(0).structAt(2, 0);
    EXPECT_EQ(titled.text(0, 0), QStringLiteral("Backscatter"));
    EXPECT_EQ(titled.text(0, 1), QStringLiteral("dB"));
    EXPECT_FALSE(titled.flag(0, 3));

    // Height reports only change the maps and the data range.
    const QJsonArray height{QJsonArray(),
                            QJsonArray{viewertest::uint64Field(0, pGrid->getTerrainId()),
                                       orlex_standin::structField(1, QJsonArray() << QJsonArray{viewertest::floatField(0, -50), viewertest::floatField(1, -10)}),
                                       orlex_standin::field(2, QStringLiteral("string"), QStringLiteral("Height"))}};
    nFrom = from();
    ASSERT_TRUE(harness().sendToClient(orlex_standin::quennetType("SurveyPropertyRangeUpdatedMessage"), height));
    ASSERT_TRUE(viewertest::waitUntil([&] {
        float fMin = 0, fMax = 0;
        pGrid->getDataRange(fMin, fMax);
        return fMin == 10.0f && fMax == 50.0f;
    }));
    EXPECT_TRUE(types(nFrom).isEmpty());

    // Back to depth colours: the legend takes the height title again; the label colours then
    // reach the legend with that title.
    nFrom = from();
    pGrid->setColorMap(pGrid->getColorMap(0, 0, 0), 0, 0, 0);
    EXPECT_EQ(pGrid->getPropertyName(), QStringLiteral("Height"));
    // Installs keep the maps where they were for those who hold them.
    EXPECT_EQ(pGrid->getColorMap(0, 0, 0), pDepth);
    EXPECT_EQ(pGrid->getColorMap(0, 1, 4), pStdDev);
    EXPECT_EQ(bodies(QStringLiteral("UpdateLegendMessage"), nFrom).last().structAt(2, 0).text(0, 0), QStringLiteral("zTMax"));
    nFrom = from();
    COrlexGrid::updateLegendColors();
    EXPECT_EQ(types(nFrom), QStringList{"UpdateLegendMessage"});
    EXPECT_EQ(bodies(QStringLiteral("UpdateLegendMessage"), nFrom).value(0).structAt(2, 0).text(0, 0), QStringLiteral("zTMax"));
}

TEST_F(GridTest, VerticalScaleTable)
{
    COrlexGrid* pGrid = surveys()->getSurvey(surveyFolder(QStringLiteral("Alpha")));
    ASSERT_NE(pGrid, nullptr);
    struct Case {
        int nFactor;
        int nLodBias;
        double dScale;
    };
    // In this order: a level-of-detail change before any scale keeps the terrain's height.
    const Case aCases[] = {{0, 3, 1.0}, {2, 0, 5.0}, {0, 3, 5.0}, {3, -1, 10.0}, {0, 2, 5.0}, {1, 0, 2.0}, {7, 0, 1.0}, {0, 1, 1.0}};
    for (const Case& oCase : aCases) {
        const qint64 nFrom = from();
        pGrid->setScale(oCase.nFactor, oCase.nLodBias);
        harness().sync();
        const LoggedBody update = bodies(QStringLiteral("UpdateGridEngineTerrainMessage"), nFrom).value(0);
        EXPECT_EQ(update.number(1, 0), 0.0) << oCase.nFactor << "," << oCase.nLodBias;
        EXPECT_EQ(update.number(2, 0), static_cast<double>(pGrid->getTerrainId()));
        EXPECT_EQ(update.number(2, 1, 1.0), oCase.dScale) << oCase.nFactor << "," << oCase.nLodBias;
        EXPECT_EQ(update.number(2, 2), static_cast<double>(oCase.nLodBias));
    }
}

TEST_F(GridTest, TrackAndCoverageLines)
{
    COrlexGrid* pGrid = surveys()->getSurvey(surveyFolder(QStringLiteral("Alpha")));
    ASSERT_NE(pGrid, nullptr);
    pGrid->setTrackLineColor(QColor(255, 0, 0));

    TrackSet set;
    set.push_back(track("Line 10", 2000, 1000, {0, 0, 0, 3, 4, 0}));
    set.push_back(track("Line 1", 0, 0, {}, {0, 0, 0, 1, 1, 0, 2, 2, 0, 3, 3, 0}));
    qint64 nFrom = from();
    pGrid->setTrackLines(set);
    EXPECT_EQ(types(nFrom), (QStringList{"CreateLineMessage", "CreateLineMessage", "CreateLineMessage"}));
    const QList<LoggedBody> lines = bodies(QStringLiteral("CreateLineMessage"), nFrom);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].text(1, 7), QStringLiteral("Tracks"));
    EXPECT_EQ(numbers(lines[0].structAt(2, 0).list(0, 1)), (QList<double>{1000, 2000, 0, 1003, 2004, 0}));
    EXPECT_EQ(numbers(lines[0].structAt(2, 0).list(0, 2)), (QList<double>{0, 1, -1}));
    const LoggedBody material = lines[0].structAt(1, 10).structAt(0, 5);
    EXPECT_EQ(rgb(material.structAt(0, 1)), (std::array<double, 3>{1, 0, 0}));
    EXPECT_EQ(material.number(0, 4), 2.0);
    // A track without points: only the end mark.
    EXPECT_EQ(numbers(lines[1].structAt(2, 0).list(0, 2)), (QList<double>{-1}));
    EXPECT_EQ(lines[2].text(1, 7), QStringLiteral("Coverage"));
    EXPECT_EQ(numbers(lines[2].structAt(2, 0).list(0, 2)), (QList<double>{0, 1, 2, -1, 3, -1}));
    EXPECT_EQ(numbers(lines[2].structAt(2, 0).list(0, 1)), (QList<double>{0, 0, 0, 1, 1, 0, 2, 2, 0, 3, 3, 0}));

    // "Line 1" is a line of its own, though "Line 10" contains its name.
    ASSERT_EQ(pGrid->trackLines().size(), 2u);
    ASSERT_EQ(pGrid->coverageLines().size(), 1u);
    const std::uint64_t nLine1 = pGrid->trackLines()[1].objectId;
    const std::uint64_t nCoverage = pGrid->coverageLines()[0].objectId;
    EXPECT_EQ(viewer()->getObjects().at(nLine1).kind, 2);
    EXPECT_EQ(viewer()->getObjects().at(nCoverage).kind, 3);
    EXPECT_EQ(viewer()->getObjects().at(nCoverage).name, pGrid->getPath());
    int nHeading = -1;
    int nSpeed = -1;
    EXPECT_EQ(pGrid->getTrackLineInfo(nLine1, nHeading, nSpeed), pGrid->getPath() + QStringLiteral("/Line 1"));
    EXPECT_EQ(nHeading, 90);
    EXPECT_EQ(nSpeed, 512);
    EXPECT_TRUE(pGrid->getTrackLineInfo(nCoverage, nHeading, nSpeed).isEmpty());
    EXPECT_EQ(nHeading, 0);
    EXPECT_EQ(pGrid->findTrackLineId(QStringLiteral("Line 1")), pGrid->trackLines()[0].objectId);
    EXPECT_EQ(pGrid->findTrackLineId(QStringLiteral("line 1")), 0u);

    // The same track again (its file grew) replaces its line and its coverage.
    nFrom = from();
    pGrid->setTrackLines(TrackSet{set[1]});
    EXPECT_EQ(types(nFrom), (QStringList{"CreateLineMessage", "DestroyObjectMessage", "DestroyObjectMessage", "CreateLineMessage"}));
    QList<double> destroyed;
    for (const LoggedBody& body : bodies(QStringLiteral("DestroyObjectMessage"), nFrom))
        destroyed << body.number(1, 0);
    EXPECT_EQ(destroyed, (QList<double>{static_cast<double>(nLine1), static_cast<double>(nCoverage)}));
    EXPECT_EQ(pGrid->trackLines().size(), 2u);
    EXPECT_EQ(pGrid->coverageLines().size(), 1u);

    // Width reaches the track lines only; colour reaches both kinds, coverage without width.
    nFrom = from();
    EXPECT_EQ(pGrid->setTrackLineWidth(4), 2);
    EXPECT_EQ(pGrid->setTrackLineColor(QColor(0, 0, 255)), 1);
    const QList<LoggedBody> updates = bodies(QStringLiteral("UpdateMaterialMessage"), nFrom);
    ASSERT_EQ(updates.size(), 5);
    EXPECT_EQ(updates[0].structAt(2, 0).structAt(0, 5).number(0, 4), 4.0);
    EXPECT_EQ(rgb(updates[2].structAt(2, 0).structAt(0, 5).structAt(0, 1)), (std::array<double, 3>{0, 0, 1}));
    EXPECT_EQ(updates[4].number(1, 0), static_cast<double>(pGrid->coverageLines()[0].objectId));
    EXPECT_FALSE(updates[4].structAt(2, 0).structAt(0, 5).has(0, 4));

    nFrom = from();
    pGrid->setTracksVisible(false);
    pGrid->setCoverageVisible(true);
    EXPECT_EQ(types(nFrom), (QStringList{"UpdateLayersVisibilityMessage", "UpdateLayersVisibilityMessage"}));
}

TEST_F(GridTest, CompletionsBelongToTheirOwnOpen)
{
    QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
    QSignalSpy log(surveys(), &COrlexDataManager::msgToFile);
    const QString strFirst = surveyFolder(QStringLiteral("First"));
    const QString strSecond = surveyFolder(QStringLiteral("Second"));
    // Two opens before either report is handled; the first fails.
    qint64 nFrom = from();
    completed.clear();
    surveys()->openSurvey(strFirst, false);
    surveys()->openSurvey(strSecond, false);
    EXPECT_EQ(surveys()->getPendingSurveys(), (QStringList{strFirst, strSecond}));
    const std::uint64_t nFirstTerrain = surveys()->getSurvey(strFirst)->getTerrainId();
    surveys()->openSurveyCompleted(false, false);
    EXPECT_EQ(completed.size(), 1);
    EXPECT_EQ(completed.first(), (QList<QVariant>{false, false}));
    EXPECT_EQ(log.at(0).first().toString(),
              QStringLiteral("OrlexDataManager::openSurveyCompleted - ERROR : Survey %1 couldn't be loaded loaded").arg(strFirst));
    EXPECT_EQ(log.at(1).first().toString(), QStringLiteral("OrlexDataManager::closeSurvey - Closing survey %1").arg(strFirst));
    EXPECT_FALSE(surveys()->getSurveys().contains(strFirst));
    EXPECT_EQ(viewer()->getObjects().count(nFirstTerrain), 0u);
    // The second survey keeps its grid and completes when its report arrives.
    // (Reports of earlier terrain changes may complete in between.)
    ASSERT_TRUE(viewertest::waitUntil([&] { return surveys()->getPendingSurveys().isEmpty(); }));
    EXPECT_TRUE(completed.last().first().toBool());
    ASSERT_NE(surveys()->getSurvey(strSecond), nullptr);
    EXPECT_TRUE(surveys()->getPendingSurveys().isEmpty());
    EXPECT_EQ(bodies(QStringLiteral("DestroyObjectMessage"), nFrom).value(0).number(1, 0), static_cast<double>(nFirstTerrain));
    EXPECT_EQ(bodies(QStringLiteral("CreateGridEngineTerrainMessage"), nFrom).size(), 2);

    // A completion whose survey is gone still completes, as a failure.
    surveys()->closeSurvey(strSecond);
    log.clear();
    surveys()->openSurveyCompleted(true, true);
    EXPECT_EQ(completed.last(), (QList<QVariant>{false, true}));
    EXPECT_EQ(log.value(0).first().toString(), QStringLiteral("OrlexDataManager::openSurveyCompleted - ERROR : Survey %1 not found").arg(strSecond));

    // Closed and opened again: a terrain of its own, completed.
    nFrom = from();
    COrlexGrid* pAgain = openAndWait(strSecond);
    ASSERT_NE(pAgain, nullptr);
    EXPECT_EQ(completed.last().first().toBool(), true);
    EXPECT_EQ(harness().received(QStringLiteral("CreateGridEngineTerrainMessage"), nFrom).size(), 1);
    pAgain->setTrackLines(TrackSet{track("Only", 0, 0, {0, 0, 0})});
    const std::uint64_t nLine = pAgain->trackLines().at(0).objectId;
    nFrom = from();
    surveys()->closeSurvey(strSecond);
    QList<double> destroyed;
    harness().sync();
    for (const LoggedBody& body : bodies(QStringLiteral("DestroyObjectMessage"), nFrom))
        destroyed << body.number(1, 0);
    EXPECT_EQ(destroyed.size(), 2);
    EXPECT_TRUE(destroyed.contains(static_cast<double>(nLine)));
    EXPECT_EQ(viewer()->getObjects().count(nLine), 0u);
    EXPECT_EQ(surveys()->getSurvey(strSecond), nullptr);
}

TEST_F(GridTest, DriveRuleMovesTheGridFolder)
{
    const QString strRegistry = platform::toNativePath(platform::machineRegistryFile());
    QDir().mkpath(QFileInfo(strRegistry).path());
    QDir().mkpath(platform::winRoot() + QStringLiteral("/c/temp"));
    const QString strTokens = platform::toNativePath(programDataPath() + QStringLiteral("QelTokens.json"));
    QDir().mkpath(QFileInfo(strTokens).path());
    struct Case {
        const char* szMode;
        const char* szDrive;
        const char* szExpected;
    };
    const Case aCases[] = {{"1", "E", "E:/surveys/x"}, {"1", "EF", "D:/surveys/x"}, {"0", "E", "D:/surveys/x"}};
    for (const Case& oCase : aCases) {
        QFile registry(strRegistry);
        ASSERT_TRUE(registry.open(QIODevice::WriteOnly | QIODevice::Truncate));
        registry.write(QByteArray("[HKEY_LOCAL_MACHINE\\SOFTWARE\\T-Qel]\nT-Qel_Mode=") + oCase.szMode + "\n");
        registry.close();
        const QJsonObject token{{"Name", "CORV_GRID_PATH"}, {"Descr", ""}, {"Type", 3}, {"Value", oCase.szDrive}};
        QFile tokens(strTokens);
        ASSERT_TRUE(tokens.open(QIODevice::WriteOnly | QIODevice::Truncate));
        tokens.write(QJsonDocument(QJsonObject{{"version", "1"}, {"lastsave", "20240101_120000"}, {"tokens", QJsonArray{token}}}).toJson());
        tokens.close();

        COrlexGrid grid(viewer()->getDispatcher());
        grid.init(QStringLiteral("D:/surveys/x"), QStringLiteral("zMin"), true);
        EXPECT_EQ(grid.getPath(), QLatin1String(oCase.szExpected)) << oCase.szMode << " " << oCase.szDrive;
        grid.removeViewerObjects();
    }
    QFile::remove(strRegistry);
}

TEST_F(GridTest, UnloadedOverlaysGiveTheirIdsBack)
{
    auto allocator = Dremm::Orlex::QtClient::objectIdAllocator();
    std::vector<TiffOverlay> overlays(2);
    for (int i = 0; i < 2; ++i) {
        overlays[i].rasterSourceId = allocator->allocate();
        overlays[i].terrainId = allocator->allocate();
        overlays[i].lineId = allocator->allocate();
        overlays[i].path = QStringLiteral("C:/maps/chart%1.tif").arg(i);
        surveys()->addTiff(overlays[i]);
    }
    const QString strList = platform::toNativePath(programDataPath() + QStringLiteral("lastTiffs.txt"));
    QFile::remove(strList);

    qint64 nFrom = from();
    surveys()->unloadTiff(overlays[0].path);
    QList<double> destroyed;
    harness().sync();
    for (const LoggedBody& body : bodies(QStringLiteral("DestroyObjectMessage"), nFrom))
        destroyed << body.number(1, 0);
    EXPECT_EQ(destroyed, (QList<double>{static_cast<double>(overlays[0].rasterSourceId), static_cast<double>(overlays[0].terrainId),
                                        static_cast<double>(overlays[0].lineId)}));
    QFile list(strList);
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), QByteArray("C:/maps/chart1.tif\n"));
    list.close();
    QStringList paths;
    surveys()->getTiffPaths(paths);
    EXPECT_EQ(paths, QStringList{overlays[1].path});
    // The three ids are handed out again.
    std::set<std::uint64_t> again{allocator->allocate(), allocator->allocate(), allocator->allocate()};
    EXPECT_EQ(again, (std::set<std::uint64_t>{overlays[0].rasterSourceId, overlays[0].terrainId, overlays[0].lineId}));

    // A path not loaded sends nothing and still rewrites the list.
    QFile::remove(strList);
    nFrom = from();
    surveys()->unloadTiff(QStringLiteral("C:/maps/none.tif"));
    EXPECT_TRUE(types(nFrom).isEmpty());
    EXPECT_TRUE(QFile::exists(strList));
}

// The ship-track loader hands the survey's track files to its grid: drawn on open, drawn again
// when the runtime reports new tracks.
TEST_F(GridTest, ShipTracksDrawnAndRedrawn)
{
    const QString strPath = surveyFolder(QStringLiteral("Tracked"));
    COrlexGrid* pGrid = openAndWait(strPath);
    ASSERT_NE(pGrid, nullptr);
    const QString strTracks = strPath + QStringLiteral("/tracks");
    QDir(strTracks).removeRecursively();
    QDir().mkpath(strTracks);
    const auto le = [](qint32 n) {
        QByteArray ba(4, '\0');
        qToLittleEndian(n, ba.data());
        return ba;
    };
    const auto trackFile = [&](const QString& strName, const QList<QPair<qint32, qint32>>& points) {
        QByteArray ba = QByteArray(8, '\0') + le(45) + le(1000);
        for (const auto& p : points)
            ba += QByteArray(8, '\0') + le(p.first) + le(p.second);
        QFile oFile(strTracks + QLatin1Char('/') + strName);
        EXPECT_TRUE(oFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        oFile.write(ba);
    };
    trackFile(QStringLiteral("Line 1.shipstrack"), {{100000, 200000}, {100100, 200300}});
    trackFile(QStringLiteral("Line 2.shipstrack"), {{0, 0}});
    trackFile(QStringLiteral("Line 2.coverage"), {});
    // Two dots: not a track file.
    trackFile(QStringLiteral("Line.old.shipstrack"), {{0, 0}});

    CHandleTracks* poTracks = CHandleTracks::instance();
    qint64 nFrom = from();
    ASSERT_TRUE(poTracks->openTracks(pGrid));
    const QList<LoggedBody> lines = bodies(QStringLiteral("CreateLineMessage"), nFrom);
    ASSERT_EQ(lines.size(), 2);
    // Metres: origin (2000, 1000) plus the points relative to it.
    EXPECT_EQ(numbers(lines[0].structAt(2, 0).list(0, 1)), (QList<double>{2000, 1000, 0, 2003, 1001, 0}));
    ASSERT_EQ(pGrid->trackLines().size(), 2u);
    EXPECT_EQ(pGrid->trackLines()[1].name, strPath + QStringLiteral("/Line 2"));
    EXPECT_EQ(pGrid->trackLines()[1].speed, 1000);
    EXPECT_EQ(poTracks->knownFiles().size(), 3);
    // Nothing new: nothing drawn.
    nFrom = from();
    EXPECT_FALSE(poTracks->openTracks(pGrid));
    EXPECT_TRUE(types(nFrom).isEmpty());

    // A new track reported twice, the second time longer: drawn, then drawn again in place.
    trackFile(QStringLiteral("Line 3.shipstrack"), {{0, 0}});
    QString strNames;
    nFrom = from();
    ASSERT_TRUE(poTracks->updateTracks(pGrid, strNames));
    EXPECT_EQ(QFileInfo(strNames).fileName(), QStringLiteral("Line 3.shipstrack"));
    EXPECT_EQ(types(nFrom), QStringList{"CreateLineMessage"});
    const std::uint64_t nFirstDraw = pGrid->trackLines().at(2).objectId;
    trackFile(QStringLiteral("Line 3.shipstrack"), {{0, 0}, {100, 100}});
    nFrom = from();
    ASSERT_TRUE(poTracks->updateTracks(pGrid, strNames));
    EXPECT_EQ(types(nFrom), (QStringList{"CreateLineMessage", "DestroyObjectMessage"}));
    EXPECT_EQ(bodies(QStringLiteral("DestroyObjectMessage"), nFrom).value(0).number(1, 0), static_cast<double>(nFirstDraw));
    ASSERT_EQ(pGrid->trackLines().size(), 3u);
    EXPECT_EQ(bodies(QStringLiteral("CreateLineMessage"), nFrom).value(0).structAt(2, 0).list(0, 1).size(), 6);
    EXPECT_FALSE(poTracks->openTracks(nullptr));
}

} // namespace
