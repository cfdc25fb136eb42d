// The recorder's growing WAV file: a whole WAV after every buffer, also when the program is killed.
#include "RecordingFile.h"
#include "TestSupport.h"
#include "tools/siggen/Wav.h"

#include <gmock/gmock.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<uint8_t> Buffer(size_t bytes, uint8_t first)
{
    std::vector<uint8_t> b(bytes);
    for (size_t i = 0; i < bytes; ++i)
        b[i] = uint8_t(first + i * 7);
    return b;
}

class RecordingFile : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    const std::filesystem::path file = dir / "rec.wav";
};

TEST_F(RecordingFile, SizesOfTheHeaderAfterEachBufferAndAtTheFinish)
{
    struct Case {
        uint16_t bits;
        uint32_t rate;
        size_t buffers;
    };
    for (const Case& c : std::vector<Case>{{8, 11025, 0}, {8, 11025, 3}, {16, 44100, 2}, {16, 16000, 1}}) {
        SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.buffers) + " buffers");
        TRecordingFile rec;
        std::string error;
        ASSERT_TRUE(rec.Create(file.string(), TWaveFileHeader::Pcm(1, c.rate, c.bits), &error)) << error;
        std::vector<uint8_t> all;
        for (size_t n = 0; n < c.buffers; ++n) {
            const std::vector<uint8_t> b = Buffer(4096, uint8_t(n));
            ASSERT_TRUE(rec.Append(b.data(), b.size()));
            all.insert(all.end(), b.begin(), b.end());
            // A whole WAV after each buffer, before any Finish.
            const siggen::WavData now = siggen::readWav(file);
            EXPECT_EQ(now.samples.size() * c.bits / 8, all.size());
        }
        ASSERT_TRUE(rec.Finish());
        EXPECT_FALSE(rec.IsOpen());
        const std::vector<unsigned char> bytes = testsupport::readBytes(file);
        ASSERT_EQ(bytes.size(), 44 + 4096 * c.buffers);
        const TWaveFileHeader h = TWaveFileHeader::FromBytes(bytes.data());
        EXPECT_EQ(h.DataSize, 4096 * c.buffers);
        EXPECT_EQ(h.RiffSize, 4096 * c.buffers + 36);
        EXPECT_EQ(h.SamplesPerSec, c.rate);
        EXPECT_EQ(h.BitsPerSample, c.bits);
        EXPECT_EQ(h.BlockAlign, c.bits / 8);
        EXPECT_EQ(h.AvgBytesPerSec, c.rate * c.bits / 8);
        EXPECT_TRUE(std::equal(all.begin(), all.end(), bytes.begin() + 44));
    }
}

TEST_F(RecordingFile, ReplacesALongerFileAndRefusesAPlaceThatDoesNotExist)
{
    testsupport::writeBytes(file, std::vector<unsigned char>(100000, 0xAA));
    TRecordingFile rec;
    ASSERT_TRUE(rec.Create(file.string(), TWaveFileHeader::Pcm(1, 11025, 8), nullptr));
    ASSERT_TRUE(rec.Finish());
    EXPECT_EQ(std::filesystem::file_size(file), 44u);

    std::string error;
    TRecordingFile missing;
    EXPECT_FALSE(missing.Create((dir / "no such folder" / "x.wav").string(), TWaveFileHeader::Pcm(1, 11025, 8), &error));
    EXPECT_THAT(error, ::testing::HasSubstr("x.wav"));
    EXPECT_FALSE(missing.IsOpen());
    const uint8_t b[2] = {1, 2};
    EXPECT_FALSE(missing.Append(b, 2));
    EXPECT_FALSE(missing.Finish());
}

// A recorder killed in the middle of a recording leaves a readable WAV holding what it had written.
TEST_F(RecordingFile, KilledMidRecordingLeavesAReadableWavOfWhatWasRecorded)
{
    int pipefd[2];
    ASSERT_EQ(::pipe(pipefd), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipefd[0]);
        TRecordingFile rec;
        if (!rec.Create(file.string(), TWaveFileHeader::Pcm(1, 11025, 8), nullptr))
            ::_exit(2);
        for (uint8_t n = 0;; ++n) {
            const std::vector<uint8_t> b = Buffer(4096, n);
            if (!rec.Append(b.data(), b.size()))
                ::_exit(3);
            const char done = 1;  // one byte per buffer written
            if (::write(pipefd[1], &done, 1) != 1)
                ::_exit(4);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::close(pipefd[1]);
    size_t reported = 0;
    char c;
    while (reported < 20 && ::read(pipefd[0], &c, 1) == 1)
        ++reported;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    while (::read(pipefd[0], &c, 1) == 1)
        ++reported;  // buffers finished before the kill landed
    ::close(pipefd[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    const siggen::WavData wav = siggen::readWav(file);
    const size_t buffers = wav.samples.size() / 4096;
    // Every buffer the recorder had finished is in the file, and at most the one it was writing more.
    EXPECT_GE(buffers, reported);
    EXPECT_LE(buffers, reported + 1);
    EXPECT_EQ(wav.samples.size() % 4096, 0u);
    const std::vector<unsigned char> bytes = testsupport::readBytes(file);
    for (size_t n = 0; n < buffers; ++n) {
        const std::vector<uint8_t> b = Buffer(4096, uint8_t(n));
        ASSERT_TRUE(std::equal(b.begin(), b.end(), bytes.begin() + 44 + 4096 * n)) << "buffer " << n;
    }
}

}  // namespace
