#include "QelCPUDetect.h"
#include "QelFIR.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>

#include "FilterModels.h"

namespace {

double tapsSum(const TQelFIR& f) {
    double s = 0;
    for (int32_t t : model::tapsOf(f)) s += t / 2147483648.0;
    return s;
}

double gainAt(const TQelFIR& f, double hz) {
    const auto t = model::tapsOf(f);
    const int M = static_cast<int>(t.size() / 2);
    double re = 0;
    for (size_t k = 0; k < t.size(); ++k)
        re += t[k] / 2147483648.0 * std::cos(2 * std::numbers::pi * hz / f.SamplingRate() * (static_cast<int>(k) - M));
    return re;
}

TEST(FIR, NewInstanceIsSaturatedUnitImpulse) {
    struct Case { uint8_t code; int32_t expected; };
    const Case cases[] = {{0, 32767}, {10, 32767}, {17, 32767}, {8, 65535}, {16, 65535}, {23, 65535}};
    for (const Case& c : cases) {
        TQelCPUCodeScope scope(c.code);
        TQelFIR f;
        EXPECT_EQ(f.TapsNum(), 31u);
        EXPECT_EQ(f.BufferSize(), 1024u);
        EXPECT_EQ(f.SamplingRate(), 11025u);
        const auto taps = model::tapsOf(f);
        EXPECT_EQ(taps[15], INT32_MAX);
        EXPECT_EQ(std::count(taps.begin(), taps.end(), 0), 30);

        std::vector<int32_t> in(20, 0), out(20, -1);
        in[0] = 65536;
        ASSERT_TRUE(f.ProcessBuffer(out.data(), in.data(), 20, 1));
        for (int i = 0; i < 20; ++i) EXPECT_EQ(out[i], i == 15 ? c.expected : 0) << int(c.code) << " at " << i;
    }
}

TEST(FIR, SetterClamps) {
    struct Case {
        const char* what;
        void (*apply)(TQelFIR&);
        uint32_t taps, low, high, rate;
    };
    const Case cases[] = {
        {"taps 32", [](TQelFIR& f) { f.SetTapsNum(32); }, 33, 1000, 3000, 11025},
        {"taps 0", [](TQelFIR& f) { f.SetTapsNum(0); }, 1, 1000, 3000, 11025},
        {"high 6000", [](TQelFIR& f) { f.SetCutOffHigh(6000); }, 31, 1000, 5512, 11025},
        {"high 1", [](TQelFIR& f) { f.SetCutOffHigh(1); }, 31, 1, 2, 11025},
        {"high below low", [](TQelFIR& f) { f.SetCutOffHigh(500); }, 31, 499, 500, 11025},
        {"low 6000", [](TQelFIR& f) { f.SetCutOffLow(6000); }, 31, 5511, 5512, 11025},
        {"low 0", [](TQelFIR& f) { f.SetCutOffLow(0); }, 31, 1, 3000, 11025},
        {"low above high", [](TQelFIR& f) { f.SetCutOffLow(4000); }, 31, 4000, 4001, 11025},
        {"rate 2000", [](TQelFIR& f) { f.SetSamplingRate(2000); }, 31, 999, 1000, 2000},
        {"rate 1", [](TQelFIR& f) { f.SetSamplingRate(1); }, 31, 1, 2, 4},
    };
    for (const Case& c : cases) {
        TQelFIR f;
        c.apply(f);
        EXPECT_EQ(f.TapsNum(), c.taps) << c.what;
        EXPECT_EQ(f.CutOffLow(), c.low) << c.what;
        EXPECT_EQ(f.CutOffHigh(), c.high) << c.what;
        EXPECT_EQ(f.SamplingRate(), c.rate) << c.what;
    }
    TQelFIR f;
    f.SetBufferSize(0);
    EXPECT_EQ(f.BufferSize(), 1u);
}

TEST(FIR, LoadTapsWithSaturatesAndPads) {
    struct Case { double value; int32_t tap; };
    const Case cases[] = {{1.0, INT32_MAX}, {-1.0, INT32_MIN}, {0.5, 1073741824}, {-0.5, -1073741824},
                          {2.5, INT32_MAX}, {-3.0, INT32_MIN}, {1e-10, 0}, {-0.75, -1610612736}};
    std::vector<double> values;
    for (const Case& c : cases) values.push_back(c.value);
    TQelFIR f;
    f.LoadTapsWith(values.data(), static_cast<uint32_t>(values.size()));  // 8 values: 9 taps
    ASSERT_EQ(f.TapsNum(), 9u);
    const auto taps = model::tapsOf(f);
    for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(taps[i], cases[i].tap) << cases[i].value;
    EXPECT_EQ(taps[8], 0);

    // The loaded taps are the ones the filter runs: an impulse reads them back, oldest tap last.
    std::vector<int32_t> in(9, 0), out(9);
    in[0] = INT32_MAX;
    TQelCPUCodeScope scope(8);
    TQelFIR g;
    g.LoadTapsWith(values.data(), 8);
    g.ProcessBuffer(out.data(), in.data(), 9, 1);
    EXPECT_EQ(out[8 - 2], static_cast<int32_t>((static_cast<int64_t>(INT32_MAX) * 1073741824) >> 31));
}

TEST(FIR, DesignGains) {
    struct Case { TQelFIRType type; uint32_t taps, low, high; };
    const Case cases[] = {{ftLowPass, 31, 1000, 3000}, {ftLowPass, 63, 100, 1200}, {ftLowPass, 3, 10, 5000},
                          {ftBandPass, 31, 600, 2400}, {ftBandPass, 127, 1000, 1500}, {ftBandPass, 5, 300, 3300}};
    for (const Case& c : cases) {
        TQelFIR f;
        f.SetTapsNum(c.taps);
        f.SetCutOffLow(c.low);
        f.SetCutOffHigh(c.high);
        f.SetFIRType(c.type);
        if (c.type == ftLowPass)
            EXPECT_NEAR(tapsSum(f), 1.0, c.taps * 1e-9) << c.taps;  // unity at 0 Hz
        else
            EXPECT_NEAR(gainAt(f, (c.low + c.high) / 2.0), 1.0, c.taps * 1e-9) << c.taps;  // unity at centre
        const auto t = model::tapsOf(f);
        for (size_t k = 0; k < t.size(); ++k) EXPECT_EQ(t[k], t[t.size() - 1 - k]);  // linear phase
    }
}

TEST(FIR, HighPassIsLowPassMinusImpulse) {
    TQelFIR hp, ref;
    hp.SetCutOffLow(1500);  // the high-pass cut-off
    hp.SetFIRType(ftHighPass);
    ref.SetCutOffHigh(1500);  // a low-pass at the same frequency
    ref.SetFIRType(ftLowPass);
    const auto h = model::tapsOf(hp), l = model::tapsOf(ref);
    EXPECT_NEAR(h[15] / 2147483648.0, l[15] / 2147483648.0 - 1.0, 2e-9);
    for (int k = 0; k < 31; ++k) {
        if (k != 15) {
            EXPECT_NEAR(h[k], l[k], 1) << k;
        }
    }
    EXPECT_NEAR(tapsSum(hp), 0.0, 1e-7);

    TQelFIR one;
    one.SetTapsNum(1);
    one.SetFIRType(ftHighPass);
    EXPECT_EQ(model::tapsOf(one), std::vector<int32_t>{0});
    one.SetFIRType(ftBandPass);
    EXPECT_EQ(model::tapsOf(one), std::vector<int32_t>{INT32_MAX});
}

TEST(FIR, CompensationOnlyWithAResponseTable) {
    TQelFIR plain;
    plain.SetFIRType(ftBandPass);
    for (TQelFIRCompensType t : {fcUserDef, fcTavik1_A, fcSorn1X_D, fcMerro1_D}) {
        TQelFIR f;
        f.SetFIRType(ftBandPass);
        f.SetCompensType(t);
        EXPECT_EQ(model::tapsOf(f), model::tapsOf(plain)) << int(t);
    }
    for (TQelFIRCompensType t : {fcMerro1X_A, fcMerro1X_D}) {
        TQelFIR f;
        f.SetFIRType(ftBandPass);
        f.SetCompensType(t);
        EXPECT_NE(model::tapsOf(f), model::tapsOf(plain)) << int(t);
    }
}

TEST(FIR, ResponseTableRows) {
    struct Case { uint32_t hz; double a, d; };
    const Case cases[] = {{0, 0.0082, 7.7691},    {10, 0.0164, 1.8521},   {100, 0.7073, 1.2815},
                          {500, 1.8646, 1.2399},  {1000, 1.3626, 1.1881}, {3000, 0.3287, 0.9235},
                          {5000, 0.1190, 0.6693}, {10000, 0.0201, 0.2853}, {12000, 0.0060, 0.1012},
                          {22050, 0.0, 0.0104}};
    const double* a = QelFIRResponseTable(fcMerro1X_A);
    const double* d = QelFIRResponseTable(fcMerro1X_D);
    ASSERT_TRUE(a && d);
    EXPECT_EQ(QelFIRResponseTable(fcMerro1_A), nullptr);
    for (const Case& c : cases) {
        EXPECT_NEAR(a[c.hz / 10], c.a, 1e-9) << c.hz;
        EXPECT_NEAR(d[c.hz / 10], c.d, 1e-9) << c.hz;
    }
    EXPECT_EQ(std::max_element(a, a + QelResponseEntries) - a, 46);
    EXPECT_NEAR(a[46], 1.8736, 1e-9);
    EXPECT_EQ(std::count_if(a, a + QelResponseEntries, [](double v) { return v <= 0.1; }), 1664);
    EXPECT_EQ(std::count_if(d, d + QelResponseEntries, [](double v) { return v <= 0.1; }), 1005);
    EXPECT_TRUE(std::all_of(a + 1644, a + QelResponseEntries, [](double v) { return v == 0.0; }));
}

TEST(FIR, CompensationStaysInsideTheTableAtAnyRate) {
    // Above 44100 Hz the design would need entries past 22050 Hz, below 20 Hz no interval at all.
    for (uint32_t rate : {4u, 19u, 20u, 44100u, 48000u, 96000u, 192000u}) {
        for (TQelFIRCompensType t : {fcMerro1X_A, fcMerro1X_D}) {
            TQelFIR f;
            f.SetSamplingRate(rate);
            f.SetCompensType(t);
            f.SetFIRType(ftLowPass);
            const auto taps = model::tapsOf(f);
            double magnitude = 0;
            for (size_t k = 0; k < taps.size(); ++k) {
                EXPECT_EQ(taps[k], taps[taps.size() - 1 - k]) << rate;
                magnitude += std::abs(taps[k] / 2147483648.0);
            }
            EXPECT_GT(magnitude, 0.1) << rate;  // a real design, not the zeros of a failed division
            EXPECT_NE(taps[15], 0) << rate;
        }
    }
}

TEST(FIR, KernelsMatchTheirArithmeticOverAnyBlockSplit) {
    const auto x = model::random32(3000, 7);
    const uint32_t splits[] = {1, 5, 64, 700, 3000};
    for (const auto& kc : model::kKernelCodes) {
        TQelCPUCodeScope scope(kc.code);
        for (bool slice : {false, true}) {
            TQelFIR f;
            f.SetBufferSize(256);
            f.SetCutOffLow(600);
            f.SetCutOffHigh(2400);
            f.SetFIRType(ftBandPass);
            const auto expected = model::fir(model::tapsOf(f), x, kc.kernel, slice);
            std::vector<int32_t> out(x.size());
            size_t pos = 0, s = 0;
            while (pos < x.size()) {
                const int32_t n = static_cast<int32_t>(std::min<size_t>(splits[s++ % 5], x.size() - pos));
                if (slice)
                    f.ProcessBufferADE(out.data() + pos, x.data() + pos, n, 1);
                else
                    f.ProcessBuffer(out.data() + pos, x.data() + pos, n, 1);
                pos += n;
            }
            EXPECT_EQ(out, expected) << QelFIRKernelName(kc.kernel) << (slice ? " slice" : "");
        }
    }
}

TEST(FIR, SixteenBitOverloadsScaleInAndOut) {
    const auto x16 = model::random16(2500, 3);
    std::vector<int32_t> x32(x16.size());
    for (size_t i = 0; i < x16.size(); ++i) x32[i] = x16[i] * 65536;
    for (const auto& kc : model::kKernelCodes) {
        TQelCPUCodeScope scope(kc.code);
        auto make = [] {
            auto f = std::make_unique<TQelFIR>();
            f->SetFIRType(ftLowPass);
            f->SetBufferSize(1000);
            return f;
        };
        const auto y = model::fir(model::tapsOf(*make()), x32, kc.kernel, false);
        std::vector<int32_t> o32(x16.size());
        std::vector<int16_t> o16(x16.size()), o16b(x16.size());
        make()->ProcessBuffer(o32.data(), x16.data(), static_cast<int32_t>(x16.size()), 1);
        make()->ProcessBuffer(o16.data(), x16.data(), static_cast<int32_t>(x16.size()), 1);
        make()->ProcessBuffer(o16b.data(), x32.data(), static_cast<int32_t>(x32.size()), 1);
        for (size_t i = 0; i < y.size(); ++i) {
            ASSERT_EQ(o32[i], y[i] >> 16) << i;
            ASSERT_EQ(o16[i], static_cast<int16_t>(y[i] >> 16)) << i;
            ASSERT_EQ(o16b[i], static_cast<int16_t>(y[i] >> 16)) << i;
        }
    }
}

TEST(FIR, SliceWritesOnlyZeroAndOneInEveryOverload) {
    const auto x16 = model::random16(3000, 11);
    const auto x32 = model::random32(3000, 12);
    for (const auto& kc : model::kKernelCodes) {
        TQelCPUCodeScope scope(kc.code);
        TQelFIR f;
        f.SetFIRType(ftLowPass);
        std::vector<int32_t> a(3000, 7), b(3000, 7);
        std::vector<int16_t> c(3000, 7), d(3000, 7);
        f.ProcessBufferADE(a.data(), x32.data(), 3000, 1);
        f.ProcessBufferADE(b.data(), x16.data(), 3000, 1);
        f.ProcessBufferADE(c.data(), x32.data(), 3000, 1);
        f.ProcessBufferADE(d.data(), x16.data(), 3000, 1);
        auto binary = [](auto& v) { return std::all_of(v.begin(), v.end(), [](auto e) { return e == 0 || e == 1; }); };
        EXPECT_TRUE(binary(a) && binary(b) && binary(c) && binary(d)) << int(kc.code);
        EXPECT_GT(std::count(a.begin(), a.end(), 1), 100);
        EXPECT_GT(std::count(a.begin(), a.end(), 0), 100);
    }
}

TEST(FIR, StrideTakesOneChannelAndFullBlocks) {
    // Left channel counts up, right channel is noise that must not leak in.
    struct Case { int32_t count; size_t frames; };
    for (const Case& c : {Case{4096, 2048}, Case{4095, 2048}, Case{4097, 2049}, Case{3, 2}}) {
        std::vector<int32_t> in(4098);
        for (size_t i = 0; i < in.size(); ++i) in[i] = i % 2 == 0 ? static_cast<int32_t>(i / 2 + 1) * 4096 : 0x7FFF0000;
        TQelCPUCodeScope scope(8);
        TQelFIR f;  // unit impulse: output = input 15 frames late, less one unit in the last place
        f.SetBufferSize(2048);
        std::vector<int32_t> out(4098, -5);
        ASSERT_TRUE(f.ProcessBuffer(out.data(), in.data(), c.count, 2));
        for (size_t i = 0; i < c.frames; ++i) ASSERT_EQ(out[i], i < 15 ? 0 : static_cast<int32_t>(i - 15 + 1) * 4096 - 1) << i;
        EXPECT_EQ(out[c.frames], -5) << c.count;  // nothing beyond the frames taken
    }
}

TEST(FIR, RefusesStrideZeroOrNegative) {
    const std::vector<int32_t> in(64, 1 << 20);
    const std::vector<int16_t> in16(64, 100);
    for (int32_t stride : {0, -1, -2}) {
        TQelFIR f;
        std::vector<int32_t> out(64, -5);
        std::vector<int16_t> out16(64, -5);
        EXPECT_FALSE(f.ProcessBuffer(out.data(), in.data(), 64, stride));
        EXPECT_FALSE(f.ProcessBuffer(out16.data(), in16.data(), 64, stride));
        EXPECT_FALSE(f.ProcessBufferADE(out.data(), in16.data(), 64, stride));
        EXPECT_FALSE(f.ProcessBufferADE(out16.data(), in.data(), 64, stride));
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t v) { return v == -5; }));
        EXPECT_TRUE(std::all_of(out16.begin(), out16.end(), [](int16_t v) { return v == -5; }));
    }
    TQelFIR f;
    std::vector<int32_t> out(4, -5);
    EXPECT_TRUE(f.ProcessBuffer(out.data(), in.data(), 0, 1));
    EXPECT_EQ(out[0], -5);
}

TEST(FIR, ReallocationStartsFromSilence) {
    TQelCPUCodeScope scope(8);
    TQelFIR f;
    std::vector<int32_t> loud(40, INT32_MAX), out(40);
    f.ProcessBuffer(out.data(), loud.data(), 40, 1);
    f.SetBufferSize(100);  // history dropped: zeros, not the loud frames
    const std::vector<int32_t> quiet(20, 0);
    f.ProcessBuffer(out.data(), quiet.data(), 20, 1);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 20, [](int32_t v) { return v == 0; }));
    f.ProcessBuffer(out.data(), loud.data(), 40, 1);
    f.SetTapsNum(33);
    f.ProcessBuffer(out.data(), quiet.data(), 20, 1);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 20, [](int32_t v) { return v == 0; }));
}

TEST(FIR, ComputeRunsAWholeBlockAtTheInputPosition) {
    TQelCPUCodeScope scope(8);
    TQelFIR f;
    f.SetBufferSize(32);
    std::fill(f.GetDataInput(), f.GetDataInput() + 32, 1 << 24);
    f.Compute();
    EXPECT_EQ(f.GetDataOutput()[14], 0);
    EXPECT_EQ(f.GetDataOutput()[15], (1 << 24) - 1);
    std::fill(f.GetDataInput(), f.GetDataInput() + 32, -(1 << 24));
    f.ComputeAndDataExtract();
    EXPECT_EQ(f.GetDataOutput()[14], 1);  // still the previous block's positive frames
    EXPECT_EQ(f.GetDataOutput()[15], 0);
}

}  // namespace
