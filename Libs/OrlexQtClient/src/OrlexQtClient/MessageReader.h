// The reading side of a viewer connection: a thread that decodes the server's messages with the
// decoder registered for each schema name and hands them to the receivers.
#pragma once

#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/CompactBinaryReader.h"
#include "OrlexProtocol/codec/IReader.h"
#include "OrlexQtClient/ReceiverList.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace Dremm::Orlex::QtClient {

// Reads the body of a struct that def describes into pPayload (base parts first).
void readMessageBody(CompactBinaryReader& reader, const Schema::StructDef& def, void* pPayload);

// The same into a payload holding an earlier body of that struct, whose memory it uses again.
void readMessageBodyReusing(CompactBinaryReader& reader, const Schema::StructDef& def, void* pPayload);

// Messages of at most this many bytes are kept by their factory to be read into again.
inline constexpr std::uint64_t kReusedMessageBytes = 64 * 1024;

class MessageReader
{
public:
    // Decodes one message body of the type it is registered for.
    class IFactory
    {
    public:
        virtual ~IFactory() = default;
        // Never null; every failure is an exception.
        virtual std::shared_ptr<IMessage> create(CompactBinaryReader& reader) = 0;
    };

    // Reads into the message it returned last time once every receiver has released it, else
    // into a new one. Used by one reader thread.
    template <typename T>
    class Factory : public IFactory
    {
    public:
        std::shared_ptr<IMessage> create(CompactBinaryReader& reader) override
        {
            const std::uint64_t nStart = reader.input().consumed();
            if (m_pLast && m_pLast.use_count() == 1) {
                // Pairs with the release of the last other holder: its reads are done.
                std::atomic_thread_fence(std::memory_order_acquire);
                readMessageBodyReusing(reader, Schema::structDef<T>(), static_cast<T*>(m_pLast.get()));
            } else {
                m_pLast = std::make_shared<Message<T>>();
                readMessageBody(reader, Schema::structDef<T>(), static_cast<T*>(m_pLast.get()));
            }
            // A large message is not held on to for the next one.
            if (reader.input().consumed() - nStart > kReusedMessageBytes)
                return std::move(m_pLast);
            return m_pLast;
        }

    private:
        std::shared_ptr<Message<T>> m_pLast;
    };

    // Registers the decoders of the core messages and starts the thread.
    MessageReader(std::shared_ptr<IReader> pReader, std::uint16_t nProtocolVersion);
    // Stops the thread, waking it from a blocked read, before anything is freed.
    ~MessageReader();
    MessageReader(const MessageReader&) = delete;
    MessageReader& operator=(const MessageReader&) = delete;

    // Inserts the factory or replaces the one registered under that name. Safe while the
    // thread runs.
    void registerFactory(const std::string& strName, std::unique_ptr<IFactory> pFactory);

    void addMessageReceiver(IMessageReceiver* pReceiver) { m_messageReceivers.add(pReceiver); }
    void removeMessageReceiver(IMessageReceiver* pReceiver) { m_messageReceivers.remove(pReceiver); }
    void addErrorReceiver(IMessageReceiver* pReceiver) { m_errorReceivers.add(pReceiver); }
    void removeErrorReceiver(IMessageReceiver* pReceiver) { m_errorReceivers.remove(pReceiver); }

    // True once the thread has stopped reading: end of stream, a failure or a termination.
    bool hasEnded() const { return m_bEnded; }

private:
    void run();
    void dispatch(CompactBinaryReader& reader, const std::string& strType);
    void reportFailure(const std::string& strText);

    std::shared_ptr<IReader> m_pReader;
    const std::uint16_t m_nProtocolVersion;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bEnded{false};
    ReceiverList m_errorReceivers;
    ReceiverList m_messageReceivers;
    std::mutex m_factoryMutex;
    // Shared so that a replaced factory outlives a decode in progress on the reader thread.
    std::map<std::string, std::shared_ptr<IFactory>> m_factories;
    std::thread m_thread; // last: starts once everything above exists
};

} // namespace Dremm::Orlex::QtClient
