// orvhost running libmarlet.so with auto tune on: each channel grant on the control channel the
// decoder can follow retunes the host to the traffic channel.
#include "GrantsRecording.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

using namespace testsupport;

// Frequencies the plug-in sent to the host, in order (each must be followed by mode 2).
std::vector<int64_t> Tunes(const std::string& trace)
{
    std::vector<int64_t> tunes;
    std::istringstream lines(trace);
    bool expectMode = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"plugin->host\"") == std::string::npos)
            continue;
        const auto param = line.find("\"param\":");
        const int64_t value = std::stoll(line.substr(param + 8));
        if (expectMode) {
            EXPECT_NE(line.find("\"code\":\"0x0900\""), std::string::npos) << line;
            EXPECT_EQ(value, 2) << line;
            expectMode = false;
        }
        if (line.find("\"code\":\"0x0800\"") != std::string::npos) {
            tunes.push_back(value);
            expectMode = true;
        }
    }
    return tunes;
}

TEST(OrvhostMarlet, AutoTuneFollowsEachGrantTheDecoderCanFollow)
{
    TempDir dir;
    const auto config = dir / "config";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::TurnOnAutoTune(config));
    const auto wav = dir / "cc.wav";
    ASSERT_NO_FATAL_FAILURE(orvhosttest::WriteGrants(wav));
    const auto trace = dir / "trace.jsonl";
    std::string out;
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath("libmarlet.so").string(),
                               "--trace", trace.string()},
                              {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast",
                               "XDG_RUNTIME_DIR=" + dir.path().string(), "XDG_CONFIG_HOME=" + config.string(),
                               "ORV_PLUGIN_PATH=" + dir.path().string(), "MSGBOX_LOG=" + (dir / "boxes").string(),
                               "QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=log_path=" + (dir / "asan").string(),
                               "UBSAN_OPTIONS=print_stacktrace=1:log_path=" + (dir / "ubsan").string()},
                              &out, 120);
    EXPECT_EQ(rc, 0);
    if (rc != 0)
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().find("san.") != std::string::npos)
                ADD_FAILURE() << entry.path() << ":\n" << readFile(entry.path());
    const std::vector<int64_t> tunes = Tunes(readFile(trace));
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
