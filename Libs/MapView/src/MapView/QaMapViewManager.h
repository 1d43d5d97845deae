// The process-wide holder of the one 2-D map view.
#pragma once

#include <QObject>
#include <QPointer>

class CMapView2D;

class CQaMapViewManager : public QObject {
    Q_OBJECT
public:
    static CQaMapViewManager* instance();

    void setMapView2D(CMapView2D* poView);
    // Null before the map window has built its view and after the view is gone.
    CMapView2D* getMapView2D() const;

private:
    CQaMapViewManager();

    QPointer<CMapView2D> m_poMapView2D;
};
