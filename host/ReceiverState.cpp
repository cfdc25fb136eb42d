#include "ReceiverState.h"

#include "plugin/frame/OrvPlugin.h"

#include <algorithm>
#include <climits>

namespace {

struct ValueInfo {
    const char* name;
    int32_t initial, low, high;
};

// Levels are on the receiver library's strength scale (S9 = 32768, 512 steps a dB).
constexpr ValueInfo kValues[] = {
    {"ScanState", 0, INT32_MIN, INT32_MAX}, {"SignalStrength", 0, 0, 65535}, {"Squelch", 0, 0, 65535},
    {"Mute", 0, 0, 1},                      {"Frequency", 450012500, 0, INT32_MAX},
    {"Mode", ORV_MODE_NFM, 0, 5},           {"Volume", 128, 0, 255},
    {"Attenuator", 0, 0, 1},                {"Power", 1, 0, 1},
    {"DataOutput", 0, 0, 1},
};

const ValueInfo* find(const std::string& name)
{
    for (const ValueInfo& s : kValues)
        if (name == s.name)
            return &s;
    return nullptr;
}

}  // namespace

ReceiverState::ReceiverState(int32_t receiver, QObject* parent) : QObject(parent), receiver_(receiver)
{
    for (const ValueInfo& s : kValues)
        values_[s.name] = s.initial;
}

bool ReceiverState::isItem(const std::string& item)
{
    return item == "ScanState" || item == "SignalStrength" || item == "Squelch" || item == "Mute";
}

bool ReceiverState::isValue(const std::string& name) { return find(name) != nullptr; }

const std::vector<std::string>& ReceiverState::names()
{
    static const std::vector<std::string> all = [] {
        std::vector<std::string> v;
        for (const ValueInfo& s : kValues)
            v.push_back(s.name);
        return v;
    }();
    return all;
}

std::pair<int32_t, int32_t> ReceiverState::range(const std::string& name)
{
    const ValueInfo* s = find(name);
    return s ? std::pair{s->low, s->high} : std::pair{0, 0};
}

std::optional<int32_t> ReceiverState::value(const std::string& name) const
{
    auto it = values_.find(name);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

bool ReceiverState::setValue(const std::string& name, int32_t v)
{
    const ValueInfo* s = find(name);
    if (!s)
        return false;
    v = std::clamp(v, s->low, s->high);
    int32_t& field = values_[name];
    if (field != v) {
        field = v;
        emit changed(QString::fromStdString(name), v);
    }
    return true;
}
