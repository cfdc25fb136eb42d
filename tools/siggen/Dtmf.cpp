#include "Dtmf.h"

#include <cmath>
#include <stdexcept>

namespace siggen::dtmf {

std::pair<double, double> tonesOf(char key)
{
    static const char keys[4][5] = {"123A", "456B", "789C", "*0#D"};
    static const double low[4] = {697, 770, 852, 941};
    static const double high[4] = {1209, 1336, 1477, 1633};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (keys[r][c] == key)
                return {low[r], high[c]};
    throw std::invalid_argument(std::string("'") + key + "' is not a DTMF key");
}

Samples render(const Script& script, uint32_t rate)
{
    for (double v : {script.toneSeconds, script.pauseSeconds, script.leadSeconds, script.tailSeconds})
        if (!(v >= 0))
            throw std::invalid_argument("tone, pause, lead and tail lengths must not be negative");
    // Split the peak so that high / low = 10^(twist / 20).
    const double ratio = std::pow(10.0, script.twistDb / 20.0);
    const double lowAmp = script.amplitude / (1 + ratio);
    const double highAmp = lowAmp * ratio;
    Samples out;
    appendSilence(out, samplesFor(script.leadSeconds, rate));
    Oscillator low(rate), high(rate, 0.25);
    for (size_t i = 0; i < script.digits.size(); ++i) {
        const auto [fl, fh] = tonesOf(script.digits[i]);
        const size_t n = samplesFor(script.toneSeconds, rate);
        Samples a, b;
        low.tone(a, fl * (1 + script.lowOffset), lowAmp, n);
        high.tone(b, fh * (1 + script.highOffset), highAmp, n);
        for (size_t k = 0; k < n; ++k)
            out.push_back(a[k] + b[k]);
        if (i + 1 < script.digits.size())
            appendSilence(out, samplesFor(script.pauseSeconds, rate));
    }
    appendSilence(out, samplesFor(script.tailSeconds, rate));
    return out;
}

}  // namespace siggen::dtmf
