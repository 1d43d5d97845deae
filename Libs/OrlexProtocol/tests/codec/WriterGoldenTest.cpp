// The exact bytes of the bodies and messages the program sends to the viewer server.
#include "MemoryReader.h"

#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/Serializers.h"
#include "OrlexProtocol/codec/StructCodec.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace Tavrin::Dremm::Orlex;
using namespace Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::Codec::Writer;
using codectest::hex;
using codectest::toHex;

namespace
{

// The base part of a CreateObjectMessage whose fields all hold their defaults: the struct fields
// position, rotation, scale, material data (with its material and diffuse colour) and render
// settings are present and empty.
const std::string kCreateObjectPart = "01 8A 00 AA 00 CA 06 00 CA 0A AA 2A 00 00 00 CA 0B 00 01";

std::string hexOfText(const std::string& text)
{
    return toHex(text);
}

std::string written(const std::function<void(Writer&)>& write)
{
    bond::OutputBuffer buffer;
    Writer writer(buffer);
    write(writer);
    return toHex(buffer.data(), buffer.size());
}

struct Case
{
    const char* name;
    std::function<void(Writer&)> write;
    std::string bytes;
};

void expectCases(const std::vector<Case>& cases)
{
    for (const auto& c : cases)
        EXPECT_EQ(written(c.write), hex(c.bytes)) << c.name;
}

template <typename T>
T with(const std::function<void(T&)>& fill)
{
    T value;
    fill(value);
    return value;
}

TEST(CodecWriterGoldenTest, ControlMessagesAndFraming)
{
    const std::string terminate = "Tavrin.Dremm.Orlex.TerminateMessage";
    const std::string version = "Tavrin.Dremm.Orlex.OrlexVersionMessage";
    const std::string terminated = "Tavrin.Dremm.Orlex.TerminatedMessage";
    expectCases({
        {"TerminateMessage 0, whole message",
         [&](Writer& w) {
             const TerminateMessage body;
             Dremm::Orlex::Codec::writeHeaderAndBody(w, terminate, Dremm::Orlex::Schema::structDef<TerminateMessage>(), &body);
         },
         "09 23 " + hexOfText(terminate) + " 00 01 00"},
        {"TerminateMessage 5", [](Writer& w) { serializeTerminateMessage(w, with<TerminateMessage>([](auto& m) { m.Code = 5; })); },
         "01 10 0A 00"},
        {"TerminatedMessage header",
         [&](Writer& w) {
             MessageHeader header;
             header.Type = terminated;
             serializeMessageHeader(w, header);
         },
         "09 24 " + hexOfText(terminated) + " 00"},
        {"OrlexVersionMessage header", [&](Writer& w) { Dremm::Orlex::Codec::serializeMessageHeader(w, version); },
         "09 26 " + hexOfText(version) + " 00"},
        {"empty header", [](Writer& w) { serializeMessageHeader(w, MessageHeader()); }, "00"},
        {"OrlexVersionMessage 7", [](Writer& w) { serializeOrlexVersionMessage(w, OrlexVersionMessage()); }, "01 00"},
        {"OrlexVersionMessage 8",
         [](Writer& w) { serializeOrlexVersionMessage(w, with<OrlexVersionMessage>([](auto& m) { m.ProtocolVersion = 8; })); },
         "01 10 10 00"},
        {"LoadExtensionMessage Quennet, whole message",
         [](Writer& w) {
             LoadExtensionMessage m;
             m.Name = "Quennet";
             Dremm::Orlex::Codec::serializeMessageHeader(w, "Tavrin.Dremm.Orlex.LoadExtensionMessage");
             serializeLoadExtensionMessage(w, m);
         },
         "09 27 " + hexOfText("Tavrin.Dremm.Orlex.LoadExtensionMessage") + " 00 01 09 07 " + hexOfText("Quennet") + " 00"},
    });
}

TEST(CodecWriterGoldenTest, ValuesAndOmission)
{
    expectCases({
        {"DestroyObjectMessage 300", [](Writer& w) { serializeDestroyObjectMessage(w, with<DestroyObjectMessage>([](auto& m) { m.Id = 300; })); },
         "01 06 AC 02 00"},
        {"DestroyObjectMessage 100", [](Writer& w) { serializeDestroyObjectMessage(w, with<DestroyObjectMessage>([](auto& m) { m.Id = 100; })); },
         "01 06 64 00"},
        {"DestroyObjectMessage 0", [](Writer& w) { serializeDestroyObjectMessage(w, DestroyObjectMessage()); }, "01 00"},
        {"DestroyObjectMessage all bits",
         [](Writer& w) {
             serializeDestroyObjectMessage(w, with<DestroyObjectMessage>([](auto& m) { m.Id = std::numeric_limits<std::uint64_t>::max(); }));
         },
         "01 06 FF FF FF FF FF FF FF FF FF 01 00"},
        {"Color R 1.0", [](Writer& w) { serializeColor(w, with<Color>([](auto& c) { c.R = 1.0f; })); }, "07 00 00 80 3F 00"},
        {"Color default", [](Writer& w) { serializeColor(w, Color()); }, "00"},
        {"CreateObjectMessage 100 as base part",
         [](Writer& w) { writeCreateObjectMessage(w, with<CreateObjectMessage>([](auto& m) { m.Id = 100; }), true); },
         "01 06 64 8A 00 AA 00 CA 06 00 CA 0A AA 2A 00 00 00 CA 0B 00 01"},
        {"CreateObjectMessage nullable string holding the empty text",
         [](Writer& w) { writeCreateObjectMessage(w, with<CreateObjectMessage>([](auto& m) { m.Name.set(std::string()); }), true); },
         "01 4B 09 01 00 8A 00 AA 00 CA 06 00 CA 0A AA 2A 00 00 00 CA 0B 00 01"},
        {"CreateObjectMessage ViewerMask 0 and Visible false",
         [](Writer& w) {
             writeCreateObjectMessage(w, with<CreateObjectMessage>([](auto& m) { m.ViewerMask = 0; m.Visible = false; }), true);
         },
         "01 8A 00 AA 00 CA 06 00 C2 08 00 CA 0A AA 2A 00 00 00 CA 0B 00 C6 0C 00 01"},
        {"RotationData -0.0 left out, NaN written",
         [](Writer& w) {
             serializeRotationData(w, with<RotationData>([](auto& r) { r.X = -0.0f; r.Y = std::numeric_limits<float>::quiet_NaN(); }));
         },
         "27 00 00 C0 7F 00"},
        {"CreateViewerMessage WindowHandle 1000000",
         [](Writer& w) { serializeCreateViewerMessage(w, with<CreateViewerMessage>([](auto& m) { m.WindowHandle = 1000000; })); },
         "01 01 31 80 89 7A 00"},
        {"UpdateVisibilityMessage true",
         [](Writer& w) { serializeUpdateVisibilityMessage(w, with<UpdateVisibilityMessage>([](auto& m) { m.Id = 100; m.Visible = true; })); },
         "01 06 64 01 02 01 00"},
        {"UpdateVisibilityMessage false",
         [](Writer& w) { serializeUpdateVisibilityMessage(w, with<UpdateVisibilityMessage>([](auto& m) { m.Id = 100; })); },
         "01 06 64 01 00"},
    });
}

TEST(CodecWriterGoldenTest, ObjectAndGeometryMessages)
{
    expectCases({
        {"PositionUpdateMessage",
         [](Writer& w) {
             serializePositionUpdateMessage(w, with<PositionUpdateMessage>([](auto& m) {
                 m.ObjectIds = {100};
                 PositionData p;
                 p.X = 1.0;
                 p.Y = 2.0;
                 m.Positions = {p};
             }));
         },
         "01 0B 06 01 64 01 0B 0A 01 08 00 00 00 00 00 00 F0 3F 28 00 00 00 00 00 00 00 40 00 00"},
        {"UpdateMeshMessage without mesh or texture",
         [](Writer& w) { serializeUpdateMeshMessage(w, with<UpdateMeshMessage>([](auto& m) { m.Id = 100; })); }, "01 06 64 01 00"},
        {"CreateMeshMessage carries its empty MeshData",
         [](Writer& w) { serializeCreateMeshMessage(w, CreateMeshMessage()); }, kCreateObjectPart + " 0A 00 00"},
        {"UpdatePropertiesMessage in key order",
         [](Writer& w) {
             serializeUpdatePropertiesMessage(w, with<UpdatePropertiesMessage>([](auto& m) {
                 m.Properties["b"] = "2";
                 m.Properties["a"] = "1";
             }));
         },
         "01 01 0D 09 09 02 01 61 01 31 01 62 01 32 00"},
        {"CreateCubeMessage Size 0.5", [](Writer& w) { serializeCreateCubeMessage(w, CreateCubeMessage()); }, kCreateObjectPart + " 00"},
        {"CreateCubeMessage Size 1.0",
         [](Writer& w) { serializeCreateCubeMessage(w, with<CreateCubeMessage>([](auto& m) { m.Size = 1.0f; })); },
         kCreateObjectPart + " 07 00 00 80 3F 00"},
    });
}

TEST(CodecWriterGoldenTest, ViewerInteractionCameraAndTerrainMessages)
{
    auto viewer100 = [](auto& m) { m.ViewerId = 100; };
    expectCases({
        {"DestroyViewerMessage", [&](Writer& w) { serializeDestroyViewerMessage(w, with<DestroyViewerMessage>(viewer100)); },
         "01 10 C8 01 01 00"},
        {"DestroyViewerMessage Confirmation 0",
         [&](Writer& w) {
             serializeDestroyViewerMessage(w, with<DestroyViewerMessage>([](auto& m) { m.ViewerId = 100; m.Confirmation = 0; }));
         },
         "01 10 C8 01 30 00 01 00"},
        {"EnableDollyMessage true",
         [](Writer& w) { serializeEnableDollyMessage(w, with<EnableDollyMessage>([](auto& m) { m.ViewerId = 100; m.Enabled = true; })); },
         "01 10 C8 01 01 02 01 00"},
        {"EnableDollyMessage false", [&](Writer& w) { serializeEnableDollyMessage(w, with<EnableDollyMessage>(viewer100)); },
         "01 10 C8 01 01 00"},
        {"ResizeViewerMessage 1920 x 1080",
         [](Writer& w) {
             serializeResizeViewerMessage(w, with<ResizeViewerMessage>([](auto& m) { m.ViewerId = 100; m.X = 1920; m.Y = 1080; }));
         },
         "01 10 C8 01 01 30 80 1E 50 F0 10 00"},
        {"ResizeViewerMessage -1 x 0",
         [](Writer& w) { serializeResizeViewerMessage(w, with<ResizeViewerMessage>([](auto& m) { m.ViewerId = 100; m.X = -1; })); },
         "01 10 C8 01 01 30 01 00"},
        {"UpdateConfigurationMessage A=B",
         [](Writer& w) {
             serializeUpdateConfigurationMessage(w, with<UpdateConfigurationMessage>([](auto& m) {
                 m.ViewerId = 100;
                 m.Configuration["A"] = "B";
             }));
         },
         "01 10 C8 01 01 0D 09 09 01 01 41 01 42 00"},
        {"UpdateConfigurationMessage empty",
         [&](Writer& w) { serializeUpdateConfigurationMessage(w, with<UpdateConfigurationMessage>(viewer100)); }, "01 10 C8 01 01 00"},
        {"UpdateConfigurationMessage B, A go out as A, B",
         [](Writer& w) {
             serializeUpdateConfigurationMessage(w, with<UpdateConfigurationMessage>([](auto& m) {
                 m.ViewerId = 100;
                 m.Configuration["B"] = "2";
                 m.Configuration["A"] = "1";
             }));
         },
         "01 10 C8 01 01 0D 09 09 02 01 41 01 31 01 42 01 32 00"},
        {"CreateLayersMessage",
         [](Writer& w) {
             serializeCreateLayersMessage(w, with<CreateLayersMessage>([](auto& m) {
                 m.ViewerId = 100;
                 LayerData layer;
                 layer.Name = "A";
                 layer.Visible = true;
                 m.Layers = {layer};
             }));
         },
         "01 10 C8 01 01 2B 0A 01 29 01 41 42 01 00 00"},
        {"SetProjectionModeMessage 1",
         [](Writer& w) {
             serializeSetProjectionModeMessage(w, with<SetProjectionModeMessage>([](auto& m) { m.ViewerId = 100; m.ProjectionMode = 1; }));
         },
         "01 10 C8 01 01 01 10 02 00"},
        {"SetCameraDataMessage with transition and camera position",
         [](Writer& w) {
             serializeSetCameraDataMessage(w, with<SetCameraDataMessage>([](auto& m) {
                 m.ViewerId = 100;
                 m.TransitionTime.set(0.5);
                 PositionData& p = m.CameraData.CameraPosition.set();
                 p.X = 1;
                 p.Y = 2;
                 p.Z = 3;
             }));
         },
         "01 10 C8 01 01 2B 08 01 00 00 00 00 00 00 E0 3F 01 0A 6B 0A 01 08 00 00 00 00 00 00 F0 3F 28 00 00 00 00 00 00 00 40 "
         "48 00 00 00 00 00 00 08 40 00 00 00"},
        {"SetCameraDataMessage empty", [&](Writer& w) { serializeSetCameraDataMessage(w, with<SetCameraDataMessage>(viewer100)); },
         "01 10 C8 01 01 01 0A 00 00"},
        {"SetNavigationPresetMessage default",
         [&](Writer& w) { serializeSetNavigationPresetMessage(w, with<SetNavigationPresetMessage>(viewer100)); },
         "01 10 C8 01 01 01 0A 00 00"},
        {"LabelStyle at its defaults", [](Writer& w) { serializeLabelStyle(w, LabelStyle()); }, "8A 00 AA 00 CA 06 00 00"},
        {"CreateLabelMessage at its defaults", [](Writer& w) { serializeCreateLabelMessage(w, CreateLabelMessage()); },
         kCreateObjectPart + " 0A 8A 00 AA 00 CA 06 00 00 2A 00 00"},
        {"SetInteractionActionsMessage with one mouse action",
         [](Writer& w) {
             serializeSetInteractionActionsMessage(w, with<SetInteractionActionsMessage>([](auto& m) {
                 m.ViewerId = 100;
                 MouseAction action;
                 action.Action = "A";
                 action.Buttons = 1;
                 m.MouseActions.set(std::vector<MouseAction>{action});
             }));
         },
         "01 10 C8 01 01 2B 0B 01 0A 01 09 01 41 01 30 02 00 00"},
        {"SetInteractionActionsMessage with an empty mouse-action list",
         [](Writer& w) {
             serializeSetInteractionActionsMessage(w, with<SetInteractionActionsMessage>([](auto& m) {
                 m.ViewerId = 100;
                 m.MouseActions.set();
             }));
         },
         "01 10 C8 01 01 2B 0B 01 0A 00 00"},
        {"TerrainProperties default", [](Writer& w) { serializeTerrainProperties(w, TerrainProperties()); }, "00"},
        {"CreateTerrainMessage default", [](Writer& w) { serializeCreateTerrainMessage(w, CreateTerrainMessage()); },
         kCreateObjectPart + " 0A 00 2A 00 00"},
        {"CreateRasterSource with an empty definition",
         [](Writer& w) { serializeCreateRasterSource(w, with<CreateRasterSource>([](auto& m) { m.SourceDefinition.set(""); })); },
         kCreateObjectPart + " 0B 09 01 00 00"},
        {"QueryNavigationStateMessage interval is a double",
         [](Writer& w) {
             serializeQueryNavigationStateMessage(w, with<QueryNavigationStateMessage>([](auto& m) { m.NotifyIntervalMs.set(0.5); }));
         },
         "01 01 0B 08 01 00 00 00 00 00 00 E0 3F 00"},
    });
}

TEST(CodecWriterGoldenTest, ExtensionMessages)
{
    expectCases({
        {"SetColorMapRangeMessage",
         [](Writer& w) {
             serializeSetColorMapRangeMessage(w, with<SetColorMapRangeMessage>([](auto& m) {
                 m.Id = 200;
                 m.ColorMap.AutoRange = true;
                 m.ColorMap.Range.Min = 10.0f;
                 m.ColorMap.Range.Max = 20.0f;
             }));
         },
         "01 06 C8 01 01 0A 0A 00 2A 00 62 01 8A 07 00 00 20 41 27 00 00 A0 41 00 00 00"},
        {"PointBufferSettings",
         [](Writer& w) {
             serializePointBufferSettings(w, with<PointBufferSettings>([](auto& s) {
                 s.Capacity = 500000;
                 s.PointsPerSubBuffer = 50000;
                 s.PointSize = 3.0f;
             }));
         },
         "11 C0 84 3D 30 A0 8D 06 47 00 00 40 40 6A 0A 00 2A 00 8A 00 00 00"},
        {"PointBufferSettings default", [](Writer& w) { writePointBufferSettings(w, PointBufferSettings(), false); },
         "6A 0A 00 2A 00 8A 00 00 00"},
        {"CreateGraticuleMessage visible", [](Writer& w) { serializeCreateGraticuleMessage(w, CreateGraticuleMessage()); },
         "01 4A 6A 00 8A 00 AA 00 00 00"},
        {"CreateGraticuleMessage hidden",
         [](Writer& w) { serializeCreateGraticuleMessage(w, with<CreateGraticuleMessage>([](auto& m) { m.Visible = false; })); },
         "01 22 00 4A 6A 00 8A 00 AA 00 00 00"},
        {"UpdateGridEngineTerrainMessage carries two ids",
         [](Writer& w) {
             serializeUpdateGridEngineTerrainMessage(w, with<UpdateGridEngineTerrainMessage>([](auto& m) {
                 static_cast<UpdateObjectMessage&>(m).Id = 5;
                 m.Id = 6;
             }));
         },
         "01 06 05 01 06 06 00"},
        {"LegendSettings with an empty title",
         [](Writer& w) { serializeLegendSettings(w, with<LegendSettings>([](auto& s) { s.Title.set(""); })); },
         "0B 09 01 00 8A 00 AA 00 00"},
        {"AddToPointBufferMessage without points",
         [](Writer& w) { serializeAddToPointBufferMessage(w, with<AddToPointBufferMessage>([](auto& m) { m.Id = 7; })); },
         "01 06 07 01 00"},
        {"AddToPointBufferMessage with points",
         [](Writer& w) { serializeAddToPointBufferMessage(w, with<AddToPointBufferMessage>([](auto& m) { m.Positions = {1.0, 2.0}; })); },
         "01 01 0B 08 02 00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40 00"},
        {"FloatRange", [](Writer& w) { writeFloatRange(w, with<FloatRange>([](auto& r) { r.Min = -12.5f; }), false); },
         "07 00 00 48 C1 00"},
    });
}

TEST(CodecWriterGoldenTest, OutputMessageWritesHeaderAndBody)
{
    using Dremm::Orlex::QtClient::OutputMessage;
    DestroyObjectMessage payload;
    payload.Id = 100;
    OutputMessage<DestroyObjectMessage> message("Tavrin.Dremm.Orlex.DestroyObjectMessage", payload);
    const std::string name = "Tavrin.Dremm.Orlex.DestroyObjectMessage";
    EXPECT_EQ(written([&](Writer& w) { message.serialize(w); }), hex("09 27 " + hexOfText(name) + " 00 01 06 64 00"));

    // Another name goes out as given, followed by the same body.
    OutputMessage<DestroyObjectMessage> renamed("X", payload);
    EXPECT_EQ(written([&](Writer& w) { renamed.serialize(w); }), hex("09 01 58 00 01 06 64 00"));
}

} // namespace
