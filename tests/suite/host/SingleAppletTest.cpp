// The single-applet rule between separate runs of the program started at the same moment.
#include "TestSupport.h"

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

namespace {

size_t CountLines(const std::filesystem::path& file, const std::string& containing)
{
    if (!std::filesystem::exists(file))
        return 0;
    std::istringstream in(testsupport::readFile(file));
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.find(containing) != std::string::npos;
    return n;
}

TEST(SingleApplet, TwoRunsStartedTogetherRunExactlyOneAppletEachTime)
{
    testsupport::TempDir dir;
    const std::filesystem::path script = dir / "input.script";
    testsupport::writeFile(script, "silence_at_end\n");
    const std::string program = testsupport::binPath("quenda_race_applet").string();
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::filesystem::path mark = dir / ("running-" + std::to_string(round));
        const auto start = std::chrono::system_clock::now() + std::chrono::milliseconds(1500);
        const std::string startAt = std::to_string(
            std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch()).count());
        std::filesystem::path boxes[2];
        int status[2] = {-1, -1};
        std::thread runs[2];
        for (int k = 0; k < 2; ++k) {
            boxes[k] = dir / ("boxes-" + std::to_string(round) + "-" + std::to_string(k));
            const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                                  "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                                  "QT_QPA_PLATFORM=offscreen",
                                                  "WAVE_IN_SCRIPT=" + script.string(),
                                                  "MSGBOX_LOG=" + boxes[k].string(),
                                                  "QUENDA_TEST_MARK=" + mark.string(),
                                                  "QUENDA_TEST_START_AT=" + startAt};
            runs[k] = std::thread([&, k, env] {
                status[k] = testsupport::runProgram({program, "3", "Waiting", "Test", "Applet"}, env, nullptr, 60);
            });
        }
        for (std::thread& t : runs)
            t.join();
        EXPECT_EQ(CountLines(mark, "running "), 1u);
        // The other run was told, and only it, and its status says it did not start.
        EXPECT_EQ(CountLines(boxes[0], "already running") + CountLines(boxes[1], "already running"), 1u);
        for (int k = 0; k < 2; ++k)
            EXPECT_EQ(status[k], CountLines(boxes[k], "already running") == 1 ? 1 : 0) << k;
    }
}

}  // namespace
