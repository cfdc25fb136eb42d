// One audio buffer through the MPT1327 window's whole buffer handler (WaveInWaveInData: input
// test, output choice and data-output command, level bar, automatic volume, demodulator, codeword
// receiver and interpretation), the window built once with a fake sound input and host, under the
// offscreen platform. Also the cost of opening and closing a window.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FakeReceiverLibrary.h"
#include "Fsk.h"
#include "MPT1327Form.h"
#include "Mpt1327.h"
#include "OrvPluginFrame.h"
#include "OrvSound.h"
#include "QelBench.h"
#include "QelButton.h"
#include "QelCPUDetect.h"
#include "QelStaticText.h"
#include "QelVUEnvelope.h"

namespace {

using namespace siggen::mpt1327;

constexpr uint32_t kRate = 11025;
constexpr size_t kBufferSamples = 4096;  // 8192 bytes of 16-bit stereo

int32_t Host(OrvInstance, int32_t code, int32_t param, int32_t, const char*)
{
    if (code != ORV_GET)
        return 0;
    switch (param) {
    case ORV_FREQUENCY: return 450012500;
    case ORV_VOLUME: return 100;
    case ORV_MODE: return 2;
    default: return 0;
    }
}

// A control channel on the channel the window decodes first (the second sample of each frame).
std::vector<int16_t> controlChannel(double seconds)
{
    ChannelScript s;
    s.controlChannel = 17;
    s.seconds = seconds;
    for (int i = 0; i < 20; ++i)
        s.events.push_back({0.2 + i * seconds / 21, {goToChannel(1, 100 + i, 200 + i, 30 + i)}});
    siggen::Bits bits = controlChannelBits(s);
    siggen::Samples x;
    siggen::FskModulator(kRate, kBitRate, kFreqOne, kFreqZero, 0.25).modulate(x, bits);
    siggen::Random random(1);
    siggen::addNoise(x, 20.0, random);
    std::vector<int16_t> pcm(x.size() * 2);
    for (size_t i = 0; i < x.size(); ++i) {
        const double v = x[i] > 1 ? 1 : x[i] < -1 ? -1 : x[i];
        pcm[2 * i + 1] = static_cast<int16_t>(v * 32767);
    }
    pcm.resize(pcm.size() / kBufferSamples * kBufferSamples);
    return pcm;
}

struct Window {
    TOrvSoundFactory factory;
    TOrvFakeSoundInput* wave = nullptr;
    TFakeReceiverLibrary receivers{2};
    uint32_t flags = 0;
    TMPT1327Form* form = nullptr;
    TOrvPluginInfo plugin;

    Window()
    {
        factory.WaveIn = [this] {
            auto w = std::make_unique<TOrvFakeSoundInput>();
            wave = w.get();
            return std::unique_ptr<TOrvSoundInput>(std::move(w));
        };
        factory.Mixer = [](TOrvMixerDestination) -> std::unique_ptr<TOrvMixer> { return std::make_unique<TOrvNoMixer>(); };
        factory.InputDeviceCount = [] { return 1u; };
        SetOrvSoundFactory(&factory);
        plugin = {"MPT1327", [this](OrvHostWindow w, const OrvReceiverInfo* i, OrvHostCallback c, uint32_t* f,
                                    OrvInstance h) -> TOrvDecoderForm* {
                      auto made = std::make_unique<TMPT1327Form>(w, i, c, f, h, receivers);
                      form = made.get();
                      made->FormCreate();
                      return made.release();
                  }};
        char name[8];
        OrvFrameInit(plugin, 0x100, name, 8);
        OrvReceiverInfo info{};
        info.receiverNumber = 1;
        info.maxVolume = 255;
        OrvFrameStart(plugin, 91, &info, &Host, &flags);
    }
    ~Window()
    {
        if (form)
            form->DestroyNow();
        SetOrvSoundFactory(nullptr);
        OrvFrameResetForTest();
    }
};

void benchHandler(benchmark::State& state, bool autoVolume)
{
    const auto pcm = controlChannel(10.0);
    Window w;
    if (!w.form || !w.wave) {
        state.SkipWithError("the window did not start");
        return;
    }
    w.form->AutoVolume->SetCheck(autoVolume);
    w.form->AutoVolumeClick();
    std::vector<int16_t> buffer(kBufferSamples);
    size_t at = 0;
    int64_t buffers = 0;
    for (auto _ : state) {
        std::copy(pcm.begin() + ptrdiff_t(at), pcm.begin() + ptrdiff_t(at + kBufferSamples), buffer.begin());
        w.wave->Deliver(buffer);
        at = (at + kBufferSamples) % pcm.size();
        ++buffers;
    }
    // The window really decoded: its accepted-frames figure (every row of a CSV run has the same counters,
    // so it is checked here rather than reported).
    if (state.iterations() >= 200 && QString(w.form->AccFramesLabel->Caption()).remove(QChar(0x25)).toInt() < 90)
        state.SkipWithError("the window decoded too few codewords");
    bench::reportRate(state, "MPT1327 window buffer", autoVolume ? "whole handler with auto volume" : "whole handler",
                      kRate, int64_t(kBufferSamples / 2));
}

// The level bar's envelope over the data channel of a buffer, as the window sets the bar up.
void benchLevelBar(benchmark::State& state)
{
    const auto pcm = controlChannel(2.0);
    TQelVUEnvelope e;
    e.SetMin(-32768);
    e.SetMax(32767);
    e.ValueDecay = 30000;
    e.PeakDecay = 1000000;
    e.PeakAttack = 10;
    size_t at = 0;
    for (auto _ : state) {
        e.Feed(pcm.data() + at + 1, uint32_t(kBufferSamples - 1), 2);
        benchmark::DoNotOptimize(e.ValueMax);
        at = (at + kBufferSamples) % pcm.size();
    }
    bench::reportRate(state, "MPT1327 level bar", "envelope of one channel", kRate, int64_t(kBufferSamples / 2));
}

void printStartup()
{
    constexpr int kWindows = 20;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kWindows; ++i)
        Window w;
    std::printf("MPT1327 window opened and closed %d times: %.2f ms each, processor identified %d time(s)\n",
                kWindows, double(clock.nsecsElapsed()) / 1e6 / kWindows, TQelCPUDetect::ProcessDetections());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    // A folder of its own for the window's database and settings; no display needed.
    QTemporaryDir dir;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("ORV_PLUGIN_PATH", dir.path().toUtf8().constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir.path() + "/config").toUtf8().constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.path().toUtf8().constData(), 1);
    ::setenv("MSGBOX_LOG", (dir.path() + "/boxes").toUtf8().constData(), 1);
    QApplication app(argc, argv);

    benchmark::RegisterBenchmark("MPT1327LevelBar", benchLevelBar);
    benchmark::RegisterBenchmark("MPT1327WindowBuffer", benchHandler, false)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("MPT1327WindowBuffer/autovolume", benchHandler, true)->Unit(benchmark::kMicrosecond);
    return bench::runBenchmarks(argc, argv, printStartup);
}
