#include "SecondaryReceiver.h"

#include <algorithm>

namespace {
// No pool is this large; the bound only keeps a misbehaving library from holding the window.
constexpr int kMaxOpens = 1024;
}  // namespace

std::string SecondaryCaption(int32_t receiver) { return "Korvanta #" + std::to_string(receiver); }

bool TSecondaryReceiver::StartSecondaryReceiver()
{
    if (chosen_ != 0 && !open_) {
        // The library opens the lowest free receiver first: take the ones below the chosen one
        // out of the way and give them back afterwards.
        std::vector<int32_t> below;
        int32_t got = 0;
        const int tries = std::min<int32_t>(chosen_, kMaxOpens);
        for (int i = 0; i < tries; ++i) {
            got = library_.OpenRadioDevice(0);
            if (got <= 0 || got >= chosen_)
                break;
            below.push_back(got);
        }
        for (int32_t n : below)
            library_.CloseRadioDevice(n);
        if (got > chosen_)  // the chosen one is taken; do not keep another
            library_.CloseRadioDevice(got);
        open_ = got == chosen_;
        if (open_) {
            library_.SetPower(chosen_, 1);
            library_.SetMute(chosen_, 1);
            library_.SetMode(chosen_, kSecondaryMode);
            library_.SetScanMode(chosen_, kSecondaryScanMode);
            library_.SetFrequency(chosen_, kSecondaryParkFrequency);
            library_.SetVolume(chosen_, window_.HostVolume());
            library_.SetAtten(chosen_, window_.HostAttenuator());
        }
    }
    window_.RestartInputChannelTest();
    return true;
}

void TSecondaryReceiver::StopSecondaryReceiver()
{
    if (!InUse())
        return;
    library_.SetPower(chosen_, 0);
    library_.CloseRadioDevice(chosen_);
    open_ = false;
}

std::vector<TSecondaryMenuItem> TSecondaryReceiver::ListReceivers()
{
    std::vector<TSecondaryMenuItem> items{{"None", 0}};
    std::vector<int32_t> opened;
    bool chosenListed = chosen_ == 0;
    for (int i = 0; i < kMaxOpens; ++i) {
        const int32_t n = library_.OpenRadioDevice(0);
        if (n <= 0)
            break;
        opened.push_back(n);
        // An open chosen receiver is not offered by the library; it goes in its place in the order.
        if (n == chosen_) {
            chosenListed = true;
        } else if (!chosenListed && chosen_ < n) {
            items.push_back({SecondaryCaption(chosen_), chosen_});
            chosenListed = true;
        }
        items.push_back({SecondaryCaption(n), n});
    }
    if (!chosenListed)
        items.push_back({SecondaryCaption(chosen_), chosen_});
    // All of these were free before the list was made (an open chosen receiver is never among them).
    for (int32_t n : opened)
        library_.CloseRadioDevice(n);
    return items;
}

void TSecondaryReceiver::None1Click(const TSecondaryMenuItem& item)
{
    window_.SetSecondaryLabel(item.Caption);
    if (item.Receiver == chosen_)
        return;
    if (window_.RetToCtrlEnabled())
        RetToCtrlClick();
    StopSecondaryReceiver();
    chosen_ = item.Receiver;
    StartSecondaryReceiver();
}

void TSecondaryReceiver::RetToCtrlClick()
{
    // A chosen receiver that is closed (suspend, host power-off) comes back parked anyway.
    if (chosen_ != 0)
        Park();
    else
        window_.TuneHostToControlChannel();
    window_.DisableRetToCtrl();
    window_.RepaintGrid();
}

void TSecondaryReceiver::Park()
{
    SetFrequency(kSecondaryParkFrequency);
    SetMute(true);
}

void TSecondaryReceiver::Follow(uint32_t hz)
{
    SetFrequency(hz);
    SetMute(false);
}

void TSecondaryReceiver::SetFrequency(uint32_t hz)
{
    if (InUse())
        library_.SetFrequency(chosen_, hz);
}

void TSecondaryReceiver::SetMute(bool mute)
{
    if (InUse())
        library_.SetMute(chosen_, mute ? 1 : 0);
}

uint32_t TSecondaryReceiver::Frequency() { return InUse() ? library_.GetFrequency(chosen_) : 0; }

uint16_t TSecondaryReceiver::SignalStrength()
{
    return InUse() ? static_cast<uint16_t>(static_cast<uint32_t>(library_.GetSignalStrength(chosen_))) : 0;
}

void TSecondaryReceiver::SetVolume(int32_t volume)
{
    if (InUse())
        library_.SetVolume(chosen_, volume);
}

void TSecondaryReceiver::SetAttenuator(int32_t on)
{
    if (InUse())
        library_.SetAtten(chosen_, on);
}
