// Four-level FSK decoder at 44100 Hz, 1600 symbols/s: speed in times real time, and symbols decoded
// out of symbols sent at falling signal-to-noise ratio, with white noise and with noise limited to
// 300-3300 Hz, in level and derivative slicing.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "BandNoise.h"
#include "QelBench.h"
#include "QelFSK4Decoder.h"
#include "Signal.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr double kBaud = 1600;

std::vector<int> symbols(size_t n, uint64_t seed)
{
    siggen::Random r(seed);
    std::vector<int> s(n);
    for (size_t i = 0; i < 64; ++i)
        s[i] = i % 2 ? 3 : 0;  // preamble: the envelopes settle on the outer levels
    for (size_t i = 64; i < n; ++i)
        s[i] = static_cast<int>(r.next() % 4);
    return s;
}

// Levels -3, -1, 1, 3 (times 0.25 of full scale), each change spread over five samples.
siggen::Samples modulate(const std::vector<int>& sym)
{
    static const double ramp[] = {1 / 9.0, 3 / 9.0, 6 / 9.0, 8 / 9.0};
    const double sps = kRate / kBaud;
    siggen::Samples x(static_cast<size_t>(sym.size() * sps));
    for (size_t n = 0; n < x.size(); ++n) {
        const size_t k = static_cast<size_t>((n + 1e-6) / sps);
        const double into = n - k * sps + 1e-6;
        const double now = (2 * sym[k] - 3) * 0.25;
        double v = now;
        if (k > 0 && into < 4) {
            const double before = (2 * sym[k - 1] - 3) * 0.25;
            v = before + (now - before) * ramp[static_cast<int>(into)];
        }
        x[n] = v;
    }
    return x;
}

std::vector<int16_t> pcm(const siggen::Samples& x, double snrDb, bool band, uint64_t seed)
{
    return bench::withNoise(x, kRate, snrDb, band, seed);
}

std::vector<int32_t> decode(const std::vector<int16_t>& x, bool derivative)
{
    TQelFSK4Decoder d;
    d.Derivative = derivative;
    if (derivative)
        d.SetAttack(2);
    std::vector<int32_t> got;
    d.OnNewDibit = [&](TQelFSK4Decoder*, int32_t v) { got.push_back(v); };
    for (size_t at = 0; at < x.size(); at += 4096)
        d.ProcessBuffer(x.data() + at, static_cast<uint32_t>(std::min<size_t>(4096, x.size() - at)));
    return got;
}

// Symbols after the preamble that come out right, at the best alignment of the two streams.
int correct(const std::vector<int>& sent, const std::vector<int32_t>& got)
{
    int best = 0;
    for (int shift = -8; shift <= 8; ++shift) {
        int ok = 0;
        for (size_t i = 64; i < sent.size(); ++i) {
            const long j = static_cast<long>(i) + shift;
            if (j >= 0 && j < static_cast<long>(got.size()) && got[j] == sent[i])
                ++ok;
        }
        best = std::max(best, ok);
    }
    return best;
}

void benchDecoder(benchmark::State& state, bool derivative)
{
    const auto x = pcm(modulate(symbols(16000, 1)), 20, false, 1);
    size_t n = 0;
    for (auto _ : state)
        n = decode(x, derivative).size();
    state.counters["symbols"] = static_cast<double>(n);
    bench::reportRate(state, derivative ? "FSK4 decoder derivative" : "FSK4 decoder levels", "this machine", kRate,
                      static_cast<int64_t>(x.size()));
}

void printSensitivity()
{
    const std::vector<int> sent = symbols(4064, 7);
    const siggen::Samples x = modulate(sent);
    const int total = static_cast<int>(sent.size() - 64);
    std::printf("FSK4 symbols decoded of %d sent (44100 Hz, 1600 symbols/s, 2 noise seeds each)\n", total);
    std::printf("%8s %12s %12s %12s %12s\n", "SNR dB", "lvl white", "lvl 0.3-3.3k", "der white", "der 0.3-3.3k");
    for (int snr = 30; snr >= 0; snr -= 3) {
        int r[4] = {};
        for (uint64_t seed = 1; seed <= 2; ++seed)
            for (int k = 0; k < 4; ++k)
                r[k] += correct(sent, decode(pcm(x, snr, k % 2 == 1, seed), k >= 2));
        std::printf("%8d %11.1f%% %11.1f%% %11.1f%% %11.1f%%\n", snr, 50.0 * r[0] / total, 50.0 * r[1] / total,
                    50.0 * r[2] / total, 50.0 * r[3] / total);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("FSK4Levels", benchDecoder, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("FSK4Derivative", benchDecoder, true)->Unit(benchmark::kMillisecond);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
