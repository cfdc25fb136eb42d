#pragma once
// What configures the receiver pool: the rig list, the fake pool's script, the strength scale.
// Free of Hamlib, so tests can check it without loading the rigs.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform::kvapi {

// Hamlib's simulated rig, the default receiver.
constexpr int kSimulatedRigModel = 1;

// A rig entry of KVAPI32_RIGS.
struct RigSpec {
    int model = 0;
    std::string port;
};

// Parses "model[:port],...": one element per entry, empty where the entry is malformed. An unset
// or empty variable means two simulated rigs.
std::vector<std::optional<RigSpec>> ParseRigList(const char* text);

// Hamlib's strength (dB relative to S9) on the library's 16-bit scale.
int32_t StrengthFromDb(int db);

// The fake pool's script.
struct FakeScript {
    int receivers = 2;
    // (receiver, frequency or -1 for any) -> the values read in turn.
    std::map<std::pair<int, int64_t>, std::vector<int32_t>> strengths;
    std::vector<std::string> errors;  // "line N: ..." for every line that was skipped
};
FakeScript ParseFakeScript(const std::string& text);

}  // namespace platform::kvapi
