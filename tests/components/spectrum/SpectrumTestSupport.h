#pragma once
// Helpers of the spectrum tests: seeded random blocks and the textbook transform to compare with.
#include <complex>
#include <cstdint>
#include <vector>

#include "../filters/FilterModels.h"
#include "QelFFT.h"

namespace spectrumtest {

inline constexpr TQelFFTWinType AllWindows[] = {fwRectangle, fwTriangle, fwCosine, fwHamming, fwBlackman, fwKaiser};

// Seeded blocks of 16-bit samples over the whole range, shared with the filter tests.
using model::random16;

// X[k] = sum of x[n] * w[n] * e^(-2*pi*i*k*n/N), no normalisation.
inline std::complex<double> NaiveBin(const int16_t* x, const double* w, size_t n, double k) {
    std::complex<double> sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double angle = -2.0 * 3.141592653589793 * k * static_cast<double>(i) / static_cast<double>(n);
        sum += x[i] * w[i] * std::polar(1.0, angle);
    }
    return sum;
}

}  // namespace spectrumtest
