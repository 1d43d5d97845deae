#include "OrlexProtocol/SchemaDef.h"

namespace Dremm::Orlex::Schema {

const FieldDef* StructDef::findField(std::uint16_t id) const
{
    for (const FieldDef& field : fields)
    {
        if (field.id == id)
            return &field;
    }
    return nullptr;
}

const StructDef* findStruct(std::string_view qualifiedName)
{
    for (const StructDef& def : allStructs())
    {
        if (def.metadata.qualified_name == qualifiedName)
            return &def;
    }
    return nullptr;
}

} // namespace Dremm::Orlex::Schema
