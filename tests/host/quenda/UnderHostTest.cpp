// quenda's test program run by orvhost, each its own process, talking over the machine's socket.
#include "TestSupport.h"
#include "platform/instance/NamedLock.h"

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <sstream>

using ::testing::HasSubstr;

namespace {

std::vector<std::string> Lines(const std::string& text, const std::string& containing)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.find(containing) != std::string::npos)
            lines.push_back(line);
    return lines;
}

class UnderHost : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    const std::string applets = std::filesystem::canonical(testsupport::binPath("quenda_testapplets")).string();
    const std::filesystem::path trace = dir / "trace.jsonl";
    const std::filesystem::path boxes = dir / "boxes.jsonl";

    // orvhost for receiver 3 with quenda's test program and these options.
    int RunHost(std::vector<std::string> options, std::vector<std::string> env = {})
    {
        std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--receiver", "3",
                                         "--quenda", applets, "--trace", trace.string()};
        argv.insert(argv.end(), options.begin(), options.end());
        env.push_back("XDG_RUNTIME_DIR=" + dir.path().string());
        env.push_back("XDG_CONFIG_HOME=" + (dir / "config").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("MSGBOX_LOG=" + boxes.string());
        return testsupport::runProgram(argv, env, nullptr, 90);
    }
    std::string Boxes() const { return std::filesystem::exists(boxes) ? testsupport::readFile(boxes) : ""; }
};

TEST_F(UnderHost, GetAppletsPokesEachRegisteredAppletInOrderWithItsNul)
{
    ASSERT_EQ(RunHost({"--get-applets"}), 0);
    const std::string text = testsupport::readFile(trace);
    const std::vector<std::string> pokes = Lines(text, "\"dde\":\"poke\"");
    ASSERT_EQ(pokes.size(), 2u) << text;
    const std::string first = "First Test Applet|" + applets, second = "Second Test Applet|" + applets;
    EXPECT_THAT(pokes[0], HasSubstr("\"item\":\"Quenda Applet\",\"data\":\"" + first + "\",\"length\":" +
                                    std::to_string(first.size() + 1) + "}"));
    EXPECT_THAT(pokes[1], HasSubstr("\"item\":\"Quenda Applet\",\"data\":\"" + second + "\",\"length\":" +
                                    std::to_string(second.size() + 1) + "}"));
    EXPECT_THAT(text, HasSubstr("\"dde\":\"connect\",\"data\":\"Korvanta #3\""));
    EXPECT_THAT(text, HasSubstr("\"event\":\"GetApplets ended\",\"exit\":0,\"applets\":2"));
    EXPECT_EQ(Boxes(), "");
}

TEST_F(UnderHost, AppletStartWhileTheLockIsHeldShowsAlreadyRunningAndEnds)
{
    platform::NamedLock lock("Korvanta Quenda Applet");
    ASSERT_TRUE(lock.Add());
    ASSERT_EQ(RunHost({"--start", "First Test Applet"}), 1) << "the applet did not start";
    const std::vector<std::string> shown = Lines(Boxes(), "\"caption\"");
    ASSERT_EQ(shown.size(), 1u) << Boxes();
    EXPECT_THAT(shown[0], HasSubstr("\"caption\":\"Korvanta Quenda\",\"text\":\"A Korvanta Quenda applet is already "
                                    "running, please close it down first before trying to run another applet\","
                                    "\"flags\":48"));
    EXPECT_THAT(testsupport::readFile(trace), HasSubstr("\"event\":\"applet ended\",\"exit\":1"));
    EXPECT_TRUE(lock.Held());
}

// The sound-input opener in a started applet, on the scripted device of the applet's process.
TEST_F(UnderHost, FailingSoundInputRetriesThenAsksOrShowsTheError)
{
    struct Case {
        const char* failOpens;
        const char* answers;
        size_t opens;
        std::vector<std::string> boxes;
    };
    const std::string busy = "\"caption\":\"Warning\",\"text\":\"The sound card is currently being used, try again?\","
                             "\"flags\":52";
    const std::vector<Case> cases = {
        // busy: six attempts, then each Yes tries once more; the eighth open succeeds
        {"7 32", "yes,yes", 8, {busy, busy}},
        // busy, and No gives up after the first question
        {"9 32", "no", 6, {busy}},
        // any other error: its text after the sixth attempt
        {"6 4", "", 6, {"\"caption\":\"Wave In Error\",\"text\":\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failOpens);
        const std::filesystem::path calls = dir / "calls.log";
        std::filesystem::remove(calls);
        std::filesystem::remove(boxes);
        testsupport::writeFile(dir / "input.script", std::string("fail_opens ") + c.failOpens + "\nrecord calls.log\n");
        ASSERT_EQ(RunHost({"--start", "Second Test Applet"},
                          {"WAVE_IN_SCRIPT=" + (dir / "input.script").string(), std::string("MSGBOX_ANSWER=") + c.answers}),
                  1)
            << "the test applet lets the input go and does not start its window";
        EXPECT_EQ(Lines(testsupport::readFile(calls), "open ").size(), c.opens);
        const std::vector<std::string> shown = Lines(Boxes(), "\"caption\"");
        ASSERT_EQ(shown.size(), c.boxes.size()) << Boxes();
        for (size_t i = 0; i < shown.size(); ++i)
            EXPECT_THAT(shown[i], HasSubstr(c.boxes[i]));
    }
}

TEST_F(UnderHost, HeadlessScannerStopsAndResumesByItselfWithoutAnApplet)
{
    ASSERT_EQ(RunHost({"--scan-dwell", "40", "--scan-timeout", "80", "--seconds", "1"}), 0);
    const std::string text = testsupport::readFile(trace);
    EXPECT_GE(Lines(text, "\"advise\",\"item\":\"ScanState\",\"data\":\"0\"").size(), 2u) << text;
    EXPECT_GE(Lines(text, "\"event\":\"scan resumed after time-out\"").size(), 2u) << text;
    EXPECT_NE(RunHost({"--scan-dwell", "soon"}), 0);
}

// When its time is up the host ends the conversations and lets the applet close by itself, rather
// than killing it before it has written its settings.
TEST_F(UnderHost, TimedRunLetsTheRunningAppletCloseOnTheDisconnect)
{
    testsupport::writeFile(dir / "input.script", "silence_at_end\n");
    const std::string quenda = testsupport::binPath("quenda").string();
    std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--receiver", "2",
                                     "--quenda", quenda, "--start", "Signal Classifier", "--seconds", "1",
                                     "--trace", trace.string()};
    ASSERT_EQ(testsupport::runProgram(argv,
                                      {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                       "XDG_CONFIG_HOME=" + (dir / "config").string(), "QT_QPA_PLATFORM=offscreen",
                                       "MSGBOX_LOG=" + boxes.string(),
                                       "WAVE_IN_SCRIPT=" + (dir / "input.script").string()},
                                      nullptr, 90),
              0);
    const std::string text = testsupport::readFile(trace);
    EXPECT_THAT(text, HasSubstr("\"dde\":\"connect\",\"data\":\"Korvanta #2\""));
    EXPECT_THAT(text, HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    EXPECT_EQ(Boxes(), "");
}

// Headless, an applet's run without --seconds ends with its recording, or with the band once every
// station has played to its end, after the applet has decoded what it holds; nothing waits for a person.
TEST_F(UnderHost, HeadlessAppletRunWithoutSecondsEndsWithItsRecordingOrTheBand)
{
    const std::string keys = (dir / "keys.wav").string();
    ASSERT_EQ(testsupport::runProgram({testsupport::binPath("siggen").string(), "dtmf", "--digits", "147#", "--tone",
                                       "0.1", "--out", keys}),
              0);
    testsupport::writeFile(dir / "band.txt", "450012500 " + keys + "\n");
    struct Case {
        const char* name;
        std::vector<std::string> options, env;
    };
    for (const Case& c : std::vector<Case>{
             {"recording", {}, {"WAVE_IN_FILE=" + keys}},
             {"band", {"--band", (dir / "band.txt").string(), "--frequency", "450012500"}, {}},
         }) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv = {testsupport::binPath("orvhost").string(), "--headless", "--quenda",
                                         testsupport::binPath("quenda").string(), "--start", "DTMF Decoder",
                                         "--trace", trace.string()};
        argv.insert(argv.end(), c.options.begin(), c.options.end());
        std::vector<std::string> env = c.env;
        for (std::string e : {"XDG_RUNTIME_DIR=" + dir.path().string(), "XDG_CONFIG_HOME=" + (dir / "config").string(),
                              std::string("QT_QPA_PLATFORM=offscreen"), "MSGBOX_LOG=" + boxes.string()})
            env.push_back(e);
        std::string out;
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(testsupport::runProgram(argv, env, &out, 60), 0);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_LT(took, 20.0);
        EXPECT_THAT(out, HasSubstr("147#\n"));
        EXPECT_THAT(testsupport::readFile(trace), HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
        EXPECT_EQ(Boxes(), "");
    }
}

}  // namespace
