#include "BandNoise.h"

#include <cmath>
#include <numbers>

namespace siggen {

Samples bandPassNoise(size_t n, double lowHz, double highHz, uint32_t rate, Random& random)
{
    // Band-pass by a Hamming-windowed difference of two sinc low-passes.
    constexpr int kHalf = 128;
    std::vector<double> taps(2 * kHalf + 1);
    const double a = 2 * lowHz / rate, b = 2 * highHz / rate;
    for (int i = -kHalf; i <= kHalf; ++i) {
        const double x = std::numbers::pi * i;
        const double ideal = i == 0 ? b - a : (std::sin(b * x) - std::sin(a * x)) / x;
        const double w = 0.54 + 0.46 * std::cos(std::numbers::pi * i / kHalf);
        taps[static_cast<size_t>(i + kHalf)] = ideal * w;
    }
    Samples white(n + taps.size());
    for (double& v : white)
        v = random.gaussian();
    Samples band(n);
    for (size_t k = 0; k < n; ++k) {
        double acc = 0;
        for (size_t t = 0; t < taps.size(); ++t)
            acc += taps[t] * white[k + t];
        band[k] = acc;
    }
    return band;
}

double addBandNoise(Samples& s, double snrDb, double lowHz, double highHz, uint32_t rate, Random& random)
{
    const double signal = meanPower(s);
    if (signal <= 0 || s.empty())
        return 0;
    const Samples band = bandPassNoise(s.size(), lowHz, highHz, rate, random);
    const double scale = std::sqrt(signal / std::pow(10.0, snrDb / 10.0) / meanPower(band));
    for (size_t n = 0; n < s.size(); ++n)
        s[n] += band[n] * scale;
    return std::sqrt(meanPower(band)) * scale;
}

}  // namespace siggen
