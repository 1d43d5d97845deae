// The size of a foreign X window (Qt does not fetch it for a window made with fromWinId), and
// what the stand-in needs to know about its own window inside a foreign one.
#pragma once

#include <QSize>
#include <QWindow>

namespace orlex_standin {

// Empty when the window cannot be asked (another platform, a bad handle).
QSize hostWindowSize(WId window);

// False when the window is gone from the display (destroyed with a parent of another client);
// true on other platforms.
bool windowExists(WId window);

// Gives window a new size and leaves its place alone, as the client may have moved it since this
// process last heard (a resize through Qt sends the place Qt last knew too). False on other
// platforms.
bool resizeInPlace(WId window, const QSize& size);

// Drops the BadWindow and BadDrawable errors naming the window from now on, for timeoutMs: the
// errors of requests made on a window that has gone arrive later.
void ignoreWindowErrors(WId window, int timeoutMs);

// The same for as long as 'owner' lives: the client's window holding ours may go at any time (the
// window system closes it), and ours with it, before the client tells us.
void ignoreWindowErrorsWhile(WId window, QObject* owner);

// Drops, from now on, the BadWindow and BadDrawable errors naming a window of another client (the
// client's windows our windows sit in, whichever of them Qt asks about).
void ignoreForeignWindowErrors();

} // namespace orlex_standin
