#pragma once
// The line-based files orvhost and the receiver library read: an input as text, and the check that
// a refusal names the first line that is wrong, as it stands in the file.
#include "FuzzTarget.h"

#include <optional>
#include <sstream>
#include <string>

namespace fuzz {

inline std::string Text(const uint8_t* data, size_t size) { return std::string(data, data + size); }

inline Seed TextSeed(const char* name, const std::string& text) { return {name, Bytes(text.begin(), text.end())}; }

// Line n (from 1) of the text, without its end; nullopt past the last line.
inline std::optional<std::string> LineOf(const std::string& text, long n)
{
    std::istringstream in(text);
    std::string line;
    for (long i = 1; std::getline(in, line); ++i)
        if (i == n)
            return line;
    return std::nullopt;
}

// The first n - 1 lines of the text.
inline std::string LinesBefore(const std::string& text, long n)
{
    std::istringstream in(text);
    std::string line, out;
    for (long i = 1; i < n && std::getline(in, line); ++i)
        out += line + "\n";
    return out;
}

// An error "line <n>: ..." of a file the parser refused: n is a line of the file, the lines before
// it are taken, and the rest of the error (what names the line) is whole text apart from what the
// line itself holds. Returns n.
template <typename Parse>
long CheckRefusal(const std::string& text, const std::string& error, Parse parse)
{
    Check(error.rfind("line ", 0) == 0, "a refusal that names no line");
    size_t used = 0;
    long n = 0;
    try {
        n = std::stol(error.substr(5), &used);
    } catch (...) {
        Fail("a refusal that names no line");
    }
    Check(error.compare(5 + used, 2, ": ") == 0, "a refusal that names no line");
    Check(n >= 1 && LineOf(text, n).has_value(), "a refusal naming a line the file does not have");
    Check(parse(LinesBefore(text, n)), "a refusal that is not of the first wrong line");
    return n;
}

}  // namespace fuzz
