#pragma once
// Inner loops of the signal components, with a vector version picked at run time where the
// processor has one. Every vector version gives bit for bit the result of the plain loop: the
// sums wrap (modulo 2^64 or 2^32), so the order of the additions does not matter.
#include <cstdint>

enum class TQelSimd : uint8_t { Scalar, AVX2 };

// The best vector level of this processor, lowered by QelLimitSimd (tests and benchmarks compare
// the levels). Components read it when they are constructed.
TQelSimd QelSimdInUse();
bool QelSimdAvailable(TQelSimd level);
void QelLimitSimd(TQelSimd ceiling);

// Wrapping 64-bit sum of the n signed 32 x 32-bit products x[k] * t[k].
using TQelDot64 = uint64_t (*)(const int32_t* x, const int32_t* t, uint32_t n);
uint64_t QelDot64Scalar(const int32_t* x, const int32_t* t, uint32_t n);
uint64_t QelDot64AVX2(const int32_t* x, const int32_t* t, uint32_t n);
TQelDot64 QelDot64For(TQelSimd level);

// Wrapping 32-bit sum of the products of the upper 16 bits of x[k] with th[k] (a 16-bit value
// held in 32 bits).
uint32_t QelDotHi16Scalar(const int32_t* x, const int32_t* th, uint32_t n);
uint32_t QelDotHi16AVX2(const int32_t* x, const int32_t* th, uint32_t n);

// A filter's sums over a block: sums[i] = the wrapping 64-bit sum of x[i + k] * t[k], k < n, for
// every i < frames; one call per block, the taps kept in registers where they fit.
using TQelDot64Block = void (*)(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t n, uint32_t frames);
void QelDot64BlockScalar(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t n, uint32_t frames);
void QelDot64BlockAVX2(uint64_t* sums, const int32_t* x, const int32_t* t, uint32_t n, uint32_t frames);
TQelDot64Block QelDot64BlockFor(TQelSimd level);

// The same with QelDotHi16's 32-bit sums.
using TQelDotHi16Block = void (*)(uint32_t* sums, const int32_t* x, const int32_t* th, uint32_t n, uint32_t frames);
void QelDotHi16BlockScalar(uint32_t* sums, const int32_t* x, const int32_t* th, uint32_t n, uint32_t frames);
void QelDotHi16BlockAVX2(uint32_t* sums, const int32_t* x, const int32_t* th, uint32_t n, uint32_t frames);
TQelDotHi16Block QelDotHi16BlockFor(TQelSimd level);

// out[k] = a[k] * b[k], wrapping signed 32-bit products.
using TQelMulWrap = void (*)(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n);
void QelMulWrapScalar(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n);
void QelMulWrapAVX2(int32_t* out, const int32_t* a, const int32_t* b, uint32_t n);
TQelMulWrap QelMulWrapFor(TQelSimd level);

// Wrapping 32-bit product of two signed values.
inline int32_t QelMul32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

// out[k] = p[k * stride] for k < m (one channel of interleaved samples); nothing past
// p[(m - 1) * stride] is read.
void QelGather16(const int16_t* p, uint32_t m, uint32_t stride, int16_t* out);
