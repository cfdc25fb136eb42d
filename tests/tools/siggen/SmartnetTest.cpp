#include "Cli.h"
#include "Smartnet.h"
#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace siggen;
using testsupport::TempDir;

namespace {

int Siggen(std::vector<std::string> args, std::string* err = nullptr)
{
    std::ostringstream out, error;
    args.insert(args.begin(), "smartnet");
    const int status = runCommandLine(args, out, error);
    if (err)
        *err = error.str();
    return status;
}

TEST(SmartnetCommand, BadOptionsAreRefusedWithAMessage)
{
    TempDir dir;
    const std::string out = (dir / "x.wav").string();
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"--seconds", "1"}, "needs --out"},
        {{"--out", out, "--grant", "1,2"}, "T,ADDR,CHAN"},
        {{"--out", out, "--grant", "1,0x10,760"}, "outside"},
        {{"--out", out, "--word", "1,2,3"}, "T,ADDR,GROUP,CMD"},
        {{"--out", out, "--control", "1024"}, "outside"},
        {{"--out", out, "--noise", "pink", "--snr", "3"}, "white or band"},
        {{"--out", out, "--bits", "12"}, "8 or 16"},
        {{"--out", out, "--frobnicate"}, "unknown option"},
        {{"--out", out, "--seconds", "x"}, "not a number"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_EQ(Siggen(c.args, &err), 2) << c.says;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
}

TEST(SmartnetCommand, StereoControlChannelOnTheChosenSideAndItsInversion)
{
    TempDir dir;
    const auto upright = dir / "up.wav", inverted = dir / "inv.wav";
    const std::vector<std::string> common = {"--seconds", "0.5", "--channels", "2", "--channel", "right",
                                             "--grant", "0.1,0x101,100"};
    auto args = common;
    args.insert(args.end(), {"--out", upright.string()});
    ASSERT_EQ(Siggen(args), 0);
    args = common;
    args.insert(args.end(), {"--out", inverted.string(), "--inverted"});
    ASSERT_EQ(Siggen(args), 0);
    const WavData a = readWav(upright), b = readWav(inverted);
    EXPECT_EQ(a.rate, 44100u);
    EXPECT_EQ(a.channels, 2);
    // Whole words of 84 bits (sync and frame) at 3600 bit/s, then the closing sync and an edge.
    const size_t words = size_t(std::ceil(0.5 / (84.0 / 3600)));
    EXPECT_EQ(a.frames(), size_t(std::ceil((words * 84 + 10) * 44100.0 / 3600)));
    for (size_t f = 0; f < a.frames(); ++f) {
        ASSERT_EQ(a.at(f, 0), 0) << f;
        ASSERT_LE(std::abs(a.at(f, 1) + b.at(f, 1)), 1) << f;
    }
}

}  // namespace
