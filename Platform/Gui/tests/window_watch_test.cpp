#include "platform/window_watch.h"
#include "test_wait.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWindow>

#include <X11/Xlib.h>

namespace {

// Destroys a native window as another program would.
void destroyFromOutside(WId window)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XDestroyWindow(display, static_cast<Window>(window));
    XSync(display, False);
    XCloseDisplay(display);
}

TEST(WindowWatch, DestructionByAnotherClientIsReportedOnceForThatWindowOnly)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    auto* watched = new QWindow;
    auto* other = new QWindow;
    for (QWindow* window : {watched, other}) {
        window->resize(120, 80);
        window->show();
    }
    ASSERT_TRUE(corvtest::waitUntil([&] { return watched->isExposed() && other->isExposed(); }));
    int nWatched = 0;
    int nOther = 0;
    platform::watchNativeDestruction(watched, [&] { ++nWatched; });
    platform::watchNativeDestruction(other, [&] { ++nOther; });

    destroyFromOutside(watched->winId());
    EXPECT_TRUE(corvtest::waitUntil([&] { return nWatched == 1; }));
    corvtest::waitUntil([] { return false; }, 200);
    EXPECT_EQ(nWatched, 1);
    EXPECT_EQ(nOther, 0);

    // A window the program closes itself is no destruction from outside.
    delete other;
    corvtest::waitUntil([] { return false; }, 200);
    EXPECT_EQ(nOther, 0);
    delete watched;
}

} // namespace
