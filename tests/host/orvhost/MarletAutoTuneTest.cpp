// orvhost running libmarlet.so with auto tune on: each channel grant on the control channel the
// decoder can follow retunes the host to the traffic channel.
#include "GrantsRecording.h"
#include "OrvhostRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace testsupport;

TEST(OrvhostMarlet, AutoTuneFollowsEachGrantTheDecoderCanFollow)
{
    TempDir dir;
    const auto config = dir / "config";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::TurnOnAutoTune(config));
    const auto wav = dir / "cc.wav";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::WriteGrants(wav));
    const auto trace = dir / "trace.jsonl";
    std::string out;
    std::vector<std::string> env = orvhostEnv(dir.path(), config);
    env.insert(env.end(), {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast"});
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath("libmarlet.so").string(),
                               "--trace", trace.string()},
                              env, &out, 120);
    EXPECT_EQ(rc, 0);
    if (rc != 0)
        addSanitizerReports(dir.path());
    const std::vector<int64_t> tunes = pluginTunes(readFile(trace)).tunes;
    EXPECT_EQ(tunes, orvhosttest::kGrantTunes);
    // Headless, each call is written where the run was started, the listed one too.
    std::vector<std::string> calls;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" System=1234 Radio ") != std::string::npos)
            calls.push_back(line.substr(line.find(" Radio ")));
    EXPECT_EQ(calls, (std::vector<std::string>{" Radio 01:0064 and radio 01:00C8 on channel  100",
                                               " Radio 01:0065 and radio 01:00C9 on channel  300",
                                               " Radio 01:0066 and radio 01:00CA on channel  200",
                                               " Radio 01:0067 and radio 01:00CB on channel   50"}))
        << out;
}

}  // namespace
