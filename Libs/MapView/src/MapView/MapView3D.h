// A 3-D map pane with a manipulate mode, a view-all mode and the QA selection actions; nothing in
// this system creates one.
#pragma once

#include "MapView/MapViewPane.h"

#include <QList>
#include <QRect>

class QAction;
class QActionGroup;

class CMapView3D : public CMapViewPane {
    Q_OBJECT
public:
    explicit CMapView3D(QWidget* parent = nullptr);

    QActionGroup* modeGroup() const { return m_poModeGroup; }
    QAction* defaultModeAction() const { return m_poActionManipulate; }
    QAction* viewAllAction() const { return m_poActionViewAll; }
    const QList<QAction*>& positionActions() const { return m_lstPositionActions; }
    const QList<QAction*>& depthActions() const { return m_lstDepthActions; }
    QRect lastRegion() const { return m_oLastRegion; }

    // Every other checked action of the mode group is unchecked.
    void uncheckOtherModeActions(QAction* poChecked);

public slots:
    void onActionManipulateToggled(bool isChecked);
    void onActionViewAllToggled(bool isChecked);
    void onActionEnableSelectPositionLinesToggled(bool) {}
    void onActionEnableSelectPositionPointsToggled(bool) {}
    void onActionSelectDepthPointsRectangleToggle(bool) {}
    void onActionSelectDepthPointsPolygonToggle(bool) {}
    void viewAll() {}
    void viewData() {}
    void viewRegion(QRect oRegion);

private:
    QAction* addModeAction(const QString& strText);

    QActionGroup* m_poModeGroup;
    QAction* m_poActionManipulate = nullptr;
    QAction* m_poActionViewAll = nullptr;
    QList<QAction*> m_lstPositionActions;
    QList<QAction*> m_lstDepthActions;
    QRect m_oLastRegion;
};
