// The one top-level window: builds, owns and wires the subsystems, keeps the docks, panes and
// settings, and saves the layout and the settings when it is closed.
#pragma once

#include "MainWindowText.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QThread>

#include <array>
#include <functional>
#include <memory>

class CAppDockWidget;
class CColorMappingPane;
class CGeneralStore;
class COutputWindow;
class CQaMapViewer;
class CQaSurveyManager;
class CQtLogger;
class COptionsDialog;
class CUlmaRuntime;
class QAction;
class QActionGroup;
class QDialog;
class QMenu;
class QMessageBox;
class QTimer;
class COrlexViewer;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWebEngineView;
class StatusInformationWidget;

class CMainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window; takes at least 2 s (the viewer server's start) and waits for the
    // viewer's window.
    CMainWindow(int argc, char* argv[]);
    // Ends the runtime thread; the map view's end takes the viewer connection with it.
    ~CMainWindow() override;

    bool eventFilter(QObject* poWatched, QEvent* poEvent) override;

    // A text to the log panes (sender "MainApp") and to log4cplus.
    virtual void logMsg(QString& strText, unsigned nLevel);

    // Applies a layout file (".cvn" added when missing); a null text on success, else the error.
    QString restoreLayout(const QString& strFileName);
    // Writes the window's layout to a file (".cvn" added when missing); null text or the error.
    QString storeLayout(const QString& strFileName);

    // The text edit of the Debug pane: the target of the Qt message handler.
    QPlainTextEdit* debugText() const { return m_poDebugText; }
    QString layoutFilePath() const;
    bool isInitialised() const { return m_bViewInitialised; }
    // The vessels whose survey grid is awaited, in the order their events came.
    QStringList polledVessels() const { return m_lstPolledVessels; }

    void launchMapConfigurator();
    void loadBackgroundChart();
    void updateCloseSurveyMenu();
    void setCurrentSurvey(const QString& strSurvey);

signals:
    void updateStatus(const QString& strStatus, int nCurr, int nMax, bool bOn2D = true, bool bOn3D = true);
    void surveyOpened();
    void scaleUpdated(int nScale);
    void setScale(int nScale);
    void sigSetType(int nModel);
    void stopped();

public slots:
    void show();
    void initView();
    void loadCustomStyle();
    void UpdateUI();
    void measureSlot(QPoint& oFrom, QPoint& oTo);
    void logMsgToFile(const QString& strMsg);
    void showHideDebugWindows();
    void onZoomIn();
    void onZoomOut();
    void onColorChanged(int nIndex);
    void onHandleUlmaMsg(int nID, QString stParams);
    void onSurveyOpenCompleted(QString strSurvey);
    void slotMoveVessel();
    void onStatusItemShow(bool bChecked);
    void onStateChanged(int nState);
    // Survey grids.
    void onActionSurveyClose();
    void onActionSurveyClose(QAction* poAction);
    void onActionLoadExistingGrid();
    void onSurveyCloseCompleted(QString strDatagram);
    void onLoadRealtimeSurveyGrid(QString strVessel);
    // Colour maps, each of one group and colour map, with or without the dialog.
    void colorMapGridDepthDialog();
    void colorMapGridReflectDialog();
    void colorMapGridDepthDiffDialog();
    void colorMapGridCellPointsDialog();
    void colorMapGridStdDeviationDialog();
    void colorMapGridDistanceDialog();
    void colorMapTextStaticDialog();
    void colorMapTextDepthDialog();
    void colorMapProcessDepthDialog();
    void colorMapContourDepthDialog();
    void setColorMapGridDepth();
    void setColorMapGridReflect();
    void colorMapGridDepthDiff();
    void setColorMapGridCellPoints();
    void setColorMapGridStdDeviation();
    // File, layout, overlay and survey commands.
    void onActionSettingsSave();
    void onActionSettingsLoad();
    void onActionLayoutLoad();
    void onActionLayoutSave();
    void onActionLoadTiff();
    void onActionUnloadTiff();
    void onActionRemSurv();
    void onActionPrefToggle();
    void onActionShowFullScreen();
    // Pages and the About window.
    void onActionAbout();
    void onActionNavigateWeb();
    void onActionTvgplOpen();

private slots:
    void updateScaleSlot(int nScale);
    void setScaleSlot();
    void setStatusText(QString strText, int nDelay);
    void setStatusText(QString strText);
    void openColorMapsMenu();
    void openColorMap(QString strGroup, QString strName, bool bOpenDialog);
    void openColorMap(QString strGroup, QString strName);
    void onActionOpenOptionsDialog();
    void onOptionsFinished(int nResult);
    void onPreferencesFinished(int nResult);
    // One poll for the vessel's current survey grid.
    void fetchRemoteGrid(QString strVessel, QTimer* poTimer);
    void showHelp();
    void onToolMenuItemClicked(int nId);

protected:
    void closeEvent(QCloseEvent* poEvent) override;

private:
    void constrInitMembers();
    void constrLogging();
    void constrProjection();
    void constrSurveyManager();
    void constrSettings();
    void constrGui();
    void constrMakeConnections();
    void createMapViewer();
    void createActions();
    void createMenus();
    void createToolBars();
    void createDockWindows();
    void createControlDock();
    void initRunTime();
    void initSubSystems();
    void createWebDock();
    void zoomStep(int nStep);
    // The settings window and the preferences dock: an options page in a control pane.
    CAppDockWidget* createPaneDock(const QString& strTitle, const QString& strObjectName, QWidget* poPage);
    void installActiveWindowFilter();
    // Actions and menus.
    void createPlanningMenu();
    void createUserObjectsMenu();
    void createToolsMenu(QString strPath, bool bUnused);
    void addPaletteAction(QMenu* poMenu, const QString& strText, int nMode);
    void selectSounderModel(int nModel);
    QList<QAction*> colourMapActions() const;
    // Runtime events.
    void onStationAddress(const QString& strAddress);
    // Asks the operator for the main station to follow and hands it to the runtime link.
    void onFollowStation();
    void onPingMode(const QStringList& lstFields);
    void connectViewerErrors(COrlexViewer* poViewer);
    void onViewerError(QString strMessage, int nCode);
    void onViewerRestarted();
    void applyPingMode();
    void onSafetyContour(const QString& strDepth);
    void startRemoteGridPoll(const QString& strVessel);
    void pollRemoteGrids();
    // A warning box of a network event: plain text, not waited for, and only a few at a time.
    void showEventBox(const QString& strTitle, const QString& strText);
    // Hands a projection file to the runtime link on its thread.
    void postProjectionFile(const QString& strFile);
    void stopRuntimeThread();
    // Runs fnDo once after nMs on a timer of this window, so the destructor stops it with the
    // window's other timers (a QTimer::singleShot could still call into a half-destroyed window).
    void runLater(int nMs, std::function<void()> fnDo);

    QString m_strGuiIniPath;
    QDateTime m_dtLastQaLog;
    bool m_bQaNewSession = true;
    bool m_bQaEcho = true;
    bool m_bQaLogFailureShown = false;
    bool m_bViewerLinkLost = false;
    CRuntimeEventLines m_runtimeEventLines;
    QActionGroup* m_poPaletteGroup = nullptr;
    QFile m_oStyleFile;
    // Senders 2, 16, 32, 2048, 64 and 2048.
    std::array<CQtLogger*, 6> m_apoLoggers{};
    std::array<CQtLogger*, 2> m_apoSurveyLoggers{};
    CQaSurveyManager* m_poSurveyManager = nullptr;
    std::unique_ptr<CGeneralStore> m_poGeneralStore;
    QString m_strStationAddress;
    CQaMapViewer* m_poMapViewer = nullptr;
    COutputWindow* m_poOutputDock = nullptr;
    COutputWindow* m_poDebugDock = nullptr;
    QPlainTextEdit* m_poDebugText = nullptr;
    CColorMappingPane* m_poColorMappingPane = nullptr;
    CAppDockWidget* m_poSettingsDock = nullptr;
    CAppDockWidget* m_poControlDock = nullptr;
    QLabel* m_poClockLabel = nullptr;
    QLineEdit* m_poScaleEdit = nullptr;
    CAppDockWidget* m_poWebDock = nullptr;
    QWebEngineView* m_poWebView = nullptr;
    QAction* m_poFollowStationAction = nullptr; // on the web dock: shows and changes the followed station
    QString m_strDataFolder;
    QString m_strLayoutFile;
    int m_nStationMode = 4;
    CUlmaRuntime* m_poRuntime = nullptr;
    QThread m_oRuntimeThread;
    StatusInformationWidget* m_poStatusInfo = nullptr;
    // Actions and menus of the window's command set; null where not built.
    QAction* m_poActionZoomIn = nullptr;
    QAction* m_poActionZoomOut = nullptr;
    QAction* m_poActionExit = nullptr;
    QAction* m_poActionLoadGrid = nullptr;
    QAction* m_poActionLoadTiff = nullptr;
    QAction* m_poActionUnloadTiff = nullptr;
    QAction* m_poActionBackgroundChart = nullptr;
    QAction* m_poActionShowDebug = nullptr;
    QAction* m_poActionHelp = nullptr;
    QAction* m_poActionLayoutSave = nullptr;
    QAction* m_poActionLayoutLoad = nullptr;
    QAction* m_poActionColourMaps = nullptr;
    QAction* m_poActionGrid = nullptr;
    QAction* m_poActionColourDepth = nullptr;
    QAction* m_poActionColourReflect = nullptr;
    QAction* m_poActionColourDepthDiff = nullptr;
    QAction* m_poActionColourCellPoints = nullptr;
    QAction* m_poActionColourStdDev = nullptr;
    QAction* m_poActionReloadStyle = nullptr;
    QAction* m_poActionAbout = nullptr;
    QAction* m_poActionTvgpl = nullptr;
    QAction* m_poActionCorvaneDisplay = nullptr;
    QAction* m_poActionPreferences = nullptr;
    QAction* m_poActionSettings = nullptr;
    QAction* m_poActionWeb = nullptr;
    QAction* m_poActionMinimize = nullptr;
    QAction* m_poActionFullScreen = nullptr;
    QAction* m_poActionClose = nullptr;
    QAction* m_poActionPrefToggle = nullptr;
    QAction* m_poActionRemSurv = nullptr;
    QAction* m_poActionMapConfigurator = nullptr;
    QAction* m_poNoSurveyAction = nullptr;
    QActionGroup* m_poSounderGroup = nullptr;
    QMenu* m_poFileMenu = nullptr;
    QMenu* m_poSounderMenu = nullptr;
    QMenu* m_poSurveyCloseMenu = nullptr;
    QMenu* m_poViewMenu = nullptr;
    QMenu* m_poPaletteMenu = nullptr;
    QMenu* m_poColourSetupMenu = nullptr;
    QMenu* m_poToolsMenu = nullptr;
    QMenu* m_poPlanningMenu = nullptr;
    QMenu* m_poUserObjectsMenu = nullptr;
    QMenu* m_poHelpMenu = nullptr;
    QMenu* m_poColourMapMenu = nullptr;
    // Tool id to a list holding the tool's command.
    QMap<int, QStringList> m_mapToolCommands;
    int m_nStyleMode = 0;
    int m_nStyleScale = 1;
    // Runtime events and survey grids.
    bool m_bStateChanged = false;
    QTimer* m_poRemoteGridTimer = nullptr;
    // Event floods: one pending page reload, ping-mode fields applied once per GUI frame.
    QTimer* m_poStationReloadTimer = nullptr;
    QTimer* m_poPingModeTimer = nullptr;
    QStringList m_lstPendingPingMode;
    QStringList m_lstPolledVessels;
    QList<QPointer<QMessageBox>> m_lstEventBoxes;
    bool m_bFirstRealtimeGrid = true;
    QStringList m_lstLoadedRealtimeGrids;
    QString m_strCurrentSurvey;
    QStringList m_lstRecentSurveys;
    // Dialogs of the commands; the preferences dialog is not built in this system.
    COptionsDialog* m_poOptionsDialog = nullptr;
    QDialog* m_poPreferencesDialog = nullptr;
    // The projection file chosen at start-up, and whether its transformation was made.
    QString m_strProjFile;
    bool m_bProjectionValid = false;
    // Settings loaded and layout restored: only then does closing store them.
    bool m_bViewInitialised = false;
    bool m_bClosed = false;
    bool m_bNativeWatched = false;
};
