#include "OrlexQtClient/MessageWriterThread.h"

#include "OrlexProtocol/codec/CompactBinaryWriter.h"

#include <QtGlobal>

#include <exception>
#include <utility>

namespace Dremm::Orlex::QtClient {

MessageWriterThread::MessageWriterThread(std::shared_ptr<MessageWriter> pWriter, std::chrono::milliseconds roomWait,
                                         std::size_t nQueueBytes)
    : m_pWriter(std::move(pWriter)), m_roomWait(roomWait), m_nQueueBytes(nQueueBytes),
      m_thread(&MessageWriterThread::run, this)
{
}

MessageWriterThread::~MessageWriterThread()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
        m_wakeUp.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void MessageWriterThread::post(std::unique_ptr<IMessageSerialize> pMessage)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_pWriter->hasFailed())
        return;
    if (m_queue.size() >= m_nQueueBytes
        && !m_room.wait_for(lock, m_roomWait, [&] { return m_queue.size() < m_nQueueBytes || m_pWriter->hasFailed(); })) {
        // The server has not taken a queue's worth of bytes within the write limit.
        lock.unlock();
        m_pWriter->fail();
        return;
    }
    if (m_pWriter->hasFailed())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastPost >= kBurstGap)
        m_nDirectInBurst = 0;
    m_lastPost = now;
    const bool bWasEmpty = m_queue.empty();
    const bool bIdle = bWasEmpty && !m_bWorkerWriting && m_nDirectInBurst < kDirectInBurst;
    const std::size_t nBefore = m_queue.size();
    try {
        CompactBinaryWriter writer(m_queue, m_pWriter->protocolVersion());
        pMessage->serialize(writer);
    } catch (const std::exception& e) {
        // A message that cannot be serialised is lost alone.
        m_queue.truncate(nBefore);
        qWarning("Viewer message not written: %s", e.what());
        return;
    }
    if (bIdle) {
        // Written by the sender: handing it to the worker would wait for the worker to get a CPU.
        ++m_nDirectInBurst;
        m_nQueueFront = m_pWriter->writeNow(m_queue.data(), m_queue.size());
        if (m_nQueueFront == m_queue.size()) {
            m_queue.clear();
            m_nQueueFront = 0;
            return;
        }
    }
    if (bWasEmpty)
        m_wakeUp.notify_all();
}

std::size_t MessageWriterThread::queuedBytes()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size() - m_nQueueFront;
}

void MessageWriterThread::run()
{
    ::bond::OutputBuffer writing;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!m_queue.empty()) {
            std::swap(writing, m_queue);
            const std::size_t nFront = std::exchange(m_nQueueFront, 0);
            m_bWorkerWriting = true;
            m_room.notify_all();
            lock.unlock();
            m_pWriter->writeBytes(writing.data() + nFront, writing.size() - nFront);
            m_room.notify_all(); // senders waiting for room learn of a failed write at once
            writing.clear();
            // After a burst of large messages the buffer goes back to its usual size.
            if (writing.capacity() > 4 * m_nQueueBytes)
                writing = ::bond::OutputBuffer();
            lock.lock();
            m_bWorkerWriting = false;
        } else if (m_bStop) {
            return;
        } else {
            m_wakeUp.wait(lock);
        }
    }
}

} // namespace Dremm::Orlex::QtClient
