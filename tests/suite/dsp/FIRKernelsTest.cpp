// Every vector kernel of the filter against the plain loop, to the bit: sample ranges from small
// to wrapping pairs, accumulators beyond the 32-bit range (saturation), ties to even, every block
// length around the vector widths, and tap counts from 1 to 401.
#include "CpuFeatures.h"
#include "FIR.h"
#include "FIRKernels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct Kernel {
    const char* name;
    TFIRKernel run;
};

std::vector<Kernel> VectorKernels()
{
    std::vector<Kernel> k;
    if (TFIRKernel f = FIRKernelAvx2())
        k.push_back({"avx2", f});
    if (TFIRKernel f = FIRKernelAvx512())
        k.push_back({"avx512", f});
    return k;
}

TEST(FIRKernels, VectorKernelsGiveThePlainLoopsResultsToTheBit)
{
    const auto kernels = VectorKernels();
    if (kernels.empty())
        GTEST_SKIP() << (CpuFeatures().PlainForced ? "the plain path is forced (QUENDA_PLAIN_DSP)"
                                                   : "this processor has no vector kernel");
    struct Case {
        const char* what;
        int32_t range;      // samples uniform in [-range, range]
        double coefScale;   // coefficients uniform in [-scale, scale]
        bool halves;        // coefficients k + 0.5 and samples that make ties
        std::vector<int32_t> only = {};  // samples drawn from these values instead
        int32_t spike = 0;               // one sample of this value in the middle of the block
    };
    const std::vector<Case> cases = {
        {"16-bit samples", 32768, 0.1, false},
        {"samples up to 2^30", 1 << 30, 0.05, false},
        {"full range: pairs wrap", INT32_MAX, 0.01, false},
        {"sums beyond the 32-bit range saturate", 1 << 30, 40.0, false},
        {"ties round to even", 1000, 0.0, true},
        // The vector kernels sum pairs of samples within [-2^30, 2^30 - 1] as doubles: at those
        // limits, and one step beyond them, where pairs may wrap.
        {"samples at the limits of exact pairs", 0, 0.05, false, {-(1 << 30), (1 << 30) - 1}},
        {"samples one beyond the limits", 0, 0.05, false, {-(1 << 30) - 1, 1 << 30, -(1 << 30), (1 << 30) - 1}},
        {"one wrapping pair in 16-bit samples", 32768, 0.1, false, {}, INT32_MAX},
    };
    std::mt19937_64 random(12345);
    for (const Case& c : cases) {
        for (int32_t taps : {1, 3, 31, 101, 401}) {
            for (int32_t block : {1, 7, 16, 31, 32, 33, 100, 1023, 1025, 2500, 4096}) {
                const int32_t half = taps / 2;
                std::vector<int32_t> in(kFIRBlockStart + kFIRMaxBlock);
                std::uniform_int_distribution<int64_t> sample(-int64_t(c.range), c.range);
                for (auto& v : in)
                    v = c.halves ? int32_t(sample(random) % 5)
                        : c.only.empty() ? static_cast<int32_t>(sample(random))
                                         : c.only[random() % c.only.size()];
                if (c.spike)
                    in[kFIRBlockStart + block / 2] = c.spike;
                std::vector<double> coef(kFIRMaxTaps);
                std::uniform_real_distribution<double> k(-c.coefScale, c.coefScale);
                for (auto& v : coef)
                    v = c.halves ? 0.5 * static_cast<double>(random() % 5) - 1.0 : k(random);
                std::vector<int32_t> want(kFIRMaxBlock, 7), got(kFIRMaxBlock, 7);
                FIRKernelPlain(in.data(), kFIRBlockStart, coef.data(), half, block, want.data());
                for (const Kernel& kernel : kernels) {
                    std::fill(got.begin(), got.end(), 7);
                    kernel.run(in.data(), kFIRBlockStart, coef.data(), half, block, got.data());
                    ASSERT_EQ(got, want) << kernel.name << ", " << c.what << ", taps " << taps << ", block " << block;
                }
            }
        }
    }
}

TEST(FIRKernels, FilterUsesTheBestKernelWithTheSameResults)
{
    // A whole design through FIRFilter against the plain loop over the same stream.
    auto rec = std::make_unique<TFIRRec>();
    ASSERT_TRUE(DesignBandPassFIR(*rec, 4096, 101, 0.034013605442176874, 0.018140589569160998));
    std::mt19937 random(7);
    std::vector<int32_t> history(kFIRBlockStart + kFIRMaxBlock, 0);
    for (int block = 0; block < 3; ++block) {
        for (int32_t n = 0; n < 4096; ++n)
            rec->Input[kFIRBlockStart + n] = history[kFIRBlockStart + n] = static_cast<int32_t>(random() % 65536) - 32768;
        std::vector<int32_t> want(4096);
        FIRKernelPlain(history.data(), kFIRBlockStart, rec->Coef, rec->Half, 4096, want.data());
        FIRFilter(*rec);
        ASSERT_EQ(std::vector<int32_t>(rec->Output, rec->Output + 4096), want) << "block " << block;
        std::memmove(&history[kFIRBlockStart + 1 - 101], &history[kFIRBlockStart + 1 - 101 + 4096], sizeof(int32_t) * 100);
    }
}

TEST(FIRKernels, GroupsAnywhereInTheBlockAreThePlainLoopsOutputs)
{
    // Groups of four at random places, overlapping and repeated, in counts around the four groups
    // summed side by side, on samples whose pairs wrap.
    std::mt19937_64 random(77);
    std::vector<int32_t> in(kFIRBlockStart + kFIRMaxBlock);
    for (auto& v : in)
        v = static_cast<int32_t>(random());
    std::vector<double> coef(kFIRMaxTaps);
    std::uniform_real_distribution<double> k(-0.01, 0.01);
    for (auto& v : coef)
        v = k(random);
    for (int32_t taps : {1, 31, 101}) {
        const int32_t half = taps / 2, block = 4096;
        std::vector<int32_t> want(block);
        FIRKernelPlain(in.data(), kFIRBlockStart, coef.data(), half, block, want.data());
        for (int32_t groups : {0, 1, 3, 4, 5, 9, 64}) {
            std::vector<int32_t> first(static_cast<size_t>(groups));
            for (auto& f : first)
                f = static_cast<int32_t>(random() % (block - 3));
            if (groups > 2)
                first[2] = first[1];
            std::vector<int32_t> got(4 * first.size() + 1, 7);
            FIRKernelGroups(in.data(), kFIRBlockStart, coef.data(), half, first.data(), groups, got.data());
            for (int32_t j = 0; j < 4 * groups; ++j)
                ASSERT_EQ(got[size_t(j)], want[size_t(first[size_t(j / 4)] + j % 4)])
                    << "taps " << taps << ", " << groups << " groups, output " << j;
            EXPECT_EQ(got.back(), 7) << "written beyond the groups";
        }
    }
}

TEST(FIRKernels, WithThePlainPathForcedTheFilterTakesThePlainLoop)
{
    if (!CpuFeatures().PlainForced)
        GTEST_SKIP() << "QUENDA_PLAIN_DSP=1 forces the plain path";
    EXPECT_FALSE(CpuFeatures().Avx2);
    EXPECT_FALSE(CpuFeatures().Fma);
    EXPECT_FALSE(CpuFeatures().Avx512F);
    EXPECT_EQ(FIRKernelAvx2(), nullptr);
    EXPECT_EQ(FIRKernelAvx512(), nullptr);
    EXPECT_EQ(FIRKernelBest(), &FIRKernelPlain);
}

}  // namespace
