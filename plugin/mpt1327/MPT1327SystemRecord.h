#pragma once
// What the decoder keeps about one MPT1327 system, as it is stored in "MPT1327.MEM": a 37740-byte
// record followed by five lists (heard radios, then four lists that are only carried along).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "SystemDatabase.h"
#include "SystemTime.h"

// Identity of the current system when there is none.
constexpr uint16_t MPT1327NoSystem = 0xFFFF;

struct TMPT1327HeardRadio {
    uint16_t Ident = 0;
    uint8_t Prefix = 0;
    std::string Alias;  // at most 252 characters
    bool operator==(const TMPT1327HeardRadio&) const = default;
};

struct TMPT1327SystemRecord {
    int32_t BaseFrequency = 0;            // Hz of channel 0, -1 = not known
    int32_t ControlChannelFrequency = 0;  // Hz, 0 = none
    std::array<int32_t, 1024> Occupancy{};
    int32_t ScanTicks = 0;
    std::array<uint8_t, 148> Reserved1{};
    std::array<uint8_t, 148> Reserved2{};
    uint16_t SystemIdentity = 0;
    uint16_t ChannelSize = 0;             // Hz, 12500 or 25000
    std::string Description;              // at most 255 characters
    std::array<uint8_t, 16> PrefixMap{};
    std::array<std::string, 128> GroupAliases;  // per prefix, at most 255 characters each
    std::array<uint8_t, 128> ControlChannelMap{};
    std::array<uint8_t, 128> TrafficChannelMap{};
    TSystemTime FirstSeen;

    // The lists after the record. Lists 2 to 5 are never filled here: their raw entries (4, 256, 4 and
    // 256 bytes) are kept and written back as they were read.
    std::vector<TMPT1327HeardRadio> HeardRadios;
    std::vector<uint8_t> List2, List3, List4, List5;

    bool operator==(const TMPT1327SystemRecord&) const = default;
};

// Bit n of a map: bit n mod 8 of byte n / 8.
template <size_t N>
bool MapBit(const std::array<uint8_t, N>& map, unsigned n)
{
    return n / 8 < N && (map[n / 8] >> (n % 8)) & 1;
}
template <size_t N>
void SetMapBit(std::array<uint8_t, N>& map, unsigned n)
{
    if (n / 8 < N)
        map[n / 8] = static_cast<uint8_t>(map[n / 8] | (1u << (n % 8)));
}

// The file's layout for the database mechanics.
const TDatabaseLayout& MPT1327Layout();
constexpr uint32_t MPT1327RecordSize = 37740;
constexpr uint32_t MPT1327HeardRadioSize = 256;

// Field-by-field conversion between the record with its lists and the stored bytes. Decoding expects
// bytes the database has checked (sizes as the counts say).
TStoredEntry EncodeMPT1327System(const TMPT1327SystemRecord& record);
TMPT1327SystemRecord DecodeMPT1327System(const TStoredEntry& entry);
