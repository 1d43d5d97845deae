// Writing a message object: the Compact Binary codec writes the header and then the body.
#include "OrlexProtocol/Message.h"

#include "OrlexProtocol/codec/StructCodec.h"

namespace Dremm::Orlex::QtClient {

void serializeMessage(CompactBinaryWriter& writer, const std::string& typeName,
                      const Schema::StructDef& def, const void* payload)
{
    Codec::writeHeaderAndBody(writer, typeName, def, payload);
}

} // namespace Dremm::Orlex::QtClient
