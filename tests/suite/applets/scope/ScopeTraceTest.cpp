// The scope's trace: trigger, derivative, polyline heights and the column bitmap.
#include "ScopeCalc.h"
#include "ScopeTrace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

TEST(ScopeTrace, TriggerCases)
{
    struct Case {
        const char* what;
        std::vector<int16_t> s;
        TTriggerMode mode;
        int32_t level;
        int32_t scale;
        int32_t start;
    };
    const Case cases[] = {
        {"free running draws from the start", {5, 4, 3}, tmFreeRunning, 200, 1, 0},
        {"single shot does not search", {5, 4, 3}, tmSingleShot, 200, 1, 0},
        {"rising through 0", {-10, -5, 3, 8}, tmPositiveEdge, 128, 1, 2},
        {"rising onto the level counts", {-1, 0}, tmPositiveEdge, 128, 1, 1},
        {"level 160 is 8192", {8000, 8191, 8192, 9000}, tmPositiveEdge, 160, 1, 2},
        {"vertical scale divides the level", {4000, 4096}, tmPositiveEdge, 160, 2, 1},
        // a = -256 div 100 truncates to -2, so -3 does not reach it (a floor would give -3).
        {"the level truncates toward zero", {-4, -3}, tmPositiveEdge, 127, 100, -1},
        {"falling through 0", {10, 5, -3, -8}, tmNegativeEdge, 128, 1, 2},
        {"no edge above every sample", {100, 200, 300, 400}, tmPositiveEdge, 255, 1, -1},
        {"flat is no edge", {0, 0, 0}, tmPositiveEdge, 128, 1, -1},
        {"a falling buffer has no rising edge", {10, 5, -3, -8}, tmPositiveEdge, 128, 1, -1},
        {"one sample has no pair", {0}, tmPositiveEdge, 128, 1, -1},
    };
    for (const Case& c : cases) {
        const int32_t got = TScopeTrace::FindTrigger(c.s.data(), int32_t(c.s.size()), c.mode, c.level, c.scale);
        EXPECT_EQ(got, c.start) << c.what;
    }
}

struct Trace : ::testing::Test {
    TScopeTrace t;
    void SetUp() override { t.SetSize(102, 66); }  // trace area 100 x 64
};

TEST_F(Trace, PolylineHeightsAndClipping)
{
    t.SamplesPerScreen = 8;
    const std::vector<int16_t> s = {0, 32767, -32768, 16384, -16384, 100, 200, 300, 400};
    EXPECT_TRUE(t.DrawTrace(s.data(), int32_t(s.size())));
    EXPECT_TRUE(t.PolylineForm());
    const std::vector<int32_t> expected = {31, 0, 63, 15, 47, 31, 31, 31, 31};
    for (size_t k = 0; k < expected.size(); ++k)
        EXPECT_EQ(t.Heights()[k], expected[k]) << k;
    EXPECT_TRUE(t.Clipped());
    const std::vector<int16_t> quiet = {0, 1, 2};
    t.DrawTrace(quiet.data(), 3);
    EXPECT_FALSE(t.Clipped());
    // Vertical scale 4: 10000 leaves the area.
    t.VerticalScale = 4;
    const std::vector<int16_t> big = {10000};
    t.DrawTrace(big.data(), 1);
    EXPECT_TRUE(t.Clipped());
}

TEST_F(Trace, ScreensCompleteAfterMoreThanSSamples)
{
    t.SamplesPerScreen = 10;
    std::vector<int16_t> s(6, 0);
    EXPECT_FALSE(t.DrawTrace(s.data(), 6));
    EXPECT_FALSE(t.DrawTrace(s.data(), 4));  // 10 drawn: not more than S
    EXPECT_TRUE(t.DrawTrace(s.data(), 1));
    EXPECT_FALSE(t.DrawTrace(s.data(), 6));  // a new screen
    EXPECT_EQ(t.SamplesDrawn(), 6);
}

TEST_F(Trace, ABufferWithoutTriggerDrawsNothing)
{
    t.SamplesPerScreen = 4;
    t.Trigger = tmPositiveEdge;
    t.TriggerLevel = 255;
    const std::vector<int16_t> s = {100, 200, 300, 400, 500, 600};
    EXPECT_FALSE(t.DrawTrace(s.data(), 6));
    EXPECT_EQ(t.SamplesDrawn(), 0);
    // Held data is drawn without a search.
    t.GrabbedData = true;
    EXPECT_TRUE(t.DrawTrace(s.data(), 6));
}

TEST_F(Trace, TheTraceStartsAtTheTrigger)
{
    t.SamplesPerScreen = 3;
    t.Trigger = tmPositiveEdge;
    const std::vector<int16_t> s = {-100, -200, 16384, 16384, 16384, 16384};
    EXPECT_TRUE(t.DrawTrace(s.data(), 6));
    EXPECT_EQ(t.SamplesDrawn(), 4);
    EXPECT_EQ(t.Heights()[0], 15);
}

// The polyline the display shows is the last completed screen: the next screen's first samples do
// not reach it, and a cleared screen shows nothing.
TEST_F(Trace, TheShownPolylineIsTheLastCompletedScreen)
{
    t.SamplesPerScreen = 4;
    const std::vector<int16_t> low(5, -16384), high(2, 16384);
    EXPECT_TRUE(t.DrawTrace(low.data(), 5));
    const std::vector<int32_t> screen(5, 47);
    EXPECT_EQ(t.ShownHeights(), screen);
    EXPECT_FALSE(t.DrawTrace(high.data(), 2));
    EXPECT_EQ(t.Heights()[0], 15);  // the new screen is being drawn
    EXPECT_EQ(t.ShownHeights(), screen);
    t.Clear();
    EXPECT_TRUE(t.ShownHeights().empty());
}

TEST(ScopeTraceDerivative, GainWrapAndCopy)
{
    EXPECT_EQ(TScopeTrace::DerivativeShift(44100), 3);
    EXPECT_EQ(TScopeTrace::DerivativeShift(22050), 2);
    EXPECT_EQ(TScopeTrace::DerivativeShift(11025), 1);
    EXPECT_EQ(TScopeTrace::DerivativeShift(8000), 1);
    struct Case {
        int32_t rate;
        int16_t a, b;
        int16_t d;
    };
    const Case cases[] = {
        {44100, 0, 5000, -25536},  // 40000 wraps in 16 bits
        {44100, 0, 100, 800},
        {22050, 0, -100, -400},
        {11025, -32768, 32767, -2},  // 65535 x 2 = 131070, low 16 bits
    };
    for (const Case& c : cases) {
        TScopeTrace t;
        t.SetSize(102, 65538);  // h = 65536: the height is 32767 - d exactly
        t.SamplesPerScreen = 3;
        t.Derivative = true;
        t.Rate = c.rate;
        const std::vector<int16_t> s = {c.a, c.b};
        const std::vector<int16_t> before = s;
        t.DrawTrace(s.data(), 2);
        EXPECT_EQ(t.SamplesDrawn(), 1);
        EXPECT_EQ(t.Heights()[0], 32767 - c.d) << c.rate << " " << c.b;
        EXPECT_EQ(s, before) << "the caller's samples are left alone";
    }
}

// The column form: a screen of S samples spread over the columns.
TEST_F(Trace, ColumnFormSpreadsAScreenOverTheColumns)
{
    struct Case {
        int32_t s;
    };
    for (int32_t S : {100, 250, 441, 1000, 4408}) {
        t.SamplesPerScreen = S;
        t.Clear();
        std::vector<int16_t> flat(size_t(S) + 2, 0);
        EXPECT_TRUE(t.DrawTrace(flat.data(), int32_t(flat.size()))) << S;
        // A flat trace: one pixel per column on row (32767 * 64) div 65536 = 31, columns 0..w-2.
        int lit = 0;
        for (int x = 0; x < 100; ++x)
            for (int y = 0; y < 64; ++y)
                if (t.ShownPixel(x, y)) {
                    ++lit;
                    EXPECT_EQ(y, 31) << S << " x " << x;
                }
        EXPECT_EQ(lit, 99) << S;
        EXPECT_FALSE(t.ShownPixel(99, 31)) << S;
    }
}

TEST_F(Trace, ColumnRunsAreSplitAtTheirMiddle)
{
    t.SamplesPerScreen = 100;  // one column per sample
    // Heights 0, 0, 63, 63 ...: a run from row 0 to row 63 between columns 0 and 1.
    std::vector<int16_t> s(102, -32768);
    s[0] = s[1] = 32767;
    t.DrawTrace(s.data(), 102);
    // Boundary 1 takes the height (0); boundary 2 draws row 0 in column 0; boundary 3 the run 0 -> 63:
    // rows 0..31 in column 1, rows 32..63 in column 2.
    EXPECT_TRUE(t.ShownPixel(0, 0));
    for (int y = 0; y <= 31; ++y)
        EXPECT_TRUE(t.ShownPixel(1, y)) << y;
    EXPECT_FALSE(t.ShownPixel(1, 32));
    for (int y = 32; y <= 63; ++y)
        EXPECT_TRUE(t.ShownPixel(2, y)) << y;
    EXPECT_FALSE(t.ShownPixel(2, 31));
    EXPECT_TRUE(t.ShownPixel(3, 63));
}

TEST_F(Trace, ColumnHeightsAreMeans)
{
    t.SamplesPerScreen = 200;  // two samples per column
    std::vector<int16_t> s(202, 0);
    // Heights 16383 and 49151 alternate: their mean 32767 is row 31, like silence.
    for (size_t k = 0; k < s.size(); k += 2) {
        s[k] = 16384;
        s[k + 1] = -16384;
    }
    EXPECT_TRUE(t.DrawTrace(s.data(), 202));
    for (int x = 5; x < 95; ++x)
        for (int y = 0; y < 64; ++y)
            EXPECT_EQ(t.ShownPixel(x, y), y == 31) << x << " " << y;
}

TEST_F(Trace, ColumnPositionCarriesOverBetweenCalls)
{
    t.SamplesPerScreen = 200;
    std::vector<int16_t> s(202, 0);
    EXPECT_FALSE(t.DrawTrace(s.data(), 70));
    const int after1 = t.Column();
    EXPECT_GT(after1, 30);
    EXPECT_FALSE(t.DrawTrace(s.data() + 70, 70));
    EXPECT_GT(t.Column(), after1 + 30);
    EXPECT_TRUE(t.DrawTrace(s.data() + 140, 62));
    int lit = 0;
    for (int x = 0; x < 100; ++x)
        for (int y = 0; y < 64; ++y)
            if (t.ShownPixel(x, y)) {
                ++lit;
                EXPECT_EQ(y, 31);
            }
    EXPECT_GE(lit, 97);
    EXPECT_LE(lit, 99);
    EXPECT_FALSE(t.ShownPixel(99, 31));
}

TEST_F(Trace, NarrowOrEmptyDisplaysAreSafe)
{
    for (auto [w, h] : {std::pair{0, 0}, std::pair{2, 2}, std::pair{3, 50}, std::pair{50, 3}}) {
        TScopeTrace small;
        small.SetSize(w, h);
        small.SamplesPerScreen = 441;
        std::vector<int16_t> s(600, 1000);
        small.DrawTrace(s.data(), 600);
        small.SamplesPerScreen = 1;
        small.DrawTrace(s.data(), 600);
    }
}

// A low sine, edge-triggered, captured buffer by buffer as the scope captures it: every screen is
// one stretch of the signal from one trigger, also where the screen runs on into the next buffer,
// so neighbouring heights never differ by more than the sine's slope allows. Checked at every
// timebase that draws a line on a display 600 pixels wide.
TEST(ScopeTraceScreens, ALowSineDrawsOneUnbrokenStretchPerScreen)
{
    constexpr double kPi = 3.14159265358979323846;
    for (TTriggerMode mode : {tmPositiveEdge, tmNegativeEdge}) {
        for (int index = 0; index < kTimebaseCount; ++index) {
            const TTimebaseEntry& tb = TimebaseEntry(index);
            TScopeTrace t;
            t.SetSize(602, 300);
            if (tb.Samples >= t.TraceWidth())
                continue;  // the column form
            SCOPED_TRACE(std::string(tb.Name) + (mode == tmPositiveEdge ? " positive" : " negative"));
            t.SamplesPerScreen = tb.Samples;
            t.Trigger = mode;
            t.Rate = tb.Rate;
            const double f = 100, amplitude = 16000;
            // Largest step between two samples, in pixels, and one more for the truncation.
            const double slope = amplitude * 2 * kPi * f / tb.Rate * t.TraceHeight() / 65536.0;
            const int32_t allowed = int32_t(std::ceil(slope)) + 1;
            std::vector<int16_t> buffer(size_t(tb.BufferLength));
            int screens = 0, spanning = 0;
            int64_t n = 0;
            for (int b = 0; b < 2 * tb.Rate / tb.BufferLength; ++b) {
                for (int16_t& v : buffer)
                    v = int16_t(std::lround(amplitude * std::sin(2 * kPi * f * double(n++) / tb.Rate)));
                const int32_t before = t.SamplesDrawn();
                if (!t.DrawTrace(buffer.data(), tb.BufferLength))
                    continue;
                ++screens;
                spanning += before > 0 && before <= tb.Samples;
                const std::vector<int32_t>& y = t.Heights();
                // The screen starts at the trigger, near the middle line.
                EXPECT_NEAR(y[0], t.TraceHeight() / 2, allowed + 1) << "screen " << screens;
                for (int32_t k = 0; k + 1 < tb.Samples; ++k)
                    ASSERT_LE(std::abs(y[size_t(k + 1)] - y[size_t(k)]), allowed)
                        << "screen " << screens << " between samples " << k << " and " << k + 1;
            }
            EXPECT_GT(screens, 5);
            EXPECT_GT(spanning, 0) << "no screen ran on into a second buffer";
        }
    }
}

}  // namespace
