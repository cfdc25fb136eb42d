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

}  // namespace
