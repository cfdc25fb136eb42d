#include "QelFSK4Decoder.h"

namespace {

// One envelope step: follow the value at the attack rate when it lies outside, else decay toward 0.
// The products are 64-bit: (Decay - 1) x envelope leaves the 32-bit range with the default Decay.
int32_t follow(int32_t env, int32_t v, bool outside, int32_t attack, int32_t decay)
{
    if (outside)
        return static_cast<int32_t>(((int64_t(attack) - 1) * env + v) / attack);
    return static_cast<int32_t>(((int64_t(decay) - 1) * env) / decay);
}

} // namespace

int32_t TQelFSK4Decoder::newSymbol(int32_t v)
{
    const int64_t up = upper_, lo = lower_;
    if (!Derivative) {
        if (v <= (5 * lo + up) / 6)
            return 0;
        if (v <= (up + lo) / 2)
            return 1;
        if (v <= (5 * up + lo) / 6)
            return 2;
        return 3;
    }
    const int64_t p = last_, q = beforeLast_;
    int64_t g = symbol_;
    if (v >= 0 && q < p && v < p) {
        if (p > up * DerThrs3Bit / 100)
            g += 3;
        else if (p > up * DerThrs2Bit / 100)
            g += 2;
        else if (p > up * DerThrs1Bit / 100)
            g += 1;
    } else if (v < 0 && q > p && v > p) {
        if (p < lo * DerThrs3Bit / 100)
            g -= 3;
        else if (p < lo * DerThrs2Bit / 100)
            g -= 2;
        else if (p < lo * DerThrs1Bit / 100)
            g -= 1;
    }
    beforeLast_ = last_;
    last_ = v;
    return static_cast<int32_t>(g < 0 ? 0 : g > 3 ? 3 : g);
}

void TQelFSK4Decoder::ProcessBuffer(const int16_t* samples, uint32_t count)
{
    if (!samples)
        return;
    for (uint32_t n = 0; n < count; ++n) {
        const uint64_t c = counter_;
        const int32_t x = samples[n];
        int32_t v = x;
        if (Derivative) {
            v = x - previous_;
            previous_ = x;
        }

        if (v > 0)
            upper_ = follow(upper_, v, v > upper_, attack_, decay_);
        else
            lower_ = follow(lower_, v, v < lower_, attack_, decay_);

        const int32_t g = newSymbol(v);
        if (g != symbol_) {
            const uint64_t symbolLength = samplingRate_ / baudRate_;
            if (c - lastChange_ > symbolLength / 3) {
                // Pull the clock one DPLLSpeed-th of the way toward half a symbol after this change.
                const double target = double(4 * c) + double(2 * uint64_t(samplingRate_)) / baudRate_ +
                                      double(int64_t(dpllSpeed_) - 1) * double(phase_);
                phase_ = static_cast<int64_t>(target / double(dpllSpeed_));
                if (OnTransition)
                    OnTransition(this, static_cast<uint32_t>(c), symbol_);
            }
            symbol_ = g;
            lastChange_ = c;
        }

        const int64_t offset = int64_t(4 * c) - phase_;
        if (offset >= -1 && offset <= 2) {
            if (OnNewDibit)
                OnNewDibit(this, symbol_);
            phase_ += int64_t(4) * samplingRate_ / baudRate_;
        }
        counter_ = c + 1;
    }
}
