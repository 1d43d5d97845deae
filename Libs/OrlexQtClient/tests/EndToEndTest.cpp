// The client against the stand-in viewer server under Xvfb, started the way the program starts
// it: the server's window embedded in the host window, sizes in device pixels, clean shutdown.
// Runs with QT_SCALE_FACTOR=1.25.
#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/NativeWindows.h"
#include "OrlexQtClient/OrlexHostWindow.h"
#include "OrlexQtClient/ViewerProcess.h"

#include "orlex_standin/control.h"
#include "platform/pipes.h"
#include "test_scratch.h"

#include "test_wait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopWidget>
#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLayout>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <chrono>

namespace QC = Dremm::Orlex::QtClient;
namespace O = Tavrin::Dremm::Orlex;

namespace {

using Clock = std::chrono::steady_clock;

QJsonObject viewerState(orlex_standin::StandinControl& control, int viewerId)
{
    const QJsonArray viewers = control.state().value("viewers").toArray();
    for (const QJsonValue& viewer : viewers) {
        if (viewer.toObject().value("id").toInt(-1) == viewerId)
            return viewer.toObject();
    }
    return {};
}

bool waitForViewerSize(orlex_standin::StandinControl& control, int viewerId, int width, int height)
{
    return QTest::qWaitFor(
        [&] {
            const QJsonObject viewer = viewerState(control, viewerId);
            return viewer.value("width").toInt() == width && viewer.value("height").toInt() == height;
        },
        10000);
}

} // namespace

TEST(EndToEnd, ServerWindowIsEmbeddedAndFollowsTheSizeInDevicePixels)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_DOUBLE_EQ(QApplication::desktop()->devicePixelRatioF(), 1.25);
    qunsetenv("QT_SCALE_FACTOR"); // the server draws at its own scale
    ASSERT_TRUE(platform::ensurePipeDirectory());
    const QString logPath = QDir(corvtest::scratchDir()).filePath("e2e-server.log");
    const QString controlPath = QDir(platform::pipeDirectory()).filePath("e2e.control");
    QFile::remove(logPath);
    qputenv("ORLEX_STANDIN_LOG", logPath.toLocal8Bit());
    qputenv("ORLEX_STANDIN_CONTROL", controlPath.toLocal8Bit());

    const std::string server = QDir(qEnvironmentVariable("CORV_BIN_DIR")).filePath("Tavrin.Dremm.Orlex.exe").toStdString();
    QC::ViewerProcess process(server, false, 0, "e2eClient", 0, true);
    ASSERT_NE(process.processId(), 0);

    auto client = std::make_shared<QC::MessageClient>("e2eClient"); // the open tries cover its start
    ASSERT_TRUE(client->writer()->isValid());
    ASSERT_NE(client->dispatcher(), nullptr);
    client->dispatcher()->enableWriterThread();
    orlex_standin::StandinControl control;
    ASSERT_TRUE(control.connectTo(controlPath));

    auto window = std::make_unique<QC::OrlexHostWindow>();
    std::vector<std::string> errors;
    QObject::connect(window.get(), &QC::OrlexHostWindow::ErrorMessageReceived,
                     [&](const O::ErrorMessage* error) { errors.push_back(error->Message); });
    window->resize(803, 600);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->initialize(client, {{"NotifyMouseMove", "false"}});
    window->setReceiveAllMessages(true);
    const int viewerId = window->viewerId();

    // Exactly the server's one window, wrapped in a container inside the host window.
    ASSERT_NE(window->layout(), nullptr);
    EXPECT_EQ(window->layout()->count(), 1);
    const QJsonArray windows = control.state().value("windows").toArray();
    ASSERT_EQ(windows.size(), 1);
    const WId serverWindow = windows.first().toObject().value("winId").toString().toULongLong();
    EXPECT_TRUE(QTest::qWaitFor([&] { // the container shows and takes the window in with the next events
        const std::vector<WId> inside = QC::nativeDescendantWindows(window->winId());
        return std::find(inside.begin(), inside.end(), serverWindow) != inside.end();
    }));

    // 803 x 600 at 1.25: 1003.75 is cut to 1003.
    EXPECT_TRUE(waitForViewerSize(control, viewerId, 1003, 750));
    window->resize(400, 300);
    EXPECT_TRUE(waitForViewerSize(control, viewerId, 500, 375));

    const QString shot = qEnvironmentVariable("ORLEX_CLIENT_SCREENSHOT");
    if (!shot.isEmpty())
        QGuiApplication::primaryScreen()->grabWindow(0).save(shot);

    // The server answers both closing requests at once.
    auto start = Clock::now();
    window.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(control.state().value("windows").toArray().isEmpty());
    start = Clock::now();
    client.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_TRUE(errors.empty());
    // The server logs the client's last message once it has read it; that may take a moment.
    EXPECT_TRUE(corvtest::waitUntil([&] {
        for (const QJsonObject& entry : orlex_standin::readLog(logPath))
            if (entry.value("dir").toString() == "in" && entry.value("type").toString().endsWith(".TerminatedMessage"))
                return true;
        return false;
    }));

    QStringList ending;
    for (const QJsonObject& entry : orlex_standin::readLog(logPath)) {
        const QString type = entry.value("type").toString();
        if (type.endsWith("TerminateMessage") || type.endsWith("TerminatedMessage"))
            ending << entry.value("dir").toString() + " " + type.section('.', -1);
    }
    EXPECT_EQ(ending, (QStringList{"in TerminateMessage", "out TerminatedMessage", "in TerminatedMessage"}));
}
