#include "OrlexQtClient/MessageWriterThread.h"

#include <QtGlobal>

#include <exception>

namespace Dremm::Orlex::QtClient {

MessageWriterThread::MessageWriterThread(std::shared_ptr<MessageWriter> pWriter)
    : m_pWriter(std::move(pWriter)), m_thread(&MessageWriterThread::run, this)
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
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool bWasEmpty = m_queue.empty();
    m_queue.push_back(std::move(pMessage));
    if (bWasEmpty)
        m_wakeUp.notify_all();
}

void MessageWriterThread::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (!m_queue.empty()) {
            std::unique_ptr<IMessageSerialize> pMessage = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            try {
                m_pWriter->write(*pMessage);
            } catch (const std::exception& e) {
                // A message that cannot be serialised is lost alone; the worker goes on.
                qWarning("Viewer message not written: %s", e.what());
            }
            pMessage.reset();
            lock.lock();
        } else if (m_bStop) {
            return;
        } else {
            m_wakeUp.wait(lock);
        }
    }
}

} // namespace Dremm::Orlex::QtClient
