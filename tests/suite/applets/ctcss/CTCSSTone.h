#pragma once
// A sine tone at the decoder's rate, rounded to 16-bit samples: the tone the window's tests feed it.
#include "CTCSSDetector.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<int16_t> CTCSSTone(double hz, size_t n = kCTCSSBlock, double amplitude = 3000)
{
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = int16_t(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / kCTCSSRate)));
    return s;
}
