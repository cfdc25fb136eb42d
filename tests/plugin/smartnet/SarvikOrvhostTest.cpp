// orvhost --headless running libsarvik.so with auto tune preset on a generated 44100 Hz stereo
// control channel: the trace holds exactly the tunes the grants call for.
#include "OrvhostRun.h"
#include "TestSupport.h"
#include "platform/settings/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace {

using namespace testsupport;

bool IsUtf8(const std::string& text)
{
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 && c >= 0xC2 ? 2 : (c & 0xF0) == 0xE0 ? 3
                                                                           : (c & 0xF8) == 0xF0 && c <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

TEST(OrvhostSarvik, AutoTuneFollowsOneCallUntilItsEntryLeaves)
{
    TempDir dir;
    const auto config = dir / "config";
    {
        ScopedEnv env("XDG_CONFIG_HOME", config.string());
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Tollan\\Motorola SmartNet\\Receiver 1", true));
        reg.WriteBool("Auto Tune To", true);
    }
    // System 0x1234 announces control channel 752 until 9 s (identity reports count from 16 buffers
    // after the input channel is found). Then: radio 0x101 on 100 is followed; 0x202 on 200 is only
    // listed; 0x101 moves to 150 (back to control, then 150); 0x303 takes 200 from 0x202; 0x404 on
    // 530, the other half of 150, replaces the followed call (back to control, then 530).
    const auto wav = dir / "cc.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "smartnet", "--system", "0x1234", "--control", "752",
                          "--triple-until", "9", "--seconds", "15", "--channels", "2", "--channel", "right",
                          "--snr", "20", "--grant", "10.0,0x101,100", "--grant", "10.5,0x202,200", "--grant",
                          "11.0,0x101,150", "--grant", "11.5,0x303,200", "--grant", "12.0,0x404,530", "--out",
                          wav.string()}),
              0);
    const auto trace = dir / "trace.jsonl";
    std::string out;
    std::vector<std::string> env = orvhostEnv(dir.path(), config);
    env.insert(env.end(), {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast"});
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath("libsarvik.so").string(),
                               "--trace", trace.string()},
                              env, &out, 120);
    EXPECT_EQ(rc, 0);
    if (rc != 0)
        addSanitizerReports(dir.path());
    // The host takes the plug-in's name in its code page and writes it as text: every line of the
    // trace is UTF-8, and the registered sign is one character of it.
    bool named = false;
    std::istringstream traced(readFile(trace));
    for (std::string line; std::getline(traced, line);) {
        EXPECT_TRUE(IsUtf8(line)) << line;
        if (line.find("\"call\":\"orvPluginInit\"") != std::string::npos)
            named = line.find("\"name\":\"Motorola SmartNet\xC2\xAE\"") != std::string::npos;
    }
    EXPECT_TRUE(named);
    const PluginTunes t = pluginTunes(readFile(trace));
    ASSERT_GT(t.startFrequency, 0);
    const int64_t base = t.startFrequency - 752 * 25000;
    auto channel = [&](int64_t c) { return base + c * 25000; };
    // Closing removes every entry, the followed one returning to control first, and then gives the
    // host its own frequency back.
    EXPECT_EQ(t.tunes, (std::vector<int64_t>{channel(100), channel(752), channel(150), channel(752), channel(530),
                                             channel(752), t.startFrequency}));
    // Headless, each call that joins the on-air list is written where the run was started.
    EXPECT_EQ(callLines(out, "1234"),
              (std::vector<std::string>{" Radio 0101-grp on channel  100", " Radio 0202-grp on channel  200",
                                        " Radio 0101-grp on channel  150", " Radio 0303-grp on channel  200",
                                        " Radio 0404-grp on channel  530"}))
        << out;
}

}  // namespace
