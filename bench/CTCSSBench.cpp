// Cost of the CTCSS decoder's analysis of one 8192-sample buffer at 11025 Hz: the division by 256,
// the Kaiser-windowed 8192-point power spectrum and the strongest-of-41 decision.
#include "CTCSSDetector.h"
#include "QelBench.h"

#include <cmath>
#include <vector>

namespace {

void benchCTCSS(benchmark::State& state)
{
    TCTCSSDetector detector;
    std::vector<int16_t> buffer(kCTCSSBlock);
    for (size_t i = 0; i < buffer.size(); ++i)
        buffer[i] = int16_t(std::lround(1000 * std::sin(2 * M_PI * 100.0 * double(i) / kCTCSSRate) +
                                        3000 * std::sin(2 * M_PI * 1234.5 * double(i) / kCTCSSRate)));
    for (auto _ : state) {
        TCTCSSResult r = detector.Analyse(buffer.data(), buffer.size());
        benchmark::DoNotOptimize(r);
    }
    bench::reportRate(state, "ctcss detector", "8192-point Kaiser spectrum, 41 tones", kCTCSSRate, kCTCSSBlock);
}

}  // namespace

BENCHMARK(benchCTCSS);
BENCHMARK_MAIN();
