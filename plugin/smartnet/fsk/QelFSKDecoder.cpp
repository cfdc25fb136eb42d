#include "QelFSKDecoder.h"

#include "QelFSKKernels.h"
#include "QelSimd.h"

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The same block in 16 bits, for the usual case: a decay of 1, a handler, and every input, envelope
// and extreme within 16 bits (with the derivative always so, but for the two samples after it is
// switched back on).
//
// Within one state the level changes at the first sample that falls back inside half the envelope
// while the input before it did not (for the first sample of the block, the extreme carried in). Had
// the sample before gone beyond half the envelope, the half-cycle reached it: an inside sample cannot
// raise the envelope, so its half is no larger than the one before, which that sample passed. Had it
// stayed inside (or begun the state), the extreme was that sample itself. So a change is found from
// two neighbouring inputs and the envelope, eight samples at a time, and the extreme is looked for
// only when one is found: it is the first furthest sample of the run beyond half the envelope just
// before, where that run passes the sample before it.
struct Block16 {
    int16_t x[kBlock];
    int16_t v[kBlock + 1];  // v[k + 1]: the input of sample k; v[0]: the extreme carried in
    int16_t up[kBlock], lo[kBlock];
};

template <bool High>
inline int32_t halfOf(int32_t envelope)
{
    return High ? envelope >> 1 : (envelope + 1) >> 1;  // toward zero: upper >= 0, lower <= 0
}

template <bool High>
inline bool beyond(int32_t x, int32_t half)
{
    return High ? x >= half : x <= half;
}

// The first k in from..m-1 where the level changes in this state; m when it does not.
template <bool High>
uint32_t nextChange(const Block16& b, uint32_t from, uint32_t m)
{
    const int16_t* env = High ? b.up : b.lo;
    uint32_t k = from;
#ifdef __SSE2__
    const __m128i one = _mm_set1_epi16(1);
    for (; k + 8 <= m; k += 8) {
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.v + k + 1));
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.v + k));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(env + k));
        __m128i change;
        if constexpr (High) {
            const __m128i half = _mm_srai_epi16(e, 1);
            change = _mm_andnot_si128(_mm_cmpgt_epi16(half, before), _mm_cmplt_epi16(now, half));
        } else {
            const __m128i half = _mm_srai_epi16(_mm_add_epi16(e, one), 1);
            change = _mm_andnot_si128(_mm_cmpgt_epi16(before, half), _mm_cmpgt_epi16(now, half));
        }
        if (const int bits = _mm_movemask_epi8(change))
            return k + uint32_t(__builtin_ctz(unsigned(bits))) / 2;
    }
#endif
    for (; k < m; ++k) {
        const int32_t half = halfOf<High>(env[k]);
        if (!beyond<High>(b.v[k + 1], half) && beyond<High>(b.v[k], half))
            return k;
    }
    return m;
}

// The extreme of the state after sample last, entered at sample entry (-1: before the block): the
// run of samples beyond half the envelope that ends at last, back to the one after the entry, moves
// the extreme and its position where it goes further than the input before the run (the extreme
// carried in, when the run reaches back to the block's start). Without such a run the extreme is
// the input of sample last itself.
template <bool High>
int32_t closeRun(const Block16& b, int32_t last, int32_t entry, uint32_t base, uint32_t& extremeAt)
{
    const int16_t* env = High ? b.up : b.lo;
    int32_t j = last, best = High ? INT32_MIN : INT32_MAX, at = 0;
    for (; j > entry && beyond<High>(b.v[j + 1], halfOf<High>(env[j])); --j) {
        const bool further = High ? b.v[j + 1] >= best : b.v[j + 1] <= best;  // backward: the first of equals
        best = further ? b.v[j + 1] : best;
        at = further ? j : at;
    }
    const int32_t before = b.v[j + 1];
    if (j != last && (High ? best > before : best < before)) {
        extremeAt = base + uint32_t(at);
        return best;
    }
    return before;
}

bool fits16(int32_t x) { return x >= -32768 && x <= 32767; }

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
    Block16 b16;
    uint32_t i = 0;  // the first sample of the block
    while (i < n) {
        const uint32_t m = std::min(kBlock, n - i);
        const bool derivative = derivative_;
        const uint32_t base = counter_;
        const int16_t* p = samples + size_t(i) * stride;
        const int32_t previous = previous_, older = olderDiff_, newer = newerDiff_;

        bool narrow = assigned && d == 1 && fits16(t.extreme) && fits16(t.upper) && fits16(t.lower);
        if (narrow) {
            QelGather16(p, m, stride, b16.x);
            if (!derivative) {
                std::memcpy(b16.v + 1, b16.x, size_t(m) * sizeof(int16_t));
            } else {
                // The sum of the last three differences is x[k] - x[k - 3]; before the block, the
                // samples are those the carried differences lead back to.
                const int32_t before[3] = {previous - newer - older, previous - newer, previous};
                for (uint32_t k = 0; k < std::min(m, 3u) && narrow; ++k) {
                    const int32_t v = (b16.x[k] - before[k]) / 3;
                    narrow = fits16(v);
                    b16.v[k + 1] = int16_t(v);
                }
                if (m > 3)
                    QelFSKThirdOfDifference(b16.x + 3, b16.x, m - 3, b16.v + 4);
            }
        }
        if (narrow) {
            b16.v[0] = int16_t(t.extreme);
            int32_t upper = t.upper, lower = t.lower;
            QelFSKEnvelopes(b16.v + 1, m, upper, lower, b16.up, b16.lo);
            // The difference at sample k of the block, for k >= -2.
            auto diffAt = [&](int32_t k) {
                return k >= 1 ? b16.x[k] - b16.x[k - 1] : k == 0 ? b16.x[0] - previous : k == -1 ? newer : older;
            };
            auto keep = [&](uint32_t j) {
                previous_ = b16.x[j];
                if (derivative)
                    olderDiff_ = diffAt(int32_t(j) - 1), newerDiff_ = diffAt(int32_t(j));
                upper_ = b16.up[j], lower_ = b16.lo[j];
            };
            uint32_t extremeAt = t.extremeAt;
            int32_t entry = -1;  // the sample that began the state, -1 before the block
            uint32_t j = 0, end = m;
            for (;;) {
                const uint32_t c = state ? nextChange<true>(b16, j, m) : nextChange<false>(b16, j, m);
                if (c == m)
                    break;
                if (state)
                    closeRun<true>(b16, int32_t(c) - 1, entry, base, extremeAt);
                else
                    closeRun<false>(b16, int32_t(c) - 1, entry, base, extremeAt);
                state = 1 - state;
                entry = int32_t(c);
                // The handler may look at the detector: store what it would see.
                keep(c);
                state_ = state, counter_ = base + c;
                OnTransition(this, extremeAt, state);
                j = c + 1;
                // The handler switched the derivative on or off: the rest of the block is read again.
                if (derivative_ != derivative || j == m) {
                    end = j;
                    break;
                }
            }
            t.extreme = state ? closeRun<true>(b16, int32_t(end) - 1, entry, base, extremeAt)
                              : closeRun<false>(b16, int32_t(end) - 1, entry, base, extremeAt);
            t.extremeAt = extremeAt;
            keep(end - 1);
            t.upper = upper_, t.lower = lower_;
            counter_ = base + end;
            i += end;
            continue;
        }

        block.Fill(p, m, stride, derivative, previous, older, newer);
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
