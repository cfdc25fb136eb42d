// The delay-and-multiply discriminator against the plain path, written out: the first filter, the
// clamped 64-bit products with the output a delay earlier, the second filter, each output rounded,
// and its sign. Every sign, the last output, the tail and both filters' histories must be the same
// after every block, whichever way the signs were decided. And the approximation's error bound on
// sums placed right beside the decision limits, where a bound too small decides a wrong sign.
#include "CpuFeatures.h"
#include "DelayMultiply.h"
#include "FIR.h"
#include "FIRKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int64_t kClamp = (int64_t(1) << 30) - 1;

// The single-precision approximation needs AVX2 and FMA; without them (or with the plain path
// forced) every sign comes from the exact sums.
bool HasApproximation()
{
    const TCpuFeatures& cpu = CpuFeatures();
    return cpu.Avx2 && cpu.Fma;
}

const char* ApproximationMissing()
{
    return CpuFeatures().PlainForced ? "the plain path is forced (QUENDA_PLAIN_DSP)"
                                     : "this processor has no AVX2 with FMA";
}

struct Design {
    const char* what;
    double first, second;  // cut-offs as 2f/fs
    int32_t delay;
};

// Both decoders' filters and delays.
const Design kDesigns[] = {
    {"ACARS", 0.16326530612244897, 0.09070294784580499, 18},
    {"packet 1200 bit/s", 0.11791383219954649, 0.05442176870748299, 7},
};

struct Reference {
    TFIRRec first, second;
    std::vector<int32_t> tail;

    explicit Reference(int32_t delay) : tail(size_t(delay), 0) {}

    static void filter(TFIRRec& rec)
    {
        FIRKernelPlain(rec.Input, kFIRBlockStart, rec.Coef, rec.Half, rec.Block, rec.Output);
        std::copy(rec.Input + kFIRBlockStart + rec.Block + 1 - rec.Taps, rec.Input + kFIRBlockStart + rec.Block,
                  rec.Input + kFIRBlockStart + 1 - rec.Taps);
    }

    // The second filter's outputs for the block of differences d.
    std::vector<int32_t> run(const std::vector<int32_t>& d)
    {
        const auto count = int32_t(d.size());
        const auto delay = int32_t(tail.size());
        std::copy(d.begin(), d.end(), first.Input + kFIRBlockStart);
        filter(first);
        std::vector<int32_t> y(tail);  // y[delay + n] is output n
        y.insert(y.end(), first.Output, first.Output + count);
        for (int32_t n = 0; n < count; ++n)
            second.Input[kFIRBlockStart + n] =
                int32_t(std::clamp<int64_t>(int64_t(y[size_t(delay + n)]) * y[size_t(n)], -kClamp, kClamp));
        std::copy(y.end() - delay, y.end(), tail.begin());
        filter(second);
        return {second.Output, second.Output + count};
    }
};

struct Input {
    const char* what;
    std::vector<int16_t> (*make)(size_t length, std::mt19937& random);
};

std::vector<int16_t> Tone(size_t length, double amplitude, double hz, double noise, std::mt19937& random)
{
    std::normal_distribution<double> n(0, noise);
    std::vector<int16_t> x(length);
    for (size_t i = 0; i < length; ++i)
        x[i] = int16_t(std::clamp(std::lround(amplitude * std::sin(2 * M_PI * hz * double(i) / 44100) + n(random)),
                                  -32768L, 32767L));
    return x;
}

const Input kInputs[] = {
    {"full-scale random samples (the products reach the clamp)",
     [](size_t length, std::mt19937& random) {
         std::vector<int16_t> x(length);
         for (auto& v : x)
             v = int16_t(int32_t(random() % 65536) - 32768);
         return x;
     }},
    {"full-scale square wave",
     [](size_t length, std::mt19937&) {
         std::vector<int16_t> x(length);
         for (size_t i = 0; i < length; ++i)
             x[i] = (i / 9) % 2 ? 32767 : -32768;
         return x;
     }},
    {"tones with noise, quiet and loud in turn",
     [](size_t length, std::mt19937& random) {
         std::vector<int16_t> x;
         for (double amplitude : {3000.0, 30.0, 20000.0, 300.0, 8000.0})
             for (double hz : {1200.0, 2400.0}) {
                 auto part = Tone(length / 10, amplitude, hz, amplitude / 10, random);
                 x.insert(x.end(), part.begin(), part.end());
             }
         x.resize(length);
         return x;
     }},
    {"silence",
     [](size_t length, std::mt19937&) { return std::vector<int16_t>(length, 0); }},
    {"a few steps of noise: outputs near one half, where the signs are open",
     [](size_t length, std::mt19937& random) {
         std::vector<int16_t> x(length);
         for (auto& v : x)
             v = int16_t(int32_t(random() % 7) - 3);
         return x;
     }},
};

TEST(DelayMultiply, SignsAndStateEqualThePlainPath)
{
    for (const Design& design : kDesigns) {
        for (const Input& input : kInputs) {
            for (const double factor : {1.0, 1e4}) {
                for (const bool randomBlocks : {false, true}) {
                    SCOPED_TRACE(testing::Message() << design.what << ", " << input.what << ", bound factor " << factor
                                                    << (randomBlocks ? ", random block sizes" : ", blocks of 4096"));
                    std::mt19937 random(7);
                    const std::vector<int16_t> x = input.make(60000, random);
                    auto ref = std::make_unique<Reference>(design.delay);
                    auto first = std::make_unique<TFIRRec>();
                    auto second = std::make_unique<TFIRRec>();
                    std::vector<int32_t> tail(size_t(design.delay), 0);
                    TDelayMultiply discriminator(design.delay);
                    discriminator.SetBoundFactor(factor);
                    int32_t block = 0, previous = 0;
                    for (size_t at = 0; at < x.size();) {
                        int32_t n = randomBlocks ? 1 + int32_t(random() % 6000) : 4096;
                        n = std::min<int32_t>(n, int32_t(x.size() - at));
                        if (n != block) {
                            for (TFIRRec* rec : {first.get(), &ref->first}) DesignLowPassFIR(*rec, n, 31, design.first);
                            for (TFIRRec* rec : {second.get(), &ref->second})
                                DesignLowPassFIR(*rec, n, 31, design.second);
                            block = n;
                        }
                        std::vector<int32_t> d(size_t(n), 0);
                        for (int32_t i = 0; i < n; ++i) {
                            d[size_t(i)] = int32_t(x[at + size_t(i)]) - previous;
                            previous = x[at + size_t(i)];
                        }
                        std::copy(d.begin(), d.end(), first->Input + kFIRBlockStart);
                        std::vector<int32_t> signs(size_t(n), 9);
                        const int32_t last = discriminator.Run(*first, *second, tail.data(), n, signs.data());
                        const std::vector<int32_t> want = ref->run(d);
                        for (int32_t i = 0; i < n; ++i)
                            ASSERT_EQ(signs[size_t(i)], (want[size_t(i)] > 0) - (want[size_t(i)] < 0))
                                << "output " << i << " of the block at " << at << " (" << n << "), exact value "
                                << want[size_t(i)];
                        ASSERT_EQ(last, want.back()) << "block at " << at;
                        ASSERT_EQ(tail, ref->tail) << "block at " << at;
                        ASSERT_TRUE(std::equal(first->Input, first->Input + kFIRBlockStart, ref->first.Input))
                            << "block at " << at;
                        ASSERT_TRUE(std::equal(second->Input, second->Input + kFIRBlockStart, ref->second.Input))
                            << "block at " << at;
                        at += size_t(n);
                    }
                }
            }
        }
    }
}

TEST(DelayMultiply, TheApproximationDecidesNearlyEverySignAndLeavesTheCloseOnesOpen)
{
    // A 1200 Hz / 2400 Hz tone with noise: at most one output in a thousand needs the exact path
    // (and the last of each block, which is always computed); a large bound factor leaves nearly all
    // of them open.
    if (!HasApproximation())
        GTEST_SKIP() << ApproximationMissing();
    struct Case {
        const char* what;
        std::vector<int16_t> x;
        double factor;
        double leastOpen, mostOpen;  // fractions of the outputs
    };
    std::mt19937 random(3);
    std::vector<int16_t> tones = Tone(80000, 6000, 1200, 600, random);
    const std::vector<int16_t> high = Tone(80000, 6000, 2400, 600, random);
    tones.insert(tones.end(), high.begin(), high.end());
    const Case cases[] = {
        {"tones with noise", tones, 1.0, 0.0, 1e-3},
        {"tones, bound factor 1e12", tones, 1e12, 0.9, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto first = std::make_unique<TFIRRec>();
        auto second = std::make_unique<TFIRRec>();
        DesignLowPassFIR(*first, 4096, 31, kDesigns[0].first);
        DesignLowPassFIR(*second, 4096, 31, kDesigns[0].second);
        std::vector<int32_t> tail(18, 0), signs(4096);
        TDelayMultiply discriminator(18);
        discriminator.SetBoundFactor(c.factor);
        int32_t previous = 0;
        size_t outputs = 0;
        for (size_t at = 0; at + 4096 <= c.x.size(); at += 4096) {
            for (int32_t i = 0; i < 4096; ++i) {
                first->Input[kFIRBlockStart + i] = int32_t(c.x[at + size_t(i)]) - previous;
                previous = c.x[at + size_t(i)];
            }
            discriminator.Run(*first, *second, tail.data(), 4096, signs.data());
            outputs += 4096;
        }
        const double open = double(discriminator.ExactOutputs()) / double(outputs);
        EXPECT_GE(open, c.leastOpen);
        EXPECT_LE(open, c.mostOpen);
    }
}

TEST(DelayMultiply, WithoutTheApproximationEverySignIsSummedExactly)
{
    // The plain path: no output is counted as left open, whatever the bound factor, and the signs
    // and the last output are the written-out filter's.
    if (HasApproximation())
        GTEST_SKIP() << "the approximation is in use here; QUENDA_PLAIN_DSP=1 forces the plain path";
    std::mt19937 random(3);
    const std::vector<int16_t> x = Tone(4 * 4096, 6000, 1200, 600, random);
    for (const double factor : {1.0, 1e12}) {
        SCOPED_TRACE(testing::Message() << "bound factor " << factor);
        auto ref = std::make_unique<Reference>(18);
        auto first = std::make_unique<TFIRRec>();
        auto second = std::make_unique<TFIRRec>();
        for (TFIRRec* rec : {first.get(), &ref->first})
            DesignLowPassFIR(*rec, 4096, 31, kDesigns[0].first);
        for (TFIRRec* rec : {second.get(), &ref->second})
            DesignLowPassFIR(*rec, 4096, 31, kDesigns[0].second);
        std::vector<int32_t> tail(18, 0), signs(4096);
        TDelayMultiply discriminator(18);
        discriminator.SetBoundFactor(factor);
        int32_t previous = 0;
        for (size_t at = 0; at < x.size(); at += 4096) {
            std::vector<int32_t> d(4096);
            for (size_t i = 0; i < 4096; ++i) {
                d[i] = int32_t(x[at + i]) - previous;
                previous = x[at + i];
            }
            std::copy(d.begin(), d.end(), first->Input + kFIRBlockStart);
            const int32_t last = discriminator.Run(*first, *second, tail.data(), 4096, signs.data());
            const std::vector<int32_t> want = ref->run(d);
            for (size_t i = 0; i < 4096; ++i)
                ASSERT_EQ(signs[i], (want[i] > 0) - (want[i] < 0)) << "output " << i << " of the block at " << at;
            ASSERT_EQ(last, want.back());
        }
        EXPECT_EQ(discriminator.ExactOutputs(), 0);
    }
}

// A stream whose second-filter sums sit within one unit of +-0.5 at one output in every 32, with
// products near the clamp, so that the approximation's error (tens of units there) puts many of
// them on the wrong side of the limit: only the bound keeps their signs open for the exact sums.
// The first filter passes its input through (one tap of 1 in the middle), the delay is one
// sample, and every other first-filter output is 1, so that the products are the outputs between:
// z[n] = z[n + 1] = y[n] for odd n. The y[n] of a placed output n is its newest input, and set to
// bring its sum to the limit; the next placed output reads neither z[n] nor z[n + 1].
struct Placed {
    std::vector<int32_t> x;       // the input stream
    std::vector<uint8_t> placed;  // outputs of the second filter placed beside a limit
};

Placed PlaceBesideTheLimits(const TFIRRec& second, size_t length, std::mt19937& random)
{
    const int32_t h = second.Half;
    std::vector<int64_t> y(length, 1);
    std::uniform_int_distribution<int64_t> level(-(int64_t(1) << 24), int64_t(1) << 24);
    for (size_t n = 1; n < length; n += 2)
        y[n] = level(random);
    y[0] = 0;
    auto product = [&](size_t n) { return n == 0 ? 0 : std::clamp(y[n] * y[n - 1], -kClamp, kClamp); };
    auto sum = [&](size_t n) {
        // Output n: the plain loop's double sum, centre at product n - h.
        const size_t e = n - size_t(h);
        double acc = double(product(e)) * second.Coef[h];
        for (int32_t i = 1; i <= h; ++i)
            acc += double(product(e + size_t(i)) + product(e - size_t(i))) * second.Coef[h - i];
        return acc;
    };
    std::vector<double> target(length, 0);
    for (size_t n = size_t(2 * h + 1); n + 1 < length; n += 32) {
        target[n] = random() % 2 ? 0.5 : -0.5;
        y[n] = std::clamp<int64_t>(y[n] + std::llround((target[n] - sum(n)) / second.Coef[0]), -kClamp, kClamp);
    }
    Placed p;
    p.placed.assign(length, 0);
    for (size_t n = size_t(2 * h + 1); n < length; ++n)
        p.placed[n] = target[n] != 0 && std::fabs(sum(n) - target[n]) < 1;
    // The first filter delays its input by one sample.
    p.x.assign(length, 0);
    for (size_t n = 0; n + 1 < length; ++n)
        p.x[n] = int32_t(y[n + 1]);
    return p;
}

TEST(DelayMultiply, SumsBesideTheLimitsAreLeftOpenAndSummedExactly)
{
    constexpr int32_t kCount = 4096;
    auto first = std::make_unique<TFIRRec>();
    auto second = std::make_unique<TFIRRec>();
    auto ref = std::make_unique<Reference>(1);
    for (TFIRRec* rec : {first.get(), &ref->first}) {
        rec->Block = kCount;
        rec->Taps = 3;
        rec->Half = 1;
        rec->Coef[1] = 1;
    }
    for (TFIRRec* rec : {second.get(), &ref->second})
        ASSERT_TRUE(DesignLowPassFIR(*rec, kCount, 31, kDesigns[0].second));
    std::mt19937 random(11);
    const Placed p = PlaceBesideTheLimits(*second, 6 * kCount, random);
    const auto placed = std::count(p.placed.begin(), p.placed.end(), 1);
    ASSERT_GT(placed, 6 * kCount / 40) << "outputs placed beside a limit";

    std::vector<int32_t> tail(1, 0), signs(kCount);
    TDelayMultiply discriminator(1);
    int64_t wrong = 0, placedWrong = 0;
    for (size_t at = 0; at < p.x.size(); at += kCount) {
        const std::vector<int32_t> d(p.x.begin() + ptrdiff_t(at), p.x.begin() + ptrdiff_t(at + kCount));
        std::copy(d.begin(), d.end(), first->Input + kFIRBlockStart);
        const int32_t last = discriminator.Run(*first, *second, tail.data(), kCount, signs.data());
        const std::vector<int32_t> want = ref->run(d);
        for (size_t i = 0; i < size_t(kCount); ++i) {
            if (signs[i] != (want[i] > 0) - (want[i] < 0)) {
                ++wrong;
                placedWrong += p.placed[at + i];
            }
        }
        EXPECT_EQ(last, want.back());
    }
    EXPECT_EQ(wrong, 0) << placedWrong << " of them placed beside a limit";
    // Every placed sum lies well within the bound of its limit, so none is decided by the
    // approximation.
    if (HasApproximation()) {
        EXPECT_GE(discriminator.ExactOutputs(), placed);
    }
}

}  // namespace
