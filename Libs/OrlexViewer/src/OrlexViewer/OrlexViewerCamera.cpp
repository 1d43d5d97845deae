// The camera of the 3-D view: the poll of the server's camera, the map scale, vessel moves and
// following, rotations, 2-D and 3-D presentation, zoom to region and layer visibility.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/CameraMath.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexViewer/PlanningInterf.h"
#include "OrlexViewer/ShipModel.h"

#include "OrlexQtClient/ObjectIdAllocator.h"
#include "TqelRuntime/UlmaRuntime.h"

#include <QDebug>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <climits>
#include <cmath>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::objectIdAllocator;
using orlex_viewer_detail::position;
using orlex_viewer_detail::viewerLogger;

namespace {

constexpr double kPi = 3.14159265358979323846;

bool s_bFirstCameraTick = true;

// The camera position of the navigation answer that switched following on, and the vessel's
// offset from it, metres.
struct FollowOffset
{
    double dCameraX = 0;
    double dCameraY = 0;
    double dOffsetX = 0;
    double dOffsetY = 0;
};
FollowOffset s_followOffset;

std::uint64_t s_nOceanId = 0;

// The view turned clockwise by a heading in degrees: a rotation about the vertical axis.
O::RotationData headingRotation(double dDegrees)
{
    return quaternionFromAxisAngle(0.0f, 0.0f, 1.0f, static_cast<float>(dDegrees * 2.0 * kPi / 360.0));
}

bool isPositive(double d)
{
    return std::isfinite(d) && d > 0.0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Camera poll and map scale

void COrlexViewer::onCameraTimer()
{
    if (s_bFirstCameraTick) {
        s_bFirstCameraTick = false;
        sendProjectionMode(1);
    }
    O::QueryNavigationStateMessage query;
    query.ViewerId = viewerId();
    query.Confirmation = 1;
    send(query);
}

void COrlexViewer::onQueryNavigationRespMsgRcvd(const O::QueryNavigationStateResponseMessage* pMessage)
{
    if (m_nFollowMode == 1)
        moveToVesselPosition(true, pMessage);
    m_cameraState = pMessage->CameraState;
    if (m_bScaleFromToolbar) {
        m_bScaleFromToolbar = false;
        return;
    }
    // The height comes from the server; without a usable one there is no scale to report.
    const double dViewportHeight = pMessage->CameraState.ViewportHeight;
    if (!isPositive(dViewportHeight))
        return;
    m_dCameraDistance = dViewportHeight;

    const int nWidgetHeight = m_pParentWidget ? m_pParentWidget->height() : 0;
    m_dViewHeight = m_nScreenHeightPx > 0
                        ? static_cast<double>(m_fScreenHeightCm) / m_nScreenHeightPx * nWidgetHeight / 100.0
                        : 0.0;
    if (!isPositive(m_dViewHeight))
        return;
    const double dScale = dViewportHeight / m_dViewHeight;
    if (!(dScale < static_cast<double>(INT_MAX)))
        return;
    const int nScale = static_cast<int>(dScale);
    if (nScale == m_nScale)
        return;
    emit scaleUpdated(nScale);
    m_nScale = nScale;

    if (m_pShipModel) {
        // 8.5 m of the world cover less than 5 mm of the screen.
        const bool bAsMarkers = static_cast<float>(m_nScreenHeightPx) / m_fScreenHeightCm * 0.5f
                                > static_cast<float>(nWidgetHeight) / static_cast<float>(dViewportHeight) * 8.5f;
        m_pShipModel->switchVesselSymbol(0, bAsMarkers, 0, 0);
        m_pShipModel->onNavigationState(0, nScale, bAsMarkers);
    }
}

void COrlexViewer::setScale(int nScale)
{
    if (m_b3D || nScale == m_nScale)
        return;
    double dViewportHeight = 0;
    if (nScale == -1)
        dViewportHeight = m_cameraState.ViewportHeight / 1.25;
    else if (nScale == 1)
        dViewportHeight = m_cameraState.ViewportHeight * 1.25;
    else
        dViewportHeight = m_dViewHeight * nScale;
    // Before the first navigation answer, or for a scale of 0 or below, there is no height to
    // go to; moveToArea would take a negative one for a scale.
    if (!isPositive(dViewportHeight)) {
        qDebug() << "COrlexViewer::setScale - WARNING no camera height for scale" << nScale;
        return;
    }
    m_bScaleFromToolbar = true;
    moveToArea(m_cameraState.Position.X, m_cameraState.Position.Y, dViewportHeight);
    if (nScale != -1 && nScale != 1)
        emit scaleUpdated(nScale);
    m_nScale = nScale;
}

void COrlexViewer::moveToArea(double dX, double dY, double dHeight)
{
    if (dHeight < 0)
        dHeight = m_dViewHeight * -dHeight;
    O::SetCameraDataMessage camera;
    camera.ViewerId = viewerId();
    camera.Confirmation = 1;
    camera.TransitionTime.set(1.0);
    camera.CameraData.TargetPosition.set(position(dX, dY, 0));
    camera.CameraData.ViewportHeight.set(dHeight);
    send(camera);
}

void COrlexViewer::resetView()
{
    sendProjectionMode(1);
    double dCenterX = m_dExtentCenterX;
    double dCenterY = m_dExtentCenterY;
    double dHeight = m_dExtentHeight;
    const bool bFramed = openSurveysFrame(dCenterX, dCenterY, dHeight);
    sendCameraOver(dCenterX, dCenterY, dHeight, viewerId(), bFramed ? dHeight : 0.0);

    // Following goes on from this view: the vessel keeps its place in it. An answer already on
    // its way still has the old height, so the next one is not taken for the scale.
    int nEast = 0;
    int nNorth = 0;
    if (bFramed && m_bFollowVessel && vesselPositionForCamera(nEast, nNorth)) {
        s_followOffset.dCameraX = dCenterX;
        s_followOffset.dCameraY = dCenterY;
        s_followOffset.dOffsetX = nEast / 100.0 - dCenterX;
        s_followOffset.dOffsetY = nNorth / 100.0 - dCenterY;
        m_nFollowMode = 0;
        m_dCameraDistance = dHeight;
        m_bScaleFromToolbar = true;
    }
}

bool COrlexViewer::openSurveysFrame(double& dCenterX, double& dCenterY, double& dHeight) const
{
    bool bAny = false;
    std::array<double, 4> box{};
    for (const auto& [nTerrainId, extent] : m_surveyExtents) {
        if (!m_pDataManager || nTerrainId > static_cast<std::uint64_t>(INT_MAX)
            || !m_pDataManager->getSurvey(static_cast<int>(nTerrainId)))
            continue; // closed since
        if (!bAny) {
            box = extent;
            bAny = true;
            continue;
        }
        box[0] = std::min(box[0], extent[0]);
        box[1] = std::min(box[1], extent[1]);
        box[2] = std::max(box[2], extent[2]);
        box[3] = std::max(box[3], extent[3]);
    }
    if (!bAny)
        return false;
    dCenterX = (box[0] + box[2]) * 0.5;
    dCenterY = (box[1] + box[3]) * 0.5;
    // A tenth more than the larger side; a survey of one point still gets a view around it.
    constexpr double kSmallestHeight = 100.0;
    dHeight = std::max(1.1 * std::max(box[2] - box[0], box[3] - box[1]), kSmallestHeight);
    return true;
}

void COrlexViewer::sendProjectionMode(int nProjectionMode)
{
    O::SetProjectionModeMessage projection;
    projection.ViewerId = viewerId();
    projection.Confirmation = 1;
    projection.ProjectionMode = nProjectionMode;
    send(projection);
    O::EnableDollyMessage dolly;
    dolly.ViewerId = viewerId();
    dolly.Confirmation = 1;
    dolly.Enabled = nProjectionMode == 0;
    send(dolly);
}

void COrlexViewer::sendCameraOver(double dX, double dY, double dHeight, std::int32_t nViewerId, double dViewportHeight)
{
    O::SetCameraDataMessage camera;
    camera.ViewerId = nViewerId;
    camera.Confirmation = 1;
    camera.CameraData.CameraPosition.set(position(dX, dY, dHeight));
    camera.CameraData.TargetPosition.set(position(dX, dY, 0));
    if (dViewportHeight > 0)
        camera.CameraData.ViewportHeight.set(dViewportHeight);
    send(camera);
}

void COrlexViewer::getCenter(double& dX, double& dY) const
{
    dX = m_cameraState.Position.X;
    dY = m_cameraState.Position.Y;
}

// ---------------------------------------------------------------------------------------------
// Vessel moves and following

void COrlexViewer::moveToVessel(bool bFollow, int nMode)
{
    try {
        m_bFollowVessel = bFollow;
        if (!m_pShipModel)
            return;
        if (nMode == 1 && bFollow)
            m_nFollowMode = 1;
        else if (nMode == 2 && !bFollow)
            return;
        if (m_nFollowMode == 1)
            return; // the next navigation answer moves the camera
        moveToVesselPosition(bFollow, nullptr);
    } catch (...) {
        LOG4CPLUS_FATAL(viewerLogger(), LOG4CPLUS_TEXT("COrlexViewer::moveToVessel - Unknown execption"));
    }
}

void COrlexViewer::setVesselPositionArrived()
{
    m_bVesselPositionArrived = true;
    // The first position places the camera over the vessel: a follow offset still pending is
    // that one, not the camera of an answer that may predate it.
    if (m_nFollowMode == 1) {
        s_followOffset = FollowOffset();
        m_nFollowMode = 0;
    }
}

void COrlexViewer::zoomToVessel()
{
    int nEast = 0;
    int nNorth = 0;
    if (!vesselPositionForCamera(nEast, nNorth))
        return;
    // A centred vessel is the offset that following keeps from now on.
    s_followOffset = FollowOffset();
    m_nFollowMode = 0;
    moveToVesselPosition(false, nullptr);
}

bool COrlexViewer::vesselPositionForCamera(int& nEast, int& nNorth) const
{
    nEast = 0;
    nNorth = 0;
    // The start-up placeholder at latitude 0, longitude 0 is no place to show.
    if (!m_pShipModel || !m_bVesselPositionArrived)
        return false;
    if (m_nMode == 3) {
        m_pShipModel->getVesselPosition(nEast, nNorth);
    } else {
        CUlmaRuntime* pRuntime = CUlmaRuntime::instance(0);
        const QString strVessel = pRuntime ? pRuntime->getVesselId() : QStringLiteral("default");
        m_pShipModel->getVesselPositionByName(strVessel, nEast, nNorth);
    }
    return nEast != 0 || nNorth != 0;
}

void COrlexViewer::moveToVesselPosition(bool bTakeOffset, const O::QueryNavigationStateResponseMessage* pAnswer)
{
    int nEast = 0;
    int nNorth = 0;
    // Without a vessel position the camera stays, and a pending offset waits for one.
    if (!vesselPositionForCamera(nEast, nNorth))
        return;
    const double dEast = nEast / 100.0;
    const double dNorth = nNorth / 100.0;

    if (pAnswer) {
        s_followOffset.dCameraX = pAnswer->CameraState.Position.X;
        s_followOffset.dCameraY = pAnswer->CameraState.Position.Y;
        s_followOffset.dOffsetX = dEast - s_followOffset.dCameraX;
        s_followOffset.dOffsetY = dNorth - s_followOffset.dCameraY;
        qDebug() << "Offset is " << s_followOffset.dOffsetX << "/" << s_followOffset.dOffsetY;
        m_nFollowMode = 0;
        // Only an offset that keeps the vessel in view is the operator's: one taken from a
        // camera elsewhere would keep the vessel out of sight for good.
        const double dHalfHeight = pAnswer->CameraState.ViewportHeight / 2.0;
        const int nPaneHeight = m_pParentWidget ? m_pParentWidget->height() : 0;
        const double dAspect = nPaneHeight > 0 ? static_cast<double>(m_pParentWidget->width()) / nPaneHeight : 1.0;
        if (!(std::fabs(s_followOffset.dOffsetY) <= dHalfHeight && std::fabs(s_followOffset.dOffsetX) <= dHalfHeight * dAspect)) {
            qDebug() << "COrlexViewer::moveToVesselPosition - vessel outside the view: centred";
            s_followOffset.dOffsetX = 0;
            s_followOffset.dOffsetY = 0;
        }
    }
    if (s_followOffset.dCameraX == 0.0 || !bTakeOffset) {
        s_followOffset.dOffsetX = 0;
        s_followOffset.dOffsetY = 0;
    }
    qDebug() << "Set delta pos to X/Y " << s_followOffset.dOffsetX << "/" << s_followOffset.dOffsetY;

    const double dX = dEast - s_followOffset.dOffsetX;
    const double dY = dNorth - s_followOffset.dOffsetY;
    O::SetNavigationPresetMessage preset;
    preset.ViewerId = viewerId();
    preset.Confirmation = 1;
    if (qEnvironmentVariableIsSet("NOSMOOTHCAM"))
        preset.TransitionTime.set(0.0);
    O::CameraData& data = preset.CameraData.set();
    data.CameraPosition.set(position(dX, dY, 1000));
    data.ViewportHeight.set(m_dCameraDistance);
    data.TargetPosition.set(position(dX, dY, 0));

    double dHeading = 0;
    bool bRotate = false;
    switch (m_nRotateMode) {
    case 1:
        dHeading = m_pShipModel->getVesselHeading() / 100.0;
        bRotate = true;
        break;
    case 2: {
        const int nHeading = m_pPlanning ? m_pPlanning->getActiveLineHeading() : -1;
        if (nHeading != -1) {
            dHeading = nHeading / 100.0;
            bRotate = true;
        }
        break;
    }
    case 3:
        dHeading = m_nFixedHeading;
        bRotate = true;
        break;
    default:
        break;
    }
    if (bRotate)
        data.Orientation.set(headingRotation(-dHeading));
    send(preset);
}

// ---------------------------------------------------------------------------------------------
// Rotation

void COrlexViewer::rotateView(int nMode, int nAngle)
{
    m_nRotateMode = nMode;
    m_nFixedHeading = nAngle;
    if (nMode == 0) {
        setViewHeadingAt(0.0f, static_cast<int>(m_cameraState.Position.X), static_cast<int>(m_cameraState.Position.Y),
                         static_cast<int>(m_dCameraDistance));
        if (m_nGraticuleId)
            setObjectVisibility(m_nGraticuleId, !m_b3D);
    } else if (m_nGraticuleId) {
        setObjectVisibility(m_nGraticuleId, false);
    }
}

void COrlexViewer::updateViewRotation()
{
    if (m_nRotateMode == 0 || m_bFollowVessel)
        return;
    switch (m_nRotateMode) {
    case 1:
        if (m_pShipModel)
            setViewHeading(static_cast<float>(-(m_pShipModel->getVesselHeading() / 100.0)));
        break;
    case 2: {
        const int nHeading = m_pPlanning ? m_pPlanning->getActiveLineHeading() : -1;
        if (nHeading != -1)
            setViewHeading(static_cast<float>(-(nHeading / 100.0)));
        break;
    }
    case 3:
        setViewHeading(static_cast<float>(-m_nFixedHeading));
        break;
    default:
        break;
    }
}

void COrlexViewer::setViewHeading(float fDegrees)
{
    O::SetCameraDataMessage camera;
    camera.ViewerId = viewerId();
    camera.Confirmation = 1;
    camera.CameraData.Orientation.set(headingRotation(fDegrees));
    camera.CameraData.TargetPosition.set(m_cameraState.Position);
    camera.CameraData.ViewportHeight.set(m_cameraState.ViewportHeight);
    send(camera);
}

void COrlexViewer::setViewHeadingAt(float fDegrees, int nX, int nY, int nHeight)
{
    if (m_nGraticuleId)
        setObjectVisibility(m_nGraticuleId, false);
    O::SetCameraDataMessage camera;
    camera.ViewerId = viewerId();
    camera.Confirmation = 1;
    camera.CameraData.Orientation.set(headingRotation(fDegrees));
    camera.CameraData.TargetPosition.set(position(nX, nY, m_cameraState.Position.Z));
    camera.CameraData.ViewportHeight.set(static_cast<double>(nHeight));
    send(camera);
}

// ---------------------------------------------------------------------------------------------
// 2-D and 3-D

void COrlexViewer::toggle3D(bool bOn)
{
    const O::CameraStateData state = m_cameraState;
    qDebug() << "Cam X " << state.Position.X << " Y " << state.Position.Y << " focal" << state.FocalDistance;
    const bool bEnvironment = !qgetenv("DREMMENVIR").isEmpty();
    m_b3D = bOn;

    O::EnableDoubleClickMessage doubleClick;
    doubleClick.ViewerId = 0;
    doubleClick.Confirmation = 1;
    doubleClick.Enabled = bOn;
    const O::PositionData focus = cameraFocusPoint(state);
    const double dSpan = 2.0 * static_cast<double>(std::sin(static_cast<float>(state.FieldOfView) / 2.0f));

    sendProjectionMode(bOn ? 0 : 1);
    if (bOn) {
        if (bEnvironment) {
            O::CreateOceanMessage ocean;
            s_nOceanId = objectIdAllocator()->allocate();
            ocean.Id = s_nOceanId;
            ocean.ParentId.set(40001);
            ocean.PositionData = position(0, 0, 0);
            send(ocean);
            m_viewerSettings["SkyTexture"] = "Skydome.jpg";
            sendViewerSettings();
        }
        send(doubleClick);

        // The field of view comes from the server: without a usable one the camera stays.
        const double dDistance = state.ViewportHeight / dSpan;
        if (isPositive(dSpan) && isPositive(dDistance)) {
            O::SetCameraDataMessage camera;
            camera.ViewerId = viewerId();
            camera.Confirmation = 1;
            camera.TransitionTime.set(0.0);
            if (m_nPointBufferId != 0)
                camera.CameraData.Target.set(m_nPointBufferId);
            camera.CameraData.CameraPosition.set(position(focus.X, focus.Y, dDistance));
            camera.CameraData.TargetPosition.set(position(focus.X, focus.Y, m_dZRangeHalf));
            camera.CameraData.FocalDistance.set(dDistance);
            send(camera);
        } else {
            qDebug() << "COrlexViewer::toggle3D - WARNING no usable field of view" << state.FieldOfView;
        }
        if (m_nGraticuleId)
            setObjectVisibility(m_nGraticuleId, false);
        if (m_nDrawLineId)
            setObjectVisibility(m_nDrawLineId, false);
        for (const char* pLayer : {"TIFF", "MAPS", "Planning", "Tracks"})
            hideLayer(QString::fromLatin1(pLayer));
    } else {
        if (m_nGraticuleId)
            setObjectVisibility(m_nGraticuleId, true);
        if (m_nDrawLineId)
            setObjectVisibility(m_nDrawLineId, true);
        for (const char* pLayer : {"TIFF", "MAPS", "Planning", "Tracks"})
            showLayer(QString::fromLatin1(pLayer));
        send(doubleClick);

        qDebug() << "Tgt X " << focus.X << " Y " << focus.Y;
        const double dViewportHeight = dSpan * state.FocalDistance;
        O::SetCameraDataMessage camera;
        camera.ViewerId = viewerId();
        camera.Confirmation = 1;
        camera.TransitionTime.set(0.0);
        camera.CameraData.CameraPosition.set(position(focus.X, focus.Y, 1000));
        qDebug() << "posCam X " << focus.X << " Y " << focus.Y;
        camera.CameraData.TargetPosition.set(position(focus.X, focus.Y, 0));
        camera.CameraData.Orientation.set(O::RotationData());
        if (isPositive(dViewportHeight))
            camera.CameraData.ViewportHeight.set(dViewportHeight);
        send(camera);

        if (bEnvironment) {
            O::DestroyObjectMessage destroy;
            destroy.Id = s_nOceanId;
            send(destroy);
            m_viewerSettings["SkyTexture"] = "";
            sendViewerSettings();
        }
        QTimer::singleShot(1500, this, [this] {
            setScale(1);
            setScale(-1);
        });
        int nEast = 0;
        int nNorth = 0;
        if (m_pShipModel)
            m_pShipModel->getVesselPosition(nEast, nNorth);
        if (nEast != 0 || nNorth != 0)
            QTimer::singleShot(2000, this, [this] { moveToVessel(false, 0); });
    }
    setInteractionActions(bOn);
}

// ---------------------------------------------------------------------------------------------
// Zoom to region and layers

void COrlexViewer::toggleZoomToRegion(bool bOn)
{
    m_bZoomToRegion = bOn;
    O::SetCursorMessage cursor;
    cursor.ViewerId = viewerId();
    cursor.Confirmation = 1;
    cursor.Cursor = bOn ? "Cross" : "Default";
    send(cursor);
}

void COrlexViewer::zoomRectStart()
{
    m_viewerSettings["NotifyMouseMove"] = m_bZoomRectActive ? "false" : "true";
    sendViewerSettings();
    m_bZoomRectActive = true;

    O::CreateLineMessage line;
    m_nZoomRectId = objectIdAllocator()->allocate();
    line.Id = m_nZoomRectId;
    line.MaterialData.OverrideColor = true;
    line.MaterialData.OverrideAlpha = true;
    O::Color white;
    white.R = white.G = white.B = white.A = 1.0f;
    line.MaterialData.Material.EmissiveColor.set(white);
    line.MaterialData.Material.LineWidth.set(2.0f);
    line.LineData.Positions = {0, 0, 10, 1, 0, 10, 1, 1, 10, 0, 1, 10};
    line.LineData.Indices = {0, 1, 2, 3, 0, -1};
    send(line);
}

void COrlexViewer::hideLayer(const QString& strName)
{
    sendLayerVisibility(strName, false);
}

void COrlexViewer::showLayer(const QString& strName)
{
    sendLayerVisibility(strName, true);
}

void COrlexViewer::sendLayerVisibility(const QString& strName, bool bVisible)
{
    for (O::LayerData& layer : m_layers) {
        if (layer.Name == strName.toUtf8().toStdString())
            layer.Visible = bVisible;
    }
    O::UpdateLayersVisibilityMessage message;
    message.ViewerId = viewerId();
    message.Confirmation = 1;
    O::LayerData layer;
    layer.Name = strName.toUtf8().toStdString();
    layer.Visible = bVisible;
    message.Layers.push_back(layer);
    send(message);
}

void COrlexViewer::setS57MapVisibility(bool bOn)
{
    if (bOn)
        showLayer(QStringLiteral("MAPS"));
    else
        hideLayer(QStringLiteral("MAPS"));
}

void COrlexViewer::setPlanVisibility(bool bOn)
{
    if (bOn)
        showLayer(QStringLiteral("Planning"));
    else
        hideLayer(QStringLiteral("Planning"));
}
