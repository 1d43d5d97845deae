// Building message bodies as the protocol's writers do: a field equal to its declared default is
// left out.
#pragma once

#include "scene.h"
#include "wire.h"

namespace orlex_standin {

void putInt32(Level& level, std::uint16_t id, std::int64_t v, std::int64_t fallback = 0);
void putUInt64(Level& level, std::uint16_t id, std::uint64_t v);
void putDouble(Level& level, std::uint16_t id, double v, double fallback = 0);
void putFloat(Level& level, std::uint16_t id, double v, double fallback = 0);
void putBool(Level& level, std::uint16_t id, bool v, bool fallback = false);
void putString(Level& level, std::uint16_t id, const std::string& v);
void putStrings(Level& level, std::uint16_t id, const std::vector<std::string>& values);
Value positionStruct(const Vec3& v);
Value rotationStruct(const Quat& q);
// The ViewerMessage part: ViewerId, Confirmation at its default.
Level viewerPart(std::int32_t viewerId);

} // namespace orlex_standin
