// One viewer on a viewer connection: its id, its configuration sent whole after each change, and
// its removal from the server when it goes.
#pragma once

#include "OrlexQtClient/MessageClient.h"
#include "OrlexQtClient/MessageWaitFor.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace Dremm::Orlex::QtClient {

using ViewerConfiguration = std::map<std::string, std::string>;

class IOrlexViewer
{
public:
    virtual ~IOrlexViewer() = default;
    virtual void initialize(std::shared_ptr<MessageClient> pClient, ViewerConfiguration configuration) = 0;
    virtual std::shared_ptr<MessageClient> client() const = 0;
    virtual std::shared_ptr<MessageDispatcher> dispatcher() const = 0;
    virtual std::int32_t viewerId() const = 0;
    virtual void setConfigurationValue(std::string strKey, std::string strValue) = 0;
    virtual void removeConfigurationValue(std::string strKey) = 0;
};

class AbstractOrlexViewer : public IOrlexViewer
{
public:
    AbstractOrlexViewer() = default;
    // When initialised: destroys the viewer on the server and gives the viewer id back.
    ~AbstractOrlexViewer() override;
    AbstractOrlexViewer(const AbstractOrlexViewer&) = delete;
    AbstractOrlexViewer& operator=(const AbstractOrlexViewer&) = delete;

    // Keeps the connection and the configuration and takes a viewer id; sends nothing.
    void initialize(std::shared_ptr<MessageClient> pClient, ViewerConfiguration configuration) override;
    std::shared_ptr<MessageClient> client() const override { return m_pClient; }
    std::shared_ptr<MessageDispatcher> dispatcher() const override;
    // -1 before initialize.
    std::int32_t viewerId() const override { return m_nViewerId; }
    void setConfigurationValue(std::string strKey, std::string strValue) override;
    void removeConfigurationValue(std::string strKey) override;

    // Sends UpdateConfigurationMessage with the whole configuration.
    void sendConfiguration();
    // Run with 100 (ms) after each wait for the server's confirmation that brought nothing.
    void setIdleCallback(std::function<void(int)> idleCallback);
    // Sends DestroyViewerMessage and waits up to ten times 500 ms for ViewerDestroyedMessage.
    void destroyViewer();

protected:
    const ViewerConfiguration& configuration() const { return m_configuration; }
    // What the destructor does, for a derived class whose events must not reach it half
    // destroyed while the wait processes events: afterwards the destructor has nothing to do.
    void shutdownViewer();

    // Accepts the reply T (a viewer message) that names viewer nViewerId.
    template <typename T>
    static MessageWaitFor::Predicate isReplyFor(std::int32_t nViewerId)
    {
        return [nViewerId](const IMessage* pMessage) {
            const auto* pReply = dynamic_cast<const Message<T>*>(pMessage);
            return pReply && pReply->ViewerId == nViewerId;
        };
    }

private:
    std::shared_ptr<MessageClient> m_pClient;
    std::int32_t m_nViewerId = -1;
    ViewerConfiguration m_configuration;
    std::function<void(int)> m_idleCallback;
};

} // namespace Dremm::Orlex::QtClient
