#include "MapView/QaMapViewer.h"

#include "MapView/QaMapView2D.h"

#include <QHBoxLayout>
#include <QLayout>
#include <QStackedWidget>

CQaMapViewer::CQaMapViewer(int nFirst, int nNestedId, void* pData, int nMapViewId, QWidget* parent)
    : QWidget(parent), m_nFirst(nFirst), m_nNestedId(nNestedId), m_pData(pData), m_nMapViewId(nMapViewId)
{
    constrMainWidget();
    connect(this, &CQaMapViewer::gridChanged, m_poMapView2D, &CQaMapView2D::gridChanged);
    connect(m_poMapView2D, &CQaMapView2D::msgToFile, this, &CQaMapViewer::msgToFile);
    connect(m_poMapView2D, &CQaMapView2D::changeColormap, this, &CQaMapViewer::changeColormap);
    connect(m_poMapView2D, &CQaMapView2D::safetyCorrEnabled, this, &CQaMapViewer::safetyCorrEnabled);
    connect(m_poMapView2D, &CQaMapView2D::measureDistance, this, &CQaMapViewer::measureDistance);
    connect(this, &CQaMapViewer::onNewProjection, m_poMapView2D, &CQaMapView2D::onNewProjection);
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
