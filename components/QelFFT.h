#pragma once
// Windowed real FFT of a block of samples with a power spectrum, optionally a running average.
// The scope display owns one and reads RealOut, ImagOut and ModuleOut in place.
#include <cstdint>
#include <vector>

// Analysis window of the FFT, the DFT and the scope display.
enum TQelFFTWinType : uint8_t { fwRectangle, fwTriangle, fwCosine, fwHamming, fwBlackman, fwKaiser };

// Largest transform length either analyser accepts; larger requests are cut to it, since the
// tables of longer transforms would run to gigabytes.
inline constexpr int32_t QelMaxDataLength = 1 << 20;

// Fills w[0 .. n-1] with the window of the given type. Every window but the triangle has a mean
// of about 1, the triangle about 0.5. A window of one sample is its centre value.
void QelComputeWindow(TQelFFTWinType type, int32_t n, double* w);

class TQelFFT {
public:
    TQelFFT();

    int32_t DataLength() const { return dataLength_; }
    // Rounds up to a power of two, at least 2 and at most QelMaxDataLength; a new length
    // rebuilds every table and clears the outputs.
    void SetDataLength(int32_t value);

    TQelFFTWinType WindowType() const { return windowType_; }
    void SetWinType(TQelFFTWinType type);

    // Window and zero-pad count consecutive samples (at most DataLength are used), then transform.
    void Compute(const int16_t* samples, int32_t count);
    void Compute(const int32_t* samples, int32_t count);
    // Transforms the input array into RealOut/ImagOut and updates ModuleOut.
    void Compute();
    // Turns DataLength/2 complex values into power per bin, averaged when AverageValue is set.
    void ComputeModuleOut(const double* re, const double* im);

    void ComputeWindow();
    void UpdateSizes();

    // DataLength/2 bins each: bin 0 holds X[0], bin k holds 2*X[k] of the unnormalised transform.
    const double* RealOut() const { return realOut_.data(); }
    const double* ImagOut() const { return imagOut_.data(); }
    // Bin 0: RealOut[0] squared; bin k: |X[k]|^2, or its running average.
    const double* ModuleOut() const { return moduleOut_.data(); }
    const double* Window() const { return window_.data(); }

    // Counts averaged bins (not spectra); 0 makes the next bin start the average afresh.
    int32_t AverageValues = 0;
    bool AverageValue = false;
    uint32_t AverageCoeff = 2;

private:
    struct Complex {
        double re;
        double im;
    };
    // Builds every table for length n; the component is changed only once all allocations succeeded.
    void Rebuild(int32_t n);
    template <typename Sample>
    void Load(const Sample* samples, int32_t count);

    int32_t dataLength_ = 512;
    int32_t halfLength_ = 256;
    TQelFFTWinType windowType_ = fwRectangle;
    std::vector<int32_t> bitReverse_;
    std::vector<double> sine_;
    std::vector<double> cosine_;
    std::vector<double> window_;
    std::vector<Complex> work_;
    std::vector<double> input_;
    std::vector<double> realOut_;
    std::vector<double> imagOut_;
    std::vector<double> moduleOut_;
};
