#include "OrlexQtClient/MessageClient.h"

#include "OrlexQtClient/Pipes.h"

#include "OrlexProtocol/codec/QuennetExtension.h"

#include <stdexcept>
#include <type_traits>

namespace Dremm::Orlex::QtClient {

namespace O = ::Tavrin::Dremm::Orlex;
namespace Q = ::Tavrin::Dremm::Orlex::Extensions::Quennet;

namespace {

constexpr std::uint16_t kProtocolVersion = 1;

} // namespace

MessageClient::MessageClient(const std::string& strName)
{
    const std::string strPath = "\\\\.\\pipe\\" + strName;
    m_pWriter = std::make_shared<PipeWriter>(strPath);
    if (!m_pWriter->isValid())
        return;
    connect(std::make_shared<PipeReader>(strPath + "Out"));
}

MessageClient::MessageClient(std::shared_ptr<IWriter> pWriter, std::shared_ptr<IReader> pReader)
    : m_pWriter(std::move(pWriter))
{
    if (m_pWriter && m_pWriter->isValid())
        connect(std::move(pReader));
}

void MessageClient::connect(std::shared_ptr<IReader> pReader)
{
    m_pReader = std::make_shared<MessageReader>(std::move(pReader), kProtocolVersion);
    m_pDispatcher = std::make_shared<MessageDispatcher>(m_pWriter, m_pReader, kProtocolVersion);
}

MessageClient::~MessageClient()
{
    m_pDispatcher.reset();
    m_pReader.reset();
    m_pWriter.reset();
}

void loadQuennetExtension(MessageClient& client)
{
    if (!client.dispatcher() || !client.reader())
        throw std::logic_error("loadQuennetExtension needs an open connection");
    client.dispatcher()->send(schemaTypeName<O::LoadExtensionMessage>(), Q::makeLoadExtensionRequest());

    MessageReader& reader = *client.reader();
    Q::forEachReceivedMessage([&reader](auto* pType) {
        using T = std::remove_pointer_t<decltype(pType)>;
        reader.registerFactory(schemaTypeName<T>(), std::make_unique<MessageReader::Factory<T>>());
    });
}

} // namespace Dremm::Orlex::QtClient
