#pragma once
// CTCSS signals: a sub-audible tone that goes on and off on a schedule, under speech-like noise (noise
// limited to 300-3300 Hz whose loudness rises and falls a few times a second, like syllables).
#include "Signal.h"

#include <string>
#include <utility>
#include <vector>

namespace siggen::ctcss {

struct Script {
    double toneHz = 100.0;
    double toneDb = -20.0;    // the tone's peak, dB below full scale
    double speechDb = -15.0;  // the speech-like noise's rms, dB below full scale; below -200: none
    // (tone on, seconds) stretches in order; empty: the tone on for one second.
    std::vector<std::pair<bool, double>> pattern;
};

// "on:S,off:S,..." as a pattern; throws std::invalid_argument for anything else.
std::vector<std::pair<bool, double>> parsePattern(const std::string& text);

Samples render(const Script& script, uint32_t rate, Random& random);

}  // namespace siggen::ctcss
