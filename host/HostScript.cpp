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
        } else {
            if (!ReceiverState::isItem(what) || value.empty())
                return fail();
            try {
                long v = std::stol(value, &used);
                if (used != value.size() || v < INT32_MIN || v > INT32_MAX)
                    return fail();
                step.value = static_cast<int>(v);
            } catch (...) {
                return fail();
            }
            step.item = what;
        }
        script.steps.push_back(step);
    }
    std::stable_sort(script.steps.begin(), script.steps.end(),
                     [](const ScriptStep& a, const ScriptStep& b) { return a.atMs < b.atMs; });
    return script;
}
