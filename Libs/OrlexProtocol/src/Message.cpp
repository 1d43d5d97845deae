#include "OrlexProtocol/Message.h"

namespace Dremm::Orlex::QtClient {

std::string schemaTypeName(std::string_view readableTypeName)
{
    std::string name;
    name.reserve(60);
    const std::size_t blank = readableTypeName.find(' ');
    if (blank == std::string_view::npos)
        return name;
    for (std::size_t i = blank + 1; i < readableTypeName.size(); ++i)
    {
        if (readableTypeName[i] == ':')
        {
            name += '.';
            ++i; // the second ':' of "::"
        }
        else
        {
            name += readableTypeName[i];
        }
    }
    return name;
}

std::shared_ptr<Message<::Tavrin::Dremm::Orlex::ErrorMessage>>
makeSharedErrorMessage(const ::Tavrin::Dremm::Orlex::ErrorMessage& payload)
{
    return std::make_shared<Message<::Tavrin::Dremm::Orlex::ErrorMessage>>(payload);
}

} // namespace Dremm::Orlex::QtClient
