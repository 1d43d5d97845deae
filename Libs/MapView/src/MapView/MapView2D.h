// The content of the map pane: hands its frame to the 3-D view controller, which embeds the
// viewer server's window there, fills the pane's tool bar and turns its actions into controller
// operations.
#pragma once

#include "MapView/MapViewPane.h"

#include <QByteArray>
#include <QColor>
#include <QList>
#include <QMap>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

class COrlexViewer;
class QAction;
namespace Tavrin::Dremm::Orlex {
struct PositionData;
}
class QActionGroup;
class QMenu;
class QToolButton;

// One ping of a water-column file.
struct CWcdPingRecord {
    int nFirst = 0;
    int nSecond = 0;
    float fValue = 0.0f;
    QByteArray baSampleRef; // 16 bytes
    int nThird = 0;
    float fFurther1 = 0.0f;
    float fFurther2 = 0.0f;
    QList<int> lstA, lstB, lstC;
};

struct CWcdFileEntry {
    QString strText;
    QList<int> lstValues;
    int nCount = 0;
    QList<CWcdPingRecord> lstPings;
};

// The split-line sentence for a position in degrees.
QString splitSurveyLineSentence(double dLatitude, double dLongitude);

class CMapView2D : public CMapViewPane {
    Q_OBJECT
public:
    CMapView2D(int nViewId, QWidget* parent = nullptr);
    ~CMapView2D() override;

    int viewId() const { return m_nViewId; }
    bool isFollowingShip() const { return m_bFollowShip; }
    bool isCrossLineOn() const { return m_bCrossLine; }
    bool hasExtendedColourMenu() const { return m_bExtendedColourMenu; }
    QAction* followShipAction() const { return m_poActionFollowShip; }
    QActionGroup* modeGroup() const { return m_poModeGroup; }

    // When a mode action turns on, every other checked action of the mode group turns off.
    void uncheckOtherModeActions(QAction* poChecked);
    void setDepthSelectionActionsVisible(bool bVisible);
    void setLineSelectionActionsVisible(bool bVisible);
    void setPositionSelectionActionsVisible(bool bVisible);
    // There is no default-mode action: nothing to check.
    void checkDefaultModeAction() {}

    // The controller's selectedPolygon (projected metres, x east, y north): the raw soundings of
    // the selection's bounding rectangle are generated and shown as selected points.
    void getPointsFromGrid(const std::vector<::Tavrin::Dremm::Orlex::PositionData>& points);

    static float R(uint uColor);
    static float G(uint uColor);
    static float B(uint uColor);
    static float A(uint uColor);

signals:
    void startPositionSelectionRectangle();
    void startPositionSelectionPolygon();
    void viewChanged(QRect area, QRect viewport);
    void lineToggledSig(int lineSelected, QString lineName);
    void hereIsTheRubberband(QList<int> rubberband);
    void regionToFile(QRect area, QString path);
    void fileToRegion(QString path);
    void hereIsTvgplRubberband(QString, QList<int> rubberband);
    void corridorLine(QList<int> rubberband);
    void enablePingDisplays1();
    void getSelectTvgplPolygonToggled(bool isChecked);
    void openAllFile(QString);
    void openAllFileWithTimeSeries(QString);
    void zoomTimeSeries(int date, int time);
    void changeColormap(int);
    void safetyCorrEnabled(bool);
    void calibTriggered(bool);
    void startCalib(QStringList, QPoint&, QPoint&);
    void measureDistance(QPoint&, QPoint&);
    void sigSetStatusText(QString, int nDly);
    void sigSetStatusText(QString);

public slots:
    void moveToVessel(bool bMoveClicked, int nNorthOffset, int nEastOffset);
    void moveToVessel(bool bMoveClicked, int nNorthOffset);
    void moveToVessel(bool bMoveClicked);
    // Checks or unchecks the Follow Vessel action, which switches following on or off.
    void toggleFollowShip(bool bFollow);
    void onActionFollowShip(bool isChecked);
    void onActionRotateView(bool);
    void zoomToArea();
    void onActionZoomToArea(bool);
    void onActionZoomToVessel(bool);
    void onActionViewAllToggled(bool);
    void viewAll();
    void onActionZoomToRegionToggled(bool isChecked);
    void onActionInspModeToggled(bool isChecked);
    void addTvgplObject(QString strType);
    void selectTvgplObjects(QString strNames);
    void onActionSelectTvgplPolygonToggled(bool isChecked);
    void onActionPlanningNewLine();
    void onActionPlanningNewPoly();
    void onActionCalibModeToggled(bool isChecked);
    // Calibration mode of the controller follows the Cross Line action.
    void onActionCrossLine(bool isChecked);
    void onActionSaveProcessPointsRegionToggled(bool bVal);
    void onActionLoadProcessPointsRegionToggled(bool);
    void onActionGetProcessPointsRegionToggled(bool isChecked);
    void onActionGetProcessPointsHalfRegionToggled(bool isChecked);
    void getProcessPoints(QPolygon roPolygon);
    void getProcessPointsForHalfRegion(QPolygon roPolygon);
    void reloadSelection();
    void rubberBandRequested();
    void splitSurveyLine();
    void selectedPosition(double dX, double dY);
    void updatePositionUnderCursor(QPoint oPos);
    void changeColormapSlot();
    void onOpenAllFileFromContextMenu();
    void onOpenTimeSeriesAllFileFromContextMenu();
    void processingFinished();
    void timeSeriesActive(bool bActive);
    void getWCDInformation(QString strFileName, int* pnPingsCount);
    void getWCDInformation(QString strFileName);
    void showWCDPing(int nSkipPings, int nShowPings, std::vector<float> thresholds, int nZoomToPing,
                     QString strFileName, QList<int>& lstSamplesStatistic);

    void onActionMeasureDistanceToggled(bool isChecked);
    void onActionDepthUnderCursorToggled(bool isChecked);
    void onActionPositionUnderCursorToggled(bool isChecked);
    void onActionPlanModeToggled(bool isChecked);
    void onActionUserModeToggled(bool isChecked);
    void onActionPointSelectionToggled(bool isChecked);
    void onActionManipulateToggled(bool isChecked);
    void onToggle3D(bool bChecked);
    void onToggleTailCol(bool bChecked);
    void onToggleTailVis(bool bChecked);
    void testWCD();

    // Selection hooks of the survey-QA tool set: nothing to do in this system.
    void onActionEnableSelectPositionLinesToggled(bool) {}
    void onActionEnableSelectPositionPointsToggled(bool) {}
    void onActionSelectPositionRectangleToggled(bool) {}
    void onActionSelectPositionPolygonToggled(bool) {}
    void onActionSelectDepthPointsRectangleToggle(bool) {}
    void onActionSelectDepthPointsPolygonToggle(bool) {}
    void onPositionLineToggled_fromREZAR(bool, QString) {}
    void setEnableGeoSelection() {}
    void onActionSelectGeoPolygonToggle(bool) {}
    void onActionSelectStatisticsAreaToggled(bool) {}
    void onActionSelectProcessingAreaToggled(bool) {}
    void onActionSelectShipTrackToggled(bool) {}
    // Without arguments: a connection by name from a signal with any arguments takes them.
    void startZoomToRegion() {}
    void startMeasureDistance() {}
    void startCrossLine() {}
    void updateDepthUnderCursor() {}
    void startGetProcessPointsRegion() {}
    void startGetProcessPointsRegionForHalfRegion() {}
    void onActionModePlanning() {}
    void onPositionLineSelected() {}
    void onPositionPointSelected() {}
    void onShipTrackSelected() {}
    void updateGraticule() {}
    void clearPositionLineSelection() {}
    void clearPositionPointSelection() {}
    void selectPositionLinesRectangle() {}
    void selectPositionLinesPolygon() {}
    void selectPositionPointsRectangle() {}
    void selectPositionPointsPolygon() {}
    void selectStatisticsPolygon() {}
    void selectProcessingPolygon() {}
    void selectAllPositions() {}
    void applyPositionSelection() {}
    void clearPositionSelection() {}
    void selectAllDepths() {}
    void applyDepthSelection() {}
    void clearDepthSelection() {}
    void setShipPositionOffset() {}
    void clearProcessPoints() {}
    void clearPosLineSet() {}
    void displaySurveyAreaStatistics() {}
    void displaySurveyProcessing() {}
    void setProcessingParametersForWebPage() {}
    void onZoomToPointInTimeSeriesFromContextMenu() {}
    void updateShipOffset() {}
    void onStartPositionSelectionRectangle();
    void onStartPositionSelectionPolygon();

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
    void showEvent(QShowEvent* poEvent) override;

private:
    void createActions();
    void createToolBars();
    void embedViewer();
    void hideQaSelectionActions();
    QAction* addModeAction(const QString& strText, const char* szIcon, const QString& strTip,
                           void (CMapView2D::*pSlot)(bool));
    void addColourEntry(const QString& strText, int nData);

    QMap<QString, CWcdFileEntry> m_mapWcd;
    QAction* m_poActionFollowShip = nullptr;
    COrlexViewer* m_poViewer = nullptr;
    QAction* m_poActionLoadProcessPoints = nullptr;
    QAction* m_poActionSaveProcessPoints = nullptr;
    QString m_strSaveRegionTarget;
    bool m_bSaveRegionArmed = false;
    QAction* m_poActionMeasureDistance = nullptr;
    QAction* m_poActionPositionUnderCursor = nullptr;
    QAction* m_poActionDepthUnderCursor = nullptr;
    QAction* m_poPositionSeparator = nullptr;
    QAction* m_poActionSelectPositionLines = nullptr;
    QAction* m_poActionSelectPositionPoints = nullptr;
    QAction* m_poActionSelectPositionRectangle = nullptr;
    QAction* m_poActionSelectPositionPolygon = nullptr;
    QAction* m_poDepthSeparator = nullptr;
    QAction* m_poActionSelectDepthPointsRectangle = nullptr;
    QAction* m_poActionSelectDepthPointsPolygon = nullptr;
    QAction* m_poActionZoomToRegion = nullptr;
    QAction* m_poActionMoveToVessel = nullptr;
    QAction* m_poActionZoomToArea = nullptr;
    QAction* m_poActionZoomToWorld = nullptr;
    QAction* m_poActionPlanMode = nullptr;
    QAction* m_poActionPointSelection = nullptr;
    QAction* m_poActionUserMode = nullptr;
    QActionGroup* m_poModeGroup = nullptr;
    QActionGroup* m_poColourEntryGroup = nullptr;
    QMenu* m_poColourMapMenu = nullptr;
    bool m_bExtendedColourMenu = false;
    QPolygon m_oLastRubberband;
    QList<int> m_lstLastRubberband;
    QAction* m_poActionCrossLine = nullptr;
    bool m_bCrossLine = false;
    QString m_strFileName;
    int m_nViewId;
    bool m_bFollowShip = false;
    bool m_bTimeSeries = false;
    bool m_bEmbedPending = true;
};
