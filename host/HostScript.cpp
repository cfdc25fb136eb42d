#include "HostScript.h"

#include "ReceiverState.h"
#include "ScriptText.h"
#include "platform/text/NumberText.h"

#include <algorithm>
#include <cmath>
#include <sstream>

std::optional<HostScript> HostScript::parse(const std::string& text, std::string* error)
{
    HostScript script;
    for (const ScriptLine& line : scriptLines(text)) {
        std::istringstream words(line.text);
        std::string when, what, value, extra;
        words >> when >> what >> value >> extra;
        auto fail = [&]() -> std::optional<HostScript> {
            if (error)
                *error = "line " + std::to_string(line.number) + ": " + line.text;
            return std::nullopt;
        };
        if (!extra.empty() || what.empty())
            return fail();
        const std::optional<double> at = platform::ParseNumber(when);
        if (!at)
            return fail();
        const double seconds = *at;
        if (seconds < 0 || seconds > 86400)
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
            long v = 0;
            if (!parseInteger(value, INT32_MIN, INT32_MAX, &v))
                return fail();
            step.value = static_cast<int>(v);
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
