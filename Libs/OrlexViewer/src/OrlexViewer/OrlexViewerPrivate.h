// Internals shared by the source files of the 3-D view controller.
#pragma once

#include "OrlexViewer/OrlexViewer.h"

#include "OrlexQtClient/MessageDispatcher.h"

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

namespace orlex_viewer_detail {

inline log4cplus::Logger viewerLogger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("COrlexViewer"));
}

inline ::Tavrin::Dremm::Orlex::PositionData position(double dX, double dY, double dZ)
{
    ::Tavrin::Dremm::Orlex::PositionData p;
    p.X = dX;
    p.Y = dY;
    p.Z = dZ;
    return p;
}

} // namespace orlex_viewer_detail

template <typename T>
void COrlexViewer::send(const T& payload) const
{
    if (const std::shared_ptr<Dremm::Orlex::QtClient::MessageDispatcher> pDispatcher = getDispatcher())
        pDispatcher->sendMessage(payload);
}
