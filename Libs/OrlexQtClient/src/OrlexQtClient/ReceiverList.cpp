#include "OrlexQtClient/ReceiverList.h"

#include <QtGlobal>

#include <algorithm>
#include <exception>

namespace Dremm::Orlex::QtClient {

void ReceiverList::add(IMessageReceiver* pReceiver)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::find(m_receivers.begin(), m_receivers.end(), pReceiver) == m_receivers.end())
        m_receivers.push_back(pReceiver);
}

void ReceiverList::remove(IMessageReceiver* pReceiver)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = std::find(m_receivers.begin(), m_receivers.end(), pReceiver);
    if (it != m_receivers.end())
        m_receivers.erase(it);
}

void ReceiverList::dispatch(const std::shared_ptr<const IMessage>& message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (IMessageReceiver* pReceiver : m_receivers) {
        // One faulty receiver must not cost the others their messages, nor end the connection.
        try {
            pReceiver->messageReceived(message);
        } catch (const std::exception& e) {
            qWarning("Message receiver failed on %s: %s", message->typeName().c_str(), e.what());
        } catch (...) {
            qWarning("Message receiver failed on %s", message->typeName().c_str());
        }
    }
}

} // namespace Dremm::Orlex::QtClient
