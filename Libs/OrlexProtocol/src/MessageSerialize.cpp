// Writing a message object: the Compact Binary codec writes the header and then the body.
#include "OrlexProtocol/Message.h"

#include <bond/exception.h>

namespace Dremm::Orlex::QtClient {

void serializeMessage(CompactBinaryWriter&, const std::string& typeName, const Schema::StructDef&, const void*)
{
    throw bond::CoreException("no writer for " + typeName);
}

} // namespace Dremm::Orlex::QtClient
