// Commands of the main window: colour maps, layouts with the settings, GeoTIFF overlays, surveys
// removed from the database, full screen, the options dialog and the preferences pane.
#include "CorvMainWindow.h"
#include "CorvMainWindowPrivate.h"

#include "Common/GuiIni.h"
#include "PropertiesApplication.h"
#include "PropertiesLogging.h"
#include "PropertiesMapViewer.h"
#include "PropertiesSurvey.h"

#include "MapView/ColorMappingPane.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/AppDockWidget.h"
#include "QtAppFramework/GeneralStore.h"
#include "QtAppFramework/OptionsDialog.h"
#include "QtAppFramework/SettingsManager.h"
#include "TqelRuntime/RemSurvDlg.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "platform/paths.h"

#include <QAction>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QTreeView>

#include <iterator>

using corvwindow::dialogFolder;
using corvwindow::runtimeGroup;
using corvwindow::viewer;

namespace {

const char* const s_szLayoutExtension = ".cvn";
constexpr int RemoveSurveysRequest = 480;

// The colour maps of the grid, by the index the map viewer sends.
const char* const s_aGridColourMaps[] = {"Depth", "Reflect", "Depth Diff", "CellPoints", "StdDeviation.Zt"};

} // namespace

// ---- Colour maps ----------------------------------------------------------------------------

void CMainWindow::openColorMap(QString strGroup, QString strName, bool bOpenDialog)
{
    QTreeView* poView = m_poColorMappingPane ? m_poColorMappingPane->surveyItemsView() : nullptr;
    QAbstractItemModel* poModel = poView ? poView->model() : nullptr;
    if (!poModel)
        return;
    const Qt::MatchFlags eFlags = Qt::MatchFixedString | Qt::MatchRecursive;
    const QModelIndexList lstGroups = poModel->match(poModel->index(0, 0), Qt::DisplayRole, strGroup, -1, eFlags);
    // Two surveys open each have their own group: the command does not know which one is meant.
    if (lstGroups.size() != 1)
        return;
    const QModelIndex oGroup = lstGroups.first();
    bool bFound = false;
    for (const QModelIndex& oItem : poModel->match(oGroup, Qt::DisplayRole, strName, -1, eFlags)) {
        if (oItem.parent() == oGroup || oItem.parent().parent() == oGroup) {
            poView->setCurrentIndex(oItem);
            bFound = true;
            break;
        }
    }
    if (!bFound)
        return;
    if (COrlexViewer* poViewer = viewer())
        poViewer->openColorMap(poView->currentIndex(), bOpenDialog ? 1 : 0);
}

void CMainWindow::openColorMap(QString strGroup, QString strName)
{
    openColorMap(strGroup, strName, true);
}

void CMainWindow::colorMapGridDepthDialog() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Depth"), true); }
void CMainWindow::colorMapGridReflectDialog() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Reflect"), true); }
void CMainWindow::colorMapGridDepthDiffDialog() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Depth Diff"), true); }
void CMainWindow::colorMapGridCellPointsDialog() { openColorMap(QStringLiteral("Grid"), QStringLiteral("CellPoints"), true); }
void CMainWindow::colorMapGridStdDeviationDialog() { openColorMap(QStringLiteral("Grid"), QStringLiteral("StdDeviation.Zt"), true); }
void CMainWindow::colorMapGridDistanceDialog() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Distance plane"), true); }
void CMainWindow::colorMapTextStaticDialog() { openColorMap(QStringLiteral("Text"), QStringLiteral("Static"), true); }
void CMainWindow::colorMapTextDepthDialog() { openColorMap(QStringLiteral("Text"), QStringLiteral("Depth"), true); }
void CMainWindow::colorMapProcessDepthDialog() { openColorMap(QStringLiteral("Process Points"), QStringLiteral("Depth"), true); }
void CMainWindow::colorMapContourDepthDialog() { openColorMap(QStringLiteral("Contour Lines"), QStringLiteral("Depth"), true); }
void CMainWindow::setColorMapGridDepth() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Depth"), false); }
void CMainWindow::setColorMapGridReflect() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Reflect"), false); }
void CMainWindow::colorMapGridDepthDiff() { openColorMap(QStringLiteral("Grid"), QStringLiteral("Depth Diff"), false); }
void CMainWindow::setColorMapGridCellPoints() { openColorMap(QStringLiteral("Grid"), QStringLiteral("CellPoints"), false); }
void CMainWindow::setColorMapGridStdDeviation() { openColorMap(QStringLiteral("Grid"), QStringLiteral("StdDeviation.Zt"), false); }

void CMainWindow::onColorChanged(int nIndex)
{
    qDebug().noquote() << QStringLiteral("Colormap index changed to %1").arg(nIndex);
    if (nIndex >= 0 && nIndex < static_cast<int>(std::size(s_aGridColourMaps)))
        openColorMap(QStringLiteral("Grid"), QLatin1String(s_aGridColourMaps[nIndex]), false);
}

void CMainWindow::openColorMapsMenu()
{
    if (m_poActionColourMaps && m_poActionColourMaps->menu())
        m_poActionColourMaps->menu()->show();
}

// ---- Layouts and settings -------------------------------------------------------------------

void CMainWindow::onActionLayoutSave()
{
    QString strFile = QFileDialog::getSaveFileName(this, tr("Save Preferences"), m_strDataFolder, QStringLiteral("*.cvn"));
    if (!strFile.isEmpty()) {
        if (!strFile.contains(QLatin1String(s_szLayoutExtension)))
            strFile += QLatin1String(s_szLayoutExtension);
        QString strError = storeLayout(strFile);
        if (!strError.isNull())
            logMsg(strError, 4);
        m_strLayoutFile = QFileInfo(strFile).fileName();
        GuiIni::setValue(runtimeGroup(), QStringLiteral("CorvLayoutFile"), m_strLayoutFile);
    }
    onActionSettingsSave();
}

void CMainWindow::onActionLayoutLoad()
{
    const QString strFile = QFileDialog::getOpenFileName(this, tr("Load Preferences"), m_strDataFolder, QStringLiteral("*.cvn"));
    if (!strFile.isEmpty()) {
        QString strError = restoreLayout(strFile);
        if (strError.isNull())
            GuiIni::setValue(runtimeGroup(), QStringLiteral("CorvLayoutFile"), QFileInfo(strFile).fileName());
        else
            logMsg(strError, 4);
    }
    onActionSettingsLoad();
}

void CMainWindow::onActionSettingsSave()
{
    if (CSettingsManager* poManager = CSettingsManager::instance())
        poManager->save(m_poGeneralStore.get());
}

void CMainWindow::onActionSettingsLoad()
{
    if (CSettingsManager* poManager = CSettingsManager::instance()) {
        poManager->load(m_poGeneralStore.get());
        poManager->applyAll(true);
    }
}

// ---- GeoTIFF overlays -----------------------------------------------------------------------

void CMainWindow::onActionLoadTiff()
{
    const QString strFile = QFileDialog::getOpenFileName(this, tr("Open GeoTIFF"), dialogFolder(QStringLiteral("TIFFPath")),
                                                         tr("Geotiff (*.tif *.tiff)"));
    if (strFile.isEmpty())
        return;
    if (COrlexViewer* poViewer = viewer())
        poViewer->addTIFF(strFile, true);
    GuiIni::setValue(runtimeGroup(), QStringLiteral("TIFFPath"), QFileInfo(strFile).absolutePath());
}

void CMainWindow::onActionUnloadTiff()
{
    COrlexViewer* poViewer = viewer();
    if (!poViewer)
        return;
    QStringList lstPaths;
    poViewer->getDataManager()->getTiffPaths(lstPaths);
    if (lstPaths.isEmpty())
        return;
    bool bOk = false;
    const QString strPath = QInputDialog::getItem(this, QStringLiteral("Select file to unload"), QStringLiteral("Images"),
                                                  lstPaths, 0, false, &bOk);
    if (!bOk)
        return;
    poViewer->removeTIFF(strPath);
    qDebug().noquote() << QStringLiteral("Remove ") + strPath;
}

// ---- Surveys in the database ----------------------------------------------------------------

void CMainWindow::onActionRemSurv()
{
    qDebug() << "Delete survey action";
    CRemSurvDlg oDialog;
    if (oDialog.exec() != QDialog::Accepted)
        return;
    qDebug() << "Delete surveys";
    if (oDialog.m_lstSurveys.isEmpty() || !m_poRuntime)
        return;
    CUlmaRuntime* poRuntime = m_poRuntime;
    const QString strNames = oDialog.m_lstSurveys.join(QLatin1Char(';'));
    QMetaObject::invokeMethod(
        poRuntime, [poRuntime, strNames] { poRuntime->sendRequestToUlmaexec(RemoveSurveysRequest, strNames, false); },
        Qt::QueuedConnection);
}

// ---- Window ---------------------------------------------------------------------------------

void CMainWindow::onActionShowFullScreen()
{
    auto* poAction = qobject_cast<QAction*>(sender());
    if (!poAction)
        return;
    if (isFullScreen()) {
        showNormal();
        poAction->setIcon(QIcon(QStringLiteral(":/images/ic_fullscreen_white_24dp_2x.png")));
        poAction->setToolTip(tr("Maximized"));
    } else {
        showFullScreen();
        poAction->setIcon(QIcon(QStringLiteral(":/images/ic_fullscreen_exit_white_24dp_2x.png")));
        poAction->setToolTip(tr("Restore"));
    }
}

void CMainWindow::onActionOpenOptionsDialog()
{
    if (!m_poOptionsDialog) {
        m_poOptionsDialog = new COptionsDialog(this);
        m_poOptionsDialog->addNode(new CPropertiesApplication(tr("Application"), nullptr));
        m_poOptionsDialog->addNode(new CPropertiesMapViewer(tr("Map Viewer"), nullptr));
        m_poOptionsDialog->addNode(new CPropertiesSurvey(tr("Survey"), nullptr));
        m_poOptionsDialog->addNode(new CPropertiesLogging(tr("Logging"), nullptr));
        m_poOptionsDialog->activate();
        connect(m_poOptionsDialog, SIGNAL(finished(int)), this, SLOT(onOptionsFinished(int)));
    }
    m_poOptionsDialog->init();
    m_poOptionsDialog->show();
}

void CMainWindow::onOptionsFinished(int)
{
    if (m_poOptionsDialog && m_poOptionsDialog->testAttribute(Qt::WA_DeleteOnClose))
        m_poOptionsDialog = nullptr;
}

void CMainWindow::onPreferencesFinished(int)
{
    if (m_poPreferencesDialog && m_poPreferencesDialog->testAttribute(Qt::WA_DeleteOnClose))
        m_poPreferencesDialog = nullptr;
}

void CMainWindow::onActionPrefToggle()
{
    if (m_poControlDock)
        m_poControlDock->setVisible(m_poControlDock->isHidden());
}
