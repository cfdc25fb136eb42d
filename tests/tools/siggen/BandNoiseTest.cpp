// Band-limited noise: the asked ratio, and its power inside the band.
#include "BandNoise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <numbers>

namespace {

// Mean power of the samples at one frequency (Goertzel), per sample.
double powerAt(const siggen::Samples& s, double hz, uint32_t rate)
{
    const double w = 2 * std::numbers::pi * hz / rate;
    double s1 = 0, s2 = 0;
    for (double x : s) {
        const double s0 = x + 2 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - 2 * std::cos(w) * s1 * s2) / double(s.size());
}

TEST(BandNoise, AddsTheAskedRatioAndKeepsToTheBand)
{
    constexpr uint32_t rate = 11025;
    struct Case {
        double snr;
    };
    for (const Case c : {Case{20.0}, Case{6.0}, Case{0.0}}) {
        SCOPED_TRACE(c.snr);
        siggen::Samples tone(rate * 4);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = 0.3 * std::sin(2 * std::numbers::pi * 1500.0 * double(i) / rate);
        siggen::Samples mixed = tone;
        siggen::Random random(7);
        const double rms = siggen::addBandNoise(mixed, c.snr, 300, 3300, rate, random);
        siggen::Samples noise(mixed.size());
        for (size_t i = 0; i < mixed.size(); ++i)
            noise[i] = mixed[i] - tone[i];
        EXPECT_NEAR(siggen::meanPower(noise), rms * rms, 1e-9);
        EXPECT_NEAR(10 * std::log10(siggen::meanPower(tone) / siggen::meanPower(noise)), c.snr, 0.01);
        // Well outside the band the noise is at least 30 dB below its level inside (a few bins
        // each, as one bin of noise varies a lot).
        auto mean = [&](std::initializer_list<double> hz) {
            double sum = 0;
            for (double f : hz)
                sum += powerAt(noise, f, rate);
            return sum / double(hz.size());
        };
        const double inside = mean({600, 900, 1200, 1800, 2100, 2400, 2700, 3000});
        EXPECT_LT(mean({10, 20, 30, 40}), inside * 1e-3);
        EXPECT_LT(mean({4700, 4900, 5100, 5300}), inside * 1e-3);
    }
}

TEST(BandNoise, SilenceGetsNoNoise)
{
    siggen::Samples quiet(1000, 0.0);
    siggen::Random random(1);
    EXPECT_EQ(siggen::addBandNoise(quiet, 10.0, 300, 3300, 11025, random), 0.0);
    for (double x : quiet)
        EXPECT_EQ(x, 0.0);
}

}  // namespace
