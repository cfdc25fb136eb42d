#include "QelDFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "SpectrumTestSupport.h"

using spectrumtest::AllWindows;
using spectrumtest::NaiveBin;
using spectrumtest::random16;

TEST(QelDFT, SingleBinValues) {
    constexpr double pi = std::numbers::pi;
    struct Case {
        std::vector<int16_t> x;
        uint32_t rate, frequency;
        double re, im, module, phase;
    };
    const Case cases[] = {
        {{1, 2, 3, 4}, 4, 0, 10, 0, 10, 0},
        {{1, 2, 3, 4}, 4, 1, -2, 2, 2 * std::sqrt(2.0), 3 * pi / 4},
        {{1, 2, 3, 4}, 8000, 2000, -2, 2, 2 * std::sqrt(2.0), 3 * pi / 4},
        {{-1, -2}, 22050, 0, -3, 0, 3, pi},  // a negative sum at 0 Hz has phase pi
        {{0, 0, 0, 0}, 4, 1, 0, 0, 0, 0},
        {{0, 1, 0, -1}, 4, 1, 0, -2, 2, -pi / 2},
        // Half a bin: cos and sin of pi*i/2 over {1, 1}
        {{1, 1}, 4, 1, 1, -1, std::sqrt(2.0), -pi / 4},
    };
    for (const Case& c : cases) {
        TQelDFT dft;
        dft.SetDataLength(static_cast<int32_t>(c.x.size()));
        dft.SamplingRate = c.rate;
        dft.Compute(c.x.data(), static_cast<int32_t>(c.x.size()), c.frequency);
        const auto where = ::testing::Message() << "rate " << c.rate << " f " << c.frequency << " first " << c.x[0];
        EXPECT_NEAR(dft.RealOut, c.re, 1e-12) << where;
        EXPECT_NEAR(dft.ImagOut, c.im, 1e-12) << where;
        EXPECT_NEAR(dft.ModuleOut, c.module, 1e-12) << where;
        EXPECT_NEAR(dft.PhaseOut, c.phase, 1e-12) << where;
    }
}

TEST(QelDFT, ZeroSumAtZeroHertzHasPhaseZero) {
    const int16_t x[2] = {0, 0};
    TQelDFT dft;
    dft.SetDataLength(2);
    dft.Compute(x, 2, 0);
    EXPECT_EQ(dft.PhaseOut, 0.0);
    EXPECT_FALSE(std::signbit(dft.ImagOut));
}

// On a bin the DFT is the unnormalised transform, half what the FFT keeps for bins above 0.
TEST(QelDFT, AgreesWithFFTOnBinsForEveryWindow) {
    const int n = 64;
    const uint32_t rate = 6400;  // bin k at 100*k Hz
    const std::vector<int16_t> x = random16(n, 77);
    for (TQelFFTWinType type : AllWindows) {
        TQelFFT fft;
        TQelDFT dft;
        fft.SetDataLength(n);
        dft.SetDataLength(n);
        fft.SetWinType(type);
        dft.SetWinType(type);
        dft.SamplingRate = rate;
        fft.Compute(x.data(), n);
        for (int k : {1, 5, 31}) {
            dft.Compute(x.data(), n, 100u * k);
            EXPECT_NEAR(dft.RealOut, fft.RealOut()[k] / 2, 1e-6) << "type " << int(type) << " bin " << k;
            EXPECT_NEAR(dft.ImagOut, fft.ImagOut()[k] / 2, 1e-6) << "type " << int(type) << " bin " << k;
        }
        // Off a bin it is still the windowed sum at that frequency.
        dft.Compute(x.data(), n, 1250);
        const std::complex<double> X = NaiveBin(x.data(), dft.Window(), n, 12.5);
        EXPECT_NEAR(dft.RealOut, X.real(), 1e-6) << "type " << int(type);
        EXPECT_NEAR(dft.ImagOut, X.imag(), 1e-6) << "type " << int(type);
        EXPECT_NEAR(dft.PhaseOut, std::arg(X), 1e-9) << "type " << int(type);
    }
}

TEST(QelDFT, UsesAtMostDataLengthSamples) {
    const std::vector<int16_t> x = random16(16, 4);
    TQelDFT cut, exact, part, ref;
    for (TQelDFT* d : {&cut, &exact, &part, &ref}) {
        d->SetDataLength(8);
        d->SamplingRate = 8;
    }
    cut.Compute(x.data(), 16, 1);
    exact.Compute(x.data(), 8, 1);
    EXPECT_EQ(cut.RealOut, exact.RealOut);
    EXPECT_EQ(cut.ImagOut, exact.ImagOut);
    std::vector<int16_t> padded(x.begin(), x.begin() + 3);
    padded.resize(8, 0);
    part.Compute(x.data(), 3, 1);
    ref.Compute(padded.data(), 8, 1);
    EXPECT_NEAR(part.RealOut, ref.RealOut, 1e-9);
    EXPECT_NEAR(part.ImagOut, ref.ImagOut, 1e-9);
    part.Compute(x.data(), -5, 1);
    EXPECT_EQ(part.ModuleOut, 0.0);
}

TEST(QelDFT, NoSamplingRateGivesZeroResults) {
    const std::vector<int16_t> x = random16(8, 8);
    TQelDFT dft;
    dft.SetDataLength(8);
    dft.Compute(x.data(), 8, 1000);
    ASSERT_NE(dft.ModuleOut, 0.0);
    dft.SamplingRate = 0;
    for (uint32_t f : {0u, 1000u}) {
        dft.Compute(x.data(), 8, f);
        EXPECT_EQ(dft.RealOut, 0.0) << f;
        EXPECT_EQ(dft.ImagOut, 0.0) << f;
        EXPECT_EQ(dft.ModuleOut, 0.0) << f;
        EXPECT_EQ(dft.PhaseOut, 0.0) << f;
    }
}
