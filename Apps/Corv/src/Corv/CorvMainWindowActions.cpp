// The main window's actions and menus: File, View, Tools and Help, the sounder models, the
// palettes, the colour setup, planning and user objects, the tools of the tools definition files
// and the colour-map menu.
#include "CorvMainWindow.h"
#include "CorvMainWindowPrivate.h"

#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "MainWindowCommands.h"

#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/UiStyle.h"
#include "platform/paths.h"

#include <QAction>
#include <QActionGroup>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QSignalMapper>

using corvwindow::viewer;

namespace {

const char* const s_szToolsFile = "corvtools.ini";

struct SounderModel {
    const char* szText;
    int nCode;
};
constexpr SounderModel s_aSounderModels[] = {{"Ulma 2200", 2200}, {"Ulma 770", 770}, {"Ulma 330", 330}, {"Ulma 110", 110}};

} // namespace

void CMainWindow::createActions()
{
    m_poActionExit = new QAction(tr("E&xit"), this);
    m_poActionExit->setShortcut(QKeySequence(tr("Ctrl+Q")));
    m_poActionExit->setStatusTip(QStringLiteral("Exit the application"));
    connect(m_poActionExit, SIGNAL(triggered()), this, SLOT(close()));

    m_poActionLoadGrid = new QAction(tr("Open Terrain Model..."), this);
    m_poActionLoadGrid->setStatusTip(QStringLiteral("Open existing terrain model"));
    connect(m_poActionLoadGrid, SIGNAL(triggered()), this, SLOT(onActionLoadExistingGrid()));

    m_poActionLoadTiff = new QAction(tr("Import GeoTIFF image"), this);
    m_poActionLoadTiff->setStatusTip(QStringLiteral("Import a GeoTIFF image from file"));
    connect(m_poActionLoadTiff, &QAction::triggered, this, &CMainWindow::onActionLoadTiff);

    m_poActionUnloadTiff = new QAction(tr("Unload GeoTIFF images..."), this);
    connect(m_poActionUnloadTiff, &QAction::triggered, this, &CMainWindow::onActionUnloadTiff);

    m_poActionBackgroundChart = new QAction(tr("Load background chart"), this);
    m_poActionBackgroundChart->setStatusTip(QStringLiteral("Load background chart from definition file"));
    connect(m_poActionBackgroundChart, &QAction::triggered, this, [this] { loadBackgroundChart(); });

    m_poActionShowDebug = new QAction(tr("Show/Hide Debug Windows"), this);
    m_poActionShowDebug->setCheckable(true);
    m_poActionShowDebug->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(m_poActionShowDebug, SIGNAL(triggered()), this, SLOT(showHideDebugWindows()));

    m_poActionHelp = new QAction(tr("Help"), this);
    m_poActionHelp->setShortcut(QKeySequence(Qt::Key_F1));
    connect(m_poActionHelp, SIGNAL(triggered()), this, SLOT(showHelp()));

    m_poActionLayoutSave = new QAction(tr("Save Preferences..."), this);
    m_poActionLayoutSave->setStatusTip(QStringLiteral("Save the current window layout, and all preferences"));
    connect(m_poActionLayoutSave, SIGNAL(triggered()), this, SLOT(onActionLayoutSave()));

    m_poActionLayoutLoad = new QAction(tr("Load Preferences..."), this);
    m_poActionLayoutLoad->setStatusTip(QStringLiteral("Load a saved window layout, and all preferences"));
    connect(m_poActionLayoutLoad, SIGNAL(triggered()), this, SLOT(onActionLayoutLoad()));

    m_poActionColourMaps = new QAction(QIcon(QStringLiteral(":/images/iconToolsColorMaps.png")), tr("Colour Maps..."), this);
    m_poActionColourMaps->setStatusTip(QStringLiteral("Open the Colour Maps dialog box"));
    connect(m_poActionColourMaps, SIGNAL(triggered()), this, SLOT(openColorMapsMenu()));

    m_poActionGrid = new QAction(tr("Grid"), this);

    m_poActionColourDepth = new QAction(tr("Depth..."), this);
    connect(m_poActionColourDepth, SIGNAL(triggered()), this, SLOT(colorMapGridDepthDialog()));
    m_poActionColourReflect = new QAction(tr("Reflect..."), this);
    connect(m_poActionColourReflect, SIGNAL(triggered()), this, SLOT(colorMapGridReflectDialog()));
    m_poActionColourDepthDiff = new QAction(tr("Depth Diff..."), this);
    connect(m_poActionColourDepthDiff, SIGNAL(triggered()), this, SLOT(colorMapGridDepthDiffDialog()));
    m_poActionColourCellPoints = new QAction(tr("Cell Points..."), this);
    connect(m_poActionColourCellPoints, SIGNAL(triggered()), this, SLOT(colorMapGridCellPointsDialog()));
    m_poActionColourStdDev = new QAction(tr("Std Dev..."), this);
    connect(m_poActionColourStdDev, SIGNAL(triggered()), this, SLOT(colorMapGridStdDeviationDialog()));

    m_poActionReloadStyle = new QAction(tr("Reload custom style"), this);
    m_poActionReloadStyle->setStatusTip(QStringLiteral("Reload custom style"));
    connect(m_poActionReloadStyle, &QAction::triggered, this, &CMainWindow::loadCustomStyle);

    m_poActionAbout = new QAction(tr("&About Corvane"), this);
    m_poActionAbout->setStatusTip(QStringLiteral("Show the application's About box"));
    connect(m_poActionAbout, SIGNAL(triggered()), this, SLOT(onActionAbout()));

    m_poActionTvgpl = new QAction(tr("Edit Map Objects"), this);
    m_poActionTvgpl->setStatusTip(QStringLiteral("Edit TVGPL map objects"));
    connect(m_poActionTvgpl, SIGNAL(triggered()), this, SLOT(onActionTvgplOpen()));

    m_poActionCorvaneDisplay = new QAction(tr("Corvane Display"), this);
    m_poActionCorvaneDisplay->setObjectName(QStringLiteral("pages/CorvaneDisplay.html"));
    m_poActionCorvaneDisplay->setToolTip(QStringLiteral("Corvans display"));
    m_poActionCorvaneDisplay->setStatusTip(QStringLiteral("View Corvane pane"));
    connect(m_poActionCorvaneDisplay, &QAction::triggered, this, &CMainWindow::onActionNavigateWeb);

    // Coupled with their panes when the docks are built.
    m_poActionPreferences = new QAction(tr("Preferences"), this);
    m_poActionPreferences->setCheckable(true);
    m_poActionPreferences->setStatusTip(QStringLiteral("Show or hide control widget"));
    m_poActionSettings = new QAction(tr("Settings"), this);
    m_poActionSettings->setCheckable(true);
    m_poActionSettings->setStatusTip(QStringLiteral("Show or hide settings widget"));
    m_poActionWeb = new QAction(tr("Web"), this);
    m_poActionWeb->setCheckable(true);
    m_poActionWeb->setStatusTip(QStringLiteral("Show or hide Web widget"));

    m_poActionMinimize = new QAction(QIcon(QStringLiteral(":/images/ic_remove_white_24dp_2x.png")), QString(), this);
    m_poActionMinimize->setToolTip(tr("Minimized"));
    connect(m_poActionMinimize, &QAction::triggered, this, &QWidget::showMinimized);

    m_poActionFullScreen = new QAction(QStringLiteral("Full Screen Mode"), this);
    m_poActionFullScreen->setCheckable(true);
    m_poActionFullScreen->setToolTip(tr("Maximized"));
    connect(m_poActionFullScreen, &QAction::toggled, this, [this](bool bFullScreen) {
        if (bFullScreen)
            showFullScreen();
        else
            showNormal();
    });

    m_poActionClose = new QAction(QIcon(QStringLiteral(":/images/ic_close_white_24dp_2x.png")), QString(), this);
    m_poActionClose->setToolTip(tr("Exit"));
    connect(m_poActionClose, &QAction::triggered, this, &QWidget::close);

    m_poActionPrefToggle = new QAction(QIcon(QStringLiteral(":/images/ic_settings_white_24dp.png")), QString(), this);
    m_poActionPrefToggle->setToolTip(tr("Show or Hide Preferences pane"));
    connect(m_poActionPrefToggle, &QAction::triggered, this, &CMainWindow::onActionPrefToggle);

    m_poActionRemSurv = new QAction(tr("Remove Survey(s) from database"), this);
    m_poActionRemSurv->setToolTip(tr("Remove one or more surveys from the database"));
    connect(m_poActionRemSurv, &QAction::triggered, this, &CMainWindow::onActionRemSurv);
}

void CMainWindow::createMenus()
{
    markSystemMenu(menuBar());

    m_poFileMenu = menuBar()->addMenu(tr("&File"));
    m_poFileMenu->addSeparator();
    m_poSounderMenu = m_poFileMenu->addMenu(QStringLiteral("Sounder to connect to"));
    m_poSounderGroup = new QActionGroup(this);
    m_poSounderGroup->setExclusive(true);
    for (const SounderModel& oModel : s_aSounderModels) {
        auto* poAction = new QAction(QLatin1String(oModel.szText), m_poSounderGroup);
        poAction->setCheckable(true);
        poAction->setData(oModel.nCode);
        m_poSounderMenu->addAction(poAction);
    }
    m_poFileMenu->addAction(m_poActionLoadGrid);
    m_poSurveyCloseMenu = m_poFileMenu->addMenu(QStringLiteral("Unload Terrain Model"));
    m_poNoSurveyAction = new QAction(QIcon(QStringLiteral(":/images/iconSurveyClose.png")), tr("Empty"), this);
    m_poNoSurveyAction->setEnabled(false);
    m_poSurveyCloseMenu->addAction(m_poNoSurveyAction);
    connect(m_poSurveyCloseMenu, SIGNAL(triggered(QAction*)), this, SLOT(onActionSurveyClose(QAction*)));
    // Surveys are also opened and closed by the runtime link and by GeoTIFF loads.
    connect(m_poSurveyCloseMenu, &QMenu::aboutToShow, this, &CMainWindow::updateCloseSurveyMenu);
    m_poFileMenu->addSeparator();
    m_poFileMenu->addAction(m_poActionLoadTiff);
    m_poFileMenu->addAction(m_poActionUnloadTiff);
    m_poFileMenu->addSeparator();
    m_poFileMenu->addAction(m_poActionLayoutLoad);
    m_poFileMenu->addAction(m_poActionLayoutSave);
    m_poFileMenu->addSeparator();
    m_poFileMenu->addAction(m_poActionExit);

    connect(m_poSounderGroup, &QActionGroup::triggered, this, [this](QAction* poAction) {
        const int nCode = poAction->data().toInt();
        qDebug() << "sounder " << nCode;
        emit sigSetType(nCode);
        setWindowTitle(sounderWindowTitle(nCode));
    });
    // The model the title names, also when gui.ini names none.
    selectSounderModel(GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("CorvModel"), 2200).toInt());

    m_poViewMenu = menuBar()->addMenu(tr("&View"));
    m_poPaletteMenu = m_poViewMenu->addMenu(tr("Palettes"));
    addPaletteAction(m_poPaletteMenu, QStringLiteral("Day"), 0);
    addPaletteAction(m_poPaletteMenu, QStringLiteral("Dusk"), 1);
    addPaletteAction(m_poPaletteMenu, QStringLiteral("Bright Day"), 3);
    m_poColourSetupMenu = m_poViewMenu->addMenu(tr("Colour Setup"));
    for (QAction* poAction : colourMapActions())
        m_poColourSetupMenu->addAction(poAction);
    m_poViewMenu->addAction(m_poActionCorvaneDisplay);
    m_poViewMenu->addSeparator();
    m_poViewMenu->addAction(m_poActionFullScreen);
    m_poViewMenu->addSeparator();
    m_poViewMenu->addAction(m_poActionShowDebug);
    m_poViewMenu->addSeparator();
    m_poViewMenu->addAction(m_poActionPreferences);

    m_poToolsMenu = menuBar()->addMenu(tr("&Tools"));
    m_poActionMapConfigurator = new QAction(QStringLiteral("Map Configurator"), this);
    m_poActionMapConfigurator->setToolTip(QStringLiteral("Launch map configurator for defining background map params."));
    connect(m_poActionMapConfigurator, &QAction::triggered, this, [this] { launchMapConfigurator(); });
    createPlanningMenu();
    createUserObjectsMenu();
    m_poToolsMenu->addSeparator();
    createToolsMenu(programDataPath() + QLatin1Char('\\') + QLatin1String(s_szToolsFile), false);
    if (!qEnvironmentVariableIsEmpty("TESTQEL5")) {
        m_poToolsMenu->addSeparator();
        m_poToolsMenu->addAction(m_poActionMapConfigurator);
        m_poToolsMenu->addAction(m_poActionBackgroundChart);
    }

    menuBar()->addSeparator();

    m_poHelpMenu = menuBar()->addMenu(tr("&Help"));
    m_poHelpMenu->addAction(m_poActionHelp);
    m_poHelpMenu->addAction(m_poActionReloadStyle);
    m_poHelpMenu->addAction(m_poActionAbout);

    m_poColourMapMenu = new QMenu(tr("ColourMapMenu"), this);
    for (QAction* poAction : colourMapActions())
        m_poColourMapMenu->addAction(poAction);
    m_poActionColourMaps->setMenu(m_poColourMapMenu);
}

QList<QAction*> CMainWindow::colourMapActions() const
{
    return {m_poActionColourDepth, m_poActionColourReflect, m_poActionColourDepthDiff, m_poActionColourCellPoints,
            m_poActionColourStdDev};
}

void CMainWindow::selectSounderModel(int nModel)
{
    // 2202 is a variant of the 2200; the other variants select nothing.
    const int nCode = nModel == 2202 ? 2200 : nModel;
    for (QAction* poAction : m_poSounderGroup->actions()) {
        if (poAction->data().toInt() == nCode) {
            poAction->setChecked(true);
            return;
        }
    }
}

void CMainWindow::addPaletteAction(QMenu* poMenu, const QString& strText, int nMode)
{
    // One palette at a time, the current one checked.
    if (!m_poPaletteGroup)
        m_poPaletteGroup = new QActionGroup(this);
    auto* poAction = new QAction(strText, m_poPaletteGroup);
    poAction->setCheckable(true);
    poAction->setChecked(nMode == m_nStyleMode);
    poMenu->addAction(poAction);
    connect(poAction, &QAction::triggered, this, [this, nMode] {
        m_nStyleMode = nMode;
        applyStyleSheet(&m_oStyleFile, m_nStyleMode, m_nStyleScale);
    });
}

void CMainWindow::createPlanningMenu()
{
    m_poPlanningMenu = m_poToolsMenu->addMenu(tr("Planning"));
    struct PlanningCommand {
        QString strText;
        int nAction;
    };
    const PlanningCommand aCommands[] = {
        {tr("Open Job"), 20}, {tr("Save Job"), 22}, {tr("Save Job As.."), 23}, {tr("Clear Job"), 26}};
    auto* poMapper = new QSignalMapper(this);
    for (const PlanningCommand& oCommand : aCommands) {
        QAction* poAction = m_poPlanningMenu->addAction(oCommand.strText);
        connect(poAction, SIGNAL(triggered()), poMapper, SLOT(map()));
        poMapper->setMapping(poAction, oCommand.nAction);
    }
    m_poPlanningMenu->setEnabled(false);
    if (COrlexViewer* poViewer = viewer())
        connect(poMapper, SIGNAL(mappedInt(int)), poViewer, SLOT(planningMenuAction(int)));
}

void CMainWindow::createUserObjectsMenu()
{
    m_poUserObjectsMenu = m_poToolsMenu->addMenu(tr("User Objects..."));

    QAction* poAction = m_poUserObjectsMenu->addAction(QStringLiteral("Load from file ..."));
    poAction->setStatusTip(tr("Load objects fro GeoJSON file"));
    connect(poAction, &QAction::triggered, this, [this] {
        const QString strFile = QFileDialog::getOpenFileName(this, tr("Open Data file"), QDir::homePath(),
                                                             tr("GeoJSON (*.json *.geojson);; All files (*.*)"));
        if (COrlexViewer* poViewer = viewer())
            poViewer->loadGeoJson(strFile);
    });

    poAction = m_poUserObjectsMenu->addAction(QStringLiteral("Load from database"));
    poAction->setStatusTip(tr("Load objects from database"));
    connect(poAction, &QAction::triggered, this, [] {
        if (COrlexViewer* poViewer = viewer())
            poViewer->readObjectsFromDatabase();
    });

    poAction = m_poUserObjectsMenu->addAction(QStringLiteral("View saved positions"));
    poAction->setStatusTip(tr("View stored positions"));
    connect(poAction, &QAction::triggered, this, [] {
        if (COrlexViewer* poViewer = viewer())
            poViewer->loadSavedPos();
    });

    poAction = m_poUserObjectsMenu->addAction(QStringLiteral("Remove all from view"));
    poAction->setStatusTip(tr("Remove all user object from the Geo View"));
    connect(poAction, &QAction::triggered, this, [] {
        if (COrlexViewer* poViewer = viewer())
            poViewer->removeAllObjects();
    });
}

void CMainWindow::createToolsMenu(QString strPath, bool)
{
    auto* poMapper = new QSignalMapper(this);
    auto addTool = [this, poMapper](int nId, const ToolItem& oItem) {
        auto* poAction = new QAction(oItem.strText, this);
        if (!oItem.strStatusTip.isEmpty())
            poAction->setStatusTip(oItem.strStatusTip);
        connect(poAction, SIGNAL(triggered()), poMapper, SLOT(map()));
        poMapper->setMapping(poAction, nId);
        m_poToolsMenu->addAction(poAction);
        m_mapToolCommands.insert(nId, QStringList{expandToolCommand(oItem.strCommand)});
    };

    // The working folder's file, then the data folder's; ids run on from the first file's count.
    const QString strLocalFile = QDir::current().absoluteFilePath(QLatin1String(s_szToolsFile));
    const int nLocalCount = toolItemCount(strLocalFile);
    for (const ToolItem& oItem : readToolItems(strLocalFile, true))
        addTool(oItem.nItem, oItem);

    if (QFile::exists(platform::toNativePath(strPath))) {
        if (toolItemCount(strPath) != 0)
            m_poToolsMenu->addSeparator();
        for (const ToolItem& oItem : readToolItems(strPath, false))
            addTool(nLocalCount + oItem.nItem, oItem);
    }
    connect(poMapper, SIGNAL(mappedInt(int)), this, SLOT(onToolMenuItemClicked(int)));
}
