// The map view's actions, its tool bar and the interaction-mode rule.
#include "MapView/MapView2D.h"

#include "Common/CorvPaths.h"
#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/SettingsGroup.h"
#include "QtAppFramework/SettingsManager.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVariant>

namespace {

// Application setting that decides whether the terrain menu holds the extended entries.
constexpr int GeExportPathSetting = 29;

QAction* makeAction(QObject* poParent, const QString& strText, const char* szName, const char* szIcon,
                    const QString& strStatusTip, const QString& strToolTip, bool bCheckable)
{
    auto* poAction = new QAction(QIcon(QLatin1String(szIcon)), strText, poParent);
    poAction->setObjectName(QLatin1String(szName));
    poAction->setStatusTip(strStatusTip);
    if (!strToolTip.isNull())
        poAction->setToolTip(strToolTip);
    poAction->setCheckable(bCheckable);
    return poAction;
}

void setButtonName(QToolBar* poBar, QAction* poAction, const char* szName)
{
    if (!poAction)
        return;
    if (QWidget* poButton = poBar->widgetForAction(poAction))
        poButton->setObjectName(QLatin1String(szName));
}

} // namespace

QAction* CMapView2D::addModeAction(const QString& strText, const char* szIcon, const QString& strTip,
                                   void (CMapView2D::*pSlot)(bool))
{
    QAction* poAction = makeAction(this, strText, "mapBtnC", szIcon, strText, strTip, true);
    connect(poAction, &QAction::toggled, this, pSlot);
    return poAction;
}

void CMapView2D::createActions()
{
    m_poActionMeasureDistance = makeAction(this, tr("Measure Distance"), "mapBtnC",
                                           ":/uistyle/md/image/ic_straighten_24px.svg", tr("Measure Distance"),
                                           tr("Measure Distance"), true);
    connect(m_poActionMeasureDistance, &QAction::toggled, this, &CMapView2D::onActionMeasureDistanceToggled);
    m_poActionDepthUnderCursor = makeAction(this, tr("Toggle Depth Under Cursor"), "actionDepthUnderCursor",
                                            ":/uistyle/zeplin/boresight-d.svg", tr("Toggle Depth Under Cursor"),
                                            tr("Toggle Depth Under Cursor"), true);
    connect(m_poActionDepthUnderCursor, &QAction::toggled, this, &CMapView2D::onActionDepthUnderCursorToggled);
    m_poActionPositionUnderCursor = makeAction(this, tr("Toggle Position Under Cursor"), "actionPositionUnderCursor",
                                               ":/uistyle/zeplin/boresight-p.svg", tr("Toggle Position Under Cursor"),
                                               tr("Toggle Position Under Cursor"), true);
    connect(m_poActionPositionUnderCursor, &QAction::toggled, this, &CMapView2D::onActionPositionUnderCursorToggled);
    m_poActionPlanMode = addModeAction(tr("Toggle Planning mode"), ":/uistyle/md/action/ic_timeline_24px.svg",
                                       QStringLiteral("Planning mode"), &CMapView2D::onActionPlanModeToggled);
    m_poActionUserMode = addModeAction(tr("Toggle User Objects mode"), ":/uistyle/md/device/ic_widgets_24px.svg",
                                       QStringLiteral("User Objects mode"), &CMapView2D::onActionUserModeToggled);
    m_poActionPointSelection = addModeAction(tr("Toggle Point Selection mode"), ":/uistyle/md/image/ic_grain_24px.svg",
                                             QStringLiteral("Point Selection mode"),
                                             &CMapView2D::onActionPointSelectionToggled);
    m_poActionZoomToWorld = makeAction(this, tr("Zoom to World"), "actionZoomToWorld",
                                       ":/uistyle/md/action/ic_open_with_24px.svg",
                                       tr("Zoom to World - Display entire survey"), tr("Zoom to World"), false);
    connect(m_poActionZoomToWorld, &QAction::triggered, this, &CMapView2D::onActionViewAllToggled);
    m_poActionZoomToRegion = makeAction(this, tr("Zoom to Region"), "actionZoomToRegion",
                                        ":/uistyle/md/action/ic_picture_in_picture_24px.svg", tr("Zoom to Region"),
                                        QString(), true);
    // Checkable, so that a second press (or another mode) switches the zoom-to-region mode off.
    connect(m_poActionZoomToRegion, &QAction::toggled, this, &CMapView2D::onActionZoomToRegionToggled);
    m_poActionMoveToVessel = makeAction(this, tr("Move to Vessel"), "actionZoomToVessel",
                                        ":/uistyle/md/maps/ic_directions_boat_24px.svg", tr("Zoom to Vessel (F3)"),
                                        tr("Zoom to Vessel (F3)"), false);
    m_poActionMoveToVessel->setShortcut(QKeySequence(Qt::Key_F3));
    connect(m_poActionMoveToVessel, &QAction::triggered, this, &CMapView2D::onActionZoomToVessel);
    m_poActionZoomToArea = makeAction(this, tr("Zoom to Area"), "actionZoomToArea",
                                      ":/uistyle/md/action/ic_aspect_ratio_24px.svg", tr("Zoom to area"),
                                      tr("Zoom to given area"), false);
    connect(m_poActionZoomToArea, &QAction::triggered, this, &CMapView2D::onActionZoomToArea);
    m_poActionFollowShip = makeAction(this, QString(), "actionFollowShip",
                                      ":/uistyle/md/device/ic_brightness_auto_24px.svg", tr("Follow Vessel on/off"),
                                      tr("Follow Vessel on/off"), true);
    connect(m_poActionFollowShip, &QAction::toggled, this, &CMapView2D::onActionFollowShip);

    if (m_nViewId != 0)
        return;
    m_poActionCrossLine = makeAction(this, tr("Cross Line"), "mapBtnC", ":/images/crosslines.png", tr("Cross Line"),
                                     QString(), true);
    connect(m_poActionCrossLine, &QAction::toggled, this, &CMapView2D::onActionCalibModeToggled);
    connect(m_poActionCrossLine, &QAction::toggled, this, &CMapView2D::onActionCrossLine);
    m_poActionLoadProcessPoints = makeAction(this, tr("Load Process Points From File"), "actionLoadProcessPoints",
                                             ":/images/_Upload.png", tr("Load Process Points"), QString(), false);
    connect(m_poActionLoadProcessPoints, &QAction::triggered, this,
            &CMapView2D::onActionLoadProcessPointsRegionToggled);
    m_poActionSaveProcessPoints = makeAction(this, tr("Save Process Points To File"), "actionSaveProcessPoints",
                                             ":/images/_Download.png", tr("Save Process Points"), QString(), true);
    connect(m_poActionSaveProcessPoints, &QAction::toggled, this,
            &CMapView2D::onActionSaveProcessPointsRegionToggled);
    m_poActionSelectPositionLines = makeAction(this, tr("Select Position Lines"), "actionSelectPositionLineMode",
                                               ":/images/iconSelectPositionLines.png",
                                               tr("Enable Position Line Selection"), QString(), true);
    m_poActionSelectPositionLines->setChecked(true);
    connect(m_poActionSelectPositionLines, &QAction::toggled, this,
            &CMapView2D::onActionEnableSelectPositionLinesToggled);
    m_poActionSelectPositionPoints = makeAction(this, tr("Select Position Points"), "actionSelectPositionPointMode",
                                                ":/images/iconSelectPositionPoints.png",
                                                tr("Enable Position Point Selection"), QString(), true);
    connect(m_poActionSelectPositionPoints, &QAction::toggled, this,
            &CMapView2D::onActionEnableSelectPositionPointsToggled);
    m_poActionSelectPositionRectangle = makeAction(this, tr("Select Position Rectangle"),
                                                   "actionSelectPositionRectangle",
                                                   ":/images/iconSelectPositionRectangle.png",
                                                   tr("Select Position Lines/Points Rectangle"), QString(), true);
    connect(m_poActionSelectPositionRectangle, &QAction::toggled, this,
            &CMapView2D::onActionSelectPositionRectangleToggled);
    m_poActionSelectPositionPolygon = makeAction(this, tr("Select Position Polygon"), "actionSelectPositoniPolygon",
                                                 ":/images/iconSelectPositionPolygon.png",
                                                 tr("Select Position Lines/Points Polygon"), QString(), true);
    connect(m_poActionSelectPositionPolygon, &QAction::toggled, this,
            &CMapView2D::onActionSelectPositionPolygonToggled);
    m_poActionSelectDepthPointsRectangle = makeAction(this, tr("Select Depth Points Rectangle"),
                                                      "actionSelectDepthPointsRectangle",
                                                      ":/images/iconSelectDepthPointsRect.png",
                                                      tr("Select Depth Points Rectangle"), QString(), true);
    connect(m_poActionSelectDepthPointsRectangle, &QAction::toggled, this,
            &CMapView2D::onActionSelectDepthPointsRectangleToggle);
    m_poActionSelectDepthPointsPolygon = makeAction(this, tr("Select Depth Points Polygon"),
                                                    "actionSelectDepthPointsPolygon",
                                                    ":/images/iconSelectDepthPointsPoly.png",
                                                    tr("Select Depth Points Lasso"), QString(), true);
    connect(m_poActionSelectDepthPointsPolygon, &QAction::toggled, this,
            &CMapView2D::onActionSelectDepthPointsPolygonToggle);
}

void CMapView2D::addColourEntry(const QString& strText, int nData)
{
    QAction* poEntry = m_poColourMapMenu->addAction(strText);
    poEntry->setData(nData);
    // One property at a time, the current one checked; the first (depth) at start.
    if (!m_poColourEntryGroup)
        m_poColourEntryGroup = new QActionGroup(this);
    poEntry->setCheckable(true);
    poEntry->setChecked(m_poColourEntryGroup->actions().isEmpty());
    m_poColourEntryGroup->addAction(poEntry);
    connect(poEntry, &QAction::triggered, this, &CMapView2D::changeColormapSlot);
}

void CMapView2D::createToolBars()
{
    QToolBar* poBar = toolBar();
    poBar->setObjectName(QStringLiteral("2dBar"));
    poBar->setIconSize(QSize(16, 16));
    const bool bVesselSet = m_nViewId == 1 || m_nViewId == 2;
    QToolButton* poRotateButton = nullptr;
    if (bVesselSet) {
        poBar->setIconSize(QSize(24, 24));
        poBar->addAction(m_poActionFollowShip);
        poBar->addAction(m_poActionMoveToVessel);
        poRotateButton = new QToolButton(poBar);
        poRotateButton->setObjectName(QStringLiteral("actionRotateView"));
        poRotateButton->setIcon(QIcon(QStringLiteral(":/uistyle/md/device/ic_screen_rotation_24px.svg")));
        poRotateButton->setPopupMode(QToolButton::InstantPopup);
        poRotateButton->setStatusTip(QStringLiteral("Rotate mode"));
        poRotateButton->setToolTip(QStringLiteral("Rotate mode"));
        auto* poRotateMenu = new QMenu(QStringLiteral("Rotate"), this);
        auto* poRotateGroup = new QActionGroup(poRotateMenu);
        poRotateGroup->setExclusive(true);
        const char* const aszModes[] = {"North up", "Bow up", "Line up", "Manual"};
        for (int nMode = 0; nMode < 4; ++nMode) {
            QAction* poEntry = poRotateMenu->addAction(QLatin1String(aszModes[nMode]));
            poEntry->setCheckable(true);
            poEntry->setData(nMode);
            poEntry->setChecked(nMode == 0);
            poRotateGroup->addAction(poEntry);
            connect(poEntry, &QAction::triggered, this, &CMapView2D::onActionRotateView);
        }
        poRotateButton->setMenu(poRotateMenu);
        poBar->addWidget(poRotateButton);
        poRotateButton->setObjectName(QStringLiteral("mapBtnC"));
    }
    poBar->addAction(m_poActionZoomToWorld);
    poBar->addAction(m_poActionZoomToRegion);
    poBar->addAction(m_poActionZoomToArea);
    poBar->addSeparator();
    poBar->addAction(m_poActionMeasureDistance);
    poBar->addAction(m_poActionDepthUnderCursor);
    poBar->addAction(m_poActionPositionUnderCursor);
    poBar->addSeparator();

    if (m_nViewId == 0) {
        poBar->addAction(m_poActionPointSelection);
        poBar->addAction(m_poActionCrossLine);
        poBar->addAction(m_poActionLoadProcessPoints);
        poBar->addAction(m_poActionSaveProcessPoints);
        m_poPositionSeparator = poBar->addSeparator();
        poBar->addAction(m_poActionSelectPositionLines);
        poBar->addAction(m_poActionSelectPositionPoints);
        poBar->addAction(m_poActionSelectPositionRectangle);
        poBar->addAction(m_poActionSelectPositionPolygon);
        m_poDepthSeparator = poBar->addSeparator();
        poBar->addAction(m_poActionSelectDepthPointsRectangle);
        poBar->addAction(m_poActionSelectDepthPointsPolygon);
        // The last separator takes the place of the position-selection separator.
        m_poPositionSeparator = poBar->addSeparator();
    } else {
        auto* poTerrainButton = new QToolButton(poBar);
        poTerrainButton->setObjectName(QStringLiteral("mapBtnC"));
        poTerrainButton->setPopupMode(QToolButton::InstantPopup);
        poTerrainButton->setIcon(QIcon(QStringLiteral(":/images/ic_color_lens_2x.png")));
        poTerrainButton->setStatusTip(tr("Select Terrain propery"));
        poTerrainButton->setToolTip(tr("Select the Terrain propery to view"));
        m_poColourMapMenu = new QMenu(QStringLiteral("ColourMapMenu"), this);
        addColourEntry(tr("Depth"), 0);
        addColourEntry(tr("Backscatter"), 1);
        QVariant vExportPath;
        CSettingsManager::instance()->getValue(Application, GeExportPathSetting, vExportPath, false);
        if (!vExportPath.toBool()) {
            addColourEntry(tr("Depth Diff"), 2);
            addColourEntry(tr("Cell Points"), 3);
            addColourEntry(tr("Std Dev"), 4);
            m_bExtendedColourMenu = true;
        }
        poTerrainButton->setMenu(m_poColourMapMenu);
        poBar->addWidget(poTerrainButton);
    }

    QAction* poToggle3D = makeAction(this, tr("Enable 3D mode"), "mapBtnC", ":/images/ic_3d_rotation_black_24dp.png",
                                     tr("Press to toggle 2D/3D mode"), tr("Press to toggle 2D/3D mode"), true);
    connect(poToggle3D, &QAction::triggered, this, &CMapView2D::onToggle3D);
    poBar->addAction(poToggle3D);

    if (m_nViewId == 1) {
        poBar->addAction(m_poActionPlanMode);
        poBar->addAction(m_poActionUserMode);
        poBar->addAction(m_poActionPointSelection);
    }

    QAction* poTailVis = nullptr;
    QAction* poTailReset = nullptr;
    QAction* poSavePos = nullptr;
    if (bVesselSet) {
        poTailVis = makeAction(this, tr("Show/Hide depth tail"), "mapBtnC",
                               ":/uistyle/md/communication/ic_clear_all_24px.svg", tr("Show/Hide depth tail"),
                               tr("Show/Hide depth tail"), true);
        poTailVis->setChecked(true);
        connect(poTailVis, &QAction::triggered, this, &CMapView2D::onToggleTailVis);
        poBar->addAction(poTailVis);

        poTailReset = makeAction(this, tr("Reset depth tail"), "mapBtnC", ":/uistyle/md/action/ic_autorenew_24px.svg",
                                 tr("Reset depth tail"), tr("Reset depth tail"), false);
        poTailReset->setText(QStringLiteral("RT"));
        connect(poTailReset, &QAction::triggered, this, [this]() {
            if (m_poViewer)
                m_poViewer->setDepthTailVisibility(3, true);
        });
        poBar->addAction(poTailReset);

        poSavePos = makeAction(this, tr("Save position"), "mapBtnC", ":/uistyle/md/maps/ic_place_24px.svg",
                               tr("Save current vessel position to ") + programDataPath()
                                   + QStringLiteral("savedpos.txt"),
                               tr("Save position to file (F7)"), false);
        poSavePos->setShortcut(QKeySequence(Qt::Key_F7));
        connect(poSavePos, &QAction::triggered, this, [this]() {
            if (m_poViewer)
                m_poViewer->savePosition();
        });
        poBar->addAction(poSavePos);
    }

    poBar->show();

    m_poModeGroup = new QActionGroup(this);
    m_poModeGroup->setObjectName(QStringLiteral("actionGroupMutEx"));
    m_poModeGroup->setExclusive(false);
    for (QAction* poMode : {m_poActionMeasureDistance, m_poActionLoadProcessPoints, m_poActionSaveProcessPoints,
                            m_poActionSelectPositionRectangle, m_poActionSelectPositionPolygon,
                            m_poActionSelectDepthPointsRectangle, m_poActionSelectDepthPointsPolygon,
                            m_poActionPlanMode, m_poActionUserMode, m_poActionZoomToRegion})
        if (poMode)
            m_poModeGroup->addAction(poMode);

    if (m_nViewId == 2) {
        for (QAction* poAction : {m_poActionFollowShip, m_poActionMoveToVessel, m_poActionZoomToWorld,
                                  m_poActionZoomToRegion, m_poActionZoomToArea, m_poActionMeasureDistance,
                                  m_poActionDepthUnderCursor, m_poActionPositionUnderCursor})
            setButtonName(poBar, poAction, "mapBtn");
    } else if (m_nViewId == 1) {
        for (QAction* poAction : {m_poActionFollowShip, m_poActionMoveToVessel, m_poActionZoomToWorld,
                                  m_poActionZoomToArea, m_poActionMeasureDistance, m_poActionDepthUnderCursor,
                                  m_poActionPositionUnderCursor, m_poActionPlanMode, m_poActionZoomToRegion, poTailVis,
                                  poTailReset, poSavePos, m_poActionPointSelection})
            setButtonName(poBar, poAction, "mapBtn");
    }
}

void CMapView2D::hideQaSelectionActions()
{
    setPositionSelectionActionsVisible(false);
    setDepthSelectionActionsVisible(false);
}

void CMapView2D::uncheckOtherModeActions(QAction* poChecked)
{
    if (!m_poModeGroup)
        return;
    for (QAction* poMode : m_poModeGroup->actions())
        if (poMode != poChecked && poMode->isChecked())
            poMode->setChecked(false);
}

void CMapView2D::setDepthSelectionActionsVisible(bool bVisible)
{
    for (QAction* poAction : {m_poActionLoadProcessPoints, m_poActionSaveProcessPoints, m_poDepthSeparator,
                              m_poActionSelectDepthPointsRectangle, m_poActionSelectDepthPointsPolygon})
        if (poAction)
            poAction->setVisible(bVisible);
}

void CMapView2D::setLineSelectionActionsVisible(bool bVisible)
{
    for (QAction* poAction : {m_poPositionSeparator, m_poActionSelectPositionLines})
        if (poAction)
            poAction->setVisible(bVisible);
}

void CMapView2D::setPositionSelectionActionsVisible(bool bVisible)
{
    for (QAction* poAction : {m_poPositionSeparator, m_poActionSelectPositionLines, m_poActionSelectPositionPoints,
                              m_poActionSelectPositionRectangle, m_poActionSelectPositionPolygon})
        if (poAction)
            poAction->setVisible(bVisible);
}

void CMapView2D::onStartPositionSelectionRectangle()
{
    if (m_poActionSelectPositionRectangle)
        m_poActionSelectPositionRectangle->setChecked(true);
}

void CMapView2D::onStartPositionSelectionPolygon()
{
    if (m_poActionSelectPositionPolygon)
        m_poActionSelectPositionPolygon->setChecked(true);
}
