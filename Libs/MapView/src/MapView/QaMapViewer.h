// The map viewer: the main window's central widget, a stacked widget around the 2-D map window
// that relays the map's signals outwards and the window's requests inwards.
#pragma once

#include "MapView/QaMapView2D.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

class QStackedWidget;

class CQaMapViewer : public QWidget {
    Q_OBJECT
public:
    // nFirst is kept without use; nNestedId and pData go to the nested 2-D map window, which
    // builds its map view with nMapViewId.
    CQaMapViewer(int nFirst, int nNestedId, void* pData, int nMapViewId, QWidget* parent = nullptr);

    CQaMapView2D* mapView2D() const { return m_poMapView2D; }

signals:
    void hereIsTheRubberband(QList<int> rubberband);
    void rubberBandRequested();
    void msgToFile(QString msg);
    void gridChanged();
    void doReloadSelectionSig();
    void lineToggledSig(int lineSelected, QString lineName);
    void toggleLine(bool onOrOff, QString lineName);
    void regionToFile(QRect area, QString path);
    void fileToRegion(QString path);
    void corridorLine(QList<int> rubberband);
    void enablePingDisplays();
    void openAllFile(QString);
    void openAllFileWithTimeSeries(QString);
    void zoomTimeSeries(int, int);
    void timeSeriesActive(bool);
    void relayUlmaExecMsg(int, QString);
    void processingFinished();
    void viewChanged(int);
    void changeColormap(int);
    void safetyCorrEnabled(bool);
    void calibTriggered(bool);
    void startCalib(QStringList, QPoint&, QPoint&);
    void measureDistance(QPoint&, QPoint&);
    void onNewProjection(QString);
    // Status texts of the map view for the main window's status line.
    void sigSetStatusText(QString strText, int nDly);

public slots:
    // on3D is not used.
    void updateStatus(QString strStatus, int nCurr, int nMax, bool bOn2D = true, bool bOn3D = true);
    bool noAction();
    void setProcessingMode(Qa::EProcMode eProcMode);
    void onActionSelectAll();
    void onActionSelectApply();
    void onActionSelectClear();
    void onViewChanged2D(QRect area, QRect viewport);
    void receiveReloadSelectionSig_fromMainW();
    void hereIsTvgplRubberband(QString, QList<int>) {}
    void set_picking() {}
    void setTVGPLpicking() {}
    void toggleViews(bool bOn);
    void handleMapViewerTabChanged(int iTab);

private:
    void constrMainWidget();

    QStackedWidget* m_poStack = nullptr;
    CQaMapView2D* m_poMapView2D = nullptr;
    int m_nFirst;
    int m_nNestedId;
    void* m_pData;
    int m_nMapViewId;
};
