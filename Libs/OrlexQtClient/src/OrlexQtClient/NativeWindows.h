// The native windows below a native window, as the window system lists them.
#pragma once

#include <QWindow>

#include <vector>

namespace Dremm::Orlex::QtClient {

// Every descendant of window, each followed by its own descendants; empty where the platform
// cannot list them (any platform but X11).
std::vector<WId> nativeDescendantWindows(WId window);

} // namespace Dremm::Orlex::QtClient
