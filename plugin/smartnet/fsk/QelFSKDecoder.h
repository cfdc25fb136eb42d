#pragma once
// Two-level FSK transition detector: follows the signal's upper and lower envelopes and reports
// each level change with the sample position of the extreme of the half-cycle that just ended.
// With Derivative set it works on the smoothed first difference, so the extremes are the edges.
#include <cstdint>
#include <functional>

class TQelFSKDecoder {
public:
    // Fired at each level change: the position of the extreme (samples since creation, across
    // buffers) and the detector's new state (0 when a high half-cycle ended, 1 when a low one did).
    using TTransitionEvent = std::function<void(TQelFSKDecoder* sender, uint32_t position, int32_t value)>;

    int32_t DecaySpeed() const { return decaySpeed_; }
    // How far each envelope moves back toward 0 per sample; the magnitude counts and 0 counts as 1.
    void SetDecaySpeed(int32_t speed);
    bool Derivative() const { return derivative_; }
    void SetDerivative(bool on) { derivative_ = on; }

    TTransitionEvent OnTransition;

    // Examines the first sample and then every stride-th one, count / stride samples in all (a
    // last partial stride is not examined). A stride of 0 examines nothing.
    void ProcessBuffer(const int16_t* samples, uint32_t count, uint32_t stride);

    uint32_t SampleCounter() const { return counter_; }
    int32_t State() const { return state_; }
    int32_t Upper() const { return upper_; }
    int32_t Lower() const { return lower_; }

private:
    int32_t decaySpeed_ = 1;
    int32_t decay_ = 1;  // |DecaySpeed|, at least 1
    bool derivative_ = false;

    int32_t previous_ = 0;
    int32_t upper_ = 0;    // never negative
    int32_t lower_ = 0;    // never positive
    int32_t extreme_ = 0;
    int32_t state_ = 0;    // 0 low, 1 high
    uint32_t extremeAt_ = 0;
    uint32_t counter_ = 0;
    int32_t olderDiff_ = 0, newerDiff_ = 0;
};
