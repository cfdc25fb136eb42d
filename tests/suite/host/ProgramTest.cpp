// Runs of the program itself: the ways out that show no window.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

TEST(QuendaProgram, EndsAtOnceWithoutAHostOrWithTooFewArguments)
{
    testsupport::TempDir dir;
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen"};
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, {"3"}, {"0", "First", "Test", "Applet"}, {"3", "GetApplets"}, {"3", "getapplets"}}) {
        std::vector<std::string> argv = {testsupport::binPath("quenda_testapplets").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(testsupport::runProgram(argv, env, nullptr, 30), 0) << ::testing::PrintToString(args);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
    EXPECT_EQ(testsupport::runProgram({testsupport::binPath("quenda").string(), "3", "GetApplets"}, env, nullptr, 30), 0);
}

TEST(QuendaProgram, RunByHandWithoutWhatItTakesSaysSoInOneLine)
{
    testsupport::TempDir dir;
    // A recording stands in for the sound card, so the name is what stops the run.
    std::filesystem::create_directory(dir / "runtime");
    std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + (dir / "runtime").string(), "QT_QPA_PLATFORM=offscreen",
                                          "WAVE_IN_FILE=" + (dir / "none.wav").string(), "MSGBOX_LOG="};
    const std::string usage = "quenda: usage: quenda <receiver number, not 0> GetApplets | quenda <receiver number, "
                              "not 0> <applet name>\n";
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, 0, usage},
        {{"3"}, 0, usage},
        {{"0", "DTMF", "Decoder"}, 0, usage},
        // no window and no host needed to learn that the name is wrong
        {{"3", "No", "Such", "Applet"}, 1,
         "quenda: no applet is named \"No Such Applet\"; the applets are \"Audio Scope and Spectrum Analyser\", "
         "\"Packet Radio Decoder\", \"DTMF Decoder\", \"CTCSS Decoder\", \"Signal Classifier\", \"ACARS Decoder\", "
         "\"Squelch Controlled Sound Recorder\"\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + (dir / "err").string(),
                                         testsupport::binPath("quenda").string()};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string out;
        EXPECT_EQ(testsupport::runProgram(argv, env, &out, 30), c.status) << ::testing::PrintToString(c.args);
        EXPECT_EQ(testsupport::readFile(dir / "err"), c.says) << ::testing::PrintToString(c.args);
        EXPECT_EQ(out, "");
    }
}

}  // namespace
