#include "QelFSKDecoder.h"

#include <limits>

void TQelFSKDecoder::SetDecaySpeed(int32_t speed)
{
    decaySpeed_ = speed;
    // |INT32_MIN| does not fit; the largest step there is does the same work.
    if (speed == std::numeric_limits<int32_t>::min())
        decay_ = std::numeric_limits<int32_t>::max();
    else
        decay_ = speed == 0 ? 1 : (speed < 0 ? -speed : speed);
}

void TQelFSKDecoder::ProcessBuffer(const int16_t* samples, uint32_t count, uint32_t stride)
{
    if (!samples || stride == 0)
        return;
    const uint32_t n = count / stride;
    const int32_t d = decay_;
    const bool assigned = bool(OnTransition);
    int32_t previous = previous_, upper = upper_, lower = lower_, extreme = extreme_, state = state_;
    int32_t older = olderDiff_, newer = newerDiff_;
    uint32_t extremeAt = extremeAt_, counter = counter_;

    for (uint32_t i = 0; i < n; ++i, ++counter) {
        const int32_t x = samples[size_t(i) * stride];
        int32_t v = x;
        if (derivative_) {
            const int32_t diff = x - previous;
            v = (older + newer + diff) / 3;
            older = newer;
            newer = diff;
        }
        previous = x;

        // Envelopes, written as selections so that noise does not defeat the branch predictor:
        // a new extreme is taken on its own side, everything else decays toward 0.
        const int32_t upperDecayed = upper > d ? upper - d : 0;
        const int32_t lowerDecayed = lower < -d ? lower + d : 0;
        const bool positive = v >= 0;
        upper = (positive && v >= upper) ? v : upperDecayed;
        lower = (!positive && v <= lower) ? v : lowerDecayed;

        // The two states mirror each other: seen with the sign of the state, the high state's
        // rules serve both (a low state's "v <= half" is "-v >= -half").
        const int32_t sign = state ? 1 : -1;
        const int32_t half = (state ? upper : lower) / 2;
        const int32_t w = sign * v, h = sign * half;
        if (w >= h) {
            const bool further = w > sign * extreme;
            extremeAt = further ? counter : extremeAt;
            extreme = further ? v : extreme;
        } else {
            if (h <= sign * extreme && assigned) {
                state = 1 - state;
                // The handler may look at the detector: store what it would see.
                previous_ = previous, upper_ = upper, lower_ = lower, olderDiff_ = older, newerDiff_ = newer;
                state_ = state, counter_ = counter;
                OnTransition(this, extremeAt, state);
            }
            extreme = v;
        }
    }
    previous_ = previous, upper_ = upper, lower_ = lower, extreme_ = extreme, state_ = state;
    olderDiff_ = older, newerDiff_ = newer, extremeAt_ = extremeAt, counter_ = counter;
}
