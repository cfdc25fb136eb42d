#pragma once
// Reading siggen's command-line options, shared by the commands that parse their own.
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace siggen {

// A mistake on the command line: exit status 2, with a hint at --help.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The whole of text as a finite number written with a point, read the same whatever locale the
// process runs in (platform::ParseNumber); otherwise "<what>: '<text>' is not a number".
double parseNumber(const std::string& text, const std::string& what);

// The value of option --name as a number from min to max.
double numberInRange(const std::string& name, const std::string& text, double min, double max);

// Reads "--name value", "--name=value" and "--flag". takesValue says whether a known option takes a
// value (nullopt for an unknown one); take receives each option in order. Other arguments go to
// positional, or are refused when it is null.
void parseOptions(const std::vector<std::string>& args, const std::string& command,
                  const std::function<std::optional<bool>(const std::string&)>& takesValue,
                  const std::function<void(const std::string&, const std::string&)>& take,
                  std::vector<std::string>* positional);

}  // namespace siggen
