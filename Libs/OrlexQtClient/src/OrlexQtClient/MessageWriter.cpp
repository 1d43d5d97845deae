#include "OrlexQtClient/MessageWriter.h"

#include "OrlexProtocol/codec/CompactBinaryWriter.h"

namespace Dremm::Orlex::QtClient {

MessageWriter::MessageWriter(std::shared_ptr<IWriter> pWriter, std::uint16_t nProtocolVersion)
    : m_pWriter(std::move(pWriter)), m_nProtocolVersion(nProtocolVersion)
{
}

void MessageWriter::write(const IMessageSerialize& message)
{
    ::bond::OutputBuffer buffer;
    CompactBinaryWriter writer(buffer, m_nProtocolVersion);
    message.serialize(writer);
    writeOutputBuffer(buffer);
}

void MessageWriter::writeOutputBuffer(const ::bond::OutputBuffer& buffer)
{
    writeBytes(buffer.data(), buffer.size());
}

void MessageWriter::writeBytes(const void* pBytes, std::size_t nCount)
{
    if (m_bFailed)
        return;
    if (m_pWriter && m_pWriter->write(pBytes, nCount))
        return;
    fail();
}

std::size_t MessageWriter::writeNow(const void* pBytes, std::size_t nCount)
{
    if (m_bFailed || !m_pWriter)
        return 0;
    return m_pWriter->writeNow(pBytes, nCount);
}

void MessageWriter::fail()
{
    if (m_bFailed.exchange(true))
        return;
    ::Tavrin::Dremm::Orlex::ErrorMessage error;
    error.Message = "Fatal: Failed to write message to server - timeout.";
    error.Code = 999;
    error.Fatal = false;
    m_errorReceivers.dispatch(makeSharedErrorMessage(error));
}

} // namespace Dremm::Orlex::QtClient
