// Under X11 the stand-in puts exactly one child window into the window it is given, draws its
// sketch there, and takes it away again with the viewer.
#include "client_bytes.h"

#include "orlex_standin/control.h"
#include "platform/pipes.h"
#include "platform/socket_io.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QWidget>

#include <X11/Xlib.h>

using namespace std::chrono_literals;
using clientbytes::Bytes;
using clientbytes::message;

namespace {

// Child windows of an X window (Xlib stays inside this file).
int childCount(unsigned long window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return -1;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    const Status ok = XQueryTree(display, window, &root, &parent, &children, &count);
    if (children)
        XFree(children);
    XCloseDisplay(display);
    return ok ? static_cast<int>(count) : -1;
}

// The size of the first child of an X window, or an empty size.
QSize firstChildSize(unsigned long window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return QSize();
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    QSize size;
    if (XQueryTree(display, window, &root, &parent, &children, &count) && count > 0) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[0], &attributes))
            size = QSize(attributes.width, attributes.height);
    }
    if (children)
        XFree(children);
    XCloseDisplay(display);
    return size;
}

QByteArray readExactly(int fd, int count)
{
    QByteArray got;
    const auto deadline = std::chrono::steady_clock::now() + 10000ms;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || platform::readAvailable(fd, got, left, static_cast<std::size_t>(count - got.size())).status
                                     != platform::IoStatus::Ok)
            break;
    }
    return got;
}


// Pointer input as a person gives it, through the XTest extension.
bool xdotool(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// Field 'id' of the last level of a logged struct.
QJsonValue fieldOf(const QJsonObject& structJson, int id)
{
    const QJsonArray levels = structJson.value(QStringLiteral("levels")).toArray();
    for (const QJsonValue& f : levels.last().toArray())
        if (f.toObject().value(QStringLiteral("id")).toInt() == id)
            return f.toObject().value(QStringLiteral("v"));
    return QJsonValue();
}

// The CreateViewerMessage of a client with its native window and configuration.
QByteArray createViewer(unsigned long handle, const std::vector<const char*>& settings)
{
    Bytes body;
    body.hex("01 01 31");
    for (quint64 zigzag = static_cast<quint64>(handle) << 1; ; zigzag >>= 7) {
        if (zigzag < 0x80) {
            body.raw(QByteArray(1, static_cast<char>(zigzag)));
            break;
        }
        body.raw(QByteArray(1, static_cast<char>((zigzag & 0x7f) | 0x80)));
    }
    body.hex("4D 09 09").raw(QByteArray(1, static_cast<char>(settings.size() / 2)));
    for (const char* text : settings)
        body.text(text);
    return message("CreateViewerMessage", body.hex("00"));
}

bool waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        if (condition())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return false;
}

TEST(StandinWindow, OneChildWindowLivesInTheHostWindowWithTheViewer)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QWidget host;
    host.setWindowTitle(QStringLiteral("host"));
    host.resize(640, 480);
    host.show();
    const unsigned long handle = host.winId();
    ASSERT_TRUE(waitUntil([&] { return host.isVisible(); }));
    ASSERT_EQ(childCount(handle), 0);

    orlex_standin::StandinProcess::Options options;
    options.pipeName = QStringLiteral("window");
    orlex_standin::StandinProcess server(options);
    ASSERT_TRUE(server.start()) << server.process().errorString().toStdString();
    platform::UniqueFd toServer = platform::connectPipe(options.pipeName);
    platform::UniqueFd fromServer = platform::connectPipe(options.pipeName + QStringLiteral("Out"));
    ASSERT_TRUE(toServer.valid() && fromServer.valid());

    Bytes handleVarint;
    for (quint64 zigzag = static_cast<quint64>(handle) << 1; ; zigzag >>= 7) {
        if (zigzag < 0x80) {
            handleVarint.raw(QByteArray(1, static_cast<char>(zigzag)));
            break;
        }
        handleVarint.raw(QByteArray(1, static_cast<char>((zigzag & 0x7f) | 0x80)));
    }
    const QByteArray requests = clientbytes::versionMessage()
                                + message("CreateViewerMessage", Bytes().hex("01 01 31").raw(handleVarint).hex("00"))
                                + message("CreateCubeMessage", Bytes().hex("01 06 05 8A 08").f64(100).hex("28").f64(50)
                                                                   .hex("00 AA 00 CA 06 00 CA 0A AA 2A 00 00 00 CA 0B 00 01 00"));
    ASSERT_EQ(platform::writeAll(toServer.get(), requests.constData(), requests.size()).status, platform::IoStatus::Ok);
    const QByteArray created = message("ViewerCreatedMessage", Bytes().hex("01 01 00"));
    ASSERT_EQ(readExactly(fromServer.get(), created.size()).toHex(' '), created.toHex(' '));
    EXPECT_EQ(childCount(handle), 1); // there as soon as the confirmation is

    // The sketch's background shows inside the host window.
    const QColor sketch(236, 240, 244);
    const bool drawn = waitUntil([&] {
        const QImage image = QGuiApplication::primaryScreen()->grabWindow(handle).toImage();
        return !image.isNull() && image.pixelColor(image.width() - 5, image.height() - 5) == sketch;
    });
    const QString shot = qEnvironmentVariable("ORLEX_STANDIN_SCREENSHOT");
    if (!shot.isEmpty())
        QGuiApplication::primaryScreen()->grabWindow(0).save(shot);
    EXPECT_TRUE(drawn);

    // The window follows the size the client reports.
    EXPECT_EQ(firstChildSize(handle), QSize(640, 480));
    const QByteArray resize = message("ResizeViewerMessage", Bytes().hex("01 01 30 D8 04 50 90 03 00"));
    ASSERT_EQ(platform::writeAll(toServer.get(), resize.constData(), resize.size()).status, platform::IoStatus::Ok);
    EXPECT_TRUE(waitUntil([&] { return firstChildSize(handle) == QSize(300, 200); }));

    const QByteArray destroy = message("DestroyViewerMessage", Bytes().hex("01 01 00"));
    ASSERT_EQ(platform::writeAll(toServer.get(), destroy.constData(), destroy.size()).status, platform::IoStatus::Ok);
    const QByteArray destroyed = message("ViewerDestroyedMessage", Bytes().hex("01 01 00"));
    ASSERT_EQ(readExactly(fromServer.get(), destroyed.size()).toHex(' '), destroyed.toHex(' '));
    EXPECT_EQ(childCount(handle), 0);
}

TEST(StandinWindow, PointerOnTheSketchBecomesTheViewersEvents)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QWidget host;
    host.resize(400, 300);
    host.move(0, 0);
    host.show();
    ASSERT_TRUE(waitUntil([&] { return host.isVisible(); }));

    orlex_standin::StandinProcess::Options options;
    options.pipeName = QStringLiteral("pointer");
    orlex_standin::StandinProcess server(options);
    ASSERT_TRUE(server.start()) << server.process().errorString().toStdString();
    platform::UniqueFd toServer = platform::connectPipe(options.pipeName);
    platform::UniqueFd fromServer = platform::connectPipe(options.pipeName + QStringLiteral("Out"));
    ASSERT_TRUE(toServer.valid() && fromServer.valid());
    orlex_standin::StandinControl control;
    ASSERT_TRUE(control.connectTo(server.controlPath()));

    // Camera at (0, 0), 1000 m in view over 300 pixels.
    const QByteArray requests = clientbytes::versionMessage()
        + createViewer(host.winId(), {"ContextMenuEnabled", "true", "NotifyMouseMove", "true",
                                      "NotifyMouseMoveMinIntervalMs", "0"});
    ASSERT_EQ(platform::writeAll(toServer.get(), requests.constData(), requests.size()).status, platform::IoStatus::Ok);
    ASSERT_TRUE(control.waitFor(QStringLiteral("out"), orlex_standin::coreType("ViewerCreatedMessage")));
    const QColor sketch(236, 240, 244);
    ASSERT_TRUE(waitUntil([&] {
        const QImage image = QGuiApplication::primaryScreen()->grabWindow(host.winId()).toImage();
        return !image.isNull() && image.pixelColor(image.width() - 5, image.height() - 5) == sketch;
    }));

    // 30 pixels right of and above the centre: 100 m east and north.
    const QPoint centre = host.mapToGlobal(QPoint(200, 150));
    ASSERT_TRUE(xdotool({QStringLiteral("mousemove"), QString::number(centre.x() + 30), QString::number(centre.y() - 30)}));
    const auto moved = control.waitFor(QStringLiteral("out"), orlex_standin::coreType("MouseMovedMessage"));
    ASSERT_TRUE(moved);
    const QJsonObject at = fieldOf(moved->value(QStringLiteral("body")).toObject(), 1).toArray().first().toObject();
    EXPECT_NEAR(fieldOf(at, 0).toDouble(), 100, 2);
    EXPECT_NEAR(fieldOf(at, 1).toDouble(), 100, 2);

    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(control.waitFor(QStringLiteral("out"), orlex_standin::coreType("ObjectPickedMessage")));
    ASSERT_TRUE(xdotool({QStringLiteral("click"), QStringLiteral("3")}));
    EXPECT_TRUE(control.waitFor(QStringLiteral("out"), orlex_standin::coreType("ShowContextMenuMessage")));

    // A drag 60 pixels to the right pans the camera 200 m west, and the log says so.
    ASSERT_TRUE(xdotool({QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove_relative"),
                         QStringLiteral("--"), QStringLiteral("60"), QStringLiteral("0"), QStringLiteral("mouseup"),
                         QStringLiteral("1")}));
    EXPECT_TRUE(control.waitFor(QStringLiteral("event"), QString(), 0, 10000,
                                QStringLiteral("viewer 0: camera centre -200.0 / 0.0, 1000.0 m high")));
    QGuiApplication::primaryScreen()->grabWindow(0).save(qEnvironmentVariable("CORV_TEST_SCRATCH") + QStringLiteral("/pointer.png"));
}

} // namespace
