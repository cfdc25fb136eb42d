#include "FFT.h"

#include "MathFunctions.h"

#include <cmath>
#include <numbers>

namespace {

bool validSize(int32_t n)
{
    return n >= 2 && n <= kFFTMaxSize && (n & (n - 1)) == 0;
}

void makeWindow(TFFTRec& rec, int32_t kind)
{
    const int32_t n = rec.N;
    const int32_t m = rec.M;
    const long double pi = std::numbers::pi_v<long double>;
    switch (kind) {
    case fwRectangle:
        for (int32_t k = 0; k < n; ++k)
            rec.Window[k] = 1;
        break;
    case fwTriangle:
        for (int32_t k = 0; k < m; ++k)
            rec.Window[k] = rec.Window[n - 1 - k] = 2.0 * k / m;
        break;
    case fwCosine:
        for (int32_t k = 0; k < n; ++k)
            rec.Window[k] = static_cast<double>(1 + std::cos(2 * pi * (k - m) / n));
        break;
    case fwHamming:
        // 0.46 / 0.54, so that the mean is 1.
        for (int32_t k = 0; k < n; ++k)
            rec.Window[k] = static_cast<double>(1 - 0.85185185185185185184L * std::cos(2 * pi * k / n));
        break;
    case fwBlackman:
        // 0.5 / 0.42 and 0.08 / 0.42, so that the mean is 1.
        for (int32_t k = 0; k < n; ++k)
            rec.Window[k] = static_cast<double>(1 + 1.1904761904761904762L * std::cos(2 * pi * (k - m) / n) +
                                                0.19047619047619047619L * std::cos(2 * pi * (k - m) / m));
        break;
    case fwKaiser:
        for (int32_t k = 0; k < n; ++k)
            rec.Window[k] = ScaledKaiserWindow(static_cast<double>(k - m) / m);
        break;
    default:
        break;  // unknown kind: the window stays as it was
    }
}

}  // namespace

bool FFTInit(TFFTRec& rec, int32_t n, int32_t window)
{
    if (!validSize(n))
        return false;
    rec.N = n;
    rec.M = n / 2;
    const int32_t m = rec.M;
    const double pi = std::numbers::pi;
    for (int32_t i = 0; i < m; ++i) {
        rec.BitRev[i] = i;
        rec.Sine[i] = std::sin(-pi * i / m);
        rec.Cosine[i] = std::cos(-pi * i / m);
    }
    // Bit-reversal permutation of the identity by the classic counter.
    int32_t j = 0;
    for (int32_t i = 0; i < m; ++i) {
        if (i < j) {
            rec.BitRev[j] = i;
            rec.BitRev[i] = j;
        }
        int32_t k = m / 2;
        while (k <= j && k > 0) {
            j -= k;
            k /= 2;
        }
        j += k;
    }
    makeWindow(rec, window);
    return true;
}

void FFTPower(TFFTRec& rec)
{
    const int32_t n = rec.N;
    const int32_t m = rec.M;
    if (!validSize(n) || m != n / 2)
        return;
    double* s = rec.Samples;
    for (int32_t i = 0; i < n; ++i)
        s[i] *= rec.Window[i];

    // Radix-2 decimation in time over z[p] = s[2p] + i s[2p+1], addressed through the bit-reversal
    // table instead of reordering the data.
    const int32_t* rev = rec.BitRev;
    for (int32_t b = 1; b < m; b *= 2) {
        const int32_t t = m / b;
        for (int32_t j = 0; j < b; ++j) {
            const double wr = rec.Cosine[j * t];
            const double wi = rec.Sine[j * t];
            for (int32_t idx = j; idx < m; idx += 2 * b) {
                const int32_t c = rev[idx];
                const int32_t d = rev[idx + b];
                const double dr = s[2 * d];
                const double di = s[2 * d + 1];
                const double tr = dr * wr - di * wi;
                const double ti = dr * wi + di * wr;
                const double cr = s[2 * c];
                const double ci = s[2 * c + 1];
                s[2 * d] = cr - tr;
                s[2 * d + 1] = ci - ti;
                s[2 * c] = cr + tr;
                s[2 * c + 1] = ci + ti;
            }
        }
    }

    // Split the complex transform into the spectrum of the real input.
    const double dc = s[0] + s[1];
    rec.Power[0] = dc * dc;
    for (int32_t k = 1; k < m; ++k) {
        const int32_t a = rev[k];
        const int32_t b = rev[m - k];
        const double ar = s[2 * a], ai = s[2 * a + 1];
        const double br = s[2 * b], bi = s[2 * b + 1];
        const double dd = ar - br;
        const double ss = ai + bi;
        const double f = ar + br + rec.Sine[k] * dd + rec.Cosine[k] * ss;
        const double g = ai - bi + rec.Sine[k] * ss - rec.Cosine[k] * dd;
        rec.Power[k] = (f * f + g * g) / 4;
    }
}
