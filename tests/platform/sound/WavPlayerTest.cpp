// Playback of WAV files on the scripted wave output: the files it takes, playing to the end,
// seeking, pausing and stopping.
#include "EventPump.h"
#include "TestSupport.h"
#include "WavPlayer.h"
#include "WaveScript.h"
#include "Wav.h"

#include <gmock/gmock.h>

#include <numeric>

using ::testing::Contains;
using ::testing::HasSubstr;

namespace {

class WavPlayerTest : public ::testing::Test {
protected:
    void SetUp() override { platform::setWaveScript(script); }
    void TearDown() override { platform::setWaveScript(nullptr); }

    std::filesystem::path Wav(const std::string& name, uint32_t rate, uint16_t channels, uint16_t bits, size_t frames)
    {
        siggen::Audio a;
        a.rate = rate;
        a.channels = channels;
        a.samples.assign(frames * channels, 0.1);
        const std::filesystem::path file = dir / name;
        siggen::writeWav(file, a, bits);
        return file;
    }
    // Bytes the output was given since the calls were last cleared.
    size_t Written() const
    {
        size_t total = 0;
        for (const std::string& call : script->calls())
            if (call.rfind("out_write ", 0) == 0)
                total += std::stoul(call.substr(10));
        return total;
    }

    testsupport::TempDir dir;
    std::shared_ptr<platform::WaveScript> script = std::make_shared<platform::WaveScript>();
};

TEST_F(WavPlayerTest, TakesAnyPcmWavOf8Or16BitsAndRefusesTheRest)
{
    struct Case {
        uint32_t rate;
        uint16_t channels, bits;
    };
    for (const Case& c : std::vector<Case>{{11025, 1, 8}, {44100, 2, 16}, {16000, 1, 16}, {8000, 2, 8}}) {
        platform::WavPlayer player;
        std::string error;
        ASSERT_TRUE(player.open(Wav("ok.wav", c.rate, c.channels, c.bits, 1234), &error)) << error;
        EXPECT_EQ(player.lengthSamples(), 1234u);
        EXPECT_EQ(player.lengthBytes(), 1234u * c.channels * c.bits / 8);
        EXPECT_EQ(player.format().samplesPerSec, c.rate);
        EXPECT_EQ(player.position(), 0u);
    }

    const std::vector<unsigned char> good = testsupport::readBytes(Wav("good.wav", 11025, 1, 16, 100));
    struct Bad {
        const char* name;
        std::vector<unsigned char> bytes;
    };
    std::vector<Bad> bad = {{"empty", {}}, {"text", {'h', 'e', 'l', 'l', 'o'}}};
    std::vector<unsigned char> noData = good;
    noData.resize(40);  // the header ends before the data chunk
    bad.push_back({"no data chunk", noData});
    std::vector<unsigned char> bits24 = good;
    bits24[34] = 24;
    bad.push_back({"24 bits", bits24});
    std::vector<unsigned char> notPcm = good;
    notPcm[20] = 3;
    bad.push_back({"not PCM", notPcm});
    for (const Bad& b : bad) {
        const std::filesystem::path file = dir / "bad.wav";
        testsupport::writeBytes(file, b.bytes);
        platform::WavPlayer player;
        std::string error;
        EXPECT_FALSE(player.open(file, &error)) << b.name;
        EXPECT_FALSE(error.empty()) << b.name;
        EXPECT_FALSE(player.isOpen()) << b.name;
        EXPECT_FALSE(player.play()) << b.name;
    }
    // A file cut short plays the whole frames it holds.
    std::vector<unsigned char> cut = good;
    cut.resize(good.size() - 11);
    testsupport::writeBytes(dir / "cut.wav", cut);
    platform::WavPlayer cutPlayer;
    ASSERT_TRUE(cutPlayer.open(dir / "cut.wav", nullptr));
    EXPECT_EQ(cutPlayer.lengthSamples(), 100u - 6);

    platform::WavPlayer none;
    std::string error;
    EXPECT_FALSE(none.open(dir / "absent.wav", &error));
    EXPECT_THAT(error, HasSubstr("absent.wav"));
}

TEST_F(WavPlayerTest, PlaysToTheEndOnceAndAgainFromTheStart)
{
    platform::WavPlayer player;
    ASSERT_TRUE(player.open(Wav("a.wav", 11025, 1, 8, 5000), nullptr));
    int completions = 0;
    player.onComplete = [&] { ++completions; };
    ASSERT_TRUE(player.play());
    EXPECT_TRUE(player.playing());
    ASSERT_TRUE(testsupport::pumpUntil([&] { return completions > 0; }));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.position(), 5000u);
    EXPECT_EQ(Written(), 5000u);
    EXPECT_THAT(script->calls(), Contains("out_open -1 11025 8 1 -> 0"));
    EXPECT_EQ(script->calls().back(), "out_close -> 0");

    // At the end, play starts from the beginning.
    script->clearCalls();
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(testsupport::pumpUntil([&] { return completions > 1; }));
    EXPECT_EQ(Written(), 5000u);
    testsupport::pumpUntil([] { return false; }, 50);
    EXPECT_EQ(completions, 2);
}

TEST_F(WavPlayerTest, SeekInsideTheFilePlaysTheRestAndBeyondIsRefused)
{
    platform::WavPlayer player;
    ASSERT_TRUE(player.open(Wav("s.wav", 22050, 2, 16, 4000), nullptr));
    EXPECT_FALSE(player.seek(4001));
    EXPECT_EQ(player.position(), 0u);
    EXPECT_TRUE(player.seek(4000));
    EXPECT_TRUE(player.seek(1000));
    EXPECT_EQ(player.position(), 1000u);
    bool done = false;
    player.onComplete = [&] { done = true; };
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(testsupport::pumpUntil([&] { return done; }));
    EXPECT_EQ(Written(), 3000u * 4);
}

TEST_F(WavPlayerTest, PauseResumeAndStopKeepThePosition)
{
    platform::WavPlayer player;
    ASSERT_TRUE(player.open(Wav("p.wav", 11025, 1, 16, 20000), nullptr));
    bool done = false;
    player.onComplete = [&] { done = true; };
    ASSERT_TRUE(player.seek(300));
    ASSERT_TRUE(player.play());
    player.pause();
    EXPECT_TRUE(player.paused());
    EXPECT_FALSE(player.playing());
    EXPECT_THAT(script->calls(), Contains("out_pause -> 0"));
    EXPECT_TRUE(player.resume());
    EXPECT_TRUE(player.playing());
    EXPECT_THAT(script->calls(), Contains("out_restart -> 0"));
    player.stop();
    EXPECT_FALSE(player.playing());
    EXPECT_FALSE(player.paused());
    const uint32_t at = player.position();
    EXPECT_GE(at, 300u);
    EXPECT_LE(at, 20000u);
    testsupport::pumpUntil([] { return false; }, 50);
    EXPECT_FALSE(done);  // a stop is not the end
    EXPECT_EQ(player.position(), at);
    player.close();
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(player.lengthSamples(), 0u);
}

}  // namespace
