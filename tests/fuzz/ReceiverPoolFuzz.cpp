// The receiver library's pool from the environment: KVAPI32_RIGS (the rig list, text up to its
// first NUL as a variable holds it) and the fake pool's script KVAPI32_FAKE names (the whole input).
// A rig list keeps one receiver a list entry, a usable one with a model and, if given, a port; the
// list and the pool's script read back the same written out again, with every strength on the
// library's scale; each line the script skips is reported as it stands, by its number.
#include "FuzzTarget.h"
#include "LineFileFuzz.h"

#include "platform/kvapi32/RigConfig.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace fuzz {

using namespace platform::kvapi;

namespace {

void RunRigList(const std::string& text)
{
    const auto rigs = ParseRigList(text.c_str());
    const bool blank = text.find_first_not_of(" \t\r") == std::string::npos;
    Check(blank ? rigs.size() == 2 : rigs.size() == size_t(std::count(text.begin(), text.end(), ',')) + 1,
          "a receiver that is not one entry of the list");
    std::string written;
    for (size_t i = 0; i < rigs.size(); ++i) {
        const auto& rig = rigs[i];
        if (i > 0)
            written += ",";
        if (!rig) {
            written += "unusable";
            continue;
        }
        Check(rig->model > 0, "a receiver without a model");
        const std::string& port = rig->port;
        Check(port.find(',') == std::string::npos &&
                  (port.empty() || (std::strchr(" \t\r", port.front()) == nullptr &&
                                    std::strchr(" \t\r", port.back()) == nullptr)),
              "a port that is not its entry's, trimmed");
        written += std::to_string(rig->model) + (port.empty() ? "" : ":" + port);
    }
    const auto again = ParseRigList(written.c_str());
    Check(again.size() == rigs.size(), "a rig list written out does not read back");
    for (size_t i = 0; i < rigs.size(); ++i)
        Check(again[i].has_value() == rigs[i].has_value() &&
                  (!rigs[i] || (again[i]->model == rigs[i]->model && again[i]->port == rigs[i]->port)),
              "a rig written out does not read back the same");
}

void RunFakeScript(const std::string& text)
{
    const FakeScript script = ParseFakeScript(text);
    Check(script.receivers >= 1 && script.receivers <= 64, "a pool size out of its range");
    long previous = 0;
    for (const std::string& e : script.errors) {
        Check(e.rfind("line ", 0) == 0 && e.size() > 5 && std::isdigit(static_cast<unsigned char>(e[5])),
              "a skipped line not named");
        size_t used = 0;
        const long n = std::stol(e.substr(5), &used);
        Check(n > previous && e.compare(5 + used, 2, ": ") == 0, "a skipped line not named in order");
        Check(e.substr(5 + used + 2) == LineOf(text, n).value_or("\1"), "a skipped line not as it stands");
        previous = n;
    }
    std::string written = "receivers " + std::to_string(script.receivers) + "\n";
    for (const auto& [key, values] : script.strengths) {
        Check(key.first >= 1 && key.first <= 64 && key.second >= -1 && key.second <= int64_t(UINT32_MAX),
              "a strength of no receiver or frequency");
        Check(!values.empty(), "a strength without values");
        written += "strength " + std::to_string(key.first) + " " +
                   (key.second < 0 ? std::string("*") : std::to_string(key.second));
        for (int32_t v : values) {
            Check(v >= 0 && v <= 65535, "a strength off the library's scale");
            written += " " + std::to_string(v);
        }
        written += "\n";
    }
    const FakeScript again = ParseFakeScript(written);
    Check(again.errors.empty() && again.receivers == script.receivers && again.strengths == script.strengths,
          "a pool script written out does not read back the same");
}

}  // namespace

std::vector<Seed> Seeds()
{
    const auto seed = TextSeed;
    return {seed("rigs", "1, 2:127.0.0.1:4532 ,1:/dev/ttyUSB0"),
            seed("bad-rigs", "1,,x:1, 3:"),
            seed("pool", "# the band's levels\nreceivers 3\nstrength 1 450012500 32768 12288\n"
                         "strength 2 * 0\nstrength 3 851012500 65535 # strong\n"),
            seed("bad-pool", "receivers 65\nstrength 0 * 1\nstrength 1 5 70000\nstrength 1 x 5\nnoise 1\r\n")};
}

void Run(const uint8_t* data, size_t size)
{
    const std::string text = Text(data, size);
    RunRigList(text.substr(0, text.find('\0')));
    RunFakeScript(text);
}

}  // namespace fuzz
