// The windows' real sound input and mixers, made by the factory with no test factory in place:
// capture from a WAV file through the wave component, and mixer lines on a fake card.
#include "OrvSound.h"
#include "WaveTestKit.h"
#include "platform/clock/Clock.h"
#include "platform/sound/Mixer.h"
#include "platform/ui/MessageBox.h"
#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using namespace wavetest;

// Frame i holds left = i and right = ~i, so a swapped, dropped or repeated sample shows.
std::vector<uint8_t> StereoFrames(size_t frames)
{
    std::vector<uint8_t> b;
    for (size_t i = 0; i < frames; ++i) {
        put16(b, uint16_t(i));
        put16(b, uint16_t(~i));
    }
    return b;
}

void WriteWav(const std::filesystem::path& file, const platform::WaveFormat& format, const std::vector<uint8_t>& data)
{
    const auto bytes = wavBytes(format, data);
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class RealSound : public ::testing::Test {
protected:
    void SetUp() override { SetOrvSoundFactory(nullptr); }

    // The input as the decoder window sets it up.
    std::unique_ptr<TOrvSoundInput> FormInput(uint32_t rate, uint32_t bufferSize)
    {
        auto in = MakeOrvSoundInput();
        in->DeviceId = 0;
        in->BitsPerSample = 16;
        in->ChannelsNum = 2;
        in->SamplesPerSec = rate;
        in->InBuffersNum = 8;
        in->InBufferSize = bufferSize;
        in->OnWaveInData = [this](QObject*, const int16_t* data, uint32_t bytes) {
            lengths.push_back(bytes);
            const auto* p = reinterpret_cast<const uint8_t*>(data);
            got.insert(got.end(), p, p + bytes);
        };
        return in;
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    std::vector<uint8_t> got;
    std::vector<uint32_t> lengths;
};

TEST_F(RealSound, InputHandsTheFilesStereoSamplesToTheDataEventExactly)
{
    struct Case {
        uint32_t rate, bufferSize;
        size_t frames;
    };
    // The two windows' settings; the files end inside a buffer.
    for (const Case c : {Case{11025, 8192, 5000}, Case{44100, 32768, 20000}}) {
        SCOPED_TRACE(c.rate);
        got.clear();
        lengths.clear();
        const auto file = dir / ("in" + std::to_string(c.rate) + ".wav");
        const auto samples = StereoFrames(c.frames);
        WriteWav(file, platform::WaveFormat::pcm(c.rate, 16, 2), samples);
        testsupport::ScopedEnv wav("WAVE_IN_FILE", file.string());

        auto in = FormInput(c.rate, c.bufferSize);
        ASSERT_EQ(in->Open(), 0);
        EXPECT_TRUE(in->IsOpen());
        EXPECT_EQ(in->Open(), 0);  // already open: nothing more
        // Beyond the file's end the device keeps delivering silence.
        ASSERT_TRUE(pumpUntil([&] { return got.size() >= samples.size() + c.bufferSize; }));
        in->Close();
        EXPECT_FALSE(in->IsOpen());

        const size_t delivered = got.size();
        for (uint32_t n : lengths)
            EXPECT_EQ(n, c.bufferSize);
        ASSERT_GE(got.size(), samples.size());
        EXPECT_TRUE(std::equal(samples.begin(), samples.end(), got.begin())) << "the file's samples differ";
        EXPECT_TRUE(std::all_of(got.begin() + std::ptrdiff_t(samples.size()), got.end(), [](uint8_t b) { return b == 0; }));
        // Nothing arrives once closed.
        pumpFor(30);
        EXPECT_EQ(got.size(), delivered);
    }
}

// One card: the recording side has a microphone and the line input, the speakers a wave line
// and the line input, each with its own stereo volume and mute.
class RealMixer : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOrvSoundFactory(nullptr);
        card = std::make_shared<platform::FakeMixer>("Card");
        const uint32_t rec = card->addDestination(platform::kMixerDstWaveIn, "Recording", 2);
        card->addSource(rec, platform::kMixerSrcMicrophone, "Mic", 2);
        const uint32_t recLine = card->addSource(rec, platform::kMixerSrcLine, "Line", 2);
        inVolume = card->addControl(rec, recLine, platform::kMixerControlVolume, false, {300, 500});
        const uint32_t play = card->addDestination(platform::kMixerDstSpeakers, "Speakers", 2);
        card->addSource(play, platform::kMixerSrcWaveOut, "Wave", 2);
        const uint32_t playLine = card->addSource(play, platform::kMixerSrcLine, "Line", 2);
        outVolume = card->addControl(play, playLine, platform::kMixerControlVolume, false, {700, 700});
        outMute = card->addControl(play, playLine, platform::kMixerControlMute, false, {0, 0});
        platform::setFakeMixers({card});
    }
    void TearDown() override
    {
        QCoreApplication::processEvents();
        platform::setFakeMixers({});
    }
    // The window's search: from source 0 up to the first line input.
    static void FindLineIn(TOrvMixer& m)
    {
        m.SetMixerNumber(0);
        m.SetSourceNumber(0);
        for (int s = 0; m.SourceType() != mlSrcLine && s + 1 < m.SourceCount();)
            m.SetSourceNumber(++s);
    }

    std::shared_ptr<platform::FakeMixer> card;
    uint32_t inVolume = 0, outVolume = 0, outMute = 0;
};

TEST_F(RealMixer, EachDestinationFindsItsLineInputAndDrivesItsControls)
{
    auto in = MakeOrvMixer(mlDestWaveIn);
    auto out = MakeOrvMixer(mlDestSpeakers);
    ASSERT_EQ(out->MixerCount(), 1);
    FindLineIn(*in);
    FindLineIn(*out);
    EXPECT_EQ(in->SourceNumber(), 1);
    EXPECT_EQ(out->SourceNumber(), 1);
    EXPECT_EQ(in->SourceCount(), 2);

    EXPECT_EQ(in->Volume(), 400u);  // the channels' mean
    EXPECT_EQ(in->ChannelVolume(1), 500u);
    in->SetVolume(1234);
    EXPECT_EQ(card->values(inVolume), (std::vector<uint32_t>{1234, 1234}));
    EXPECT_EQ(card->values(outVolume), (std::vector<uint32_t>{700, 700}));  // a line of its own

    out->SetChannelVolume(0, 0);
    out->SetMute(true);
    EXPECT_EQ(card->values(outVolume), (std::vector<uint32_t>{0, 700}));
    EXPECT_TRUE(out->Mute());
    EXPECT_EQ(card->values(outMute), (std::vector<uint32_t>{1, 1}));

    // Closing the mixer leaves nothing selected.
    in->SetMixerNumber(-1);
    EXPECT_EQ(in->SourceCount(), 0);
    EXPECT_EQ(in->Volume(), 0u);
    in->SetVolume(1);
    EXPECT_EQ(card->values(inVolume), (std::vector<uint32_t>{1234, 1234}));
}

TEST_F(RealMixer, ChangeMadeOutsideReachesTheWindowsHandler)
{
    auto in = MakeOrvMixer(mlDestWaveIn);
    int changes = 0;
    uint32_t seen = 0;
    in->OnVolumeChange = [&](QObject* sender) {
        EXPECT_NE(sender, nullptr);
        ++changes;
        seen = in->Volume();
    };
    FindLineIn(*in);
    card->changeFromOutside(inVolume, {8000, 9000});
    ASSERT_TRUE(pumpUntil([&] { return changes > 0; }, 2000));
    EXPECT_EQ(seen, 8500u);
}

TEST_F(RealMixer, NoMixerLeavesEveryLineInert)
{
    platform::setFakeMixers({});
    // With no sound card either, there is no mixer at all.
    if (platform::mixerDeviceCount() != 0)
        GTEST_SKIP() << "this machine has a mixer";
    auto out = MakeOrvMixer(mlDestSpeakers);
    EXPECT_EQ(out->MixerCount(), 0);
    out->SetMixerNumber(0);
    EXPECT_EQ(out->SourceCount(), 0);
    out->SetVolume(5);
    out->SetMute(true);
    EXPECT_EQ(out->Volume(), 0u);
    EXPECT_FALSE(out->Mute());
}

}  // namespace
