#pragma once
// A decoder window and a call list as the secondary receiver and the traffic scan see them.
#include "FakeReceiverLibrary.h"
#include "SecondaryReceiver.h"
#include "TrafficScan.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

// Records what the receiver handling did to the window, in order.
class TRecordingWindow : public TSecondaryWindow {
public:
    std::vector<std::string> Events;
    int32_t Volume = 180, Attenuator = 1;
    bool RetToCtrl = false;

    int32_t HostVolume() override { Events.push_back("HostVolume"); return Volume; }
    int32_t HostAttenuator() override { Events.push_back("HostAttenuator"); return Attenuator; }
    void RestartInputChannelTest() override { Events.push_back("RestartInputChannelTest"); }
    bool RetToCtrlEnabled() override { return RetToCtrl; }
    void DisableRetToCtrl() override { RetToCtrl = false; Events.push_back("DisableRetToCtrl"); }
    void TuneHostToControlChannel() override { Events.push_back("TuneHostToControlChannel"); }
    void RepaintGrid() override { Events.push_back("RepaintGrid"); }
    void SetSecondaryLabel(const std::string& caption) override { Events.push_back("Label " + caption); }
};

// A current system with its control channel known, a traffic-channel map and a call list.
class TScanFixture : public TTrafficScanContext {
public:
    bool RetToCtrl = false, System = true;
    int32_t Control = 1, HostLevel = 20000, Size = 12500, Base = 450000000;
    std::set<int32_t> TrafficMap;
    std::vector<int32_t> CallChannels;  // one entry per listed call
    int32_t ScanTicks = 0;
    std::map<int32_t, int32_t> Occupancy;
    std::vector<int32_t> Removed;       // channels of the calls the scan removed

    uint32_t Hz(int32_t channel) const { return uint32_t(Base + channel * Size); }
    // Listed calls on traffic channels.
    void AddCalls(std::initializer_list<int32_t> channels)
    {
        for (int32_t c : channels) {
            CallChannels.push_back(c);
            TrafficMap.insert(c);
        }
    }

    bool RetToCtrlEnabled() override { return RetToCtrl; }
    bool SystemCurrent() override { return System; }
    int32_t ControlChannel() override { return Control; }
    int32_t HostSignalLevel() override { return HostLevel; }
    int32_t ChannelSize() override { return Size; }
    int32_t BaseFrequency() override { return Base; }
    bool IsTrafficChannel(int32_t channel) override { return TrafficMap.count(channel) != 0; }
    void CountScanTick() override { ++ScanTicks; }
    void CountOccupancy(int32_t channel) override { ++Occupancy[channel]; }
    size_t CallCount() override { return CallChannels.size(); }
    int32_t CallChannel(size_t index) override { return CallChannels.at(index); }
    void RemoveCall(size_t index) override
    {
        Removed.push_back(CallChannels.at(index));
        CallChannels.erase(CallChannels.begin() + std::ptrdiff_t(index));
    }
};

// The receiver's calls as the fake records them, from position `from` on.
inline std::vector<std::string> CallsFrom(const TFakeReceiverLibrary& library, size_t from)
{
    return {library.Calls.begin() + std::ptrdiff_t(std::min(from, library.Calls.size())), library.Calls.end()};
}
