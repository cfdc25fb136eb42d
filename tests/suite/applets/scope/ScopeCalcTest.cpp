// The scope's arithmetic: timebase, span, spectrum heights, readout texts, cursors, marker, grab range.
#include "ScopeCalc.h"

#include "platform/ui/Locale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ScopeCalc, TimebaseTableAndScreenTimes)
{
    const int32_t times[kTimebaseCount] = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
    for (int i = 0; i < kTimebaseCount; ++i) {
        const TTimebaseEntry& t = kScopeTimeBase[i];
        EXPECT_EQ(ScreenTimeMs(t.Samples, t.Rate), times[i]) << t.Name;
        EXPECT_GE(t.BufferLength, t.Samples) << t.Name;
    }
    EXPECT_STREQ(kScopeTimeBase[0].Name, "100 µs/div");
    EXPECT_EQ(kScopeTimeBase[9].Samples, 11025);
    EXPECT_EQ(kScopeTimeBase[9].BufferLength, 11200);
    EXPECT_EQ(&TimebaseEntry(-1), &kScopeTimeBase[3]);
    EXPECT_EQ(&TimebaseEntry(10), &kScopeTimeBase[3]);
    EXPECT_EQ(ScreenTimeMs(441, 0), 0);
}

TEST(ScopeCalc, ScreensOfHeldData)
{
    struct Case {
        int index;
        uint32_t rate;
        int32_t samples;
    };
    const Case cases[] = {
        {3, 44100, 441},   // a grab at "1 ms/div"
        {6, 44100, 4408},  // "10 ms/div": 1102 x 44100 div 11025
        {3, 8000, 80},     // a loaded 8000 Hz file
        {0, 1000, 1},      // never below one sample
        {9, 4000000000u, INT32_MAX},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScaledScreenSamples(c.index, c.rate), c.samples) << c.index << " " << c.rate;
    EXPECT_TRUE(LoadableRate(3, 8000));
    EXPECT_TRUE(LoadableRate(3, 101));
    EXPECT_FALSE(LoadableRate(3, 0));    // rate 0
    EXPECT_FALSE(LoadableRate(3, 99));   // 441 x 99 div 44100 = 0 samples per screen
    EXPECT_FALSE(LoadableRate(3, 3000000000u));
}

TEST(ScopeCalc, SpanLogic)
{
    struct Case {
        bool startStop;
        int32_t f1, f2;
        int32_t low, width, upper, rate, n;
        double ref;
        int32_t first, last;
    };
    const Case cases[] = {
        {false, 2500, 5000, 0, 5000, 5000, 11025, 1024, 6.27, 0, 464},
        {false, 7500, 5000, 5000, 5000, 10000, 22050, 2048, 6.84, 464, 929},
        {false, 9001, 2000, 8001, 2000, 10001, 44100, 8192, 0.57 * 14, 1486, 1858},
        {false, 1000, 0, 900, 100, 1000, 11025, 8192, 0.57 * 16, 669, 743},  // width 0 counts as 100 Hz
        {true, 3000, 1000, 1000, 2000, 3000, 11025, 2048, 0.57 * 12, 186, 557},
        {true, 1000, 3000, 1000, 2000, 3000, 11025, 2048, 0.57 * 12, 186, 557},
        {true, 0, 20000, 0, 20000, 20000, 44100, 1024, 0.57 * 11, 0, 464},
        // A width beyond 1000 times the rate still gives a transform of two points.
        {false, 10000000, 50000000, -15000000, 50000000, 35000000, 44100, 2, 0.0, -680, 1587},
    };
    for (const Case& c : cases) {
        const TSpan s = ComputeSpan(c.startStop, c.f1, c.f2);
        EXPECT_EQ(s.Low, c.low) << c.f1 << " " << c.f2;
        EXPECT_EQ(s.Width, c.width) << c.f1 << " " << c.f2;
        EXPECT_EQ(s.Upper, c.upper) << c.f1 << " " << c.f2;
        EXPECT_EQ(s.Rate, c.rate) << c.f1 << " " << c.f2;
        EXPECT_EQ(s.N, c.n) << c.f1 << " " << c.f2;
        EXPECT_NEAR(s.ReferenceLevel, c.ref, 1e-9) << c.f1 << " " << c.f2;
        EXPECT_EQ(s.FirstBin, c.first) << c.f1 << " " << c.f2;
        EXPECT_EQ(s.LastBin, c.last) << c.f1 << " " << c.f2;
    }
}

TEST(ScopeCalc, SpectrumHeights)
{
    const double ref = 6.27;
    const int32_t h = 400;
    struct Case {
        double power;
        int32_t y;
    };
    const Case cases[] = {
        {std::pow(10.0, ref), h},             // the reference level: the bottom line (401 held at h)
        {std::pow(10.0, ref + 8), 1},          // 80 dB above: the top (+1)
        {std::pow(10.0, ref + 4), 201},        // 40 dB above: the middle
        {std::pow(10.0, ref - 3), h},          // below the reference
        {0.0, h},                              // no logarithm of 0
        {-1.0, h},
        {std::numeric_limits<double>::quiet_NaN(), h},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpectrumHeight(c.power, ref, h), c.y) << c.power;

    const double power[4] = {std::pow(10.0, ref + 8), std::pow(10.0, ref + 4), 0.0, 1.0};
    std::vector<int32_t> heights;
    SpectrumHeights(power, 4, -1, 5, ref, h, heights);
    EXPECT_EQ(heights, (std::vector<int32_t>{h, 1, 201, h, h, h, h}));
    SpectrumHeights(power, 4, 3, 2, ref, h, heights);
    EXPECT_TRUE(heights.empty());
}

TEST(ScopeCalc, TimeTexts)
{
    struct Case {
        double ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 ms"},      {2, "2 ms"},          {0.5, "0.5 ms"},     {12.345, "12.3 ms"},
        {100, "100 ms"},  {999.4, "999 ms"},    {1000, "1 s"},       {1500, "1.5 s"},
        {1234.6, "1.235 s"}, {20000, "20 s"},   {-3, "-3 ms"},       {-2000, "-2 s"},
        {0.0004, "0.0004 ms"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTime(c.ms), c.text) << c.ms;
}

TEST(ScopeCalc, CursorTexts)
{
    const double scope[2] = {2, 5};
    EXPECT_EQ(ScopeCursorText(0, 0, scope), "");
    EXPECT_EQ(ScopeCursorText(1, 0, scope), "1 = 2 ms");
    EXPECT_EQ(ScopeCursorText(2, 0, scope), "1 = 2 ms,  2 = 5 ms,  2-1 = 3 ms");
    EXPECT_EQ(ScopeCursorText(2, 1000, scope), "1 = 1.002 s,  2 = 1.005 s,  2-1 = 3 ms");

    platform::LocaleInfo english;
    platform::SetLocale(&english);
    const double analyser[3] = {1000, 2000, 12345.6};
    EXPECT_EQ(AnalyserCursorText(2, analyser), "1: 1,000   2: 2,000");
    EXPECT_EQ(AnalyserCursorText(3, analyser), "1: 1,000   2: 2,000   3: 12,346");
    platform::LocaleInfo dots;
    dots.ThousandSeparator = '.';
    dots.DecimalSeparator = ',';
    platform::SetLocale(&dots);
    EXPECT_EQ(AnalyserCursorText(1, analyser), "1: 1.000");
    EXPECT_EQ(FormatThousands(1234567), "1.234.567");
    EXPECT_EQ(FormatTime(1500), "1,5 s");
    dots.ThousandSeparator = '\0';
    platform::SetLocale(&dots);
    EXPECT_EQ(FormatThousands(-1234567), "-1234567");
    platform::SetLocale(nullptr);
}

TEST(ScopeCalc, CursorValuesAndPositions)
{
    // A display 503 pixels wide: 500 pixels for a screen of 10 ms.
    EXPECT_DOUBLE_EQ(ScopeCursorValue(1, 503, 10), 0.0);
    EXPECT_DOUBLE_EQ(ScopeCursorValue(101, 503, 10), 2.0);
    EXPECT_DOUBLE_EQ(ScopeCursorValue(251, 503, 10), 5.0);
    EXPECT_EQ(ScopeCursorLeft(2.0, 503, 10), 101);
    EXPECT_EQ(ScopeCursorLeft(5.0, 503, 10), 251);
    // Analyser: margin 40, span 1000..6000 Hz over 500 pixels.
    EXPECT_DOUBLE_EQ(AnalyserCursorValue(41, 40, 543, 1000, 5000), 1000.0);
    EXPECT_DOUBLE_EQ(AnalyserCursorValue(141, 40, 543, 1000, 5000), 2000.0);
    EXPECT_EQ(AnalyserCursorLeft(2000.0, 40, 543, 1000, 5000), 141);
    // Too narrow a display or an empty span: no division by zero.
    EXPECT_DOUBLE_EQ(ScopeCursorValue(1, 3, 10), 0.0);
    EXPECT_DOUBLE_EQ(AnalyserCursorValue(41, 40, 43, 1000, 5000), 1000.0);
    EXPECT_EQ(ScopeCursorLeft(2.0, 503, 0), 1);
    EXPECT_EQ(AnalyserCursorLeft(2.0, 40, 543, 1000, 0), 41);
}

TEST(ScopeCalc, TriggerMarker)
{
    EXPECT_EQ(TriggerMarkerTop(255, 128), 124);
    EXPECT_EQ(TriggerMarkerTop(255, 255), -3);
    EXPECT_EQ(TriggerMarkerTop(255, 0), 252);
    for (int level : {0, 1, 64, 128, 200, 255})
        EXPECT_EQ(TriggerLevelFromTop(255, TriggerMarkerTop(255, level)), level) << level;
    // Dragged beyond either end the level stays in 0..255.
    EXPECT_EQ(TriggerLevelFromTop(255, -50), 255);
    EXPECT_EQ(TriggerLevelFromTop(255, 400), 0);
    EXPECT_EQ(TriggerLevelFromTop(0, 10), 128);
}

TEST(ScopeCalc, GrabScrollRange)
{
    struct Case {
        int32_t grabbed, s;
        int32_t max, barMax;
    };
    const Case cases[] = {
        {44100, 441, 43657, 44097},
        {2048, 8820, 0, 0},   // the first buffer of a slow timebase: no negative range
        {100, 441, 0, 0},     // a file shorter than a screen
        {443, 441, 0, 0},
        {444, 441, 1, 441},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GrabScrollMax(c.grabbed, c.s), c.max) << c.grabbed;
        EXPECT_EQ(GrabScrollBarMax(c.grabbed, c.s), c.barMax) << c.grabbed;
        // From the last reachable position DrawTrace still gets more than a screen.
        if (c.max > 0) {
            EXPECT_GT(c.grabbed - c.max - 1, c.s);
        }
        if (c.barMax > 0) {
            EXPECT_EQ(c.barMax - c.s + 1, c.max);
        }
    }
    EXPECT_EQ(GrabMemoryLimit(8ull << 30), INT32_MAX);
    EXPECT_EQ(GrabMemoryLimit(1ull << 30), 1 << 29);
}

}  // namespace
