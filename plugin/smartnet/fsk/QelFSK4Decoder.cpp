#include "QelFSK4Decoder.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Most samples change nothing but the envelopes' decay of one unit toward 0. ProcessBuffer therefore
// looks at blocks of kBlock samples at a time and marks, with a few comparisons that hold for the whole
// block, every sample where something else could happen: an envelope attack, a new symbol, a derivative
// peak, the sampling instant. Only the marked samples go through step(), the full per-sample rule; the
// quiet ones in between are counted off. A mark that turns out to change nothing costs one step() and
// nothing else, so the marks only need to include every sample that matters.

namespace {

// One envelope step: follow the value at the attack rate when it lies outside, else decay toward 0.
// The products are 64-bit: (Decay - 1) x envelope leaves the 32-bit range with the default Decay.
int32_t follow(int32_t env, int32_t v, bool outside, int32_t attack, int32_t decay)
{
    if (outside)
        return static_cast<int32_t>(((int64_t(attack) - 1) * env + v) / attack);
    return static_cast<int32_t>(((int64_t(decay) - 1) * env) / decay);
}

constexpr int32_t kBlock = 16;

// Set bits of a block mask (the machine may have no population-count instruction).
int32_t bitCount(uint32_t m)
{
    m = m - ((m >> 1) & 0x5555u);
    m = (m & 0x3333u) + ((m >> 2) & 0x3333u);
    m = (m + (m >> 4)) & 0x0F0Fu;
    return static_cast<int32_t>((m + (m >> 8)) & 0x1Fu);
}

int32_t lowestBit(uint32_t m)
{
    return __builtin_ctz(m);
}

// The level thresholds between symbols k and k + 1 for the envelopes up and lo.
int32_t levelThreshold(int k, int32_t up, int32_t lo)
{
    if (k == 0)
        return (5 * lo + up) / 6;
    if (k == 1)
        return (up + lo) / 2;
    return (5 * up + lo) / 6;
}

struct BlockMasks {
    uint32_t marked;    // samples that need the full rule
    uint32_t positive;  // samples whose value is above 0 (they move the upper envelope)
};

// Level slicing, with the thresholds between symbols k and k + 1 from least[k] to most[k] within the
// block. A sample whose value lies between least[k] and most[k] for some k has an uncertain symbol; the
// others have a known one, that of the values above most[k] for the k below it. The marks: above
// attackUp or below attackLo (an envelope may attack), an uncertain symbol or one after an uncertain
// one, and a known symbol that differs from the one before (from symbol for the first sample).
BlockMasks levelMarks(const int16_t* x, int32_t symbol, int16_t attackUp, int16_t attackLo, const int16_t least[3],
                      const int16_t most[3])
{
#if defined(__SSE2__)
    const __m128i up = _mm_set1_epi16(attackUp), lo = _mm_set1_epi16(attackLo);
    const __m128i least0 = _mm_set1_epi16(least[0]), least1 = _mm_set1_epi16(least[1]),
                  least2 = _mm_set1_epi16(least[2]);
    const __m128i most0 = _mm_set1_epi16(most[0]), most1 = _mm_set1_epi16(most[1]), most2 = _mm_set1_epi16(most[2]);
    const __m128i zero = _mm_setzero_si128(), ones = _mm_set1_epi16(-1);
    __m128i marked[2], positive[2], certain[2], known[2];
    for (int h = 0; h < 2; ++h) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h));
        // Minus the highest and minus the lowest symbol the value can have.
        const __m128i high = _mm_add_epi16(_mm_add_epi16(_mm_cmpgt_epi16(v, least0), _mm_cmpgt_epi16(v, least1)),
                                           _mm_cmpgt_epi16(v, least2));
        known[h] = _mm_add_epi16(_mm_add_epi16(_mm_cmpgt_epi16(v, most0), _mm_cmpgt_epi16(v, most1)),
                                 _mm_cmpgt_epi16(v, most2));
        certain[h] = _mm_cmpeq_epi16(high, known[h]);
        positive[h] = _mm_cmpgt_epi16(v, zero);
    }
    // The known symbols one sample later: the one before the block first.
    const __m128i before[2] = {
        _mm_insert_epi16(_mm_slli_si128(known[0], 2), -symbol, 0),
        _mm_or_si128(_mm_slli_si128(known[1], 2), _mm_srli_si128(known[0], 14))};
    for (int h = 0; h < 2; ++h) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h));
        const __m128i envelope = _mm_or_si128(_mm_cmpgt_epi16(v, up), _mm_cmplt_epi16(v, lo));
        const __m128i same = _mm_and_si128(certain[h], _mm_cmpeq_epi16(known[h], before[h]));
        marked[h] = _mm_or_si128(envelope, _mm_andnot_si128(same, ones));
    }
    const uint32_t uncertain = ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(certain[0], certain[1])));
    return {(static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(marked[0], marked[1]))) | uncertain << 1) & 0xFFFFu,
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(positive[0], positive[1])))};
#else
    BlockMasks m{0, 0};
    int32_t before = symbol;
    bool wasUncertain = false;
    for (int i = 0; i < kBlock; ++i) {
        const int16_t v = x[i];
        const int32_t high = (v > least[0]) + (v > least[1]) + (v > least[2]);
        const int32_t known = (v > most[0]) + (v > most[1]) + (v > most[2]);
        const bool uncertain = high != known;
        m.marked |= uint32_t(v > attackUp || v < attackLo || uncertain || wasUncertain || known != before) << i;
        m.positive |= uint32_t(v > 0) << i;
        before = known;
        wasUncertain = uncertain;
    }
    return m;
#endif
}

// Derivative slicing, from the samples x[-3] to x[kBlock - 1]. The marks: above attackUp or below
// attackLo (an envelope may attack), a positive peak above peakUp or a negative one below peakLo.
BlockMasks derivativeMarks(const int16_t* x, int32_t attackUp, int32_t attackLo, int32_t peakUp, int32_t peakLo)
{
#if defined(__SSE2__)
    const __m128i up = _mm_set1_epi32(attackUp), lo = _mm_set1_epi32(attackLo);
    const __m128i peakAbove = _mm_set1_epi32(peakUp), peakBelow = _mm_set1_epi32(peakLo);
    const __m128i zero = _mm_setzero_si128(), minusOne = _mm_set1_epi32(-1);
    __m128i marked[4], positive[4];
    for (int h = 0; h < 2; ++h) {
        // Samples x[i - d] widened to 32 bits, d = 0 to 3, in two halves of four.
        __m128i w[4][2];
        for (int d = 0; d < 4; ++d) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h - d));
            w[d][0] = _mm_srai_epi32(_mm_unpacklo_epi16(a, a), 16);
            w[d][1] = _mm_srai_epi32(_mm_unpackhi_epi16(a, a), 16);
        }
        for (int k = 0; k < 2; ++k) {
            const __m128i v = _mm_sub_epi32(w[0][k], w[1][k]);  // this value
            const __m128i p = _mm_sub_epi32(w[1][k], w[2][k]);  // the last one
            const __m128i q = _mm_sub_epi32(w[2][k], w[3][k]);  // the one before
            const __m128i envelope = _mm_or_si128(_mm_cmpgt_epi32(v, up), _mm_cmplt_epi32(v, lo));
            const __m128i top = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(v, minusOne), _mm_cmpgt_epi32(p, q)),
                                              _mm_and_si128(_mm_cmpgt_epi32(p, v), _mm_cmpgt_epi32(p, peakAbove)));
            const __m128i bottom = _mm_and_si128(_mm_and_si128(_mm_cmplt_epi32(v, zero), _mm_cmplt_epi32(p, q)),
                                                 _mm_and_si128(_mm_cmplt_epi32(p, v), _mm_cmplt_epi32(p, peakBelow)));
            marked[2 * h + k] = _mm_or_si128(envelope, _mm_or_si128(top, bottom));
            positive[2 * h + k] = _mm_cmpgt_epi32(v, zero);
        }
    }
    const __m128i m = _mm_packs_epi16(_mm_packs_epi32(marked[0], marked[1]), _mm_packs_epi32(marked[2], marked[3]));
    const __m128i p =
        _mm_packs_epi16(_mm_packs_epi32(positive[0], positive[1]), _mm_packs_epi32(positive[2], positive[3]));
    return {static_cast<uint32_t>(_mm_movemask_epi8(m)), static_cast<uint32_t>(_mm_movemask_epi8(p))};
#else
    BlockMasks m{0, 0};
    for (int i = 0; i < kBlock; ++i) {
        const int32_t v = x[i] - x[i - 1], p = x[i - 1] - x[i - 2], q = x[i - 2] - x[i - 3];
        const bool top = v >= 0 && q < p && v < p && p > peakUp;
        const bool bottom = v < 0 && q > p && v > p && p < peakLo;
        m.marked |= uint32_t(v > attackUp || v < attackLo || top || bottom) << i;
        m.positive |= uint32_t(v > 0) << i;
    }
    return m;
#endif
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

// What step() did besides decaying the envelopes.
constexpr uint32_t kAttacked = 1;  // an envelope followed the value
constexpr uint32_t kNewSymbol = 2;
constexpr uint32_t kClock = 4;  // the clock phase moved (a level change or a sampling instant)

// The full rule for one sample.
uint32_t TQelFSK4Decoder::step(int16_t sample)
{
    const uint64_t c = counter_;
    const int32_t x = sample;
    int32_t v = x;
    if (Derivative) {
        v = x - previous_;
        previous_ = x;
    }

    uint32_t what = 0;
    if (v > 0) {
        const bool outside = v > upper_;
        upper_ = follow(upper_, v, outside, attack_, decay_);
        what = outside ? kAttacked : 0;
    } else {
        const bool outside = v < lower_;
        lower_ = follow(lower_, v, outside, attack_, decay_);
        what = outside ? kAttacked : 0;
    }

    const int32_t g = newSymbol(v);
    if (g != symbol_) {
        what |= kNewSymbol;
        const uint64_t symbolLength = samplingRate_ / baudRate_;
        if (c - lastChange_ > symbolLength / 3) {
            // Pull the clock one DPLLSpeed-th of the way toward half a symbol after this change.
            const double target = double(4 * c) + double(2 * uint64_t(samplingRate_)) / baudRate_ +
                                  double(int64_t(dpllSpeed_) - 1) * double(phase_);
            phase_ = static_cast<int64_t>(target / double(dpllSpeed_));
            what |= kClock;
            if (OnTransition)
                OnTransition(this, static_cast<uint32_t>(c), symbol_);
        }
        symbol_ = g;
        lastChange_ = c;
    }

    const int64_t offset = int64_t(4 * c) - phase_;
    if (offset >= -1 && offset <= 2) {
        what |= kClock;
        if (OnNewDibit)
            OnNewDibit(this, symbol_);
        phase_ += int64_t(4) * samplingRate_ / baudRate_;
    }
    counter_ = c + 1;
    return what;
}

namespace {

// The block's sample that is the sampling instant, as a mask bit (0 when none is).
uint32_t instantMark(uint64_t counter, int64_t phase)
{
    // The instant is the sample c with 4c - phase from -1 to 2: c - counter = floor((phase - 4 counter + 2) / 4).
    const int64_t k = (phase - int64_t(4 * counter) + 2) >> 2;
    return k >= 0 && k < kBlock ? 1u << k : 0;
}

} // namespace

// Level slicing from sample n on; returns where it stopped (count, or after an event handler that
// switched to derivative slicing or fed samples of its own).
uint32_t TQelFSK4Decoder::scanLevels(const int16_t* x, uint32_t n, uint32_t count)
{
    const uint32_t entry = entries_;
    while (n < count) {
        const int32_t u0 = upper_, l0 = lower_, decay = decay_;
        // Counting off quiet samples assumes the decay moves an envelope by one unit (true while the
        // envelope is at most Decay) and envelopes in the range of a sample (not so just after derivative
        // slicing).
        if (count - n < uint32_t(kBlock) || u0 > 32767 || l0 < -32768 || u0 > decay || -l0 > decay) {
            if (step(x[n++]) && (Derivative || entries_ != entry))
                return n;
            continue;
        }
        // Until an attack the upper envelope lies from max(u0 - kBlock, 0) to u0 and the lower from l0
        // to min(l0 + kBlock, 0), and the thresholds follow them.
        const int32_t upLow = std::max(u0 - kBlock, 0), loHigh = std::min(l0 + kBlock, 0);
        int16_t least[3], most[3];
        for (int k = 0; k < 3; ++k) {
            least[k] = static_cast<int16_t>(levelThreshold(k, upLow, l0));
            most[k] = static_cast<int16_t>(levelThreshold(k, u0, loHigh));
        }
        const BlockMasks m = levelMarks(x + n, symbol_, int16_t(upLow), int16_t(loHigh), least, most);
        uint32_t marked = m.marked | instantMark(counter_, phase_);
        int32_t at = 0;  // samples of the block done
        for (;;) {
            const int32_t i = marked ? lowestBit(marked) : kBlock;
            const uint32_t quiet = ((1u << i) - 1) & ~((1u << at) - 1);
            const int32_t ups = bitCount(m.positive & quiet);
            upper_ -= ups;
            lower_ = std::min(lower_ + (i - at - ups), 0);
            counter_ += uint64_t(i - at);
            if (i == kBlock) {
                n += kBlock;
                break;
            }
            marked &= marked - 1;
            at = i + 1;
            uint32_t what = step(x[n + i]);
            if (what & kClock) {
                // An event handler may have changed the settings or fed samples of its own.
                if (Derivative || entries_ != entry)
                    return n + at;
                if (decay_ != decay)
                    what |= kAttacked;
                marked |= instantMark(counter_, phase_) << at & 0xFFFFu;
            }
            if (what & kAttacked) {
                n += at;
                break;
            }
        }
    }
    return n;
}

// Derivative slicing from sample n on; returns where it stopped (count, or after an event handler that
// switched to level slicing or fed samples of its own).
uint32_t TQelFSK4Decoder::scanDerivative(const int16_t* x, uint32_t n, uint32_t count)
{
    const uint32_t entry = entries_;
    // The blocks read the values of the three samples before them from the buffer, so the first three
    // go through the full rule, which takes them from the carried-over state.
    const uint32_t start = n;
    while (n < count) {
        const int32_t u0 = upper_, l0 = lower_, decay = decay_;
        if (n - start < 3 || count - n < uint32_t(kBlock) || u0 > decay || -l0 > decay) {
            if (step(x[n++]) && (!Derivative || entries_ != entry))
                return n;
            continue;
        }
        // A peak changes the symbol only when it passes the lowest of the three thresholds; the marks
        // take the envelopes at their extremes until an attack, and the threshold in the range where the
        // products stay in 32 bits (a lower one marks more peaks, never fewer). The symbol itself does
        // not enter the marks.
        const int32_t upLow = std::max(u0 - kBlock, 0), loHigh = std::min(l0 + kBlock, 0);
        const int32_t least = std::min({DerThrs1Bit, DerThrs2Bit, DerThrs3Bit});
        const int64_t percent = std::clamp(least, 0, 32767);
        const int32_t peakUp = static_cast<int32_t>(upLow * percent / 100);
        const int32_t peakLo = static_cast<int32_t>(loHigh * percent / 100);
        const BlockMasks m = derivativeMarks(x + n, upLow, loHigh, peakUp, peakLo);
        uint32_t marked = m.marked | instantMark(counter_, phase_);
        int32_t at = 0;
        for (;;) {
            const int32_t i = marked ? lowestBit(marked) : kBlock;
            const uint32_t quiet = ((1u << i) - 1) & ~((1u << at) - 1);
            const int32_t ups = bitCount(m.positive & quiet);
            upper_ -= ups;
            lower_ = std::min(lower_ + (i - at - ups), 0);
            counter_ += uint64_t(i - at);
            const int16_t* y = x + n + i;
            previous_ = y[-1];
            last_ = y[-1] - y[-2];
            beforeLast_ = y[-2] - y[-3];
            if (i == kBlock) {
                n += kBlock;
                break;
            }
            marked &= marked - 1;
            at = i + 1;
            uint32_t what = step(*y);
            if (what & kClock) {
                // An event handler may have changed the settings or fed samples of its own.
                if (!Derivative || entries_ != entry)
                    return n + at;
                if (decay_ != decay || std::min({DerThrs1Bit, DerThrs2Bit, DerThrs3Bit}) != least)
                    what |= kAttacked;
                marked |= instantMark(counter_, phase_) << at & 0xFFFFu;
            }
            if (what & kAttacked) {
                n += at;
                break;
            }
        }
    }
    return n;
}

void TQelFSK4Decoder::ProcessBuffer(const int16_t* samples, uint32_t count)
{
    if (!samples)
        return;
    ++entries_;
    uint32_t n = 0;
    while (n < count)
        n = Derivative ? scanDerivative(samples, n, count) : scanLevels(samples, n, count);
}
