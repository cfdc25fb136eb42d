#include "BandNoise.h"

#include <cmath>
#include <numbers>
#include <vector>

namespace siggen {

namespace {

// Band-pass taps: the difference of two windowed-sinc low-pass filters, Blackman window.
std::vector<double> bandPass(double lowHz, double highHz, uint32_t rate, int taps)
{
    const double pi = std::numbers::pi;
    const int m = taps / 2;
    std::vector<double> h(size_t(taps), 0.0);
    const double fl = lowHz / rate, fh = highHz / rate;
    for (int i = 0; i < taps; ++i) {
        const int k = i - m;
        const double ideal = k == 0 ? 2 * (fh - fl) : (std::sin(2 * pi * fh * k) - std::sin(2 * pi * fl * k)) / (pi * k);
        const double w = 0.42 - 0.5 * std::cos(2 * pi * i / (taps - 1)) + 0.08 * std::cos(4 * pi * i / (taps - 1));
        h[size_t(i)] = ideal * w;
    }
    return h;
}

}  // namespace

double addBandNoise(Samples& s, double snrDb, uint32_t rate, Random& random, double lowHz, double highHz)
{
    const double power = meanPower(s);
    if (power <= 0.0 || s.empty())
        return 0.0;
    const std::vector<double> h = bandPass(lowHz, highHz, rate, 255);
    // White noise, filtered; the filter's start-up stretch is generated and dropped.
    std::vector<double> white(s.size() + h.size());
    for (double& x : white)
        x = random.gaussian();
    Samples noise(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        double acc = 0.0;
        for (size_t k = 0; k < h.size(); ++k)
            acc += h[k] * white[i + h.size() - 1 - k];
        noise[i] = acc;
    }
    const double rms = std::sqrt(power / std::pow(10.0, snrDb / 10.0));
    const double scale = rms / std::sqrt(meanPower(noise));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] += scale * noise[i];
    return rms;
}

}  // namespace siggen
