#include "MapView/QaMapView2D.h"

#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"

#include <QHBoxLayout>

CQaMapView2D::CQaMapView2D(int nNestedId, void* pData, int nMapViewId, QWidget* parent)
    : CNestedMainWindow(nNestedId, pData, parent), m_nMapViewId(nMapViewId)
{
    constrCentralWidget();
}

void CQaMapView2D::constrCentralWidget()
{
    emit msgToFile(QStringLiteral("CQaMapView2D::constrCentralWidget - Init"));
    auto* poCentral = new QWidget(this);
    auto* poLayout = new QHBoxLayout(poCentral);
    poLayout->setContentsMargins(0, 0, 0, 0);
    m_poMapView = new CMapView2D(m_nMapViewId, nullptr);
    connect(m_poMapView, &CMapViewPane::msgToFile, this, &CQaMapView2D::msgToFile);
    emit msgToFile(QStringLiteral("CQaMapView2D::constrCentralWidget - OK : CMapView2D allocated, adding widget"));
    poLayout->addWidget(m_poMapView);
    setCentralWidget(poCentral);
    emit msgToFile(QStringLiteral("CQaMapView2D::constrCentralWidget - OK : CQaMapViewManager allocated, setMapView2D"));
    CQaMapViewManager::instance()->setMapView2D(m_poMapView);

    connect(this, &CQaMapView2D::gridChanged, m_poMapView, &CMapView2D::onGridChanged);
    connect(m_poMapView, &CMapView2D::changeColormap, this, &CQaMapView2D::changeColormap);
    connect(m_poMapView, &CMapView2D::safetyCorrEnabled, this, &CQaMapView2D::safetyCorrEnabled);
    connect(m_poMapView, &CMapView2D::measureDistance, this, &CQaMapView2D::measureDistance);
    connect(this, &CQaMapView2D::onNewProjection, m_poMapView, &CMapView2D::onNewProjection);
}

void CQaMapView2D::updateStatus(QString strStatus, int nCurr, int nMax)
{
    if (m_poMapView)
        m_poMapView->updateStatus(strStatus, nCurr, nMax);
}
