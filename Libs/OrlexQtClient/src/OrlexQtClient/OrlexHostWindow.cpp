#include "OrlexQtClient/OrlexHostWindow.h"

#include "OrlexQtClient/MessageWaitFor.h"
#include "OrlexQtClient/NativeWindows.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopWidget>
#include <QEvent>
#include <QPlatformSurfaceEvent>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <QWindow>

#include <stdexcept>

namespace Dremm::Orlex::QtClient {

namespace O = ::Tavrin::Dremm::Orlex;

namespace {

constexpr unsigned kCreateWaitMs = 20000;

// Clears a flag when the scope ends, exceptions included.
class FlagGuard
{
public:
    explicit FlagGuard(bool& bFlag) : m_bFlag(bFlag) { m_bFlag = true; }
    ~FlagGuard() { m_bFlag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& m_bFlag;
};

} // namespace

std::map<std::string, OrlexHostWindow::Handler>& OrlexHostWindow::handlerTable()
{
    static std::map<std::string, Handler> s_handlers;
    return s_handlers;
}

template <typename T>
void OrlexHostWindow::registerMessageHandlers(void (OrlexHostWindow::*signal)(const T*))
{
    const std::string strName = schemaTypeName<T>();
    handlerTable()[strName] = [signal](OrlexHostWindow* pWindow, const std::shared_ptr<const IMessage>& message) {
        emit(pWindow->*signal)(static_cast<const T*>(message->data()));
    };
    qRegisterMetaType<const T*>((strName + "*").c_str());
}

void OrlexHostWindow::registerMetaTypes()
{
    qRegisterMetaType<std::shared_ptr<const IMessage>>("std::shared_ptr<const Dremm::Orlex::QtClient::IMessage>");
    qRegisterMetaType<const IMessage*>("const Dremm::Orlex::QtClient::IMessage*");
}

OrlexHostWindow::OrlexHostWindow(QWidget* pParent) : QWidget(pParent, Qt::WindowFlags())
{
    registerMetaTypes();
    setIdleCallback([](int nMs) {
        if (nMs > 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, nMs);
        else
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    if (handlerTable().empty()) {
        registerMessageHandlers<O::ErrorMessage>(&OrlexHostWindow::ErrorMessageReceived);
        registerMessageHandlers<O::HandshakeMessage>(&OrlexHostWindow::HandshakeMessageReceived);
        registerMessageHandlers<O::KeyboardEventMessage>(&OrlexHostWindow::KeyboardEventMessageReceived);
        registerMessageHandlers<O::ListObjectsResponseMessage>(&OrlexHostWindow::ListObjectsResponseMessageReceived);
        registerMessageHandlers<O::MeasurementMessage>(&OrlexHostWindow::MeasurementMessageReceived);
        registerMessageHandlers<O::MouseEventMessage>(&OrlexHostWindow::MouseEventMessageReceived);
        registerMessageHandlers<O::MouseMovedMessage>(&OrlexHostWindow::MouseMovedMessageReceived);
        registerMessageHandlers<O::QueryNavigationStateResponseMessage>(
            &OrlexHostWindow::QueryNavigationStateResponseMessageReceived);
        registerMessageHandlers<O::ObjectPickedMessage>(&OrlexHostWindow::ObjectPickedMessageReceived);
        registerMessageHandlers<O::QueryObjectDistanceResponseMessage>(
            &OrlexHostWindow::QueryObjectDistanceResponseMessageReceived);
        registerMessageHandlers<O::QueryInteractionActionsResponseMessage>(
            &OrlexHostWindow::QueryInteractionActionsResponseMessageReceived);
        registerMessageHandlers<O::QueryProjectedCoordinatesResponseMessage>(
            &OrlexHostWindow::QueryProjectedCoordinatesResponseMessageReceived);
        registerMessageHandlers<O::QueryTerrainColorsResponseMessage>(
            &OrlexHostWindow::QueryTerrainColorsResponseMessageReceived);
        registerMessageHandlers<O::QueryTerrainElevationsResponseMessage>(
            &OrlexHostWindow::QueryTerrainElevationsResponseMessageReceived);
        registerMessageHandlers<O::RasterCreatedMessage>(&OrlexHostWindow::RasterCreatedMessageReceived);
        registerMessageHandlers<O::ShowContextMenuMessage>(&OrlexHostWindow::ShowContextMenuMessageReceived);
        registerMessageHandlers<O::TerminatedMessage>(&OrlexHostWindow::TerminatedMessageReceived);
        registerMessageHandlers<O::ViewerCreatedMessage>(&OrlexHostWindow::ViewerCreatedMessageReceived);
        registerMessageHandlers<O::ViewerDestroyedMessage>(&OrlexHostWindow::ViewerDestroyedMessageReceived);
    }
}

OrlexHostWindow::~OrlexHostWindow()
{
    if (const std::shared_ptr<MessageClient> pClient = client()) {
        if (const std::shared_ptr<MessageReader>& pReader = pClient->reader()) {
            pReader->removeErrorReceiver(this);
            if (m_bReceiveAll)
                pReader->removeMessageReceiver(this);
        }
        if (const std::shared_ptr<MessageDispatcher>& pDispatcher = pClient->dispatcher())
            pDispatcher->removeErrorReceiver(this);
    }
    // Nothing can post any more: drop what was queued for this window, since the wait for the
    // server below processes events.
    disconnect(this, &OrlexHostWindow::messageReceivedSignal, this, &OrlexHostWindow::onMessageReceived);
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    m_delayedMessages.clear();
    // The server destroys its own window: it is handed back before our native windows can take
    // it with them, and the container lets go of it, so that nothing here touches it after.
    releaseServerWindow();
    delete m_pContainer;
    m_pContainer = nullptr;
    // Destroy the viewer while this window is still whole: events processed during the wait may
    // call its overrides.
    shutdownViewer();
}

void OrlexHostWindow::initialize(std::shared_ptr<MessageClient> pClient, ViewerConfiguration settings)
{
    if (!pClient || !pClient->dispatcher() || !pClient->reader())
        throw std::logic_error("OrlexHostWindow::initialize - the connection is not open");
    AbstractOrlexViewer::initialize(pClient, std::move(settings));
    registerMetaTypes();
    connect(this, &OrlexHostWindow::messageReceivedSignal, this, &OrlexHostWindow::onMessageReceived,
            static_cast<Qt::ConnectionType>(Qt::AutoConnection | Qt::UniqueConnection));

    const std::shared_ptr<MessageReader> pReader = pClient->reader();
    const std::shared_ptr<MessageDispatcher> pDispatcher = pClient->dispatcher();
    pReader->addErrorReceiver(this);
    pDispatcher->addErrorReceiver(this);

    const WId nativeWindow = winId();
    {
        const std::int32_t nViewerId = viewerId();
        MessageWaitFor waitCreated(pReader, isReplyFor<O::ViewerCreatedMessage>(nViewerId));
        O::CreateViewerMessage request;
        request.ViewerId = nViewerId;
        request.Confirmation = 1;
        request.WindowHandle = static_cast<std::int64_t>(nativeWindow);
        request.Configuration = configuration();
        pDispatcher->send(schemaTypeName<O::CreateViewerMessage>(), request);

        if (!waitCreated.waitFor(kCreateWaitMs))
            throw std::logic_error("No response from server marking viewer created");

        const std::vector<WId> descendants = nativeDescendantWindows(nativeWindow);
        QWindow* pServerWindow = descendants.size() == 1 ? QWindow::fromWinId(descendants.front()) : nullptr;
        if (pServerWindow) {
            m_pServerWindow = pServerWindow;
            m_nServerWindow = descendants.front();
            // A close of the top-level window destroys its native windows, children first: the
            // server's window is handed back before the native window holding it goes.
            pServerWindow->installEventFilter(this);
            // A native container holds the server's window as its own child at 0,0, so X moves it
            // with the container. Without one, Qt parents it to the top-level window at the
            // container's offset there, which goes stale when a pane around it moves.
            m_pContainer = QWidget::createWindowContainer(pServerWindow, this, Qt::WindowFlags());
            m_pContainer->winId();
            m_pLayout = new QVBoxLayout;
            // The server's window covers the whole host window, edge to edge.
            m_pLayout->setContentsMargins(0, 0, 0, 0);
            m_pLayout->setSpacing(0);
            setLayout(m_pLayout);
            m_pLayout->addWidget(m_pContainer);
        }
        resizeEvent(nullptr);
    }
}

void OrlexHostWindow::setReceiveAllMessages(bool bReceiveAll)
{
    const std::shared_ptr<MessageClient> pClient = client();
    if (bReceiveAll == m_bReceiveAll || !pClient || !pClient->reader())
        return;
    m_bReceiveAll = bReceiveAll;
    if (bReceiveAll)
        pClient->reader()->addMessageReceiver(this);
    else
        pClient->reader()->removeMessageReceiver(this);
}

void OrlexHostWindow::beginDelayServerMessages()
{
    ++m_nDelayCount;
}

void OrlexHostWindow::endDelayServerMessages()
{
    if (m_nDelayCount == 0)
        throw std::logic_error("Too many endDelayServerMessages");
    if (--m_nDelayCount == 0)
        replayDelayedMessages();
}

void OrlexHostWindow::replayDelayedMessages()
{
    if (m_bReplaying)
        return; // the replay further up the stack carries on
    FlagGuard replaying(m_bReplaying);
    while (m_nDelayCount == 0 && !m_delayedMessages.empty()) {
        const std::shared_ptr<const IMessage> message = std::move(m_delayedMessages.front());
        m_delayedMessages.pop_front();
        dispatchMessage(message);
    }
}

void OrlexHostWindow::messageReceived(std::shared_ptr<const IMessage> message)
{
    emit messageReceivedSignal(std::move(message));
}

void OrlexHostWindow::onMessageReceived(std::shared_ptr<const IMessage> message)
{
    // While a replay runs, a message that arrives through a nested event loop queues behind it.
    if (m_nDelayCount > 0 || m_bReplaying) {
        m_delayedMessages.push_back(std::move(message));
        return;
    }
    dispatchMessage(message);
}

void OrlexHostWindow::dispatchMessage(const std::shared_ptr<const IMessage>& message)
{
    const auto it = handlerTable().find(message->typeName());
    if (it != handlerTable().end())
        it->second(this, message);
    else
        emit UnknownMessageReceived(message.get());
}

void OrlexHostWindow::resizeEvent(QResizeEvent* pEvent)
{
    const double dRatio = QApplication::desktop()->devicePixelRatioF();
    const std::shared_ptr<MessageClient> pClient = client();
    if (pClient && pClient->dispatcher()) {
        O::ResizeViewerMessage message;
        message.ViewerId = viewerId();
        message.Confirmation = 1;
        message.X = static_cast<std::int32_t>(width() * dRatio);
        message.Y = static_cast<std::int32_t>(height() * dRatio);
        pClient->dispatcher()->send(schemaTypeName<O::ResizeViewerMessage>(), message);
    }
    if (pEvent)
        QWidget::resizeEvent(pEvent);
}

void OrlexHostWindow::releaseServerWindow()
{
    if (m_nServerWindow == 0)
        return;
    if (m_pServerWindow)
        m_pServerWindow->removeEventFilter(this);
    releaseForeignWindow(m_nServerWindow);
    m_nServerWindow = 0;
}

bool OrlexHostWindow::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    if (pWatched == m_pServerWindow && pEvent->type() == QEvent::PlatformSurface
        && static_cast<QPlatformSurfaceEvent*>(pEvent)->surfaceEventType() == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
        releaseServerWindow();
        return false;
    }
    if (pWatched == m_pServerWindow && pEvent->type() == QEvent::Show && m_pContainer) {
        // The container places the window before it is shown, at its offset in the top-level
        // window: once shown inside the container it belongs at the container's origin.
        m_pServerWindow->setGeometry(QRect(QPoint(0, 0), m_pContainer->size()));
        return false;
    }
    if (pEvent->type() == QEvent::HoverEnter) {
        activateWindow();
        return false;
    }
    return QWidget::eventFilter(pWatched, pEvent);
}

} // namespace Dremm::Orlex::QtClient
