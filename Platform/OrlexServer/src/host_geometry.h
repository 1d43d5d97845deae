// The size of a foreign X window (Qt does not fetch it for a window made with fromWinId).
#pragma once

#include <QSize>
#include <QWindow>

namespace orlex_standin {

// Empty when the window cannot be asked (another platform, a bad handle).
QSize hostWindowSize(WId window);

} // namespace orlex_standin
