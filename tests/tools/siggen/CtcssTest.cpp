// CTCSS test signals: the tone on and off as the pattern says, the speech-like noise at its level and
// in its band, and the command line's refusals.
#include "Cli.h"
#include "Ctcss.h"
#include "Measure.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace {

using namespace siggen;

double Rms(const Samples& s, size_t from, size_t to)
{
    double p = 0;
    for (size_t i = from; i < to; ++i)
        p += s[i] * s[i];
    return std::sqrt(p / double(to - from));
}

TEST(Ctcss, ToneFollowsThePattern)
{
    ctcss::Script script;
    script.toneHz = 123.0;
    script.toneDb = -20;
    script.speechDb = -1000;
    script.pattern = ctcss::parsePattern("on:0.5,off:0.25,on:1");
    Random random(1);
    const Samples s = ctcss::render(script, 11025, random);
    ASSERT_EQ(s.size(), size_t(11025 * 1.75 + 0.5));
    const size_t a = 5513, b = a + 2756;
    EXPECT_NEAR(Rms(s, 0, a), 0.1 / std::sqrt(2.0), 1e-3);
    EXPECT_EQ(Rms(s, a, b), 0.0);
    EXPECT_NEAR(Rms(s, b, s.size()), 0.1 / std::sqrt(2.0), 1e-3);
    EXPECT_NEAR(zeroCrossingFrequency(Samples(s.begin() + long(b), s.end()), 11025), 123.0, 1.5);
}

TEST(Ctcss, SpeechLikeNoiseHasItsLevelAndLeavesTheToneBandAlone)
{
    ctcss::Script script;
    script.toneDb = -300;  // no tone
    script.speechDb = -15;
    script.pattern = {{false, 2.0}};
    Random random(3);
    const Samples s = ctcss::render(script, 11025, random);
    EXPECT_NEAR(20 * std::log10(Rms(s, 0, s.size())), -15.0, 0.1);
    // Little of it lies at a sub-audible tone: the power at 100 Hz against that at 1 kHz.
    auto power = [&](double hz) {
        double re = 0, im = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            re += s[i] * std::cos(2 * M_PI * hz * double(i) / 11025);
            im += s[i] * std::sin(2 * M_PI * hz * double(i) / 11025);
        }
        return re * re + im * im;
    };
    EXPECT_LT(power(100.0), power(1000.0) / 100);
    // Its loudness rises and falls a few times a second: 50 ms stretches differ in level.
    double lo = 1, hi = 0;
    for (size_t k = 0; k + 551 <= s.size(); k += 551) {
        const double r = Rms(s, k, k + 551);
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    EXPECT_GT(hi / lo, 1.5);
}

TEST(Ctcss, BadPatternsAndTheCommandLine)
{
    for (const char* bad : {"on", "on:", "maybe:1", "on:x", "on:-1", "on:1,off", "on:1s"})
        EXPECT_THROW(ctcss::parsePattern(bad), std::invalid_argument) << bad;
    std::ostringstream out, err;
    EXPECT_EQ(runCommandLine({"ctcss", "--pattern", "on:1,x:2", "--out", "/dev/null"}, out, err), 2);
    EXPECT_NE(err.str().find("--pattern"), std::string::npos);
}

}  // namespace
