// The widget that hosts the viewer server's window and re-emits the server's messages on the GUI
// thread as typed signals.
#pragma once

#include "OrlexQtClient/AbstractOrlexViewer.h"
#include "OrlexQtClient/IMessageReceiver.h"

#include <QMetaType>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QVBoxLayout;

Q_DECLARE_METATYPE(std::shared_ptr<const Dremm::Orlex::QtClient::IMessage>)

namespace Dremm::Orlex::QtClient {

// A struct pointer passed by a signal is valid only while the signal is being emitted.
class OrlexHostWindow : public QWidget, public AbstractOrlexViewer, public IMessageReceiver
{
    Q_OBJECT
public:
    explicit OrlexHostWindow(QWidget* pParent = nullptr);
    ~OrlexHostWindow() override;

    // Creates the viewer on the server on this widget's native window, waits up to 20 s for the
    // confirmation (std::logic_error without one) and embeds the server's window.
    void initialize(std::shared_ptr<MessageClient> pClient, ViewerConfiguration configuration) override;

    // Registers the window for every decoded message (true) or for error reports only (false).
    void setReceiveAllMessages(bool bReceiveAll);

    // Hold the signals of arriving messages back; the last end replays them in order.
    void beginDelayServerMessages();
    void endDelayServerMessages();

    void messageReceived(std::shared_ptr<const IMessage> message) override;

    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

signals:
    void ErrorMessageReceived(const Tavrin::Dremm::Orlex::ErrorMessage* message);
    void HandshakeMessageReceived(const Tavrin::Dremm::Orlex::HandshakeMessage* message);
    void KeyboardEventMessageReceived(const Tavrin::Dremm::Orlex::KeyboardEventMessage* message);
    void ListObjectsResponseMessageReceived(const Tavrin::Dremm::Orlex::ListObjectsResponseMessage* message);
    void MeasurementMessageReceived(const Tavrin::Dremm::Orlex::MeasurementMessage* message);
    void MouseEventMessageReceived(const Tavrin::Dremm::Orlex::MouseEventMessage* message);
    void MouseMovedMessageReceived(const Tavrin::Dremm::Orlex::MouseMovedMessage* message);
    void QueryNavigationStateResponseMessageReceived(const Tavrin::Dremm::Orlex::QueryNavigationStateResponseMessage* message);
    void ObjectPickedMessageReceived(const Tavrin::Dremm::Orlex::ObjectPickedMessage* message);
    void QueryObjectDistanceResponseMessageReceived(const Tavrin::Dremm::Orlex::QueryObjectDistanceResponseMessage* message);
    void QueryInteractionActionsResponseMessageReceived(const Tavrin::Dremm::Orlex::QueryInteractionActionsResponseMessage* message);
    void QueryProjectedCoordinatesResponseMessageReceived(const Tavrin::Dremm::Orlex::QueryProjectedCoordinatesResponseMessage* message);
    void QueryTerrainColorsResponseMessageReceived(const Tavrin::Dremm::Orlex::QueryTerrainColorsResponseMessage* message);
    void QueryTerrainElevationsResponseMessageReceived(const Tavrin::Dremm::Orlex::QueryTerrainElevationsResponseMessage* message);
    void RasterCreatedMessageReceived(const Tavrin::Dremm::Orlex::RasterCreatedMessage* message);
    void ShowContextMenuMessageReceived(const Tavrin::Dremm::Orlex::ShowContextMenuMessage* message);
    void TerminatedMessageReceived(const Tavrin::Dremm::Orlex::TerminatedMessage* message);
    void ViewerCreatedMessageReceived(const Tavrin::Dremm::Orlex::ViewerCreatedMessage* message);
    void ViewerDestroyedMessageReceived(const Tavrin::Dremm::Orlex::ViewerDestroyedMessage* message);
    void UnknownMessageReceived(const Dremm::Orlex::QtClient::IMessage* message);
    // Every message the window receives, emitted on the delivering thread.
    void messageReceivedSignal(std::shared_ptr<const Dremm::Orlex::QtClient::IMessage> message);

protected:
    // Tells the server the size in device pixels; pEvent may be null.
    void resizeEvent(QResizeEvent* pEvent) override;

private slots:
    void onMessageReceived(std::shared_ptr<const Dremm::Orlex::QtClient::IMessage> message);

private:
    using Handler = std::function<void(OrlexHostWindow*, const std::shared_ptr<const IMessage>&)>;
    static std::map<std::string, Handler>& handlerTable();
    template <typename T>
    static void registerMessageHandlers(void (OrlexHostWindow::*signal)(const T*));
    static void registerMetaTypes();

    void dispatchMessage(const std::shared_ptr<const IMessage>& message);
    void releaseServerWindow();
    void replayDelayedMessages();

    bool m_bReceiveAll = false;
    int m_nDelayCount = 0;
    bool m_bReplaying = false;
    std::deque<std::shared_ptr<const IMessage>> m_delayedMessages;
    QWidget* m_pContainer = nullptr;
    // The server's window as embedded here, and its handle while it is ours to hand back.
    QPointer<QWindow> m_pServerWindow;
    WId m_nServerWindow = 0;
    QVBoxLayout* m_pLayout = nullptr;
};

} // namespace Dremm::Orlex::QtClient
