// A guarded list of message receivers; delivery runs under the list's lock.
#pragma once

#include "OrlexQtClient/IMessageReceiver.h"

#include <mutex>
#include <vector>

namespace Dremm::Orlex::QtClient {

class ReceiverList
{
public:
    ReceiverList() = default;
    ReceiverList(const ReceiverList&) = delete;
    ReceiverList& operator=(const ReceiverList&) = delete;

    // Appends the receiver unless it is already in the list.
    void add(IMessageReceiver* pReceiver);
    // Takes the receiver out; waits for a delivery in progress, so it is never called afterwards.
    void remove(IMessageReceiver* pReceiver);
    // Calls every receiver in registration order. A receiver that throws is logged and skipped.
    void dispatch(const std::shared_ptr<const IMessage>& message);

private:
    std::mutex m_mutex;
    std::vector<IMessageReceiver*> m_receivers;
};

} // namespace Dremm::Orlex::QtClient
