// The server's window covers exactly the host window inside a main window with menus, tool bar
// and docks, under a window manager: after each of several creations, a resize, a dock move and
// a restored state.
#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "OrlexQtClient/ViewerProcess.h"

#include "orlex_standin/control.h"
#include "platform/pipes.h"
#include "test_scratch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QJsonArray>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>
#include <QVBoxLayout>
#include <QX11Info>

#include <X11/Xlib.h>

#include <memory>

namespace QC = Dremm::Orlex::QtClient;

namespace {

std::string text(const QRect& rect)
{
    return QStringLiteral("%1,%2 %3x%4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height()).toStdString();
}

// Where a native window is on the screen.
QRect screenRect(WId window)
{
    Display* display = QX11Info::display();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, static_cast<Window>(window), &attributes))
        return QRect();
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, static_cast<Window>(window), DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

class EmbedGeometry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        if (openbox.isEmpty())
            GTEST_SKIP() << "openbox is not installed";
        m_windowManager.start(openbox, {QStringLiteral("--sm-disable")});
        ASSERT_TRUE(m_windowManager.waitForStarted());

        ASSERT_TRUE(platform::ensurePipeDirectory());
        const QString controlPath = QDir(platform::pipeDirectory()).filePath(QStringLiteral("geometry.control"));
        qputenv("ORLEX_STANDIN_LOG", QDir(corvtest::scratchDir()).filePath(QStringLiteral("geometry.log")).toLocal8Bit());
        qputenv("ORLEX_STANDIN_CONTROL", controlPath.toLocal8Bit());
        const std::string server =
            QDir(qEnvironmentVariable("CORV_BIN_DIR")).filePath(QStringLiteral("Tavrin.Dremm.Orlex.exe")).toStdString();
        m_process = std::make_unique<QC::ViewerProcess>(server, false, 0, "geometryClient", 0, true);
        ASSERT_NE(m_process->processId(), 0);
        m_client = std::make_shared<QC::MessageClient>("geometryClient");
        ASSERT_TRUE(m_client->writer()->isValid());
        m_client->dispatcher()->enableWriterThread();
        ASSERT_TRUE(m_control.connectTo(controlPath));

        // A main window as the program builds it: menus, a tool bar, docks around the map pane.
        m_window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("Open"));
        m_window.addToolBar(QStringLiteral("Tools"))->addAction(QStringLiteral("Zoom"));
        m_window.findChild<QToolBar*>()->setObjectName(QStringLiteral("tools"));
        for (auto [name, area] : {std::pair{"left", Qt::LeftDockWidgetArea}, std::pair{"bottom", Qt::BottomDockWidgetArea}}) {
            auto* dock = new QDockWidget(QString::fromLatin1(name), &m_window);
            dock->setObjectName(QString::fromLatin1(name));
            dock->setWidget(new QLabel(QString::fromLatin1(name)));
            m_window.addDockWidget(area, dock);
        }
        m_pane = new QWidget;
        m_paneLayout = new QVBoxLayout(m_pane);
        m_paneLayout->setContentsMargins(0, 0, 0, 0);
        m_window.setCentralWidget(m_pane);
        m_window.resize(1000, 700);
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    void TearDown() override
    {
        m_host.reset();
        m_client.reset();
        m_process.reset();
        if (m_windowManager.state() != QProcess::NotRunning) {
            m_windowManager.terminate();
            m_windowManager.waitForFinished(5000);
        }
    }

    void createHost()
    {
        m_host.reset();
        m_host = std::make_unique<QC::OrlexHostWindow>(m_pane);
        m_paneLayout->addWidget(m_host.get());
        m_host->show();
        m_host->initialize(m_client, {{"NotifyMouseMove", "false"}});
    }

    WId serverWindow()
    {
        const QJsonArray windows = m_control.state().value(QStringLiteral("windows")).toArray();
        return windows.size() == 1 ? windows.first().toObject().value(QStringLiteral("winId")).toString().toULongLong() : 0;
    }

    QRect hostRect() const { return QRect(m_host->mapToGlobal(QPoint(0, 0)), m_host->size()); }

    // The server's window on the screen matches the host window, within the time a frame or two
    // of events takes.
    void expectCovered(const char* when)
    {
        const WId window = serverWindow();
        ASSERT_NE(window, 0u) << when;
        EXPECT_TRUE(corvtest::waitUntil([&] { return screenRect(window) == hostRect(); }, 2000))
            << when << ": server window " << text(screenRect(window)) << ", host " << text(hostRect());
    }

    QProcess m_windowManager;
    std::unique_ptr<QC::ViewerProcess> m_process;
    std::shared_ptr<QC::MessageClient> m_client;
    orlex_standin::StandinControl m_control;
    QMainWindow m_window;
    QWidget* m_pane = nullptr;
    QVBoxLayout* m_paneLayout = nullptr;
    std::unique_ptr<QC::OrlexHostWindow> m_host;
};

TEST_F(EmbedGeometry, ServerWindowCoversTheHostWindowExactly)
{
    for (int start = 0; start < 8; ++start) {
        createHost();
        expectCovered(("creation " + std::to_string(start)).c_str());
    }
    const QByteArray state = m_window.saveState();

    m_window.resize(800, 560);
    expectCovered("after a resize");

    auto* left = m_window.findChild<QDockWidget*>(QStringLiteral("left"));
    m_window.removeDockWidget(left);
    m_window.addDockWidget(Qt::RightDockWidgetArea, left);
    left->show();
    expectCovered("after a dock move");

    ASSERT_TRUE(m_window.restoreState(state));
    expectCovered("after a restored state");
}

} // namespace
