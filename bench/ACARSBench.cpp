// ACARS decoder at 44100 Hz: speed of the signal path with framing and printing in times real time,
// and messages decoded exactly out of messages sent at falling signal-to-noise ratio, with white noise
// and with noise limited to 300-3300 Hz, every message at another start phase.
#include <cstdio>
#include <string>
#include <vector>

#include "ACARSDemod.h"
#include "ACARSPrinter.h"
#include "Acars.h"
#include "BandNoise.h"
#include "QelBench.h"

namespace {

constexpr uint32_t kRate = 44100;

struct Burst {
    siggen::Samples audio;
    std::vector<std::string> sent;
};

// n messages of 40 to 120 characters of text, 0.1 s apart, each starting at another sample phase.
Burst burst(int n, uint64_t seed)
{
    siggen::Random r(seed);
    Burst b;
    for (int i = 0; i < n; ++i) {
        siggen::acars::Message m;
        char head[32];
        std::snprintf(head, sizeof head, ".N%05u", unsigned(10000 + r.next() % 90000));
        m.address = head;
        m.label = "H1";
        std::snprintf(head, sizeof head, "M%02dAXX%04u", 10 + i % 90, unsigned(1000 + r.next() % 9000));
        m.text = head;
        const size_t len = 30 + r.next() % 80;
        for (size_t k = 0; k < len; ++k)
            m.text.push_back(char('A' + r.next() % 26));
        const auto c = siggen::acars::characters(m);
        b.sent.emplace_back(c.begin(), c.end());
        b.audio.resize(b.audio.size() + 4410 + r.next() % 19, 0.0);
        const auto one = siggen::acars::modulate(siggen::acars::frameBits(m, 64), kRate, 0.5);
        b.audio.insert(b.audio.end(), one.begin(), one.end());
    }
    b.audio.resize(b.audio.size() + 8192, 0.0);
    return b;
}

// Decodes and prints the audio; returns how many messages came out exactly as sent.
int decode(const std::vector<int16_t>& x, const std::vector<std::string>& sent, size_t* printed = nullptr)
{
    TACARSDemod demod;
    TACARSPrinter printer;
    size_t bytes = 0;
    printer.AddText = [&](const std::string& t, uint32_t, unsigned) { bytes += t.size(); };
    size_t next = 0;
    int exact = 0;
    demod.Framer.OnMessage = [&](int len) {
        printer.PrintFrame(demod.Framer.Text.data(), len);
        std::string got;
        for (int i = 0; i < len; ++i)
            got.push_back(char(demod.Framer.Text[i].Value));
        for (size_t k = next; k < sent.size(); ++k)
            if (sent[k] == got) {
                ++exact;
                next = k + 1;
                break;
            }
    };
    for (size_t at = 0; at < x.size(); at += TACARSDemod::kBlock)
        demod.ProcessBuffer(x.data() + at, static_cast<int32_t>(std::min<size_t>(TACARSDemod::kBlock, x.size() - at)));
    if (printed)
        *printed = bytes;
    return exact;
}

std::vector<int16_t> clean(const siggen::Samples& s)
{
    std::vector<int16_t> x(s.size());
    for (size_t i = 0; i < s.size(); ++i)
        x[i] = static_cast<int16_t>(s[i] * 32767);
    return x;
}

void benchChain(benchmark::State& state)
{
    const Burst b = burst(20, 1);
    const auto x = bench::withNoise(b.audio, kRate, 20, false, 1);
    int exact = 0;
    for (auto _ : state)
        exact = decode(x, b.sent);
    state.counters["messages"] = exact;
    bench::reportRate(state, "ACARS demod+framing+printer", "this machine", kRate, static_cast<int64_t>(x.size()));
}

void printSensitivity()
{
    const Burst b = burst(60, 7);
    const int sent = static_cast<int>(b.sent.size());
    std::printf("ACARS messages decoded exactly of %d sent (44100 Hz, 60 messages of 45-125 characters, "
                "start phases varied)\n", sent);
    std::printf("clean audio: %d\n", decode(clean(b.audio), b.sent));
    std::printf("%8s %12s %14s\n", "SNR dB", "white", "300-3300 Hz");
    for (int snr = 30; snr >= 0; snr -= 3) {
        const int w = decode(bench::withNoise(b.audio, kRate, snr, false, 11), b.sent);
        const int n = decode(bench::withNoise(b.audio, kRate, snr, true, 11), b.sent);
        std::printf("%8d %6d %4.0f%% %8d %4.0f%%\n", snr, w, 100.0 * w / sent, n, 100.0 * n / sent);
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::RegisterBenchmark("ACARSChain", benchChain)->Unit(benchmark::kMillisecond);
    return bench::runBenchmarks(argc, argv, printSensitivity);
}
