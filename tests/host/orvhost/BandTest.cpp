// The simulated band: what the receiver hears where it is tuned, the level it reads, and the levels
// the receiver library's receivers read from the same band.
#include "Band.h"
#include "BandLink.h"
#include "HostCore.h"
#include "TestSupport.h"
#include "platform/kvapi32/Kvapi32.h"

#include <gmock/gmock.h>

#include <cmath>
#include <optional>

namespace {

using namespace testsupport;

// A 16-bit WAV file at rate, mono or stereo, whose sample i of each channel is first + i (none: silence).
void WriteWav(const std::filesystem::path& path, uint32_t rate, size_t frames, std::vector<std::optional<int16_t>> first)
{
    const uint16_t channels = uint16_t(first.size());
    std::vector<unsigned char> b;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    auto id = [&](const char* s) { b.insert(b.end(), s, s + 4); };
    id("RIFF");
    put(uint32_t(36 + 2 * channels * frames), 4);
    id("WAVE");
    id("fmt ");
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * 2 * channels, 4);
    put(2 * channels, 2);
    put(16, 2);
    id("data");
    put(uint32_t(2 * channels * frames), 4);
    for (size_t i = 0; i < frames; ++i)
        for (const std::optional<int16_t>& f : first)
            put(uint16_t(f ? int16_t(*f + int16_t(i)) : int16_t(0)), 2);
    writeBytes(path, b);
}

void WriteRamp(const std::filesystem::path& path, uint32_t rate, size_t frames, int16_t first)
{
    WriteWav(path, rate, frames, {first});
}

struct BandFixture : ::testing::Test {
    TempDir dir;
    std::unique_ptr<Band> band;
    void SetUp() override
    {
        WriteRamp(dir / "a.wav", 11025, 3000, 1000);
        WriteRamp(dir / "b.wav", 11025, 3000, -8000);
        std::string error;
        auto stations = Band::parse("# two stations\n450012500 a.wav\n451000000 b.wav 30000\n", dir.path(), &error);
        ASSERT_TRUE(stations) << error;
        band = std::make_unique<Band>(*stations, platform::sound::ChannelChoice::Left);
        ASSERT_TRUE(band->check(&error)) << error;
    }
    std::vector<int16_t> read(uint16_t channels, size_t frames)
    {
        std::vector<int16_t> out(frames * channels);
        band->read(11025, channels, out.data(), frames);
        return out;
    }
};

TEST_F(BandFixture, TunedToAStationItsSamplesElsewhereNoiseEachStationOnItsOwnClock)
{
    band->tune(450012500);
    auto s = read(2, 100);
    for (size_t i = 0; i < 100; ++i)
        ASSERT_EQ(s[2 * i + 1], 1000 + int(i)) << "the station's own samples on the right, at " << i;
    double left = 0;
    for (size_t i = 0; i < 100; ++i)
        left += double(s[2 * i]) * s[2 * i];
    EXPECT_GT(left, 0) << "noise on the left";
    // Between the stations: noise at the band's noise amplitude, not either station.
    band->tune(450500000);
    auto n = read(1, 1000);
    double rms = 0;
    for (int16_t x : n)
        rms += double(x) * x;
    rms = std::sqrt(rms / double(n.size())) / 32768.0;
    EXPECT_NEAR(rms, Band::kNoiseAmplitude, Band::kNoiseAmplitude / 2);
    // The second station has been playing all along: 1100 frames into its recording.
    band->tune(451000000);
    auto b = read(1, 10);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(b[i], -8000 + 1100 + int(i));
}

TEST_F(BandFixture, TheLevelFollowsTheTuningAndTheStationsOnTheAir)
{
    struct Case {
        int32_t hz;
        bool onAir;
        int32_t level;
    };
    const Case cases[] = {
        {450012500, true, Band::kStationLevel},
        {451000000, true, 30000},
        {450500000, true, Band::kNoiseLevel},
        {451000000, false, Band::kNoiseLevel},
        {451000000, true, 30000},
    };
    for (const Case& c : cases) {
        band->setOnAir(451000000, c.onAir);
        band->tune(c.hz);
        EXPECT_EQ(band->level(), c.level) << c.hz << (c.onAir ? " on" : " off");
    }
    // Off the air, the station is not heard.
    band->setOnAir(451000000, false);
    band->tune(451000000);
    auto n = read(1, 50);
    for (size_t i = 0; i < 50; ++i)
        EXPECT_NE(n[i], -8000 + int(i));
}

TEST_F(BandFixture, EndsWhenEveryRecordingHasBeenPlayed)
{
    read(1, 2999);
    EXPECT_FALSE(band->ended());
    read(1, 2);
    EXPECT_TRUE(band->ended());
}

TEST(BandFile, NamesTheLineOfAnyMistake)
{
    const char* bad[] = {"abc x.wav", "0 x.wav", "450000000", "450000000 x.wav 70000", "450000000 x.wav 1 2",
                         "450000000 x.wav\n450000000 y.wav"};
    const char* said[] = {"line 1: \"abc\" is not a frequency in Hz", "line 1: \"0\" is not a frequency in Hz",
                          "line 1: wants \"<frequency> <recording> [<level>]\"",
                          "line 1: level \"70000\" is not 0..65535",
                          "line 1: wants \"<frequency> <recording> [<level>]\"",
                          "line 2: a second station on 450000000 Hz"};
    for (size_t i = 0; i < std::size(bad); ++i) {
        std::string error;
        EXPECT_FALSE(Band::parse(bad[i], "/x", &error)) << bad[i];
        EXPECT_EQ(error, said[i]);
    }
    std::string error;
    auto ok = Band::parse("450000000 /abs/a.wav\n451000000 rel/b.flac 100\n", "/base", &error);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ((*ok)[0].recording, "/abs/a.wav");
    EXPECT_EQ((*ok)[1].recording, "/base/rel/b.flac");
    EXPECT_EQ((*ok)[1].level, 100);
    Band missing(*ok, platform::sound::ChannelChoice::Left);
    EXPECT_FALSE(missing.check(&error));
    EXPECT_THAT(error, ::testing::StartsWith("station on 450000000 Hz: "));
}

// Of a stereo recording the band plays the chosen channel, and check names each station that is
// silent there, with the channel its sound is on.
TEST(BandStereo, PlaysTheChosenChannelAndNamesAStationSilentOnIt)
{
    using platform::sound::ChannelChoice;
    TempDir dir;
    WriteWav(dir / "left.wav", 11025, 3000, {std::optional<int16_t>(1000), std::nullopt});
    WriteWav(dir / "right.wav", 11025, 3000, {std::nullopt, std::optional<int16_t>(2000)});
    WriteWav(dir / "both.wav", 11025, 3000, {std::optional<int16_t>(1000), std::optional<int16_t>(2000)});
    WriteWav(dir / "silent.wav", 11025, 3000, {std::nullopt, std::nullopt});
    WriteWav(dir / "mono-silent.wav", 11025, 3000, {std::nullopt});
    WriteRamp(dir / "mono.wav", 11025, 3000, 3000);
    struct Case {
        const char* file;
        ChannelChoice choice;
        int first;            // the first sample heard, 0 for silence
        const char* warning;  // what check says after the station's name and file, empty for nothing
    };
    const Case cases[] = {
        {"left.wav", ChannelChoice::Left, 1000, ""},
        {"right.wav", ChannelChoice::Right, 2000, ""},
        {"both.wav", ChannelChoice::Left, 1000, ""},
        {"both.wav", ChannelChoice::Right, 2000, ""},
        {"mono.wav", ChannelChoice::Right, 3000, ""},
        {"right.wav", ChannelChoice::Left, 0,
         " holds only silence on its left channel, the one the band plays; its sound is on the right channel "
         "(--input-channel right plays that one)."},
        {"left.wav", ChannelChoice::Right, 0,
         " holds only silence on its right channel, the one the band plays; its sound is on the left channel "
         "(--input-channel left plays that one)."},
        {"silent.wav", ChannelChoice::Left, 0, " holds only silence on its left channel, the one the band plays."},
        {"mono-silent.wav", ChannelChoice::Left, 0, " holds only silence."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.choice == ChannelChoice::Left ? ", left" : ", right"));
        std::string error;
        auto stations = Band::parse(std::string("450012500 mono.wav\n451000000 ") + c.file + "\n", dir.path(), &error);
        ASSERT_TRUE(stations) << error;
        Band band(*stations, c.choice);
        std::vector<std::string> warnings;
        ASSERT_TRUE(band.check(&error, &warnings)) << error;
        if (*c.warning)
            EXPECT_EQ(warnings, std::vector<std::string>{"station on 451000000 Hz: \"" + (dir / c.file).string() + "\"" +
                                                         c.warning});
        else
            EXPECT_TRUE(warnings.empty()) << warnings.front();
        band.tune(451000000);
        std::vector<int16_t> heard(10);
        band.read(11025, 1, heard.data(), heard.size());
        for (size_t i = 0; i < heard.size(); ++i)
            ASSERT_EQ(heard[i], c.first ? c.first + int(i) : 0) << "sample " << i;
    }
}

struct NoDde : DdeService {
    bool serve(const std::string&, const std::string&) override { return true; }
    void advise(const std::string&, const Bytes&) override {}
    void disconnectAll() override {}
    int conversations() const override { return 0; }
};

TEST_F(BandFixture, TheReceiverLibrarysReceiversReadTheBandsLevels)
{
    const std::string pool = (dir / "pool").string();
    ScopedEnv fake("KVAPI32_FAKE", pool);
    HostCore core(1, std::make_unique<NoDde>(), "");
    BandLink link(*band, core, pool);
    ASSERT_TRUE(link.poolWritten());
    EXPECT_EQ(core.state().get("SignalStrength"), Band::kStationLevel) << "the start frequency is the station's";
    core.state().setValue("Frequency", 450500000);
    EXPECT_EQ(core.state().get("SignalStrength"), Band::kNoiseLevel);

    const int32_t r = OpenRadioDevice(0);
    ASSERT_GT(r, 0);
    SetFrequency(r, 451000000);
    EXPECT_EQ(GetSignalStrength(r), 30000);
    emit core.stationChanged(451000000, false);
    EXPECT_EQ(GetSignalStrength(r), Band::kNoiseLevel) << "a station gone off the air is only noise";
    core.state().setValue("Frequency", 451000000);
    EXPECT_EQ(core.state().get("SignalStrength"), Band::kNoiseLevel);
    emit core.stationChanged(451000000, true);
    EXPECT_EQ(GetSignalStrength(r), 30000);
    EXPECT_EQ(core.state().get("SignalStrength"), 30000);
    SetFrequency(r, 452000000);
    EXPECT_EQ(GetSignalStrength(r), Band::kNoiseLevel);
    CloseRadioDevice(r);
}

}  // namespace
