#include "Args.h"

#include "platform/text/NumberText.h"

#include <cmath>
#include <sstream>

namespace siggen {

double parseNumber(const std::string& text, const std::string& what)
{
    const std::optional<double> v = platform::ParseNumber(text);
    if (!v)
        throw UsageError(what + ": '" + text + "' is not a number");
    return *v;
}

double numberInRange(const std::string& name, const std::string& text, double min, double max)
{
    const double v = parseNumber(text, "--" + name);
    if (v < min || v > max) {
        std::ostringstream s;
        s << "--" << name << ": " << text << " is outside " << min << " to " << max;
        throw UsageError(s.str());
    }
    return v;
}

void parseOptions(const std::vector<std::string>& args, const std::string& command,
                  const std::function<std::optional<bool>(const std::string&)>& takesValue,
                  const std::function<void(const std::string&, const std::string&)>& take,
                  std::vector<std::string>* positional)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            if (!positional)
                throw UsageError("unexpected argument '" + arg + "' for " + command);
            positional->push_back(arg);
            continue;
        }
        std::string name = arg.substr(2), value;
        const size_t eq = name.find('=');
        const bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const std::optional<bool> needsValue = takesValue(name);
        if (!needsValue)
            throw UsageError("unknown option --" + name + " for " + command);
        if (*needsValue && !inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError("option --" + name + " needs a value");
            value = args[++i];
        } else if (!*needsValue && inlineValue) {
            throw UsageError("option --" + name + " takes no value");
        }
        take(name, value);
    }
}

}  // namespace siggen
