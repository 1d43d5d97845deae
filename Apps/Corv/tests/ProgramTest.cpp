// The program as a user starts it, with the viewer-server stand-in, under Xvfb: the start order
// the server sees, the window, closing it, and what it leaves behind for the next start.
#include "orlex_standin/control.h"
#include "platform/process.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSize>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <optional>

namespace {

constexpr int StartTimeoutMs = 60000;

QString dataFolder(const QString& strRoot)
{
    return strRoot + QStringLiteral("/c/ProgramData/Tavrin Nautic/tqel");
}

bool writeFile(const QString& strPath, const QByteArray& baContent)
{
    QDir().mkpath(QFileInfo(strPath).absolutePath());
    QFile oFile(strPath);
    return oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(baContent) == baContent.size();
}

QByteArray readFile(const QString& strPath)
{
    QFile oFile(strPath);
    return oFile.open(QIODevice::ReadOnly) ? oFile.readAll() : QByteArray();
}

// The program's top-level windows on the X display, found by title.
class XDisplay {
public:
    XDisplay() : m_pDisplay(XOpenDisplay(nullptr)) {}
    ~XDisplay()
    {
        if (m_pDisplay)
            XCloseDisplay(m_pDisplay);
    }
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool isOpen() const { return m_pDisplay != nullptr; }

    // The first mapped top-level window whose title starts with strPrefix, also inside a window
    // manager's frame; 0 when none.
    Window findWindow(const QString& strPrefix, QString* pstrTitle = nullptr) const
    {
        return findIn(DefaultRootWindow(m_pDisplay), strPrefix, pstrTitle, 3);
    }

    QString title(Window window) const
    {
        XTextProperty oProperty;
        if (!XGetWMName(m_pDisplay, window, &oProperty) || !oProperty.value)
            return QString();
        const QString strTitle = QString::fromUtf8(reinterpret_cast<const char*>(oProperty.value),
                                                   static_cast<int>(oProperty.nitems));
        XFree(oProperty.value);
        return strTitle;
    }

    QSize size(Window window) const
    {
        XWindowAttributes oAttributes;
        if (!XGetWindowAttributes(m_pDisplay, window, &oAttributes))
            return QSize();
        return QSize(oAttributes.width, oAttributes.height);
    }

    void resize(Window window, int nWidth, int nHeight) const
    {
        XResizeWindow(m_pDisplay, window, static_cast<unsigned>(nWidth), static_cast<unsigned>(nHeight));
        XFlush(m_pDisplay);
    }

    // What the window manager's close button does.
    void close(Window window) const
    {
        XEvent oEvent = {};
        oEvent.xclient.type = ClientMessage;
        oEvent.xclient.window = window;
        oEvent.xclient.message_type = XInternAtom(m_pDisplay, "WM_PROTOCOLS", False);
        oEvent.xclient.format = 32;
        oEvent.xclient.data.l[0] = static_cast<long>(XInternAtom(m_pDisplay, "WM_DELETE_WINDOW", False));
        oEvent.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_pDisplay, window, False, NoEventMask, &oEvent);
        XFlush(m_pDisplay);
    }

    // What a window manager or another program may do to a window.
    void destroy(Window window) const
    {
        XDestroyWindow(m_pDisplay, window);
        XSync(m_pDisplay, False);
    }

private:
    Window findIn(Window parentWindow, const QString& strPrefix, QString* pstrTitle, int nDepth) const
    {
        Window root = 0;
        Window parent = 0;
        Window* pChildren = nullptr;
        unsigned int nCount = 0;
        if (!XQueryTree(m_pDisplay, parentWindow, &root, &parent, &pChildren, &nCount))
            return 0;
        Window found = 0;
        for (unsigned int i = 0; i < nCount && !found; ++i) {
            XWindowAttributes oAttributes;
            if (!XGetWindowAttributes(m_pDisplay, pChildren[i], &oAttributes) || oAttributes.map_state != IsViewable)
                continue;
            const QString strTitle = title(pChildren[i]);
            if (strTitle.startsWith(strPrefix)) {
                found = pChildren[i];
                if (pstrTitle)
                    *pstrTitle = strTitle;
            } else if (nDepth > 1 && strTitle.isEmpty()) {
                found = findIn(pChildren[i], strPrefix, pstrTitle, nDepth - 1);
            }
        }
        if (pChildren)
            XFree(pChildren);
        return found;
    }

    Display* m_pDisplay;
};

// One start of the program in a fresh installation of its own.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        corvtest::prepareScratch();
        ASSERT_TRUE(m_oX.isOpen()) << "no X display";
        m_strBase = QDir(corvtest::scratchDir()).filePath(QString::fromLatin1(
            ::testing::UnitTest::GetInstance()->current_test_info()->name()));
        QDir(m_strBase).removeRecursively();
        m_strRoot = m_strBase + QStringLiteral("/root");
        m_strPipes = m_strBase + QStringLiteral("/pipes");
        m_strWork = m_strBase + QStringLiteral("/work/bin");
        for (const QString& strDir : {m_strRoot, m_strPipes, m_strWork, m_strBase + QStringLiteral("/tools")})
            QDir().mkpath(strDir);
        QFile::setPermissions(m_strPipes, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        // PROJ's database where the installation keeps it.
        QDir().mkpath(dataFolder(m_strRoot) + QStringLiteral("/proj4"));
        QFile::link(QStringLiteral("/usr/share/proj/proj.db"), dataFolder(m_strRoot) + QStringLiteral("/proj4/proj.db"));
        // A stand-in for the error-message program that records its argument.
        const QString strErrorMsg = m_strBase + QStringLiteral("/tools/ErrorMsg.exe");
        writeFile(strErrorMsg, "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.args\"\n");
        QFile::setPermissions(strErrorMsg, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_strOrlexDir = qEnvironmentVariable("CORV_BIN_DIR");
    }

    void TearDown() override
    {
        if (m_poProcess && m_poProcess->state() != QProcess::NotRunning) {
            m_poProcess->kill();
            m_poProcess->waitForFinished(5000);
        }
        for (const platform::ProcessInfo& oInfo : serversLeft())
            platform::endProcess(oInfo.pid);
    }

    QString settingsFile() const
    {
        return m_strBase + QStringLiteral("/config/Tavrin Nautic AS/T-Qel Corvane.conf");
    }
    QString layoutFile() const { return dataFolder(m_strRoot) + QStringLiteral("/defaultCorv.cvn"); }
    QString logFile() const { return m_strBase + QStringLiteral("/corv.log"); }
    QString standinLog() const { return m_strBase + QStringLiteral("/standin.log"); }

    void start()
    {
        QProcessEnvironment oEnv = QProcessEnvironment::systemEnvironment();
        oEnv.insert(QStringLiteral("CORV_WINROOT"), m_strRoot);
        oEnv.insert(QStringLiteral("DREMM_PIPE_DIR"), m_strPipes);
        oEnv.insert(QStringLiteral("XDG_CONFIG_HOME"), m_strBase + QStringLiteral("/config"));
        oEnv.insert(QStringLiteral("ORLEXDIR"), m_strOrlexDir);
        oEnv.insert(QStringLiteral("ORLEX_STANDIN_LOG"), standinLog());
        oEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        oEnv.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
        oEnv.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
        oEnv.insert(QStringLiteral("PATH"), m_strBase + QStringLiteral("/tools:") + oEnv.value(QStringLiteral("PATH")));
        oEnv.remove(QStringLiteral("ProgramData"));
        oEnv.remove(QStringLiteral("CORV_DEBUG_OUTPUT"));
        m_poProcess = std::make_unique<QProcess>();
        m_poProcess->setProcessEnvironment(oEnv);
        m_poProcess->setWorkingDirectory(m_strWork);
        m_poProcess->start(qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/Corv"),
                           {QStringLiteral("-logfile"), logFile()});
        ASSERT_TRUE(m_poProcess->waitForStarted(10000));
    }

    // The main window once it is shown; 0 when it did not come.
    Window waitForWindow(QString* pstrTitle = nullptr)
    {
        Window window = 0;
        corvtest::waitUntil([&] {
            window = m_oX.findWindow(QStringLiteral("Corvane for Ulma"), pstrTitle);
            return window != 0 || m_poProcess->state() == QProcess::NotRunning;
        }, StartTimeoutMs);
        return window;
    }

    // initView has run: settings loaded, layout restored.
    bool waitForInitView()
    {
        return corvtest::waitUntil([&] { return readFile(logFile()).contains("constrInitApp") &&
                                                readFile(standinLog()).contains("SetCameraDataMessage"); },
                                   StartTimeoutMs);
    }

    int closeAndWait(Window window)
    {
        m_oX.close(window);
        if (!m_poProcess->waitForFinished(30000))
            return -1;
        return m_poProcess->exitStatus() == QProcess::NormalExit ? m_poProcess->exitCode() : -2;
    }

    // Viewer servers of this test that still run.
    std::vector<platform::ProcessInfo> serversLeft() const
    {
        std::vector<platform::ProcessInfo> lstLeft;
        for (const platform::ProcessInfo& oInfo :
             platform::findProcessesByImageName(QStringLiteral("Tavrin.Dremm.Orlex.exe"))) {
            QFile oEnviron(QStringLiteral("/proc/%1/environ").arg(oInfo.pid));
            if (oEnviron.open(QIODevice::ReadOnly)
                && oEnviron.readAll().split('\0').contains("DREMM_PIPE_DIR=" + m_strPipes.toLocal8Bit()))
                lstLeft.push_back(oInfo);
        }
        return lstLeft;
    }

    // The types of the messages the server read, in order.
    QStringList messagesRead() const
    {
        QStringList lstTypes;
        for (const QJsonObject& oRecord : orlex_standin::readLog(standinLog()))
            if (oRecord.value(QStringLiteral("dir")).toString() == QLatin1String("in"))
                lstTypes << oRecord.value(QStringLiteral("type")).toString().section(QLatin1Char('.'), -1);
        return lstTypes;
    }

    XDisplay m_oX;
    QString m_strBase;
    QString m_strRoot;
    QString m_strPipes;
    QString m_strWork;
    QString m_strOrlexDir;
    std::unique_ptr<QProcess> m_poProcess;
};

TEST_F(ProgramTest, StartsTheViewerInOrderAndEndsEverythingWhenClosed)
{
    start();
    QString strTitle;
    const Window window = waitForWindow(&strTitle);
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    EXPECT_EQ(strTitle, QStringLiteral("Corvane for Ulma 2200"));
    ASSERT_TRUE(waitForInitView());
    EXPECT_EQ(closeAndWait(window), 0) << m_poProcess->readAllStandardError().toStdString();

    // The constructor's steps and the delayed start, as the program reports them.
    const QByteArray baLog = readFile(logFile());
    int nPosition = -1;
    for (const char* szStep : {"Init database", "constrInitMembers", "constrLogging", "constrSurveyManager",
                               "constrSettings", "constrGui", "constrOptionalSubsystems", "constrMakeConnections",
                               "initRunTime", "initSubSystems", "Try to load http://127.0.0.1:8188/pages/CorvaneDisplay.html",
                               "constrInitApp"}) {
        const int nFound = baLog.indexOf(szStep, nPosition + 1);
        EXPECT_GT(nFound, nPosition) << szStep;
        nPosition = std::max(nPosition, nFound);
    }

    // The server's view: the connection, the viewer, its layers, then the live view; the server
    // is ended with the program.
    const QStringList lstRead = messagesRead();
    ASSERT_FALSE(lstRead.isEmpty());
    EXPECT_EQ(lstRead.first(), QStringLiteral("OrlexVersionMessage"));
    const int nCreate = lstRead.indexOf(QStringLiteral("CreateViewerMessage"));
    const int nLayers = lstRead.indexOf(QStringLiteral("CreateLayersMessage"));
    const int nCamera = lstRead.indexOf(QStringLiteral("SetCameraDataMessage"));
    EXPECT_GT(nCreate, 0);
    EXPECT_GT(nLayers, nCreate);
    EXPECT_GT(nCamera, nLayers) << lstRead.join(' ').toStdString();
    // The connection's close handshake ends the stream.
    EXPECT_EQ(lstRead.mid(lstRead.size() - 2), QStringList({QStringLiteral("TerminateMessage"), QStringLiteral("TerminatedMessage")}))
        << lstRead.join(' ').toStdString();
    EXPECT_TRUE(serversLeft().empty());

    // What the next start finds.
    const QByteArray baLayout = readFile(layoutFile());
    ASSERT_GE(baLayout.size(), 2);
    EXPECT_GT(baLayout.size(), 1 + static_cast<unsigned char>(baLayout.at(0)));
    QSettings oStored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(oStored.value(QStringLiteral("Application/RecentSurveyListLength")).toInt(), 5);
    EXPECT_EQ(oStored.value(QStringLiteral("MapViewer/QEL5PCAddr")).toString(), QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(oStored.value(QStringLiteral("Survey/GridOperation")).isNull());
    EXPECT_EQ(readFile(dataFolder(m_strRoot) + QStringLiteral("/corv_projv6.txt")),
              QByteArray("<QEL_Projection>\nEPSG:4326\n+proj=merc +datum=WGS84 +units=cm\n"));
}

TEST_F(ProgramTest, LayoutAndSettingsComeBackAtTheNextStart)
{
    start();
    Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_TRUE(waitForInitView());
    m_oX.resize(window, 1000, 700);
    ASSERT_TRUE(corvtest::waitUntil([&] { return m_oX.size(window) == QSize(1000, 700); }));
    ASSERT_EQ(closeAndWait(window), 0);

    // The operator's values between the runs: another sounder model and another station.
    {
        QSettings oStored(settingsFile(), QSettings::IniFormat);
        oStored.setValue(QStringLiteral("Application/RecentSurveyListLength"), 7);
        oStored.setValue(QStringLiteral("MapViewer/QEL5PCAddr"), QStringLiteral("127.0.0.2"));
    }
    {
        QSettings oGui(dataFolder(m_strRoot) + QStringLiteral("/gui.ini"), QSettings::IniFormat);
        oGui.setValue(QStringLiteral("RUNTIME/CorvModel"), 330);
    }
    // The processing station's page server.
    QTcpServer oStation;
    ASSERT_TRUE(oStation.listen(QHostAddress(QStringLiteral("127.0.0.2")), 8188)) << oStation.errorString().toStdString();
    QStringList lstRequests;
    QObject::connect(&oStation, &QTcpServer::newConnection, [&] {
        QTcpSocket* poSocket = oStation.nextPendingConnection();
        QObject::connect(poSocket, &QTcpSocket::readyRead, poSocket, [&lstRequests, poSocket] {
            const QByteArray baRequest = poSocket->readAll();
            lstRequests << QString::fromLatin1(baRequest.left(baRequest.indexOf('\r')));
            poSocket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 22\r\nConnection: close\r\n\r\n"
                            "<html>station</html>\r\n");
            poSocket->disconnectFromHost();
        });
    });

    QFile::remove(logFile());
    QFile::remove(standinLog());
    start();
    QString strTitle;
    window = waitForWindow(&strTitle);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(strTitle, QStringLiteral("Corvane for Ulma 330"));
    ASSERT_TRUE(waitForInitView());
    EXPECT_TRUE(corvtest::waitUntil([&] { return m_oX.size(window) == QSize(1000, 700); }))
        << m_oX.size(window).width() << "x" << m_oX.size(window).height();
    // The first load, then the reload 6 s after the start-up.
    const QString strReload = QStringLiteral("GET /Pages/CorvaneDisplay.html HTTP/1.1");
    EXPECT_TRUE(corvtest::waitUntil([&] { return lstRequests.contains(strReload); }, 30000))
        << lstRequests.join(' ').toStdString();
    // On a loaded machine the browser may still be starting when the reload replaces the first
    // load; when the first load reaches the station, it comes first.
    const int nFirst = lstRequests.indexOf(QStringLiteral("GET /pages/CorvaneDisplay.html HTTP/1.1"));
    if (nFirst >= 0)
        EXPECT_LT(nFirst, lstRequests.indexOf(strReload)) << lstRequests.join(' ').toStdString();
    ASSERT_EQ(closeAndWait(window), 0);

    QSettings oStored(settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(oStored.value(QStringLiteral("Application/RecentSurveyListLength")).toInt(), 7);
    EXPECT_EQ(oStored.value(QStringLiteral("MapViewer/QEL5PCAddr")).toString(), QStringLiteral("127.0.0.2"));
}

TEST_F(ProgramTest, ClosingBeforeTheViewIsReadyKeepsWhatWasStored)
{
    ASSERT_TRUE(writeFile(settingsFile(), "[Application]\nRecentSurveyListLength=8\n"));
    ASSERT_TRUE(writeFile(layoutFile(), "kept"));
    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_FALSE(readFile(logFile()).contains("constrInitApp"));
    EXPECT_EQ(closeAndWait(window), 0) << m_poProcess->readAllStandardError().toStdString();
    EXPECT_FALSE(readFile(logFile()).contains("constrInitApp"));
    EXPECT_EQ(readFile(settingsFile()), QByteArray("[Application]\nRecentSurveyListLength=8\n"));
    EXPECT_EQ(readFile(layoutFile()), QByteArray("kept"));
    EXPECT_TRUE(serversLeft().empty());
}

// With the installation's files beside it, a first start reports nothing missing.
TEST_F(ProgramTest, FirstStartWithTheInstalledFilesIsClean)
{
    for (const char* szFile : {"log4cplus_configureCorv.ini", "qamapview.default.layout.cvn"})
        ASSERT_TRUE(QFile::copy(m_strOrlexDir + QLatin1Char('/') + QLatin1String(szFile), m_strWork + QLatin1Char('/') + QLatin1String(szFile)));
    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_TRUE(waitForInitView());
    EXPECT_EQ(closeAndWait(window), 0);
    const QByteArray baErrors = m_poProcess->readAllStandardError();
    EXPECT_FALSE(baErrors.contains("log4cplus:ERROR")) << baErrors.toStdString();
    const QByteArray baLog = readFile(m_strWork + QStringLiteral("/Corv.log"));
    EXPECT_TRUE(baLog.contains("Start QelMainapp"));
    EXPECT_FALSE(baLog.contains("Failed to open")) << baLog.toStdString();
    EXPECT_FALSE(baLog.contains("Error reading")) << baLog.toStdString();
    // The user's own layout is written to the data folder, the installed one stays.
    EXPECT_TRUE(QFile::exists(layoutFile()));
    EXPECT_EQ(readFile(m_strWork + QStringLiteral("/qamapview.default.layout.cvn")),
              readFile(m_strOrlexDir + QStringLiteral("/qamapview.default.layout.cvn")));
}

// The viewer server dies: one clear message, written to the log; closing leaves no pipe behind.
TEST_F(ProgramTest, ViewerServerDeathIsShownOnceAndLeavesNoPipes)
{
    for (const char* szFile : {"log4cplus_configureCorv.ini", "qamapview.default.layout.cvn"})
        ASSERT_TRUE(QFile::copy(m_strOrlexDir + QLatin1Char('/') + QLatin1String(szFile), m_strWork + QLatin1Char('/') + QLatin1String(szFile)));
    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_TRUE(waitForInitView());
    for (const platform::ProcessInfo& oInfo : serversLeft())
        platform::endProcess(oInfo.pid);
    const QString strLog = m_strWork + QStringLiteral("/Corv.log");
    EXPECT_TRUE(corvtest::waitUntil([&] { return readFile(strLog).contains("The 3-D viewer has stopped"); }, 20000));
    // Nobody is left to answer the close handshake: closing does not wait for one.
    QElapsedTimer oClosing;
    oClosing.start();
    EXPECT_EQ(closeAndWait(window), 0);
    EXPECT_LT(oClosing.elapsed(), 3000);
    EXPECT_EQ(readFile(strLog).count("The 3-D viewer has stopped"), 1);
    EXPECT_EQ(QDir(m_strPipes).entryList(QDir::System | QDir::Files).filter(QStringLiteral("dremmCorv")).filter(
                  QRegularExpression(QStringLiteral("^dremmCorv(Out)?$"))), QStringList());
}

// The window system destroys the main window: the program ends as if it had been closed, and its
// viewer server with it.
TEST_F(ProgramTest, MainWindowDestroyedByTheWindowSystemEndsTheProgram)
{
    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_TRUE(waitForInitView());
    m_oX.destroy(window);
    ASSERT_TRUE(m_poProcess->waitForFinished(30000)) << "still running after its window was destroyed";
    EXPECT_EQ(m_poProcess->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_poProcess->exitCode(), 0);
    EXPECT_TRUE(corvtest::waitUntil([&] { return serversLeft().empty(); }, 10000));
    // The viewer's window went with the main window: the server does not report its own errors
    // for it.
    const QByteArray baErrors = m_poProcess->readAllStandardError();
    EXPECT_FALSE(baErrors.contains("BadWindow")) << baErrors.toStdString();
}

// Closing under a window manager: the viewer's window, embedded in the main window, is destroyed
// by its own server while it still exists; no X error reaches the program's standard error (the
// server's is the program's).
TEST_F(ProgramTest, ClosingUnderAWindowManagerRaisesNoXErrors)
{
    const QString strOpenbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (strOpenbox.isEmpty())
        GTEST_SKIP() << "openbox is not installed";
    QProcess oWindowManager;
    oWindowManager.start(strOpenbox, {QStringLiteral("--sm-disable")});
    ASSERT_TRUE(oWindowManager.waitForStarted());
    struct StopWindowManager {
        QProcess& oProcess;
        ~StopWindowManager()
        {
            oProcess.terminate();
            oProcess.waitForFinished(5000);
        }
    } oStop{oWindowManager};

    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_TRUE(waitForInitView());
    QElapsedTimer oClosing;
    oClosing.start();
    EXPECT_EQ(closeAndWait(window), 0);
    EXPECT_LT(oClosing.elapsed(), 10000);
    const QByteArray baErrors = m_poProcess->readAllStandardError();
    EXPECT_FALSE(baErrors.contains("BadWindow")) << baErrors.toStdString();
    EXPECT_FALSE(baErrors.contains("XCB error")) << baErrors.toStdString();
    EXPECT_TRUE(messagesRead().contains(QStringLiteral("DestroyViewerMessage")));
    // The server found its window still there when it destroyed it.
    for (const QJsonObject& oRecord : orlex_standin::readLog(standinLog())) {
        const QString strText = oRecord.value(QStringLiteral("text")).toString();
        EXPECT_FALSE(strText.contains(QLatin1String("already destroyed"))) << strText.toStdString();
    }
}

// A second copy in the same pipe folder says so and leaves the first one and its server alone.
TEST_F(ProgramTest, SecondCopyLeavesTheFirstAlone)
{
    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    const std::vector<platform::ProcessInfo> lstServers = serversLeft();
    ASSERT_EQ(lstServers.size(), 1u);

    std::unique_ptr<QProcess> poFirst = std::move(m_poProcess);
    start();
    ASSERT_TRUE(m_poProcess->waitForFinished(30000));
    EXPECT_EQ(m_poProcess->exitCode(), 1);
    EXPECT_TRUE(m_poProcess->readAllStandardError().contains("Corvane is already running"));
    const QString strArgs = m_strBase + QStringLiteral("/tools/ErrorMsg.exe.args");
    EXPECT_TRUE(corvtest::waitUntil([&] { return readFile(strArgs).startsWith("Corvane is already running"); }))
        << readFile(strArgs).toStdString();

    m_poProcess = std::move(poFirst);
    EXPECT_EQ(m_poProcess->state(), QProcess::Running);
    ASSERT_EQ(serversLeft().size(), 1u);
    EXPECT_EQ(serversLeft().front().pid, lstServers.front().pid);
    ASSERT_TRUE(waitForInitView());
    EXPECT_EQ(closeAndWait(window), 0);
}

// gui.ini may name a layout outside the data folder: neither read nor written there.
TEST_F(ProgramTest, LayoutFileNameStaysInTheDataFolder)
{
    const QString strOutside = m_strBase + QStringLiteral("/outside.cvn");
    ASSERT_TRUE(writeFile(strOutside, "outside"));
    ASSERT_TRUE(writeFile(dataFolder(m_strRoot) + QStringLiteral("/gui.ini"),
                          "[RUNTIME]\nCorvLayoutFile=../../../../../outside.cvn\n"));
    start();
    const Window window = waitForWindow();
    ASSERT_NE(window, 0u) << m_poProcess->readAllStandardError().toStdString();
    ASSERT_TRUE(waitForInitView());
    EXPECT_EQ(closeAndWait(window), 0);
    EXPECT_EQ(readFile(strOutside), QByteArray("outside"));
    EXPECT_TRUE(QFile::exists(layoutFile()));
}

// The installation's error-message program shows its message in a box and still records it.
TEST(ErrorMessageProgram, ShowsTheMessageAndRecordsIt)
{
    XDisplay oX;
    ASSERT_TRUE(oX.isOpen());
    const QString strLog = QDir(corvtest::scratchDir()).filePath(QStringLiteral("errormsg.jsonl"));
    QFile::remove(strLog);
    QProcess oProcess;
    QProcessEnvironment oEnv = QProcessEnvironment::systemEnvironment();
    oEnv.insert(QStringLiteral("CORV_COMPANION_LOG"), strLog);
    oEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    oProcess.setProcessEnvironment(oEnv);
    oProcess.start(qEnvironmentVariable("CORV_BIN_DIR") + QStringLiteral("/ErrorMsg.exe"),
                   {QStringLiteral("Failed to start Tavrin.Dremm.Orlex.exe.\nQel is terminated.")});
    ASSERT_TRUE(oProcess.waitForStarted());
    Window box = 0;
    ASSERT_TRUE(corvtest::waitUntil([&] { return (box = oX.findWindow(QStringLiteral("Corvane"))) != 0; }, 20000));
    EXPECT_TRUE(readFile(strLog).contains("Qel is terminated."));
    EXPECT_EQ(oProcess.state(), QProcess::Running);
    oX.close(box);
    EXPECT_TRUE(oProcess.waitForFinished(10000));
}

TEST_F(ProgramTest, WithoutTheViewerServerItEndsWithCode1)
{
    m_strOrlexDir = m_strBase + QStringLiteral("/empty");
    QDir().mkpath(m_strOrlexDir);
    start();
    ASSERT_TRUE(m_poProcess->waitForFinished(30000));
    EXPECT_EQ(m_poProcess->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_poProcess->exitCode(), 1);
    EXPECT_TRUE(m_poProcess->readAllStandardError().contains(
        "Uh-Oh! CreateProcess() failed to start program \"Tavrin.Dremm.Orlex.exe\"\n"));
    const QString strArgs = m_strBase + QStringLiteral("/tools/ErrorMsg.exe.args");
    ASSERT_TRUE(corvtest::waitUntil([&] { return QFile::exists(strArgs); }));
    EXPECT_TRUE(corvtest::waitUntil([&] {
        return readFile(strArgs) == QByteArray("Failed to start Tavrin.Dremm.Orlex.exe.\nQel is terminated.");
    })) << readFile(strArgs).toStdString();
    EXPECT_EQ(m_oX.findWindow(QStringLiteral("Corvane for Ulma")), 0u);
}

} // namespace
