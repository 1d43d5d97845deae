// The feed's encoders against the datagram and record layouts, byte by byte.
#include "encoders.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace livefeed;

namespace {

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t u16(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
double f64(const Bytes& b, std::size_t at)
{
    double v = 0;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}
std::string text(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

} // namespace

TEST(EncodersTest, PositionDatagramFollowsTheLayout)
{
    PositionFix fix;
    fix.model = 2200;
    fix.serial = 103;
    fix.date = 20261211;
    fix.timeOfDayMs = 86399999;
    fix.count = 65535;
    fix.latitude = -33.5;
    fix.longitude = 151.25;
    fix.quality = 0xFFFF;
    fix.speed = 412;
    fix.course = 9000;
    fix.heading = 35999;
    fix.descriptor = 0x81;
    fix.source = "SIM3";
    const Bytes b = encodePosition(fix);

    ASSERT_EQ(b.size(), 34u + 5u + 3u);
    EXPECT_EQ(b[0], 0x02);
    EXPECT_EQ(b[1], 'Q');
    EXPECT_EQ(u16(b, 2), 2200);
    EXPECT_EQ(u32(b, 4), 20261211u);
    EXPECT_EQ(u32(b, 8), 86399999u);
    EXPECT_EQ(u16(b, 12), 65535);
    EXPECT_EQ(u16(b, 14), 103);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, 16)), -670000000);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, 20)), 1512500000);
    EXPECT_EQ(u16(b, 24), 0xFFFF);
    EXPECT_EQ(u16(b, 26), 412);
    EXPECT_EQ(u16(b, 28), 9000);
    EXPECT_EQ(u16(b, 30), 35999);
    EXPECT_EQ(b[32], 0x81);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data() + 34)), "SIM3");
    EXPECT_EQ(b[38], 0);
    EXPECT_EQ(b[39], 0x03);
    unsigned sum = 0;
    for (std::size_t n = 1; n < 39; ++n)
        sum += b[n];
    EXPECT_EQ(u16(b, 40), static_cast<std::uint16_t>(sum));
}

TEST(EncodersTest, PositionCoordinatesRoundAndSaturate)
{
    struct Case {
        double latitude, longitude;
        std::int32_t lat, lon;
    } cases[] = {
        {60.00000002, 3.00000004, 1200000000, 30000000},   // nearest unit of 1/2e7 and 1/1e7 degree
        {-0.000000074, -0.00000016, -1, -2},
        {107.4, 214.8, 2147483647, 2147483647},            // beyond the 32-bit range: held at its end
        {-107.4, -214.8, -2147483647 - 1, -2147483647 - 1},
    };
    for (const Case& c : cases) {
        PositionFix fix;
        fix.latitude = c.latitude;
        fix.longitude = c.longitude;
        const Bytes b = encodePosition(fix);
        EXPECT_EQ(static_cast<std::int32_t>(u32(b, 16)), c.lat) << c.latitude;
        EXPECT_EQ(static_cast<std::int32_t>(u32(b, 20)), c.lon) << c.longitude;
    }
}

TEST(EncodersTest, GeographicDepthsHaveTheirHeadAndFortyByteRecords)
{
    std::vector<GeoSounding> soundings(1199);
    for (std::size_t n = 0; n < soundings.size(); ++n)
        soundings[n] = {60.0 + n * 1e-6, 3.0 - n * 1e-6, static_cast<std::int32_t>(4000 + n)};
    const Bytes b = encodeGeoDepths(7, soundings);
    ASSERT_EQ(b.size(), 32u + 40u * 1199u);
    EXPECT_EQ(text(b).find("$TVQEL"), std::string::npos); // the position form carries no sentence
    EXPECT_EQ(u16(b, 24), 7);
    EXPECT_EQ(u16(b, 26), 1199);
    for (std::size_t n : {std::size_t(0), std::size_t(600), std::size_t(1198)}) {
        const std::size_t at = 32 + 40 * n;
        EXPECT_DOUBLE_EQ(f64(b, at), soundings[n].latitude);
        EXPECT_DOUBLE_EQ(f64(b, at + 8), soundings[n].longitude);
        EXPECT_EQ(static_cast<std::int32_t>(u32(b, at + 16)), soundings[n].depthCm);
    }
}

TEST(EncodersTest, ProjectedDepthsStartWithTheirSentenceAndCarrySignedValues)
{
    const Bytes b = encodeGridDepths("SIM2", 0, 1, 0, {{-123456, 670000000, 4012}, {50000000, -1, 0}});
    const std::string head = "$TVQEL,30,SIM2,0,1,0,2,";
    ASSERT_EQ(b.size(), head.size() + 2 * 28);
    EXPECT_EQ(text(b).substr(0, head.size()), head);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, head.size())), -123456);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, head.size() + 4)), 670000000);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, head.size() + 8)), 4012);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, head.size() + 28)), 50000000);
    EXPECT_EQ(static_cast<std::int32_t>(u32(b, head.size() + 32)), -1);
}

TEST(EncodersTest, SentencesCarryTheirChecksumOrNone)
{
    std::uint8_t sum = 0;
    for (char c : std::string("TVQEL,450,1,2"))
        sum ^= static_cast<std::uint8_t>(c);
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", sum);
    EXPECT_EQ(tvqelSentence({"450", "1", "2"}), std::string("$TVQEL,450,1,2*") + hex);
    EXPECT_EQ(tvqelSentence({"401", "S", "[1,2]"}, false), "$TVQEL,401,S,[1,2]");
    EXPECT_EQ(pqqelSentence("CVN_CLOSE_GRID"), "$PQQEL,CVN_CLOSE_GRID");
    EXPECT_EQ(pqqelSentence("CVN_OPEN_GRID", "C:/qeldata/Grids/SIM/S"), "$PQQEL,CVN_OPEN_GRID,C:/qeldata/Grids/SIM/S");
}

TEST(EncodersTest, FileRecordMatchesTheWorkedExample)
{
    const Bytes record = encodeFileRecord("a.txt", "C:\\x\\", "default", Bytes{'a', 'b', 'c'});
    const Bytes expected = {0xA5, 0x64, 0x44, 0x61, 0x74, 0x61, 0x64, 0x59, 0x57, 0x4A, 0x6A, 0x6B, 0x4D, 0x65, 0x73,
                            0x73, 0x61, 0x67, 0x65, 0x54, 0x79, 0x70, 0x65, 0x65, 0x61, 0x2E, 0x74, 0x78, 0x74, 0x68,
                            0x4D, 0x65, 0x74, 0x61, 0x44, 0x61, 0x74, 0x61, 0x60, 0x6A, 0x53, 0x6F, 0x75, 0x72, 0x63,
                            0x65, 0x50, 0x61, 0x74, 0x68, 0x64, 0x43, 0x3A, 0x2F, 0x78, 0x68, 0x56, 0x65, 0x73, 0x73,
                            0x65, 0x6C, 0x49, 0x44, 0x67, 0x64, 0x65, 0x66, 0x61, 0x75, 0x6C, 0x74};
    EXPECT_EQ(record, expected);
    const Bytes framed = frame(record);
    ASSERT_EQ(framed.size(), 76u);
    EXPECT_EQ(Bytes(framed.begin(), framed.begin() + 4), (Bytes{0x48, 0, 0, 0}));
}

TEST(EncodersTest, LongTextsTakeTheLongerCborHeads)
{
    struct Case {
        std::size_t fileBytes;
        Bytes head; // of the "Data" text
    } cases[] = {
        {0, {0x60}},
        {17, {0x78, 24}},                   // 24 base64 characters
        {300, {0x79, 0x01, 0x90}},          // 400
        {60000, {0x7A, 0x00, 0x01, 0x38, 0x80}}, // 80000
    };
    for (const Case& c : cases) {
        const Bytes record = encodeFileRecord("t.tiff", "C:/g", "default", Bytes(c.fileBytes, 0x5A));
        EXPECT_EQ(Bytes(record.begin() + 6, record.begin() + 6 + static_cast<long>(c.head.size())), c.head) << c.fileBytes;
    }
}

TEST(EncodersTest, Base64PadsToWholeQuads)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"\xff\xfe\xfd", "//79"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(base64(Bytes(in.begin(), in.end())), out) << in;
}
