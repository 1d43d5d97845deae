#include "OrlexQtClient/AbstractOrlexViewer.h"

#include "OrlexQtClient/MessageWaitFor.h"
#include "OrlexQtClient/ObjectIdAllocator.h"

#include <QtGlobal>

#include <exception>
#include <stdexcept>

namespace Dremm::Orlex::QtClient {

namespace O = ::Tavrin::Dremm::Orlex;

namespace {

constexpr int kDestroyWaitMs = 5000;
constexpr unsigned kDestroySliceMs = 500;
constexpr int kIdleMs = 100;

} // namespace

AbstractOrlexViewer::~AbstractOrlexViewer()
{
    shutdownViewer();
}

void AbstractOrlexViewer::shutdownViewer()
{
    if (!m_pClient)
        return;
    try {
        destroyViewer();
    } catch (const std::exception& e) {
        qWarning("Viewer %d not destroyed on the server: %s", m_nViewerId, e.what());
    }
    try {
        viewerIdAllocator().release(static_cast<std::uint64_t>(m_nViewerId));
    } catch (const std::exception& e) {
        qWarning("Viewer id %d not released: %s", m_nViewerId, e.what());
    }
    m_nViewerId = -1;
    m_pClient.reset();
}

void AbstractOrlexViewer::initialize(std::shared_ptr<MessageClient> pClient, ViewerConfiguration configuration)
{
    m_pClient = std::move(pClient);
    m_configuration = std::move(configuration);
    m_nViewerId = static_cast<std::int32_t>(viewerIdAllocator().allocate());
}

std::shared_ptr<MessageDispatcher> AbstractOrlexViewer::dispatcher() const
{
    if (!m_pClient)
        throw std::logic_error("AbstractOrlexViewer::dispatcher - viewer not initialised");
    return m_pClient->dispatcher();
}

void AbstractOrlexViewer::setConfigurationValue(std::string strKey, std::string strValue)
{
    m_configuration[std::move(strKey)] = std::move(strValue);
    sendConfiguration();
}

void AbstractOrlexViewer::removeConfigurationValue(std::string strKey)
{
    m_configuration.erase(strKey);
    sendConfiguration();
}

void AbstractOrlexViewer::sendConfiguration()
{
    O::UpdateConfigurationMessage message;
    message.ViewerId = viewerId();
    message.Confirmation = 1;
    message.Configuration = m_configuration;
    if (const std::shared_ptr<MessageDispatcher> pDispatcher = dispatcher())
        pDispatcher->send(schemaTypeName<O::UpdateConfigurationMessage>(), message);
}

void AbstractOrlexViewer::setIdleCallback(std::function<void(int)> idleCallback)
{
    m_idleCallback = std::move(idleCallback);
}

void AbstractOrlexViewer::destroyViewer()
{
    const std::shared_ptr<MessageDispatcher> pDispatcher = m_pClient ? m_pClient->dispatcher() : nullptr;
    const std::shared_ptr<MessageReader> pReader = m_pClient ? m_pClient->reader() : nullptr;
    if (!pDispatcher || !pReader)
        return; // no connection: nothing to destroy, nothing to wait for
    if (pReader->hasEnded())
        return; // the server has gone, and the viewer with it

    const std::int32_t nViewerId = m_nViewerId;
    MessageWaitFor waitDestroyed(pReader, isReplyFor<O::ViewerDestroyedMessage>(nViewerId));
    O::DestroyViewerMessage request;
    request.ViewerId = nViewerId;
    request.Confirmation = 1;
    pDispatcher->send(schemaTypeName<O::DestroyViewerMessage>(), request);

    int nRemainingMs = kDestroyWaitMs;
    do {
        const bool bReplied = waitDestroyed.waitFor(kDestroySliceMs) != nullptr;
        nRemainingMs -= static_cast<int>(kDestroySliceMs);
        // A server that has gone answers no more.
        if (bReplied || pReader->hasEnded())
            break;
        if (m_idleCallback)
            m_idleCallback(kIdleMs);
    } while (nRemainingMs > 0);
}

} // namespace Dremm::Orlex::QtClient
