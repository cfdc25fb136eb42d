#include "DFT.h"

#include "MathFunctions.h"

#include <cmath>
#include <numbers>

bool MakeWindow(TDFTRec& rec, int32_t n, int32_t kind)
{
    if (n < 1 || n > kDFTMaxSize)
        return false;
    rec.N = n;
    const double pi = std::numbers::pi;
    double* w = rec.Window;
    switch (kind) {
    case dwRectangular:
        for (int32_t k = 0; k < n; ++k)
            w[k] = 1;
        break;
    case dwTriangular:
        for (int32_t k = 0; k < n; ++k)
            w[k] = 2 * k <= n ? 2.0 * k / n : 2 - 2.0 * k / n;
        break;
    case dwHamming:
        for (int32_t k = 0; k < n; ++k)
            w[k] = 0.54 - 0.46 * std::cos(2 * pi * k / n);
        break;
    case dwHann:
        for (int32_t k = 0; k < n; ++k)
            w[k] = 0.5 - 0.5 * std::cos(2 * pi * k / n);
        break;
    case dwBlackman:
        for (int32_t k = 0; k < n; ++k)
            w[k] = 0.42 - 0.5 * std::cos(2 * pi * k / n) + 0.08 * std::cos(4 * pi * k / n);
        break;
    case dwKaiser: {
        // The FFT's scaled Kaiser window; a one-sample window is its centre value.
        const int32_t m = n / 2;
        for (int32_t k = 0; k < n; ++k)
            w[k] = ScaledKaiserWindow(m > 0 ? static_cast<double>(k - m) / m : 0.0);
        break;
    }
    default:
        break;  // unknown kind: the window stays as it was
    }
    return true;
}

double GoertzelPower(const TDFTRec& rec, double k)
{
    const int32_t n = rec.N;
    if (n < 1 || n > kDFTMaxSize)
        return 0;
    const double a = 2 * std::cos(2 * std::numbers::pi * k / n);
    double s1 = 0;
    double s2 = 0;
    for (int32_t i = 0; i < n; ++i) {
        const double s = rec.Samples[i] * rec.Window[i] + a * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - a * s1 * s2;
}

void GoertzelPowers(const TDFTRec& rec, const double* k, int32_t count, double* out)
{
    if (count <= 0)
        return;
    if (count > kGoertzelMaxBins) {
        GoertzelPowers(rec, k, kGoertzelMaxBins, out);
        GoertzelPowers(rec, k + kGoertzelMaxBins, count - kGoertzelMaxBins, out + kGoertzelMaxBins);
        return;
    }
    const int32_t n = rec.N;
    if (n < 1 || n > kDFTMaxSize) {
        for (int32_t j = 0; j < count; ++j)
            out[j] = 0;
        return;
    }
    // The recursions of the bins run side by side; each keeps the single-bin order of operations.
    double a[kGoertzelMaxBins], s1[kGoertzelMaxBins] = {}, s2[kGoertzelMaxBins] = {};
    for (int32_t j = 0; j < count; ++j)
        a[j] = 2 * std::cos(2 * std::numbers::pi * k[j] / n);
    for (int32_t i = 0; i < n; ++i) {
        const double x = rec.Samples[i] * rec.Window[i];
        for (int32_t j = 0; j < count; ++j) {
            const double s = x + a[j] * s1[j] - s2[j];
            s2[j] = s1[j];
            s1[j] = s;
        }
    }
    for (int32_t j = 0; j < count; ++j)
        out[j] = s1[j] * s1[j] + s2[j] * s2[j] - a[j] * s1[j] * s2[j];
}
