#include "QelFSKKernels.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
inline __m128i load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(int16_t* p, __m128i x) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x); }

// Every lane the value of lane 7.
inline __m128i lastLane(__m128i x)
{
    const __m128i high = _mm_shufflehi_epi16(x, _MM_SHUFFLE(3, 3, 3, 3));
    return _mm_unpackhi_epi64(high, high);
}

// Eight samples of one envelope with a decay of 1 (the upper; the lower is the mirror): the running
// maximum of x[j] + j - 7 across the lanes in three shifted steps, the lanes shifted in taking the
// smallest value, then the carry (the envelope before the eight, less 8) and 7 - k put in.
template <bool Upper>
struct EnvelopeSide {
    const __m128i ramp = _mm_setr_epi16(-7, -6, -5, -4, -3, -2, -1, 0);  // j - 7
    const __m128i rest = _mm_setr_epi16(7, 6, 5, 4, 3, 2, 1, 0);        // 7 - k
    const __m128i fill = _mm_set1_epi16(Upper ? int16_t(0x8000) : int16_t(0x7FFF));
    const __m128i in1 = _mm_and_si128(_mm_setr_epi16(-1, 0, 0, 0, 0, 0, 0, 0), fill);
    const __m128i in2 = _mm_and_si128(_mm_setr_epi16(-1, -1, 0, 0, 0, 0, 0, 0), fill);
    const __m128i in4 = _mm_and_si128(_mm_setr_epi16(-1, -1, -1, -1, 0, 0, 0, 0), fill);

    static __m128i further(__m128i a, __m128i b) { return Upper ? _mm_max_epi16(a, b) : _mm_min_epi16(a, b); }
    static __m128i toward(__m128i a, __m128i b) { return Upper ? _mm_adds_epi16(a, b) : _mm_subs_epi16(a, b); }

    __m128i Step(__m128i x, __m128i& carry) const
    {
        __m128i a = toward(x, ramp);
        a = further(a, _mm_or_si128(_mm_slli_si128(a, 2), in1));
        a = further(a, _mm_or_si128(_mm_slli_si128(a, 4), in2));
        a = further(a, _mm_or_si128(_mm_slli_si128(a, 8), in4));
        const __m128i env = further(toward(further(a, carry), rest), _mm_setzero_si128());
        const __m128i eight = _mm_set1_epi16(Upper ? -8 : 8);
        carry = _mm_add_epi16(lastLane(env), eight);
        return env;
    }
};
#endif

}  // namespace

// The difference of two 16-bit values lies within +-65535. Its magnitude n is divided by 3 as
// floor(n * 43691 / 2^17): with 3 * 43691 = 2^17 + 1 that is n / 3 + n / (3 * 2^17), and for n = 3q + r
// the excess r / 3 + n / (3 * 2^17) stays below 1 for every n below 2^17, so the floor is q. The
// product's upper 16 bits come from one unsigned multiply, the last bit from a shift; the sign goes
// back on afterwards, which truncates toward zero as the division does.
void QelFSKThirdOfDifference(const int16_t* a, const int16_t* b, uint32_t n, int16_t* out)
{
    uint32_t k = 0;
#ifdef __SSE2__
    const __m128i third = _mm_set1_epi16(int16_t(43691));
    for (; k + 8 <= n; k += 8) {
        const __m128i x = load(a + k), y = load(b + k);
        const __m128i negative = _mm_cmpgt_epi16(y, x);
        // x - y modulo 2^16, negated where it is negative: the magnitude as an unsigned 16-bit value.
        const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(_mm_sub_epi16(x, y), negative), negative);
        const __m128i q = _mm_srli_epi16(_mm_mulhi_epu16(magnitude, third), 1);
        store(out + k, _mm_sub_epi16(_mm_xor_si128(q, negative), negative));
    }
#endif
    for (; k < n; ++k)
        out[k] = int16_t((int32_t(a[k]) - int32_t(b[k])) / 3);
}

// With a decay of 1 the upper envelope is the largest of upper - 1, v and 0 (a v below upper is at
// most upper - 1), so after eight samples it is max(upper - 8, v[j] - (7 - j) for j <= k) + 7 - k
// and 0: a running maximum of v[j] + j - 7, taken across the lanes in three shifted steps. The sums
// stay within 16 bits where they matter: v[j] + j - 7 saturates only below -32760, where the term is
// negative and the 0 wins anyway. The lower envelope is the mirror.
void QelFSKEnvelopes(const int16_t* v, uint32_t m, int32_t& upper, int32_t& lower, int16_t* up, int16_t* lo)
{
    uint32_t k = 0;
    int32_t u = upper, l = lower;
#ifdef __SSE2__
    if (m >= 8) {
        const EnvelopeSide<true> high;
        const EnvelopeSide<false> low;
        __m128i carryUp = _mm_set1_epi16(int16_t(u - 8)), carryLo = _mm_set1_epi16(int16_t(l + 8));
        __m128i envUp = _mm_setzero_si128(), envLo = _mm_setzero_si128();
        for (; k + 8 <= m; k += 8) {
            const __m128i x = load(v + k);
            envUp = high.Step(x, carryUp);
            envLo = low.Step(x, carryLo);
            store(up + k, envUp);
            store(lo + k, envLo);
        }
        u = int16_t(_mm_extract_epi16(envUp, 7));
        l = int16_t(_mm_extract_epi16(envLo, 7));
    }
#endif
    for (; k < m; ++k) {
        const int32_t x = v[k];
        u = x >= u ? x : std::max(u - 1, 0);
        l = x <= l ? x : std::min(l + 1, 0);
        up[k] = int16_t(u);
        lo[k] = int16_t(l);
    }
    upper = u, lower = l;
}
