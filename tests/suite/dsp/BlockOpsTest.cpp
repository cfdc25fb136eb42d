// The demodulators' block loops against their sample-by-sample definitions: clamped products over
// the whole 32-bit range, and the next crossing under both zero rules, from every start and limit.
#include "BlockOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

namespace {

TEST(BlockOps, ClampedProductsEqualTheSixtyFourBitProductClamped)
{
    std::mt19937 rng(1);
    const int32_t edges[] = {0, 1, -1, 32767, -32768, 65535, (1 << 15) + 1, 1 << 30, -(1 << 30), INT32_MAX, INT32_MIN};
    for (const int32_t count : {0, 1, 3, 7, 8, 9, 31, 4096}) {
        std::vector<int32_t> y(static_cast<size_t>(count)), w(static_cast<size_t>(count));
        std::vector<int32_t> z(static_cast<size_t>(count) + 1, 12345);
        for (int32_t n = 0; n < count; ++n) {
            y[size_t(n)] = rng() % 3 ? int32_t(rng() % 200001) - 100000 : edges[rng() % std::size(edges)];
            w[size_t(n)] = rng() % 3 ? static_cast<int32_t>(rng()) : edges[rng() % std::size(edges)];
        }
        ClampedProducts(y.data(), w.data(), z.data(), count);
        // With the copy as floats as well.
        std::vector<int32_t> z2(z.size(), 12345);
        std::vector<float> f(z.size(), 0.25f);
        ClampedProducts(y.data(), w.data(), z2.data(), count, f.data());
        for (int32_t n = 0; n < count; ++n) {
            const int64_t p = int64_t(y[size_t(n)]) * w[size_t(n)];
            const int64_t want = std::clamp<int64_t>(p, -((int64_t(1) << 30) - 1), (int64_t(1) << 30) - 1);
            ASSERT_EQ(z[size_t(n)], want) << y[size_t(n)] << " x " << w[size_t(n)];
            ASSERT_EQ(z2[size_t(n)], want) << y[size_t(n)] << " x " << w[size_t(n)];
            ASSERT_EQ(f[size_t(n)], float(want)) << y[size_t(n)] << " x " << w[size_t(n)];
        }
        EXPECT_EQ(z[size_t(count)], 12345) << "written past the end";
        EXPECT_EQ(z2[size_t(count)], 12345) << "written past the end";
        EXPECT_EQ(f[size_t(count)], 0.25f) << "written past the end";
    }
}

template <TZeroCrossing Zero>
int32_t plainNextCrossing(const std::vector<int32_t>& q, int32_t from, int32_t limit, int32_t previous)
{
    for (int32_t n = from; n < limit; ++n) {
        const int32_t before = n == from ? previous : q[size_t(n) - 1];
        const int32_t sign = before > 0 ? 1 : before < 0 ? -1 : 0;
        const bool zero = Zero == TZeroCrossing::AfterZero ? sign == 0 : q[size_t(n)] == 0;
        if (zero || int64_t(sign) * q[size_t(n)] < 0)
            return n;
    }
    return limit;
}

TEST(BlockOps, CrossingBitsEqualTheSampleBySampleSearch)
{
    std::mt19937 rng(2);
    // Runs of one sign of random lengths, zeros among them, and full-scale values.
    std::vector<int32_t> q;
    while (q.size() < 3000) {
        const int32_t run = 1 + int32_t(rng() % 25);
        const int kind = int(rng() % 8);
        for (int32_t r = 0; r < run; ++r) {
            const int32_t v = kind == 7 ? INT32_MAX : int32_t(1 + rng() % 1000);
            q.push_back(kind == 0 ? 0 : kind % 2 ? v : (kind == 6 ? INT32_MIN : -v));
        }
    }
    // Block lengths around the eight samples tested at a time and the 64 bits of a word.
    for (const int32_t size : {1, 7, 8, 9, 63, 64, 65, 200, int32_t(q.size())}) {
        for (const int32_t previous : {-5, 0, 9}) {
            std::vector<uint64_t> after(size_t(CrossingWords(size)) + 1, 0x5A5A), at(after);
            CrossingBits<TZeroCrossing::AfterZero>(q.data(), size, previous, after.data());
            CrossingBits<TZeroCrossing::AtZero>(q.data(), size, previous, at.data());
            ASSERT_EQ(after.back(), 0x5A5Au) << "written past the end";
            ASSERT_EQ(at.back(), 0x5A5Au) << "written past the end";
            for (int i = 0; i < 4000; ++i) {
                const int32_t from = int32_t(rng() % uint32_t(size));
                const int32_t limit = from + int32_t(rng() % uint32_t(std::min(size - from, 150) + 1));
                const int32_t before = from > 0 ? q[size_t(from) - 1] : previous;
                ASSERT_EQ(NextBit(after.data(), from, limit),
                          plainNextCrossing<TZeroCrossing::AfterZero>(q, from, limit, before))
                    << "after zero, size " << size << ", from " << from << " to " << limit;
                ASSERT_EQ(NextBit(at.data(), from, limit),
                          plainNextCrossing<TZeroCrossing::AtZero>(q, from, limit, before))
                    << "at zero, size " << size << ", from " << from << " to " << limit;
            }
            // Nothing beyond the block: a search to the word's end stops at the block's end.
            ASSERT_EQ(NextBit(after.data(), size, CrossingWords(size) * 64), CrossingWords(size) * 64);
            ASSERT_EQ(NextBit(at.data(), size, CrossingWords(size) * 64), CrossingWords(size) * 64);
        }
    }
}

}  // namespace
