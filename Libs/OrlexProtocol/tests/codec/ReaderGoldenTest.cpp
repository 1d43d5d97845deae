// What the readers make of the bytes the viewer server sends, tolerant where the protocol allows.
#include "MemoryReader.h"

#include "OrlexProtocol/codec/Serializers.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <type_traits>

using namespace Tavrin::Dremm::Orlex;
using namespace Tavrin::Dremm::Orlex::Extensions::Quennet;
using Dremm::Orlex::Codec::Reader;
using codectest::Input;

namespace
{

// A byte after the body shows that the reader stops exactly at the body's end.
const char* const kSentinel = " 5A";

template <typename T>
std::function<void()> reads(void (*deserialize)(Reader&, T&), std::string bytes, T expected)
{
    return [=] {
        Input in(bytes + kSentinel);
        Reader reader(in.buffer);
        T value;
        deserialize(reader, value);
        EXPECT_TRUE(value == expected);
        EXPECT_EQ(in.memory->remaining(), 1u) << "the reader did not stop at the end of the body";
    };
}

template <typename T>
std::function<void()> fails(void (*deserialize)(Reader&, T&), std::string bytes, std::string structName)
{
    return [=] {
        Input in(bytes);
        Reader reader(in.buffer);
        T value;
        try {
            deserialize(reader, value);
            ADD_FAILURE() << "read without error";
        } catch (const bond::CoreException& e) {
            EXPECT_EQ(std::string(e.what()), "De-serialization failed: unexpected struct stop encountered for " + structName);
        }
    };
}

namespace detail
{
template <typename T>
T* argOf(void (*)(Reader&, T&));
} // namespace detail

template <typename T>
T with(const std::function<void(T&)>& fill)
{
    T value;
    fill(value);
    return value;
}

struct Case
{
    const char* name;
    std::function<void()> check;
};

void run(const std::vector<Case>& cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

PositionData position(double x, double y, double z)
{
    PositionData p;
    p.X = x;
    p.Y = y;
    p.Z = z;
    return p;
}

TEST(CodecReaderGoldenTest, HeaderAndControlMessages)
{
    run({
        {"header", reads(deserializeMessageHeader, "09 01 41 00", with<MessageHeader>([](auto& h) { h.Type = "A"; }))},
        {"header with an extra field", reads(deserializeMessageHeader, "09 01 41 30 0E 00", with<MessageHeader>([](auto& h) { h.Type = "A"; }))},
        {"header of one byte", reads(deserializeMessageHeader, "00", MessageHeader())},
        {"header after a stray 01", reads(deserializeMessageHeader, "01 09 01 41 00", MessageHeader())},
        {"TerminatedMessage 0", reads(deserializeTerminatedMessage, "01 00", TerminatedMessage())},
        {"TerminatedMessage 7", reads(deserializeTerminatedMessage, "01 10 0E 00", with<TerminatedMessage>([](auto& m) { m.Code = 7; }))},
        {"TerminatedMessage after an early 01", reads(deserializeTerminatedMessage, "01 01 10 0E 00", TerminatedMessage())},
        {"ViewerCreatedMessage defaults", reads(deserializeViewerCreatedMessage, "01 01 00", ViewerCreatedMessage())},
        {"ViewerCreatedMessage base ends 00", fails(deserializeViewerCreatedMessage, "01 00", "Tavrin.Dremm.Orlex.ViewerCreatedMessage")},
        {"ViewerCreatedMessage root ends 00", fails(deserializeViewerCreatedMessage, "00", "Tavrin.Dremm.Orlex.ViewerMessage")},
        {"ViewerDestroyedMessage",
         reads(deserializeViewerDestroyedMessage, "01 10 02 01 10 06 00",
               with<ViewerDestroyedMessage>([](auto& m) { m.ViewerId = 1; m.StatusCode = 3; }))},
        {"HandshakeMessage", reads(deserializeHandshakeMessage, "01 01 10 0E 00", with<HandshakeMessage>([](auto& m) { m.Code = 7; }))},
        {"HandshakeMessage query base ends 00", fails(deserializeHandshakeMessage, "00", "Tavrin.Dremm.Orlex.QueryMessage")},
        {"ExtensionLoadedMessage",
         reads(deserializeExtensionLoadedMessage, "01 02 01 29 07 51 75 65 6E 6E 65 74 00",
               with<ExtensionLoadedMessage>([](auto& m) { m.Success = true; m.Name = "Quennet"; }))},
    });
}

TEST(CodecReaderGoldenTest, FieldMatchingAndConversions)
{
    auto error = [](std::int32_t code, bool fatal) {
        return with<ErrorMessage>([=](auto& m) { m.Code = code; m.Fatal = fatal; });
    };
    run({
        {"ErrorMessage", reads(deserializeErrorMessage, "01 30 0E 42 01 00", error(7, true))},
        {"ErrorMessage fields swapped", reads(deserializeErrorMessage, "01 42 01 30 0E 00", error(0, true))},
        {"repeated id, the later value wins", reads(deserializeErrorMessage, "01 30 0E 30 10 00", error(8, false))},
        {"one-byte id form", reads(deserializeErrorMessage, "01 D0 01 0E 00", error(7, false))},
        {"two-byte id form", reads(deserializeErrorMessage, "01 F0 01 00 0E 00", error(7, false))},
        {"int8 into int32", reads(deserializeErrorMessage, "01 2E FF 00", error(-1, false))},
        {"uint32 into int32 is skipped", reads(deserializeErrorMessage, "01 25 07 00", error(0, false))},
        {"int64 into int32 is skipped", reads(deserializeErrorMessage, "01 31 0E 00", error(0, false))},
        {"wire type 19 consumes nothing", reads(deserializeErrorMessage, "01 13 30 0E 00", error(7, false))},
        {"undeclared id", reads(deserializeErrorMessage, "01 D0 09 0E 00", error(0, false))},
        {"struct where a scalar is declared is skipped",
         reads(deserializeErrorMessage, "01 2A 10 0E 00 42 01 00", error(0, true))},
        {"nullables",
         reads(deserializeErrorMessage, "01 09 01 45 6B 10 01 04 8B 06 01 2A 00", with<ErrorMessage>([](auto& m) {
                   m.Message = "E";
                   m.Viewer.set(2);
                   m.Source.set(42);
               }))},
        {"double from float", reads(deserializeQueryObjectDistanceResponseMessage, "01 01 27 00 00 C0 3F 00",
                                    with<QueryObjectDistanceResponseMessage>([](auto& m) { m.Distance = 1.5; }))},
        {"float from double is skipped", reads(deserializeMouseEventMessage, "01 01 88 00 00 00 00 00 00 F8 3F 00", MouseEventMessage())},
        {"float", reads(deserializeMouseEventMessage, "01 01 87 00 00 C0 3F 00", with<MouseEventMessage>([](auto& m) { m.X = 1.5f; }))},
    });
}

TEST(CodecReaderGoldenTest, ListsAndNullables)
{
    auto picked = [](bool set) {
        return with<ObjectPickedMessage>([=](auto& m) {
            if (set)
                m.ObjectId.set(101);
        });
    };
    auto objects = [](std::vector<std::uint64_t> ids) {
        return with<ListObjectsResponseMessage>([=](auto& m) { m.Objects = ids; });
    };
    run({
        {"nullable uint64", reads(deserializeObjectPickedMessage, "01 01 0B 06 01 65 00", picked(true))},
        {"nullable from uint32 elements", reads(deserializeObjectPickedMessage, "01 01 0B 05 01 65 00", picked(true))},
        {"nullable of count 0", reads(deserializeObjectPickedMessage, "01 01 0B 06 00 00", picked(false))},
        {"nullable of int64 elements", reads(deserializeObjectPickedMessage, "01 01 0B 11 01 CA 01 00", picked(false))},
        {"nullable with a second element", reads(deserializeObjectPickedMessage, "01 01 0B 06 02 65 66 00", picked(true))},
        {"nullable as a set is skipped", reads(deserializeObjectPickedMessage, "01 01 0C 06 01 65 00", picked(false))},
        {"nullable struct",
         reads(deserializeObjectPickedMessage, "01 01 2B 0A 01 08 00 00 00 00 00 00 F0 3F 00 00",
               with<ObjectPickedMessage>([](auto& m) { m.Position.set(position(1, 0, 0)); }))},
        {"list of uint64", reads(deserializeListObjectsResponseMessage, "01 01 2B 06 02 65 66 00", objects({101, 102}))},
        {"list of int32 elements stays empty", reads(deserializeListObjectsResponseMessage, "01 01 2B 10 02 CA 01 CC 01 00", objects({}))},
        {"response without fields", reads(deserializeListObjectsResponseMessage, "01 01 00", objects({}))},
        {"ResponseCode", reads(deserializeListObjectsResponseMessage, "01 10 04 01 00",
                               with<ListObjectsResponseMessage>([](auto& m) { m.ResponseCode = 2; }))},
        {"list of uint8", reads(deserializeQueryTerrainColorsResponseMessage, "01 01 2B 03 03 01 02 FF 00",
                                with<QueryTerrainColorsResponseMessage>([](auto& m) { m.Results = {1, 2, 255}; }))},
        {"list of uint8 takes no uint16", reads(deserializeQueryTerrainColorsResponseMessage, "01 01 2B 04 02 01 02 00",
                                                QueryTerrainColorsResponseMessage())},
        {"list of double from floats",
         reads(deserializeQueryTerrainElevationsResponseMessage, "01 01 2B 07 02 00 00 C0 3F 00 00 20 C0 50 04 00",
               with<QueryTerrainElevationsResponseMessage>([](auto& m) {
                   m.Results = {1.5, -2.5};
                   m.ResultLevel = 2;
               }))},
        {"nullable int32 from int8", reads(deserializeShowContextMenuMessage, "01 01 2B 0E 01 FF 00",
                                           with<ShowContextMenuMessage>([](auto& m) { m.KeyValue.set(-1); }))},
        {"list of structs with base parts",
         reads(deserializeQueryInteractionActionsResponseMessage, "01 01 2B 0A 02 09 01 41 01 30 02 00 09 01 42 01 50 04 00 00",
               with<QueryInteractionActionsResponseMessage>([](auto& m) {
                   MouseAction a;
                   a.Action = "A";
                   a.Buttons = 1;
                   MouseAction b;
                   b.Action = "B";
                   b.MouseEvent = 2;
                   m.MouseActions = {a, b};
               }))},
        {"list element whose base part ends 00",
         fails(deserializeQueryInteractionActionsResponseMessage, "01 01 2B 0A 01 09 01 41 00 00 00", "Tavrin.Dremm.Orlex.MouseAction")},
    });
}

TEST(CodecReaderGoldenTest, NestedStructs)
{
    run({
        {"MeasurementMessage",
         reads(deserializeMeasurementMessage,
               "01 | 10 02 01 | 06 65 | 2B 06 01 66 | 6B 0A 01 08 00 00 00 00 00 00 F0 3F 00 | 82 01 | 00",
               with<MeasurementMessage>([](auto& m) {
                   m.ViewerId = 1;
                   m.ObjectId = 101;
                   m.TargetId.set(102);
                   m.Positions = {position(1, 0, 0)};
                   m.Active = true;
               }))},
        {"MeasurementMessage own part ends 00", fails(deserializeMeasurementMessage, "01 10 02 00", "Tavrin.Dremm.Orlex.MeasurementMessage")},
        {"RasterCreatedMessage without CommonData",
         reads(deserializeRasterCreatedMessage, "01 06 05 01 00", with<RasterCreatedMessage>([](auto& m) { m.Id = 5; }))},
        {"RasterCreatedMessage keeps CacheSize", [] {
             Input in("01 06 05 01 0A 49 01 4B 00 00");
             Reader reader(in.buffer);
             RasterCreatedMessage m;
             deserializeRasterCreatedMessage(reader, m);
             EXPECT_EQ(m.CommonData.CacheKey, "K");
             EXPECT_EQ(m.CommonData.CacheSize, 268435456u);
             EXPECT_FALSE(m.CommonData.Extents.hasvalue());
         }},
        {"QueryProjectedCoordinatesResponseMessage with an empty query",
         reads(deserializeQueryProjectedCoordinatesResponseMessage, "01 01 0A 01 01 00 00", QueryProjectedCoordinatesResponseMessage())},
        {"nested query whose root ends 00", fails(deserializeQueryProjectedCoordinatesResponseMessage, "01 01 0A 00",
                                                  "Tavrin.Dremm.Orlex.ViewerMessage")},
        {"QueryNavigationStateResponseMessage with empty camera data", [] {
             Input in("01 01 4A 00 00");
             Reader reader(in.buffer);
             QueryNavigationStateResponseMessage m;
             deserializeQueryNavigationStateResponseMessage(reader, m);
             EXPECT_TRUE(m.CameraData == CameraData());
             EXPECT_EQ(m.CameraState.Orientation.W, 1.0f);
         }},
        {"camera data with values",
         reads(deserializeQueryNavigationStateResponseMessage,
               "01 01 4A 0B 06 01 07 8B 0A 01 67 00 00 00 3F 00 AB 07 01 00 00 80 3F 00 00",
               with<QueryNavigationStateResponseMessage>([](auto& m) {
                   m.CameraData.Target.set(7);
                   m.CameraData.Orientation.set().W = 0.5f;
                   m.CameraData.FocalDistance.set(1.0);
               }))},
    });
}

TEST(CodecReaderGoldenTest, ExtensionMessages)
{
    auto zRange = [](std::uint64_t id, float min, float max) {
        return with<SurveyZRangeUpdatedMessage>([=](auto& m) {
            m.Id = id;
            m.Range.Min = min;
            m.Range.Max = max;
        });
    };
    auto extentId = [](std::uint64_t id) { return with<SurveyExtentUpdatedMessage>([=](auto& m) { m.Id = id; }); };
    run({
        {"SurveyZRangeUpdatedMessage", reads(deserializeSurveyZRangeUpdatedMessage, "01 06 05 2A 07 00 00 48 C1 27 00 00 40 40 00 00",
                                             zRange(5, -12.5f, 3.0f))},
        {"SurveyZRangeUpdatedMessage without range", reads(deserializeSurveyZRangeUpdatedMessage, "01 06 05 00", zRange(5, 0, 0))},
        {"SurveyZRangeUpdatedMessage body 00",
         fails(deserializeSurveyZRangeUpdatedMessage, "00", "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage")},
        {"SurveyExtentUpdatedMessage MinX as float",
         reads(deserializeSurveyExtentUpdatedMessage, "01 27 00 00 20 40 00", with<SurveyExtentUpdatedMessage>([](auto& m) { m.MinX = 2.5; }))},
        {"SurveyExtentUpdatedMessage Id as uint32", reads(deserializeSurveyExtentUpdatedMessage, "01 05 07 00", extentId(7))},
        {"SurveyExtentUpdatedMessage Id as int64", reads(deserializeSurveyExtentUpdatedMessage, "01 11 0E 00", extentId(0))},
        {"SurveyStaticMetaInfoMessage", reads(deserializeSurveyStaticMetaInfoMessage, "01 06 07 00",
                                              with<SurveyStaticMetaInfoMessage>([](auto& m) { m.Id = 7; }))},
        {"SurveyStaticMetaInfoMessage names",
         reads(deserializeSurveyStaticMetaInfoMessage, "01 06 07 AB 09 02 01 41 00 CB 06 09 01 01 42 00",
               with<SurveyStaticMetaInfoMessage>([](auto& m) {
                   m.Id = 7;
                   m.TerrainNames = {"A", ""};
                   m.PropertyNames = {"B"};
               }))},
        {"SurveyStaticMetaInfoMessage int32 terrain names",
         reads(deserializeSurveyStaticMetaInfoMessage, "01 06 07 AB 10 02 02 04 CB 06 09 01 01 42 00",
               with<SurveyStaticMetaInfoMessage>([](auto& m) {
                   m.Id = 7;
                   m.PropertyNames = {"B"};
               }))},
        {"SurveyStaticMetaInfoMessage ids 3 and 4", reads(deserializeSurveyStaticMetaInfoMessage, "01 06 07 69 01 41 89 01 42 00",
                                                         with<SurveyStaticMetaInfoMessage>([](auto& m) { m.Id = 7; }))},
        {"SurveyPropertyRangeUpdatedMessage fields in reverse",
         reads(deserializeSurveyPropertyRangeUpdatedMessage, "01 49 01 50 2A 07 00 00 80 3F 00 06 05 00",
               with<SurveyPropertyRangeUpdatedMessage>([](auto& m) { m.PropertyName = "P"; }))},
        {"FloatRange", reads(deserializeFloatRange, "27 00 00 80 3F 00", with<FloatRange>([](auto& r) { r.Max = 1.0f; }))},
    });
}

// Texts, lists and maps declared larger than a message may be are refused before anything is
// allocated for them; smaller counts beyond the bytes that follow end at the end of the input, not
// in an allocation for the announced size; element types without bytes are stepped over at once.
TEST(CodecReaderGoldenTest, HostileCountsAndLengths)
{
    auto refused = [](auto deserialize, const char* bytes) {
        return [=] {
            Input in(bytes);
            Reader reader(in.buffer);
            typename std::remove_reference_t<decltype(*detail::argOf(deserialize))> value;
            try {
                deserialize(reader, value);
                ADD_FAILURE() << "read without error";
            } catch (const bond::CoreException& e) {
                EXPECT_NE(std::string(e.what()).find("more than a message may hold"), std::string::npos) << e.what();
            } catch (const std::runtime_error& e) {
                ADD_FAILURE() << e.what();
            }
        };
    };
    auto endsAtEndOfInput = [](auto deserialize, const char* bytes) {
        return [=] {
            Input in(bytes);
            Reader reader(in.buffer);
            typename std::remove_reference_t<decltype(*detail::argOf(deserialize))> value;
            try {
                deserialize(reader, value);
                ADD_FAILURE() << "read without error";
            } catch (const bond::CoreException& e) {
                ADD_FAILURE() << e.what();
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "end of input");
            }
        };
    };
    run({
        {"4294967295 object ids", refused(deserializeListObjectsResponseMessage, "01 01 2B 06 FF FF FF FF 0F 65 66")},
        {"536870911 doubles", refused(deserializeQueryTerrainElevationsResponseMessage,
                                      "01 01 2B 08 FF FF FF FF 01 00 00 00 00 00 00 F0 3F")},
        {"4294967295 bytes", refused(deserializeQueryTerrainColorsResponseMessage, "01 01 2B 03 FF FF FF FF 0F 01 02")},
        {"a text of 4 GiB", refused(deserializeErrorMessage, "01 09 FF FF FF FF 0F 41 42")},
        {"a text one byte over 64 MiB", refused(deserializeErrorMessage, "01 09 81 80 80 20 41 42")},
        {"4294967295 names", refused(deserializeSurveyStaticMetaInfoMessage, "01 AB 09 FF FF FF FF 0F 01 41")},
        {"4294967295 actions", refused(deserializeQueryInteractionActionsResponseMessage,
                                       "01 01 2B 0A FF FF FF FF 0F 01 00 01 00")},
        {"a text of 64 MiB", endsAtEndOfInput(deserializeErrorMessage, "01 09 80 80 80 20 41 42")},
        {"1000000 doubles", endsAtEndOfInput(deserializeQueryTerrainElevationsResponseMessage,
                                             "01 01 2B 08 C0 84 3D 00 00 00 00 00 00 F0 3F")},
        {"a nullable of 4294967295 values", endsAtEndOfInput(deserializeObjectPickedMessage, "01 01 0B 06 FF FF FF FF 0F 65")},
        {"4294967295 values without bytes", reads(deserializeErrorMessage, "01 0B 19 FF FF FF FF 0F 30 0E 00",
                                                  with<ErrorMessage>([](auto& m) { m.Code = 7; }))},
        {"a map of 4294967295 entries without bytes", reads(deserializeErrorMessage, "01 0D 00 14 FF FF FF FF 0F 30 0E 00",
                                                            with<ErrorMessage>([](auto& m) { m.Code = 7; }))},
    });
}

TEST(CodecReaderGoldenTest, MessagesBackToBack)
{
    Input in("09 01 41 00 01 10 0E 00 | 09 01 42 00 01 00");
    Reader reader(in.buffer);
    MessageHeader first;
    TerminatedMessage a;
    deserializeMessageHeader(reader, first);
    deserializeTerminatedMessage(reader, a);
    MessageHeader second;
    TerminatedMessage b;
    deserializeMessageHeader(reader, second);
    deserializeTerminatedMessage(reader, b);
    EXPECT_EQ(first.Type, "A");
    EXPECT_EQ(a.Code, 7);
    EXPECT_EQ(second.Type, "B");
    EXPECT_EQ(b.Code, 0);
    EXPECT_EQ(in.memory->remaining(), 0u);
}

} // namespace
