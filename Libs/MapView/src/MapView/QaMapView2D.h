// The nested 2-D map window inside the map viewer: owns the map view and relays its signals.
#pragma once

#include "QtAppFramework/NestedMainWindow.h"

#include <QPoint>
#include <QString>

class CMapView2D;

class CQaMapView2D : public CNestedMainWindow {
    Q_OBJECT
public:
    CQaMapView2D(int nNestedId, void* pData, int nMapViewId, QWidget* parent = nullptr);

    CMapView2D* mapView() const { return m_poMapView; }

signals:
    void gridChanged();
    void msgToFile(QString msg);
    void changeColormap(int);
    void safetyCorrEnabled(bool);
    void measureDistance(QPoint&, QPoint&);
    void onNewProjection(QString);

public slots:
    void updateStatus(QString strStatus, int nCurr, int nMax);

private:
    void constrCentralWidget();

    CMapView2D* m_poMapView = nullptr;
    int m_nMapViewId;
};
