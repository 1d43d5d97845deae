// What the pointer does in the 3-D view: position and depth read-outs, the dragged and the left
// distance labels of a measurement, drawn calibration lines and their corridor, point selection
// and drawn objects.
#include "OrlexViewer/OrlexViewer.h"

#include "OrlexViewer/OrlexViewerPrivate.h"
#include "OrlexObjs.h"
#include "OrlexViewer/Prompter.h"

#include "Common/GuiIni.h"
#include "OrlexQtClient/ObjectIdAllocator.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "Projection/Projection.h"
#include "SurveyUtils/Navigation.h"

#include <QCursor>
#include <QDebug>

#include <cmath>

namespace O = ::Tavrin::Dremm::Orlex;
using Dremm::Orlex::QtClient::objectIdAllocator;

namespace {

constexpr float kDefaultCorridorWidth = 2.0f;

// Metres to projected centimetres, cut toward zero.
int centimetres(double dMetres)
{
    return static_cast<int>(dMetres * 100.0);
}

// The corridor width of gui.ini; the default when the key is absent or not a number.
float corridorWidthSetting()
{
    const QVariant value = GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("CORR_WIDTH"), QVariant());
    if (!value.isValid())
        return kDefaultCorridorWidth;
    bool bOk = false;
    const float fWidth = value.toString().trimmed().toFloat(&bOk);
    if (!bOk || !std::isfinite(fWidth)) {
        qDebug().noquote() << QStringLiteral("CORR_WIDTH \"%1\" is not a number; using 2").arg(value.toString());
        return kDefaultCorridorWidth;
    }
    return fWidth;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Pointer moves

void COrlexViewer::onMouseMovedMessageReceived(const O::MouseMovedMessage* pMessage)
{
    if (!m_bPositionUnderCursor && !m_bDepthUnderCursor && !m_bZoomRectActive && !m_bMoveLinePending
        && !m_bMovePointPending && !m_bDeletePointPending && !m_bMeasActive)
        return;
    if (!pMessage || !pMessage->Position.hasvalue())
        return;
    const PositionData& oPos = pMessage->Position.value();

    if (m_bMeasActive && m_bMeasuring) {
        destroyOwnObject(m_nMeasureLabelId);
        m_nMeasureLabelId = createDistanceLabel(m_measureStart, oPos);
    } else if (m_bZoomRectActive) {
        if (m_bZoomRectStarted) {
            O::UpdateScaleMessage scale;
            scale.Id = m_nZoomRectId;
            scale.Scale.X = oPos.X - m_zoomRectStart.X;
            scale.Scale.Y = oPos.Y - m_zoomRectStart.Y;
            scale.Scale.Z = 1;
            send(scale);
        } else {
            placeZoomRectCorner(oPos);
        }
    } else if (m_bMoveLinePending) {
        moveLine(oPos.X, oPos.Y);
    } else if (m_bMovePointPending && m_nSelectedPointId > 0) {
        movePoint(oPos.X, oPos.Y);
    } else {
        showReadout(*pMessage);
    }
}

void COrlexViewer::showReadout(const O::MouseMovedMessage& message)
{
    CPrompter& prompter = CPrompter::current();
    const QPoint oCursor = QCursor::pos();
    prompter.toolTip(oCursor, QString(), m_pHostWindow);

    const PositionData& oPos = message.Position.value();
    const double dDepth = -oPos.Z;
    QString strText;
    if (m_bDepthUnderCursor) {
        const bool bOverObject = message.ObjectId.hasvalue() && message.ObjectId.value() != 0;
        if (m_bPositionUnderCursor) {
            strText = getPositionString(static_cast<int>(oPos.X), static_cast<int>(oPos.Y))
                      + QStringLiteral("\nDepth: %1").arg(dDepth, 0, 'g', 6);
        } else if (bOverObject) {
            strText = QStringLiteral("Depth: %1m").arg(dDepth, 0, 'f', dDepth > 10 ? 0 : 1);
        }
    } else if (m_bPositionUnderCursor) {
        strText = getPositionString(static_cast<int>(oPos.X), static_cast<int>(oPos.Y));
    }
    if (!strText.isEmpty())
        prompter.toolTip(oCursor, strText, m_pHostWindow);
}

QString COrlexViewer::getPositionString(int nEast, int nNorth)
{
    if (m_nGraticuleFormat == 1)
        return QStringLiteral("East/North: %1, %2").arg(nEast).arg(nNorth);

    double dLatitude = 0;
    double dLongitude = 0;
    CProjection::instance()->toGeographic(static_cast<double>(nNorth) * 100.0, static_cast<double>(nEast) * 100.0,
                                          dLatitude, dLongitude);
    const QString strLat = dLatitude > 0 ? QStringLiteral("N") : QStringLiteral("S");
    const QString strLon = dLongitude > 0 ? QStringLiteral("E") : QStringLiteral("W");
    dLatitude = std::fabs(dLatitude);
    dLongitude = std::fabs(dLongitude);
    const QString strFormat = QStringLiteral("Lat/Lon: %1%2, %3%4");
    switch (m_nGraticuleUnit) {
    case 0:
        return strFormat.arg(strLat).arg(dLatitude, 0, 'f', 6).arg(strLon).arg(dLongitude, 0, 'f', 6);
    case 1: {
        double dLat = 0;
        double dLon = 0;
        degreesToDdmm(dLatitude, dLongitude, &dLat, &dLon);
        return strFormat.arg(strLat).arg(dLat, 0, 'f', 4).arg(strLon).arg(dLon, 0, 'f', 4);
    }
    case 2: {
        double dLat = 0;
        double dLon = 0;
        degreesToDdmmss(dLatitude, dLongitude, &dLat, &dLon);
        return strFormat.arg(strLat).arg(dLat, 0, 'g', 6).arg(strLon).arg(dLon, 0, 'g', 6);
    }
    default:
        return QString();
    }
}

std::uint64_t COrlexViewer::createDistanceLabel(const PositionData& oFrom, const PositionData& oTo)
{
    double dDistance = 0;
    double dHeading = 0;
    computeDistanceHeading(centimetres(oFrom.Y), centimetres(oFrom.X), centimetres(oTo.Y), centimetres(oTo.X), &dDistance,
                           &dHeading);

    O::CreateLabelMessage label;
    label.Id = objectIdAllocator()->allocate();
    label.PositionData.X = static_cast<int>((oFrom.X + oTo.X) / 2);
    label.PositionData.Y = static_cast<int>((oFrom.Y + oTo.Y) / 2);
    label.PositionData.Z = 1.0;
    getLabelStyle(label.LabelStyle);
    label.LabelData.Text = QStringLiteral("%1m %2deg")
                               .arg(dDistance / 100.0, 0, 'f', 1)
                               .arg(dHeading, 0, 'f', 1)
                               .toStdString();
    label.LabelData.ShowAnchor = false;
    send(label);
    return label.Id;
}

// ---------------------------------------------------------------------------------------------
// Measurements

void COrlexViewer::onMeasurementMessageReceived(const O::MeasurementMessage* pMessage)
{
    if (!pMessage || pMessage->Positions.empty())
        return;
    if (pMessage->Active) {
        if (!m_bMeasActive)
            return;
        m_nMeasureObjectId = pMessage->ObjectId;
        m_bMeasuring = true;
        setNotifyMouseMove(true);
        m_measureStart = pMessage->Positions.front();
        destroyOwnObject(m_nMeasureResultLabelId);
        return;
    }
    endMeasurement(*pMessage);
}

void COrlexViewer::endMeasurement(const O::MeasurementMessage& message)
{
    if (m_bMeasActive) {
        m_bMeasuring = false;
        destroyOwnObject(m_nMeasureLabelId);
        const PositionData& oStart = message.Positions.front();
        const PositionData& oEnd = message.Positions.back();
        // The result label replaces the one of the last measurement.
        destroyOwnObject(m_nMeasureResultLabelId);
        m_nMeasureResultLabelId = createDistanceLabel(oStart, oEnd);
        QPoint oFrom(centimetres(oStart.X), centimetres(oStart.Y));
        QPoint oTo(centimetres(oEnd.X), centimetres(oEnd.Y));
        emit measureDistance(oFrom, oTo);
        setNotifyMouseMove(false);
    } else if (m_bCalibMode) {
        removeCorridor();
        if (m_nDrawLineId != 0) {
            O::DestroyObjectMessage destroy;
            destroy.Id = m_nDrawLineId;
            send(destroy);
            m_nDrawLineId = 0;
        }
        m_planPoints = message.Positions;
        m_corridorPoints = message.Positions;
        m_nDrawLineId = message.ObjectId;
        if (CPrompter::current().question(nullptr, QStringLiteral("Calibration"), QStringLiteral("Start calibration now?"),
                                          QMessageBox::Yes | QMessageBox::No)
            == QMessageBox::Yes)
            calibTriggered(true);
        buildCorridor(corridorWidthSetting());
    } else if (m_bPointSelection) {
        sendInteractionMode(1);
        m_planPoints = message.Positions;
        m_nDrawLineId = message.ObjectId;
        emit selectedPolygon(m_planPoints);
    } else if (m_nNewObjectKind != -1 && m_bPlanMode) {
        sendInteractionMode(1);
        m_planPoints = message.Positions;
        sendNewPlanObject(false);
        O::DestroyObjectMessage destroy;
        destroy.Id = message.ObjectId;
        send(destroy);
        m_nDrawLineId = 0;
    } else if (m_bUserMode) {
        sendInteractionMode(1);
        m_planPoints = message.Positions;
        addUserObject(true);
        O::DestroyObjectMessage destroy;
        destroy.Id = message.ObjectId;
        send(destroy);
        m_nDrawLineId = 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Calibration corridor

void COrlexViewer::setCorridorWidth(float fWidth)
{
    if (m_nCorridorId == 0 || m_corridorPoints.empty())
        return;
    removeCorridor();
    m_planPoints = m_corridorPoints;
    buildCorridor(fWidth);
}

void COrlexViewer::buildCorridor(float fWidth)
{
    if (m_planPoints.empty())
        return;
    const PositionData& oFirst = m_planPoints.front();
    const PositionData& oLast = m_planPoints.back();
    const std::vector<int> line{centimetres(oFirst.X), centimetres(oFirst.Y), centimetres(oLast.X), centimetres(oLast.Y)};
    const std::vector<PositionData> measured = m_planPoints;
    std::vector<QPoint> corners;
    if (COrlexObjs::setCorridorWidth(line, fWidth, corners)) {
        m_planPoints.clear();
        for (const QPoint& oCorner : corners)
            m_planPoints.push_back(orlex_viewer_detail::position(oCorner.x() / 100.0, oCorner.y() / 100.0, 0));
    }
    m_nNewObjectKind = 1;
    m_nCorridorId = addUserObject(false);
    m_planPoints = measured;
}

void COrlexViewer::removeCorridor()
{
    if (m_nCorridorId == 0)
        return;
    // The corridor is a user object: the library that made it removes it and frees its id.
    if (m_pObjects)
        m_pObjects->deleteObj(m_nCorridorId, true, false);
    m_nCorridorId = 0;
}

void COrlexViewer::forgetRemovedCorridor()
{
    if (m_nCorridorId != 0 && m_pObjects && !m_pObjects->isPlanObject(m_nCorridorId))
        m_nCorridorId = 0;
}
