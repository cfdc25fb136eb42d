#include "QelVUEnvelope.h"
#include <limits>

// The products (divisor - 1) * value exceed 32 bits for large divisors, so the steps work in 64 bits.
// Every quotient lies between two 32-bit values (or is 32-bit by construction), so it fits back.
namespace {

int32_t smoothed(int32_t divisor, int32_t value, int32_t x)
{
    if (divisor == 0)
        return x;
    return static_cast<int32_t>(((int64_t(divisor) - 1) * value + x) / divisor);
}

inline int32_t decayed(int32_t divisor, int32_t value)
{
    // Below the divisor in magnitude the step is the value one nearer 0, without a division:
    // that is nearly every sample of a level bar.
    if (divisor > 0 && value > -divisor && value < divisor)
        return value > 0 ? value - 1 : (value < 0 ? value + 1 : 0);
    return static_cast<int32_t>((int64_t(divisor) - 1) * value / divisor);
}

} // namespace

void TQelVUEnvelope::NewValueMax(int32_t x)
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

void TQelVUEnvelope::NewValueMin(int32_t x)
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

bool TQelVUEnvelope::Feed(const int16_t* buffer, uint32_t count, uint32_t step)
{
    if (step == 0)
        return false;
    // NewValueMax and NewValueMin written out on local copies, so that a buffer's samples run
    // through registers rather than through the object.
    int32_t vMax = ValueMax, vMin = ValueMin, pMax = PeakMax, pMin = PeakMin;
    const int32_t attack = ValueAttack, decay = ValueDecay, peakDecay = PeakDecay;
    // 64-bit index: a step near 2^32 must not wrap back to the start.
    for (uint64_t i = 0; i < count; i += step) {
        const int32_t x = Clamp(buffer[i]);
        vMax = x > vMax ? smoothed(attack, vMax, x) : (decay == 0 ? x : decayed(decay, vMax));
        if (pMax > vMax && peakDecay != 0) {
            pMax = decayed(peakDecay, pMax);
            if (pMax < vMax)
                pMax = vMax;
        } else {
            pMax = vMax;
        }
        if (vMax < vMin)
            vMin = vMax;
        vMin = x < vMin ? smoothed(attack, vMin, x) : (decay == 0 ? x : decayed(decay, vMin));
        if (pMin < vMin && peakDecay != 0) {
            pMin = decayed(peakDecay, pMin);
            if (pMin > vMin)
                pMin = vMin;
        } else {
            pMin = vMin;
        }
        if (vMin > vMax)
            vMax = vMin;
    }
    ValueMax = vMax, ValueMin = vMin, PeakMax = pMax, PeakMin = pMin;
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
