#pragma once
// Measurements the generator's tests make on the samples they get.
#include "Signal.h"

#include <cstdint>

// Frequency from the number of sign changes over the samples.
inline double zeroCrossingFrequency(const siggen::Samples& s, uint32_t rate)
{
    int crossings = 0;
    for (size_t i = 1; i < s.size(); ++i)
        if ((s[i - 1] < 0) != (s[i] < 0))
            ++crossings;
    return crossings / 2.0 / (static_cast<double>(s.size()) / rate);
}
