#include "FakeReceiverLibrary.h"

void TFakeReceiverLibrary::SetStrength(int32_t receiver, uint32_t hz, std::vector<int32_t> values)
{
    strengths_[{receiver, hz}] = TStrengthScript{std::move(values), 0};
}

bool TFakeReceiverLibrary::Record(const std::string& name, int32_t receiver, std::initializer_list<int64_t> args)
{
    std::string line = name + " " + std::to_string(receiver);
    for (int64_t a : args)
        line += " " + std::to_string(a);
    Calls.push_back(line);
    if (IsOpen(receiver))
        return true;
    ++CallsOnClosed;
    return false;
}

int32_t TFakeReceiverLibrary::OpenRadioDevice(int32_t receiver)
{
    int32_t got = 0;
    if (receiver == 0) {
        for (int32_t n = 1; n <= receivers_ && got == 0; ++n)
            if (!IsOpen(n))
                got = n;
    } else if (receiver > 0 && receiver <= receivers_ && !IsOpen(receiver)) {
        got = receiver;
    }
    if (got != 0)
        open_.insert(got);
    Calls.push_back("OpenRadioDevice " + std::to_string(receiver) + "=" + std::to_string(got));
    return got;
}

int32_t TFakeReceiverLibrary::CloseRadioDevice(int32_t receiver)
{
    if (!Record("CloseRadioDevice", receiver, {}))
        return 0;
    open_.erase(receiver);
    state_.erase(receiver);
    return 1;
}

#define KV_FAKE_SETTER(Name, Field)                                      \
    int32_t TFakeReceiverLibrary::Name(int32_t receiver, int32_t value)  \
    {                                                                    \
        if (!Record(#Name, receiver, {value}))                           \
            return 0;                                                    \
        state_[receiver].Field = value;                                  \
        return 1;                                                        \
    }
KV_FAKE_SETTER(SetPower, Power)
KV_FAKE_SETTER(SetMute, Mute)
KV_FAKE_SETTER(SetMode, Mode)
KV_FAKE_SETTER(SetScanMode, ScanMode)
KV_FAKE_SETTER(SetVolume, Volume)
KV_FAKE_SETTER(SetAtten, Atten)
#undef KV_FAKE_SETTER

int32_t TFakeReceiverLibrary::SetFrequency(int32_t receiver, uint32_t hz)
{
    if (!Record("SetFrequency", receiver, {hz}))
        return 0;
    state_[receiver].Frequency = hz;
    return 1;
}

uint32_t TFakeReceiverLibrary::GetFrequency(int32_t receiver)
{
    if (!Record("GetFrequency", receiver, {}))
        return 0;
    return state_[receiver].Frequency;
}

int32_t TFakeReceiverLibrary::GetSignalStrength(int32_t receiver)
{
    if (!Record("GetSignalStrength", receiver, {}))
        return 0;
    auto it = strengths_.find({receiver, state_[receiver].Frequency});
    if (it == strengths_.end())
        it = strengths_.find({receiver, 0});
    if (it == strengths_.end() || it->second.Values.empty())
        return 0;
    TStrengthScript& s = it->second;
    const int32_t v = s.Values[s.Next];
    if (s.Next + 1 < s.Values.size())
        ++s.Next;
    return v;
}
