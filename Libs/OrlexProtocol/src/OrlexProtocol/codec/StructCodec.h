#pragma once
// Writes and reads any protocol struct in Compact Binary version 1, driven by the schema's struct
// and field tables; messages are a MessageHeader followed directly by the body.

#include "OrlexProtocol/SchemaDef.h"
#include "OrlexProtocol/Structs.h"
#include "OrlexProtocol/codec/CompactBinaryReader.h"
#include "OrlexProtocol/codec/CompactBinaryWriter.h"
#include "OrlexProtocol/codec/ValueCodec.h"

#include <string>

namespace Dremm::Orlex::Codec
{

using Reader = ::bond::CompactBinaryReader<QtClient::ReaderInputBuffer>;

// The entry points by struct record serve every struct that travels on the pipes; a struct that is
// only declared raises bond::CoreException.

// Writes object, a struct that def describes: base parts first (each closed by 01), then its own
// fields in ascending id, each left out when it holds its declared default (an empty list or map,
// a nullable without a value), then 01 with asBase, else 00.
void writeStruct(Writer& writer, const Schema::StructDef& def, const void* object, bool asBase);

// Reads one whole struct into object, which holds its declared defaults or earlier values; fields
// that do not arrive keep them. Raises bond::CoreException "De-serialization failed: unexpected
// struct stop encountered for <name>" when a base part ends with 00, and the errors of the input.
void readStruct(Reader& reader, const Schema::StructDef& def, void* object);

// As readStruct, into object holding an earlier value of def's struct: its fields first return to
// their declared defaults, lists and texts keeping their memory, so the result is that of reading
// into a fresh object.
void readStructReusing(Reader& reader, const Schema::StructDef& def, void* object);

// Reads the struct as the base part of a derived one; true when it ended with 01, false with 00.
bool readBasePart(Reader& reader, const Schema::StructDef& def, void* object);

// The text of the error raised for a base part of def's struct that ends with 00.
std::string structStopMessage(const Schema::StructDef& def);

// The message header: Type as field 0 (left out when empty), then 00.
void serializeMessageHeader(Writer& writer, const std::string& typeName);

// Header naming typeName, then the body payload that def describes.
void writeHeaderAndBody(Writer& writer, const std::string& typeName, const Schema::StructDef& def, const void* payload);

template <typename T>
void serialize(Writer& writer, const T& value)
{
    writeStruct(writer, Schema::structDef<T>(), &value, false);
}

template <typename T>
void deserialize(Reader& reader, T& value)
{
    readStruct(reader, Schema::structDef<T>(), &value);
}

template <typename T>
void deserializeReusing(Reader& reader, T& value)
{
    readStructReusing(reader, Schema::structDef<T>(), &value);
}

} // namespace Dremm::Orlex::Codec
