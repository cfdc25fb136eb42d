// The simulated band served to the applets' processes: through the wave input of a process without
// the band of its own (WAVE_IN_BAND), the frames are the band's, in every format, following the
// tuning; the band's end and the server's going away end the input; the band has one listener at a
// time, in this process or on the socket, and is free again once that listener closes.
#include "Band.h"
#include "BandServer.h"
#include "TestSupport.h"
#include "WaveTestKit.h"
#include "platform/sound/WaveScript.h"

#include <gmock/gmock.h>

#include <chrono>

void SetBandInput(Band* band);  // InputHook.cpp

namespace {

using namespace platform;
using namespace testsupport;
using namespace wavetest;
using ::testing::HasSubstr;

int16_t RampAt(size_t i, int first) { return int16_t(uint16_t(first + int(i) * 97)); }

// A 16-bit mono WAV file at 11025 Hz whose samples climb by 97 (wrapping), so 8-bit samples move too.
void WriteRamp(const std::filesystem::path& path, size_t frames, int first)
{
    std::vector<uint8_t> data;
    for (size_t i = 0; i < frames; ++i)
        put16(data, uint16_t(RampAt(i, first)));
    writeBytes(path, wavBytes(WaveFormat::pcm(11025, 16, 1), data));
}

constexpr int32_t kA = 450012500, kB = 451000000;

struct Served : ::testing::Test {
    TempDir dir;
    ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    ScopedEnv noFile{"WAVE_IN_FILE", ""};
    ScopedEnv pace{"WAVE_IN_PACE", "fast"};
    ScopedEnv eof{"WAVE_IN_EOF_FILE", (dir / "ended").string()};
    ScopedEnv socket{"WAVE_IN_BAND", (dir / "band").string()};
    std::unique_ptr<Band> band;
    std::unique_ptr<BandServer> server;

    void SetUp() override { setWaveScript(nullptr); }
    void TearDown() override { SetBandInput(nullptr); }

    void serve(size_t framesA, size_t framesB = 0)
    {
        WriteRamp(dir / "a.wav", framesA, 1000);
        std::string text = std::to_string(kA) + " a.wav\n";
        if (framesB) {
            WriteRamp(dir / "b.wav", framesB, -20000);
            text += std::to_string(kB) + " b.wav\n";
        }
        std::string error;
        auto stations = Band::parse(text, dir.path(), &error);
        ASSERT_TRUE(stations) << error;
        band = std::make_unique<Band>(*stations, sound::ChannelChoice::Left);
        band->tune(kA);
        server = std::make_unique<BandServer>(*band);
        ASSERT_TRUE(server->listen((dir / "band").string(), &error)) << error;
    }
};

struct FormatCase {
    uint32_t rate;
    uint16_t bits, channels;
};

class ServedFormats : public Served, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ServedFormats, TheFramesAreTheBandsInTheOpenedFormat)
{
    const FormatCase c = GetParam();
    serve(6000);
    ASSERT_EQ(waveInDeviceName(0), "Simulated band");
    const WaveFormat f = WaveFormat::pcm(c.rate, c.bits, c.channels);
    const size_t bufferFrames = 500, buffers = 3;
    Capture cap(buffers, uint32_t(bufferFrames * f.blockAlign));
    cap.requeue = false;
    ASSERT_EQ(cap.open(f), kWaveNoError) << waveInErrorText(kWaveError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= buffers * bufferFrames * f.blockAlign; }));
    ASSERT_EQ(cap.bytes.size(), buffers * bufferFrames * f.blockAlign);

    // What the band itself gives, read the same way by a band of the same stations.
    std::string error;
    Band same(*Band::parse(std::to_string(kA) + " a.wav\n", dir.path(), &error), sound::ChannelChoice::Left);
    same.tune(kA);
    std::vector<int16_t> want(buffers * bufferFrames * c.channels);
    for (size_t b = 0; b < buffers; ++b)
        same.read(c.rate, c.channels, want.data() + b * bufferFrames * c.channels, bufferFrames);
    for (size_t k = 0; k < want.size(); ++k) {
        if (c.bits == 16)
            ASSERT_EQ(int16_t(sampleAt(cap.bytes, k)), want[k]) << "sample " << k;
        else
            ASSERT_EQ(cap.bytes[k], uint8_t(std::min(255, (want[k] + 32768 + 128) >> 8))) << "sample " << k;
    }
    if (c.rate == 11025 && c.bits == 16) {  // the station itself, on the right of a stereo input
        for (size_t i = 0; i < buffers * bufferFrames; ++i)
            ASSERT_EQ(int16_t(sampleAt(cap.bytes, i * c.channels + c.channels - 1)), RampAt(i, 1000)) << i;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "ended"));
}

INSTANTIATE_TEST_SUITE_P(Formats, ServedFormats,
                         ::testing::Values(FormatCase{11025, 16, 1}, FormatCase{11025, 16, 2},
                                           FormatCase{11025, 8, 1}, FormatCase{8000, 8, 2},
                                           FormatCase{22050, 16, 2}),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.channels) +
                                    "ch" + std::to_string(info.param.rate);
                         });

TEST_F(Served, TheInputFollowsTheTuningAndTheStationsOnTheAir)
{
    serve(3000, 3000);
    Capture cap(1, 1000);  // 500 frames at a time
    cap.requeue = false;
    ASSERT_EQ(cap.open(WaveFormat::pcm(11025, 16, 1)), kWaveNoError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    auto next = [&](int32_t hz, bool bOnAir) {
        band->tune(hz);
        band->setOnAir(kB, bOnAir);
        cap.bytes.clear();
        EXPECT_EQ(waveInAddBuffer(cap.handle, &cap.headers[0]), kWaveNoError);
        EXPECT_TRUE(pumpUntil([&] { return cap.bytes.size() == 1000; }));
    };
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() == 1000; }));
    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ(int16_t(sampleAt(cap.bytes, i)), RampAt(i, 1000));
    next(kB, true);  // the second station has played on meanwhile: 500 frames into its recording
    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ(int16_t(sampleAt(cap.bytes, i)), RampAt(500 + i, -20000));
    next(kB, false);  // off the air: noise
    size_t same = 0;
    for (size_t i = 0; i < 500; ++i)
        same += int16_t(sampleAt(cap.bytes, i)) == RampAt(1000 + i, -20000);
    EXPECT_LT(same, 5u);
    next(kA, false);
    for (size_t i = 0; i < 500; ++i)
        ASSERT_EQ(int16_t(sampleAt(cap.bytes, i)), RampAt(1500 + i, 1000));
}

TEST_F(Served, TheEndOfTheBandEndsTheInput)
{
    serve(1200);
    Capture cap(2, 1000);
    cap.requeue = false;
    ASSERT_EQ(cap.open(WaveFormat::pcm(11025, 16, 1)), kWaveNoError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() == 2000; }));
    EXPECT_FALSE(std::filesystem::exists(dir / "ended")) << "1000 of the band's 1200 frames heard";
    cap.requeue = true;
    for (auto& h : cap.headers)
        ASSERT_EQ(waveInAddBuffer(cap.handle, &h), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(dir / "ended"); }));
    EXPECT_TRUE(band->ended());
}

TEST_F(Served, AServerThatGoesAwayEndsTheInputWithoutAHang)
{
    serve(100000);
    Capture cap(3, 400);
    ASSERT_EQ(cap.open(WaveFormat::pcm(11025, 16, 1)), kWaveNoError);
    cap.queueAll();
    ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
    ASSERT_TRUE(pumpUntil([&] { return cap.bytes.size() >= 4000; }));
    server.reset();
    ASSERT_TRUE(pumpUntil([&] { return std::filesystem::exists(dir / "ended"); }, 3000));
    EXPECT_FALSE(band->claimed()) << "the band is free again";
    const auto before = std::chrono::steady_clock::now();
    cap.requeue = false;
    EXPECT_EQ(waveInReset(cap.handle), kWaveNoError);
    EXPECT_EQ(waveInClose(cap.handle), kWaveNoError);
    cap.handle = 0;
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_THAT(waveInDeviceNames(), ::testing::Not(::testing::Contains("Simulated band")))
        << "its socket is gone with it";
}

// Opens device 0 in the usual format: the socket's band, or the process's own while SetBandInput has it.
uint32_t OpenBand(WaveInHandle* h)
{
    return waveInOpen(h, 0, WaveFormat::pcm(11025, 16, 2), nullptr);
}

TEST_F(Served, OneListenerAtATimeInThisProcessOrOnTheSocket)
{
    serve(100000);
    WaveInHandle first = 0, second = 0, own = 0;
    ASSERT_EQ(OpenBand(&first), kWaveNoError);
    EXPECT_TRUE(band->claimed());
    EXPECT_EQ(OpenBand(&second), kWaveAllocated) << "a second listener on the socket";
    EXPECT_THAT(waveInErrorText(kWaveAllocated), HasSubstr("another program is listening"));
    SetBandInput(band.get());
    ASSERT_EQ(waveInDeviceName(0), "Simulated band");
    EXPECT_EQ(OpenBand(&own), kWaveAllocated) << "the process's own input, held by the socket's listener";
    EXPECT_THAT(waveInErrorText(kWaveAllocated), HasSubstr("in use"));
    SetBandInput(nullptr);

    // Closed and opened again at once, as an applet started again does: the server may not have seen
    // the close yet when the next open comes, and must not take it for a second listener.
    ASSERT_EQ(waveInClose(first), kWaveNoError);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(OpenBand(&second), kWaveNoError) << "round " << i << ": " << waveInErrorText(kWaveAllocated);
        ASSERT_EQ(waveInClose(second), kWaveNoError);
    }
    ASSERT_TRUE(pumpUntil([&] { return !band->claimed(); })) << "the server sees its listener go";

    SetBandInput(band.get());
    ASSERT_EQ(OpenBand(&own), kWaveNoError) << "the process's own input, now free";
    SetBandInput(nullptr);
    EXPECT_EQ(OpenBand(&second), kWaveAllocated) << "the socket, while this process listens";
    ASSERT_EQ(waveInClose(own), kWaveNoError);
    EXPECT_FALSE(band->claimed());
    ASSERT_EQ(OpenBand(&second), kWaveNoError);
    ASSERT_EQ(waveInClose(second), kWaveNoError);
}

TEST(BandServerListen, APathItCannotTakeIsRefusedWithItsReason)
{
    TempDir dir;
    Band band({}, sound::ChannelChoice::Left);
    const std::string cases[] = {(dir / std::string(120, 'x')).string(), (dir / "no/such/folder/band").string(),
                                 std::string()};
    for (const std::string& path : cases) {
        BandServer server(band);
        std::string error;
        EXPECT_FALSE(server.listen(path, &error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    BandServer first(band), second(band);
    std::string error;
    ASSERT_TRUE(first.listen((dir / "band").string(), &error)) << error;
    EXPECT_FALSE(second.listen((dir / "band").string(), &error)) << "a socket already served";
    EXPECT_THAT(error, HasSubstr("cannot listen"));
}

}  // namespace
