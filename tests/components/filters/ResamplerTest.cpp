#include "QelCPUDetect.h"
#include "QelResampler.h"

#include <gtest/gtest.h>

#include "FilterModels.h"

namespace {

// Zero-stuff by Over, filter, keep every Under-th value, over the whole stream; a new resampler's
// history is silence and anything past the stream reads as silence too.
std::vector<int32_t> directModel(const std::vector<int32_t>& taps, const std::vector<int32_t>& x, uint32_t U, uint32_t D) {
    const size_t T = taps.size();
    const size_t H = T / U;
    std::vector<int32_t> full(H, 0);
    full.insert(full.end(), x.begin(), x.end());
    full.resize(full.size() + T + 1, 0);
    std::vector<int32_t> y;
    for (uint64_t P = 0; P < x.size() * U; P += D) {
        const uint64_t e = (U - P % U) % U;
        const uint64_t base = (P + e) / U;
        uint64_t s = 0;
        for (uint64_t j = 0; e + j * U < T; ++j) s += static_cast<uint64_t>(static_cast<int64_t>(full[base + j]) * taps[e + j * U]);
        y.push_back(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(s * U) >> 31))));
    }
    return y;
}

std::vector<int32_t> tapsOf(const TQelResampler& r) { return model::tapsOf(r.Designer()); }

TEST(Resampler, DefaultsAndClamps) {
    TQelResampler r;
    EXPECT_EQ(r.BufferSize(), 1024u);
    EXPECT_EQ(r.GetFIRTapsNum(), 31u);
    EXPECT_EQ(r.Over(), 1u);
    EXPECT_EQ(r.Under(), 1u);
    EXPECT_EQ(r.Designer().SamplingRate(), 235u);
    EXPECT_EQ(r.Designer().CutOffHigh(), 100u);
    EXPECT_EQ(r.Designer().FIRType(), ftLowPass);
    r.SetFIRTapsNum(32);
    r.SetOver(2);
    EXPECT_EQ(r.GetFIRTapsNum(), 33u);
    EXPECT_EQ(r.History(), 16u);
    r.SetUnder(3);
    EXPECT_EQ(r.Designer().SamplingRate(), 470u);
    r.SetOver(0);
    r.SetUnder(0);
    r.SetBufferSize(0);
    r.SetFIRTapsNum(0);
    EXPECT_EQ(r.Over(), 1u);
    EXPECT_EQ(r.Under(), 1u);
    EXPECT_EQ(r.BufferSize(), 1u);
    EXPECT_EQ(r.GetFIRTapsNum(), 1u);
}

TEST(Resampler, OutputCountsCarryThePhase) {
    struct Case { uint32_t over, under, frames; std::vector<int32_t> counts; };
    const Case cases[] = {
        {1, 4, 1024, {256, 256, 256, 256}},
        {1, 4, 1023, {256, 256, 256, 255}},
        {2, 1, 1000, {2000, 2000}},
        {1, 1, 700, {700, 700}},
        {3, 2, 5, {8, 7, 8, 7}},
    };
    for (const Case& c : cases) {
        TQelResampler r;
        r.SetOver(c.over);
        r.SetUnder(c.under);
        const auto in = model::random16(c.frames, 1);
        std::vector<int16_t> out(r.OutputCapacity());
        for (size_t k = 0; k < c.counts.size(); ++k)
            EXPECT_EQ(r.ProcessBuffer(out.data(), in.data(), static_cast<int32_t>(c.frames), 1), c.counts[k])
                << c.over << ":" << c.under << " call " << k;
    }
}

TEST(Resampler, AnyBlockSplitMatchesTheDirectModel) {
    struct Case { uint32_t over, under, taps; };
    // taps mod over <= 1: no output reaches past the frames given
    const Case cases[] = {{1, 4, 31}, {1, 1, 31}, {2, 1, 31}, {3, 2, 31}, {4, 3, 33}, {5, 7, 31}, {2, 5, 9}};
    const auto x = model::random32(3000, 4, -(1 << 30), 1 << 30);
    for (uint8_t code : {0, 17}) {
        TQelCPUCodeScope scope(code);
        for (const Case& c : cases) {
            TQelResampler r;
            r.SetBufferSize(512);
            r.SetFIRTapsNum(c.taps);
            r.SetOver(c.over);
            r.SetUnder(c.under);
            const auto expected = directModel(tapsOf(r), x, c.over, c.under);
            std::vector<int32_t> out(x.size() * c.over + 16);
            size_t pos = 0, written = 0, k = 0;
            const size_t pieces[] = {1, 511, 512, 37, 600, 2};
            while (pos < x.size()) {
                const size_t n = std::min(pieces[k++ % 6], x.size() - pos);
                written += r.ProcessBuffer(out.data() + written, x.data() + pos, static_cast<int32_t>(n), 1);
                pos += n;
            }
            out.resize(written);
            EXPECT_EQ(out, expected) << int(code) << " " << c.over << ":" << c.under << " T" << c.taps;
        }
    }
}

TEST(Resampler, SpareValuesAreSilenceAfterEveryReallocation) {
    // 31 taps at Over 4: the last output of a full block reads one value past the frames given.
    const auto x = model::random32(256, 8, -(1 << 30), 1 << 30);
    for (uint8_t code : {0, 17}) {
        TQelCPUCodeScope scope(code);
        TQelResampler r;
        r.SetBufferSize(256);
        r.SetOver(4);
        r.SetFIRTapsNum(29);
        r.SetFIRTapsNum(31);
        std::vector<int32_t> out(1100);
        const int32_t n = r.ProcessBuffer(out.data(), x.data(), 256, 1);
        out.resize(n);
        EXPECT_EQ(out, directModel(tapsOf(r), x, 4, 1)) << int(code);
    }
}

TEST(Resampler, ConstantInputSettlesAtTheSameConstant) {
    for (uint32_t under : {1u, 2u, 4u, 7u}) {
        TQelResampler r;
        r.SetUnder(under);
        const std::vector<int16_t> in(2000, 10000);
        std::vector<int16_t> out(2001);
        const int32_t n = r.ProcessBuffer(out.data(), in.data(), 2000, 1);
        ASSERT_GT(n, 100);
        for (int32_t i = n - 50; i < n; ++i) EXPECT_NEAR(out[i], 10000, 2) << under;
    }
}

TEST(Resampler, StereoStrideAndRefusals) {
    TQelResampler r;
    r.SetUnder(2);
    std::vector<int16_t> in(400);
    for (size_t i = 0; i < in.size(); ++i) in[i] = i % 2 ? -30000 : 5000;
    std::vector<int32_t> out(200, 7);
    EXPECT_EQ(r.ProcessBuffer(out.data(), in.data(), 400, 2), 100);  // 200 frames of the left channel
    EXPECT_NEAR(out[99], 5000, 2);
    EXPECT_EQ(out[100], 7);
    std::fill(out.begin(), out.end(), 7);
    for (int32_t stride : {0, -1}) EXPECT_EQ(r.ProcessBuffer(out.data(), in.data(), 400, stride), 0);
    EXPECT_EQ(r.ProcessBuffer(out.data(), in.data(), 0, 1), 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int32_t v) { return v == 7; }));
}

}  // namespace
