#include "QelFSKDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Event {
    uint32_t position;
    int32_t value;
    uint32_t firedAt;  // the detector's sample counter when it fired
    bool operator==(const Event&) const = default;
};

std::vector<Event> Detect(TQelFSKDecoder& d, const std::vector<int16_t>& samples, uint32_t stride = 1)
{
    std::vector<Event> events;
    d.OnTransition = [&](TQelFSKDecoder* sender, uint32_t position, int32_t value) {
        EXPECT_EQ(sender, &d);
        events.push_back({position, value, sender->SampleCounter()});
    };
    d.ProcessBuffer(samples.data(), uint32_t(samples.size()), stride);
    return events;
}

std::vector<int16_t> Square(int halfPeriod, int periods, int16_t level = 10000)
{
    std::vector<int16_t> s;
    for (int p = 0; p < periods; ++p)
        for (int i = 0; i < 2 * halfPeriod; ++i)
            s.push_back(i < halfPeriod ? int16_t(-level) : level);
    return s;
}

TEST(QelFSKDecoder, AllZeroInputGivesNoEvents)
{
    TQelFSKDecoder d;
    d.SetDerivative(true);
    EXPECT_TRUE(Detect(d, std::vector<int16_t>(5000, 0)).empty());
    EXPECT_EQ(d.SampleCounter(), 5000u);
}

TEST(QelFSKDecoder, DerivativeFindsTheEdgesOfASquareWave)
{
    TQelFSKDecoder d;
    d.SetDerivative(true);
    const auto events = Detect(d, Square(12, 4));
    ASSERT_GE(events.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(events[i].position, 12 * i) << i;
        EXPECT_EQ(events[i].value, i % 2 == 0 ? 1 : 0) << i;
        EXPECT_EQ(events[i].firedAt, 12 * i + 3) << i;
    }
}

TEST(QelFSKDecoder, WithoutDerivativeTheExtremesOfEachRunAreReported)
{
    // A cosine of 24 samples: lowest at 0, 24, ..., highest at 12, 36, ...
    std::vector<int16_t> s;
    for (int n = 0; n < 60; ++n)
        s.push_back(int16_t(std::lround(-10000 * std::cos(2 * 3.14159265358979 * n / 24))));
    TQelFSKDecoder d;
    const auto events = Detect(d, s);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0], (Event{0, 1, 5}));
    EXPECT_EQ(events[1], (Event{12, 0, 17}));
    EXPECT_EQ(events[2], (Event{24, 1, 29}));
    EXPECT_EQ(events[3], (Event{36, 0, 41}));
    EXPECT_EQ(events[4], (Event{48, 1, 53}));
}

TEST(QelFSKDecoder, WithoutAHandlerTheStateNeverChanges)
{
    TQelFSKDecoder d;
    d.SetDerivative(true);
    const auto s = Square(12, 4);
    d.ProcessBuffer(s.data(), uint32_t(s.size()), 1);
    EXPECT_EQ(d.State(), 0);
    EXPECT_EQ(d.SampleCounter(), s.size());
}

TEST(QelFSKDecoder, StrideExaminesOneChannelAndStopsAtTheBufferEnd)
{
    // Interleaved: the square wave on channel 0, full-scale noise-like junk on channel 1.
    const auto square = Square(12, 4);
    std::vector<int16_t> stereo;
    for (size_t i = 0; i < square.size(); ++i) {
        stereo.push_back(square[i]);
        stereo.push_back(int16_t(i % 2 ? 32767 : -32768));
    }
    TQelFSKDecoder mono, two;
    mono.SetDerivative(true);
    two.SetDerivative(true);
    const auto expected = Detect(mono, square);
    // One extra value, a partial stride: not examined.
    stereo.push_back(32767);
    EXPECT_EQ(Detect(two, stereo, 2), expected);
    EXPECT_EQ(two.SampleCounter(), square.size());
    TQelFSKDecoder none;
    EXPECT_TRUE(Detect(none, stereo, 0).empty());
}

TEST(QelFSKDecoder, StateCarriesAcrossBuffers)
{
    const auto s = Square(12, 10);
    TQelFSKDecoder whole, split;
    whole.SetDerivative(true);
    split.SetDerivative(true);
    const auto expected = Detect(whole, s);
    std::vector<Event> got;
    split.OnTransition = [&](TQelFSKDecoder* d, uint32_t p, int32_t v) { got.push_back({p, v, d->SampleCounter()}); };
    for (size_t at = 0; at < s.size(); at += 7)
        split.ProcessBuffer(s.data() + at, uint32_t(std::min<size_t>(7, s.size() - at)), 1);
    EXPECT_EQ(got, expected);
}

TEST(QelFSKDecoder, DecaySpeedTakesTheMagnitudeAndZeroCountsAsOne)
{
    // A single pulse: the envelope falls back by the decay each sample.
    struct Case {
        int32_t speed;
        int32_t afterTen;
    } cases[] = {{1, 990}, {0, 990}, {-3, 970}, {200, 0}, {INT32_MIN, 0}};
    for (const Case& c : cases) {
        TQelFSKDecoder d;
        d.SetDecaySpeed(c.speed);
        EXPECT_EQ(d.DecaySpeed(), c.speed);
        std::vector<int16_t> s(11, 0);
        s[0] = 1000;
        d.ProcessBuffer(s.data(), 11, 1);
        EXPECT_EQ(d.Upper(), c.afterTen) << c.speed;
        EXPECT_EQ(d.Lower(), 0);
    }
}

}  // namespace

namespace {

// The detector written out step by step, as a reference for the optimised one.
struct Reference {
    int32_t decay = 1;
    bool derivative = false;
    int32_t previous = 0, upper = 0, lower = 0, extreme = 0, state = 0, older = 0, newer = 0;
    uint32_t extremeAt = 0, counter = 0;
    std::vector<std::pair<uint32_t, int32_t>> events;

    void Sample(int32_t x)
    {
        int32_t v = x;
        if (derivative) {
            const int32_t d = x - previous;
            v = (older + newer + d) / 3;
            older = newer;
            newer = d;
        }
        previous = x;
        if (v >= 0) {
            if (v >= upper)
                upper = v;
            else
                upper = upper > decay ? upper - decay : 0;
            lower = lower < -decay ? lower + decay : 0;
        } else {
            if (v <= lower)
                lower = v;
            else
                lower = lower < -decay ? lower + decay : 0;
            upper = upper > decay ? upper - decay : 0;
        }
        if (state == 1) {
            const int32_t half = upper / 2;
            if (v >= half) {
                if (v > extreme) {
                    extremeAt = counter;
                    extreme = v;
                }
            } else {
                if (half <= extreme) {
                    state = 0;
                    events.emplace_back(extremeAt, 0);
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
                if (half >= extreme) {
                    state = 1;
                    events.emplace_back(extremeAt, 1);
                }
                extreme = v;
            }
        }
        ++counter;
    }
};

TEST(QelFSKDecoder, SameEventsAsTheStepByStepDetectorOnNoisyInput)
{
    uint64_t seed = 12345;
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed;
    };
    for (int32_t decay : {1, 3, 50, 1000})
        for (bool derivative : {true, false}) {
            std::vector<int16_t> s;
            for (int i = 0; i < 20000; ++i) {
                const int level = (i / 12 + int(next() % 3 == 0)) % 2 ? 9000 : -9000;  // jittery square
                s.push_back(int16_t(level + int(next() % 12001) - 6000));
            }
            s.push_back(32767), s.push_back(-32768), s.push_back(32767);
            Reference ref;
            ref.decay = decay;
            ref.derivative = derivative;
            for (int16_t x : s)
                ref.Sample(x);
            TQelFSKDecoder d;
            d.SetDecaySpeed(-decay);
            d.SetDerivative(derivative);
            std::vector<std::pair<uint32_t, int32_t>> got;
            d.OnTransition = [&](TQelFSKDecoder*, uint32_t p, int32_t v) { got.emplace_back(p, v); };
            for (size_t at = 0; at < s.size(); at += 1000)
                d.ProcessBuffer(s.data() + at, uint32_t(std::min<size_t>(1000, s.size() - at)), 1);
            EXPECT_GT(got.size(), 100u);
            EXPECT_EQ(got, ref.events) << decay << " " << derivative;
            EXPECT_EQ(d.Upper(), ref.upper);
            EXPECT_EQ(d.Lower(), ref.lower);
            EXPECT_EQ(d.State(), ref.state);
        }
}

}  // namespace
