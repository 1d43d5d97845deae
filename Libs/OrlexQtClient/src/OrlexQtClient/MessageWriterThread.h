// Lets any thread send without waiting for the pipe: messages are queued and written in order by
// one worker thread.
#pragma once

#include "OrlexProtocol/Message.h"
#include "OrlexQtClient/MessageWriter.h"

#include <atomic>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace Dremm::Orlex::QtClient {

class IMessageWriterThread
{
public:
    virtual ~IMessageWriterThread() = default;
    // Takes the message over and queues it.
    virtual void post(std::unique_ptr<IMessageSerialize> pMessage) = 0;
};

class MessageWriterThread : public IMessageWriterThread
{
public:
    explicit MessageWriterThread(std::shared_ptr<MessageWriter> pWriter);
    // Writes out everything queued, then ends the worker.
    ~MessageWriterThread() override;
    MessageWriterThread(const MessageWriterThread&) = delete;
    MessageWriterThread& operator=(const MessageWriterThread&) = delete;

    void post(std::unique_ptr<IMessageSerialize> pMessage) override;

private:
    void run();

    std::shared_ptr<MessageWriter> m_pWriter;
    std::atomic<bool> m_bStop{false};
    std::mutex m_mutex;
    std::condition_variable m_wakeUp;
    std::list<std::unique_ptr<IMessageSerialize>> m_queue;
    std::thread m_thread; // last: starts once everything above exists
};

} // namespace Dremm::Orlex::QtClient
