#include "MapView/MapView3D.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QToolBar>

CMapView3D::CMapView3D(QWidget* parent) : CMapViewPane(parent), m_poModeGroup(new QActionGroup(this))
{
    m_poModeGroup->setExclusive(false);
    m_poActionManipulate = addModeAction(tr("Manipulate"));
    connect(m_poActionManipulate, &QAction::toggled, this, &CMapView3D::onActionManipulateToggled);
    m_poActionViewAll = addModeAction(tr("View All"));
    connect(m_poActionViewAll, &QAction::toggled, this, &CMapView3D::onActionViewAllToggled);
    toolBar()->addSeparator();

    QAction* poLines = addModeAction(tr("Select Position Lines"));
    connect(poLines, &QAction::toggled, this, &CMapView3D::onActionEnableSelectPositionLinesToggled);
    QAction* poPoints = addModeAction(tr("Select Position Points"));
    connect(poPoints, &QAction::toggled, this, &CMapView3D::onActionEnableSelectPositionPointsToggled);
    m_lstPositionActions = {poLines, poPoints, addModeAction(tr("Select Position Rectangle"))};
    toolBar()->addSeparator();

    QAction* poRectangle = addModeAction(tr("Select Depth Points Rectangle"));
    connect(poRectangle, &QAction::toggled, this, &CMapView3D::onActionSelectDepthPointsRectangleToggle);
    QAction* poPolygon = addModeAction(tr("Select Depth Points Polygon"));
    connect(poPolygon, &QAction::toggled, this, &CMapView3D::onActionSelectDepthPointsPolygonToggle);
    m_lstDepthActions = {addModeAction(tr("Load Process Points From File")), poRectangle, poPolygon};
    toolBar()->show();
}

QAction* CMapView3D::addModeAction(const QString& strText)
{
    auto* poAction = new QAction(strText, this);
    poAction->setCheckable(true);
    m_poModeGroup->addAction(poAction);
    toolBar()->addAction(poAction);
    return poAction;
}

void CMapView3D::uncheckOtherModeActions(QAction* poChecked)
{
    for (QAction* poMode : m_poModeGroup->actions())
        if (poMode != poChecked && poMode->isChecked())
            poMode->setChecked(false);
}

void CMapView3D::onActionManipulateToggled(bool isChecked)
{
    if (isChecked)
        uncheckOtherModeActions(m_poActionManipulate);
}

void CMapView3D::onActionViewAllToggled(bool isChecked)
{
    if (!isChecked)
        return;
    uncheckOtherModeActions(m_poActionViewAll);
    // View All acts once and hands over to the default mode.
    m_poActionManipulate->setChecked(true);
}

void CMapView3D::viewRegion(QRect oRegion)
{
    qDebug().noquote() << QStringLiteral("CMapView3D::viewRegion : %1 %2 %3 %4")
                              .arg(oRegion.left())
                              .arg(oRegion.top())
                              .arg(oRegion.width())
                              .arg(oRegion.height());
    m_oLastRegion = oRegion;
}
