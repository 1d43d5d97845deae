#include "MapView/QaMapView3D.h"

#include "MapView/MapView3D.h"

#include <QAction>

CQaMapView3D::CQaMapView3D(int nNestedId, void* pData, QWidget* parent)
    : CNestedMainWindow(nNestedId, pData, parent), m_poMapView(new CMapView3D(this))
{
    setCentralWidget(m_poMapView);
    connect(m_poMapView, &CMapViewPane::msgToFile, this, &CQaMapView3D::msgToFile);
}

void CQaMapView3D::updateStatus(QString strStatus, int nCurr, int nMax)
{
    if (m_poMapView)
        m_poMapView->updateStatus(strStatus, nCurr, nMax);
}

void CQaMapView3D::about()
{
    showMapWindowAbout(this);
}

void CQaMapView3D::activate()
{
    if (m_poMapView)
        m_poMapView->defaultModeAction()->setChecked(true);
}

void CQaMapView3D::viewRegion(QRect oRegion)
{
    if (m_poMapView)
        m_poMapView->viewRegion(oRegion);
}

void CQaMapView3D::setProcessingMode(Qa::EProcMode eProcMode)
{
    emit msgToFile(QStringLiteral("CQaMapView3D::setProcessingMode - Init"));
    if (!m_poMapView)
        return;
    const auto show = [](const QList<QAction*>& lstActions, bool bVisible) {
        for (QAction* poAction : lstActions)
            poAction->setVisible(bVisible);
    };
    const QList<QAction*>& lstPosition = m_poMapView->positionActions();
    const QList<QAction*>& lstDepth = m_poMapView->depthActions();
    switch (static_cast<int>(eProcMode)) {
    case Qa::PositionProcessing:
        emit msgToFile(QStringLiteral("CQaMapView3D::setProcessingMode - OK : Processing mode is PositionProcessing"));
        show(lstPosition, true);
        show(lstDepth, false);
        break;
    case Qa::DepthProcessing:
        emit msgToFile(QStringLiteral("CQaMapView3D::setProcessingMode - OK : Processing mode is DepthProcessing"));
        show(lstPosition, false);
        show(lstDepth, true);
        break;
    case Qa::LineProcessing:
        emit msgToFile(QStringLiteral("CQaMapView3D::setProcessingMode - OK : Processing mode is LineProcessing"));
        show(lstPosition, false);
        show(lstDepth, false);
        show(lstPosition.mid(0, 2), true);
        break;
    default:
        emit msgToFile(QStringLiteral("CQaMapView3D::setProcessingMode - WARNING : Processing mode is Undefined"));
        show(lstPosition, false);
        show(lstDepth, false);
        break;
    }
}
