#include "QelSimd.h"

#include <atomic>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEL_X86 1
#endif
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
std::atomic<int> gCeiling{static_cast<int>(TQelSimd::AVX2)};

bool hardwareHas(TQelSimd level) {
    if (level == TQelSimd::Scalar) return true;
#ifdef QEL_X86
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}
}  // namespace

bool QelSimdAvailable(TQelSimd level) { return hardwareHas(level); }

TQelSimd QelSimdInUse() {
    const auto ceiling = static_cast<TQelSimd>(gCeiling.load());
    if (ceiling >= TQelSimd::AVX2 && hardwareHas(TQelSimd::AVX2)) return TQelSimd::AVX2;
    return TQelSimd::Scalar;
}

void QelLimitSimd(TQelSimd ceiling) { gCeiling.store(static_cast<int>(ceiling)); }

uint64_t QelDot64Scalar(const int32_t* x, const int32_t* t, uint32_t n) {
    uint64_t s = 0;
    for (uint32_t k = 0; k < n; ++k)
        s += static_cast<uint64_t>(static_cast<int64_t>(x[k]) * static_cast<int64_t>(t[k]));
    return s;
}

uint32_t QelDotHi16Scalar(const int32_t* x, const int32_t* th, uint32_t n) {
    uint32_t s = 0;
    for (uint32_t k = 0; k < n; ++k) s += static_cast<uint32_t>((x[k] >> 16) * th[k]);
    return s;
}

void QelMulWrapScalar(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n) {
    for (uint32_t k = 0; k < n; ++k) out[k] = QelMul32(a[k], b[k]);
}

void QelDot64BlockScalar(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t n, uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) sums[i] = QelDot64Scalar(x + i, t, n);
}

void QelDotHi16BlockScalar(uint32_t* sums, const int32_t* x, const int32_t* th, uint32_t n, uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) sums[i] = QelDotHi16Scalar(x + i, th, n);
}

#ifdef QEL_X86
__attribute__((target("avx2"))) uint64_t QelDot64AVX2(const int32_t* x, const int32_t* t, uint32_t n) {
    __m256i acc = _mm256_setzero_si256();
    uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + k));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + k));
        // even lanes, then odd lanes moved down: signed 32 x 32 -> 64-bit products
        acc = _mm256_add_epi64(acc, _mm256_mul_epi32(a, b));
        acc = _mm256_add_epi64(acc, _mm256_mul_epi32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32)));
    }
    alignas(32) uint64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc);
    uint64_t s = lanes[0] + lanes[1] + lanes[2] + lanes[3];
    return s + QelDot64Scalar(x + k, t + k, n - k);
}

__attribute__((target("avx2"))) uint32_t QelDotHi16AVX2(const int32_t* x, const int32_t* th, uint32_t n) {
    __m256i acc = _mm256_setzero_si256();
    uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256i a = _mm256_srai_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + k)), 16);
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(th + k));
        acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(a, b));
    }
    alignas(32) uint32_t lanes[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc);
    uint32_t s = 0;
    for (uint32_t v : lanes) s += v;
    return s + QelDotHi16Scalar(x + k, th + k, n - k);
}

namespace {

// The four 64-bit lanes added, without going through memory.
__attribute__((target("avx2"))) inline uint64_t sumLanes64(__m256i v) {
    __m128i s = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi64(s, _mm_unpackhi_epi64(s, s));
    return static_cast<uint64_t>(_mm_cvtsi128_si64(s));
}

__attribute__((target("avx2"))) inline uint32_t sumLanes32(__m256i v) {
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    s = _mm_add_epi32(s, _mm_unpackhi_epi64(s, s));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, 0x55));
    return static_cast<uint32_t>(_mm_cvtsi128_si32(s));
}

// Signed 32 x 32 -> 64-bit products of eight values with eight taps, added into acc: the even lanes
// as they are, the odd ones moved down (the taps' odd halves are moved down once, outside the loop).
__attribute__((target("avx2"))) inline __m256i mulAdd64(__m256i acc, __m256i a, __m256i tEven, __m256i tOdd) {
    acc = _mm256_add_epi64(acc, _mm256_mul_epi32(a, tEven));
    return _mm256_add_epi64(acc, _mm256_mul_epi32(_mm256_srli_epi64(a, 32), tOdd));
}

// G groups of eight taps held in registers for the whole block.
template <uint32_t G>
__attribute__((target("avx2"))) void dot64Block(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t frames) {
    __m256i te[G], to[G];
    for (uint32_t g = 0; g < G; ++g) {
        te[g] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + 8 * g));
        to[g] = _mm256_srli_epi64(te[g], 32);
    }
    for (uint32_t i = 0; i < frames; ++i) {
        __m256i acc = _mm256_setzero_si256();
        for (uint32_t g = 0; g < G; ++g)
            acc = mulAdd64(acc, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i + 8 * g)), te[g], to[g]);
        sums[i] = sumLanes64(acc);
    }
}

template <uint32_t G>
__attribute__((target("avx2"))) void dotHi16Block(uint32_t* sums, const int32_t* x, const int32_t* th, uint32_t frames) {
    __m256i tv[G];
    for (uint32_t g = 0; g < G; ++g) tv[g] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(th + 8 * g));
    for (uint32_t i = 0; i < frames; ++i) {
        __m256i acc = _mm256_setzero_si256();
        for (uint32_t g = 0; g < G; ++g) {
            const __m256i a = _mm256_srai_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i + 8 * g)), 16);
            acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(a, tv[g]));
        }
        sums[i] = sumLanes32(acc);
    }
}

}  // namespace

__attribute__((target("avx2"))) void QelDot64BlockAVX2(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t n,
                                                       uint32_t frames) {
    if (n % 8 == 0) {
        switch (n / 8) {
        case 1: return dot64Block<1>(sums, x, t, frames);
        case 2: return dot64Block<2>(sums, x, t, frames);
        case 3: return dot64Block<3>(sums, x, t, frames);
        case 4: return dot64Block<4>(sums, x, t, frames);
        case 5: return dot64Block<5>(sums, x, t, frames);
        case 6: return dot64Block<6>(sums, x, t, frames);
        default: break;
        }
    }
    // Longer filters: the taps are loaded as they go, the lanes still summed in registers.
    const uint32_t whole = n / 8 * 8;
    for (uint32_t i = 0; i < frames; ++i) {
        __m256i acc = _mm256_setzero_si256();
        for (uint32_t k = 0; k < whole; k += 8) {
            const __m256i tv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t + k));
            acc = mulAdd64(acc, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i + k)), tv,
                           _mm256_srli_epi64(tv, 32));
        }
        sums[i] = sumLanes64(acc) + QelDot64Scalar(x + i + whole, t + whole, n - whole);
    }
}

__attribute__((target("avx2"))) void QelDotHi16BlockAVX2(uint32_t* sums, const int32_t* x, const int32_t* th,
                                                         uint32_t n, uint32_t frames) {
    if (n % 8 == 0) {
        switch (n / 8) {
        case 1: return dotHi16Block<1>(sums, x, th, frames);
        case 2: return dotHi16Block<2>(sums, x, th, frames);
        case 3: return dotHi16Block<3>(sums, x, th, frames);
        case 4: return dotHi16Block<4>(sums, x, th, frames);
        case 5: return dotHi16Block<5>(sums, x, th, frames);
        case 6: return dotHi16Block<6>(sums, x, th, frames);
        default: break;
        }
    }
    for (uint32_t i = 0; i < frames; ++i) sums[i] = QelDotHi16AVX2(x + i, th, n);
}

__attribute__((target("avx2"))) void QelMulWrapAVX2(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n) {
    uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256i va = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + k));
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + k));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + k), _mm256_mullo_epi32(va, vb));
    }
    QelMulWrapScalar(out + k, a + k, b + k, n - k);
}
#else
void QelDot64BlockAVX2(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t n, uint32_t frames) {
    QelDot64BlockScalar(sums, x, t, n, frames);
}
void QelDotHi16BlockAVX2(uint32_t* sums, const int32_t* x, const int32_t* th, uint32_t n, uint32_t frames) {
    QelDotHi16BlockScalar(sums, x, th, n, frames);
}
uint64_t QelDot64AVX2(const int32_t* x, const int32_t* t, uint32_t n) { return QelDot64Scalar(x, t, n); }
uint32_t QelDotHi16AVX2(const int32_t* x, const int32_t* th, uint32_t n) { return QelDotHi16Scalar(x, th, n); }
void QelMulWrapAVX2(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n) { QelMulWrapScalar(out, a, b, n); }
#endif

TQelDot64 QelDot64For(TQelSimd level) { return level == TQelSimd::AVX2 ? QelDot64AVX2 : QelDot64Scalar; }
TQelMulWrap QelMulWrapFor(TQelSimd level) { return level == TQelSimd::AVX2 ? QelMulWrapAVX2 : QelMulWrapScalar; }
TQelDot64Block QelDot64BlockFor(TQelSimd level) { return level == TQelSimd::AVX2 ? QelDot64BlockAVX2 : QelDot64BlockScalar; }
TQelDotHi16Block QelDotHi16BlockFor(TQelSimd level) {
    return level == TQelSimd::AVX2 ? QelDotHi16BlockAVX2 : QelDotHi16BlockScalar;
}

void QelGather16(const int16_t* p, uint32_t m, uint32_t stride, int16_t* out)
{
    if (stride == 1) {
        std::memcpy(out, p, size_t(m) * sizeof(int16_t));
        return;
    }
    uint32_t k = 0;
#ifdef __SSE2__
    // Sixteen values hold eight frames; the last load of a block ends one value short of the frame
    // after the last, so the loop stops a frame early and leaves the end to the plain loop.
    if (stride == 2)
        for (; k + 9 <= m; k += 8) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * size_t(k)));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * size_t(k) + 8));
            // The even values of each 32-bit pair, sign-extended, packed back to 16 bits.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k),
                             _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a, 16), 16),
                                             _mm_srai_epi32(_mm_slli_epi32(b, 16), 16)));
        }
#endif
    for (; k < m; ++k)
        out[k] = p[size_t(k) * stride];
}
