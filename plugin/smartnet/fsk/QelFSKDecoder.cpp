#include "QelFSKDecoder.h"

#include <algorithm>
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

namespace {

// The detector's running values, kept in registers while a buffer is scanned.
struct Track {
    int32_t previous, upper, lower, extreme, older, newer;
    uint32_t extremeAt, counter;
};

// Scans samples i, i + stride ... below n (i and n count samples) in one state until the level
// changes, and returns the index of the sample that changed it (n when none did). The state is
// fixed for the whole scan, so each state has its own loop without a test of it per sample.
// upper never falls below 0 and lower never rises above it, so a new upper extreme is always a
// sample of at least 0 and a new lower one a sample below 0.
template <bool Derivative, bool High, bool Changes>
uint32_t scan(Track& t, const int16_t* samples, uint32_t i, uint32_t n, uint32_t stride, int32_t d)
{
    int32_t previous = t.previous, upper = t.upper, lower = t.lower, extreme = t.extreme;
    int32_t older = t.older, newer = t.newer;
    // Sample positions as indices into this buffer: position = base + index (both wrap alike).
    const uint32_t base = t.counter - i;
    uint32_t extremeAt = t.extremeAt - base;
    const int16_t* p = samples + size_t(i) * stride;
    for (; i < n; ++i, p += stride) {
        const int32_t x = *p;
        int32_t v = x;
        if constexpr (Derivative) {
            const int32_t diff = x - previous;
            v = (older + newer + diff) / 3;
            older = newer;
            newer = diff;
        }
        previous = x;

        // A new extreme on its own side, everything else decays toward 0.
        upper = v >= upper ? v : std::max(upper - d, 0);
        lower = v <= lower ? v : std::min(lower + d, 0);

        // Beyond half the envelope of the state's side the half-cycle goes on (its extreme is
        // followed); back inside, the level changes if the half-cycle reached half the envelope.
        bool inside, further, reached;
        if constexpr (High) {
            const int32_t half = upper >> 1;  // upper / 2, upper not negative
            inside = v < half;
            further = v > extreme;
            reached = half <= extreme;
        } else {
            const int32_t half = -(-lower >> 1);  // lower / 2, lower not positive
            inside = v > half;
            further = v < extreme;
            reached = half >= extreme;
        }
        // One test per sample: a level change is the rare case.
        if (Changes && (inside & reached)) {
            t = {previous, upper, lower, v, older, newer, base + extremeAt, base + i};
            return i;
        }
        extremeAt = (!inside & further) ? i : extremeAt;
        // Inside, the extreme restarts at the sample; beyond, it is the furthest so far.
        if constexpr (High)
            extreme = inside ? v : std::max(extreme, v);
        else
            extreme = inside ? v : std::min(extreme, v);
    }
    t = {previous, upper, lower, extreme, older, newer, base + extremeAt, base + n};
    return n;
}

template <bool Derivative>
uint32_t scanState(Track& t, bool high, bool changes, const int16_t* samples, uint32_t i, uint32_t n,
                   uint32_t stride, int32_t d)
{
    if (!changes)
        return high ? scan<Derivative, true, false>(t, samples, i, n, stride, d)
                    : scan<Derivative, false, false>(t, samples, i, n, stride, d);
    return high ? scan<Derivative, true, true>(t, samples, i, n, stride, d)
                : scan<Derivative, false, true>(t, samples, i, n, stride, d);
}

}  // namespace

void TQelFSKDecoder::ProcessBuffer(const int16_t* samples, uint32_t count, uint32_t stride)
{
    if (!samples || stride == 0)
        return;
    const uint32_t n = count / stride;
    const int32_t d = decay_;
    // Without a handler the level never changes.
    const bool assigned = bool(OnTransition);
    Track t{previous_, upper_, lower_, extreme_, olderDiff_, newerDiff_, extremeAt_, counter_};
    int32_t state = state_;
    uint32_t i = 0;
    while (i < n) {
        i = derivative_ ? scanState<true>(t, state != 0, assigned, samples, i, n, stride, d)
                        : scanState<false>(t, state != 0, assigned, samples, i, n, stride, d);
        if (i == n)
            break;
        state = 1 - state;
        // The handler may look at the detector: store what it would see.
        previous_ = t.previous, upper_ = t.upper, lower_ = t.lower, olderDiff_ = t.older, newerDiff_ = t.newer;
        state_ = state, counter_ = t.counter;
        OnTransition(this, t.extremeAt, state);
        ++i;
        ++t.counter;
    }
    previous_ = t.previous, upper_ = t.upper, lower_ = t.lower, extreme_ = t.extreme, state_ = state;
    olderDiff_ = t.older, newerDiff_ = t.newer, extremeAt_ = t.extremeAt, counter_ = t.counter;
}
