#include "Fsk.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace siggen {

void appendBits(Bits& bits, uint64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        bits.push_back(static_cast<uint8_t>((value >> i) & 1u));
}

FskModulator::FskModulator(uint32_t rate, uint32_t baud, double freqOne, double freqZero, double amplitude)
    : rate_(rate), baud_(baud), freqOne_(freqOne), freqZero_(freqZero), amplitude_(amplitude)
{
    if (rate == 0 || baud == 0)
        throw std::invalid_argument("sampling rate and bit rate must be above 0");
}

void FskModulator::modulate(Samples& out, const Bits& bits)
{
    const double span = static_cast<double>(rate_) * baud_;
    for (uint8_t bit : bits) {
        const double freq = bit ? freqOne_ : freqZero_;
        // samples n with bit_ / baud <= n / rate < (bit_ + 1) / baud
        const uint64_t end = ((bit_ + 1) * rate_ + baud_ - 1) / baud_;
        for (; sample_ < end; ++sample_) {
            const double since = static_cast<double>(sample_ * baud_ - bit_ * rate_) / span;  // seconds
            out.push_back(amplitude_ * std::sin(2.0 * std::numbers::pi * (cycles_ + freq * since)));
        }
        cycles_ += freq / baud_;
        cycles_ -= std::floor(cycles_);
        ++bit_;
    }
}

}  // namespace siggen
