// orvhost running libmarlet.so headless on a generated stereo file, ending by itself.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using namespace testsupport;

TEST(OrvhostPlugin, RunsMarletOnAFileAndClosesItAtTheEnd)
{
    TempDir dir;
    const auto wav = dir / "cc.wav";
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--seconds", "10", "--channels", "2", "--out",
                          wav.string()}),
              0);
    const auto trace = dir / "trace.jsonl";
    const int rc = runProgram({binPath("orvhost").string(), "--headless", "--plugin", libPath("libmarlet.so").string(),
                               "--trace", trace.string()},
                              {"WAVE_IN_FILE=" + wav.string(), "WAVE_IN_PACE=fast", "XDG_RUNTIME_DIR=" + dir.path().string(),
                               "XDG_CONFIG_HOME=" + (dir / "config").string(), "ORV_PLUGIN_PATH=" + dir.path().string(),
                               "MSGBOX_LOG=" + (dir / "boxes").string(),
                               "QT_QPA_PLATFORM=offscreen"},
                              nullptr, 90);
    EXPECT_EQ(rc, 0);
    // The commands in order, without the per-buffer data output.
    std::vector<std::string> commands;
    std::istringstream lines(readFile(trace));
    for (std::string line; std::getline(lines, line);) {
        if (line.find("\"plugin->host\"") == std::string::npos || line.find("\"0x1101\"") != std::string::npos)
            continue;
        const auto code = line.find("\"code\":\"");
        const auto param = line.find("\"param\":");
        commands.push_back(line.substr(code + 8, 6) + " " +
                           line.substr(param + 8, line.find(',', param) - param - 8));
    }
    const std::vector<std::string> start = {"0x4002 3073", "0x4002 2048", "0x4002 2304", "0x4002 3585",
                                            "0x4002 2817", "0x4002 3584", "0x4002 3584", "0x4002 2048"};
    const std::vector<std::string> close = {"0x0D01 0", "0x0800 450012500", "0x0900 2", "0x0B00 0", "0x1100 128",
                                            "0x4000 0"};
    ASSERT_GE(commands.size(), start.size() + close.size());
    EXPECT_EQ(std::vector(commands.begin(), commands.begin() + 8), start);
    EXPECT_EQ(std::vector(commands.end() - 6, commands.end()), close);
    EXPECT_NE(readFile(trace).find("\"text\":\"MPT1327\""), std::string::npos);
}

}  // namespace
