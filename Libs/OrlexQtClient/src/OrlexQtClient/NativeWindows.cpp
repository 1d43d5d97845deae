// The one file that includes Xlib: its macros (None, Bool, Success) clash with protocol names.
#include "OrlexQtClient/NativeWindows.h"

#include <QGuiApplication>
#include <QX11Info>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstdlib>

namespace Dremm::Orlex::QtClient {

namespace {

constexpr int kMaxDepth = 32;
constexpr std::size_t kMaxWindows = 4096;

void collectChildren(Display* pDisplay, Window window, int nDepth, std::vector<WId>& result)
{
    if (nDepth >= kMaxDepth || result.size() >= kMaxWindows)
        return;
    Window root = 0;
    Window parent = 0;
    Window* pChildren = nullptr;
    unsigned int nChildren = 0;
    if (!XQueryTree(pDisplay, window, &root, &parent, &pChildren, &nChildren))
        return;
    std::vector<Window> children(pChildren, pChildren + nChildren);
    if (pChildren)
        XFree(pChildren);
    for (Window child : children) {
        if (result.size() >= kMaxWindows)
            return;
        result.push_back(static_cast<WId>(child));
        collectChildren(pDisplay, child, nDepth + 1, result);
    }
}

bool isX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && QX11Info::isPlatformX11();
}

// Waits for a checked request; its error, if any, is dropped rather than reported by Qt.
void checkQuietly(xcb_connection_t* pConnection, xcb_void_cookie_t cookie)
{
    std::free(xcb_request_check(pConnection, cookie));
}

} // namespace

void releaseForeignWindow(WId window)
{
    if (!isX11() || window == 0)
        return;
    xcb_connection_t* pConnection = QX11Info::connection();
    const auto nWindow = static_cast<xcb_window_t>(window);
    checkQuietly(pConnection, xcb_unmap_window_checked(pConnection, nWindow));
    checkQuietly(pConnection, xcb_reparent_window_checked(pConnection, nWindow,
                                                          static_cast<xcb_window_t>(QX11Info::appRootWindow()), 0, 0));
}

std::vector<WId> nativeDescendantWindows(WId window)
{
    std::vector<WId> result;
    if (!isX11())
        return result;
    Display* pDisplay = QX11Info::display();
    if (!pDisplay || window == 0)
        return result;
    collectChildren(pDisplay, static_cast<Window>(window), 0, result);
    return result;
}

} // namespace Dremm::Orlex::QtClient
