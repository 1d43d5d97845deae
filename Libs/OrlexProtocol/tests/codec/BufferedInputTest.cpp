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

namespace
{

// Hands out the bytes in pieces of a fixed size, one piece per receive.
class PieceReader : public BufferedReader
{
public:
    PieceReader(std::string bytes, std::size_t piece) : m_bytes(std::move(bytes)), m_piece(piece)
    {
    }
    bool isValid() const override { return true; }
    bool atEnd() const override { return false; }

protected:
    Window receive() override
    {
        if (m_pos == m_bytes.size())
            throw std::runtime_error("end of input");
        const std::size_t n = std::min(m_piece, m_bytes.size() - m_pos);
        // A copy of its own for each piece, so that reading past a piece shows in ASan.
        m_current.assign(m_bytes, m_pos, n);
        m_pos += n;
        const auto* p = reinterpret_cast<const std::uint8_t*>(m_current.data());
        return {p, p + n};
    }

private:
    std::string m_bytes;
    std::size_t m_piece;
    std::size_t m_pos = 0;
    std::string m_current;
};

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

} // namespace
