// Internals shared by the source files of the ship model.
#pragma once

#include "OrlexProtocol/Structs.h"

#include <QColor>

#include <functional>
#include <mutex>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

class COrlexViewer;

namespace ship_model_detail {

log4cplus::Logger shipLogger();
// The colour with alpha 1, components as fractions.
::Tavrin::Dremm::Orlex::Color colourOf(const QColor& colour);
// The controller when it exists; never creates it. GUI thread only.
COrlexViewer* controller();
// Held by every call of a ship model: the runtime's receiving thread moves the vessels while the
// GUI thread changes settings. One for the process, as the state of the vessels made is.
std::recursive_mutex& shipMutex();
// Runs fnCall on the application's thread: at once when called there, else queued.
void onGuiThread(std::function<void()> fnCall);

} // namespace ship_model_detail
