#include "OrlexProtocol/codec/StructCodec.h"

namespace Dremm::Orlex::Codec
{

namespace detail
{
void throwStructStop(const char* qualifiedName)
{
    throw ::bond::CoreException(std::string("De-serialization failed: unexpected struct stop encountered for ") + qualifiedName);
}

void throwTooMany(std::uint32_t count, const char* what)
{
    throw ::bond::CoreException("De-serialization failed: " + std::to_string(count) + " " + what
                                + ", more than a message may hold");
}
} // namespace detail

std::string structStopMessage(const Schema::StructDef& def)
{
    return "De-serialization failed: unexpected struct stop encountered for " + std::string(def.metadata.qualified_name);
}

void serializeMessageHeader(Writer& writer, const std::string& typeName)
{
    if (!typeName.empty()) {
        writer.writeFieldBegin(::bond::BT_STRING, 0);
        writer.writeString(typeName);
    }
    writer.writeStructEnd(false);
}

void writeHeaderAndBody(Writer& writer, const std::string& typeName, const Schema::StructDef& def, const void* payload)
{
    serializeMessageHeader(writer, typeName);
    writeStruct(writer, def, payload, false);
}

} // namespace Dremm::Orlex::Codec
