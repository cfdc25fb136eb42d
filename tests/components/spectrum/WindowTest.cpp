#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "QelDFT.h"
#include "QelFFT.h"
#include "QelMathFunc.h"
#include "SpectrumTestSupport.h"

using spectrumtest::AllWindows;

TEST(QelWindow, KnownValuesAtEightPoints) {
    const double kaiserEdge = 2.267 / BesselI0(7.8);
    struct Case {
        TQelFFTWinType type;
        double w[8];
    };
    const double h = 0.8518518518518519 * std::sqrt(0.5);
    const double b = 1.1904761904761905 * std::sqrt(0.5);
    const double k1 = 2.267 * BesselI0(7.8 * std::sqrt(1.0 - 0.5625)) / BesselI0(7.8);
    const double k2 = 2.267 * BesselI0(7.8 * std::sqrt(0.75)) / BesselI0(7.8);
    const double k3 = 2.267 * BesselI0(7.8 * std::sqrt(1.0 - 0.0625)) / BesselI0(7.8);
    const Case cases[] = {
        {fwRectangle, {1, 1, 1, 1, 1, 1, 1, 1}},
        {fwTriangle, {0, 0.25, 0.5, 0.75, 0.75, 0.5, 0.25, 0}},
        {fwCosine, {0, 1 - std::sqrt(0.5), 1, 1 + std::sqrt(0.5), 2, 1 + std::sqrt(0.5), 1, 1 - std::sqrt(0.5)}},
        {fwHamming, {1 - 0.8518518518518519, 1 - h, 1, 1 + h, 1 + 0.8518518518518519, 1 + h, 1, 1 - h}},
        // 1 + b1*cos(2*pi*(i-4)/8) + b2*cos(2*pi*(i-4)/4)
        {fwBlackman,
         {1 - 1.1904761904761905 + 0.19047619047619047, 1 - b, 1 - 0.19047619047619047, 1 + b,
          1 + 1.1904761904761905 + 0.19047619047619047, 1 + b, 1 - 0.19047619047619047, 1 - b}},
        {fwKaiser, {kaiserEdge, k1, k2, k3, 2.267, k3, k2, k1}},
    };
    for (const Case& c : cases) {
        TQelFFT fft;
        fft.SetDataLength(8);
        fft.SetWinType(c.type);
        for (int i = 0; i < 8; ++i) EXPECT_NEAR(fft.Window()[i], c.w[i], 1e-12) << "type " << int(c.type) << " i " << i;
    }
}

TEST(QelWindow, MeansAndSharedBetweenFFTAndDFT) {
    for (TQelFFTWinType type : AllWindows) {
        TQelFFT fft;
        TQelDFT dft;
        fft.SetWinType(type);
        dft.SetWinType(type);
        const double* w = fft.Window();
        const double mean = std::accumulate(w, w + 512, 0.0) / 512.0;
        EXPECT_NEAR(mean, type == fwTriangle ? 0.5 : 1.0, 0.01) << "type " << int(type);
        for (int i = 0; i < 512; ++i) ASSERT_EQ(dft.Window()[i], w[i]) << "type " << int(type) << " i " << i;
    }
}

TEST(QelWindow, ChangingTypeRebuildsOnlyTheWindow) {
    TQelFFT fft;
    fft.SetDataLength(16);
    std::vector<int16_t> block(16, 100);
    fft.Compute(block.data(), 16);
    const double before = fft.ModuleOut()[0];
    fft.SetWinType(fwTriangle);
    EXPECT_EQ(fft.Window()[0], 0.0);
    EXPECT_EQ(fft.ModuleOut()[0], before);
    fft.SetWinType(fwRectangle);
    EXPECT_EQ(fft.Window()[0], 1.0);
}

TEST(QelWindow, OneSampleWindowIsItsCentreValue) {
    struct Case {
        TQelFFTWinType type;
        double w;
    };
    const Case cases[] = {
        {fwRectangle, 1.0},
        {fwTriangle, 0.0},
        {fwCosine, 2.0},
        {fwHamming, 1.0 - 0.8518518518518519},
        {fwBlackman, 1.0 + 1.1904761904761905 + 0.19047619047619047},
        {fwKaiser, 2.267},
    };
    for (const Case& c : cases) {
        TQelDFT dft;
        dft.SetDataLength(0);
        ASSERT_EQ(dft.DataLength(), 1);
        dft.SetWinType(c.type);
        EXPECT_NEAR(dft.Window()[0], c.w, 1e-12) << "type " << int(c.type);
        const int16_t sample = 1000;
        dft.Compute(&sample, 1, 0);
        EXPECT_NEAR(dft.RealOut, 1000.0 * c.w, 1e-9) << "type " << int(c.type);
    }
}
