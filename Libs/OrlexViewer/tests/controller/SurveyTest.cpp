// Survey and raster reports of the server drive the camera, the registries and the status texts;
// the object registry keeps and forgets objects.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexQtClient/ObjectIdAllocator.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTimer>

#include "test_scratch.h"

using viewertest::bodyOf;
using viewertest::ControllerHarness;
using viewertest::LoggedBody;

namespace {

class SurveyTest : public viewertest::LiveViewTest
{
protected:
    COrlexDataManager* surveys() { return s_pViewer->getDataManager(); }

    // A survey folder whose terrain the stand-in reports with these values.
    static QString surveyFolder(const QString& strName, const QJsonObject& values)
    {
        const QString strFolder = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/") + strName);
        QDir().mkpath(strFolder + QStringLiteral("/Terrain"));
        QFile file(strFolder + QStringLiteral("/standin_survey.json"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(values).toJson());
        return strFolder;
    }

    QList<LoggedBody> cameraMoves(qint64 nFrom)
    {
        QList<LoggedBody> moves;
        for (const QJsonObject& entry : harness().received(QStringLiteral("SetCameraDataMessage"), nFrom))
            moves.append(bodyOf(entry));
        return moves;
    }

};


QJsonArray rasterCreated(quint64 nRasterId, const std::optional<std::array<double, 4>>& extents)
{
    QJsonArray common;
    if (extents) {
        // "QJsonArray() <<" nests: a braced list of one array would copy it under some compilers.
        const QJsonObject box{{"levels", QJsonArray() << QJsonArray{viewertest::doubleField(0, (*extents)[0]), viewertest::doubleField(1, (*extents)[1]),
                                                                    viewertest::doubleField(2, (*extents)[2]), viewertest::doubleField(3, (*extents)[3])}}};
        common.append(orlex_standin::listField(0, QStringLiteral("struct"), QJsonArray{box}));
    }
    return QJsonArray{QJsonArray(), QJsonArray{viewertest::uint64Field(0, nRasterId)},
                      QJsonArray{orlex_standin::structField(0, QJsonArray() << common)}};
}

} // namespace

TEST_F(SurveyTest, TheFirstSurveyMovesTheCameraAndLaterOnesOnlyTheStoredCentre)
{
    QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
    QSignalSpy status(viewer(), &COrlexViewer::sigSetStatusText);

    // 100 m wide, 40 m high, reference point (1040, 2010), depths -50 to -10.
    const QString strFirst = surveyFolder(QStringLiteral("First"), {{"minX", 1000}, {"maxX", 1100}, {"minY", 2000}, {"maxY", 2040},
                                                                     {"refX", 1040}, {"refY", 2010}, {"zMin", -50}, {"zMax", -10}});
    qint64 nFrom = harness().mark();
    surveys()->openSurvey(strFirst, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return completed.size() == 1; }));
    EXPECT_EQ(completed.first(), (QList<QVariant>{true, true}));
    ASSERT_TRUE(viewertest::waitUntil([&] { return status.size() == 2; }));
    EXPECT_EQ(status.at(0).at(0).toString(), QStringLiteral("Loading grid. Please wait...."));
    EXPECT_EQ(status.at(1).at(0).toString(), QStringLiteral("Grid loaded successfully!"));
    harness().sync();

    COrlexGrid* pGrid = surveys()->getSurvey(strFirst);
    ASSERT_NE(pGrid, nullptr);
    const std::uint64_t nTerrain = pGrid->getTerrainId();
    ASSERT_EQ(viewer()->getObjects().count(nTerrain), 1u);
    EXPECT_EQ(viewer()->getObjects().at(nTerrain).kind, 1);
    EXPECT_EQ(viewer()->getObjects().at(nTerrain).name, QStringLiteral("First"));

    // Over the grid's reference point; then over the extent, from 110 m up.
    const QList<LoggedBody> moves = cameraMoves(nFrom);
    ASSERT_EQ(moves.size(), 2);
    EXPECT_EQ(moves[0].structAt(3, 0).position(0, 3), (std::array<double, 3>{1040, 2010, 1000}));
    EXPECT_EQ(moves[0].structAt(3, 0).position(0, 1), (std::array<double, 3>{1040, 2010, 0}));
    const std::array<double, 3> extentCamera = moves[1].structAt(3, 0).position(0, 3);
    EXPECT_EQ(extentCamera[0], 1050.0);
    EXPECT_EQ(extentCamera[1], 2020.0);
    EXPECT_NEAR(extentCamera[2], 110.0, 1e-9);

    // "View all" goes over that extent.
    nFrom = harness().mark();
    viewer()->resetView();
    harness().sync();
    EXPECT_EQ(cameraMoves(nFrom).value(0).structAt(3, 0).position(0, 3)[0], 1050.0);

    // The depth range reaches the grid.
    double dZMin = 0, dZMax = 0;
    pGrid->getZRange(dZMin, dZMax);
    EXPECT_EQ(dZMin, -50.0);
    EXPECT_EQ(dZMax, -10.0);

    // A second survey moves nothing; "view all" frames both whole.
    const QString strSecond = surveyFolder(QStringLiteral("Second"), {{"minX", 5000}, {"maxX", 5400}, {"minY", 7000}, {"maxY", 7100}});
    nFrom = harness().mark();
    surveys()->openSurvey(strSecond, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return completed.size() == 2 && status.size() == 4; }));
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nFrom).isEmpty());
    // One tail-colour refresh serves both surveys, beside the camera poll.
    EXPECT_EQ(viewer()->findChildren<QTimer*>().size(), 2);

    nFrom = harness().mark();
    viewer()->resetView();
    harness().sync();
    EXPECT_EQ(harness().receivedTypes(nFrom), (QStringList{"SetProjectionModeMessage", "EnableDollyMessage", "SetCameraDataMessage"}));
    const std::array<double, 3> viewAll = cameraMoves(nFrom).value(0).structAt(3, 0).position(0, 3);
    EXPECT_EQ(viewAll[0], 3200.0);
    EXPECT_EQ(viewAll[1], 4550.0);
    EXPECT_NEAR(viewAll[2], 1.1 * 5100, 1e-9);
    EXPECT_NEAR(cameraMoves(nFrom).value(0).structAt(3, 0).number(0, 6), 1.1 * 5100, 1e-9);

    // A survey closed is left out.
    surveys()->closeSurvey(strSecond);
    nFrom = harness().mark();
    viewer()->resetView();
    harness().sync();
    EXPECT_EQ(cameraMoves(nFrom).value(0).structAt(3, 0).position(0, 3)[0], 1050.0);
    EXPECT_NEAR(cameraMoves(nFrom).value(0).structAt(3, 0).number(0, 6), 110.0, 1e-9);
}

TEST_F(SurveyTest, TheDepthRangeSetsTheThreeDTarget)
{
    const QJsonArray zRange{QJsonArray(), QJsonArray{viewertest::uint64Field(0, 1),
                                                     orlex_standin::structField(1, QJsonArray() << QJsonArray{viewertest::floatField(0, -80),
                                                                                                              viewertest::floatField(1, -20)})}};
    ASSERT_TRUE(harness().sendToClient(orlex_standin::quennetType("SurveyZRangeUpdatedMessage"), zRange));
    ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("QueryNavigationStateResponseMessage"),
                                       viewertest::navigationAnswer(s_nViewerId, 10, 20, 500, 500, 400, 0.8)));
    ASSERT_TRUE(viewertest::waitUntil([&] {
        double dX = 0, dY = 0;
        viewer()->getCenter(dX, dY);
        return dX == 10;
    }));
    const qint64 nFrom = harness().mark();
    viewer()->toggle3D(true);
    harness().sync();
    EXPECT_EQ(cameraMoves(nFrom).value(0).structAt(3, 0).position(0, 1)[2], -30.0);
    viewer()->toggle3D(false);
    // The switch back ends with two zoom steps 1.5 s later.
    EXPECT_TRUE(viewertest::waitUntil([&] { return cameraMoves(nFrom).size() == 4; }, 4000));
}

TEST_F(SurveyTest, ReportsForUnknownTerrainsAndServerErrorsAreOnlyLogged)
{
    QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
    QSignalSpy status(viewer(), &COrlexViewer::sigSetStatusText);
    const qint64 nFrom = harness().mark();
    const QJsonArray meta{QJsonArray(), QJsonArray{viewertest::uint64Field(0, 987654), viewertest::doubleField(1, 1),
                                                   viewertest::doubleField(2, 2)}};
    ASSERT_TRUE(harness().sendToClient(orlex_standin::quennetType("SurveyStaticMetaInfoMessage"), meta));
    const QJsonArray hugeId{QJsonArray(), QJsonArray{viewertest::uint64Field(0, 0x100000064ull)}};
    ASSERT_TRUE(harness().sendToClient(orlex_standin::quennetType("SurveyStaticMetaInfoMessage"), hugeId));
    const QJsonArray error{QJsonArray(), QJsonArray{orlex_standin::field(0, QStringLiteral("string"), QStringLiteral("bad thing")),
                                                    viewertest::int32Field(1, 3)}};
    ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("ErrorMessage"), error));
    // Both roads have delivered everything once this extent is reported.
    const QJsonArray extent{QJsonArray(), QJsonArray{viewertest::uint64Field(0, 987654)}};
    ASSERT_TRUE(harness().sendToClient(orlex_standin::quennetType("SurveyExtentUpdatedMessage"), extent));
    ASSERT_TRUE(viewertest::waitUntil([&] { return status.size() == 1; }));
    harness().sync();
    EXPECT_TRUE(completed.isEmpty());
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nFrom).isEmpty());
}

TEST_F(SurveyTest, ARasterGetsItsOutlineAndName)
{
    const std::uint64_t nRaster = Dremm::Orlex::QtClient::objectIdAllocator()->allocate();
    const std::uint64_t nTerrain = Dremm::Orlex::QtClient::objectIdAllocator()->allocate();
    TiffOverlay overlay;
    overlay.rasterSourceId = nRaster;
    overlay.terrainId = nTerrain;
    overlay.path = QStringLiteral("C:/maps/chart.tif");
    surveys()->addTiff(overlay);

    qint64 nFrom = harness().mark();
    // 1000 m by 500 m from (1000, 500).
    ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("RasterCreatedMessage"),
                                       rasterCreated(nRaster, std::array<double, 4>{1000, 2000, 500, 1000})));
    const auto label = harness().waitReceived(QStringLiteral("CreateLabelMessage"), nFrom);
    ASSERT_TRUE(label);
    EXPECT_EQ(harness().receivedTypes(nFrom), (QStringList{"CreateLineMessage", "CreateLabelMessage"}));

    const LoggedBody outline = bodyOf(harness().received(QStringLiteral("CreateLineMessage"), nFrom).first());
    EXPECT_EQ(outline.number(1, 1), static_cast<double>(nRaster)); // parent
    EXPECT_EQ(outline.text(1, 7), QStringLiteral("TIFF"));
    EXPECT_EQ(outline.position(1, 4), (std::array<double, 3>{1000, 500, 0.1}));
    QList<double> points;
    for (const QJsonValue& v : outline.structAt(2, 0).list(0, 1))
        points << v.toDouble();
    EXPECT_EQ(points, (QList<double>{0, 0, 0, 1000, 0, 0, 1000, 500, 0, 0, 500, 0}));
    QList<int> indices;
    for (const QJsonValue& v : outline.structAt(2, 0).list(0, 2))
        indices << v.toInt();
    EXPECT_EQ(indices, (QList<int>{0, 1, 2, 3, 0, -1}));
    const LoggedBody material = outline.structAt(1, 10).structAt(0, 5);
    EXPECT_FLOAT_EQ(static_cast<float>(material.number(0, 4)), 3.0f);
    EXPECT_EQ(material.structAt(0, 3).number(0, 2, 0.5), 1.0);

    const LoggedBody name = bodyOf(*label);
    EXPECT_EQ(name.position(1, 4), (std::array<double, 3>{1500, 750, -12101}));
    EXPECT_EQ(name.structAt(2, 0).number(0, 1, 20), 18.0);
    EXPECT_FALSE(name.structAt(2, 0).flag(0, 10, true));
    EXPECT_TRUE(name.structAt(2, 1).flag(0, 1));

    const TiffOverlay& marked = surveys()->getTiffOverlays().last();
    EXPECT_EQ(marked.labelId, static_cast<quint64>(name.number(1, 0)));
    EXPECT_EQ(marked.lineId, static_cast<quint64>(outline.number(1, 0)));

    // A confirmation without extents draws nothing.
    nFrom = harness().mark();
    ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("RasterCreatedMessage"), rasterCreated(nRaster, std::nullopt)));
    ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("RasterCreatedMessage"),
                                       rasterCreated(nRaster, std::array<double, 4>{0, 10, 0, 10})));
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("CreateLabelMessage"), nFrom));
    EXPECT_EQ(harness().received(QStringLiteral("CreateLineMessage"), nFrom).size(), 1);
}

TEST_F(SurveyTest, TheRegistryKeepsTheFirstEntryAndForgetsRemovedOnes)
{
    const std::uint64_t nId = Dremm::Orlex::QtClient::objectIdAllocator()->allocate();
    viewer()->addObject(nId, ViewerObjectInfo{2, QStringLiteral("line one"), false});
    viewer()->addObject(nId, ViewerObjectInfo{3, QStringLiteral("line two"), true});
    ASSERT_EQ(viewer()->getObjects().count(nId), 1u);
    EXPECT_EQ(viewer()->getObjects().at(nId).kind, 2);
    EXPECT_EQ(viewer()->getObjects().at(nId).name, QStringLiteral("line one"));

    // Removed twice, and an id that never came from the allocator: each destroy goes out, the
    // program goes on.
    const qint64 nFrom = harness().mark();
    viewer()->removeObject(nId);
    viewer()->removeObject(nId);
    viewer()->removeObject(77);
    harness().sync();
    EXPECT_EQ(viewer()->getObjects().count(nId), 0u);
    QList<double> destroyed;
    for (const QJsonObject& entry : harness().received(QStringLiteral("DestroyObjectMessage"), nFrom))
        destroyed << bodyOf(entry).number(1, 0);
    EXPECT_EQ(destroyed, (QList<double>{static_cast<double>(nId), static_cast<double>(nId), 77}));

    // The released id is handed out again, once.
    const std::uint64_t nAgain = Dremm::Orlex::QtClient::objectIdAllocator()->allocate();
    EXPECT_EQ(nAgain, nId);
    EXPECT_NE(Dremm::Orlex::QtClient::objectIdAllocator()->allocate(), nId);
}
