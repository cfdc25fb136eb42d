#pragma once
// The current system's database record as the codeword interpreter sees it.
#include "MPT1327System.h"
#include "MPT1327SystemRecord.h"

class TMPT1327RecordAccess : public TMPT1327SystemAccess {
public:
    explicit TMPT1327RecordAccess(TMPT1327SystemRecord& record) : record_(record) {}

    bool SystemCurrent() const override { return record_.SystemIdentity != MPT1327NoSystem; }
    uint16_t SystemIdentity() const override { return record_.SystemIdentity; }
    int32_t BaseFrequency() const override { return record_.BaseFrequency; }
    void SetBaseFrequency(int32_t hz) override { record_.BaseFrequency = hz; }
    int32_t ControlChannelFrequency() const override { return record_.ControlChannelFrequency; }
    void MarkControlChannel(uint16_t channel) override { SetMapBit(record_.ControlChannelMap, channel); }
    void MarkTrafficChannel(uint16_t channel) override { SetMapBit(record_.TrafficChannelMap, channel); }
    void MarkPrefix(uint8_t prefix) override { SetMapBit(record_.PrefixMap, prefix); }
    size_t HeardRadioCount() const override { return record_.HeardRadios.size(); }
    uint8_t HeardRadioPrefix(size_t i) const override { return record_.HeardRadios.at(i).Prefix; }
    uint16_t HeardRadioIdent(size_t i) const override { return record_.HeardRadios.at(i).Ident; }
    std::string HeardRadioAlias(size_t i) const override { return record_.HeardRadios.at(i).Alias; }
    void AppendHeardRadio(uint8_t prefix, uint16_t ident) override { record_.HeardRadios.push_back({ident, prefix, {}}); }
    std::string GroupAlias(uint8_t prefix) const override { return record_.GroupAliases.at(prefix % 128); }

private:
    TMPT1327SystemRecord& record_;
};
