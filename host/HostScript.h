#pragma once
// A schedule of receiver changes for a headless run: lines "<seconds> <item> <value>" set a value,
// "<seconds> disconnect" ends the applets' conversations; blank lines and "#" comments are skipped.
#include <optional>
#include <string>
#include <vector>

struct ScriptStep {
    int atMs = 0;
    std::string item;  // empty for a disconnect
    int value = 0;
};

struct HostScript {
    std::vector<ScriptStep> steps;  // in time order
    // Parses the text; a malformed line gives an error naming it.
    static std::optional<HostScript> parse(const std::string& text, std::string* error);
};
