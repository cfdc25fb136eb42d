// The AX.25 generator: frame bytes, check sequence, stuffing, NRZI, AFSK timing and tones, noise
// at the asked ratio frame by frame, de-emphasis, and the ax25 command.
#include "Ax25.h"
#include "Cli.h"
#include "Measure.h"
#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace siggen;
using namespace siggen::ax25;

TEST(Ax25, CheckSequenceIsTheHdlcCrcComplemented)
{
    const std::string s = "123456789";
    EXPECT_EQ(fcs(Bytes(s.begin(), s.end())), 0x906E);
    const Bytes f = withFcs({0x01, 0x02});
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(f[2] | (f[3] << 8), fcs({0x01, 0x02}));
}

TEST(Ax25, AddressesAndFrames)
{
    EXPECT_EQ(encodeAddress(parseStation("n0call-15"), true),
              (Bytes{'N' << 1, '0' << 1, 'C' << 1, 'A' << 1, 'L' << 1, 'L' << 1, 0x60 | (15 << 1) | 1}));
    EXPECT_EQ(encodeAddress(Station{"CQ", 0, true}, false), (Bytes{'C' << 1, 'Q' << 1, 0x40, 0x40, 0x40, 0x40, 0xE0}));
    for (const char* bad : {"", "TOOLONG", "AB-16", "AB-", "A B", "AB-1x"})
        EXPECT_THROW(parseStation(bad), std::invalid_argument) << bad;

    const Bytes ui = encode(uiFrame("A", "B", "hi", {"D"}));
    ASSERT_EQ(ui.size(), 21u + 2 + 2);
    EXPECT_EQ(ui[6] & 0x81, 0x80);   // destination: C bit of a command, not the last address
    EXPECT_EQ(ui[13] & 0x81, 0x00);  // source
    EXPECT_EQ(ui[20] & 0x01, 0x01);  // the digipeater ends the address field
    EXPECT_EQ(ui[21], 0x03);
    EXPECT_EQ(ui[22], 0xF0);
    EXPECT_EQ(iControl(3, 5, true), 0xB6);
    EXPECT_EQ(sControl(0x09, 7), 0xE9);
    EXPECT_EQ(uControl(0x2F, true), 0x3F);
    const Bytes nodes = nodesInfo("HOME", {{"N1A", "X", "N2B", 9}});
    ASSERT_EQ(nodes.size(), 7u + 21);
    EXPECT_EQ(nodes[0], 0xFF);
    EXPECT_EQ(nodes[27], 9);
}

TEST(Ax25, StuffingAndNrzi)
{
    struct Case {
        Bytes bytes;
        Bits bits;
    };
    const std::vector<Case> cases = {
        {{0xFF}, {1, 1, 1, 1, 1, 0, 1, 1, 1}},
        {{0x7E}, {0, 1, 1, 1, 1, 1, 0, 1, 0}},
        {{0x1F, 0x00}, {1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{0x01}, {1, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stuffedBits(c.bytes), c.bits);
    uint8_t level = 1;
    EXPECT_EQ(nrzi({0, 1, 1, 0, 0, 1}, level), (Bits{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(level, 0);
    Bits flags;
    appendFlags(flags, 2);
    EXPECT_EQ(flags, (Bits{0, 1, 1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1, 1, 0}));
}

TEST(Ax25, AfskTimingAndTones)
{
    for (uint32_t baud : {1200u, 300u}) {
        AfskOptions o = afskFor(baud);
        o.leadFlags = 10;
        o.gapSeconds = 0.1;
        const Bytes f = withFcs(Bytes(20, 0x00));  // no stuffing: 22 bytes
        std::vector<Span> spans;
        const Samples s = modulate({f, f}, o, &spans);
        ASSERT_EQ(spans.size(), 2u);
        const double bits = (10 + 22 + 2) * 8;
        EXPECT_NEAR(static_cast<double>(spans[0].last - spans[0].first), bits * o.rate / baud, 1.0);
        EXPECT_EQ(spans[0].first, samplesFor(0.1, o.rate));
        EXPECT_EQ(s.size(), spans[1].last + samplesFor(0.1, o.rate));
        // The first flags: line level after NRZI alternates with each flag's zeros, so the tone
        // of their ones is measurable; here one flag's six ones hold one tone.
        const size_t bit = o.rate / baud;
        const Samples one(s.begin() + static_cast<long>(spans[0].first + 2 * bit),
                          s.begin() + static_cast<long>(spans[0].first + 7 * bit));
        const double f1 = zeroCrossingFrequency(one, o.rate);
        EXPECT_TRUE(std::abs(f1 - o.mark) < o.mark * 0.1 || std::abs(f1 - o.space) < o.space * 0.1) << f1;
    }
    EXPECT_THROW(afskFor(600), std::invalid_argument);
}

TEST(Ax25, NoiseFollowsTheRatioOfEachFrame)
{
    for (bool band : {false, true}) {
        AfskOptions o = afskFor(1200);
        o.gapSeconds = 0.05;
        const Bytes f = withFcs(Bytes(200, 0x55));
        std::vector<Span> spans;
        const Samples clean = modulate({f, f, f}, o, &spans);
        Samples noisy = clean;
        NoiseOptions n;
        n.snrFirst = 20;
        n.snrLast = 0;
        n.band = band;
        ax25::addNoise(noisy, spans, n, o.rate);
        const double signal = o.amplitude * o.amplitude / 2;
        for (size_t k = 0; k < 3; ++k) {
            double p = 0;
            for (size_t i = spans[k].first; i < spans[k].last; ++i)
                p += (noisy[i] - clean[i]) * (noisy[i] - clean[i]);
            p /= static_cast<double>(spans[k].last - spans[k].first);
            EXPECT_NEAR(10 * std::log10(signal / p), 20.0 - 10.0 * k, 0.5) << "band " << band << " frame " << k;
        }
    }
}

TEST(Ax25, DeemphasisLowersTheHighTone)
{
    auto gain = [](double freq) {
        Samples s;
        Oscillator(44100).tone(s, freq, 1.0, 44100);
        deemphasise(s, 44100, 75);
        return std::sqrt(meanPower(Samples(s.begin() + 4410, s.end())) * 2);
    };
    const double g1200 = gain(1200), g2200 = gain(2200);
    // first order, corner at 1 / (2 pi 75 us) = 2122 Hz
    EXPECT_NEAR(g1200, 1 / std::sqrt(1 + std::pow(1200 / 2122.1, 2)), 0.02);
    EXPECT_NEAR(g2200, 1 / std::sqrt(1 + std::pow(2200 / 2122.1, 2)), 0.02);
}

TEST(Ax25, Command)
{
    testsupport::TempDir dir;
    const std::string file = (dir / "p.wav").string();
    auto run = [](std::vector<std::string> args, std::string* err = nullptr) {
        std::ostringstream o, e;
        const int status = runCommandLine(args, o, e);
        if (err)
            *err = e.str();
        return status;
    };
    std::string err;
    ASSERT_EQ(run({"ax25", "--out", file, "--baud", "300", "--count", "3", "--gap", "0.5", "--snr", "10",
                   "--snr-end", "0", "--noise", "band", "--via", "RELAY*,WIDE2-2", "--deemphasis", "75"},
                  &err),
              0)
        << err;
    const WavData w = readWav(file);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_EQ(w.channels, 1u);
    EXPECT_GT(w.frames(), 3 * 44100u / 2);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"ax25"},
             {"ax25", "--out", file, "--baud", "600"},
             {"ax25", "--out", file, "--kind", "x"},
             {"ax25", "--out", file, "--from", "TOOLONGCALL"},
             {"ax25", "--out", file, "--via", "A,B,C,D,E,F,G,H,I"},
             {"ax25", "--out", file, "--snr", "x"},
             {"ax25", "--out", file, "--noise", "pink", "--snr", "3"},
             {"ax25", "--out", file, "--bogus", "1"},
             {"ax25", "--out", file, "--bad-fcs=yes"},
             {"ax25", "--out", file, "stray"},
             {"ax25", "--out"}}) {
        EXPECT_EQ(run(bad, &err), 2) << bad.back();
        EXPECT_NE(err.find("siggen:"), std::string::npos);
    }
    for (const char* kind : {"ui", "i", "s", "u", "nodes"})
        EXPECT_EQ(run({"ax25", "--out", file, "--kind", kind, "--bad-fcs"}), 0) << kind;
}
