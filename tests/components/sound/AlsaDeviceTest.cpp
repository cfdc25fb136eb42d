// The wave and mixer components on ALSA itself, with no sound card: a configuration of the test's own
// makes the default capture device read a raw file (ALSA's file plugin over its null device) and the
// default playback device write one, so every call goes through the real snd_pcm functions.
#include "QelSysMixer.h"
#include "QelSysWave.h"

#include <QCoreApplication>
#include <algorithm>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <optional>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WaveTestKit.h"
#include "platform/clock/Clock.h"
#include "platform/sound/WaveIn.h"
#include "platform/sound/WaveScript.h"
#include "platform/ui/MessageBox.h"

using namespace platform;
using testsupport::ScopedEnv;
using wavetest::pumpUntil;

namespace {

// Bytes of no period a buffer size could hide, the same for every run.
std::vector<uint8_t> noise(size_t n, uint32_t seed)
{
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        seed = seed * 1664525u + 1013904223u;
        b = uint8_t(seed >> 24);
    }
    return v;
}

class AlsaDevice : public ::testing::Test {
protected:
    void SetUp() override { setWaveScript(nullptr); }

    // The test's ALSA configuration, written and chosen: pcm and ctl definitions in ALSA's syntax.
    void configure(const std::string& text)
    {
        const auto path = dir / ("asound-" + std::to_string(++configs_) + ".conf");
        testsupport::writeFile(path, text);
        config_.emplace("ALSA_CONFIG_PATH", path.string());
    }
    // Capture reads in.raw, playback writes out.raw.
    void configureFiles(const std::vector<uint8_t>& captured)
    {
        testsupport::writeBytes(dir / "in.raw", captured);
        configure("pcm.korvanta_null { type null }\n"
                  "pcm.korvanta_capture { type file slave.pcm \"korvanta_null\" file \"/dev/null\" infile \"" +
                  (dir / "in.raw").string() + "\" format \"raw\" }\n"
                  "pcm.korvanta_playback { type file slave.pcm \"korvanta_null\" file \"" + (dir / "out.raw").string() +
                  "\" format \"raw\" }\n"
                  "pcm.!default { type asym capture.pcm \"korvanta_capture\" playback.pcm \"korvanta_playback\" }\n");
    }

    testsupport::TempDir dir;
    ScopedEnv noScript{"WAVE_IN_SCRIPT", ""};
    ScopedEnv noFile{"WAVE_IN_FILE", ""};
    ScopedEnv noBand{"WAVE_IN_BAND", ""};
    FakeClock fake;  // the eleven open attempts take no time
    ScopedClock scopedClock{fake};
    MessageBoxRecorder boxes;
    int configs_ = 0;
    std::optional<ScopedEnv> config_;
};

struct Format {
    uint32_t rate;
    uint16_t bits, channels;
    uint32_t bufferBytes;
    const char* who;
};

// The formats the windows open: the two plug-ins' stereo captures and the applets' mono ones.
const Format kFormats[] = {
    {11025, 16, 2, 8192, "MPT1327 window"}, {44100, 16, 2, 32768, "SmartNet window"},
    {11025, 16, 1, 4096, "DTMF, CTCSS, classifier"}, {44100, 16, 1, 8192, "packet"},
    {22050, 16, 1, 8192, "scope at 22050 Hz"},      {11025, 8, 1, 4096, "recorder, 8 bits"},
};

// The component in the format on device 0, with `buffers` buffers of the direction `mode` opens.
void setUpWave(TQelSysWave& wave, const Format& f, TQelSysWaveOpenMode mode, uint32_t buffers)
{
    wave.SetBitsPerSample(f.bits);
    wave.SetChannelsNum(f.channels);
    wave.SetSamplesPerSec(f.rate);
    if (mode == swomInput) {
        wave.SetInBufferSize(f.bufferBytes);
        wave.SetInBuffersNum(buffers);
        wave.SetDeviceInID(0);
    } else {
        wave.SetOutBufferSize(f.bufferBytes);
        wave.SetOutBuffersNum(buffers);
        wave.SetDeviceOutID(0);
    }
    wave.SetOpenMode(mode);
}

// Buffers queued before the start (as the applets queue them) are filled with the file's first frames,
// byte for byte, in every format.
TEST_F(AlsaDevice, QueuedBuffersCaptureTheFilesFramesExactlyInEveryFormat)
{
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.who);
        const WaveFormat format = WaveFormat::pcm(f.rate, f.bits, f.channels);
        const std::vector<uint8_t> data = noise(size_t(f.bufferBytes) * 4, f.rate + f.bits + f.channels);
        configureFiles(data);
        ASSERT_EQ(waveInDeviceCount(), 1u);
        EXPECT_EQ(waveInDeviceName(0), "Default sound input");
        wavetest::Capture cap(4, f.bufferBytes);
        cap.requeue = false;
        ASSERT_EQ(cap.open(format), kWaveNoError);
        cap.queueAll();
        ASSERT_EQ(waveInStart(cap.handle), kWaveNoError);
        ASSERT_TRUE(pumpUntil([&] { return cap.lengths.size() == 4; }));
        EXPECT_EQ(cap.lengths, std::vector<uint32_t>(4, f.bufferBytes));
        EXPECT_EQ(cap.order, (std::vector<uint32_t>{0, 1, 2, 3}));
        EXPECT_TRUE(cap.bytes == data) << "the captured bytes are not the file's";
    }
}

// The plug-ins' component starts the device before it queues its ring, as a card is started: the file
// is a pipe here, filled once the component has opened, so the device waits for the samples as a card
// waits for the line, and every one of them arrives, in order and in the opened format.
TEST_F(AlsaDevice, TheWaveComponentCapturesTheFileExactlyInEveryFormat)
{
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.who);
        const std::vector<uint8_t> data = noise(size_t(f.bufferBytes) * 8, f.rate * 3 + f.bits);
        const auto fifo = dir / ("in-" + std::to_string(configs_) + ".fifo");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        // Held open for reading and writing, so that neither end waits for the other to open.
        const int fd = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        configure("pcm.korvanta_capture { type file slave.pcm { type null } file \"/dev/null\" infile \"" +
                  fifo.string() + "\" format \"raw\" }\n"
                  "pcm.!default { type asym capture.pcm \"korvanta_capture\" playback.pcm { type null } }\n");
        TQelSysWave wave;
        ASSERT_EQ(wave.InDeviceNames, std::vector<std::string>{"Default sound input"});
        setUpWave(wave, f, swomInput, 8);
        std::vector<uint8_t> got;
        std::vector<uint32_t> lengths;
        wave.OnWaveInData = [&](TQelSysWave*, uint8_t* p, uint32_t n) {
            got.insert(got.end(), p, p + n);
            lengths.push_back(n);
        };
        ASSERT_EQ(wave.Open(), 0u);
        // The device's file plugin pads a short read with silence, so the samples go into the pipe in
        // one write, all there by the time the device reads the first of them.
        ASSERT_GE(::fcntl(fd, F_SETPIPE_SZ, int(data.size())), int(data.size()));
        ASSERT_EQ(::write(fd, data.data(), data.size()), ssize_t(data.size()));
        const bool all = pumpUntil([&] { return got.size() >= data.size(); });
        ::close(fd);  // the device's file ends: nothing more comes
        wave.Close();
        ASSERT_TRUE(all) << got.size() << " of " << data.size() << " bytes";
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_EQ(std::vector<uint32_t>(lengths.begin(), lengths.begin() + 8), std::vector<uint32_t>(8, f.bufferBytes));
        const auto diff = std::mismatch(data.begin(), data.end(), got.begin());
        EXPECT_TRUE(diff.first == data.end()) << "the captured bytes are not the file's from byte "
                                              << (diff.first - data.begin());
    }
}

// What the component plays reaches the device whole and in order.
TEST_F(AlsaDevice, PlaybackWritesWhatWasPlayed)
{
    const Format stereo{11025, 16, 2, 4096, ""}, mono8{11025, 8, 1, 1024, ""};
    for (const Format& f : {stereo, mono8}) {
        configureFiles({});
        std::filesystem::remove(dir / "out.raw");
        TQelSysWave wave;
        ASSERT_EQ(wave.OutDeviceNames, std::vector<std::string>{"Default sound output"});
        setUpWave(wave, f, swomOutput, 3);
        int played = 0;
        wave.OnWaveOutDone = [&](TQelSysWave*, uint8_t*) {
            ++played;
            return false;
        };
        ASSERT_EQ(wave.Open(), 0u);
        std::vector<uint8_t> written;
        for (int k = 0; k < 7; ++k) {
            uint8_t* buffer = nullptr;
            ASSERT_TRUE(pumpUntil([&] { return (buffer = wave.GetFreeOutBuffer()) != nullptr; })) << "buffer " << k << ", " << played << " played";
            const auto chunk = noise(f.bufferBytes, uint32_t(k + f.bits));
            std::copy(chunk.begin(), chunk.end(), buffer);
            wave.WriteBuffer(buffer);
            written.insert(written.end(), chunk.begin(), chunk.end());
        }
        ASSERT_TRUE(pumpUntil([&] { return played == 7; }));
        wave.Close();
        EXPECT_TRUE(boxes.boxes().empty());
        EXPECT_TRUE(testsupport::readBytes(dir / "out.raw") == written) << "the device did not get what was played";
    }
}

// A default device that names one the configuration does not have: the open fails with the box the
// component shows, the component stays closed and usable, and opens once the device is there.
TEST_F(AlsaDevice, ADeviceThatDoesNotExistFailsTheOpenWithTheBoxAndTheComponentGoesOn)
{
    configure("pcm.!default { type plug slave.pcm \"korvanta_no_such_device\" }\n");
    TQelSysWave wave;
    ASSERT_EQ(wave.InDeviceNames, std::vector<std::string>{"Default sound input"});
    setUpWave(wave, kFormats[0], swomInput, 8);
    EXPECT_NE(wave.Open(), 0u);
    EXPECT_FALSE(wave.GetActive());
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "Wave In Error!");
    EXPECT_EQ(boxes.boxes()[0].text, "Sound device default: No such file or directory");
    EXPECT_EQ(boxes.boxes()[0].flags & MB_ICONERROR, unsigned(MB_ICONERROR));

    wave.SetOpenMode(swomOutput);
    EXPECT_NE(wave.Open(), 0u);
    ASSERT_EQ(boxes.boxes().size(), 2u);
    EXPECT_EQ(boxes.boxes()[1].caption, "Wave Out Error!");

    // The window's next attempt, once the device is there, opens.
    configureFiles(noise(8192 * 8, 5));
    wave.SetOpenMode(swomInput);
    size_t events = 0;
    wave.OnWaveInData = [&](TQelSysWave*, uint8_t*, uint32_t) { ++events; };
    EXPECT_EQ(wave.Open(), 0u);
    EXPECT_TRUE(pumpUntil([&] { return events >= 2; }));
    wave.Close();
    EXPECT_EQ(boxes.boxes().size(), 2u);
}

// A mixer the configuration names but the machine does not have: it is listed, its open fails without a
// word, every value reads 0 and every write does nothing, and the owner goes on.
TEST_F(AlsaDevice, AMixerThatDoesNotExistFailsItsOpenAndEveryAccessorReadsNothing)
{
    configure("ctl.!default { type hw card 31 }\n");
    TQelSysMixer mixer;
    ASSERT_EQ(mixer.MixerNames, std::vector<std::string>{"Default mixer"});
    mixer.SetMixerID(0);
    EXPECT_EQ(mixer.MixerID(), 0);
    EXPECT_TRUE(mixer.SourceNames().empty());
    mixer.SetSourceID(0);
    EXPECT_EQ(mixer.GetVolumeAll(), 0u);
    EXPECT_FALSE(mixer.GetMuteAll());
    mixer.SetVolumeAll(30000);
    mixer.SetMuteAll(true);
    EXPECT_EQ(mixer.GetVolumeAll(), 0u);
    EXPECT_FALSE(mixer.GetMuteAll());
    EXPECT_TRUE(boxes.boxes().empty());
    mixer.SetMixerID(-1);
}

// The mixer component on a control device of ALSA's (the test's own, with no card behind it): the
// simple mixer's lines, values scaled to 0..65535, writes, and changes another handle makes.
class AlsaMixer : public AlsaDevice {
protected:
    void SetUp() override
    {
        AlsaDevice::SetUp();
        const auto plugin = testsupport::libPath("libkorvanta_test_ctl.so");
        module_ = ::dlopen(plugin.c_str(), RTLD_NOW);
        ASSERT_TRUE(module_) << ::dlerror();
        reinterpret_cast<void (*)()>(::dlsym(module_, "korvanta_test_ctl_reset"))();
        configure("ctl_type.korvanta_test { lib \"" + plugin.string() + "\" }\n"
                  "ctl.!default { type korvanta_test }\n");
    }
    void TearDown() override
    {
        if (module_)
            ::dlclose(module_);
    }
    // A mixer on the line source of one side.
    std::unique_ptr<TQelSysMixer> line(TQelMixerLineType side)
    {
        auto m = std::make_unique<TQelSysMixer>();
        m->SetLineType(side);
        m->SetMixerID(0);
        const auto& names = m->SourceNames();
        const auto at = std::find(names.begin(), names.end(), "Line");
        EXPECT_NE(at, names.end());
        m->SetSourceID(int32_t(at - names.begin()));
        return m;
    }

    void* module_ = nullptr;
};

TEST_F(AlsaMixer, ReadsAndWritesTheLineOfEachSide)
{
    {
        TQelSysMixer probe;
        ASSERT_EQ(probe.MixerNames, std::vector<std::string>{"Default mixer"});
        probe.SetMixerID(0);  // the recording side by default
        EXPECT_EQ(probe.SourceNames(), (std::vector<std::string>{"Line", "Mic"}));
    }
    auto in = line(mlDestWaveIn);
    EXPECT_EQ(in->SourceType(), mlSrcLine);
    EXPECT_EQ(in->GetVolumeStat(0), 16383u);  // 25 of 0..100
    EXPECT_EQ(in->GetVolumeStat(1), 49151u);  // 75
    EXPECT_EQ(in->GetVolumeAll(), 32767u);
    EXPECT_TRUE(in->GetOnOffStat(0));
    EXPECT_FALSE(in->GetMuteAll()) << "the recording side has no mute control";
    in->SetVolumeAll(65535);
    in->SetOnOffStat(1, false);

    auto out = line(mlDestSpeakers);
    EXPECT_EQ(out->GetVolumeStat(0), 26214u);  // 40
    EXPECT_EQ(out->GetVolumeStat(1), 39321u);  // 60
    EXPECT_FALSE(out->GetMuteAll());
    out->SetVolumeStat(1, 0);
    out->SetMuteAll(true);

    // A fresh open reads what was written, from the device.
    in = line(mlDestWaveIn);
    EXPECT_EQ(in->GetVolumeStat(0), 65535u);
    EXPECT_EQ(in->GetVolumeStat(1), 65535u);
    EXPECT_TRUE(in->GetOnOffStat(0));
    EXPECT_FALSE(in->GetOnOffStat(1));
    out = line(mlDestSpeakers);
    EXPECT_EQ(out->GetVolumeStat(0), 26214u);
    EXPECT_EQ(out->GetVolumeStat(1), 0u);
    EXPECT_TRUE(out->GetMuteAll());
    EXPECT_TRUE(out->GetMuteStat(0) && out->GetMuteStat(1));
}

TEST_F(AlsaMixer, AChangeMadeElsewhereIsReadAndReported)
{
    auto watched = line(mlDestWaveIn);
    int volumeEvents = 0;
    watched->OnVolumeChange = [&](TQelSysMixer*) { ++volumeEvents; };
    auto other = line(mlDestWaveIn);
    other->SetVolumeAll(6554);  // 10 of 0..100
    ASSERT_TRUE(pumpUntil([&] { return volumeEvents > 0; }));
    EXPECT_EQ(watched->GetVolumeAll(), 6553u);
    EXPECT_EQ(watched->GetVolumeStat(1), 6553u);
}

}  // namespace
