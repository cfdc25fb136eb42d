// orvhost's --script file: the schedule of changes it reads before it starts. A schedule it takes is
// in time order with every value in its range, and written out again it reads back the same; one it
// refuses is refused at its first wrong line, quoted as it stands without its comment.
#include "FuzzTarget.h"
#include "LineFileFuzz.h"

#include "host/HostScript.h"
#include "host/ReceiverState.h"

#include <cstdio>

namespace fuzz {

namespace {

std::string Written(const HostScript& script)
{
    std::string text;
    for (const ScriptStep& s : script.steps) {
        char when[32];
        std::snprintf(when, sizeof when, "%d.%03d ", s.atMs / 1000, s.atMs % 1000);
        text += when;
        switch (s.kind) {
        case ScriptStep::Kind::Disconnect: text += "disconnect"; break;
        case ScriptStep::Kind::StationOff: text += "station-off " + std::to_string(s.value); break;
        case ScriptStep::Kind::StationOn: text += "station-on " + std::to_string(s.value); break;
        case ScriptStep::Kind::Set: text += s.item + " " + std::to_string(s.value); break;
        }
        text += "\n";
    }
    return text;
}

bool Same(const ScriptStep& a, const ScriptStep& b)
{
    return a.atMs == b.atMs && a.kind == b.kind && a.item == b.item && a.value == b.value;
}

}  // namespace

std::vector<Seed> Seeds()
{
    const auto seed = TextSeed;
    return {seed("receiver", "# a fade and a retune\n0 SignalStrength 32768\n1.5 SignalStrength 12288\n"
                             "2 Squelch 20000 # closed\n\n3.25 ScanState 1\n4 Mute 1\n5 Frequency 450012500\n"
                             "6 Mode 2\n7 Volume 128\n8 Attenuator 1\n9 Power 0\n"),
            seed("band", "0.5 station-off 450012500\r\n1 station-on 450012500\r\n2 disconnect\r\n"),
            seed("unordered", "3 Volume 10\n1 Volume 20\n1 Mute 0\n"),
            seed("refused", "1 Volume 20\n2 Volume 300\n")};
}

void Run(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    std::string error;
    const auto script = HostScript::parse(text, &error);
    if (!script) {
        CheckRefusal(text, error, [](const std::string& t) { return HostScript::parse(t, nullptr).has_value(); });
        return;
    }
    int previous = 0;
    for (const ScriptStep& s : script->steps) {
        Check(s.atMs >= previous && s.atMs <= 86400000, "a step out of time order");
        previous = s.atMs;
        if (s.kind == ScriptStep::Kind::Set) {
            Check(ReceiverState::isValue(s.item), "a step that sets no value");
            const auto [low, high] = ReceiverState::range(s.item);
            Check(s.value >= low && s.value <= high, "a value out of its range");
        } else {
            Check(s.item.empty(), "a step with a value's name");
            Check(s.kind == ScriptStep::Kind::Disconnect ? s.value == 0 : s.value > 0, "a station without a frequency");
        }
    }
    const auto again = HostScript::parse(Written(*script), &error);
    Check(again && again->steps.size() == script->steps.size(), "a schedule written out does not read back");
    for (size_t i = 0; i < again->steps.size(); ++i)
        Check(Same(again->steps[i], script->steps[i]), "a step written out does not read back the same");
}

}  // namespace fuzz
