// The CTCSS analysis: the tone table, the strongest-tone decision, detection of each tone under noise,
// what is recorded and when the host is asked to scan on, and the proposed file name.
#include "CTCSSDetector.h"
#include "Ctcss.h"
#include "Signal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

std::vector<int16_t> Pcm(const siggen::Samples& s)
{
    std::vector<int16_t> out(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = int16_t(std::lround(std::clamp(s[i], -1.0, 32767.0 / 32768) * 32768));
    return out;
}

// A tone at a level in dBFS (peak) under white noise at a level in dBFS (rms), one buffer long.
std::vector<int16_t> ToneUnderNoise(double hz, double toneDb, double noiseDb, uint64_t seed)
{
    siggen::Samples s;
    siggen::Oscillator osc(kCTCSSRate, 0.13);
    if (hz > 0)
        osc.tone(s, hz, std::pow(10.0, toneDb / 20), kCTCSSBlock);
    else
        siggen::appendSilence(s, kCTCSSBlock);
    siggen::Samples noise;
    siggen::Random random(seed);
    siggen::appendNoise(noise, std::pow(10.0, noiseDb / 20), kCTCSSBlock, random);
    for (size_t i = 0; i < s.size(); ++i)
        s[i] += noise[i];
    return Pcm(s);
}

TEST(CTCSSDetector, ToneTableBinsFollowTheirFrequencies)
{
    for (int i = 0; i < kCTCSSToneCount; ++i) {
        const std::string text = CTCSSTones[i].Text;
        ASSERT_EQ(text.size(), 7u) << i;
        EXPECT_EQ(text.substr(5), "Hz");
        const double f = std::atof(text.c_str());
        EXPECT_EQ(text[0] == ' ', f < 100) << text;
        EXPECT_EQ(CTCSSTones[i].Bin, int32_t(f * 8192 / 11025)) << text;
        if (i > 0) {
            EXPECT_GT(CTCSSTones[i].Bin, CTCSSTones[i - 1].Bin) << text;
        }
    }
    EXPECT_EQ(CTCSSTones[14].Bin, 74);  // 100.0 Hz
}

TEST(CTCSSDetector, DecisionOverTheToneBins)
{
    struct Case {
        const char* what;
        std::vector<std::pair<int, double>> bins;  // tone index, power
        int strongest;
        bool present;
    };
    const Case cases[] = {
        {"silence", {}, 0, false},
        {"one strong tone", {{14, 5e8}}, 14, true},
        {"ties go to the earlier tone", {{20, 5e8}, {7, 5e8}}, 7, true},
        {"below ten million above twice the mean", {{3, 9e6}}, 3, false},
        {"just above", {{3, 1.1e7}}, 3, true},
        {"no tone standing out of a loud floor", {}, 0, false},
    };
    for (const Case& c : cases) {
        std::vector<double> power(4096, 0.0);
        if (std::string(c.what) == "no tone standing out of a loud floor")
            for (const auto& t : CTCSSTones)
                power[size_t(t.Bin)] = 1e9;
        for (auto [tone, p] : c.bins)
            power[size_t(CTCSSTones[tone].Bin)] = p;
        const TCTCSSResult r = TCTCSSDetector::Decide(power.data());
        EXPECT_EQ(r.Strongest, c.strongest) << c.what;
        EXPECT_EQ(r.Present, c.present) << c.what;
    }
}

TEST(CTCSSDetector, EachToneIsIdentifiedAtMinus30dBFSUnderNoise)
{
    TCTCSSDetector d;
    for (int i = 0; i < kCTCSSToneCount; ++i) {
        const double f = std::atof(CTCSSTones[i].Text);
        const auto buffer = ToneUnderNoise(f, -30, -30, uint64_t(100 + i));
        const TCTCSSResult r = d.Analyse(buffer.data(), buffer.size());
        EXPECT_TRUE(r.Present) << CTCSSTones[i].Text;
        EXPECT_EQ(r.Strongest, i) << CTCSSTones[i].Text;
    }
}

TEST(CTCSSDetector, AToneUnderSpeechLikeNoiseComesAndGoes)
{
    siggen::ctcss::Script script;  // 100 Hz at -20 dBFS under speech-like noise at -15 dBFS
    const double buffer = double(kCTCSSBlock) / kCTCSSRate;
    script.pattern = {{true, 2 * buffer}, {false, 2 * buffer}, {true, buffer}};
    siggen::Random random(9);
    const auto pcm = Pcm(siggen::ctcss::render(script, kCTCSSRate, random));
    TCTCSSDetector d;
    std::vector<bool> heard;
    for (size_t b = 0; (b + 1) * kCTCSSBlock <= pcm.size(); ++b) {
        const TCTCSSResult r = d.Analyse(pcm.data() + b * kCTCSSBlock, kCTCSSBlock);
        heard.push_back(CTCSSRecords(r, 14));
    }
    EXPECT_EQ(heard, (std::vector<bool>{true, true, false, false, true}));
}

TEST(CTCSSDetector, SilenceAndNoiseAloneGiveNoTone)
{
    TCTCSSDetector d;
    for (double noiseDb : {-200.0, -40.0, -20.0}) {
        const auto buffer = ToneUnderNoise(0, 0, noiseDb, 7);
        EXPECT_FALSE(d.Analyse(buffer.data(), buffer.size()).Present) << noiseDb;
    }
}

TEST(CTCSSDetector, SmallSamplesVanishInTheDivisionBy256)
{
    TCTCSSDetector d;
    // A 100 Hz tone of peak 255: every sample divides to 0.
    std::vector<int16_t> quiet(kCTCSSBlock);
    for (size_t i = 0; i < quiet.size(); ++i)
        quiet[i] = int16_t(std::lround(255 * std::sin(2 * M_PI * 100.0 * double(i) / kCTCSSRate)));
    const TCTCSSResult r = d.Analyse(quiet.data(), quiet.size());
    EXPECT_FALSE(r.Present);
    EXPECT_EQ(r.Pmax, 0.0);
}

TEST(CTCSSDetector, OnlyWhatArrivedIsAnalysed)
{
    TCTCSSDetector d;
    const auto tone = ToneUnderNoise(100.0, -10, -200, 1);
    const auto other = ToneUnderNoise(203.5, -10, -200, 1);
    // A full buffer of 203.5 Hz, then half a buffer of 100 Hz: the second sees 100 Hz only.
    EXPECT_EQ(d.Analyse(other.data(), other.size()).Strongest, 34);
    const TCTCSSResult r = d.Analyse(tone.data(), tone.size() / 2);
    EXPECT_TRUE(r.Present);
    EXPECT_EQ(r.Strongest, 14);
    // An empty buffer has no tone.
    EXPECT_FALSE(d.Analyse(tone.data(), 0).Present);
}

TEST(CTCSSDetector, RecordingAndScanDecisions)
{
    struct Case {
        bool present;
        int strongest;
        int target;
        bool scanControl;
        bool hostScanning;
        bool records;
        bool pokes;
    };
    const Case cases[] = {
        {true, 14, 14, true, false, true, false},    // the target: recorded, the scanner stays
        {true, 20, 14, true, false, false, true},    // another tone: skipped
        {false, 14, 14, true, false, false, true},   // no tone, even if its bin is strongest: skipped, not recorded
        {false, 0, 14, true, false, false, true},    // silence: skipped
        {true, 20, 14, false, false, false, false},  // scan control off
        {true, 20, 14, true, true, false, false},    // the host already scans
    };
    for (const Case& c : cases) {
        TCTCSSResult r;
        r.Present = c.present;
        r.Strongest = c.strongest;
        EXPECT_EQ(CTCSSRecords(r, c.target), c.records) << c.present << c.strongest << c.target;
        EXPECT_EQ(CTCSSPokes(r, c.target, c.scanControl, c.hostScanning), c.pokes)
            << c.present << c.strongest << c.target << c.scanControl << c.hostScanning;
    }
}

TEST(CTCSSDetector, TargetToneClampsAndProposedName)
{
    struct Case {
        int32_t stored;
        int target;
    };
    for (const Case& c : {Case{-5, 0}, Case{0, 0}, Case{14, 14}, Case{40, 40}, Case{41, 40}, Case{INT32_MAX, 40}})
        EXPECT_EQ(ClampTargetTone(c.stored), c.target) << c.stored;
    std::tm t{};
    t.tm_mday = 9;
    t.tm_mon = 11;
    t.tm_year = 126;
    t.tm_hour = 8;
    t.tm_min = 59;
    t.tm_sec = 13;
    EXPECT_EQ(CTCSSProposedName(14, t), "100.0Hz D09-12-26 T08-59-13");
    EXPECT_EQ(CTCSSProposedName(0, t), " 62.5Hz D09-12-26 T08-59-13");
}

}  // namespace
