// The suite's signal-processing units: the Bessel function, the windowed FFT power spectrum against a
// plain DFT, the FIR designs and block filter, and the Goertzel power against a plain DFT.
#include "DFT.h"
#include "FFT.h"
#include "FIR.h"
#include "MathFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr long double kPi = std::numbers::pi_v<long double>;

// |sum x[n] e^(-2 pi i k n / N)|, the plain DFT in extended precision, reduced modulo N so that the
// angle stays exact for every n.
long double dftMagnitude(const std::vector<long double>& x, int64_t k)
{
    const int64_t n = static_cast<int64_t>(x.size());
    std::complex<long double> sum = 0;
    for (int64_t i = 0; i < n; ++i) {
        const long double angle = -2 * kPi * static_cast<long double>((k * i) % n) / n;
        sum += x[static_cast<size_t>(i)] * std::complex<long double>(std::cos(angle), std::sin(angle));
    }
    return std::abs(sum);
}

long double l1(const std::vector<long double>& x)
{
    long double s = 0;
    for (long double v : x)
        s += std::fabs(v);
    return s;
}

TEST(ModifiedBesselI0, MatchesTheFunctionAndEndsOnEveryArgument)
{
    EXPECT_EQ(ModifiedBesselI0(0), 1.0);  // the series is not entered
    EXPECT_NEAR(ModifiedBesselI0(7.8), 354.68, 0.01);
    for (double x : {1e-3, 0.5, 0.9425, 2.0, 5.65326, 7.8, 20.0, 50.0}) {
        const double exact = std::cyl_bessel_i(0.0, x);
        EXPECT_NEAR(ModifiedBesselI0(x), exact, exact * 1e-9) << x;
        EXPECT_EQ(ModifiedBesselI0(-x), ModifiedBesselI0(x)) << x;  // even, also for negative arguments
    }
    EXPECT_TRUE(std::isinf(ModifiedBesselI0(1e6)));  // overflows and stops instead of looping for ever
    EXPECT_TRUE(std::isinf(ModifiedBesselI0(INFINITY)));
    EXPECT_EQ(ModifiedBesselI0(NAN), 1.0);
}

TEST(FFTInit, RefusesSizesThatAreNotPowersOfTwoWithinTheTables)
{
    auto rec = std::make_unique<TFFTRec>();
    ASSERT_TRUE(FFTInit(*rec, 64, fwHamming));
    const double w5 = rec->Window[5];
    for (int32_t n : {0, 1, 3, 6, 100, -8, 16384, INT32_MIN}) {
        EXPECT_FALSE(FFTInit(*rec, n, fwRectangle)) << n;
        EXPECT_EQ(rec->N, 64);
        EXPECT_EQ(rec->M, 32);
        EXPECT_EQ(rec->Window[5], w5);
    }
}

TEST(FFTInit, BuildsTheBitReversalTableAndTheTwiddles)
{
    auto rec = std::make_unique<TFFTRec>();
    ASSERT_TRUE(FFTInit(*rec, 16, fwRectangle));
    EXPECT_EQ(rec->M, 8);
    const int32_t expected[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(rec->BitRev[i], expected[i]) << i;
        EXPECT_DOUBLE_EQ(rec->Sine[i], std::sin(-std::numbers::pi * i / 8)) << i;
        EXPECT_DOUBLE_EQ(rec->Cosine[i], std::cos(-std::numbers::pi * i / 8)) << i;
    }
    ASSERT_TRUE(FFTInit(*rec, 2, fwRectangle));
    EXPECT_EQ(rec->BitRev[0], 0);
}

TEST(FFTInit, WindowsHaveTheirValuesAndAMeanOfAboutOne)
{
    auto rec = std::make_unique<TFFTRec>();
    // Values at N = 8 (M = 4).
    struct Case {
        int32_t kind;
        std::vector<double> w;
    };
    const double k0 = 2.267 / std::cyl_bessel_i(0.0, 7.8);
    for (const Case& c : std::vector<Case>{
             {fwRectangle, {1, 1, 1, 1, 1, 1, 1, 1}},
             {fwTriangle, {0, 0.5, 1, 1.5, 1.5, 1, 0.5, 0}},
             {fwCosine, {0, 1 - std::sqrt(0.5), 1, 1 + std::sqrt(0.5), 2, 1 + std::sqrt(0.5), 1, 1 - std::sqrt(0.5)}},
             {fwHamming, {4.0 / 27, 1 - 23.0 / 27 * std::sqrt(0.5), 1, 1 + 23.0 / 27 * std::sqrt(0.5), 50.0 / 27,
                          1 + 23.0 / 27 * std::sqrt(0.5), 1, 1 - 23.0 / 27 * std::sqrt(0.5)}},
             {fwBlackman, {0, 1 - 25.0 / 21 * std::sqrt(0.5), 1 - 4.0 / 21, 1 + 25.0 / 21 * std::sqrt(0.5), 50.0 / 21,
                           1 + 25.0 / 21 * std::sqrt(0.5), 1 - 4.0 / 21, 1 - 25.0 / 21 * std::sqrt(0.5)}},
             {fwKaiser, {k0, 0, 0, 0, 2.267, 0, 0, 0}},
         }) {
        ASSERT_TRUE(FFTInit(*rec, 8, c.kind));
        for (int k = 0; k < 8; ++k) {
            if (c.kind == fwKaiser && k != 0 && k != 4)
                continue;
            EXPECT_NEAR(rec->Window[k], c.w[static_cast<size_t>(k)], 1e-12) << "kind " << c.kind << " k " << k;
        }
    }
    ASSERT_TRUE(FFTInit(*rec, 8, fwKaiser));
    for (int k = 1; k < 4; ++k)
        EXPECT_DOUBLE_EQ(rec->Window[k], rec->Window[8 - k]) << k;  // symmetric about the centre

    for (int32_t n = 64; n <= kFFTMaxSize; n *= 2) {
        for (int32_t kind = fwRectangle; kind <= fwKaiser; ++kind) {
            ASSERT_TRUE(FFTInit(*rec, n, kind));
            double sum = 0;
            for (int k = 0; k < n; ++k)
                sum += rec->Window[k];
            const double mean = sum / n;
            if (kind == fwTriangle)
                EXPECT_NEAR(mean, 1 - 2.0 / n, 1e-12) << n;
            else if (kind == fwKaiser)
                EXPECT_TRUE(mean < 1 && mean > 1 - 1e-4) << n << " " << mean;
            else
                EXPECT_NEAR(mean, 1, 1e-12) << "kind " << kind << " n " << n;
        }
    }
}

TEST(FFTInit, AnUnknownWindowKindKeepsTheWindow)
{
    auto rec = std::make_unique<TFFTRec>();
    ASSERT_TRUE(FFTInit(*rec, 32, fwKaiser));
    std::vector<double> before(rec->Window, rec->Window + 32);
    for (int32_t kind : {6, -1, 100}) {
        ASSERT_TRUE(FFTInit(*rec, 16, kind));
        EXPECT_EQ(rec->N, 16);
        EXPECT_EQ(std::vector<double>(rec->Window, rec->Window + 32), before) << kind;
    }
}

// The transform against a plain windowed DFT on random data, for every size and window.
TEST(FFTPower, EqualsTheSquaredMagnitudeOfThePlainWindowedDFT)
{
    auto rec = std::make_unique<TFFTRec>();
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> sample(-1, 1);
    for (int32_t n = 2; n <= kFFTMaxSize; n *= 2) {
        for (int32_t kind = fwRectangle; kind <= fwKaiser; ++kind) {
            ASSERT_TRUE(FFTInit(*rec, n, kind));
            std::vector<long double> x(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                rec->Samples[i] = sample(gen);
                x[static_cast<size_t>(i)] = static_cast<long double>(rec->Samples[i]) * rec->Window[i];
            }
            FFTPower(*rec);
            const int32_t m = n / 2;
            // Every bin up to 1024 points; above, the edges, the middle and random bins.
            std::vector<int32_t> bins;
            if (n <= 1024) {
                for (int32_t k = 0; k < m; ++k)
                    bins.push_back(k);
            } else {
                bins = {0, 1, 2, m / 2, m - 2, m - 1};
                std::uniform_int_distribution<int32_t> pick(0, m - 1);
                for (int i = 0; i < 30; ++i)
                    bins.push_back(pick(gen));
            }
            const long double bound = 1e-11L * l1(x) + 1e-300L;
            for (int32_t k : bins) {
                const long double got = std::sqrt(static_cast<long double>(rec->Power[k]));
                EXPECT_NEAR(static_cast<double>(got), static_cast<double>(dftMagnitude(x, k)), static_cast<double>(bound))
                    << "n " << n << " window " << kind << " bin " << k;
            }
        }
    }
}

TEST(FFTPower, KnownSpectraOfAConstantAndOfBinCentredSines)
{
    auto rec = std::make_unique<TFFTRec>();
    for (int32_t n : {2, 16, 1024, 8192}) {
        ASSERT_TRUE(FFTInit(*rec, n, fwRectangle));
        for (int i = 0; i < n; ++i)
            rec->Samples[i] = 1.0;
        FFTPower(*rec);
        EXPECT_NEAR(rec->Power[0], double(n) * n, 1e-9 * n * n) << n;
        for (int k = 1; k < n / 2; ++k)
            ASSERT_NEAR(rec->Power[k], 0, 1e-12 * n * n) << n << " " << k;
    }
    struct Case {
        int32_t n, k;
        double a;
    };
    for (const Case& c : std::vector<Case>{{16, 3, 1.0}, {256, 1, 100.0}, {1024, 200, 0.5}, {8192, 4095, 3000.0},
                                           {8192, 1, 32767.0}}) {
        ASSERT_TRUE(FFTInit(*rec, c.n, fwRectangle));
        for (int i = 0; i < c.n; ++i)
            rec->Samples[i] = c.a * std::sin(2 * std::numbers::pi * c.k * i / c.n + 0.3);
        FFTPower(*rec);
        const double expected = (c.a * c.n / 2) * (c.a * c.n / 2);
        EXPECT_NEAR(rec->Power[c.k], expected, expected * 1e-9) << c.n << " " << c.k;
        EXPECT_NEAR(rec->Power[(c.k + c.n / 4) % (c.n / 2)], 0, expected * 1e-12) << c.n << " " << c.k;
    }
}

TEST(FFTPower, DoesNothingOnARecordThatWasNeverSetUp)
{
    auto rec = std::make_unique<TFFTRec>();
    rec->Samples[0] = 5;
    FFTPower(*rec);
    EXPECT_EQ(rec->Power[0], 0.0);
    rec->N = 6;  // not a size FFTInit would accept
    rec->M = 3;
    FFTPower(*rec);
    EXPECT_EQ(rec->Power[0], 0.0);
}

// The designs as written out, with the exact Bessel function, for comparison.
std::vector<double> lowPassReference(int32_t taps, double fc)
{
    const int32_t half = taps / 2;
    std::vector<double> c(static_cast<size_t>(half + 1));
    c[static_cast<size_t>(half)] = fc;
    double sum = fc;
    for (int32_t i = 1; i <= half; ++i) {
        const double r = double(i) / half;
        c[static_cast<size_t>(half - i)] = std::sin(std::numbers::pi * fc * i) / (std::numbers::pi * i) *
                                           std::cyl_bessel_i(0.0, 0.9425 * std::sqrt(1 - r * r)) /
                                           std::cyl_bessel_i(0.0, 0.9425);
        sum += 2 * c[static_cast<size_t>(half - i)];
    }
    for (double& v : c)
        v /= sum;
    return c;
}

// The filter's amplitude response at f / fs.
double response(const TFIRRec& rec, double f)
{
    double h = rec.Coef[rec.Half];
    for (int32_t i = 1; i <= rec.Half; ++i)
        h += 2 * rec.Coef[rec.Half - i] * std::cos(2 * std::numbers::pi * f * i);
    return h;
}

TEST(DesignLowPassFIR, GivesTheKaiserWindowedSincWithUnitGainAtZero)
{
    auto rec = std::make_unique<TFIRRec>();
    const double fc = 2 * 2600.0 / 44100;
    ASSERT_TRUE(DesignLowPassFIR(*rec, 4096, 31, fc));
    EXPECT_EQ(rec->Block, 4096);
    EXPECT_EQ(rec->Taps, 31);
    EXPECT_EQ(rec->Half, 15);
    double sum = rec->Coef[15];
    for (int i = 0; i < 15; ++i)
        sum += 2 * rec->Coef[i];
    EXPECT_NEAR(sum, 1, 1e-14);
    const std::vector<double> ref = lowPassReference(31, fc);
    for (int i = 0; i <= 15; ++i)
        EXPECT_NEAR(rec->Coef[i], ref[static_cast<size_t>(i)], 1e-12) << i;
    EXPECT_GT(response(*rec, 500.0 / 44100), 0.95);
    EXPECT_LT(std::fabs(response(*rec, 8000.0 / 44100)), 0.1);

    // A constant 1000 comes out as 1000 once the taps are full (fresh history is zero).
    for (int i = 0; i < 4096; ++i)
        rec->Input[kFIRBlockStart + i] = 1000;
    FIRFilter(*rec);
    EXPECT_LT(rec->Output[0], 1000);
    for (int i = 30; i < 4096; ++i)
        ASSERT_EQ(rec->Output[i], 1000) << i;
}

TEST(DesignBandPassFIR, PassesTheBandCentreWithUnitGainAndAHalfLengthDelay)
{
    auto rec = std::make_unique<TFIRRec>();
    const double fs = 44100;
    ASSERT_TRUE(DesignBandPassFIR(*rec, 1024, 101, 0.034013605442176874, 0.018140589569160998));
    EXPECT_EQ(rec->Half, 50);
    EXPECT_NEAR(response(*rec, 1150 / fs), 1, 1e-12);
    EXPECT_LT(std::fabs(response(*rec, 3500 / fs)), 0.03);
    EXPECT_LT(std::fabs(response(*rec, 100 / fs)), 0.03);
    for (int32_t i = 0; i <= 50; ++i)
        EXPECT_TRUE(std::isfinite(rec->Coef[i]));

    const double a = 10000;
    auto input = [&](int64_t n) { return a * std::sin(2 * std::numbers::pi * 1150 * double(n) / fs); };
    int64_t t = 0;
    for (int block = 0; block < 3; ++block) {
        for (int i = 0; i < 1024; ++i)
            rec->Input[kFIRBlockStart + i] = static_cast<int32_t>(std::lround(input(t + i)));
        FIRFilter(*rec);
        for (int i = 0; i < 1024; ++i, ++t)
            if (t >= 100) {
                ASSERT_NEAR(rec->Output[i], input(t - 50), 1.5) << t;
            }
    }
}

TEST(FIRDesign, ARefusedTapCountOrBlockKeepsTheEarlierDesignWhole)
{
    auto rec = std::make_unique<TFIRRec>();
    ASSERT_TRUE(DesignLowPassFIR(*rec, 4096, 31, 0.1));
    const std::vector<double> coef(rec->Coef, rec->Coef + kFIRMaxTaps);
    struct Case {
        int32_t block, taps;
        bool bandPass;
        double f1, f2;
        int32_t blockAfter;
    };
    for (const Case& c : std::vector<Case>{{512, 32, false, 0.2, 0, 512},
                                           {256, 400, true, 0.1, 0.05, 256},
                                           {128, 403, false, 0.2, 0, 128},
                                           {100, 0, false, 0.2, 0, 100},
                                           {100, -5, true, 0.1, 0.05, 100},
                                           {0, 31, false, 0.2, 0, 100},
                                           {8193, 31, true, 0.1, 0.05, 100},
                                           {-1, 31, false, 0.2, 0, 100},
                                           {64, 31, false, 0.0, 0, 64},           // no gain at 0 Hz
                                           {64, 31, true, 0.1, 0.1, 64}}) {       // an empty band
        const bool stored = c.bandPass ? DesignBandPassFIR(*rec, c.block, c.taps, c.f1, c.f2)
                                       : DesignLowPassFIR(*rec, c.block, c.taps, c.f1);
        EXPECT_FALSE(stored) << c.block << " " << c.taps;
        EXPECT_EQ(rec->Block, c.blockAfter) << c.block << " " << c.taps;
        EXPECT_EQ(rec->Taps, 31);
        EXPECT_EQ(rec->Half, 15);
        EXPECT_EQ(std::vector<double>(rec->Coef, rec->Coef + kFIRMaxTaps), coef);
    }
    EXPECT_TRUE(DesignLowPassFIR(*rec, 8192, 401, 0.5));
    EXPECT_TRUE(DesignLowPassFIR(*rec, 1, 1, 0.5));
    EXPECT_EQ(rec->Coef[0], 1.0);
}

TEST(FIRFilter, ImpulseResponseIsTheTapsAfterAHalfLengthDelay)
{
    auto rec = std::make_unique<TFIRRec>();
    ASSERT_TRUE(DesignLowPassFIR(*rec, 64, 21, 0.3));
    const int32_t amplitude = 1 << 24;
    rec->Input[kFIRBlockStart] = amplitude;
    FIRFilter(*rec);
    for (int n = 0; n < 64; ++n) {
        const int d = std::abs(n - 10);
        const double expected = d <= 10 ? std::nearbyint(amplitude * rec->Coef[10 - d]) : 0;
        EXPECT_EQ(rec->Output[n], expected) << n;
    }
}

TEST(FIRFilter, RoundsTiesToEvenSaturatesAndWrapsPairsLikeTheSamples)
{
    auto rec = std::make_unique<TFIRRec>();
    rec->Taps = 1;
    rec->Half = 0;
    rec->Coef[0] = 0.5;
    const std::vector<std::pair<int32_t, int32_t>> ties = {{1, 0}, {3, 2}, {5, 2}, {-1, 0}, {-3, -2}, {7, 4}, {2, 1}};
    rec->Block = static_cast<int32_t>(ties.size());
    for (size_t i = 0; i < ties.size(); ++i)
        rec->Input[kFIRBlockStart + i] = ties[i].first;
    FIRFilter(*rec);
    for (size_t i = 0; i < ties.size(); ++i)
        EXPECT_EQ(rec->Output[i], ties[i].second) << ties[i].first;

    rec->Coef[0] = 4;
    rec->Block = 3;
    rec->Input[kFIRBlockStart] = 1 << 30;
    rec->Input[kFIRBlockStart + 1] = -(1 << 30);
    rec->Input[kFIRBlockStart + 2] = 1000;
    FIRFilter(*rec);
    EXPECT_EQ(rec->Output[0], INT32_MAX);
    EXPECT_EQ(rec->Output[1], INT32_MIN);
    EXPECT_EQ(rec->Output[2], 4000);

    // A pair beyond the 32-bit range wraps, as the samples' type does, without undefined behaviour.
    rec->Taps = 3;
    rec->Half = 1;
    rec->Coef[0] = 1;
    rec->Coef[1] = 0;
    rec->Block = 1;
    rec->Input[kFIRBlockStart - 1] = INT32_MAX;
    rec->Input[kFIRBlockStart + 1 - 1] = 0;
    rec->Input[kFIRBlockStart] = 1;
    // Output 0 is centred on cell 400: its pair is cells 399 and 401.
    rec->Input[kFIRBlockStart - 2] = INT32_MAX;
    FIRFilter(*rec);
    EXPECT_EQ(rec->Output[0], INT32_MIN);
}

TEST(FIRFilter, DoesNothingOnAnInconsistentRecord)
{
    auto rec = std::make_unique<TFIRRec>();
    ASSERT_TRUE(DesignLowPassFIR(*rec, 16, 31, 0.2));
    rec->Output[0] = 77;
    for (auto setBad : std::vector<void (*)(TFIRRec&)>{[](TFIRRec& r) { r.Half = 3; },
                                                       [](TFIRRec& r) { r.Block = kFIRMaxBlock + 1; },
                                                       [](TFIRRec& r) { r.Taps = 403; r.Half = 201; },
                                                       [](TFIRRec& r) { r.Block = -1; }}) {
        auto bad = std::make_unique<TFIRRec>(*rec);
        setBad(*bad);
        FIRFilter(*bad);
        EXPECT_EQ(bad->Output[0], 77);
    }
}

// The output stream is the same however the input is cut into blocks, and equals the filter applied to
// the continuous stream.
TEST(FIRFilter, OutputDoesNotDependOnHowTheStreamIsCutIntoBlocks)
{
    struct Design {
        int32_t taps;
        bool bandPass;
        double f1, f2;
    };
    std::mt19937 gen(11);
    std::uniform_int_distribution<int32_t> sample(-(1 << 30), 1 << 30);
    std::vector<int32_t> stream(20000);
    for (int32_t& s : stream)
        s = sample(gen);
    for (const Design& d : std::vector<Design>{{31, false, 2 * 2600.0 / 44100, 0},
                                               {101, true, 0.034013605442176874, 0.018140589569160998},
                                               {401, false, 0.1, 0},
                                               {1, false, 0.3, 0},
                                               {3, true, 0.3, 0.1}}) {
        // Reference: each output from the continuous stream, zero before it starts.
        auto design = std::make_unique<TFIRRec>();
        ASSERT_TRUE(d.bandPass ? DesignBandPassFIR(*design, 1, d.taps, d.f1, d.f2)
                               : DesignLowPassFIR(*design, 1, d.taps, d.f1));
        const int32_t half = design->Half;
        auto at = [&](int64_t i) { return i < 0 ? 0 : stream[static_cast<size_t>(i)]; };
        std::vector<int32_t> expected(stream.size());
        for (int64_t n = 0; n < static_cast<int64_t>(stream.size()); ++n) {
            const int64_t e = n - half;
            double acc = at(e) * design->Coef[half];
            for (int32_t i = 1; i <= half; ++i)
                acc += static_cast<int32_t>(static_cast<uint32_t>(at(e + i)) + static_cast<uint32_t>(at(e - i))) *
                       design->Coef[half - i];
            const double r = std::nearbyint(acc);
            expected[static_cast<size_t>(n)] = r >= 2147483647.0 ? INT32_MAX : r <= -2147483648.0 ? INT32_MIN
                                                                                            : static_cast<int32_t>(r);
        }
        for (const std::vector<int32_t>& cuts : std::vector<std::vector<int32_t>>{
                 {8192}, {1}, {4096, 1, 7, 8192}, {399, 400, 401, 402}, {13, 5000, 2, 8192, 1}}) {
            auto rec = std::make_unique<TFIRRec>();
            ASSERT_TRUE(d.bandPass ? DesignBandPassFIR(*rec, 1, d.taps, d.f1, d.f2)
                                   : DesignLowPassFIR(*rec, 1, d.taps, d.f1));
            std::vector<int32_t> got;
            size_t pos = 0;
            for (size_t c = 0; pos < stream.size(); ++c) {
                const auto block = static_cast<int32_t>(
                    std::min<size_t>(static_cast<size_t>(cuts[c % cuts.size()]), stream.size() - pos));
                rec->Block = block;
                std::memcpy(&rec->Input[kFIRBlockStart], &stream[pos], sizeof(int32_t) * static_cast<size_t>(block));
                FIRFilter(*rec);
                got.insert(got.end(), rec->Output, rec->Output + block);
                pos += static_cast<size_t>(block);
            }
            ASSERT_EQ(got, expected) << "taps " << d.taps << " first cut " << cuts[0];
        }
    }
}

TEST(MakeWindow, TextbookWindowsWithAPeakOfOneAndTheScaledKaiser)
{
    auto rec = std::make_unique<TDFTRec>();
    const double h = std::sqrt(0.5);
    struct Case {
        int32_t n, kind;
        std::vector<double> w;
    };
    for (const Case& c : std::vector<Case>{
             {8, dwRectangular, {1, 1, 1, 1, 1, 1, 1, 1}},
             {8, dwTriangular, {0, 0.25, 0.5, 0.75, 1, 0.75, 0.5, 0.25}},
             {7, dwTriangular, {0, 2.0 / 7, 4.0 / 7, 6.0 / 7, 6.0 / 7, 4.0 / 7, 2.0 / 7}},
             {8, dwHamming, {0.08, 0.54 - 0.46 * h, 0.54, 0.54 + 0.46 * h, 1, 0.54 + 0.46 * h, 0.54, 0.54 - 0.46 * h}},
             {8, dwHann, {0, 0.5 - 0.5 * h, 0.5, 0.5 + 0.5 * h, 1, 0.5 + 0.5 * h, 0.5, 0.5 - 0.5 * h}},
             {8, dwBlackman, {0, 0.42 - 0.5 * h, 0.34, 0.42 + 0.5 * h, 1, 0.42 + 0.5 * h, 0.34, 0.42 - 0.5 * h}},
             {1, dwKaiser, {2.267}},  // a one-sample window is the centre value, not a division by zero
             {3, dwKaiser, {2.267 / std::cyl_bessel_i(0.0, 7.8), 2.267, 2.267 / std::cyl_bessel_i(0.0, 7.8)}},
         }) {
        ASSERT_TRUE(MakeWindow(*rec, c.n, c.kind));
        EXPECT_EQ(rec->N, c.n);
        for (int32_t k = 0; k < c.n; ++k)
            EXPECT_NEAR(rec->Window[k], c.w[static_cast<size_t>(k)], 1e-12) << "kind " << c.kind << " k " << k;
    }
    // The Kaiser window is the FFT's.
    auto fft = std::make_unique<TFFTRec>();
    ASSERT_TRUE(FFTInit(*fft, 512, fwKaiser));
    ASSERT_TRUE(MakeWindow(*rec, 512, dwKaiser));
    for (int k = 0; k < 512; ++k)
        ASSERT_DOUBLE_EQ(rec->Window[k], fft->Window[k]) << k;
    // Refused sizes and unknown kinds.
    for (int32_t n : {0, -1, 8193})
        EXPECT_FALSE(MakeWindow(*rec, n, dwHann));
    EXPECT_EQ(rec->N, 512);
    const double w7 = rec->Window[7];
    ASSERT_TRUE(MakeWindow(*rec, 300, 6));
    EXPECT_EQ(rec->N, 300);
    EXPECT_EQ(rec->Window[7], w7);
}

TEST(GoertzelPower, EqualsTheSquaredMagnitudeOfThePlainWindowedDFT)
{
    auto rec = std::make_unique<TDFTRec>();
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> sample(-32768, 32767);
    for (int32_t n : {1, 2, 205, 300, 1000, 8192}) {
        for (int32_t kind = dwRectangular; kind <= dwKaiser; ++kind) {
            ASSERT_TRUE(MakeWindow(*rec, n, kind));
            std::vector<long double> x(static_cast<size_t>(n));
            for (int i = 0; i < n; ++i) {
                rec->Samples[i] = sample(gen);
                x[static_cast<size_t>(i)] = static_cast<long double>(rec->Samples[i]) * rec->Window[i];
            }
            const long double bound = 1e-9L * l1(x);
            const std::vector<double> frame(rec->Samples, rec->Samples + n);
            for (int32_t k : {0, 1, n / 7, n / 3, n / 2, n - 1}) {
                const double p = GoertzelPower(*rec, k);
                EXPECT_NEAR(std::sqrt(std::max(p, 0.0)), static_cast<double>(dftMagnitude(x, k)), static_cast<double>(bound))
                    << "n " << n << " window " << kind << " bin " << k;
            }
            EXPECT_EQ(std::vector<double>(rec->Samples, rec->Samples + n), frame);  // several bins per frame
        }
    }
}

TEST(GoertzelPower, ABinCentredSineWithTheRectangularWindow)
{
    auto rec = std::make_unique<TDFTRec>();
    ASSERT_TRUE(MakeWindow(*rec, 300, dwRectangular));
    for (int32_t k : {1, 20, 77, 149}) {
        const double a = 8000;
        for (int i = 0; i < 300; ++i)
            rec->Samples[i] = a * std::cos(2 * std::numbers::pi * k * i / 300 + 1.0);
        const double expected = (a * 300 / 2) * (a * 300 / 2);
        EXPECT_NEAR(GoertzelPower(*rec, k), expected, expected * 1e-9) << k;
        EXPECT_LT(GoertzelPower(*rec, k + 3), expected * 1e-12) << k;
    }
    auto fresh = std::make_unique<TDFTRec>();
    EXPECT_EQ(GoertzelPower(*fresh, 3), 0.0);
}

// Between bins the recursion measures the frequency itself: a tone there reads as strong as at a bin.
TEST(GoertzelPower, ABinBetweenBinsMeasuresItsOwnFrequency)
{
    auto rec = std::make_unique<TDFTRec>();
    ASSERT_TRUE(MakeWindow(*rec, 300, dwKaiser));
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> sample(-1000, 1000);
    for (int i = 0; i < 300; ++i)
        rec->Samples[i] = sample(gen);
    for (double k : {0.5, 18.966, 40.19, 149.5}) {
        std::complex<long double> sum = 0;
        for (int n = 0; n < 300; ++n) {
            const long double angle = -2 * kPi * static_cast<long double>(k) * n / 300;
            sum += static_cast<long double>(rec->Samples[n]) * rec->Window[n] *
                   std::complex<long double>(std::cos(angle), std::sin(angle));
        }
        const double expected = static_cast<double>(std::norm(sum));
        EXPECT_NEAR(GoertzelPower(*rec, k), expected, expected * 1e-9 + 1e-3) << k;
    }
    EXPECT_EQ(GoertzelPower(*rec, 20), GoertzelPower(*rec, 20.0));
}

}  // namespace

namespace {

// The many-bin pass gives exactly what the single-bin recursion gives, for any number of bins.
TEST(GoertzelPowers, EqualsGoertzelPowerBitForBit)
{
    auto rec = std::make_unique<TDFTRec>();
    std::mt19937 gen(8);
    std::uniform_real_distribution<double> sample(-32768, 32767);
    for (int32_t n : {1, 205, 300, 8192}) {
        for (int32_t kind = dwRectangular; kind <= dwKaiser; kind += 5) {
            ASSERT_TRUE(MakeWindow(*rec, n, kind));
            for (int i = 0; i < n; ++i)
                rec->Samples[i] = sample(gen);
            std::vector<double> bins;
            for (int j = 0; j < 20; ++j)
                bins.push_back(j * 7.37 + 0.5 * (j % 3));
            for (int32_t count : {0, 1, 8, 12, 16, 20}) {
                std::vector<double> out(static_cast<size_t>(count) + 1, -1.0);
                GoertzelPowers(*rec, bins.data(), count, out.data());
                for (int32_t j = 0; j < count; ++j)
                    ASSERT_EQ(out[static_cast<size_t>(j)], GoertzelPower(*rec, bins[static_cast<size_t>(j)]))
                        << n << " " << count << " " << j;
                EXPECT_EQ(out[static_cast<size_t>(count)], -1.0) << "nothing written past the bins";
            }
        }
    }
    auto fresh = std::make_unique<TDFTRec>();
    double k = 3, out = -1;
    GoertzelPowers(*fresh, &k, 1, &out);
    EXPECT_EQ(out, 0.0);
}

}  // namespace
