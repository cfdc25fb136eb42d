#pragma once
// Noise for the decoders' sensitivity tables, from the signal generator's: white Gaussian noise, or
// noise limited to 300-3300 Hz (the audio band of a receiver), at a signal-to-noise ratio.
#include "../tools/siggen/BandNoise.h"
#include "Signal.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bench {

// n samples of noise limited to 300-3300 Hz, unscaled.
inline siggen::Samples bandNoise(size_t n, double rate, siggen::Random& r)
{
    return siggen::bandPassNoise(n, 300, 3300, static_cast<uint32_t>(rate), r);
}

// Adds white noise, or noise limited to 300-3300 Hz when band, at snrDb below the signal's mean power.
inline void addNoise(siggen::Samples& x, double snrDb, bool band, uint32_t rate, siggen::Random& r)
{
    if (band)
        siggen::addBandNoise(x, snrDb, 300, 3300, rate, r);
    else
        siggen::addNoise(x, snrDb, r);
}

// x plus noise (white, or band-limited when band) at snrDb below the signal's mean power; 16-bit.
inline std::vector<int16_t> withNoise(const siggen::Samples& x, double rate, double snrDb, bool band, uint64_t seed)
{
    siggen::Samples y = x;
    siggen::Random r(seed);
    addNoise(y, snrDb, band, static_cast<uint32_t>(rate), r);
    std::vector<int16_t> out(y.size());
    for (size_t i = 0; i < y.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(y[i], -1.0, 1.0) * 32767);
    return out;
}

}  // namespace bench
