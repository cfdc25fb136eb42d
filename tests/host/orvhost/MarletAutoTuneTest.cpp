// orvhost running libmarlet.so with auto tune on: each channel grant on the control channel the
// decoder can follow retunes the host to the traffic channel.
#include "TestSupport.h"
#include "platform/settings/Registry.h"

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
    {
        ScopedEnv env("XDG_CONFIG_HOME", config.string());
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan\\MPT1327\\Receiver 1", true));
        reg.WriteBool("Auto Tune To", true);
    }
    // Host on 450.0125 MHz, which the channel-number messages call channel 20: channel 0 is
    // 449.5125 MHz. The grant at 9 s comes while the host is still on the first traffic channel
    // (no system codeword after enough buffers has made it the control channel yet) and is only listed.
    const auto wav = dir / "cc.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--channel", "right", "--snr",
                          "20", "--seconds", "20", "--number", "7.2,20", "--number", "7.6,20", "--grant",
                          "8.5,1,100,200,100", "--grant", "9.2,1,101,201,300", "--grant", "13.5,1,102,202,200",
                          "--grant", "17.5,1,103,203,50", "--out", wav.string()}),
              0);
    const auto trace = dir / "trace.jsonl";
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath("libmarlet.so").string(),
                               "--trace", trace.string()},
                              {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast",
                               "XDG_RUNTIME_DIR=" + dir.path().string(), "XDG_CONFIG_HOME=" + config.string(),
                               "ORV_PLUGIN_PATH=" + dir.path().string(), "MSGBOX_LOG=" + (dir / "boxes").string(),
                               "QT_QPA_PLATFORM=offscreen", "ASAN_OPTIONS=log_path=" + (dir / "asan").string(),
                               "UBSAN_OPTIONS=print_stacktrace=1:log_path=" + (dir / "ubsan").string()},
                              nullptr, 120);
    EXPECT_EQ(rc, 0);
    if (rc != 0)
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().find("san.") != std::string::npos)
                ADD_FAILURE() << entry.path() << ":\n" << readFile(entry.path());
    const std::vector<int64_t> tunes = Tunes(readFile(trace));
    // The close gives the host its own frequency back.
    EXPECT_EQ(tunes, (std::vector<int64_t>{452012500, 454512500, 450762500, 450012500}));
}

}  // namespace
