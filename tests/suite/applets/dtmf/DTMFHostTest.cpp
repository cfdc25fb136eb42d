// The DTMF applet run by orvhost as a separate quenda process, its sound input a WAV file of keys:
// the keys reach DTMF.LOG, and the settings are written when the host ends the conversation.
#include "Dtmf.h"
#include "TestSupport.h"
#include "Wav.h"
#include "platform/settings/Registry.h"

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::HasSubstr;

namespace {

TEST(DTMFUnderHost, KeysFromTheSoundInputReachTheLogAndSettingsAreWrittenAtTheEnd)
{
    testsupport::TempDir dir;
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const std::string logFile = (dir / "DTMF.LOG").string();
    {
        platform::Registry reg;
        ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Quenda\\DTMF", true));
        reg.WriteBool("Log", true);
        reg.WriteString("LogFileName", logFile);
        reg.WriteBool("Method1", false);
        reg.CloseKey();
    }
    siggen::dtmf::Script s;
    s.digits = "0800#";
    s.toneSeconds = 0.15;
    s.pauseSeconds = 0.1;
    s.tailSeconds = 1.0;
    const std::string wav = (dir / "keys.wav").string();
    siggen::writeWav(wav, siggen::mono(siggen::dtmf::render(s, 11025), 11025), 16);

    const std::filesystem::path trace = dir / "trace.jsonl";
    const std::filesystem::path boxes = dir / "boxes.jsonl";
    std::string out;
    const std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--receiver", "2",
                                           "--quenda", testsupport::binPath("quenda").string(), "--start",
                                           "DTMF Decoder", "--seconds", "4", "--trace", trace.string()};
    ASSERT_EQ(testsupport::runProgram(argv,
                                      {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                       "XDG_CONFIG_HOME=" + (dir / "config").string(), "QT_QPA_PLATFORM=offscreen",
                                       "MSGBOX_LOG=" + boxes.string(), "WAVE_IN_FILE=" + wav, "WAVE_IN_PACE=fast"},
                                      &out, 90),
              0);
    // Headless, what the window shows is written where the run was started.
    EXPECT_THAT(out, HasSubstr("0800#\n"));
    const std::string text = testsupport::readFile(trace);
    EXPECT_THAT(text, HasSubstr("\"dde\":\"connect\",\"data\":\"Korvanta #2\""));
    EXPECT_THAT(text, HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    EXPECT_FALSE(std::filesystem::exists(boxes)) << testsupport::readFile(boxes);

    const std::string log = testsupport::readFile(logFile);
    EXPECT_EQ(log.rfind("\r\nLogging started ", 0), 0u) << log;
    EXPECT_THAT(log, HasSubstr(".\r\n\r\n0800#\r\n")) << log;
    EXPECT_THAT(log, HasSubstr("\r\n\r\nLogging stopped ")) << log;

    platform::Registry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\Korvanta Communications\\Quenda\\DTMF", false));
    EXPECT_TRUE(reg.ValueExists("Width"));
    EXPECT_TRUE(reg.ReadBool("Log"));
    EXPECT_FALSE(reg.ReadBool("Method1"));
    EXPECT_EQ(reg.ReadString("LogFileName"), logFile);
}

}  // namespace
