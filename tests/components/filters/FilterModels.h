#pragma once
// Direct models of the filter arithmetic, written from the definitions, to check the components.
#include <cstdint>
#include <random>
#include <vector>

#include "QelFIR.h"

namespace model {

inline std::vector<int32_t> random32(size_t n, uint32_t seed, int32_t lo = INT32_MIN, int32_t hi = INT32_MAX) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> d(lo, hi);
    std::vector<int32_t> v(n);
    for (auto& x : v) x = d(rng);
    return v;
}

inline std::vector<int16_t> random16(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(-32768, 32767);
    std::vector<int16_t> v(n);
    for (auto& x : v) x = static_cast<int16_t>(d(rng));
    return v;
}

// Filter of a whole Q31 stream with zero history, by the arithmetic of the given kernel.
inline std::vector<int32_t> fir(const std::vector<int32_t>& taps, const std::vector<int32_t>& x, TQelFIRKernel k, bool slice) {
    const size_t T = taps.size();
    std::vector<int32_t> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        uint64_t s = 0;
        uint32_t s16 = 0;
        for (size_t m = 0; m < T; ++m) {
            const int64_t idx = static_cast<int64_t>(i) - static_cast<int64_t>(T - 1) + static_cast<int64_t>(m);
            const int32_t v = idx >= 0 ? x[static_cast<size_t>(idx)] : 0;
            s += static_cast<uint64_t>(static_cast<int64_t>(v) * taps[m]);
            s16 += static_cast<uint32_t>((v >> 16) * (taps[m] >> 16));
        }
        if (k == TQelFIRKernel::MMX)
            y[i] = slice ? static_cast<int32_t>(s16) >= 0 : static_cast<int32_t>(s16);
        else if (slice)
            y[i] = static_cast<int64_t>(s) >= 0;
        else if (k == TQelFIRKernel::Generic)
            y[i] = static_cast<int32_t>(static_cast<int64_t>(s) >> 32);
        else
            y[i] = static_cast<int32_t>(static_cast<uint32_t>(s >> 31));
    }
    return y;
}

inline std::vector<int32_t> tapsOf(const TQelFIR& f) {
    std::vector<int32_t> t(f.TapsNum());
    f.StoreTapsInto(t.data());
    return t;
}

// One processor code for each filter kernel pair.
struct KernelCode { uint8_t code; TQelFIRKernel kernel; };
inline const KernelCode kKernelCodes[] = {
    {0, TQelFIRKernel::Generic}, {8, TQelFIRKernel::Pentium}, {16, TQelFIRKernel::K5},
    {23, TQelFIRKernel::Cyrix},  {10, TQelFIRKernel::MMX},
};

}  // namespace model
