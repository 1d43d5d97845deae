#include "CorvMainWindow.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "StationPage.h"
#include "MainWindowCommands.h"
#include "SettingsApplication.h"
#include "SettingsMapViewer.h"

#include "MapView/ColorMappingPane.h"
#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"
#include "MapView/QaMapViewer.h"
#include "MapView/QaSurveyManager.h"
#include "MapView/SettingsSurvey.h"
#include "OrlexViewer/OrlexViewer.h"
#include "Projection/Projection.h"
#include "QtAppFramework/AppDockWidget.h"
#include "QtAppFramework/GeneralStore.h"
#include "QtAppFramework/Logger.h"
#include "QtAppFramework/LoggingManager.h"
#include "QtAppFramework/QtLogger.h"
#include "QtAppFramework/SettingsLayout.h"
#include "QtAppFramework/SettingsLogging.h"
#include "QtAppFramework/SettingsManager.h"
#include "QtAppFramework/UiStyle.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"
#include "platform/window_watch.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QAction>
#include <QHostAddress>
#include <QInputDialog>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDir>
#include <QLayout>
#include <QLoggingCategory>
#include <QMenu>
#include <QStatusBar>
#include <QTextStream>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

namespace {

// The window never gets smaller than its panes need (and never below 640 x 480): below that the
// main window's layout lays the panes over each other and the map pane, with the viewer's window,
// over the menus.
void fitMinimumToPanes(QMainWindow* poWindow)
{
    poWindow->setMinimumSize(QSize(640, 480).expandedTo(poWindow->layout()->minimumSize()));
}

const log4cplus::Logger& mainLogger()
{
    static const log4cplus::Logger oLogger = log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Qel5Main"));
    return oLogger;
}

void logInfo(const char* szText)
{
    LOG4CPLUS_INFO(mainLogger(), szText);
}

const char* const s_szProjectionFile = "qel_projv6.txt";
const char* const s_szDefaultProjectionFile = "corv_projv6.txt";
const char* const s_szFallbackLayout = "qamapview.default.layout.cvn";
const char* const s_szViewerName = "dremm";

// The sender ids of the window's loggers, in order.
constexpr int s_aLoggerSenders[] = {2, 16, 32, 2048, 64, 2048};
constexpr int MapViewLogger = 4;
constexpr int RuntimeLogger = 5;

QString runtimeGroup()
{
    return QLatin1String(GuiIni::GroupRuntime);
}

} // namespace

CMainWindow::CMainWindow(int argc, char* argv[]) : QMainWindow(nullptr)
{
    m_strGuiIniPath = guiIniPath();
    g_strGuiIniPath = m_strGuiIniPath.toLocal8Bit().toStdString();
    qDebug() << "Init database";
    constrInitMembers();
    constrLogging();
    constrProjection();

    logInfo("sleep some on first to wait for Orlex init");
    QThread::sleep(2);
    logInfo("Create COrlexViewer");
    COrlexViewer::instance(QStringLiteral("dremmCorv"));
    logInfo("COrlexViewer Created");

    constrSurveyManager();
    constrSettings();

    // The processing station's address; the stored value when there is one, since the groups
    // are loaded from the store only later.
    QVariant vAddress;
    if (CSettingsManager* poManager = CSettingsManager::instance())
        poManager->getValue(MapViewer, CSettingsMapViewer::QEL5PCAddr, vAddress, false);
    m_poGeneralStore->beginGroup(tr("MapViewer"));
    QVariant vStored;
    m_poGeneralStore->read(QStringLiteral("QEL5PCAddr"), vStored);
    m_poGeneralStore->endGroup();
    if (vStored.isValid())
        vAddress = vStored;
    m_strStationAddress = vAddress.toString();
    if (m_strStationAddress.size() < 2)
        m_strStationAddress = QStringLiteral("127.0.0.1");
    // A main station pinned by the installation is the one followed from the start.
    const QString strPinned = GuiIni::value(runtimeGroup(), QStringLiteral("MainStationAddress"), QString()).toString().trimmed();
    if (!QHostAddress(strPinned).isNull())
        m_strStationAddress = strPinned;

    constrGui();
    qDebug() << "constrOptionalSubsystems";
    constrMakeConnections();
    initRunTime();

    setWindowTitle(sounderWindowTitle(GuiIni::value(runtimeGroup(), QStringLiteral("CorvModel"), 2200).toInt()));

    if (m_poRuntime)
        connect(m_poRuntime, &CUlmaRuntime::sigToggleFollowShip, this, &CMainWindow::slotMoveVessel,
                Qt::QueuedConnection);

    // Read and without effect.
    ReadArg(argc, argv, "-norestart");

    initSubSystems();
    setWindowState(Qt::WindowActive);
    installActiveWindowFilter();
    installEventFilter(this);
}

CMainWindow::~CMainWindow()
{
    stopRuntimeThread();
    // The children torn down after this body may run the event loop (the viewer's close wait):
    // the window's own timers must not call into it half destroyed.
    for (QTimer* poTimer : findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        poTimer->stop();
    // Parentless windows of the main window.
    delete m_poSettingsDock;
    delete m_poColorMappingPane;
}

void CMainWindow::runLater(int nMs, std::function<void()> fnDo)
{
    auto* poTimer = new QTimer(this);
    poTimer->setSingleShot(true);
    connect(poTimer, &QTimer::timeout, this, [poTimer, fnDo = std::move(fnDo)] {
        poTimer->deleteLater();
        fnDo();
    });
    poTimer->start(nMs);
}

void CMainWindow::stopRuntimeThread()
{
    if (!m_oRuntimeThread.isRunning())
        return;
    // The runtime stops its services before its thread ends; a second shutdown does nothing.
    if (m_poRuntime)
        QMetaObject::invokeMethod(m_poRuntime, &CUlmaRuntime::shutdown, Qt::BlockingQueuedConnection);
    m_oRuntimeThread.quit();
    m_oRuntimeThread.wait();
    m_poRuntime = nullptr;
}

void CMainWindow::constrInitMembers()
{
    qDebug() << "constrInitMembers";
    m_bQaNewSession = true;
    m_bQaEcho = true;
}

void CMainWindow::constrLogging()
{
    qDebug() << "constrLogging";
    CLoggingManager* poRouter = CLoggingManager::instance();
    if (poRouter) {
        poRouter->registerSender(1, tr("MainApp"));
        poRouter->registerSender(2, tr("SurDisp"));
        poRouter->registerSender(4, tr("SurvMgr"));
        poRouter->registerSender(2048, tr("LineProc"));
        poRouter->registerSender(64, tr("MapView"));
        poRouter->registerSender(2048, tr("UlmaExecGui"));
        poRouter->setServerAddress(QStringLiteral("127.0.0.1"));
        poRouter->setServerPort(11965);
        poRouter->setOutputDeviceMask(6);
        poRouter->setMsgTypeMask(0xFFFF);
        for (const int nSender : {1, 2, 4, 64, 2048})
            poRouter->setSenderOutputs(nSender, 1);
        poRouter->log(tr("Logging subsystem initialized..."), 1, 1);
    }
    for (std::size_t i = 0; i < m_apoLoggers.size(); ++i) {
        auto* poLogger = new CQtLogger(s_aLoggerSenders[i], nullptr);
        if (poRouter)
            connect(poLogger, SIGNAL(msg(QString, uint, uint)), poRouter, SLOT(log(QString, uint, uint)));
        poLogger->setFlags(CLogger::Gui);
        m_apoLoggers[i] = poLogger;
    }
}

void CMainWindow::constrProjection()
{
    const QString strDataFolder = programDataPath();
    m_strProjFile = strDataFolder + QLatin1Char('/') + QLatin1String(s_szProjectionFile);
    if (!QFile::exists(platform::toNativePath(m_strProjFile))) {
        m_strProjFile = strDataFolder + QLatin1Char('/') + QLatin1String(s_szDefaultProjectionFile);
        const QString strTarget = platform::toNativePath(m_strProjFile);
        // A fresh installation has no data folder yet.
        QDir().mkpath(platform::toNativePath(strDataFolder));
        const QString strLocal = QStringLiteral("./") + QLatin1String(s_szDefaultProjectionFile);
        if (QFile::exists(strLocal)) {
            QFile::remove(strTarget);
            QFile::copy(strLocal, strTarget);
        } else {
            QFile oFile(strTarget);
            if (oFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
                QTextStream oStream(&oFile);
                oStream << "<QEL_Projection>\n" << "EPSG:4326\n" << "+proj=merc +datum=WGS84 +units=cm\n";
            }
        }
    }
    if (CProjection* poProjection = CProjection::instance()) {
        poProjection->projFile = m_strProjFile.toLocal8Bit().toStdString();
        poProjection->readProjectionFile(poProjection->projFile);
        m_bProjectionValid = poProjection->createTransformation() == 0;
    }
}

void CMainWindow::constrSurveyManager()
{
    qDebug() << "constrSurveyManager";
    m_poSurveyManager = CQaSurveyManager::instance(nullptr);
    if (!m_poSurveyManager)
        return;
    connect(m_poSurveyManager, SIGNAL(msgToFile(const QString&)), this, SLOT(logMsgToFile(const QString&)));
    connect(m_poSurveyManager, SIGNAL(signalSurveyOpenCompleted(QString)), this, SLOT(onSurveyOpenCompleted(QString)));
    m_poSurveyManager->setRealTime(true);
}

void CMainWindow::constrSettings()
{
    qDebug() << "constrSettings";
    m_poGeneralStore = std::make_unique<CGeneralStore>();
    CSettingsManager* poManager = CSettingsManager::instance();
    if (!poManager)
        return;
    poManager->addGroup(new CSettingsApplication(Application, tr("Application"), this, nullptr));
    poManager->addGroup(new CSettingsSurvey(Survey, tr("Survey"), nullptr));
    poManager->addGroup(new CSettingsLayout(Layout, tr("Layout"), this, nullptr));
    poManager->addGroup(new CSettingsLogging(Logging, tr("Logging"), this));
    poManager->addGroup(new CSettingsMapViewer(MapViewer, tr("MapViewer"), this));
}

void CMainWindow::constrGui()
{
    qDebug() << "constrGui";
    createMapViewer();
    createActions();
    createMenus();
    createToolBars();
    statusBar()->showMessage(tr("Ready"), 0);
    createDockWindows();
    createControlDock();
    resize(1280, 960);
    setMinimumSize(640, 480);
    fitMinimumToPanes(this);
    loadCustomStyle();
}

void CMainWindow::createMapViewer()
{
    m_poMapViewer = new CQaMapViewer(64, 128, &m_apoLoggers[MapViewLogger], 2, nullptr);
    connect(m_poMapViewer, SIGNAL(msgToFile(const QString&)), this, SLOT(logMsgToFile(const QString&)));
    connect(this, SIGNAL(updateStatus(const QString&, int, int, bool, bool)), m_poMapViewer,
            SLOT(updateStatus(const QString&, int, int, bool, bool)));
    connect(m_poMapViewer, &CQaMapViewer::changeColormap, this, &CMainWindow::onColorChanged);
    connect(m_poMapViewer, &CQaMapViewer::measureDistance, this, &CMainWindow::measureSlot);
    // The map view's status texts (point-cloud loading) reach the status line.
    connect(m_poMapViewer, &CQaMapViewer::sigSetStatusText, this,
            QOverload<QString, int>::of(&CMainWindow::setStatusText));
    if (m_poSurveyManager)
        connect(m_poSurveyManager, &CQaSurveyManager::newProjection, m_poMapViewer, &CQaMapViewer::onNewProjection);
    setCentralWidget(m_poMapViewer);
}

void CMainWindow::constrMakeConnections()
{
    qDebug() << "constrMakeConnections";
    CSettingsManager* poManager = CSettingsManager::instance();
    CSettingsGroup* poSurvey = poManager ? poManager->findGroup(Survey) : nullptr;
    if (poSurvey && m_poMapViewer)
        connect(poSurvey, SIGNAL(gridChanged()), m_poMapViewer, SIGNAL(gridChanged()));
}

void CMainWindow::initRunTime()
{
    qDebug() << "initRunTime";
    m_nStationMode = 4;
    m_poRuntime = CUlmaRuntime::instance(m_nStationMode);
    if (!m_poRuntime)
        return;
    m_poRuntime->moveToThread(&m_oRuntimeThread);
    connect(&m_oRuntimeThread, &QThread::finished, m_poRuntime, &QObject::deleteLater);
    m_poRuntime->setLogger(&m_apoLoggers[RuntimeLogger]);
    connect(m_poRuntime, &CUlmaRuntime::relayToMapView, this, &CMainWindow::onHandleUlmaMsg);
    connect(this, &CMainWindow::stopped, m_poRuntime, &CUlmaRuntime::shutdown);
    connect(this, &CMainWindow::sigSetType, m_poRuntime, &CUlmaRuntime::setCorvGrp);
    m_oRuntimeThread.start();
    // The runtime measures with the projection of the start-up file.
    if (m_bProjectionValid) {
        const std::string strFile = m_strProjFile.toLocal8Bit().toStdString();
        CUlmaRuntime* poRuntime = m_poRuntime;
        QMetaObject::invokeMethod(poRuntime, [poRuntime, strFile] { poRuntime->setProjFile(strFile); },
                                  Qt::QueuedConnection);
    }
}

void CMainWindow::initSubSystems()
{
    qDebug() << "initSubSystems";
    if (!m_poMapViewer)
        return;
    if (COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName))) {
        connect(poViewer, SIGNAL(scaleUpdated(int)), this, SLOT(updateScaleSlot(int)));
        connect(this, SIGNAL(setScale(int)), poViewer, SLOT(setScale(int)));
        connectViewerErrors(poViewer);
    }
    if (m_poPlanningMenu)
        m_poPlanningMenu->setEnabled(true);
    runLater(5000, [this] { initView(); });
}

void CMainWindow::installActiveWindowFilter()
{
    if (QWidget* poActive = QApplication::activeWindow())
        poActive->installEventFilter(this);
    else
        qDebug() << "Failed to get active window. Starting timer for retry...";
    runLater(500, [this] {
        if (QWidget* poActive = QApplication::activeWindow())
            poActive->installEventFilter(this);
    });
}

bool CMainWindow::eventFilter(QObject* poWatched, QEvent* poEvent)
{
    if (poEvent->type() == QEvent::CursorChange) {
        activateWindow();
        return false;
    }
    return QMainWindow::eventFilter(poWatched, poEvent);
}

void CMainWindow::show()
{
    QWidget::show();
    if (m_bNativeWatched || !windowHandle())
        return;
    m_bNativeWatched = true;
    // A window destroyed by the window system cannot come back: the program ends as if it had
    // been closed. Qt still addresses the gone window on the way out; those errors say nothing.
    platform::watchNativeDestruction(windowHandle(), [this] {
        qWarning("The main window was destroyed by the window system; the program ends");
        QLoggingCategory::setFilterRules(QStringLiteral("qt.qpa.xcb.warning=false\nqt.qpa.xcb.critical=false"));
        close();
    });
}

void CMainWindow::initView()
{
    if (m_bViewInitialised || m_bClosed)
        return;
    createWebDock();

    COrlexViewer* poViewer = COrlexViewer::instance(QLatin1String(s_szViewerName));
    if (poViewer) {
        poViewer->initViewer(3);
        poViewer->initPlanning(false);
        poViewer->initObjects();
    }

    qDebug() << "constrInitApp";
    CSettingsManager* poManager = CSettingsManager::instance();
    if (poManager)
        poManager->load(m_poGeneralStore.get());
    m_strDataFolder = QDir(platform::toNativePath(programDataPath())).absolutePath();
    if (poManager)
        poManager->applyAll(true);

    m_strLayoutFile = GuiIni::value(runtimeGroup(), QStringLiteral("CorvLayoutFile"), QStringLiteral("defaultCorv.cvn"))
                          .toString();
    // Layouts are read from and written to the data folder only.
    if (!isPlainFolderName(m_strLayoutFile)) {
        QString strRefused = tr("CorvLayoutFile \"%1\" in gui.ini is not a file of the data folder; defaultCorv.cvn is used")
                                 .arg(m_strLayoutFile);
        logMsg(strRefused, 4);
        LOG4CPLUS_WARN(mainLogger(), strRefused.toLocal8Bit().constData());
        m_strLayoutFile = QStringLiteral("defaultCorv.cvn");
    }
    const QString strLayout = layoutFilePath();
    QString strError = QFile::exists(strLayout) ? restoreLayout(strLayout)
                                                : restoreLayout(QLatin1String(s_szFallbackLayout));
    if (!strError.isNull())
        logMsg(strError, 4);

    if (poViewer)
        poViewer->initPlanning(true);
    applyStyleSheet(&m_oStyleFile, 0, 1);
    m_bViewInitialised = true;

    // The station address is read when the reload runs: one that arrived in between is not undone.
    if (m_poWebView) {
        runLater(6000, [this] {
            if (m_poWebView)
                m_poWebView->load(QUrl(QStringLiteral("http://%1:8188/%2").arg(m_strStationAddress, QStringLiteral("Pages/CorvaneDisplay.html"))));
        });
    }
}

void CMainWindow::createWebDock()
{
    m_poWebDock = new CAppDockWidget(tr("Corvane Display"), this, Qt::WindowFlags(), Qt::DockWidgetAreas(15));
    const QUrl oUrl(QStringLiteral("http://%1:8188/pages/CorvaneDisplay.html").arg(m_strStationAddress));
    qDebug().noquote() << QStringLiteral("Try to load ") + oUrl.toString();
    m_poWebView = new QWebEngineView(this);
    m_poWebView->setPage(new CStationPage(m_poWebView));
    m_poWebView->load(oUrl);
    m_poWebDock->setWidget(m_poWebView);
    m_poWebDock->setObjectName(QStringLiteral("webDockWidget"));
    m_poWebDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    // Low enough that the window's panes fit at 800 x 600.
    m_poWebDock->setMinimumHeight(150);
    m_poWebDock->setMinimumWidth(200);
    addDockWidget(Qt::RightDockWidgetArea, m_poWebDock);
    // The dock's own menu shows the followed station and lets the operator choose another.
    m_poFollowStationAction = new QAction(tr("Followed Station: %1...").arg(m_strStationAddress), m_poWebDock);
    m_poFollowStationAction->setObjectName(QStringLiteral("followStationAction"));
    connect(m_poFollowStationAction, &QAction::triggered, this, &CMainWindow::onFollowStation);
    m_poWebDock->addAction(m_poFollowStationAction);
    m_poWebDock->setContextMenuPolicy(Qt::ActionsContextMenu);
    fitMinimumToPanes(this);
    if (m_poActionWeb) {
        m_poActionWeb->setChecked(m_poWebDock->isVisible());
        connect(m_poActionWeb, &QAction::triggered, m_poWebDock, &QWidget::setVisible);
        connect(m_poWebDock, &QDockWidget::visibilityChanged, m_poActionWeb, &QAction::setChecked);
    }
}

QString CMainWindow::layoutFilePath() const
{
    return m_strDataFolder + QLatin1Char('/') + m_strLayoutFile;
}

void CMainWindow::closeEvent(QCloseEvent* poEvent)
{
    poEvent->accept();
    if (m_bClosed)
        return;
    m_bClosed = true;
    if (m_poWebView) {
        m_poWebView->deleteLater();
        m_poWebView = nullptr;
    }
    // Before initView has loaded them, the settings and the layout are the defaults: storing
    // them would replace what the operator saved.
    if (m_bViewInitialised) {
        storeLayout(layoutFilePath());
        if (CSettingsManager* poManager = CSettingsManager::instance())
            poManager->save(m_poGeneralStore.get());
    }
    emit stopped();
    // The settings window is a window of its own; the program ends with the main window.
    if (m_poSettingsDock)
        m_poSettingsDock->hide();
    QCoreApplication::quit();
}

void CMainWindow::logMsg(QString& strText, unsigned nLevel)
{
    if (CLoggingManager* poRouter = CLoggingManager::instance())
        poRouter->log(strText, nLevel, 1);
    if (mainLogger().isEnabledFor(log4cplus::INFO_LOG_LEVEL))
        logInfo(strText.toLocal8Bit().constData());
}

void CMainWindow::slotMoveVessel()
{
    if (CMapView2D* poView = CQaMapViewManager::instance()->getMapView2D())
        poView->toggleFollowShip(true);
}

void CMainWindow::measureSlot(QPoint& oFrom, QPoint& oTo)
{
    if (!m_poRuntime)
        return;
    CUlmaRuntime* poRuntime = m_poRuntime;
    const QPoint oA = oFrom;
    const QPoint oB = oTo;
    QMetaObject::invokeMethod(poRuntime, [poRuntime, oA, oB] { poRuntime->measureDistance(oA, oB); },
                              Qt::QueuedConnection);
}
