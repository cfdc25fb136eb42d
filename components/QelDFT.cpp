#include "QelDFT.h"

#include <algorithm>
#include <cmath>

TQelDFT::TQelDFT() { UpdateSizes(); }

void TQelDFT::SetDataLength(int32_t value) {
    // Widened so that the largest int does not overflow when rounded up.
    const int64_t even = (static_cast<int64_t>(value) + 1) & ~int64_t{1};
    const int32_t n = static_cast<int32_t>(std::clamp<int64_t>(even, 1, QelMaxDataLength));
    if (n == dataLength_) return;
    std::vector<double> window(n);  // allocated before anything changes
    window_.swap(window);
    dataLength_ = n;
    ComputeWindow();
}

void TQelDFT::SetWinType(TQelFFTWinType type) {
    if (type == windowType_) return;
    windowType_ = type;
    ComputeWindow();
}

void TQelDFT::ComputeWindow() { QelComputeWindow(windowType_, dataLength_, window_.data()); }

void TQelDFT::UpdateSizes() {
    window_.assign(dataLength_, 0.0);
    ComputeWindow();
}

void TQelDFT::Compute(const int16_t* samples, int32_t count, uint32_t frequency) {
    if (SamplingRate == 0) {
        RealOut = ImagOut = ModuleOut = PhaseOut = 0.0;
        return;
    }
    const int32_t n = std::clamp(count, int32_t{0}, dataLength_);
    const double omega = static_cast<double>(frequency) * 6.283185307179586 / static_cast<double>(SamplingRate);
    double re = 0.0;
    double sineSum = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const double x = samples[i] * window_[i];
        re += std::cos(omega * i) * x;
        sineSum += std::sin(omega * i) * x;
    }
    const double im = 0.0 - sineSum;
    RealOut = re;
    ImagOut = im;
    ModuleOut = std::sqrt(re * re + im * im);
    PhaseOut = (re == 0.0 && im == 0.0) ? 0.0 : std::atan2(im, re);
}
