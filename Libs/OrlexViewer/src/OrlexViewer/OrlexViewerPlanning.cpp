// Planning in the 3-D view: the planning interface, the planning menu's commands, dragging a plan
// line, moving and deleting one vertex, storing edited and new plan objects, the runtime link's
// plan calls and line highlights.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/EditObjDlg.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/ParallelsDlg.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexViewer/Prompter.h"

#include "Common/CorvPaths.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "PlanningLib.h"
#include "Projection/Projection.h"
#include "SurveyUtils/SurveyData.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"

#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>

#include <exception>
#include <stdexcept>

namespace O = ::Tavrin::Dremm::Orlex;
using orlex_viewer_detail::viewerLogger;

namespace {

constexpr int kSaveWaitMs = 1000;
constexpr std::uint64_t kNoPoint = ~std::uint64_t(0);

// The float index of vertex marker nMarker in line nLine's (east, north) list of nFloats values;
// -1 when the marker is not one of that line's vertices.
int markerFloatIndex(std::uint64_t nMarker, int nLine, std::size_t nFloats)
{
    if (nLine < plan_ids::kFirstNumber || nFloats < 4)
        return -1;
    const std::uint64_t nNumber = static_cast<std::uint64_t>(nLine);
    if (nMarker == plan_ids::kFirstVertexBase + nNumber || nMarker == plan_ids::kAltFirstVertexBase + nNumber)
        return 0;
    if (nMarker == plan_ids::kLastVertexBase + nNumber)
        return static_cast<int>(nFloats) - 2;
    const std::uint64_t nInnerBase = plan_ids::kInnerVertexBase + 1000u * nNumber;
    if (nMarker < nInnerBase || nMarker >= nInnerBase + 1000u)
        return -1;
    const std::uint64_t nIndex = 2u * (nMarker - nInnerBase + 1u);
    return nIndex + 2u <= nFloats ? static_cast<int>(nIndex) : -1;
}

// The line drawing of the first nVertices pairs; throws when the list holds fewer.
O::UpdateLineMessage lineDrawing(std::uint64_t nId, const std::vector<float>& points, std::size_t nVertices)
{
    if (nVertices * 2 > points.size())
        throw std::out_of_range("vertex count beyond the point list");
    O::UpdateLineMessage message;
    message.Id = nId;
    for (std::size_t i = 0; i < nVertices; ++i) {
        message.LineData.Positions.push_back(points[2 * i]);
        message.LineData.Positions.push_back(points[2 * i + 1]);
        message.LineData.Positions.push_back(0.0f);
        message.LineData.Indices.push_back(static_cast<std::int32_t>(i));
    }
    message.LineData.Indices.push_back(-1);
    return message;
}

} // namespace

// The default parameter file lives in this static library's resources.
static void initPlanningResources()
{
    Q_INIT_RESOURCE(planning);
}

// ---------------------------------------------------------------------------------------------
// The planning interface

void COrlexViewer::initPlanning(bool bMode)
{
    if (m_pPlanning)
        return;
    const QString strParams = platform::toNativePath(programDataPath() + QStringLiteral("planparams.ini"));
    if (!QFileInfo::exists(strParams)) {
        initPlanningResources();
        QDir().mkpath(QFileInfo(strParams).absolutePath());
        if (QFile::copy(QStringLiteral(":/planparams.ini"), strParams))
            QFile::setPermissions(strParams, QFileDevice::WriteUser | QFileDevice::ReadUser);
    }
    m_pPlanning = new CPlanningInterf(bMode ? 1 : 0);
    connect(m_pPlanning, &CPlanningInterf::sigPlanToVessel, this, &COrlexViewer::sigPlanToVessel);
    connect(m_pPlanning, &CPlanningInterf::sigPlanToMain, this, &COrlexViewer::slotPlanToMain);
    if (const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib()) {
        pLib->m_poProjection = CProjection::instance();
        pLib->setDispatcher(getDispatcher());
    }
}

void COrlexViewer::slotPlanToMain(QString strText)
{
    emit sigPlanToMain(strText);
}

// ---------------------------------------------------------------------------------------------
// Planning menu commands

void COrlexViewer::planningMenuAction(int nAction)
{
    if (!m_pPlanning)
        initPlanning(false);
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    if (!pLib)
        return;

    // The active line is not edited.
    const int nActive = pLib->m_nActiveLine;
    const bool bGuarded = nAction == 3 || nAction == 5 || nAction == 9 || nAction == 12 || nAction == 29
                          || nAction == 30 || nAction == 31;
    if (bGuarded && nActive >= 0 && static_cast<std::uint64_t>(nActive) == m_nSelectedLineId)
        return;

    auto reset = [this, &pLib] {
        m_nSelectedLineCount = 0;
        m_nSelectedPolygonCount = 0;
        pLib->resetSelections();
        m_nSelectedObjectId = 0;
    };
    auto publish = [this] { m_pPlanning->publishPlan(false, true); };
    auto share = [this] { m_pPlanning->schedulePlanShare(); };

    switch (nAction) {
    case 3: {
        std::vector<float> points;
        QString strRuntime;
        pLib->getPoints(m_nSelectedLineId, points, strRuntime);
        CEditObjDlg dialog(static_cast<int>(points.size() / 2));
        dialog.setPoints(points, false);
        if (!strRuntime.isEmpty())
            dialog.setRuntimeParams(strRuntime);
        if (CPrompter::current().execDialog(dialog) == QDialog::Accepted) {
            const QStringList& coordinates = dialog.coordinateList();
            const int nCount = coordinates.size() / 2;
            if (nCount >= 2) {
                QString strRequest = QStringLiteral("__editpoly__,");
                for (int j = 1; j <= nCount; ++j)
                    strRequest += QStringLiteral("x_row%1=%2&y_row%1=%3&")
                                      .arg(j)
                                      .arg(coordinates[2 * j - 1], coordinates[2 * j - 2]);
                const QString strParams = dialog.getRuntimeParams();
                if (!strParams.isEmpty()) {
                    qDebug().noquote() << strParams;
                    strRequest += QStringLiteral(",RT:") + strParams;
                }
                m_pPlanning->sendPlanningCommand(strRequest, 0);
            }
        }
        publish();
        reset();
        share();
        break;
    }
    case 5: {
        const bool bReset = m_pPlanning->lineCommand(5, 0);
        publish();
        if (bReset)
            reset();
        share();
        break;
    }
    case 6:
        m_pPlanning->activateLine(static_cast<int>(m_nSelectedObjectId), true);
        break;
    case 7:
        m_pPlanning->activateLine(-1, true);
        break;
    case 9:
    case 12: {
        CParallelsDlg dialog;
        if (nAction == 12) {
            dialog.setWindowTitle(QStringLiteral("Fill polygon"));
            dialog.linesPort->setEnabled(false);
            dialog.linesStbd->setEnabled(false);
        }
        if (CPrompter::current().execDialog(dialog) != QDialog::Accepted)
            break;
        const QString strReverse = dialog.cmbReverse->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        QString strRequest;
        if (nAction == 9)
            strRequest = QStringLiteral("__makeParallels__,__parallels_meters_starboard__=%1&__parallels_meters_port__=%2&")
                             .arg(dialog.distStbd->text(), dialog.distPort->text())
                         + QStringLiteral("__no_parallels_starboard__=%1&__no_parallels_port__=%2&__reverse__=%3")
                               .arg(dialog.linesStbd->text(), dialog.linesPort->text(), strReverse);
        else
            strRequest = QStringLiteral("__createFilledPolygon__,__fill_polygon_meters_starboard__=%1&__fill_polygon_meters_port__=%2&__reverse__=%3")
                             .arg(dialog.distStbd->text(), dialog.distPort->text(), strReverse);
        m_pPlanning->sendPlanningCommand(strRequest, 0);
        publish();
        reset();
        share();
        break;
    }
    case 20:
    case 22:
    case 23:
        m_pPlanning->jobRequest(nAction, QString());
        publish();
        break;
    case 26:
        m_pPlanning->jobRequest(26, QString());
        publish();
        m_pPlanning->sendToCorv(QStringLiteral("$PQQEL,CVN_HIDE_PLAN"));
        break;
    case 27: {
        QString strPath;
        if (m_pDataManager)
            if (COrlexGrid* pGrid = m_pDataManager->getActiveSurvey())
                strPath = pGrid->getPath();
        auto finish = [this, strPath] {
            if (!m_pPlanning)
                return;
            m_pPlanning->setSharePlan(true);
            if (!strPath.isEmpty()) {
                QString strFolder = strPath;
                strFolder.replace(QLatin1Char('\\'), QLatin1Char('/'));
                while (strFolder.endsWith(QLatin1Char('/')))
                    strFolder.chop(1);
                m_pPlanning->m_strShareFolder = strFolder.left(std::max(0, strFolder.lastIndexOf(QLatin1Char('/'))));
            } else {
                m_pPlanning->m_strShareFolder = QString::fromStdString(CSurveyData().getGridDataRoot());
            }
            m_pPlanning->publishPlan(false, false);
        };
        if (strPath.isEmpty()) {
            finish();
            break;
        }
        m_pPlanning->sendToCorv(QStringLiteral("$PQQEL,CVN_OPEN_GRID,%1").arg(strPath));
        if (CUlmaRuntime* pRuntime = CUlmaRuntime::instance(0))
            pRuntime->postProjectionFiles();
        // The stations get a second to open the grid; the GUI thread is not held meanwhile.
        QTimer::singleShot(kSaveWaitMs, this, finish);
        break;
    }
    case 28:
        m_pPlanning->sendToCorv(QStringLiteral("$PQQEL,CVN_CLOSE_GRID"));
        m_pPlanning->sendToCorv(QStringLiteral("$PQQEL,CVN_HIDE_PLAN"));
        break;
    case 29:
        onMoveLine();
        break;
    case 30:
        onMovePoint();
        break;
    case 31:
        onDeletePoint();
        break;
    case 32:
        m_pPlanning->jobRequest(24, QString());
        QTimer::singleShot(kSaveWaitMs, this, [this] {
            emit sigPlanToVessel(programDataPath() + QStringLiteral("/plans/_default.asciiplan"));
        });
        break;
    case 33:
        m_pPlanning->exportPlan();
        break;
    case 1:
    case 2: {
        m_nNewObjectKind = nAction == 1 ? 0 : 1;
        O::SetInteractionModeMessage message;
        message.ViewerId = viewerId();
        message.Confirmation = 1;
        message.InteractionMode = 3;
        send(message);
        toggleCalibMode(false);
        togglePlanMode(true, m_nNewObjectKind);
        break;
    }
    default: {
        m_nNewObjectKind = -1;
        const bool bReset = m_pPlanning->lineCommand(nAction, 0);
        publish();
        toggleCalibMode(false);
        togglePlanMode(true, m_nNewObjectKind);
        if (nAction == 18)
            m_nSelectedPolygonCount = 0;
        else if (nAction == 17)
            m_nSelectedLineCount = 0;
        else if (nAction == 13 || nAction == 14) {
            m_nSelectedLineCount = 0;
            m_nSelectedPolygonCount = 0;
        }
        if (bReset)
            reset();
        share();
        break;
    }
    }
}

// ---------------------------------------------------------------------------------------------
// Line move

void COrlexViewer::moveLine(double dX, double dY)
{
    if (!m_pPlanning)
        return;
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    if (!pLib)
        return;
    LineMoveBuffer& b = m_lineMove;
    switch (m_nEditState) {
    case 0: {
        b.dLastX = dX;
        b.dLastY = dY;
        m_nEditState = 1;
        QString strRuntime;
        pLib->getPoints(m_nSelectedLineId, b.working, strRuntime);
        b.initial = b.working;
        break;
    }
    case 1:
        for (std::size_t i = 0; i + 1 < b.working.size(); i += 2) {
            b.working[i] += static_cast<float>(dX - b.dLastX);
            b.working[i + 1] += static_cast<float>(dY - b.dLastY);
        }
        b.dLastX = dX;
        b.dLastY = dY;
        try {
            send(lineDrawing(m_nSelectedObjectId, b.working, b.working.size() / 2));
        } catch (const std::exception& e) {
            LOG4CPLUS_FATAL(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::moveLine(): Exception ") << e.what());
        }
        break;
    case 2:
        m_pPlanning->lineCommand(17, 0);
        m_nSelectedLineCount = 0;
        sendEditedLine(b.working, m_nSelectedLineId);
        m_pPlanning->publishPlan(false, true);
        m_pPlanning->schedulePlanShare();
        b.working.clear();
        m_bMoveLinePending = false;
        break;
    default:
        try {
            send(lineDrawing(m_nSelectedObjectId, b.initial, b.initial.size() / 2));
        } catch (const std::exception& e) {
            LOG4CPLUS_FATAL(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::moveLine(): Exception: ") << e.what());
        }
        b.working.clear();
        b.initial.clear();
        m_bMoveLinePending = false;
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Point move

void COrlexViewer::movePoint(double dX, double dY)
{
    if (!m_pPlanning)
        return;
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    if (!pLib)
        return;
    PointMoveBuffer& b = m_pointMove;
    switch (m_nEditState) {
    case -1: {
        b.working.clear();
        b.nLine = static_cast<int>(m_nSelectedLineId);
        QString strRuntime;
        pLib->getPoints(m_nSelectedLineId, b.working, strRuntime);
        b.initial = b.working;
        m_nEditState = 0;
        m_nSelectedPointId = 0;
        break;
    }
    case 0:
        if (b.nLine == -1)
            break;
        b.dLastX = dX;
        b.dLastY = dY;
        m_nEditState = 1;
        if (m_nSelectedPointId != kNoPoint) {
            b.nIndex = markerFloatIndex(m_nSelectedPointId, b.nLine, b.working.size());
            LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Move point at index ") << b.nIndex);
        }
        break;
    case 1: {
        const int k = b.nIndex;
        if (k < 0 || static_cast<std::size_t>(k) + 2 > b.working.size()) {
            LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("Point selected outside of vector bounds"));
            b.bFirstMoveSeen = false;
            cancelMovePoint(static_cast<int>(b.initial.size() / 2), b.initial, b.working);
            break;
        }
        if (!b.bFirstMoveSeen) {
            b.bFirstMoveSeen = true;
        } else {
            b.working[static_cast<std::size_t>(k)] += static_cast<float>(dX - b.dLastX);
            b.working[static_cast<std::size_t>(k) + 1] += static_cast<float>(dY - b.dLastY);
        }
        b.dLastX = dX;
        b.dLastY = dY;
        try {
            send(lineDrawing(m_nSelectedLineId, b.working, b.working.size() / 2));
        } catch (const std::exception& e) {
            LOG4CPLUS_FATAL(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::movePoint(): Exception ") << e.what());
        }
        break;
    }
    case 2:
        b.bFirstMoveSeen = false;
        m_nSelectedPointId = 0;
        m_pPlanning->lineCommand(17, 0);
        m_nSelectedLineCount = 0;
        m_nSelectedLineId = 0;
        m_bMovePointPending = false;
        sendEditedLine(b.working, 0);
        b.working.clear();
        m_pPlanning->publishPlan(false, true);
        m_pPlanning->schedulePlanShare();
        break;
    default:
        b.bFirstMoveSeen = false;
        cancelMovePoint(static_cast<int>(b.initial.size() / 2), b.initial, b.working);
        break;
    }
}

void COrlexViewer::cancelMovePoint(int nVertexCount, std::vector<float>& initial, std::vector<float>& working)
{
    m_nSelectedPointId = 0;
    m_bMovePointPending = false;
    try {
        send(lineDrawing(m_nSelectedLineId, initial, static_cast<std::size_t>(std::max(nVertexCount, 0))));
    } catch (const std::exception& e) {
        LOG4CPLUS_FATAL(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::cancelMovePoint(): Exception: ") << e.what());
    }
    m_nSelectedLineId = 0;
    initial.clear();
    working.clear();
}

// ---------------------------------------------------------------------------------------------
// Point delete

void COrlexViewer::deletePoint(double, double)
{
    if (!m_pPlanning)
        return;
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    if (!pLib)
        return;
    PointDeleteBuffer& b = m_pointDelete;
    auto store = [this, &b] {
        m_pPlanning->lineCommand(17, 0);
        m_nSelectedLineCount = 0;
        m_nSelectedLineId = 0;
        m_bDeletePointPending = false;
        sendEditedLine(b.working, 0);
        b.working.clear();
        m_pPlanning->publishPlan(false, true);
        m_pPlanning->schedulePlanShare();
    };
    switch (m_nEditState) {
    case -1: {
        b.working.clear();
        b.nLine = static_cast<int>(m_nSelectedLineId);
        std::vector<float> points;
        QString strRuntime;
        pLib->getPoints(m_nSelectedLineId, points, strRuntime);
        if (points.size() / 2 > 2) {
            b.working = points;
            m_nEditState = 0;
            m_nSelectedPointId = 0;
        } else {
            m_bDeletePointPending = false;
            LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Cannot delete point from line with less than 3 points"));
            CPrompter::current().information(nullptr, QStringLiteral("Planning"),
                                             QStringLiteral("Cannot delete point from line with less than 3 points"));
        }
        break;
    }
    case 0: {
        if (b.nLine == -1)
            break;
        m_nEditState = 1;
        // Only a vertex of the line ends the request; a pick elsewhere leaves it pending.
        const int k = markerFloatIndex(m_nSelectedPointId, b.nLine, b.working.size());
        if (k < 0)
            break;
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Delete point at index ") << k);
        if (k <= 999 && static_cast<std::size_t>(k) + 2 <= b.working.size())
            b.working.erase(b.working.begin() + k, b.working.begin() + k + 2);
        m_nEditState = 2;
        m_nSelectedPointId = 0;
        store();
        break;
    }
    case 2:
        m_nSelectedPointId = 0;
        store();
        break;
    default:
        m_nSelectedPointId = 0;
        m_bDeletePointPending = false;
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Starting an edit

void COrlexViewer::onMoveLine()
{
    LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Move line"));
    if (!m_pPlanning || !m_pPlanning->getPlanningLib())
        return;
    if (m_pPlanning->getPlanningLib()->getNumSelected(1) == 1) {
        setNotifyMouseMove(!m_bMoveLinePending);
        m_bMoveLinePending = true;
        m_nEditState = 0;
    } else {
        LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Move line: multiplie lines selected"));
    }
}

void COrlexViewer::onMovePoint()
{
    LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Move point"));
    m_bMovePointPending = true;
    m_nEditState = -1;
    movePoint(0, 0);
}

void COrlexViewer::onDeletePoint()
{
    LOG4CPLUS_DEBUG(viewerLogger(), LOG4CPLUS_TEXT("Delete point"));
    m_bDeletePointPending = true;
    m_nEditState = -1;
    deletePoint(0, 0);
}

// ---------------------------------------------------------------------------------------------
// Storing lines and new objects

void COrlexViewer::sendEditedLine(std::vector<float>& points, std::uint64_t nId)
{
    if (!m_pPlanning || !m_pPlanning->getPlanningLib())
        return;
    std::vector<float> triples;
    triples.reserve(points.size() / 2 * 3);
    for (std::size_t i = 0; i + 1 < points.size(); i += 2) {
        triples.push_back(points[i]);
        triples.push_back(points[i + 1]);
        triples.push_back(0.0f);
    }
    m_pPlanning->getPlanningLib()->newDremmLine(triples, nId);
}

void COrlexViewer::sendNewPlanObject(bool bActivate)
{
    if (!m_pPlanning)
        initPlanning(false);
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    std::vector<float> triples;
    for (const PositionData& p : m_planPoints) {
        triples.push_back(static_cast<float>(p.X));
        triples.push_back(static_cast<float>(p.Y));
        triples.push_back(0.0f);
    }
    // The library numbers new objects itself, within the plan-number range (id 0).
    if (pLib && m_nNewObjectKind == 0) {
        pLib->newDremmLine(triples, 0);
        m_pPlanning->publishPlan(false, true);
    } else if (pLib && m_nNewObjectKind == 1) {
        pLib->newDremmPolygon(triples, 0);
        m_pPlanning->publishPlan(false, true);
    }
    if (bActivate)
        m_pPlanning->lineCommand(6, 0);
    m_pPlanning->schedulePlanShare();
    m_planPoints.clear();
}

// ---------------------------------------------------------------------------------------------
// The runtime link's plan calls

void COrlexViewer::activatePlanLine(int nLineId)
{
    if (!m_pPlanning || !m_pPlanning->getPlanningLib())
        return;
    const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib();
    pLib->resetSelections();
    if (nLineId != -1) {
        pLib->selectPlanObject(static_cast<std::uint64_t>(nLineId));
        m_pPlanning->lineCommand(6, 0);
    } else {
        m_pPlanning->lineCommand(7, 0);
    }
}

void COrlexViewer::openPlanJob(QString strJobName)
{
    if (!m_pPlanning)
        initPlanning(false);
    if (strJobName.isEmpty()) {
        m_pPlanning->jobRequest(26, strJobName);
        return;
    }
    m_pPlanning->jobRequest(26, QString());
    m_pPlanning->jobRequest(21, strJobName);
}

void COrlexViewer::setLineHighlight(std::uint64_t nId, bool bHighlight, const QColor& oColor, int nWidth)
{
    const QColor& oUsed = bHighlight ? m_highlightColor : oColor;
    O::UpdateMaterialMessage message;
    message.Id = nId;
    message.Material.Override = false;
    message.Material.OverrideColor = true;
    message.Material.OverrideAlpha = true;
    message.Material.Material.DiffuseColor.R = static_cast<float>(oUsed.redF());
    message.Material.Material.DiffuseColor.G = static_cast<float>(oUsed.greenF());
    message.Material.Material.DiffuseColor.B = static_cast<float>(oUsed.blueF());
    message.Material.Material.DiffuseColor.A = 1.0f;
    message.Material.Material.LineWidth.set(static_cast<float>(bHighlight ? nWidth + 2 : nWidth));
    send(message);
}

void COrlexViewer::selectTvgplObjects(QString)
{
}

void COrlexViewer::setSelectTvgplPolygon(bool)
{
}
