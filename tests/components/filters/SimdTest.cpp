#include "QelAFSKDemod.h"
#include "QelCPUDetect.h"
#include "QelFIR.h"
#include "QelResampler.h"
#include "QelSimd.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "FilterModels.h"

namespace {

class SimdTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QelSimdAvailable(TQelSimd::AVX2)) GTEST_SKIP() << "no vector unit on this processor";
    }
    void TearDown() override { QelLimitSimd(TQelSimd::AVX2); }
};

TEST_F(SimdTest, InnerLoopsAreBitIdenticalOnRandomInput) {
    // Extreme values included, so that every sum wraps.
    auto x = model::random32(600, 1);
    auto t = model::random32(600, 2);
    x[0] = x[1] = t[0] = t[1] = INT32_MIN;
    x[2] = t[2] = INT32_MAX;
    std::vector<int32_t> th(600);
    for (size_t i = 0; i < th.size(); ++i) th[i] = t[i] >> 16;
    for (uint32_t n : {0u, 1u, 7u, 8u, 9u, 31u, 32u, 33u, 255u, 600u}) {
        for (uint32_t off : {0u, 1u, 3u}) {
            const uint32_t m = std::min(n, 600u - off);
            EXPECT_EQ(QelDot64AVX2(x.data() + off, t.data(), m), QelDot64Scalar(x.data() + off, t.data(), m)) << n;
            EXPECT_EQ(QelDotHi16AVX2(x.data() + off, th.data(), m), QelDotHi16Scalar(x.data() + off, th.data(), m)) << n;
            std::vector<int32_t> a(m), b(m);
            QelMulWrapAVX2(a.data(), x.data() + off, t.data(), m);
            QelMulWrapScalar(b.data(), x.data() + off, t.data(), m);
            EXPECT_EQ(a, b) << n;
        }
    }
}

TEST_F(SimdTest, BlockLoopsGiveEveryOutputOfThePlainLoopOnRandomInput) {
    // Every tap count up to seven registers' worth and beyond, blocks of odd lengths, wrapping sums.
    auto x = model::random32(900, 3);
    auto t = model::random32(80, 4);
    x[5] = t[0] = INT32_MIN;
    x[6] = t[1] = INT32_MAX;
    std::vector<int32_t> th(t.size());
    for (size_t i = 0; i < th.size(); ++i) th[i] = t[i] >> 16;
    for (uint32_t n = 1; n <= 72; ++n) {
        for (uint32_t frames : {1u, 7u, 64u, 801u}) {
            std::vector<uint64_t> got(frames), want(frames);
            QelDot64BlockAVX2(got.data(), x.data(), t.data(), n, frames);
            QelDot64BlockScalar(want.data(), x.data(), t.data(), n, frames);
            ASSERT_EQ(got, want) << n << " taps, " << frames << " frames";
            for (uint32_t i = 0; i < frames; i += 97) ASSERT_EQ(want[i], QelDot64Scalar(x.data() + i, t.data(), n));
            std::vector<uint32_t> got16(frames), want16(frames);
            QelDotHi16BlockAVX2(got16.data(), x.data(), th.data(), n, frames);
            QelDotHi16BlockScalar(want16.data(), x.data(), th.data(), n, frames);
            ASSERT_EQ(got16, want16) << n << " taps, " << frames << " frames";
        }
    }
}

TEST_F(SimdTest, ComponentsGiveTheSameOutputScalarOrVector) {
    const auto x = model::random32(5000, 9);
    const auto x16 = model::random16(5000, 10);
    for (const uint8_t code : {0, 8, 10, 17}) {
        TQelCPUCodeScope scope(code);
        std::vector<int32_t> fir[2], slice[2], afsk[2], res[2];
        for (int level = 0; level < 2; ++level) {
            QelLimitSimd(level ? TQelSimd::AVX2 : TQelSimd::Scalar);
            TQelFIR f, g;
            f.SetFIRType(ftBandPass);
            g.SetFIRType(ftLowPass);
            g.SetTapsNum(45);
            fir[level].resize(x.size());
            slice[level].resize(x.size());
            f.ProcessBuffer(fir[level].data(), x.data(), 5000, 1);
            g.ProcessBufferADE(slice[level].data(), x.data(), 5000, 1);

            TQelAFSKDemod d;
            afsk[level].resize(x16.size());
            d.ProcessBuffer(afsk[level].data(), x16.data(), 5000, 1);

            TQelResampler r;
            r.SetOver(3);
            r.SetUnder(2);
            res[level].resize(8000);
            res[level].resize(r.ProcessBuffer(res[level].data(), x.data(), 5000, 1));
        }
        EXPECT_EQ(fir[0], fir[1]) << int(code);
        EXPECT_EQ(slice[0], slice[1]) << int(code);
        EXPECT_EQ(afsk[0], afsk[1]) << int(code);
        EXPECT_EQ(res[0], res[1]) << int(code);
    }
}

// Each count and stride around the vector loop's length; the samples end exactly where the last
// one is read, so a read past it is a heap overflow under the address sanitizer.
TEST(QelGather16, TakesEveryStridethSampleAndReadsNoFurther) {
    std::mt19937 random(99);
    for (uint32_t stride : {1u, 2u, 3u})
        for (uint32_t m = 1; m <= 40; ++m) {
            std::vector<int16_t> in(size_t(m - 1) * stride + 1);
            for (int16_t& x : in) x = int16_t(random());
            std::vector<int16_t> out(m);
            QelGather16(in.data(), m, stride, out.data());
            for (uint32_t k = 0; k < m; ++k) ASSERT_EQ(out[k], in[size_t(k) * stride]) << stride << " " << m << " " << k;
        }
}

}  // namespace
