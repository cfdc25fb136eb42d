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

// The detector's envelope and extreme, kept in registers while a block is scanned.
struct Track {
    int32_t upper, lower, extreme;
    uint32_t extremeAt;
};

// Scans the detector's inputs v[j], v[j + 1] ... below m, sample j at position base + j, in one
// state until the level changes, and returns the index of the sample that changed it (m when none
// did). The state is fixed for the whole scan, so each state has its own loop without a test of it
// per sample. upper never falls below 0 and lower never rises above it.
template <bool High, bool Changes>
uint32_t scan(Track& t, const int32_t* v, uint32_t j, uint32_t m, uint32_t base, int32_t d)
{
    int32_t upper = t.upper, lower = t.lower, extreme = t.extreme;
    uint32_t extremeAt = t.extremeAt - base;  // as an index (both wrap alike)
    for (; j < m; ++j) {
        const int32_t x = v[j];
        // A new extreme on its own side, everything else decays toward 0.
        upper = x >= upper ? x : std::max(upper - d, 0);
        lower = x <= lower ? x : std::min(lower + d, 0);

        // Beyond half the envelope of the state's side the half-cycle goes on (its extreme is
        // followed); back inside, the level changes if the half-cycle reached half the envelope.
        bool inside, further, reached;
        if constexpr (High) {
            const int32_t half = upper >> 1;  // upper / 2, upper not negative
            inside = x < half;
            further = x > extreme;
            reached = half <= extreme;
        } else {
            const int32_t half = -(-lower >> 1);  // lower / 2, lower not positive
            inside = x > half;
            further = x < extreme;
            reached = half >= extreme;
        }
        // One test per sample: a level change is the rare case.
        if (Changes && (inside & reached)) {
            t = {upper, lower, x, base + extremeAt};
            return j;
        }
        extremeAt = (!inside & further) ? j : extremeAt;
        // Inside, the extreme restarts at the sample; beyond, it is the furthest so far.
        if constexpr (High)
            extreme = inside ? x : std::max(extreme, x);
        else
            extreme = inside ? x : std::min(extreme, x);
    }
    t = {upper, lower, extreme, base + extremeAt};
    return m;
}

uint32_t scanState(Track& t, bool high, bool changes, const int32_t* v, uint32_t j, uint32_t m, uint32_t base,
                   int32_t d)
{
    if (!changes)
        return high ? scan<true, false>(t, v, j, m, base, d) : scan<false, false>(t, v, j, m, base, d);
    return high ? scan<true, true>(t, v, j, m, base, d) : scan<false, true>(t, v, j, m, base, d);
}

constexpr uint32_t kBlock = 512;

// A block of samples and the detector's input for each: the sample itself, or with Derivative the
// mean of the last three differences. diffs[k + 2] is the difference at sample k; diffs[0] and
// diffs[1] are the two carried in. Plain loops over arrays, so the compiler can vectorise them.
struct Block {
    int32_t x[kBlock];
    int32_t diffs[kBlock + 2];
    int32_t v[kBlock];

    void Fill(const int16_t* p, uint32_t m, uint32_t stride, bool derivative, int32_t previous, int32_t older,
              int32_t newer)
    {
        for (uint32_t k = 0; k < m; ++k)
            x[k] = p[size_t(k) * stride];
        if (!derivative) {
            for (uint32_t k = 0; k < m; ++k)
                v[k] = x[k];
            return;
        }
        diffs[0] = older, diffs[1] = newer;
        diffs[2] = x[0] - previous;
        for (uint32_t k = 1; k < m; ++k)
            diffs[k + 2] = x[k] - x[k - 1];
        for (uint32_t k = 0; k < m; ++k)
            v[k] = (diffs[k] + diffs[k + 1] + diffs[k + 2]) / 3;
    }
};

}  // namespace

void TQelFSKDecoder::ProcessBuffer(const int16_t* samples, uint32_t count, uint32_t stride)
{
    if (!samples || stride == 0)
        return;
    const uint32_t n = count / stride;
    const int32_t d = decay_;
    // Without a handler the level never changes.
    const bool assigned = bool(OnTransition);
    Track t{upper_, lower_, extreme_, extremeAt_};
    int32_t state = state_;
    Block block;
    uint32_t i = 0;  // the first sample of the block
    while (i < n) {
        const uint32_t m = std::min(kBlock, n - i);
        const bool derivative = derivative_;
        block.Fill(samples + size_t(i) * stride, m, stride, derivative, previous_, olderDiff_, newerDiff_);
        const uint32_t base = counter_;
        // What the detector holds after sample j of the block.
        auto keep = [&](uint32_t j) {
            previous_ = block.x[j];
            if (derivative)
                olderDiff_ = block.diffs[j + 1], newerDiff_ = block.diffs[j + 2];
            upper_ = t.upper, lower_ = t.lower;
        };
        uint32_t j = 0;
        for (;;) {
            j = scanState(t, state != 0, assigned, block.v, j, m, base, d);
            if (j == m)
                break;
            state = 1 - state;
            // The handler may look at the detector: store what it would see.
            keep(j);
            state_ = state, counter_ = base + j;
            OnTransition(this, t.extremeAt, state);
            ++j;
            // The handler switched the derivative on or off: the rest of the block is read again.
            if (derivative_ != derivative || j == m)
                break;
        }
        keep(j - 1);
        counter_ = base + j;
        i += j;
    }
    upper_ = t.upper, lower_ = t.lower, extreme_ = t.extreme, state_ = state, extremeAt_ = t.extremeAt;
}
