#include "OrlexQtClient/MessageDispatcher.h"

#include "OrlexQtClient/MessageWaitFor.h"

namespace Dremm::Orlex::QtClient {

namespace O = ::Tavrin::Dremm::Orlex;

namespace {

constexpr unsigned kFirstTerminateWaitMs = 500;
constexpr unsigned kSecondTerminateWaitMs = 1500;

} // namespace

MessageDispatcher::MessageDispatcher(std::shared_ptr<IWriter> pWriter, std::shared_ptr<MessageReader> pReader,
                                     std::uint16_t nProtocolVersion)
    : m_pWriter(std::move(pWriter))
    , m_pReader(std::move(pReader))
    , m_pMessageWriter(std::make_shared<MessageWriter>(m_pWriter, 1))
    , m_nProtocolVersion(nProtocolVersion)
{
    O::OrlexVersionMessage version;
    version.ProtocolVersion = 7;
    send(schemaTypeName<O::OrlexVersionMessage>(), version);
}

MessageDispatcher::~MessageDispatcher()
{
    if (m_pReader && m_pReader->hasEnded()) {
        // The server has gone: nobody is left to answer the handshake.
        O::TerminateMessage terminate;
        send(schemaTypeName<O::TerminateMessage>(), terminate);
    } else if (m_pReader) {
        MessageWaitFor waitTerminated(m_pReader, std::vector<std::string>{schemaTypeName<O::TerminatedMessage>()});
        O::TerminateMessage terminate;
        terminate.Code = 0;
        send(schemaTypeName<O::TerminateMessage>(), terminate);
        if (!waitTerminated.waitFor(kFirstTerminateWaitMs))
            waitTerminated.waitFor(kSecondTerminateWaitMs);
    } else {
        O::TerminateMessage terminate;
        send(schemaTypeName<O::TerminateMessage>(), terminate);
    }
    O::TerminatedMessage terminated;
    terminated.Code = 0;
    send(schemaTypeName<O::TerminatedMessage>(), terminated);

    m_pMessageWriter.reset();
    m_pReader.reset();
    m_pWriterThread.reset(); // writes out the queue, then joins
    m_pWriter.reset();
}

void MessageDispatcher::enableWriterThread()
{
    m_pWriterThread.reset();
    m_pWriterThread = std::make_unique<MessageWriterThread>(m_pMessageWriter);
}

void MessageDispatcher::writeBuffer(const ::bond::OutputBuffer& buffer)
{
    m_pMessageWriter->writeOutputBuffer(buffer);
}

void MessageDispatcher::addErrorReceiver(IMessageReceiver* pReceiver)
{
    m_pMessageWriter->addErrorReceiver(pReceiver);
}

void MessageDispatcher::removeErrorReceiver(IMessageReceiver* pReceiver)
{
    m_pMessageWriter->removeErrorReceiver(pReceiver);
}

} // namespace Dremm::Orlex::QtClient
