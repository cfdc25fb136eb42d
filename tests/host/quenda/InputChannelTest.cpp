// The applets read one channel of a stereo recording: the left one, or the one --input-channel
// names, as the plug-ins do.
#include "TestSupport.h"

#include <gmock/gmock.h>

namespace {

using namespace testsupport;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(AppletInputChannel, StereoRecordingGivesTheLeftChannelOrTheOneNamed)
{
    TempDir dir;
    // A 100 Hz tone on the right channel only; the left one is silent.
    const std::string wav = (dir / "right.wav").string();
    ASSERT_EQ(runProgram({binPath("siggen").string(), "ctcss", "--freq", "100", "--pattern", "on:8", "--channels", "2",
                          "--channel", "right", "--out", wav}),
              0);
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                          "XDG_CONFIG_HOME=" + (dir / "config").string(), "QT_QPA_PLATFORM=offscreen",
                                          "MSGBOX_LOG=", "WAVE_IN_FILE=", "WAVE_IN_CHANNEL=", "WAVE_IN_PACE="};
    struct Case {
        std::vector<std::string> channel;
        bool hearsTone;
    };
    for (const Case& c : {Case{{}, false}, Case{{"--input-channel", "left"}, false},
                          Case{{"--input-channel", "right"}, true}}) {
        SCOPED_TRACE(::testing::PrintToString(c.channel));
        std::vector<std::string> argv = {binPath("orvhost").string(), "--headless", "--input", wav, "--quenda",
                                         binPath("quenda").string(), "--start", "CTCSS Decoder", "--seconds", "4"};
        argv.insert(argv.end(), c.channel.begin(), c.channel.end());
        std::string out;
        ASSERT_EQ(runProgram(argv, env, &out, 90), 0);
        if (c.hearsTone)
            EXPECT_THAT(out, HasSubstr("CTCSS Decoder: 100.0Hz"));
        else
            EXPECT_THAT(out, Not(HasSubstr("100.0Hz")));
        EXPECT_THAT(out, HasSubstr("CTCSS Decoder: "));
    }
}

// A band whose station is a stereo recording with its sound on the right: the band plays the left
// channel, and orvhost says once that the station is silent there; --input-channel right plays it.
TEST(AppletInputChannel, TheBandPlaysTheChosenChannelAndNamesAStationSilentOnIt)
{
    TempDir dir;
    const std::string wav = (dir / "right.wav").string();
    ASSERT_EQ(runProgram({binPath("siggen").string(), "ctcss", "--freq", "100", "--pattern", "on:8", "--channels", "2",
                          "--channel", "right", "--out", wav}),
              0);
    writeFile(dir / "band.txt", "450012500 right.wav\n");
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                          "XDG_CONFIG_HOME=" + (dir / "config").string(), "QT_QPA_PLATFORM=offscreen",
                                          "MSGBOX_LOG=", "WAVE_IN_FILE=", "WAVE_IN_CHANNEL=", "WAVE_IN_PACE="};
    const std::string warning = "orvhost: band " + (dir / "band.txt").string() + ", station on 450012500 Hz: \"" + wav +
                                "\" holds only silence on its left channel, the one the band plays; its sound is on "
                                "the right channel (--input-channel right plays that one).\n";
    struct Case {
        std::vector<std::string> channel;
        bool hearsTone;
    };
    for (const Case& c : {Case{{}, false}, Case{{"--input-channel", "right"}, true}}) {
        SCOPED_TRACE(::testing::PrintToString(c.channel));
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + (dir / "err").string(),
                                         binPath("orvhost").string(), "--headless", "--band", (dir / "band.txt").string(),
                                         "--frequency", "450012500", "--quenda", binPath("quenda").string(), "--start",
                                         "CTCSS Decoder", "--seconds", "4"};
        argv.insert(argv.end(), c.channel.begin(), c.channel.end());
        std::string out;
        ASSERT_EQ(runProgram(argv, env, &out, 90), 0) << readFile(dir / "err");
        const std::string err = readFile(dir / "err");
        if (c.hearsTone) {
            EXPECT_THAT(out, HasSubstr("CTCSS Decoder: 100.0Hz"));
            EXPECT_THAT(err, Not(HasSubstr("holds only silence")));
        } else {
            EXPECT_THAT(out, Not(HasSubstr("100.0Hz")));
            const size_t at = err.find(warning);
            EXPECT_NE(at, std::string::npos) << err;
            EXPECT_EQ(err.find("holds only silence", at + warning.size()), std::string::npos) << "said once: " << err;
        }
        EXPECT_THAT(out, HasSubstr("CTCSS Decoder: "));
    }
}

}  // namespace
