// Compact Binary primitives: the bytes the writer produces and what the reader makes of them.
#include "MemoryReader.h"

#include "OrlexProtocol/codec/CompactBinaryReader.h"
#include "OrlexProtocol/codec/CompactBinaryWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>

using namespace bond;
using Reader = Dremm::Orlex::QtClient::CompactBinaryReader;
using Writer = bond::CompactBinaryWriter<bond::OutputBuffer>;
using codectest::hex;
using codectest::Input;
using codectest::toHex;

namespace
{

std::string written(const std::function<void(Writer&)>& write)
{
    OutputBuffer buffer;
    Writer writer(buffer);
    write(writer);
    return toHex(buffer.data(), buffer.size());
}

TEST(CodecWriterTest, VarintsAndZigZag)
{
    struct Case
    {
        std::function<void(Writer&)> write;
        const char* bytes;
    };
    const Case cases[] = {
        {[](auto& w) { w.writeVarUInt64(0); }, "00"},
        {[](auto& w) { w.writeVarUInt64(127); }, "7F"},
        {[](auto& w) { w.writeVarUInt64(128); }, "80 01"},
        {[](auto& w) { w.writeVarUInt64(300); }, "AC 02"},
        {[](auto& w) { w.writeUInt64(std::numeric_limits<std::uint64_t>::max()); }, "FF FF FF FF FF FF FF FF FF 01"},
        {[](auto& w) { w.writeUInt32(std::numeric_limits<std::uint32_t>::max()); }, "FF FF FF FF 0F"},
        {[](auto& w) { w.writeInt32(0); }, "00"},
        {[](auto& w) { w.writeInt32(-1); }, "01"},
        {[](auto& w) { w.writeInt32(1); }, "02"},
        {[](auto& w) { w.writeInt32(-2); }, "03"},
        {[](auto& w) { w.writeInt32(100); }, "C8 01"},
        {[](auto& w) { w.writeInt32(1920); }, "80 1E"},
        {[](auto& w) { w.writeInt32(1080); }, "F0 10"},
        {[](auto& w) { w.writeInt32(50000); }, "A0 8D 06"},
        {[](auto& w) { w.writeInt32(std::numeric_limits<std::int32_t>::min()); }, "FF FF FF FF 0F"},
        {[](auto& w) { w.writeInt32(std::numeric_limits<std::int32_t>::max()); }, "FE FF FF FF 0F"},
        {[](auto& w) { w.writeInt64(1000000); }, "80 89 7A"},
        {[](auto& w) { w.writeInt64(500000); }, "C0 84 3D"},
        {[](auto& w) { w.writeInt64(std::numeric_limits<std::int64_t>::min()); }, "FF FF FF FF FF FF FF FF FF 01"},
        {[](auto& w) { w.writeInt16(-1); }, "01"},
        {[](auto& w) { w.writeInt16(std::numeric_limits<std::int16_t>::min()); }, "FF FF 03"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written(c.write), hex(c.bytes));
}

TEST(CodecWriterTest, FieldHeadersTakeTheShortestForm)
{
    struct Case
    {
        BondDataType type;
        std::uint16_t id;
        const char* bytes;
    };
    const Case cases[] = {
        {BT_STRING, 0, "09"},      {BT_INT32, 0, "10"},      {BT_FLOAT, 1, "27"},
        {BT_LIST, 5, "AB"},        {BT_STRUCT, 6, "CA 06"},  {BT_UINT64, 12, "C6 0C"},
        {BT_BOOL, 255, "C2 FF"},   {BT_INT32, 256, "F0 00 01"}, {BT_MAP, 65535, "ED FF FF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written([&](auto& w) { w.writeFieldBegin(c.type, c.id); }), hex(c.bytes)) << c.id;
}

TEST(CodecWriterTest, FixedSizeTextsAndContainers)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case
    {
        std::function<void(Writer&)> write;
        const char* bytes;
    };
    const Case cases[] = {
        {[](auto& w) { w.writeBool(true); w.writeBool(false); }, "01 00"},
        {[](auto& w) { w.writeFloat(1.0f); }, "00 00 80 3F"},
        {[](auto& w) { w.writeFloat(-0.0f); }, "00 00 00 80"},
        {[&](auto& w) { w.writeFloat(nan); }, "00 00 C0 7F"},
        {[](auto& w) { w.writeFloat(-12.5f); }, "00 00 48 C1"},
        {[](auto& w) { w.writeDouble(0.5); }, "00 00 00 00 00 00 E0 3F"},
        {[](auto& w) { const double d[] = {1.0, 2.0}; w.writeDoubles(d, 2); },
         "00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 00 40"},
        {[](auto& w) { w.writeString(std::string()); }, "00"},
        {[](auto& w) { w.writeString("Quennet"); }, "07 51 75 65 6E 6E 65 74"},
        {[](auto& w) { w.writeString(std::string("\0\xFF", 2)); }, "02 00 FF"},
        {[](auto& w) { w.writeWString(u"AB"); }, "02 41 00 42 00"},
        {[](auto& w) { w.writeContainerBegin(1, BT_UINT64); }, "06 01"},
        {[](auto& w) { w.writeContainerBegin(300, BT_STRUCT); }, "0A AC 02"},
        {[](auto& w) { w.writeContainerBegin(2, BT_STRING, BT_STRING); }, "09 09 02"},
        {[](auto& w) { w.writeStructEnd(true); w.writeStructEnd(false); }, "01 00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(written(c.write), hex(c.bytes));
}

TEST(CodecWriterTest, BufferGrowsAcrossManyWrites)
{
    OutputBuffer buffer(1);
    Writer writer(buffer);
    for (int i = 0; i < 10000; ++i)
        writer.writeVarUInt32(0xFFFFFFFFu);
    ASSERT_EQ(buffer.size(), 50000u);
    EXPECT_EQ(buffer.data()[49995], 0xFF);
    EXPECT_EQ(buffer.data()[49999], 0x0F);

    OutputBuffer moved(std::move(buffer));
    EXPECT_EQ(moved.size(), 50000u);
    EXPECT_EQ(buffer.size(), 0u);
    buffer.write(std::uint8_t(7)); // a moved-from buffer is empty and usable
    EXPECT_EQ(buffer.size(), 1u);
}

TEST(CodecReaderTest, FieldHeaderForms)
{
    struct Case
    {
        const char* bytes;
        BondDataType type;
        std::uint16_t id;
    };
    const Case cases[] = {
        {"10", BT_INT32, 0},        {"30", BT_INT32, 1},        {"AB", BT_LIST, 5},
        {"D0 01", BT_INT32, 1},     {"F0 01 00", BT_INT32, 1},  {"CA 06", BT_STRUCT, 6},
        {"F0 00 01", BT_INT32, 256}, {"C0 05", BT_STOP, 5},     {"13", static_cast<BondDataType>(19), 0},
        {"00", BT_STOP, 0},         {"01", BT_STOP_BASE, 0},
    };
    for (const auto& c : cases) {
        Input in(c.bytes);
        Reader reader(in.buffer);
        BondDataType type;
        std::uint16_t id;
        reader.readFieldBegin(type, id);
        EXPECT_EQ(type, c.type) << c.bytes;
        EXPECT_EQ(id, c.id) << c.bytes;
        EXPECT_EQ(in.memory->remaining(), 0u) << c.bytes;
    }
}

TEST(CodecReaderTest, VarintsReadOnUntilTheirLastByte)
{
    {
        Input in("FF FF FF FF FF FF FF FF FF 01");
        EXPECT_EQ(Reader(in.buffer).readVarUInt64(), std::numeric_limits<std::uint64_t>::max());
    }
    {
        // Longer than the target needs: read on, cut to the target's width.
        Input in("FF FF FF FF FF FF FF 00");
        EXPECT_EQ(Reader(in.buffer).readVarUInt32(), 0xFFFFFFFFu);
        EXPECT_EQ(in.memory->remaining(), 0u);
    }
    {
        // Beyond ten bytes the varint goes on; bits past 64 are dropped, the next value follows.
        Input in("81 80 80 80 80 80 80 80 80 80 80 80 00 2A");
        Reader reader(in.buffer);
        EXPECT_EQ(reader.readVarUInt64(), 1u);
        EXPECT_EQ(in.memory->position(), 13u);
        EXPECT_EQ(reader.readUInt8(), 0x2A);
    }
    {
        Input in("C8 01 01 03 80 89 7A");
        Reader reader(in.buffer);
        EXPECT_EQ(reader.readInt32(), 100);
        EXPECT_EQ(reader.readInt32(), -1);
        EXPECT_EQ(reader.readInt16(), -2);
        EXPECT_EQ(reader.readInt64(), 1000000);
    }
}

// Which wire types a target takes, and what it makes of them.
TEST(CodecReaderTest, ConversionsWidenWithinSignedness)
{
    struct Case
    {
        BondDataType wire;
        const char* bytes;
        std::function<bool(Reader&, BondDataType)> read;
        bool accepted;
    };
    auto expectI32 = [](std::int32_t want) {
        return [want](Reader& r, BondDataType t) {
            std::int32_t v = 12345;
            bool ok = r.readAs(t, v);
            EXPECT_EQ(v, ok ? want : 12345);
            return ok;
        };
    };
    auto expectU64 = [](std::uint64_t want) {
        return [want](Reader& r, BondDataType t) {
            std::uint64_t v = 77;
            bool ok = r.readAs(t, v);
            EXPECT_EQ(v, ok ? want : 77u);
            return ok;
        };
    };
    auto expectDouble = [](double want) {
        return [want](Reader& r, BondDataType t) {
            double v = -1;
            bool ok = r.readAs(t, v);
            EXPECT_EQ(v, ok ? want : -1);
            return ok;
        };
    };
    auto expectFloat = [](Reader& r, BondDataType t) {
        float v = -1;
        return r.readAs(t, v);
    };
    auto expectBool = [](Reader& r, BondDataType t) {
        bool v = false;
        bool ok = r.readAs(t, v);
        EXPECT_EQ(v, ok);
        return ok;
    };
    auto expectU8 = [](Reader& r, BondDataType t) {
        std::uint8_t v = 0;
        return r.readAs(t, v);
    };
    auto expectString = [](Reader& r, BondDataType t) {
        std::string v = "x";
        bool ok = r.readAs(t, v);
        EXPECT_EQ(v, ok ? "AB" : "x");
        return ok;
    };
    const Case cases[] = {
        {BT_INT32, "0E", expectI32(7), true},
        {BT_INT8, "FF", expectI32(-1), true},
        {BT_INT16, "03", expectI32(-2), true},
        {BT_INT16, "FF FF 03", expectI32(-32768), true},
        {BT_INT64, "0E", expectI32(0), false},
        {BT_UINT32, "07", expectI32(0), false},
        {BT_BOOL, "01", expectI32(0), false},
        {BT_UINT64, "65", expectU64(101), true},
        {BT_UINT32, "65", expectU64(101), true},
        {BT_UINT16, "FF FF 03", expectU64(0xFFFF), true},
        {BT_UINT8, "FF", expectU64(255), true},
        {BT_INT64, "CA 01", expectU64(0), false},
        {BT_DOUBLE, "00 00 00 00 00 00 F8 3F", expectDouble(1.5), true},
        {BT_FLOAT, "00 00 C0 3F", expectDouble(1.5), true},
        {BT_INT32, "02", expectDouble(0), false},
        {BT_FLOAT, "00 00 C0 3F", expectFloat, true},
        {BT_DOUBLE, "00 00 00 00 00 00 F8 3F", expectFloat, false},
        {BT_BOOL, "01", expectBool, true},
        {BT_UINT8, "01", expectBool, false},
        {BT_UINT8, "01", expectU8, true},
        {BT_UINT16, "01", expectU8, false},
        {BT_STRING, "02 41 42", expectString, true},
        {BT_WSTRING, "02 41 00 42 00", expectString, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bytes) + " as wire type " + std::to_string(int(c.wire)));
        Input in(c.bytes);
        Reader reader(in.buffer);
        EXPECT_EQ(c.read(reader, c.wire), c.accepted);
        EXPECT_EQ(in.memory->position(), c.accepted ? in.bytes.size() : 0u);
    }
}

TEST(CodecReaderTest, TextsGrowOnlyAsTheirBytesArrive)
{
    {
        Input in("00");
        std::string text = "old";
        Reader(in.buffer).readString(text);
        EXPECT_EQ(text, "");
        EXPECT_EQ(in.memory->reads(), 1u); // the count byte and nothing more
    }
    {
        Input in("03 41 00 42 02 41 00 42 00");
        Reader reader(in.buffer);
        std::string text;
        reader.readString(text);
        EXPECT_EQ(text, std::string("A\0B", 3));
        std::u16string wide;
        reader.readWString(wide);
        EXPECT_EQ(wide, u"AB");
    }
    {
        // A length of 4 GiB with ten bytes behind it fails at the end of the input, not in allocation.
        Input in("FF FF FF FF 0F 41 41 41 41 41 41 41 41 41 41");
        std::string text;
        EXPECT_THROW(Reader(in.buffer).readString(text), std::runtime_error);
        EXPECT_LE(text.capacity(), 128u * 1024u);
    }
    {
        std::vector<std::uint8_t> bytes = {0x80, 0x80, 0x08}; // 131072
        bytes.resize(3 + 131072, 'z');
        Input in(std::move(bytes));
        std::string text;
        Reader(in.buffer).readString(text);
        EXPECT_EQ(text, std::string(131072, 'z'));
    }
}

TEST(CodecReaderTest, SkippingByWireType)
{
    struct Case
    {
        BondDataType type;
        const char* bytes; // everything before "|" is the value, the rest must stay unread
    };
    const Case cases[] = {
        {BT_BOOL, "01 | 55"},
        {BT_INT8, "FF | 55"},
        {BT_INT64, "80 89 7A | 55"},
        {BT_FLOAT, "00 00 80 3F | 55"},
        {BT_DOUBLE, "00 00 00 00 00 00 F0 3F | 55"},
        {BT_STRING, "02 41 42 | 55"},
        {BT_WSTRING, "01 41 00 | 55"},
        {BT_STRUCT, "10 0E 01 2A 07 00 00 80 3F 00 00 | 55"}, // a 01 inside is passed over
        {BT_LIST, "07 02 00 00 80 3F 00 00 00 40 | 55"},
        {BT_LIST, "0B 02 09 01 01 41 10 01 02 | 55"},     // list of lists reads each header
        {BT_LIST, "0A 02 00 01 00 | 55"},
        {BT_SET, "03 03 01 02 03 | 55"},
        {BT_MAP, "09 10 01 01 41 0E | 55"},
        {BT_LIST, "19 FF FF FF FF 0F | 55"},               // no bytes per element: any count at once
        {BT_MAP, "00 13 FF FF FF FF 0F | 55"},
        {static_cast<BondDataType>(19), "| 55"},
        {BT_STOP_BASE, "| 55"},
    };
    for (const auto& c : cases) {
        std::string bytes = c.bytes;
        std::size_t valueLength = codectest::hexBytes(bytes.substr(0, bytes.find('|'))).size();
        Input in(bytes);
        Reader reader(in.buffer);
        reader.skip(c.type);
        EXPECT_EQ(in.memory->position(), valueLength) << c.bytes;
    }
}

TEST(CodecReaderTest, SkippingFailures)
{
    struct Case
    {
        BondDataType type;
        const char* bytes;
        const char* text;
    };
    const Case cases[] = {
        {BT_LIST, "07 80 80 80 80 04", "Overflow on multiplication"}, // 1073741824 floats
        {BT_LIST, "08 80 80 80 80 02", "Overflow on multiplication"}, // 536870912 doubles
        {BT_WSTRING, "80 80 80 80 08", "Overflow on multiplication"},
    };
    for (const auto& c : cases) {
        Input in(c.bytes);
        try {
            Reader(in.buffer).skip(c.type);
            ADD_FAILURE() << c.bytes << " was skipped";
        } catch (const std::overflow_error& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
    }
    {
        // 1073741823 floats are a legal count; the input simply ends.
        Input in("07 FF FF FF FF 03 00 00 80 3F");
        EXPECT_THROW(Reader(in.buffer).skip(BT_LIST), std::runtime_error);
    }
}

TEST(CodecReaderTest, NestingHasADepthLimit)
{
    auto nestedLists = [](int depth) {
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < depth - 1; ++i) {
            bytes.push_back(BT_LIST);
            bytes.push_back(1);
        }
        bytes.push_back(BT_UINT8);
        bytes.push_back(0);
        return bytes;
    };
    {
        Input in(nestedLists(Reader::kMaxDepth));
        Reader reader(in.buffer);
        reader.skip(BT_LIST);
        EXPECT_EQ(in.memory->remaining(), 0u);
    }
    {
        Input in(nestedLists(Reader::kMaxDepth + 1));
        Reader reader(in.buffer);
        EXPECT_THROW(reader.skip(BT_LIST), bond::CoreException);
    }
    {
        std::vector<std::uint8_t> structs(1000, 0x0A); // field 0 of type struct, again and again
        Input in(std::move(structs));
        EXPECT_THROW(Reader(in.buffer).skip(BT_STRUCT), bond::CoreException);
    }
}

TEST(CodecRoundTripTest, PrimitivesReadBackAsWritten)
{
    OutputBuffer buffer;
    Writer writer(buffer);
    writer.writeInt64(std::numeric_limits<std::int64_t>::min());
    writer.writeInt32(-123456);
    writer.writeUInt64(0x8000000000000001ull);
    writer.writeDouble(-0.0);
    writer.writeFloat(std::numeric_limits<float>::quiet_NaN());
    writer.writeString("text");
    writer.writeWString(u"\u00e6\u00f8");

    std::vector<std::uint8_t> bytes(buffer.data(), buffer.data() + buffer.size());
    Input in(std::move(bytes));
    Reader reader(in.buffer);
    EXPECT_EQ(reader.readInt64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(reader.readInt32(), -123456);
    EXPECT_EQ(reader.readVarUInt64(), 0x8000000000000001ull);
    double d = reader.readDouble();
    EXPECT_TRUE(d == 0.0 && std::signbit(d));
    EXPECT_TRUE(std::isnan(reader.readFloat()));
    std::string s;
    reader.readString(s);
    EXPECT_EQ(s, "text");
    std::u16string w;
    reader.readWString(w);
    EXPECT_EQ(w, u"\u00e6\u00f8");
    EXPECT_EQ(in.memory->remaining(), 0u);
}

} // namespace
