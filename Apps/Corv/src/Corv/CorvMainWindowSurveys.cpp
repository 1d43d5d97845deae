// Survey grids: the poll for grids of the main station, real-time and existing grids loaded into
// the view, the "Unload Terrain Model" menu and the completion of an open.
#include "CorvMainWindow.h"
#include "CorvMainWindowPrivate.h"

#include "Common/GuiIni.h"
#include "MainWindowCommands.h"

#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "SurveyUtils/SurveyData.h"
#include "TqelRuntime/HandleTracks.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

using corvwindow::viewer;

namespace {

const char* const s_szProjectionFile = "/qel_projv6.txt";
constexpr int RemoteGridLoadDelayMs = 2000;

void logInfo(const char* szText)
{
    LOG4CPLUS_INFO(log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("Qel5Main")), szText);
}

// The last folder of a path the runtime link recorded (a path of the main station).
QString lastFolder(QString strPath)
{
    strPath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir(strPath).dirName();
}

// Empty when the folder holds a terrain model, else the reason it does not.
QString whyNotAGrid(const QString& strNativeFolder)
{
    const QDir oFolder(strNativeFolder);
    const bool bProjection = oFolder.exists(QStringLiteral("qel_projv6.txt")) || oFolder.exists(QStringLiteral("qel_proj.txt"));
    const bool bTerrain = QFileInfo(oFolder.filePath(QStringLiteral("Terrain"))).isDir();
    if (!bTerrain && !bProjection)
        return QObject::tr("it is not a terrain model folder (no \"Terrain\" folder and no projection file).");
    if (!bTerrain)
        return QObject::tr("the terrain model has no \"Terrain\" folder.");
    if (!bProjection)
        return QObject::tr("the terrain model has no projection file (qel_projv6.txt).");
    return QString();
}

} // namespace

void CMainWindow::fetchRemoteGrid(QString strVessel, QTimer* poTimer)
{
    if (!m_poRuntime)
        return;
    const QString strSurvey = m_poRuntime->getVesselGridPath(strVessel);
    if (strSurvey.isEmpty())
        return;
    const QString strFolder = lastFolder(strSurvey);
    if (strVessel.isEmpty())
        return;
    const QString strInfoFile = remoteSurveyInfoFile(strVessel, strFolder);
    const bool bRefused = strInfoFile.isNull();
    if (!bRefused && !QFile::exists(platform::toNativePath(strInfoFile)))
        return;
    // Found, or a survey that no poll can find: this vessel is not polled again until its next
    // survey is announced.
    m_lstPolledVessels.removeAll(strVessel);
    if (poTimer && m_lstPolledVessels.isEmpty())
        poTimer->stop();
    if (bRefused) {
        QString strLine = QStringLiteral("Ignored survey %1 of vessel %2: not a folder name").arg(strSurvey, strVessel);
        logMsg(strLine, 2);
        return;
    }
    runLater(RemoteGridLoadDelayMs, [this, strVessel] { onLoadRealtimeSurveyGrid(strVessel); });
}

void CMainWindow::onLoadRealtimeSurveyGrid(QString strVessel)
{
    logInfo("CMainWindow::onLoadRealtimeSurveyGrid starting");
    if (!m_poRuntime)
        return;
    QString strGrid = m_poRuntime->getVesselGridPath(strVessel);
    if (strGrid.isEmpty())
        return;
    if (m_nStationMode == 4) {
        // The local copy of the main station's folder; a name that is no folder name is refused.
        const QString strFolder = lastFolder(strGrid);
        if (!strFolder.isEmpty() && !strVessel.isEmpty())
            strGrid = remoteGridFolder(strVessel, strFolder);
        if (strGrid.isNull() || strFolder.isEmpty() || strVessel.isEmpty()) {
            QString strLine = QStringLiteral("Ignored survey of vessel %1: not a folder name").arg(strVessel);
            logMsg(strLine, 2);
            return;
        }
    }
    // Loaded again when it was unloaded since (a GeoTIFF of another projection closes every survey).
    COrlexViewer* poOpenViewer = viewer();
    const bool bOpen = poOpenViewer && !poOpenViewer->getDataManager()->findSurvey(strGrid).isEmpty();
    if (m_poSurveyManager && (m_bFirstRealtimeGrid || !bOpen)) {
        if (m_poSurveyManager->surveyLoadGrid(strGrid, true)) {
            updateCloseSurveyMenu();
            m_bFirstRealtimeGrid = false;
            m_lstLoadedRealtimeGrids.append(strGrid);
            if (COrlexViewer* poViewer = viewer())
                poViewer->getDataManager()->setActiveSurvey(strGrid);
            const QString strProjFolder =
                m_nStationMode == 1 ? strGrid : m_poRuntime->getVesselGridPath(m_poRuntime->getVesselId());
            postProjectionFile(strProjFolder + QLatin1String(s_szProjectionFile));
        } else {
            showEventBox(QStringLiteral("Invalid projection"), QStringLiteral("Survey ") + strGrid + QStringLiteral(" has an invalid projection!"));
        }
    }
    logInfo("CMainWindow::onLoadRealtimeSurveyGrid done");
}

void CMainWindow::postProjectionFile(const QString& strFile)
{
    if (!m_poRuntime)
        return;
    CUlmaRuntime* poRuntime = m_poRuntime;
    const std::string strPath = strFile.toUtf8().toStdString();
    QMetaObject::invokeMethod(poRuntime, [poRuntime, strPath] { poRuntime->setProjFile(strPath); }, Qt::QueuedConnection);
}

void CMainWindow::onActionLoadExistingGrid()
{
    const QString strGroup = QLatin1String(GuiIni::GroupGeneralDefs);
    const QString strRemembered = GuiIni::value(strGroup, QStringLiteral("Gridpath"), QString()).toString();
    QString strStart;
    if (!strRemembered.isEmpty()) {
        QDir oDir(platform::toNativePath(strRemembered));
        if (oDir.exists() && oDir.cdUp())
            strStart = oDir.path();
    }
    if (strStart.isEmpty()) {
        // Nothing remembered yet: the grids live below the grid root.
        const QString strRoot = platform::toNativePath(QString::fromStdString(CSurveyData().getGridDataRoot()));
        if (QDir(strRoot).exists())
            strStart = QDir::cleanPath(strRoot);
    }
    QString strFolder =
        QFileDialog::getExistingDirectory(this, tr("Select grid folder"), strStart, QFileDialog::ShowDirsOnly);
    if (strFolder.isEmpty())
        return;
    strFolder = QDir::cleanPath(strFolder);
    GuiIni::setValue(strGroup, QStringLiteral("Gridpath"), strFolder);
    if (!m_poSurveyManager)
        return;

    const QString strWhyNot = whyNotAGrid(platform::toNativePath(strFolder));
    if (!strWhyNot.isEmpty()) {
        QMessageBox::information(this, tr("Open Terrain Model"),
                                 tr("%1 cannot be opened: %2").arg(QDir::toNativeSeparators(strFolder), strWhyNot),
                                 QMessageBox::Ok);
        return;
    }

    const QString strProjFile = strFolder + QLatin1String(s_szProjectionFile);
    if (COrlexViewer* poViewer = viewer()) {
        const QString strOpen = poViewer->getDataManager()->findSurvey(strFolder);
        if (!strOpen.isEmpty()) {
            QMessageBox::information(this, tr("Open Terrain Model"),
                                     tr("%1 is open already.").arg(QDir::toNativeSeparators(strOpen)), QMessageBox::Ok);
            return;
        }
    }
    if (m_poSurveyManager->differsFromLoadedProjection(strProjFile)) {
        QMessageBox::information(this, tr("Projection mismatch"),
                                 tr("Grid has different projecton than loaded grids.\nGrid is not loaded."), QMessageBox::Ok);
        return;
    }
    if (m_poSurveyManager->surveyLoadGrid(strFolder, false)) {
        updateCloseSurveyMenu();
        postProjectionFile(strProjFile);
    }
}

void CMainWindow::updateCloseSurveyMenu()
{
    const QStringList lstNames = m_poSurveyManager ? m_poSurveyManager->getSurveyList() : QStringList();
    if (!m_poSurveyCloseMenu)
        return;
    // The entries go later: this may run inside the triggered signal of one of them.
    for (QAction* poOld : m_poSurveyCloseMenu->actions()) {
        m_poSurveyCloseMenu->removeAction(poOld);
        if (poOld != m_poNoSurveyAction)
            poOld->deleteLater();
    }
    for (const QString& strName : lstNames) {
        auto* poAction = new QAction(QIcon(QStringLiteral(":/images/iconSurveyClose.png")), strName, m_poSurveyCloseMenu);
        poAction->setData(strName);
        poAction->setStatusTip(QStringLiteral("Close %1").arg(strName));
        m_poSurveyCloseMenu->addAction(poAction);
    }
    if (lstNames.isEmpty())
        m_poSurveyCloseMenu->addAction(m_poNoSurveyAction);
}

void CMainWindow::onActionSurveyClose(QAction* poAction)
{
    if (!poAction || poAction == m_poNoSurveyAction)
        return;
    const QString strSurvey = poAction->data().toString();
    if (!m_poSurveyManager)
        return;
    m_poSurveyManager->surveyGridClose(strSurvey);
    // The list shows what is open, also when the manager refused the close.
    updateCloseSurveyMenu();
}

void CMainWindow::onActionSurveyClose()
{
}

void CMainWindow::onSurveyOpenCompleted(QString strDatagram)
{
    // At shut-down the controller may be gone already.
    COrlexViewer* poViewer = viewer();
    if (!poViewer)
        return;
    CHandleTracks::instance()->openTracks(poViewer->getDataManager()->getSurvey(strDatagram));
    emit surveyOpened();
}

void CMainWindow::onSurveyCloseCompleted(QString)
{
    setCurrentSurvey(QString());
}

void CMainWindow::setCurrentSurvey(const QString& strSurvey)
{
    m_strCurrentSurvey = strSurvey;
    setWindowModified(false);
    if (!strSurvey.isEmpty()) {
        m_lstRecentSurveys.removeAll(strSurvey);
        m_lstRecentSurveys.prepend(strSurvey);
    }
    if (m_strCurrentSurvey.isEmpty())
        setWindowTitle(tr("QelQA Map View - No Survey Loaded"));
    else
        setWindowTitle(tr("QelQA Map View - %1[*]").arg(m_strCurrentSurvey));
}
