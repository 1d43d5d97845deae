#include "MapView/MapView2D.h"

#include "OrlexViewer/OrlexViewer.h"
#include "platform/debug_output.h"

#include <QAction>
#include <QDebug>
#include <QFrame>
#include <QResizeEvent>
#include <QVBoxLayout>

namespace {

const char* const s_szViewerName = "dremm";

COrlexViewer* viewer()
{
    return COrlexViewer::instance(QLatin1String(s_szViewerName));
}

} // namespace

CMapView2D::CMapView2D(int nViewId, QWidget* parent) : CMapViewPane(parent), m_nViewId(nViewId)
{
    createActions();
    createToolBars();
    hideQaSelectionActions();
}

void CMapView2D::showEvent(QShowEvent* poEvent)
{
    CMapViewPane::showEvent(poEvent);
    // The viewer's window goes into the frame once the view sits in its shown window: a native
    // window made while the view is still parentless stays a top-level window of its own.
    if (m_bEmbedPending) {
        m_bEmbedPending = false;
        embedViewer();
        if (m_poViewer)
            connect(m_poViewer, &COrlexViewer::measureDistance, this, &CMapView2D::measureDistance);
    }
}

CMapView2D::~CMapView2D()
{
    platform::outputDebugString(QStringLiteral("CMapView2D::~CMapView2D"));
    COrlexViewer::destroyInstance();
}

void CMapView2D::embedViewer()
{
    qDebug() << "before orlex";
    m_poViewer = viewer();
    qDebug() << "after orlex";
    if (!m_poViewer)
        return;
    auto* poLayout = new QVBoxLayout(frame());
    poLayout->setContentsMargins(0, 0, 0, 0);
    m_poViewer->setViewerParent(frame(), poLayout);
    connect(m_poViewer, &COrlexViewer::startCalib, this, &CMapView2D::startCalib);
    connect(m_poViewer, &COrlexViewer::selectedPolygon, this, &CMapView2D::getPointsFromGrid);
}

void CMapView2D::keyPressEvent(QKeyEvent*)
{
}

void CMapView2D::resizeEvent(QResizeEvent* poEvent)
{
    CMapViewPane::resizeEvent(poEvent);
    if (COrlexViewer* poViewer = viewer())
        poViewer->sizeChanged(poEvent ? poEvent->size() : size());
}

void CMapView2D::toggleFollowShip(bool bFollow)
{
    if (m_poActionFollowShip)
        m_poActionFollowShip->setChecked(bFollow);
}

void CMapView2D::onActionFollowShip(bool isChecked)
{
    m_bFollowShip = isChecked;
    if (COrlexViewer* poViewer = viewer())
        poViewer->moveToVessel(m_bFollowShip, isChecked ? 1 : 2);
}

void CMapView2D::onGridChanged()
{
}

void CMapView2D::onNewProjection(QString strProjFile)
{
    qDebug().noquote() << QStringLiteral("CMapView2D::onNewProjection ") + strProjFile;
    if (COrlexViewer* poViewer = viewer())
        poViewer->updateProj(strProjFile);
}

void CMapView2D::setGraticuleColor(const QColor& oColour)
{
    if (m_poViewer)
        m_poViewer->setGraticuleColor(oColour);
}

void CMapView2D::setGraticuleVisibility(bool isVisible)
{
    if (m_poViewer)
        m_poViewer->setGraticuleVisibility(isVisible);
}

void CMapView2D::setGraticuleFormat(int nFormat)
{
    if (m_poViewer)
        m_poViewer->setGraticuleFormat(nFormat);
}

void CMapView2D::set2DBackgroundColor(QColor oColour)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->set2DBackgroundColor(oColour);
}

void CMapView2D::setS57MapVisibility(bool isVisible)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setS57MapVisibility(isVisible);
}

void CMapView2D::setDepthTailVisibility(bool isVisible)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setDepthTailVisibility(isVisible ? 2 : 0, !isVisible);
}

void CMapView2D::setDepthTailPntSize(int nSize)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setDepthTailPntSize(nSize);
}

void CMapView2D::setDepthTailCount(int nCount)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setDepthTailCount(nCount);
}

void CMapView2D::setCogVectorVisLen(bool isVisible, int nLen, int nOp)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setCogVectorVisLen(isVisible, nLen, nOp != 0);
}

void CMapView2D::setCogVectorColor(QColor oColour)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setCogVectorColor(oColour);
}

void CMapView2D::setShipColor(QColor oColour)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setShipColor(oColour);
}

void CMapView2D::setShowTrack(bool bShow)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setShowTrack(bShow);
}

void CMapView2D::setRealtimeTrackColor(QColor oColour)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setRealtimeTrackColor(oColour);
}

void CMapView2D::setLoggingLabelVisibility(bool isVisible)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setLoggingLabelVisibility(isVisible);
}

void CMapView2D::setLightDirection(int nDir)
{
    qDebug().noquote() << QStringLiteral("Setting light dir to %1").arg(nDir);
    if (COrlexViewer* poViewer = viewer())
        poViewer->setLightDirection(nDir);
}

void CMapView2D::setPlanVisibility(bool bVisible)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setPlanVisibility(bVisible);
}

void CMapView2D::setPlanColor(int nType, QColor oColour)
{
    if (COrlexViewer* poViewer = viewer())
        poViewer->setPlanColor(nType, oColour);
}
