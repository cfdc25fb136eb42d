// The memory of a headless run on a long recording, at a pace far above what the decoder keeps up
// with: the input holds the program's buffers and no more, and drops the rest as a card does.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>
#include <signal.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace testsupport;

struct Peak {
    int status = -1;   // the exit status; -signal when killed
    long peakKb = 0;   // the largest resident set of the program and the processes it waited for
};

// Runs argv with standard error into errFile and standard output dropped; kills it after timeout.
Peak runMeasured(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::filesystem::path& errFile, int timeoutSeconds)
{
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (err < 0 || null < 0)
            ::_exit(127);
        ::dup2(err, STDERR_FILENO);
        ::dup2(null, STDOUT_FILENO);
        execProgram(argv, env);
    }
    Peak peak;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        int status = 0;
        struct rusage ru {};
        const pid_t done = ::wait4(pid, &status, WNOHANG, &ru);
        if (done == pid) {
            peak.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            peak.peakKb = ru.ru_maxrss;  // the child's own, or its largest descendant's
            return peak;
        }
        if (std::chrono::steady_clock::now() > deadline)
            ::kill(pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The seconds of every loss line the run wrote.
std::vector<double> lostSeconds(const std::string& err)
{
    static const std::regex line("Sound input: ([0-9]+\\.[0-9]+) s of the recording lost");
    std::vector<double> seconds;
    for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator(); ++it)
        seconds.push_back(std::stod((*it)[1].str()));
    return seconds;
}

class PaceMemory : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir_ = new TempDir;
        // Ten minutes of control channel, 26 MB: at 100000 times real time it plays in 6 ms.
        ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--seconds", "600", "--channels", "2", "--out",
                              recording().string()}),
                  0);
    }
    static void TearDownTestSuite()
    {
        delete dir_;
        dir_ = nullptr;
    }
    static std::filesystem::path recording() { return *dir_ / "cc.wav"; }

    // A run at pace, with args after the common ones; its peak, and what it said on standard error.
    Peak run(const std::vector<std::string>& args, const std::string& pace, std::string* err)
    {
        const auto run = *dir_ / ("run-" + pace);
        std::filesystem::create_directories(run / "config");
        std::vector<std::string> argv = {binPath("orvhost").string(), "--headless", "--input", recording().string(),
                                         "--pace", pace};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = orvhostEnvFor(run);
        const Peak peak = runMeasured(argv, env, run / "stderr", 120);
        *err = readFile(run / "stderr");
        return peak;
    }

    static std::vector<std::string> orvhostEnvFor(const std::filesystem::path& run)
    {
        return {"XDG_RUNTIME_DIR=" + run.string(), "XDG_CONFIG_HOME=" + (run / "config").string(),
                "ORV_PLUGIN_PATH=" + run.string(), "MSGBOX_LOG=" + (run / "boxes").string(),
                "QT_QPA_PLATFORM=offscreen", "WAVE_IN_EOF_FILE=" + (run / "ended").string()};
    }

    // Peak at 100000 times real time within twice the peak at fast, and the loss told only of the
    // recording's own ten minutes.
    void expectBounded(const std::vector<std::string>& args)
    {
        std::string fastErr, paceErr;
        const Peak fast = run(args, "fast", &fastErr);
        ASSERT_EQ(fast.status, 0) << fastErr;
        EXPECT_TRUE(lostSeconds(fastErr).empty()) << "at fast nothing is lost:\n" << fastErr;
        const Peak paced = run(args, "100000", &paceErr);
        ASSERT_EQ(paced.status, 0) << paceErr;
        EXPECT_LE(paced.peakKb, 2 * fast.peakKb)
            << "peak " << paced.peakKb / 1024 << " MB at 100000 against " << fast.peakKb / 1024 << " MB at fast";
        const auto lost = lostSeconds(paceErr);
        ASSERT_FALSE(lost.empty()) << "a decoder 100000 times too slow loses sound, and is told so:\n" << paceErr;
        for (double s : lost)
            EXPECT_LE(s, 600.0) << "only the recording's 600 s can be lost:\n" << paceErr;
        EXPECT_NE(paceErr.find("lost in all"), std::string::npos) << "the run ends with the total:\n" << paceErr;
    }

    static TempDir* dir_;
};

TempDir* PaceMemory::dir_ = nullptr;

TEST_F(PaceMemory, MarletHoldsNoMoreAtAHighPaceThanAtFast)
{
    expectBounded({"--plugin", libPath("libmarlet.so").string()});
}

TEST_F(PaceMemory, AnAppletHoldsNoMoreAtAHighPaceThanAtFast)
{
    expectBounded({"--quenda", binPath("quenda").string(), "--start", "CTCSS Decoder"});
}

}  // namespace
