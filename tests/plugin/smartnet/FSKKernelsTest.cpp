#include "QelFSKKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

uint64_t Next(uint64_t& seed)
{
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    return seed;
}

// Every difference two 16-bit samples can have, each against the plain division, at every lane of
// the vector loop and in the plain loop after it.
TEST(QelFSKKernels, ThirdOfEveryDifferenceTruncatesTowardZero)
{
    std::vector<int16_t> a, b;
    for (int32_t x = -32768; x <= 32767; ++x)
        for (int16_t y : {int16_t(-32768), int16_t(-1), int16_t(0), int16_t(1), int16_t(32767)}) {
            a.push_back(int16_t(x));
            b.push_back(y);
        }
    for (size_t shift : {0, 1, 3, 7}) {  // the lanes rotate through every position
        const uint32_t n = uint32_t(a.size() - shift);
        std::vector<int16_t> out(n);
        QelFSKThirdOfDifference(a.data() + shift, b.data() + shift, n, out.data());
        for (uint32_t k = 0; k < n; ++k)
            ASSERT_EQ(out[k], (int32_t(a[k + shift]) - int32_t(b[k + shift])) / 3)
                << a[k + shift] << " - " << b[k + shift];
    }
    // The two ends of the range and their neighbours, in a vector and in the tail.
    const int16_t top[] = {32767, 32767, -32768, -32768, 32766, -32767, 1, -1, 2, -2, 3, -3};
    const int16_t bottom[] = {-32768, -32767, 32767, 32766, -32768, 32767, -1, 1, -1, 1, 0, 0};
    int16_t out[12];
    QelFSKThirdOfDifference(top, bottom, 12, out);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(out[k], (int32_t(top[k]) - int32_t(bottom[k])) / 3) << k;
    EXPECT_EQ(out[0], 21845);
    EXPECT_EQ(out[2], -21845);
}

// The envelope recursion written out, one sample at a time.
void PlainEnvelopes(const std::vector<int16_t>& v, int32_t& upper, int32_t& lower, std::vector<int16_t>& up,
                    std::vector<int16_t>& lo)
{
    for (size_t k = 0; k < v.size(); ++k) {
        const int32_t x = v[k];
        if (x >= 0) {
            upper = x >= upper ? x : (upper > 1 ? upper - 1 : 0);
            lower = lower < -1 ? lower + 1 : 0;
        } else {
            lower = x <= lower ? x : (lower < -1 ? lower + 1 : 0);
            upper = upper > 1 ? upper - 1 : 0;
        }
        up[k] = int16_t(upper), lo[k] = int16_t(lower);
    }
}

struct EnvelopeCase {
    const char* name;
    int kind;  // 0 random full range, 1 extremes, 2 silence, 3 runs of equal samples, 4 slow ramps
};

class FSKEnvelopes : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(FSKEnvelopes, EqualThePlainRecursionFromAnyStart)
{
    const EnvelopeCase c = GetParam();
    uint64_t seed = 4242 + uint64_t(c.kind);
    for (int round = 0; round < 300; ++round) {
        const uint32_t m = uint32_t(Next(seed) % 70);
        std::vector<int16_t> v(m);
        int16_t run = 0;
        for (uint32_t k = 0; k < m; ++k) {
            switch (c.kind) {
            case 0: v[k] = int16_t(Next(seed)); break;
            case 1: v[k] = (Next(seed) % 2) ? int16_t(32767) : int16_t(-32768); break;
            case 2: v[k] = 0; break;
            case 3:
                if (Next(seed) % 9 == 0)
                    run = int16_t(Next(seed));
                v[k] = run;
                break;
            default: v[k] = int16_t(int32_t(k % 20) * 3000 - 30000); break;
            }
        }
        // Start envelopes anywhere in their range, the ends included.
        const int32_t starts[] = {0, 1, 7, 8, 9, 32767, int32_t(Next(seed) % 32768)};
        int32_t upper = starts[Next(seed) % 7], lower = -starts[Next(seed) % 7] - int32_t(Next(seed) % 2);
        lower = std::max(lower, -32768);
        int32_t wantUpper = upper, wantLower = lower;
        std::vector<int16_t> up(m), lo(m), wantUp(m), wantLo(m);
        QelFSKEnvelopes(v.data(), m, upper, lower, up.data(), lo.data());
        PlainEnvelopes(v, wantUpper, wantLower, wantUp, wantLo);
        ASSERT_EQ(up, wantUp) << c.name << " round " << round;
        ASSERT_EQ(lo, wantLo) << c.name << " round " << round;
        ASSERT_EQ(upper, wantUpper);
        ASSERT_EQ(lower, wantLower);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FSKEnvelopes, ::testing::Values(
    EnvelopeCase{"random", 0}, EnvelopeCase{"extremes", 1}, EnvelopeCase{"silence", 2},
    EnvelopeCase{"runs", 3}, EnvelopeCase{"ramps", 4}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
