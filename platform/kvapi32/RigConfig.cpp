#include "RigConfig.h"

#include "Kvapi32.h"

#include <algorithm>
#include <charconv>
#include <sstream>

namespace platform::kvapi {

namespace {

bool ParseInt(std::string_view s, int64_t& v)
{
    if (s.empty())
        return false;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && p == s.data() + s.size();
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::optional<RigSpec>> ParseRigList(const char* text)
{
    std::vector<std::optional<RigSpec>> rigs;
    std::string_view rest = text ? std::string_view(text) : std::string_view();
    if (Trim(rest).empty())
        return {RigSpec{kSimulatedRigModel, {}}, RigSpec{kSimulatedRigModel, {}}};
    while (true) {
        const size_t comma = rest.find(',');
        const std::string_view entry = Trim(rest.substr(0, comma));
        const size_t colon = entry.find(':');
        int64_t model = 0;
        if (ParseInt(Trim(entry.substr(0, colon)), model) && model > 0 && model <= INT32_MAX &&
            (colon == std::string_view::npos || !Trim(entry.substr(colon + 1)).empty()))
            rigs.push_back(RigSpec{int(model), colon == std::string_view::npos
                                                   ? std::string()
                                                   : std::string(Trim(entry.substr(colon + 1)))});
        else
            rigs.push_back(std::nullopt);
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return rigs;
}

int32_t StrengthFromDb(int db)
{
    const int64_t v = (int64_t(db) + 64) * KVAPI32_STRENGTH_PER_DB;
    return int32_t(std::clamp<int64_t>(v, 0, 65535));
}

FakeScript ParseFakeScript(const std::string& text)
{
    FakeScript script;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const size_t hash = line.find('#');
        std::istringstream words(line.substr(0, hash));
        std::vector<std::string> w;
        for (std::string word; words >> word;)
            w.push_back(word);
        if (w.empty())
            continue;
        int64_t n = 0, receiver = 0, hz = -1;
        bool ok = false;
        if (w[0] == "receivers" && w.size() == 2 && ParseInt(w[1], n) && n >= 1 && n <= 64) {
            script.receivers = int(n);
            ok = true;
        } else if (w[0] == "strength" && w.size() >= 4 && ParseInt(w[1], receiver) && receiver >= 1 &&
                   receiver <= 64 && (w[2] == "*" || (ParseInt(w[2], hz) && hz >= 0 && hz <= UINT32_MAX))) {
            std::vector<int32_t> values;
            for (size_t i = 3; i < w.size(); ++i) {
                int64_t v = 0;
                if (!ParseInt(w[i], v) || v < 0 || v > 65535)
                    break;
                values.push_back(int32_t(v));
            }
            if (values.size() == w.size() - 3) {
                script.strengths[{int(receiver), w[2] == "*" ? -1 : hz}] = std::move(values);
                ok = true;
            }
        }
        if (!ok)
            script.errors.push_back("line " + std::to_string(number) + ": " + line);
    }
    return script;
}

}  // namespace platform::kvapi
