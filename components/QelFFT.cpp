#include "QelFFT.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "QelMathFunc.h"

namespace {

constexpr double TwoPi = 6.283185307179586;
constexpr double Pi = 3.141592653589793;

// Smallest power of two at or above value; values with bit 30 or 31 set give 2^30.
int32_t RoundUpToPowerOfTwo(int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    constexpr uint32_t top = 1u << 30;
    if (v & (top | (top << 1))) return static_cast<int32_t>(top);
    uint32_t p = top;
    while (p > 1 && (v & p) == 0) p >>= 1;
    if (v != p && p < top) p <<= 1;
    return static_cast<int32_t>(p);
}

}  // namespace

void QelComputeWindow(TQelFFTWinType type, int32_t n, double* w) {
    if (n <= 0) return;
    const int32_t h = n >> 1;
    // (i - h) / h, taken as 0 for a one-sample window so that it gets the centre value.
    auto fromCentre = [h](int32_t i) { return h == 0 ? 0.0 : static_cast<double>(i - h) / h; };
    switch (type) {
    case fwTriangle:
        std::fill(w, w + n, 0.0);
        for (int32_t i = 0; i < h; ++i) w[i] = w[n - 1 - i] = static_cast<double>(i) / h;
        break;
    case fwCosine:
        for (int32_t i = 0; i < n; ++i) w[i] = 1.0 + std::cos(TwoPi * (i - h) / n);
        break;
    case fwHamming:
        for (int32_t i = 0; i < n; ++i) w[i] = 1.0 - 0.8518518518518519 * std::cos(TwoPi * i / n);
        break;
    case fwBlackman:
        for (int32_t i = 0; i < n; ++i)
            w[i] = 1.0 + 1.1904761904761905 * std::cos(TwoPi * (i - h) / n) +
                   0.19047619047619047 * std::cos(TwoPi * fromCentre(i));
        break;
    case fwKaiser: {
        const double i0Beta = BesselI0(7.8);
        for (int32_t i = 0; i < n; ++i) {
            const double x = fromCentre(i);
            w[i] = 2.267 * BesselI0(7.8 * std::sqrt(1.0 - x * x)) / i0Beta;
        }
        break;
    }
    case fwRectangle:
    default:
        std::fill(w, w + n, 1.0);
        break;
    }
}

TQelFFT::TQelFFT() { UpdateSizes(); }

void TQelFFT::SetDataLength(int32_t value) {
    const int32_t n = std::clamp(RoundUpToPowerOfTwo(value), int32_t{2}, QelMaxDataLength);
    if (n == dataLength_) return;
    Rebuild(n);
}

void TQelFFT::SetWinType(TQelFFTWinType type) {
    if (type == windowType_) return;
    windowType_ = type;
    ComputeWindow();
}

void TQelFFT::ComputeWindow() { QelComputeWindow(windowType_, dataLength_, window_.data()); }

void TQelFFT::UpdateSizes() { Rebuild(dataLength_); }

void TQelFFT::Rebuild(int32_t n) {
    const int32_t h = n >> 1;
    // Allocate everything first: if memory runs out the component keeps its old length and tables.
    std::vector<int32_t> rev(h);
    std::vector<double> sine(h), cosine(h), window(n), input(n), re(h), im(h), module(h);
    std::vector<Complex> work(h, Complex{0.0, 0.0});

    for (int32_t k = 0; k < h; ++k) {
        rev[k] = k;
        const double theta = k * (-Pi) / h;
        sine[k] = std::sin(theta);
        cosine[k] = std::cos(theta);
    }
    int32_t j = 0;
    for (int32_t i = 0; i < h; ++i) {
        if (i < j) {
            rev[j] = i;
            rev[i] = j;
        }
        int32_t m = h >> 1;
        while (m >= 1 && m <= j) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }

    dataLength_ = n;
    halfLength_ = h;
    bitReverse_ = std::move(rev);
    sine_ = std::move(sine);
    cosine_ = std::move(cosine);
    window_ = std::move(window);
    work_ = std::move(work);
    input_ = std::move(input);
    realOut_ = std::move(re);
    imagOut_ = std::move(im);
    moduleOut_ = std::move(module);
    ComputeWindow();
}

template <typename Sample>
void TQelFFT::Load(const Sample* samples, int32_t count) {
    const int32_t n = std::clamp(count, int32_t{0}, dataLength_);
    for (int32_t i = 0; i < n; ++i) input_[i] = samples[i] * window_[i];
    std::fill(input_.begin() + n, input_.end(), 0.0);
    Compute();
}

void TQelFFT::Compute(const int16_t* samples, int32_t count) { Load(samples, count); }

void TQelFFT::Compute(const int32_t* samples, int32_t count) { Load(samples, count); }

void TQelFFT::Compute() {
    const int32_t h = halfLength_;
    // Pack the N real inputs as N/2 complex points in bit-reversed order.
    for (int32_t m = 0; m < h; ++m) {
        const int32_t r = bitReverse_[m];
        work_[m] = Complex{input_[2 * r], input_[2 * r + 1]};
    }
    // Radix-2 decimation-in-time butterflies.
    for (int32_t len = 1; len < h; len *= 2) {
        const int32_t step = h / len;
        for (int32_t k = 0; k < len; ++k) {
            const double c = cosine_[k * step];
            const double s = sine_[k * step];
            for (int32_t i = k; i < h; i += 2 * len) {
                Complex& lo = work_[i];
                Complex& hi = work_[i + len];
                const Complex t{c * hi.re - s * hi.im, c * hi.im + s * hi.re};
                hi = Complex{lo.re - t.re, lo.im - t.im};
                lo = Complex{lo.re + t.re, lo.im + t.im};
            }
        }
    }
    // Split the half-length complex transform into the spectrum of the real input.
    realOut_[0] = work_[0].re + work_[0].im;
    imagOut_[0] = 0.0;
    for (int32_t k = 1; k < h; ++k) {
        const Complex a = work_[k];
        const Complex b = work_[h - k];
        const double d = a.re - b.re;
        const double e = a.im + b.im;
        realOut_[k] = a.re + b.re + sine_[k] * d + cosine_[k] * e;
        imagOut_[k] = a.im - b.im + sine_[k] * e - cosine_[k] * d;
    }
    ComputeModuleOut(realOut_.data(), imagOut_.data());
}

void TQelFFT::ComputeModuleOut(const double* re, const double* im) {
    if (AverageCoeff == 0) AverageCoeff = 1;
    const double c = AverageCoeff;
    moduleOut_[0] = re[0] * re[0];
    for (int32_t k = 1; k < halfLength_; ++k) {
        const double p = (re[k] * re[k] + im[k] * im[k]) * 0.25;
        if (!AverageValue) {
            moduleOut_[k] = p;
            continue;
        }
        moduleOut_[k] = AverageValues != 0 ? ((c - 1.0) * moduleOut_[k] + p) / c : p;
        // The counter wraps like the 32-bit register it stands for.
        AverageValues = static_cast<int32_t>(static_cast<uint32_t>(AverageValues) + 1u);
    }
}
