// Picks and context menus in the 3-D view: the zoom rectangle's corners, the end of a plan-line
// drag, plan selection, track-line highlights, user-object picks, and the four context menus.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerMenus.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexViewer/Prompter.h"

#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"
#include "OrlexObjs.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "PlanningLib.h"
#include "Projection/Projection.h"

#include <QAction>
#include <QCursor>
#include <QDebug>
#include <QDir>
#include <QMenu>
#include <QToolTip>

#include <cmath>
#include <map>

namespace O = ::Tavrin::Dremm::Orlex;
using orlex_menus::MenuEntry;
using orlex_viewer_detail::viewerLogger;

namespace orlex_menus {

namespace {

MenuEntry separator()
{
    return {QString(), 0};
}

std::vector<MenuEntry> lineEntries()
{
    return {{QStringLiteral("Activate line"), 6}, {QStringLiteral("Deactivate line"), 7},
            {QStringLiteral("Reverse line"), 5},  {QStringLiteral("Make parallels"), 9},
            {QStringLiteral("Select crossings"), 19}, {QStringLiteral("Move line"), 29},
            {QStringLiteral("Move point"), 30},   {QStringLiteral("Delete point"), 31},
            {QStringLiteral("Edit line"), 3},     {QStringLiteral("Delete line"), 17},
            {QStringLiteral("Unselect line"), 14}};
}

} // namespace

std::vector<MenuEntry> planningEntries(int nClass, int nNumSelected, int nLineCount, int nPolygonCount, bool bPlanMode)
{
    const MenuEntry newLine{QStringLiteral("New line"), 1};
    const MenuEntry newPolygon{QStringLiteral("New polygon"), 2};
    const MenuEntry unselectAll{QStringLiteral("Unselect all"), 14};
    const MenuEntry fill{QStringLiteral("Fill polygon"), 12};
    const MenuEntry keepInside{QStringLiteral("Keep lines inside"), 10};
    const MenuEntry keepOutside{QStringLiteral("Keep lines outside"), 11};
    std::vector<MenuEntry> entries;
    auto append = [&entries](std::vector<MenuEntry> more) { entries.insert(entries.end(), more.begin(), more.end()); };

    if (nClass == 0) {
        if (nLineCount <= 1 && nNumSelected == 1) {
            append(lineEntries());
            if (nPolygonCount == 1)
                entries.push_back(fill);
        }
        return entries;
    }
    if (nClass == 5) {
        if (nLineCount <= 0)
            return {newLine, newPolygon, separator(), {QStringLiteral("Edit polygon"), 3},
                    {QStringLiteral("Delete polygon"), 13}, unselectAll};
        if (nLineCount == 1)
            return {newLine, newPolygon, separator(), fill, keepInside, keepOutside, unselectAll};
        return {newLine, newPolygon, separator(), keepInside, keepOutside, unselectAll};
    }
    if (nClass != -1 || !bPlanMode)
        return entries;

    const int L = std::max(nLineCount, 0);
    const int Q = std::max(nPolygonCount, 0);
    if (L == 0 && Q == 0)
        return {newLine, newPolygon, unselectAll};
    entries = {newLine, newPolygon, separator()};
    if (Q == 0) {
        if (L == 1)
            append(lineEntries());
        else
            append({{QStringLiteral("Reverse line"), 5}, {QStringLiteral("Connect lines"), 4},
                    {QStringLiteral("Delete lines"), 13}, unselectAll});
    } else if (L == 0) {
        append({{QStringLiteral("Delete polygons"), 13}, unselectAll});
    } else if (Q == 1 && L == 1) {
        append({fill, keepInside, keepOutside, unselectAll});
    } else if (Q == 1) {
        append({keepInside, keepOutside, {QStringLiteral("Delete objects"), 13}, {QStringLiteral("Unselect All"), 14}});
    } else {
        append({{QStringLiteral("Delete objects"), 13}, unselectAll});
    }
    return entries;
}

std::vector<MenuEntry> calibEntries(int nDisplayMode)
{
    return {{QStringLiteral("New Corridor"), NewCorridor},
            {QStringLiteral("Select Lines"), SelectLines},
            {nDisplayMode == 2 ? QStringLiteral("Show Cross Lines") : QStringLiteral("Calibrate"), Calibrate}};
}

std::vector<MenuEntry> generalEntries(int nDisplayMode)
{
    if (nDisplayMode == 3)
        return {};
    return {{QStringLiteral("Toggle pinging"), TogglePinging}, {QStringLiteral("Toggle logging"), ToggleLogging},
            {QStringLiteral("New line"), NewLine},             separator(),
            {QStringLiteral("Move to vessel"), MoveToVessel},  {QStringLiteral("Toggle follow vessel"), ToggleFollow}};
}

std::vector<MenuEntry> userObjectEntries(bool bOnObject)
{
    if (bOnObject)
        return {{QStringLiteral("Edit object"), EditObject}, {QStringLiteral("Delete object"), DeleteObject},
                {QStringLiteral("Open media/URL"), OpenMedia}};
    return {{QStringLiteral("Point"), NewPoint},        {QStringLiteral("Line"), NewLineObject},
            {QStringLiteral("Polygon"), NewPolygon},    {QStringLiteral("Create marker"), NewMarker},
            separator(),
            {QStringLiteral("Edit object"), EditNext},  {QStringLiteral("Delete object"), DeleteNext}};
}

} // namespace orlex_menus

namespace {

// Shows the entries as a menu at the pointer; the chosen entry's action, 0 when none (an empty
// menu is not shown). Texts go through translate() of the controller's class when bTranslate.
int runMenu(const std::vector<MenuEntry>& entries, bool bTranslate, QMenu* pMenu = nullptr)
{
    if (entries.empty())
        return 0;
    QMenu ownMenu;
    QMenu& menu = pMenu ? *pMenu : ownMenu;
    std::map<QAction*, int> actions;
    for (const MenuEntry& entry : entries) {
        if (entry.text.isEmpty()) {
            menu.addSeparator();
            continue;
        }
        const QString strText = bTranslate ? COrlexViewer::tr(entry.text.toUtf8().constData()) : entry.text;
        actions[menu.addAction(strText)] = entry.action;
    }
    QAction* pChosen = CPrompter::current().popup(menu, QCursor::pos());
    const auto it = actions.find(pChosen);
    return it == actions.end() ? 0 : it->second;
}

// "<last name component> avg hdg/spd <heading>/<speed>".
QString trackLineText(COrlexGrid& grid, std::uint64_t nId)
{
    int nHeading = 0;
    int nSpeed = 0;
    const QString strName = grid.getTrackLineInfo(nId, nHeading, nSpeed);
    return QStringLiteral("%1 avg hdg/spd %2/%3")
        .arg(QDir(strName).dirName())
        .arg(nHeading)
        .arg(static_cast<double>(nSpeed) / 100.0, 0, 'g', 6);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Picks

void COrlexViewer::placeZoomRectCorner(const PositionData& oPos)
{
    m_zoomRectStart = oPos;
    O::PositionUpdateMessage move;
    move.ObjectIds.push_back(m_nZoomRectId);
    move.Positions.push_back(oPos);
    send(move);
    O::UpdateScaleMessage scale;
    scale.Id = m_nZoomRectId;
    scale.Scale.X = 0.001;
    scale.Scale.Y = 0.001;
    scale.Scale.Z = 1;
    send(scale);
    m_bZoomRectStarted = true;
    setObjectVisibility(m_nZoomRectId, true);
}

void COrlexViewer::onObjectPickedMessageReceived(const O::ObjectPickedMessage* pMessage)
{
    if (!pMessage)
        return;
    const bool bHasPosition = pMessage->Position.hasvalue();
    const PositionData oPos = bHasPosition ? pMessage->Position.value() : PositionData();

    // 1. The end of a drag.
    if (!m_bZoomRectActive) {
        if (m_bMoveLinePending) {
            setNotifyMouseMove(false);
            m_nEditState = 2;
            m_bMoveLinePending = false;
            moveLine(0, 0);
        } else if (m_bMovePointPending && m_nEditState == 1) {
            setNotifyMouseMove(false);
            m_nEditState = 2;
            m_bMovePointPending = false;
            movePoint(0, 0);
        }
    }

    // 2. The zoom rectangle's corners.
    if (m_bZoomRectActive) {
        if (!m_bZoomRectStarted) {
            if (!bHasPosition)
                return;
            placeZoomRectCorner(oPos);
        } else {
            m_bZoomRectStarted = false;
            m_bZoomRectActive = false;
            if (!bHasPosition)
                return;
            const PositionData s = m_zoomRectStart;
            if (!m_bPointSelection) {
                const double dX = oPos.X - s.X;
                const double dY = oPos.Y - s.Y;
                const double d = std::fabs(dX) > std::fabs(dY) ? std::fabs(dX) : std::fabs(dY);
                LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Zoom to rect. Try to set ViewportHeight to ") << d);
                O::SetCameraDataMessage camera;
                camera.ViewerId = viewerId();
                camera.Confirmation = 1;
                camera.TransitionTime.set(1.0);
                O::CameraData data;
                data.CameraPosition.set(orlex_viewer_detail::position((s.X + oPos.X) / 2, (s.Y + oPos.Y) / 2,
                                                                       m_cameraState.Position.Z));
                data.Orientation.set(m_cameraState.Orientation);
                data.ViewportHeight.set(d);
                camera.CameraData = data;
                send(camera);
            } else {
                m_planPoints = {s, orlex_viewer_detail::position(oPos.X, s.Y, 0),
                                orlex_viewer_detail::position(oPos.X, oPos.Y, 10),
                                orlex_viewer_detail::position(s.X, oPos.Y, 0)};
                O::SetCursorMessage cursor;
                cursor.ViewerId = viewerId();
                cursor.Confirmation = 1;
                cursor.Cursor = "WaitCursor";
                send(cursor);
                emit selectedPolygon(m_planPoints);
            }
            setObjectVisibility(m_nZoomRectId, false);
            setNotifyMouseMove(false);
            O::SetCursorMessage cursor;
            cursor.ViewerId = viewerId();
            cursor.Confirmation = 1;
            cursor.Cursor = "Default";
            send(cursor);
            m_bZoomToRegion = false;
        }
    }

    // 3. The line of the last measurement goes with the next pick.
    if (m_nMeasureObjectId != 0 && !m_bMeasuring) {
        O::DestroyObjectMessage destroy;
        destroy.Id = m_nMeasureObjectId;
        send(destroy);
        m_nMeasureObjectId = 0;
    }

    // 4.
    if (!bHasPosition) {
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Got ObjectPickedMessageReceived: No object selected"));
        return;
    }

    // 5.
    if (pMessage->ObjectId.hasvalue()) {
        const std::uint64_t nId = pMessage->ObjectId.value();
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Got ObjectPickedMessageReceived id=")
                                            << nId << LOG4CPLUS_TEXT(" at ") << static_cast<long long>(oPos.X)
                                            << LOG4CPLUS_TEXT("/") << static_cast<long long>(oPos.Y));
        COrlexGrid* pActive = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
        // Flips a track line's highlight; false when the handler must stop (no active survey).
        auto toggleTrackLine = [&](int nTipMs, bool bOnlyWhenSet) {
            const auto it = m_objects.find(nId);
            if (it == m_objects.end() || it->second.kind != 2)
                return true;
            it->second.highlighted = !it->second.highlighted;
            const bool bNow = it->second.highlighted;
            if (COrlexGrid* pSurvey = m_pDataManager ? m_pDataManager->getSurvey(it->second.name) : nullptr)
                setLineHighlight(nId, bNow, pSurvey->getTrackLineColor(), pSurvey->getTrackLineWidth());
            if (bOnlyWhenSet && !bNow)
                return true;
            if (!pActive)
                return false;
            const QString strText = trackLineText(*pActive, nId);
            CPrompter::current().toolTip(QCursor::pos(), strText, m_pHostWindow, nTipMs);
            emit sigSetStatusText(strText, 0);
            return true;
        };

        if (m_bCalibMode) {
            if (!toggleTrackLine(10000, true))
                return;
        } else if (m_bPlanMode && m_pPlanning && m_pPlanning->getPlanningLib()) {
            const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
            const int nClass = orlex_menus::pickedPlanClass(nId, [&pLib](std::uint64_t n) { return pLib->isPlanObject(n); });
            if (m_bMovePointPending) {
                if (nClass == 2) {
                    m_nSelectedPointId = nId;
                    setNotifyMouseMove(true);
                    movePoint(0, 0);
                } else {
                    m_bMovePointPending = false;
                    m_nEditState = 0;
                }
            }
            if (m_bDeletePointPending) {
                m_nSelectedPointId = nId;
                m_nEditState = 0;
                deletePoint(0, 0);
            } else if (nClass == 0 || nClass == 5) {
                pLib->selectPlanObject(nId);
                int& nCount = nClass == 0 ? m_nSelectedLineCount : m_nSelectedPolygonCount;
                if (pLib->isSelected(nId)) {
                    ++nCount;
                    m_nSelectedObjectId = nId;
                    m_nSelectedLineId = nId;
                } else {
                    nCount = std::max(nCount - 1, 0);
                }
            }
        } else if (m_bDeleteUserObjPending && m_bUserMode) {
            userObjectPicked(nId, oPos, 1);
            m_bDeleteUserObjPending = false;
        } else if (m_bEditUserObjPending && m_bUserMode) {
            userObjectPicked(nId, oPos, 2);
            m_bEditUserObjPending = false;
        } else if (m_bUserMode) {
            userObjectPicked(nId, oPos, 0);
        } else if (!m_bZoomRectActive) {
            if (!toggleTrackLine(-1, false))
                return;
        }
    }

    // 6. User points and markers.
    if (m_bUserMode) {
        if (m_nNewObjectKind == 2) {
            m_planPoints.push_back(oPos);
            addUserObject(true);
        } else if (m_nNewObjectKind == 20) {
            m_planPoints.push_back(oPos);
            std::vector<float> lonLat;
            for (const PositionData& p : m_planPoints) {
                double dLatitude = 0;
                double dLongitude = 0;
                CProjection::instance()->toGeographic(p.Y * 100.0, p.X * 100.0, dLatitude, dLongitude);
                lonLat.push_back(static_cast<float>(dLongitude));
                lonLat.push_back(static_cast<float>(dLatitude));
            }
            addMarkerPoints(lonLat);
            m_nNewObjectKind = -1;
            m_planPoints.clear();
        }
    }

    // 7.
    if (m_bMeasActive || m_bPositionUnderCursor) {
        QPoint oFrom(static_cast<int>(oPos.X * 100.0), static_cast<int>(oPos.Y * 100.0));
        QPoint oTo(0, 0);
        emit measureDistance(oFrom, oTo);
    }
}

// ---------------------------------------------------------------------------------------------
// Context menus

void COrlexViewer::onShowContextMenuMessageReceived(const O::ShowContextMenuMessage* pMessage)
{
    const std::uint64_t nId = pMessage && pMessage->ObjectId.hasvalue() ? pMessage->ObjectId.value() : 0;
    if (pMessage && pMessage->ObjectId.hasvalue())
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Got ShowContextMenuMessageReceived ObjectId") << nId);
    else
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Got ShowContextMenuMessageReceived ObjectId"));
    if (m_bPlanMode)
        showPlanningMenu(nId);
    else if (m_bCalibActive)
        showCalibMenu();
    else if (m_bUserMode)
        showUserObjectMenu(nId);
    else
        showGeneralMenu();
}

void COrlexViewer::showPlanningMenu(std::uint64_t nId)
{
    // A context menu cancels a pending edit; a line move ends without a menu.
    if (m_bMoveLinePending) {
        m_nEditState = 3;
        moveLine(0, 0);
        return;
    }
    if (m_bMovePointPending) {
        m_nEditState = 3;
        movePoint(0, 0);
    } else if (m_bDeletePointPending) {
        m_nEditState = 3;
        deletePoint(0, 0);
    }
    if (!m_pPlanning || !m_pPlanning->getPlanningLib())
        return;
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    int nSelected = pLib->getNumSelected(1);
    const int nClass = pLib->isPlanObject(nId);
    m_nSelectedLineCount = nSelected;

    if (nClass != -1 && !pLib->isSelected(nId)) {
        pLib->selectPlanObject(nId);
        nSelected = pLib->getNumSelected(1);
        if (nClass == 0) {
            m_nSelectedLineId = nId;
            m_nSelectedObjectId = nId;
            m_nSelectedLineCount += 1;
        } else if (nClass == 5) {
            m_nSelectedPolygonCount += 1;
            m_nSelectedObjectId = nId;
        }
    }
    if (nClass == 0 && m_nSelectedLineCount <= 1 && nSelected == 1) {
        m_nSelectedLineId = nId;
        m_nSelectedObjectId = nId;
    }
    const std::vector<MenuEntry> entries =
        orlex_menus::planningEntries(nClass, nSelected, m_nSelectedLineCount, m_nSelectedPolygonCount, m_bPlanMode);
    const int nAction = runMenu(entries, true);
    if (nAction == 0) {
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("no menu selected"));
        return;
    }
    planningMenuAction(nAction);
}

void COrlexViewer::showCalibMenu()
{
    switch (runMenu(orlex_menus::calibEntries(m_nMode), false)) {
    case orlex_menus::NewCorridor: newTVGPLLine(false); break;
    case orlex_menus::SelectLines: selectCalLines(); break;
    case orlex_menus::Calibrate: calibTriggered(false); break;
    default: LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("no menu selected")); break;
    }
}

void COrlexViewer::showGeneralMenu()
{
    const std::vector<MenuEntry> entries = orlex_menus::generalEntries(m_nMode);
    if (entries.empty())
        return;
    QMenu menu;
    std::map<QAction*, int> actions;
    for (const MenuEntry& entry : entries) {
        if (entry.text.isEmpty()) {
            menu.addSeparator();
            continue;
        }
        QAction* pAction = menu.addAction(entry.text);
        actions[pAction] = entry.action;
        // The follow entry is checkable; its toggle toggles the map view's follow-vessel action.
        if (entry.action == orlex_menus::ToggleFollow) {
            pAction->setObjectName(QStringLiteral("ToggFollow"));
            pAction->setCheckable(true);
            pAction->setChecked(false);
            connect(pAction, &QAction::toggled, this, [](bool bOn) {
                if (CQaMapViewManager* pManager = CQaMapViewManager::instance())
                    if (CMapView2D* pMap = pManager->getMapView2D())
                        if (QAction* pMapFollow = pMap->followShipAction())
                            pMapFollow->toggle();
                Q_UNUSED(bOn)
            });
        }
    }
    QAction* pChosen = CPrompter::current().popup(menu, QCursor::pos());
    const auto it = actions.find(pChosen);
    switch (it == actions.end() ? 0 : it->second) {
    case orlex_menus::TogglePinging: emit sigTogPing(); break;
    case orlex_menus::ToggleLogging: emit sigTogLog(); break;
    case orlex_menus::NewLine: emit sigNewLine(); break;
    case orlex_menus::MoveToVessel: moveToVessel(false, 0); break;
    default: break;
    }
}

void COrlexViewer::showUserObjectMenu(std::uint64_t nId)
{
    const bool bOnObject = userObjectUnder(nId);
    if (bOnObject) {
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("UsrObj clicked"));
        m_nSelectedObjectId = nId;
    }
    switch (runMenu(orlex_menus::userObjectEntries(bOnObject), true)) {
    case orlex_menus::EditObject: userObjectMenuCommand(orlex_menus::EditObject); break;
    case orlex_menus::DeleteObject: userObjectMenuCommand(orlex_menus::DeleteObject); break;
    case orlex_menus::OpenMedia: userObjectMenuCommand(orlex_menus::OpenMedia); break;
    case orlex_menus::NewPoint: newUserPoint(false); break;
    case orlex_menus::NewLineObject: newUserLine(false); break;
    case orlex_menus::NewPolygon: newUserPolygon(false); break;
    case orlex_menus::NewMarker: newMarker(false); break;
    case orlex_menus::EditNext: m_bEditUserObjPending = true; break;
    case orlex_menus::DeleteNext: m_bDeleteUserObjPending = true; break;
    default: LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("no menu selected")); break;
    }
}

// ---------------------------------------------------------------------------------------------
// User objects

void COrlexViewer::userObjectPicked(std::uint64_t nId, const PositionData& oPos, int nRequest)
{
    if (!m_pObjects)
        return;
    switch (nRequest) {
    case 1:
        m_pObjects->deleteObj(nId, true, true);
        forgetRemovedCorridor();
        break;
    case 2: m_pObjects->editObject(nId); break;
    default:
        m_pObjects->selectedObject(nId, static_cast<int>(oPos.X * 100.0), static_cast<int>(oPos.Y * 100.0));
        break;
    }
}

bool COrlexViewer::userObjectUnder(std::uint64_t nId)
{
    return m_pObjects && m_pObjects->isPlanObject(nId);
}

void COrlexViewer::userObjectMenuCommand(int nCommand)
{
    switch (nCommand) {
    case orlex_menus::EditObject: editUserObj(); break;
    case orlex_menus::DeleteObject: deleteUserObj(); break;
    case orlex_menus::OpenMedia: viewUserObj(); break;
    default: break;
    }
}

void COrlexViewer::addMarkerPoints(std::vector<float>& lonLat)
{
    if (m_pObjects)
        m_pObjects->addMarker(lonLat);
}
