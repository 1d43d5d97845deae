// The main window's tool bar, docks, panes, style, QA log, layout files and status texts.
#include "CorvMainWindow.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "MainWindowText.h"
#include "PropertiesApplication.h"
#include "PropertiesSurvey.h"
#include "StatusInformationWidget.h"

#include "MapView/ColorMappingPane.h"
#include "QtAppFramework/AppDockWidget.h"
#include "QtAppFramework/ControlPane.h"
#include "QtAppFramework/LayoutFile.h"
#include "QtAppFramework/LoggingManager.h"
#include "QtAppFramework/OutputWindow.h"
#include "QtAppFramework/UiStyle.h"
#include "platform/paths.h"

#include <QAction>
#include <QCoreApplication>
#include <QDockWidget>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTextStream>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace {

const char* const s_szLayoutExtension = ".cvn";
const char* const s_szQaLogFile = "C:/Temp/QELQA_Log.txt";

void coupleActionToDock(QAction* poAction, QDockWidget* poDock)
{
    if (!poAction || !poDock)
        return;
    poAction->setChecked(poDock->isVisible());
    QObject::connect(poAction, &QAction::triggered, poDock, &QWidget::setVisible);
    QObject::connect(poDock, &QDockWidget::visibilityChanged, poAction, &QAction::setChecked);
}

// Gives the bottom panes their height back when a window that was made lower grows again: the
// main window's layout takes every pixel from them when it shrinks and gives every pixel to the
// map when it grows. Watches the window's resize before its layout does (application filter).
class CBottomDockKeeper : public QObject {
public:
    explicit CBottomDockKeeper(QMainWindow* poWindow) : QObject(poWindow), m_poWindow(poWindow)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~CBottomDockKeeper() override
    {
        if (QCoreApplication* poApp = QCoreApplication::instance())
            poApp->removeEventFilter(this);
    }

    bool eventFilter(QObject* poWatched, QEvent* poEvent) override
    {
        if (poWatched != m_poWindow || poEvent->type() != QEvent::Resize)
            return false;
        const auto* poResize = static_cast<const QResizeEvent*>(poEvent);
        const int nOld = poResize->oldSize().height();
        const int nNew = poResize->size().height();
        if (nOld <= 0 || nNew == nOld)
            return false;
        if (nNew < nOld) {
            // The heights as the operator left them, before the layout squeezes them.
            if (m_lstDocks.isEmpty()) {
                m_nFullHeight = nOld;
                for (QDockWidget* poDock : m_poWindow->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                    if (poDock->isVisible() && !poDock->isFloating()
                        && m_poWindow->dockWidgetArea(poDock) == Qt::BottomDockWidgetArea) {
                        m_lstDocks << poDock;
                        m_lstHeights << poDock->height();
                    }
                }
            }
            return false;
        }
        if (m_lstDocks.isEmpty())
            return false;
        // Grown: the panes get their share of the height back, all of it at the former height.
        QList<QDockWidget*> lstDocks;
        QList<int> lstHeights;
        const double dShare = std::min(1.0, double(nNew) / m_nFullHeight);
        for (int i = 0; i < m_lstDocks.size(); ++i) {
            if (m_lstDocks.at(i) && m_lstDocks.at(i)->isVisible()) {
                lstDocks << m_lstDocks.at(i);
                lstHeights << std::max(1, int(m_lstHeights.at(i) * dShare));
            }
        }
        if (nNew >= m_nFullHeight) {
            m_lstDocks.clear();
            m_lstHeights.clear();
        }
        QPointer<QMainWindow> poWindow(m_poWindow);
        QTimer::singleShot(0, m_poWindow, [poWindow, lstDocks, lstHeights] {
            if (poWindow)
                poWindow->resizeDocks(lstDocks, lstHeights, Qt::Vertical);
        });
        return false;
    }

private:
    QMainWindow* m_poWindow;
    QList<QPointer<QDockWidget>> m_lstDocks;
    QList<int> m_lstHeights;
    int m_nFullHeight = 0;
};

} // namespace

void CMainWindow::createToolBars()
{
    QToolBar* poBar = createLogoToolBar(QStringLiteral("CORV"));
    addToolBar(poBar);

    m_poClockLabel = new QLabel(this);
    m_poClockLabel->setWordWrap(true);
    m_poClockLabel->setStyleSheet(QStringLiteral("font-size: 8pt;"));
    m_poClockLabel->setFixedWidth(70);
    m_poClockLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    poBar->addWidget(m_poClockLabel);
    auto* poClock = new QTimer(this);
    connect(poClock, &QTimer::timeout, this, &CMainWindow::UpdateUI, Qt::DirectConnection);
    poClock->start(1000);
    UpdateUI();

    m_poScaleEdit = new QLineEdit(this);
    m_poScaleEdit->setFixedWidth(60);
    m_poScaleEdit->setAlignment(Qt::AlignRight);
    m_poScaleEdit->setToolTip(tr("Background map scale"));
    m_poScaleEdit->setEnabled(true);
    m_poScaleEdit->setText(QStringLiteral("10000"));
    poBar->addWidget(m_poScaleEdit);
    connect(this, SIGNAL(scaleUpdated(int)), this, SLOT(updateScaleSlot(int)));
    connect(m_poScaleEdit, SIGNAL(editingFinished()), this, SLOT(setScaleSlot()));

    m_poActionZoomIn = new QAction(QIcon(QStringLiteral(":/uistyle/md/action/ic_zoom_in_24px.svg")), tr("Zoom In"), this);
    m_poActionZoomIn->setToolTip(tr("Zoom In"));
    connect(m_poActionZoomIn, &QAction::triggered, this, &CMainWindow::onZoomIn);
    m_poActionZoomOut = new QAction(QIcon(QStringLiteral(":/uistyle/md/action/ic_zoom_out_24px.svg")), tr("Zoom Out"), this);
    m_poActionZoomOut->setToolTip(tr("Zoom Out"));
    connect(m_poActionZoomOut, &QAction::triggered, this, &CMainWindow::onZoomOut);
    poBar->addAction(m_poActionZoomIn);
    poBar->addAction(m_poActionZoomOut);
    poBar->addSeparator();

    auto* poSpacer = new QWidget(this);
    poSpacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    poSpacer->setVisible(true);
    poSpacer->setObjectName(QStringLiteral("toolBarSpacer"));
    poBar->addWidget(poSpacer);

    if (m_poActionPrefToggle)
        poBar->addAction(m_poActionPrefToggle);
}

void CMainWindow::UpdateUI()
{
    if (m_poClockLabel)
        m_poClockLabel->setText(QDateTime::currentDateTimeUtc().toString(Qt::ISODate).replace(QLatin1Char('T'), QLatin1Char('\n')));
}

CAppDockWidget* CMainWindow::createPaneDock(const QString& strTitle, const QString& strObjectName, QWidget* poPage)
{
    auto* poDock = new CAppDockWidget(strTitle, nullptr, Qt::WindowFlags(), Qt::DockWidgetAreas(15));
    poDock->setObjectName(strObjectName);
    poDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    poDock->setContentsMargins(1, 0, 0, 0);
    poDock->setWidget(poPage);
    return poDock;
}

namespace {

// A widget with a control pane that shows one options page.
QWidget* createControlPage(QWidget* poWindow, CSettingsNodeComponent* poNode)
{
    auto* poPage = new QWidget();
    auto* poLayout = new QHBoxLayout(poPage);
    poLayout->setSpacing(4);
    poLayout->setContentsMargins(0, 4, 0, 4);
    auto* poPane = new CControlPane(poWindow);
    poLayout->addWidget(poPane);
    poPane->addNode(poNode);
    poPane->activate();
    return poPage;
}

} // namespace

void CMainWindow::createDockWindows()
{
    m_poOutputDock = new COutputWindow(tr("Output"), nullptr, Qt::WindowFlags(), Qt::DockWidgetAreas(15));
    m_poOutputDock->setObjectName(QStringLiteral("OutputGeneral"));
    addDockWidget(Qt::BottomDockWidgetArea, m_poOutputDock);
    if (CLoggingManager* poRouter = CLoggingManager::instance())
        poRouter->addOutput(1, m_poOutputDock);

    m_poDebugDock = new COutputWindow(tr("Debug"), nullptr, Qt::WindowFlags(), Qt::DockWidgetAreas(15));
    m_poDebugDock->setObjectName(QStringLiteral("OutputDebug"));
    addDockWidget(Qt::BottomDockWidgetArea, m_poDebugDock);
    m_poDebugText = m_poDebugDock->textEdit();
    // The check mark follows the pane, also when a layout or the pane's own button hides it.
    if (m_poActionShowDebug) {
        m_poActionShowDebug->setChecked(!m_poDebugDock->isHidden());
        connect(m_poDebugDock, &QDockWidget::visibilityChanged, m_poActionShowDebug, &QAction::setChecked);
    }

    m_poColorMappingPane = new CColorMappingPane(nullptr);
    connect(this, SIGNAL(surveyOpened()), m_poColorMappingPane, SLOT(updateModel()));

    new CBottomDockKeeper(this);

    m_poSettingsDock = createPaneDock(tr("Settings"), QStringLiteral("settingsDockWidget"),
                                      createControlPage(this, new CPropertiesApplication(tr("Application"), nullptr)));
    coupleActionToDock(m_poActionSettings, m_poSettingsDock);
}

void CMainWindow::createControlDock()
{
    m_poControlDock = createPaneDock(tr("Preferences"), QStringLiteral("controlDockWidget"),
                                     createControlPage(this, new CPropertiesSurvey(tr("Survey"), nullptr)));
    addDockWidget(Qt::RightDockWidgetArea, m_poControlDock);
    // Room for the page's labels until a layout says otherwise.
    resizeDocks({m_poControlDock}, {340}, Qt::Horizontal);
    coupleActionToDock(m_poActionPreferences, m_poControlDock);
}

void CMainWindow::loadCustomStyle()
{
    initUiStyle();
    const QString strUserStyle = platform::toNativePath(programDataPath() + QStringLiteral("userStyle.css"));
    m_oStyleFile.setFileName(QFile::exists(strUserStyle) ? strUserStyle : QStringLiteral(":/style.css"));
    applyStyleSheet(&m_oStyleFile, 0, 1);
    applyStyleClasses(this);
}

void CMainWindow::showHideDebugWindows()
{
    CLoggingManager* poRouter = CLoggingManager::instance();
    if (!poRouter || !m_poActionShowDebug)
        return;
    const bool bHidden = !m_poActionShowDebug->isChecked();
    poRouter->setHidden(bHidden);
    if (m_poDebugDock)
        m_poDebugDock->setHidden(bHidden);
}

void CMainWindow::logMsgToFile(const QString& strMsg)
{
    if (m_bQaEcho && (strMsg.contains(QLatin1String(" - OK : ")) || strMsg.contains(QLatin1String(" - Init"))))
        qDebug().noquote() << strMsg;
    const QDateTime dtNow = QDateTime::currentDateTime();
    const QString strEntry = qaLogEntry(strMsg, dtNow, m_dtLastQaLog, m_bQaNewSession);
    m_bQaNewSession = false;
    m_dtLastQaLog = dtNow;

    const QString strPath = platform::toNativePath(QLatin1String(s_szQaLogFile));
    QFile oFile(strPath);
    // A fresh installation has no folder for the QA log yet.
    if (!oFile.exists())
        QDir().mkpath(QFileInfo(strPath).absolutePath());
    const QIODevice::OpenMode eMode = oFile.exists() ? QIODevice::Append | QIODevice::Text
                                                     : QIODevice::WriteOnly | QIODevice::Text;
    if (!oFile.open(eMode)) {
        // Said once per run, not for every line.
        if (!m_bQaLogFailureShown) {
            m_bQaLogFailureShown = true;
            qDebug().noquote() << QStringLiteral("CMainWindow::logMsgToFile - Unable to log info to %1 (%2): %3")
                                      .arg(QLatin1String(s_szQaLogFile), oFile.errorString(), strEntry);
        }
        return;
    }
    QTextStream oStream(&oFile);
    oStream << strEntry << "\n";
}

QString CMainWindow::restoreLayout(const QString& strFileName)
{
    return CLayoutFile::load(this, CLayoutFile::completeName(strFileName, QLatin1String(s_szLayoutExtension)));
}

QString CMainWindow::storeLayout(const QString& strFileName)
{
    return CLayoutFile::save(this, CLayoutFile::completeName(strFileName, QLatin1String(s_szLayoutExtension)));
}

void CMainWindow::updateScaleSlot(int nScale)
{
    if (m_poScaleEdit)
        m_poScaleEdit->setText(QStringLiteral("1:") + QString::number(nScale));
}

void CMainWindow::setScaleSlot()
{
    int nScale = 0;
    if (m_poScaleEdit && scaleFromText(m_poScaleEdit->text(), nScale))
        emit setScale(nScale);
}

void CMainWindow::zoomStep(int nStep)
{
    int nScale = 0;
    if (m_poScaleEdit && scaleFromText(m_poScaleEdit->text(), nScale))
        emit setScale(nStep);
}

void CMainWindow::onZoomIn()
{
    zoomStep(-1);
}

void CMainWindow::onZoomOut()
{
    zoomStep(1);
}

void CMainWindow::onStatusItemShow(bool bChecked)
{
    auto* poAction = qobject_cast<QAction*>(sender());
    if (!poAction)
        return;
    const int nItem = poAction->data().toInt();
    if (m_poStatusInfo)
        m_poStatusInfo->setItemVisible(nItem, bChecked);
    GuiIni::setValue(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("StatusField_%1").arg(nItem), bChecked);
}

void CMainWindow::setStatusText(QString strText, int nDelay)
{
    statusBar()->showMessage(strText, nDelay);
}

void CMainWindow::setStatusText(QString strText)
{
    setStatusText(strText, 0);
}
