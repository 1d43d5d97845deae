#include "wire.h"

#include "client_bytes.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

using namespace orlex_standin;
using clientbytes::Bytes;

namespace {

std::string str(const QByteArray& bytes)
{
    return bytes.toStdString();
}

DecodedMessage decode(const QByteArray& bytes)
{
    return decodeMessage(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

DecodedMessage decodeBody(const QByteArray& bytes)
{
    return decodeStruct(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string encoded(const Value& value)
{
    std::string out;
    writeValue(out, value);
    return out;
}

TEST(WireDecode, SmallestClientMessageIsFortyBytes)
{
    const QByteArray bytes = Bytes()
                                 .hex("09 23")
                                 .raw("Tavrin.Dremm.Orlex.TerminateMessage")
                                 .hex("00 01 00")
                                 .raw("trailing");
    const DecodedMessage m = decode(bytes);
    ASSERT_EQ(m.status, DecodedMessage::Status::Complete);
    EXPECT_EQ(m.consumed, 40u);
    EXPECT_EQ(m.type, "Tavrin.Dremm.Orlex.TerminateMessage");
    ASSERT_EQ(m.body.levels.size(), 2u);
    EXPECT_TRUE(m.body.levels[0].empty());
    EXPECT_TRUE(m.body.levels[1].empty());
    EXPECT_TRUE(m.notes.empty());
}

TEST(WireDecode, EveryShortPrefixNeedsMore)
{
    const QByteArray bytes = clientbytes::message(
        "CreateViewerMessage", Bytes().hex("01 01 31 82 80 80 2E 4D 09 09 01").text("k").text("v").hex("6B 09 01 00 00"));
    ASSERT_EQ(decode(bytes).status, DecodedMessage::Status::Complete);
    for (int n = 0; n < bytes.size(); ++n)
        EXPECT_EQ(decode(bytes.left(n)).status, DecodedMessage::Status::NeedMore) << n;
}

TEST(WireDecode, ValuesOfEveryWireType)
{
    const QByteArray body = Bytes()
                                .hex("02 01")                    // 0 bool true
                                .hex("25 AC 02")                 // 1 uint32 300
                                .hex("46 FF FF FF FF FF FF FF FF FF 01") // 2 uint64 max
                                .hex("70 03")                    // 3 int32 -2
                                .hex("91 80 89 7A")              // 4 int64 1000000
                                .hex("A7").f32(1.5f)             // 5 float
                                .hex("C8 06").f64(-0.25)         // 6 double
                                .hex("C9 07 03 61 62 63")        // 7 "abc"
                                .hex("CA 08 08").f64(2.0).hex("00") // 8 struct {X 2.0}
                                .hex("CB 09 06 02 65 66")        // 9 list<uint64> 101, 102
                                .hex("CD 0A 09 09 01 01 6B 01 76") // 10 map {"k": "v"}
                                .hex("CB 0B 0A 01 00")           // 11 nullable struct, empty
                                .hex("00");
    const DecodedMessage m = decodeBody(body);
    ASSERT_EQ(m.status, DecodedMessage::Status::Complete) << m.error;
    EXPECT_TRUE(m.notes.empty());
    const Level& f = m.body.levels.at(0);
    ASSERT_EQ(f.size(), 12u);
    EXPECT_EQ(asBool(&f[0].value), true);
    EXPECT_EQ(asUnsigned(&f[1].value), 300u);
    EXPECT_EQ(asUnsigned(&f[2].value), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(asSigned(&f[3].value), -2);
    EXPECT_EQ(asSigned(&f[4].value), 1000000);
    EXPECT_EQ(asDouble(&f[5].value), 1.5);
    EXPECT_EQ(asDouble(&f[6].value), -0.25);
    EXPECT_EQ(asString(&f[7].value), "abc");
    EXPECT_EQ(asDouble(&findField(f[8].value.levels.at(0), 0)->value), 2.0);
    ASSERT_EQ(f[9].value.elements.size(), 2u);
    EXPECT_EQ(f[9].value.elements[1].u, 102u);
    ASSERT_EQ(f[10].value.elements.size(), 2u);
    EXPECT_EQ(f[10].value.elements[0].s, "k");
    EXPECT_EQ(f[10].value.elements[1].s, "v");
    ASSERT_NE(nullableElement(&f[11].value), nullptr);
    EXPECT_EQ(nullableElement(&f[11].value)->type, WireType::Struct);
    EXPECT_EQ(f[11].id, 11);
}

// Breaches that leave the message boundary known: decoded, with a note each.
TEST(WireDecode, BreachesAreNotedAndDecodingGoesOn)
{
    struct Case {
        const char* name;
        QByteArray body;
        const char* note;
    };
    const Case cases[] = {
        {"ids not ascending", Bytes().hex("01 42 01 30 0E 00"), "field id 1 after 2"},
        {"repeated id", Bytes().hex("01 10 0E 10 0E 00"), "field id 0 after 0"},
        {"int8 never written", Bytes().hex("01 2E FF 00"), "wire type 14"},
        {"value-less type", Bytes().hex("01 13 30 0E 00"), "wire type 19"},
        {"bool byte 2", Bytes().hex("01 42 02 00"), "bool byte 2"},
        {"long header form", Bytes().hex("01 D0 01 0E 00"), "longer header"},
        {"overlong varint", Bytes().hex("01 10 80 80 80 80 80 00 00"), "varint of 6 bytes"},
        {"map not of strings", Bytes().hex("01 0D 09 10 01 01 61 02 00"), "not string to string"},
        {"element type high bits", Bytes().hex("01 0B E6 01 05 00"), "high bits"},
        {"message name in a body", Bytes().hex("01 09 13").raw("Tavrin.Dremm.Orlex."), "message name inside"},
    };
    for (const Case& c : cases) {
        const DecodedMessage m = decodeBody(c.body.endsWith('\0') ? c.body : c.body + QByteArray(1, '\0'));
        ASSERT_EQ(m.status, DecodedMessage::Status::Complete) << c.name << ": " << m.error;
        ASSERT_FALSE(m.notes.empty()) << c.name;
        EXPECT_NE(m.notes.front().find(c.note), std::string::npos) << c.name << ": " << m.notes.front();
    }
    // The value-less field consumed nothing: the int32 after it was read as field 1.
    const DecodedMessage m = decodeBody(Bytes().hex("01 13 30 0E 00"));
    EXPECT_EQ(asSigned(&findField(m.body.levels.at(1), 1)->value), 7);
}

// Bytes that cannot be a message: the reader must give up rather than allocate or recurse.
TEST(WireDecode, MalformedInputIsRefusedWithoutAllocating)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        bool asMessage;
    };
    QByteArray deep;
    for (int n = 0; n < 40; ++n)
        deep += QByteArray::fromHex("0A");
    const Case cases[] = {
        {"no header", Bytes().hex("00 01 00"), true},
        {"foreign type", Bytes().hex("09 03").raw("abc").hex("00 01 00"), true},
        {"bare prefix", Bytes().hex("09 13").raw("Tavrin.Dremm.Orlex.").hex("00 01 00"), true},
        {"nesting", Bytes().raw(deep), false},
        {"base parts", Bytes().hex("01 01 01 01 01 01 01 01 01 00"), false},
        {"stop-typed list", Bytes().hex("0B 00 01 00"), false},
        {"varint of 11 bytes", Bytes().hex("05 80 80 80 80 80 80 80 80 80 80 00"), false},
        {"huge string", Bytes().hex("09 FF FF FF FF 0F"), false},
        {"huge double list", Bytes().hex("0B 08 FF FF FF FF 0F"), false},
        {"more structs than a message holds", Bytes().hex("0B 0A FF FF FF FF 0F 00"), false},
    };
    for (const Case& c : cases) {
        const DecodedMessage m = c.asMessage ? decode(c.bytes) : decodeBody(c.bytes);
        EXPECT_EQ(m.status, DecodedMessage::Status::Malformed) << c.name;
        EXPECT_FALSE(m.error.empty()) << c.name;
    }
    // A large count of variable-size elements waits for its bytes instead of reserving them.
    EXPECT_EQ(decodeBody(Bytes().hex("0B 0A FF FF 3F 00")).status, DecodedMessage::Status::NeedMore);
}

TEST(WireDecode, MapsOfValuelessElementsAreCompleteWithoutMoreBytes)
{
    struct Case {
        const char* name;
        QByteArray body;
    };
    const Case cases[] = {
        {"keys and values without bytes", Bytes().hex("01 0D 13 14 05 30 0E 00")},
        {"a huge count of them", Bytes().hex("01 0D 13 14 FF FF FF FF 0F 30 0E 00")},
        {"values without bytes", Bytes().hex("01 0D 09 13 02 01 61 01 62 30 0E 00")},
        {"keys without bytes", Bytes().hex("01 0D 13 09 02 01 61 01 62 30 0E 00")},
    };
    for (const Case& c : cases) {
        const DecodedMessage m = decodeBody(c.body);
        ASSERT_EQ(m.status, DecodedMessage::Status::Complete) << c.name << ": " << m.error;
        EXPECT_EQ(asSigned(&findField(m.body.levels.at(1), 1)->value), 7) << c.name;
        // The tree writes back the same bytes.
        EXPECT_EQ(encoded(m.body), str(c.body.mid(1).prepend('\x01'))) << c.name;
    }
}

TEST(WireDecode, NotesOfOneMessageAreBounded)
{
    // A million fields out of order in one body of 4 MB.
    QByteArray body = Bytes().hex("01 30 0E");
    for (int n = 0; n < 1000000; ++n)
        body += QByteArray::fromHex("10 0E");
    body += '\0';
    const DecodedMessage m = decodeBody(body);
    ASSERT_EQ(m.status, DecodedMessage::Status::Complete) << m.error;
    EXPECT_EQ(m.consumed, static_cast<std::size_t>(body.size()));
    // The notes, a count of the rest, and that values beyond the budget were not kept.
    ASSERT_EQ(m.notes.size(), kMaxNotes + 2);
    EXPECT_EQ(m.notes[kMaxNotes].rfind("and ", 0), 0u) << m.notes[kMaxNotes];
    EXPECT_NE(m.notes.back().find("not kept"), std::string::npos) << m.notes.back();
    ASSERT_EQ(m.body.levels.size(), 2u);
    EXPECT_LE(m.body.levels[1].size(), kMaxKeptValues);
    EXPECT_GT(m.body.levels[1].size(), kMaxKeptValues / 2);
}

QByteArray doubles(int count, double first)
{
    Bytes bytes;
    for (int n = 0; n < count; ++n)
        bytes.f64(first + n);
    return bytes;
}

// Long lists of fixed-size scalars are kept as their bytes and read like any other list.
TEST(WireDecode, LongNumberListsArePackedAndReadAsLists)
{
    struct Case {
        const char* name;
        QByteArray list; // type byte, count, elements
        std::size_t count;
        WireType elementType;
        double second; // element 1
    };
    Bytes floats, bools, signedBytes;
    for (int n = 0; n < 100; ++n) {
        floats.f32(0.5f * static_cast<float>(n));
        bools.hex(n % 2 ? "01" : "00");
        signedBytes.hex(n % 2 ? "FF" : "01");
    }
    const Case cases[] = {
        {"doubles", Bytes().hex("08 90 4E").raw(doubles(10000, -3.0)), 10000, WireType::Double, -2.0},
        {"floats", Bytes().hex("07 64").raw(floats), 100, WireType::Float, 0.5},
        {"bools", Bytes().hex("02 64").raw(bools), 100, WireType::Bool, 1},
        {"int8", Bytes().hex("0E 64").raw(signedBytes), 100, WireType::Int8, -1},
    };
    for (const Case& c : cases) {
        const QByteArray body = Bytes().hex("0B").raw(c.list).hex("00");
        const DecodedMessage m = decodeBody(body);
        ASSERT_EQ(m.status, DecodedMessage::Status::Complete) << c.name << ": " << m.error;
        const Value& list = m.body.levels.at(0).at(0).value;
        EXPECT_TRUE(list.elements.empty()) << c.name;
        ASSERT_EQ(listSize(list), c.count) << c.name;
        const Value second = elementAt(list, 1);
        EXPECT_EQ(second.type, c.elementType) << c.name;
        if (c.elementType == WireType::Int8)
            EXPECT_EQ(asSigned(&second), static_cast<std::int64_t>(c.second)) << c.name;
        else if (c.elementType == WireType::Bool)
            EXPECT_EQ(asBool(&second), c.second != 0) << c.name;
        else
            EXPECT_EQ(numberAt(list, 1), c.second) << c.name;
        EXPECT_EQ(numberAt(list, c.count), std::nullopt) << c.name;
        EXPECT_THROW(elementAt(list, c.count), std::out_of_range) << c.name;
        // The same bytes come back, and the tree equals one with every element spelt out.
        EXPECT_EQ(encoded(m.body), str(body)) << c.name;
        std::vector<Value> spelt;
        for (std::size_t n = 0; n < c.count; ++n)
            spelt.push_back(elementAt(list, n));
        EXPECT_TRUE(list == listValue(c.elementType, spelt)) << c.name;
        spelt.back() = elementAt(list, 0);
        EXPECT_FALSE(list == listValue(c.elementType, spelt)) << c.name;
        // The log shows the first elements and the count, as for any list.
        const QJsonObject json = toJson(list);
        EXPECT_EQ(json.value("v").toArray().size(), std::min<int>(1000, static_cast<int>(c.count))) << c.name;
        EXPECT_EQ(json.value("v").toArray().at(1), toJson(second).value("v")) << c.name;
    }
    // A packed list of bools still notes a byte that is no bool.
    const DecodedMessage odd = decodeBody(Bytes().hex("0B 02 64").raw(QByteArray(99, '\0')).hex("07 00"));
    ASSERT_EQ(odd.status, DecodedMessage::Status::Complete);
    ASSERT_EQ(odd.notes.size(), 1u);
    EXPECT_NE(odd.notes[0].find("bool byte 7 in the message.0[99]"), std::string::npos) << odd.notes[0];
}

// The scan finds where a message ends, and how many bytes it needs, without building a tree.
TEST(WireDecode, ScanFindsTheEndAndWhatIsMissing)
{
    const QByteArray points = Bytes().hex("06 AC 02 01 0B 08 A0 9C 01").raw(doubles(20000, 0.5)).hex("00");
    const QByteArray bytes = clientbytes::message("AddToPointBufferMessage", points) + "next";
    const DecodedMessage whole = decode(bytes);
    const DecodedMessage scanned = scanMessage(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    ASSERT_EQ(scanned.status, DecodedMessage::Status::Complete) << scanned.error;
    EXPECT_EQ(scanned.consumed, whole.consumed);
    EXPECT_EQ(scanned.consumed, static_cast<std::size_t>(bytes.size()) - 4);
    EXPECT_EQ(scanned.type, "Tavrin.Dremm.Orlex.AddToPointBufferMessage");
    EXPECT_TRUE(scanned.body.levels.empty());

    // Cut inside the list: nothing happens until all of it has arrived.
    const std::size_t listEnd = whole.consumed - 1;
    for (std::size_t cut : {listEnd - 160000 + 1, listEnd - 1000, listEnd - 1}) {
        const DecodedMessage part = scanMessage(bytes.constData(), cut);
        ASSERT_EQ(part.status, DecodedMessage::Status::NeedMore) << cut;
        EXPECT_EQ(part.needed, listEnd) << cut;
    }
    const DecodedMessage last = scanMessage(bytes.constData(), listEnd);
    ASSERT_EQ(last.status, DecodedMessage::Status::NeedMore);
    EXPECT_EQ(last.needed, listEnd + 1);

    // A malformed body is refused by the scan with the decoder's reason.
    const QByteArray bad = clientbytes::message("AddToPointBufferMessage", Bytes().hex("01 0B 00 01 00"));
    const DecodedMessage refused = scanMessage(bad.constData(), static_cast<std::size_t>(bad.size()));
    EXPECT_EQ(refused.status, DecodedMessage::Status::Malformed);
    EXPECT_EQ(refused.error, decode(bad).error);
}

TEST(WireDecode, HeaderStartIsFoundAfterJunkAndAtAPartialTail)
{
    const QByteArray good = clientbytes::versionMessage();
    const QByteArray junk = Bytes().hex("00 09 03 41 42 43 09 13 54 61 76");
    const QByteArray stream = junk + good;
    EXPECT_EQ(findHeaderStart(stream.constData(), stream.size(), 0), static_cast<std::size_t>(junk.size()));
    const QByteArray partial = junk + good.left(7);
    EXPECT_EQ(findHeaderStart(partial.constData(), partial.size(), 1), static_cast<std::size_t>(junk.size()));
    EXPECT_EQ(findHeaderStart(junk.constData(), 6, 0), 6u);
}

TEST(WireEncode, BytesOfTheProtocolExamples)
{
    // DestroyObjectMessage with Id 300, and with Id 0.
    EXPECT_EQ(encoded(structValue({Level(), {{0, uintValue(WireType::UInt64, 300)}}})), str(Bytes().hex("01 06 AC 02 00")));
    EXPECT_EQ(encoded(structValue({Level(), Level()})), str(Bytes().hex("01 00")));
    // A Color with R 1.0.
    EXPECT_EQ(encoded(structValue({{{0, floatValue(1.0f)}}})), str(Bytes().hex("07 00 00 80 3F 00")));
    // Field ids of one, two and three header bytes.
    EXPECT_EQ(encoded(structValue({{{5, boolValue(true)}, {6, structValue({})}, {300, intValue(WireType::Int32, -1)}}})),
              str(Bytes().hex("A2 01 CA 06 00 F0 2C 01 01 00")));
    // uint64 with all bits set, int64 of 1000000.
    EXPECT_EQ(encoded(structValue({{{0, uintValue(WireType::UInt64, ~0ull)}, {1, intValue(WireType::Int64, 1000000)}}})),
              str(Bytes().hex("06 FF FF FF FF FF FF FF FF FF 01 31 80 89 7A 00")));
    // A nullable string holding the empty text, a string-to-string map.
    EXPECT_EQ(encoded(structValue({{{2, nullableValue(stringValue(""))},
                                    {3, mapValue(WireType::String, WireType::String, {stringValue("a"), stringValue("b")})}}})),
              str(Bytes().hex("4B 09 01 00 6D 09 09 01 01 61 01 62 00")));
    EXPECT_EQ(encodeMessage("Tavrin.Dremm.Orlex.TerminatedMessage", structValue({Level(), Level()})),
              str(clientbytes::message("TerminatedMessage", Bytes().hex("01 00"))));
}

Value everyKind()
{
    Value nested = structValue({{{0, doubleValue(-0.0)}}, {{1, floatValue(std::numeric_limits<float>::quiet_NaN())}}});
    return structValue({
        {},
        {{0, boolValue(true)}, {1, uintValue(WireType::UInt8, 255)}, {2, uintValue(WireType::UInt32, 4000000000u)},
         {3, uintValue(WireType::UInt64, 18446744073709551615ull)}, {4, intValue(WireType::Int32, -2147483647 - 1)},
         {5, intValue(WireType::Int64, -9007199254740993ll)}, {6, floatValue(0.1f)}, {7, doubleValue(1e300)},
         {8, stringValue("tekst \xc3\xa6")}, {9, stringValue(std::string("\xff\x00\x01", 3))}, {10, nested},
         {11, listValue(WireType::Struct, {nested, structValue({})})},
         {12, listValue(WireType::List, {listValue(WireType::Int32, {intValue(WireType::Int32, 3)})})},
         {13, mapValue(WireType::String, WireType::String, {stringValue("k"), stringValue("v")})},
         {14, listValue(WireType::Double, {doubleValue(std::numeric_limits<double>::infinity())})}},
    });
}

TEST(WireEncode, TreesSurviveBytesAndJson)
{
    const Value tree = everyKind();
    const std::string bytes = encodeMessage("Tavrin.Dremm.Orlex.X", tree);
    const DecodedMessage m = decodeMessage(bytes.data(), bytes.size());
    ASSERT_EQ(m.status, DecodedMessage::Status::Complete) << m.error;
    EXPECT_EQ(m.consumed, bytes.size());
    EXPECT_TRUE(m.body == tree);

    QString error;
    const std::optional<Value> back = structFromJson(structToJson(tree), &error);
    ASSERT_TRUE(back) << error.toStdString();
    EXPECT_TRUE(*back == tree);
    // 64-bit values beyond what a JSON number holds travel as text; floats as their short form.
    const QJsonObject json = structToJson(tree);
    const QJsonArray fields = json.value("levels").toArray().at(1).toArray();
    EXPECT_EQ(fields.at(3).toObject().value("v").toString(), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(fields.at(6).toObject().value("v").toDouble(), 0.1);
    EXPECT_EQ(fields.at(9).toObject().value("hex").toString(), QStringLiteral("ff0001"));
}

TEST(WireJson, BadScriptsAreRefusedWithAReason)
{
    const char* scripts[] = {
        R"({"levels": 3})",
        R"({"levels": [[{"id": 0, "t": "nonsense", "v": 1}]]})",
        R"({"levels": [[{"id": 70000, "t": "bool", "v": true}]]})",
        R"({"levels": [[{"id": 0, "t": "uint32", "v": -1}]]})",
        R"({"levels": [[{"id": 0, "t": "int32", "v": 1.5}]]})",
        R"({"levels": [[{"id": 0, "t": "string", "hex": "abc"}]]})",
        R"({"levels": [[{"id": 0, "t": "list", "v": [1]}]]})",
        R"({"levels": [[{"id": 0, "t": "map", "kt": "string", "vt": "string", "v": [["a"]]}]]})",
        R"({"levels": [[{"id": 0, "t": "stop"}]]})",
        R"({"levels": [[{"id": 0, "t": "int64", "v": 9223372036854775808}]]})",
        R"({"levels": [[{"id": 0, "t": "int64", "v": -9223372036854777856}]]})",
        R"({"levels": [[{"id": 0, "t": "uint64", "v": 18446744073709551616}]]})",
        R"({"levels": [[{"id": 0, "t": "uint64", "v": 1e300}]]})",
    };
    for (const char* script : scripts) {
        QString error;
        EXPECT_FALSE(structFromJson(QJsonDocument::fromJson(script).object(), &error)) << script;
        EXPECT_FALSE(error.isEmpty()) << script;
    }
    // The extremes that fit are taken.
    QString error;
    EXPECT_TRUE(structFromJson(QJsonDocument::fromJson(R"({"levels": [[{"id": 0, "t": "int64", "v": -9223372036854775808}]]})").object(), &error)) << error.toStdString();
    EXPECT_TRUE(structFromJson(QJsonDocument::fromJson(R"({"levels": [[{"id": 0, "t": "uint64", "v": 18446744073709549568}]]})").object(), &error)) << error.toStdString();
}

} // namespace
