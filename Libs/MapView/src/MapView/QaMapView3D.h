// The nested window of a 3-D map view, the twin of the 2-D map window: shows the view's QA
// selection actions by processing mode. Nothing in this system creates one.
#pragma once

#include "MapView/QaMapView2D.h"

#include "QtAppFramework/NestedMainWindow.h"

#include <QRect>
#include <QString>

class CMapView3D;

class CQaMapView3D : public CNestedMainWindow {
    Q_OBJECT
public:
    CQaMapView3D(int nNestedId, void* pData, QWidget* parent = nullptr);

    CMapView3D* mapView() const { return m_poMapView; }

signals:
    void msgToFile(QString msg);

public slots:
    void updateStatus(QString strStatus, int nCurr, int nMax);
    void about();
    void activate();
    void deactivate() {}
    void viewAll() {}
    void viewRegion(QRect oRegion);
    void setProcessingMode(Qa::EProcMode eProcMode);

private:
    CMapView3D* m_poMapView;
};
