// orvhost running libmarlet.so with auto tune on: each channel grant on the control channel the
// decoder can follow retunes the host to the traffic channel.
#include "GrantsRecording.h"
#include "OrvhostRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

// Runs Marlet under orvhost --headless with auto tune on over the recording wav in dir, as fast as
// it takes it; returns the host's trace, and what the run printed in out.
std::string RunWithAutoTune(const TempDir& dir, const std::filesystem::path& wav, std::string* out)
{
    const auto config = dir / "config";
    orvhosttest::TurnOnAutoTune(config);
    if (::testing::Test::HasFatalFailure())
        return {};
    const auto trace = dir / "trace.jsonl";
    std::vector<std::string> env = orvhostEnv(dir.path(), config);
    env.insert(env.end(), {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast"});
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath("libmarlet.so").string(),
                               "--trace", trace.string()},
                              env, out, 120);
    EXPECT_EQ(rc, 0);
    if (rc != 0)
        addSanitizerReports(dir.path());
    return readFile(trace);
}

TEST(OrvhostMarlet, AutoTuneFollowsEachGrantTheDecoderCanFollow)
{
    TempDir dir;
    const auto wav = dir / "cc.wav";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::WriteGrants(wav));
    std::string out;
    const std::string trace = RunWithAutoTune(dir, wav, &out);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    const std::vector<int64_t> tunes = pluginTunes(trace).tunes;
    EXPECT_EQ(tunes, orvhosttest::kGrantTunes);
    // Headless, each call is written where the run was started, the listed one too.
    EXPECT_EQ(callLines(out, "1234"), (std::vector<std::string>{" Radio 01:0064 and radio 01:00C8 on channel  100",
                                                                 " Radio 01:0065 and radio 01:00C9 on channel  300",
                                                                 " Radio 01:0066 and radio 01:00CA on channel  200",
                                                                 " Radio 01:0067 and radio 01:00CB on channel   50"}))
        << out;
}

// Seconds given in tenths, written as siggen reads them whatever the locale.
std::string Seconds(int tenths) { return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10); }

// A control channel that announces its number (5, on the host's 450.0125 MHz) every half second
// only until the first call is granted, as some systems do, and grants calls at 10, 14 and 17.5 s;
// earlyGrant (tenths of a second, 0 for none) adds a first call before the decoder has settled on
// the input and taken the system as current.
void WriteNumbersUntilTheFirstGrant(const std::filesystem::path& wav, int earlyGrant)
{
    std::vector<std::string> args = {binPath("siggen").string(), "mpt1327", "--system", "0x2C5A", "--channels", "2",
                                     "--channel", "right", "--snr", "20", "--seconds", "20"};
    const int firstGrant = earlyGrant > 0 ? earlyGrant : 100;
    for (int t = 5; t < firstGrant; t += 5)
        args.insert(args.end(), {"--number", Seconds(t) + ",5"});
    if (earlyGrant > 0)
        args.insert(args.end(), {"--grant", Seconds(earlyGrant) + ",53,2561,7169,20"});
    args.insert(args.end(), {"--grant", "10,53,2643,7325,37", "--grant", "14,53,2854,7497,142", "--grant",
                             "17.5,53,2643,7497,77", "--out", wav.string()});
    ASSERT_EQ(runProgram(args), 0);
}

// The channel-number messages all came before the system was taken as current: a call in the
// first seconds is not tuned (it is not even listed), and every call after it is.
TEST(OrvhostMarlet, AutoTuneWorksAfterACallInTheFirstSeconds)
{
    for (int earlyGrant : {30, 50, 0}) {
        SCOPED_TRACE(earlyGrant);
        TempDir dir;
        const auto wav = dir / "cc.wav";
        ASSERT_NO_FATAL_FAILURE(WriteNumbersUntilTheFirstGrant(wav, earlyGrant));
        std::string out;
        const std::string lines = RunWithAutoTune(dir, wav, &out);
        ASSERT_FALSE(::testing::Test::HasFatalFailure());
        // Channel 0 is 449.8875 MHz: channels 37, 142 and 77, then the host's own frequency back.
        EXPECT_EQ(pluginTunes(lines).tunes, (std::vector<int64_t>{450812500, 453437500, 451812500, 450012500}))
            << out;
        // The receiver itself: set at the start, to each call, and back at the close.
        size_t receiverTunes = 0;
        for (size_t at = 0; (at = lines.find("\"dir\":\"host->kvapi32\",\"call\":\"SetFrequency\"", at)) !=
                            std::string::npos;
             ++at)
            ++receiverTunes;
        EXPECT_EQ(receiverTunes, 5u);
        EXPECT_EQ(out.find("on channel   20"), std::string::npos) << out;
    }
}

}  // namespace
