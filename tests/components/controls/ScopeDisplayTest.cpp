// Scope display: property clamps, data path, level rows, waterfall colours, labels, trace geometry,
// trigger search, master/slave rules, and key pixels of each mode.
#include "ControlsTestUtil.h"
#include <QApplication>
#include <QMouseEvent>
#include <QelScopeDisplay.h>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

using platform::TColor;

namespace {

// A display whose plot is w+1 pixels wide (w as the painting rules name it) and h+1 high without labels.
std::unique_ptr<TQelScopeDisplay> display(int plotWidth = 256, int plotHeight = 101)
{
    auto d = std::make_unique<TQelScopeDisplay>();
    d->resize(plotWidth + 2 * d->FrameWidth(), plotHeight + 2 * d->FrameWidth());
    d->SetShowHorzInfo(false);
    d->SetShowVertInfo(false);
    return d;
}

int countColour(const QImage& img, TColor c, int x0 = 0, int x1 = -1, int y0 = 0, int y1 = -1)
{
    if (x1 < 0)
        x1 = img.width();
    if (y1 < 0)
        y1 = img.height();
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += px(img, x, y) == c;
    return n;
}

std::vector<int16_t> sine(int n, double cyclesPerBlock, double amplitude)
{
    std::vector<int16_t> s(n);
    for (int i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * cyclesPerBlock * i / n)));
    return s;
}

TEST(ScopeDisplay, ConstructorValues)
{
    TQelScopeDisplay d;
    EXPECT_EQ(d.width(), 249);
    EXPECT_EQ(d.height(), 141);
    EXPECT_EQ(d.FrameStyle(), fsLowered);
    EXPECT_EQ(d.FrameWidth(), 2);
    EXPECT_TRUE(d.Transparent());
    EXPECT_EQ(d.BufferSize(), 512);
    EXPECT_EQ(d.FFT().DataLength(), 512);
    EXPECT_EQ(d.Mode(), sdmScope);
    EXPECT_EQ(d.TraceType(), sdttLine);
    EXPECT_EQ(d.SamplesPerSec(), 11025u);
    EXPECT_EQ(d.GridColor(), 0x008000u);
    EXPECT_EQ(d.TraceColor(), 0xFFFFFFu);
    EXPECT_EQ(d.TriggerColor(), 0x00FFFFu);
    EXPECT_EQ(d.MarkerColor(), 0x0000FFu);
    EXPECT_EQ(d.BkColor(), 0x000000u);
    EXPECT_EQ(d.HorzGridNum(), 8);
    EXPECT_EQ(d.VertGridNum(), 16);
    EXPECT_EQ(d.ScopeLevelMin(), -32768);
    EXPECT_EQ(d.ScopeLevelMax(), 32767);
    EXPECT_EQ(d.TimePerDivision(), 1000000u);
    EXPECT_EQ(d.FFTFreqRight(), 5512u);
    EXPECT_EQ(d.FFTLinearMax(), 1000000000u);
    EXPECT_EQ(d.BitsPerSample(), 16);
    EXPECT_EQ(d.Type(), sdtNormal);
    EXPECT_EQ(d.Slave(), nullptr);
    EXPECT_TRUE(d.RedrawNeeded());
    for (int i = 0; i < 512; ++i)
        ASSERT_EQ(d.Buffer()[i], 0);
}

TEST(ScopeDisplay, WaterfallStartsAsAGreyRamp)
{
    TQelScopeDisplay d;
    const unsigned want[20] = {255, 241, 228, 214, 201, 187, 174, 161, 147, 134, 120, 107, 93, 80, 67, 53, 40, 26, 13, 0};
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(d.WaterfallColor(i), platform::RGB(want[i], want[i], want[i])) << i;
    EXPECT_EQ(d.WaterfallColor(20), 0u);
    EXPECT_EQ(d.WaterfallColor(-1), 0u);
    d.SetWaterfallColor(20, 0x123456);
    d.SetWaterfallColor(-1, 0x123456);
    EXPECT_EQ(d.WaterfallColor(20), 0u);
    d.SetWaterfallColor(3, 0x123456);
    EXPECT_EQ(d.WaterfallColor(3), 0x123456u);
}

TEST(ScopeDisplay, SettersClamp)
{
    TQelScopeDisplay d;
    d.SetTriggerLevel(40000);
    EXPECT_EQ(d.TriggerLevel(), 32767);
    d.SetScopeLevelMax(-40000);
    EXPECT_EQ(d.ScopeLevelMax(), -40000);
    EXPECT_EQ(d.ScopeLevelMin(), -40001);
    EXPECT_EQ(d.TriggerLevel(), -40000);
    d.SetScopeLevelMin(100);
    EXPECT_EQ(d.ScopeLevelMax(), 101);
    EXPECT_EQ(d.TriggerLevel(), 100);
    d.SetScopeLevelMax(std::numeric_limits<int32_t>::min());  // nothing below: the range moves up
    EXPECT_LT(d.ScopeLevelMin(), d.ScopeLevelMax());
    d.SetScopeLevels(50, 10);
    EXPECT_EQ(d.ScopeLevelMin(), 50);
    EXPECT_EQ(d.ScopeLevelMax(), 51);

    d.SetFFTFreqLeft(6000);
    EXPECT_EQ(d.FFTFreqRight(), 6001u);
    d.SetFFTFreqRight(100);
    EXPECT_EQ(d.FFTFreqLeft(), 99u);
    d.SetFFTFreqRight(0);
    EXPECT_EQ(d.FFTFreqRight(), 1u);
    EXPECT_EQ(d.FFTFreqLeft(), 0u);
    d.SetFFTFreqLeft(0xFFFFFFFF);
    EXPECT_EQ(d.FFTFreqLeft(), 0xFFFFFFFEu);
    EXPECT_EQ(d.FFTFreqRight(), 0xFFFFFFFFu);
    d.SetFFTLinearMin(0xFFFFFFFF);
    EXPECT_EQ(d.FFTLinearMin(), 0xFFFFFFFEu);
    EXPECT_EQ(d.FFTLinearMax(), 0xFFFFFFFFu);
    d.SetFFTLinearMax(0);
    EXPECT_EQ(d.FFTLinearMax(), 1u);
    EXPECT_EQ(d.FFTLinearMin(), 0u);

    const struct { void (*set)(TQelScopeDisplay&, int64_t); int64_t (*get)(const TQelScopeDisplay&); int64_t in, out; } cases[] = {
        {[](TQelScopeDisplay& d, int64_t v) { d.SetSamplesPerSec(uint32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.SamplesPerSec()); }, 0, 1},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetTimePerDivision(uint32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.TimePerDivision()); }, 0, 1},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBitsPerSample(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BitsPerSample()); }, 0, 1},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBitsPerSample(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BitsPerSample()); }, 40, 32},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetHorzGridNum(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.HorzGridNum()); }, 0, 1},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetVertGridNum(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.VertGridNum()); }, -3, 1},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBufferSize(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BufferSize()); }, 600, 1024},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBufferSize(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BufferSize()); }, 1024, 1024},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBufferSize(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BufferSize()); }, 3, 4},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBufferSize(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BufferSize()); }, 0, 0},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBufferSize(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BufferSize()); }, -5, 0},
        {[](TQelScopeDisplay& d, int64_t v) { d.SetBufferSize(int32_t(v)); }, [](const TQelScopeDisplay& d) { return int64_t(d.BufferSize()); }, 0x7FFFFFFF, QelMaxDataLength},
    };
    for (const auto& c : cases) {
        c.set(d, c.in);
        EXPECT_EQ(c.get(d), c.out) << "input " << c.in;
    }
}

TEST(ScopeDisplay, BufferSizeKeepsOldSamplesAndTheFFTFollows)
{
    TQelScopeDisplay d;
    std::vector<int32_t> ramp(512);
    for (int i = 0; i < 512; ++i)
        ramp[i] = i + 1;
    d.WriteIntoBuffer(ramp.data(), 512);
    d.SetBufferSize(600);
    ASSERT_EQ(d.BufferSize(), 1024);
    EXPECT_EQ(d.FFT().DataLength(), 1024);
    for (int i = 0; i < 1024; ++i)
        ASSERT_EQ(d.Buffer()[i], i < 512 ? i + 1 : 0) << i;
    d.SetBufferSize(0);
    EXPECT_EQ(d.FFT().DataLength(), 2);
    d.WriteIntoBuffer(ramp.data(), 512);  // nothing to take, nothing to crash
    d.SetMode(sdmAnalyser);
    d.WriteIntoBuffer(ramp.data(), 512);
    d.SetMode(sdmWaterfall);
    d.WriteIntoBuffer(ramp.data(), 512);
}

TEST(ScopeDisplay, WriteIntoBufferTakesEveryStrideValue)
{
    TQelScopeDisplay d;
    std::vector<int16_t> in(1200);
    for (int i = 0; i < 1200; ++i)
        in[i] = static_cast<int16_t>(i % 2 ? -i : i);
    const struct { int count, stride, taken; } cases[] = {{1000, 2, 500}, {1200, 2, 512}, {300, 1, 300}, {7, 3, 3}};
    for (auto c : cases) {
        d.WriteIntoBuffer(in.data(), c.count, c.stride);
        for (int i = 0; i < 512; ++i)
            ASSERT_EQ(d.Buffer()[i], i < c.taken ? i * c.stride * (((i * c.stride) % 2) ? -1 : 1) : 0)
                << "count " << c.count << " stride " << c.stride << " at " << i;
    }
    d.WriteIntoBuffer(in.data(), 100, 0);  // no stride: an empty block
    EXPECT_EQ(d.Buffer()[0], 0);
    const int32_t big[] = {std::numeric_limits<int32_t>::min(), 7};
    d.WriteIntoBuffer(big, 2);
    EXPECT_EQ(d.Buffer()[0], std::numeric_limits<int32_t>::min());
    EXPECT_EQ(d.Buffer()[1], 7);
    EXPECT_EQ(d.Buffer()[2], 0);
}

TEST(ScopeDisplay, WaterfallColours)
{
    TQelScopeDisplay d;
    const struct { bool inverse, continuous; double level; TColor want; } cases[] = {
        {false, false, 0, 0xFFFFFF},
        {false, false, -50, 0x787878},
        {false, false, -100, 0x000000},
        {false, false, -4.9, 0xFFFFFF},
        {false, false, -5, 0xF1F1F1},
        {true, false, 0, 0x000000},
        {true, false, -50, 0x868686},  // colour[9]
        {true, false, -100, 0xFFFFFF},
        {false, true, 0, 0xFFFFFF},
        {false, true, -50, 0x808080},
        {false, true, -100, 0x000000},
        {true, true, -25, 0x3F3F3F},
        // Above full scale (plots of 20 rows or fewer) and below the bottom: the end colours.
        {false, false, 20, 0xFFFFFF},
        {false, false, 1.5, 0xFFFFFF},
        {true, false, 20, 0x000000},
        {false, false, -150, 0x000000},
        {false, true, 20, 0xFFFFFF},
        {true, true, 20, 0x000000},
        {false, true, -1e300, 0x000000},
        {false, false, std::nan(""), 0x000000},
    };
    for (const auto& c : cases) {
        d.SetInverseWaterfall(c.inverse);
        d.SetContinuousColor(c.continuous);
        EXPECT_EQ(d.ComputeWaterfallColor(c.level), c.want)
            << "level " << c.level << (c.inverse ? " inverse" : "") << (c.continuous ? " continuous" : "");
    }
}

TEST(ScopeDisplay, LabelTexts)
{
    TQelScopeDisplay d;
    const struct { uint32_t f; const char* s; } freqs[] = {
        {0, "0Hz"}, {2999, "2999Hz"}, {3000, "3.000kHz"}, {5512, "5.512kHz"}, {2999999, "2999.999kHz"},
        {3000000, "3.000MHz"}, {145500000, "145.500MHz"}, {3000000000u, "3.000GHz"}, {0xFFFFFFFFu, "4.295GHz"}};
    for (auto c : freqs)
        EXPECT_EQ(d.FreqToStr(c.f).toStdString(), c.s);
    const struct { uint32_t tpd; double t; const char* s; } times[] = {
        {1000000, 0, "0ns"}, {1000000, 0.016, "16ms"}, {1000000, 0.01551, "15.6ms"}, {100, 0.0000005, "500ns"},
        {1000, 0.5, "500ms"}, {1, 1.0 / 1024, "976.5625us"}, {1000000000, 3, "3s"}, {1, 1e-10, "0.1ns"}, {1, 0.25, "250ms"},
        {10000, 0.00016, "160us"}, {1000, 0.000016, "16us"}, {7, 1e-40, "0.7ns"}, {1000000, -0.0, "0ns"}};
    for (auto c : times) {
        d.SetTimePerDivision(c.tpd);
        EXPECT_EQ(d.TimeToStr(c.t).toStdString(), c.s) << c.t;
    }
}

// The labels under a scope trace at every time per division of a 1-2-5 sequence: the right edge
// is 16 divisions on, the left the samples before the trigger; neither may be rounded up a division
// by the arithmetic on the way.
TEST(ScopeDisplay, TimeLabelsAreExactAtEveryTimePerDivision)
{
    TQelScopeDisplay d;
    const struct { uint32_t tpd; const char* right; const char* rightAfter10ms; } cases[] = {
        {1, "16ns", "10.000016ms"},        {2, "32ns", "10.000032ms"},        {5, "80ns", "10.00008ms"},
        {10, "160ns", "10.00016ms"},       {20, "320ns", "10.00032ms"},       {50, "800ns", "10.0008ms"},
        {100, "1.6us", "10.0016ms"},       {200, "3.2us", "10.0032ms"},       {500, "8us", "10.008ms"},
        {1000, "16us", "10.016ms"},        {2000, "32us", "10.032ms"},        {5000, "80us", "10.08ms"},
        {10000, "160us", "10.16ms"},       {20000, "320us", "10.32ms"},       {50000, "800us", "10.8ms"},
        {100000, "1.6ms", "11.6ms"},       {200000, "3.2ms", "13.2ms"},       {500000, "8ms", "18ms"},
        {1000000, "16ms", "26ms"},         {2000000, "32ms", "42ms"},         {5000000, "80ms", "90ms"},
        {10000000, "160ms", "170ms"},      {20000000, "320ms", "340ms"},      {50000000, "800ms", "850ms"},
        {100000000, "1.6s", "1.7s"},       {200000000, "3.2s", "3.4s"},       {500000000, "8s", "8.5s"},
        {1000000000, "16s", "17s"},        {2000000000, "32s", "34s"},        {4000000000u, "64s", "68s"},
    };
    // 441 samples at 44100 Hz are 10 ms, rounded up to a tenth of a division.
    const struct { uint32_t tpd; const char* left; } lefts[] = {
        {1, "10ms"},          {7, "10.0000005ms"}, {3000, "10.0002ms"},
        {100000000, "10ms"}, {300000000, "30ms"}, {4000000000u, "400ms"}};
    d.SetSamplesPerSec(44100);
    for (const auto& c : cases) {
        d.SetTimePerDivision(c.tpd);
        d.SetSamplesBefore(0);
        EXPECT_EQ(d.HorzInfoTexts().first.toStdString(), "0ns") << c.tpd;
        EXPECT_EQ(d.HorzInfoTexts().second.toStdString(), c.right) << c.tpd;
        d.SetSamplesBefore(441);
        if (c.tpd <= 10000000)
            EXPECT_EQ(d.HorzInfoTexts().second.toStdString(), c.rightAfter10ms) << c.tpd;
    }
    for (const auto& c : lefts) {
        d.SetTimePerDivision(c.tpd);
        EXPECT_EQ(d.HorzInfoTexts().first.toStdString(), c.left) << c.tpd;
    }
    // Other rates and grids: 11025 Hz, 10 divisions of 1 ms.
    d.SetSamplesPerSec(11025);
    d.SetSamplesBefore(0);
    d.SetVertGridNum(10);
    d.SetTimePerDivision(1000000);
    EXPECT_EQ(d.HorzInfoTexts().second.toStdString(), "10ms");
    d.SetSamplesBefore(11025);  // one second
    EXPECT_EQ(d.HorzInfoTexts().first.toStdString(), "1s");
    EXPECT_EQ(d.HorzInfoTexts().second.toStdString(), "1.01s");
    // The analyser labels its frequencies.
    d.SetMode(sdmAnalyser);
    EXPECT_EQ(d.HorzInfoTexts().first.toStdString(), "0Hz");
}

TEST(ScopeDisplay, LevelRowsOfTheSpectrum)
{
    auto d = display(256, 101);
    d->SetMode(sdmAnalyser);
    d->SetSamplesPerSec(8000);
    d->SetFFTFreqRight(4000);
    d->Paint();
    ASSERT_EQ(d->PlotArea(), (platform::TRect{0, 0, 256, 101}));
    // A full-scale sine at bin 64 (rectangle window) reaches the row above the plot; one of 10^-4 of
    // full scale the bottom row; bins at or above half the block show nothing.
    const struct { double amplitude; int row; } cases[] = {{32767, -1}, {3276.7, 24}, {327.67, 49}, {3.2767, 99}, {2.5, 100}};
    for (auto c : cases) {
        const auto s = sine(512, 64, c.amplitude);
        d->WriteIntoBuffer(s.data(), 512, 1);
        EXPECT_NEAR(d->BinRow(64), c.row, 1) << c.amplitude;
        EXPECT_EQ(d->BinRow(10), 100);
        EXPECT_EQ(d->BinRow(256), 100);
        EXPECT_EQ(d->BinRow(100000), 100);
    }
    // Linear scale: full-scale power at the top, half amplitude a quarter of the way up.
    d->SetFFTLinear(true);
    auto full = sine(512, 64, 32767);
    d->WriteIntoBuffer(full.data(), 512, 1);
    EXPECT_NEAR(d->BinRow(64), -1, 1);
    auto half = sine(512, 64, 16383.5);
    d->WriteIntoBuffer(half.data(), 512, 1);
    EXPECT_NEAR(d->BinRow(64), 100 - 25, 1);
    // (2^16 - 1) x 65536 leaves 32 bits: a long block keeps its full-scale row.
    {
        auto big = display(256, 101);
        big->SetMode(sdmAnalyser);
        big->SetSamplesPerSec(8000);
        big->SetFFTFreqRight(4000);
        big->SetBufferSize(65536);
        const auto s = sine(65536, 8192, 32767);
        big->WriteIntoBuffer(s.data(), 65536, 1);
        EXPECT_NEAR(big->BinRow(8192), -1, 1);
    }
    // Full scale of 32 bits: finite levels, no wrapped product.
    d->SetBitsPerSample(32);
    EXPECT_EQ(d->BinRow(64), 100);
    d->SetFFTLinear(false);
    std::vector<int32_t> big(512);
    for (int i = 0; i < 512; ++i)
        big[i] = static_cast<int32_t>(std::lround(2147483647.0 * std::sin(2 * M_PI * 64 * i / 512)));
    d->WriteIntoBuffer(big.data(), 512);
    EXPECT_NEAR(d->BinRow(64), -1, 1);
}

TEST(ScopeDisplay, DefaultTraceHas178Points)
{
    auto d = display(256, 101);
    d->SetTraceType(sdttPoint);
    d->SetHorzGridLines(false);
    d->SetVertGridLines(false);
    std::vector<int32_t> flat(512, 1000);
    d->WriteIntoBuffer(flat.data(), 512);
    // dx = 255e9 / 1e6 / 16 / 11025 = 1.4456 pixels a sample: 178 points, one to a column.
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF), 178);
    const int y = int((32767 - 1000) * 101LL / 65535);
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF, 0, -1, y, y + 1), 178);
}

TEST(ScopeDisplay, TriggerSearch)
{
    auto d = display(256, 101);
    std::vector<int32_t> rising(512);
    for (int i = 0; i < 512; ++i)
        rising[i] = -100 + 50 * i;
    std::vector<int32_t> falling(512);
    for (int i = 0; i < 512; ++i)
        falling[i] = 1000 - 30 * i;
    const double dx = 1.0;
    const struct {
        TQelScopeDisplaySyncroType type;
        const std::vector<int32_t>* buf;
        int32_t level;
        bool found;
        int32_t index, shift;
    } cases[] = {
        {sdstNone, &rising, 0, true, 0, 0},
        {sdstPositive, &rising, 0, true, 2, 0},
        {sdstPositive, &rising, 10, true, 2, 0},   // 10/50 of a pixel truncates to 0
        {sdstLevel, &rising, 25, true, 2, 0},
        {sdstNegative, &rising, 0, false, 0, 0},  // never falls
        {sdstNegative, &falling, 0, true, 33, 0}, // 10 >= 0 > -20
        {sdstLevel, &falling, -5, true, 33, 0},
        {sdstPositive, &falling, 0, false, 0, 0},
    };
    for (const auto& c : cases) {
        d->SetSyncroType(c.type);
        d->SetTriggerLevel(c.level);
        d->WriteIntoBuffer(c.buf->data(), 512);
        const auto tp = d->FindTrigger(100, dx);
        EXPECT_EQ(tp.found, c.found) << int(c.type) << " " << c.level;
        if (tp.found && c.found) {
            EXPECT_EQ(tp.index, c.index) << int(c.type) << " " << c.level;
            EXPECT_EQ(tp.shift, c.shift) << int(c.type) << " " << c.level;
        }
    }
    // The sub-pixel shift: crossing 40 % of the way to the next sample with 10 pixels a sample.
    d->SetSyncroType(sdstPositive);
    d->SetTriggerLevel(-80);
    d->WriteIntoBuffer(rising.data(), 512);
    const auto tp = d->FindTrigger(100, 10.0);
    EXPECT_EQ(tp.index, 0);
    EXPECT_EQ(tp.shift, 4);
    // The search stops where the trace would run past the buffer.
    d->SetTriggerLevel(0);
    d->WriteIntoBuffer(rising.data(), 512);
    EXPECT_TRUE(d->FindTrigger(508, 1.0).found);
    EXPECT_FALSE(d->FindTrigger(509, 1.0).found);
}

TEST(ScopeDisplay, NoCrossingShowsGridAndMarkerOnly)
{
    auto d = display(256, 101);
    d->SetSyncroType(sdstPositive);
    d->SetTriggerLevel(20000);
    std::vector<int32_t> flat(512, 0);
    d->WriteIntoBuffer(flat.data(), 512);
    const QImage& img = d->Picture();
    EXPECT_EQ(countColour(img, 0xFFFFFF), 0) << "no trace";
    EXPECT_GT(countColour(img, 0x00FFFF, 0, 8), 20) << "trigger marker at the left edge";
    EXPECT_GT(countColour(img, 0x008000), 500) << "grid";
    // With a crossing the trace starts on the trigger level at the left edge.
    std::vector<int32_t> rising(512);
    for (int i = 0; i < 512; ++i)
        rising[i] = -30000 + 500 * i;
    d->SetTriggerLevel(0);
    d->SetSyncroType(sdstLevel);
    d->SetTraceType(sdttPoint);
    d->WriteIntoBuffer(rising.data(), 512);
    EXPECT_GT(countColour(d->Picture(), 0xFFFFFF), 100);
}

TEST(ScopeDisplay, DerivativeWithoutTriggerStaysInsideTheBuffer)
{
    // 16 samples over a wide plot: every sample is a point, and the last difference would need a 17th.
    auto d = display(256, 101);
    d->SetBufferSize(16);
    d->SetDerivative(true);
    d->SetTraceType(sdttPoint);
    d->SetHorzGridLines(false);
    d->SetVertGridLines(false);
    std::vector<int32_t> flat(16, 12345);
    d->WriteIntoBuffer(flat.data(), 16);
    const int y0 = int(32767 * 101LL / 65535);  // the row of 0
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF), 15);
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF, 0, -1, y0, y0 + 1), 15);
}

TEST(ScopeDisplay, ExtremeLevelsStayOnThePlot)
{
    // (Max - u) x (h + 1) and Max - Min need more than 32 bits over the whole 32-bit range.
    auto d = display(256, 101);
    d->SetScopeLevels(std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    d->SetTraceType(sdttPoint);
    d->SetHorzGridLines(false);
    d->SetVertGridLines(false);
    std::vector<int32_t> swing(512);
    for (int i = 0; i < 512; ++i)
        swing[i] = i % 2 ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    d->WriteIntoBuffer(swing.data(), 512);
    // The maximum on the top row; the minimum one row below the plot, as for every range.
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF, 0, -1, 0, 1), 89);
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF), 89);
    d->SetDerivative(true);  // differences of 2^32 - 1 clamp to the range
    d->WriteIntoBuffer(swing.data(), 512);
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF, 0, -1, 0, 1), 89);
}

TEST(ScopeDisplay, TinyPlotsDrawNothingAndDoNotDivideByZero)
{
    const struct { int w, h; bool horz, vert; } sizes[] = {{4, 4, false, false}, {5, 5, false, false}, {6, 30, true, true},
                                                          {40, 6, false, false}, {40, 14, true, true}, {0, 0, true, true}};
    for (auto s : sizes)
        for (auto mode : {sdmScope, sdmAnalyser, sdmWaterfall})
            for (auto trace : {sdttPoint, sdttLine, sdttBar}) {
                TQelScopeDisplay d;
                d.resize(s.w, s.h);
                d.SetShowHorzInfo(s.horz);
                d.SetShowVertInfo(s.vert);
                d.SetMode(mode);
                d.SetTraceType(trace);
                d.SetSyncroType(sdstLevel);
                const auto x = sine(512, 10, 20000);
                d.WriteIntoBuffer(x.data(), 512, 1);
                d.WriteIntoBuffer(x.data(), 512, 1);
                d.Paint();
            }
}

TEST(ScopeDisplay, AnalyserPixelsLabelsAndMarkers)
{
    TQelScopeDisplay d;
    d.resize(300, 160);
    d.SetMode(sdmAnalyser);
    d.SetSamplesPerSec(8000);
    d.SetFFTFreqRight(4000);
    d.SetFFTMarkersNum(2);
    d.SetFFTMarker(0, 1000);
    d.SetFFTMarker(1, 5000);  // outside: not drawn
    d.SetFFTMarker(5, 10);    // no such marker
    EXPECT_EQ(d.FFTMarker(0), 1000u);
    EXPECT_EQ(d.FFTMarker(5), 0u);
    const auto s = sine(512, 128, 30000);  // 2000 Hz
    d.WriteIntoBuffer(s.data(), 512, 1);
    const QImage& img = d.Picture();
    const platform::TRect p = d.PlotArea();
    // The level labels stand left of the plot.
    EXPECT_GT(p.Left, 20);
    EXPECT_LT(countColour(img, 0x000000, 0, p.Left - 8, 0, p.Bottom), (p.Left - 8) * p.Bottom - 100) << "level labels";
    // Marker at 1000 Hz: a quarter of the way across, red from the bottom up to the top.
    const int w = p.Right - p.Left - 1;
    const int xm = p.Left + 1000 * w / 4000;
    EXPECT_EQ(px(img, xm, p.Bottom - 2), 0x0000FFu);
    EXPECT_EQ(px(img, xm, p.Top), 0x0000FFu);
    EXPECT_EQ(countColour(img, 0x0000FF), p.Bottom - p.Top + 1);
    // The peak at 2000 Hz, in the middle, reaches near the top; elsewhere the trace lies at the bottom.
    const int xp = p.Left + 128 * w / 256;
    EXPECT_LT(p.Top, 5);
    EXPECT_EQ(px(img, xp, p.Top + 1), 0xFFFFFFu);
    EXPECT_EQ(px(img, p.Left + 10, p.Bottom - 1), 0xFFFFFFu);
}

TEST(ScopeDisplay, WaterfallLinesScrollDown)
{
    // Two columns a bin, so that each bin's colour shows.
    auto d = display(511, 50);
    d->SetMode(sdmWaterfall);
    d->SetSamplesPerSec(8000);
    d->SetFFTFreqRight(4000);
    d->Paint();  // lays out the empty picture
    const auto tone = sine(512, 64, 32000);   // 1000 Hz: a quarter across
    const std::vector<int16_t> silence(512, 0);
    d->WriteIntoBuffer(tone.data(), 512, 1);
    for (int i = 0; i < 3; ++i)
        d->WriteIntoBuffer(silence.data(), 512, 1);
    const QImage& img = d->Picture();
    const int xTone = 128;
    // The tone's line moved down three rows; the newer lines are silent (the weakest colour).
    EXPECT_EQ(px(img, xTone, 3), 0xFFFFFFu);
    EXPECT_EQ(px(img, xTone, 0), 0x000000u);
    EXPECT_EQ(px(img, xTone + 20, 3), 0x000000u);
    EXPECT_EQ(px(img, xTone, 4), 0x000000u) << "the row before the tone";
    // A rebuild clears the history.
    d->SetGridColor(0x00FF00);
    d->Paint();
    EXPECT_EQ(px(d->Picture(), xTone, 3), 0x000000u);
}

TEST(ScopeDisplay, WaterfallLegendFollowsTheColours)
{
    TQelScopeDisplay d;
    d.resize(300, 160);
    d.SetMode(sdmWaterfall);
    d.Paint();
    const QImage& img = d.Picture();
    const platform::TRect p = d.PlotArea();
    const int legend = p.Left - 12;  // the 10-pixel legend left of the plot
    EXPECT_EQ(px(img, legend + 5, p.Top), 0xFFFFFFu);
    EXPECT_EQ(px(img, legend + 5, p.Bottom - 1), 0x000000u);
    const TColor mid = px(img, legend + 5, (p.Top + p.Bottom) / 2);
    EXPECT_TRUE(mid == 0x787878u || mid == 0x868686u) << std::hex << mid;
}

TEST(ScopeDisplay, SlaveRules)
{
    QWidget form;
    auto* a = new TQelScopeDisplay(&form);
    auto* b = new TQelScopeDisplay(&form);
    auto* c = new TQelScopeDisplay(&form);
    a->move(10, 20);
    a->SetBufferSize(1024);
    a->SetSamplesPerSec(8000);
    a->SetTimePerDivision(500000);
    a->SetSlave(b);
    EXPECT_EQ(b->Master(), a);
    EXPECT_EQ(b->Type(), sdtSlave);
    EXPECT_EQ(b->Bitmap(), a->Bitmap());
    EXPECT_EQ(b->BufferSize(), 1024);
    EXPECT_EQ(b->SamplesPerSec(), 8000u);
    EXPECT_EQ(b->TimePerDivision(), 500000u);
    EXPECT_FALSE(b->isVisibleTo(&form));
    EXPECT_EQ(b->geometry(), QRect(15, 25, 20, 20));
    // Changes pass down the chain.
    a->SetMode(sdmAnalyser);
    a->SetSamplesPerSec(11025);
    EXPECT_EQ(b->Mode(), sdmAnalyser);
    EXPECT_EQ(b->SamplesPerSec(), 11025u);
    a->SetMode(sdmScope);
    // No cycles: b's slave cannot be a.
    b->SetSlave(c);
    EXPECT_EQ(c->Master(), b);
    c->SetSlave(a);
    EXPECT_EQ(c->Slave(), nullptr);
    EXPECT_EQ(a->Master(), nullptr);
    b->SetSlave(b);
    EXPECT_EQ(b->Slave(), c);
    // A second slave frees the first, which gets its own bitmap back.
    a->SetSlave(c);
    EXPECT_EQ(b->Slave(), nullptr);  // c left its old master
    EXPECT_EQ(a->Slave(), c);
    EXPECT_EQ(b->Master(), nullptr);
    EXPECT_EQ(b->Type(), sdtNormal);
    EXPECT_NE(b->Bitmap(), a->Bitmap());
    EXPECT_EQ(c->Bitmap(), a->Bitmap());
    // A new bitmap of the master reaches the slave.
    a->SetBmp(new platform::TBitmap());
    EXPECT_EQ(c->Bitmap(), a->Bitmap());
    // Destroying the master leaves the slave independent.
    delete a;
    EXPECT_EQ(c->Master(), nullptr);
    EXPECT_EQ(c->Type(), sdtNormal);
    ASSERT_NE(c->Bitmap(), nullptr);
    c->Paint();
}

TEST(ScopeDisplay, MasterPaintsItsSlavesTraces)
{
    auto master = display(256, 101);
    TQelScopeDisplay slave;
    master->SetTraceType(sdttPoint);
    master->SetHorzGridLines(false);
    master->SetVertGridLines(false);
    master->SetSlave(&slave);
    slave.SetTraceColor(0x0000FF);
    slave.SetTraceType(sdttPoint);
    std::vector<int32_t> high(512, 16000), low(512, -16000);
    slave.WriteIntoBuffer(low.data(), 512);
    master->WriteIntoBuffer(high.data(), 512);
    const QImage& img = master->Picture();
    const int yHigh = int((32767 - 16000) * 101LL / 65535), yLow = int((32767 + 16000) * 101LL / 65535);
    EXPECT_EQ(countColour(img, 0xFFFFFF, 0, -1, yHigh, yHigh + 1), 178);
    EXPECT_EQ(countColour(img, 0x0000FF, 0, -1, yLow, yLow + 1), 178);
    // A slave's change rebuilds its master's picture.
    slave.SetTraceColor(0x00FF00);
    EXPECT_EQ(countColour(master->Picture(), 0x0000FF), 0);
    EXPECT_EQ(countColour(master->Picture(), 0x00FF00, 0, -1, yLow, yLow + 1), 178);
    EXPECT_EQ(countColour(master->Picture(), 0xFFFFFF, 0, -1, yHigh, yHigh + 1), 178);
    master->SetSlave(nullptr);
}

TEST(ScopeDisplay, ScopeStoreKeepsOldTraces)
{
    auto d = display(256, 101);
    d->SetTraceType(sdttPoint);
    d->Paint();
    d->SetScopeStore(true);
    std::vector<int32_t> a(512, 10000), b(512, -10000);
    d->WriteIntoBuffer(a.data(), 512);
    d->WriteIntoBuffer(b.data(), 512);
    // The first picture's trace of the empty buffer, and both new ones.
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF), 3 * 178);
    d->ResetScopeStore();
    EXPECT_EQ(countColour(d->Picture(), 0xFFFFFF), 178);
    EXPECT_TRUE(d->ScopeStore());
}

TEST(ScopeDisplay, UseFFTResultsFromAnotherAnalyser)
{
    TQelScopeDisplay a, b;
    a.SetMode(sdmAnalyser);
    const auto s = sine(512, 32, 20000);
    b.WriteIntoBuffer(s.data(), 512, 1);  // b is a scope: refused
    a.UseFFTResultsFrom(&b);
    EXPECT_EQ(a.FFTModuleOut()[32], 0.0);
    b.SetMode(sdmAnalyser);
    b.WriteIntoBuffer(s.data(), 512, 1);
    a.UseFFTResultsFrom(&b);
    EXPECT_DOUBLE_EQ(a.FFTModuleOut()[32], b.FFTModuleOut()[32]);
    EXPECT_GT(a.FFTModuleOut()[32], 1e12);
}

TEST(ScopeDisplay, DraggingTheTriggerMarker)
{
    QWidget form;
    auto* d = new TQelScopeDisplay(&form);
    d->resize(260, 105);
    d->SetShowHorzInfo(false);
    d->SetSyncroType(sdstPositive);
    form.show();
    QApplication::processEvents();
    d->Paint();
    auto move = [&](int x, int y, Qt::MouseButtons buttons) {
        QMouseEvent m(QEvent::MouseMove, QPointF(x, y), QPointF(x, y), Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(d, &m);
    };
    const platform::TRect p = d->PlotArea();
    const int yT = p.Top + int(32767LL * (p.Bottom - p.Top) / 65535);
    move(100, yT, Qt::NoButton);
    EXPECT_EQ(d->cursor().shape(), Qt::ArrowCursor);
    move(4, yT + 3, Qt::NoButton);
    EXPECT_EQ(d->cursor().shape(), Qt::SizeVerCursor);
    move(4, p.Top, Qt::LeftButton);
    EXPECT_EQ(d->TriggerLevel(), 32767);
    move(4, p.Bottom, Qt::LeftButton);
    EXPECT_EQ(d->TriggerLevel(), -32768);
    move(4, p.Bottom + 50, Qt::LeftButton);  // clamped
    EXPECT_EQ(d->TriggerLevel(), -32768);
    d->SetSyncroType(sdstNone);
    move(4, p.Top, Qt::NoButton);
    EXPECT_EQ(d->cursor().shape(), Qt::ArrowCursor);
}

} // namespace

namespace {

TEST(ScopeDisplayOnScreen, TheControlShowsItsFrameAndThePicture)
{
    QWidget form;
    form.resize(300, 200);
    auto* d = new TQelScopeDisplay(&form);
    d->setGeometry(10, 10, 260, 105);
    d->SetShowHorzInfo(false);
    d->SetTraceType(sdttPoint);
    form.show();
    QApplication::processEvents();
    std::vector<int32_t> flat(512, 0);
    d->WriteIntoBuffer(flat.data(), 512);
    const QImage screen = renderOver(*d);
    const QImage& pic = d->Picture();
    const int f = d->FrameWidth();
    ASSERT_EQ(pic.width(), d->width() - 2 * f);
    // The bitmap sits inside the lowered bevel, pixel for pixel.
    for (int y = 0; y < pic.height(); y += 7)
        for (int x = 0; x < pic.width(); x += 5)
            ASSERT_EQ(px(screen, x + f, y + f), px(pic, x, y)) << x << "," << y;
    // Lowered: dark top-left, light bottom-right.
    const TColor tl = px(screen, 0, 5), br = px(screen, d->width() - 1, 5);
    EXPECT_LT(platform::GetRValue(tl), platform::GetRValue(br));
}

} // namespace

namespace {

TEST(ScopeDisplayRanges, BillionsOfEmptyBinsCostOneStepAColumn)
{
    // At 1 sample/s a right edge of 4.29 GHz is bin 2.2 * 10^12: every bin above 256 shows no signal.
    for (auto mode : {sdmAnalyser, sdmWaterfall})
        for (auto trace : {sdttPoint, sdttLine, sdttBar}) {
            auto d = display(256, 101);
            d->SetMode(mode);
            d->SetTraceType(trace);
            d->SetHorzGridLines(false);
            d->SetVertGridLines(false);
            d->SetSamplesPerSec(1);
            d->SetFFTFreqRight(0xFFFFFFFF);
            d->Paint();
            const auto s = sine(512, 64, 30000);
            d->WriteIntoBuffer(s.data(), 512, 1);
            d->WriteIntoBuffer(s.data(), 512, 1);
            if (mode == sdmAnalyser && trace != sdttBar) {
                // Everything right of the first column lies on the bottom row.
                EXPECT_EQ(px(d->Picture(), 128, 100), 0xFFFFFFu);
                EXPECT_EQ(px(d->Picture(), 254, 100), 0xFFFFFFu);
            }
        }
    // A hundred times more bins than columns: one point a column.
    auto a = display(256, 101);
    a->SetMode(sdmAnalyser);
    a->SetTraceType(sdttPoint);
    a->SetSamplesPerSec(8000);
    a->SetFFTFreqRight(400000);  // bins 0 .. 25600, of them 256 with signal
    const auto s = sine(512, 32, 30000);
    a->WriteIntoBuffer(s.data(), 512, 1);
    int bottom = 0;
    for (int x = 0; x < 256; ++x)
        bottom += px(a->Picture(), x, 100) == 0xFFFFFFu;
    EXPECT_GE(bottom, 250);  // one point a column, nearly all on the bottom row
}

} // namespace
