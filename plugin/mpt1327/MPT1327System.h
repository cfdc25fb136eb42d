#pragma once
// What the codeword interpreter reads and writes of the current system's record: the base and
// control-channel frequencies, the channel and prefix maps, the heard radios and the aliases.
// The window's database record stands behind it; TMPT1327MemorySystem keeps the same fields in
// memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kMPT1327Channels = 1024;
constexpr int kMPT1327Prefixes = 128;

class TMPT1327SystemAccess {
public:
    virtual ~TMPT1327SystemAccess() = default;

    virtual bool SystemCurrent() const = 0;
    virtual uint16_t SystemIdentity() const = 0;
    virtual int32_t BaseFrequency() const = 0;  // Hz of channel 0, -1 not known
    virtual void SetBaseFrequency(int32_t hz) = 0;
    virtual int32_t ControlChannelFrequency() const = 0;

    // Map marks; the caller passes channels 0-1023 and prefixes 0-127 only.
    virtual void MarkControlChannel(uint16_t channel) = 0;
    virtual void MarkTrafficChannel(uint16_t channel) = 0;
    virtual void MarkPrefix(uint8_t prefix) = 0;

    virtual size_t HeardRadioCount() const = 0;
    virtual uint8_t HeardRadioPrefix(size_t i) const = 0;
    virtual uint16_t HeardRadioIdent(size_t i) const = 0;
    virtual std::string HeardRadioAlias(size_t i) const = 0;
    // Appends {ident, prefix, empty alias}.
    virtual void AppendHeardRadio(uint8_t prefix, uint16_t ident) = 0;
    virtual std::string GroupAlias(uint8_t prefix) const = 0;
};

// Bit n of a map is bit n mod 8 of byte n / 8; numbers outside the map are ignored.
void SetMapBit(uint8_t* map, size_t bytes, int n);
bool MapBit(const uint8_t* map, size_t bytes, int n);

struct TMPT1327MemoryHeardRadio {
    uint16_t Ident = 0;
    uint8_t Prefix = 0;
    std::string Alias;
};

class TMPT1327MemorySystem : public TMPT1327SystemAccess {
public:
    int32_t Identity = -1;  // -1 no system
    int32_t Base = -1;
    int32_t ControlFrequency = 0;
    std::array<uint8_t, kMPT1327Channels / 8> ControlMap{};
    std::array<uint8_t, kMPT1327Channels / 8> TrafficMap{};
    std::array<uint8_t, kMPT1327Prefixes / 8> PrefixMap{};
    std::vector<TMPT1327MemoryHeardRadio> Radios;
    std::array<std::string, kMPT1327Prefixes> GroupAliases;

    bool SystemCurrent() const override { return Identity != -1; }
    uint16_t SystemIdentity() const override { return static_cast<uint16_t>(Identity); }
    int32_t BaseFrequency() const override { return Base; }
    void SetBaseFrequency(int32_t hz) override { Base = hz; }
    int32_t ControlChannelFrequency() const override { return ControlFrequency; }
    void MarkControlChannel(uint16_t channel) override { SetMapBit(ControlMap.data(), ControlMap.size(), channel); }
    void MarkTrafficChannel(uint16_t channel) override { SetMapBit(TrafficMap.data(), TrafficMap.size(), channel); }
    void MarkPrefix(uint8_t prefix) override { SetMapBit(PrefixMap.data(), PrefixMap.size(), prefix); }
    size_t HeardRadioCount() const override { return Radios.size(); }
    uint8_t HeardRadioPrefix(size_t i) const override { return Radios.at(i).Prefix; }
    uint16_t HeardRadioIdent(size_t i) const override { return Radios.at(i).Ident; }
    std::string HeardRadioAlias(size_t i) const override { return Radios.at(i).Alias; }
    void AppendHeardRadio(uint8_t prefix, uint16_t ident) override { Radios.push_back({ident, prefix, {}}); }
    std::string GroupAlias(uint8_t prefix) const override { return GroupAliases.at(prefix % kMPT1327Prefixes); }
};
