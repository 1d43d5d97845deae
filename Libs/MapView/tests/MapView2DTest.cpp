// The map view without a viewer server: its tool bar, the mode rule, the zoom dialog and its
// checks, the status countdown and the map windows' relays.
#include "MapView/MapView2D.h"
#include "MapView/QaMapView2D.h"
#include "MapView/QaMapViewManager.h"
#include "MapView/QaMapViewer.h"
#include "MapView/ZoomDlg.h"

#include "OrlexViewer/OrlexViewer.h"
#include "OrlexViewer/Prompter.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>

#include <climits>
#include <QToolBar>
#include <QToolButton>
#include <QValidator>
#include <QWidgetAction>

#include <functional>
#include <memory>

namespace {

// The controller is gone for this process: every view is built without one.
class NoViewerEnvironment : public ::testing::Environment {
public:
    void SetUp() override { COrlexViewer::destroyInstance(); }
};
const auto* const s_poEnvironment = ::testing::AddGlobalTestEnvironment(new NoViewerEnvironment);

// The tool bar as a list: action texts, "|" for separators, "[tool tip]" for tool buttons.
QStringList toolBarEntries(const CMapView2D& oView)
{
    QStringList lstEntries;
    for (QAction* poAction : oView.toolBar()->actions()) {
        if (poAction->isSeparator())
            lstEntries << QStringLiteral("|");
        else if (auto* poButton = qobject_cast<QToolButton*>(oView.toolBar()->widgetForAction(poAction));
                 poButton && poButton->defaultAction() != poAction)
            lstEntries << QLatin1Char('[') + poButton->toolTip() + QLatin1Char(']');
        else
            lstEntries << (poAction->text().isEmpty() ? poAction->objectName() : poAction->text());
    }
    return lstEntries;
}

QAction* actionNamed(const CMapView2D& oView, const QString& strText)
{
    for (QAction* poAction : oView.findChildren<QAction*>())
        if (poAction->text() == strText)
            return poAction;
    return nullptr;
}

QMenu* buttonMenu(const CMapView2D& oView, const QString& strToolTip)
{
    for (QToolButton* poButton : oView.toolBar()->findChildren<QToolButton*>())
        if (poButton->toolTip() == strToolTip)
            return poButton->menu();
    return nullptr;
}

TEST(MapViewToolBar, EntriesInOrderForEachToolSet)
{
    const QString strRotate = QStringLiteral("[Rotate mode]");
    const QString strTerrain = QStringLiteral("[Select the Terrain propery to view]");
    const QStringList lstZoom = {QStringLiteral("Zoom to World"), QStringLiteral("Zoom to Region"),
                                 QStringLiteral("Zoom to Area"), QStringLiteral("|"),
                                 QStringLiteral("Measure Distance"), QStringLiteral("Toggle Depth Under Cursor"),
                                 QStringLiteral("Toggle Position Under Cursor"), QStringLiteral("|")};
    const QStringList lstVessel = {QStringLiteral("actionFollowShip"), QStringLiteral("Move to Vessel"), strRotate};
    const QStringList lstTail = {QStringLiteral("Show/Hide depth tail"), QStringLiteral("RT"),
                                 QStringLiteral("Save position")};
    const QStringList lstModes = {QStringLiteral("Toggle Planning mode"), QStringLiteral("Toggle User Objects mode"),
                                  QStringLiteral("Toggle Point Selection mode")};
    const QStringList lstQa = {
        QStringLiteral("Toggle Point Selection mode"), QStringLiteral("Cross Line"),
        QStringLiteral("Load Process Points From File"), QStringLiteral("Save Process Points To File"),
        QStringLiteral("|"), QStringLiteral("Select Position Lines"), QStringLiteral("Select Position Points"),
        QStringLiteral("Select Position Rectangle"), QStringLiteral("Select Position Polygon"), QStringLiteral("|"),
        QStringLiteral("Select Depth Points Rectangle"), QStringLiteral("Select Depth Points Polygon"),
        QStringLiteral("|")};
    const QString str3D = QStringLiteral("Enable 3D mode");
    const struct {
        int nViewId;
        QStringList lstExpected;
    } aCases[] = {
        {2, lstVessel + lstZoom + QStringList{strTerrain, str3D} + lstTail},
        {1, lstVessel + lstZoom + QStringList{strTerrain, str3D} + lstModes + lstTail},
        {0, lstZoom + lstQa + QStringList{str3D}},
        {7, lstZoom + QStringList{strTerrain, str3D}},
    };
    for (const auto& oCase : aCases) {
        CMapView2D oView(oCase.nViewId);
        EXPECT_EQ(toolBarEntries(oView), oCase.lstExpected) << "view id " << oCase.nViewId;
        EXPECT_FALSE(oView.toolBar()->isHidden());
        EXPECT_EQ(oView.toolBar()->objectName(), QStringLiteral("2dBar"));
    }
}

TEST(MapViewToolBar, QaSelectionEntriesStartHidden)
{
    CMapView2D oView(0);
    for (const char* szName : {"actionLoadProcessPoints", "actionSaveProcessPoints", "actionSelectPositionLineMode",
                               "actionSelectPositionPointMode", "actionSelectPositionRectangle",
                               "actionSelectPositoniPolygon", "actionSelectDepthPointsRectangle",
                               "actionSelectDepthPointsPolygon"}) {
        auto* poAction = oView.findChild<QAction*>(QLatin1String(szName));
        ASSERT_NE(poAction, nullptr) << szName;
        EXPECT_FALSE(poAction->isVisible()) << szName;
    }
    // The last separator of the selection entries goes with them.
    const QList<QAction*> lstEntries = oView.toolBar()->actions();
    ASSERT_GE(lstEntries.size(), 2);
    EXPECT_TRUE(lstEntries[lstEntries.size() - 2]->isSeparator());
    EXPECT_FALSE(lstEntries[lstEntries.size() - 2]->isVisible());
}

TEST(MapViewToolBar, RotateMenuIsExclusiveAndStartsNorthUp)
{
    CMapView2D oView(2);
    QMenu* poMenu = buttonMenu(oView, QStringLiteral("Rotate mode"));
    ASSERT_NE(poMenu, nullptr);
    EXPECT_EQ(poMenu->title(), QStringLiteral("Rotate"));
    const QList<QAction*> lstEntries = poMenu->actions();
    ASSERT_EQ(lstEntries.size(), 4);
    EXPECT_TRUE(lstEntries[0]->isChecked());
    lstEntries[2]->trigger();
    EXPECT_FALSE(lstEntries[0]->isChecked());
    EXPECT_TRUE(lstEntries[2]->isChecked());
    EXPECT_EQ(lstEntries[2]->data().toInt(), 2);
}

// The Application group with only the setting that shapes the terrain menu.
class CApplicationStub : public CSettingsGroup {
public:
    explicit CApplicationStub(const QVariant& vExportPath)
        : CSettingsGroup(Application, QStringLiteral("Application"), nullptr), m_vExportPath(vExportPath)
    {
    }
    void keyName(int, const char** pszOut) override { *pszOut = nullptr; }
    void getValue(int id, QVariant& vOut, bool) override
    {
        if (id == 29)
            vOut = m_vExportPath;
    }
    void get(int, QVariant&) override {}
    void set(int, const QVariant&) override {}

private:
    QVariant m_vExportPath;
};

TEST(MapViewToolBar, TerrainMenuExtendedOnlyWithoutExportPath)
{
    const struct {
        QVariant vExportPath;
        QStringList lstEntries;
    } aCases[] = {
        {QStringLiteral("c:/temp"), {QStringLiteral("Depth"), QStringLiteral("Backscatter")}},
        {QStringLiteral("false"),
         {QStringLiteral("Depth"), QStringLiteral("Backscatter"), QStringLiteral("Depth Diff"),
          QStringLiteral("Cell Points"), QStringLiteral("Std Dev")}},
        {QString(),
         {QStringLiteral("Depth"), QStringLiteral("Backscatter"), QStringLiteral("Depth Diff"),
          QStringLiteral("Cell Points"), QStringLiteral("Std Dev")}},
    };
    for (const auto& oCase : aCases) {
        CApplicationStub oGroup(oCase.vExportPath);
        CSettingsManager::instance()->addGroup(&oGroup);
        CMapView2D oView(2);
        QMenu* poMenu = buttonMenu(oView, QStringLiteral("Select the Terrain propery to view"));
        ASSERT_NE(poMenu, nullptr);
        QStringList lstTexts;
        for (QAction* poEntry : poMenu->actions())
            lstTexts << poEntry->text();
        EXPECT_EQ(lstTexts, oCase.lstEntries) << oCase.vExportPath.toString().toStdString();
        EXPECT_EQ(oView.hasExtendedColourMenu(), lstTexts.size() == 5);

        // Each entry names its colour map.
        QSignalSpy oSpy(&oView, &CMapView2D::changeColormap);
        poMenu->actions().last()->trigger();
        ASSERT_EQ(oSpy.size(), 1);
        EXPECT_EQ(oSpy.at(0).at(0).toInt(), lstTexts.size() - 1);
    }
}

TEST(MapViewModes, TurningAModeOnTurnsTheOthersOff)
{
    CMapView2D oView(1);
    QAction* poPlan = actionNamed(oView, QStringLiteral("Toggle Planning mode"));
    QAction* poUser = actionNamed(oView, QStringLiteral("Toggle User Objects mode"));
    QAction* poMeasure = actionNamed(oView, QStringLiteral("Measure Distance"));
    QAction* poPoints = actionNamed(oView, QStringLiteral("Toggle Point Selection mode"));
    QAction* poRegion = actionNamed(oView, QStringLiteral("Zoom to Region"));
    ASSERT_TRUE(poPlan && poUser && poMeasure && poPoints && poRegion);
    EXPECT_FALSE(oView.modeGroup()->isExclusive());

    poPlan->setChecked(true);
    poMeasure->setChecked(true);
    EXPECT_FALSE(poPlan->isChecked());
    EXPECT_TRUE(poMeasure->isChecked());

    // Point selection is outside the group: it turns the group's modes off, they leave it on.
    poPoints->setChecked(true);
    EXPECT_FALSE(poMeasure->isChecked());
    poUser->setChecked(true);
    EXPECT_TRUE(poPoints->isChecked());
    EXPECT_TRUE(poUser->isChecked());

    // Zoom to region is a mode that can be left again.
    poRegion->trigger();
    EXPECT_TRUE(poRegion->isChecked());
    EXPECT_FALSE(poUser->isChecked());
    poRegion->trigger();
    EXPECT_FALSE(poRegion->isChecked());

    // Unchecking leaves no mode checked.
    poPlan->setChecked(true);
    poPlan->setChecked(false);
    for (QAction* poMode : oView.modeGroup()->actions())
        EXPECT_FALSE(poMode->isChecked()) << poMode->text().toStdString();
}

TEST(MapViewModes, PlanObjectPolygonSelectionTurnsTheOtherModesOff)
{
    CMapView2D oView(1);
    QAction* poMeasure = actionNamed(oView, QStringLiteral("Measure Distance"));
    ASSERT_NE(poMeasure, nullptr);
    QAction oSelect(QStringLiteral("Select plan objects"), nullptr);
    oSelect.setCheckable(true);
    QObject::connect(&oSelect, &QAction::toggled, &oView, &CMapView2D::onActionSelectTvgplPolygonToggled);
    poMeasure->setChecked(true);
    oSelect.setChecked(true);
    EXPECT_FALSE(poMeasure->isChecked());
    EXPECT_TRUE(oSelect.isChecked());
    // Off again: nothing else changes.
    oSelect.setChecked(false);
    EXPECT_FALSE(poMeasure->isChecked());
}

TEST(MapViewModes, CrossLineDisablesDrawingModes)
{
    CMapView2D oView(0);
    QAction* poCross = actionNamed(oView, QStringLiteral("Cross Line"));
    QAction* poMeasure = actionNamed(oView, QStringLiteral("Measure Distance"));
    ASSERT_TRUE(poCross && poMeasure);
    poMeasure->setChecked(true);
    poCross->setChecked(true);
    EXPECT_TRUE(oView.isCrossLineOn());
    EXPECT_FALSE(poMeasure->isChecked());
    EXPECT_FALSE(poMeasure->isEnabled());
    poCross->setChecked(false);
    EXPECT_FALSE(oView.isCrossLineOn());
    EXPECT_TRUE(poMeasure->isEnabled());
}

TEST(ZoomDialog, FieldsRefuseWhatIsNoPosition)
{
    CZoomDlg oDialog;
    EXPECT_EQ(oDialog.windowTitle(), QStringLiteral("Zoom To Area"));
    const struct {
        QLineEdit* poEdit;
        const char* szText;
        QValidator::State eState;
    } aCases[] = {
        {oDialog.edtLat, "-59.123456", QValidator::Acceptable},
        {oDialog.edtLat, "90", QValidator::Acceptable},
        {oDialog.edtLat, "91", QValidator::Invalid},
        {oDialog.edtLat, "59,1", QValidator::Invalid},
        {oDialog.edtLat, "59.1234567", QValidator::Invalid},
        {oDialog.edtLat, "1e1", QValidator::Invalid},
        {oDialog.edtLon, "-180", QValidator::Acceptable},
        {oDialog.edtLon, "10.25", QValidator::Acceptable},
        {oDialog.edtLon, "180.5", QValidator::Invalid},
    };
    for (const auto& oCase : aCases) {
        QString strText = QLatin1String(oCase.szText);
        int nPos = 0;
        EXPECT_EQ(oCase.poEdit->validator()->validate(strText, nPos), oCase.eState) << oCase.szText;
    }
    EXPECT_EQ(oDialog.spnScale->value(), 10000);
    oDialog.spnScale->setValue(5);
    EXPECT_EQ(oDialog.spnScale->value(), 10);
    oDialog.spnScale->setValue(2000000);
    EXPECT_EQ(oDialog.spnScale->value(), 1000000);
}

// Empty fields show the format they take: a number the field accepts.
TEST(ZoomDialog, EmptyFieldsShowTheirFormat)
{
    CZoomDlg oDialog;
    for (QLineEdit* poEdit : {oDialog.edtLat, oDialog.edtLon}) {
        const QString strHint = poEdit->placeholderText();
        ASSERT_FALSE(strHint.isEmpty());
        QString strNumber = strHint.section(QLatin1Char(' '), 0, 0);
        int nPos = 0;
        EXPECT_EQ(poEdit->validator()->validate(strNumber, nPos), QValidator::Acceptable) << qPrintable(strHint);
    }
}

// Answers the view's dialogs and counts its warnings.
class CScriptedPrompter : public CPrompter {
public:
    int execDialog(QDialog& dialog) override
    {
        auto& oZoom = dynamic_cast<CZoomDlg&>(dialog);
        oZoom.edtLat->setText(m_strLat);
        oZoom.edtLon->setText(m_strLon);
        return m_nResult;
    }
    QMessageBox::StandardButton warning(QWidget*, const QString& strTitle, const QString&,
                                        QMessageBox::StandardButtons) override
    {
        m_lstWarnings << strTitle;
        return QMessageBox::Ok;
    }

    QString m_strLat;
    QString m_strLon;
    int m_nResult = QDialog::Accepted;
    QStringList m_lstWarnings;
};

TEST(ZoomToArea, PositionOutsideTheGlobeIsRefusedWithAWarning)
{
    CScriptedPrompter oPrompter;
    CPrompter* poPrevious = CPrompter::install(&oPrompter);
    CMapView2D oView(2);
    const struct {
        const char* szLat;
        const char* szLon;
        int nResult;
        bool bWarned;
    } aCases[] = {
        {"90.5", "10", QDialog::Accepted, true},
        {"10", "-180.01", QDialog::Accepted, true},
        {"90", "-180", QDialog::Accepted, false},
        {"-59.123456", "10.25", QDialog::Accepted, false},
        {"90.5", "10", QDialog::Rejected, false},
    };
    for (const auto& oCase : aCases) {
        oPrompter.m_strLat = QLatin1String(oCase.szLat);
        oPrompter.m_strLon = QLatin1String(oCase.szLon);
        oPrompter.m_nResult = oCase.nResult;
        oPrompter.m_lstWarnings.clear();
        oView.zoomToArea();
        EXPECT_EQ(oPrompter.m_lstWarnings,
                  oCase.bWarned ? QStringList{QStringLiteral("Invalid position")} : QStringList())
            << oCase.szLat << " " << oCase.szLon;
    }
    CPrompter::install(poPrevious);
}

TEST(SplitSurveyLine, SentenceHoldsBothAnglesWithTenDecimals)
{
    EXPECT_EQ(splitSurveyLineSentence(59.5, -10.25),
              QStringLiteral("$PQQEL,SURVEY_LINE_OPERATION,SPLIT,POSITION_LATITUDE=59.5000000000;"
                             "POSITION_LONGITUDE=-10.2500000000\n\r"));
}

TEST(MapViewReadOuts, PointerPositionAndWaterColumnOfAnUnknownFile)
{
    CMapView2D oView(2);
    QWidget oHost;
    QLabel oLabel(&oHost);
    QProgressBar oProgress(&oHost);
    oView.setStatusWidgets(&oLabel, &oProgress);
    oView.updatePositionUnderCursor(QPoint(123456, -5));
    EXPECT_EQ(oLabel.text(), QStringLiteral("1234.56 -0.05"));

    int nPings = -1;
    oView.getWCDInformation(QStringLiteral("never.wcd"), &nPings);
    EXPECT_EQ(nPings, 0);
    // An empty table is never read, whatever window of pings is asked for.
    for (const auto& oWindow : {std::pair<int, int>{0, 0}, {0, 1}, {-1, 1}, {3, -3}, {INT_MAX, 1}}) {
        QList<int> lstStatistic{7};
        oView.showWCDPing(oWindow.first, oWindow.second, {}, 0, QStringLiteral("never.wcd"), lstStatistic);
        EXPECT_EQ(lstStatistic, QList<int>{7});
    }
    EXPECT_FLOAT_EQ(CMapView2D::R(0xFF000000u), 1.0f);
    EXPECT_FLOAT_EQ(CMapView2D::A(0xFF000000u), 0.0f);
}

TEST(MapPaneStatus, WhenWorkCountsAsDone)
{
    const struct {
        const char* szText;
        int nCompleted;
        int nTotal;
        bool bCountdown;
    } aCases[] = {
        {"Loading", 3, 10, false}, {"Loading", 10, 10, true}, {"Loading", 11, 10, true},
        {"Loading", 0, 0, true},   {"Loading", 5, -1, true},  {" READY ", 1, 10, true},
        {"ready", 1, 10, true},    {"Ready", 10, 10, false},
    };
    for (const auto& oCase : aCases) {
        CMapViewPane oPane;
        oPane.updateStatus(QLatin1String(oCase.szText), oCase.nCompleted, oCase.nTotal);
        auto* poTimer = oPane.findChild<QTimer*>();
        EXPECT_EQ(poTimer && poTimer->isActive(), oCase.bCountdown) << oCase.szText << " " << oCase.nCompleted;
    }
}

class MapWindowsTest : public ::testing::Test {
protected:
    CMapView2D* mapView() const { return m_oViewer.mapView2D()->mapView(); }

    CQaMapViewer m_oViewer{64, 128, nullptr, 0};
};

TEST_F(MapWindowsTest, ManagerHoldsTheMapView)
{
    ASSERT_NE(mapView(), nullptr);
    EXPECT_EQ(CQaMapViewManager::instance()->getMapView2D(), mapView());
}

TEST_F(MapWindowsTest, MapSignalsReachTheViewer)
{
    CMapView2D* poMap = mapView();
    QPoint oFrom(1, 2);
    QPoint oTo(3, 4);
    const struct {
        const char* szName;
        std::function<void()> emitOnMap;
        std::function<std::unique_ptr<QSignalSpy>()> spyOnViewer;
    } aRelays[] = {
        {"regionToFile", [&] { emit poMap->regionToFile(QRect(), QStringLiteral("p")); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::regionToFile); }},
        {"fileToRegion", [&] { emit poMap->fileToRegion(QStringLiteral("p")); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::fileToRegion); }},
        {"hereIsTheRubberband", [&] { emit poMap->hereIsTheRubberband({1, 2}); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::hereIsTheRubberband); }},
        {"corridorLine", [&] { emit poMap->corridorLine({1}); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::corridorLine); }},
        {"enablePingDisplays", [&] { emit poMap->enablePingDisplays1(); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::enablePingDisplays); }},
        {"openAllFile", [&] { emit poMap->openAllFile(QString()); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::openAllFile); }},
        {"openAllFileWithTimeSeries", [&] { emit poMap->openAllFileWithTimeSeries(QString()); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::openAllFileWithTimeSeries); }},
        {"zoomTimeSeries", [&] { emit poMap->zoomTimeSeries(1, 2); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::zoomTimeSeries); }},
        {"changeColormap", [&] { emit poMap->changeColormap(3); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::changeColormap); }},
        {"safetyCorrEnabled", [&] { emit poMap->safetyCorrEnabled(true); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::safetyCorrEnabled); }},
        {"calibTriggered", [&] { emit poMap->calibTriggered(true); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::calibTriggered); }},
        {"measureDistance", [&] { emit poMap->measureDistance(oFrom, oTo); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::measureDistance); }},
        {"msgToFile", [&] { emit poMap->msgToFile(QStringLiteral("m")); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::msgToFile); }},
        {"sigSetStatusText with delay", [&] { emit poMap->sigSetStatusText(QStringLiteral("s"), 2); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::sigSetStatusText); }},
        {"sigSetStatusText", [&] { emit poMap->sigSetStatusText(QStringLiteral("s")); },
         [&] { return std::make_unique<QSignalSpy>(&m_oViewer, &CQaMapViewer::sigSetStatusText); }},
    };
    for (const auto& oRelay : aRelays) {
        auto poSpy = oRelay.spyOnViewer();
        oRelay.emitOnMap();
        EXPECT_EQ(poSpy->size(), 1) << oRelay.szName;
    }
}

TEST_F(MapWindowsTest, RequestsReachTheMap)
{
    CMapView2D* poMap = mapView();
    QSignalSpy oRubberband(poMap, &CMapView2D::hereIsTheRubberband);
    emit m_oViewer.rubberBandRequested();
    EXPECT_EQ(oRubberband.size(), 1);

    QSignalSpy oLog(&m_oViewer, &CQaMapViewer::msgToFile);
    emit m_oViewer.doReloadSelectionSig();
    EXPECT_EQ(oLog.size(), 2); // Init and the warning about the empty rubber band

    QSignalSpy oViews(&m_oViewer, &CQaMapViewer::viewChanged);
    m_oViewer.toggleViews(true);
    m_oViewer.toggleViews(false);
    ASSERT_EQ(oViews.size(), 2);
    EXPECT_EQ(oViews.at(0).at(0).toInt(), 1);
    EXPECT_EQ(oViews.at(1).at(0).toInt(), 0);
}

TEST_F(MapWindowsTest, LineTogglesPassOnlyInLineProcessing)
{
    QSignalSpy oToggled(&m_oViewer, &CQaMapViewer::lineToggledSig);
    emit mapView()->lineToggledSig(1, QStringLiteral("L1"));
    EXPECT_EQ(oToggled.size(), 0);
    m_oViewer.setProcessingMode(Qa::LineProcessing);
    emit mapView()->lineToggledSig(1, QStringLiteral("L1"));
    ASSERT_EQ(oToggled.size(), 1);
    EXPECT_EQ(oToggled.at(0).at(1).toString(), QStringLiteral("L1"));
}

TEST_F(MapWindowsTest, ProcessingModesShowTheirSelectionEntries)
{
    auto visible = [this](const char* szName) {
        return mapView()->findChild<QAction*>(QLatin1String(szName))->isVisible();
    };
    const struct {
        QList<int> lstModes;
        bool bLines;
        bool bPoints;
        bool bDepth;
    } aCases[] = {
        {{2}, true, true, false},
        {{4}, true, false, false},
        {{4, 2}, true, true, false},
        {{2, 3}, false, false, true},
        {{2, 5}, false, false, false},
        // Undefined hides the position entries, the line entry among them.
        {{4, 0}, false, false, false},
    };
    for (const auto& oCase : aCases) {
        for (int nMode : oCase.lstModes)
            m_oViewer.setProcessingMode(static_cast<Qa::EProcMode>(nMode));
        EXPECT_EQ(visible("actionSelectPositionLineMode"), oCase.bLines) << oCase.lstModes.last();
        EXPECT_EQ(visible("actionSelectPositionPointMode"), oCase.bPoints) << oCase.lstModes.last();
        EXPECT_EQ(visible("actionSelectDepthPointsRectangle"), oCase.bDepth) << oCase.lstModes.last();
    }
}

TEST_F(MapWindowsTest, SelectionCommandsLogTheirMode)
{
    QSignalSpy oLog(&m_oViewer, &CQaMapViewer::msgToFile);
    m_oViewer.onActionSelectAll();
    ASSERT_EQ(oLog.size(), 2);
    EXPECT_EQ(oLog.at(1).at(0).toString(),
              QStringLiteral("CQaMapView2D::onActionSelectAll - WARNING : Mode is Undefined, selecting positions AND depths"));
    m_oViewer.setProcessingMode(Qa::SurveyDisplay);
    oLog.clear();
    m_oViewer.onActionSelectClear();
    EXPECT_EQ(oLog.size(), 3);
    m_oViewer.setProcessingMode(Qa::DepthProcessing);
    oLog.clear();
    m_oViewer.onActionSelectApply();
    ASSERT_EQ(oLog.size(), 2);
    EXPECT_EQ(oLog.at(1).at(0).toString(), QStringLiteral("CQaMapView2D::onActionSelectApply - OK : Processing mode "
                                                          "is DepthProcessing, applying depth selection"));
}

} // namespace
