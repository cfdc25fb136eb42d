// quenda's test program run by orvhost, each its own process, talking over the machine's socket.
#include "TestSupport.h"
#include "platform/instance/NamedLock.h"

#include <gmock/gmock.h>

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
    ASSERT_EQ(RunHost({"--start", "First Test Applet"}), 0);
    const std::vector<std::string> shown = Lines(Boxes(), "\"caption\"");
    ASSERT_EQ(shown.size(), 1u) << Boxes();
    EXPECT_THAT(shown[0], HasSubstr("\"caption\":\"Korvanta Quenda\",\"text\":\"A Korvanta Quenda applet is already "
                                    "running, please close it down first before trying to run another applet\","
                                    "\"flags\":48"));
    EXPECT_THAT(testsupport::readFile(trace), HasSubstr("\"event\":\"applet ended\",\"exit\":0"));
    EXPECT_TRUE(lock.Held());
}

}  // namespace
