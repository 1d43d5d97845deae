#include "OrlexQtClient/MessageReader.h"

#include "OrlexQtClient/Exception.h"
#include "OrlexQtClient/Pipes.h"

#include "OrlexProtocol/codec/StructCodec.h"

namespace Dremm::Orlex::QtClient {

namespace O = ::Tavrin::Dremm::Orlex;

void readMessageBody(CompactBinaryReader& reader, const Schema::StructDef& def, void* pPayload)
{
    Codec::readStruct(reader, def, pPayload);
}

void readMessageBodyReusing(CompactBinaryReader& reader, const Schema::StructDef& def, void* pPayload)
{
    Codec::readStructReusing(reader, def, pPayload);
}

namespace {

template <typename... T>
void registerCoreFactories(MessageReader& reader)
{
    (reader.registerFactory(schemaTypeName<T>(), std::make_unique<MessageReader::Factory<T>>()), ...);
}

} // namespace

MessageReader::MessageReader(std::shared_ptr<IReader> pReader, std::uint16_t nProtocolVersion)
    : m_pReader(std::move(pReader)), m_nProtocolVersion(nProtocolVersion)
{
    registerCoreFactories<O::ErrorMessage, O::HandshakeMessage, O::KeyboardEventMessage,
                          O::ListObjectsResponseMessage, O::MeasurementMessage, O::MouseEventMessage,
                          O::MouseMovedMessage, O::ObjectPickedMessage, O::QueryNavigationStateResponseMessage,
                          O::QueryObjectDistanceResponseMessage, O::QueryInteractionActionsResponseMessage,
                          O::QueryProjectedCoordinatesResponseMessage, O::ShowContextMenuMessage,
                          O::TerminatedMessage, O::ViewerCreatedMessage, O::ViewerDestroyedMessage,
                          O::ExtensionLoadedMessage, O::RasterCreatedMessage,
                          O::QueryTerrainColorsResponseMessage, O::QueryTerrainElevationsResponseMessage>(*this);
    m_thread = std::thread(&MessageReader::run, this);
}

MessageReader::~MessageReader()
{
    m_bStop = true;
    if (auto* pPipe = dynamic_cast<PipeReader*>(m_pReader.get()))
        pPipe->interrupt();
    if (m_thread.joinable())
        m_thread.join();
}

void MessageReader::registerFactory(const std::string& strName, std::unique_ptr<IFactory> pFactory)
{
    std::shared_ptr<IFactory> pOld;
    {
        std::lock_guard<std::mutex> lock(m_factoryMutex);
        pOld = std::exchange(m_factories[strName], std::move(pFactory));
    }
    // pOld is destroyed here, outside the lock, unless a decode still holds it.
}

void MessageReader::run()
{
    try {
        CompactBinaryReader reader(ReaderInputBuffer(m_pReader), m_nProtocolVersion);
        auto* pBuffered = dynamic_cast<BufferedReader*>(m_pReader.get());
        O::MessageHeader header;
        while (!m_bStop && !m_pReader->atEnd()) {
            if (pBuffered)
                pBuffered->beginMessage(kMaxMessageBytes);
            Codec::deserializeReusing(reader, header);
            dispatch(reader, header.Type);
        }
    } catch (const std::exception& e) {
        reportFailure(e.what());
    } catch (...) {
        reportFailure("unknown exception");
    }
    m_bEnded = true;
}

void MessageReader::dispatch(CompactBinaryReader& reader, const std::string& strType)
{
    std::shared_ptr<IFactory> pFactory;
    {
        std::lock_guard<std::mutex> lock(m_factoryMutex);
        const auto it = m_factories.find(strType);
        if (it != m_factories.end())
            pFactory = it->second;
    }
    if (!pFactory)
        throw Exception("Serialization failure. Does not handle message: " + strType);
    std::shared_ptr<const IMessage> pMessage = pFactory->create(reader);
    pFactory.reset();
    m_messageReceivers.dispatch(pMessage);
    if (pMessage->typeName() == schemaTypeName<O::TerminatedMessage>())
        m_bStop = true;
}

void MessageReader::reportFailure(const std::string& strText)
{
    // A read woken by the destructor is the end of the connection, not a fault to report.
    if (m_bStop)
        return;
    O::ErrorMessage error;
    error.Message = "Fatal: Got exception reading from server: " + strText;
    error.Code = 999;
    error.Fatal = false;
    m_errorReceivers.dispatch(makeSharedErrorMessage(error));
}

} // namespace Dremm::Orlex::QtClient
