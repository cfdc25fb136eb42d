#include "Cli.h"
#include "Mpt1327.h"
#include "TestSupport.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace siggen;
using testsupport::TempDir;

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

Outcome run(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int status = runCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

double power(const std::vector<int16_t>& s, size_t from, size_t step)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = from; i < s.size(); i += step, ++n)
        sum += static_cast<double>(s[i]) * s[i];
    return n ? sum / n : 0;
}

}  // namespace

TEST(Cli, ToneFileHasTheAskedFormat)
{
    TempDir dir;
    const std::string f = (dir / "t.wav").string();
    const Outcome r = run({"tone", "--freq", "1200", "--seconds", "2", "--rate", "11025", "--out", f});
    ASSERT_EQ(r.status, 0) << r.err;
    const WavData w = readWav(f);
    EXPECT_EQ(w.rate, 11025u);
    EXPECT_EQ(w.channels, 1u);
    EXPECT_EQ(w.bits, 16u);
    EXPECT_EQ(w.frames(), 22050u);
    int crossings = 0;
    for (size_t i = 1; i < w.samples.size(); ++i)
        crossings += (w.samples[i - 1] < 0) != (w.samples[i] < 0);
    EXPECT_NEAR(crossings / 4.0, 1200, 1);
}

TEST(Cli, StereoPutsTheSignalOnItsChannel)
{
    TempDir dir;
    const std::string f = (dir / "s.wav").string();
    ASSERT_EQ(run({"tone", "--freq=500", "--channel", "right", "--channels", "2", "--out", f, "--bits", "8"}).status, 0);
    WavData w = readWav(f);
    EXPECT_EQ(w.channels, 2u);
    EXPECT_EQ(w.bits, 8u);
    EXPECT_EQ(power(w.samples, 0, 2), 0.0);
    EXPECT_GT(power(w.samples, 1, 2), 1e6);

    ASSERT_EQ(run({"mpt1327", "--other", "noise:0.2", "--seconds", "0.5", "--out", f}).status, 0);
    w = readWav(f);
    EXPECT_EQ(w.channels, 2u);
    EXPECT_NEAR(std::sqrt(power(w.samples, 1, 2)) / 32767, 0.2, 0.01);
    EXPECT_NEAR(std::sqrt(power(w.samples, 0, 2)) / 32767, 0.5 / std::sqrt(2.0), 0.01);

    // another file on the other channel
    const std::string other = (dir / "o.wav").string();
    ASSERT_EQ(run({"square", "--freq", "100", "--amplitude", "0.25", "--seconds", "0.2", "--out", other}).status, 0);
    ASSERT_EQ(run({"tone", "--freq", "1000", "--seconds", "0.1", "--other", other, "--out", f}).status, 0);
    w = readWav(f);
    EXPECT_EQ(w.frames(), 2205u);  // the longer of the two
    EXPECT_EQ(std::abs(w.at(2000, 1)), 8192);
    EXPECT_EQ(w.at(2000, 0), 0);
}

TEST(Cli, SnrMeasuredBackFromTheFile)
{
    TempDir dir;
    const std::string clean = (dir / "c.wav").string(), noisy = (dir / "n.wav").string();
    for (const std::vector<std::string>& signal :
         {std::vector<std::string>{"tone", "--freq", "1000"}, std::vector<std::string>{"mpt1327"}}) {
        for (const char* snr : {"0", "10", "20"}) {
            SCOPED_TRACE(signal[0] + " " + snr);
            std::vector<std::string> a = signal, b = signal;
            a.insert(a.end(), {"--seconds", "1", "--out", clean});
            b.insert(b.end(), {"--seconds", "1", "--out", noisy, "--snr", snr, "--seed", "77"});
            ASSERT_EQ(run(a).status, 0);
            ASSERT_EQ(run(b).status, 0);
            const WavData c = readWav(clean), n = readWav(noisy);
            ASSERT_EQ(c.samples.size(), n.samples.size());
            std::vector<int16_t> diff;
            for (size_t i = 0; i < c.samples.size(); ++i)
                diff.push_back(static_cast<int16_t>(n.samples[i] - c.samples[i]));
            EXPECT_NEAR(10 * std::log10(power(c.samples, 0, 1) / power(diff, 0, 1)), std::stod(snr), 0.5);
        }
    }
}

TEST(Cli, SeededNoiseIsRepeatable)
{
    TempDir dir;
    auto bytes = [&](const std::string& seed) {
        const std::string f = (dir / ("n" + seed + ".wav")).string();
        EXPECT_EQ(run({"noise", "--rms", "0.3", "--seconds", "0.2", "--seed", seed, "--out", f}).status, 0);
        return testsupport::readBytes(f);
    };
    EXPECT_EQ(bytes("5"), bytes("5"));
    EXPECT_NE(bytes("5"), bytes("6"));
}

TEST(Cli, SequenceJoinsSegments)
{
    TempDir dir;
    const std::string f = (dir / "q.wav").string();
    ASSERT_EQ(run({"sequence", "tone:1200:0.5", "silence:0.25", "noise:0.25:0.1", "square:300:0.5:2", "--rate", "8000",
                   "--out", f})
                  .status,
              0);
    const WavData w = readWav(f);
    ASSERT_EQ(w.frames(), 12000u);
    EXPECT_EQ(w.at(4500, 0), 0);
    EXPECT_EQ(w.at(11999, 0), -32768);  // amplitude 2 clipped to the end of the range
}

TEST(Cli, ScriptFileDrivesTheControlChannel)
{
    TempDir dir;
    const std::string script = (dir / "cc.txt").string(), f = (dir / "cc.wav").string();
    testsupport::writeFile(script, "# a call on channel 33\nsystem 0x0ABC\ncontrol 17\n"
                                   "grant 0.2 1 100 200 33   # caller 200\nclear 0.6 33 17\nseconds 1\n");
    const Outcome r = run({"mpt1327", "--script", script, "--rate", "44100", "--out", f});
    ASSERT_EQ(r.status, 0) << r.err;
    const WavData w = readWav(f);
    EXPECT_EQ(w.rate, 44100u);
    EXPECT_NEAR(static_cast<double>(w.frames()) / 44100, 1.0, 0.11);

    mpt1327::ChannelScript same;
    same.system = 0x0ABC;
    same.controlChannel = 17;
    same.seconds = 1;
    same.events = {{0.2, {mpt1327::goToChannel(1, 100, 200, 33)}}, {0.6, {mpt1327::clearDown(33, 17)}}};
    const Samples s = mpt1327::render(same, 44100, 0.5);
    ASSERT_EQ(s.size(), w.frames());
    for (size_t i = 0; i < s.size(); ++i)
        ASSERT_EQ(w.samples[i], toPcm16(s[i])) << i;

    testsupport::writeFile(script, "system 0x0ABC\nfrobnicate 3\n");
    const Outcome bad = run({"mpt1327", "--script", script, "--out", f});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("cc.txt:2"), std::string::npos) << bad.err;
}

TEST(Cli, BadArgumentsFailWithAMessage)
{
    TempDir dir;
    const std::string f = (dir / "x.wav").string();
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"bogus", "--out", f}, "unknown command"},
        {{"tone", "--out", f}, "--freq"},
        {{"tone", "--freq", "1200"}, "--out"},
        {{"tone", "--freq", "abc", "--out", f}, "not a number"},
        {{"tone", "--freq", "6000", "--out", f}, "outside"},
        {{"tone", "--freq", "100", "--seconds", "-1", "--out", f}, "outside"},
        {{"tone", "--freq", "100", "--rate", "0", "--out", f}, "--rate"},
        {{"tone", "--freq", "100", "--bits", "12", "--out", f}, "--bits"},
        {{"tone", "--freq", "100", "--channel", "middle", "--out", f}, "left or right"},
        {{"tone", "--freq", "100", "--channels", "1", "--other", "noise", "--out", f}, "stereo"},
        {{"tone", "--freq"}, "needs a value"},
        {{"tone", "--volume", "3", "--out", f}, "unknown option"},
        {{"silence", "extra", "--out", f}, "unexpected argument"},
        {{"sequence", "--out", f}, "at least one segment"},
        {{"sequence", "beep:1:1", "--out", f}, "unknown kind"},
        {{"sequence", "tone:1200", "--out", f}, "wrong number of fields"},
        {{"mpt1327", "--system", "0x8000", "--out", f}, "above"},
        {{"mpt1327", "--grant", "1,1,100,200", "--out", f}, "5 comma-separated"},
        {{"mpt1327", "--grant", "1,128,100,200,5", "--out", f}, "prefix"},
        {{"mpt1327", "--grant", "1,1,100,200,1024", "--out", f}, "channel"},
        {{"mpt1327", "--codeword", "0,1000000000000", "--out", f}, "information bits"},
        {{"mpt1327", "--number-every", "0", "--out", f}, "--number-every"},
        {{"mpt1327", "--synt=yes", "--out", f}, "takes no value"},
        {{"mpt1327", "--script", (dir / "missing.txt").string(), "--out", f}, "cannot read script"},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.args[0] << " " << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(f));

    const Outcome unwritable = run({"silence", "--out", (dir / "no" / "such" / "dir.wav").string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("cannot create"), std::string::npos);
}

TEST(Cli, ProgramExitStatus)
{
    TempDir dir;
    std::string out;
    EXPECT_EQ(testsupport::runProgram({testsupport::binPath("siggen").string(), "--help"}, {}, &out), 0);
    EXPECT_NE(out.find("mpt1327"), std::string::npos);
    EXPECT_EQ(testsupport::runProgram({testsupport::binPath("siggen").string()}), 2);
    EXPECT_EQ(testsupport::runProgram({testsupport::binPath("siggen").string(), "tone", "--freq", "x"}), 2);
    const std::string f = (dir / "m.wav").string();
    EXPECT_EQ(testsupport::runProgram({testsupport::binPath("siggen").string(), "mpt1327", "--grant", "0.1,1,2,3,4",
                                       "--out", f}),
              0);
    EXPECT_EQ(readWav(f).frames(), (static_cast<size_t>(32 + 19 * 128) * 11025 + 1199) / 1200);  // whole slots past 2 s
}
