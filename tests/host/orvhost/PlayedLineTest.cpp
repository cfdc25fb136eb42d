// A long run shows how much of its recording has played, on one line of standard error that
// updates, when standard error is a terminal; and nothing of the kind when it is not.
#include "TestSupport.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace testsupport;
using ::testing::HasSubstr;
using ::testing::Not;

// Runs the program with its standard error on a terminal (standard output to out); returns what the
// terminal showed, and the status in *status.
std::string RunOnTerminal(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::filesystem::path& out, int* status)
{
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid < 0)
        throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(fd, STDOUT_FILENO);
        execProgram(argv, env);
    }
    std::string shown;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        struct pollfd p = {master, POLLIN, 0};
        if (::poll(&p, 1, int(left.count())) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n <= 0)
            break;  // the terminal's other end closed with the program
        shown.append(buf, size_t(n));
    }
    ::close(master);
    ::waitpid(pid, status, 0);
    return shown;
}

TEST(OrvhostPlayedLine, ATerminalSeesTheTimePlayedOfTheRecordingsLengthOnOneLine)
{
    TempDir dir;
    const std::string wav = (dir / "cc.wav").string();
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--seconds", "3", "--out", wav}), 0);
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                          "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                          "ORV_PLUGIN_PATH=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen",
                                          "MSGBOX_LOG=", "WAVE_IN_FILE=", "WAVE_IN_PACE="};
    const std::vector<std::string> argv = {binPath("orvhost").string(), "--headless", "--plugin",
                                           libPath("libmarlet.so").string(), "--input", wav};
    int status = -1;
    const std::string shown = RunOnTerminal(argv, env, dir / "out", &status);
    ASSERT_TRUE(WIFEXITED(status)) << shown;
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    // Updated in place: each count ends by going back to the line's start; the last ends the line.
    EXPECT_THAT(shown, HasSubstr("orvhost: played 0:01 of 0:03\x1b[K\r"));
    EXPECT_THAT(shown, HasSubstr("orvhost: played 0:03 of 0:03\x1b[K\r\r\n"));
    EXPECT_EQ(shown.find("0:04"), std::string::npos) << "never more than the recording holds";

    // Standard error that is not a terminal (a file, a log) is spared it.
    std::vector<std::string> toFile = {"/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + (dir / "err").string()};
    toFile.insert(toFile.end(), argv.begin(), argv.end());
    ASSERT_EQ(runProgram(toFile, env, nullptr, 90), 0);
    EXPECT_THAT(readFile(dir / "err"), Not(HasSubstr("played")));
}

// The files the sound input leaves for orvhost (the time played, the end of the recording) are kept in
// a folder the run makes for itself, for this user alone, and takes away at the end: links that someone
// keeps planting in the shared TMPDIR, at the names that file would have had there, are never written
// through, neither into the file they point at nor by making the one they name.
TEST(OrvhostPlayedLine, LinksPlantedInTheSharedTemporaryFolderAreNotWrittenThrough)
{
    namespace fs = std::filesystem;
    TempDir dir;
    const fs::path shared = dir / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    const std::string wav = (dir / "cc.wav").string();
    ASSERT_EQ(runProgram({binPath("siggen").string(), "mpt1327", "--channels", "2", "--seconds", "3", "--out", wav}), 0);
    const fs::path victim = dir / "victim", absent = dir / "absent", pidFile = dir / "pid";
    const std::string victimText = "0123456789abcdefghij: another file of the user's\n";
    writeFile(victim, victimText);
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                          "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                          "ORV_PLUGIN_PATH=" + dir.path().string(), "QT_QPA_PLATFORM=offscreen",
                                          "MSGBOX_LOG=", "WAVE_IN_FILE=", "WAVE_IN_PACE=",
                                          "TMPDIR=" + shared.string()};
    // The shell's process becomes orvhost, so its number names the files it would have made.
    const std::vector<std::string> argv = {"/bin/sh", "-c", "echo $$ >" + pidFile.string() + "; exec \"$0\" \"$@\"",
                                           binPath("orvhost").string(), "--headless", "--plugin",
                                           libPath("libmarlet.so").string(), "--input", wav};
    std::atomic<bool> done{false};
    int folders = 0;
    std::vector<fs::perms> modes;
    std::thread planter([&] {
        std::string pid;
        while (!done && (pid = readFile(pidFile), pid.empty() || pid.back() != '\n'))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (!pid.empty())
            pid.pop_back();
        const std::pair<fs::path, fs::path> links[] = {{shared / ("orvhost-played-" + pid), victim},
                                                       {shared / ("orvhost-eof-" + pid), absent}};
        std::vector<fs::path> seen;
        while (!done) {
            std::error_code ec;
            for (const auto& [link, target] : links)
                if (!fs::is_symlink(fs::symlink_status(link, ec))) {
                    fs::remove(link, ec);
                    fs::create_symlink(target, link, ec);
                }
            for (const auto& entry : fs::directory_iterator(shared, ec)) {
                const auto st = entry.symlink_status(ec);
                if (fs::is_directory(st) && entry.path().filename().string().rfind("orvhost-", 0) == 0 &&
                    std::find(seen.begin(), seen.end(), entry.path()) == seen.end()) {
                    seen.push_back(entry.path());
                    modes.push_back(st.permissions());
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        folders = int(seen.size());
    });
    int status = -1;
    const std::string shown = RunOnTerminal(argv, env, dir / "out", &status);
    done = true;
    planter.join();
    ASSERT_TRUE(WIFEXITED(status)) << shown;
    EXPECT_EQ(WEXITSTATUS(status), 0) << shown;
    EXPECT_THAT(shown, HasSubstr("orvhost: played 0:03 of 0:03")) << "the marks still work";
    EXPECT_EQ(readFile(victim), victimText) << "written through the planted link";
    EXPECT_FALSE(fs::exists(fs::symlink_status(absent))) << "made through the planted link";
    EXPECT_GE(folders, 1) << "the run's own folder";
    for (const fs::perms mode : modes)
        EXPECT_EQ(mode, fs::perms::owner_all);
    for (const auto& entry : fs::directory_iterator(shared))
        if (entry.path().filename().string().rfind("orvhost-", 0) == 0)
            EXPECT_TRUE(fs::is_symlink(entry.symlink_status())) << entry.path() << " left behind";
}

}  // namespace
