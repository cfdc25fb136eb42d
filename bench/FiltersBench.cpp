// FIR filter (31 taps) and AFSK demodulator (the MPT1327 setting) at 11025 Hz, one channel, for
// every filter kernel, with the plain and the vector inner loops.
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "QelAFSKDemod.h"
#include "QelBench.h"
#include "QelCPUDetect.h"
#include "QelFIR.h"
#include "QelSimd.h"

namespace {

constexpr uint32_t kRate = 11025;
constexpr int32_t kBlock = 2048;

std::vector<int16_t> fskAudio() {
    std::vector<int16_t> v(kBlock);
    double phase = 0;
    for (int32_t i = 0; i < kBlock; ++i) {
        phase += 2 * std::numbers::pi * ((i / 9) % 3 ? 1200 : 1800) / kRate;
        v[i] = static_cast<int16_t>(std::lround(15000 * std::sin(phase)));
    }
    return v;
}

struct Variant {
    uint8_t code;
    TQelSimd simd;
};

std::string kernelName(const Variant& v, uint8_t machineCode) {
    std::string name = QelFIRKernelName(QelFIRKernelFor(v.code));
    name += v.simd == TQelSimd::AVX2 ? " avx2" : " scalar";
    if (QelFIRKernelFor(v.code) == QelFIRKernelFor(machineCode) && v.simd == QelSimdInUse()) name += " (this machine)";
    return name;
}

void benchFIR(benchmark::State& state, Variant v, std::string kernel) {
    QelLimitSimd(v.simd);
    TQelCPUCodeScope scope(v.code);
    TQelFIR f;
    f.SetSamplingRate(kRate);
    f.SetCutOffLow(600);
    f.SetCutOffHigh(2400);
    f.SetFIRType(ftBandPass);
    f.SetBufferSize(kBlock);
    const auto in = fskAudio();
    std::vector<int16_t> out(kBlock);
    for (auto _ : state) {
        f.ProcessBuffer(out.data(), in.data(), kBlock, 1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    bench::reportRate(state, "FIR filter 31 taps", kernel, kRate, kBlock);
    QelLimitSimd(TQelSimd::AVX2);
}

void benchAFSK(benchmark::State& state, Variant v, std::string kernel) {
    QelLimitSimd(v.simd);
    TQelCPUCodeScope scope(v.code);
    TQelAFSKDemod d;
    d.SetSamplingRate(kRate);
    d.SetBPCutOffLow(600);
    d.SetBPCutOffHigh(2400);
    d.SetLPCutOff(1200);
    d.SetDelay(9);
    d.SetBufferSize(kBlock);
    const auto in = fskAudio();
    std::vector<int32_t> out(kBlock);
    for (auto _ : state) {
        d.ProcessBuffer(out.data(), in.data(), kBlock, 1);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    bench::reportRate(state, "AFSK demodulator", kernel, kRate, kBlock);
    QelLimitSimd(TQelSimd::AVX2);
}

}  // namespace

int main(int argc, char** argv) {
    const uint8_t machine = TQelCPUDetect::CurrentCode();
    // one processor code per filter kernel pair; the delay line's fast kernel comes with 8 and 10
    const uint8_t codes[] = {0, 8, 16, 23, 10};
    std::vector<Variant> variants;
    for (uint8_t code : codes) {
        variants.push_back({code, TQelSimd::Scalar});
        if (QelSimdAvailable(TQelSimd::AVX2)) variants.push_back({code, TQelSimd::AVX2});
    }
    for (const Variant& v : variants) {
        const std::string k = kernelName(v, machine);
        benchmark::RegisterBenchmark(("FIR31/" + k).c_str(), benchFIR, v, k);
    }
    for (const Variant& v : variants) {
        const std::string k = kernelName(v, machine);
        benchmark::RegisterBenchmark(("AFSKDemod/" + k).c_str(), benchAFSK, v, k);
    }
    return bench::runBenchmarks(argc, argv);
}
