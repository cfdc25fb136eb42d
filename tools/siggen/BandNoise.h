#pragma once
// Noise as a receiver's audio has it: white Gaussian noise limited to a band (300-3300 Hz).
#include "Signal.h"

namespace siggen {

// n samples of white Gaussian noise through a band-pass lowHz..highHz, unscaled.
Samples bandPassNoise(size_t n, double lowHz, double highHz, uint32_t rate, Random& random);

// Adds noise limited to lowHz..highHz whose power is the signal's mean power divided by 10^(snr/10).
// Returns the noise rms used. A silent signal gets no noise.
double addBandNoise(Samples& s, double snrDb, double lowHz, double highHz, uint32_t rate, Random& random);

}  // namespace siggen
