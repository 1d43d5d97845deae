// The nested 2-D map window inside the map viewer: owns the map view, knows the QA processing
// mode and relays the view's signals.
#pragma once

#include "QtAppFramework/NestedMainWindow.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

class CMapView2D;

namespace Qa {
enum EProcMode { Undefined = 0, SurveyDisplay = 1, PositionProcessing = 2, DepthProcessing = 3, LineProcessing = 4 };
}

// The about box of the map windows.
void showMapWindowAbout(QWidget* poParent);

class CQaMapView2D : public CNestedMainWindow {
    Q_OBJECT
public:
    CQaMapView2D(int nNestedId, void* pData, int nMapViewId, QWidget* parent = nullptr);

    CMapView2D* mapView() const { return m_poMapView; }
    Qa::EProcMode processingMode() const { return m_eProcMode; }

signals:
    void gridChanged();
    void viewChanged(QRect area, QRect viewport);
    void hereIsTheRubberband(QList<int> rubberband);
    void rubberBandRequested();
    void msgToFile(QString msg);
    void reloadSelectionSig();
    void lineToggledSig(int lineSelected, QString lineName);
    void toggleLine(bool onOrOff, QString lineName);
    void regionToFile(QRect area, QString path);
    void fileToRegion(QString path);
    void hereIsTvgplRubberband(QString, QList<int> rubberband);
    void corridorLine(QList<int> rubberband);
    void enablePingDisplays1();
    void openAllFile(QString);
    void openAllFileWithTimeSeries(QString);
    void zoomTimeSeries(int, int);
    void timeSeriesActive(bool);
    void processingFinished();
    void changeColormap(int);
    void safetyCorrEnabled(bool);
    void startCalib(QStringList, QPoint&, QPoint&);
    void measureDistance(QPoint&, QPoint&);
    void calibTriggered(bool);
    void onNewProjection(QString);
    // Status texts of the map view (point-cloud hand-off) for the status line.
    void sigSetStatusText(QString strText, int nDly);

public slots:
    void updateStatus(QString strStatus, int nCurr, int nMax);
    void about();
    void activate();
    void deactivate();
    void viewAll();
    void setProcessingMode(Qa::EProcMode eProcMode);
    void onActionSelectAll();
    void onActionSelectApply();
    void onActionSelectClear();
    void clearStickyArea() {}
    void clearProcPntSelection() {}
    void setShipPositionOffset(QPoint&) {}
    void receiveReloadSig();
    void receiveLineToggle(int lineSelected, QString lineName);

private:
    void constrCentralWidget();
    // Logs the lines of a selection command for the current mode.
    void logSelection(const char* szCommand, const char* szPosition, const char* szDepth, const char* szSurvey,
                      const char* szUndefined);

    CMapView2D* m_poMapView = nullptr;
    Qa::EProcMode m_eProcMode = Qa::Undefined;
    int m_nMapViewId;
};
