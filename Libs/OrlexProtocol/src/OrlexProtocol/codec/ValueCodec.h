#pragma once
// Writing and tolerant reading of field values (numbers, texts, lists, nullables, maps, structs),
// the building blocks of the generated per-struct writers and readers.

#include "OrlexProtocol/codec/CompactBinaryReader.h"
#include "OrlexProtocol/codec/CompactBinaryWriter.h"
#include "bond/nullable.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace Dremm::Orlex::Codec
{

using Writer = ::bond::CompactBinaryWriter<::bond::OutputBuffer>;

namespace detail
{

// Specialised by the generated code for every protocol struct:
//   static void write(Writer&, const T&, bool asBase);
// and for structs of bounded size also
//   static constexpr std::size_t kBound;  the most bytes the struct can take
//   static std::uint8_t* put(std::uint8_t* p, const T&, bool asBase);  writes at p, returns the end
//   template <typename Input> static bond::BondDataType readParts(bond::CompactBinaryReader<Input>&, T&);
//   static void clear(T&);  every field back at its declared default, lists and texts keeping memory
// readParts reads the base parts and the own fields and returns the stop byte that ended them.
template <typename T>
struct StructIO;

template <typename T>
struct IsList : std::false_type
{
};
template <typename T, typename A>
struct IsList<std::vector<T, A>> : std::true_type
{
};
template <typename T>
struct IsNullable : std::false_type
{
};
template <typename T>
struct IsNullable<::bond::nullable<T>> : std::true_type
{
};
template <typename T>
struct IsMap : std::false_type
{
};
template <typename K, typename V, typename C, typename A>
struct IsMap<std::map<K, V, C, A>> : std::true_type
{
};

// The wire type a value of T is written with.
template <typename T>
constexpr ::bond::BondDataType wireTypeOf()
{
    using namespace ::bond;
    if constexpr (std::is_same_v<T, bool>)
        return BT_BOOL;
    else if constexpr (std::is_same_v<T, std::uint8_t>)
        return BT_UINT8;
    else if constexpr (std::is_same_v<T, std::uint16_t>)
        return BT_UINT16;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return BT_UINT32;
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        return BT_UINT64;
    else if constexpr (std::is_same_v<T, std::int8_t>)
        return BT_INT8;
    else if constexpr (std::is_same_v<T, std::int16_t>)
        return BT_INT16;
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return BT_INT32;
    else if constexpr (std::is_same_v<T, std::int64_t>)
        return BT_INT64;
    else if constexpr (std::is_same_v<T, float>)
        return BT_FLOAT;
    else if constexpr (std::is_same_v<T, double>)
        return BT_DOUBLE;
    else if constexpr (std::is_same_v<T, std::string>)
        return BT_STRING;
    else if constexpr (std::is_same_v<T, std::u16string>)
        return BT_WSTRING;
    else if constexpr (IsList<T>::value || IsNullable<T>::value)
        return BT_LIST;
    else if constexpr (IsMap<T>::value)
        return BT_MAP;
    else
        return BT_STRUCT;
}

template <typename T>
constexpr bool isScalar()
{
    constexpr auto t = wireTypeOf<T>();
    return t != ::bond::BT_LIST && t != ::bond::BT_MAP && t != ::bond::BT_STRUCT;
}

// Whether a value of this wire type can be read into T (integers widen within their signedness,
// float widens into double; containers and structs take only their own wire type).
template <typename T>
bool accepts(::bond::BondDataType wire)
{
    using namespace ::bond;
    constexpr BondDataType own = wireTypeOf<T>();
    if (wire == own)
        return true;
    switch (own) {
    case BT_UINT16: return wire == BT_UINT8;
    case BT_UINT32: return wire == BT_UINT8 || wire == BT_UINT16;
    case BT_UINT64: return wire == BT_UINT8 || wire == BT_UINT16 || wire == BT_UINT32;
    case BT_INT16: return wire == BT_INT8;
    case BT_INT32: return wire == BT_INT8 || wire == BT_INT16;
    case BT_INT64: return wire == BT_INT8 || wire == BT_INT16 || wire == BT_INT32;
    case BT_DOUBLE: return wire == BT_FLOAT;
    default: return false;
    }
}

// ---- Writing --------------------------------------------------------------------------------------

// Values of bounded size are written straight through a pointer into room reserved beforehand, so
// that a run of them costs one check of the buffer.
namespace raw
{
CORV_CODEC_INLINE std::uint8_t* putVarUInt64(std::uint8_t* p, std::uint64_t value)
{
    while (value >= 0x80) {
        *p++ = static_cast<std::uint8_t>(value | 0x80);
        value >>= 7;
    }
    *p++ = static_cast<std::uint8_t>(value);
    return p;
}

template <typename T>
CORV_CODEC_INLINE std::uint8_t* put(std::uint8_t* p, T value)
{
    if constexpr (std::is_same_v<T, bool>) {
        *p = value ? 1 : 0;
        return p + 1;
    } else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int8_t>) {
        *p = static_cast<std::uint8_t>(value);
        return p + 1;
    } else if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>) {
        const auto u = static_cast<std::uint32_t>(value);
        return putVarUInt64(p, (u << 1) ^ static_cast<std::uint32_t>(static_cast<std::int32_t>(value) >> 31));
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        return putVarUInt64(p, (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63));
    } else if constexpr (std::is_integral_v<T>) {
        return putVarUInt64(p, value);
    } else {
        static_assert(std::is_floating_point_v<T>, "no fixed-size form for this type");
        std::memcpy(p, &value, sizeof value);
        return p + sizeof value;
    }
}
} // namespace raw

template <typename T>
CORV_CODEC_INLINE void writeValue(Writer& writer, const T& value)
{
    if constexpr (std::is_same_v<T, bool>)
        writer.writeBool(value);
    else if constexpr (std::is_same_v<T, std::uint8_t>)
        writer.writeUInt8(value);
    else if constexpr (std::is_same_v<T, std::int8_t>)
        writer.writeInt8(value);
    else if constexpr (std::is_same_v<T, std::int16_t>)
        writer.writeInt16(value);
    else if constexpr (std::is_same_v<T, std::int32_t>)
        writer.writeInt32(value);
    else if constexpr (std::is_same_v<T, std::int64_t>)
        writer.writeInt64(value);
    else if constexpr (std::is_integral_v<T>)
        writer.writeVarUInt64(value);
    else if constexpr (std::is_same_v<T, float>)
        writer.writeFloat(value);
    else if constexpr (std::is_same_v<T, double>)
        writer.writeDouble(value);
    else if constexpr (std::is_same_v<T, std::string>)
        writer.writeString(value);
    else if constexpr (std::is_same_v<T, std::u16string>)
        writer.writeWString(value);
    else if constexpr (IsList<T>::value) {
        using E = typename T::value_type;
        writer.writeContainerBegin(value.size(), wireTypeOf<E>());
        if constexpr (std::is_same_v<E, double>)
            writer.writeDoubles(value.data(), value.size());
        else if constexpr (std::is_same_v<E, float>)
            writer.writeFloats(value.data(), value.size());
        else if constexpr (std::is_same_v<E, std::uint8_t>)
            writer.output().write(value.data(), value.size());
        else
            for (const auto& element : value)
                writeValue(writer, static_cast<const E&>(element));
    } else if constexpr (IsNullable<T>::value) {
        using E = typename T::value_type;
        if (value.hasvalue()) {
            writer.writeContainerBegin(1, wireTypeOf<E>());
            writeValue(writer, value.value());
        } else {
            writer.writeContainerBegin(0, wireTypeOf<E>());
        }
    } else if constexpr (IsMap<T>::value) {
        writer.writeContainerBegin(value.size(), wireTypeOf<typename T::key_type>(), wireTypeOf<typename T::mapped_type>());
        for (const auto& [key, mapped] : value) {
            writeValue(writer, key);
            writeValue(writer, mapped);
        }
    } else {
        StructIO<T>::write(writer, value, false);
    }
}

// ---- Reading --------------------------------------------------------------------------------------

// A list's memory may run this far ahead of the bytes that have arrived for it; beyond that it
// grows only as elements are read.
inline constexpr std::size_t kAllocationAhead = 1024 * 1024;
// Blocks of fixed-size elements are read in pieces of this many bytes.
inline constexpr std::size_t kBlockBytes = 64 * 1024;

[[noreturn]] void throwStructStop(const char* qualifiedName);

template <typename Input, typename T>
CORV_CODEC_INLINE bool readValue(::bond::CompactBinaryReader<Input>& reader, ::bond::BondDataType wire, T& value);

// A whole struct: its parts, then everything up to its 00 (an early 01 ends its own fields).
template <typename Input, typename T>
void readStruct(::bond::CompactBinaryReader<Input>& reader, T& value)
{
    typename ::bond::CompactBinaryReader<Input>::Nesting nesting(reader);
    if (StructIO<T>::readParts(reader, value) == ::bond::BT_STOP_BASE)
        reader.skipStructRest();
}

// A whole struct into value, which holds an earlier one: the result is that of reading into a
// fresh value, the memory of its lists and texts is used again.
template <typename Input, typename T>
void readStructReusing(::bond::CompactBinaryReader<Input>& reader, T& value)
{
    StructIO<T>::clear(value);
    readStruct(reader, value);
}

// A struct as the base part of a derived one; true when it ended with 01.
template <typename Input, typename T>
bool readBase(::bond::CompactBinaryReader<Input>& reader, T& value)
{
    typename ::bond::CompactBinaryReader<Input>::Nesting nesting(reader);
    return StructIO<T>::readParts(reader, value) == ::bond::BT_STOP_BASE;
}

[[noreturn]] void throwTooMany(std::uint32_t count, const char* what);

// For the generated readers' one-step cases: a varint that ends before end within 10 bytes, its
// value and the byte after it; null otherwise (the generic reader takes it then).
CORV_CODEC_INLINE const std::uint8_t* fastVarint(const std::uint8_t* p, const std::uint8_t* end, std::uint64_t& value)
{
    if (p != end && *p < 0x80) {
        value = *p;
        return p + 1;
    }
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(end - p), 10);
    std::uint64_t result = 0;
    for (std::size_t i = 0; i < n; ++i) {
        result |= static_cast<std::uint64_t>(p[i] & 0x7F) << (7 * i);
        if (p[i] < 0x80) {
            value = result;
            return p + i + 1;
        }
    }
    return nullptr;
}

CORV_CODEC_INLINE std::int32_t zigzag32(std::uint32_t v)
{
    return static_cast<std::int32_t>((v >> 1) ^ (0u - (v & 1u)));
}

CORV_CODEC_INLINE std::int64_t zigzag64(std::uint64_t v)
{
    return static_cast<std::int64_t>((v >> 1) ^ (0ull - (v & 1ull)));
}

// count elements of E, their wire type being E's own, straight from the input's window of received
// bytes into the list (a block at a time where the input has no window).
template <typename Input, typename E>
void readBlock(::bond::CompactBinaryReader<Input>& reader, std::vector<E>& values, std::uint32_t count)
{
    auto& input = reader.input();
    values.clear();
    values.reserve(std::min<std::size_t>(count, kAllocationAhead / sizeof(E)));
    std::size_t left = count;
    if (left != 0 && !input.fillWindow()) {
        E block[kBlockBytes / 16 / sizeof(E)];
        constexpr std::size_t blockCount = sizeof block / sizeof(E);
        while (left != 0) {
            const std::size_t n = std::min(left, blockCount);
            input.read(block, n * sizeof(E));
            values.insert(values.end(), block, block + n);
            left -= n;
        }
        return;
    }
    while (left != 0) {
        const std::size_t whole = input.windowSize() / sizeof(E);
        if (whole != 0) {
            const std::size_t n = std::min(left, whole);
            const std::uint8_t* p = input.windowData();
            if (n > 1) {
                // For a trivially copyable E, a range of pointers is inserted with one memmove,
                // which reads the possibly unaligned elements as bytes, at full width.
                static_assert(std::is_trivially_copyable_v<E>);
                const E* first = reinterpret_cast<const E*>(p);
                values.insert(values.end(), first, first + n);
            } else {
                E value;
                std::memcpy(&value, p, sizeof value);
                values.push_back(value);
            }
            input.advance(n * sizeof(E));
            left -= n;
        } else if (input.windowSize() == 0) {
            input.fillWindow();
        } else {
            // An element split over two receives, put together in its place in the list.
            const std::size_t first = input.windowSize();
            values.emplace_back();
            auto* target = reinterpret_cast<std::uint8_t*>(&values.back());
            std::memcpy(target, input.windowData(), first);
            input.advance(first);
            input.read(target + first, sizeof(E) - first);
            --left;
        }
    }
}

template <typename Input, typename E>
void readList(::bond::CompactBinaryReader<Input>& reader, std::vector<E>& values)
{
    std::uint32_t count;
    ::bond::BondDataType wire;
    reader.readContainerBegin(count, wire);
    if (!accepts<E>(wire)) {
        reader.skipElements(wire, count);
        return;
    }
    // The list's memory, not only its bytes on the wire, stays within a message's limit.
    if (count > QtClient::kMaxMessageBytes / sizeof(E))
        throwTooMany(count, "list elements");
    if constexpr (std::is_same_v<E, double> || std::is_same_v<E, float> || std::is_same_v<E, std::uint8_t>) {
        if (wire == wireTypeOf<E>()) {
            readBlock(reader, values, count);
            return;
        }
    }
    values.reserve(std::min<std::size_t>(count, kAllocationAhead / sizeof(E)));
    std::uint32_t i = 0;
    if constexpr (std::is_integral_v<E> && sizeof(E) >= 4) {
        // Varints of the list's own type straight from the window while it holds them.
        if (wire == wireTypeOf<E>()) {
            auto& input = reader.input();
            for (; i < count && input.windowSize() != 0; ++i) {
                const std::uint8_t* p = input.windowData();
                std::uint64_t v;
                const std::uint8_t* q = fastVarint(p, p + input.windowSize(), v);
                if (!q)
                    break;
                input.advance(static_cast<std::size_t>(q - p));
                E value;
                if constexpr (std::is_signed_v<E>)
                    value = static_cast<E>(sizeof(E) == 8 ? zigzag64(v) : zigzag32(static_cast<std::uint32_t>(v)));
                else
                    value = static_cast<E>(v);
                if (i < values.size())
                    values[i] = value;
                else
                    values.push_back(value);
            }
        }
    }
    for (; i < count; ++i) {
        if (i >= values.size())
            values.emplace_back();
        readValue(reader, wire, values[i]);
    }
    values.resize(count);
}

template <typename Input, typename E>
void readNullable(::bond::CompactBinaryReader<Input>& reader, ::bond::nullable<E>& value)
{
    std::uint32_t count;
    ::bond::BondDataType wire;
    reader.readContainerBegin(count, wire);
    if (!accepts<E>(wire)) {
        reader.skipElements(wire, count);
        return;
    }
    if (count == 0) {
        value.reset();
        return;
    }
    readValue(reader, wire, value.set());
    // Further elements are read and dropped.
    for (std::uint32_t i = 1; i < count; ++i) {
        E scratch{};
        readValue(reader, wire, scratch);
    }
}

template <typename Input, typename K, typename V, typename C, typename A>
void readMap(::bond::CompactBinaryReader<Input>& reader, std::map<K, V, C, A>& map)
{
    std::uint32_t count;
    ::bond::BondDataType keyWire, valueWire;
    reader.readContainerBegin(count, keyWire, valueWire);
    if (!isScalar<K>() || !accepts<K>(keyWire) || !accepts<V>(valueWire)) {
        reader.skipMapEntries(keyWire, valueWire, count);
        return;
    }
    // A map entry costs at least its key and value and a tree node of four words.
    if (count > QtClient::kMaxMessageBytes / (sizeof(K) + sizeof(V) + 4 * sizeof(void*)))
        throwTooMany(count, "map entries");
    map.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        K key{};
        readValue(reader, keyWire, key);
        readValue(reader, valueWire, map[key]);
    }
}

// Reads the value into T when the wire type fits and returns true; otherwise reads nothing and
// returns false, and the caller skips the value.
template <typename Input, typename T>
CORV_CODEC_INLINE bool readValue(::bond::CompactBinaryReader<Input>& reader, ::bond::BondDataType wire, T& value)
{
    if constexpr (isScalar<T>()) {
        return reader.readAs(wire, value);
    } else {
        if (wire != wireTypeOf<T>())
            return false;
        if constexpr (IsList<T>::value)
            readList(reader, value);
        else if constexpr (IsNullable<T>::value)
            readNullable(reader, value);
        else if constexpr (IsMap<T>::value)
            readMap(reader, value);
        else
            readStruct(reader, value);
        return true;
    }
}

} // namespace detail

} // namespace Dremm::Orlex::Codec
