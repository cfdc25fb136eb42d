// Windows open on the screen: a stored position that leaves part of a window off every screen (as a
// run on a larger desktop, or one without a display, may have stored) is moved onto the screen when
// the window opens, and a headless run stores no position the window did not have.
#include "TestSupport.h"
#include "platform/settings/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace testsupport;

struct Window {
    const char* what;
    std::vector<std::string> args;  // what orvhost starts
    std::string key;                // below "\Software\Korvanta Communications\"
    const char* left;
    const char* top;
};

std::string KeyPath(const std::string& key) { return "\\Software\\Korvanta Communications\\" + key; }

// The stored position, or (-1000000, -1000000) for a value that is not there.
std::pair<int, int> StoredPosition(const Window& w)
{
    platform::Registry r;
    if (!r.OpenKey(KeyPath(w.key), false))
        return {-1000000, -1000000};
    return {r.ValueExists(w.left) ? r.ReadInteger(w.left) : -1000000,
            r.ValueExists(w.top) ? r.ReadInteger(w.top) : -1000000};
}

TEST(WindowPlace, StoredPositionOffTheScreenOpensOnItAndHeadlessStoresNone)
{
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const std::string wav = (dir / "cc.wav").string();
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--seconds", "4", "--out", wav}), 0);
    const std::vector<Window> windows = {
        {"MPT1327 plug-in", {"--plugin", libPath("libmarlet.so").string()}, "Tollan\\MPT1327\\Receiver 1", "Left", "Top"},
        {"text applet", {"--start", "DTMF Decoder"}, "Quenda\\DTMF", "LeftPosition", "TopPosition"},
        {"CTCSS Decoder", {"--start", "CTCSS Decoder"}, "Quenda\\CTCSS", "LeftPosition", "TopPosition"},
        {"scope", {"--start", "Audio Scope and Spectrum Analyser"}, "Quenda\\Audio Scope and Analyser", "Left", "Top"},
        {"recorder", {"--start", "Squelch Controlled Sound Recorder"}, "Quenda\\Squelch Controlled Recorder", "Left",
         "Top"},
    };
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                          "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                          "ORV_PLUGIN_PATH=" + dir.path().string(),
                                          "QT_QPA_PLATFORM=offscreen",
                                          "MSGBOX_LOG=" + (dir / "boxes").string(),
                                          "WAVE_IN_FILE=" + wav,
                                          "WAVE_IN_PACE=fast",
                                          "KORVANTA_HEADLESS="};
    for (const Window& w : windows) {
        SCOPED_TRACE(w.what);
        std::vector<std::string> argv = {binPath("orvhost").string(), "--seconds", "3"};
        argv.insert(argv.end(), w.args.begin(), w.args.end());
        {
            // Where a run without a display (800 x 600, the window centred) would have put it.
            platform::Registry r;
            ASSERT_TRUE(r.OpenKey(KeyPath(w.key), true));
            r.WriteInteger(w.left, -20);
            r.WriteInteger(w.top, -15);
        }
        // With a display (the offscreen platform's one screen at 0,0): on the screen's corner.
        ASSERT_EQ(runProgram(argv, env, nullptr, 90), 0);
        EXPECT_EQ(StoredPosition(w), std::make_pair(0, 0));

        // Headless: no position where there was none, and a stored one kept as it was.
        {
            platform::Registry r;
            ASSERT_TRUE(r.OpenKey(KeyPath(w.key), true));
            r.DeleteValue(w.left);
            r.DeleteValue(w.top);
        }
        argv.push_back("--headless");
        ASSERT_EQ(runProgram(argv, env, nullptr, 90), 0);
        EXPECT_EQ(StoredPosition(w), std::make_pair(-1000000, -1000000));
        {
            platform::Registry r;
            ASSERT_TRUE(r.OpenKey(KeyPath(w.key), true));
            r.WriteInteger(w.left, 1500);
            r.WriteInteger(w.top, 900);
        }
        ASSERT_EQ(runProgram(argv, env, nullptr, 90), 0);
        EXPECT_EQ(StoredPosition(w), std::make_pair(1500, 900));
    }
}

}  // namespace
