// The writing side of a viewer connection: one message, serialised into one buffer, in one pipe
// write; after the first failed write every message is dropped.
#pragma once

#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/OutputBuffer.h"
#include "OrlexQtClient/IWriter.h"
#include "OrlexQtClient/ReceiverList.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace Dremm::Orlex::QtClient {

class MessageWriter
{
public:
    MessageWriter(std::shared_ptr<IWriter> pWriter, std::uint16_t nProtocolVersion);
    MessageWriter(const MessageWriter&) = delete;
    MessageWriter& operator=(const MessageWriter&) = delete;

    void write(const IMessageSerialize& message);
    void writeOutputBuffer(const ::bond::OutputBuffer& buffer);
    // Tells the error receivers once when the write fails; drops everything after that.
    void writeBytes(const void* pBytes, std::size_t nCount);
    // What the pipe takes at once, without waiting (IWriter::writeNow); 0 after a failure.
    std::size_t writeNow(const void* pBytes, std::size_t nCount);

    // Takes the failure path without a write: one report, then every message is dropped.
    void fail();

    std::uint16_t protocolVersion() const { return m_nProtocolVersion; }
    bool hasFailed() const { return m_bFailed; }

    void addErrorReceiver(IMessageReceiver* pReceiver) { m_errorReceivers.add(pReceiver); }
    void removeErrorReceiver(IMessageReceiver* pReceiver) { m_errorReceivers.remove(pReceiver); }

private:
    std::shared_ptr<IWriter> m_pWriter;
    const std::uint16_t m_nProtocolVersion;
    ReceiverList m_errorReceivers;
    std::atomic<bool> m_bFailed{false};
};

} // namespace Dremm::Orlex::QtClient
