// Envelope, peak-hold and range arithmetic of the level bar.
#include <QelVUEnvelope.h>
#include <gtest/gtest.h>
#include <cstdint>
#include <limits>
#include <ostream>
#include <vector>
#include <iterator>
#include <random>
#include <string>
#include <algorithm>
#include <cmath>

namespace {

// One decay step against its 64-bit formula, for every value a level bar sees and beyond.
TEST(VUEnvelope, DecayStepEqualsTheFormula)
{
    for (int32_t divisor : {1, 2, 3, 10, 30000, 1000000, -5})
        for (int32_t v = -140000; v <= 140000; v += (v > -40000 && v < 40000) ? 1 : 97) {
            TQelVUEnvelope e;
            e.Min = std::numeric_limits<int32_t>::min() + 1;
            e.Max = std::numeric_limits<int32_t>::max() - 1;
            e.ValueDecay = divisor;
            e.PeakDecay = 0;
            e.ValueMin = e.Min;
            e.ValueMax = v;
            e.NewValueMax(e.Min);
            ASSERT_EQ(e.ValueMax, (int64_t(divisor) - 1) * v / divisor) << divisor << " " << v;
        }
}

// A buffer fed at once leaves the same state as its samples fed one by one.
TEST(VUEnvelope, FeedEqualsOneSampleAtATime)
{
    uint32_t seed = 7;
    std::vector<int16_t> samples;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int burst = (i / 3000) % 2 ? 30000 : 3000;  // loud and quiet stretches
        samples.push_back(int16_t(int32_t(seed >> 16) % (2 * burst + 1) - burst));
    }
    struct Setting {
        int32_t attack, decay, peakDecay, min, max;
    } settings[] = {{10, 30000, 1000000, -32768, 32767}, {1, 1, 1, -100, 100}, {3, 0, 0, -32768, 32767},
                    {7, 200, 50, -20000, 25000}};
    for (const Setting& st : settings) {
        TQelVUEnvelope whole, single;
        for (TQelVUEnvelope* e : {&whole, &single}) {
            e->SetMax(st.max);
            e->SetMin(st.min);
            e->ValueAttack = st.attack;
            e->ValueDecay = st.decay;
            e->PeakDecay = st.peakDecay;
        }
        ASSERT_TRUE(whole.Feed(samples.data(), uint32_t(samples.size()), 1));
        for (int16_t x : samples) {
            single.NewValueMax(single.Clamp(x));
            single.NewValueMin(single.Clamp(x));
        }
        EXPECT_EQ(whole.ValueMax, single.ValueMax) << st.decay;
        EXPECT_EQ(whole.ValueMin, single.ValueMin) << st.decay;
        EXPECT_EQ(whole.PeakMax, single.PeakMax) << st.decay;
        EXPECT_EQ(whole.PeakMin, single.PeakMin) << st.decay;
    }
}

TEST(VUEnvelope, DefaultsFollowSampleSequence)
{
    TQelVUEnvelope e;
    ASSERT_EQ(e.ValueMax, 80);
    ASSERT_EQ(e.PeakMax, 80);
    const int16_t samples[] = {50, 30, 60};
    const int32_t valueMax[] = {0, 30, 60};
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(e.Feed(&samples[k], 1, 1));
        EXPECT_EQ(e.ValueMax, valueMax[k]) << "after sample " << samples[k];
        EXPECT_EQ(e.PeakMax, valueMax[k]) << "after sample " << samples[k];
        EXPECT_EQ(e.ValueMin, 0);
        EXPECT_EQ(e.PeakMin, 0);
    }
}

TEST(VUEnvelope, NoDecayTakesEachSampleThatIsNotANewMaximum)
{
    TQelVUEnvelope e;
    e.ValueDecay = 0;
    const int16_t samples[] = {50, 40, 70, 20};
    for (int16_t x : samples) {
        e.Feed(&x, 1, 1);
        EXPECT_EQ(e.ValueMax, x);
    }
}

TEST(VUEnvelope, AttackSmoothsRisingSamples)
{
    TQelVUEnvelope e;
    e.ValueMax = 0;
    e.ValueAttack = 4;
    e.NewValueMax(100);  // (3 * 0 + 100) / 4
    EXPECT_EQ(e.ValueMax, 25);
    e.NewValueMax(100);  // (3 * 25 + 100) / 4 = 43.75
    EXPECT_EQ(e.ValueMax, 43);
}

// The decoder windows' settings: products like 999999 * 32767 need more than 32 bits.
TEST(VUEnvelope, LargeDivisorsDoNotOverflow)
{
    TQelVUEnvelope e;
    e.SetMin(-32768);
    e.SetMax(32767);
    e.ValueAttack = 1;
    e.ValueDecay = 30000;
    e.PeakDecay = 1000000;
    const int16_t up[] = {32767, 0};
    e.Feed(up, 2, 1);
    EXPECT_EQ(e.ValueMax, 32765);  // 29999 * 32767 / 30000 = 32765.9
    EXPECT_EQ(e.PeakMax, 32766);   // 999999 * 32767 / 1000000 = 32766.97

    const int16_t down[] = {-32768, 0};
    e.Feed(down, 2, 1);
    EXPECT_EQ(e.ValueMin, -32766); // truncated toward zero
    EXPECT_EQ(e.PeakMin, -32767);
}

TEST(VUEnvelope, PeakDecaysTowardTheEnvelopeAndNeverBelowIt)
{
    TQelVUEnvelope e;
    e.Max = 1000;
    e.ValueMax = 0;
    e.ValueDecay = 0;
    e.PeakDecay = 2;
    int16_t x = 500;
    e.Feed(&x, 1, 1);
    EXPECT_EQ(e.PeakMax, 500);
    x = 100;
    e.Feed(&x, 1, 1);
    EXPECT_EQ(e.PeakMax, 250);
    e.Feed(&x, 1, 1);
    EXPECT_EQ(e.PeakMax, 125);
    e.Feed(&x, 1, 1);
    EXPECT_EQ(e.PeakMax, 100) << "62 is below the envelope, so the mark sits on it";
}

TEST(VUEnvelope, SamplesAreClampedToTheRange)
{
    TQelVUEnvelope e;  // range 0..100
    e.ValueDecay = 0;
    const int16_t big = 32000, low = -32000;
    e.Feed(&big, 1, 1);
    EXPECT_EQ(e.ValueMax, 100);
    e.Feed(&low, 1, 1);
    EXPECT_EQ(e.ValueMin, 0);
    EXPECT_EQ(e.ValueMax, 0);
}

// With D = 1000000 each sample of 0 lowers ValueMax by exactly one, so ValueMax counts the samples fed.
struct FeedCase {
    uint32_t count;
    uint32_t step;
    bool accepted;
    int32_t fed;
};

void PrintTo(const FeedCase& c, std::ostream* os) { *os << "count " << c.count << " step " << c.step; }

class VUEnvelopeFeed : public ::testing::TestWithParam<FeedCase> {};

TEST_P(VUEnvelopeFeed, FeedsEveryStepthSampleBelowCount)
{
    const FeedCase& c = GetParam();
    TQelVUEnvelope e;
    e.SetMax(10000);
    e.SetValueMax(5000);
    e.ValueDecay = 1000000;
    std::vector<int16_t> buffer(c.count + 1, 0);
    EXPECT_EQ(e.Feed(buffer.data(), c.count, c.step), c.accepted);
    EXPECT_EQ(e.ValueMax, 5000 - c.fed);
}

INSTANTIATE_TEST_SUITE_P(Table, VUEnvelopeFeed, ::testing::Values(
    FeedCase{4096, 2, true, 2048},
    FeedCase{4095, 2, true, 2048},
    FeedCase{4097, 2, true, 2049},
    FeedCase{10, 1, true, 10},
    FeedCase{10, 3, true, 4},
    FeedCase{0, 2, true, 0},
    FeedCase{3, 0xFFFFFFFFu, true, 1},
    FeedCase{4096, 0, false, 0}));  // a step of 0 would never end

// Setter rules: clamps to the range and Min kept below Max, also at the ends of 32 bits.
enum Setter { sMax, sMin, sValueMax, sValueMin, sPeakMax, sPeakMin };
struct SetterCase {
    int32_t min, max;  // starting range (set before the call)
    Setter setter;
    int32_t arg;
    bool changed;
    int32_t wantMin, wantMax, wantValueMin, wantValueMax, wantPeakMin, wantPeakMax;
};

void PrintTo(const SetterCase& c, std::ostream* os)
{
    *os << "range " << c.min << ".." << c.max << " setter " << c.setter << " arg " << c.arg;
}

class VUEnvelopeSetter : public ::testing::TestWithParam<SetterCase> {};

TEST_P(VUEnvelopeSetter, ClampsAndKeepsMinBelowMax)
{
    const SetterCase& c = GetParam();
    TQelVUEnvelope e;
    e.Min = c.min;
    e.Max = c.max;
    bool changed = false;
    switch (c.setter) {
    case sMax: changed = e.SetMax(c.arg); break;
    case sMin: changed = e.SetMin(c.arg); break;
    case sValueMax: changed = e.SetValueMax(c.arg); break;
    case sValueMin: changed = e.SetValueMin(c.arg); break;
    case sPeakMax: changed = e.SetPeakMax(c.arg); break;
    case sPeakMin: changed = e.SetPeakMin(c.arg); break;
    }
    EXPECT_EQ(changed, c.changed);
    EXPECT_EQ(e.Min, c.wantMin);
    EXPECT_EQ(e.Max, c.wantMax);
    EXPECT_EQ(e.ValueMin, c.wantValueMin);
    EXPECT_EQ(e.ValueMax, c.wantValueMax);
    EXPECT_EQ(e.PeakMin, c.wantPeakMin);
    EXPECT_EQ(e.PeakMax, c.wantPeakMax);
    EXPECT_LT(e.Min, e.Max);
}

constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();

// Starting envelope: ValueMin 0, ValueMax 80, PeakMin 0, PeakMax 80.
INSTANTIATE_TEST_SUITE_P(Table, VUEnvelopeSetter, ::testing::Values(
    SetterCase{0, 100, sMax, 100, false, 0, 100, 0, 80, 0, 80},
    SetterCase{0, 100, sMax, 50, true, 0, 50, 0, 50, 0, 80},
    SetterCase{10, 100, sMax, 5, true, 4, 5, 4, 5, 0, 80},
    SetterCase{10, 100, sMax, 10, true, 9, 10, 9, 10, 0, 80},
    SetterCase{0, 100, sMax, kLow, true, kLow, kLow + 1, kLow + 1, kLow + 1, 0, 80},
    SetterCase{0, 100, sMin, 60, true, 60, 100, 60, 80, 0, 80},
    SetterCase{0, 100, sMin, 200, true, 200, 201, 200, 200, 0, 80},
    SetterCase{0, 100, sMin, kHigh, true, kHigh - 1, kHigh, kHigh - 1, kHigh - 1, 0, 80},
    SetterCase{-32768, 32767, sValueMax, 40000, true, -32768, 32767, 0, 32767, 0, 32767},
    SetterCase{0, 100, sValueMax, -5, true, 0, 100, 0, 0, 0, 0},   // clamped to 0, then D = 1 decays to 0
    SetterCase{0, 100, sValueMax, 80, false, 0, 100, 0, 80, 0, 80},
    SetterCase{-100, 100, sValueMin, -500, true, -100, 100, -100, 80, -100, 80},
    SetterCase{0, 100, sPeakMax, 500, true, 0, 100, 0, 80, 0, 100},
    SetterCase{0, 100, sPeakMax, 10, false, 0, 100, 0, 80, 0, 80},  // raised to ValueMax
    SetterCase{-100, 100, sPeakMin, 50, false, -100, 100, 0, 80, 0, 80},  // lowered to ValueMin
    SetterCase{-100, 100, sPeakMin, -300, true, -100, 100, 0, 80, -100, 80}));

} // namespace

namespace {

// The envelope steps as defined, in 64-bit arithmetic throughout: the reference the fast loop is held to.
struct ReferenceEnvelope {
    int32_t Min, Max, ValueMin, ValueMax, PeakMin, PeakMax, ValueAttack, ValueDecay, PeakDecay;
    static int32_t smoothed(int32_t d, int32_t v, int32_t x)
    {
        return d == 0 ? x : static_cast<int32_t>(((int64_t(d) - 1) * v + x) / d);
    }
    static int32_t decayed(int32_t d, int32_t v) { return static_cast<int32_t>((int64_t(d) - 1) * v / d); }
    void feed(int32_t s)
    {
        const int32_t x = s > Max ? Max : (s < Min ? Min : s);
        ValueMax = x > ValueMax ? smoothed(ValueAttack, ValueMax, x) : ValueDecay == 0 ? x : decayed(ValueDecay, ValueMax);
        if (PeakMax > ValueMax && PeakDecay != 0) {
            PeakMax = decayed(PeakDecay, PeakMax);
            if (PeakMax < ValueMax)
                PeakMax = ValueMax;
        } else {
            PeakMax = ValueMax;
        }
        if (ValueMax < ValueMin)
            ValueMin = ValueMax;
        ValueMin = x < ValueMin ? smoothed(ValueAttack, ValueMin, x) : ValueDecay == 0 ? x : decayed(ValueDecay, ValueMin);
        if (PeakMin < ValueMin && PeakDecay != 0) {
            PeakMin = decayed(PeakDecay, PeakMin);
            if (PeakMin > ValueMin)
                PeakMin = ValueMin;
        } else {
            PeakMin = ValueMin;
        }
        if (ValueMin > ValueMax)
            ValueMax = ValueMin;
    }
};

}  // namespace

TEST(VUEnvelope, FeedGivesTheDefinedStepsBitForBitOnRandomInput)
{
    std::mt19937_64 random(20261210);
    const int32_t divisors[] = {0, 1, 2, 3, 7, 10, 30000, 32767, 32768, 1000000, -1, -2, -30000,
                                std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min() + 1};
    auto pick = [&](auto& table) { return table[random() % std::size(table)]; };
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        TQelVUEnvelope e;
        const bool wide = round % 2 == 0;
        e.SetMin(wide ? -32768 : int32_t(random() % 2000) - 1000);
        e.SetMax(wide ? 32767 : e.Min + 1 + int32_t(random() % 3000));
        e.ValueAttack = round % 5 == 0 ? int32_t(random() % 100) - 20 : pick(divisors);
        e.ValueDecay = pick(divisors);
        e.PeakDecay = pick(divisors);
        ReferenceEnvelope r{e.Min, e.Max, e.ValueMin, e.ValueMax, e.PeakMin, e.PeakMax,
                            e.ValueAttack, e.ValueDecay, e.PeakDecay};
        std::vector<int16_t> buffer(257);
        for (int block = 0; block < 8; ++block) {
            const int shape = int(random() % 3);
            for (auto& s : buffer)
                s = shape == 0 ? int16_t(random())                                   // anything
                    : shape == 1 ? int16_t(int32_t(random() % 200) - 100)           // near zero
                                 : int16_t(random() % 2 ? 32767 : -32768);           // full scale
            const uint32_t step = 1 + uint32_t(random() % 3);
            ASSERT_TRUE(e.Feed(buffer.data(), uint32_t(buffer.size()), step));
            for (size_t i = 0; i < buffer.size(); i += step)
                r.feed(buffer[i]);
            ASSERT_EQ(e.ValueMax, r.ValueMax);
            ASSERT_EQ(e.ValueMin, r.ValueMin);
            ASSERT_EQ(e.PeakMax, r.PeakMax);
            ASSERT_EQ(e.PeakMin, r.PeakMin);
        }
    }
}

TEST(VUEnvelope, DecayNearTheEdgesOfTheRangeMatchesTheDefinedStep)
{
    // Values at and around the divisor, and the ends of the 32-bit range, one decay step each.
    const int32_t divisors[] = {1, 2, 3, 30000, 1000000, std::numeric_limits<int32_t>::max()};
    for (int32_t d : divisors) {
        const int64_t wide = d;
        const int64_t values[] = {0, 1, -1, wide - 1, wide, wide + 1, -wide + 1, -wide, -wide - 1, 32767, -32768,
                                  std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min() + 1};
        for (int64_t v64 : values) {
            if (v64 > std::numeric_limits<int32_t>::max() || v64 <= std::numeric_limits<int32_t>::min())
                continue;
            const int32_t v = int32_t(v64);
            SCOPED_TRACE(std::to_string(d) + " " + std::to_string(v));
            TQelVUEnvelope e;
            e.Min = std::numeric_limits<int32_t>::min() + 1;
            e.Max = std::numeric_limits<int32_t>::max();
            e.ValueDecay = d;
            e.PeakDecay = 0;
            e.ValueMax = v;
            e.ValueMin = e.Min;
            e.NewValueMax(e.Min);  // below: the maximum decays
            EXPECT_EQ(e.ValueMax, ReferenceEnvelope::decayed(d, v));
        }
    }
}

// The level bar of the decoder windows (no attack, decay 30000, peak decay 1000000, full 16-bit range)
// on buffers of tone, noise, silence and full-scale input, from start states on either side of 0:
// the envelope gives the defined steps bit for bit whichever way it takes.
TEST(VUEnvelope, LevelBarSettingsGiveTheDefinedStepsOnSignalsAndFromAnyStartState)
{
    struct Start {
        int32_t valueMin, valueMax, peakMin, peakMax;
    };
    const Start starts[] = {{-5, 79, -5, 79},       {0, 0, 0, 0},           {-32768, 32767, -32768, 32767},
                            {-40, -20, -60, -20},   {20, 40, 20, 70},       {-31000, 31000, -32000, 32000},
                            {-100, 100, -100, 100}, {5, 5, 5, 5}};
    std::mt19937_64 random(1210);
    for (const int32_t attack : {0, 1})
        for (const Start& start : starts) {
            SCOPED_TRACE(std::to_string(attack) + " " + std::to_string(start.valueMin) + " " +
                         std::to_string(start.valueMax));
            TQelVUEnvelope e;
            e.SetMin(-32768);
            e.SetMax(32767);
            e.ValueAttack = attack;
            e.ValueDecay = 30000;
            e.PeakDecay = 1000000;
            e.ValueMin = start.valueMin, e.ValueMax = start.valueMax;
            e.PeakMin = start.peakMin, e.PeakMax = start.peakMax;
            ReferenceEnvelope r{e.Min, e.Max, e.ValueMin, e.ValueMax, e.PeakMin, e.PeakMax,
                                e.ValueAttack, e.ValueDecay, e.PeakDecay};
            std::vector<int16_t> buffer(16384);
            for (int block = 0; block < 6; ++block) {
                const double amplitude = block == 2 ? 0 : block == 3 ? 40000 : 3000.0 * (block + 1);
                const double noise = block == 4 ? 8000 : 300;
                for (size_t i = 0; i < buffer.size(); ++i) {
                    const double s = amplitude * std::sin(0.37 * double(i)) +
                                     (block == 2 ? 0 : noise * (double(random() % 2001) / 1000.0 - 1.0));
                    buffer[i] = int16_t(std::clamp(s, -32768.0, 32767.0));
                }
                const uint32_t step = 1 + uint32_t(block % 2);
                ASSERT_TRUE(e.Feed(buffer.data() + block % 2, uint32_t(buffer.size() - block % 2), step));
                for (size_t i = block % 2; i < buffer.size(); i += step)
                    r.feed(buffer[i]);
                ASSERT_EQ(e.ValueMax, r.ValueMax) << block;
                ASSERT_EQ(e.ValueMin, r.ValueMin) << block;
                ASSERT_EQ(e.PeakMax, r.PeakMax) << block;
                ASSERT_EQ(e.PeakMin, r.PeakMin) << block;
            }
        }
}

// The level bar of the decoder windows on one channel of stereo buffers of random sizes (around the
// blocks the envelope is fed in and far beyond), on every kind of input, from start states inside
// and outside the 16-bit range: every level after every buffer is the defined step's.
TEST(VUEnvelope, LevelBarOnStereoBuffersOfAnySizeEqualsTheDefinedSteps)
{
    struct Start {
        int32_t min, max, valueMin, valueMax, peakMin, peakMax, valueDecay;
    };
    const Start starts[] = {{-32768, 32767, -5, 79, -5, 79, 30000},
                            {-32768, 32767, -32768, 32767, -32768, 32767, 30000},
                            {-32768, 32767, -64, 64, -65, 65, 30000},
                            {-32768, 32767, -64, 64, -65, 65, 1000000},
                            // beyond 16 bits, with a decay step of one there
                            {-100000, 100000, -50000, 50000, -60000, 60000, 1000000},
                            {-100000, 100000, -32769, 32768, -32769, 32768, 1000000},
                            {-100000, 100000, -32769, 32768, -32769, 32768, 30000}};
    std::mt19937_64 random(33);
    for (const Start& start : starts)
        for (int kind = 0; kind < 7; ++kind) {
            SCOPED_TRACE(std::to_string(start.valueMax) + " kind " + std::to_string(kind));
            TQelVUEnvelope e;
            e.SetMin(start.min);
            e.SetMax(start.max);
            e.ValueAttack = 0;
            e.ValueDecay = start.valueDecay;
            e.PeakDecay = 1000000;
            e.ValueMin = start.valueMin, e.ValueMax = start.valueMax;
            e.PeakMin = start.peakMin, e.PeakMax = start.peakMax;
            ReferenceEnvelope r{e.Min, e.Max, e.ValueMin, e.ValueMax, e.PeakMin, e.PeakMax,
                                e.ValueAttack, e.ValueDecay, e.PeakDecay};
            int16_t run = 0;
            for (int buffer = 0; buffer < 40; ++buffer) {
                const uint32_t frames = buffer % 4 == 0 ? uint32_t(random() % 3000) : uint32_t(60 + random() % 600);
                std::vector<int16_t> pcm(2 * size_t(frames));
                for (size_t i = 0; i < frames; ++i) {
                    int16_t s = 0;
                    switch (kind) {
                    case 0: s = int16_t(random()); break;                                  // anything
                    case 1: s = random() % 2 ? int16_t(32767) : int16_t(-32768); break;    // full scale
                    case 2: s = 0; break;                                                  // silence
                    case 3:                                                                // equal runs
                        if (random() % 40 == 0)
                            run = int16_t(random());
                        s = run;
                        break;
                    case 4:  // a tone with noise, rising and falling
                        s = int16_t(std::clamp(12000 * std::sin(0.256 * double(i)) * (1 + (buffer % 5)) / 3 +
                                                   double(int(random() % 3001) - 1500),
                                               -32768.0, 32767.0));
                        break;
                    case 5: s = int16_t(int32_t(i % 50) - 25); break;                      // near zero
                    default:  // moderate noise with rare spikes beyond the decay divisor
                        s = random() % 300 == 0 ? int16_t(30001 + random() % 2767) * (random() % 2 ? 1 : -1)
                                                : int16_t(int32_t(random() % 20001) - 10000);
                        break;
                    }
                    pcm[2 * i + 1] = s;
                    pcm[2 * i] = int16_t(random());
                }
                // The second channel, as the window reads it: every frame, the last one ending the buffer.
                if (frames == 0)
                    continue;
                ASSERT_TRUE(e.Feed(pcm.data() + 1, uint32_t(pcm.size() - 1), 2));
                for (size_t i = 1; i < pcm.size(); i += 2)
                    r.feed(pcm[i]);
                ASSERT_EQ(e.ValueMax, r.ValueMax) << buffer;
                ASSERT_EQ(e.ValueMin, r.ValueMin) << buffer;
                ASSERT_EQ(e.PeakMax, r.PeakMax) << buffer;
                ASSERT_EQ(e.PeakMin, r.PeakMin) << buffer;
            }
        }
}
