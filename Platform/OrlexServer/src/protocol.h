// Names of the viewer protocol's messages as the stand-in needs them: what the client sends (with
// the number of base parts of each body) and what it can read.
#pragma once

#include <optional>
#include <string>

namespace orlex_standin {

extern const char* const kCore;     // "Tavrin.Dremm.Orlex."
extern const char* const kQuennet;  // "Tavrin.Dremm.Orlex.Extensions.Quennet."

// The base parts of a message body the client sends (1 for a body whose base is the plain
// Message), or nothing for a type the client never sends.
std::optional<int> clientBaseParts(const std::string& type);

// True for the types the client decodes (the extension's only once it was loaded).
bool clientDecodes(const std::string& type, bool extensionLoaded);

// "Tavrin.Dremm.Orlex.ViewerCreatedMessage" -> "ViewerCreatedMessage".
std::string shortName(const std::string& type);

} // namespace orlex_standin
