#include "host_geometry.h"

#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdlib>

namespace orlex_standin {

QSize hostWindowSize(WId window)
{
    if (!QX11Info::isPlatformX11())
        return QSize();
    xcb_connection_t* connection = QX11Info::connection();
    const xcb_get_geometry_cookie_t cookie = xcb_get_geometry(connection, static_cast<xcb_drawable_t>(window));
    xcb_get_geometry_reply_t* reply = xcb_get_geometry_reply(connection, cookie, nullptr);
    if (!reply)
        return QSize();
    const QSize size(reply->width, reply->height);
    std::free(reply);
    return size;
}

} // namespace orlex_standin
