#pragma once
// Per-block loops of the delay-and-multiply demodulators (packet at 1200 bit/s, ACARS): the clamped
// products of the filter output with itself delayed, and the search for the next zero crossing of
// the discriminator, whose bit clocks act only at crossings and at their sampling instants.
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// z[n] = y[n] x w[n] for n = 0..count-1 as a 64-bit product, clamped to +-(2^30 - 1) so that the
// next filter may add pairs of its inputs as 32-bit integers.
void ClampedProducts(const int32_t* y, const int32_t* w, int32_t* z, int32_t count);

// What counts as a crossing at sample n, besides a change of sign between q[n-1] and q[n]: the
// sample before being zero, or the sample itself being zero.
enum class TZeroCrossing { AfterZero, AtZero };

// The first n in from..limit-1 that is a crossing, the sample before q[from] being previous; limit
// when there is none. Four samples are tested at a time.
template <TZeroCrossing Zero>
int32_t NextCrossing(const int32_t* q, int32_t from, int32_t limit, int32_t previous)
{
    auto crossing = [](int32_t before, int32_t now) {
        const bool zero = Zero == TZeroCrossing::AfterZero ? before == 0 : now == 0;
        return zero || (before > 0 && now < 0) || (before < 0 && now > 0);
    };
    int32_t n = from;
    if (n >= limit)
        return limit;
    if (crossing(previous, q[n]))
        return n;
    ++n;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; n + 4 <= limit; n += 4) {
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + n - 1));
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(q + n));
        const __m128i down = _mm_and_si128(_mm_cmpgt_epi32(before, zero), _mm_cmplt_epi32(now, zero));
        const __m128i up = _mm_and_si128(_mm_cmplt_epi32(before, zero), _mm_cmpgt_epi32(now, zero));
        const __m128i atZero = _mm_cmpeq_epi32(Zero == TZeroCrossing::AfterZero ? before : now, zero);
        const __m128i any = _mm_or_si128(_mm_or_si128(down, up), atZero);
        if (const int bits = _mm_movemask_ps(_mm_castsi128_ps(any)))
            return n + __builtin_ctz(unsigned(bits));
    }
#endif
    for (; n < limit; ++n)
        if (crossing(q[n - 1], q[n]))
            return n;
    return limit;
}
