// Cost of the CTCSS decoder's analysis of one 8192-sample buffer at 11025 Hz: the division by 256,
// the Kaiser-windowed 8192-point power spectrum and the strongest-of-41 decision.
#include "BandNoise.h"
#include "CTCSSDetector.h"
#include "QelBench.h"
#include "Signal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// One buffer of a tone under noise of rms 0.25 full scale, the tone's power snrDb above the noise's.
std::vector<int16_t> toneUnderNoise(double hz, double snrDb, bool band, uint64_t seed)
{
    const double noiseRms = 0.25;
    siggen::Random random(seed);
    siggen::Samples noise;
    if (band)
        noise = bench::bandNoise(kCTCSSBlock, kCTCSSRate, random);
    else
        siggen::appendNoise(noise, 1.0, kCTCSSBlock, random);
    const double rms = std::sqrt(siggen::meanPower(noise));
    siggen::Samples x;
    siggen::Oscillator osc(kCTCSSRate, 0.37);
    osc.tone(x, hz, noiseRms * std::sqrt(2.0) * std::pow(10.0, snrDb / 20), kCTCSSBlock);
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        out[i] = int16_t(std::lround(std::clamp((x[i] + noise[i] * noiseRms / rms) * 32768, -32768.0, 32767.0)));
    return out;
}

void printSensitivity()
{
    TCTCSSDetector detector;
    const int seeds = 3;
    for (bool band : {false, true}) {
        std::printf("CTCSS tones identified of %d sent (41 tones x %d noise seeds, one 8192-sample buffer each; "
                    "noise rms -12 dBFS, SNR = tone power over noise power), %s; \"no tone\" and wrong tones "
                    "count as missed\n",
                    kCTCSSToneCount * seeds, seeds, band ? "noise 300-3300 Hz" : "white noise");
        std::printf("%8s %10s %10s\n", "SNR dB", "found", "wrong");
        for (int snr : {0, -10, -20, -25, -30, -35, -40, -45}) {
            int found = 0, wrong = 0;
            for (int i = 0; i < kCTCSSToneCount; ++i)
                for (int s = 0; s < seeds; ++s) {
                    const auto b = toneUnderNoise(std::atof(CTCSSTones[i].Text), snr, band, uint64_t(1000 * i + s));
                    const TCTCSSResult r = detector.Analyse(b.data(), b.size());
                    found += r.Present && r.Strongest == i;
                    wrong += r.Present && r.Strongest != i;
                }
            std::printf("%8d %10d %10d\n", snr, found, wrong);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("CTCSS/analysis", benchCTCSS);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
