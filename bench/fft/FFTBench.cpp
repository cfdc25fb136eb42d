// Cost of one 1024-point spectrum, as the scope display computes it for every block.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "QelFFT.h"

namespace {

constexpr double SampleRate = 44100.0;  // the sound card's rate in the plug-ins

void BM_QelFFT1024(benchmark::State& state) {
    const int32_t n = 1024;
    TQelFFT fft;
    fft.SetDataLength(n);
    fft.SetWinType(static_cast<TQelFFTWinType>(state.range(0)));
    fft.AverageValue = true;
    std::mt19937 gen(1);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<int16_t> block(n);
    for (auto& s : block) s = static_cast<int16_t>(dist(gen));
    for (auto _ : state) {
        fft.Compute(block.data(), n);
        benchmark::DoNotOptimize(fft.ModuleOut()[1]);
    }
    const double samples = static_cast<double>(state.iterations()) * n;
    state.counters["samples_per_s"] = benchmark::Counter(samples, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(samples / SampleRate, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_QelFFT1024)->Arg(fwRectangle)->Arg(fwKaiser);

BENCHMARK_MAIN();
