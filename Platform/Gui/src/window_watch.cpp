#include "platform/window_watch.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>

#include <xcb/xcb.h>

namespace platform {

namespace {

// Lives as a child of the window it watches, so the filter goes with the window.
class DestructionWatch : public QObject, public QAbstractNativeEventFilter {
public:
    DestructionWatch(QWindow* window, std::function<void()> onDestroyed)
        : QObject(window), m_nWindow(static_cast<xcb_window_t>(window->winId())), m_onDestroyed(std::move(onDestroyed))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~DestructionWatch() override
    {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, long*) override
    {
        if (eventType != "xcb_generic_event_t" || !m_onDestroyed)
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_DESTROY_NOTIFY)
            return false;
        const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
        if (destroyed->window != m_nWindow)
            return false;
        // Once: the callback may well end the program.
        std::function<void()> onDestroyed = std::move(m_onDestroyed);
        m_onDestroyed = nullptr;
        QMetaObject::invokeMethod(this, [onDestroyed] { onDestroyed(); }, Qt::QueuedConnection);
        return false;
    }

private:
    xcb_window_t m_nWindow;
    std::function<void()> m_onDestroyed;
};

} // namespace

void watchNativeDestruction(QWindow* window, std::function<void()> onDestroyed)
{
    if (!window || !onDestroyed || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    new DestructionWatch(window, std::move(onDestroyed));
}

} // namespace platform
