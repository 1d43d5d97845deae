#include "MapView/QaMapViewer.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QLayout>
#include <QStackedWidget>

CQaMapViewer::CQaMapViewer(int nFirst, int nNestedId, void* pData, int nMapViewId, QWidget* parent)
    : QWidget(parent), m_nFirst(nFirst), m_nNestedId(nNestedId), m_pData(pData), m_nMapViewId(nMapViewId)
{
    constrMainWidget();
    CQaMapView2D* poWin = m_poMapView2D;
    connect(this, &CQaMapViewer::gridChanged, poWin, &CQaMapView2D::gridChanged);
    connect(poWin, &CQaMapView2D::viewChanged, this, &CQaMapViewer::onViewChanged2D);
    connect(poWin, &CQaMapView2D::lineToggledSig, this, &CQaMapViewer::lineToggledSig);
    connect(poWin, &CQaMapView2D::regionToFile, this, &CQaMapViewer::regionToFile);
    connect(poWin, &CQaMapView2D::fileToRegion, this, &CQaMapViewer::fileToRegion);
    connect(poWin, &CQaMapView2D::hereIsTheRubberband, this, &CQaMapViewer::hereIsTheRubberband);
    connect(this, &CQaMapViewer::rubberBandRequested, poWin, &CQaMapView2D::rubberBandRequested);
    connect(poWin, &CQaMapView2D::msgToFile, this, &CQaMapViewer::msgToFile);
    connect(poWin, &CQaMapView2D::hereIsTvgplRubberband, this, &CQaMapViewer::hereIsTvgplRubberband);
    connect(poWin, &CQaMapView2D::corridorLine, this, &CQaMapViewer::corridorLine);
    connect(poWin, &CQaMapView2D::openAllFile, this, &CQaMapViewer::openAllFile);
    connect(poWin, &CQaMapView2D::openAllFileWithTimeSeries, this, &CQaMapViewer::openAllFileWithTimeSeries);
    connect(poWin, &CQaMapView2D::zoomTimeSeries, this, &CQaMapViewer::zoomTimeSeries);
    connect(this, &CQaMapViewer::timeSeriesActive, poWin, &CQaMapView2D::timeSeriesActive);
    connect(poWin, &CQaMapView2D::enablePingDisplays1, this, &CQaMapViewer::enablePingDisplays);
    connect(this, &CQaMapViewer::processingFinished, poWin, &CQaMapView2D::processingFinished);
    connect(poWin, &CQaMapView2D::changeColormap, this, &CQaMapViewer::changeColormap);
    connect(poWin, &CQaMapView2D::safetyCorrEnabled, this, &CQaMapViewer::safetyCorrEnabled);
    connect(poWin, &CQaMapView2D::startCalib, this, &CQaMapViewer::startCalib);
    connect(poWin, &CQaMapView2D::calibTriggered, this, &CQaMapViewer::calibTriggered);
    connect(poWin, &CQaMapView2D::measureDistance, this, &CQaMapViewer::measureDistance);
    connect(this, &CQaMapViewer::onNewProjection, poWin, &CQaMapView2D::onNewProjection);
    connect(this, &CQaMapViewer::doReloadSelectionSig, poWin, &CQaMapView2D::receiveReloadSig);
    connect(this, &CQaMapViewer::toggleLine, poWin, &CQaMapView2D::toggleLine);
    connect(poWin, &CQaMapView2D::sigSetStatusText, this, &CQaMapViewer::sigSetStatusText);
}

void CQaMapViewer::constrMainWidget()
{
    auto* poLayout = new QHBoxLayout(this);
    poLayout->setContentsMargins(0, 0, 0, 0);
    m_poStack = new QStackedWidget(this);
    m_poStack->setContentsMargins(0, 0, 0, 0);
    m_poMapView2D = new CQaMapView2D(m_nNestedId, m_pData, m_nMapViewId);
    if (QLayout* poInner = m_poMapView2D->layout())
        poInner->setContentsMargins(0, 0, 0, 0);
    m_poStack->addWidget(m_poMapView2D);
    m_poMapView2D->log1(tr("CQaMapView2D constructed..."), 1);
    emit msgToFile(QStringLiteral("CQaMapViewer::constrMainWidget - OK : CQaMapView2D constructed"));
    emit msgToFile(QStringLiteral("CQaMapViewer::constrMainWidget - OK : CQaMapView3D constructed"));
    poLayout->addWidget(m_poStack);
}

void CQaMapViewer::updateStatus(QString strStatus, int nCurr, int nMax, bool bOn2D, bool)
{
    if (bOn2D && m_poMapView2D)
        m_poMapView2D->updateStatus(strStatus, nCurr, nMax);
}

bool CQaMapViewer::noAction()
{
    return true;
}

void CQaMapViewer::setProcessingMode(Qa::EProcMode eProcMode)
{
    emit msgToFile(QStringLiteral("CQaMapViewer::setProcessingMode - Init"));
    if (!m_poMapView2D) {
        emit msgToFile(QStringLiteral("CQaMapViewer::setProcessingMode - WARNING : Couldn't set processing mode in "
                                      "2D mapView, m_poMapView2D not defined"));
        return;
    }
    emit msgToFile(QStringLiteral("CQaMapViewer::setProcessingMode - OK : Set processing mode in 2D mapView"));
    m_poMapView2D->setProcessingMode(eProcMode);
}

void CQaMapViewer::onActionSelectAll()
{
    if (m_poMapView2D)
        m_poMapView2D->onActionSelectAll();
}

void CQaMapViewer::onActionSelectApply()
{
    if (m_poMapView2D)
        m_poMapView2D->onActionSelectApply();
}

void CQaMapViewer::onActionSelectClear()
{
    if (m_poMapView2D)
        m_poMapView2D->onActionSelectClear();
}

void CQaMapViewer::onViewChanged2D(QRect area, QRect)
{
    qDebug().noquote() << QStringLiteral("CQaMapViewer::onViewChanged2D %1 %2 %3 %4")
                              .arg(area.left())
                              .arg(area.top())
                              .arg(area.width())
                              .arg(area.height());
}

void CQaMapViewer::receiveReloadSelectionSig_fromMainW()
{
    emit doReloadSelectionSig();
}

void CQaMapViewer::toggleViews(bool bOn)
{
    emit viewChanged(bOn ? 1 : 0);
}

void CQaMapViewer::handleMapViewerTabChanged(int)
{
    if (m_poMapView2D)
        m_poMapView2D->activate();
}
