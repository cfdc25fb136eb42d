// End to end: orvhost starts the packet applet by name with a generated recording as its sound
// input; the applet decodes the frames into its log, and when the host ends the conversation the
// window closes and writes its settings.
#include "Ax25.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/settings/Registry.h"

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::HasSubstr;
namespace ax = siggen::ax25;

namespace {

TEST(PacketUnderHost, DecodesTheRecordingIntoItsLogAndWritesItsSettingsWhenTheHostEnds)
{
    testsupport::TempDir dir;
    const std::string config = (dir / "config").string();
    const std::string logFile = (dir / "PACKET.LOG").string();
    {
        testsupport::ScopedEnv env("XDG_CONFIG_HOME", config);
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Quenda\\Packet", true));
        reg.WriteBool("Log", true);
        reg.WriteString("LogFileName", logFile);
        reg.CloseKey();
    }
    ax::Frame nodes = ax::nodesFrame("N9SND", "HOME", {{"N5AAA-2", "ALPHA", "N6NBR", 200}});
    ax::Frame ui = ax::uiFrame("N0CALL-7", "APRS", "!5130.00N/00010.00W-end to end", {"RELAY"});
    const std::vector<ax::Bytes> frames = {ax::withFcs(ax::encode(ui)), ax::withFcs(ax::encode(nodes))};
    ax::AfskOptions o = ax::afskFor(1200);
    siggen::writeWav(dir / "packet.wav", siggen::mono(ax::modulate(frames, o), o.rate));

    const std::filesystem::path trace = dir / "trace.jsonl";
    const std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--receiver", "4",
                                           "--quenda", testsupport::binPath("quenda").string(), "--start",
                                           "Packet Radio Decoder", "--seconds", "6", "--trace", trace.string()};
    ASSERT_EQ(testsupport::runProgram(argv,
                                      {"XDG_RUNTIME_DIR=" + dir.path().string(), "XDG_CONFIG_HOME=" + config,
                                       "QT_QPA_PLATFORM=offscreen", "MSGBOX_LOG=" + (dir / "boxes.jsonl").string(),
                                       "WAVE_IN_SCRIPT=", "WAVE_IN_FILE=" + (dir / "packet.wav").string(),
                                       "WAVE_IN_PACE=2"},
                                      nullptr, 120),
              0);
    const std::string text = testsupport::readFile(trace);
    EXPECT_THAT(text, HasSubstr("\"dde\":\"connect\",\"data\":\"Korvanta #4\""));
    EXPECT_THAT(text, HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    EXPECT_FALSE(std::filesystem::exists(dir / "boxes.jsonl")) << testsupport::readFile(dir / "boxes.jsonl");

    ASSERT_TRUE(std::filesystem::exists(logFile));
    const std::string log = testsupport::readFile(logFile);
    EXPECT_THAT(log, HasSubstr("Logging started"));
    EXPECT_THAT(log, HasSubstr("N0CALL-7 * \\RELAY>APRS<V2 UI C >  :\r\n!5130.00N/00010.00W-end to end"));
    EXPECT_THAT(log, HasSubstr("N9SND>NODES<V2 UI C >  [NET/ROM]:\r\nNode list from HOME callsign N9SND\r\n"
                               "    Call N5AAA-2 Name ALPHA Path N6NBR Quality 200"));
    EXPECT_THAT(log, HasSubstr("Logging stopped"));

    // The settings the window wrote on its way out.
    testsupport::ScopedEnv env("XDG_CONFIG_HOME", config);
    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Quenda\\Packet", false));
    EXPECT_EQ(reg.ReadInteger("DataRate"), 1200);
    EXPECT_TRUE(reg.ValueExists("Width"));
    EXPECT_TRUE(reg.ReadBool("Log"));
}

}  // namespace
