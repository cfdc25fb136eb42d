#include "QelVUEnvelope.h"
#include "QelSimd.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The products (divisor - 1) * value exceed 32 bits for large divisors, so the steps are defined in
// 64 bits. Every quotient lies between two 32-bit values (or is 32-bit by construction), so it fits back.
// The per-sample loop takes the same values without the 64-bit division where it can.
namespace {

inline int32_t smoothed(int32_t divisor, int32_t value, int32_t x)
{
    if (divisor == 0 || divisor == 1)  // ((1 - 1) * value + x) / 1 is x
        return x;
    return static_cast<int32_t>(((int64_t(divisor) - 1) * value + x) / divisor);
}

// (divisor - 1) * value / divisor, truncated toward zero. For a positive divisor d, with q and r the
// 32-bit quotient and remainder of value / d, it is value - q - r / d: value - q less one when r is
// not 0 for value >= 0, value - q plus one when r is not 0 for value < 0; for |value| <= d simply one
// step toward zero.
inline int32_t decayed(int32_t divisor, int32_t value)
{
    if (divisor >= 1) {
        if (value >= 0) {
            if (value <= divisor)
                return value - (value != 0);
            return value - value / divisor - (value % divisor != 0);
        }
        if (value >= -divisor)
            return value + 1;
        return value - value / divisor + (value % divisor != 0);
    }
    return static_cast<int32_t>((int64_t(divisor) - 1) * value / divisor);
}

// The envelope's fields as locals, so the per-sample loop keeps them in registers.
struct Levels {
    int32_t ValueMin, ValueMax, PeakMin, PeakMax;
    int32_t ValueAttack, ValueDecay, PeakDecay;

    inline void NewValueMax(int32_t x)
    {
        if (x > ValueMax)
            ValueMax = smoothed(ValueAttack, ValueMax, x);
        else
            ValueMax = ValueDecay == 0 ? x : decayed(ValueDecay, ValueMax);
        if (PeakMax > ValueMax && PeakDecay != 0) {
            PeakMax = decayed(PeakDecay, PeakMax);
            if (PeakMax < ValueMax)
                PeakMax = ValueMax;
        } else {
            PeakMax = ValueMax;
        }
        if (ValueMax < ValueMin)
            ValueMin = ValueMax;
    }

    inline void NewValueMin(int32_t x)
    {
        if (x < ValueMin)
            ValueMin = smoothed(ValueAttack, ValueMin, x);
        else
            ValueMin = ValueDecay == 0 ? x : decayed(ValueDecay, ValueMin);
        if (PeakMin < ValueMin && PeakDecay != 0) {
            PeakMin = decayed(PeakDecay, PeakMin);
            if (PeakMin > ValueMin)
                PeakMin = ValueMin;
        } else {
            PeakMin = ValueMin;
        }
        if (ValueMin > ValueMax)
            ValueMax = ValueMin;
    }
};

Levels load(const TQelVUEnvelope& e)
{
    return {e.ValueMin, e.ValueMax, e.PeakMin, e.PeakMax, e.ValueAttack, e.ValueDecay, e.PeakDecay};
}

void store(const Levels& l, TQelVUEnvelope& e)
{
    e.ValueMin = l.ValueMin;
    e.ValueMax = l.ValueMax;
    e.PeakMin = l.PeakMin;
    e.PeakMax = l.PeakMax;
}

} // namespace

void TQelVUEnvelope::NewValueMax(int32_t x)
{
    Levels l = load(*this);
    l.NewValueMax(x);
    store(l, *this);
}

void TQelVUEnvelope::NewValueMin(int32_t x)
{
    Levels l = load(*this);
    l.NewValueMin(x);
    store(l, *this);
}

namespace {

// The usual level display: no attack smoothing, both decays on, the upper envelope not below 0 and
// the lower not above. Neither can then cross 0 (a new extreme lies beyond the envelope, a decay step
// moves toward 0 and stops there), so the rules that keep the two apart never act, and each envelope
// and its peak mark run on their own. A decay step is then one toward 0 unless the value lies beyond
// the divisor, where the full step is taken. The same values as NewValueMax and NewValueMin in turn.
bool separateEnvelopes(const Levels& l)
{
    return (l.ValueAttack == 0 || l.ValueAttack == 1) && l.ValueDecay >= 1 && l.PeakDecay >= 1 &&
           l.ValueMax >= 0 && l.ValueMin <= 0;
}

// One sample of the separate envelopes, x already clamped: valueMax >= 0, and peakMax > valueMax >= 0
// where the peak decays (the mirror for the lower side).
inline void separateStep(int32_t x, int32_t& valueMax, int32_t& valueMin, int32_t& peakMax, int32_t& peakMin,
                         int32_t valueDecay, int32_t peakDecay)
{
    const int32_t maxDecayed = valueMax <= valueDecay ? valueMax - (valueMax != 0) : decayed(valueDecay, valueMax);
    valueMax = x > valueMax ? x : maxDecayed;
    if (peakMax > valueMax) {
        const int32_t p = peakMax <= peakDecay ? peakMax - 1 : decayed(peakDecay, peakMax);
        peakMax = p < valueMax ? valueMax : p;
    } else {
        peakMax = valueMax;
    }

    const int32_t minDecayed = valueMin >= -valueDecay ? valueMin + (valueMin != 0) : decayed(valueDecay, valueMin);
    valueMin = x < valueMin ? x : minDecayed;
    if (peakMin < valueMin) {
        const int32_t p = peakMin >= -peakDecay ? peakMin + 1 : decayed(peakDecay, peakMin);
        peakMin = p > valueMin ? valueMin : p;
    } else {
        peakMin = valueMin;
    }
}

constexpr int32_t kBlock = 64;

// What a block of up to 64 samples holds for the envelopes: its largest and smallest sample, and the
// samples that may raise the upper envelope counted with their step (bit k: x[k] + k > valueMax) or
// lower the lower one (bit k: k - x[k] > -valueMin). valueMax and valueMin are within 16 bits, and
// valueMax - k and valueMin + k then are too.
struct BlockExtent {
    int32_t high, low;
    uint64_t rising, falling;
};

BlockExtent blockExtent(const int16_t* x, int32_t n, int32_t valueMax, int32_t valueMin)
{
    BlockExtent e{INT16_MIN, INT16_MAX, 0, 0};
    int32_t k = 0;
#ifdef __SSE2__
    if (n >= 8) {
        const __m128i ramp = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), eight = _mm_set1_epi16(8);
        __m128i above = _mm_sub_epi16(_mm_set1_epi16(int16_t(valueMax)), ramp);
        __m128i below = _mm_add_epi16(_mm_set1_epi16(int16_t(valueMin)), ramp);
        __m128i high = _mm_set1_epi16(INT16_MIN), low = _mm_set1_epi16(INT16_MAX);
        for (; k + 8 <= n; k += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k));
            high = _mm_max_epi16(high, v);
            low = _mm_min_epi16(low, v);
            const __m128i marks = _mm_packs_epi16(_mm_cmpgt_epi16(v, above), _mm_cmplt_epi16(v, below));
            const uint32_t bits = uint32_t(_mm_movemask_epi8(marks));
            e.rising |= uint64_t(bits & 0xFF) << k;
            e.falling |= uint64_t(bits >> 8) << k;
            above = _mm_sub_epi16(above, eight);
            below = _mm_add_epi16(below, eight);
        }
        // Across the lanes: halves, quarters, pairs.
        high = _mm_max_epi16(high, _mm_shuffle_epi32(high, _MM_SHUFFLE(1, 0, 3, 2)));
        high = _mm_max_epi16(high, _mm_shuffle_epi32(high, _MM_SHUFFLE(2, 3, 0, 1)));
        high = _mm_max_epi16(high, _mm_shufflelo_epi16(high, _MM_SHUFFLE(2, 3, 0, 1)));
        low = _mm_min_epi16(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(1, 0, 3, 2)));
        low = _mm_min_epi16(low, _mm_shuffle_epi32(low, _MM_SHUFFLE(2, 3, 0, 1)));
        low = _mm_min_epi16(low, _mm_shufflelo_epi16(low, _MM_SHUFFLE(2, 3, 0, 1)));
        e.high = int16_t(_mm_extract_epi16(high, 0));
        e.low = int16_t(_mm_extract_epi16(low, 0));
    }
#endif
    for (; k < n; ++k) {
        e.high = std::max<int32_t>(e.high, x[k]);
        e.low = std::min<int32_t>(e.low, x[k]);
        e.rising |= uint64_t(x[k] + k > valueMax) << k;
        e.falling |= uint64_t(k - x[k] > -valueMin) << k;
    }
    return e;
}

// The separate envelopes a block of up to 64 samples at a time. Where every value stays within both
// divisors and the envelope cannot reach 0 inside the block (it starts at least a block's length
// away), each decay step is exactly one. Counted with the step number k of the block added, the upper
// envelope u = valueMax + k then only changes where a sample x makes x + k - 1 > u, and becomes x + k;
// and its peak mark, which decays by one toward it, ends at max(peakMax, u) - n (u never falls). The
// lower side is the same with the signs turned. A block with no new extreme costs one pass of maxima.
void feedSeparate(Levels& l, const int16_t* buffer, uint32_t count, uint32_t step, int32_t lo, int32_t hi)
{
    int32_t valueMax = l.ValueMax, valueMin = l.ValueMin, peakMax = l.PeakMax, peakMin = l.PeakMin;
    const int32_t valueDecay = l.ValueDecay, peakDecay = l.PeakDecay;
    const bool unclamped = lo <= -32768 && hi >= 32767;
    // The samples are gathered eight blocks at a time, the blocks taken from the start as before.
    int16_t chunk[8 * kBlock];
    uint64_t i = 0;
    while (i < count) {
        const int32_t total = int32_t(std::min<uint64_t>(8 * kBlock, (count - i + step - 1) / step));
        QelGather16(buffer + i, uint32_t(total), step, chunk);
        i += uint64_t(total) * step;
        for (int32_t at = 0; at < total; at += kBlock) {
            const int16_t* x = chunk + at;
            const int32_t n = std::min(kBlock, total - at);
            if (unclamped && valueMax >= n && valueMin <= -n && valueMax <= 32767 && valueMin >= -32768) {
                // The samples that may raise the envelope: x + k beyond valueMax, and the mirror.
                const BlockExtent e = blockExtent(x, n, valueMax, valueMin);
                const int32_t high = std::max(valueMax, e.high), low = std::min(valueMin, e.low);
                // In 64 bits: a peak mark set by hand may lie anywhere in the 32-bit range.
                const int64_t top = std::max<int64_t>(high, peakMax), bottom = std::min<int64_t>(low, peakMin);
                if (high <= valueDecay && -int64_t(low) <= valueDecay && top <= peakDecay && -bottom <= peakDecay) {
                    // Only the marked samples can move the counted envelopes, in their order.
                    int32_t up = valueMax, down = -valueMin;
                    for (uint64_t b = e.rising; b; b &= b - 1) {
                        const int32_t k = __builtin_ctzll(b), z = x[k] + k;
                        up = z > up ? z + 1 : up;
                    }
                    for (uint64_t b = e.falling; b; b &= b - 1) {
                        const int32_t k = __builtin_ctzll(b), w = k - x[k];
                        down = w > down ? w + 1 : down;
                    }
                    valueMax = up - n;
                    peakMax = std::max(peakMax, up) - n;
                    valueMin = n - down;
                    peakMin = std::min(peakMin, -down) + n;
                    continue;
                }
            }
            for (int32_t k = 0; k < n; ++k) {
                const int32_t x1 = x[k] > hi ? hi : (x[k] < lo ? lo : x[k]);
                separateStep(x1, valueMax, valueMin, peakMax, peakMin, valueDecay, peakDecay);
            }
        }
    }
    l.ValueMax = valueMax, l.ValueMin = valueMin, l.PeakMax = peakMax, l.PeakMin = peakMin;
}

} // namespace

bool TQelVUEnvelope::Feed(const int16_t* buffer, uint32_t count, uint32_t step)
{
    if (step == 0)
        return false;
    Levels l = load(*this);
    const int32_t lo = Min, hi = Max;
    if (separateEnvelopes(l)) {
        feedSeparate(l, buffer, count, step, lo, hi);
        store(l, *this);
        return true;
    }
    // 64-bit index: a step near 2^32 must not wrap back to the start.
    for (uint64_t i = 0; i < count; i += step) {
        const int32_t v = buffer[i];
        const int32_t x = v > hi ? hi : (v < lo ? lo : v);
        l.NewValueMax(x);
        l.NewValueMin(x);
    }
    store(l, *this);
    return true;
}

bool TQelVUEnvelope::SetMax(int32_t m)
{
    // Min has to stay below Max, so Max cannot be the smallest 32-bit value.
    if (m == std::numeric_limits<int32_t>::min())
        m += 1;
    if (m == Max)
        return false;
    Max = m;
    if (ValueMax > m)
        ValueMax = m;
    if (ValueMin > m)
        ValueMin = m;
    if (m <= Min)
        SetMin(m - 1);
    return true;
}

bool TQelVUEnvelope::SetMin(int32_t m)
{
    if (m == std::numeric_limits<int32_t>::max())
        m -= 1;
    if (m == Min)
        return false;
    Min = m;
    if (ValueMax < m)
        ValueMax = m;
    if (ValueMin < m)
        ValueMin = m;
    if (m >= Max)
        SetMax(m + 1);
    return true;
}

bool TQelVUEnvelope::SetValueMax(int32_t v)
{
    v = Clamp(v);
    if (v == ValueMax)
        return false;
    NewValueMax(v);
    return true;
}

bool TQelVUEnvelope::SetValueMin(int32_t v)
{
    v = Clamp(v);
    if (v == ValueMin)
        return false;
    NewValueMin(v);
    return true;
}

bool TQelVUEnvelope::SetPeakMax(int32_t v)
{
    v = Clamp(v);
    if (v < ValueMax)
        v = ValueMax;
    if (v == PeakMax)
        return false;
    PeakMax = v;
    return true;
}

bool TQelVUEnvelope::SetPeakMin(int32_t v)
{
    v = Clamp(v);
    if (v > ValueMin)
        v = ValueMin;
    if (v == PeakMin)
        return false;
    PeakMin = v;
    return true;
}
