#pragma once
// Noise for the decoders' sensitivity tables: white Gaussian noise, or the same through a 300-3300 Hz
// band-pass (windowed sinc, 255 taps), the audio band of a receiver; scaled to a signal-to-noise ratio.
#include "Signal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

inline siggen::Samples bandNoise(size_t n, double rate, siggen::Random& r)
{
    const int taps = 255, mid = taps / 2;
    std::vector<double> h(taps);
    auto sinc = [](double x) { return x == 0 ? 1.0 : std::sin(M_PI * x) / (M_PI * x); };
    const double lo = 300.0 / rate, hi = 3300.0 / rate;
    for (int i = 0; i < taps; ++i) {
        const double t = i - mid;
        const double w = 0.42 - 0.5 * std::cos(2 * M_PI * i / (taps - 1)) + 0.08 * std::cos(4 * M_PI * i / (taps - 1));
        h[i] = (2 * hi * sinc(2 * hi * t) - 2 * lo * sinc(2 * lo * t)) * w;
    }
    std::vector<double> white(n + taps);
    for (auto& v : white)
        v = r.gaussian();
    siggen::Samples out(n);
    for (size_t i = 0; i < n; ++i) {
        double acc = 0;
        for (int j = 0; j < taps; ++j)
            acc += h[j] * white[i + j];
        out[i] = acc;
    }
    return out;
}

// x plus noise (white, or band-limited when band) at snrDb below the signal's mean power; 16-bit.
inline std::vector<int16_t> withNoise(const siggen::Samples& x, double rate, double snrDb, bool band, uint64_t seed)
{
    siggen::Samples y = x;
    siggen::Random r(seed);
    siggen::Samples noise = band ? bandNoise(x.size(), rate, r) : siggen::Samples(x.size());
    if (!band)
        for (auto& v : noise)
            v = r.gaussian();
    const double scale = std::sqrt(siggen::meanPower(x) / std::pow(10.0, snrDb / 10) / siggen::meanPower(noise));
    for (size_t i = 0; i < y.size(); ++i)
        y[i] += noise[i] * scale;
    std::vector<int16_t> out(y.size());
    for (size_t i = 0; i < y.size(); ++i)
        out[i] = static_cast<int16_t>(std::clamp(y[i], -1.0, 1.0) * 32767);
    return out;
}

}  // namespace bench
