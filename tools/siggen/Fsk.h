#pragma once
// Continuous-phase frequency-shift keying: each bit holds its tone for exactly 1/baud seconds and
// the phase runs on across bit boundaries, computed from the exact bit times (no drift).
#include "Signal.h"

#include <cstdint>
#include <vector>

namespace siggen {

using Bits = std::vector<uint8_t>;  // one bit (0 or 1) per element, first sent first

// Appends the `width` low bits of value, most significant first.
void appendBits(Bits& bits, uint64_t value, int width);

class FskModulator {
public:
    FskModulator(uint32_t rate, uint32_t baud, double freqOne, double freqZero, double amplitude);

    // Appends the samples of the bits, carrying on from the previous call.
    void modulate(Samples& out, const Bits& bits);

    uint64_t bitsSent() const { return bit_; }

private:
    uint32_t rate_, baud_;
    double freqOne_, freqZero_, amplitude_;
    uint64_t bit_ = 0;     // index of the next bit
    uint64_t sample_ = 0;  // index of the next sample
    double cycles_ = 0.0;  // phase at the start of the next bit, in cycles [0, 1)
};

}  // namespace siggen
