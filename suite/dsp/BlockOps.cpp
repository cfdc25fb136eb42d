#include "BlockOps.h"

#include "CpuFeatures.h"
#include "FIR.h"

#include <algorithm>

#ifdef QUENDA_DSP_X86
#include <immintrin.h>
#endif

namespace {

inline void products(const int32_t* y, const int32_t* w, int32_t* z, int32_t count, float* asFloat)
{
    if (asFloat) {
        for (int32_t n = 0; n < count; ++n) {
            z[n] = int32_t(std::clamp<int64_t>(int64_t(y[n]) * w[n], -int64_t(kFIRPairLimit), int64_t(kFIRPairLimit)));
            asFloat[n] = float(z[n]);
        }
        return;
    }
    for (int32_t n = 0; n < count; ++n)
        z[n] = int32_t(std::clamp<int64_t>(int64_t(y[n]) * w[n], -int64_t(kFIRPairLimit), int64_t(kFIRPairLimit)));
}

void ProductsPlain(const int32_t* y, const int32_t* w, int32_t* z, int32_t count, float* asFloat)
{
    products(y, w, z, count, asFloat);
}

#ifdef QUENDA_DSP_X86
// The same loops in 256-bit vectors: the 64-bit products and comparisons of the clamp come with them.
__attribute__((target("avx2"))) void ProductsAvx2(const int32_t* y, const int32_t* w, int32_t* z, int32_t count,
                                                  float* asFloat)
{
    products(y, w, z, count, asFloat);
}
#endif

using TProducts = void (*)(const int32_t*, const int32_t*, int32_t*, int32_t, float*);

TProducts BestProducts()
{
#ifdef QUENDA_DSP_X86
    if (CpuFeatures().Avx2)
        return ProductsAvx2;
#endif
    return ProductsPlain;
}

template <TZeroCrossing Zero>
inline bool Crossing(int32_t before, int32_t now)
{
    const bool zero = Zero == TZeroCrossing::AfterZero ? before == 0 : now == 0;
    return zero || (before > 0 && now < 0) || (before < 0 && now > 0);
}

template <TZeroCrossing Zero>
void BitsPlain(const int32_t* q, int32_t count, int32_t previous, uint64_t* words)
{
    for (int32_t w = 0; w < CrossingWords(count); ++w)
        words[w] = 0;
    for (int32_t n = 0; n < count; ++n)
        if (Crossing<Zero>(n > 0 ? q[n - 1] : previous, q[n]))
            words[n >> 6] |= uint64_t(1) << (n & 63);
}

#ifdef QUENDA_DSP_X86
template <TZeroCrossing Zero>
__attribute__((target("avx2"))) void BitsAvx2(const int32_t* q, int32_t count, int32_t previous, uint64_t* words)
{
    for (int32_t w = 0; w < CrossingWords(count); ++w)
        words[w] = 0;
    // The first eight by the sample-by-sample test, as the sample before q[0] is not in q.
    const int32_t head = count < 8 ? count : 8;
    for (int32_t n = 0; n < head; ++n)
        if (Crossing<Zero>(n > 0 ? q[n - 1] : previous, q[n]))
            words[0] |= uint64_t(1) << n;
    const __m256i zero = _mm256_setzero_si256();
    int32_t n = 8;
    for (; n + 8 <= count; n += 8) {
        const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + n - 1));
        const __m256i now = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q + n));
        const __m256i down = _mm256_and_si256(_mm256_cmpgt_epi32(before, zero), _mm256_cmpgt_epi32(zero, now));
        const __m256i up = _mm256_and_si256(_mm256_cmpgt_epi32(zero, before), _mm256_cmpgt_epi32(now, zero));
        const __m256i atZero = _mm256_cmpeq_epi32(Zero == TZeroCrossing::AfterZero ? before : now, zero);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(down, up), atZero);
        const auto bits = uint64_t(unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(any))));
        words[n >> 6] |= bits << (n & 63);  // n is a multiple of eight: the eight bits share a word
    }
    for (; n < count; ++n)
        if (Crossing<Zero>(q[n - 1], q[n]))
            words[n >> 6] |= uint64_t(1) << (n & 63);
}
#endif

template <TZeroCrossing Zero>
using TBits = void (*)(const int32_t*, int32_t, int32_t, uint64_t*);

template <TZeroCrossing Zero>
TBits<Zero> BestBits()
{
#ifdef QUENDA_DSP_X86
    if (CpuFeatures().Avx2)
        return BitsAvx2<Zero>;
#endif
    return BitsPlain<Zero>;
}

}  // namespace

template <TZeroCrossing Zero>
void CrossingBits(const int32_t* q, int32_t count, int32_t previous, uint64_t* words)
{
    static const TBits<Zero> best = BestBits<Zero>();
    best(q, count, previous, words);
}

template void CrossingBits<TZeroCrossing::AfterZero>(const int32_t*, int32_t, int32_t, uint64_t*);
template void CrossingBits<TZeroCrossing::AtZero>(const int32_t*, int32_t, int32_t, uint64_t*);

void ClampedProducts(const int32_t* y, const int32_t* w, int32_t* z, int32_t count, float* asFloat)
{
    static const TProducts best = BestProducts();
    best(y, w, z, count, asFloat);
}
