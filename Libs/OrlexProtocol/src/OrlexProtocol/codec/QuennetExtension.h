#pragma once
// The extension message set "Quennet": the request that has the viewer server load it, and the
// extension messages the server then sends, for the connection's extension loader to register.

#include "OrlexProtocol/Structs.h"

namespace Tavrin::Dremm::Orlex::Extensions::Quennet
{

// The name under which the viewer server knows the extension.
inline constexpr char kExtensionName[] = "Quennet";

// LoadExtensionMessage with Name "Quennet".
::Tavrin::Dremm::Orlex::LoadExtensionMessage makeLoadExtensionRequest();

// Calls visit(static_cast<T*>(nullptr)) for each extension message T the server sends, in the
// order in which the loader registers their decoders.
template <typename Visit>
void forEachReceivedMessage(Visit&& visit)
{
    visit(static_cast<SurveyStaticMetaInfoMessage*>(nullptr));
    visit(static_cast<SurveyExtentUpdatedMessage*>(nullptr));
    visit(static_cast<SurveyZRangeUpdatedMessage*>(nullptr));
    visit(static_cast<SurveyPropertyRangeUpdatedMessage*>(nullptr));
}

} // namespace Tavrin::Dremm::Orlex::Extensions::Quennet
