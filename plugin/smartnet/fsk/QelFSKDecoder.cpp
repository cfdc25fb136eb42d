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

        if (v >= 0) {
            upper = v >= upper ? v : (upper > d ? upper - d : 0);
            lower = lower < -d ? lower + d : 0;
        } else {
            lower = v <= lower ? v : (lower < -d ? lower + d : 0);
            upper = upper > d ? upper - d : 0;
        }

        if (state) {
            const int32_t half = upper / 2;
            if (v >= half) {
                if (v > extreme) {
                    extremeAt = counter;
                    extreme = v;
                }
            } else {
                if (half <= extreme && assigned) {
                    state = 0;
                    // The handler may look at the detector: store what it would see.
                    previous_ = previous, upper_ = upper, lower_ = lower, olderDiff_ = older, newerDiff_ = newer;
                    state_ = state, counter_ = counter;
                    OnTransition(this, extremeAt, 0);
                }
                extreme = v;
            }
        } else {
            const int32_t half = lower / 2;
            if (v <= half) {
                if (v < extreme) {
                    extremeAt = counter;
                    extreme = v;
                }
            } else {
                if (half >= extreme && assigned) {
                    state = 1;
                    previous_ = previous, upper_ = upper, lower_ = lower, olderDiff_ = older, newerDiff_ = newer;
                    state_ = state, counter_ = counter;
                    OnTransition(this, extremeAt, 1);
                }
                extreme = v;
            }
        }
    }
    previous_ = previous, upper_ = upper, lower_ = lower, extreme_ = extreme, state_ = state;
    olderDiff_ = older, newerDiff_ = newer, extremeAt_ = extremeAt, counter_ = counter;
}
