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

constexpr int32_t kBlock = 32;
constexpr uint32_t kAllLanes = ~0u >> (32 - kBlock);

// What one sample did besides decaying the envelopes.
constexpr uint32_t kAttacked = 1;  // an envelope followed the value
constexpr uint32_t kNewSymbol = 2;
constexpr uint32_t kClock = 4;  // the clock phase moved (a level change or a sampling instant), and an event may have fired

// Set bits of a block mask (the machine may have no population-count instruction).
int32_t bitCount(uint32_t m)
{
    m = m - ((m >> 1) & 0x55555555u);
    m = (m & 0x33333333u) + ((m >> 2) & 0x33333333u);
    m = (m + (m >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int32_t>((m * 0x01010101u) >> 24);
}

// The masks below i.
uint32_t below(int32_t i)
{
    return static_cast<uint32_t>((uint64_t(1) << i) - 1);
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
    uint32_t marked;    // samples that may need the full rule
    uint32_t positive;  // samples whose value is above 0 (they move the upper envelope)
    uint32_t top = 0, bottom = 0;  // derivative slicing: marked only as a positive or a negative peak
};

#if defined(__SSE2__)
constexpr int kVectors = kBlock / 8;  // eight 16-bit lanes to a vector

// One bit for each lane of a block's comparison results.
uint32_t laneBits(const __m128i m[kVectors])
{
    uint32_t bits = 0;
    for (int h = 0; h < kVectors; h += 2)
        bits |= static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(m[h], m[h + 1]))) << (8 * h);
    return bits;
}
#endif

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
    __m128i marked[kVectors], positive[kVectors], certain[kVectors], known[kVectors];
    for (int h = 0; h < kVectors; ++h) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h));
        // Minus the highest and minus the lowest symbol the value can have.
        const __m128i high = _mm_add_epi16(_mm_add_epi16(_mm_cmpgt_epi16(v, least0), _mm_cmpgt_epi16(v, least1)),
                                           _mm_cmpgt_epi16(v, least2));
        known[h] = _mm_add_epi16(_mm_add_epi16(_mm_cmpgt_epi16(v, most0), _mm_cmpgt_epi16(v, most1)),
                                 _mm_cmpgt_epi16(v, most2));
        certain[h] = _mm_cmpeq_epi16(high, known[h]);
        positive[h] = _mm_cmpgt_epi16(v, zero);
    }
    for (int h = 0; h < kVectors; ++h) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h));
        // The known symbol one sample earlier: the one before the block first.
        const __m128i before = h == 0 ? _mm_insert_epi16(_mm_slli_si128(known[0], 2), -symbol, 0)
                                      : _mm_or_si128(_mm_slli_si128(known[h], 2), _mm_srli_si128(known[h - 1], 14));
        const __m128i envelope = _mm_or_si128(_mm_cmpgt_epi16(v, up), _mm_cmplt_epi16(v, lo));
        const __m128i same = _mm_and_si128(certain[h], _mm_cmpeq_epi16(known[h], before));
        marked[h] = _mm_or_si128(envelope, _mm_andnot_si128(same, ones));
    }
    const uint32_t uncertain = ~laneBits(certain);
    return {(laneBits(marked) | uncertain << 1) & kAllLanes, laneBits(positive)};
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
    // The differences are taken in 16 bits, saturating. A value cut off keeps its order against any
    // value in range, so only a comparison with a bound or with another value cut off can go wrong: a
    // value at either end of the 16-bit range (cut off or not) marks its sample and the next, where it
    // is the last value. The other values, from -32767 to 32766, compare with the bounds cut to 16 bits
    // as with the bounds.
    const auto bound = [](int32_t v) { return _mm_set1_epi16(static_cast<int16_t>(std::clamp(v, -32768, 32767))); };
    const __m128i up = bound(attackUp), lo = bound(attackLo), peakAbove = bound(peakUp), peakBelow = bound(peakLo);
    const __m128i zero = _mm_setzero_si128(), minusOne = _mm_set1_epi16(-1);
    const __m128i highest = _mm_set1_epi16(32767), lowest = _mm_set1_epi16(-32768);
    __m128i marked[kVectors], positive[kVectors], extreme[kVectors], tops[kVectors], bottoms[kVectors];
    for (int h = 0; h < kVectors; ++h) {
        const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h));
        const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h - 1));
        const __m128i x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h - 2));
        const __m128i x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + 8 * h - 3));
        const __m128i v = _mm_subs_epi16(x0, x1);  // this value
        const __m128i p = _mm_subs_epi16(x1, x2);  // the last one
        const __m128i q = _mm_subs_epi16(x2, x3);  // the one before
        const __m128i envelope = _mm_or_si128(_mm_cmpgt_epi16(v, up), _mm_cmplt_epi16(v, lo));
        const __m128i top = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi16(v, minusOne), _mm_cmpgt_epi16(p, q)),
                                          _mm_and_si128(_mm_cmpgt_epi16(p, v), _mm_cmpgt_epi16(p, peakAbove)));
        const __m128i bottom = _mm_and_si128(_mm_and_si128(_mm_cmplt_epi16(v, zero), _mm_cmplt_epi16(p, q)),
                                             _mm_and_si128(_mm_cmplt_epi16(p, v), _mm_cmplt_epi16(p, peakBelow)));
        marked[h] = envelope;
        tops[h] = top;
        bottoms[h] = bottom;
        positive[h] = _mm_cmpgt_epi16(v, zero);
        extreme[h] = _mm_or_si128(_mm_cmpeq_epi16(v, highest), _mm_cmpeq_epi16(v, lowest));
    }
    // The value of the sample before the block is the first sample's last value.
    const int32_t last = x[-1] - x[-2];
    const uint32_t e = laneBits(extreme), before = last >= 32767 || last <= -32768;
    const uint32_t envelope = (laneBits(marked) | e | e << 1 | before) & kAllLanes;
    const uint32_t top = laneBits(tops) & ~envelope, bottom = laneBits(bottoms) & ~envelope;
    return {envelope | top | bottom, laneBits(positive), top, bottom};
#else
    BlockMasks m{0, 0};
    for (int i = 0; i < kBlock; ++i) {
        const int32_t v = x[i] - x[i - 1], p = x[i - 1] - x[i - 2], q = x[i - 2] - x[i - 3];
        const bool top = v >= 0 && q < p && v < p && p > peakUp;
        const bool bottom = v < 0 && q > p && v > p && p < peakLo;
        const bool envelope = v > attackUp || v < attackLo;
        m.marked |= uint32_t(envelope || top || bottom) << i;
        m.top |= uint32_t(!envelope && top) << i;
        m.bottom |= uint32_t(!envelope && bottom) << i;
        m.positive |= uint32_t(v > 0) << i;
    }
    return m;
#endif
}

} // namespace

// The working state and the settings while a buffer is sliced, in locals rather than members. They go
// back to the members before an event handler is called and are read again after it, so that a handler
// sees what it would see between samples and may change the settings.
struct TQelFSK4Decoder::Run {
    TQelFSK4Decoder& d;
    uint64_t counter, lastChange;
    int32_t symbol, upper, lower;
    int64_t phase;
    int32_t previous, last, beforeLast;

    // The settings, and what the rule derives from them.
    int32_t attack = 0, decay = 0, thrs1 = 0, thrs2 = 0, thrs3 = 0, leastThrs = 0;
    bool marksStale = false;  // Decay or a threshold changed: the block's marks no longer hold
    uint32_t samplingRate = 0, baudRate = 0, dpllSpeed = 0;
    uint64_t closeChange = 0;  // level changes at most this far apart leave the clock alone
    int64_t symbolStep = 0;    // clock phase steps between sampling instants
    double halfSymbol = 0, dpllKeep = 0, dpllDivisor = 0;

    explicit Run(TQelFSK4Decoder& decoder) : d(decoder) { load(); }

    void load()
    {
        counter = d.counter_;
        lastChange = d.lastChange_;
        symbol = d.symbol_;
        upper = d.upper_;
        lower = d.lower_;
        phase = d.phase_;
        previous = d.previous_;
        last = d.last_;
        beforeLast = d.beforeLast_;
        attack = d.attack_;
        if (d.decay_ != decay || d.DerThrs1Bit != thrs1 || d.DerThrs2Bit != thrs2 || d.DerThrs3Bit != thrs3) {
            decay = d.decay_;
            thrs1 = d.DerThrs1Bit;
            thrs2 = d.DerThrs2Bit;
            thrs3 = d.DerThrs3Bit;
            leastThrs = std::min({thrs1, thrs2, thrs3});
            marksStale = true;
        }
        if (d.samplingRate_ != samplingRate || d.baudRate_ != baudRate || d.dpllSpeed_ != dpllSpeed) {
            samplingRate = d.samplingRate_;
            baudRate = d.baudRate_;
            dpllSpeed = d.dpllSpeed_;
            closeChange = uint64_t(samplingRate / baudRate) / 3;
            symbolStep = int64_t(4) * samplingRate / baudRate;
            halfSymbol = double(2 * uint64_t(samplingRate)) / baudRate;
            dpllKeep = double(int64_t(dpllSpeed) - 1);
            dpllDivisor = double(dpllSpeed);
        }
    }

    void save() const
    {
        d.counter_ = counter;
        d.lastChange_ = lastChange;
        d.symbol_ = symbol;
        d.upper_ = upper;
        d.lower_ = lower;
        d.phase_ = phase;
        d.previous_ = previous;
        d.last_ = last;
        d.beforeLast_ = beforeLast;
    }

    // An envelope step without a division while the envelope is within Decay of 0, where the division
    // takes one unit off.
    int32_t decayed(int32_t env) const
    {
        if (env <= decay && env >= -decay)
            return env - (env > 0) + (env < 0);
        return follow(env, 0, false, attack, decay);
    }

    // Whether a > n / d with a truncating division, for d > 0, without dividing: for n >= 0 the
    // quotient is floor(n / d) and a > floor(n / d) when d a > n; below 0 it is the ceiling, and
    // a > ceil(n / d) when d a > n + d - 1.
    template <int64_t D>
    static bool above(int64_t a, int64_t n)
    {
        return D * a > n + ((n >> 63) & (D - 1));
    }

    int32_t levelSymbol(int32_t v) const
    {
        // The three thresholds are in order, so the symbol is the number of them that v passes.
        const int64_t up = upper, lo = lower;
        return above<6>(v, 5 * lo + up) + above<2>(v, up + lo) + above<6>(v, 5 * up + lo);
    }

    int32_t derivativeSymbol(int32_t v)
    {
        const int64_t p = last, q = beforeLast;
        // A positive peak is measured against the upper envelope; a negative one, mirrored, against the
        // lower (the truncating divisions are symmetric about 0). Selected with masks, as the sign
        // of the peak is no good guess.
        const int64_t top = (v >= 0) & (q < p) & (v < p);
        const int64_t bottom = (v < 0) & (q > p) & (v > p);
        const int64_t topMask = -top, bottomMask = ~topMask;
        const int64_t env = (int64_t(upper) & topMask) | (-int64_t(lower) & bottomMask);
        const int64_t height = (p ^ bottomMask) - bottomMask;
        const int64_t a1 = above<100>(height, env * thrs1), a2 = above<100>(height, env * thrs2),
                      a3 = above<100>(height, env * thrs3);
        // The first threshold passed, from the third down.
        const int64_t jump = a3 * 3 + (1 - a3) * (a2 * 2 + (1 - a2) * a1);
        const int64_t g = symbol + (top - bottom) * jump;
        beforeLast = last;
        last = v;
        return static_cast<int32_t>(g < 0 ? 0 : g > 3 ? 3 : g);
    }

    [[gnu::noinline]] void fireTransition(uint64_t c)
    {
        save();
        d.OnTransition(&d, static_cast<uint32_t>(c), symbol);
        load();
    }

    [[gnu::noinline]] void fireDibit()
    {
        save();
        d.OnNewDibit(&d, symbol);
        load();
    }

    // The full rule for one sample; says what it did besides decaying the envelopes.
    template <bool Derivative>
    [[gnu::always_inline]] uint32_t step(int16_t sample)
    {
        const uint64_t c = counter;
        const int32_t x = sample;
        int32_t v = x;
        if (Derivative) {
            v = x - previous;
            previous = x;
        }

        // Values above 0 move the upper envelope, the others the lower one (selected with masks: the
        // sign of a noisy value is no good guess).
        uint32_t what = 0;
        const int32_t rising = -int32_t(v > 0), falling = ~rising;
        int32_t env = (upper & rising) | (lower & falling);
        const int32_t outward = ((v - env) ^ falling) - falling;  // how far v lies outside the envelope
        if (outward > 0) {
            env = follow(env, v, true, attack, decay);
            what = kAttacked;
        } else {
            env = decayed(env);
        }
        upper = (env & rising) | (upper & falling);
        lower = (lower & rising) | (env & falling);

        const int32_t g = Derivative ? derivativeSymbol(v) : levelSymbol(v);
        if (g != symbol) {
            what |= kNewSymbol;
            if (c - lastChange > closeChange) {
                // Pull the clock one DPLLSpeed-th of the way toward half a symbol after this change.
                const double target = double(4 * c) + halfSymbol + dpllKeep * double(phase);
                phase = static_cast<int64_t>(target / dpllDivisor);
                what |= kClock;
                if (d.OnTransition)
                    fireTransition(c);
            }
            symbol = g;
            lastChange = c;
        }

        const int64_t offset = int64_t(4 * c) - phase;
        if (offset >= -1 && offset <= 2) {
            what |= kClock;
            if (d.OnNewDibit)
                fireDibit();
            phase += symbolStep;
        }
        counter = c + 1;
        return what;
    }

    // The sampling instant at sample c, where the rule does nothing else (the state is the one after
    // sample c already).
    uint32_t instant(uint64_t c)
    {
        uint32_t what = 0;
        const int64_t offset = int64_t(4 * c) - phase;
        if (offset >= -1 && offset <= 2) {
            what = kClock;
            counter = c;
            if (d.OnNewDibit)
                fireDibit();
            phase += symbolStep;
        }
        counter = c + 1;
        return what;
    }

    // The state at sample i of a block that began with the envelopes u0 and l0 at counter c0, when no
    // envelope has attacked since: each sample before i whose value is in positive took one unit off
    // the upper envelope, each other one a unit off the lower.
    void at(uint32_t positive, int32_t u0, int32_t l0, uint64_t c0, int32_t i)
    {
        const int32_t ups = bitCount(positive & below(i));
        upper = u0 - ups;
        lower = std::min(l0 + (i - ups), 0);
        counter = c0 + uint64_t(i);
    }
};

namespace {

// The block's sample that is the sampling instant, as a mask bit (0 when none is).
uint32_t instantMark(uint64_t counter, int64_t phase)
{
    // The instant is the sample c with 4c - phase from -1 to 2: c - counter = floor((phase - 4 counter + 2) / 4).
    const int64_t k = (phase - int64_t(4 * counter) + 2) >> 2;
    return uint32_t(uint64_t(k) < uint64_t(kBlock)) << (k & (kBlock - 1));
}

// The instant mark for the samples after sample i of a block.
uint32_t instantMarkAfter(int32_t i, uint64_t counter, int64_t phase)
{
    return static_cast<uint32_t>(uint64_t(instantMark(counter, phase)) << (i + 1));
}

} // namespace

// Slicing from sample n on, in one mode; returns where it stopped (count, or after an event handler
// that switched the mode or fed samples of its own).
template <bool Derivative>
uint32_t TQelFSK4Decoder::scan(const int16_t* x, uint32_t n, uint32_t count)
{
    Run r(*this);
    const uint32_t entry = entries_;
    // After an event handler ran: whether this scan has to end.
    const auto handlerSwitched = [&] { return this->Derivative != Derivative || entries_ != entry; };
    // Derivative slicing: the values before a sample, as the blocks take them from the buffer.
    const auto before = [&](const int16_t* y) {
        if (Derivative) {
            r.previous = y[-1];
            r.last = y[-1] - y[-2];
            r.beforeLast = y[-2] - y[-3];
        }
    };
    const uint32_t start = n;
    while (n < count) {
        const int32_t u0 = r.upper, l0 = r.lower;
        const uint64_t c0 = r.counter;
        // Counting off quiet samples assumes the decay moves an envelope by one unit (true while the
        // envelope is at most Decay). Level slicing compares in 16 bits, so it takes envelopes in the
        // range of a sample (not so just after derivative slicing). Derivative slicing reads the three
        // samples before a block from the buffer, so the first three go through the full rule, which
        // takes them from the carried-over state.
        const bool inRange = Derivative ? n - start >= 3 : u0 <= 32767 && l0 >= -32768;
        if (count - n < uint32_t(kBlock) || !inRange || u0 > r.decay || -l0 > r.decay) {
            if ((r.step<Derivative>(x[n++]) & kClock) && handlerSwitched())
                break;
            continue;
        }
        // Until an attack the upper envelope lies from max(u0 - kBlock, 0) to u0 and the lower from l0
        // to min(l0 + kBlock, 0), and the thresholds follow them.
        const int32_t upLow = std::max(u0 - kBlock, 0), loHigh = std::min(l0 + kBlock, 0);
        BlockMasks m;
        if (Derivative) {
            // A peak changes the symbol only when it passes the lowest of the three thresholds; the
            // marks take it in the range where the products stay in 32 bits (a lower one marks more
            // peaks, never fewer). The symbol itself does not enter the marks.
            const int32_t percent = std::clamp(r.leastThrs, 0, 32767);
            const int32_t peakUp = static_cast<int32_t>(int64_t(upLow) * percent / 100);
            const int32_t peakLo = static_cast<int32_t>(int64_t(loHigh) * percent / 100);
            m = derivativeMarks(x + n, upLow, loHigh, peakUp, peakLo);
        } else {
            int16_t least[3], most[3];
            for (int k = 0; k < 3; ++k) {
                least[k] = static_cast<int16_t>(levelThreshold(k, upLow, l0));
                most[k] = static_cast<int16_t>(levelThreshold(k, u0, loHigh));
            }
            m = levelMarks(x + n, r.symbol, int16_t(upLow), int16_t(loHigh), least, most);
        }
        uint32_t marked = m.marked | instantMark(c0, r.phase);
        r.marksStale = false;
        int32_t done = 0;  // after an attack or a switch: samples of the block done
        bool switched = false;
        while (marked) {
            const int32_t i = lowestBit(marked);
            marked &= marked - 1;
            // A peak alone cannot move the symbol past 3 or below 0.
            const uint32_t stuck = r.symbol == 3 ? m.top : r.symbol == 0 ? m.bottom : 0;
            uint32_t what;
            if ((m.marked & ~stuck) >> i & 1) {
                r.at(m.positive, u0, l0, c0, i);
                before(x + n + i);
                what = r.step<Derivative>(x[n + i]);
            } else {
                // Only the sampling instant: the sample is otherwise quiet.
                r.at(m.positive, u0, l0, c0, i + 1);
                before(x + n + i + 1);
                what = r.instant(c0 + uint64_t(i));
            }
            if (what & kClock) {
                // An event handler may have changed the settings or fed samples of its own.
                if ((switched = handlerSwitched()))
                    what |= kAttacked;
                if (r.marksStale)
                    what |= kAttacked;
                marked |= instantMarkAfter(i, r.counter, r.phase);
            }
            if (what & kAttacked) {
                done = i + 1;
                break;
            }
        }
        if (done == 0) {
            r.at(m.positive, u0, l0, c0, kBlock);
            before(x + n + kBlock);
            done = kBlock;
        }
        n += done;
        if (switched)
            break;
    }
    r.save();
    return n;
}

void TQelFSK4Decoder::ProcessBuffer(const int16_t* samples, uint32_t count)
{
    if (!samples)
        return;
    ++entries_;
    uint32_t n = 0;
    while (n < count)
        n = Derivative ? scan<true>(samples, n, count) : scan<false>(samples, n, count);
}
