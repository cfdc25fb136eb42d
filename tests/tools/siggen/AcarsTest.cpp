// siggen acars: message layout, block check, the bit stream with its sync, and the MSK tones.
#include "Acars.h"
#include "Cli.h"
#include "Measure.h"
#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace siggen;
using namespace siggen::acars;

namespace {

TEST(SiggenAcars, CharactersStandWhereTheReceiverLooksForThem)
{
    Message m;
    m.address = ".G-AB";  // padded to seven
    m.ack = kACK;
    m.label = "Q0";
    m.blockId = 'A';
    m.text = "M01AXX1234HI";
    const auto c = characters(m);
    ASSERT_EQ(c.size(), 14u + 12u + 1u);
    EXPECT_EQ(c[0], kSOH);
    EXPECT_EQ(c[1], '2');
    EXPECT_EQ(std::string(c.begin() + 2, c.begin() + 9), ".G-AB  ");
    EXPECT_EQ(c[9], kACK);
    EXPECT_EQ(c[10], 'Q');
    EXPECT_EQ(c[11], '0');
    EXPECT_EQ(c[12], 'A');
    EXPECT_EQ(c[13], kSTX);
    EXPECT_EQ(std::string(c.begin() + 14, c.end() - 1), "M01AXX1234HI");
    EXPECT_EQ(c.back(), kETX);
    m.etb = true;
    EXPECT_EQ(characters(m).back(), kETB);
}

TEST(SiggenAcars, BlockCheckIsTheReflectedCrc16)
{
    const std::string check = "123456789";
    EXPECT_EQ(blockCheck(std::vector<uint8_t>(check.begin(), check.end())), 0x2189);
    EXPECT_EQ(blockCheck({}), 0);
}

TEST(SiggenAcars, BitsCarryOddParityAndTheSyncPattern)
{
    Message m;
    m.text = "M01AXX1234TEXT";
    const auto bits = frameBits(m, 40);
    const auto chars = characters(m);
    // Pre-key, four sync characters, the message, two check bytes and DEL.
    ASSERT_EQ(bits.size(), 40u + 8 * (4 + chars.size() + 2 + 1));
    for (size_t i = 0; i < 40; ++i)
        ASSERT_EQ(bits[i], 1);
    for (size_t k = 0; k < 4 + chars.size(); ++k) {
        int ones = 0, value = 0;
        for (int b = 0; b < 8; ++b) {
            ones += bits[40 + 8 * k + b];
            if (b < 7)
                value |= bits[40 + 8 * k + b] << b;
        }
        EXPECT_EQ(ones % 2, 1) << "character " << k;
        if (k >= 4) {
            EXPECT_EQ(value, chars[k - 4]) << "character " << k;
        }
    }
    // As repeat (1) or change (0) of the bit before, the last 24 bits of the second SYN are the sync.
    uint32_t reg = 0;
    for (size_t i = 0; i < 40 + 32; ++i)
        reg = (reg << 1) | (bits[i] == (i ? bits[i - 1] : 1) ? 1u : 0u);
    EXPECT_EQ(reg & 0xFFFFFF, 0x01A3A3u);
}

TEST(SiggenAcars, RepeatedBitsAre2400HzAndChangesAre1200Hz)
{
    const std::vector<uint8_t> ones(240, 1);
    EXPECT_NEAR(zeroCrossingFrequency(modulate(ones, 44100, 0.5), 44100), 2400, 15);
    std::vector<uint8_t> alternating(240);
    for (size_t i = 0; i < alternating.size(); ++i)
        alternating[i] = i % 2;
    EXPECT_NEAR(zeroCrossingFrequency(modulate(alternating, 44100, 0.5), 44100), 1200, 15);
    const Samples lead = modulate(ones, 44100, 0.5, 7);
    ASSERT_EQ(lead.size(), modulate(ones, 44100, 0.5).size() + 7);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(lead[i], 0.0);
    // 240 bits of 18.375 samples.
    EXPECT_EQ(modulate(ones, 44100, 0.5).size(), 4410u);
}

TEST(SiggenAcars, CommandLine)
{
    testsupport::TempDir dir;
    const std::string file = (dir / "acars.wav").string();
    std::ostringstream out, err;
    ASSERT_EQ(runCommandLine({"acars", "--out", file, "--text", "M01AXX1234ONE", "--text", "M02AXX1234TWO",
                              "--label", "5Z", "--address", ".N12345", "--gap", "0.1"},
                             out, err),
              0)
        << err.str();
    const WavData wav = readWav(file);
    EXPECT_EQ(wav.rate, 44100u);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_GT(wav.samples.size(), 2 * 4410u);
    const struct { std::vector<std::string> args; } bad[] = {
        {{"acars", "--out", file, "--label", "H"}},
        {{"acars", "--out", file, "--mode", "22"}},
        {{"acars", "--out", file, "--block", ""}},
        {{"acars", "--out", file, "--prekey", "x"}},
    };
    for (const auto& b : bad) {
        std::ostringstream o, e;
        EXPECT_EQ(runCommandLine(b.args, o, e), 2) << b.args[3];
        EXPECT_FALSE(e.str().empty());
    }
}

} // namespace
