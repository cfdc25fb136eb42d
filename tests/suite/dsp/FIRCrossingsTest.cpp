// The filter's changes of sign against the plain filter loop written out here, to the bit: every
// change, the values on either side of it, the last output and the history, block after block, on
// noise at full scale and at the extremes, silence, runs of equal samples, a tiny signal whose
// outputs sit near one half, outputs placed at the rounding limits, and generated AFSK with noise
// at both 300 bit/s tone pairs; with the estimate's bound as in use and with every output summed
// exactly. And the estimate's bound itself: it holds on every output, and decides nearly every sign
// of a generated signal.
#include "Ax25.h"
#include "CpuFeatures.h"
#include "FIR.h"
#include "FIRCrossings.h"
#include "Wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

namespace ax = siggen::ax25;

constexpr int32_t kBlock = 4096;

const char* NoEstimate()
{
    return CpuFeatures().PlainForced ? "the plain path is forced (QUENDA_PLAIN_DSP)"
                                     : "this processor has no AVX2 with FMA for the estimate";
}

// The packet decoder's band-pass: 800-1500 Hz at 44100 Hz, 101 taps.
void PacketBandPass(TFIRRec& rec, int32_t block = kBlock)
{
    ASSERT_TRUE(DesignBandPassFIR(rec, block, 101, 1500.0 / 44100, 800.0 / 44100));
}

// The filter's sum of output n before rounding, in the plain loop's order.
double PlainSum(const TFIRRec& rec, int32_t n)
{
    const int32_t e = kFIRBlockStart - rec.Half + n;
    double acc = rec.Input[e] * rec.Coef[rec.Half];
    for (int32_t i = 1; i <= rec.Half; ++i) {
        const auto pair = static_cast<int32_t>(static_cast<uint32_t>(rec.Input[e + i]) + static_cast<uint32_t>(rec.Input[e - i]));
        acc += pair * rec.Coef[rec.Half - i];
    }
    return acc;
}

int32_t PlainOutput(const TFIRRec& rec, int32_t n)
{
    const double r = std::nearbyint(PlainSum(rec, n));
    return r >= 2147483647.0 ? INT32_MAX : r <= -2147483648.0 ? INT32_MIN : static_cast<int32_t>(r);
}

struct Plain {
    std::vector<TFIRCrossing> list;
    int32_t last = 0;
};

// The changes of sign of the plain loop's outputs, as the demodulator tests them, and the history
// moved on by the block.
Plain PlainCrossings(TFIRRec& rec, int32_t previous)
{
    Plain p;
    int32_t v = previous;
    for (int32_t n = 0; n < rec.Block; ++n) {
        const int32_t u = PlainOutput(rec, n);
        if (int64_t(u) * v < 0 || (v == 0 && u != 0))
            p.list.push_back({n, v, u});
        v = u;
    }
    p.last = v;
    std::memmove(&rec.Input[kFIRBlockStart + 1 - rec.Taps], &rec.Input[kFIRBlockStart + 1 - rec.Taps + rec.Block],
                 sizeof(int32_t) * static_cast<size_t>(rec.Taps - 1));
    return p;
}

// Samples of one kind, a block at a time.
using Source = std::function<void(std::mt19937_64&, int32_t*, int32_t)>;

Source Noise(int32_t range)
{
    return [range](std::mt19937_64& r, int32_t* x, int32_t count) {
        std::uniform_int_distribution<int32_t> d(-range - (range == 32767 ? 1 : 0), range);
        for (int32_t k = 0; k < count; ++k)
            x[k] = d(r);
    };
}

Source Extremes()
{
    return [](std::mt19937_64& r, int32_t* x, int32_t count) {
        const int32_t values[] = {32767, -32768, -32767, 0};
        for (int32_t k = 0; k < count; ++k)
            x[k] = values[r() % 4];
    };
}

Source Runs()
{
    return [](std::mt19937_64& r, int32_t* x, int32_t count) {
        std::uniform_int_distribution<int32_t> value(-32768, 32767), length(1, 300);
        for (int32_t k = 0; k < count;) {
            const int32_t v = r() % 3 == 0 ? 0 : value(r);
            for (int32_t n = length(r); n > 0 && k < count; --n)
                x[k++] = v;
        }
    };
}

Source Silence()
{
    return [](std::mt19937_64&, int32_t* x, int32_t count) { std::fill(x, x + count, 0); };
}

// Generated AFSK at 300 bit/s with noise, laid out block after block.
Source Afsk(double mark, double space, double snr)
{
    auto pcm = std::make_shared<std::vector<int16_t>>();
    auto at = std::make_shared<size_t>(0);
    ax::AfskOptions o = ax::afskFor(300);
    o.mark = mark;
    o.space = space;
    o.amplitude = 0.3;
    o.gapSeconds = 0.05;
    std::vector<ax::Span> spans;
    siggen::Samples s = ax::modulate({ax::withFcs(ax::encode(ax::uiFrame("N0CALL-7", "APRS", "!5130.00N/00010.00W- a test")))},
                                     o, &spans);
    ax::NoiseOptions n;
    n.snrFirst = n.snrLast = snr;
    n.seed = 3;
    ax::addNoise(s, spans, n, 44100);
    for (double v : s)
        pcm->push_back(siggen::toPcm16(v));
    return [pcm, at](std::mt19937_64&, int32_t* x, int32_t count) {
        for (int32_t k = 0; k < count; ++k, ++*at)
            x[k] = (*pcm)[*at % pcm->size()];
    };
}

// Moves the centre sample of every 101st output so that its sum lies within half a centre tap of a
// rounding limit (+-0.5 for the sign, k + 0.5 for the value): where the estimate must not decide.
void Place(TFIRRec& rec, std::mt19937_64& r, bool signLimit)
{
    const double centre = rec.Coef[rec.Half];
    for (int32_t n = static_cast<int32_t>(r() % 101); n < rec.Block; n += 101) {
        const int32_t e = kFIRBlockStart - rec.Half + n;
        if (e < kFIRBlockStart)
            continue;  // a history cell: already filtered by the block before
        const double sum = PlainSum(rec, n);
        double target = signLimit ? (r() % 2 ? 0.5 : -0.5) : std::floor(sum) + 0.5;
        const double step = std::nearbyint((target - sum) / centre);
        rec.Input[e] = std::clamp(rec.Input[e] + static_cast<int32_t>(step), -32768, 32767);
    }
}

struct Case {
    const char* what;
    Source source;
    int placed = 0;  // 1: sums moved near +-0.5, 2: near k + 0.5
};

std::vector<Case> Cases()
{
    return {
        {"full-scale noise", Noise(32767)},
        {"extremes", Extremes()},
        {"silence", Silence()},
        {"runs of equal samples", Runs()},
        {"tiny signal, outputs near one half", Noise(20)},
        {"small noise", Noise(300)},
        {"sums near +-0.5 at full scale", Noise(32767), 1},
        {"sums near k + 0.5 at full scale", Noise(32767), 2},
        {"AFSK 1270/1070 Hz, 6 dB", Afsk(1270, 1070, 6)},
        {"AFSK 1400/1200 Hz, 6 dB", Afsk(1400, 1200, 6)},
        {"AFSK 1270/1070 Hz, no noise", Afsk(1270, 1070, 200)},
    };
}

// Runs `blocks` blocks of a case through both filters and compares everything delivered.
void Compare(const Case& c, int32_t blocks, double boundScale, int32_t taps, int32_t block, double fh, double fl)
{
    auto fast = std::make_unique<TFIRRec>();
    auto plain = std::make_unique<TFIRRec>();
    ASSERT_TRUE(DesignBandPassFIR(*fast, block, taps, fh, fl));
    *plain = *fast;
    TFIRCrossings out;
    out.BoundScale = boundScale;
    std::mt19937_64 random(99);
    int32_t previous = 0;
    for (int32_t b = 0; b < blocks; ++b) {
        SCOPED_TRACE(testing::Message() << c.what << ", taps " << taps << ", block length " << block << ", bound x"
                                        << boundScale << ", block " << b);
        c.source(random, fast->Input + kFIRBlockStart, block);
        if (c.placed)
            Place(*fast, random, c.placed == 1);
        std::memcpy(plain->Input + kFIRBlockStart, fast->Input + kFIRBlockStart, sizeof(int32_t) * static_cast<size_t>(block));
        FIRFilterCrossings(*fast, previous, out);
        const Plain want = PlainCrossings(*plain, previous);
        ASSERT_EQ(out.List.size(), want.list.size());
        for (size_t k = 0; k < want.list.size(); ++k) {
            ASSERT_EQ(out.List[k].At, want.list[k].At) << k;
            ASSERT_EQ(out.List[k].Before, want.list[k].Before) << k;
            ASSERT_EQ(out.List[k].After, want.list[k].After) << k;
        }
        ASSERT_EQ(out.Last, want.last);
        ASSERT_EQ(std::memcmp(fast->Input, plain->Input, sizeof(fast->Input)), 0) << "history";
        previous = out.Last;
    }
}

TEST(FIRCrossings, EveryChangeOfSignAndItsValuesAreThePlainFiltersToTheBit)
{
    for (const Case& c : Cases())
        for (double scale : {1.0, 1e30})
            Compare(c, scale == 1 ? 24 : 6, scale, 101, kBlock, 1500.0 / 44100, 800.0 / 44100);
}

TEST(FIRCrossings, OtherDesignsAndBlockLengthsToo)
{
    // Block lengths the estimate takes (multiples of 32) and others (every output summed), tap
    // counts from 1 to 401, and samples beyond 16 bits (summed exactly).
    struct Design {
        int32_t taps, block;
        double fh, fl;
    };
    const Design designs[] = {
        {101, 32, 0.034, 0.018}, {101, 8192, 0.034, 0.018}, {101, 1000, 0.034, 0.018}, {31, 4096, 0.1, 0.02},
        {1, 64, 0.3, 0.1},       {3, 96, 0.3, 0.1},         {401, 4096, 0.05, 0.01},   {13, 4064, 0.2, 0.05},
    };
    const Case cases[] = {
        {"full-scale noise", Noise(32767)},
        {"tiny signal", Noise(20)},
        {"samples beyond 16 bits", Noise(1 << 20)},
        {"runs of equal samples", Runs()},
    };
    for (const Design& d : designs)
        for (const Case& c : cases)
            for (double scale : {1.0, 1e30})
                Compare(c, 3, scale, d.taps, d.block, d.fh, d.fl);
}

TEST(FIRCrossings, TheEstimatesBoundHoldsOnEveryOutput)
{
    auto rec = std::make_unique<TFIRRec>();
    std::vector<float> estimate(kFIRMaxBlock), bound(kFIRMaxBlock);
    std::mt19937_64 random(5);
    size_t checked = 0;
    double worst = 0;  // the largest error as a share of its bound
    for (int32_t taps : {101, 401, 31}) {
        ASSERT_TRUE(DesignBandPassFIR(*rec, kBlock, taps, 1500.0 / 44100, 800.0 / 44100));
        for (const Case& c : Cases()) {
            for (int32_t b = 0; b < 4; ++b) {
                c.source(random, rec->Input + kFIRBlockStart, kBlock);
                if (c.placed)
                    Place(*rec, random, c.placed == 1);
                if (!FIREstimate(*rec, estimate.data(), bound.data()))
                    GTEST_SKIP() << NoEstimate();
                for (int32_t n = 0; n < kBlock; ++n) {
                    const double error = std::fabs(double(estimate[n]) - PlainSum(*rec, n));
                    ASSERT_LE(error, bound[n]) << c.what << ", taps " << taps << ", output " << n;
                    if (bound[n] > 0)
                        worst = std::max(worst, error / bound[n]);
                }
                checked += kBlock;
                std::memmove(&rec->Input[kFIRBlockStart + 1 - taps], &rec->Input[kFIRBlockStart + 1 - taps + kBlock],
                             sizeof(int32_t) * static_cast<size_t>(taps - 1));
            }
        }
    }
    EXPECT_GT(checked, 0u);
    std::printf("largest error: %.4g of the bound\n", worst);
    // Rigorous, yet not far above the errors seen (about half of it on runs of equal samples).
    EXPECT_GT(worst, 0.05);
}

TEST(FIRCrossings, TheEstimateDecidesNearlyEverySignOfAGeneratedSignal)
{
    auto rec = std::make_unique<TFIRRec>();
    PacketBandPass(*rec);
    TFIRCrossings out;
    std::vector<float> estimate(kFIRMaxBlock), bound(kFIRMaxBlock);
    if (!FIREstimate(*rec, estimate.data(), bound.data()))
        GTEST_SKIP() << NoEstimate();
    std::mt19937_64 random(1);
    for (const Case& c : {Case{"AFSK 1270/1070 Hz, 6 dB", Afsk(1270, 1070, 6)}, Case{"AFSK 1400/1200 Hz", Afsk(1400, 1200, 200)},
                          Case{"full-scale noise", Noise(32767)}}) {
        int64_t undecided = 0, exact = 0, crossings = 0;
        int32_t previous = 0;
        for (int32_t b = 0; b < 20; ++b) {
            c.source(random, rec->Input + kFIRBlockStart, kBlock);
            FIRFilterCrossings(*rec, previous, out);
            previous = out.Last;
            undecided += out.Undecided;
            exact += out.Exact;
            crossings += static_cast<int64_t>(out.List.size());
        }
        const double outputs = 20.0 * kBlock;
        std::printf("%s: undecided %.5f, summed exactly %.5f, changes %.5f\n", c.what, undecided / outputs,
                    exact / outputs, crossings / outputs);
        EXPECT_LT(undecided / outputs, 0.002) << c.what;
        // Of the values read (two at every change), most come from the estimate as well.
        EXPECT_LT(exact, crossings) << c.what;
        EXPECT_GT(crossings, 0) << c.what;
    }
}

TEST(FIRCrossings, WithoutTheEstimateEveryOutputIsSummedExactly)
{
    // The plain path: no estimate, every output summed by the filter, and the same changes.
    const TCpuFeatures& cpu = CpuFeatures();
    if (cpu.Avx2 && cpu.Fma)
        GTEST_SKIP() << "the estimate is in use here; QUENDA_PLAIN_DSP=1 forces the plain path";
    auto rec = std::make_unique<TFIRRec>();
    PacketBandPass(*rec);
    std::vector<float> estimate(kFIRMaxBlock), bound(kFIRMaxBlock);
    EXPECT_FALSE(FIREstimate(*rec, estimate.data(), bound.data()));
    TFIRCrossings out;
    std::mt19937_64 random(4);
    Afsk(1270, 1070, 6)(random, rec->Input + kFIRBlockStart, kBlock);
    FIRFilterCrossings(*rec, 0, out);
    EXPECT_EQ(out.Undecided, kBlock);
    EXPECT_EQ(out.Exact, kBlock);
    EXPECT_GT(out.List.size(), 0u);
}

}  // namespace
