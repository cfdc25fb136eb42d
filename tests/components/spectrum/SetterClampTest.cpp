#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>

#include "QelBitDifference.h"
#include "QelDFT.h"
#include "QelFFT.h"

namespace {

// Each setter runs on a fresh component; the value read back is compared.
int64_t FFTLength(int64_t v) {
    TQelFFT fft;
    fft.SetDataLength(static_cast<int32_t>(v));
    return fft.DataLength();
}

int64_t DFTLength(int64_t v) {
    TQelDFT dft;
    dft.SetDataLength(static_cast<int32_t>(v));
    return dft.DataLength();
}

int64_t BitsNum(int64_t v) {
    TQelBitDifference bd;
    bd.SetBitsNum(static_cast<uint32_t>(v));
    return bd.BitsNum();
}

}  // namespace

TEST(QelSpectrumSetters, ClampAsDocumented) {
    struct Case {
        const char* what;
        std::function<int64_t(int64_t)> set;
        int64_t value, expected;
    };
    const Case cases[] = {
        {"FFT DataLength", FFTLength, 1000, 1024},
        {"FFT DataLength", FFTLength, 512, 512},
        {"FFT DataLength", FFTLength, 513, 1024},
        {"FFT DataLength", FFTLength, 3, 4},
        {"FFT DataLength", FFTLength, 2, 2},
        {"FFT DataLength", FFTLength, 1, 2},  // one point has no output bin
        {"FFT DataLength", FFTLength, 0, 2},
        {"FFT DataLength", FFTLength, (1 << 19) + 1, 1 << 20},
        {"FFT DataLength", FFTLength, QelMaxDataLength, QelMaxDataLength},
        {"FFT DataLength", FFTLength, QelMaxDataLength + 1, QelMaxDataLength},
        {"FFT DataLength", FFTLength, 1 << 29, QelMaxDataLength},
        {"FFT DataLength", FFTLength, INT32_MAX, QelMaxDataLength},
        {"FFT DataLength", FFTLength, -1, QelMaxDataLength},
        {"FFT DataLength", FFTLength, INT32_MIN, QelMaxDataLength},
        {"DFT DataLength", DFTLength, 513, 514},
        {"DFT DataLength", DFTLength, 514, 514},
        {"DFT DataLength", DFTLength, 1, 2},
        {"DFT DataLength", DFTLength, 0, 1},
        {"DFT DataLength", DFTLength, -1, 1},
        {"DFT DataLength", DFTLength, -2, 1},
        {"DFT DataLength", DFTLength, INT32_MIN, 1},
        {"DFT DataLength", DFTLength, QelMaxDataLength + 1, QelMaxDataLength},
        {"DFT DataLength", DFTLength, INT32_MAX, QelMaxDataLength},
        {"BitsNum", BitsNum, 0, 1},
        {"BitsNum", BitsNum, 1, 1},
        {"BitsNum", BitsNum, 24, 24},
        {"BitsNum", BitsNum, 64, 64},
        {"BitsNum", BitsNum, 65, 64},
        {"BitsNum", BitsNum, 100, 64},
        {"BitsNum", BitsNum, UINT32_MAX, 64},
    };
    for (const Case& c : cases) EXPECT_EQ(c.set(c.value), c.expected) << c.what << " set to " << c.value;
}

TEST(QelSpectrumSetters, Defaults) {
    TQelFFT fft;
    EXPECT_EQ(fft.DataLength(), 512);
    EXPECT_EQ(fft.WindowType(), fwRectangle);
    EXPECT_EQ(fft.AverageCoeff, 2u);
    EXPECT_FALSE(fft.AverageValue);
    EXPECT_EQ(fft.AverageValues, 0);
    TQelDFT dft;
    EXPECT_EQ(dft.DataLength(), 512);
    EXPECT_EQ(dft.WindowType(), fwRectangle);
    EXPECT_EQ(dft.SamplingRate, 22050u);
    EXPECT_EQ(dft.RealOut, 0.0);
    EXPECT_EQ(dft.ImagOut, 0.0);
    EXPECT_EQ(dft.ModuleOut, 0.0);
    EXPECT_EQ(dft.PhaseOut, 0.0);
    TQelBitDifference bd;
    EXPECT_EQ(bd.BitsNum(), 64u);
    EXPECT_EQ(bd.TargetLo, 0u);
    EXPECT_EQ(bd.TargetHi, 0u);
}
