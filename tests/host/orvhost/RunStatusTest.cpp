// orvhost --headless tells a script how the run went by its exit status, with one line on standard
// error for each failure: an applet that failed or had to be stopped, an error box of the plug-in or
// of the applet that nobody saw.
#include "TestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <sys/stat.h>

namespace {

using namespace testsupport;
using ::testing::HasSubstr;
using ::testing::Not;

// Runs orvhost with these arguments in dir; its standard error in *err, its status returned.
int RunHost(const TempDir& dir, std::vector<std::string> args, const std::vector<std::string>& env, std::string* err,
            int timeoutSeconds = 120)
{
    const auto errFile = dir / "err";
    args.insert(args.begin(), {binPath("orvhost").string(), "--headless"});
    const std::vector<std::string> argv = stderrTo(errFile, std::move(args));
    std::vector<std::string> all = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                    "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                    "ORV_PLUGIN_PATH=" + dir.path().string(),
                                    "QT_QPA_PLATFORM=offscreen",
                                    "MSGBOX_LOG=",  // the boxes as a user sees them headless: on standard error
                                    "WAVE_IN_FILE=",
                                    "WAVE_IN_PACE="};
    all.insert(all.end(), env.begin(), env.end());
    const int status = runProgram(argv, all, nullptr, timeoutSeconds);
    *err = readFile(errFile);
    return status;
}

// An applet program that does what its shell line says, in place of quenda.
struct AppletCase {
    const char* name;
    const char* body;
    int status;
    const char* line;  // the one line orvhost writes; empty for none
};

const AppletCase kAppletCases[] = {
    {"EndsWhenAsked", "exec sleep 2", 0, ""},
    {"FailsWithItsOwnStatus", "exit 5", 1, "orvhost: the applet \"Fake Applet\" ended with status 5"},
    {"EndedByASignal", "sleep 1; kill -KILL $$", 1, "orvhost: the applet \"Fake Applet\" was ended by signal 9"},
    {"DoesNotEndAtAll", "trap '' TERM HUP INT; exec sleep 60", 4,
     "orvhost: the applet \"Fake Applet\" did not end within 10 s of the end of the run and was stopped; what it "
     "had not written is lost"},
};

class OrvhostAppletStatus : public ::testing::TestWithParam<AppletCase> {};

TEST_P(OrvhostAppletStatus, TellsHowTheAppletEnded)
{
    const AppletCase& c = GetParam();
    TempDir dir;
    const auto applet = dir / "applet";
    writeFile(applet, std::string("#!/bin/sh\n") + c.body + "\n");
    std::filesystem::permissions(applet, std::filesystem::perms::owner_all);
    std::string err;
    const int status =
        RunHost(dir, {"--quenda", applet.string(), "--start", "Fake Applet", "--seconds", "1"}, {}, &err);
    EXPECT_EQ(status, c.status) << err;
    if (*c.line) {
        EXPECT_THAT(err, HasSubstr(std::string(c.line) + "\n"));
        EXPECT_EQ(err.find("orvhost:"), err.rfind("orvhost:")) << "one line, not more:\n" << err;
    } else {
        EXPECT_THAT(err, Not(HasSubstr("orvhost:"))) << err;
    }
}

INSTANTIATE_TEST_SUITE_P(Applets, OrvhostAppletStatus, ::testing::ValuesIn(kAppletCases),
                         [](const ::testing::TestParamInfo<AppletCase>& info) { return std::string(info.param.name); });

// A run of a plug-in and an applet together that ends with the plug-in's recording gives the applet
// its time too, and says when it had to be stopped.
TEST(OrvhostAppletStatus, AnAppletBesideAPlugInIsGivenItsTimeAtTheEndOfTheRecording)
{
    TempDir dir;
    const auto wav = dir / "cc.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--seconds", "2", "--channels", "2", "--out",
                          wav.string()}),
              0);
    const auto applet = dir / "applet";
    const std::vector<std::string> args = {"--plugin", libPath("libmarlet.so").string(), "--input", wav.string(),
                                           "--pace", "fast", "--quenda", applet.string(), "--start", "Fake Applet"};
    std::string err;
    writeFile(applet, "#!/bin/sh\nexec sleep 4\n");
    std::filesystem::permissions(applet, std::filesystem::perms::owner_all);
    EXPECT_EQ(RunHost(dir, args, {}, &err), 0) << "it ends within its time:\n" << err;
    writeFile(applet, "#!/bin/sh\ntrap '' TERM HUP INT; exec sleep 60\n");
    EXPECT_EQ(RunHost(dir, args, {}, &err), 4) << err;
    EXPECT_THAT(err, HasSubstr("orvhost: the applet \"Fake Applet\" did not end within 10 s"));
}

// The plug-in's database cannot be opened (a folder stands where its file goes): its error boxes are
// written and answered, the run goes on to the end of the recording, and its status says it failed.
TEST(OrvhostErrorStatus, APlugInsErrorBoxFailsTheRun)
{
    TempDir dir;
    const auto wav = dir / "cc.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--seconds", "12", "--channels", "2", "--out",
                          wav.string()}),
              0);
    const std::vector<std::string> args = {"--plugin", libPath("libmarlet.so").string(), "--input", wav.string(),
                                           "--pace", "fast"};
    std::string err;
    ASSERT_EQ(RunHost(dir, args, {}, &err), 0) << "with its database the run goes through:\n" << err;
    EXPECT_THAT(err, Not(HasSubstr("Error"))) << err;

    std::filesystem::remove(dir / "MPT1327.MEM");
    std::filesystem::create_directory(dir / "MPT1327.MEM");
    EXPECT_EQ(RunHost(dir, args, {}, &err), 3) << err;
    EXPECT_THAT(err, HasSubstr("Fatal Error!: The database file can't be opened!\n"));
    EXPECT_THAT(err, HasSubstr("Fatal Error: Cannot access the special database file!\n"));
    EXPECT_THAT(err, HasSubstr("orvhost: the run showed an error message (see above)\n"));
}

// The applet's error box, in its own process, reaches orvhost too: the recorder asked to record into a
// folder that is not there.
TEST(OrvhostErrorStatus, AnAppletsErrorBoxFailsTheRun)
{
    TempDir dir;
    const auto wav = dir / "in.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "tone", "--freq", "1000", "--seconds", "6", "--out",
                          wav.string()}),
              0);
    writeFile(dir / "clicks.txt", "300 click RecordButton\n");
    std::string err;
    const int status =
        RunHost(dir,
                {"--quenda", binPath("quenda").string(), "--start", "Squelch Controlled Sound Recorder", "--input",
                 wav.string(), "--seconds", "3"},
                {"UI_CLICK_SCRIPT=" + (dir / "clicks.txt").string(),
                 "DIALOG_ANSWER=save=" + (dir / "no such folder" / "rec.wav").string()},
                &err);
    EXPECT_EQ(status, 3) << err;
    EXPECT_THAT(err, HasSubstr("no such folder"));
    EXPECT_THAT(err, HasSubstr("orvhost: the run showed an error message (see above)\n"));
}

}  // namespace
