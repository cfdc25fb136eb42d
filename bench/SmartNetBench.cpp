// SmartNet control channel at 44100 Hz: speed of the transition detector, outbound-word receiver and
// interpretation, and of the decoder window's whole buffer handler, in times real time; and words
// decoded out of words sent from 30 dB down to 0 dB signal-to-noise ratio, with white noise and
// with noise limited to 300-3300 Hz, upright and inverted, with the false words counted.
#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "OrvPluginFrame.h"
#include "QelBench.h"
#include "QelFSKDecoder.h"
#include "SmartNetDecoder.h"
#include "SmartNetForm.h"
#include "SmartNetReceiver.h"
#include "tools/siggen/BandNoise.h"
#include "Smartnet.h"
#include "Wav.h"

namespace {

namespace sn = siggen::smartnet;
constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = 8192;  // stereo frames of one 32768-byte buffer

using Key = std::tuple<uint16_t, uint16_t, uint8_t>;

sn::ChannelScript Script(double seconds, int grants)
{
    sn::ChannelScript s;
    s.seconds = seconds;
    for (int i = 0; i < grants; ++i)
        s.events.push_back({0.05 + i * seconds / (grants + 1),
                            {sn::grant(uint16_t(0x2000 + 37 * i), uint16_t((i * 53) % 700), i % 2 == 0)}});
    return s;
}

std::set<Key> SentWords(const siggen::Bits& bits, int* count)
{
    std::set<Key> sent;
    *count = 0;
    for (size_t at = 8; at + 84 <= bits.size(); at += 84) {
        const std::array<uint8_t, 78> d = SmartNetDeinterleave(&bits[at], false);
        std::array<uint8_t, 38> out{};
        for (size_t k = 0; k < 38; ++k)
            out[k] = d[2 * k];
        const TSmartNetOsw w = SmartNetOswOfBits(out);
        sent.insert({w.Command, w.Address, w.Group});
        ++*count;
    }
    return sent;
}

enum class Noise { None, White, Band };

// The signal on the right channel (where the window looks first), the left one silent.
std::vector<int16_t> Stereo(siggen::Samples x, double snrDb, Noise noise, uint64_t seed)
{
    siggen::Random random(seed);
    if (noise == Noise::White)
        siggen::addNoise(x, snrDb, random);
    else if (noise == Noise::Band)
        siggen::addBandNoise(x, snrDb, 300, 3300, kRate, random);
    std::vector<int16_t> pcm(x.size() * 2);
    for (size_t i = 0; i < x.size(); ++i)
        pcm[2 * i + 1] = siggen::toPcm16(x[i]);
    return pcm;
}

struct Tally : TSmartNetWordSink {
    const std::set<Key>* sent = nullptr;
    TSmartNetWordSink* next = nullptr;  // the interpretation, when calls are counted too
    int right = 0, wrong = 0;
    void GoodWord(const TSmartNetOsw& w) override
    {
        if (sent && sent->count({w.Command, w.Address, w.Group}))
            ++right;
        else
            ++wrong;
        if (next)
            next->GoodWord(w);
    }
    void BadFrame() override
    {
        if (next)
            next->BadFrame();
    }
    void AccuracyText(const std::string&) override {}
};

void Decode(const std::vector<int16_t>& pcm, TSmartNetWordSink& sink)
{
    TSmartNetReceiver rx(sink);
    rx.Reset();
    TQelFSKDecoder fsk;
    fsk.SetDerivative(true);
    fsk.OnTransition = [&](TQelFSKDecoder*, uint32_t p, int32_t v) { rx.FSKDecTransition(p, v); };
    for (size_t at = 0; at < pcm.size(); at += 2 * kFrames) {
        const size_t n = std::min<size_t>(2 * kFrames, pcm.size() - at);
        fsk.ProcessBuffer(pcm.data() + at + 1, uint32_t(n), 2);
    }
}

// The decoding classes as the window wires them: detector, receiver, interpretation and on-air list.
struct NullClient : TSmartNetDecoderClient {
    void TuneHost(int32_t, bool) override {}
    bool SecondaryInUse() override { return false; }
    uint32_t SecondaryFrequency() override { return 0; }
    void SecondaryFollow(uint32_t) override {}
    void SecondaryPark() override {}
    uint16_t SecondarySignalStrength() override { return 0; }
    bool AutoTuneChecked() override { return false; }
    TSmartNetLocalTime LocalTime() override { return {2026, 12, 10, 12, 0, 0}; }
    TSmartNetDateNames DateNames() override { return {}; }
    void SelectSystem(uint16_t identity) override { record->SystemIdentity = identity; }
    void SaveSystem() override {}
    // Every call that joins the on-air list is logged once: one that no grant sent is a false call.
    void WriteLogEntry(const TSmartNetLocalTime&, uint16_t, const TSmartNetOnAirEntry& e) override
    {
        if (grants && !grants->count({e.Identity, e.Channel}))
            ++falseCalls;
    }
    const std::set<std::pair<int32_t, int32_t>>* grants = nullptr;
    int falseCalls = 0;
    void SetText(TSmartNetLabel, const std::string&) override {}
    void EnableSystemControls(bool) override {}
    void RetToCtrlChanged(bool) override {}
    void SetGridRows(int) override {}
    void RepaintGrid() override {}
    TSmartNetSystemRecord* record = nullptr;
};

void benchDecoder(benchmark::State& state)
{
    const auto pcm = Stereo(sn::render(sn::controlChannelBits(Script(5.0, 40)), kRate, 0.5), 20, Noise::White, 1);
    TSmartNetSystemRecord record;
    NullClient client;
    client.record = &record;
    TSmartNetDecoder decoder(client, record);
    decoder.BuffersSinceTune = 100;
    TSmartNetReceiver rx(decoder);
    rx.Reset();
    TQelFSKDecoder fsk;
    fsk.SetDerivative(true);
    fsk.OnTransition = [&](TQelFSKDecoder*, uint32_t p, int32_t v) { rx.FSKDecTransition(p, v); };
    const size_t buffers = pcm.size() / (2 * kFrames);
    size_t next = 0;
    for (auto _ : state) {
        fsk.ProcessBuffer(pcm.data() + next * 2 * kFrames + 1, 2 * kFrames - 1 + 1, 2);
        next = (next + 1) % buffers;
    }
    state.counters["frames"] = rx.FrameCount;
    bench::reportRate(state, "SmartNet detector+receiver+words", "integer", kRate, kFrames);
}

int32_t QuietHost(OrvInstance, int32_t code, int32_t param, int32_t, const char*)
{
    return code == ORV_GET && param == ORV_FREQUENCY ? 851000000 : 0;
}

// The window's WaveInWaveInData: input-channel test, speaker routing and data output, level bar,
// detector, receiver, interpretation and list.
void benchWindow(benchmark::State& state)
{
    const auto pcm = Stereo(sn::render(sn::controlChannelBits(Script(5.0, 40)), kRate, 0.5), 20, Noise::White, 1);
    // A folder of the bench's own (its script, boxes and database), not fixed names in a shared one.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string dir = folder.path().toStdString();
    const std::string script = dir + "/smartnet-bench.script";
    if (FILE* f = std::fopen(script.c_str(), "w")) {
        std::fputs("values 0 0 0 0\nsilence_at_end\n", f);
        std::fclose(f);
    }
    ::setenv("WAVE_IN_SCRIPT", script.c_str(), 1);
    ::setenv("MSGBOX_LOG", (dir + "/smartnet-bench.boxes").c_str(), 1);
    ::setenv("ORV_PLUGIN_PATH", dir.c_str(), 1);
    OrvReceiverInfo info{};
    info.receiverNumber = 9;
    info.maxVolume = 255;
    uint32_t flags = 0;
    auto* form = new TSmartNetForm(1, &info, &QuietHost, &flags, 1);
    form->FormCreate();
    const size_t buffers = pcm.size() / (2 * kFrames);
    size_t next = 0;
    for (auto _ : state) {
        form->WaveInWaveInData(nullptr, pcm.data() + next * 2 * kFrames, 4 * kFrames);
        next = (next + 1) % buffers;
    }
    state.counters["frames"] = form->Receiver().FrameCount;
    bench::reportRate(state, "SmartNet window buffer", "integer", kRate, kFrames);
    form->DestroyNow();
    OrvFrameResetForTest();
}

void printSensitivity()
{
    const sn::ChannelScript s = Script(4.0, 60);
    const siggen::Bits bits = sn::controlChannelBits(s);
    int sentCount = 0;
    const std::set<Key> sent = SentWords(bits, &sentCount);
    constexpr int kSeeds = 3;
    std::printf("SmartNet words decoded at 44100 Hz (4 s control channel, %d words, %d noise seeds);\n", sentCount,
                kSeeds);
    std::printf("false = words that passed the check but were never sent; calls = calls listed that no grant\n"
                "sent, with the system %04X current\n", s.system);
    std::printf("%7s | %-30s | %-30s | %-30s | %-30s\n", "", "white, upright", "white, inverted",
                "300-3300 Hz, upright", "300-3300 Hz, inverted");
    std::printf("%7s | %7s %7s %8s %5s | %7s %7s %8s %5s | %7s %7s %8s %5s | %7s %7s %8s %5s\n", "SNR dB", "words",
                "%", "false", "calls", "words", "%", "false", "calls", "words", "%", "false", "calls", "words", "%",
                "false", "calls");
    std::set<std::pair<int32_t, int32_t>> grants;
    for (const sn::Event& e : s.events)
        for (const sn::Word& w : e.words)
            grants.insert({w.address, w.command});
    const siggen::Samples upright = sn::render(bits, kRate, 0.5, false);
    const siggen::Samples inverted = sn::render(bits, kRate, 0.5, true);
    for (int snr = 30; snr >= 0; snr -= 3) {
        std::printf("%7d |", snr);
        for (Noise noise : {Noise::White, Noise::Band})
            for (const siggen::Samples* x : {&upright, &inverted}) {
                Tally t;
                t.sent = &sent;
                int falseCalls = 0;
                for (uint64_t seed = 1; seed <= kSeeds; ++seed) {
                    TSmartNetSystemRecord record;
                    record.SystemIdentity = s.system;
                    NullClient client;
                    client.record = &record;
                    client.grants = &grants;
                    TSmartNetDecoder decoder(client, record);
                    decoder.BuffersSinceTune = 100;
                    decoder.TunedFrequency = 851000000;
                    t.next = &decoder;
                    Decode(Stereo(*x, snr, noise, seed), t);
                    falseCalls += client.falseCalls;
                }
                t.next = nullptr;
                std::printf(" %7d %7.1f %8d %5d |", t.right, 100.0 * t.right / (kSeeds * sentCount), t.wrong,
                            falseCalls);
            }
        std::printf("\n");
    }
    // Noise alone: every word it yields is false.
    for (Noise noise : {Noise::White, Noise::Band}) {
        // Noise of rms 0.2: a constant of that level gives addNoise and addBandNoise the power to
        // match at 0 dB, and is taken off again.
        siggen::Samples x(size_t(kRate) * 60, 0.2);
        siggen::Random random(7);
        if (noise == Noise::White)
            siggen::addNoise(x, 0, random);
        else
            siggen::addBandNoise(x, 0, 300, 3300, kRate, random);
        for (double& v : x)
            v -= 0.2;
        std::vector<int16_t> pcm(x.size() * 2);
        for (size_t i = 0; i < x.size(); ++i)
            pcm[2 * i + 1] = siggen::toPcm16(x[i]);
        Tally t;
        Decode(pcm, t);
        std::printf("noise alone, %s, 60 s: %d words passed the check\n",
                    noise == Noise::White ? "white" : "300-3300 Hz", t.wrong);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::RegisterBenchmark("SmartNetDecoder", benchDecoder)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("SmartNetWindowBuffer", benchWindow)->Unit(benchmark::kMicrosecond);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
