// One viewer connection: opens the pipe pair of a name and builds its reader and dispatcher.
#pragma once

#include "OrlexQtClient/IWriter.h"
#include "OrlexQtClient/MessageDispatcher.h"
#include "OrlexQtClient/MessageReader.h"

#include <memory>
#include <string>

namespace Dremm::Orlex::QtClient {

class MessageClient
{
public:
    // Opens "\\.\pipe\<name>" for writing and, when that succeeded, "\\.\pipe\<name>Out" for
    // reading; then starts the reader and sends the version message. Without the request pipe
    // the connection stays empty: no dispatcher, no reader.
    explicit MessageClient(const std::string& strName);
    // Over ends that are already open (reader and dispatcher are built the same way).
    MessageClient(std::shared_ptr<IWriter> pWriter, std::shared_ptr<IReader> pReader);
    // Releases the dispatcher (close handshake), then the reader, then the writer.
    ~MessageClient();
    MessageClient(const MessageClient&) = delete;
    MessageClient& operator=(const MessageClient&) = delete;

    const std::shared_ptr<IWriter>& writer() const { return m_pWriter; }
    const std::shared_ptr<MessageDispatcher>& dispatcher() const { return m_pDispatcher; }
    const std::shared_ptr<MessageReader>& reader() const { return m_pReader; }

private:
    void connect(std::shared_ptr<IReader> pReader);

    std::shared_ptr<IWriter> m_pWriter;
    std::shared_ptr<MessageDispatcher> m_pDispatcher;
    std::shared_ptr<MessageReader> m_pReader;
};

// Asks the server to load the extension "Quennet" and teaches the connection's reader its four
// messages. The connection must have a dispatcher and a reader.
void loadQuennetExtension(MessageClient& client);

} // namespace Dremm::Orlex::QtClient
