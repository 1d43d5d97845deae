#include "OrlexProtocol/codec/QuennetExtension.h"

namespace Tavrin::Dremm::Orlex::Extensions::Quennet
{

::Tavrin::Dremm::Orlex::LoadExtensionMessage makeLoadExtensionRequest()
{
    ::Tavrin::Dremm::Orlex::LoadExtensionMessage request;
    request.Name = kExtensionName;
    return request;
}

} // namespace Tavrin::Dremm::Orlex::Extensions::Quennet
