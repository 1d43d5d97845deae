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

    template <typename T>
    class Factory : public IFactory
    {
    public:
        std::shared_ptr<IMessage> create(CompactBinaryReader& reader) override
        {
            auto pMessage = std::make_shared<Message<T>>();
            readMessageBody(reader, Schema::structDef<T>(), static_cast<T*>(pMessage.get()));
            return pMessage;
        }
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
