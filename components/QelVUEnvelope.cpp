#include "QelVUEnvelope.h"
#include <algorithm>
#include <cstdint>
#include <limits>

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
    int32_t x[kBlock];
    uint64_t i = 0;
    while (i < count) {
        const int32_t n = int32_t(std::min<uint64_t>(kBlock, (count - i + step - 1) / step));
        for (int32_t k = 0; k < n; ++k, i += step)
            x[k] = buffer[i];

        if (unclamped && valueMax >= n && valueMin <= -n) {
            int32_t high = valueMax, low = valueMin, upper = INT32_MIN, lower = INT32_MIN;
            for (int32_t k = 0; k < n; ++k) {
                high = x[k] > high ? x[k] : high;
                low = x[k] < low ? x[k] : low;
                upper = x[k] + k > upper ? x[k] + k : upper;
                lower = k - x[k] > lower ? k - x[k] : lower;
            }
            // In 64 bits: a peak mark set by hand may lie anywhere in the 32-bit range.
            const int64_t top = std::max<int64_t>(high, peakMax), bottom = std::min<int64_t>(low, peakMin);
            if (high <= valueDecay && -int64_t(low) <= valueDecay && top <= peakDecay && -bottom <= peakDecay) {
                int32_t up = valueMax, down = -valueMin;
                if (upper > up || lower > down)
                    for (int32_t k = 0; k < n; ++k) {
                        const int32_t z = x[k] + k, w = k - x[k];
                        up = z > up ? z + 1 : up;
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
