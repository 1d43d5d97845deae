// The map-view classes that nothing in the program creates: the 3-D map view and its window, the
// survey list, and the 2-D view's slots and signals that connections by name rely on.
#include "MapView/MapView2D.h"
#include "MapView/MapView3D.h"
#include "MapView/QaMapView3D.h"
#include "MapView/SurveyListPane.h"

#include "OrlexViewer/OrlexViewer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QListWidget>
#include <QSignalSpy>

namespace {

// No controller in this process: the views are built without one.
class NoViewerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { COrlexViewer::destroyInstance(); }
};
const auto* const s_poEnvironment = ::testing::AddGlobalTestEnvironment(new NoViewerEnvironment);

QStringList checkedTexts(const CMapView3D& oView)
{
    QStringList lstChecked;
    for (QAction* poAction : oView.modeGroup()->actions())
        if (poAction->isChecked())
            lstChecked << poAction->text();
    return lstChecked;
}

TEST(MapView3D, ModeActionsExcludeEachOtherAndViewAllHandsOverToTheDefaultMode)
{
    CMapView3D oView;
    oView.positionActions().at(0)->setChecked(true);
    oView.depthActions().at(1)->setChecked(true);
    oView.viewAllAction()->setChecked(true);
    EXPECT_EQ(checkedTexts(oView), QStringList{oView.defaultModeAction()->text()});

    // Switching a mode off acts on nothing.
    oView.defaultModeAction()->setChecked(false);
    EXPECT_TRUE(checkedTexts(oView).isEmpty());
}

TEST(QaMapView3D, ProcessingModeShowsTheSelectionSetsAndRegionsReachTheView)
{
    struct Case {
        int nMode;
        QList<bool> lstPosition;
        QList<bool> lstDepth;
        QString strLog;
    };
    const QString strPrefix = QStringLiteral("CQaMapView3D::setProcessingMode - ");
    const Case aCases[] = {
        {2, {true, true, true}, {false, false, false}, QStringLiteral("OK : Processing mode is PositionProcessing")},
        {3, {false, false, false}, {true, true, true}, QStringLiteral("OK : Processing mode is DepthProcessing")},
        {4, {true, true, false}, {false, false, false}, QStringLiteral("OK : Processing mode is LineProcessing")},
        {1, {false, false, false}, {false, false, false}, QStringLiteral("WARNING : Processing mode is Undefined")},
    };
    CQaMapView3D oWindow(128, nullptr);
    const auto visible = [](const QList<QAction*>& lstActions) {
        QList<bool> lstVisible;
        for (QAction* poAction : lstActions)
            lstVisible << poAction->isVisible();
        return lstVisible;
    };
    for (const Case& oCase : aCases) {
        // Everything shown first, so that hiding shows too.
        for (QAction* poAction : oWindow.mapView()->positionActions() + oWindow.mapView()->depthActions())
            poAction->setVisible(true);
        QSignalSpy oLog(&oWindow, &CQaMapView3D::msgToFile);
        oWindow.setProcessingMode(static_cast<Qa::EProcMode>(oCase.nMode));
        EXPECT_EQ(visible(oWindow.mapView()->positionActions()), oCase.lstPosition) << oCase.nMode;
        EXPECT_EQ(visible(oWindow.mapView()->depthActions()), oCase.lstDepth) << oCase.nMode;
        ASSERT_EQ(oLog.size(), 2) << oCase.nMode;
        EXPECT_EQ(oLog.at(0).at(0).toString(), strPrefix + QStringLiteral("Init"));
        EXPECT_EQ(oLog.at(1).at(0).toString(), strPrefix + oCase.strLog);
    }

    oWindow.viewRegion(QRect(10, 20, 300, 400));
    EXPECT_EQ(oWindow.mapView()->lastRegion(), QRect(10, 20, 300, 400));
    oWindow.activate();
    EXPECT_TRUE(oWindow.mapView()->defaultModeAction()->isChecked());
}

TEST(SurveyListPane, ClosesTheSelectedSurveyOnly)
{
    CSurveyListPane oPane;
    oPane.listWidget()->addItems({QStringLiteral("Alpha"), QStringLiteral("Beta")});
    QSignalSpy oClosed(&oPane, QOverload<QString>::of(&CSurveyListPane::closeSurvey));
    oPane.closeSurvey();
    EXPECT_TRUE(oClosed.isEmpty());
    EXPECT_EQ(oPane.listWidget()->count(), 2);

    oPane.listWidget()->setCurrentRow(1);
    oPane.closeSurvey();
    ASSERT_EQ(oClosed.size(), 1);
    EXPECT_EQ(oClosed.first().first().toString(), QStringLiteral("Beta"));
    ASSERT_EQ(oPane.listWidget()->count(), 1);
    EXPECT_EQ(oPane.listWidget()->item(0)->text(), QStringLiteral("Alpha"));
}

TEST(MapView2D, SlotsAndSignalsOfTheSelectionToolsConnectByName)
{
    CMapView2D oView(2);
    const char* const aszToggled[] = {
        "onActionEnableSelectPositionLinesToggled", "onActionEnableSelectPositionPointsToggled",
        "onActionSelectPositionRectangleToggled", "onActionSelectPositionPolygonToggled",
        "onActionSelectDepthPointsRectangleToggle", "onActionSelectDepthPointsPolygonToggle",
        "onActionSelectGeoPolygonToggle", "onActionSelectStatisticsAreaToggled",
        "onActionSelectProcessingAreaToggled", "onActionSelectShipTrackToggled"};
    const char* const aszPlain[] = {
        "startZoomToRegion", "startMeasureDistance", "startCrossLine", "updateDepthUnderCursor",
        "startGetProcessPointsRegion", "startGetProcessPointsRegionForHalfRegion", "onActionModePlanning",
        "onPositionLineSelected", "onPositionPointSelected", "onShipTrackSelected", "onGridChanged",
        "updateGraticule", "clearPositionLineSelection", "clearPositionPointSelection",
        "selectPositionLinesRectangle", "selectPositionLinesPolygon", "selectPositionPointsRectangle",
        "selectPositionPointsPolygon", "selectStatisticsPolygon", "selectProcessingPolygon", "selectAllPositions",
        "applyPositionSelection", "clearPositionSelection", "selectAllDepths", "applyDepthSelection",
        "clearDepthSelection", "setShipPositionOffset", "clearProcessPoints", "clearPosLineSet",
        "displaySurveyAreaStatistics", "displaySurveyProcessing", "setProcessingParametersForWebPage",
        "onZoomToPointInTimeSeriesFromContextMenu", "updateShipOffset"};
    const auto connectByName = [&](const QByteArray& baSignal, const QByteArray& baSlot) {
        return static_cast<bool>(QObject::connect(&oView, QByteArray("2" + baSignal).constData(), &oView,
                                                  QByteArray("1" + baSlot).constData()));
    };
    for (const char* szSlot : aszToggled)
        EXPECT_TRUE(connectByName("getSelectTvgplPolygonToggled(bool)", QByteArray(szSlot) + "(bool)")) << szSlot;
    for (const char* szSlot : aszPlain)
        EXPECT_TRUE(connectByName("startPositionSelectionRectangle()", QByteArray(szSlot) + "()")) << szSlot;
    EXPECT_TRUE(connectByName("startPositionSelectionPolygon()", "updateGraticule()"));
}

} // namespace
