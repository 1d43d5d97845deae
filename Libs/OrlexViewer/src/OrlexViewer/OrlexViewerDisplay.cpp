// Display settings of the 3-D view: background, graticule, light, vessel, course vector, track,
// depth tail, logging label, the selected-points buffer, a grid of lines and the label style.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexViewer/ShipModel.h"

#include "OrlexProtocol/codec/Color.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "OrlexObjs.h"
#include "PlanningLib.h"

#include <QDebug>

#include <algorithm>

namespace O = ::Tavrin::Dremm::Orlex;
namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::viewerLogger;

namespace {

constexpr std::int64_t kDefaultMaxPoints = 10000000;
// Points per AddToPointBufferMessage: a large point set goes out in messages of a few megabytes.
constexpr std::size_t kPointsPerMessage = 100000;
// The first vessel's ship mesh, which carries its position history.
constexpr std::uint64_t kFirstVesselMeshId = 40001;

bool s_bCogVectorCreated = false;
std::uint64_t s_nTailLegendId = 0;

O::Color bytesColor(const QColor& oColor)
{
    return O::makeColorFromBytes(oColor.red(), oColor.green(), oColor.blue(), 255);
}

// The capacity of the selected-points buffer: MAXPOINTS when it lies in 1,000,000 to 20,000,000.
std::int64_t maxPoints()
{
    if (!qEnvironmentVariableIsSet("MAXPOINTS"))
        return kDefaultMaxPoints;
    bool bOk = false;
    const qlonglong nValue = qgetenv("MAXPOINTS").trimmed().toLongLong(&bOk);
    if (bOk && nValue >= 1000000 && nValue <= 20000000)
        return nValue;
    qWarning().noquote() << "Illegal maxpoint value set. Default value set: " << kDefaultMaxPoints;
    return kDefaultMaxPoints;
}

const char* lightDirection(int nPreset)
{
    switch (nPreset) {
    case 0:
        return "1, -1, -0.5";
    case 1:
        return "-1, -1, -0.5";
    case 2:
        return "-1, 1, -0.5";
    case 3:
        return "1, 1, -0.5";
    default:
        return "0,0,-1";
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Background, graticule and light

void COrlexViewer::set2DBackgroundColor(const QColor& oColor)
{
    const QString strColor = QStringLiteral("%1 %2 %3")
                                 .arg(static_cast<double>(oColor.redF()), 0, 'g', 6)
                                 .arg(static_cast<double>(oColor.greenF()), 0, 'g', 6)
                                 .arg(static_cast<double>(oColor.blueF()), 0, 'g', 6);
    m_viewerSettings["graphics.backgroundColor"] = strColor.toStdString();
    sendViewerSettings();
    m_backgroundColor = oColor;
    setGraticuleColor(m_labelColor);
}

void COrlexViewer::setGraticuleColor(const QColor& oColor)
{
    m_labelColor = oColor;
    m_graticuleColor1 = bytesColor(oColor);
    m_graticuleColor2 = bytesColor(oColor);
    m_graticuleColor3 = bytesColor(m_backgroundColor);
    sendGraticuleSettings();
    // The grids' legend takes the new label colours (nothing while there is none).
    COrlexGrid::updateLegendColors();
}

void COrlexViewer::setGraticuleFormat(int nFormat)
{
    if (nFormat == 3) {
        m_nGraticuleFormat = 1;
    } else {
        m_nGraticuleFormat = 0;
        m_nGraticuleUnit = nFormat;
    }
    sendGraticuleSettings();
}

void COrlexViewer::sendGraticuleSettings()
{
    if (m_nGraticuleId == 0)
        return;
    Q::UpdateGraticuleMessage message;
    message.Id = m_nGraticuleId;
    message.Settings.GraticuleType = m_nGraticuleFormat;
    message.Settings.LabelFormat = m_nGraticuleUnit;
    if (m_graticuleProj && !m_graticuleProj->empty())
        message.Settings.ProjectionPath.set(*m_graticuleProj);
    message.Settings.LineColor = m_graticuleColor1;
    message.Settings.LabelColor = m_graticuleColor2;
    message.Settings.LabelBackgroundColor = m_graticuleColor3;
    send(message);
}

void COrlexViewer::setGraticuleVisibility(bool bVisible)
{
    if (m_nGraticuleId != 0)
        setObjectVisibility(m_nGraticuleId, bVisible);
}

void COrlexViewer::setLightDirection(int nPreset)
{
    m_viewerSettings["environment.directionalLightDirection"] = lightDirection(nPreset);
    sendViewerSettings();
}

void COrlexViewer::setHighlightColor(const QColor& oColor)
{
    m_highlightColor = oColor;
}

void COrlexViewer::setPlanColor(int nIndex, const QColor& oColor)
{
    qDebug("Set plan color");
    if (!m_pPlanning)
        return;
    // Colours below 8 are the planning library's; the user-object library takes the others.
    if (nIndex < 8) {
        if (const std::shared_ptr<CPlanningLib> pLib = m_pPlanning->getPlanningLib())
            pLib->setColor(nIndex, oColor);
    } else if (m_pObjects) {
        m_pObjects->setColor(nIndex, oColor);
    }
}

// ---------------------------------------------------------------------------------------------
// Vessel, course vector, track and depth tail

void COrlexViewer::setShipColor(const QColor& oColor)
{
    if (m_pShipModel && m_pShipModel->hasVesselModel())
        m_pShipModel->setShipColor(0, oColor);
}

void COrlexViewer::setCogVectorColor(const QColor& oColor)
{
    if (m_pShipModel && m_pShipModel->hasVesselModel())
        m_pShipModel->setCogVectorColor(oColor);
}

void COrlexViewer::setRealtimeTrackColor(const QColor& oColor)
{
    if (m_pShipModel && m_pShipModel->hasVesselModel())
        m_pShipModel->setTrackColor(oColor);
}

void COrlexViewer::setCogVectorVisLen(bool bVisible, int nMinutes, bool bLengthOnly)
{
    if (!m_pShipModel || !m_pShipModel->hasVesselModel())
        return;
    if (bLengthOnly) {
        m_pShipModel->setVectorLength(std::max(nMinutes, 1) * 60);
    } else if (s_bCogVectorCreated) {
        if (m_pShipModel->getCogVectorId() != 0)
            setObjectVisibility(m_pShipModel->getCogVectorId(), bVisible);
    } else if (bVisible) {
        s_bCogVectorCreated = true;
        m_pShipModel->createCogVector(0);
    }
}

void COrlexViewer::setShowTrack(bool bOn)
{
    if (!m_pShipModel)
        return;
    m_pShipModel->setShowTrack(bOn);
    if (m_pShipModel->vesselCount() > 0)
        setObjectVisibility(kFirstVesselMeshId, bOn);
}

void COrlexViewer::setDepthTailCount(int nCount)
{
    if (m_pShipModel)
        m_pShipModel->setDepthTailCount(nCount);
}

void COrlexViewer::setDepthTailPntSize(int nSize)
{
    m_nPointSize = nSize;
    if (m_pShipModel)
        m_pShipModel->setTailPointSize(nSize);
    if (m_nPointBufferId != 0) {
        m_pointBufferSettings.PointSize = static_cast<float>(nSize);
        Q::UpdatePointBufferMessage message;
        message.Id = m_nPointBufferId;
        message.Settings = m_pointBufferSettings;
        send(message);
    }
}

void COrlexViewer::setDepthTailVisibility(int nMode, bool bApply)
{
    if (!m_pShipModel)
        return;
    m_pShipModel->setTailColorMode(nMode, bApply);
    const std::uint64_t nId = m_pShipModel->getTailBufferId(QString());
    if (nId == 0)
        return;
    if (nMode == 2) {
        setObjectVisibility(nId, true);
    } else {
        setObjectVisibility(nId, false);
        m_pShipModel->setTailColorMode(nMode, bApply);
    }
}

void COrlexViewer::toggleTailColor(bool bOn)
{
    if (!m_pShipModel)
        return;
    m_pShipModel->linkTailToActiveGrid(!bOn);
    // The tail's legend and the grids' legend take turns.
    const std::uint64_t nGridLegendId = COrlexGrid::legendId();
    if (!bOn) {
        if (nGridLegendId != 0)
            setObjectVisibility(nGridLegendId, true);
        if (s_nTailLegendId != 0)
            setObjectVisibility(s_nTailLegendId, false);
        return;
    }
    if (nGridLegendId != 0)
        setObjectVisibility(nGridLegendId, false);
    if (s_nTailLegendId != 0) {
        setObjectVisibility(s_nTailLegendId, true);
        return;
    }
    Q::CreateLegendMessage legend;
    legend.Id = objectIdAllocator()->allocate();
    legend.SourceId = m_pShipModel->getTailBufferId(QString());
    legend.Settings.Title.set(std::string("Tail"));
    legend.Settings.UnitName.set(std::string("meters"));
    legend.Settings.DisplayValueScale = 1.0f;
    legend.Settings.NegateValues = true;
    legend.Settings.LabelColor = bytesColor(m_labelColor);
    legend.Settings.LabelBackgroundColor = bytesColor(m_backgroundColor);
    send(legend);
    s_nTailLegendId = legend.Id;
    m_nTailLegendId = legend.Id;
}

// ---------------------------------------------------------------------------------------------
// Logging label and display stations

void COrlexViewer::sendLoggingLabel(bool bCreate)
{
    O::LabelStyle style;
    style.TextColor = m_bLoggingOn ? O::makeColorFromBytes(99, 176, 15, 255) : O::makeColorFromBytes(255, 215, 0, 255);
    style.OutlineColor = O::makeColor(0, 0, 0, 1);
    style.AnchorPosition = 8;
    O::LabelData data;
    data.Text = m_bLoggingOn ? "Logging On" : "Logging Off";
    data.ShowAnchor = false;
    O::OverlayPosition position;
    position.X = 0;
    position.Y = m_pHostWindow ? m_pHostWindow->height() - 80 : -80;
    if (bCreate) {
        O::CreateOverlayLabelMessage message;
        message.Id = m_nLoggingLabelId;
        message.OverlayData = position;
        message.LabelStyle = style;
        message.LabelData = data;
        send(message);
    } else {
        O::UpdateOverlayLabelMessage message;
        message.Id = m_nLoggingLabelId;
        message.OverlayData = position;
        message.LabelStyle = style;
        message.LabelData = data;
        send(message);
    }
}

void COrlexViewer::setLoggingLabelVisibility(bool bVisible)
{
    if (m_nLoggingLabelId != 0) {
        setObjectVisibility(m_nLoggingLabelId, bVisible);
    } else if (bVisible) {
        m_nLoggingLabelId = objectIdAllocator()->allocate();
        sendLoggingLabel(true);
    }
    m_bLoggingLabelVisible = bVisible;
}

void COrlexViewer::setLoggingState(bool bOn)
{
    m_bLoggingOn = bOn;
    if (m_nLoggingLabelId != 0 && m_bLoggingLabelVisible)
        sendLoggingLabel(false);
    if (m_nMode == 0 && m_pPlanning)
        m_pPlanning->sendToCorv(QStringLiteral("$PQQEL,CVN_LOGSTATE,%1").arg(bOn ? 1 : 0));
}

void COrlexViewer::updateCorvAddr(const QString& strAddress)
{
    if (m_pPlanning)
        m_pPlanning->updateCorvAddr(strAddress);
}

// ---------------------------------------------------------------------------------------------
// Selected points, grid lines, label colours

void COrlexViewer::showPointData(const std::vector<double>& points, bool bNewBuffer)
{
    if (bNewBuffer) {
        destroyOwnObject(m_nPointBufferId);
        const COrlexGrid* pActive = m_pDataManager ? m_pDataManager->getActiveSurvey() : nullptr;
        if (!pActive)
            return;
        const std::int64_t nCapacity = maxPoints();
        Q::CreatePointBufferMessage create;
        create.Id = objectIdAllocator()->allocate();
        create.Layer.set(std::string("SelectedPoints"));
        create.Settings.Capacity = nCapacity;
        create.Settings.PointsPerSubBuffer = static_cast<std::int32_t>(nCapacity / 10);
        create.Settings.PointSize = static_cast<float>(m_nPointSize);
        create.Settings.ColorMap = pActive->colorMapData();
        create.Settings.IncludeInRangeCalculation = false;
        send(create);
        m_pointBufferSettings = create.Settings;
        m_nPointBufferId = create.Id;
    }
    if (m_nPointBufferId == 0)
        return;
    // Whole points only; a trailing partial point is dropped.
    const std::size_t nValues = points.size() - points.size() % 3;
    const std::size_t nChunk = kPointsPerMessage * 3;
    for (std::size_t nStart = 0; nStart < nValues; nStart += nChunk) {
        Q::AddToPointBufferMessage add;
        add.Id = m_nPointBufferId;
        const std::size_t nEnd = std::min(nValues, nStart + nChunk);
        add.Positions.assign(points.begin() + static_cast<std::ptrdiff_t>(nStart),
                             points.begin() + static_cast<std::ptrdiff_t>(nEnd));
        send(add);
    }
}

void COrlexViewer::showGridLines(std::vector<float> northPoints, std::vector<float> eastPoints)
{
    O::CreateLineMessage line;
    line.Id = objectIdAllocator()->allocate();
    std::vector<float>& positions = line.LineData.Positions;
    std::vector<std::int32_t>& indices = line.LineData.Indices;
    std::int32_t nVertex = 0;
    auto addVertex = [&](float fNorth, float fEast) {
        positions.push_back(fNorth);
        positions.push_back(fEast);
        positions.push_back(0.0f);
        indices.push_back(nVertex++);
    };
    for (float fNorth : northPoints) {
        for (float fEast : eastPoints)
            addVertex(fNorth, fEast);
        indices.push_back(-1);
    }
    for (float fEast : eastPoints) {
        for (float fNorth : northPoints)
            addVertex(fNorth, fEast);
        indices.push_back(-1);
    }
    line.MaterialData.OverrideColor = true;
    line.MaterialData.OverrideAlpha = true;
    line.MaterialData.Material.EmissiveColor.set(O::makeColor(0.9f, 0.1f, 0.1f, 1.0f));
    line.MaterialData.Material.LineWidth.set(1.0f);
    send(line);
}

void COrlexViewer::getLabelColors(QColor& oText, QColor& oBackground) const
{
    oText = m_labelColor;
    oBackground = m_backgroundColor;
}

void COrlexViewer::getLabelStyle(O::LabelStyle& oStyle) const
{
    oStyle = O::LabelStyle();
    oStyle.TextSize = 24.0;
    oStyle.Font = "Lato";
    oStyle.TextColor = O::makeColor(0.8f, 0.8f, 0.8f, 1.0f);
    oStyle.BackgroundColor = O::makeColor(0.2f, 0.2f, 0.2f, 0.5f);
    oStyle.OutlineColor = O::makeColor(0, 0, 0, 1);
    oStyle.EnableBackground = true;
}
