// DTMF sequences and band-limited noise.
#include "BandNoise.h"
#include "Cli.h"
#include "Dtmf.h"
#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <sstream>

using namespace siggen;

namespace {

// Amplitude of the component at `freq` in s[begin, begin + n), by correlation.
double amplitudeAt(const Samples& s, size_t begin, size_t n, double freq, uint32_t rate)
{
    std::complex<double> sum = 0;
    for (size_t i = 0; i < n; ++i)
        sum += s[begin + i] * std::polar(1.0, -2 * std::numbers::pi * freq * double(i) / rate);
    return 2 * std::abs(sum) / double(n);
}

TEST(Dtmf, EveryKeyIsItsTwoTonesWithOffsetsAndTwist)
{
    struct Case {
        char key;
        double low, high;
    };
    const uint32_t rate = 11025;
    for (const Case& c : std::vector<Case>{{'1', 697, 1209}, {'5', 770, 1336}, {'9', 852, 1477}, {'D', 941, 1633},
                                           {'*', 941, 1209}, {'0', 941, 1336}, {'#', 941, 1477}, {'A', 697, 1633}}) {
        EXPECT_EQ(dtmf::tonesOf(c.key), std::make_pair(c.low, c.high)) << c.key;
        dtmf::Script s;
        s.digits = std::string(1, c.key);
        s.toneSeconds = 0.2;
        s.lowOffset = 0.015;
        s.highOffset = -0.015;
        s.twistDb = 6;
        s.amplitude = 0.6;
        const Samples out = dtmf::render(s, rate);
        const size_t lead = samplesFor(s.leadSeconds, rate), tone = samplesFor(0.2, rate);
        EXPECT_EQ(out.size(), lead + tone + samplesFor(s.tailSeconds, rate));
        const double low = amplitudeAt(out, lead, tone, c.low * 1.015, rate);
        const double high = amplitudeAt(out, lead, tone, c.high * 0.985, rate);
        EXPECT_NEAR(20 * std::log10(high / low), 6.0, 0.1) << c.key;
        EXPECT_NEAR(low + high, 0.6, 0.01) << c.key;
        EXPECT_LT(amplitudeAt(out, lead, tone, c.low, rate), low / 2) << "the tone is off its nominal frequency";
        EXPECT_EQ(out[lead - 1], 0.0);
        EXPECT_EQ(out[lead + tone], 0.0);
    }
    EXPECT_THROW(dtmf::tonesOf('E'), std::invalid_argument);
    dtmf::Script bad;
    bad.pauseSeconds = -1;
    EXPECT_THROW(dtmf::render(bad, rate), std::invalid_argument);
}

TEST(Dtmf, DigitsAreSeparatedByThePause)
{
    dtmf::Script s;
    s.digits = "123";
    s.toneSeconds = 0.05;
    s.pauseSeconds = 0.03;
    s.leadSeconds = 0;
    s.tailSeconds = 0;
    const Samples out = dtmf::render(s, 8000);
    ASSERT_EQ(out.size(), 3 * 400 + 2 * 240u);
    for (size_t i = 400; i < 640; ++i)
        ASSERT_EQ(out[i], 0.0) << i;
    EXPECT_GT(amplitudeAt(out, 640, 400, 1336, 8000), 0.2) << "the second key is 2";
}

TEST(BandNoise, NoiseLiesInTheBandAtTheAskedRatio)
{
    const uint32_t rate = 11025;
    Samples s(rate * 4);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = 0.5 * std::sin(2 * std::numbers::pi * 1000 * double(i) / rate);
    const Samples clean = s;
    Random random(9);
    addBandNoise(s, 10, 300, 3300, rate, random);
    Samples noise(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        noise[i] = s[i] - clean[i];
    EXPECT_NEAR(10 * std::log10(meanPower(clean) / meanPower(noise)), 10.0, 0.01);
    // Noise in the band, little outside it.
    const double inBand = amplitudeAt(noise, 0, s.size(), 2000, rate) + amplitudeAt(noise, 0, s.size(), 700, rate);
    const double below = amplitudeAt(noise, 0, s.size(), 100, rate) + amplitudeAt(noise, 0, s.size(), 50, rate);
    const double above = amplitudeAt(noise, 0, s.size(), 4500, rate) + amplitudeAt(noise, 0, s.size(), 5000, rate);
    EXPECT_LT(below, inBand / 10);
    EXPECT_LT(above, inBand / 10);
    Samples silent(100, 0.0);
    EXPECT_EQ(addBandNoise(silent, 10, 300, 3300, rate, random), 0.0);
}

}  // namespace

namespace {

TEST(Dtmf, CommandLineWritesTheSequenceAndRefusesUnknownKeys)
{
    testsupport::TempDir dir;
    const std::string f = (dir / "d.wav").string();
    std::ostringstream out, err;
    ASSERT_EQ(runCommandLine({"dtmf", "--digits", "12#", "--tone", "0.05", "--pause", "0.05", "--lead", "0",
                              "--tail", "0", "--twist", "3", "--offset-low", "1.5", "--out", f},
                             out, err),
              0)
        << err.str();
    const WavData w = readWav(f);
    EXPECT_EQ(w.rate, 11025u);
    EXPECT_EQ(w.frames(), 3 * samplesFor(0.05, 11025) + 2 * samplesFor(0.05, 11025));
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"dtmf", "--digits", "12E", "--out", f}, {"dtmf", "--digits", "1", "--tone", "-1", "--out", f},
             {"dtmf", "--digits", "1", "--twist", "x", "--out", f}}) {
        std::ostringstream o, e;
        EXPECT_EQ(runCommandLine(bad, o, e), 2) << bad[2] << " " << bad[3];
    }
}

}  // namespace
