// The sending side of a viewer connection: announces the protocol version, sends typed messages
// directly or through the writer thread, and runs the close handshake when the last holder goes.
#pragma once

#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/CompactBinaryWriter.h"
#include "OrlexQtClient/IWriter.h"
#include "OrlexQtClient/MessageReader.h"
#include "OrlexQtClient/MessageWriter.h"
#include "OrlexQtClient/MessageWriterThread.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

namespace Dremm::Orlex::QtClient {

class MessageDispatcher
{
public:
    // The largest message whose encoding buffer is kept for the next send.
    static constexpr std::size_t kKeptBufferBytes = 1 << 20;

    // Sends OrlexVersionMessage at once, on this thread.
    MessageDispatcher(std::shared_ptr<IWriter> pWriter, std::shared_ptr<MessageReader> pReader,
                      std::uint16_t nProtocolVersion);
    // Close handshake: TerminateMessage, up to 2 s for the server's TerminatedMessage, then
    // TerminatedMessage; everything queued is written before it returns.
    ~MessageDispatcher();
    MessageDispatcher(const MessageDispatcher&) = delete;
    MessageDispatcher& operator=(const MessageDispatcher&) = delete;

    // From now on every send only queues; a writer thread installed before writes out and ends.
    void enableWriterThread();

    // Sends payload under strName: queued when the writer thread is installed, else written
    // before returning. Never reports a failed write to the caller.
    template <typename T>
    void send(const std::string& strName, const T& payload)
    {
        if (m_pWriterThread) {
            std::unique_ptr<IMessageSerialize> pMessage = std::make_unique<OutputMessage<T>>(strName, payload);
            m_pWriterThread->post(std::move(pMessage));
            return;
        }
        // One reused buffer: a warm send allocates nothing.
        std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
        m_buffer.clear();
        CompactBinaryWriter writer(m_buffer, m_nProtocolVersion);
        serializeMessage(writer, strName, Schema::structDef<T>(), &payload);
        writeBuffer(m_buffer);
        if (m_buffer.size() > kKeptBufferBytes)
            m_buffer = ::bond::OutputBuffer(); // a large message's memory is not kept
    }

    // send() under the schema name of T.
    template <typename T>
    void sendMessage(const T& payload)
    {
        send(cachedTypeName<T>(), payload);
    }

    // sendMessage() that moves the payload into the queue instead of copying it (large lists).
    template <typename T, typename = std::enable_if_t<!std::is_lvalue_reference_v<T>>>
    void sendMessage(T&& payload)
    {
        if (m_pWriterThread) {
            m_pWriterThread->post(std::make_unique<OutputMessage<T>>(cachedTypeName<T>(), std::move(payload)));
            return;
        }
        send(cachedTypeName<T>(), static_cast<const T&>(payload));
    }

    void writeBuffer(const ::bond::OutputBuffer& buffer);

    // Receivers of the report of a failed write.
    void addErrorReceiver(IMessageReceiver* pReceiver);
    void removeErrorReceiver(IMessageReceiver* pReceiver);

private:
    template <typename T>
    static const std::string& cachedTypeName()
    {
        static const std::string s_strName = schemaTypeName<T>();
        return s_strName;
    }

    std::shared_ptr<IWriter> m_pWriter;
    std::unique_ptr<IMessageWriterThread> m_pWriterThread;
    std::shared_ptr<MessageReader> m_pReader;
    std::shared_ptr<MessageWriter> m_pMessageWriter;
    const std::uint16_t m_nProtocolVersion;
    std::recursive_mutex m_bufferMutex; // guards m_buffer; a failed write's error receivers may send again
    ::bond::OutputBuffer m_buffer;
};

} // namespace Dremm::Orlex::QtClient
