// Shows the options dialog and the control pane in a styled window, for looking at them.
// Usage: QtAppFramework_options_demo [mode [milliseconds]]  (mode 0 Day, 1 Dusk, 3 BrightDay)
#include "TestGroup.h"

#include "QtAppFramework/AppPropertiesNode.h"
#include "QtAppFramework/ControlPane.h"
#include "QtAppFramework/OptionsDialog.h"
#include "QtAppFramework/SettingsManager.h"
#include "QtAppFramework/UiStyle.h"

#include <QAction>
#include <QApplication>
#include <QColor>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

namespace {

const PropertyEnumItem kVariable[] = {{"Z", 0}, {"Zt", 1}, {"Zv", 2}, {"Zg", 3}, {"Zr", 4}};
const PropertyEnumItem kOperation[] = {{"Min", 0}, {"Median", 1}};
const PropertyEnumItem kLight[] = {
    {"North West", 0}, {"North East", 1}, {"South East", 2}, {"South West", 3}};

class CApplicationPage : public CAppPropertiesNode
{
public:
    CApplicationPage() : CAppPropertiesNode(QStringLiteral("Application"), nullptr)
    {
        addTopLevelSetting(PropertyType::Group, 2, 0, "General",
                           "General settings that apply to the application as a whole.");
        addSubSetting(2, 0, PropertyType::Bool, 2, 1, "Auto Save Layout",
                      "Determines if the window layout is automatically saved to persistent "
                      "storage when the application exits.");
        addSubSetting(2, 0, PropertyType::Bool, 2, 2, "Auto Load Settings",
                      "Determines if the application settings are automatically loaded from "
                      "persistent storage when the application starts.");
        addSubSetting(2, 0, PropertyType::Int, 2, 3, "Length of Recent Survey List",
                      "Number of entries on the list of recently opened surveys.");
        collapseAll();
        init();
    }
};

class CSurveyPage : public CAppPropertiesNode
{
public:
    explicit CSurveyPage(const QString& strName) : CAppPropertiesNode(strName, nullptr)
    {
        static const PropertyDescriptor aRows[] = {
            {PropertyType::Group, 1, 0, "Terrain Model",
             "These settings affect the way the gridded data is displayed.", nullptr, 0},
            {PropertyType::Bool, 1, 1, "Visibility",
             "Visibility state of the gridded data in the view.", nullptr, 0},
            {PropertyType::Enum, 1, 2, "Variable",
             "Type of point set variable to be used to pick a point or value for a grid cell.",
             kVariable, 5},
            {PropertyType::Enum, 1, 3, "Operation",
             "Type of point set operation to be used to pick a point or value for a grid cell.",
             kOperation, 2},
            {PropertyType::Enum, 1, 4, "Light Direction",
             "Select the direction the light shines from", kLight, 4},
            {PropertyType::Group, 1, 5, "Ships Track",
             "These settings affect the way the ships track data is displayed.", nullptr, 0},
            {PropertyType::Color, 1, 6, "Stored Track Colour",
             "Base colour used for each ships track line when a colour map has not been "
             "applied.",
             nullptr, 0},
            {PropertyType::Int, 1, 7, "Stored Line Width",
             "Displayed width of each ships track line (in pixels).", nullptr, 0},
            {PropertyType::String, 1, 8, "QEL5 PC IP Address",
             "Host IP address of the QEL5 PC.", nullptr, 0},
        };
        addPropertyTable(aRows, int(sizeof(aRows) / sizeof(aRows[0])));
        if (auto* poWidth = manager()->variantProperty(property(propertyId(1, 7)))) {
            poWidth->setAttribute(QStringLiteral("minimum"), 1);
            poWidth->setAttribute(QStringLiteral("maximum"), 8);
        }
        collapseAll();
        init();
    }
};

class CLoggingPage : public CAppPropertiesNode
{
public:
    CLoggingPage() : CAppPropertiesNode(QStringLiteral("Logging"), nullptr)
    {
        addTopLevelSetting(PropertyType::Bool, 8, 0, "Logging State",
                           "Enable/Disable the logging service.");
        addTopLevelSetting(PropertyType::String, 8, 1, "Log File Name",
                           "Name and location of the application log file.");
        addTopLevelSetting(PropertyType::Int, 8, 2, "Log File Size Max",
                           "Maximum size of log file.");
        init();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication oApp(argc, argv);
    QApplication::setStyle(QStringLiteral("fusion"));
    const int nMode = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 0;
    const int nMillis = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 5000;
    initUiStyle();
    applyStyleSheet(nullptr, nMode, 1);

    CTestGroup oApplication(2, QStringLiteral("Application"), {"A", "B", "C", "D"});
    oApplication.m_aLive = {QVariant(), true, false, 8};
    CTestGroup oSurvey(1, QStringLiteral("Survey"),
                       {"G", "Vis", "Var", "Op", "Light", "T", "Col", "W", "Ip"});
    oSurvey.m_aLive = {QVariant(), true, 2, 1, 1, QVariant(), QColor(74, 144, 226), 2,
                       QStringLiteral("127.0.0.1")};
    CTestGroup oLogging(8, QStringLiteral("Logging"), {"On", "File", "Size"});
    oLogging.m_aLive = {true, QStringLiteral("c:/temp/_logger_default.log"), 1048576};
    for (CTestGroup* poGroup : {&oApplication, &oSurvey, &oLogging}) {
        poGroup->loadAll();
        CSettingsManager::instance()->addGroup(poGroup);
    }

    QMainWindow oWindow;
    oWindow.setWindowTitle(QStringLiteral("Options demo"));
    QMenuBar* poMenus = oWindow.menuBar();
    poMenus->addMenu(QStringLiteral("File"));
    poMenus->addMenu(QStringLiteral("View"));
    poMenus->addMenu(QStringLiteral("Tools"));
    markSystemMenu(poMenus);
    QToolBar* poLogoBar = createLogoToolBar(QStringLiteral("CORV"));
    poLogoBar->setParent(&oWindow);
    poLogoBar->addAction(QIcon(QStringLiteral(":/uistyle/md/action/ic_zoom_in_24px.svg")),
                         QStringLiteral("Zoom In"));
    poLogoBar->addAction(QIcon(QStringLiteral(":/uistyle/md/action/ic_zoom_out_24px.svg")),
                         QStringLiteral("Zoom Out"));
    QAction* poFollow = poLogoBar->addAction(
        QIcon(QStringLiteral(":/uistyle/md/device/ic_brightness_auto_24px.svg")),
        QStringLiteral("Follow"));
    poFollow->setCheckable(true);
    poFollow->setChecked(true);
    oWindow.addToolBar(poLogoBar);
    auto* poMapBar = new QToolBar(QStringLiteral("Map"), &oWindow);
    for (const char* pszIcon :
         {":/uistyle/md/action/ic_open_with_24px.svg", ":/uistyle/md/action/ic_aspect_ratio_24px.svg",
          ":/uistyle/md/image/ic_straighten_24px.svg", ":/uistyle/zeplin/boresight-d.svg",
          ":/uistyle/zeplin/boresight-p.svg", ":/uistyle/md/action/ic_timeline_24px.svg",
          ":/uistyle/md/maps/ic_directions_boat_24px.svg", ":/uistyle/md/maps/ic_place_24px.svg"})
        poMapBar->addAction(QIcon(QLatin1String(pszIcon)), QString::fromLatin1(pszIcon));
    oWindow.addToolBar(Qt::LeftToolBarArea, poMapBar);
    auto* poCentre = new QLabel(QStringLiteral("map view"), &oWindow);
    poCentre->setAlignment(Qt::AlignCenter);
    oWindow.setCentralWidget(poCentre);
    oWindow.statusBar()->showMessage(QStringLiteral("Ready"));

    CSurveyPage oPanePage(QStringLiteral("Survey"));
    auto* poPane = new CControlPane();
    poPane->addNode(&oPanePage);
    poPane->activate();
    poPane->init();
    auto* poDock = new QDockWidget(QStringLiteral("Preferences"), &oWindow);
    poDock->setWidget(poPane);
    oWindow.addDockWidget(Qt::RightDockWidgetArea, poDock);
    applyStyleClasses(&oWindow);
    oWindow.setGeometry(0, 0, 1280, 800);
    oWindow.show();

    CApplicationPage oApplicationPage;
    CSurveyPage oSurveyPage(QStringLiteral("Survey"));
    CLoggingPage oLoggingPage;
    COptionsDialog oDialog(&oWindow);
    oDialog.addNode(&oApplicationPage);
    oDialog.addNode(&oSurveyPage);
    oDialog.addNode(&oLoggingPage);
    oDialog.activate();
    oDialog.init();
    oDialog.setGeometry(260, 170, 640, 480);
    oDialog.show();
    // Open the survey page on its light row, as an operator would.
    QTimer::singleShot(300, [&] {
        auto* poTree = oDialog.findChild<QTreeWidget*>(QStringLiteral("m_poTreeWidget"));
        poTree->setCurrentItem(poTree->topLevelItem(1));
        oSurveyPage.browser()->setExpanded(oSurveyPage.browser()->topLevelItems().value(0), true);
        oSurveyPage.browser()->setExpanded(oSurveyPage.browser()->topLevelItems().value(1), true);
        if (QtBrowserItem* poItem = oSurveyPage.browser()->items(oSurveyPage.property(CPropertiesNode::propertyId(1, 4))).value(0))
            oSurveyPage.browser()->setCurrentItem(poItem);
    });
    QTimer::singleShot(nMillis, &oApp, &QApplication::quit);
    return oApp.exec();
}
