// The stand-in's own Compact Binary (version 1) reader and writer. It knows wire types only, no
// schema: a message decodes into a tree of numbered fields that the log and the scene read.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orlex_standin {

enum class WireType : std::uint8_t {
    Stop = 0, StopBase = 1, Bool = 2, UInt8 = 3, UInt16 = 4, UInt32 = 5, UInt64 = 6, Float = 7,
    Double = 8, String = 9, Struct = 10, List = 11, Set = 12, Map = 13, Int8 = 14, Int16 = 15,
    Int32 = 16, Int64 = 17, WString = 18,
    // 19 to 31 carry no value
};

struct Field;
using Level = std::vector<Field>;

// One decoded value. Which members count depends on 'type'.
// A decoded list or set of more than kInlineElements bools, uint8, int8, floats or doubles keeps its
// wire bytes in 's' and its length in 'count', with 'elements' empty: read lists through listSize,
// elementAt and numberAt, which take both forms.
struct Value {
    WireType type = WireType::Struct;
    std::uint64_t u = 0;          // bool, unsigned integers
    std::int64_t i = 0;           // signed integers
    double d = 0;                 // float (widened) and double
    std::string s;                // string bytes; a wide string as its UTF-16LE bytes
    std::vector<Level> levels;    // struct: base parts first, the struct's own fields last
    WireType elementType = WireType::Stop; // list, set; the value type of a map
    WireType keyType = WireType::Stop;     // map
    std::vector<Value> elements;  // list and set elements; a map as key, value, key, value...
    std::uint32_t count = 0;      // element count of a list of value-less types or of a packed list

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }
};

struct Field {
    std::uint16_t id = 0;
    Value value;
    bool operator==(const Field& other) const { return id == other.id && value == other.value; }
};

constexpr std::size_t kMaxMessageBytes = 64u * 1024u * 1024u;
constexpr int kMaxNesting = 32;
// Notes kept of one message; the rest are counted in a last note.
constexpr std::size_t kMaxNotes = 100;
// Lists of fixed-size scalars longer than this are kept packed (see Value).
constexpr std::size_t kInlineElements = 64;
// Values of one message kept in its tree; those beyond are read and dropped, with a note, so that
// a message costs the stand-in a bounded amount of memory.
constexpr std::size_t kMaxKeptValues = 250'000;

// The result of decoding one message from the front of a buffer.
struct DecodedMessage {
    enum class Status {
        Complete,   // 'consumed' bytes form one message
        NeedMore,   // the buffer ends inside a message
        Malformed,  // the bytes from the front cannot be a message; see 'error'
    };
    Status status = Status::NeedMore;
    std::size_t consumed = 0;
    Value header;
    Value body;
    std::string type;                  // the header's Type
    std::size_t needed = 0;            // for NeedMore: decoding gets no further below this many bytes
    std::vector<std::string> notes;    // breaches that did not stop the decoding
    std::string error;                 // for Malformed
};

// Decodes a message header and the body that follows it.
DecodedMessage decodeMessage(const char* data, std::size_t size);

// As decodeMessage, but only finds where the message ends: the body is read without building its
// tree or its notes (status, consumed, needed, type and error are filled).
DecodedMessage scanMessage(const char* data, std::size_t size);

// Decodes one whole struct (for tests and the log of raw bytes).
DecodedMessage decodeStruct(const char* data, std::size_t size);

// The offset of the next place in 'data' after 'from' where a message header may start
// (field 0 string holding "Tavrin.Dremm.Orlex..."), or 'size' minus a tail that might still
// become one.
std::size_t findHeaderStart(const char* data, std::size_t size, std::size_t from);

// Writing.
void writeVarint(std::string& out, std::uint64_t value);
void writeFieldHeader(std::string& out, std::uint16_t id, WireType type);
void writeValue(std::string& out, const Value& value); // struct levels end with 01 ... 00
std::string encodeMessage(const std::string& type, const Value& body);

// Builders and readers of trees.
Value structValue(std::vector<Level> levels);
Value boolValue(bool v);
Value uintValue(WireType type, std::uint64_t v);
Value intValue(WireType type, std::int64_t v);
Value floatValue(float v);
Value doubleValue(double v);
Value stringValue(std::string v);
Value listValue(WireType elementType, std::vector<Value> elements);
Value nullableValue(Value element); // a list of one element
Value mapValue(WireType keyType, WireType valueType, std::vector<Value> keysAndValues);

const Field* findField(const Level& level, std::uint16_t id);
// The level 'index' of a struct (0 is the first base part), or null.
const Level* levelOf(const Value& structValue, std::size_t index);
std::optional<double> asDouble(const Value* value);          // double or float
std::optional<std::uint64_t> asUnsigned(const Value* value); // any unsigned type
std::optional<std::int64_t> asSigned(const Value* value);    // any signed type
std::optional<bool> asBool(const Value* value);
std::optional<std::string> asString(const Value* value);
const Value* nullableElement(const Value* value);            // the element of a one-element list
std::size_t listSize(const Value& list);                     // elements of a list or set, packed or not
Value elementAt(const Value& list, std::size_t n);           // element n of a list or set, n < listSize
std::optional<double> numberAt(const Value& list, std::size_t n); // element n as a float or double

// JSON form of trees (the log, and scripted messages from tests).
QString wireTypeName(WireType type);
std::optional<WireType> wireTypeFromName(const QString& name);
QJsonObject toJson(const Value& value);        // {"t": type, ...}
QJsonObject structToJson(const Value& value);  // {"levels": [[fields]]}
std::optional<Value> valueFromJson(const QJsonObject& object, QString* error);
std::optional<Value> structFromJson(const QJsonObject& object, QString* error);

} // namespace orlex_standin
