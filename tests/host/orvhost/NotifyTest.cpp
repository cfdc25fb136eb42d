// What orvhost tells a plug-in and the applets when its receiver changes, the receiver it takes
// from the receiver library, and the one trace that holds the library's calls as well.
#include "EventPump.h"
#include "HostRig.h"
#include "PluginHost.h"
#include "PrimaryReceiver.h"
#include "TestSupport.h"
#include "platform/kvapi32/Kvapi32.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

namespace {

using namespace testsupport;
using namespace orvhosttest;

struct Rig : HostRig {
    std::unique_ptr<PrimaryReceiver> primary;
    std::unique_ptr<PluginHost> plugin;

    Rig() : HostRig(3, true)
    {
        primary = std::make_unique<PrimaryReceiver>(core->state());
        plugin = std::make_unique<PluginHost>(core->trace(), core->state());
    }
    ~Rig()
    {
        plugin.reset();
        primary.reset();
    }
    std::vector<std::string> pluginLog() { return Lines(readFile(dir / "plugin.log")); }
};

TEST(OrvhostNotify, EveryScriptedChangeReachesThePluginAndTheApplets)
{
    Rig rig;
    ASSERT_TRUE(rig.primary->open());
    std::string error;
    ASSERT_TRUE(rig.plugin->load(libPath("liborvhost_recording_plugin.so").string(), &error)) << error;
    ASSERT_TRUE(rig.plugin->start());
    struct Case {
        const char* step;
        const char* toPlugin;  // the notification, or "" for none
        const char* toApplet;  // the advised item, or "" for none
    };
    const Case cases[] = {
        {"Frequency 451000000", "notify 0x0800 451000000", ""},
        {"Volume 200", "notify 0x0E00 200", ""},
        {"Attenuator 1", "notify 0x0C01 1", ""},
        {"Power 0", "notify 0x0100 0", ""},
        {"Power 1", "notify 0x0100 1", ""},
        {"Squelch 20000", "", "Squelch 20000"},
        {"ScanState 1", "", "ScanState 1"},
        {"Mute 1", "", "Mute 1"},
        {"SignalStrength 30000", "notify 0x0B00 30000", "SignalStrength 30000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        std::remove((rig.dir / "plugin.log").c_str());
        rig.dde->advised.clear();
        rig.core->play(*HostScript::parse(std::string("0 ") + c.step + "\n", &error));
        if (*c.toPlugin) {
            // The level comes at the receiver's own rhythm, the others at once.
            EXPECT_TRUE(pumpUntil([&] {
                for (const std::string& l : rig.pluginLog())
                    if (l == c.toPlugin)
                        return true;
                return false;
            }));
        } else {
            pumpUntil([] { return false; }, 300);
            for (const std::string& l : rig.pluginLog())
                EXPECT_THAT(l, HasSubstr("0x0B00"));  // nothing but the regular level report
        }
        if (*c.toApplet)
            EXPECT_THAT(rig.dde->advised, ::testing::Contains(c.toApplet));
        else
            EXPECT_THAT(rig.dde->advised, ::testing::IsEmpty());
    }
    // A retune, a volume and an attenuator change reach the receiver library's receiver as well.
    EXPECT_EQ(GetFrequency(rig.primary->number()), 451000000u);
    EXPECT_EQ(GetVolume(rig.primary->number()), 200);
    EXPECT_EQ(GetAtten(rig.primary->number()), 1);
    EXPECT_EQ(GetMute(rig.primary->number()), 1);
}

// A receiver's meter moves as soon as it is tuned: the level follows a retune at once, whoever
// made it, not only at the next of the regular reports (every 200 ms, restarted by the retune).
TEST(OrvhostNotify, TheLevelIsToldAtOnceAfterEveryRetune)
{
    Rig rig;
    ASSERT_TRUE(rig.primary->open());
    std::string error;
    ASSERT_TRUE(rig.plugin->load(libPath("liborvhost_recording_plugin.so").string(), &error)) << error;
    ASSERT_TRUE(rig.plugin->start());
    // The plug-in's own tune at its start.
    const auto levelAfter = [&](const std::string& tune) {
        const std::vector<std::string> log = rig.pluginLog();
        const auto at = std::find(log.begin(), log.end(), tune);
        return at != log.end() && std::find_if(at, log.end(), [](const std::string& l) {
                                      return l.rfind("notify 0x0B00 ", 0) == 0;
                                  }) != log.end();
    };
    // At once: well before the 200 ms rhythm would bring one, with room for a busy machine.
    EXPECT_TRUE(pumpUntil([&] { return levelAfter("notify 0x0800 453000000"); }, 150));
    // A script's retune.
    std::remove((rig.dir / "plugin.log").c_str());
    rig.core->play(*HostScript::parse("0 SignalStrength 21000\n0 Frequency 451000000\n", &error));
    EXPECT_TRUE(pumpUntil([&] { return levelAfter("notify 0x0800 451000000"); }, 150));
    EXPECT_THAT(rig.pluginLog(), ::testing::Contains("notify 0x0B00 21000"));
}

TEST(OrvhostNotify, TheHostsReceiverComesFromTheLibraryAndAPluginGetsTheNextOne)
{
    Rig rig;
    ASSERT_TRUE(rig.primary->open());
    EXPECT_EQ(rig.primary->number(), 1);
    EXPECT_EQ(GetPower(1), 1);
    EXPECT_EQ(GetFrequency(1), 450012500u);
    std::string error;
    ASSERT_TRUE(rig.plugin->load(libPath("liborvhost_recording_plugin.so").string(), &error)) << error;
    ASSERT_TRUE(rig.plugin->start());
    // The plug-in's own tune is told back before its command returns; its own volume is not.
    EXPECT_THAT(rig.pluginLog(), ::testing::ElementsAre("receiver 2", "frequency 450012500",
                                                        "notify 0x0800 453000000", "tuned 453000000"));
    EXPECT_EQ(rig.core->state().get("Volume"), 77);
    EXPECT_EQ(GetVolume(1), 77);
    EXPECT_EQ(GetFrequency(1), 453000000u);
    rig.plugin->close();
    CloseRadioDevice(2);
    rig.primary->close();
    EXPECT_EQ(OpenRadioCount(), 0);
}

TEST(OrvhostNotify, OneTraceHoldsTheHostsThePluginsAndTheLibrarysLines)
{
    TempDir dir;
    writeFile(dir / "pool", "receivers 2\n");
    const auto trace = dir / "trace.jsonl";
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--seconds", "1", "--plugin",
                               libPath("liborvhost_recording_plugin.so").string(), "--trace", trace.string()},
                              {"KVAPI32_FAKE=" + (dir / "pool").string(), "KVAPI32_TRACE=" + (dir / "other").string(),
                               "RECORDING_PLUGIN_LOG=" + (dir / "plugin.log").string(),
                               "XDG_RUNTIME_DIR=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen"},
                              nullptr, 60);
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "other"));
    std::vector<std::string> kinds;
    double last = 0;
    for (const std::string& l : Lines(readFile(trace))) {
        ASSERT_EQ(l.front(), '{') << l;
        ASSERT_EQ(l.back(), '}') << l;
        // One clock for the host's lines and the library's: the times never go back.
        const double t = std::stod(l.substr(5));
        EXPECT_GE(t, last) << l;
        last = t;
        if (l.find("\"call\":\"OpenRadioDevice\"") != std::string::npos ||
            l.find("\"call\":\"SetFrequency\"") != std::string::npos ||
            l.find("\"call\":\"orvPluginStart\"") != std::string::npos)
            kinds.push_back(l.substr(l.find("\"dir\"")));
    }
    EXPECT_THAT(kinds, ::testing::ElementsAre(
                           "\"dir\":\"host->kvapi32\",\"call\":\"OpenRadioDevice\",\"receiver\":0,\"args\":[],\"result\":1}",
                           "\"dir\":\"host->kvapi32\",\"call\":\"SetFrequency\",\"receiver\":1,\"args\":[450012500],\"result\":1}",
                           "\"dir\":\"plugin->kvapi32\",\"call\":\"OpenRadioDevice\",\"receiver\":0,\"args\":[],\"result\":2}",
                           "\"dir\":\"plugin->kvapi32\",\"call\":\"SetFrequency\",\"receiver\":2,\"args\":[1000000],\"result\":1}",
                           "\"dir\":\"host->kvapi32\",\"call\":\"SetFrequency\",\"receiver\":1,\"args\":[453000000],\"result\":1}",
                           "\"dir\":\"host->plugin\",\"call\":\"orvPluginStart\",\"result\":7}"));
}

TEST(OrvhostNotify, UnderABandTheLevelReportedFollowsRetunesAndStationsLeavingTheAir)
{
    TempDir dir;
    ASSERT_EQ(runProgram({binPath("siggen").string(), "noise", "--seconds", "5", "--out", (dir / "a.wav").string()}), 0);
    writeFile(dir / "band", "450012500 a.wav\n451000000 a.wav 30000\n");
    writeFile(dir / "script", "0.5 Frequency 451000000\n1.0 station-off 451000000\n1.5 station-on 451000000\n");
    const auto trace = dir / "trace.jsonl";
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--seconds", "2", "--band",
                               (dir / "band").string(), "--script", (dir / "script").string(), "--plugin",
                               libPath("liborvhost_recording_plugin.so").string(), "--trace", trace.string()},
                              {"RECORDING_PLUGIN_LOG=" + (dir / "plugin.log").string(),
                               "XDG_RUNTIME_DIR=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen"},
                              nullptr, 60);
    EXPECT_EQ(rc, 0);
    // The levels in the order the plug-in heard them, each once: its own tune to 453 MHz at start
    // leaves the stations (noise), the script's retune finds the second one, which then leaves the
    // air and comes back.
    std::vector<std::string> levels;
    for (const std::string& l : Lines(readFile(dir / "plugin.log")))
        if (l.rfind("notify 0x0B00 ", 0) == 0 && (levels.empty() || levels.back() != l.substr(14)))
            levels.push_back(l.substr(14));
    EXPECT_THAT(levels, ::testing::ElementsAre("12288", "30000", "12288", "30000"));
    // The applets are told every level as it changes, from the first station's on.
    std::vector<std::string> advised;
    for (const std::string& l : Lines(readFile(trace)))
        if (l.find("\"item\":\"SignalStrength\"") != std::string::npos)
            advised.push_back(l.substr(l.find("\"data\":")));
    EXPECT_THAT(advised, ::testing::ElementsAre("\"data\":\"43008\"}", "\"data\":\"12288\"}", "\"data\":\"30000\"}",
                                                "\"data\":\"12288\"}", "\"data\":\"30000\"}"));
}

}  // namespace
