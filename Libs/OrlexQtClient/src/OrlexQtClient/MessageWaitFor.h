// Waits for one reply: registered with the reader before the request goes out, it keeps the
// matching messages and hands them to the waiting thread.
#pragma once

#include "OrlexQtClient/MessageReader.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace Dremm::Orlex::QtClient {

class MessageWaitFor : public IMessageReceiver
{
public:
    using Predicate = std::function<bool(const IMessage*)>;

    // Keeps messages whose schema name is one of awaitedNames.
    MessageWaitFor(std::shared_ptr<MessageReader> pReader, std::vector<std::string> awaitedNames);
    // Keeps messages for which the predicate returns true.
    MessageWaitFor(std::shared_ptr<MessageReader> pReader, Predicate predicate);
    ~MessageWaitFor() override;
    MessageWaitFor(const MessageWaitFor&) = delete;
    MessageWaitFor& operator=(const MessageWaitFor&) = delete;

    void messageReceived(std::shared_ptr<const IMessage> message) override;

    // The oldest kept message, waiting at most nTimeoutMs for one (0: only looks); null when
    // none came.
    std::shared_ptr<const IMessage> waitFor(unsigned nTimeoutMs);

private:
    Predicate m_predicate;
    std::shared_ptr<MessageReader> m_pReader;
    std::vector<std::string> m_awaitedNames;
    std::mutex m_mutex;
    std::deque<std::shared_ptr<const IMessage>> m_received;
    std::condition_variable m_wakeUp;
};

} // namespace Dremm::Orlex::QtClient
