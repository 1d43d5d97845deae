// The first view of a UTM survey whatever the order of the view's start, the survey's open and
// the first vessel position (CORV_FIRST_VIEW_ORDER: the survey opens "before", "during" or
// "after" the start), then following, zoom to vessel and zoom to world. The camera is read from
// the stand-in's own state.
#include "ControllerHarness.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/ShipModel.h"
#include "Projection/ProjEngine.h"
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>

#include <cmath>

#include "test_scratch.h"

namespace {

// The survey: 2000 m wide, 1000 m high, in UTM 31 N metres.
constexpr double kMinX = 500000, kMaxX = 502000, kMinY = 5700000, kMaxY = 5701000;
constexpr double kCenterX = (kMinX + kMaxX) / 2, kCenterY = (kMinY + kMaxY) / 2;
// The vessel, on the survey but away from its centre.
constexpr double kVesselX = 501500, kVesselY = 5700800;

struct Camera
{
    double dX = 0;
    double dY = 0;
    double dViewportHeight = 0;
};

class FirstViewTest : public ::testing::Test
{
protected:
    Camera camera()
    {
        const QJsonArray viewers = m_harness.control().state().value(QStringLiteral("viewers")).toArray();
        const QJsonObject camera = viewers.first().toObject().value(QStringLiteral("camera")).toObject();
        const QJsonArray position = camera.value(QStringLiteral("position")).toArray();
        return {position.at(0).toDouble(), position.at(1).toDouble(), camera.value(QStringLiteral("viewportHeight")).toDouble()};
    }

    // Waits until the stand-in's camera is over (x, y), within a metre.
    bool cameraOver(double dX, double dY, int nTimeoutMs = 5000)
    {
        return viewertest::waitUntil(
            [&] {
                m_harness.sync();
                const Camera c = camera();
                return std::fabs(c.dX - dX) < 1 && std::fabs(c.dY - dY) < 1;
            },
            nTimeoutMs);
    }

    std::string where()
    {
        const Camera c = camera();
        return "camera at " + std::to_string(c.dX) + " / " + std::to_string(c.dY) + ", " + std::to_string(c.dViewportHeight) + " m high";
    }

    // Waits until the controller has had that many camera answers from now on (the poll runs
    // every 200 ms): the stand-in has sent one more.
    void letAnswersArrive(int nAnswers)
    {
        const qint64 nFrom = m_harness.mark();
        const QString strType = orlex_standin::coreType("QueryNavigationStateResponseMessage");
        ASSERT_TRUE(viewertest::waitUntil(
            [&] { return m_harness.control().entries(QStringLiteral("out"), strType, nFrom).size() > nAnswers; }));
    }

    // The periodic move of the runtime link while following.
    void followTick()
    {
        m_pViewer->moveToVessel(true, 0);
        m_harness.sync();
    }

    viewertest::ControllerHarness m_harness;
    COrlexViewer* m_pViewer = nullptr;
};

QString surveyFolder()
{
    const QString strFolder = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/Live"));
    QDir().mkpath(strFolder + QStringLiteral("/Terrain"));
    QFile file(strFolder + QStringLiteral("/standin_survey.json"));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"minX", kMinX}, {"maxX", kMaxX}, {"minY", kMinY}, {"maxY", kMaxY}, {"refX", kCenterX},
                                         {"refY", kCenterY}, {"zMin", -55}, {"zMax", -27}})
                   .toJson());
    return strFolder;
}

} // namespace

TEST_F(FirstViewTest, TheVesselOrElseTheSurveyIsInViewWhateverTheOrder)
{
    const QString strOrder = qEnvironmentVariable("CORV_FIRST_VIEW_ORDER");
    ASSERT_TRUE(strOrder == QLatin1String("before") || strOrder == QLatin1String("during") || strOrder == QLatin1String("after"));
    platform::ensureWindowsEnvironment();
    // Latitude 0, longitude 0 is E 166021 / N 0 in this zone: far from the survey.
    ASSERT_TRUE(projection_detail::writeProjectionFile(projection_detail::dataFolderProjectionFile(),
                                                       "+proj=utm +zone=31 +ellps=WGS84 +units=cm"));
    ASSERT_TRUE(m_harness.startServer());
    m_pViewer = m_harness.startController();
    COrlexDataManager* pSurveys = m_pViewer->getDataManager();
    QSignalSpy completed(pSurveys, &COrlexDataManager::openSurveyCompletedSig);
    const QString strSurvey = surveyFolder();

    // The live survey is real-time: the grid's reference point does not move the camera.
    if (strOrder == QLatin1String("before")) {
        pSurveys->openSurvey(strSurvey, false, true, true);
        ASSERT_TRUE(viewertest::waitUntil([&] { return !completed.isEmpty(); }));
        m_harness.sync();
        m_pViewer->initViewer(3);
    } else if (strOrder == QLatin1String("during")) {
        pSurveys->openSurvey(strSurvey, false, true, true);
        m_pViewer->initViewer(3);
        ASSERT_TRUE(viewertest::waitUntil([&] { return !completed.isEmpty(); }));
    } else {
        m_pViewer->initViewer(3);
        m_harness.sync();
        pSurveys->openSurvey(strSurvey, false, true, true);
        ASSERT_TRUE(viewertest::waitUntil([&] { return !completed.isEmpty(); }));
    }
    pSurveys->setActiveSurvey(strSurvey);

    // Without a vessel the first view is the survey, whole.
    EXPECT_TRUE(cameraOver(kCenterX, kCenterY)) << where();
    EXPECT_GE(camera().dViewportHeight, kMaxY - kMinY) << where();

    // Follow is on from the start; without a vessel position neither the pending offset nor
    // the periodic move takes the camera anywhere.
    m_pViewer->moveToVessel(true, 1);
    letAnswersArrive(3);
    followTick();
    EXPECT_TRUE(cameraOver(kCenterX, kCenterY)) << where();

    // The first position brings the vessel into view; following keeps it there.
    m_pViewer->getShipModel()->updateVessel(static_cast<int>(kVesselX * 100), static_cast<int>(kVesselY * 100), 0,
                                            QStringLiteral("GPS1:2040_17"));
    ASSERT_TRUE(viewertest::waitUntil([&] { return m_pViewer->hasVesselPosition(); }));
    letAnswersArrive(3);
    followTick();
    EXPECT_TRUE(cameraOver(kVesselX, kVesselY)) << where();

    // Zoom to world frames the survey whole, and following keeps that view.
    m_pViewer->resetView();
    EXPECT_TRUE(cameraOver(kCenterX, kCenterY)) << where();
    EXPECT_NEAR(camera().dViewportHeight, 1.1 * (kMaxX - kMinX), 1e-6);
    letAnswersArrive(3);
    followTick();
    EXPECT_TRUE(cameraOver(kCenterX, kCenterY)) << where();
    EXPECT_NEAR(camera().dViewportHeight, 1.1 * (kMaxX - kMinX), 1e-6);

    // The vessel moves 40 m east: the view goes with it.
    m_pViewer->getShipModel()->updateVessel(static_cast<int>((kVesselX + 40) * 100), static_cast<int>(kVesselY * 100), 0,
                                            QStringLiteral("GPS1:2040_17"));
    followTick();
    EXPECT_TRUE(cameraOver(kCenterX + 40, kCenterY)) << where();

    // Zoom to vessel centres it, and following keeps it centred.
    m_pViewer->zoomToVessel();
    EXPECT_TRUE(cameraOver(kVesselX + 40, kVesselY)) << where();
    letAnswersArrive(3);
    followTick();
    EXPECT_TRUE(cameraOver(kVesselX + 40, kVesselY)) << where();

    COrlexViewer::destroyInstance();
}
