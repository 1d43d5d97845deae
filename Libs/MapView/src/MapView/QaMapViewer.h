// The map viewer: the main window's central widget, a stacked widget around the 2-D map window
// that relays the map's signals outwards and the window's requests inwards.
#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

class CQaMapView2D;
class QStackedWidget;

class CQaMapViewer : public QWidget {
    Q_OBJECT
public:
    // nFirst is kept without use; nNestedId and pData go to the nested 2-D map window, which
    // builds its map view with nMapViewId.
    CQaMapViewer(int nFirst, int nNestedId, void* pData, int nMapViewId, QWidget* parent = nullptr);

    CQaMapView2D* mapView2D() const { return m_poMapView2D; }

signals:
    void msgToFile(QString msg);
    void gridChanged();
    void changeColormap(int);
    void safetyCorrEnabled(bool);
    void measureDistance(QPoint&, QPoint&);
    void onNewProjection(QString);

public slots:
    // on3D is not used.
    void updateStatus(QString strStatus, int nCurr, int nMax, bool bOn2D = true, bool bOn3D = true);
    bool noAction();

private:
    void constrMainWidget();

    QStackedWidget* m_poStack = nullptr;
    CQaMapView2D* m_poMapView2D = nullptr;
    int m_nFirst;
    int m_nNestedId;
    void* m_pData;
    int m_nMapViewId;
};
