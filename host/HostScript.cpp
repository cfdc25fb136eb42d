#include "HostScript.h"

#include "ReceiverState.h"

#include <algorithm>
#include <cmath>
#include <sstream>

std::optional<HostScript> HostScript::parse(const std::string& text, std::string* error)
{
    HostScript script;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::string when, what, value, extra;
        if (!(words >> when))
            continue;
        auto fail = [&]() -> std::optional<HostScript> {
            if (error)
                *error = "line " + std::to_string(number) + ": " + line;
            return std::nullopt;
        };
        words >> what >> value >> extra;
        if (!extra.empty() || what.empty())
            return fail();
        double seconds;
        size_t used = 0;
        try {
            seconds = std::stod(when, &used);
        } catch (...) {
            return fail();
        }
        if (used != when.size() || !std::isfinite(seconds) || seconds < 0 || seconds > 86400)
            return fail();
        ScriptStep step;
        step.atMs = static_cast<int>(std::lround(seconds * 1000));
        if (what == "disconnect") {
            if (!value.empty())
                return fail();
            step.kind = ScriptStep::Kind::Disconnect;
        } else {
            const bool station = what == "station-off" || what == "station-on";
            if (!(station || ReceiverState::isValue(what)) || value.empty())
                return fail();
            try {
                long v = std::stol(value, &used);
                if (used != value.size() || v < INT32_MIN || v > INT32_MAX)
                    return fail();
                step.value = static_cast<int>(v);
            } catch (...) {
                return fail();
            }
            if (station) {
                if (step.value <= 0)
                    return fail();
                step.kind = what == "station-off" ? ScriptStep::Kind::StationOff : ScriptStep::Kind::StationOn;
            } else {
                const auto [low, high] = ReceiverState::range(what);
                if (step.value < low || step.value > high)
                    return fail();
                step.item = what;
            }
        }
        script.steps.push_back(step);
    }
    std::stable_sort(script.steps.begin(), script.steps.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.atMs < b.atMs; });
    return script;
}
