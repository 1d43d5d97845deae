#pragma once
// Builds the protocol Color from the forms the view holds colours in: floats, 0-255 integers, HSV.

#include "OrlexProtocol/Structs.h"

#include <cstdint>

namespace Tavrin::Dremm::Orlex
{

// Each component stored unchanged.
Color makeColor(float r, float g, float b, float a);

// Each component divided by 255 in single precision; nothing is clamped.
Color makeColorFromBytes(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t a);

// Hue in degrees (wrapped into 0 to 360, also when negative; a hue that is not a finite number
// counts as 0), saturation and value 0 to 1 (not clamped); alpha stored unchanged.
Color makeColorFromHsv(double hue, double saturation, double value, float alpha);

} // namespace Tavrin::Dremm::Orlex
