#include "host_geometry.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QTimer>
#include <QX11Info>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

namespace orlex_standin {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The window a BadWindow or BadDrawable error names; nothing for any other event.
std::optional<xcb_window_t> windowOfError(const QByteArray& eventType, const void* message)
{
    if (eventType != "xcb_generic_event_t")
        return std::nullopt;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if (event->response_type != 0)
        return std::nullopt;
    const auto* error = static_cast<const xcb_generic_error_t*>(message);
    if (error->error_code != XCB_WINDOW && error->error_code != XCB_DRAWABLE)
        return std::nullopt;
    return error->resource_id;
}

// Swallows the BadWindow and BadDrawable errors naming one window, until its timer ends it or
// for as long as its parent lives.
class WindowErrorFilter : public QObject, public QAbstractNativeEventFilter {
public:
    WindowErrorFilter(xcb_window_t window, int timeoutMs, QObject* parent) : QObject(parent), m_window(window)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
        if (timeoutMs >= 0)
            QTimer::singleShot(timeoutMs, this, [this] { deleteLater(); });
    }
    ~WindowErrorFilter() override
    {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, long*) override
    {
        const std::optional<xcb_window_t> window = windowOfError(eventType, message);
        return window && *window == m_window;
    }

private:
    xcb_window_t m_window;
};

// Swallows the BadWindow and BadDrawable errors naming a window of another client: the client's
// windows, ours held in one of them, can go at any time.
class ForeignWindowErrorFilter : public QAbstractNativeEventFilter {
public:
    explicit ForeignWindowErrorFilter(xcb_connection_t* connection)
    {
        const xcb_setup_t* setup = xcb_get_setup(connection);
        m_base = setup->resource_id_base;
        m_mask = setup->resource_id_mask;
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, long*) override
    {
        const std::optional<xcb_window_t> window = windowOfError(eventType, message);
        return window && (*window & ~m_mask) != m_base;
    }

private:
    std::uint32_t m_base = 0;
    std::uint32_t m_mask = 0;
};

} // namespace

QSize hostWindowSize(WId window)
{
    if (!QX11Info::isPlatformX11())
        return QSize();
    xcb_connection_t* connection = QX11Info::connection();
    const xcb_get_geometry_cookie_t cookie = xcb_get_geometry(connection, static_cast<xcb_drawable_t>(window));
    const std::unique_ptr<xcb_get_geometry_reply_t, FreeDeleter> reply(xcb_get_geometry_reply(connection, cookie, nullptr));
    if (!reply)
        return QSize();
    return QSize(reply->width, reply->height);
}

bool windowExists(WId window)
{
    if (!QX11Info::isPlatformX11())
        return true;
    xcb_connection_t* connection = QX11Info::connection();
    const xcb_get_window_attributes_cookie_t cookie =
        xcb_get_window_attributes(connection, static_cast<xcb_window_t>(window));
    xcb_generic_error_t* rawError = nullptr;
    const std::unique_ptr<xcb_get_window_attributes_reply_t, FreeDeleter> reply(
        xcb_get_window_attributes_reply(connection, cookie, &rawError));
    const std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(rawError);
    return reply != nullptr;
}

bool resizeInPlace(WId window, const QSize& size)
{
    if (!QX11Info::isPlatformX11() || window == 0 || size.isEmpty())
        return false;
    // The size comes from the client: X takes at most 32767 each way.
    const QSize bounded = size.boundedTo(QSize(32767, 32767));
    const std::uint32_t values[] = {static_cast<std::uint32_t>(bounded.width()), static_cast<std::uint32_t>(bounded.height())};
    xcb_configure_window(QX11Info::connection(), static_cast<xcb_window_t>(window),
                         XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(QX11Info::connection());
    return true;
}

void ignoreWindowErrors(WId window, int timeoutMs)
{
    if (!QX11Info::isPlatformX11() || window == 0)
        return;
    new WindowErrorFilter(static_cast<xcb_window_t>(window), timeoutMs, nullptr);
}

void ignoreWindowErrorsWhile(WId window, QObject* owner)
{
    if (!QX11Info::isPlatformX11() || window == 0)
        return;
    new WindowErrorFilter(static_cast<xcb_window_t>(window), -1, owner);
}

void ignoreForeignWindowErrors()
{
    if (!QX11Info::isPlatformX11())
        return;
    static ForeignWindowErrorFilter filter(QX11Info::connection());
    static const bool installed = [] {
        QCoreApplication::instance()->installNativeEventFilter(&filter);
        return true;
    }();
    (void)installed;
}

} // namespace orlex_standin
