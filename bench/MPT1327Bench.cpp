// MPT1327 control channel at 11025 Hz through the window's demodulator and the codeword receiver:
// speed of the chain in times real time, and codewords decoded out of codewords sent from 30 dB
// down to 0 dB signal-to-noise ratio.
#include <cstdio>
#include <string>
#include <vector>

#include "BandNoise.h"
#include "Fsk.h"
#include "MPT1327Receiver.h"
#include "Mpt1327.h"
#include "QelAFSKDemod.h"
#include "QelBench.h"
#include "QelCPUDetect.h"

namespace {

using namespace siggen::mpt1327;

constexpr uint32_t kRate = 11025;

struct Count : TMPT1327CodewordSink {
    int valid = 0;
    void DecodeCodeword(const TMPT1327Codeword& cw) override { valid += cw.Valid; }
};

ChannelScript script(double seconds)
{
    ChannelScript s;
    s.controlChannel = 17;
    s.seconds = seconds;
    for (int i = 0; i < 20; ++i)
        s.events.push_back({0.2 + i * seconds / 21, {goToChannel(1, 100 + i, 200 + i, 30 + i)}});
    return s;
}

// Left channel the signal at the given ratio (no noise for a negative one), right channel silent;
// white noise, or noise limited to 300-3300 Hz as a receiver's audio carries it.
std::vector<int16_t> stereo(const ChannelScript& s, double snrDb, uint64_t seed, bool band = false)
{
    siggen::Bits bits = controlChannelBits(s);
    siggen::appendBits(bits, kPreamble, 16);
    siggen::Samples x;
    siggen::FskModulator(kRate, kBitRate, kFreqOne, kFreqZero, 0.25).modulate(x, bits);
    if (snrDb >= 0) {
        siggen::Random random(seed);
        bench::addNoise(x, snrDb, band, kRate, random);
    }
    std::vector<int16_t> pcm(x.size() * 2);
    for (size_t i = 0; i < x.size(); ++i) {
        const double v = x[i] > 1 ? 1 : x[i] < -1 ? -1 : x[i];
        pcm[2 * i] = static_cast<int16_t>(v * 32767);
    }
    return pcm;
}

int decode(const std::vector<int16_t>& pcm)
{
    Count sink;
    TMPT1327Receiver rx(sink);
    TQelAFSKDemod demod;
    MPT1327DemodSetting(demod);
    for (size_t at = 0; at < pcm.size(); at += 4096) {
        const size_t n = std::min<size_t>(4096, pcm.size() - at);
        rx.ProcessBuffer(TMPT1327Receiver::kControl, demod, pcm.data() + at, static_cast<uint32_t>(n * 2), 0);
    }
    return sink.valid;
}

// The chain is built once, as the window builds it, and fed the signal buffer by buffer.
void benchChain(benchmark::State& state, uint8_t code, std::string kernel)
{
    TQelCPUCodeScope scope(code);
    const auto pcm = stereo(script(5.0), 20.0, 1);
    Count sink;
    TMPT1327Receiver rx(sink);
    TQelAFSKDemod demod;
    MPT1327DemodSetting(demod);
    for (auto _ : state) {
        for (size_t at = 0; at < pcm.size(); at += 4096) {
            const size_t n = std::min<size_t>(4096, pcm.size() - at);
            rx.ProcessBuffer(TMPT1327Receiver::kControl, demod, pcm.data() + at, static_cast<uint32_t>(n * 2), 0);
        }
    }
    state.counters["codewords"] = double(sink.valid) / double(state.iterations());
    bench::reportRate(state, "MPT1327 demod+receiver", kernel, kRate, static_cast<int64_t>(pcm.size() / 2));
}

// One table line per ratio: codewords decoded of codewords sent, over a few noise seeds, with white
// noise and with noise limited to 300-3300 Hz.
void printSensitivity()
{
    const ChannelScript s = script(4.0);
    const int sent = static_cast<int>((controlChannelBits(s).size() - 32) / 64);
    std::printf("MPT1327 codewords decoded at 11025 Hz (4 s control channel, 3 noise seeds)\n");
    std::printf("%8s %12s %12s %8s %12s %8s\n", "SNR dB", "sent", "white", "%", "300-3300 Hz", "%");
    for (int snr = 30; snr >= 0; snr -= 3) {
        int white = 0, band = 0;
        for (uint64_t seed = 1; seed <= 3; ++seed) {
            white += decode(stereo(s, snr, seed));
            band += decode(stereo(s, snr, seed, true));
        }
        std::printf("%8d %12d %12d %8.1f %12d %8.1f\n", snr, 3 * sent, white, 100.0 * white / (3 * sent), band,
                    100.0 * band / (3 * sent));
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    // The portable kernels, and the FIR and delay kernels of this machine's code.
    const uint8_t machine = TQelCPUDetect::CurrentCode();
    benchmark::RegisterBenchmark("MPT1327Chain/portable", benchChain, uint8_t(0), std::string("portable (code 0)"))
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("MPT1327Chain/this machine", benchChain, machine,
                                 std::string("this machine (code ") + std::to_string(machine) + ")")
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("MPT1327Chain/fast", benchChain, uint8_t(10), std::string("fast FIR+delay (code 10)"))
        ->Unit(benchmark::kMillisecond);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
