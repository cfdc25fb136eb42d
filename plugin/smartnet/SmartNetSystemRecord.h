#pragma once
// What the window knows of the current SmartNet system: identity, type, frequencies, the channel
// maps, the counters of the timer and the radios heard.
#include "SmartNetTypes.h"
#include "SystemTime.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kSmartNetChannels = 1024;

struct TSmartNetSystemRecord {
    int32_t BaseFrequency = -1;            // Hz of channel 0, -1 not known
    int32_t ControlChannelFrequency = -1;  // Hz, -1 not known
    std::array<int32_t, kSmartNetChannels> Occupancy{};
    int32_t Ticks = 0;
    uint16_t SystemIdentity = kSmartNetNoSystem;
    uint16_t ChannelSize = 25000;
    std::string Description;
    std::array<uint8_t, kSmartNetChannels / 8> ControlChannelMap{};
    std::array<uint8_t, kSmartNetChannels / 8> TrafficChannelMap{};
    uint8_t SystemType = 0;
    TSystemTime Created;
    std::vector<TSmartNetHeardRadio> HeardRadios;  // list A
};

// Bit c of a channel map: byte c / 8, bit c mod 8. Channels outside the map read 0 and are not set.
inline bool SmartNetMapBit(const std::array<uint8_t, kSmartNetChannels / 8>& map, int32_t c)
{
    return c >= 0 && c < kSmartNetChannels && ((map[size_t(c) / 8] >> (c % 8)) & 1);
}
inline void SmartNetSetMapBit(std::array<uint8_t, kSmartNetChannels / 8>& map, int32_t c)
{
    if (c >= 0 && c < kSmartNetChannels)
        map[size_t(c) / 8] = uint8_t(map[size_t(c) / 8] | (1u << (c % 8)));
}
