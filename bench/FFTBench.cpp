// Cost of one 1024-point averaged spectrum, as the scope display computes it for every block,
// with the cheapest and the dearest window to build (the transform itself is the same).
#include <cstdint>
#include <random>
#include <vector>

#include "QelBench.h"
#include "QelFFT.h"

namespace {

constexpr uint32_t kRate = 44100;  // the sound card's rate
constexpr int32_t kLength = 1024;

void benchFFT(benchmark::State& state, TQelFFTWinType type, const char* window) {
    TQelFFT fft;
    fft.SetDataLength(kLength);
    fft.SetWinType(type);
    fft.AverageValue = true;
    std::mt19937 gen(1);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<int16_t> block(kLength);
    for (auto& s : block) s = static_cast<int16_t>(dist(gen));
    for (auto _ : state) {
        fft.Compute(block.data(), kLength);
        benchmark::DoNotOptimize(fft.ModuleOut());
        benchmark::ClobberMemory();
    }
    bench::reportRate(state, "FFT 1024 points", window, kRate, kLength);
}

}  // namespace

BENCHMARK_CAPTURE(benchFFT, rectangle, fwRectangle, "rectangle window");
BENCHMARK_CAPTURE(benchFFT, kaiser, fwKaiser, "kaiser window");

BENCHMARK_MAIN();
