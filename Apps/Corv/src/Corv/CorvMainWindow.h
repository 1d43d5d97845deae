// The one top-level window: builds, owns and wires the subsystems, keeps the docks, panes and
// settings, and saves the layout and the settings when it is closed.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QThread>

#include <array>

class CAppDockWidget;
class CColorMappingPane;
class CGeneralStore;
class COutputWindow;
class CQaMapViewer;
class CQaSurveyManager;
class CQtLogger;
class CUlmaRuntime;
class QAction;
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

private slots:
    void updateScaleSlot(int nScale);
    void setScaleSlot();
    void setStatusText(QString strText, int nDelay);
    void setStatusText(QString strText);

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
    void stopRuntimeThread();

    QString m_strGuiIniPath;
    QDateTime m_dtLastQaLog;
    bool m_bQaNewSession = true;
    bool m_bQaEcho = true;
    QFile m_oStyleFile;
    // Senders 2, 16, 32, 2048, 64 and 2048.
    std::array<CQtLogger*, 6> m_apoLoggers{};
    std::array<CQtLogger*, 2> m_apoSurveyLoggers{};
    CQaSurveyManager* m_poSurveyManager = nullptr;
    CGeneralStore* m_poGeneralStore = nullptr;
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
    QString m_strDataFolder;
    QString m_strLayoutFile;
    int m_nStationMode = 4;
    CUlmaRuntime* m_poRuntime = nullptr;
    QThread m_oRuntimeThread;
    StatusInformationWidget* m_poStatusInfo = nullptr;
    // Actions and menus of the window's command set; null where not built.
    QAction* m_poActionZoomIn = nullptr;
    QAction* m_poActionZoomOut = nullptr;
    QAction* m_poActionPreferences = nullptr;
    QAction* m_poActionSettings = nullptr;
    QAction* m_poActionWeb = nullptr;
    QAction* m_poActionShowDebug = nullptr;
    // The projection file chosen at start-up, and whether its transformation was made.
    QString m_strProjFile;
    bool m_bProjectionValid = false;
    // Settings loaded and layout restored: only then does closing store them.
    bool m_bViewInitialised = false;
    bool m_bClosed = false;
};
