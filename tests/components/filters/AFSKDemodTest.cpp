#include "QelAFSKDemod.h"
#include "QelCPUDetect.h"
#include "QelDelayLine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "FilterModels.h"

namespace {

// The decoder window's setting: band 600-2400 Hz, low-pass 1200 Hz, 31 taps, Delay 9, 11025 Hz.
void mpt1327(TQelAFSKDemod& d) {
    d.SetSamplingRate(11025);
    d.SetBPCutOffLow(600);
    d.SetBPCutOffHigh(2400);
    d.SetBPTapsNum(31);
    d.SetLPCutOff(1200);
    d.SetLPTapsNum(31);
    d.SetDelay(9);
    d.SetBufferSize(2048);
}

// A stereo capture buffer with the tone on the left channel and noise on the right.
std::vector<int16_t> stereoTone(double hz, size_t frames) {
    const auto noise = model::random16(frames, 5);
    std::vector<int16_t> v(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        v[2 * i] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * hz * i / 11025.0)));
        v[2 * i + 1] = noise[i];
    }
    return v;
}

TEST(DelayLine, ProductsWithTheFrameDelayEarlierAcrossBlocks) {
    const auto x = model::random32(1000, 21);
    for (uint8_t code : {0, 8}) {
        TQelCPUCodeScope scope(code);
        TQelDelayLine d;
        d.SetDelay(9);
        d.SetBufferSize(100);
        std::vector<int32_t> out(1000);
        for (size_t pos = 0; pos < x.size(); pos += 100) {
            std::copy(x.begin() + pos, x.begin() + pos + 100, d.GetDataInput());
            d.DelayAndMultiply();
            std::copy(d.GetDataOutput(), d.GetDataOutput() + 100, out.begin() + pos);
        }
        for (size_t i = 0; i < x.size(); ++i) {
            const int32_t earlier = i >= 9 ? x[i - 9] : 0;  // a new line starts from silence
            ASSERT_EQ(out[i], static_cast<int32_t>(static_cast<uint32_t>(x[i]) * static_cast<uint32_t>(earlier))) << i;
        }
    }
}

TEST(DelayLine, ClampsAndDropsHistory) {
    TQelDelayLine d;
    EXPECT_EQ(d.BufferSize(), 1024u);
    EXPECT_EQ(d.Delay(), 10u);
    d.SetDelay(0);
    d.SetBufferSize(0);
    EXPECT_EQ(d.Delay(), 1u);
    EXPECT_EQ(d.BufferSize(), 1u);
    d.SetBufferSize(4);
    std::fill(d.GetDataInput(), d.GetDataInput() + 4, 1000);
    d.DelayAndMultiply();
    d.SetDelay(2);  // history lost
    std::fill(d.GetDataInput(), d.GetDataInput() + 4, 3);
    d.DelayAndMultiply();
    EXPECT_EQ(std::vector<int32_t>(d.GetDataOutput(), d.GetDataOutput() + 4), (std::vector<int32_t>{0, 0, 9, 9}));
}

TEST(AFSKDemod, PropertiesForwardToTheOwnedStages) {
    TQelAFSKDemod d;
    EXPECT_EQ(d.BPCutOffLow(), 1000u);
    EXPECT_EQ(d.BPCutOffHigh(), 3000u);
    EXPECT_EQ(d.BPTapsNum(), 31u);
    EXPECT_EQ(d.LPCutOff(), 3000u);
    EXPECT_EQ(d.LPTapsNum(), 31u);
    EXPECT_EQ(d.Delay(), 10u);
    EXPECT_EQ(d.SamplingRate(), 11025u);
    EXPECT_EQ(d.BufferSize(), 1024u);
    EXPECT_EQ(d.BandPass().FIRType(), ftBandPass);
    EXPECT_EQ(d.LowPass().FIRType(), ftLowPass);

    d.SetBufferSize(2048);
    EXPECT_EQ(d.BandPass().BufferSize(), 2048u);
    EXPECT_EQ(d.DelayLine().BufferSize(), 2048u);
    EXPECT_EQ(d.LowPass().BufferSize(), 2048u);
    d.SetBPCutOffHigh(6000);
    EXPECT_EQ(d.BandPass().CutOffHigh(), 5512u);
    d.SetDelay(0);
    EXPECT_EQ(d.Delay(), 1u);
    d.SetSamplingRate(8000);
    EXPECT_EQ(d.LowPass().SamplingRate(), 8000u);
    EXPECT_EQ(d.LowPass().CutOffHigh(), 3000u);
    EXPECT_EQ(d.BPCutOffHigh(), 4000u);
}

TEST(AFSKDemod, MarkAndSpaceTonesGiveConstantLevels) {
    struct Case { double hz; int level; };
    for (const auto& kc : model::kKernelCodes) {
        for (const Case& c : {Case{1200, 1}, Case{1800, 0}}) {
            TQelCPUCodeScope scope(kc.code);
            TQelAFSKDemod d;
            mpt1327(d);
            const auto in = stereoTone(c.hz, 4096);
            std::vector<int32_t> out32(4096, 7);
            std::vector<int16_t> out16(4096, 7);
            ASSERT_TRUE(d.ProcessBuffer(out32.data(), in.data(), 8192, 2));
            TQelAFSKDemod e;
            mpt1327(e);
            ASSERT_TRUE(e.ProcessBuffer(out16.data(), in.data(), 8192, 2));
            // after the two filters and the delay have filled
            for (size_t i = 80; i < out32.size(); ++i) {
                ASSERT_EQ(out32[i], c.level) << QelFIRKernelName(kc.kernel) << " " << c.hz << " Hz at " << i;
                ASSERT_EQ(out16[i], c.level) << QelFIRKernelName(kc.kernel) << " " << c.hz << " Hz at " << i;
            }
        }
    }
}

TEST(AFSKDemod, ThirtyTwoBitOverloadsGiveLevelsToo) {
    TQelCPUCodeScope scope(8);
    TQelAFSKDemod d;
    mpt1327(d);
    std::vector<int32_t> in(3000);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int32_t>(std::lround(12000 * std::sin(2 * std::numbers::pi * 1800 * i / 11025.0)));
    std::vector<int32_t> a(3000, 7);
    std::vector<int16_t> b(3000, 7);
    d.ProcessBuffer(a.data(), in.data(), 3000, 1);
    TQelAFSKDemod e;
    mpt1327(e);
    e.ProcessBuffer(b.data(), in.data(), 3000, 1);
    for (size_t i = 80; i < in.size(); ++i) {
        ASSERT_EQ(a[i], 0) << i;
        ASSERT_EQ(b[i], 0) << i;
    }
}

TEST(AFSKDemod, WritesOneValuePerFrameAndNothingBeyond) {
    struct Case { int32_t count; size_t written; };
    const Case cases[] = {{4096, 2048}, {8192, 4096}, {4095, 2048}, {4102, 2051}, {6, 3}, {0, 0}, {-4, 0}};
    const auto in = stereoTone(1200, 4200);
    for (const Case& c : cases) {
        TQelAFSKDemod d;
        mpt1327(d);
        std::vector<int32_t> out(4200, 7);
        std::vector<int16_t> out16(4200, 7);
        EXPECT_TRUE(d.ProcessBuffer(out.data(), in.data(), c.count, 2));
        EXPECT_TRUE(d.ProcessBuffer(out16.data(), in.data(), c.count, 2));
        EXPECT_TRUE(std::all_of(out.begin(), out.begin() + c.written, [](int32_t v) { return v == 0 || v == 1; })) << c.count;
        EXPECT_TRUE(std::all_of(out.begin() + c.written, out.end(), [](int32_t v) { return v == 7; })) << c.count;
        EXPECT_TRUE(std::all_of(out16.begin() + c.written, out16.end(), [](int16_t v) { return v == 7; })) << c.count;
    }
}

TEST(AFSKDemod, BlockSplitDoesNotChangeTheLevels) {
    // FSK with a changing bit pattern, fed whole and in uneven pieces.
    std::vector<int16_t> in(6000);
    double phase = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        phase += 2 * std::numbers::pi * (((i / 9) * 2654435761u >> 7) % 2 ? 1200 : 1800) / 11025.0;
        in[i] = static_cast<int16_t>(std::lround(15000 * std::sin(phase)));
    }
    for (const auto& kc : model::kKernelCodes) {
        TQelCPUCodeScope scope(kc.code);
        TQelAFSKDemod whole, pieces;
        mpt1327(whole);
        mpt1327(pieces);
        std::vector<int32_t> a(in.size()), b(in.size());
        whole.ProcessBuffer(a.data(), in.data(), static_cast<int32_t>(in.size()), 1);
        size_t pos = 0;
        for (int32_t n : {1, 100, 2047, 2048, 13, 1791}) {
            pieces.ProcessBuffer(b.data() + pos, in.data() + pos, n, 1);
            pos += n;
        }
        ASSERT_EQ(pos, in.size());
        EXPECT_EQ(a, b) << QelFIRKernelName(kc.kernel);
        EXPECT_GT(std::count(a.begin(), a.end(), 1), 1000);
        EXPECT_GT(std::count(a.begin(), a.end(), 0), 1000);
    }
}

TEST(AFSKDemod, ComputeMatchesProcessBuffer) {
    std::vector<int32_t> in(2048);
    for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int32_t>(std::lround(1e4 * std::sin(0.9 * i)));
    TQelAFSKDemod a, b;
    mpt1327(a);
    mpt1327(b);
    std::vector<int32_t> viaBuffer(2048);
    a.ProcessBuffer(viaBuffer.data(), in.data(), 2048, 1);
    std::copy(in.begin(), in.end(), b.GetDataInput());
    b.Compute();
    EXPECT_EQ(std::vector<int32_t>(b.GetDataOutput(), b.GetDataOutput() + 2048), viaBuffer);
}

TEST(AFSKDemod, RefusesStrideZeroOrNegative) {
    TQelAFSKDemod d;
    const std::vector<int16_t> in(64, 1000);
    std::vector<int32_t> out(64, 7);
    for (int32_t stride : {0, -2}) EXPECT_FALSE(d.ProcessBuffer(out.data(), in.data(), 64, stride));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t v) { return v == 7; }));
}

}  // namespace
