// Lets any thread send without waiting for the pipe: messages are queued and written in order by
// one worker thread, everything queued in one write. A message posted while nothing is queued or
// being written goes into the pipe at once, as far as the pipe takes it without waiting; the
// worker writes the rest. In a burst (more than a few messages in quick succession) every message
// is queued, so the worker writes them many at a time.
#pragma once

#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/OutputBuffer.h"
#include "OrlexQtClient/MessageWriter.h"

#include "platform/socket_io.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
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
    // Bytes the queue holds at most; a message larger than this is queued alone.
    static constexpr std::size_t kQueueBytes = 256 * 1024;
    // Messages posted less than kBurstGap after the one before make a burst; the first
    // kDirectInBurst of them may still be written by their senders.
    static constexpr std::chrono::microseconds kBurstGap{50};
    static constexpr int kDirectInBurst = 16;

    // A sender that finds the queue full waits for room at most roomWait, then the writer fails.
    explicit MessageWriterThread(std::shared_ptr<MessageWriter> pWriter,
                                 std::chrono::milliseconds roomWait = platform::kDefaultWriteLimit,
                                 std::size_t nQueueBytes = kQueueBytes);
    // Writes out everything queued, then ends the worker.
    ~MessageWriterThread() override;
    MessageWriterThread(const MessageWriterThread&) = delete;
    MessageWriterThread& operator=(const MessageWriterThread&) = delete;

    // Serialises the message onto the end of the queue, waiting for room while the queue is full.
    void post(std::unique_ptr<IMessageSerialize> pMessage) override;

    // Bytes queued and not yet handed to the pipe.
    std::size_t queuedBytes();

private:
    void run();

    std::shared_ptr<MessageWriter> m_pWriter;
    const std::chrono::milliseconds m_roomWait;
    const std::size_t m_nQueueBytes;
    bool m_bStop = false;
    std::mutex m_mutex;
    std::condition_variable m_wakeUp; // the worker: something queued, or stop
    std::condition_variable m_room;   // senders: the worker took the queue
    ::bond::OutputBuffer m_queue;     // serialised messages, in posting order
    std::size_t m_nQueueFront = 0;    // bytes at the queue's front already in the pipe
    bool m_bWorkerWriting = false;    // the worker writes what it took from the queue
    std::chrono::steady_clock::time_point m_lastPost; // when the message before was posted
    int m_nDirectInBurst = 0;         // messages of this burst written by their senders
    std::thread m_thread;             // last: starts once everything above exists
};

} // namespace Dremm::Orlex::QtClient
