// A recorder killed in the middle of a recording: its file is a readable WAV that holds what was
// recorded, in order, up to about a second before the kill.
#include "TestSupport.h"
#include "Wav.h"

#include <gmock/gmock.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

TEST(RecorderKilled, FileIsAReadableWavOfWhatWasRecorded)
{
    testsupport::TempDir dir;
    // Ten seconds of a varied 8-bit signal at 11025 Hz, the recorder's default format.
    siggen::Audio in;
    in.rate = 11025;
    for (size_t i = 0; i < 11025 * 10; ++i)
        in.samples.push_back(std::sin(double(i) * 0.01) * 0.6 + std::sin(double(i) * 0.37) * 0.3);
    const std::filesystem::path input = dir / "input.wav", output = dir / "killed.wav";
    siggen::writeWav(input, in, 8);

    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + dir.path().string(),
                                          "XDG_CONFIG_HOME=" + (dir / "config").string(),
                                          "QT_QPA_PLATFORM=offscreen",
                                          "WAVE_IN_SCRIPT=",
                                          "WAVE_IN_FILE=" + input.string(),
                                          "WAVE_IN_PACE=4",
                                          "MSGBOX_LOG=" + (dir / "boxes").string()};
    const std::string probe = testsupport::binPath("quenda_recorder_kill_probe").string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        ::execl(probe.c_str(), probe.c_str(), output.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait until a few buffers are in, note the size, give it about a second more, then kill it.
    auto size = [&] { return std::filesystem::exists(output) ? std::filesystem::file_size(output) : 0; };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (size() < 44 + 8 * 4096 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const uintmax_t before = size();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the recorder ended by itself, status " << status << "\n"
                                     << (std::filesystem::exists(dir / "boxes") ? testsupport::readFile(dir / "boxes") : "");
    ASSERT_GE(before, 44u + 8 * 4096) << "the recording did not grow";

    const siggen::WavData got = siggen::readWav(output);  // throws for a file that is not a whole WAV
    const siggen::WavData sent = siggen::readWav(input);
    EXPECT_EQ(got.rate, 11025u);
    EXPECT_EQ(got.bits, 8);
    EXPECT_GE(got.samples.size() + 44, before);  // what was there a second before the kill is kept
    ASSERT_LE(got.samples.size(), sent.samples.size());
    EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.end(), sent.samples.begin()))
        << "the recording is not the start of the input";
}

}  // namespace
