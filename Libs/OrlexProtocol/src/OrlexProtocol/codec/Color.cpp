#include "OrlexProtocol/codec/Color.h"

#include <cmath>

namespace Tavrin::Dremm::Orlex
{

Color makeColor(float r, float g, float b, float a)
{
    Color color;
    color.R = r;
    color.G = g;
    color.B = b;
    color.A = a;
    return color;
}

Color makeColorFromBytes(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t a)
{
    return makeColor(static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                     static_cast<float>(b) / 255.0f, static_cast<float>(a) / 255.0f);
}

Color makeColorFromHsv(double hue, double saturation, double value, float alpha)
{
    if (!std::isfinite(hue))
        hue = 0.0;
    const double h6 = hue / 60.0;
    const double k = std::floor(h6);
    const double f = h6 - k;
    double wrapped = std::fmod(k, 6.0);
    if (wrapped < 0)
        wrapped += 6.0;
    const int sector = static_cast<int>(wrapped);

    const auto v = static_cast<float>(value);
    const auto p = static_cast<float>((1.0 - saturation) * value);
    const auto q = static_cast<float>((1.0 - f * saturation) * value);
    const auto t = static_cast<float>((1.0 - (1.0 - f) * saturation) * value);
    switch (sector) {
    case 0: return makeColor(v, t, p, alpha);
    case 1: return makeColor(q, v, p, alpha);
    case 2: return makeColor(p, v, t, alpha);
    case 3: return makeColor(p, q, v, alpha);
    case 4: return makeColor(t, p, v, alpha);
    default: return makeColor(v, p, q, alpha);
    }
}

} // namespace Tavrin::Dremm::Orlex
