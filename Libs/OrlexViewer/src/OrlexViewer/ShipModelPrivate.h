// Internals shared by the source files of the ship model.
#pragma once

#include "OrlexProtocol/Structs.h"

#include <QColor>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

class COrlexViewer;

namespace ship_model_detail {

log4cplus::Logger shipLogger();
// The colour with alpha 1, components as fractions.
::Tavrin::Dremm::Orlex::Color colourOf(const QColor& colour);
// The controller when it exists; never creates it.
COrlexViewer* controller();

} // namespace ship_model_detail
