#include "wire.h"

#include <QJsonArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace orlex_standin {

namespace {

const std::string kNamePrefix = "Tavrin.Dremm.Orlex.";
constexpr std::size_t kMaxLevels = 8;
constexpr std::size_t kMaxValues = 4'000'000;
constexpr int kJsonElementLimit = 1000;

bool isValueless(std::uint8_t type)
{
    return type >= 19;
}

bool isPackable(WireType type)
{
    return type == WireType::Bool || type == WireType::UInt8 || type == WireType::Int8 || type == WireType::Float
           || type == WireType::Double;
}

bool isPacked(const Value& list)
{
    return (list.type == WireType::List || list.type == WireType::Set) && isPackable(list.elementType)
           && list.elements.empty() && list.count != 0;
}

// Bytes of a fixed-size element, 0 for variable-size ones.
std::size_t fixedSize(WireType type)
{
    switch (type) {
    case WireType::Bool:
    case WireType::UInt8:
    case WireType::Int8:
        return 1;
    case WireType::Float:
        return 4;
    case WireType::Double:
        return 8;
    default:
        return 0;
    }
}

bool clientWrites(std::uint8_t type)
{
    switch (static_cast<WireType>(type)) {
    case WireType::UInt16:
    case WireType::Set:
    case WireType::Int8:
    case WireType::Int16:
    case WireType::WString:
        return false;
    default:
        return type < 19;
    }
}

class Decoder {
public:
    enum class State { Ok, NeedMore, Bad };

    Decoder(const char* data, std::size_t size)
        : m_data(reinterpret_cast<const std::uint8_t*>(data)), m_size(size) {}

    State state = State::Ok;
    std::size_t pos = 0;
    std::size_t needed = 0;
    std::vector<std::string> notes;
    std::size_t droppedNotes = 0;
    std::string error;
    bool inBody = false;
    // False: values are read and checked but neither kept nor noted.
    bool keep = true;
    bool overBudget = false;

    bool readStruct(Value& out, int depth)
    {
        if (depth > kMaxNesting)
            return fail("structs nested deeper than " + std::to_string(kMaxNesting));
        out.type = WireType::Struct;
        if (keep)
            out.levels.assign(1, Level());
        std::size_t parts = 1;
        long lastId = -1;
        for (;;) {
            std::uint8_t first;
            if (!byte(first))
                return false;
            const std::uint8_t type = first & 0x1f;
            if (type == 0)
                return true;
            if (type == 1) {
                if (parts >= kMaxLevels)
                    return fail("more than " + std::to_string(kMaxLevels) + " base parts in one struct");
                ++parts;
                if (keep)
                    out.levels.emplace_back();
                lastId = -1;
                continue;
            }
            std::uint16_t id = first >> 5;
            if (id == 6) {
                std::uint8_t b;
                if (!byte(b))
                    return false;
                id = b;
                if (id < 6)
                    note("field " + std::to_string(id) + " with a longer header than needed");
            } else if (id == 7) {
                std::uint8_t lo, hi;
                if (!byte(lo) || !byte(hi))
                    return false;
                id = static_cast<std::uint16_t>(lo | (hi << 8));
                if (id < 256)
                    note("field " + std::to_string(id) + " with a longer header than needed");
            }
            if (static_cast<long>(id) <= lastId && keep)
                note("field id " + std::to_string(id) + " after " + std::to_string(lastId) + " in part "
                     + std::to_string(parts) + " of " + where());
            lastId = id;
            if (!clientWrites(type) && keep)
                note("wire type " + std::to_string(type) + " in field " + std::to_string(id) + " of " + where());
            Field field;
            field.id = id;
            m_path.push_back({false, id});
            const bool ok = readValue(static_cast<WireType>(type), field.value, depth);
            m_path.pop_back();
            if (!ok)
                return false;
            if (keep)
                out.levels.back().push_back(std::move(field));
        }
    }

    bool readValue(WireType type, Value& out, int depth)
    {
        if (++m_values > kMaxValues)
            return fail("more than " + std::to_string(kMaxValues) + " values in one message");
        if (m_values > kMaxKeptValues && keep && inBody) {
            keep = false;
            overBudget = true;
        }
        out.type = type;
        const std::uint8_t raw = static_cast<std::uint8_t>(type);
        if (isValueless(raw))
            return true;
        switch (type) {
        case WireType::Bool: {
            std::uint8_t b;
            if (!byte(b))
                return false;
            if (b > 1 && keep)
                note("bool byte " + std::to_string(b) + " in " + where());
            out.u = b;
            return true;
        }
        case WireType::UInt8: {
            std::uint8_t b;
            if (!byte(b))
                return false;
            out.u = b;
            return true;
        }
        case WireType::Int8: {
            std::uint8_t b;
            if (!byte(b))
                return false;
            out.i = static_cast<std::int8_t>(b);
            return true;
        }
        case WireType::UInt16:
            return varint(out.u, 3);
        case WireType::UInt32:
            return varint(out.u, 5);
        case WireType::UInt64:
            return varint(out.u, 10);
        case WireType::Int16:
        case WireType::Int32:
        case WireType::Int64: {
            const int width = type == WireType::Int16 ? 3 : type == WireType::Int32 ? 5 : 10;
            std::uint64_t v;
            if (!varint(v, width))
                return false;
            out.i = static_cast<std::int64_t>(v >> 1) ^ -static_cast<std::int64_t>(v & 1);
            return true;
        }
        case WireType::Float: {
            if (!need(4))
                return false;
            float f;
            std::memcpy(&f, m_data + pos, 4);
            pos += 4;
            out.d = f;
            return true;
        }
        case WireType::Double: {
            if (!need(8))
                return false;
            std::memcpy(&out.d, m_data + pos, 8);
            pos += 8;
            return true;
        }
        case WireType::String:
        case WireType::WString: {
            std::uint64_t count;
            if (!varint(count, 5))
                return false;
            const std::uint64_t bytes = type == WireType::WString ? count * 2 : count;
            if (!need(bytes))
                return false;
            const char* text = reinterpret_cast<const char*>(m_data + pos);
            pos += static_cast<std::size_t>(bytes);
            if (!keep)
                return true;
            out.s.assign(text, static_cast<std::size_t>(bytes));
            if (inBody && type == WireType::String && out.s.compare(0, kNamePrefix.size(), kNamePrefix) == 0)
                note("a message name inside " + where() + ": the body before it may have been cut short");
            return true;
        }
        case WireType::Struct:
            return readStruct(out, depth + 1);
        case WireType::List:
        case WireType::Set:
            return readContainer(out, depth, false);
        case WireType::Map:
            return readContainer(out, depth, true);
        default:
            return fail("a stop byte where a value belongs in " + where());
        }
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_values = 0;
    // Where the decoder is: field ids and element indexes, made a text only for a note or error.
    struct Step {
        bool element;
        std::uint64_t n;
    };
    std::vector<Step> m_path;

    std::string where() const
    {
        std::string text = "the message";
        for (const Step& step : m_path)
            text += step.element ? "[" + std::to_string(step.n) + "]" : "." + std::to_string(step.n);
        return text;
    }

    void note(std::string text)
    {
        if (notes.size() < kMaxNotes)
            notes.push_back(std::move(text));
        else
            ++droppedNotes;
    }

    bool fail(std::string text)
    {
        error = std::move(text);
        state = State::Bad;
        return false;
    }

    bool need(std::uint64_t count)
    {
        if (count <= m_size - pos)
            return true;
        if (count > kMaxMessageBytes || pos + count > kMaxMessageBytes)
            return fail("a value of " + std::to_string(count) + " bytes in " + where() + ", more than a message may hold");
        state = State::NeedMore;
        needed = pos + static_cast<std::size_t>(count);
        return false;
    }

    bool byte(std::uint8_t& b)
    {
        if (!need(1))
            return false;
        b = m_data[pos++];
        return true;
    }

    bool varint(std::uint64_t& value, int width)
    {
        value = 0;
        for (int n = 0;; ++n) {
            if (n == 10)
                return fail("a varint longer than 10 bytes in " + where());
            std::uint8_t b;
            if (!byte(b))
                return false;
            if (n < 10)
                value |= static_cast<std::uint64_t>(b & 0x7f) << (7 * n);
            if (b < 0x80) {
                if (n + 1 > width && keep)
                    note("a varint of " + std::to_string(n + 1) + " bytes in " + where());
                if (width == 5)
                    value &= 0xffffffffu;
                else if (width == 3)
                    value &= 0xffffu;
                return true;
            }
        }
    }

    bool readContainer(Value& out, int depth, bool isMap)
    {
        if (depth > kMaxNesting)
            return fail("containers nested deeper than " + std::to_string(kMaxNesting));
        std::uint8_t keyByte = 0;
        if (isMap && !byte(keyByte))
            return false;
        std::uint8_t elementByte;
        if (!byte(elementByte))
            return false;
        std::uint64_t count;
        if (!varint(count, 5))
            return false;
        for (std::uint8_t b : isMap ? std::vector<std::uint8_t>{keyByte, elementByte} : std::vector<std::uint8_t>{elementByte}) {
            if ((b & 0xe0) && keep)
                note("container type byte " + std::to_string(b) + " with high bits set in " + where());
            if ((b & 0x1f) < 2)
                return fail("a container of stop bytes in " + where());
            if (!clientWrites(b & 0x1f) && keep)
                note("container element type " + std::to_string(b & 0x1f) + " in " + where());
        }
        out.keyType = static_cast<WireType>(keyByte & 0x1f);
        out.elementType = static_cast<WireType>(elementByte & 0x1f);
        if (isMap && (out.keyType != WireType::String || out.elementType != WireType::String) && keep)
            note("a map that is not string to string in " + where());
        const bool valuelessKeys = isValueless(keyByte & 0x1f);
        if (isValueless(elementByte & 0x1f) && (!isMap || valuelessKeys)) {
            // Nothing follows for any element: keep the count only.
            out.count = static_cast<std::uint32_t>(count);
            return true;
        }
        const std::uint64_t total = isMap ? count * 2 : count;
        // Every element takes at least one byte, and a map entry at least one for the side that
        // has a value: never reserve more than what has arrived.
        const std::size_t size = isMap ? 0 : fixedSize(out.elementType);
        const std::uint64_t least = isMap && (valuelessKeys || isValueless(elementByte & 0x1f)) ? count : total;
        if (!need(size ? total * size : std::min<std::uint64_t>(least, kMaxMessageBytes + 1)))
            return false;
        if (size && count > kInlineElements) {
            // Kept as its bytes: one value, however long.
            return readPacked(out, static_cast<std::size_t>(count), size);
        }
        if (keep)
            out.elements.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(total, m_size - pos)));
        Value element;
        for (std::uint64_t n = 0; n < total; ++n) {
            m_path.push_back({true, isMap ? n / 2 : n});
            const WireType type = isMap && n % 2 == 0 ? out.keyType : out.elementType;
            const bool ok = readValue(type, element, depth + 1);
            m_path.pop_back();
            if (!ok)
                return false;
            if (keep)
                out.elements.push_back(std::move(element));
            element = Value();
        }
        return true;
    }

    bool readPacked(Value& out, std::size_t count, std::size_t size)
    {
        const char* bytes = reinterpret_cast<const char*>(m_data + pos);
        pos += count * size;
        if (!keep)
            return true;
        if (out.elementType == WireType::Bool) {
            const auto* end = reinterpret_cast<const std::uint8_t*>(bytes) + count;
            const auto* odd = std::find_if(reinterpret_cast<const std::uint8_t*>(bytes), end,
                                           [](std::uint8_t b) { return b > 1; });
            if (odd != end) {
                m_path.push_back({true, static_cast<std::uint64_t>(odd - reinterpret_cast<const std::uint8_t*>(bytes))});
                note("bool byte " + std::to_string(*odd) + " in " + where());
                m_path.pop_back();
            }
        }
        out.s.assign(bytes, count * size);
        out.count = static_cast<std::uint32_t>(count);
        return true;
    }
};

DecodedMessage finish(Decoder& decoder, DecodedMessage& result)
{
    result.notes = std::move(decoder.notes);
    if (decoder.droppedNotes != 0)
        result.notes.push_back("and " + std::to_string(decoder.droppedNotes) + " more notes");
    if (decoder.overBudget)
        result.notes.push_back("more than " + std::to_string(kMaxKeptValues)
                               + " values in the message: those beyond were read, not kept");
    if (decoder.state == Decoder::State::NeedMore) {
        result.status = DecodedMessage::Status::NeedMore;
        result.needed = std::max(decoder.needed, decoder.pos + 1);
    } else if (decoder.state == Decoder::State::Bad) {
        result.status = DecodedMessage::Status::Malformed;
        result.error = decoder.error;
    } else {
        result.status = DecodedMessage::Status::Complete;
        result.consumed = decoder.pos;
    }
    return result;
}

void writeRaw(std::string& out, const void* data, std::size_t size)
{
    out.append(static_cast<const char*>(data), size);
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

std::optional<std::string> unhex(const QString& text)
{
    const QByteArray latin = text.toLatin1();
    if (latin.size() % 2 != 0)
        return std::nullopt;
    for (char c : latin)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    return QByteArray::fromHex(latin).toStdString();
}

bool isUnsignedType(WireType t)
{
    return t == WireType::Bool || t == WireType::UInt8 || t == WireType::UInt16 || t == WireType::UInt32 || t == WireType::UInt64;
}

bool isSignedType(WireType t)
{
    return t == WireType::Int8 || t == WireType::Int16 || t == WireType::Int32 || t == WireType::Int64;
}

QJsonValue integerJson(long double v, const std::string& decimal)
{
    if (std::fabs(v) <= 9007199254740992.0L)
        return QJsonValue(static_cast<double>(v));
    return QJsonValue(QString::fromStdString(decimal));
}

QJsonValue floatingJson(double v, bool single)
{
    if (std::isnan(v))
        return QStringLiteral("nan");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    if (single) {
        // The shortest text that reads back as the same float, so 0.1f is logged as 0.1.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, static_cast<float>(v)).ptr;
        return std::strtod(std::string(text, end).c_str(), nullptr);
    }
    return v;
}

QJsonValue bareJson(const Value& value);

QJsonArray levelsJson(const Value& value)
{
    QJsonArray levels;
    for (const Level& level : value.levels) {
        QJsonArray fields;
        for (const Field& field : level) {
            QJsonObject object = toJson(field.value);
            object.insert(QStringLiteral("id"), field.id);
            fields.append(object);
        }
        levels.append(fields);
    }
    return levels;
}

// A value without its type name: a scalar as itself, containers and structs as objects.
QJsonValue bareJson(const Value& value)
{
    QJsonObject object = toJson(value);
    object.remove(QStringLiteral("t"));
    if (object.size() == 1 && object.contains(QStringLiteral("v")))
        return object.value(QStringLiteral("v"));
    return object;
}

std::optional<std::uint64_t> unsignedFromJson(const QJsonValue& json)
{
    if (json.isDouble()) {
        const double d = json.toDouble();
        // 2^64 and above do not fit (the literal 2^64 - 1 would round up to 2^64).
        if (d < 0 || d != std::floor(d) || d >= 18446744073709551616.0)
            return std::nullopt;
        return static_cast<std::uint64_t>(d);
    }
    if (json.isBool())
        return json.toBool() ? 1 : 0;
    bool ok = false;
    const std::uint64_t v = json.toString().toULongLong(&ok);
    return ok ? std::optional<std::uint64_t>(v) : std::nullopt;
}

std::optional<std::int64_t> signedFromJson(const QJsonValue& json)
{
    if (json.isDouble()) {
        const double d = json.toDouble();
        // -2^63 fits, 2^63 does not.
        if (d != std::floor(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
            return std::nullopt;
        return static_cast<std::int64_t>(d);
    }
    bool ok = false;
    const std::int64_t v = json.toString().toLongLong(&ok);
    return ok ? std::optional<std::int64_t>(v) : std::nullopt;
}

std::optional<double> floatingFromJson(const QJsonValue& json)
{
    if (json.isDouble())
        return json.toDouble();
    const QString text = json.toString();
    if (text == QLatin1String("nan"))
        return std::numeric_limits<double>::quiet_NaN();
    if (text == QLatin1String("inf"))
        return std::numeric_limits<double>::infinity();
    if (text == QLatin1String("-inf"))
        return -std::numeric_limits<double>::infinity();
    return std::nullopt;
}

std::optional<Value> bareFromJson(WireType type, const QJsonValue& json, QString* error, int depth);

std::optional<Value> typedFromJson(WireType type, const QJsonObject& object, QString* error, int depth)
{
    auto fail = [&](const QString& text) -> std::optional<Value> {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (depth > kMaxNesting)
        return fail(QStringLiteral("nested too deep"));
    Value value;
    value.type = type;
    const QJsonValue v = object.value(QStringLiteral("v"));
    const std::uint8_t raw = static_cast<std::uint8_t>(type);
    if (isValueless(raw))
        return value;
    if (isUnsignedType(type)) {
        const auto u = unsignedFromJson(v);
        if (!u)
            return fail(QStringLiteral("not an unsigned number: %1").arg(wireTypeName(type)));
        value.u = *u;
        return value;
    }
    if (isSignedType(type)) {
        const auto i = signedFromJson(v);
        if (!i)
            return fail(QStringLiteral("not a signed number: %1").arg(wireTypeName(type)));
        value.i = *i;
        return value;
    }
    switch (type) {
    case WireType::Float:
    case WireType::Double: {
        const auto d = floatingFromJson(v);
        if (!d)
            return fail(QStringLiteral("not a number: %1").arg(wireTypeName(type)));
        value.d = type == WireType::Float ? static_cast<double>(static_cast<float>(*d)) : *d;
        return value;
    }
    case WireType::String:
    case WireType::WString: {
        if (object.contains(QStringLiteral("hex"))) {
            const auto bytes = unhex(object.value(QStringLiteral("hex")).toString());
            if (!bytes)
                return fail(QStringLiteral("bad hex text"));
            value.s = *bytes;
        } else if (v.isString()) {
            if (type == WireType::String) {
                value.s = v.toString().toStdString();
            } else {
                const QString text = v.toString();
                value.s.assign(reinterpret_cast<const char*>(text.utf16()), static_cast<std::size_t>(text.size()) * 2);
            }
        } else {
            return fail(QStringLiteral("a string needs \"v\" or \"hex\""));
        }
        return value;
    }
    case WireType::Struct: {
        const QJsonValue levels = object.value(QStringLiteral("levels"));
        if (!levels.isArray() || levels.toArray().isEmpty())
            return fail(QStringLiteral("a struct needs a non-empty \"levels\" array"));
        for (const QJsonValue& levelJson : levels.toArray()) {
            if (!levelJson.isArray())
                return fail(QStringLiteral("a struct level must be an array"));
            Level level;
            for (const QJsonValue& fieldJson : levelJson.toArray()) {
                const QJsonObject fieldObject = fieldJson.toObject();
                const QJsonValue id = fieldObject.value(QStringLiteral("id"));
                if (!id.isDouble() || id.toDouble() < 0 || id.toDouble() > 65535 || id.toDouble() != std::floor(id.toDouble()))
                    return fail(QStringLiteral("a field needs an \"id\" from 0 to 65535"));
                const auto fieldType = wireTypeFromName(fieldObject.value(QStringLiteral("t")).toString());
                if (!fieldType || *fieldType == WireType::Stop || *fieldType == WireType::StopBase)
                    return fail(QStringLiteral("unknown field type \"%1\"").arg(fieldObject.value(QStringLiteral("t")).toString()));
                auto fieldValue = typedFromJson(*fieldType, fieldObject, error, depth + 1);
                if (!fieldValue)
                    return std::nullopt;
                level.push_back({static_cast<std::uint16_t>(id.toInt()), std::move(*fieldValue)});
            }
            value.levels.push_back(std::move(level));
        }
        return value;
    }
    case WireType::List:
    case WireType::Set:
    case WireType::Map: {
        const bool isMap = type == WireType::Map;
        const auto elementType = wireTypeFromName(object.value(isMap ? QStringLiteral("vt") : QStringLiteral("et")).toString());
        const auto keyType = isMap ? wireTypeFromName(object.value(QStringLiteral("kt")).toString()) : std::optional<WireType>(WireType::Stop);
        if (!elementType || !keyType || static_cast<int>(*elementType) < 2 || (isMap && static_cast<int>(*keyType) < 2))
            return fail(QStringLiteral("a container needs its element types"));
        value.elementType = *elementType;
        value.keyType = *keyType;
        if (isValueless(static_cast<std::uint8_t>(*elementType)) && (!isMap || isValueless(static_cast<std::uint8_t>(*keyType)))) {
            value.count = static_cast<std::uint32_t>(object.value(QStringLiteral("n")).toInt());
            return value;
        }
        for (const QJsonValue& element : v.toArray()) {
            if (isMap) {
                const QJsonArray pair = element.toArray();
                if (pair.size() != 2)
                    return fail(QStringLiteral("a map entry must be a [key, value] pair"));
                auto key = bareFromJson(*keyType, pair.at(0), error, depth + 1);
                auto mapped = bareFromJson(*elementType, pair.at(1), error, depth + 1);
                if (!key || !mapped)
                    return std::nullopt;
                value.elements.push_back(std::move(*key));
                value.elements.push_back(std::move(*mapped));
            } else {
                auto item = bareFromJson(*elementType, element, error, depth + 1);
                if (!item)
                    return std::nullopt;
                value.elements.push_back(std::move(*item));
            }
        }
        return value;
    }
    default:
        return fail(QStringLiteral("unknown type"));
    }
}

std::optional<Value> bareFromJson(WireType type, const QJsonValue& json, QString* error, int depth)
{
    if (json.isObject())
        return typedFromJson(type, json.toObject(), error, depth);
    QJsonObject object;
    object.insert(QStringLiteral("v"), json);
    return typedFromJson(type, object, error, depth);
}

} // namespace

bool Value::operator==(const Value& o) const
{
    if (type != o.type)
        return false;
    switch (type) {
    case WireType::Float:
    case WireType::Double:
        return (d == o.d) || (std::isnan(d) && std::isnan(o.d));
    case WireType::String:
    case WireType::WString:
        return s == o.s;
    case WireType::Struct:
        return levels == o.levels;
    case WireType::List:
    case WireType::Set:
    case WireType::Map:
        if (elementType != o.elementType || keyType != o.keyType)
            return false;
        if (isPacked(*this) || isPacked(o)) {
            const std::size_t n = listSize(*this);
            if (n != listSize(o))
                return false;
            for (std::size_t k = 0; k < n; ++k)
                if (elementAt(*this, k) != elementAt(o, k))
                    return false;
            return true;
        }
        return elements == o.elements && count == o.count;
    default:
        return isSignedType(type) ? i == o.i : u == o.u;
    }
}

namespace {

DecodedMessage decodeMessage(const char* data, std::size_t size, bool keepBody)
{
    DecodedMessage result;
    Decoder decoder(data, size);
    if (!decoder.readStruct(result.header, 0))
        return finish(decoder, result);

    const Level& headerFields = result.header.levels.front();
    const Field* typeField = findField(headerFields, 0);
    if (typeField && typeField->value.type == WireType::String)
        result.type = typeField->value.s;
    if (result.type.compare(0, kNamePrefix.size(), kNamePrefix) != 0 || result.type.size() == kNamePrefix.size()) {
        decoder.state = Decoder::State::Bad;
        decoder.error = result.type.empty() ? "bytes that are no message header"
                                            : "a message header with the type \"" + result.type + "\"";
        return finish(decoder, result);
    }
    if (result.header.levels.size() != 1 || headerFields.size() != 1)
        decoder.notes.push_back("a message header with more than its Type");

    decoder.inBody = true;
    decoder.keep = keepBody;
    decoder.readStruct(result.body, 0);
    return finish(decoder, result);
}

} // namespace

DecodedMessage decodeMessage(const char* data, std::size_t size)
{
    return decodeMessage(data, size, true);
}

DecodedMessage scanMessage(const char* data, std::size_t size)
{
    return decodeMessage(data, size, false);
}

DecodedMessage decodeStruct(const char* data, std::size_t size)
{
    DecodedMessage result;
    Decoder decoder(data, size);
    decoder.inBody = true;
    decoder.readStruct(result.body, 0);
    return finish(decoder, result);
}

std::size_t findHeaderStart(const char* data, std::size_t size, std::size_t from)
{
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
    for (std::size_t p = from; p < size; ++p) {
        if (bytes[p] != 0x09)
            continue;
        if (p + 1 < size && (bytes[p + 1] <= kNamePrefix.size() || bytes[p + 1] >= 0x80))
            continue;
        const std::size_t available = std::min(kNamePrefix.size(), size - std::min(size, p + 2));
        if (std::memcmp(data + std::min(size, p + 2), kNamePrefix.data(), available) == 0)
            return p;
    }
    return size;
}

void writeVarint(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7f) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

void writeFieldHeader(std::string& out, std::uint16_t id, WireType type)
{
    const auto t = static_cast<std::uint8_t>(type);
    if (id <= 5) {
        out += static_cast<char>((id << 5) | t);
    } else if (id <= 255) {
        out += static_cast<char>(0xc0 | t);
        out += static_cast<char>(id);
    } else {
        out += static_cast<char>(0xe0 | t);
        out += static_cast<char>(id & 0xff);
        out += static_cast<char>(id >> 8);
    }
}

void writeValue(std::string& out, const Value& value)
{
    switch (value.type) {
    case WireType::Bool:
    case WireType::UInt8:
        out += static_cast<char>(value.u & 0xff);
        return;
    case WireType::Int8:
        out += static_cast<char>(value.i & 0xff);
        return;
    case WireType::UInt16:
    case WireType::UInt32:
    case WireType::UInt64:
        writeVarint(out, value.u);
        return;
    case WireType::Int16:
    case WireType::Int32:
    case WireType::Int64:
        writeVarint(out, (static_cast<std::uint64_t>(value.i) << 1) ^ static_cast<std::uint64_t>(value.i >> 63));
        return;
    case WireType::Float: {
        const float f = static_cast<float>(value.d);
        writeRaw(out, &f, 4);
        return;
    }
    case WireType::Double:
        writeRaw(out, &value.d, 8);
        return;
    case WireType::String:
        writeVarint(out, value.s.size());
        out += value.s;
        return;
    case WireType::WString:
        writeVarint(out, value.s.size() / 2);
        out += value.s;
        return;
    case WireType::Struct: {
        if (value.levels.empty()) {
            out += '\0';
            return;
        }
        for (std::size_t n = 0; n < value.levels.size(); ++n) {
            for (const Field& field : value.levels[n]) {
                writeFieldHeader(out, field.id, field.value.type);
                writeValue(out, field.value);
            }
            out += n + 1 < value.levels.size() ? '\x01' : '\0';
        }
        return;
    }
    case WireType::List:
    case WireType::Set:
        out += static_cast<char>(value.elementType);
        if (isPacked(value)) {
            writeVarint(out, value.count);
            out += value.s;
            return;
        }
        writeVarint(out, isValueless(static_cast<std::uint8_t>(value.elementType)) ? value.count : value.elements.size());
        for (const Value& element : value.elements)
            writeValue(out, element);
        return;
    case WireType::Map:
        out += static_cast<char>(value.keyType);
        out += static_cast<char>(value.elementType);
        writeVarint(out, isValueless(static_cast<std::uint8_t>(value.keyType)) && isValueless(static_cast<std::uint8_t>(value.elementType))
                             ? value.count : value.elements.size() / 2);
        for (const Value& element : value.elements)
            writeValue(out, element);
        return;
    default:
        return; // value-less types
    }
}

std::string encodeMessage(const std::string& type, const Value& body)
{
    std::string out;
    if (!type.empty()) {
        writeFieldHeader(out, 0, WireType::String);
        writeVarint(out, type.size());
        out += type;
    }
    out += '\0';
    writeValue(out, body);
    return out;
}

Value structValue(std::vector<Level> levels)
{
    Value v;
    v.type = WireType::Struct;
    v.levels = std::move(levels);
    if (v.levels.empty())
        v.levels.emplace_back();
    return v;
}

Value boolValue(bool b)
{
    Value v;
    v.type = WireType::Bool;
    v.u = b ? 1 : 0;
    return v;
}

Value uintValue(WireType type, std::uint64_t u)
{
    Value v;
    v.type = type;
    v.u = u;
    return v;
}

Value intValue(WireType type, std::int64_t i)
{
    Value v;
    v.type = type;
    v.i = i;
    return v;
}

Value floatValue(float f)
{
    Value v;
    v.type = WireType::Float;
    v.d = f;
    return v;
}

Value doubleValue(double d)
{
    Value v;
    v.type = WireType::Double;
    v.d = d;
    return v;
}

Value stringValue(std::string s)
{
    Value v;
    v.type = WireType::String;
    v.s = std::move(s);
    return v;
}

Value listValue(WireType elementType, std::vector<Value> elements)
{
    Value v;
    v.type = WireType::List;
    v.elementType = elementType;
    v.elements = std::move(elements);
    return v;
}

Value nullableValue(Value element)
{
    const WireType type = element.type;
    std::vector<Value> elements;
    elements.push_back(std::move(element));
    return listValue(type, std::move(elements));
}

Value mapValue(WireType keyType, WireType valueType, std::vector<Value> keysAndValues)
{
    Value v;
    v.type = WireType::Map;
    v.keyType = keyType;
    v.elementType = valueType;
    v.elements = std::move(keysAndValues);
    return v;
}

const Field* findField(const Level& level, std::uint16_t id)
{
    for (const Field& field : level)
        if (field.id == id)
            return &field;
    return nullptr;
}

const Level* levelOf(const Value& value, std::size_t index)
{
    if (value.type != WireType::Struct || index >= value.levels.size())
        return nullptr;
    return &value.levels[index];
}

std::optional<double> asDouble(const Value* value)
{
    if (value && (value->type == WireType::Double || value->type == WireType::Float))
        return value->d;
    return std::nullopt;
}

std::optional<std::uint64_t> asUnsigned(const Value* value)
{
    if (value && isUnsignedType(value->type) && value->type != WireType::Bool)
        return value->u;
    return std::nullopt;
}

std::optional<std::int64_t> asSigned(const Value* value)
{
    if (value && isSignedType(value->type))
        return value->i;
    return std::nullopt;
}

std::optional<bool> asBool(const Value* value)
{
    if (value && value->type == WireType::Bool)
        return value->u != 0;
    return std::nullopt;
}

std::optional<std::string> asString(const Value* value)
{
    if (value && value->type == WireType::String)
        return value->s;
    return std::nullopt;
}

const Value* nullableElement(const Value* value)
{
    if (value && value->type == WireType::List && value->elements.size() == 1)
        return &value->elements.front();
    return nullptr;
}

std::size_t listSize(const Value& list)
{
    if (isPacked(list))
        return list.count;
    return list.type == WireType::Map ? list.elements.size() / 2 : list.elements.size();
}

Value elementAt(const Value& list, std::size_t n)
{
    if (!isPacked(list))
        return list.elements.at(n);
    const std::size_t size = fixedSize(list.elementType);
    if (n >= list.count || (n + 1) * size > list.s.size())
        throw std::out_of_range("element " + std::to_string(n) + " of a list of " + std::to_string(list.count));
    const char* at = list.s.data() + n * size;
    switch (list.elementType) {
    case WireType::Float: {
        float f;
        std::memcpy(&f, at, sizeof f);
        return floatValue(f);
    }
    case WireType::Double: {
        double d;
        std::memcpy(&d, at, sizeof d);
        return doubleValue(d);
    }
    case WireType::Int8:
        return intValue(WireType::Int8, static_cast<std::int8_t>(*at));
    default:
        return uintValue(list.elementType, static_cast<std::uint8_t>(*at));
    }
}

std::optional<double> numberAt(const Value& list, std::size_t n)
{
    if (n >= listSize(list))
        return std::nullopt;
    if (!isPacked(list))
        return asDouble(&list.elements[n]);
    const Value element = elementAt(list, n);
    return asDouble(&element);
}

QString wireTypeName(WireType type)
{
    static const char* const names[] = {"stop", "stopbase", "bool", "uint8", "uint16", "uint32", "uint64",
                                        "float", "double", "string", "struct", "list", "set", "map",
                                        "int8", "int16", "int32", "int64", "wstring"};
    const auto index = static_cast<std::uint8_t>(type);
    if (index < sizeof names / sizeof names[0])
        return QLatin1String(names[index]);
    return QStringLiteral("type%1").arg(index);
}

std::optional<WireType> wireTypeFromName(const QString& name)
{
    for (int n = 0; n < 32; ++n)
        if (wireTypeName(static_cast<WireType>(n)) == name)
            return static_cast<WireType>(n);
    return std::nullopt;
}

QJsonObject toJson(const Value& value)
{
    QJsonObject object;
    object.insert(QStringLiteral("t"), wireTypeName(value.type));
    switch (value.type) {
    case WireType::Bool:
        object.insert(QStringLiteral("v"), value.u != 0);
        break;
    case WireType::UInt8:
    case WireType::UInt16:
    case WireType::UInt32:
    case WireType::UInt64:
        object.insert(QStringLiteral("v"), integerJson(value.u, std::to_string(value.u)));
        break;
    case WireType::Int8:
    case WireType::Int16:
    case WireType::Int32:
    case WireType::Int64:
        object.insert(QStringLiteral("v"), integerJson(value.i, std::to_string(value.i)));
        break;
    case WireType::Float:
    case WireType::Double:
        object.insert(QStringLiteral("v"), floatingJson(value.d, value.type == WireType::Float));
        break;
    case WireType::String: {
        const QByteArray bytes = QByteArray::fromStdString(value.s);
        const QString text = QString::fromUtf8(bytes);
        if (text.toUtf8() == bytes)
            object.insert(QStringLiteral("v"), text);
        else
            object.insert(QStringLiteral("hex"), QString::fromStdString(hex(value.s)));
        break;
    }
    case WireType::WString:
        object.insert(QStringLiteral("hex"), QString::fromStdString(hex(value.s)));
        break;
    case WireType::Struct:
        object.insert(QStringLiteral("levels"), levelsJson(value));
        break;
    case WireType::List:
    case WireType::Set:
    case WireType::Map: {
        const bool isMap = value.type == WireType::Map;
        if (isMap)
            object.insert(QStringLiteral("kt"), wireTypeName(value.keyType));
        object.insert(isMap ? QStringLiteral("vt") : QStringLiteral("et"), wireTypeName(value.elementType));
        QJsonArray elements;
        const bool packed = isPacked(value);
        const std::size_t step = isMap ? 2 : 1;
        const std::size_t stored = packed ? value.count : value.elements.size();
        const std::size_t shown = std::min<std::size_t>(stored, kJsonElementLimit * step);
        for (std::size_t n = 0; n + step <= shown; n += step) {
            if (isMap)
                elements.append(QJsonArray{bareJson(value.elements[n]), bareJson(value.elements[n + 1])});
            else
                elements.append(bareJson(packed ? elementAt(value, n) : value.elements[n]));
        }
        object.insert(QStringLiteral("v"), elements);
        const bool countOnly = isValueless(static_cast<std::uint8_t>(value.elementType))
                               && (!isMap || isValueless(static_cast<std::uint8_t>(value.keyType)));
        const std::size_t total = countOnly ? value.count : stored / step;
        if (total != static_cast<std::size_t>(elements.size()))
            object.insert(QStringLiteral("n"), static_cast<double>(total));
        break;
    }
    default:
        break;
    }
    return object;
}

QJsonObject structToJson(const Value& value)
{
    QJsonObject object;
    object.insert(QStringLiteral("levels"), levelsJson(value));
    return object;
}

std::optional<Value> valueFromJson(const QJsonObject& object, QString* error)
{
    const auto type = wireTypeFromName(object.value(QStringLiteral("t")).toString());
    if (!type || static_cast<int>(*type) < 2) {
        if (error)
            *error = QStringLiteral("unknown type \"%1\"").arg(object.value(QStringLiteral("t")).toString());
        return std::nullopt;
    }
    return typedFromJson(*type, object, error, 0);
}

std::optional<Value> structFromJson(const QJsonObject& object, QString* error)
{
    return typedFromJson(WireType::Struct, object, error, 0);
}

} // namespace orlex_standin
