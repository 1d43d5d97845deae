// The vessel as a 3-D model when its file exists in the viewer's resource folder: made without a
// spear, entered in the object registry, and the marker comes back without destroying a spear.
#include "ControllerHarness.h"
#include "TokenFixture.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"

#include <platform/paths.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using viewertest::bodyOf;
using viewertest::ControllerHarness;
using viewertest::shortType;

TEST(ShipModel3D, ModelInPlaceOfTheOutline)
{
    qputenv("TovtOrlexServerPath", "C:\\orlex");
    ControllerHarness harness;
    corvtest::writeTokens(QJsonArray{corvtest::token("ROZOVED_SHIP_FBX", 3, "boat.fbx")});
    const QString strFolder = platform::winRoot() + QStringLiteral("/c/orlex/Resources");
    ASSERT_TRUE(QDir().mkpath(strFolder));
    QFile model(strFolder + QStringLiteral("/boat.fbx"));
    ASSERT_TRUE(model.open(QIODevice::WriteOnly));
    model.close();

    ASSERT_TRUE(harness.startServer());
    COrlexViewer* pViewer = harness.startLiveView(3);
    CShipModel* pShip = pViewer->getShipModel();
    ASSERT_NE(pShip, nullptr);
    harness.sync();

    const auto sent = [&](qint64 nFrom) {
        harness.sync();
        QStringList result;
        for (const QString& strType : QStringList{"DestroyObjectMessage", "CreateModelMessage", "CreateMeshMessage", "CreateLineMessage"})
            for (const QJsonObject& entry : harness.received(strType, nFrom))
                result << QStringLiteral("%1:%2:%3")
                              .arg(entry.value(QStringLiteral("seq")).toDouble(), 8, 'f', 0, QLatin1Char('0'))
                              .arg(shortType(entry).chopped(7))
                              .arg(bodyOf(entry).number(1, 0));
        result.sort();
        for (QString& strLine : result)
            strLine = strLine.section(QLatin1Char(':'), 1);
        return result;
    };

    qint64 nFrom = harness.mark();
    pShip->switchVesselSymbol(0, false, 120000, 340000);
    EXPECT_EQ(sent(nFrom), (QStringList{"DestroyObject:40000", "DestroyObject:40003", "CreateModel:40000"}));
    const QJsonObject created = harness.received(QStringLiteral("CreateModelMessage"), nFrom).first();
    const viewertest::LoggedBody body = bodyOf(created);
    EXPECT_EQ(body.text(1, 7), QStringLiteral("Vessel"));
    EXPECT_EQ(body.position(1, 4), (std::array<double, 3>{1200, 3400, 0}));
    const viewertest::LoggedBody modelData = body.structAt(2, 0);
    EXPECT_EQ(modelData.text(0, 0), QStringLiteral("C:\\orlex\\Resources\\boat.fbx"));
    const viewertest::LoggedBody rotation = modelData.structAt(0, 1);
    EXPECT_NEAR(rotation.number(0, 0), 0.5, 1e-5);
    EXPECT_NEAR(rotation.number(0, 1), -0.5, 1e-5);
    EXPECT_NEAR(rotation.number(0, 2), -0.5, 1e-5);
    EXPECT_NEAR(rotation.number(0, 3, 1), 0.5, 1e-5);
    ASSERT_EQ(pViewer->getObjects().count(40000), 1u);
    EXPECT_EQ(pViewer->getObjects().at(40000).kind, 0);

    // Back to the marker: the model had no spear to destroy.
    nFrom = harness.mark();
    pShip->switchVesselSymbol(0, true, 0, 0);
    EXPECT_EQ(sent(nFrom), (QStringList{"DestroyObject:40000", "CreateMesh:40000", "CreateLine:40003"}));
    COrlexViewer::destroyInstance();
}
