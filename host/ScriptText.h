#pragma once
// Reading the line-based files orvhost takes (receiver scripts, simulated bands): the numbered lines
// that hold words once their '#' comments are cut off, and whole-word integers.
#include <sstream>
#include <string>
#include <vector>

struct ScriptLine {
    int number;        // from 1
    std::string text;  // without its comment
};

inline std::vector<ScriptLine> scriptLines(const std::string& text)
{
    std::vector<ScriptLine> lines;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        if (line.find_first_not_of(" \t\r\n\v\f") != std::string::npos)
            lines.push_back({number, line});
    }
    return lines;
}

// The whole of s as an integer in low..high.
inline bool parseInteger(const std::string& s, long low, long high, long* v)
{
    size_t used = 0;
    try {
        *v = std::stol(s, &used);
    } catch (...) {
        return false;
    }
    return used == s.size() && *v >= low && *v <= high;
}
