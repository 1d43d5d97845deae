// Receives the messages of a viewer connection, on the thread that delivers them.
#pragma once

#include "OrlexProtocol/Message.h"

#include <memory>

namespace Dremm::Orlex::QtClient {

class IMessageReceiver
{
public:
    virtual ~IMessageReceiver() = default;
    // Called on the reader thread (the writing thread for write errors) under the delivering
    // list's lock: return soon and never add or remove a receiver of that list from here.
    virtual void messageReceived(std::shared_ptr<const IMessage> message) = 0;
};

} // namespace Dremm::Orlex::QtClient
