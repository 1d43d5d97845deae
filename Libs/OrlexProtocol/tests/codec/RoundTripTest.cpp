// Every struct that travels on the viewer pipes reads back as it was written, with every field set
// away from its default.
#include "MemoryReader.h"

#include "OrlexProtocol/codec/Serializers.h"
#include "OrlexProtocol/codec/StructCodec.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <type_traits>

using namespace Dremm::Orlex;
using Codec::Reader;
using Codec::Writer;
using Schema::Container;
using Schema::StructDef;
using Schema::TypeDef;

namespace
{

using Object = std::unique_ptr<void, void (*)(void*)>;

Object create(const StructDef& def)
{
    return Object(def.create(), def.destroy);
}

void fillStruct(const StructDef& def, void* object, int seed);

// Seeds from this one on ask for the longest encodings: the extremes of each number type.
constexpr int kExtremes = 1000;

// A value of the type that differs from the declared default.
template <typename T>
void fillScalar(T& value, const bond::Variant& d, int seed)
{
    if constexpr (std::is_arithmetic_v<T> && !std::is_same_v<T, bool>) {
        if (seed >= kExtremes) {
            value = (std::is_signed_v<T> && seed % 2 == 0) ? std::numeric_limits<T>::lowest() : std::numeric_limits<T>::max();
            return;
        }
    }
    if constexpr (std::is_same_v<T, bool>)
        value = d.uint_value == 0;
    else if constexpr (std::is_same_v<T, std::string>)
        value = std::string(d.string_value) + "v" + std::to_string(seed);
    else if constexpr (std::is_same_v<T, std::u16string>)
        value = u"w";
    else if constexpr (std::is_floating_point_v<T>)
        value = static_cast<T>(d.double_value + 1.5 + seed);
    else if constexpr (std::is_signed_v<T>)
        value = static_cast<T>(d.int_value - 300 - seed);
    else
        value = static_cast<T>(d.uint_value + 200 + seed);
}

template <typename F>
void withScalar(bond::BondDataType id, F&& f)
{
    switch (id) {
    case bond::BT_BOOL: f(static_cast<bool*>(nullptr)); break;
    case bond::BT_UINT8: f(static_cast<std::uint8_t*>(nullptr)); break;
    case bond::BT_UINT32: f(static_cast<std::uint32_t*>(nullptr)); break;
    case bond::BT_UINT64: f(static_cast<std::uint64_t*>(nullptr)); break;
    case bond::BT_INT32: f(static_cast<std::int32_t*>(nullptr)); break;
    case bond::BT_INT64: f(static_cast<std::int64_t*>(nullptr)); break;
    case bond::BT_FLOAT: f(static_cast<float*>(nullptr)); break;
    case bond::BT_DOUBLE: f(static_cast<double*>(nullptr)); break;
    case bond::BT_STRING: f(static_cast<std::string*>(nullptr)); break;
    default: FAIL() << "unexpected scalar type " << int(id);
    }
}

void fill(const TypeDef& type, void* value, const bond::Variant& d, int seed)
{
    switch (type.container) {
    case Container::None:
        if (type.id == bond::BT_STRUCT)
            fillStruct(*type.structDef, value, seed);
        else
            withScalar(type.id, [&](auto* tag) { fillScalar(*static_cast<std::remove_pointer_t<decltype(tag)>*>(value), d, seed); });
        break;
    case Container::List: {
        const TypeDef& element = *type.element;
        if (element.container == Container::None && element.id != bond::BT_STRUCT) {
            withScalar(element.id, [&](auto* tag) {
                using T = std::remove_pointer_t<decltype(tag)>;
                if constexpr (std::is_same_v<T, bool>) {
                    FAIL() << "the schema has no list of bool";
                } else {
                    auto& list = *static_cast<std::vector<T>*>(value);
                    list.resize(2);
                    fillScalar(list[0], bond::Variant(), seed);
                    fillScalar(list[1], bond::Variant(), seed + 1);
                }
            });
        } else {
            type.list->resize(value, 2);
            fill(element, type.list->at(value, 0), bond::Variant(), seed);
            fill(element, type.list->at(value, 1), bond::Variant(), seed + 1);
        }
        break;
    }
    case Container::Nullable:
        fill(*type.element, type.nullable->set(value), bond::Variant(), seed);
        break;
    case Container::Map:
        for (int i = 0; i < 2; ++i) {
            std::string key = "k" + std::to_string(seed + i);
            fill(*type.element, type.map->insert(value, &key), bond::Variant(), seed + i);
        }
        break;
    }
}

void fillStruct(const StructDef& def, void* object, int seed)
{
    if (def.base)
        fillStruct(*def.base, def.toBase(object), seed + 50);
    for (const auto& field : def.fields)
        fill(*field.type, field.member(object), field.metadata.default_value, seed + field.id);
}

std::string bytesOf(const StructDef& def, const void* object)
{
    bond::OutputBuffer buffer;
    Writer writer(buffer);
    Codec::writeStruct(writer, def, object, false);
    return buffer.toString();
}

// Once with ordinary values, once with the extremes that take the longest encodings.
TEST(CodecRoundTripTest, EveryStructOnThePipesReadsBackAsWritten)
{
    int checked = 0;
    for (int seed : {1, kExtremes}) {
        for (const StructDef& def : Schema::allStructs()) {
            if (def.direction == Schema::Direction::SchemaOnly)
                continue;
            SCOPED_TRACE(std::string(def.metadata.qualified_name) + " seed " + std::to_string(seed));
            Object original = create(def);
            const std::string defaults = bytesOf(def, original.get());
            fillStruct(def, original.get(), seed);
            const std::string written = bytesOf(def, original.get());
            if (!def.fields.empty()) {
                EXPECT_NE(written, defaults);
            }

            codectest::Input in(std::vector<std::uint8_t>(written.begin(), written.end()));
            Reader reader(in.buffer);
            Object copy = create(def);
            Codec::readStruct(reader, def, copy.get());
            EXPECT_EQ(in.memory->remaining(), 0u);
            EXPECT_EQ(codectest::toHex(bytesOf(def, copy.get())), codectest::toHex(written));
            ++checked;
        }
    }
    EXPECT_GT(checked, 200);
}

// Into an object that holds an earlier struct (every field away from its default, the longest
// encodings): the next struct read reusing it, at its defaults or with other values, gives what a
// fresh object gives, through the pipe's windows as the connection reads.
TEST(CodecRoundTripTest, ReadingIntoAnEarlierStructEqualsReadingIntoAFreshOne)
{
    int checked = 0;
    for (const StructDef& def : Schema::allStructs()) {
        if (def.direction == Schema::Direction::SchemaOnly)
            continue;
        Object earlier = create(def);
        fillStruct(def, earlier.get(), kExtremes);
        Object later = create(def);
        const std::string defaults = bytesOf(def, later.get());
        fillStruct(def, later.get(), 1);
        for (const std::string& next : {defaults, bytesOf(def, later.get())}) {
            SCOPED_TRACE(std::string(def.metadata.qualified_name) + (next == defaults ? " at defaults" : " filled"));
            const std::string stream = bytesOf(def, earlier.get()) + next;
            Reader reader{QtClient::ReaderInputBuffer(std::make_shared<codectest::PieceReader>(stream, 7))};
            Object reused = create(def);
            Codec::readStruct(reader, def, reused.get());
            Codec::readStructReusing(reader, def, reused.get());
            EXPECT_EQ(codectest::toHex(bytesOf(def, reused.get())), codectest::toHex(next));
            ++checked;
        }
    }
    EXPECT_GT(checked, 200);
}

// What the reuse is for: lists and texts keep their memory, and fields that do not arrive go back
// to their declared defaults, whatever they are.
TEST(CodecRoundTripTest, ReadingIntoAnEarlierStructKeepsItsMemory)
{
    using namespace Tavrin::Dremm::Orlex;
    using namespace Tavrin::Dremm::Orlex::Extensions::Quennet;
    auto encode = [](const auto& value) {
        bond::OutputBuffer buffer;
        Writer writer(buffer);
        Codec::serialize(writer, value);
        return buffer.toString();
    };
    auto readInto = [](const std::string& bytes, auto& value) {
        Reader reader{QtClient::ReaderInputBuffer(std::make_shared<codectest::PieceReader>(bytes, 5))};
        Codec::deserializeReusing(reader, value);
    };

    AddToPointBufferMessage points;
    points.Id = 7;
    points.Positions.assign(1000, 2.5);
    AddToPointBufferMessage pointsLater;
    pointsLater.Positions = {1.0, 2.0, 3.0};
    AddToPointBufferMessage held = points;
    const double* storage = held.Positions.data();
    readInto(encode(pointsLater), held);
    EXPECT_TRUE(held == pointsLater);
    EXPECT_EQ(held.Positions.data(), storage);

    LabelStyle style;
    style.Font = "A font name well beyond the short string size";
    LabelStyle styleHeld = style;
    readInto(encode(LabelStyle{}), styleHeld);
    EXPECT_EQ(styleHeld.Font, "Segoe") << "a text field that does not arrive takes its declared default";

    SetCameraDataMessage camera;
    camera.CameraData.Orientation.set().W = 0.5f;
    camera.CameraData.TargetPosition.set().X = 3.0;
    camera.TransitionTime.set(1.0);
    SetCameraDataMessage cameraLater;
    cameraLater.CameraData.Orientation.set();
    readInto(encode(cameraLater), camera);
    EXPECT_TRUE(camera == cameraLater);
    EXPECT_EQ(camera.CameraData.Orientation.value().W, 1.0f);
    EXPECT_FALSE(camera.CameraData.TargetPosition.hasvalue());
}

// The same through the named operations and the struct's own equality.
TEST(CodecRoundTripTest, NamedWritersAndReadersAgree)
{
    using namespace Tavrin::Dremm::Orlex;
    SetCameraDataMessage camera;
    camera.ViewerId = -5;
    camera.TransitionTime.set(0.25);
    camera.CameraData.Target.set(1ull << 40);
    camera.CameraData.Orientation.set().W = -1.0f;
    camera.CameraData.FieldOfView.set(45.0);

    bond::OutputBuffer buffer;
    Writer writer(buffer);
    serializeSetCameraDataMessage(writer, camera);
    TerminatedMessage terminated;
    terminated.Code = -9;
    serializeTerminatedMessage(writer, terminated);

    codectest::Input in(std::vector<std::uint8_t>(buffer.data(), buffer.data() + buffer.size()));
    Reader reader(in.buffer);
    SetCameraDataMessage cameraBack;
    Codec::deserialize(reader, cameraBack);
    TerminatedMessage terminatedBack;
    deserializeTerminatedMessage(reader, terminatedBack);
    EXPECT_TRUE(cameraBack == camera);
    EXPECT_EQ(terminatedBack.Code, -9);
    EXPECT_EQ(in.memory->remaining(), 0u);
}

} // namespace
