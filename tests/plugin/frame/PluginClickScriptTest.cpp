// A click script drives the plug-ins' windows under orvhost --headless: the decoder window's painted
// buttons, and the buttons of the database browser, the system editor and the about box they open.
#include "OrvhostRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace testsupport;

// Runs the plug-in on 19 s of its control channel (siggen's kind) with the script below.
void PressEveryWindowsButtons(const char* library, const char* kind)
{
    TempDir dir;
    const auto wav = dir / "cc.wav";
    std::vector<std::string> gen = {binPath("siggen").string(), kind, "--channels", "2", "--channel", "right",
                                    "--seconds", "19"};
    gen.insert(gen.end(), {"--out", wav.string()});
    ASSERT_EQ(runProgram(gen), 0);

    // The editor opens only once a system has been heard (about 7 s in); the browser's and the
    // editor's buttons exist only while they are open, so each press below shows its window opened.
    const auto script = dir / "clicks.txt";
    writeFile(script, "12000 click DBBrowse\n"
                      "13000 click RefreshButton\n"
                      "13500 click CloseBtn\n"
                      "14000 click SysEdit\n"
                      "15000 click CancelButton\n"
                      "15500 click AboutButton\n"
                      "16500 click OKButton\n");
    std::vector<std::string> env = orvhostEnv(dir.path(), dir / "config");
    env.push_back("UI_CLICK_SCRIPT=" + script.string());
    const auto err = dir / "err";
    std::string out;
    const int rc = runProgram(stderrTo(err, {binPath("orvhost").string(), "--headless", "--plugin",
                                             libPath(library).string(), "--input", wav.string()}),
                              env, &out, 120);
    EXPECT_EQ(rc, 0) << readFile(err);
    if (rc != 0)
        addSanitizerReports(dir.path());
    std::istringstream lines(readFile(err));
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.find("UI_CLICK_SCRIPT:"), std::string::npos) << line;
}

}  // namespace

TEST(PluginClickScript, PressesMarletsButtonsAndThoseOfTheWindowsTheyOpen)
{
    PressEveryWindowsButtons("libmarlet.so", "mpt1327");
}

TEST(PluginClickScript, PressesSarviksButtonsAndThoseOfTheWindowsTheyOpen)
{
    PressEveryWindowsButtons("libsarvik.so", "smartnet");
}
