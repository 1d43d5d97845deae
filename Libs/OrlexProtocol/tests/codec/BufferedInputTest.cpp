// Reading through a BufferedReader, whose window holds whatever one receive brought: values split
// at any byte between two receives read as from one block, and a message's byte limit holds.
#include "MemoryReader.h"

#include "OrlexProtocol/codec/BufferedReader.h"
#include "OrlexProtocol/codec/Serializers.h"
#include "OrlexProtocol/codec/StructCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Tavrin::Dremm::Orlex;
using Dremm::Orlex::Codec::Reader;
using Dremm::Orlex::Codec::Writer;
using Dremm::Orlex::QtClient::BufferedReader;
using Dremm::Orlex::QtClient::ReaderInputBuffer;
using codectest::PieceReader;

namespace
{

template <typename T>
std::string encode(const T& value)
{
    bond::OutputBuffer buffer;
    Writer writer(buffer);
    Dremm::Orlex::Codec::serialize(writer, value);
    return buffer.toString();
}

QueryTerrainElevationsResponseMessage elevations()
{
    QueryTerrainElevationsResponseMessage m;
    m.Query.TerrainId = 0xFFFFFFFFFFull;
    for (int n = 0; n < 3000; ++n)
        m.Query.Positions.push_back(650000.0 + 0.25 * n);
    for (int n = 0; n < 1500; ++n)
        m.Results.push_back(-20.0 - 0.5 * n);
    m.ResultLevel = -70000;
    return m;
}

MouseMovedMessage mouseMoved()
{
    MouseMovedMessage m;
    m.ViewerId = 300;
    m.ObjectId.set() = 0x8000000000000001ull;
    m.Position.set().X = 512345.25;
    m.Position.value().Z = -42.0;
    return m;
}

QueryTerrainColorsResponseMessage colors()
{
    QueryTerrainColorsResponseMessage m;
    m.Results.assign(70000, 0xAB); // longer than one window
    m.Results[69999] = 1;
    return m;
}

TEST(BufferedInputTest, ValuesSplitAtAnyByteReadAsFromOneBlock)
{
    for (std::size_t piece : {1u, 2u, 3u, 7u, 9u, 4096u, 65536u}) {
        SCOPED_TRACE("piece " + std::to_string(piece));
        const std::string a = encode(elevations()), b = encode(mouseMoved()), c = encode(colors());
        auto reader = std::make_shared<PieceReader>(a + b + c, piece);
        Reader input{ReaderInputBuffer(reader)};
        QueryTerrainElevationsResponseMessage first;
        MouseMovedMessage second;
        QueryTerrainColorsResponseMessage third;
        Dremm::Orlex::Codec::deserialize(input, first);
        Dremm::Orlex::Codec::deserialize(input, second);
        Dremm::Orlex::Codec::deserialize(input, third);
        EXPECT_EQ(encode(first), a);
        EXPECT_EQ(encode(second), b);
        EXPECT_EQ(encode(third), c);
        EXPECT_EQ(reader->consumed(), a.size() + b.size() + c.size());
    }
}

TEST(BufferedInputTest, OverlongVarintAcrossReceivesIsReadOn)
{
    // Code 1 spelled in 14 bytes, then Fatal true.
    const auto bytes = codectest::hexBytes("01 30 82 80 80 80 80 80 80 80 80 80 80 80 80 00 42 01 00");
    for (std::size_t piece : {1u, 4u, 64u}) {
        auto reader = std::make_shared<PieceReader>(std::string(bytes.begin(), bytes.end()), piece);
        Reader input{ReaderInputBuffer(reader)};
        ErrorMessage m;
        Dremm::Orlex::Codec::deserialize(input, m);
        EXPECT_EQ(m.Code, 1) << piece;
        EXPECT_TRUE(m.Fatal) << piece;
    }
}

TEST(BufferedInputTest, MessageBeyondItsByteLimitIsRefused)
{
    const std::string a = encode(elevations());
    auto reader = std::make_shared<PieceReader>(a + a, 4096);
    Reader input{ReaderInputBuffer(reader)};
    QueryTerrainElevationsResponseMessage value;
    reader->beginMessage(a.size()); // exactly fits
    Dremm::Orlex::Codec::deserialize(input, value);
    reader->beginMessage(a.size() / 2);
    EXPECT_THROW(Dremm::Orlex::Codec::deserialize(input, value), std::length_error);
}

// The one-step reads from the window give what the value-by-value reader gives, also for the
// tolerated forms next to them.
template <typename T>
std::string readThrough(const std::vector<std::uint8_t>& bytes, std::size_t piece)
{
    std::shared_ptr<Dremm::Orlex::QtClient::IReader> source;
    if (piece == 0)
        source = std::make_shared<codectest::MemoryReader>(bytes.data(), bytes.size()); // no window
    else
        source = std::make_shared<PieceReader>(std::string(bytes.begin(), bytes.end()), piece);
    Reader input{ReaderInputBuffer(source)};
    T value;
    Dremm::Orlex::Codec::deserialize(input, value);
    std::uint8_t next = 0;
    input.input().read(&next, 1); // the byte after the struct, where every path must stop
    return encode(value) + "|" + std::to_string(next);
}

TEST(BufferedInputTest, WindowReadsMatchValueByValueReads)
{
    struct Case {
        const char* name;
        const char* body; // then a byte 5A after the struct
        char kind;        // 'e' ErrorMessage, 'm' MouseMovedMessage, 'l' ListObjectsResponseMessage
        const char* expected; // the value-by-value result, re-encoded
    };
    const Case cases[] = {
        {"in order", "01 30 0E 42 01 6B 10 01 03 8B 06 01 2A 00", 'e', "01 30 0E 42 01 6B 10 01 03 8B 06 01 2A 00"},
        {"field after a later one is stepped over", "01 42 01 30 0E 00", 'e', "01 42 01 00"},
        {"repeated field, the last counts", "01 30 0E 30 10 00", 'e', "01 30 10 00"},
        {"overlong varint", "01 30 82 80 80 80 80 80 80 80 80 80 80 00 42 01 00", 'e', "01 30 02 42 01 00"},
        {"int32 beyond 32 bits is cut", "01 30 FF FF FF FF 7F 00", 'e', "01 30 FF FF FF FF 0F 00"},
        {"bool byte 2", "01 42 02 00", 'e', "01 42 01 00"},
        {"nullable of two", "01 6B 10 02 03 05 00", 'e', "01 6B 10 01 03 00"},
        {"nullable of none", "01 6B 10 00 00", 'e', "01 00"},
        {"nullable type byte with high bits", "01 6B 30 01 03 00", 'e', "01 6B 10 01 03 00"},
        {"int64 where int32 belongs", "01 31 0E 00", 'e', "01 00"},
        {"two-byte header", "01 D0 01 0E 00", 'e', "01 30 0E 00"},
        {"position", "01 10 02 01 0B 06 01 07 2B 0A 01 08 00 00 00 00 00 00 F0 3F 28 00 00 00 00 00 00 00 40 00 00",
         'm', "01 10 02 01 0B 06 01 07 2B 0A 01 08 00 00 00 00 00 00 F0 3F 28 00 00 00 00 00 00 00 40 00 00"},
        {"float where double belongs", "01 01 2B 0A 01 07 00 00 C0 3F 00 00", 'm',
         "01 01 2B 0A 01 08 00 00 00 00 00 00 F8 3F 00 00"},
        {"ids", "01 01 2B 06 03 65 82 80 80 80 80 80 80 80 80 80 80 00 66 00", 'l', "01 01 2B 06 03 65 02 66 00"},
        {"ids as uint32", "01 01 2B 05 02 65 66 00", 'l', "01 01 2B 06 02 65 66 00"},
        {"nullable struct of two", "01 01 2B 0A 02 08 00 00 00 00 00 00 F0 3F 00 00 00", 'm',
         "01 01 2B 0A 01 08 00 00 00 00 00 00 F0 3F 00 00"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = codectest::hexBytes(c.body);
        bytes.push_back(0x5A);
        auto read = [&](std::size_t piece) {
            if (c.kind == 'm')
                return readThrough<MouseMovedMessage>(bytes, piece);
            if (c.kind == 'l')
                return readThrough<ListObjectsResponseMessage>(bytes, piece);
            return readThrough<ErrorMessage>(bytes, piece);
        };
        const std::string reference = read(0);
        const auto expected = codectest::hexBytes(c.expected);
        EXPECT_EQ(reference, std::string(expected.begin(), expected.end()) + "|90") << c.name;
        for (std::size_t piece : {bytes.size(), std::size_t(1), std::size_t(2), std::size_t(5)})
            EXPECT_EQ(read(piece), reference) << c.name << ", piece " << piece;
    }
}

} // namespace
