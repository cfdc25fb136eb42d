#include "QelSimd.h"

#include <atomic>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEL_X86 1
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
uint64_t QelDot64AVX2(const int32_t* x, const int32_t* t, uint32_t n) { return QelDot64Scalar(x, t, n); }
uint32_t QelDotHi16AVX2(const int32_t* x, const int32_t* th, uint32_t n) { return QelDotHi16Scalar(x, th, n); }
void QelMulWrapAVX2(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n) { QelMulWrapScalar(out, a, b, n); }
#endif

TQelDot64 QelDot64For(TQelSimd level) { return level == TQelSimd::AVX2 ? QelDot64AVX2 : QelDot64Scalar; }
TQelDotHi16 QelDotHi16For(TQelSimd level) { return level == TQelSimd::AVX2 ? QelDotHi16AVX2 : QelDotHi16Scalar; }
TQelMulWrap QelMulWrapFor(TQelSimd level) { return level == TQelSimd::AVX2 ? QelMulWrapAVX2 : QelMulWrapScalar; }
