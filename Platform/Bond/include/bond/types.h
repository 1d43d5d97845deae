// Data types, field modifiers and the metadata records of schema structs and fields.
#pragma once

#include <cstdint>
#include <string_view>

namespace bond {

// Wire type numbers of the Compact Binary protocol.
enum BondDataType : std::uint8_t
{
    BT_STOP = 0,
    BT_STOP_BASE = 1,
    BT_BOOL = 2,
    BT_UINT8 = 3,
    BT_UINT16 = 4,
    BT_UINT32 = 5,
    BT_UINT64 = 6,
    BT_FLOAT = 7,
    BT_DOUBLE = 8,
    BT_STRING = 9,
    BT_STRUCT = 10,
    BT_LIST = 11,
    BT_SET = 12,
    BT_MAP = 13,
    BT_INT8 = 14,
    BT_INT16 = 15,
    BT_INT32 = 16,
    BT_INT64 = 17,
    BT_WSTRING = 18,
    BT_UNAVAILABLE = 127
};

enum class Modifier : std::uint8_t
{
    Optional,
    Required,
    RequiredOptional
};

// A declared default. Unsigned integers and bool (0 or 1) use uint_value, signed integers
// int_value, float and double double_value (a float widened), strings string_value. A field
// without a declared default has every slot zero or empty.
struct Variant
{
    std::uint64_t uint_value = 0;
    std::int64_t int_value = 0;
    double double_value = 0.0;
    std::string_view string_value;
    bool nothing = false;
};

// The record of a struct (name, qualified name) or of a field (name, modifier, default).
struct Metadata
{
    std::string_view name;
    std::string_view qualified_name;
    Modifier modifier = Modifier::Optional;
    Variant default_value;
};

} // namespace bond
