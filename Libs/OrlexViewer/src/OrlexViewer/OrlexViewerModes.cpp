// Interaction modes of the 3-D view: pointer read-out switches, measuring, planning, user
// objects, point selection and position pick, the key and mouse bindings and the mode label.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"

#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "PlanningLib.h"

#include <QDebug>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::viewerLogger;

namespace {

O::KeyboardAction keyAction(const char* pAction, int nKeyCode, int nModifiers)
{
    O::KeyboardAction action;
    action.Action = pAction;
    action.KeyCode = nKeyCode;
    action.Modifiers = nModifiers;
    return action;
}

O::MouseAction mouseAction(const char* pAction, int nButtons, int nMouseEvent, int nModifiers)
{
    O::MouseAction action;
    action.Action = pAction;
    action.Buttons = nButtons;
    action.MouseEvent = nMouseEvent;
    action.Modifiers = nModifiers;
    return action;
}

O::Color rgba(float fR, float fG, float fB, float fA)
{
    O::Color color;
    color.R = fR;
    color.G = fG;
    color.B = fB;
    color.A = fA;
    return color;
}

// The one mode label of the process.
struct ModeLabel
{
    std::uint64_t nId = 0;
    O::LabelStyle style;
    O::LabelData data;
    O::OverlayPosition position;
};

ModeLabel& modeLabel()
{
    static ModeLabel s_label;
    return s_label;
}

QString modeText(int nMode)
{
    switch (nMode) {
    case 0:
        return QStringLiteral("Planning");
    case 1:
        return QStringLiteral("Calibrate");
    case 2:
        return QStringLiteral("Measuring");
    case 3:
        return QStringLiteral("Objects");
    case 4:
        return QStringLiteral("");
    default:
        return QString();
    }
}

// The label's style as it is sent: smaller text on a black background.
O::LabelStyle sentStyle(const O::LabelStyle& style)
{
    O::LabelStyle sent = style;
    sent.TextSize = 15.0;
    sent.BackgroundColor = rgba(0, 0, 0, 1);
    sent.EnableBackground = true;
    return sent;
}

} // namespace

void COrlexViewer::sendInteractionMode(int nMode)
{
    O::SetInteractionModeMessage message;
    message.ViewerId = viewerId();
    message.Confirmation = 1;
    message.InteractionMode = nMode;
    send(message);
}

void COrlexViewer::setNotifyMouseMove(bool bOn)
{
    m_viewerSettings["NotifyMouseMove"] = bOn ? "true" : "false";
    sendViewerSettings();
}

void COrlexViewer::destroyOwnObject(std::uint64_t& nId)
{
    if (nId == 0)
        return;
    O::DestroyObjectMessage message;
    message.Id = nId;
    send(message);
    try {
        objectIdAllocator()->release(nId);
    } catch (const std::exception& e) {
        LOG4CPLUS_WARN(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer - WARNING id ")
                                           << nId << LOG4CPLUS_TEXT(" not released: ") << e.what());
    }
    nId = 0;
}

// ---------------------------------------------------------------------------------------------
// Read-out switches and modes

void COrlexViewer::enablePositionUnderCursor(bool bOn)
{
    m_bPositionUnderCursor = bOn;
    setNotifyMouseMove(m_bPositionUnderCursor || m_bDepthUnderCursor);
}

void COrlexViewer::enableDepthUnderCursor(bool bOn)
{
    m_bDepthUnderCursor = bOn;
    setNotifyMouseMove(m_bPositionUnderCursor || m_bDepthUnderCursor);
}

void COrlexViewer::toggleMeasDist(bool bOn)
{
    m_bMeasActive = bOn;
    qDebug() << "COrlexViewer::toggleMeasDist state is " << m_bMeasActive;
    if (!bOn) {
        // The measured line is the server's own object; the labels are ours.
        if (m_nMeasureObjectId != 0) {
            O::DestroyObjectMessage message;
            message.Id = m_nMeasureObjectId;
            send(message);
            m_nMeasureObjectId = 0;
        }
        destroyOwnObject(m_nMeasureResultLabelId);
        destroyOwnObject(m_nMeasureLabelId);
        m_bMeasuring = false;
    }
    sendInteractionMode(bOn ? 2 : 1);
    updateModeLabel(bOn, 2);
}

void COrlexViewer::togglePlanMode(bool bOn, int nKind)
{
    m_nNewObjectKind = nKind;
    m_bPlanMode = bOn;
    if (bOn && !m_pPlanning)
        initPlanning(false);
    if (!bOn) {
        m_bMoveLinePending = false;
        m_bMovePointPending = false;
        m_bDeletePointPending = false;
        m_nSelectedLineCount = 0;
        m_nSelectedPolygonCount = 0;
        // The library's selection goes with the counts, or the next menu offers line entries.
        if (const std::shared_ptr<CPlanningLib> pLib = m_pPlanning ? m_pPlanning->getPlanningLib() : nullptr)
            pLib->resetSelections();
    }
    sendInteractionMode(bOn && nKind != -1 ? 3 : 1);
    updateModeLabel(bOn, 0);
}

void COrlexViewer::toggleUserMode(bool bOn, int nKind)
{
    initObjects();
    m_bUserMode = bOn;
    sendInteractionMode(bOn && nKind != -1 ? 3 : 1);
    updateModeLabel(bOn, 3);
}

void COrlexViewer::togglePositionSelect(bool bOn)
{
    sendInteractionMode(bOn ? 1 : 0);
    m_bPositionSelect = bOn;
}

void COrlexViewer::togglePointSelection(bool bOn)
{
    m_bPointSelection = bOn;
    if (!m_b3D)
        toggleZoomToRegion(bOn);
    if (bOn) {
        showLayer(QStringLiteral("SelectedPoints"));
    } else {
        hideLayer(QStringLiteral("SelectedPoints"));
        showLayer(QStringLiteral("Grids"));
        // The buffer is gone for good: the server lets go of it too.
        destroyOwnObject(m_nPointBufferId);
    }
}

// ---------------------------------------------------------------------------------------------
// Drawing of new objects

void COrlexViewer::newTVGPLLine(bool)
{
    m_nNewObjectKind = 0;
    sendInteractionMode(2);
    if (m_nDrawLineId != 0 && !m_bCalibMode) {
        O::DestroyObjectMessage message;
        message.Id = m_nDrawLineId;
        send(message);
        m_nDrawLineId = 0;
    }
}

void COrlexViewer::newUserLine(bool)
{
    m_nNewObjectKind = 0;
    sendInteractionMode(3);
    if (m_nDrawLineId != 0) {
        O::DestroyObjectMessage message;
        message.Id = m_nDrawLineId;
        send(message);
        m_nDrawLineId = 0;
    }
}

void COrlexViewer::newUserPolygon(bool)
{
    m_nNewObjectKind = 1;
    sendInteractionMode(3);
    if (m_nDrawLineId != 0) {
        O::DestroyObjectMessage message;
        message.Id = m_nDrawLineId;
        send(message);
        m_nDrawLineId = 0;
    }
}

void COrlexViewer::newUserPoint(bool)
{
    m_nNewObjectKind = 2;
}

void COrlexViewer::newMarker(bool)
{
    m_nNewObjectKind = 20;
}

// ---------------------------------------------------------------------------------------------
// Bindings and the mode label

void COrlexViewer::setInteractionActions(bool b3D)
{
    O::SetInteractionActionsMessage message;
    message.ViewerId = viewerId();
    message.Confirmation = 1;
    message.InteractionMode = 1;

    std::vector<O::KeyboardAction> keys{keyAction("ZoomIn", 24, 2),     keyAction("ZoomOut", 26, 2),
                                        keyAction("PanLeft", 23, 1),    keyAction("PanRight", 25, 1),
                                        keyAction("PanUp", 24, 1),      keyAction("PanDown", 26, 1),
                                        keyAction("RotateLeft", 23, 2), keyAction("RotateRight", 25, 2)};
    if (b3D) {
        keys.push_back(keyAction("RotateLeft", 23, 0));
        keys.push_back(keyAction("RotateRight", 25, 0));
        keys.push_back(keyAction("RotateUp", 24, 0));
        keys.push_back(keyAction("RotateDown", 26, 0));
    }
    std::vector<O::MouseAction> mouse{mouseAction("Pan", 1, 2, 0)};
    if (b3D) {
        mouse.push_back(mouseAction("Zoom", 1, 2, 2));
        mouse.push_back(mouseAction("Zoom", 4, 2, 0));
    }
    mouse.push_back(mouseAction("WheelZoom", 0, 4, 0));
    if (b3D) {
        mouse.push_back(mouseAction("Rotate", 1, 2, 1));
        mouse.push_back(mouseAction("Rotate", 2, 2, 0));
    }
    message.MouseActions.set(std::move(mouse));
    message.KeyboardActions.set(std::move(keys));
    send(message);
}

void COrlexViewer::updateModeLabel(bool bOn, int nMode)
{
    const QString strText = modeText(nMode);
    ModeLabel& label = modeLabel();
    const double dY = m_pHostWindow ? m_pHostWindow->height() - 80 : -80;
    if (label.nId == 0) {
        label.nId = objectIdAllocator()->allocate();
        label.data.Text = strText.toStdString();
        label.style.TextColor = rgba(190.0f / 255.0f, 190.0f / 255.0f, 190.0f / 255.0f, 1.0f);
        label.style.OutlineColor = rgba(0, 0, 0, 1);
        label.style.AnchorPosition = 8;
        label.position.X = 0;
        label.position.Y = dY;

        O::CreateOverlayLabelMessage message;
        message.Id = label.nId;
        // A mode switched off is not announced.
        message.Visible = bOn;
        message.OverlayData = label.position;
        message.LabelStyle = sentStyle(label.style);
        message.LabelData = label.data;
        send(message);
        return;
    }
    setObjectVisibility(label.nId, bOn);
    if (!bOn)
        return;
    label.data.Text = strText.toStdString();
    placeModeLabel();
}

void COrlexViewer::placeModeLabel()
{
    ModeLabel& label = modeLabel();
    if (label.nId == 0)
        return;
    label.data.ShowAnchor = false;
    label.position.X = 0;
    label.position.Y = m_pHostWindow ? m_pHostWindow->height() - 80 : -80;
    O::UpdateOverlayLabelMessage message;
    message.Id = label.nId;
    message.OverlayData = label.position;
    message.LabelStyle = sentStyle(label.style);
    message.LabelData = label.data;
    send(message);
}

void COrlexViewer::sizeChanged(const QSize&)
{
    if (m_nLoggingLabelId != 0)
        setLoggingState(m_bLoggingOn);
}
