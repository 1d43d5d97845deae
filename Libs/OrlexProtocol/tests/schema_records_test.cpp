#include "OrlexProtocol/Structs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace Dremm::Orlex::Schema;
namespace O = Tavrin::Dremm::Orlex;
namespace Q = Tavrin::Dremm::Orlex::Extensions::Quennet;

const StructDef* structNamed(std::string_view shortName)
{
    for (const StructDef& def : allStructs())
    {
        if (def.metadata.name == shortName)
            return &def;
    }
    return nullptr;
}

const FieldDef* fieldNamed(const StructDef& def, std::string_view name)
{
    for (const FieldDef& field : def.fields)
    {
        if (field.metadata.name == name)
            return &field;
    }
    return nullptr;
}

// The schema spelling of a type record: "nullable<list<MouseAction>>".
std::string describe(const TypeDef& type)
{
    switch (type.container)
    {
    case Container::List:
        return "list<" + describe(*type.element) + ">";
    case Container::Nullable:
        return "nullable<" + describe(*type.element) + ">";
    case Container::Map:
        return "map<" + describe(*type.key) + "," + describe(*type.element) + ">";
    case Container::None:
        break;
    }
    static const std::map<bond::BondDataType, std::string> names = {
        {bond::BT_BOOL, "bool"},     {bond::BT_UINT8, "uint8"},   {bond::BT_UINT32, "uint32"},
        {bond::BT_UINT64, "uint64"}, {bond::BT_INT32, "int32"},   {bond::BT_INT64, "int64"},
        {bond::BT_FLOAT, "float"},   {bond::BT_DOUBLE, "double"}, {bond::BT_STRING, "string"}};
    if (type.id == bond::BT_STRUCT)
        return std::string(type.structDef->metadata.name);
    const auto it = names.find(type.id);
    return it == names.end() ? "?" + std::to_string(type.id) : it->second;
}

struct Deleter
{
    const StructDef* def;
    void operator()(void* object) const { def->destroy(object); }
};

using Object = std::unique_ptr<void, Deleter>;

Object create(const StructDef& def)
{
    return Object(def.create(), Deleter{&def});
}

TEST(SchemaRecordsTest, CountsStructsFieldsDirectionsAndNamespaces)
{
    std::size_t fields = 0;
    std::size_t extension = 0;
    std::map<Direction, int> directions;
    for (const StructDef& def : allStructs())
    {
        fields += def.fields.size();
        ++directions[def.direction];
        if (def.metadata.qualified_name.find(".Extensions.Quennet.") != std::string_view::npos)
            ++extension;
    }
    EXPECT_EQ(allStructs().size(), 174u);
    EXPECT_EQ(fields, 395u);
    EXPECT_EQ(extension, 22u);
    EXPECT_EQ(directions[Direction::Sent], 49);
    EXPECT_EQ(directions[Direction::Received], 23);
    EXPECT_EQ(directions[Direction::SentAndReceived], 1);
    EXPECT_EQ(directions[Direction::Base], 11);
    EXPECT_EQ(directions[Direction::Nested], 37);
    EXPECT_EQ(directions[Direction::Header], 1);
    EXPECT_EQ(directions[Direction::SchemaOnly], 52);
}

TEST(SchemaRecordsTest, QualifiedNamesAndLookup)
{
    const std::pair<const char*, const char*> cases[] = {
        {"MessageHeader", "Tavrin.Dremm.Orlex.MessageHeader"},
        {"Message", "Tavrin.Dremm.Orlex.Message"},
        {"CreateRasterSource", "Tavrin.Dremm.Orlex.CreateRasterSource"},
        {"TerrainProperties", "Tavrin.Dremm.Orlex.TerrainProperties"},
        {"CrashProcessMessage", "Tavrin.Dremm.Orlex.CrashProcessMessage"},
        {"FloatRange", "Tavrin.Dremm.Orlex.Extensions.Quennet.FloatRange"},
        {"CreateLegendMessage", "Tavrin.Dremm.Orlex.Extensions.Quennet.CreateLegendMessage"},
        {"Constants", "Tavrin.Dremm.Orlex.Extensions.Quennet.Constants"},
        {"ClearPointBufferMessage", "Tavrin.Dremm.Orlex.Extensions.Quennet.ClearPointBufferMessage"},
    };
    for (const auto& [shortName, qualified] : cases)
    {
        const StructDef* def = structNamed(shortName);
        ASSERT_NE(def, nullptr) << shortName;
        EXPECT_EQ(def->metadata.qualified_name, qualified);
        EXPECT_EQ(findStruct(qualified), def);
    }

    std::set<std::string_view> shortNames;
    for (const StructDef& def : allStructs())
    {
        EXPECT_TRUE(shortNames.insert(def.metadata.name).second) << def.metadata.name;
        const std::string_view q = def.metadata.qualified_name;
        EXPECT_EQ(q.substr(0, 19), "Tavrin.Dremm.Orlex.");
        EXPECT_EQ(q.substr(q.rfind('.') + 1), def.metadata.name);
    }

    EXPECT_EQ(&structDef<O::TerminateMessage>(), findStruct("Tavrin.Dremm.Orlex.TerminateMessage"));
    EXPECT_EQ(structDef<Q::SurveyZRangeUpdatedMessage>().metadata.qualified_name,
              "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage");
    EXPECT_EQ(findStruct("tavrin.dremm.orlex.TerminateMessage"), nullptr) << "lookup is exact";
    EXPECT_EQ(findStruct("TerminateMessage"), nullptr);
    EXPECT_EQ(findStruct(""), nullptr);
}

TEST(SchemaRecordsTest, FieldIdsAreFixedNumbersNotPositions)
{
    const std::pair<const char*, std::vector<std::uint16_t>> cases[] = {
        {"CreateObjectMessage", {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"LabelStyle", {1, 2, 3, 4, 5, 6, 7, 9, 10}},
        {"TerrainProperties", {0, 1, 2, 3, 4, 6, 7, 8, 9}},
        {"SurveyStaticMetaInfoMessage", {0, 1, 2, 5, 6}},
        {"SurveyExtentUpdatedMessage", {0, 1, 2, 3, 4}},
        {"ScaleData", {1, 2, 3}},
        {"MaterialData", {1, 2, 3, 4, 5}},
        {"CreateViewerMessage", {1, 2, 3}},
        {"NavigationMessage", {1}},
        {"ListObjectsResponseMessage", {1}},
        {"MouseAction", {1, 2, 3}},
        {"KeyboardEventMessage", {1, 2, 3}},
        {"CreateOverlayMessage", {1}},
        {"Message", {}},
        {"QueryMessage", {}},
        {"DestroyViewerMessage", {}},
        {"InvalidateViewerMessage", {}},
    };
    for (const auto& [name, ids] : cases)
    {
        const StructDef* def = structNamed(name);
        ASSERT_NE(def, nullptr) << name;
        std::vector<std::uint16_t> actual;
        for (const FieldDef& field : def->fields)
            actual.push_back(field.id);
        EXPECT_EQ(actual, ids) << name;
    }

    std::uint16_t largest = 0;
    for (const StructDef& def : allStructs())
    {
        int previous = -1;
        for (const FieldDef& field : def.fields)
        {
            EXPECT_GT(field.id, previous) << def.metadata.name << "." << field.metadata.name;
            previous = field.id;
            largest = std::max(largest, field.id);
            EXPECT_EQ(def.findField(field.id), &field);
        }
    }
    EXPECT_EQ(largest, 12);
    EXPECT_EQ(structNamed("LabelStyle")->findField(8), nullptr);
}

TEST(SchemaRecordsTest, BaseChains)
{
    const std::pair<const char*, std::vector<std::string_view>> cases[] = {
        {"SetCameraDataMessage", {"NavigationMessage", "ViewerMessage", "Message"}},
        {"CreateOverlayLabelMessage", {"CreateOverlayMessage", "CreateObjectMessage", "Message"}},
        {"UpdateOverlayLabelMessage", {"UpdateOverlayMessage", "UpdateObjectMessage", "Message"}},
        {"QueryProjectedCoordinatesMessage", {"ViewerMessage", "Message"}},
        {"QueryProjectedCoordinatesResponseMessage", {"ResponseMessage", "Message"}},
        {"RasterCreatedMessage", {"ObjectCreatedMessage", "Message"}},
        {"PositionUpdateMessage", {"UpdateObjectsMessage", "Message"}},
        {"CreateGraticuleMessage", {"Message"}},
        {"DestroyObjectMessage", {"Message"}},
        {"KeyboardAction", {"BaseInteractionAction"}},
        {"MessageHeader", {}},
        {"Color", {}},
    };
    for (const auto& [name, chain] : cases)
    {
        const StructDef* def = structNamed(name);
        ASSERT_NE(def, nullptr) << name;
        std::vector<std::string_view> actual;
        for (const StructDef* base = def->base; base; base = base->base)
            actual.push_back(base->metadata.name);
        EXPECT_EQ(actual, chain) << name;
    }

    for (const StructDef& def : allStructs())
    {
        int depth = 0;
        for (const StructDef* base = def.base; base; base = base->base)
            ++depth;
        EXPECT_LE(depth, 3) << def.metadata.name;
        EXPECT_EQ(def.toBase == nullptr, def.base == nullptr) << def.metadata.name;
    }
}

TEST(SchemaRecordsTest, FieldTypes)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"SetInteractionActionsMessage", "MouseActions", "nullable<list<MouseAction>>"},
        {"SetInteractionActionsMessage", "KeyboardActions", "nullable<list<KeyboardAction>>"},
        {"SetInteractionActionsMessage", "Options", "map<string,string>"},
        {"QueryInteractionActionsResponseMessage", "MouseActions", "list<MouseAction>"},
        {"LineData", "Positions", "list<float>"},
        {"PositionUpdateMessage", "Positions", "list<PositionData>"},
        {"AddToPointBufferMessage", "Positions", "list<double>"},
        {"CreateViewerMessage", "WindowHandle", "int64"},
        {"UpdateMaterialMessage", "Material", "MaterialData"},
        {"CreateObjectMessage", "PositionData", "PositionData"},
        {"CreateObjectMessage", "ParentId", "nullable<uint64>"},
        {"CreateObjectMessage", "ViewerMask", "uint64"},
        {"CreateRasterSource", "SourceDefinition", "nullable<string>"},
        {"UpdateMeshMessage", "MeshData", "nullable<MeshData>"},
        {"CreateMeshMessage", "MeshData", "MeshData"},
        {"BitmapData", "Pixels", "list<uint8>"},
        {"PointBufferSettings", "Capacity", "int64"},
        {"PointBufferSettings", "PointsPerSubBuffer", "int32"},
        {"CommonRasterData", "CacheSize", "uint32"},
        {"QueryTerrainColorsResponseMessage", "Results", "list<uint8>"},
        {"ColorMapData", "StaticColorRanges", "list<StaticColorRange>"},
        {"ErrorMessage", "Message", "string"},
        {"ErrorMessage", "Source", "nullable<uint64>"},
    };
    for (const auto& [structName, fieldName, type] : cases)
    {
        const StructDef* def = structNamed(structName);
        ASSERT_NE(def, nullptr) << structName;
        const FieldDef* field = fieldNamed(*def, fieldName);
        ASSERT_NE(field, nullptr) << structName << "." << fieldName;
        EXPECT_EQ(describe(*field->type), type) << structName << "." << fieldName;
    }

    // Every container carries the access it needs, and wire types follow the container.
    for (const StructDef& def : allStructs())
    {
        for (const FieldDef& field : def.fields)
        {
            const TypeDef& t = *field.type;
            const std::string where = std::string(def.metadata.name) + "." + std::string(field.metadata.name);
            switch (t.container)
            {
            case Container::List:
                EXPECT_TRUE(t.id == bond::BT_LIST && t.list && t.element) << where;
                break;
            case Container::Nullable:
                EXPECT_TRUE(t.id == bond::BT_LIST && t.nullable && t.element) << where;
                break;
            case Container::Map:
                EXPECT_TRUE(t.id == bond::BT_MAP && t.map && t.key && t.element) << where;
                break;
            case Container::None:
                EXPECT_EQ(t.id == bond::BT_STRUCT, t.structDef != nullptr) << where;
                break;
            }
            EXPECT_EQ(field.metadata.modifier, bond::Modifier::Optional) << where;
            EXPECT_FALSE(field.metadata.default_value.nothing) << where;
        }
    }
}

TEST(SchemaRecordsTest, DeclaredDefaultRecords)
{
    struct Case
    {
        const char* structName;
        const char* fieldName;
        std::uint64_t uintValue;
        std::int64_t intValue;
        double doubleValue;
        const char* stringValue;
    };
    const Case cases[] = {
        {"CreateObjectMessage", "ViewerMask", std::numeric_limits<std::uint64_t>::max(), 0, 0.0, ""},
        {"CreateObjectMessage", "Visible", 1, 0, 0.0, ""},
        {"CreateObjectMessage", "Id", 0, 0, 0.0, ""},
        {"MaterialData", "Override", 0, 0, 0.0, ""},
        {"MaterialData", "OverrideAlpha", 1, 0, 0.0, ""},
        {"OrlexVersionMessage", "ProtocolVersion", 0, 7, 0.0, ""},
        {"ViewerMessage", "Confirmation", 0, 1, 0.0, ""},
        {"ResponseMessage", "ResponseCode", 0, 1, 0.0, ""},
        {"Color", "R", 0, 0, 0.5, ""},
        {"Color", "A", 0, 0, 1.0, ""},
        {"RotationData", "W", 0, 0, 1.0, ""},
        {"ScaleData", "Y", 0, 0, 1.0, ""},
        {"LabelStyle", "TextSize", 0, 0, 20.0, ""},
        {"LabelStyle", "Font", 0, 0, 0.0, "Segoe"},
        {"LabelStyle", "AnchorPosition", 0, 2, 0.0, ""},
        {"LabelData", "Text", 0, 0, 0.0, ""},
        {"CommonRasterData", "CacheSize", 268435456, 0, 0.0, ""},
        {"TerrainProperties", "tileSize", 255, 0, 0.0, ""},
        {"TerrainProperties", "imageryOffset", 0, 1, 0.0, ""},
        {"OceanData", "WaveDirection", 0, 0, 1.57, ""},
        {"PointBufferSettings", "Capacity", 0, 1000000, 0.0, ""},
        {"PointBufferSettings", "PointSize", 0, 0, 2.0, ""},
        {"CreateGridEngineTerrainMessage", "HeightScale", 0, 0, 1.0, ""},
        {"CreateBasicGridMessage", "Radius", 0, 0, 100.0, ""},
        {"UpdateBasicGridMessage", "Radius", 0, 0, 0.0, ""},
        {"Constants", "HeightPropertyName", 0, 0, 0.0, "Height"},
        {"ErrorMessage", "Code", 0, 0, 0.0, ""},
        {"ErrorMessage", "Viewer", 0, 0, 0.0, ""},
    };
    for (const Case& c : cases)
    {
        const StructDef* def = structNamed(c.structName);
        ASSERT_NE(def, nullptr) << c.structName;
        const FieldDef* field = fieldNamed(*def, c.fieldName);
        ASSERT_NE(field, nullptr) << c.structName << "." << c.fieldName;
        const bond::Variant& v = field->metadata.default_value;
        EXPECT_EQ(v.uint_value, c.uintValue) << c.structName << "." << c.fieldName;
        EXPECT_EQ(v.int_value, c.intValue) << c.structName << "." << c.fieldName;
        EXPECT_EQ(v.double_value, c.doubleValue) << c.structName << "." << c.fieldName;
        EXPECT_EQ(v.string_value, c.stringValue) << c.structName << "." << c.fieldName;
    }
}

// A default-constructed object holds, field by field, what the default records say.
void expectAtRecordedDefaults(const StructDef& def, const void* object, const std::string& path)
{
    if (def.base)
        expectAtRecordedDefaults(*def.base, def.toConstBase(object), path);
    for (const FieldDef& field : def.fields)
    {
        const void* member = field.constMember(object);
        const bond::Variant& v = field.metadata.default_value;
        const std::string where = path + std::string(def.metadata.name) + "." + std::string(field.metadata.name);
        const TypeDef& t = *field.type;
        switch (t.container)
        {
        case Container::List:
            EXPECT_EQ(t.list->size(member), 0u) << where;
            continue;
        case Container::Nullable:
            EXPECT_FALSE(t.nullable->hasValue(member)) << where;
            continue;
        case Container::Map:
            EXPECT_EQ(t.map->size(member), 0u) << where;
            continue;
        case Container::None:
            break;
        }
        switch (t.id)
        {
        case bond::BT_BOOL:
            EXPECT_EQ(*static_cast<const bool*>(member), v.uint_value != 0) << where;
            break;
        case bond::BT_UINT8:
            EXPECT_EQ(*static_cast<const std::uint8_t*>(member), v.uint_value) << where;
            break;
        case bond::BT_UINT32:
            EXPECT_EQ(*static_cast<const std::uint32_t*>(member), v.uint_value) << where;
            break;
        case bond::BT_UINT64:
            EXPECT_EQ(*static_cast<const std::uint64_t*>(member), v.uint_value) << where;
            break;
        case bond::BT_INT32:
            EXPECT_EQ(*static_cast<const std::int32_t*>(member), v.int_value) << where;
            break;
        case bond::BT_INT64:
            EXPECT_EQ(*static_cast<const std::int64_t*>(member), v.int_value) << where;
            break;
        case bond::BT_FLOAT:
            EXPECT_EQ(static_cast<double>(*static_cast<const float*>(member)), v.double_value) << where;
            break;
        case bond::BT_DOUBLE:
            EXPECT_EQ(*static_cast<const double*>(member), v.double_value) << where;
            break;
        case bond::BT_STRING:
            EXPECT_EQ(*static_cast<const std::string*>(member), v.string_value) << where;
            break;
        case bond::BT_STRUCT:
            expectAtRecordedDefaults(*t.structDef, member, where + ".");
            break;
        default:
            ADD_FAILURE() << where << " has wire type " << int(t.id);
        }
    }
}

TEST(SchemaRecordsTest, DefaultObjectsHoldTheirRecordedDefaults)
{
    for (const StructDef& def : allStructs())
    {
        const Object object = create(def);
        expectAtRecordedDefaults(def, object.get(), "");
    }
}

TEST(SchemaRecordsTest, MembersAreReachedThroughTheRecords)
{
    // Base fields through the base chain, a derived field that repeats its base's id and name.
    O::SetCameraDataMessage camera;
    camera.ViewerId = 3;
    camera.TransitionTime.set(2.5);
    const StructDef& cameraDef = structDef<O::SetCameraDataMessage>();
    const StructDef& navigationDef = *cameraDef.base;
    const StructDef& viewerDef = *navigationDef.base;
    const void* navigationPart = cameraDef.toConstBase(&camera);
    const void* viewerPart = navigationDef.toConstBase(navigationPart);
    EXPECT_EQ(*static_cast<const std::int32_t*>(viewerDef.findField(0)->constMember(viewerPart)), 3);
    const FieldDef& transition = *navigationDef.findField(1);
    const void* held = transition.type->nullable->value(transition.constMember(navigationPart));
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(*static_cast<const double*>(held), 2.5);

    Q::UpdateGridEngineTerrainMessage grid;
    const StructDef& gridDef = structDef<Q::UpdateGridEngineTerrainMessage>();
    *static_cast<std::uint64_t*>(gridDef.findField(0)->member(&grid)) = 5;
    *static_cast<std::uint64_t*>(gridDef.base->findField(0)->member(gridDef.toBase(&grid))) = 9;
    EXPECT_EQ(grid.Id, 5u);
    EXPECT_EQ(grid.UpdateObjectMessage::Id, 9u);

    // Writing a nullable list of derived structs and a map.
    O::SetInteractionActionsMessage actions;
    const StructDef& actionsDef = structDef<O::SetInteractionActionsMessage>();
    const TypeDef& mouseActions = *actionsDef.findField(1)->type;
    void* list = mouseActions.nullable->set(actionsDef.findField(1)->member(&actions));
    mouseActions.element->list->resize(list, 2);
    void* second = mouseActions.element->list->at(list, 1);
    const StructDef& mouseDef = *mouseActions.element->element->structDef;
    *static_cast<std::int32_t*>(mouseDef.findField(1)->member(second)) = 4;
    *static_cast<std::string*>(mouseDef.base->findField(0)->member(mouseDef.toBase(second))) = "ZoomIn";

    const MapOps& options = *actionsDef.findField(3)->type->map;
    void* optionsMap = actionsDef.findField(3)->member(&actions);
    const std::string keys[] = {"b", "a"};
    for (const std::string& key : keys)
        *static_cast<std::string*>(options.insert(optionsMap, &key)) = "value " + key;

    ASSERT_TRUE(actions.MouseActions.hasvalue());
    ASSERT_EQ(actions.MouseActions.value().size(), 2u);
    EXPECT_EQ(actions.MouseActions.value()[1].Buttons, 4);
    EXPECT_EQ(actions.MouseActions.value()[1].Action, "ZoomIn");
    EXPECT_EQ(actions.MouseActions.value()[0].Action, "") << "new elements start at their defaults";
    EXPECT_FALSE(actions.KeyboardActions.hasvalue());

    std::vector<std::string> visited;
    options.forEach(optionsMap, &visited, [](void* context, const void* key, const void* value) {
        static_cast<std::vector<std::string>*>(context)->push_back(*static_cast<const std::string*>(key) + "="
                                                                  + *static_cast<const std::string*>(value));
    });
    EXPECT_EQ(visited, (std::vector<std::string>{"a=value a", "b=value b"}));

    // The field named like the root struct.
    O::ErrorMessage error;
    *static_cast<std::string*>(structDef<O::ErrorMessage>().findField(0)->member(&error)) = "broken";
    EXPECT_EQ(error.Message, "broken");
}

} // namespace
