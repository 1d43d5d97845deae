// Calibration lines against the stand-in viewer server: the line dialog, track lines picked in the
// view and in the dialog, and the start of a calibration with the drawn cross line.
#include "PlanningTestSupport.h"
#include "ViewerEvents.h"

#include "OrlexViewer/CalLinesDlg.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "TqelRuntime/HandleTracks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QSignalSpy>

#include "test_scratch.h"

using viewertest::bodyOf;
using viewertest::LoggedBody;

namespace {

TrackRecord track(const char* szName, int nHeading, int nSpeed)
{
    TrackRecord record;
    record.name = szName;
    record.points = {0, 0, 0, 10, 10, 0};
    record.averageHeading = nHeading;
    record.averageSpeed = nSpeed;
    return record;
}

class CalibrationTest : public viewertest::LiveViewTest
{
protected:
    static void SetUpTestSuite()
    {
        s_pPrevious = CPrompter::install(&s_prompter);
        LiveViewTest::SetUpTestSuite();
    }
    static void TearDownTestSuite()
    {
        LiveViewTest::TearDownTestSuite();
        CPrompter::install(s_pPrevious);
    }

    COrlexDataManager* surveys() { return s_pViewer->getDataManager(); }

    void settle() { plantest::settle(harness(), viewer()); }
    void sendEvent(const char* szType, const QJsonArray& own) { plantest::sendViewerEvent(harness(), s_nViewerId, szType, own); }
    void pick(quint64 nId) { plantest::sendPick(harness(), s_nViewerId, nId, 1, 1); }
    // A finished measurement: the drawn cross line in calibration mode.
    void crossLine(const QList<std::array<double, 3>>& positions)
    {
        QJsonArray elements;
        for (const auto& p : positions)
            elements.append(plantest::positionLevels(p[0], p[1], p[2]));
        sendEvent("MeasurementMessage", QJsonArray{viewertest::uint64Field(0, 9999),
                                                   orlex_standin::listField(3, QStringLiteral("struct"), elements),
                                                   orlex_standin::field(4, QStringLiteral("bool"), false)});
    }
    QList<LoggedBody> sent(const char* szType, qint64 nFrom) { return plantest::received(harness(), szType, nFrom); }

    static plantest::ScriptedPrompter s_prompter;
    static CPrompter* s_pPrevious;
};

plantest::ScriptedPrompter CalibrationTest::s_prompter;
CPrompter* CalibrationTest::s_pPrevious = nullptr;

TEST_F(CalibrationTest, WithoutAnActiveSurveyLeavingStillStops)
{
    QSignalSpy stopped(viewer(), &COrlexViewer::stopCalib);
    viewer()->toggleCalibMode(true);
    EXPECT_EQ(viewer()->findChild<CCalLinesDlg*>(), nullptr);
    viewer()->calibTriggered(false);
    EXPECT_TRUE(s_prompter.boxes.isEmpty()) << "no survey: ends after the interaction mode";
    viewer()->toggleCalibMode(false);
    EXPECT_EQ(stopped.size(), 1);
}

TEST_F(CalibrationTest, PickedTrackLinesAndTheCrossLineStartACalibration)
{
    const QString strPath = QDir(corvtest::scratchDir()).filePath(QStringLiteral("surveys/Calib"));
    QDir().mkpath(strPath + QStringLiteral("/Terrain"));
    QSignalSpy completed(surveys(), &COrlexDataManager::openSurveyCompletedSig);
    surveys()->openSurvey(strPath, false);
    ASSERT_TRUE(viewertest::waitUntil([&] { return !completed.isEmpty(); }));
    surveys()->setActiveSurvey(strPath);
    COrlexGrid* pGrid = surveys()->getSurvey(strPath);
    ASSERT_NE(pGrid, nullptr);
    pGrid->setTrackLines(TrackSet{track("line0003", 271, 512), track("line0004", 91, 480), track("line0005", 0, 0)});
    ASSERT_EQ(pGrid->trackLines().size(), 3u);
    const std::uint64_t nFirst = pGrid->trackLines()[0].objectId;
    const std::uint64_t nSecond = pGrid->trackLines()[1].objectId;

    viewer()->toggleCalibMode(true);
    CCalLinesDlg* pDialog = nullptr;
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<CCalLinesDlg*>(pWidget))
            pDialog = p;
    ASSERT_NE(pDialog, nullptr);
    EXPECT_TRUE(pDialog->isVisible());
    QStringList items;
    for (int i = 0; i < pDialog->lineList()->count(); ++i)
        items << pDialog->lineList()->item(i)->text();
    EXPECT_EQ(items, (QStringList{"line0003 - hdg/spd 271/5.12", "line0004 - hdg/spd 91/4.8", "line0005 - hdg/spd 0/0"}));

    // One line picked in the view: highlighted, its text shown; too few to calibrate on.
    QSignalSpy status(viewer(), &COrlexViewer::sigSetStatusText);
    qint64 nFrom = harness().mark();
    pick(nFirst);
    settle();
    ASSERT_EQ(status.size(), 1);
    EXPECT_EQ(status.front().front().toString(), QStringLiteral("line0003 avg hdg/spd 271/5.12"));
    const QList<LoggedBody> materials = sent("UpdateMaterialMessage", nFrom);
    ASSERT_EQ(materials.size(), 1);
    EXPECT_EQ(materials.front().number(1, 0), static_cast<double>(nFirst));
    viewer()->calibTriggered(false);
    EXPECT_EQ(s_prompter.boxes, QStringList{"Calibrate|Select at least 2 lines to calibrate on"});

    // The second line from the dialog; the selection there replaces the picked one.
    pDialog->lineList()->item(0)->setSelected(true);
    pDialog->lineList()->item(1)->setSelected(true);
    EXPECT_TRUE(viewer()->getObjects().at(nFirst).highlighted);
    EXPECT_TRUE(viewer()->getObjects().at(nSecond).highlighted);

    QList<QStringList> started;
    QList<QPoint> ends;
    const QMetaObject::Connection connection =
        QObject::connect(viewer(), &COrlexViewer::startCalib, [&](QStringList lines, QPoint& from, QPoint& to) {
            started << lines;
            ends << from << to;
        });
    s_prompter.boxes.clear();
    crossLine({{100.25, 200.5, 0}, {200, 300, 0}, {300.75, 400, 0}});
    settle();
    viewer()->calibTriggered(false);
    QObject::disconnect(connection);
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started.front(), (QStringList{"line0003", "line0004"}));
    EXPECT_EQ(ends, (QList<QPoint>{QPoint(10025, 20050), QPoint(30075, 40000)}));
    EXPECT_TRUE(s_prompter.boxes.isEmpty());

    // Leaving the mode clears the highlights and stops.
    QSignalSpy stopped(viewer(), &COrlexViewer::stopCalib);
    viewer()->toggleCalibMode(false);
    EXPECT_EQ(stopped.size(), 1);
    EXPECT_FALSE(viewer()->getObjects().at(nFirst).highlighted);
    EXPECT_FALSE(viewer()->getObjects().at(nSecond).highlighted);
}

} // namespace
