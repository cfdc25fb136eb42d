#pragma once
// What the window knows of the current SmartNet system: identity, type, frequencies, the channel
// maps, the counters of the timer and the radios heard; stored in "SmartNet.MEM" as a 4928-byte
// record followed by five lists (heard radios, then four lists that are only carried along).
#include "SmartNetTypes.h"
#include "SystemDatabase.h"
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
    // Lists B to E as read (entries of 2, 256, 2 and 256 bytes), written back unchanged; and the
    // reserved bytes of the record, kept as they were.
    std::vector<uint8_t> ListB, ListC, ListD, ListE;
    std::array<uint8_t, 132> Reserved1{}, Reserved2{};
    uint8_t Reserved3 = 0;
    std::array<uint8_t, 2> Reserved4{};

    bool operator==(const TSmartNetSystemRecord&) const = default;
};

constexpr uint32_t kSmartNetRecordSize = 4928;
constexpr uint32_t kSmartNetHeardRadioSize = 256;
// The file's layout for the database mechanics.
const TDatabaseLayout& SmartNetLayout();
// Field-by-field conversion between the record with its lists and the stored bytes.
TStoredEntry EncodeSmartNetSystem(const TSmartNetSystemRecord& record);
TSmartNetSystemRecord DecodeSmartNetSystem(const TStoredEntry& entry);

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
