#include "Signal.h"

#include "Measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace siggen;

TEST(Random, SequenceIsFixedBySeed)
{
    // xorshift64* after splitmix64 of seed 1; any change here changes every noise file
    Random r(1);
    EXPECT_EQ(r.next(), 0x4b46a55df3611b9bull);
    EXPECT_EQ(r.next(), 0xd7e1f1410e763ef4ull);
    EXPECT_EQ(r.next(), 0x5f14ec66975f9b06ull);

    Random a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const double x = a.gaussian();
        EXPECT_EQ(x, b.gaussian());
        differs |= x != c.gaussian();
    }
    EXPECT_TRUE(differs);
}

TEST(Random, GaussianHasUnitVarianceAndZeroMean)
{
    Random r(42);
    Samples s;
    appendNoise(s, 1.0, 200000, r);
    double sum = 0, within1 = 0;
    for (double x : s) {
        sum += x;
        within1 += std::fabs(x) < 1.0;
    }
    EXPECT_NEAR(sum / s.size(), 0.0, 0.01);
    EXPECT_NEAR(meanPower(s), 1.0, 0.02);
    EXPECT_NEAR(within1 / s.size(), 0.6827, 0.005);  // a uniform or clipped source fails this
}

TEST(Oscillator, ToneAndSquareHaveTheirFrequency)
{
    for (uint32_t rate : {8000u, 11025u, 44100u}) {
        for (double f : {300.0, 1200.0, 1800.0}) {
            Oscillator osc(rate, 0.25);
            Samples tone, square;
            osc.tone(tone, f, 0.5, rate * 2);
            Oscillator sq(rate, 0.25);
            sq.square(square, f, 0.5, rate * 2);
            EXPECT_NEAR(zeroCrossingFrequency(tone, rate), f, 1.0) << rate << " " << f;
            EXPECT_NEAR(zeroCrossingFrequency(square, rate), f, 1.0) << rate << " " << f;
            EXPECT_NEAR(*std::max_element(tone.begin(), tone.end()), 0.5, 0.01);
            EXPECT_DOUBLE_EQ(*std::max_element(square.begin(), square.end()), 0.5);
        }
    }
}

TEST(Sequence, StretchesJoinWithoutPhaseJump)
{
    const uint32_t rate = 11025;
    Random r(1);
    // 0.0101 s is not a whole number of cycles, so a reset phase would show at each join
    const Samples s = sequence({{Segment::Kind::Tone, 0.0101, 1000, 0.8},
                                {Segment::Kind::Tone, 0.0101, 2000, 0.8},
                                {Segment::Kind::Tone, 0.0101, 1000, 0.8}},
                               rate, r);
    ASSERT_EQ(s.size(), 3 * samplesFor(0.0101, rate));
    // the phase is the integral of the frequency: check every sample against it
    const size_t n = samplesFor(0.0101, rate);
    double cycles = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_NEAR(s[i], 0.8 * std::sin(2 * std::numbers::pi * cycles), 1e-9) << "sample " << i;
        cycles += (i / n == 1 ? 2000.0 : 1000.0) / rate;
    }
}

TEST(Sequence, LengthsAndKinds)
{
    Random r(3);
    const Samples s = sequence({{Segment::Kind::Silence, 0.5, 0, 0},
                                {Segment::Kind::Noise, 0.25, 0, 0.2},
                                {Segment::Kind::Square, 0.25, 100, 0.3}},
                               8000, r);
    ASSERT_EQ(s.size(), 8000u);
    EXPECT_EQ(meanPower(Samples(s.begin(), s.begin() + 4000)), 0.0);
    EXPECT_NEAR(std::sqrt(meanPower(Samples(s.begin() + 4000, s.begin() + 6000))), 0.2, 0.01);
    EXPECT_NEAR(meanPower(Samples(s.begin() + 6000, s.end())), 0.09, 1e-12);
}

TEST(Noise, SnrIsMetByTheAddedNoise)
{
    for (double snr : {-5.0, 0.0, 10.0, 30.0}) {
        Samples clean;
        Oscillator(11025).tone(clean, 1000, 0.5, 11025);
        Samples noisy = clean;
        Random r(9);
        addNoise(noisy, snr, r);
        Samples noise(clean.size());
        for (size_t i = 0; i < clean.size(); ++i)
            noise[i] = noisy[i] - clean[i];
        EXPECT_NEAR(10 * std::log10(meanPower(clean) / meanPower(noise)), snr, 0.2) << snr;
    }
    Samples silent(100, 0.0);
    Random r(1);
    EXPECT_EQ(addNoise(silent, 10, r), 0.0);
    EXPECT_EQ(meanPower(silent), 0.0);
}

TEST(Stereo, SignalOnItsChannelOtherPadded)
{
    const Samples sig = {0.1, 0.2, 0.3};
    const Samples other = {-0.5};
    const Audio left = stereo(sig, other, 0, 8000);
    EXPECT_EQ(left.samples, (std::vector<double>{0.1, -0.5, 0.2, 0.0, 0.3, 0.0}));
    const Audio right = stereo(sig, other, 1, 8000);
    EXPECT_EQ(right.samples, (std::vector<double>{-0.5, 0.1, 0.0, 0.2, 0.0, 0.3}));
    EXPECT_EQ(right.frames(), 3u);
    EXPECT_THROW(stereo(sig, other, 2, 8000), std::invalid_argument);
}
