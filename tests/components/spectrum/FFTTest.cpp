#include "QelFFT.h"

#include <gtest/gtest.h>

#include <climits>
#include <numbers>
#include <cmath>
#include <vector>

#include "SpectrumTestSupport.h"

using spectrumtest::AllWindows;
using spectrumtest::NaiveBin;
using spectrumtest::random16;

namespace {

void ExpectAllZero(const TQelFFT& fft, const char* what) {
    for (int k = 0; k < fft.DataLength() / 2; ++k) {
        EXPECT_EQ(fft.RealOut()[k], 0.0) << what << " bin " << k;
        EXPECT_EQ(fft.ImagOut()[k], 0.0) << what << " bin " << k;
        EXPECT_EQ(fft.ModuleOut()[k], 0.0) << what << " bin " << k;
    }
}

}  // namespace

// Bin 0 holds X[0], bin k holds 2*X[k] of the unnormalised transform, ModuleOut |X[k]|^2.
TEST(QelFFT, MatchesNaiveTransformForEveryLengthAndWindow) {
    for (int32_t n : {2, 4, 8, 16, 64, 512}) {
        for (TQelFFTWinType type : AllWindows) {
            TQelFFT fft;
            fft.SetDataLength(n);
            ASSERT_EQ(fft.DataLength(), n);
            fft.SetWinType(type);
            const std::vector<int16_t> x = random16(n, 1000u + n);
            fft.Compute(x.data(), n);
            const double tol = 1e-9 * 32768.0 * n;
            for (int k = 0; k < n / 2; ++k) {
                const std::complex<double> X = NaiveBin(x.data(), fft.Window(), n, k);
                const double scale = k == 0 ? 1.0 : 2.0;
                ASSERT_NEAR(fft.RealOut()[k], scale * X.real(), tol) << "n " << n << " type " << int(type) << " bin " << k;
                ASSERT_NEAR(fft.ImagOut()[k], k == 0 ? 0.0 : scale * X.imag(), tol)
                    << "n " << n << " type " << int(type) << " bin " << k;
                const double power = k == 0 ? X.real() * X.real() : std::norm(X);
                ASSERT_NEAR(fft.ModuleOut()[k], power, 1e-9 * (power + tol * tol))
                    << "n " << n << " type " << int(type) << " bin " << k;
            }
        }
    }
}

TEST(QelFFT, ThirtyTwoBitInputTakesTheSameRoad) {
    TQelFFT a, b;
    a.SetDataLength(64);
    b.SetDataLength(64);
    a.SetWinType(fwHamming);
    b.SetWinType(fwHamming);
    const std::vector<int16_t> x = random16(64, 7);
    std::vector<int32_t> wide(x.begin(), x.end());
    for (auto& v : wide) v *= 65536;
    a.Compute(x.data(), 64);
    b.Compute(wide.data(), 64);
    for (int k = 0; k < 32; ++k) EXPECT_NEAR(b.RealOut()[k], a.RealOut()[k] * 65536.0, 1e-3) << k;
}

TEST(QelFFT, ConstantBlockFillsBinZeroOnly) {
    TQelFFT fft;
    fft.SetDataLength(8);
    const int16_t ones[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    fft.Compute(ones, 8);
    EXPECT_DOUBLE_EQ(fft.RealOut()[0], 8.0);
    EXPECT_DOUBLE_EQ(fft.ModuleOut()[0], 64.0);
    for (int k = 1; k < 4; ++k) {
        EXPECT_NEAR(fft.RealOut()[k], 0.0, 1e-12) << k;
        EXPECT_NEAR(fft.ImagOut()[k], 0.0, 1e-12) << k;
        EXPECT_NEAR(fft.ModuleOut()[k], 0.0, 1e-20) << k;
    }
}

TEST(QelFFT, SineOnABinGivesItsAmplitude) {
    const int n = 256, bin = 10;
    const double amplitude = 10000.0;
    std::vector<int32_t> x(n);
    for (int i = 0; i < n; ++i) x[i] = static_cast<int32_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * bin * i / n)));
    TQelFFT fft;
    fft.SetDataLength(n);
    fft.Compute(x.data(), n);
    const double expectedPower = (amplitude * n / 2) * (amplitude * n / 2);
    EXPECT_NEAR(fft.ModuleOut()[bin], expectedPower, expectedPower * 1e-4);
    EXPECT_NEAR(std::hypot(fft.RealOut()[bin], fft.ImagOut()[bin]), amplitude * n, amplitude * n * 1e-4);
    EXPECT_LT(fft.ModuleOut()[bin + 1], expectedPower * 1e-6);
}

TEST(QelFFT, ShortBlockIsZeroPaddedLongBlockCut) {
    const std::vector<int16_t> x = random16(32, 3);
    std::vector<int16_t> padded(x.begin(), x.begin() + 5);
    padded.resize(16, 0);
    TQelFFT shortBlock, reference, longBlock;
    for (TQelFFT* f : {&shortBlock, &reference, &longBlock}) {
        f->SetDataLength(16);
        f->SetWinType(fwBlackman);
    }
    reference.Compute(padded.data(), 16);
    // Stale input from an earlier block must not survive into the padding.
    shortBlock.Compute(x.data(), 16);
    shortBlock.Compute(x.data(), 5);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(shortBlock.RealOut()[k], reference.RealOut()[k]) << k;
        EXPECT_EQ(shortBlock.ImagOut()[k], reference.ImagOut()[k]) << k;
    }
    reference.Compute(x.data(), 16);
    longBlock.Compute(x.data(), 32);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(longBlock.RealOut()[k], reference.RealOut()[k]) << k;

    for (int32_t count : {0, -1, INT32_MIN}) {
        TQelFFT fft;
        fft.SetDataLength(16);
        fft.Compute(x.data(), count);
        ExpectAllZero(fft, "no samples");
    }
}

// The counter counts bins: the first bin after a restart is taken as it is, every later one blends.
TEST(QelFFT, RunningAverageOverTwoEqualBlocks) {
    const int n = 16;
    const std::vector<int16_t> x = random16(n, 11);
    TQelFFT plain;
    plain.SetDataLength(n);
    plain.Compute(x.data(), n);

    TQelFFT fft;
    fft.SetDataLength(n);
    fft.AverageValue = true;
    fft.Compute(x.data(), n);
    EXPECT_EQ(fft.AverageValues, n / 2 - 1);
    EXPECT_EQ(fft.ModuleOut()[0], plain.ModuleOut()[0]);
    EXPECT_DOUBLE_EQ(fft.ModuleOut()[1], plain.ModuleOut()[1]);
    for (int k = 2; k < n / 2; ++k) EXPECT_DOUBLE_EQ(fft.ModuleOut()[k], plain.ModuleOut()[k] / 2) << k;

    fft.Compute(x.data(), n);
    EXPECT_EQ(fft.AverageValues, 2 * (n / 2 - 1));
    EXPECT_DOUBLE_EQ(fft.ModuleOut()[1], plain.ModuleOut()[1]);
    for (int k = 2; k < n / 2; ++k) EXPECT_DOUBLE_EQ(fft.ModuleOut()[k], plain.ModuleOut()[k] * 3 / 4) << k;

    // Writing 0 restarts the average at the next bin processed.
    const std::vector<int16_t> y = random16(n, 12);
    TQelFFT plainY;
    plainY.SetDataLength(n);
    plainY.Compute(y.data(), n);
    const double before2 = fft.ModuleOut()[2];
    fft.AverageValues = 0;
    fft.Compute(y.data(), n);
    EXPECT_DOUBLE_EQ(fft.ModuleOut()[1], plainY.ModuleOut()[1]);
    EXPECT_DOUBLE_EQ(fft.ModuleOut()[2], (before2 + plainY.ModuleOut()[2]) / 2);
}

TEST(QelFFT, AverageCoefficientZeroBecomesOne) {
    const std::vector<int16_t> x = random16(16, 21), y = random16(16, 22);
    TQelFFT plain, fft;
    plain.SetDataLength(16);
    fft.SetDataLength(16);
    fft.AverageValue = true;
    fft.AverageCoeff = 0;
    fft.Compute(x.data(), 16);
    EXPECT_EQ(fft.AverageCoeff, 1u);
    fft.Compute(y.data(), 16);
    plain.Compute(y.data(), 16);
    for (int k = 0; k < 8; ++k) EXPECT_DOUBLE_EQ(fft.ModuleOut()[k], plain.ModuleOut()[k]) << k;

    // Power straight from another transform's bins must not divide by a zero coefficient either.
    TQelFFT other;
    other.SetDataLength(16);
    other.AverageValue = true;
    other.AverageCoeff = 0;
    other.AverageValues = 5;
    other.ComputeModuleOut(plain.RealOut(), plain.ImagOut());
    EXPECT_EQ(other.AverageCoeff, 1u);
    for (int k = 0; k < 8; ++k) EXPECT_DOUBLE_EQ(other.ModuleOut()[k], plain.ModuleOut()[k]) << k;
}

TEST(QelFFT, AverageCounterWrapsAround) {
    TQelFFT fft;
    fft.SetDataLength(8);
    fft.AverageValue = true;
    fft.AverageValues = INT32_MAX - 1;
    const std::vector<int16_t> x = random16(8, 5);
    fft.Compute(x.data(), 8);
    EXPECT_EQ(fft.AverageValues, INT32_MIN + 1);
}

// A new length rebuilds every table with zeroed outputs; the same length keeps them.
TEST(QelFFT, NewLengthClearsOutputsSameLengthKeepsThem) {
    const std::vector<int16_t> x = random16(32, 9);
    TQelFFT fft;
    fft.SetDataLength(16);
    fft.Compute(x.data(), 16);
    const double bin3 = fft.ModuleOut()[3];
    ASSERT_GT(bin3, 0.0);
    fft.SetDataLength(16);
    fft.SetDataLength(15);
    EXPECT_EQ(fft.ModuleOut()[3], bin3);

    fft.AverageValue = true;
    fft.AverageValues = 7;
    fft.SetDataLength(32);
    ExpectAllZero(fft, "after a new length");
    EXPECT_EQ(fft.AverageValues, 7);
    // The running average carries on from the zeroed spectrum.
    TQelFFT plain;
    plain.SetDataLength(32);
    plain.Compute(x.data(), 32);
    fft.Compute(x.data(), 32);
    for (int k = 1; k < 16; ++k) EXPECT_DOUBLE_EQ(fft.ModuleOut()[k], plain.ModuleOut()[k] / 2) << k;
}

TEST(QelFFT, SmallestAndLargestLengthsWork) {
    TQelFFT fft;
    fft.SetDataLength(1);
    ASSERT_EQ(fft.DataLength(), 2);
    const int16_t two[2] = {3, 5};
    fft.Compute(two, 2);
    EXPECT_EQ(fft.RealOut()[0], 8.0);
    EXPECT_EQ(fft.ModuleOut()[0], 64.0);

    fft.SetDataLength(INT32_MAX);
    ASSERT_EQ(fft.DataLength(), QelMaxDataLength);
    std::vector<int16_t> block(QelMaxDataLength, 1);
    fft.Compute(block.data(), QelMaxDataLength);
    EXPECT_EQ(fft.RealOut()[0], static_cast<double>(QelMaxDataLength));
}
