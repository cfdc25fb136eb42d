#include "QelFSKDecoder.h"
#include "SmartNetReceiver.h"
#include "Signal.h"
#include "Smartnet.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace sn = siggen::smartnet;

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

namespace {

// The block-wise detector against the step-by-step one across buffer sizes around its block, with
// two channels, with the derivative switched by the handler every few events (it takes effect from
// the next sample), and with what the handler sees of the detector at each event.
struct BlockCase {
    uint32_t buffer;  // frames per buffer
    uint32_t stride;
    int32_t decay;
    int toggleEvery;  // 0: never
};

class FSKDecoderBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(FSKDecoderBlocks, SameEventsAndStateAsTheStepByStepDetector)
{
    const BlockCase c = GetParam();
    uint64_t seed = 777 + c.buffer;
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed;
    };
    const size_t frames = 30000;
    std::vector<int16_t> s(frames * c.stride);
    for (size_t i = 0; i < frames; ++i) {
        // Two tones switching every 12 samples, noise, and stretches of silence and full scale.
        const double f = (i / 12 + next() % 2) % 2 ? 0.256 : 0.171;
        double v = 12000 * std::sin(f * double(i)) + double(int(next() % 6001) - 3000);
        if (i % 5000 > 4700)
            v = 0;
        else if (i % 7000 > 6900)
            v = (i / 3) % 2 ? 40000 : -40000;
        s[i * c.stride + (c.stride - 1)] = int16_t(std::clamp(v, -32768.0, 32767.0));
        if (c.stride > 1)
            s[i * c.stride] = int16_t(next());
    }
    Reference ref;
    ref.decay = c.decay;
    ref.derivative = true;
    struct Seen {
        uint32_t position, counter;
        int32_t value, state, upper, lower;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> want;
    for (size_t i = 0; i < frames; ++i) {
        const size_t before = ref.events.size();
        ref.Sample(s[i * c.stride + (c.stride - 1)]);
        if (ref.events.size() != before) {
            const auto& e = ref.events.back();
            want.push_back({e.first, ref.counter - 1, e.second, ref.state, ref.upper, ref.lower});
            if (c.toggleEvery && ref.events.size() % size_t(c.toggleEvery) == 0)
                ref.derivative = !ref.derivative;
        }
    }
    TQelFSKDecoder d;
    d.SetDecaySpeed(c.decay);
    d.SetDerivative(true);
    std::vector<Seen> got;
    d.OnTransition = [&](TQelFSKDecoder* sender, uint32_t p, int32_t v) {
        got.push_back({p, sender->SampleCounter(), v, sender->State(), sender->Upper(), sender->Lower()});
        if (c.toggleEvery && got.size() % size_t(c.toggleEvery) == 0)
            sender->SetDerivative(!sender->Derivative());
    };
    for (size_t at = 0; at < s.size(); at += size_t(c.buffer) * c.stride) {
        const size_t n = std::min(size_t(c.buffer) * c.stride, s.size() - at);
        d.ProcessBuffer(s.data() + at + (c.stride - 1), uint32_t(n), c.stride);  // every frame, as the window passes them
    }
    EXPECT_GT(got.size(), 300u);
    EXPECT_EQ(got, want);
    EXPECT_EQ(d.Upper(), ref.upper);
    EXPECT_EQ(d.Lower(), ref.lower);
    EXPECT_EQ(d.State(), ref.state);
    EXPECT_EQ(d.SampleCounter(), ref.counter);
}

INSTANTIATE_TEST_SUITE_P(Table, FSKDecoderBlocks, ::testing::Values(
    BlockCase{8192, 2, 1, 0},     // the window's buffers
    BlockCase{8192, 2, 1, 3},     // derivative switched by the handler
    BlockCase{511, 1, 1, 0},      // around the block length
    BlockCase{512, 1, 1, 5},
    BlockCase{513, 1, 7, 0},
    BlockCase{1, 1, 1, 2},        // one sample per buffer
    BlockCase{1025, 2, 100, 4},
    BlockCase{3000, 2, 2, 1}));   // switched at every event

}  // namespace

namespace {

// What the window's receiver makes of the detector's events.
struct WordLog : TSmartNetWordSink {
    std::vector<std::string> lines;
    void GoodWord(const TSmartNetOsw& w) override
    {
        lines.push_back(std::to_string(w.Address) + " " + std::to_string(w.Group) + " " + std::to_string(w.Command));
    }
    void BadFrame() override { lines.push_back("bad"); }
    void AccuracyText(const std::string& text) override { lines.push_back(text); }
};

enum class Input { Random, Extremes, Silence, EqualRuns, ControlChannel, ControlChannelInverted, Mixed };

struct InputCase {
    const char* name;
    Input input;
    uint32_t stride;
    bool derivative;
};

std::vector<int16_t> MakeInput(Input input, size_t frames, uint64_t& seed)
{
    auto next = [&] {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed;
    };
    std::vector<int16_t> s(frames);
    if (input == Input::ControlChannel || input == Input::ControlChannelInverted) {
        sn::ChannelScript script;
        script.seconds = double(frames) / 44100.0;
        for (int i = 0; i < 12; ++i)
            script.events.push_back({0.02 + 0.05 * i, {sn::grant(uint16_t(0x2000 + 37 * i), uint16_t(i * 53), i % 2)}});
        siggen::Samples x = sn::render(sn::controlChannelBits(script), 44100, 0.5,
                                       input == Input::ControlChannelInverted);
        siggen::Random random(seed);
        siggen::addNoise(x, 15, random);
        for (size_t i = 0; i < frames; ++i)
            s[i] = siggen::toPcm16(x[i % x.size()]);
        return s;
    }
    int16_t run = 0;
    for (size_t i = 0; i < frames; ++i) {
        Input kind = input;
        if (input == Input::Mixed)  // stretches of each kind in turn
            kind = Input(int(i / 700) % 4);
        switch (kind) {
        case Input::Random: s[i] = int16_t(next()); break;
        case Input::Extremes: s[i] = (i / 1 + next() % 5) % 2 ? int16_t(32767) : int16_t(-32768); break;
        case Input::Silence: s[i] = 0; break;
        default:
            if (next() % 13 == 0)
                run = int16_t(next());
            s[i] = run;
            break;
        }
    }
    return s;
}

class FSKDecoderInputs : public ::testing::TestWithParam<InputCase> {};

// The detector against the step-by-step one on each kind of input, in buffers of random sizes, every
// event with what the handler sees of the detector, the state at the end, and the words the receiver
// makes of the events.
TEST_P(FSKDecoderInputs, SameEventsStateAndWordsAsTheStepByStepDetector)
{
    const InputCase c = GetParam();
    uint64_t seed = 31337 + uint64_t(c.input) * 7 + c.stride;
    const size_t frames = 60000;
    const std::vector<int16_t> x = MakeInput(c.input, frames, seed);
    std::vector<int16_t> s(frames * c.stride);
    for (size_t i = 0; i < frames; ++i) {
        s[i * c.stride + (c.stride - 1)] = x[i];
        if (c.stride > 1)
            s[i * c.stride] = int16_t(seed = seed * 6364136223846793005u + 1442695040888963407u);
    }

    struct Seen {
        uint32_t position, counter;
        int32_t value, state, upper, lower;
        bool operator==(const Seen&) const = default;
    };
    Reference ref;
    ref.derivative = c.derivative;
    WordLog wantWords;
    TSmartNetReceiver wantRx(wantWords);
    wantRx.Reset();
    std::vector<Seen> want;
    for (size_t i = 0; i < frames; ++i) {
        const size_t before = ref.events.size();
        ref.Sample(x[i]);
        if (ref.events.size() != before) {
            const auto& e = ref.events.back();
            want.push_back({e.first, ref.counter - 1, e.second, ref.state, ref.upper, ref.lower});
            wantRx.FSKDecTransition(e.first, e.second);
        }
    }

    TQelFSKDecoder d;
    d.SetDerivative(c.derivative);
    WordLog gotWords;
    TSmartNetReceiver gotRx(gotWords);
    gotRx.Reset();
    std::vector<Seen> got;
    d.OnTransition = [&](TQelFSKDecoder* sender, uint32_t p, int32_t v) {
        got.push_back({p, sender->SampleCounter(), v, sender->State(), sender->Upper(), sender->Lower()});
        gotRx.FSKDecTransition(p, v);
    };
    for (size_t at = 0; at < frames;) {
        const size_t n = std::min<size_t>(1 + (seed = seed * 6364136223846793005u + 1442695040888963407u) % 2000,
                                          frames - at);
        d.ProcessBuffer(s.data() + at * c.stride + (c.stride - 1), uint32_t(n * c.stride), c.stride);
        at += n;
    }
    ASSERT_EQ(got.size(), want.size());
    for (size_t k = 0; k < got.size(); ++k)
        ASSERT_EQ(got[k], want[k]) << "event " << k;
    EXPECT_EQ(d.Upper(), ref.upper);
    EXPECT_EQ(d.Lower(), ref.lower);
    EXPECT_EQ(d.State(), ref.state);
    EXPECT_EQ(d.SampleCounter(), ref.counter);
    EXPECT_EQ(gotWords.lines, wantWords.lines);
    if ((c.input == Input::ControlChannel || c.input == Input::ControlChannelInverted) && c.derivative) {
        // The signal is decoded: mostly good words.
        EXPECT_GT(gotWords.lines.size(), 40u);
        EXPECT_LT(std::count(gotWords.lines.begin(), gotWords.lines.end(), std::string("bad")) * 10,
                  int64_t(gotWords.lines.size()));
    } else if (c.input != Input::Silence) {
        EXPECT_GT(got.size(), 300u);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FSKDecoderInputs, ::testing::Values(
    InputCase{"RandomFullRange", Input::Random, 2, true},
    InputCase{"RandomFullRangeDiscrim", Input::Random, 1, false},
    InputCase{"Extremes", Input::Extremes, 2, true},
    InputCase{"ExtremesDiscrim", Input::Extremes, 2, false},
    InputCase{"Silence", Input::Silence, 2, true},
    InputCase{"EqualRuns", Input::EqualRuns, 2, true},
    InputCase{"EqualRunsDiscrim", Input::EqualRuns, 1, false},
    InputCase{"ControlChannel", Input::ControlChannel, 2, true},
    InputCase{"ControlChannelInverted", Input::ControlChannelInverted, 2, true},
    InputCase{"ControlChannelDiscrim", Input::ControlChannel, 2, false},
    InputCase{"Mixed", Input::Mixed, 2, true},
    InputCase{"MixedStrideThree", Input::Mixed, 3, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
