// The native windows below a native window, as the window system lists them, and the hand-back
// of another client's window embedded in ours.
#pragma once

#include <QWindow>

#include <vector>

namespace Dremm::Orlex::QtClient {

// Every descendant of window, each followed by its own descendants; empty where the platform
// cannot list them (any platform but X11).
std::vector<WId> nativeDescendantWindows(WId window);

// Unmaps window and moves it to the root window, so that it outlives the native windows it was
// embedded in (X destroys children with their parent). Silent where the window is already gone;
// does nothing on platforms other than X11.
void releaseForeignWindow(WId window);

} // namespace Dremm::Orlex::QtClient
