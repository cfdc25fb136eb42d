#pragma once
// DTMF signals: digit sequences as the tone pairs of the telephone keypad, with chosen tone and pause
// lengths, a frequency offset per tone group and a twist between the groups.
#include "Signal.h"

#include <string>
#include <utility>

namespace siggen::dtmf {

// The low and high frequency of a key ("0"-"9", "*", "#", "A"-"D"); throws std::invalid_argument for
// any other character.
std::pair<double, double> tonesOf(char key);

struct Script {
    std::string digits;
    double toneSeconds = 0.1;
    double pauseSeconds = 0.1;
    double leadSeconds = 0.1;    // silence before the first digit
    double tailSeconds = 1.0;    // silence after the last, long enough to end the line
    double lowOffset = 0.0;      // relative frequency error of the low tones (0.015 = +1.5 %)
    double highOffset = 0.0;     // and of the high tones
    double twistDb = 0.0;        // level of the high tone above the low tone
    double amplitude = 0.5;      // peak of the two tones together
};

Samples render(const Script& script, uint32_t rate);

}  // namespace siggen::dtmf
