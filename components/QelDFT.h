#pragma once
// Windowed discrete Fourier transform of a block at one frequency, which need not fall on a bin.
#include <cstdint>
#include <vector>

#include "QelFFT.h"

class TQelDFT {
public:
    TQelDFT();

    int32_t DataLength() const { return dataLength_; }
    // Rounds an odd value up to even; below 1 becomes 1, above QelMaxDataLength is cut to it.
    void SetDataLength(int32_t value);

    TQelFFTWinType WindowType() const { return windowType_; }
    void SetWinType(TQelFFTWinType type);

    // Evaluates the transform at frequency Hz over the first min(count, DataLength) samples.
    // Without a sampling rate there is no frequency to evaluate: all four results become 0.
    void Compute(const int16_t* samples, int32_t count, uint32_t frequency);

    void ComputeWindow();
    void UpdateSizes();

    const double* Window() const { return window_.data(); }

    // Results of the last Compute, unnormalised.
    double RealOut = 0.0;
    double ImagOut = 0.0;
    double ModuleOut = 0.0;
    double PhaseOut = 0.0;
    uint32_t SamplingRate = 22050;

private:
    int32_t dataLength_ = 512;
    TQelFFTWinType windowType_ = fwRectangle;
    std::vector<double> window_;
};
