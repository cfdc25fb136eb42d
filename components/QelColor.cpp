#include "QelColor.h"
#include <platform/ui/Canvas.h>

namespace {

uint32_t packByte(uint32_t colour, int shift, __int128 value)
{
    const uint32_t b = (value > 255 || value < 0) ? 255u : static_cast<uint32_t>(value);
    return colour | (b << shift);
}

} // namespace

uint32_t InterpolatedColor(uint32_t color1, uint32_t color2, int64_t n, int64_t i)
{
    color1 = platform::ColorToRGB(color1);
    color2 = platform::ColorToRGB(color2);
    if (n == 0)
        return color1;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const __int128 a = (color1 >> shift) & 0xFF;
        const __int128 b = (color2 >> shift) & 0xFF;
        out = packByte(out, shift, a + (b - a) * i / n);
    }
    return out;
}

uint32_t PonderatedColor(uint32_t color, int64_t i, int64_t n)
{
    color = platform::ColorToRGB(color);
    if (n == 0)
        return color;
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const __int128 a = (color >> shift) & 0xFF;
        out = packByte(out, shift, a * i / n);
    }
    return out;
}
