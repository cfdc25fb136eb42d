#include "Ctcss.h"

#include "BandNoise.h"
#include "platform/text/NumberText.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

namespace siggen::ctcss {

std::vector<std::pair<bool, double>> parsePattern(const std::string& text)
{
    std::vector<std::pair<bool, double>> out;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t colon = item.find(':');
        const std::string state = item.substr(0, colon);
        if (colon == std::string::npos || (state != "on" && state != "off"))
            throw std::invalid_argument("stretch '" + item + "' is not on:S or off:S");
        const std::optional<double> seconds = platform::ParseNumber(std::string_view(item).substr(colon + 1));
        if (!seconds || *seconds < 0 || *seconds > 86400)
            throw std::invalid_argument("stretch '" + item + "' has no length in seconds");
        out.emplace_back(state == "on", *seconds);
    }
    return out;
}

Samples render(const Script& script, uint32_t rate, Random& random)
{
    std::vector<std::pair<bool, double>> pattern = script.pattern;
    if (pattern.empty())
        pattern.emplace_back(true, 1.0);
    Samples s;
    Oscillator tone(rate);
    const double amplitude = std::pow(10.0, script.toneDb / 20);
    for (const auto& [on, seconds] : pattern) {
        const size_t n = samplesFor(seconds, rate);
        if (on)
            tone.tone(s, script.toneHz, amplitude, n);
        else {
            Samples quiet;
            tone.tone(quiet, script.toneHz, 0.0, n);  // the phase runs on through the gap
            s.insert(s.end(), quiet.begin(), quiet.end());
        }
    }
    if (script.speechDb > -200 && !s.empty()) {
        // Band noise: added to a reference tone of unit power at 0 dB SNR, the reference then taken
        // out again; then shaped by a syllable-rate envelope and scaled to the chosen rms.
        Samples reference;
        Oscillator carrier(rate);
        carrier.tone(reference, 1000.0, std::sqrt(2.0), s.size());
        Samples band = reference;
        addBandNoise(band, 0.0, 300, 3300, rate, random);
        double power = 0;
        for (size_t i = 0; i < band.size(); ++i) {
            band[i] -= reference[i];
            const double envelope = 0.55 + 0.45 * std::sin(2 * M_PI * 4.0 * double(i) / rate +
                                                           1.3 * std::sin(2 * M_PI * 0.7 * double(i) / rate));
            band[i] *= envelope;
            power += band[i] * band[i];
        }
        const double rms = std::sqrt(power / double(band.size()));
        const double want = std::pow(10.0, script.speechDb / 20);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] += rms > 0 ? band[i] * want / rms : 0.0;
    }
    return s;
}

}  // namespace siggen::ctcss
