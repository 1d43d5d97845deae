// Run-time description of the protocol structs: struct, field and type records with generic
// access to the members, for code that handles every struct the same way.
#pragma once

#include "bond/nullable.h"
#include "bond/types.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace Dremm::Orlex::Schema {

struct StructDef;

// What a struct is used for on the viewer pipes.
enum class Direction : std::uint8_t
{
    Sent,            // sent by this program
    Received,        // received from the viewer server
    SentAndReceived,
    Base,            // only the base part of other structs
    Nested,          // only a field type of other structs
    Header,          // the message header
    SchemaOnly       // declared, neither sent nor received
};

enum class Container : std::uint8_t
{
    None,
    List,     // std::vector<element>
    Nullable, // bond::nullable<element>
    Map       // std::map<key, element>
};

// Access to a std::vector member; pointers point to the vector and to its elements.
struct ListOps
{
    std::size_t (*size)(const void* list);
    void (*resize)(void* list, std::size_t count); // new elements start at their defaults
    void* (*at)(void* list, std::size_t index);
    const void* (*constAt)(const void* list, std::size_t index);
};

// Access to a bond::nullable member.
struct NullableOps
{
    bool (*hasValue)(const void* nullable);
    const void* (*value)(const void* nullable); // null when empty
    void* (*set)(void* nullable);               // the held value, or a new one at its defaults
    void (*reset)(void* nullable);
};

// Access to a std::map member.
struct MapOps
{
    std::size_t (*size)(const void* map);
    // Calls visit(context, key, value) for each entry, in ascending key order.
    void (*forEach)(const void* map, void* context,
                    void (*visit)(void* context, const void* key, const void* value));
    void* (*insert)(void* map, const void* key); // the value of key, created when missing
    void (*clear)(void* map);
};

// The type of a field, a list element, a nullable value or a map key or value.
//   id BT_BOOL bool, BT_UINT8 std::uint8_t, BT_UINT32 std::uint32_t, BT_UINT64 std::uint64_t,
//   BT_INT32 std::int32_t, BT_INT64 std::int64_t, BT_FLOAT float, BT_DOUBLE double,
//   BT_STRING std::string, BT_STRUCT the struct of structDef,
//   BT_LIST with container List or Nullable, BT_MAP with container Map.
struct TypeDef
{
    bond::BondDataType id;
    Container container;
    const TypeDef* element;     // List and Nullable: the element; Map: the value
    const TypeDef* key;         // Map: the key
    const StructDef* structDef; // BT_STRUCT
    const ListOps* list;        // List
    const NullableOps* nullable; // Nullable
    const MapOps* map;          // Map
};

// One field of a struct's own part.
struct FieldDef
{
    std::uint16_t id;
    bond::Metadata metadata; // name, Optional, declared default
    const TypeDef* type;
    // The member inside an object of the struct that lists this field (not of a derived one).
    void* (*member)(void* object);
    const void* (*constMember)(const void* object);
};

template <typename T>
struct Span
{
    const T* first;
    std::size_t count;

    const T* begin() const { return first; }
    const T* end() const { return first + count; }
    std::size_t size() const { return count; }
    bool empty() const { return count == 0; }
    const T& operator[](std::size_t index) const { return first[index]; }
};

struct StructDef
{
    bond::Metadata metadata; // short name, dotted qualified name
    Direction direction;
    const StructDef* base;   // null for a struct without base
    Span<FieldDef> fields;   // own fields in declaration order, ids ascending
    void* (*toBase)(void* object);              // the base part of an object; null without base
    const void* (*toConstBase)(const void* object);
    void* (*create)();                           // a new object at its declared defaults
    void (*destroy)(void* object);               // deletes an object made by create

    // The own field with this id, or null.
    const FieldDef* findField(std::uint16_t id) const;
};

// The record of the protocol struct T (defined for every protocol struct).
template <typename T>
const StructDef& structDef();

// Every protocol struct, in declaration order.
Span<StructDef> allStructs();

// The struct with this dotted qualified name ("Tavrin.Dremm.Orlex.CreateCubeMessage"), or null.
const StructDef* findStruct(std::string_view qualifiedName);

namespace detail {

template <typename List>
struct ListOpsOf
{
    static std::size_t size(const void* list) { return static_cast<const List*>(list)->size(); }
    static void resize(void* list, std::size_t count) { static_cast<List*>(list)->resize(count); }
    static void* at(void* list, std::size_t index) { return &(*static_cast<List*>(list))[index]; }
    static const void* constAt(const void* list, std::size_t index)
    {
        return &(*static_cast<const List*>(list))[index];
    }
    static constexpr ListOps ops{&size, &resize, &at, &constAt};
};

template <typename Nullable>
struct NullableOpsOf
{
    static bool hasValue(const void* n) { return static_cast<const Nullable*>(n)->hasvalue(); }
    static const void* value(const void* n)
    {
        const auto* nullable = static_cast<const Nullable*>(n);
        return nullable->hasvalue() ? &nullable->value() : nullptr;
    }
    static void* set(void* n) { return &static_cast<Nullable*>(n)->set(); }
    static void reset(void* n) { static_cast<Nullable*>(n)->reset(); }
    static constexpr NullableOps ops{&hasValue, &value, &set, &reset};
};

template <typename Map>
struct MapOpsOf
{
    static std::size_t size(const void* map) { return static_cast<const Map*>(map)->size(); }
    static void forEach(const void* map, void* context,
                        void (*visit)(void* context, const void* key, const void* value))
    {
        for (const auto& entry : *static_cast<const Map*>(map))
            visit(context, &entry.first, &entry.second);
    }
    static void* insert(void* map, const void* key)
    {
        return &(*static_cast<Map*>(map))[*static_cast<const typename Map::key_type*>(key)];
    }
    static void clear(void* map) { static_cast<Map*>(map)->clear(); }
    static constexpr MapOps ops{&size, &forEach, &insert, &clear};
};

} // namespace detail

} // namespace Dremm::Orlex::Schema
