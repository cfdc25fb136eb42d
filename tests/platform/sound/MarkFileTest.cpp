// The files the sound input leaves for the program that runs it (the end of the recording, the time
// played) lie where someone else may have put a link by that name: a link is never written through,
// neither into a file it points at nor by making the file it names.
#include "WaveTestKit.h"

#include <gtest/gtest.h>

#include "PlayedMark.h"
#include "Recording.h"
#include "Sources.h"
#include "TestSupport.h"

#include <filesystem>
#include <functional>
#include <sys/stat.h>

using namespace platform;
using namespace platform::sound;
using testsupport::ScopedEnv;
using testsupport::TempDir;
namespace fs = std::filesystem;

namespace {

// One way the input marks a file, given the mark's name and a folder for what it reads.
struct MarkWriter {
    const char* name;
    std::function<void(const fs::path& mark, const fs::path& work)> write;
};

const WaveFormat kFormat = WaveFormat::pcm(11025, 16, 1);

fs::path SmallWav(const fs::path& work, const WaveFormat& f)
{
    const fs::path wav = work / "in.wav";
    testsupport::writeBytes(wav, wavetest::wavBytes(f, std::vector<uint8_t>(64, 1)));
    return wav;
}

const MarkWriter kWriters[] = {
    {"the time played",
     [](const fs::path& mark, const fs::path&) {
         ScopedEnv file("WAVE_IN_PLAYED_FILE", mark.string());
         PlayedMark played;
         played.played(22050, 22050);
     }},
    {"the end of a WAV file",
     [](const fs::path& mark, const fs::path& work) {
         FileSource source(SmallWav(work, kFormat), 44, 64, 0, mark);
         uint8_t buffer[256];
         source.read(buffer, sizeof buffer);
     }},
    {"the end of a converted recording",
     [](const fs::path& mark, const fs::path& work) {
         std::string why;
         auto recording = Recording::open(SmallWav(work, WaveFormat::pcm(8000, 16, 1)), 11025, 1,
                                          ChannelChoice::Left, &why);
         ASSERT_TRUE(recording) << why;
         RecordingSource source(std::move(recording), kFormat, mark);
         uint8_t buffer[1024];
         source.read(buffer, sizeof buffer);
     }},
    {"the end, made directly", [](const fs::path& mark, const fs::path&) { makeMarkFile(mark); }},
};

class MarkFile : public ::testing::TestWithParam<MarkWriter> {
protected:
    TempDir dir;
};

TEST_P(MarkFile, IsMadeNewForThisUserAlone)
{
    const fs::path mark = dir / "mark";
    GetParam().write(mark, dir.path());
    struct stat st {};
    ASSERT_EQ(::lstat(mark.c_str(), &st), 0) << "no mark made";
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_P(MarkFile, DoesNotWriteThroughALinkToAnotherFile)
{
    const fs::path victim = dir / "victim";
    testsupport::writeFile(victim, "someone else's file, not to be touched\n");
    const fs::path mark = dir / "mark";
    fs::create_symlink(victim, mark);
    GetParam().write(mark, dir.path());
    EXPECT_EQ(testsupport::readFile(victim), "someone else's file, not to be touched\n");
}

TEST_P(MarkFile, DoesNotMakeTheFileADanglingLinkNames)
{
    const fs::path elsewhere = dir / "elsewhere";
    const fs::path mark = dir / "mark";
    fs::create_symlink(elsewhere, mark);
    GetParam().write(mark, dir.path());
    EXPECT_FALSE(fs::exists(fs::symlink_status(elsewhere))) << "a file was made through the link";
}

INSTANTIATE_TEST_SUITE_P(Writers, MarkFile, ::testing::ValuesIn(kWriters),
                         [](const ::testing::TestParamInfo<MarkWriter>& info) {
                             std::string n;
                             for (const char* c = info.param.name; *c; ++c)
                                 n += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                             return n;
                         });

TEST(PlayedMarkFile, AnInputOpenedAgainMarksAfreshAndTheReaderSeesIt)
{
    TempDir dir;
    const fs::path mark = dir / "played";
    ScopedEnv file("WAVE_IN_PLAYED_FILE", mark.string());
    {
        PlayedMark first;
        first.played(11025 * 4, 11025);
    }
    EXPECT_DOUBLE_EQ(readPlayedMark(mark.string()), 4.0);
    {
        PlayedMark again;  // the applet's input reopened: the earlier mark is replaced
        again.played(11025 * 7, 11025);
    }
    EXPECT_DOUBLE_EQ(readPlayedMark(mark.string()), 7.0);
}

TEST(PlayedMarkFile, TheReaderDoesNotFollowALink)
{
    TempDir dir;
    const fs::path real = dir / "real";
    {
        ScopedEnv file("WAVE_IN_PLAYED_FILE", real.string());
        PlayedMark m;
        m.played(11025 * 3, 11025);
    }
    ASSERT_DOUBLE_EQ(readPlayedMark(real.string()), 3.0);
    fs::create_symlink(real, dir / "link");
    EXPECT_LT(readPlayedMark((dir / "link").string()), 0);
}

}  // namespace
