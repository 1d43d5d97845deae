// The camera: scale reports from navigation answers, zoom steps, moves over an area, following the
// vessel, rotations, 2-D and 3-D, zoom to region and layers. The server's answers are scripted
// (the poll is kept out of the way by CAMTIMER), so each case chooses its camera state.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopWidget>
#include <QSignalSpy>
#include <QWidget>

#include <cmath>

using viewertest::bodyOf;
using viewertest::ControllerHarness;
using viewertest::LoggedBody;

namespace {

constexpr double kPi = 3.14159265358979323846;

class CameraTest : public viewertest::LiveViewTest
{
protected:
    // Metres of the world per screen height of the map pane at scale 1.
    static double viewHeight()
    {
        const QDesktopWidget* pDesktop = QApplication::desktop();
        return static_cast<float>(pDesktop->heightMM()) / 10.0f / pDesktop->height() * s_pHarness->pane()->height() / 100.0;
    }

    // Sends a navigation answer and waits until the controller has taken it (its camera X is
    // made unique for that).
    void answer(double dViewportHeight, double dX = 0, double dY = 0, double dFocal = 500, double dFieldOfView = 0.8,
                double dZ = 1000)
    {
        const double dUniqueX = dX + 1e-6 * ++s_nAnswers;
        ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("QueryNavigationStateResponseMessage"),
                                           viewertest::navigationAnswer(s_nViewerId, dUniqueX, dY, dZ, dFocal, dViewportHeight,
                                                                        dFieldOfView)));
        ASSERT_TRUE(viewertest::waitUntil([&] {
            double dCx = 0, dCy = 0;
            viewer()->getCenter(dCx, dCy);
            return dCx == dUniqueX;
        }));
    }

    // Two answers: the first may be the one a toolbar scale skips.
    void settle(double dViewportHeight, double dX = 0, double dY = 0)
    {
        answer(dViewportHeight, dX, dY);
        answer(dViewportHeight, dX, dY);
    }

    void mouse(int nEvent, int nButtons)
    {
        const QJsonArray levels{QJsonArray(), QJsonArray{viewertest::int32Field(0, s_nViewerId)},
                                QJsonArray{viewertest::int32Field(1, nEvent), viewertest::int32Field(2, nButtons)}};
        ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("MouseEventMessage"), levels));
    }

    LoggedBody lastReceived(const char* pType, qint64 nFrom)
    {
        const QList<QJsonObject> found = harness().received(QString::fromLatin1(pType), nFrom);
        return found.isEmpty() ? LoggedBody() : bodyOf(found.last());
    }

    static int s_nAnswers;
};

int CameraTest::s_nAnswers = 0;

// The camera data of a SetCameraDataMessage and of a SetNavigationPresetMessage.
LoggedBody cameraData(const LoggedBody& message)
{
    return message.structAt(3, 0);
}

LoggedBody presetData(const LoggedBody& message)
{
    return message.structAt(3, 1);
}

} // namespace

TEST_F(CameraTest, NavigationAnswersReportTheScaleOnceAndPickTheVesselSymbol)
{
    QSignalSpy scales(viewer(), &COrlexViewer::scaleUpdated);
    const double dHeight = viewHeight();
    ASSERT_GT(dHeight, 0.0);
    // Markers when 8.5 m of the world cover less than 5 mm of the screen.
    const QDesktopWidget* pDesktop = QApplication::desktop();
    const double dMarkerLimit = harness().pane()->height() * 8.5 / (pDesktop->height() / (pDesktop->heightMM() / 10.0) * 0.5);

    settle(dHeight * 2500.5);
    ASSERT_EQ(scales.size(), 1);
    EXPECT_EQ(scales.takeFirst().at(0).toInt(), 2500);

    answer(dHeight * 2500.9); // the same scale
    EXPECT_TRUE(scales.isEmpty());

    const double dZoomedIn = dMarkerLimit / 4;
    answer(dZoomedIn);
    ASSERT_EQ(scales.size(), 1);
    EXPECT_EQ(scales.takeFirst().at(0).toInt(), static_cast<int>(dZoomedIn / dHeight));
    EXPECT_FALSE(viewer()->getShipModel()->isMarkerShown());
    const double dZoomedOut = dMarkerLimit * 4;
    answer(dZoomedOut);
    EXPECT_TRUE(viewer()->getShipModel()->isMarkerShown());

    // Heights the server should never send change nothing and end nothing.
    scales.clear();
    for (const double dBad : {0.0, -5.0})
        answer(dBad);
    EXPECT_TRUE(scales.isEmpty());
}

TEST_F(CameraTest, AToolbarScaleMovesTheCameraAndSkipsOneAnswer)
{
    const double dHeight = viewHeight();
    settle(dHeight * 800.5, 120, 340);
    QSignalSpy scales(viewer(), &COrlexViewer::scaleUpdated);

    const qint64 nFrom = harness().mark();
    viewer()->setScale(5000);
    ASSERT_EQ(scales.size(), 1);
    EXPECT_EQ(scales.takeFirst().at(0).toInt(), 5000);
    harness().sync();
    const LoggedBody move = lastReceived("SetCameraDataMessage", nFrom);
    EXPECT_EQ(move.number(2, 1), 1.0); // TransitionTime
    const LoggedBody data = cameraData(move);
    EXPECT_NEAR(data.number(0, 6), dHeight * 5000, 1e-6);
    EXPECT_NEAR(data.position(0, 1)[0], 120, 1e-3);
    EXPECT_EQ(data.position(0, 1)[1], 340);
    EXPECT_FALSE(data.has(0, 3)); // no camera position

    answer(dHeight * 4999.5, 120, 340); // only taken as the camera state
    EXPECT_TRUE(scales.isEmpty());
    answer(dHeight * 4999.5, 120, 340);
    ASSERT_EQ(scales.size(), 1);
    EXPECT_EQ(scales.takeFirst().at(0).toInt(), 4999);

    // Nothing to do for the scale in hand, or for a scale that is no scale.
    const qint64 nQuiet = harness().mark();
    viewer()->setScale(4999);
    viewer()->setScale(0);
    viewer()->setScale(-7);
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nQuiet).isEmpty());
    EXPECT_TRUE(scales.isEmpty());
}

TEST_F(CameraTest, ZoomStepsFromTheWheelReportTheScaleOnlyAfterTheNextAnswer)
{
    const double dHeight = viewHeight();
    const double dStart = dHeight * 3000.5;
    settle(dStart);
    QSignalSpy scales(viewer(), &COrlexViewer::scaleUpdated);

    const qint64 nIn = harness().mark();
    mouse(6, 1); // zoom in
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("SetCameraDataMessage"), nIn));
    EXPECT_NEAR(cameraData(lastReceived("SetCameraDataMessage", nIn)).number(0, 6), dStart / 1.25, 1e-6);

    // A second step inwards before the report does nothing; a step outwards is carried out.
    const qint64 nAgain = harness().mark();
    mouse(6, 1);
    mouse(6, 4);
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("SetCameraDataMessage"), nAgain));
    harness().sync();
    const QList<QJsonObject> moves = harness().received(QStringLiteral("SetCameraDataMessage"), nAgain);
    ASSERT_EQ(moves.size(), 1);
    EXPECT_NEAR(cameraData(bodyOf(moves.first())).number(0, 6), dStart * 1.25, 1e-6);
    EXPECT_TRUE(scales.isEmpty());

    answer(dStart * 1.25); // skipped
    EXPECT_TRUE(scales.isEmpty());
    answer(dStart * 1.25);
    ASSERT_EQ(scales.size(), 1);
    EXPECT_EQ(scales.first().at(0).toInt(), static_cast<int>(dStart * 1.25 / dHeight));

    // Other buttons and other events do not zoom.
    const qint64 nOther = harness().mark();
    mouse(6, 2);
    mouse(5, 1);
    answer(dStart * 1.25); // the mouse events were handled before this answer
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nOther).isEmpty());
}

TEST_F(CameraTest, AreaMovesTakeANegativeHeightAsAScale)
{
    const double dHeight = viewHeight();
    settle(dHeight * 1000.5);
    const qint64 nFrom = harness().mark();
    viewer()->moveToArea(500, 600, -2000);
    viewer()->moveToArea(700, 800, 250);
    harness().sync();
    const QList<QJsonObject> moves = harness().received(QStringLiteral("SetCameraDataMessage"), nFrom);
    ASSERT_EQ(moves.size(), 2);
    EXPECT_NEAR(cameraData(bodyOf(moves[0])).number(0, 6), dHeight * 2000, 1e-9);
    EXPECT_EQ(cameraData(bodyOf(moves[0])).position(0, 1), (std::array<double, 3>{500, 600, 0}));
    EXPECT_EQ(cameraData(bodyOf(moves[1])).number(0, 6), 250.0);
}

TEST_F(CameraTest, FollowingKeepsTheOperatorsOffsetFromTheVessel)
{
    CShipModel* pShip = viewer()->getShipModel();
    ASSERT_NE(pShip, nullptr);
    pShip->updateVessel(500000, 300000, 0, QStringLiteral("#INIT#")); // (5000 m, 3000 m)
    viewer()->setVesselPositionArrived(); // as a real position would
    harness().sync(); // the vessel messages are in before the next mark
    settle(400, 4900, 2950);

    // Follow on: nothing moves until the next answer, which takes the offset.
    qint64 nFrom = harness().mark();
    viewer()->moveToVessel(true, 1);
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetNavigationPresetMessage"), nFrom).isEmpty());
    answer(400, 4900, 2950);
    harness().sync();
    QList<QJsonObject> presets = harness().received(QStringLiteral("SetNavigationPresetMessage"), nFrom);
    ASSERT_EQ(presets.size(), 1);
    LoggedBody preset = bodyOf(presets.first());
    EXPECT_FALSE(preset.has(2, 1)); // no transition time without NOSMOOTHCAM
    EXPECT_NEAR(presetData(preset).position(0, 3)[0], 4900, 1e-3);
    EXPECT_NEAR(presetData(preset).position(0, 3)[1], 2950, 1e-9);
    EXPECT_EQ(presetData(preset).position(0, 3)[2], 1000.0);
    EXPECT_FALSE(presetData(preset).has(0, 4)); // north up: no orientation

    // The vessel moves on; the periodic move keeps the offset.
    pShip->updateVessel(510000, 300000, 0, QStringLiteral("#INIT#"));
    harness().sync(); // the vessel messages are in before the next mark
    qputenv("NOSMOOTHCAM", "1");
    nFrom = harness().mark();
    viewer()->moveToVessel(true, 0);
    harness().sync();
    preset = lastReceived("SetNavigationPresetMessage", nFrom);
    EXPECT_TRUE(preset.has(2, 1));
    EXPECT_EQ(preset.number(2, 1, -1), 0.0);
    EXPECT_NEAR(presetData(preset).position(0, 3)[0], 5000, 1e-3);
    EXPECT_NEAR(presetData(preset).position(0, 1)[1], 2950, 1e-9);
    EXPECT_EQ(presetData(preset).number(0, 6), 400.0);
    qunsetenv("NOSMOOTHCAM");

    // Follow off moves nothing; a move with follow off centres the vessel.
    nFrom = harness().mark();
    viewer()->moveToVessel(false, 2);
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetNavigationPresetMessage"), nFrom).isEmpty());
    viewer()->moveToVessel(false, 0);
    harness().sync();
    EXPECT_EQ(presetData(lastReceived("SetNavigationPresetMessage", nFrom)).position(0, 3),
              (std::array<double, 3>{5100, 3000, 1000}));

    // An answer with the camera exactly at X 0 centres the vessel.
    viewer()->moveToVessel(true, 1);
    const QJsonArray atZero = viewertest::navigationAnswer(s_nViewerId, 0, 77, 1000, 500, 400, 0.8);
    nFrom = harness().mark();
    ASSERT_TRUE(harness().sendToClient(orlex_standin::coreType("QueryNavigationStateResponseMessage"), atZero));
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("SetNavigationPresetMessage"), nFrom));
    EXPECT_EQ(presetData(lastReceived("SetNavigationPresetMessage", nFrom)).position(0, 3),
              (std::array<double, 3>{5100, 3000, 1000}));
    viewer()->moveToVessel(false, 2);

    // An answer whose view does not hold the vessel gives no offset: the vessel is centred, and
    // stays so on the periodic moves.
    viewer()->moveToVessel(true, 1);
    nFrom = harness().mark();
    answer(400, 166021, 0);
    harness().sync();
    viewer()->moveToVessel(true, 0);
    harness().sync();
    const QList<QJsonObject> centred = harness().received(QStringLiteral("SetNavigationPresetMessage"), nFrom);
    ASSERT_EQ(centred.size(), 2);
    for (const QJsonObject& entry : centred)
        EXPECT_EQ(presetData(bodyOf(entry)).position(0, 3), (std::array<double, 3>{5100, 3000, 1000}));

    // Zoom to vessel centres it though following kept an offset.
    viewer()->moveToVessel(true, 1);
    answer(400, 5000, 2950);
    harness().sync();
    nFrom = harness().mark();
    viewer()->zoomToVessel();
    viewer()->moveToVessel(true, 0);
    harness().sync();
    const QList<QJsonObject> zoomed = harness().received(QStringLiteral("SetNavigationPresetMessage"), nFrom);
    ASSERT_EQ(zoomed.size(), 2);
    for (const QJsonObject& entry : zoomed)
        EXPECT_EQ(presetData(bodyOf(entry)).position(0, 3), (std::array<double, 3>{5100, 3000, 1000}));
    viewer()->moveToVessel(false, 2);
}

TEST_F(CameraTest, RotationModesTurnTheView)
{
    CShipModel* pShip = viewer()->getShipModel();
    pShip->updateVessel(510000, 300000, 9000, QStringLiteral("#INIT#")); // heading 90 degrees
    harness().sync(); // the vessel messages are in before the next mark
    settle(400, 5000, 2900);
    const float h = static_cast<float>(std::sqrt(0.5));

    // Vessel heading: the move to the vessel carries the view turned by -90 degrees.
    qint64 nFrom = harness().mark();
    viewer()->rotateView(1, 0);
    viewer()->moveToVessel(false, 0);
    harness().sync();
    LoggedBody orientation = presetData(lastReceived("SetNavigationPresetMessage", nFrom)).structAt(0, 4);
    EXPECT_NEAR(orientation.number(0, 2), -h, 1e-6);
    EXPECT_NEAR(orientation.number(0, 3, 1), h, 1e-6);

    // Plan-line heading without an active line: no orientation, and no turn.
    nFrom = harness().mark();
    viewer()->rotateView(2, 0);
    viewer()->moveToVessel(false, 0);
    viewer()->updateViewRotation();
    harness().sync();
    EXPECT_FALSE(presetData(lastReceived("SetNavigationPresetMessage", nFrom)).has(0, 4));
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nFrom).isEmpty());

    // A fixed angle: the view turns by minus that angle around the camera position.
    nFrom = harness().mark();
    viewer()->rotateView(3, 30);
    viewer()->updateViewRotation();
    harness().sync();
    const LoggedBody fixed = cameraData(lastReceived("SetCameraDataMessage", nFrom));
    EXPECT_NEAR(fixed.structAt(0, 4).number(0, 2), -std::sin(kPi / 12), 1e-6);
    EXPECT_NEAR(fixed.position(0, 1)[0], 5000, 1e-3);
    EXPECT_EQ(fixed.number(0, 6), 400.0);

    // North up again, at the camera, with the last viewport height.
    nFrom = harness().mark();
    viewer()->rotateView(0, 0);
    harness().sync();
    const LoggedBody north = cameraData(lastReceived("SetCameraDataMessage", nFrom));
    EXPECT_EQ(north.structAt(0, 4).number(0, 2), 0.0);
    EXPECT_EQ(north.position(0, 1), (std::array<double, 3>{5000, 2900, 1000}));
    EXPECT_EQ(north.number(0, 6), 400.0);
    pShip->updateVessel(510000, 300000, 0, QStringLiteral("#INIT#"));
    harness().sync(); // the vessel messages are in before the next mark
}

TEST_F(CameraTest, ThreeDAndBack)
{
    // Looking straight down from (1000, 2000, 500), focal distance 500, viewport 400 m, 0.8 rad.
    settle(400, 1000, 2000);
    answer(400, 1000, 2000, 500, 0.8, 500);
    const double dSpan = 2 * std::sin(0.8f / 2.0f);

    qint64 nFrom = harness().mark();
    viewer()->toggle3D(true);
    harness().sync();
    const QSet<QString> ignored{QStringLiteral("ResizeViewerMessage"), QStringLiteral("UpdateVisibilityMessage")};
    EXPECT_EQ(harness().receivedTypes(nFrom, ignored),
              (QStringList{"SetProjectionModeMessage", "EnableDollyMessage", "EnableDoubleClickMessage", "SetCameraDataMessage",
                           "UpdateLayersVisibilityMessage", "UpdateLayersVisibilityMessage", "UpdateLayersVisibilityMessage",
                           "UpdateLayersVisibilityMessage", "SetInteractionActionsMessage"}));
    EXPECT_EQ(lastReceived("SetProjectionModeMessage", nFrom).number(3, 0), 0.0); // 3-D
    const LoggedBody up = lastReceived("SetCameraDataMessage", nFrom);
    EXPECT_TRUE(up.has(2, 1));
    EXPECT_EQ(up.number(2, 1, -1), 0.0);
    EXPECT_NEAR(cameraData(up).position(0, 3)[0], 1000, 1e-3);
    EXPECT_NEAR(cameraData(up).position(0, 3)[2], 400 / dSpan, 1e-6);
    EXPECT_NEAR(cameraData(up).number(0, 5), 400 / dSpan, 1e-6);
    const LoggedBody actions3D = lastReceived("SetInteractionActionsMessage", nFrom);
    EXPECT_EQ(actions3D.list(2, 1).first().toObject().value(QStringLiteral("v")).toArray().size(), 6);
    EXPECT_EQ(actions3D.list(2, 2).first().toObject().value(QStringLiteral("v")).toArray().size(), 12);
    const QJsonArray layers = harness().control().state().value(QStringLiteral("viewers")).toArray().first().toObject().value(
        QStringLiteral("layers")).toArray();
    for (const QJsonValue& layer : layers) {
        const QString strName = layer.toObject().value(QStringLiteral("name")).toString();
        if (strName == "TIFF" || strName == "MAPS" || strName == "Planning" || strName == "Tracks") {
            EXPECT_FALSE(layer.toObject().value(QStringLiteral("visible")).toBool()) << strName.toStdString();
        }
    }

    // No scale in 3-D.
    nFrom = harness().mark();
    viewer()->setScale(1234);
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nFrom).isEmpty());

    // Back to 2-D: north up over the focus point, then the two zoom steps that bring the scale
    // report back, and the move to the vessel (it is not at the origin).
    viewer()->getShipModel()->updateVessel(510000, 300000, 0, QStringLiteral("#INIT#"));
    harness().sync(); // the vessel messages are in before the next mark
    nFrom = harness().mark();
    viewer()->toggle3D(false);
    harness().sync();
    EXPECT_EQ(harness().receivedTypes(nFrom, ignored),
              (QStringList{"SetProjectionModeMessage", "EnableDollyMessage", "UpdateLayersVisibilityMessage",
                           "UpdateLayersVisibilityMessage", "UpdateLayersVisibilityMessage", "UpdateLayersVisibilityMessage",
                           "EnableDoubleClickMessage", "SetCameraDataMessage", "SetInteractionActionsMessage"}));
    const LoggedBody down = cameraData(lastReceived("SetCameraDataMessage", nFrom));
    EXPECT_NEAR(down.position(0, 3)[0], 1000, 1e-3);
    EXPECT_EQ(down.position(0, 3)[2], 1000.0);
    EXPECT_NEAR(down.number(0, 6), dSpan * 500, 1e-6);
    EXPECT_TRUE(down.has(0, 4));
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("SetNavigationPresetMessage"), nFrom, 4000));
    EXPECT_EQ(harness().received(QStringLiteral("SetCameraDataMessage"), nFrom).size(), 3);
}

TEST_F(CameraTest, ThreeDWithTheEnvironmentAddsOceanAndSky)
{
    settle(400, 1000, 2000);
    qputenv("DREMMENVIR", "1");
    qint64 nFrom = harness().mark();
    viewer()->toggle3D(true);
    harness().sync();
    const QList<QJsonObject> oceans = harness().received(QStringLiteral("CreateOceanMessage"), nFrom);
    ASSERT_EQ(oceans.size(), 1);
    const double dOceanId = bodyOf(oceans.first()).number(1, 0);
    EXPECT_EQ(bodyOf(oceans.first()).number(1, 1), 40001.0);
    QJsonObject configuration =
        harness().control().state().value(QStringLiteral("viewers")).toArray().first().toObject().value(QStringLiteral("configuration")).toObject();
    EXPECT_EQ(configuration.value(QStringLiteral("SkyTexture")).toString(), QStringLiteral("Skydome.jpg"));

    nFrom = harness().mark();
    viewer()->toggle3D(false);
    harness().sync();
    const QList<QJsonObject> destroyed = harness().received(QStringLiteral("DestroyObjectMessage"), nFrom);
    ASSERT_EQ(destroyed.size(), 1);
    EXPECT_EQ(bodyOf(destroyed.first()).number(1, 0), dOceanId);
    configuration =
        harness().control().state().value(QStringLiteral("viewers")).toArray().first().toObject().value(QStringLiteral("configuration")).toObject();
    EXPECT_EQ(configuration.value(QStringLiteral("SkyTexture")).toString(), QString());
    qunsetenv("DREMMENVIR");
    // The delayed zoom steps and the move to the vessel end the switch.
    EXPECT_TRUE(harness().waitReceived(QStringLiteral("SetNavigationPresetMessage"), nFrom, 4000));
}

TEST_F(CameraTest, ThreeDWithoutAFieldOfViewKeepsTheCamera)
{
    answer(400, 10, 20, 500, 0.0);
    const qint64 nFrom = harness().mark();
    viewer()->toggle3D(true);
    harness().sync();
    EXPECT_TRUE(harness().received(QStringLiteral("SetCameraDataMessage"), nFrom).isEmpty());
    EXPECT_EQ(harness().received(QStringLiteral("SetProjectionModeMessage"), nFrom).size(), 1);
    viewer()->toggle3D(false);
    harness().sync();
    const LoggedBody down = cameraData(lastReceived("SetCameraDataMessage", nFrom));
    EXPECT_FALSE(down.has(0, 6)); // no viewport height of 0
    EXPECT_TRUE(harness().waitReceived(QStringLiteral("SetNavigationPresetMessage"), nFrom, 4000));
}

TEST_F(CameraTest, ZoomToRegionDrawsTheRectangleOnPress)
{
    settle(400);
    qint64 nFrom = harness().mark();
    viewer()->toggleZoomToRegion(true);
    harness().sync();
    auto cursor = [&] {
        return harness().control().state().value(QStringLiteral("viewers")).toArray().first().toObject().value(QStringLiteral("cursor")).toString();
    };
    EXPECT_EQ(cursor(), QStringLiteral("Cross"));

    mouse(1, 1);
    ASSERT_TRUE(harness().waitReceived(QStringLiteral("CreateLineMessage"), nFrom));
    harness().sync();
    const QJsonObject configuration =
        harness().control().state().value(QStringLiteral("viewers")).toArray().first().toObject().value(QStringLiteral("configuration")).toObject();
    EXPECT_EQ(configuration.value(QStringLiteral("NotifyMouseMove")).toString(), QStringLiteral("true"));
    const LoggedBody line = lastReceived("CreateLineMessage", nFrom);
    const LoggedBody material = line.structAt(1, 10).structAt(0, 5);
    EXPECT_FLOAT_EQ(static_cast<float>(material.number(0, 4)), 2.0f);
    const LoggedBody emissive = material.structAt(0, 3);
    EXPECT_EQ(emissive.number(0, 0, 0.5), 1.0);
    const QJsonArray points = line.structAt(2, 0).list(0, 1);
    ASSERT_EQ(points.size(), 12);
    EXPECT_EQ(points.at(2).toDouble(), 10.0);
    EXPECT_EQ(points.at(6).toDouble(), 1.0);

    viewer()->toggleZoomToRegion(false);
    harness().sync();
    EXPECT_EQ(cursor(), QStringLiteral("Default"));
}

TEST_F(CameraTest, LayersAreShownAndHiddenByName)
{
    auto visible = [&](const QString& strName) {
        const QJsonArray layers = harness().control().state().value(QStringLiteral("viewers")).toArray().first().toObject().value(
            QStringLiteral("layers")).toArray();
        for (const QJsonValue& layer : layers)
            if (layer.toObject().value(QStringLiteral("name")).toString() == strName)
                return layer.toObject().value(QStringLiteral("visible")).toBool();
        return false;
    };
    viewer()->setS57MapVisibility(false);
    viewer()->setPlanVisibility(false);
    viewer()->showLayer(QStringLiteral("Coverage"));
    harness().sync();
    EXPECT_FALSE(visible(QStringLiteral("MAPS")));
    EXPECT_FALSE(visible(QStringLiteral("Planning")));
    EXPECT_TRUE(visible(QStringLiteral("Coverage")));
    viewer()->setS57MapVisibility(true);
    viewer()->setPlanVisibility(true);
    viewer()->hideLayer(QStringLiteral("Coverage"));
    harness().sync();
    EXPECT_TRUE(visible(QStringLiteral("MAPS")));
    EXPECT_TRUE(visible(QStringLiteral("Planning")));
    EXPECT_FALSE(visible(QStringLiteral("Coverage")));
}

namespace {

// F1 in the viewer's window asks for help, whichever code the server names it by; other keys and
// the key's release do not.
TEST_F(CameraTest, F1PressedInTheViewerAsksForHelp)
{
    struct Case {
        int nKeyCode;
        bool bDown;
        bool bHelp;
    };
    const Case aCases[] = {{0x70, true, true}, {0x70, false, false}, {Qt::Key_F1, true, true}, {0x71, true, false}, {Qt::Key_F3, true, false}};
    QSignalSpy helpSpy(viewer(), &COrlexViewer::helpRequested);
    auto key = [&](int nKeyCode, bool bDown) {
        const QJsonArray levels{QJsonArray(), QJsonArray{viewertest::int32Field(0, s_nViewerId)},
                                QJsonArray{viewertest::int32Field(1, nKeyCode), orlex_standin::field(3, QStringLiteral("bool"), bDown)}};
        return harness().sendToClient(orlex_standin::coreType("KeyboardEventMessage"), levels);
    };
    for (const Case& oCase : aCases) {
        helpSpy.clear();
        ASSERT_TRUE(key(oCase.nKeyCode, oCase.bDown));
        // A key that asks for nothing is followed by one that does: one request, not two.
        if (!oCase.bHelp)
            ASSERT_TRUE(key(0x70, true));
        EXPECT_TRUE(viewertest::waitUntil([&] { return helpSpy.count() >= 1; })) << oCase.nKeyCode;
        EXPECT_EQ(helpSpy.count(), 1) << oCase.nKeyCode;
    }
}

} // namespace
