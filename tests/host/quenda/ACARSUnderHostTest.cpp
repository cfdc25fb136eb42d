// The ACARS Decoder started by name under orvhost: a generated recording as its sound input decodes
// into "ACARS.LOG" with the fields and details, and the window's settings are written under the
// applet's own value names when the host ends the conversation.
#include "TestSupport.h"
#include "platform/settings/Registry.h"

#include <gmock/gmock.h>

#include <filesystem>

using ::testing::HasSubstr;

namespace {

TEST(ACARSUnderHost, DecodesARecordingIntoItsLogAndStoresItsSettings)
{
    testsupport::TempDir dir;
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const std::string key = "\\Software\\Korvanta Communications\\Quenda\\ACARS";
    const std::string logFile = (dir / "ACARS.LOG").string();
    {
        platform::Registry r;
        ASSERT_TRUE(r.OpenKey(key, true));
        r.WriteBool("Log", true);
        r.WriteString("Log File Name", logFile);
        r.WriteBool("Registration Details", true);
        r.WriteBool("Labels Details", true);
        r.CloseKey();
    }
    const std::string wav = (dir / "acars.wav").string();
    ASSERT_EQ(testsupport::runProgram({testsupport::binPath("siggen").string(), "acars", "--out", wav, "--address",
                                       ".G-ABCD", "--label", "H1", "--text", "M01ABA0123FIRST MESSAGE", "--text",
                                       "M02ABA0123SECOND MESSAGE", "--snr", "25"}),
              0);
    const std::filesystem::path trace = dir / "trace.jsonl";
    const std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--receiver", "2",
                                           "--quenda", testsupport::binPath("quenda").string(), "--start",
                                           "ACARS Decoder", "--seconds", "4", "--trace", trace.string()};
    ASSERT_EQ(testsupport::runProgram(argv,
                                      {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                       "XDG_CONFIG_HOME=" + (dir / "config").string(), "QT_QPA_PLATFORM=offscreen",
                                       "MSGBOX_LOG=" + (dir / "boxes.jsonl").string(), "WAVE_IN_FILE=" + wav,
                                       "WAVE_IN_PACE=fast"},
                                      nullptr, 90),
              0);
    EXPECT_THAT(testsupport::readFile(trace), HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    ASSERT_TRUE(std::filesystem::exists(logFile));
    const std::string log = testsupport::readFile(logFile);
    EXPECT_THAT(log, HasSubstr("Logging started "));
    EXPECT_THAT(log, HasSubstr("ACARS Mode: 2  Aircraft registration: .G-ABCD - United Kingdom  Acknowledge: No\r\n"
                               "Message label: H1 - Message to/from terminal  Block id: 1\r\nMessage no: M01A\r\n"
                               "Flight id: BA0123\r\nMessage: FIRST MESSAGE"));
    // The separator, then the next message's date-time line (written to the log only).
    EXPECT_THAT(log, HasSubstr("Message: FIRST MESSAGE\r\n\r\n"));
    EXPECT_THAT(log, HasSubstr("Message: SECOND MESSAGE"));
    EXPECT_THAT(log, HasSubstr("Logging stopped "));

    platform::Registry r;
    ASSERT_TRUE(r.OpenKey(key, false));
    for (const char* name : {"Width", "Height", "Log", "Log File Name", "Paused", "Toolbar",
                             "Parity Filter", "Syntax Check", "Labels Details", "Message Number Details",
                             "Registration Details", "Flight ID Details"})
        EXPECT_TRUE(r.ValueExists(name)) << name;
    EXPECT_TRUE(r.ReadBool("Labels Details"));
    EXPECT_FALSE(r.ReadBool("Parity Filter"));
    EXPECT_EQ(r.ReadString("Log File Name"), logFile);
    EXPECT_FALSE(r.ValueExists("LeftPosition"));
    // A run without a display stores no position the window did not have.
    EXPECT_FALSE(r.ValueExists("Left"));
    EXPECT_FALSE(r.ValueExists("Top"));
}

} // namespace
