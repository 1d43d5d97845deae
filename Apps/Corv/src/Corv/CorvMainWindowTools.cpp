// Companion programs and pages: the tools of the Tools menu, the help file, the map objects
// handler, the map configurator, background charts, the processing station's pages and the
// About window.
#include "CorvMainWindow.h"
#include "CorvMainWindowPrivate.h"

#include "Common/GetToken.h"
#include "Common/GuiIni.h"
#include "MainWindowCommands.h"
#include "SettingsApplication.h"

#include "OrlexViewer/OrlexViewer.h"
#include "Projection/Projection.h"
#include "QtAppFramework/AppDockWidget.h"
#include "QtAppFramework/SettingsManager.h"
#include "platform/desktop.h"
#include "platform/paths.h"
#include "platform/process.h"

#include <QAction>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

using corvwindow::dialogFolder;
using corvwindow::runtimeGroup;
using corvwindow::viewer;

namespace {

const char* const s_szTvgplHandler = "tvgplhandler.bat";
const char* const s_szProductName = "Corvane";
const char* const s_szRelease = "Release 5.11";
const char* const s_szReleaseDate = "2023-11-20";
const char* const s_szVersion = "Version 5.11.1 (build 447)";

// A program path with a folder, relative to the working folder: made absolute here, since the
// program starts in another folder.
QString programPath(const QString& strProgram)
{
    const QString strNative = platform::toNativePath(strProgram);
    if (strNative.contains(QLatin1Char('/')) && QDir::isRelativePath(strNative))
        return QDir::current().absoluteFilePath(strNative);
    return strNative;
}

} // namespace

QString corvwindow::dialogFolder(const QString& strKey)
{
    const QString strDefault = QString::fromStdString(g_getToken.getTokValueStr("STORAGE_DIR"));
    return platform::toNativePath(GuiIni::value(runtimeGroup(), strKey, strDefault).toString());
}

void CMainWindow::onToolMenuItemClicked(int nId)
{
    qDebug().noquote() << QStringLiteral("Tool item %1 selected").arg(nId);
    const QString strCommand = m_mapToolCommands.value(nId).value(0);
    if (strCommand.isEmpty())
        return;
    const ToolLaunch oLaunch = toolLaunch(strCommand);
    platform::StartOptions oOptions;
    oOptions.program = programPath(oLaunch.strProgram);
    oOptions.arguments = oLaunch.lstArguments;
    oOptions.workingDirectory = oLaunch.strFolder;
    if (!platform::startDetached(oOptions)) {
        QMessageBox oBox(QMessageBox::Information, QStringLiteral("Info"),
                         QStringLiteral("Failed to start tool ") + oLaunch.strName, QMessageBox::Ok);
        oBox.setTextFormat(Qt::PlainText);
        oBox.exec();
    }
}

void CMainWindow::showHelp()
{
    CSettingsManager* poManager = CSettingsManager::instance();
    if (!poManager)
        return;
    QVariant vHelpPath;
    poManager->getValue(Application, CSettingsApplication::HelpPath, vHelpPath, false);
    const QString strHelpPath = platform::toNativePath(vHelpPath.toString());
    const QString strFile = helpFile(vHelpPath.toString(), QCoreApplication::applicationDirPath());
    if (!strFile.isEmpty()) {
        platform::openFile(strFile);
        return;
    }
    const QString strChosen =
        QFileDialog::getOpenFileName(this, tr("Open Help"), strHelpPath, tr("HTML Files (*.htm);;All files (*.*)"));
    if (!strChosen.isEmpty() && QFileInfo(strChosen).isFile()) {
        platform::openFile(strChosen);
        poManager->setValue(Application, CSettingsApplication::HelpPath, strChosen, false);
    } else {
        qDebug() << "CMainWindow::showHelp - WARNING - failed to find help file";
    }
}

void CMainWindow::onActionAbout()
{
    auto* poWindow = new QWidget(nullptr);
    poWindow->setWindowTitle(tr("About"));
    poWindow->setWindowIcon(QIcon(QStringLiteral(":/images/tavrin.ico")));
    poWindow->setWindowModality(Qt::WindowModal);
    poWindow->setAttribute(Qt::WA_DeleteOnClose);
    poWindow->setMinimumSize(200, 100);
    poWindow->setObjectName(QStringLiteral("aboutWindow"));

    auto* poButton = new QPushButton(tr("Ok"), poWindow);
    poButton->setMaximumSize(300, 25);
    connect(poButton, SIGNAL(clicked()), poWindow, SLOT(close()));

    auto* poLabel = new QLabel(poWindow);
    poLabel->setTextFormat(Qt::PlainText);
    poLabel->setAlignment(Qt::AlignCenter);
    poLabel->setText(QStringList{QLatin1String(s_szProductName), QLatin1String(s_szRelease),
                                 QLatin1String(s_szReleaseDate), QLatin1String(s_szVersion),
                                 QStringLiteral("Qt %1").arg(QLatin1String(qVersion()))}
                         .join(QLatin1Char('\n')));

    auto* poLayout = new QVBoxLayout;
    poLayout->addWidget(poLabel, 0, Qt::AlignHCenter);
    poLayout->addWidget(poButton, 0, Qt::AlignHCenter);
    poWindow->setLayout(poLayout);
    // Large enough for its text, centred over the main window.
    poWindow->resize(poWindow->sizeHint().expandedTo(QSize(360, 200)));
    poWindow->move(frameGeometry().center() - poWindow->rect().center());
    poWindow->show();
}

void CMainWindow::onActionTvgplOpen()
{
    const QFileInfo oHandler{QLatin1String(s_szTvgplHandler)};
    if (oHandler.exists()) {
        platform::StartOptions oOptions;
        oOptions.program = oHandler.absoluteFilePath();
        platform::startDetached(oOptions);
        return;
    }
    QMessageBox::warning(this, tr("File not found"), tr("Could not find the file:\n%1").arg(oHandler.absoluteFilePath()),
                         QMessageBox::Ok);
}

void CMainWindow::onActionNavigateWeb()
{
    QObject* poSender = sender();
    if (!poSender || !m_poWebView || !m_poWebDock)
        return;
    const QString strPage = poSender->objectName();
    if (strPage.isEmpty())
        return;
    m_poWebView->load(QUrl(QStringLiteral("http://%1:8188/%2").arg(m_strStationAddress, strPage)));
    m_poWebDock->setWindowTitle(strPage);
    m_poWebDock->show();
}

void CMainWindow::launchMapConfigurator()
{
    // The view centre in projected centimetres; the controller keeps metres.
    double dX = 0;
    double dY = 0;
    if (COrlexViewer* poViewer = viewer()) {
        poViewer->getCenter(dX, dY);
        dX *= 100.0;
        dY *= 100.0;
    }
    QString strEpsg;
    if (CProjection* poProjection = CProjection::instance())
        strEpsg = QString::fromStdString(poProjection->epsgCode());
    bool bOk = false;
    const QString strSource = QInputDialog::getItem(this, QStringLiteral("Server selection"), QStringLiteral("Map source"),
                                                    {QStringLiteral("WMS"), QStringLiteral("WMTS")}, 0, false, &bOk);
    if (!bOk)
        return;
    platform::StartOptions oOptions;
    oOptions.program = programPath(mapConfiguratorProgram());
    oOptions.arguments = mapConfiguratorArguments(strSource, strEpsg, dX, dY);
    const bool bStarted = platform::startDetached(oOptions).has_value();
    qDebug() << "TerrainEditor started " << bStarted;
}

void CMainWindow::loadBackgroundChart()
{
    const QString strFile =
        QFileDialog::getOpenFileName(this, tr("Open terrain file"), dialogFolder(QStringLiteral("MapPath")), tr("terrain (*.terrain)"));
    if (strFile.isEmpty())
        return;
    if (COrlexViewer* poViewer = viewer())
        poViewer->addTerrainFromJson(strFile);
    GuiIni::setValue(runtimeGroup(), QStringLiteral("MapPath"), QFileInfo(strFile).absolutePath());
}
