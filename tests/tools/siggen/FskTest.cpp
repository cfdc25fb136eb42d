#include "Fsk.h"

#include "Measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace siggen;

namespace {

Bits repeated(uint8_t bit, size_t n)
{
    return Bits(n, bit);
}

}  // namespace

TEST(Fsk, OnesAndZerosHaveTheirTones)
{
    for (uint32_t rate : {8000u, 11025u, 22050u, 44100u}) {
        for (uint8_t bit : {1, 0}) {
            FskModulator fsk(rate, 1200, 1200, 1800, 0.5);
            Samples s;
            fsk.modulate(s, repeated(bit, 2400));  // two seconds
            EXPECT_EQ(s.size(), 2u * rate);
            EXPECT_NEAR(zeroCrossingFrequency(s, rate), bit ? 1200.0 : 1800.0, 1.0) << rate;
        }
    }
}

TEST(Fsk, PhaseIsTheIntegralOfTheBitFrequencies)
{
    // phase written straight from its definition: whole cycles of the bits before, plus the
    // current bit's frequency times the time into it
    const uint32_t rate = 11025;
    Bits bits;
    uint32_t x = 12345;
    for (int i = 0; i < 300; ++i) {
        x = x * 1103515245u + 12345u;
        bits.push_back((x >> 16) & 1);
    }
    FskModulator fsk(rate, 1200, 1200, 1800, 0.7);
    Samples s;
    fsk.modulate(s, Bits(bits.begin(), bits.begin() + 117));  // split in two calls on purpose
    fsk.modulate(s, Bits(bits.begin() + 117, bits.end()));
    EXPECT_EQ(fsk.bitsSent(), 300u);
    ASSERT_EQ(s.size(), (300u * rate + 1199) / 1200);
    for (size_t n = 0; n < s.size(); ++n) {
        const long double t = static_cast<long double>(n) / rate;
        const size_t k = static_cast<size_t>(std::floor(t * 1200 + 1e-12L));
        long double cycles = 0;
        for (size_t j = 0; j < k; ++j)
            cycles += bits[j] ? 1.0L : 1.5L;
        cycles += (bits[k] ? 1200.0L : 1800.0L) * (t - static_cast<long double>(k) / 1200);
        ASSERT_NEAR(s[n], 0.7 * std::sin(2 * std::numbers::pi * static_cast<double>(cycles - std::floor(cycles))), 1e-9)
            << "sample " << n;
    }
}

TEST(Fsk, AppendBitsSendsMostSignificantFirst)
{
    Bits b;
    appendBits(b, 0xC4D7, 16);
    EXPECT_EQ(b, (Bits{1, 1, 0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 0, 1, 1, 1}));
}
