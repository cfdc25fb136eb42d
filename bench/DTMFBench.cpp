// The DTMF decoder: speed of the buffer handler with each method in times real time, and digits
// decoded out of digits sent at falling signal-to-noise ratio, for tone lengths of 100, 150 and
// 200 ms, with nominal tones and with tones 1.5 % off and 6 dB of twist, in white noise and in noise
// limited to 300-3300 Hz.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BandNoise.h"
#include "DTMFDecoder.h"
#include "Dtmf.h"
#include "QelBench.h"

namespace {

const char* const kKeys = "123A456B789C*0#D";

std::vector<int16_t> signal(double toneSeconds, double offset, double twist, double snr, bool band, uint64_t seed)
{
    siggen::dtmf::Script s;
    s.digits = kKeys;
    s.toneSeconds = toneSeconds;
    s.pauseSeconds = toneSeconds;
    s.lowOffset = offset;
    s.highOffset = -offset;
    s.twistDb = twist;
    s.amplitude = 0.5;
    siggen::Samples x = siggen::dtmf::render(s, kDTMFRate);
    siggen::Random random(seed);
    if (snr < 100)
        bench::addNoise(x, snr, band, kDTMFRate, random);
    std::vector<int16_t> pcm(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        pcm[i] = static_cast<int16_t>(std::lround(std::clamp(x[i], -1.0, 1.0) * 32767));
    return pcm;
}

// Characters decoded: the longest common subsequence of what was sent and what came out, and the
// characters that came out beyond it.
std::pair<int, int> score(const std::string& sent, const std::string& got)
{
    std::vector<std::vector<int>> l(sent.size() + 1, std::vector<int>(got.size() + 1, 0));
    for (size_t i = 1; i <= sent.size(); ++i)
        for (size_t j = 1; j <= got.size(); ++j)
            l[i][j] = sent[i - 1] == got[j - 1] ? l[i - 1][j - 1] + 1 : std::max(l[i - 1][j], l[i][j - 1]);
    const int right = l[sent.size()][got.size()];
    return {right, static_cast<int>(got.size()) - right};
}

std::string decode(bool method1, const std::vector<int16_t>& pcm)
{
    auto d = std::make_unique<TDTMFDecoder>();
    d->Method1 = method1;
    std::string out;
    d->OnSymbol = [&](char c) { out += c; };
    for (size_t i = 0; i + kDTMFBufferSamples <= pcm.size(); i += kDTMFBufferSamples)
        d->ProcessBuffer(pcm.data() + i, kDTMFBufferSamples);
    return out;
}

void benchHandler(benchmark::State& state, bool method1)
{
    const std::vector<int16_t> pcm = signal(0.1, 0, 0, 20, false, 1);
    auto d = std::make_unique<TDTMFDecoder>();
    d->Method1 = method1;
    int64_t symbols = 0;
    d->OnSymbol = [&](char) { ++symbols; };
    const size_t buffers = pcm.size() / kDTMFBufferSamples;
    for (auto _ : state) {
        for (size_t b = 0; b < buffers; ++b)
            d->ProcessBuffer(pcm.data() + b * kDTMFBufferSamples, kDTMFBufferSamples);
        benchmark::DoNotOptimize(symbols);
    }
    bench::reportRate(state, "DTMF buffer handler", method1 ? "method 1 (256-point spectrum)" : "method 2 (Goertzel)",
                      kDTMFRate, static_cast<int64_t>(buffers * kDTMFBufferSamples));
}

void printSensitivity()
{
    struct Condition {
        const char* name;
        double offset, twist;
        bool band;
    };
    const int seeds = 3;
    const int sent = static_cast<int>(std::string(kKeys).size()) * seeds;
    for (const Condition& c : std::vector<Condition>{{"nominal tones, white noise", 0, 0, false},
                                                     {"nominal tones, noise 300-3300 Hz", 0, 0, true},
                                                     {"tones +-1.5 %, 6 dB twist, white noise", 0.015, 6, false},
                                                     {"tones +-1.5 %, 6 dB twist, noise 300-3300 Hz", 0.015, 6, true}}) {
        std::printf("DTMF digits decoded of %d sent (16 keys x %d noise seeds; low tones +1.5 %%, high -1.5 %% "
                    "where offset; pauses as long as the tones, SNR over tones and pauses), %s; extra characters "
                    "in brackets\n",
                    sent, seeds, c.name);
        std::printf("%7s", "SNR dB");
        for (int method = 1; method <= 2; ++method)
            for (int ms : {100, 150, 200})
                std::printf("  m%d %3d ms", method, ms);
        std::printf("\n");
        for (int snr : {30, 20, 10, 6, 3, 0, -3, -6, -9, -12, -15, -18}) {
            std::printf("%7d", snr);
            for (int method = 1; method <= 2; ++method)
                for (int ms : {100, 150, 200}) {
                    int right = 0, extra = 0;
                    for (int seed = 1; seed <= seeds; ++seed) {
                        const auto [r, e] = score(kKeys, decode(method == 1, signal(ms / 1000.0, c.offset, c.twist, snr,
                                                                                    c.band, static_cast<uint64_t>(seed))));
                        right += r;
                        extra += e;
                    }
                    std::printf("  %4d [%2d]", right, extra);
                }
            std::printf("\n");
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("DTMFHandler/method1", benchHandler, true);
    benchmark::RegisterBenchmark("DTMFHandler/method2", benchHandler, false);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
