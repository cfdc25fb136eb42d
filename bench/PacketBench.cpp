// Packet radio at 44100 Hz: the decoding thread's work on a block (demodulator, frame receiver,
// printer) at 1200 and 300 bit/s and the window's hand-over of a capture buffer, in times real
// time; and frames decoded out of 100 as the noise rises, with white noise, with noise limited to
// 300-3300 Hz, and with a receiver's de-emphasis, at both rates and on two 300 bit/s tone pairs.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "Ax25.h"
#include "FIRKernels.h"
#include "PacketDecodeThread.h"
#include "PacketDecoder.h"
#include "QelBench.h"
#include "Wav.h"

namespace {

namespace ax = siggen::ax25;

constexpr uint32_t kRate = 44100;

std::string Render(const std::vector<TPacketTextItem>& items)
{
    std::string s;
    for (const auto& it : items)
        s += it.Text;
    return s;
}

// Counts the sent frames that came back whole (each counted once).
struct Count : TPacketOutput {
    const std::set<std::string>* expected = nullptr;
    std::set<std::string> found;
    int delivered = 0;
    void FramePrinted(std::vector<TPacketTextItem> items) override
    {
        ++delivered;
        const std::string s = Render(items);
        if (expected && expected->count(s))
            found.insert(s);
    }
    void StatusUpdate(const char*, bool) override {}
    void TonesFound(int32_t, int32_t) override {}
};

struct Config {
    const char* name;
    uint32_t baud;
    double mark, space;
};

const Config kConfigs[] = {
    {"1200 bit/s 1200/2200 Hz", 1200, 1200, 2200},
    {"300 bit/s 1270/1070 Hz", 300, 1270, 1070},
    {"300 bit/s 1400/1200 Hz", 300, 1400, 1200},
};

enum class Noise { White, Band, Deemphasis };
const char* Name(Noise n)
{
    return n == Noise::White ? "white noise" : n == Noise::Band ? "noise 300-3300 Hz" : "de-emphasis 75 us, noise 300-3300 Hz";
}

std::vector<ax::Bytes> Frames(int count)
{
    std::vector<ax::Bytes> frames;
    for (int k = 0; k < count; ++k) {
        char text[64];
        std::snprintf(text, sizeof text, "!5130.%02dN/00010.%02dW- frame %03d of the bench", k % 60, k % 59, k);
        frames.push_back(ax::encode(ax::uiFrame("N0CALL-7", "APRS", text, {"WIDE1-1"})));
    }
    return frames;
}

std::vector<int16_t> Signal(const Config& c, const std::vector<ax::Bytes>& frames, Noise noise, double snrFirst,
                            double snrLast, uint64_t seed)
{
    ax::AfskOptions o = ax::afskFor(c.baud);
    o.mark = c.mark;
    o.space = c.space;
    o.amplitude = 0.3;
    o.gapSeconds = 0.1;
    o.leadFlags = c.baud == 1200 ? 24 : 8;
    if (noise == Noise::Deemphasis)
        o.deemphasisUs = 75;
    std::vector<ax::Bytes> sent;
    for (const auto& f : frames)
        sent.push_back(ax::withFcs(f));
    std::vector<ax::Span> spans;
    siggen::Samples s = ax::modulate(sent, o, &spans);
    if (snrFirst < 100) {
        ax::NoiseOptions n;
        n.snrFirst = snrFirst;
        n.snrLast = snrLast;
        n.band = noise != Noise::White;
        n.seed = seed;
        ax::addNoise(s, spans, n, kRate);
    }
    std::vector<int16_t> pcm;
    pcm.reserve(s.size() + 4096);
    for (double x : s)
        pcm.push_back(siggen::toPcm16(x));
    pcm.resize((pcm.size() + 4095) / 4096 * 4096, 0);
    return pcm;
}

int Decode(const std::vector<int16_t>& pcm, bool mode300, const std::set<std::string>* expected)
{
    Count out;
    out.expected = expected;
    TPacketDecoder d(out);
    for (size_t at = 0; at + 4096 <= pcm.size(); at += 4096)
        d.DecodeBlock(pcm.data() + at, mode300);
    return static_cast<int>(out.found.size());
}

std::set<std::string> Expected(const std::vector<ax::Bytes>& frames)
{
    std::set<std::string> e;
    for (const auto& f : frames)
        e.insert(Render(PrintFrame(f.data(), static_cast<int32_t>(f.size()), true)));
    return e;
}

// The filter kernel this processor runs (the label's kernel column; no commas, it is CSV).
const char* KernelName()
{
    if (FIRKernelBest() == FIRKernelAvx512())
        return "AVX-512";
    if (FIRKernelBest() == FIRKernelAvx2())
        return "AVX2";
    return "plain";
}

void benchDecoder(benchmark::State& state, const Config& c)
{
    const auto pcm = Signal(c, Frames(10), Noise::White, 10, 10, 1);
    for (auto _ : state) {
        Count out;
        TPacketDecoder d(out);
        for (size_t at = 0; at + 4096 <= pcm.size(); at += 4096)
            d.DecodeBlock(pcm.data() + at, c.baud == 300);
        benchmark::DoNotOptimize(out.delivered);
    }
    bench::reportRate(state, std::string("Packet ") + (c.baud == 300 ? "300" : "1200") + " demod+HDLC",
                      std::string("filters on the ") + KernelName() + " kernel", kRate, static_cast<int64_t>(pcm.size()));
}

// The window's buffer handler: one capture buffer handed to the thread, whose queue is full (the
// oldest sound moves out, the most work the hand-over does).
void benchHandOver(benchmark::State& state)
{
    TPacketDecodeThread thread([] {}, MakePacketDecoder);
    std::vector<int16_t> buffer(4096, 100);
    for (int i = 0; i < 30; ++i)
        thread.AddAudio(buffer.data(), buffer.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(thread.AddAudio(buffer.data(), buffer.size()));
    bench::reportRate(state, "Packet AddAudio", "hand-over of a capture buffer", kRate, 4096);
}

void printSensitivity()
{
    const auto frames = Frames(100);
    const auto expected = Expected(frames);
    for (Noise noise : {Noise::White, Noise::Band, Noise::Deemphasis}) {
        std::printf("\nPacket frames decoded out of 100, %s\n%8s", Name(noise), "SNR dB");
        for (const Config& c : kConfigs)
            std::printf(" %24s", c.name);
        std::printf("\n");
        const double top = noise == Noise::White ? 9 : 18, bottom = top - 12;
        for (double snr = top; snr >= bottom; snr -= 1.5) {
            std::printf("%8.1f", snr);
            for (const Config& c : kConfigs)
                std::printf(" %24d", Decode(Signal(c, frames, noise, snr, snr, 7), c.baud == 300, &expected));
            std::printf("\n");
            std::fflush(stdout);
        }
        std::printf("%8s", "falling");
        const double from = top, to = bottom;
        for (const Config& c : kConfigs)
            std::printf(" %24d", Decode(Signal(c, frames, noise, from, to, 11), c.baud == 300, &expected));
        std::printf("   (one file, %.0f dB down to %.0f dB frame by frame)\n", from, to);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("Packet1200", benchDecoder, kConfigs[0])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Packet300", benchDecoder, kConfigs[1])->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PacketAddAudio", benchHandOver);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
