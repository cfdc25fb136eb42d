// Cost of the suite's signal-processing units as the applets use them: an 8192-point spectrum (scope),
// the 256-point spectrum and the Goertzel levels of the eight DTMF tones on a 300-sample frame (DTMF
// decoder), and the 31- and 101-tap filters on blocks of 4096 samples (packet and ACARS decoders).
// Each row is reported at 11025 and 44100 Hz.
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "DFT.h"
#include "FFT.h"
#include "FIR.h"
#include "QelBench.h"

namespace {

std::vector<double> noise(size_t count, double amplitude)
{
    std::mt19937 gen(1);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<double> v(count);
    for (auto& s : v)
        s = dist(gen);
    return v;
}

std::string atRate(const char* what, double rate)
{
    return std::string(what) + ", " + std::to_string(static_cast<int>(rate)) + " Hz";
}

void benchFFT(benchmark::State& state, int32_t n, double rate)
{
    auto rec = std::make_unique<TFFTRec>();
    FFTInit(*rec, n, fwKaiser);
    const std::vector<double> frame = noise(static_cast<size_t>(n), 32767);
    for (auto _ : state) {
        std::copy(frame.begin(), frame.end(), rec->Samples);  // FFTPower consumes its samples
        FFTPower(*rec);
        benchmark::DoNotOptimize(rec->Power);
        benchmark::ClobberMemory();
    }
    bench::reportRate(state, "suite FFTPower " + std::to_string(n), atRate("kaiser window", rate), rate, n);
}

// The eight DTMF tones on one 300-sample frame at 11025 Hz, as the decoder's bins.
void benchGoertzel(benchmark::State& state, double rate)
{
    constexpr int32_t kFrame = 300;
    constexpr double kTones[8] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};
    auto rec = std::make_unique<TDFTRec>();
    MakeWindow(*rec, kFrame, dwKaiser);
    const std::vector<double> frame = noise(kFrame, 32767);
    std::copy(frame.begin(), frame.end(), rec->Samples);
    for (auto _ : state) {
        double sum = 0;
        for (double f : kTones)
            sum += GoertzelPower(*rec, static_cast<int32_t>(f * kFrame / 11025));
        benchmark::DoNotOptimize(sum);
    }
    bench::reportRate(state, "suite GoertzelPower DTMF", atRate("8 tones, 300 samples", rate), rate, kFrame);
}

// The same twelve levels the DTMF decoder takes per frame (eight tones, four harmonics), in one pass.
void benchGoertzelPass(benchmark::State& state, double rate)
{
    constexpr int32_t kFrame = 300;
    constexpr double kTones[8] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};
    double bins[12];
    for (int i = 0; i < 8; ++i)
        bins[i] = kTones[i] * kFrame / 11025;
    for (int i = 0; i < 4; ++i)
        bins[8 + i] = 2 * kTones[4 + i] * kFrame / 11025;
    auto rec = std::make_unique<TDFTRec>();
    MakeWindow(*rec, kFrame, dwKaiser);
    const std::vector<double> frame = noise(kFrame, 32767);
    std::copy(frame.begin(), frame.end(), rec->Samples);
    double out[12];
    for (auto _ : state) {
        GoertzelPowers(*rec, bins, 12, out);
        benchmark::DoNotOptimize(out);
    }
    bench::reportRate(state, "suite GoertzelPowers DTMF", atRate("12 bins in one pass, 300 samples", rate), rate, kFrame);
}

void benchFIR(benchmark::State& state, int32_t taps, double rate)
{
    constexpr int32_t kBlock = 4096;
    auto rec = std::make_unique<TFIRRec>();
    if (taps == 101)
        DesignBandPassFIR(*rec, kBlock, taps, 0.034013605442176874, 0.018140589569160998);
    else
        DesignLowPassFIR(*rec, kBlock, taps, 0.11791383219954649);
    const std::vector<double> block = noise(kBlock, 32767);
    for (auto _ : state) {
        for (int32_t i = 0; i < kBlock; ++i)
            rec->Input[kFIRBlockStart + i] = static_cast<int32_t>(block[static_cast<size_t>(i)]);
        FIRFilter(*rec);
        benchmark::DoNotOptimize(rec->Output);
        benchmark::ClobberMemory();
    }
    bench::reportRate(state, "suite FIRFilter " + std::to_string(taps) + " taps",
                      atRate(taps == 101 ? "band-pass, blocks of 4096" : "low-pass, blocks of 4096", rate), rate,
                      kBlock);
}

}  // namespace

BENCHMARK_CAPTURE(benchFFT, n8192_11025, 8192, 11025.0);
BENCHMARK_CAPTURE(benchFFT, n8192_44100, 8192, 44100.0);
BENCHMARK_CAPTURE(benchFFT, n256_11025, 256, 11025.0);
BENCHMARK_CAPTURE(benchFFT, n256_44100, 256, 44100.0);
BENCHMARK_CAPTURE(benchGoertzel, dtmf_11025, 11025.0);
BENCHMARK_CAPTURE(benchGoertzel, dtmf_44100, 44100.0);
BENCHMARK_CAPTURE(benchGoertzelPass, dtmf_11025, 11025.0);
BENCHMARK_CAPTURE(benchGoertzelPass, dtmf_44100, 44100.0);
BENCHMARK_CAPTURE(benchFIR, taps31_11025, 31, 11025.0);
BENCHMARK_CAPTURE(benchFIR, taps31_44100, 31, 44100.0);
BENCHMARK_CAPTURE(benchFIR, taps101_11025, 101, 11025.0);
BENCHMARK_CAPTURE(benchFIR, taps101_44100, 101, 44100.0);

BENCHMARK_MAIN();
