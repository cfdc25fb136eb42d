#pragma once
// Level arithmetic of TQelVUBar: the input range, the upper and lower envelopes with attack and
// decay smoothing, and the peak-hold marks. Plain state, so the arithmetic is checked without painting.
#include <cstdint>

class TQelVUEnvelope {
public:
    int32_t Min = 0, Max = 100;           // input range; Min stays below Max
    int32_t ValueMin = 0, ValueMax = 80;  // lower and upper envelope
    int32_t PeakMin = 0, PeakMax = 80;    // peak-hold marks
    int32_t ValueAttack = 1, ValueDecay = 1; // smoothing divisors, 0 = none
    int32_t PeakAttack = 1;               // kept for the owner; nothing reads it
    int32_t PeakDecay = 1;                // decay divisor of the peak marks, 0 = no hold

    // One envelope step with sample x.
    void NewValueMax(int32_t x);
    void NewValueMin(int32_t x);

    int32_t Clamp(int32_t x) const { return x > Max ? Max : (x < Min ? Min : x); }

    // Feeds samples 0, step, 2*step ... below count, each clamped to the range. A step of 0 would
    // never advance: it is refused and nothing is fed (returns false).
    bool Feed(const int16_t* buffer, uint32_t count, uint32_t step);

    // Setters with the control's rules; each returns whether anything changed.
    bool SetMax(int32_t m);
    bool SetMin(int32_t m);
    bool SetValueMax(int32_t v);
    bool SetValueMin(int32_t v);
    bool SetPeakMax(int32_t v);
    bool SetPeakMin(int32_t v);
};
