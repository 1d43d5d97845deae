// The content of the map pane: hands its frame to the 3-D view controller, which embeds the
// viewer server's window there, and passes display settings on to the controller.
#pragma once

#include "MapView/MapViewPane.h"

#include <QColor>
#include <QPoint>
#include <QString>
#include <QStringList>

class COrlexViewer;
class QAction;

class CMapView2D : public CMapViewPane {
    Q_OBJECT
public:
    CMapView2D(int nViewId, QWidget* parent = nullptr);
    ~CMapView2D() override;

    int viewId() const { return m_nViewId; }
    bool isFollowingShip() const { return m_bFollowShip; }
    QAction* followShipAction() const { return m_poActionFollowShip; }

signals:
    void changeColormap(int);
    void safetyCorrEnabled(bool);
    void measureDistance(QPoint&, QPoint&);
    void startCalib(QStringList, QPoint&, QPoint&);

public slots:
    // Checks or unchecks the Follow Vessel action, which switches following on or off.
    void toggleFollowShip(bool bFollow);
    void onActionFollowShip(bool isChecked);
    void onGridChanged();
    void onNewProjection(QString strProjFile);

    void setGraticuleColor(const QColor& oColour);
    void setGraticuleVisibility(bool isVisible);
    void setGraticuleFormat(int nFormat);
    void set2DBackgroundColor(QColor oColour);
    void setS57MapVisibility(bool isVisible);
    void setDepthTailVisibility(bool isVisible);
    void setDepthTailPntSize(int nSize);
    void setDepthTailCount(int nCount);
    // nOp 0 sets the visibility, 1 the length in minutes.
    void setCogVectorVisLen(bool isVisible, int nLen, int nOp);
    void setCogVectorColor(QColor oColour);
    void setShipColor(QColor oColour);
    void setShowTrack(bool bShow);
    void setRealtimeTrackColor(QColor oColour);
    void setLoggingLabelVisibility(bool isVisible);
    // 0 north-west, 1 north-east, 2 south-east, 3 south-west.
    void setLightDirection(int nDir);
    void setPlanVisibility(bool bVisible);
    // 1 plan line, 2 plan polygon, 3 active line, 4 line start, 5 line end, 6 active line start,
    // 7 active line end, 8 user-object point, 9 user-object line, 10 user-object polygon.
    void setPlanColor(int nType, QColor oColour);

protected:
    void keyPressEvent(QKeyEvent* poEvent) override;
    void resizeEvent(QResizeEvent* poEvent) override;

private:
    void createActions();
    void embedViewer();

    QAction* m_poActionFollowShip = nullptr;
    COrlexViewer* m_poViewer = nullptr;
    int m_nViewId;
    bool m_bFollowShip = false;
};
