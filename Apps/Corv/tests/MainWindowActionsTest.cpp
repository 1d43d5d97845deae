// The main window's menus, runtime events, survey-grid poll and companion programs, with the
// viewer-server stand-in and the companion stand-ins. One window for the whole suite: the
// controller, the runtime link and the survey manager are one per process.
#include "CorvMainWindow.h"
#include "SettingsMapViewer.h"
#include "QtAppFramework/SettingsManager.h"

#include "MapView/QaSurveyManager.h"
#include "OrlexViewer/ColorMap.h"
#include "QtAppFramework/SettingsManager.h"
#include "SettingsMapViewer.h"
#include "Common/CorvPaths.h"
#include "Common/GuiIni.h"
#include "MapView/MapView2D.h"
#include "MapView/QaMapViewManager.h"
#include "OrlexViewer/OrlexDataManager.h"
#include "OrlexViewer/OrlexGrid.h"
#include "OrlexViewer/OrlexViewer.h"
#include "QtAppFramework/OutputWindow.h"
#include "StationPage.h"
#include "TqelRuntime/UlmaRuntime.h"
#include "orlex_standin/control.h"
#include "platform/paths.h"
#include "test_scratch.h"
#include "test_event_gaps.h"
#include "test_wait.h"
#include "WindowWithViewer.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QMap>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

static void initCorvResources()
{
    Q_INIT_RESOURCE(corv);
}

namespace {

bool writeFile(const QString& strPath, const QByteArray& baContent)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

QString binDir()
{
    return qEnvironmentVariable("CORV_BIN_DIR");
}

QString dataFolder()
{
    return platform::toNativePath(QStringLiteral("C:/ProgramData/Tavrin Nautic/tqel"));
}

QString workFolder()
{
    return corvtest::scratchDir() + QStringLiteral("/work");
}

QString companionLog()
{
    return corvtest::scratchDir() + QStringLiteral("/companions.jsonl");
}

// The records of the companion stand-ins from line nFrom on.
QList<QJsonObject> companionRecords(int nFrom = 0)
{
    QList<QJsonObject> lstRecords;
    QFile oFile(companionLog());
    if (!oFile.open(QIODevice::ReadOnly))
        return lstRecords;
    const QList<QByteArray> lstLines = oFile.readAll().split('\n');
    for (int i = nFrom; i < lstLines.size(); ++i)
        if (!lstLines.at(i).isEmpty())
            lstRecords << QJsonDocument::fromJson(lstLines.at(i)).object();
    return lstRecords;
}

int companionCount()
{
    return companionRecords().size();
}

QStringList argumentsOf(const QJsonObject& oRecord)
{
    QStringList lstArguments;
    for (const QJsonValue& vArgument : oRecord.value(QStringLiteral("arguments")).toArray())
        lstArguments << vArgument.toString();
    return lstArguments;
}

// The sequence number after the last message the viewer-server stand-in has read.
qint64 mark(orlex_standin::StandinControl& oControl)
{
    const QJsonArray aEntries = oControl.entries(QStringLiteral("in"));
    return aEntries.isEmpty() ? 0 : static_cast<qint64>(aEntries.last().toObject().value(QStringLiteral("seq")).toDouble()) + 1;
}

// A menu as lines: "-" for a separator, "text" for an action, "text > [...]" for a submenu.
QStringList describe(const QMenu* poMenu)
{
    QStringList lstLines;
    for (QAction* poAction : poMenu->actions()) {
        if (poAction->isSeparator())
            lstLines << QStringLiteral("-");
        else if (poAction->menu())
            lstLines << poAction->text() + QStringLiteral(" > [") + describe(poAction->menu()).join(QStringLiteral(", ")) + QLatin1Char(']');
        else
            lstLines << poAction->text();
    }
    return lstLines;
}

// Answers the modal boxes and dialogs that the code under test runs, while it runs them.
class ModalResponder {
public:
    struct Seen {
        QString strTitle;
        QString strText;
        Qt::TextFormat eFormat = Qt::AutoText;
        QString strFolder; // where a file dialog started
    };

    // strChoice: the item or file a dialog is answered with; empty cancels it.
    explicit ModalResponder(QString strChoice = QString()) : m_strChoice(std::move(strChoice))
    {
        m_oTimer.setInterval(10);
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] { answer(); });
        m_oTimer.start();
    }

    const QList<Seen>& seen() const { return m_lstSeen; }

private:
    void answer()
    {
        QWidget* poModal = QApplication::activeModalWidget();
        if (auto* poBox = qobject_cast<QMessageBox*>(poModal)) {
            m_lstSeen.append({poBox->windowTitle(), poBox->text(), poBox->textFormat(), QString()});
            poBox->done(QMessageBox::Ok);
        } else if (auto* poFiles = qobject_cast<QFileDialog*>(poModal)) {
            m_lstSeen.append({poFiles->windowTitle(), poFiles->nameFilters().join(QStringLiteral(";;")), Qt::PlainText,
                              poFiles->directory().absolutePath()});
            if (m_strChoice.isEmpty()) {
                poFiles->reject();
            } else {
                poFiles->selectFile(m_strChoice);
                QMetaObject::invokeMethod(poFiles, "accept");
            }
        } else if (auto* poInput = qobject_cast<QInputDialog*>(poModal)) {
            m_lstSeen.append({poInput->windowTitle(), poInput->labelText(), Qt::PlainText, QString()});
            if (m_strChoice.isEmpty()) {
                poInput->reject();
            } else {
                poInput->setTextValue(m_strChoice);
                poInput->accept();
            }
        }
    }

    QString m_strChoice;
    QTimer m_oTimer;
    QList<Seen> m_lstSeen;
};

class MainWindowActionsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        corvtest::prepareScratch();
        const QString strScratch = corvtest::scratchDir();
        qputenv("XDG_CONFIG_HOME", (strScratch + QStringLiteral("/config")).toUtf8());
        qputenv("CORV_COMPANION_LOG", companionLog().toUtf8());
        qputenv("TOOLBIN", binDir().toUtf8());
        qputenv("PATH", (binDir() + QStringLiteral(":") + qEnvironmentVariable("PATH")).toUtf8());
        qunsetenv("TESTQEL5");
        QFile::remove(companionLog());
        platform::ensureWindowsEnvironment();
        initCorvResources();
        QCoreApplication::setOrganizationName(QStringLiteral("Tavrin Nautic AS"));
        QCoreApplication::setApplicationName(QStringLiteral("T-Qel Corvane"));

        // gui.ini with a sounder variant, and two tools files: two tools in the working folder,
        // three in the data folder.
        ASSERT_TRUE(writeFile(dataFolder() + QStringLiteral("/gui.ini"), "[RUNTIME]\nCorvModel=2202\n"));
        QDir(workFolder()).removeRecursively();
        QDir().mkpath(platform::toNativePath(QStringLiteral("C:/Temp")));
        ASSERT_TRUE(writeFile(workFolder() + QStringLiteral("/corvtools.ini"),
                              "[QXTools]\nNumItems=2\n"
                              "Item1=Error box, Shows an error, %TOOLBIN%/ErrorMsg.exe\n"
                              "Item2=Missing, Not installed, %TOOLBIN%/missing.exe\n"));
        ASSERT_TRUE(writeFile(dataFolder() + QStringLiteral("/corvtools.ini"),
                              "[QXTools]\nNumItems=3\n"
                              "Item1=Editor, Tavrin.Dremm.TerrainEditorApp.exe, extra\n"
                              "Item2=Handler, tvgplhandler.bat\n"
                              "Item3=Third, ErrorMsg.exe\n"));
        // The map configurator is found relative to the working folder.
        QDir().mkpath(strScratch + QStringLiteral("/TerrainEditor"));
        QFile::remove(strScratch + QStringLiteral("/TerrainEditor/Tavrin.Dremm.TerrainEditorApp.exe"));
        ASSERT_TRUE(QFile::link(binDir() + QStringLiteral("/Tavrin.Dremm.TerrainEditorApp.exe"),
                                strScratch + QStringLiteral("/TerrainEditor/Tavrin.Dremm.TerrainEditorApp.exe")));
        ASSERT_TRUE(QDir::setCurrent(workFolder()));

        s_poUnderTest = new corvtest::WindowWithViewer();
        ASSERT_TRUE(s_poUnderTest->start());
        s_poServer = s_poUnderTest->server();
        s_poWindow = s_poUnderTest->window();
    }

    static void TearDownTestSuite()
    {
        s_poWindow = nullptr;
        s_poServer = nullptr;
        delete s_poUnderTest;
        s_poUnderTest = nullptr;
    }

    void SetUp() override { ASSERT_NE(s_poWindow, nullptr); }

    CMainWindow& window() { return *s_poWindow; }

    QMenu* menu(const QString& strTitle) const
    {
        for (QAction* poAction : s_poWindow->menuBar()->actions())
            if (poAction->text() == strTitle)
                return poAction->menu();
        return nullptr;
    }

    QAction* action(QMenu* poMenu, const QString& strText) const
    {
        for (QAction* poAction : poMenu->actions())
            if (poAction->text() == strText)
                return poAction;
        return nullptr;
    }

    QList<QMessageBox*> openBoxes() const
    {
        QList<QMessageBox*> lstBoxes;
        for (QMessageBox* poBox : s_poWindow->findChildren<QMessageBox*>())
            if (poBox->isVisible())
                lstBoxes << poBox;
        return lstBoxes;
    }

    void closeBoxes()
    {
        for (QMessageBox* poBox : openBoxes())
            poBox->close();
        ASSERT_TRUE(corvtest::waitUntil([&] { return openBoxes().isEmpty(); }));
    }

    QString outputText() const
    {
        auto* poPane = s_poWindow->findChild<COutputWindow*>(QStringLiteral("OutputGeneral"));
        return poPane ? poPane->textEdit()->toPlainText() : QString();
    }

    QMenu* surveyCloseMenu() const
    {
        QMenu* poFile = menu(QStringLiteral("&File"));
        QAction* poAction = poFile ? action(poFile, QStringLiteral("Unload Terrain Model")) : nullptr;
        return poAction ? poAction->menu() : nullptr;
    }

    static CMainWindow* s_poWindow;
    static orlex_standin::StandinProcess* s_poServer;
    static corvtest::WindowWithViewer* s_poUnderTest;
};

CMainWindow* MainWindowActionsTest::s_poWindow = nullptr;
orlex_standin::StandinProcess* MainWindowActionsTest::s_poServer = nullptr;
corvtest::WindowWithViewer* MainWindowActionsTest::s_poUnderTest = nullptr;

// First in the suite, while the start-up's delayed reload of the station page (6 s after the
// view is set up) is still to come: a station address that arrives before it is the one it loads.
TEST_F(MainWindowActionsTest, StartUpReloadLoadsTheLatestStationAddress)
{
    ASSERT_TRUE(corvtest::waitUntil([&] { return window().isInitialised(); }, 30000));
    QElapsedTimer oClock;
    oClock.start();
    auto* poView = window().findChild<QWebEngineView*>();
    ASSERT_NE(poView, nullptr);
    // Reloads ask for "Pages" with a capital P, the first load for "pages".
    int nLoads = 0;
    const QMetaObject::Connection oLoads = QObject::connect(poView, &QWebEngineView::loadStarted, [&] {
        if (poView->url().path() == QLatin1String("/Pages/CorvaneDisplay.html"))
            ++nLoads;
    });
    window().onHandleUlmaMsg(22, QStringLiteral("127.0.0.4"));
    // The address's own reload after 5 s and the start-up's after 6 s; both are over by 12 s.
    corvtest::waitUntil([&] { return nLoads >= 2 || oClock.elapsed() > 12000; }, 30000);
    EXPECT_EQ(poView->url(), QUrl(QStringLiteral("http://127.0.0.4:8188/Pages/CorvaneDisplay.html")))
        << qPrintable(poView->url().toString()) << ", " << nLoads << " loads in " << oClock.elapsed() << " ms";
    QObject::disconnect(oLoads);
}

TEST_F(MainWindowActionsTest, MenusHoldTheirEntriesInOrder)
{
    QStringList lstTitles;
    for (QAction* poAction : window().menuBar()->actions())
        lstTitles << (poAction->isSeparator() ? QStringLiteral("-") : poAction->text());
    EXPECT_EQ(lstTitles, (QStringList{QStringLiteral("&File"), QStringLiteral("&View"), QStringLiteral("&Tools"),
                                      QStringLiteral("-"), QStringLiteral("&Help")}));

    EXPECT_EQ(describe(menu(QStringLiteral("&File"))),
              (QStringList{QStringLiteral("-"),
                           QStringLiteral("Sounder to connect to > [Ulma 2200, Ulma 770, Ulma 330, Ulma 110]"),
                           QStringLiteral("Open Terrain Model..."), QStringLiteral("Unload Terrain Model > [Empty]"),
                           QStringLiteral("-"), QStringLiteral("Import GeoTIFF image"),
                           QStringLiteral("Unload GeoTIFF images..."), QStringLiteral("-"),
                           QStringLiteral("Load Preferences..."), QStringLiteral("Save Preferences..."),
                           QStringLiteral("-"), QStringLiteral("E&xit")}));
    EXPECT_EQ(describe(menu(QStringLiteral("&View"))),
              (QStringList{QStringLiteral("Palettes > [Day, Dusk, Bright Day]"),
                           QStringLiteral("Colour Setup > [Depth..., Reflect..., Depth Diff..., Cell Points..., Std Dev...]"),
                           QStringLiteral("Corvane Display"), QStringLiteral("-"), QStringLiteral("Full Screen Mode"),
                           QStringLiteral("-"), QStringLiteral("Show/Hide Debug Windows"), QStringLiteral("-"),
                           QStringLiteral("Preferences")}));
    // Without TESTQEL5 neither the map configurator nor the background chart; the working
    // folder's tools, a separator, then the data folder's.
    EXPECT_EQ(describe(menu(QStringLiteral("&Tools"))),
              (QStringList{QStringLiteral("Planning > [Open Job, Save Job, Save Job As.., Clear Job]"),
                           QStringLiteral("User Objects... > [Load from file ..., Load from database, View saved positions, Remove all from view]"),
                           QStringLiteral("-"), QStringLiteral("Error box"), QStringLiteral("Missing"), QStringLiteral("-"),
                           QStringLiteral("Editor"), QStringLiteral("Handler"), QStringLiteral("Third")}));
    EXPECT_EQ(describe(menu(QStringLiteral("&Help"))),
              (QStringList{QStringLiteral("Help"), QStringLiteral("Reload custom style"), QStringLiteral("&About Corvane")}));

    QMenu* poFile = menu(QStringLiteral("&File"));
    EXPECT_EQ(action(poFile, QStringLiteral("E&xit"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    QMenu* poView = menu(QStringLiteral("&View"));
    QAction* poDebug = action(poView, QStringLiteral("Show/Hide Debug Windows"));
    EXPECT_EQ(poDebug->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
    EXPECT_TRUE(poDebug->isCheckable());
    EXPECT_EQ(action(menu(QStringLiteral("&Help")), QStringLiteral("Help"))->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(action(menu(QStringLiteral("&Tools")), QStringLiteral("Planning"))->isEnabled());
    EXPECT_FALSE(surveyCloseMenu()->actions().first()->isEnabled());
    EXPECT_EQ(action(poView, QStringLiteral("Corvane Display"))->objectName(), QStringLiteral("pages/CorvaneDisplay.html"));
}

TEST_F(MainWindowActionsTest, PlanningMenuReachesThePlanningLibrary)
{
    // The planning library logs each request it gets as a JSON line.
    const QString strLog = QDir(qEnvironmentVariable("CORV_TEST_SCRATCH")).filePath(QStringLiteral("planning.jsonl"));
    qputenv("CORV_PLANNING_LOG", strLog.toUtf8());
    QFile::remove(strLog);
    QAction* poPlanning = action(menu(QStringLiteral("&Tools")), QStringLiteral("Planning"));
    ASSERT_NE(poPlanning, nullptr);
    action(poPlanning->menu(), QStringLiteral("Clear Job"))->trigger();
    auto logged = [&strLog] {
        QFile oFile(strLog);
        return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray();
    };
    ASSERT_TRUE(corvtest::waitUntil([&] { return logged().contains("___clearJob__"); }));
    EXPECT_TRUE(logged().contains("_current.asciiplan"));
    qunsetenv("CORV_PLANNING_LOG");
}

TEST_F(MainWindowActionsTest, SounderModelFromGuiIniAndChosenByTheOperator)
{
    QMenu* poSounders = action(menu(QStringLiteral("&File")), QStringLiteral("Sounder to connect to"))->menu();
    // gui.ini names the variant 2202: the 2200 is selected.
    QStringList lstChecked;
    for (QAction* poAction : poSounders->actions())
        if (poAction->isChecked())
            lstChecked << poAction->text();
    EXPECT_EQ(lstChecked, QStringList{QStringLiteral("Ulma 2200")});

    QSignalSpy oSpy(&window(), &CMainWindow::sigSetType);
    action(poSounders, QStringLiteral("Ulma 330"))->trigger();
    ASSERT_EQ(oSpy.size(), 1);
    EXPECT_EQ(oSpy.at(0).at(0).toInt(), 330);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Corvane for Ulma 330"));
    EXPECT_TRUE(action(poSounders, QStringLiteral("Ulma 330"))->isChecked());
    EXPECT_FALSE(action(poSounders, QStringLiteral("Ulma 2200"))->isChecked());
}

// The palette and terrain-property menus check the current choice, one at a time.
TEST_F(MainWindowActionsTest, ChoiceMenusCheckTheCurrentEntry)
{
    auto checked = [](QMenu* poMenu) {
        QStringList lstChecked;
        for (QAction* poAction : poMenu->actions())
            if (poAction->isChecked())
                lstChecked << poAction->text();
        return lstChecked;
    };
    QMenu* poPalettes = action(menu(QStringLiteral("&View")), QStringLiteral("Palettes"))->menu();
    ASSERT_NE(poPalettes, nullptr);
    EXPECT_EQ(checked(poPalettes), QStringList{QStringLiteral("Day")});
    action(poPalettes, QStringLiteral("Dusk"))->trigger();
    EXPECT_EQ(checked(poPalettes), QStringList{QStringLiteral("Dusk")});
    action(poPalettes, QStringLiteral("Day"))->trigger();
    EXPECT_EQ(checked(poPalettes), QStringList{QStringLiteral("Day")});

    QMenu* poProperties = nullptr;
    for (QMenu* poMenu : window().findChildren<QMenu*>())
        for (QAction* poAction : poMenu->actions())
            if (poAction->text() == QLatin1String("Backscatter"))
                poProperties = poMenu;
    ASSERT_NE(poProperties, nullptr);
    EXPECT_EQ(checked(poProperties), QStringList{QStringLiteral("Depth")});
    action(poProperties, QStringLiteral("Backscatter"))->trigger();
    EXPECT_EQ(checked(poProperties), QStringList{QStringLiteral("Backscatter")});
    action(poProperties, QStringLiteral("Depth"))->trigger();
    EXPECT_EQ(checked(poProperties), QStringList{QStringLiteral("Depth")});
}

TEST_F(MainWindowActionsTest, ToolsStartInTheirFolderWithOneBlankArgument)
{
    QMenu* poTools = menu(QStringLiteral("&Tools"));
    struct Case {
        const char* szItem;
        const char* szProgram;
        QString strFolder;
    };
    const Case aCases[] = {
        // An expanded command: started in its own folder.
        {"Error box", "ErrorMsg.exe", QDir(binDir()).canonicalPath()},
        // A bare name from the data folder's file: found on PATH, started in the current folder.
        {"Editor", "Tavrin.Dremm.TerrainEditorApp.exe", QDir(workFolder()).canonicalPath()},
        {"Third", "ErrorMsg.exe", QDir(workFolder()).canonicalPath()},
    };
    for (const Case& oCase : aCases) {
        const int nBefore = companionCount();
        action(poTools, QLatin1String(oCase.szItem))->trigger();
        ASSERT_TRUE(corvtest::waitUntil([&] { return companionCount() == nBefore + 1; })) << oCase.szItem;
        const QJsonObject oRecord = companionRecords(nBefore).first();
        EXPECT_EQ(oRecord.value(QStringLiteral("program")).toString(), QLatin1String(oCase.szProgram)) << oCase.szItem;
        EXPECT_EQ(oRecord.value(QStringLiteral("workingDirectory")).toString(), oCase.strFolder) << oCase.szItem;
        EXPECT_EQ(argumentsOf(oRecord), QStringList{QStringLiteral(" ")}) << oCase.szItem;
    }

    const int nBefore = companionCount();
    ModalResponder oResponder;
    action(poTools, QStringLiteral("Missing"))->trigger();
    ASSERT_EQ(oResponder.seen().size(), 1);
    EXPECT_EQ(oResponder.seen().first().strTitle, QStringLiteral("Info"));
    EXPECT_EQ(oResponder.seen().first().strText, QStringLiteral("Failed to start tool missing.exe"));
    EXPECT_EQ(companionCount(), nBefore);
}

TEST_F(MainWindowActionsTest, MapConfiguratorGetsTheViewAndProjection)
{
    const int nBefore = companionCount();
    {
        ModalResponder oCancel;
        window().launchMapConfigurator();
        ASSERT_EQ(oCancel.seen().size(), 1);
        EXPECT_EQ(oCancel.seen().first().strTitle, QStringLiteral("Server selection"));
        EXPECT_EQ(oCancel.seen().first().strText, QStringLiteral("Map source"));
    }

    // The server reports the camera over (1234.567 m, -789.015 m): the configurator gets the
    // centre in projected centimetres, cut toward zero.
    orlex_standin::StandinControl oControl;
    ASSERT_TRUE(oControl.connectTo(s_poServer->controlPath()));
    const QJsonArray lstViewers = oControl.state().value(QStringLiteral("viewers")).toArray();
    ASSERT_FALSE(lstViewers.isEmpty());
    const int nViewerId = lstViewers.first().toObject().value(QStringLiteral("id")).toInt();
    const auto number = [](int nId, const char* szType, double d) {
        return orlex_standin::field(nId, QLatin1String(szType), d);
    };
    const QJsonObject oPosition = orlex_standin::structField(
        0, QJsonArray() << QJsonArray{number(0, "double", 1234.567), number(1, "double", -789.015), number(2, "double", 900.0)});
    const QJsonArray lstLevels{QJsonArray(), QJsonArray{number(0, "int32", nViewerId)},
                               QJsonArray{orlex_standin::structField(1, QJsonArray() << QJsonArray{oPosition})}};
    ASSERT_TRUE(oControl.send(orlex_standin::coreType("QueryNavigationStateResponseMessage"), orlex_standin::body(lstLevels)));
    ASSERT_TRUE(corvtest::waitUntil([] {
        double dX = 0;
        double dY = 0;
        COrlexViewer::instance(QStringLiteral("dremm"))->getCenter(dX, dY);
        return dX == 1234.567;
    }));

    ModalResponder oChoose(QStringLiteral("WMTS"));
    window().launchMapConfigurator();
    ASSERT_TRUE(corvtest::waitUntil([&] { return companionCount() == nBefore + 1; }));
    const QJsonObject oRecord = companionRecords(nBefore).first();
    EXPECT_EQ(oRecord.value(QStringLiteral("program")).toString(), QStringLiteral("Tavrin.Dremm.TerrainEditorApp.exe"));
    const QStringList lstArguments = argumentsOf(oRecord);
    ASSERT_EQ(lstArguments.size(), 16);
    // The default projection of a new installation is Mercator.
    EXPECT_EQ(lstArguments.mid(0, 8),
              (QStringList{QStringLiteral("--mapSource"), QStringLiteral("WMTS"), QStringLiteral("--epsg"),
                           QStringLiteral("3395"), QStringLiteral("--center-x"), QStringLiteral("123456"),
                           QStringLiteral("--center-y"), QStringLiteral("-78901")}));
    EXPECT_EQ(lstArguments.mid(8, 7),
              (QStringList{QStringLiteral("--size"), QStringLiteral("2097152"), QStringLiteral("--save-dir"),
                           QStringLiteral("C:\\temp"), QStringLiteral("--levels"), QStringLiteral("13"), QStringLiteral("--url")}));
}

TEST_F(MainWindowActionsTest, MapObjectsHandlerFromTheWorkingFolder)
{
    const QString strHandler = workFolder() + QStringLiteral("/tvgplhandler.bat");
    QFile::remove(strHandler);
    {
        ModalResponder oResponder;
        QMetaObject::invokeMethod(&window(), "onActionTvgplOpen");
        ASSERT_EQ(oResponder.seen().size(), 1);
        EXPECT_EQ(oResponder.seen().first().strTitle, QStringLiteral("File not found"));
        EXPECT_EQ(oResponder.seen().first().strText, QStringLiteral("Could not find the file:\n") + QDir::current().absoluteFilePath(QStringLiteral("tvgplhandler.bat")));
    }
    ASSERT_TRUE(QFile::link(binDir() + QStringLiteral("/tvgplhandler.bat"), strHandler));
    const int nBefore = companionCount();
    QMetaObject::invokeMethod(&window(), "onActionTvgplOpen");
    ASSERT_TRUE(corvtest::waitUntil([&] { return companionCount() == nBefore + 1; }));
    const QJsonObject oRecord = companionRecords(nBefore).first();
    EXPECT_EQ(oRecord.value(QStringLiteral("program")).toString(), QStringLiteral("tvgplhandler.bat"));
    EXPECT_TRUE(argumentsOf(oRecord).isEmpty());
    QFile::remove(strHandler);
}

TEST_F(MainWindowActionsTest, RuntimeEventsAsTheyArrive)
{
    closeBoxes();
    struct Box {
        QString strTitle;
        QString strText;
    };
    struct Case {
        int nId;
        QString strText;
        QList<Box> lstBoxes;
    };
    const Case aCases[] = {
        {478, QStringLiteral("1;Disk full"), {{QStringLiteral("Warning"), QStringLiteral("Disk full")}}},
        // Only the first field after the severity; an error is a warning box titled "Error".
        {478, QStringLiteral("2;a;b"), {{QStringLiteral("Error"), QStringLiteral("a")}}},
        // Received markup is shown as it was received.
        {478, QStringLiteral("1;<b>bold</b> & <a href=x>link</a>"), {{QStringLiteral("Warning"), QStringLiteral("<b>bold</b> & <a href=x>link</a>")}}},
        {478, QStringLiteral("3;unknown severity"), {}},
        {478, QStringLiteral("x;not a number"), {}},
        {478, QStringLiteral("1"), {}},
        {478, QString(), {}},
        {479, QStringLiteral("2;A;B"), {}},
        {33, QString(), {}},
        {31, QStringLiteral("12.5"), {}},
        {999, QStringLiteral("only;logged"), {}},
        {19, QStringLiteral("1;2"), {}},
    };
    for (const Case& oCase : aCases) {
        window().onHandleUlmaMsg(oCase.nId, oCase.strText);
        QCoreApplication::processEvents();
        const QString strWhat = QStringLiteral("%1 %2").arg(oCase.nId).arg(oCase.strText);
        EXPECT_TRUE(outputText().contains(QStringLiteral("UlmaxMsg: ") + oCase.strText)) << qPrintable(strWhat);
        const QList<QMessageBox*> lstBoxes = openBoxes();
        ASSERT_EQ(lstBoxes.size(), oCase.lstBoxes.size()) << qPrintable(strWhat);
        for (int i = 0; i < lstBoxes.size(); ++i) {
            EXPECT_EQ(lstBoxes.at(i)->windowTitle(), oCase.lstBoxes.at(i).strTitle) << qPrintable(strWhat);
            EXPECT_EQ(lstBoxes.at(i)->text(), oCase.lstBoxes.at(i).strText) << qPrintable(strWhat);
            EXPECT_EQ(lstBoxes.at(i)->textFormat(), Qt::PlainText) << qPrintable(strWhat);
        }
        closeBoxes();
    }
}

TEST_F(MainWindowActionsTest, BoxesOfNetworkEventsDoNotPileUp)
{
    closeBoxes();
    // The handler does not wait for a box: later events are handled while boxes are open.
    for (int i = 0; i < 50; ++i)
        window().onHandleUlmaMsg(478, QStringLiteral("1;message %1").arg(i));
    window().onHandleUlmaMsg(478, QStringLiteral("1;message 0"));
    QCoreApplication::processEvents();
    const QList<QMessageBox*> lstBoxes = openBoxes();
    ASSERT_EQ(lstBoxes.size(), 4);
    QStringList lstTexts;
    for (QMessageBox* poBox : lstBoxes)
        lstTexts << poBox->text();
    lstTexts.sort();
    EXPECT_EQ(lstTexts, (QStringList{QStringLiteral("message 0"), QStringLiteral("message 1"),
                                     QStringLiteral("message 2"), QStringLiteral("message 3")}));
    EXPECT_TRUE(outputText().contains(QStringLiteral("message 49")));
    closeBoxes();
    // Closed boxes make room again.
    window().onHandleUlmaMsg(478, QStringLiteral("2;after"));
    QCoreApplication::processEvents();
    ASSERT_EQ(openBoxes().size(), 1);
    EXPECT_EQ(openBoxes().first()->text(), QStringLiteral("after"));
    closeBoxes();
}

TEST_F(MainWindowActionsTest, StationAddressReloadsTheDisplayPage)
{
    // The page is reloaded 5 s after the event, once the web display exists.
    ASSERT_TRUE(corvtest::waitUntil([&] { return window().isInitialised(); }, 30000));
    auto* poView = window().findChild<QWebEngineView*>();
    ASSERT_NE(poView, nullptr);
    window().onHandleUlmaMsg(22, QStringLiteral("not an address/evil"));
    window().onHandleUlmaMsg(22, QStringLiteral("127.0.0.2"));
    EXPECT_TRUE(corvtest::waitUntil(
        [&] { return poView->url() == QUrl(QStringLiteral("http://127.0.0.2:8188/Pages/CorvaneDisplay.html")); }, 15000))
        << qPrintable(poView->url().toString());
}

// The web dock shows the followed station and lets the operator choose another, which the
// runtime link follows and gui.ini keeps. The page runs without file access, plugins or pop-ups.
TEST_F(MainWindowActionsTest, WebDockShowsAndChangesTheFollowedStation)
{
    ASSERT_TRUE(corvtest::waitUntil([&] { return window().isInitialised(); }, 30000));
    auto* poView = window().findChild<QWebEngineView*>();
    ASSERT_NE(poView, nullptr);
    auto* poPage = qobject_cast<CStationPage*>(poView->page());
    ASSERT_NE(poPage, nullptr);
    for (const QWebEngineSettings::WebAttribute eOff :
         {QWebEngineSettings::LocalContentCanAccessFileUrls, QWebEngineSettings::PluginsEnabled,
          QWebEngineSettings::JavascriptCanOpenWindows, QWebEngineSettings::LocalContentCanAccessRemoteUrls})
        EXPECT_FALSE(poPage->settings()->testAttribute(eOff)) << eOff;
    EXPECT_TRUE(poPage->profile()->isOffTheRecord());
    const struct {
        const char* url;
        bool allowed;
    } aAddresses[] = {
        {"http://10.0.0.5:8188/Pages/CorvaneDisplay.html", true}, {"https://10.0.0.5/x", true},
        {"file:///etc/passwd", false}, {"qrc:/images/logo.png", false}, {"javascript:alert(1)", false},
        {"data:text/html,<b>x</b>", false}, {"ftp://10.0.0.5/x", false}, {"http:///nohost", false},
    };
    for (const auto& oAddress : aAddresses)
        EXPECT_EQ(CStationPage::isAllowedAddress(QUrl(QLatin1String(oAddress.url))), oAddress.allowed) << oAddress.url;

    auto* poAction = window().findChild<QAction*>(QStringLiteral("followStationAction"));
    ASSERT_NE(poAction, nullptr);
    CUlmaRuntime* poRuntime = CUlmaRuntime::instance(4);
    ASSERT_NE(poRuntime, nullptr);
    {
        ModalResponder oResponder(QStringLiteral("127.0.0.9"));
        poAction->trigger();
    }
    EXPECT_TRUE(corvtest::waitUntil([&] { return poRuntime->followedStation() == QLatin1String("127.0.0.9"); }));
    EXPECT_TRUE(corvtest::waitUntil([&] { return poAction->text().contains(QLatin1String("127.0.0.9")); }));
    EXPECT_EQ(GuiIni::value(QLatin1String(GuiIni::GroupRuntime), QStringLiteral("MainStationAddress"), QString()).toString(),
              QStringLiteral("127.0.0.9"));
    // Not an address: nothing changes. Empty: the first sender is followed again.
    {
        ModalResponder oResponder(QStringLiteral("main station"));
        poAction->trigger();
    }
    EXPECT_EQ(poRuntime->followedStation(), QStringLiteral("127.0.0.9"));
    QMetaObject::invokeMethod(poRuntime, "followStation", Qt::QueuedConnection, Q_ARG(QString, QString()));
    EXPECT_TRUE(corvtest::waitUntil([&] { return poRuntime->followedStation().isEmpty(); }));
}

// 2,000 runtime events a second (fewer under the sanitizers), queued from another thread as the
// runtime link sends them: the GUI's timers stay on time and the station page is reloaded once.
TEST_F(MainWindowActionsTest, EventFloodKeepsTheGuiOnTime)
{
    ASSERT_TRUE(corvtest::waitUntil([&] { return window().isInitialised(); }, 30000));
    auto* poView = window().findChild<QWebEngineView*>();
    ASSERT_NE(poView, nullptr);
    closeBoxes();
    // The start-up's delayed reload is over (reloads ask for "Pages", the first load for "pages").
    ASSERT_TRUE(corvtest::waitUntil([&] { return poView->url().path() == QLatin1String("/Pages/CorvaneDisplay.html"); }, 20000));
    // Loads of the flood's address.
    int nLoads = 0;
    const QMetaObject::Connection oLoads = QObject::connect(poView, &QWebEngineView::loadFinished, [&] {
        if (poView->url().host() == QLatin1String("127.0.0.3"))
            ++nLoads;
    });

    corvtest::EventGapMeter oGaps(20);
    // The web display's start-up work is done before the flood: half a second of steady ticks.
    corvtest::waitUntil([&] {
        if (oGaps.elapsedMs() < 500)
            return false;
        if (oGaps.longestGapMs() <= 50)
            return true;
        oGaps.restart();
        return false;
    }, 20000);
    oGaps.restart();

    std::atomic<bool> bSent{false};
    bool bHandled = false;
    CMainWindow* poWindow = &window();
    std::thread oFlood([&] {
        const auto tStart = std::chrono::steady_clock::now();
        const struct { int nId; const char* szText; } aKinds[] = {
            {22, "127.0.0.3"}, {479, "2;A;B;C;7"}, {478, "1;flood"}, {19, "1;2"}};
        // Three seconds of events, shorter than the page's reload delay: one reload is due.
        const int nEvents = 6000 / corvtest::kSanitizerSlowdown;
        for (int i = 0; i < nEvents; ++i) {
            const auto& oKind = aKinds[i % 4];
            const int nId = oKind.nId;
            const QString strText = QString::fromLatin1(oKind.szText);
            QMetaObject::invokeMethod(poWindow, [poWindow, nId, strText] { poWindow->onHandleUlmaMsg(nId, strText); },
                                      Qt::QueuedConnection);
            if (i % 2 == 1)
                std::this_thread::sleep_until(tStart + std::chrono::microseconds(500 * corvtest::kSanitizerSlowdown * (i + 1)));
        }
        QMetaObject::invokeMethod(poWindow, [&bHandled] { bHandled = true; }, Qt::QueuedConnection);
        bSent = true;
    });
    EXPECT_TRUE(corvtest::waitUntil([&] { return bSent && bHandled; }, 60000));
    oFlood.join();
    oGaps.stop();
    EXPECT_LE(oGaps.longestGapMs(), 100 * corvtest::kSanitizerSlowdown) << "ms between two ticks of a 20 ms timer";

    EXPECT_TRUE(corvtest::waitUntil([&] { return nLoads > 0; }, 15000));
    EXPECT_EQ(poView->url(), QUrl(QStringLiteral("http://127.0.0.3:8188/Pages/CorvaneDisplay.html")));
    QTest::qWait(1000);
    EXPECT_EQ(nLoads, 1);
    QObject::disconnect(oLoads);
    closeBoxes();
}

TEST_F(MainWindowActionsTest, PollFindsTheSurveyOfTheMainStationAndLoadsIt)
{
    CUlmaRuntime* poRuntime = CUlmaRuntime::instance(4);
    poRuntime->setVesselGridPath(QStringLiteral("alpha"), QStringLiteral("D:/grids/S1"));
    poRuntime->setVesselGridPath(QStringLiteral("beta"), QStringLiteral("D:/grids/.."));
    const QString strGrid = platform::toNativePath(QStringLiteral("C:/qeldata/grids/alpha/S1"));
    QDir(strGrid).removeRecursively();

    // Names that could lead out of the grid root are refused before anything is polled.
    window().onHandleUlmaMsg(494, QStringLiteral("../x;CORV;S1;1"));
    window().onHandleUlmaMsg(494, QStringLiteral(";CORV;S1;1"));
    EXPECT_TRUE(window().polledVessels().isEmpty());

    // Repeated events of a vessel poll it once.
    for (const char* szVessel : {"alpha", "beta", "alpha"})
        window().onHandleUlmaMsg(494, QStringLiteral("%1;CORV;S1;1").arg(QLatin1String(szVessel)));
    EXPECT_EQ(window().polledVessels(), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));
    QTimer* poTimer = nullptr;
    for (QTimer* poChild : window().findChildren<QTimer*>())
        if (poChild->isActive() && poChild->interval() == 10000)
            poTimer = poChild;
    ASSERT_NE(poTimer, nullptr);
    poTimer->setInterval(20);

    // beta's survey folder is no folder name: beta is dropped; alpha waits for its file.
    ASSERT_TRUE(corvtest::waitUntil([&] { return window().polledVessels() == QStringList{QStringLiteral("alpha")}; }));
    QSignalSpy oOpened(&window(), &CMainWindow::surveyOpened);
    corvtest::waitUntil([] { return false; }, 200);
    EXPECT_TRUE(poTimer->isActive());
    EXPECT_EQ(describe(surveyCloseMenu()), QStringList{QStringLiteral("Empty")});

    ASSERT_TRUE(writeFile(strGrid + QStringLiteral("/qel_projv6.txt"),
                          "<QEL_Projection>\r\nEPSG:4326\r\n+proj=merc +datum=WGS84 +units=cm\r\n"));
    ASSERT_TRUE(writeFile(strGrid + QStringLiteral("/Terrain/surveyinfo.json"), "{}"));
    ASSERT_TRUE(corvtest::waitUntil([&] { return !poTimer->isActive(); }));
    EXPECT_TRUE(window().polledVessels().isEmpty());
    // Loaded 2 s after it was found, as a real-time grid that becomes the active survey.
    ASSERT_TRUE(corvtest::waitUntil([&] { return describe(surveyCloseMenu()) == QStringList{QStringLiteral("c:/qeldata/grids/alpha/S1")}; }, 10000))
        << qPrintable(describe(surveyCloseMenu()).join(QLatin1Char(',')));
    COrlexDataManager* poData = COrlexViewer::instance(QStringLiteral("dremm"))->getDataManager();
    ASSERT_NE(poData->getActiveSurvey(), nullptr);
    EXPECT_EQ(poData->getActiveSurvey()->getPath(), QStringLiteral("c:/qeldata/grids/alpha/S1"));
    EXPECT_TRUE(corvtest::waitUntil([&] { return oOpened.size() == 1; }, 10000));

    // The same survey announced again is found at once and not loaded a second time.
    window().onHandleUlmaMsg(494, QStringLiteral("alpha;CORV;S1;1"));
    poTimer->setInterval(20);
    ASSERT_TRUE(corvtest::waitUntil([&] { return !poTimer->isActive(); }));
    corvtest::waitUntil([] { return false; }, 2500);
    EXPECT_EQ(describe(surveyCloseMenu()), QStringList{QStringLiteral("c:/qeldata/grids/alpha/S1")});
    EXPECT_EQ(poData->getSurveys().size(), 1);
}

TEST_F(MainWindowActionsTest, UnloadMenuListsWhatIsOpen)
{
    QMenu* poMenu = surveyCloseMenu();
    ASSERT_EQ(describe(poMenu), QStringList{QStringLiteral("c:/qeldata/grids/alpha/S1")});
    ModalResponder oResponder;
    poMenu->actions().first()->trigger();
    // The active real-time survey is not closed, so its entry stays.
    ASSERT_EQ(oResponder.seen().size(), 1);
    EXPECT_EQ(oResponder.seen().first().strText, QStringLiteral("Cannot remove active survey"));
    EXPECT_EQ(describe(poMenu), QStringList{QStringLiteral("c:/qeldata/grids/alpha/S1")});

    // A survey opened or closed elsewhere is listed as it is when the menu is shown.
    COrlexDataManager* poData = COrlexViewer::instance(QStringLiteral("dremm"))->getDataManager();
    poData->openSurvey(QStringLiteral("c:/qeldata/grids/alpha/Other"), false);
    emit poMenu->aboutToShow();
    EXPECT_EQ(describe(poMenu).size(), 2);
    poData->closeSurvey(QStringLiteral("c:/qeldata/grids/alpha/Other"));
    emit poMenu->aboutToShow();
    EXPECT_EQ(describe(poMenu), QStringList{QStringLiteral("c:/qeldata/grids/alpha/S1")});
}

TEST_F(MainWindowActionsTest, NewShipTracksOfTheActiveSurveyReachTheView)
{
    // The survey of the poll is the active one; the runtime reports new track files.
    const QString strTracks = platform::toNativePath(QStringLiteral("C:/qeldata/grids/alpha/S1")) + QStringLiteral("/tracks");
    QByteArray baTrack(16, '\0');
    const auto appendPoint = [&](qint32 nNorth, qint32 nEast) {
        QByteArray baPoint(8, '\0');
        baPoint.append(reinterpret_cast<const char*>(&nNorth), 4);
        baPoint.append(reinterpret_cast<const char*>(&nEast), 4);
        baTrack.append(baPoint);
    };
    appendPoint(123456789, 98765432);
    appendPoint(123456889, 98765532);
    ASSERT_TRUE(writeFile(strTracks + QStringLiteral("/line 1.shipstrack"), baTrack));
    ASSERT_TRUE(writeFile(strTracks + QStringLiteral("/line 1.coverage"), "ignored"));

    orlex_standin::StandinControl oControl;
    ASSERT_TRUE(oControl.connectTo(s_poServer->controlPath()));
    const qint64 nFrom = mark(oControl);
    window().onHandleUlmaMsg(33, QString());
    const auto oLine = oControl.waitFor(QStringLiteral("in"), orlex_standin::coreType("CreateLineMessage"), nFrom);
    ASSERT_TRUE(oLine.has_value());
    EXPECT_TRUE(QJsonDocument(*oLine).toJson(QJsonDocument::Compact).contains("Tracks"));
    ASSERT_NE(COrlexViewer::instance(QStringLiteral("dremm"))->getDataManager()->getActiveSurvey(), nullptr);
    const auto& lstLines = COrlexViewer::instance(QStringLiteral("dremm"))->getDataManager()->getActiveSurvey()->trackLines();
    ASSERT_EQ(lstLines.size(), 1u);
    EXPECT_EQ(lstLines.front().name, QStringLiteral("c:/qeldata/grids/alpha/S1/line 1"));
}

TEST_F(MainWindowActionsTest, ScaleEditAndZoomButtons)
{
    QLineEdit* poEdit = nullptr;
    for (QLineEdit* poChild : window().findChildren<QLineEdit*>())
        if (poChild->toolTip() == QStringLiteral("Background map scale"))
            poEdit = poChild;
    ASSERT_NE(poEdit, nullptr);
    QSignalSpy oSpy(&window(), &CMainWindow::setScale);
    struct Case {
        const char* szText;
        QList<int> lstEmitted;
    };
    const Case aCases[] = {{"1:25000", {25000}}, {"25000", {25000}}, {"1:1", {}}, {"1:-1", {}}, {"0", {}}, {"1:abc", {}}, {"", {}}};
    for (const Case& oCase : aCases) {
        oSpy.clear();
        poEdit->setText(QLatin1String(oCase.szText));
        QMetaObject::invokeMethod(&window(), "setScaleSlot");
        QList<int> lstEmitted;
        for (const QList<QVariant>& lstArguments : oSpy)
            lstEmitted << lstArguments.at(0).toInt();
        EXPECT_EQ(lstEmitted, oCase.lstEmitted) << oCase.szText;
    }
    // The zoom buttons send a step, not a scale; without a scale in the edit they do nothing.
    poEdit->setText(QStringLiteral("1:10000"));
    oSpy.clear();
    window().onZoomIn();
    window().onZoomOut();
    ASSERT_EQ(oSpy.size(), 2);
    EXPECT_EQ(oSpy.at(0).at(0).toInt(), -1);
    EXPECT_EQ(oSpy.at(1).at(0).toInt(), 1);
    poEdit->setText(QString());
    oSpy.clear();
    window().onZoomIn();
    EXPECT_TRUE(oSpy.isEmpty());
}

TEST_F(MainWindowActionsTest, BackgroundChartFromATerrainFile)
{
    const QString strChart = corvtest::scratchDir() + QStringLiteral("/charts/harbour.terrain");
    ASSERT_TRUE(writeFile(strChart, "{}"));
    orlex_standin::StandinControl oControl;
    ASSERT_TRUE(oControl.connectTo(s_poServer->controlPath()));
    const qint64 nFrom = mark(oControl);
    {
        ModalResponder oResponder(strChart);
        window().loadBackgroundChart();
        ASSERT_EQ(oResponder.seen().size(), 1);
        EXPECT_EQ(oResponder.seen().first().strTitle, QStringLiteral("Open terrain file"));
    }
    const auto oCreate = oControl.waitFor(QStringLiteral("in"), orlex_standin::coreType("CreateTerrainFromJsonMessage"), nFrom);
    ASSERT_TRUE(oCreate.has_value());
    const QByteArray baCreate = QJsonDocument(*oCreate).toJson(QJsonDocument::Compact);
    EXPECT_TRUE(baCreate.contains("MAPS"));
    EXPECT_TRUE(baCreate.contains(strChart.toUtf8()));
    // The folder is remembered for the next chart.
    QSettings oGuiIni(dataFolder() + QStringLiteral("/gui.ini"), QSettings::IniFormat);
    EXPECT_EQ(oGuiIni.value(QStringLiteral("RUNTIME/MapPath")).toString(), QFileInfo(strChart).absolutePath());

    // Cancelled: nothing is loaded.
    const qint64 nAfter = mark(oControl);
    {
        ModalResponder oCancel;
        window().loadBackgroundChart();
        ASSERT_EQ(oCancel.seen().size(), 1);
    }
    COrlexViewer::instance(QStringLiteral("dremm"))->addTerrainFromJson(QStringLiteral("REMOVE"));
    ASSERT_TRUE(oControl.waitFor(QStringLiteral("in"), orlex_standin::coreType("DestroyObjectMessage"), nAfter).has_value());
    EXPECT_TRUE(oControl.entries(QStringLiteral("in"), orlex_standin::coreType("CreateTerrainFromJsonMessage"), nAfter).isEmpty());
}

// The window state keeps tool bars by object name; the tool bars' own menu lists their titles.
TEST_F(MainWindowActionsTest, ToolBarsHaveNamesAndTitles)
{
    const QList<QToolBar*> lstToolBars = window().findChildren<QToolBar*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_FALSE(lstToolBars.isEmpty());
    for (const QToolBar* poToolBar : lstToolBars) {
        EXPECT_FALSE(poToolBar->objectName().isEmpty());
        EXPECT_FALSE(poToolBar->windowTitle().isEmpty()) << qPrintable(poToolBar->objectName());
    }
}

QStringList g_lstDebugLines;

// The QA log's folder is made when missing; a log file that cannot be opened is reported once.
TEST_F(MainWindowActionsTest, QaLogFolderIsMadeAndAFailureSaidOnce)
{
    const QString strFolder = platform::toNativePath(QStringLiteral("C:/Temp"));
    QDir(strFolder).removeRecursively();
    window().logMsgToFile(QStringLiteral("first entry"));
    QFile oLog(strFolder + QStringLiteral("/QELQA_Log.txt"));
    ASSERT_TRUE(oLog.open(QIODevice::ReadOnly));
    EXPECT_TRUE(oLog.readAll().contains("first entry"));

    // A folder where the file should be: it cannot be opened.
    QDir(strFolder).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(strFolder + QStringLiteral("/QELQA_Log.txt")));
    g_lstDebugLines.clear();
    const QtMessageHandler fnPrevious = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& strMsg) { g_lstDebugLines << strMsg; });
    for (int i = 0; i < 3; ++i)
        window().logMsgToFile(QStringLiteral("entry %1").arg(i));
    qInstallMessageHandler(fnPrevious);
    EXPECT_EQ(g_lstDebugLines.filter(QStringLiteral("Unable to log info")).size(), 1) << qPrintable(g_lstDebugLines.join('\n'));
    QDir(strFolder).removeRecursively();
    QDir().mkpath(strFolder);
}

TEST_F(MainWindowActionsTest, AboutWindowNamesTheRelease)
{
    QMetaObject::invokeMethod(&window(), "onActionAbout");
    QWidget* poAbout = nullptr;
    ASSERT_TRUE(corvtest::waitUntil([&] {
        for (QWidget* poTop : QApplication::topLevelWidgets())
            if (poTop->isVisible() && poTop->windowTitle() == QStringLiteral("About"))
                poAbout = poTop;
        return poAbout != nullptr;
    }));
    const QPointer<QWidget> poGuard(poAbout);
    // Over the main window, large enough for its text.
    EXPECT_TRUE(window().frameGeometry().contains(poAbout->geometry().center()))
        << poAbout->geometry().x() << "," << poAbout->geometry().y();
    EXPECT_TRUE(poAbout->width() >= poAbout->sizeHint().width() && poAbout->height() >= poAbout->sizeHint().height());
    const QStringList lstLines = poAbout->findChild<QLabel*>()->text().split(QLatin1Char('\n'));
    ASSERT_GE(lstLines.size(), 4);
    EXPECT_EQ(lstLines.at(1), QStringLiteral("Release 5.11"));
    EXPECT_TRUE(lstLines.at(3).contains(QLatin1String("5.11.1")) && lstLines.at(3).contains(QLatin1String("447")));
    poAbout->findChild<QPushButton*>()->click();
    // Closed, it deletes itself.
    EXPECT_TRUE(corvtest::waitUntil([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return poGuard.isNull();
    }));
}

// The main station's configuration, dispatched on the runtime thread as the control socket
// hands it over, starts the window's poll for the vessel's survey.
TEST_F(MainWindowActionsTest, ConfigurationFromTheMainStationStartsThePoll)
{
    CUlmaRuntime* poRuntime = CUlmaRuntime::instance(4);
    ASSERT_NE(poRuntime, nullptr);
    ASSERT_FALSE(window().polledVessels().contains(QStringLiteral("gamma")));
    QMetaObject::invokeMethod(
        poRuntime,
        [poRuntime] {
            QByteArray baDatagram = "$GUICONF,gamma,,AB2200_1,AB2200_1,a,b,c,1,1,1,1,x,y,D:/grids/S7\n\r";
            poRuntime->processCtrlDatagrams(baDatagram, QStringLiteral("10.0.0.9"));
        },
        Qt::QueuedConnection);
    ASSERT_TRUE(corvtest::waitUntil([&] { return window().polledVessels().contains(QStringLiteral("gamma")); }, 10000));
    EXPECT_EQ(poRuntime->getVesselGridPath(QStringLiteral("gamma")), QStringLiteral("D:/grids/S7"));
}

} // namespace

namespace {

// The field of a logged body: levels of fields, base parts first; a negative level counts from
// the struct's own level.
QJsonObject loggedField(const QJsonObject& oBody, int nLevel, int nId)
{
    const QJsonArray aLevels = oBody.value(QStringLiteral("levels")).toArray();
    const QJsonArray aFields = aLevels.at(nLevel < 0 ? aLevels.size() + nLevel : nLevel).toArray();
    for (const QJsonValue& vField : aFields)
        if (vField.toObject().value(QStringLiteral("id")).toInt() == nId)
            return vField.toObject();
    return QJsonObject();
}

} // namespace

TEST_F(MainWindowActionsTest, MapViewerSettingsReachTheView)
{
    orlex_standin::StandinControl oControl;
    ASSERT_TRUE(oControl.connectTo(s_poServer->controlPath()));
    // The graticule is made a few seconds after the start.
    ASSERT_TRUE(oControl.waitFor(QStringLiteral("in"), orlex_standin::quennetType("CreateGraticuleMessage"), 0, 10000).has_value());
    const auto configuration = [&](const char* szKey) {
        const QJsonArray aViewers = oControl.state().value(QStringLiteral("viewers")).toArray();
        return aViewers.first().toObject().value(QStringLiteral("configuration")).toObject().value(QLatin1String(szKey)).toString();
    };
    const auto body = [](const QJsonObject& oEntry) { return oEntry.value(QStringLiteral("body")).toObject(); };
    const auto graticuleSettings = [&](const QJsonObject& oEntry) { return loggedField(body(oEntry), -1, 0); };
    struct Case {
        int nId;
        QVariant vValue;
        QString strType; // the message the setting sends
        std::function<void(const QJsonObject&)> check;
    };
    const Case aCases[] = {
        {CSettingsMapViewer::BackgroundColour2D, QColor(255, 128, 0), orlex_standin::coreType("UpdateConfigurationMessage"),
         [&](const QJsonObject&) { EXPECT_EQ(configuration("graphics.backgroundColor"), QStringLiteral("1 0.501961 0")); }},
        {CSettingsMapViewer::LightDirection, 2u, orlex_standin::coreType("UpdateConfigurationMessage"),
         [&](const QJsonObject&) { EXPECT_EQ(configuration("environment.directionalLightDirection"), QStringLiteral("-1, 1, -0.5")); }},
        {CSettingsMapViewer::GraticuleLabelFormat, 3u, orlex_standin::quennetType("UpdateGraticuleMessage"),
         [&](const QJsonObject& oEntry) {
             const QJsonObject oSettings{{QStringLiteral("levels"), graticuleSettings(oEntry).value(QStringLiteral("levels"))}};
             EXPECT_EQ(loggedField(oSettings, 0, 0).value(QStringLiteral("v")).toInt(), 1); // projected
         }},
        {CSettingsMapViewer::GraticuleColour, QColor(0, 51, 255), orlex_standin::quennetType("UpdateGraticuleMessage"),
         [&](const QJsonObject& oEntry) {
             const QJsonObject oSettings{{QStringLiteral("levels"), graticuleSettings(oEntry).value(QStringLiteral("levels"))}};
             const QJsonObject oLine{{QStringLiteral("levels"), loggedField(oSettings, 0, 3).value(QStringLiteral("levels"))}};
             EXPECT_FLOAT_EQ(static_cast<float>(loggedField(oLine, 0, 1).value(QStringLiteral("v")).toDouble()), 0.2f);
         }},
        {CSettingsMapViewer::GraticuleVisibility, false, orlex_standin::coreType("UpdateVisibilityMessage"),
         [&](const QJsonObject& oEntry) { EXPECT_TRUE(loggedField(body(oEntry), -1, 0).isEmpty()); }}, // false is the default
        {CSettingsMapViewer::S57MapVisibility, false, orlex_standin::coreType("UpdateLayersVisibilityMessage"),
         [&](const QJsonObject& oEntry) { EXPECT_TRUE(QJsonDocument(oEntry).toJson().contains("\"MAPS\"")); }},
        {CSettingsMapViewer::PlanVisibility, false, orlex_standin::coreType("UpdateLayersVisibilityMessage"),
         [&](const QJsonObject& oEntry) { EXPECT_TRUE(QJsonDocument(oEntry).toJson().contains("\"Planning\"")); }},
    };
    for (const Case& oCase : aCases) {
        SCOPED_TRACE(oCase.nId);
        const qint64 nFrom = mark(oControl);
        CSettingsManager::instance()->setValue(MapViewer, oCase.nId, oCase.vValue, true);
        const auto oEntry = oControl.waitFor(QStringLiteral("in"), oCase.strType, nFrom);
        ASSERT_TRUE(oEntry.has_value());
        oCase.check(*oEntry);
    }
}

TEST_F(MainWindowActionsTest, SafetyContourDepthGoesIntoTheActiveSurveysDepthMap)
{
    COrlexGrid* poGrid = COrlexViewer::instance(QStringLiteral("dremm"))->getDataManager()->getActiveSurvey();
    ASSERT_NE(poGrid, nullptr);
    ColorMap* poMap = poGrid->getColorMap(0, 0, 0);
    ASSERT_NE(poMap, nullptr);
    CSettingsManager* poSettings = CSettingsManager::instance();
    ASSERT_NE(poSettings, nullptr);
    const int nMapViewer = 16;
    const QString strTokens = platform::toNativePath(programDataPath() + QStringLiteral("QelTokens.json"));
    const auto setOffsetToken = [&](int nValue) {
        QFile oFile(strTokens);
        QJsonObject oRoot;
        if (oFile.open(QIODevice::ReadOnly))
            oRoot = QJsonDocument::fromJson(oFile.readAll()).object();
        oFile.close();
        QJsonArray aTokens;
        for (const QJsonValue& vToken : oRoot.value(QStringLiteral("tokens")).toArray())
            if (vToken.toObject().value(QStringLiteral("Name")).toString() != QLatin1String("ROZOVED_SAFETY_CONTOUR_RANGE_MAX"))
                aTokens.append(vToken);
        aTokens.append(QJsonObject{{"Name", "ROZOVED_SAFETY_CONTOUR_RANGE_MAX"}, {"Type", 2}, {"Value", QString::number(nValue)}, {"Descr", ""}});
        oRoot.insert(QStringLiteral("tokens"), aTokens);
        if (!oRoot.contains(QStringLiteral("version")))
            oRoot.insert(QStringLiteral("version"), QStringLiteral("1"));
        ASSERT_TRUE(writeFile(strTokens, QJsonDocument(oRoot).toJson()));
    };

    struct Case {
        const char* szName;
        bool bVisible;
        QColor colour;
        int nToken;
        QString strDepth;
        // The band's end, or nothing when no band is set.
        std::optional<float> fBandEnd;
    };
    const Case aCases[] = {
        {"hidden: nothing", false, Qt::red, 250, QStringLiteral("12.5"), std::nullopt},
        // The token is whole metres: 250 adds 2, not 2.5.
        {"offset truncated", true, Qt::red, 250, QStringLiteral("12.5"), 14.5f},
        {"negative offset, band replaced", true, Qt::green, -150, QStringLiteral("12.5"), 11.5f},
        {"not a number is depth 0", true, Qt::green, 0, QStringLiteral("deep"), 0.0f},
    };
    for (const Case& oCase : aCases) {
        poSettings->setValue(nMapViewer, CSettingsMapViewer::SafetyCountorVisibility, oCase.bVisible, false);
        poSettings->setValue(nMapViewer, CSettingsMapViewer::SafetyContourColor, oCase.colour, false);
        setOffsetToken(oCase.nToken);
        const QByteArray baBefore = poMap->save();
        window().onHandleUlmaMsg(31, oCase.strDepth);
        QCoreApplication::processEvents();
        EXPECT_TRUE(outputText().contains(QStringLiteral("UlmaxMsg: ") + oCase.strDepth)) << oCase.szName;
        if (!oCase.fBandEnd) {
            EXPECT_EQ(poMap->save(), baBefore) << oCase.szName;
            continue;
        }
        // One band from the surface to the depth, in the setting's colour.
        ASSERT_EQ(poMap->stopList().size(), 1) << oCase.szName;
        EXPECT_EQ(poMap->startList().value(0).toDouble(), 0.0) << oCase.szName;
        EXPECT_EQ(poMap->stopList().value(0).toFloat(), *oCase.fBandEnd) << oCase.szName;
        EXPECT_EQ(poMap->colorList().value(0).value<QColor>(), oCase.colour) << oCase.szName;
    }
}

// The map view's status texts (the point-cloud hand-off) reach the window's status line.
TEST_F(MainWindowActionsTest, MapViewStatusTextsReachTheStatusLine)
{
    CMapView2D* poMap = CQaMapViewManager::instance()->getMapView2D();
    ASSERT_NE(poMap, nullptr);
    emit poMap->sigSetStatusText(QStringLiteral("Loading point data. Please wait...."), 10000);
    EXPECT_EQ(window().statusBar()->currentMessage(), QStringLiteral("Loading point data. Please wait...."));
    emit poMap->sigSetStatusText(QStringLiteral("Warning: No point data files found!"));
    EXPECT_EQ(window().statusBar()->currentMessage(), QStringLiteral("Warning: No point data files found!"));
}

// "Open Terrain Model..." starts in the grid root and says in one box why a folder is no grid.
TEST_F(MainWindowActionsTest, OpenTerrainModelStartsInTheGridRootAndRefusesOtherFolders)
{
    const QString strGroup = QLatin1String(GuiIni::GroupGeneralDefs);
    GuiIni::setValue(strGroup, QStringLiteral("Gridpath"), QString());
    const QString strRoot = QDir::cleanPath(platform::toNativePath(QStringLiteral("C:/qeldata/grids")));
    const QString strVessel = strRoot + QStringLiteral("/gamma");
    QDir(strVessel).removeRecursively();
    struct Case {
        const char* szName;
        QStringList lstFiles;
        const char* szReason;
    };
    const Case aCases[] = {
        {"Plain", {}, "no \"Terrain\" folder and no projection file"},
        {"NoProjection", {QStringLiteral("Terrain/surveyinfo.json")}, "no projection file (qel_projv6.txt)"},
        {"NoTerrain", {QStringLiteral("qel_projv6.txt")}, "has no \"Terrain\" folder"},
    };
    QString strExpectedStart = strRoot;
    for (const Case& oCase : aCases) {
        const QString strFolder = strVessel + QLatin1Char('/') + QLatin1String(oCase.szName);
        ASSERT_TRUE(QDir().mkpath(strFolder));
        for (const QString& strFile : oCase.lstFiles)
            ASSERT_TRUE(writeFile(strFolder + QLatin1Char('/') + strFile, "x"));
        QList<ModalResponder::Seen> lstSeen;
        {
            ModalResponder oAnswer(strFolder);
            window().onActionLoadExistingGrid();
            lstSeen = oAnswer.seen();
        }
        ASSERT_EQ(lstSeen.size(), 2) << oCase.szName;
        EXPECT_EQ(lstSeen.at(0).strTitle, QStringLiteral("Select grid folder"));
        EXPECT_EQ(lstSeen.at(0).strFolder, strExpectedStart) << oCase.szName;
        EXPECT_EQ(lstSeen.at(1).strTitle, QStringLiteral("Open Terrain Model"));
        EXPECT_TRUE(lstSeen.at(1).strText.startsWith(strFolder + QStringLiteral(" cannot be opened: ")))
            << qPrintable(lstSeen.at(1).strText);
        EXPECT_TRUE(lstSeen.at(1).strText.contains(QLatin1String(oCase.szReason))) << qPrintable(lstSeen.at(1).strText);
        EXPECT_FALSE(lstSeen.at(1).strText.contains(QLatin1String("//")));
        // The next dialog starts beside the folder chosen.
        strExpectedStart = strVessel;
    }
    EXPECT_EQ(describe(surveyCloseMenu()).filter(QStringLiteral("gamma")), QStringList());
    QDir(strVessel).removeRecursively();
}

// Every entry of the map view's tool bar shows an icon that loads.
TEST_F(MainWindowActionsTest, MapViewToolBarIconsLoad)
{
    CMapView2D* poMap = CQaMapViewManager::instance()->getMapView2D();
    ASSERT_NE(poMap, nullptr);
    const QList<QToolButton*> lstButtons = poMap->findChildren<QToolButton*>();
    ASSERT_FALSE(lstButtons.isEmpty());
    int nShown = 0;
    for (const QToolButton* poButton : lstButtons) {
        if (!poButton->isVisibleTo(poMap) || poButton->objectName() == QLatin1String("qt_toolbar_ext_button"))
            continue;
        ++nShown;
        EXPECT_FALSE(poButton->icon().pixmap(QSize(24, 24)).isNull())
            << qPrintable(poButton->toolTip() + QLatin1Char(' ') + poButton->text());
    }
    EXPECT_GE(nShown, 8);
}

// At 800 x 600 the panes keep apart inside the window; enlarged again, the bottom panes get their
// height back.
TEST_F(MainWindowActionsTest, SmallWindowKeepsPanesApartAndBottomPanesRecover)
{
    ASSERT_TRUE(corvtest::waitUntil([&] {
        auto* poWeb = window().findChild<QDockWidget*>(QStringLiteral("webDockWidget"));
        return poWeb && poWeb->isVisible();
    }, 20000));
    auto setSize = [&](int nWidth, int nHeight) {
        window().resize(nWidth, nHeight);
        return corvtest::waitUntil([&] { return window().size() == QSize(nWidth, nHeight); })
               && !corvtest::waitUntil([] { return false; }, 300);
    };
    auto docked = [&] {
        QList<QDockWidget*> lstDocks;
        for (QDockWidget* poDock : window().findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (poDock->isVisible() && !poDock->isFloating())
                lstDocks << poDock;
        return lstDocks;
    };
    auto bottomHeights = [&] {
        QMap<QString, int> mapHeights;
        for (QDockWidget* poDock : docked())
            if (window().dockWidgetArea(poDock) == Qt::BottomDockWidgetArea)
                mapHeights.insert(poDock->objectName(), poDock->height());
        return mapHeights;
    };
    ASSERT_TRUE(setSize(1280, 960));
    const QMap<QString, int> mapBefore = bottomHeights();
    ASSERT_FALSE(mapBefore.isEmpty());

    ASSERT_TRUE(setSize(800, 600));
    const QList<QDockWidget*> lstDocks = docked();
    for (int i = 0; i < lstDocks.size(); ++i) {
        const QRect oRect = lstDocks.at(i)->geometry();
        EXPECT_TRUE(window().rect().contains(oRect)) << qPrintable(lstDocks.at(i)->objectName());
        for (int j = i + 1; j < lstDocks.size(); ++j)
            EXPECT_FALSE(oRect.intersects(lstDocks.at(j)->geometry()))
                << qPrintable(lstDocks.at(i)->objectName() + QStringLiteral(" over ") + lstDocks.at(j)->objectName());
    }

    ASSERT_TRUE(setSize(1280, 960));
    const QMap<QString, int> mapAfter = bottomHeights();
    ASSERT_EQ(mapAfter.keys(), mapBefore.keys());
    for (const QString& strName : mapBefore.keys())
        EXPECT_NEAR(mapAfter.value(strName), mapBefore.value(strName), 6) << qPrintable(strName);
}
