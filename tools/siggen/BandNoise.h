#pragma once
// Noise as a receiver's audio carries it: white Gaussian noise limited to a band (300-3300 Hz by
// default) by a windowed-sinc band-pass filter, added at a chosen signal-to-noise ratio.
#include "Signal.h"

#include <cstdint>

namespace siggen {

// Adds band-limited noise whose power is the signal's mean power divided by 10^(snr/10). Returns
// the noise rms used. A silent signal gets no noise.
double addBandNoise(Samples& s, double snrDb, uint32_t rate, Random& random, double lowHz = 300.0,
                    double highHz = 3300.0);

}  // namespace siggen
