#include "OrlexQtClient/MessageWaitFor.h"

#include <algorithm>
#include <chrono>

namespace Dremm::Orlex::QtClient {

MessageWaitFor::MessageWaitFor(std::shared_ptr<MessageReader> pReader, std::vector<std::string> awaitedNames)
    : m_pReader(std::move(pReader)), m_awaitedNames(std::move(awaitedNames))
{
    if (m_pReader)
        m_pReader->addMessageReceiver(this);
}

MessageWaitFor::MessageWaitFor(std::shared_ptr<MessageReader> pReader, Predicate predicate)
    : m_predicate(std::move(predicate)), m_pReader(std::move(pReader))
{
    if (m_pReader)
        m_pReader->addMessageReceiver(this);
}

MessageWaitFor::~MessageWaitFor()
{
    if (m_pReader)
        m_pReader->removeMessageReceiver(this);
}

void MessageWaitFor::messageReceived(std::shared_ptr<const IMessage> message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    bool bKeep = m_predicate && m_predicate(message.get());
    if (!bKeep) {
        const std::string strName = message->typeName();
        bKeep = std::find(m_awaitedNames.begin(), m_awaitedNames.end(), strName) != m_awaitedNames.end();
    }
    if (!bKeep)
        return;
    m_received.push_back(std::move(message));
    m_wakeUp.notify_all();
}

std::shared_ptr<const IMessage> MessageWaitFor::waitFor(unsigned nTimeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_received.empty() && nTimeoutMs > 0)
        m_wakeUp.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return !m_received.empty(); });
    if (m_received.empty())
        return nullptr;
    std::shared_ptr<const IMessage> pMessage = std::move(m_received.front());
    m_received.pop_front();
    return pMessage;
}

} // namespace Dremm::Orlex::QtClient
