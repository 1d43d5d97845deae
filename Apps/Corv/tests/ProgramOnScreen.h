// For tests that run the main window in their own process and look at it on the X screen: where
// a window of another process lies on the screen, and whether a window manager runs.
#pragma once

#include "platform/paths.h"
#include "test_scratch.h"

#include <QCoreApplication>
#include <QDir>
#include <QRect>
#include <QWidget>
#include <QX11Info>

#include <X11/Xlib.h>

namespace corvtest {

// Where a window of another process lies on the screen.
inline QRect screenRect(WId window)
{
    Display* display = QX11Info::display();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, static_cast<Window>(window), &attributes))
        return QRect();
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, static_cast<Window>(window), DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

// Whether a window manager has taken the screen (it names its check window on the root).
inline bool windowManagerRuns()
{
    Display* display = QX11Info::display();
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == 0)
        return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType, &type,
                                          &format, &count, &after, &data);
    if (data)
        XFree(data);
    return status == Success && count == 1;
}

} // namespace corvtest
