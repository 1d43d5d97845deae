// A survey in another projection reaches the map viewer: through the map windows the map view
// points the graticule, the planning library and the object library at the new projection file
// and, in display mode 0, sends it to the display stations.
// Display datagrams go to 127.0.0.1 port 25135 + 1660 (CorvNoMCAST, CorvPortAdd 1660).
#include "ControllerHarness.h"
#include "PlanningTestSupport.h"

#include "MapView/QaMapViewer.h"

#include "OrlexViewer/OrlexViewer.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>

using viewertest::bodyOf;

namespace {

constexpr quint16 kDisplayPort = 25135 + 1660;

QList<QJsonObject> objectLibraryCalls(const QString& strCall)
{
    QList<QJsonObject> calls;
    QFile oLog(qEnvironmentVariable("CORV_OBJECTS_LOG"));
    if (!oLog.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& baLine : oLog.readAll().split('\n')) {
        const QJsonObject oEntry = QJsonDocument::fromJson(baLine).object();
        if (oEntry.value(QStringLiteral("call")).toString() == strCall)
            calls << oEntry;
    }
    return calls;
}

TEST(NewProjection, ReachesTheGraticuleTheLibrariesAndTheStationsThroughTheMapWindows)
{
    platform::ensureWindowsEnvironment();
    plantest::startRequestLog();
    plantest::setRuntimeKey(QStringLiteral("CorvNoMCAST"), true);
    plantest::setRuntimeKey(QStringLiteral("CorvPortAdd"), 1660);
    plantest::setRuntimeKey(QStringLiteral("SendIP"), QStringLiteral("127.0.0.1"));
    qunsetenv("CORVPROJ");
    QFile::remove(qEnvironmentVariable("CORV_OBJECTS_LOG"));

    viewertest::ControllerHarness oHarness;
    ASSERT_TRUE(oHarness.startServer());
    COrlexViewer* poViewer = oHarness.startLiveView(0);
    ASSERT_NE(poViewer, nullptr);
    ASSERT_TRUE(oHarness.waitReceived(QStringLiteral("CreateGraticuleMessage"), 0, 15000));
    poViewer->initPlanning(false);
    poViewer->initObjects();
    plantest::DatagramReceiver oStations;
    ASSERT_TRUE(oStations.bind(kDisplayPort));

    const QByteArray baProjection("<QEL_Projection>\r\nEPSG:4326\r\n+proj=utm +zone=32 +north +approx +units=cm +ellps=WGS84\r\n");
    const QString strPath = plantest::scratch(QStringLiteral("survey_proj.txt"));
    QFile oFile(strPath);
    ASSERT_TRUE(oFile.open(QIODevice::WriteOnly));
    oFile.write(baProjection);
    oFile.close();
    plantest::clearRequestLog();
    oHarness.sync();
    const qint64 nFrom = oHarness.mark();
    {
        // The main window's map viewer: the survey manager's new projection arrives as its signal.
        CQaMapViewer oMapViewer(64, 128, nullptr, 2);
        emit oMapViewer.onNewProjection(strPath);

        const QList<viewertest::LoggedBody> lstUpdates = oHarness.receivedBodies(QStringLiteral("UpdateGraticuleMessage"), nFrom);
        ASSERT_EQ(lstUpdates.size(), 1);
        EXPECT_EQ(lstUpdates.first().structAt(2, 0).text(0, 2), strPath);
        EXPECT_EQ(plantest::loggedRequests(), QStringList{QStringLiteral("$NEW_PROJECTION_PATH=%1\n").arg(strPath)});
        EXPECT_EQ(oStations.next(), QByteArray("$PQQEL,CVN_PROJECTION,") + baProjection + QByteArray("\n\r"));
        EXPECT_FALSE(objectLibraryCalls(QStringLiteral("setProjection")).isEmpty());
    }
}

} // namespace
