// Notice of a top-level window that the window system destroyed behind the program's back.
#pragma once

#include <QWindow>

#include <functional>

namespace platform {

// Calls onDestroyed once when the window system destroys the native window of 'window' (on X11,
// another client's XDestroyWindow). The watch ends with the window. Does nothing on platforms
// without such notices (offscreen).
void watchNativeDestruction(QWindow* window, std::function<void()> onDestroyed);

} // namespace platform
