// Colour builders and the extension message set's request and decoders.
#include "MemoryReader.h"

#include "OrlexProtocol/Message.h"
#include "OrlexProtocol/codec/Color.h"
#include "OrlexProtocol/codec/QuennetExtension.h"
#include "OrlexProtocol/codec/StructCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

using namespace Tavrin::Dremm::Orlex;

namespace
{

void expectColor(const Color& c, float r, float g, float b, float a, const std::string& what)
{
    EXPECT_NEAR(c.R, r, 1e-5) << what;
    EXPECT_NEAR(c.G, g, 1e-5) << what;
    EXPECT_NEAR(c.B, b, 1e-5) << what;
    EXPECT_EQ(c.A, a) << what;
}

TEST(CodecColorTest, FromHsv)
{
    struct Case
    {
        double hue, saturation, value;
        float r, g, b;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0, 1, 1, 1, 0, 0},        {120, 1, 1, 0, 1, 0},      {240, 1, 1, 0, 0, 1},
        {360, 1, 1, 1, 0, 0},      {420, 1, 1, 1, 1, 0},      {60, 1, 1, 1, 1, 0},
        {180, 1, 1, 0, 1, 1},      {300, 1, 1, 1, 0, 1},      {0.8, 1, 1, 1, 0.0133333f, 0},
        {90, 0, 0.4, 0.4f, 0.4f, 0.4f}, {200, 0, 1, 1, 1, 1}, {30, 1, 0.5, 0.5f, 0.25f, 0},
        // Below 0 and far away the hue wraps; a hue that is no number counts as 0.
        {-60, 1, 1, 1, 0, 1},      {-360, 1, 1, 1, 0, 0},     {-300, 1, 1, 1, 1, 0},
        {nan, 1, 1, 1, 0, 0},      {inf, 1, 1, 1, 0, 0},
        // Saturation and value are not clamped.
        {0, 2, 1, 1, -1, -1},
    };
    for (const auto& c : cases)
        expectColor(makeColorFromHsv(c.hue, c.saturation, c.value, 0.25f), c.r, c.g, c.b, 0.25f,
                    "hue " + std::to_string(c.hue));

    // Hues far beyond an int's range still land on a colour of the circle.
    for (double hue : {-1e300, 1e300, -3e10}) {
        Color c = makeColorFromHsv(hue, 1, 1, 1.0f);
        for (float component : {c.R, c.G, c.B})
            EXPECT_TRUE(component >= 0.0f && component <= 1.0f) << hue;
    }
}

TEST(CodecColorTest, FromBytesAndFloats)
{
    expectColor(makeColorFromBytes(255, 128, 0, 255), 1.0f, 0.50196f, 0.0f, 1.0f, "orange");
    expectColor(makeColorFromBytes(0, 0, 0, 255), 0, 0, 0, 1.0f, "black");
    expectColor(makeColorFromBytes(-255, 510, 0, 0), -1.0f, 2.0f, 0, 0, "not clamped");
    EXPECT_EQ(makeColorFromBytes(128, 0, 0, 0).R, 128.0f / 255.0f);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    Color c = makeColor(nan, -0.0f, 2.0f, 0.5f);
    EXPECT_EQ(std::memcmp(&c.R, &nan, sizeof nan), 0);
    EXPECT_TRUE(std::signbit(c.G));
    EXPECT_EQ(c.B, 2.0f);
    EXPECT_EQ(c.A, 0.5f);
}

TEST(CodecQuennetTest, LoadRequestAndReceivedMessages)
{
    using namespace Extensions::Quennet;
    bond::OutputBuffer buffer;
    Dremm::Orlex::Codec::Writer writer(buffer);
    Dremm::Orlex::QtClient::OutputMessage<LoadExtensionMessage> request(
        Dremm::Orlex::QtClient::schemaTypeName<LoadExtensionMessage>(), makeLoadExtensionRequest());
    request.serialize(writer);
    EXPECT_EQ(buffer.toString(), std::string("\x09\x27Tavrin.Dremm.Orlex.LoadExtensionMessage\x00\x01\x09\x07Quennet\x00", 53));

    // Registered in this order, each under its schema name, and each decodes its body.
    std::vector<std::string> names;
    forEachReceivedMessage([&](auto* type) {
        using T = std::remove_pointer_t<decltype(type)>;
        names.push_back(Dremm::Orlex::QtClient::schemaTypeName<T>());
        codectest::Input in("01 06 05 00");
        Dremm::Orlex::Codec::Reader reader(in.buffer);
        T message;
        Dremm::Orlex::Codec::deserialize(reader, message);
        EXPECT_EQ(message.Id, 5u);
    });
    const std::vector<std::string> expected = {
        "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyStaticMetaInfoMessage",
        "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyExtentUpdatedMessage",
        "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyZRangeUpdatedMessage",
        "Tavrin.Dremm.Orlex.Extensions.Quennet.SurveyPropertyRangeUpdatedMessage",
    };
    EXPECT_EQ(names, expected);
}

} // namespace
