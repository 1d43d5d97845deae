// The controller's whole life in one process: connection, viewer and layers, the live view, the
// camera poll (CAMTIMER=250), the graticule, the end.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"

#include "Common/CorvPaths.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QPointer>
#include <QStandardItemModel>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

using viewertest::bodyOf;
using viewertest::ControllerHarness;
using viewertest::LoggedBody;

namespace {

const QSet<QString> kResizes{QStringLiteral("ResizeViewerMessage")};

qint64 timeOf(const QJsonObject& entry)
{
    return QDateTime::fromString(entry.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

} // namespace

TEST(ControllerStartup, FromConnectionToDestruction)
{
    ControllerHarness harness;
    ASSERT_TRUE(harness.startServer());

    COrlexViewer* pViewer = COrlexViewer::instance(QStringLiteral("dremmCorv"));
    ASSERT_NE(pViewer, nullptr);
    EXPECT_EQ(COrlexViewer::instance(QStringLiteral("dremm")), pViewer);
    ASSERT_NE(pViewer->getDispatcher(), nullptr);
    EXPECT_EQ(pViewer->getShipModel(), nullptr);

    // The constructor: version, then the extension request.
    ASSERT_TRUE(harness.waitReceived(QStringLiteral("LoadExtensionMessage")));
    const QList<QJsonObject> extension = harness.received(QStringLiteral("LoadExtensionMessage"));
    ASSERT_EQ(extension.size(), 1);
    EXPECT_EQ(bodyOf(extension.first()).text(1, 0), QStringLiteral("Quennet"));

    // The first parent builds the viewer and its layers.
    harness.startController();
    harness.sync();
    EXPECT_EQ(harness.receivedTypes(0, kResizes),
              (QStringList{"OrlexVersionMessage", "LoadExtensionMessage", "CreateViewerMessage", "CreateLayersMessage"}));

    const QJsonArray viewers = harness.control().state().value(QStringLiteral("viewers")).toArray();
    ASSERT_EQ(viewers.size(), 1);
    const QJsonObject viewer = viewers.first().toObject();
    const QJsonObject configuration = viewer.value(QStringLiteral("configuration")).toObject();
    const QJsonObject expectedConfiguration{
        {"CreateDefaultScene", "false"},
        {"SetDefaultCamera", "true"},
        {"CreateDefaultGrid", "false"},
        {"NotifyMouseMove", "false"},
        {"NotifyMouseMoveMinIntervalMs", "100"},
        {"graphics.backgroundColor", "0.9333 0.9412 0.9569 0"},
        {"ShowLineMeasurementLabel", "false"},
        {"LineMeasurementColor", "0.9, 0.9, 0.9, 1"},
        {"environment.ProjectionMode ", "Orthographic"},
        {"environment.headlightEnabled", "false"},
        {"environment.directionalLightEnabled", "true"},
        {"environment.directionalLightDirection", "1, -1, -0.5"},
        {"environment.EnableAutomaticClippingPlaneAdjustment", "true"},
        {"graphics.enableShadows", "true"},
        {"scene.rayPick.size.x", "20"},
        {"scene.rayPick.size.y", "20"},
    };
    EXPECT_EQ(configuration, expectedConfiguration);

    QStringList layers;
    for (const QJsonValue& layer : viewer.value(QStringLiteral("layers")).toArray())
        layers << layer.toObject().value(QStringLiteral("name")).toString() + (layer.toObject().value(QStringLiteral("visible")).toBool() ? "+" : "-");
    EXPECT_EQ(layers, (QStringList{"Vessel+", "Grids+", "Tracks-", "Coverage-", "Tail+", "SelectedPoints+", "GriddingPoints+",
                                   "TIFF+", "MAPS+", "Planning+"}));
    const LoggedBody createLayers = bodyOf(harness.received(QStringLiteral("CreateLayersMessage")).first());
    EXPECT_EQ(createLayers.number(1, 0), viewer.value(QStringLiteral("id")).toDouble());
    EXPECT_EQ(createLayers.number(1, 1, 1), 1.0); // Confirmation

    // A second parent neither creates a viewer nor layers again.
    QWidget otherPane;
    auto* pOtherLayout = new QVBoxLayout(&otherPane);
    pViewer->setViewerParent(&otherPane, pOtherLayout);
    harness.sync();
    EXPECT_EQ(harness.received(QStringLiteral("CreateViewerMessage")).size(), 1);
    EXPECT_EQ(harness.received(QStringLiteral("CreateLayersMessage")).size(), 1);
    pViewer->setViewerParent(harness.pane(), harness.layout());

    // The live view.
    const qint64 nLive = harness.mark();
    pViewer->initViewer(3);
    ASSERT_NE(pViewer->getShipModel(), nullptr);
    harness.sync();
    const QStringList liveTypes = harness.receivedTypes(nLive, kResizes);
    ASSERT_GE(liveTypes.size(), 4);
    EXPECT_EQ(liveTypes.mid(0, 4),
              (QStringList{"SetCameraDataMessage", "CreateCubeMessage", "EnableDoubleClickMessage", "SetInteractionActionsMessage"}));

    // Mercator: latitude 0, longitude 0 is the origin.
    const LoggedBody camera = bodyOf(harness.received(QStringLiteral("SetCameraDataMessage"), nLive).first());
    const LoggedBody cameraData = camera.structAt(3, 0);
    EXPECT_TRUE(cameraData.has(0, 3));
    EXPECT_EQ(cameraData.position(0, 3), (std::array<double, 3>{0, 0, 10000}));
    EXPECT_TRUE(cameraData.has(0, 1));
    EXPECT_EQ(cameraData.position(0, 1), (std::array<double, 3>{0, 0, 0}));

    const LoggedBody cube = bodyOf(harness.received(QStringLiteral("CreateCubeMessage"), nLive).first());
    EXPECT_GE(cube.number(1, 0), 100.0);
    EXPECT_EQ(cube.text(1, 7), QStringLiteral("Vessel"));
    EXPECT_FLOAT_EQ(static_cast<float>(cube.number(2, 0)), 0.1f);

    const LoggedBody doubleClick = bodyOf(harness.received(QStringLiteral("EnableDoubleClickMessage"), nLive).first());
    EXPECT_EQ(doubleClick.number(1, 0), 0.0); // viewer id 0
    EXPECT_FALSE(doubleClick.flag(2, 0));

    const LoggedBody actions = bodyOf(harness.received(QStringLiteral("SetInteractionActionsMessage"), nLive).first());
    EXPECT_EQ(actions.number(2, 0, 1), 1.0);
    EXPECT_EQ(actions.list(2, 1).first().toObject().value(QStringLiteral("v")).toArray().size(), 2); // mouse
    EXPECT_EQ(actions.list(2, 2).first().toObject().value(QStringLiteral("v")).toArray().size(), 8); // keyboard

    // The camera poll: projection mode and dolly once, then one query per tick.
    ASSERT_TRUE(viewertest::waitUntil([&] { return harness.received(QStringLiteral("QueryNavigationStateMessage"), nLive).size() >= 5; }));
    // The ship model's start follows the interaction actions; the poll comes after it.
    EXPECT_EQ(liveTypes.value(4), QStringLiteral("CreateCubeMessage"));
    const QSet<QString> kVessel{"SetCameraDataMessage", "CreateCubeMessage", "CreateMeshMessage", "CreateLineMessage",
                                "UpdatePositionHistoryMessage", "UpdatePropertiesMessage", "PositionUpdateMessage",
                                "RotationUpdateMessage"};
    const QStringList pollTypes = harness.receivedTypes(nLive, kResizes + kVessel).mid(2);
    EXPECT_EQ(pollTypes.mid(0, 3), (QStringList{"SetProjectionModeMessage", "EnableDollyMessage", "QueryNavigationStateMessage"}));
    EXPECT_EQ(pollTypes.count(QStringLiteral("SetProjectionModeMessage")), 1);
    EXPECT_EQ(pollTypes.count(QStringLiteral("EnableDollyMessage")), 1);
    EXPECT_EQ(bodyOf(harness.received(QStringLiteral("SetProjectionModeMessage"), nLive).first()).number(3, 0), 1.0);

    const QList<QJsonObject> queries = harness.received(QStringLiteral("QueryNavigationStateMessage"), nLive);
    std::vector<qint64> gaps;
    for (int n = 1; n < queries.size(); ++n)
        gaps.push_back(timeOf(queries[n]) - timeOf(queries[n - 1]));
    std::sort(gaps.begin(), gaps.end());
    const qint64 nMedianGap = gaps[gaps.size() / 2];
    EXPECT_GE(nMedianGap, 200);
    EXPECT_LE(nMedianGap, 400);

    // The graticule, three seconds after the live view began, registered as kind 4.
    const auto graticule = harness.waitReceived(QStringLiteral("CreateGraticuleMessage"), nLive, 6000);
    ASSERT_TRUE(graticule);
    const LoggedBody graticuleBody = bodyOf(*graticule);
    const auto nGraticuleId = static_cast<std::uint64_t>(graticuleBody.number(1, 0));
    ASSERT_EQ(pViewer->getObjects().count(nGraticuleId), 1u);
    EXPECT_EQ(pViewer->getObjects().at(nGraticuleId).kind, 4);
    const LoggedBody settings = graticuleBody.structAt(1, 2);
    EXPECT_EQ(settings.number(0, 0), 0.0); // geographic
    EXPECT_EQ(settings.number(0, 1), 1.0); // DD MM.MM
    EXPECT_EQ(settings.text(0, 2), programDataPath() + QStringLiteral("qel_projv6.txt"));

    // The end: the accessor answers null from now on, and a second destruction does nothing.
    // What the controller made goes with it.
    const QPointer<QStandardItemModel> pColourModel = pViewer->getColorMappingModel();
    ASSERT_TRUE(pColourModel);
    COrlexViewer::destroyInstance();
    EXPECT_TRUE(pColourModel.isNull());
    EXPECT_EQ(COrlexViewer::instance(QStringLiteral("dremm")), nullptr);
    EXPECT_EQ(COrlexViewer::instance(QStringLiteral("dremmCorv")), nullptr);
    COrlexViewer::destroyInstance();
}
